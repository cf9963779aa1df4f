#include "stack/model.h"

#include "imageprocessing/snakeconfig.h"

#include <gtest/gtest.h>

#include <typeinfo>

TEST(Model, NewModelsLeaveCapFlagsUndefinedAndDrawPointsOfThree)
{
    const Model model;
    ModelProperties expected;
    expected.setDefaults();
    ModelProperties actual = model.getProperties();
    EXPECT_FALSE(actual.definesBeginCapFlag() || actual.definesEndCapFlag());
    actual.setBeginCapFlag(false);
    actual.setEndCapFlag(false);
    EXPECT_EQ(actual, expected);
    ModelItemProperties items;
    items.setDefaults();
    items.setPointSize(3.0f);
    EXPECT_EQ(model.getItemProperties(), items);
}

TEST(Model, KeepsItsOwnCopyOfTheSnakeConfiguration)
{
    // The editing tool's configuration extends the stored one.
    struct ToolConfig : SnakeConfig {
        bool runOverStack = true;
    };
    Model model;
    {
        ToolConfig config;
        config.setAlpha(2.5f);
        model.setSnakeConfig(config);
    }
    ASSERT_TRUE(model.hasSnakeConfig());
    EXPECT_FLOAT_EQ(model.getSnakeConfig()->getAlpha(), 2.5f);
    EXPECT_EQ(typeid(*model.getSnakeConfig()), typeid(SnakeConfig));
}
