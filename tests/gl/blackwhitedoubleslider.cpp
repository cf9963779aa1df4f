#include "gl/blackwhitedoubleslider.h"

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>

namespace {
// Widget x of a value on a slider of width 212: the track spans 6..205.
int xOf(double v)
{
    return 6 + static_cast<int>(v * 199 + 0.5);
}
} // namespace

TEST(BlackWhiteDoubleSlider, DragsTheNearerHandleAndKeepsTheLevelsOrdered)
{
    BlackWhiteDoubleSlider slider;
    slider.resize(212, 24);
    QSignalSpy spy(&slider, &BlackWhiteDoubleSlider::valuesChanged);

    QTest::mousePress(&slider, Qt::LeftButton, {}, QPoint(xOf(0.1), 12));   // nearer black
    QTest::mouseMove(&slider, QPoint(xOf(0.25), 12));
    QTest::mouseRelease(&slider, Qt::LeftButton, {}, QPoint(xOf(0.25), 12));
    EXPECT_NEAR(slider.black(), 0.25, 0.01);
    EXPECT_EQ(slider.white(), 1.0);

    // The white handle cannot pass the black one.
    QTest::mousePress(&slider, Qt::LeftButton, {}, QPoint(xOf(0.9), 12));
    QTest::mouseMove(&slider, QPoint(xOf(0.0), 12));
    QTest::mouseRelease(&slider, Qt::LeftButton, {}, QPoint(xOf(0.0), 12));
    EXPECT_DOUBLE_EQ(slider.white(), slider.black());
    ASSERT_FALSE(spy.isEmpty());
    EXPECT_EQ(spy.last().at(0).toDouble(), slider.black());

    QTest::mouseDClick(&slider, Qt::LeftButton, {}, QPoint(50, 12));
    EXPECT_EQ(slider.black(), 0.0);
    EXPECT_EQ(slider.white(), 1.0);
}

TEST(BlackWhiteDoubleSlider, SetValuesClampsOrdersAndEmitsOnlyOnChange)
{
    BlackWhiteDoubleSlider slider;
    QSignalSpy spy(&slider, &BlackWhiteDoubleSlider::valuesChanged);
    slider.setValues(1.5, -0.5);
    EXPECT_EQ(slider.black(), 0.0);
    EXPECT_EQ(slider.white(), 1.0);
    EXPECT_EQ(spy.count(), 0);
    slider.setValues(0.7, 0.2);
    EXPECT_EQ(slider.black(), 0.2);
    EXPECT_EQ(slider.white(), 0.7);
    EXPECT_EQ(spy.count(), 1);
}
