#include "app/stacksliceselectioninfo.h"

#include "stack/model.h"
#include "stack/modelitem.h"
#include "stack/stackslice.h"

#include <gtest/gtest.h>

TEST(StackSliceSelectionInfo, CountsAndGeometry)
{
    Model polygons("p");
    polygons.getProperties().setGeometry(MPrimitive::Polygon);
    Model points("q");
    points.getProperties().setGeometry(MPrimitive::Polypoint);
    StackSlice slice("s");
    auto add = [&slice](Model& m, int n) {
        auto* item = new ModelItem(&m, &slice);
        for (int i = 0; i < n; ++i)
            item->appendVertex(Vector<int>{i, i});
        item->attach();
        return item;
    };
    ModelItem* a = add(polygons, 3);
    ModelItem* b = add(polygons, 3);
    ModelItem* c = add(points, 2);
    add(points, 0);

    StackSliceSelectionInfo info(&slice);
    EXPECT_TRUE(info.emptySelection());
    EXPECT_EQ(info.selectionGeometry(), MPrimitive::Unknown);

    a->getSelection().set(true);
    b->getSelection().set(true, 1, false);
    info.update();
    EXPECT_EQ(info.getNumSelectedItems(), 2);
    EXPECT_TRUE(info.multipleSelection());
    EXPECT_TRUE(info.partialSelection());
    EXPECT_TRUE(info.homogeneousSelection());
    EXPECT_EQ(info.selectionGeometry(), MPrimitive::Polygon);

    // The same slice again: the summary is kept until update().
    c->getSelection().set(true);
    info.setSlice(&slice);
    EXPECT_EQ(info.getNumSelectedItems(), 2);
    info.update();
    EXPECT_EQ(info.getNumSelectedItems(), 3);
    EXPECT_FALSE(info.homogeneousSelection());
    EXPECT_EQ(info.selectionGeometry(), MPrimitive::Unknown);

    b->getSelection().set(false);
    a->getSelection().set(false);
    info.update();
    EXPECT_FALSE(info.multipleSelection());
    EXPECT_FALSE(info.partialSelection());
    EXPECT_EQ(info.selectionGeometry(), MPrimitive::Polypoint);
}
