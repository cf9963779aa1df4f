#include "stack/modelitemgeometry.h"

#include "stackfixture.h"
#include "support/expect.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace stacktest;

TEST(ModelItemGeometry, PhysicalMeasuresByGeometry)
{
    Stack stack;
    stack.setDefaultRelativePosition(4.0f);
    stack.addSlice(newSlice("a", 100, 100, 0.5f, 2.0f));
    stack.addSlice(newSlice("b", 100, 100, 0.5f, 2.0f));
    auto* model = new Model;
    stack.addModel(model);
    // A 10 x 3 pixel rectangle, counter-clockwise with y up: 5 x 6 physically.
    ModelItem* item = newItem(model, stack.getSlice(1), {{0, 0}, {10, 0}, {10, 3}, {0, 3}});

    ModelItemGeometry g;
    EXPECT_THROW(g.run(), UsageError);
    g.setModelItem(*item);
    g.run();
    EXPECT_EQ(g.getNumVertices(), 4);
    EXPECT_EQ(g.getVertices()[2], (Vector<double>{5.0, 6.0}));
    EXPECT_EQ(g.getIsobarycenter(), (Vector<double>{2.5, 3.0, 4.0}));
    EXPECT_DOUBLE_EQ(g.getLength(), 22.0);
    EXPECT_DOUBLE_EQ(g.getArea(), 30.0);

    model->getProperties().setGeometry(MPrimitive::Polyline);
    g.run();
    EXPECT_DOUBLE_EQ(g.getLength(), 16.0);
    EXPECT_DOUBLE_EQ(g.getArea(), 0.0);

    model->getProperties().setGeometry(MPrimitive::Polypoint);
    g.run();
    EXPECT_DOUBLE_EQ(g.getLength(), 0.0);
    EXPECT_EQ(g.getNumVertices(), 4);
}
