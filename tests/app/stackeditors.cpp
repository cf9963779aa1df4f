#include "app/tools/plxpixelcalibrationeditor.h"
#include "app/tools/plxstackpropertieseditor.h"
#include "support/qtprinters.h"

#include "stack/stack.h"
#include "stack/stackslice.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

// Each pair leaves the third field disabled and derives it: the ratio is
// height / width.
TEST(PLXPixelCalibrationEditor, PairsDeriveTheThirdValue)
{
    PLXPixelCalibrationEditor editor;
    QLineEdit* width = editor.getWidthField();
    QLineEdit* height = editor.getHeightField();
    QLineEdit* ratio = editor.getRatioField();
    EXPECT_EQ(editor.getPairBox()->itemText(1), "Aspect ratio & Pixel width ");

    editor.setPair(PLXPixelCalibrationEditor::WidthAndHeight);
    EXPECT_TRUE(width->isEnabled() && height->isEnabled());
    EXPECT_FALSE(ratio->isEnabled());
    width->clear();
    QTest::keyClicks(width, "0.5");
    height->clear();
    QTest::keyClicks(height, "2");
    ASSERT_TRUE(editor.validPixelCalibration());
    EXPECT_FLOAT_EQ(editor.getPixelCalibration().getAspectRatio(), 2.0f / 0.5f);
    EXPECT_EQ(ratio->text(), "4");

    editor.setPair(PLXPixelCalibrationEditor::RatioAndWidth);
    EXPECT_FALSE(height->isEnabled());
    ratio->setText("3");
    width->setText("1.5");
    EXPECT_FLOAT_EQ(editor.getPixelCalibration().getPixelHeight(), 4.5f);

    editor.setPair(PLXPixelCalibrationEditor::RatioAndHeight);
    EXPECT_FALSE(width->isEnabled());
    height->setText("6");
    EXPECT_FLOAT_EQ(editor.getPixelCalibration().getPixelWidth(), 2.0f);

    // Only the two given fields count; they must hold positive numbers.
    width->setText("abc");
    EXPECT_TRUE(editor.validPixelCalibration());
    for (const char* bad : {"", "x1", "0", "-2", "inf"}) {
        height->setText(bad);
        EXPECT_FALSE(editor.validPixelCalibration()) << bad;
    }
}

TEST(PLXStackPropertiesEditor, StackAndSliceFieldsAndValidity)
{
    PLXStackPropertiesEditor stack(PLXStackPropertiesEditor::StackProperties);
    EXPECT_EQ(stack.getGroup()->title(), "Stack properties");
    EXPECT_EQ(stack.getSliceSpacingField()->text(), "1.0");
    ASSERT_NE(stack.getLengthUnitBox(), nullptr);
    ASSERT_NE(stack.getAbsolutePathBox(), nullptr);
    EXPECT_EQ(stack.getLengthUnitBox()->currentText(), "micrometer");

    PLXStackPropertiesEditor slice(PLXStackPropertiesEditor::SliceProperties);
    EXPECT_EQ(slice.getGroup()->title(), "Slice properties");
    EXPECT_EQ(slice.getLengthUnitBox(), nullptr);
    EXPECT_EQ(slice.getAbsolutePathBox(), nullptr);

    QSignalSpy changed(&stack, &PLXStackPropertiesEditor::changed);
    stack.getNameField()->clear();
    QTest::keyClicks(stack.getNameField(), "  \t ");
    EXPECT_GT(changed.count(), 0);
    EXPECT_FALSE(stack.validName());
    QTest::keyClicks(stack.getNameField(), "cell 3");
    EXPECT_TRUE(stack.validName());
    stack.getSliceSpacingField()->setText("2,5");
    EXPECT_FALSE(stack.validSliceSpacing());
    stack.getSliceSpacingField()->setText("2.5");
    EXPECT_TRUE(stack.validSliceSpacing());
    EXPECT_FLOAT_EQ(stack.getSliceSpacing(), 2.5f);
    EXPECT_TRUE(stack.isValid());

    // Loaded from a stack, the fields show its defaults; the unit chosen is
    // the calibration's.
    Stack document;
    document.setName("embryo");
    document.setDefaultRelativePosition(4.0f);
    document.setAbsoluteImagesPathPolicy(true);
    PixelCalibration c;
    c.setPixelWidth(0.8f);
    c.setPixelHeight(0.8f);
    c.compute();
    c.setLengthUnit(LengthUnit(-3));
    document.setDefaultPixelCalibration(c);
    stack.setStack(document);
    EXPECT_EQ(stack.getName(), "embryo");
    EXPECT_FLOAT_EQ(stack.getSliceSpacing(), 4.0f);
    EXPECT_TRUE(stack.getAbsoluteImagesPath());
    EXPECT_EQ(stack.getLengthUnitBox()->currentText(), "millimeter");
    EXPECT_EQ(stack.getPixelCalibration().getLengthUnit(), LengthUnit(-3));
    EXPECT_FLOAT_EQ(stack.getPixelCalibration().getPixelWidth(), 0.8f);
    stack.getLengthUnitBox()->setCurrentIndex(stack.getLengthUnitBox()->findText("nanometer"));
    EXPECT_EQ(stack.getPixelCalibration().getLengthUnit(), LengthUnit(-9));

    StackSlice s("s07");
    s.setRelativePosition(6.0f);
    slice.setSlice(s);
    EXPECT_EQ(slice.getName(), "s07");
    EXPECT_EQ(slice.getSliceSpacingField()->text(), "6");
}
