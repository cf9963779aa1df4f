#include "stack/model.h"

#include "imageprocessing/snakeconfig.h"

#include <gtest/gtest.h>

#include <typeinfo>

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
        config.setDistance(40);
        model.setSnakeConfig(config);
    }
    ASSERT_TRUE(model.hasSnakeConfig());
    EXPECT_FLOAT_EQ(model.getSnakeConfig()->getAlpha(), 2.5f);
    EXPECT_EQ(model.getSnakeConfig()->getDistance(), 40);
    EXPECT_EQ(typeid(*model.getSnakeConfig()), typeid(SnakeConfig));
    model.removeSnakeConfig();
    EXPECT_FALSE(model.hasSnakeConfig());
}
