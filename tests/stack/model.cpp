#include "stack/model.h"

#include <gtest/gtest.h>

TEST(Model, NewModelDefaultsDifferFromSetDefaults)
{
    const Model model;
    EXPECT_EQ(model.getName(), "<model>");
    ModelProperties expected;
    expected.setDefaults();
    ModelProperties actual = model.getProperties();
    // Only the cap flags are left undefined.
    EXPECT_FALSE(actual.definesBeginCapFlag());
    EXPECT_FALSE(actual.definesEndCapFlag());
    actual.setBeginCapFlag(false);
    actual.setEndCapFlag(false);
    EXPECT_EQ(actual, expected);

    // Items are drawn with point size 3, where setDefaults() gives 1.
    ModelItemProperties items;
    items.setDefaults();
    EXPECT_FLOAT_EQ(items.getPointSize(), 1.0f);
    EXPECT_EQ(model.getItemProperties() - items, [] {
        ModelItemProperties p;
        p.setPointSize(3.0f);
        return p;
    }());
    EXPECT_FALSE(model.hasSnakeConfig());
    EXPECT_EQ(model.getSnakeConfig(), nullptr);
}
