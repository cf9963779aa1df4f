#include "stack/model.h"

#include "imageprocessing/snakeconfig.h"

#include <gtest/gtest.h>

#include <typeinfo>

// A new model's properties are fixed by the exact layout of a written stack.
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
