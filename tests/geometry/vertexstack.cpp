// Vertex and curve stacks: levels on a shared pool, insertion rules, sorting
// by slice, detaching the stack together with its levels, the two-element
// locators and the closest-point map.

#include "geometry/curvestack.h"

#include "support/expect.h"

#include <gtest/gtest.h>

#include <random>
#include <sstream>

namespace {

template <typename T>
class VertexStackTest : public ::testing::Test {};
using CoordinateTypes = ::testing::Types<int, float, double, long double>;
TYPED_TEST_SUITE(VertexStackTest, CoordinateTypes);

// A closed curve of n vertices on slice z.
template <typename T>
Curve<T> contour(int n, int z, bool open = false)
{
    Curve<T> c(3, n, 0, 0, open);
    for (int i = 0; i < n; ++i)
        c[i] = Vector<T>{static_cast<T>(i), static_cast<T>(i * i), static_cast<T>(z)};
    return c;
}

TYPED_TEST(VertexStackTest, LevelsShareTheStackPool)
{
    using T = TypeParam;
    VertexStack<T> stack(2, 3, 4);
    EXPECT_EQ(stack.getHeight(), 3);
    EXPECT_EQ(stack.getNumVertices(), 12);
    EXPECT_EQ(stack.getServer()->getSize(), 12);
    EXPECT_EQ(stack.getServer()->getRefs(), 4);
    EXPECT_EQ(stack[2].getIndex(1), 9);
    EXPECT_EQ(stack.getShapeType(), VertexStackShape);
    EXPECT_TRUE(stack.isComposite());

    stack[1][2] = Vector<T>{5, 6};
    const Vector<unsigned int> locator{1u, 2u};
    EXPECT_EQ(stack[locator], (Vector<T>{5, 6}));

    // A level from elsewhere keeps its pool; the copy shares everything.
    Vertices<T> foreign(2, 2);
    stack.append(foreign);
    EXPECT_EQ(stack[3].getServer(), foreign.getServer());
    VertexStack<T> copy(stack);
    EXPECT_EQ(copy[0].getServer(), stack.getServer());
    EXPECT_EQ(copy[3].getServer(), foreign.getServer());
    copy[1][2][0] = 9;
    EXPECT_EQ(stack[1][2][0], T(9));

    // Detaching the copy moves its levels onto private pools together.
    copy.detach();
    EXPECT_NE(copy.getServer(), stack.getServer());
    for (int k = 0; k < 3; ++k)
        EXPECT_EQ(copy[k].getServer(), copy.getServer());
    EXPECT_NE(copy[3].getServer(), foreign.getServer());
    copy[1][2][0] = 1;
    copy[3][0][0] = 1;
    EXPECT_EQ(stack[1][2][0], T(9));
    EXPECT_EQ(foreign[0][0], T(0));
    EXPECT_EQ(copy.getServer()->getRefs(), 4);

    // A stack alone with its pool keeps it.
    const VertexServer<T>* own = copy.getServer();
    copy.detach();
    EXPECT_EQ(copy.getServer(), own);
}

TYPED_TEST(VertexStackTest, AppendPrependRemoveAndReverse)
{
    using T = TypeParam;
    auto single = [](int x) {
        Vertices<T> v(1, 1);
        v[0][0] = static_cast<T>(x);
        return v;
    };
    auto firsts = [](const VertexStack<T>& s) {
        std::vector<int> out;
        for (int k = 0; k < s.getHeight(); ++k)
            out.push_back(static_cast<int>(s[k][0][0]));
        return out;
    };
    VertexStack<T> a;
    a.append(single(1));
    EXPECT_EQ(a.getServer(), a[0].getServer()); // adopted
    a.append(single(2));
    a.prepend(single(0));
    a.insert(2, single(7));
    EXPECT_EQ(firsts(a), (std::vector<int>{0, 1, 7, 2}));
    VertexStack<T> b;
    b.append(single(8));
    b.append(single(9));
    a.prepend(b);
    a.append(b);
    EXPECT_EQ(firsts(a), (std::vector<int>{8, 9, 0, 1, 7, 2, 8, 9}));
    a.append(a);
    EXPECT_EQ(a.getHeight(), 16);
    a.remove(2);
    a.remove(99);
    a.reverse();
    EXPECT_EQ(firsts(a).front(), 9);
    EXPECT_EQ(firsts(a).back(), 8);
    EXPECT_EQ(a.getHeight(), 15);
}

TYPED_TEST(VertexStackTest, SortBySliceAndConcatenate)
{
    using T = TypeParam;
    VertexStack<T> stack;
    for (int z : {3, 1, 2, 1})
        stack.append(contour<T>(2, z));
    stack.append(Vertices<T>()); // no key: last
    stack.sort(2);
    std::vector<int> order;
    for (int k = 0; k < 4; ++k)
        order.push_back(static_cast<int>(stack[k][0][2]));
    EXPECT_EQ(order, (std::vector<int>{1, 1, 2, 3}));
    EXPECT_EQ(stack[4].getNumVertices(), 0);

    const Vertices<T> all = stack.cat();
    EXPECT_EQ(all.getNumVertices(), 8);
    EXPECT_EQ(all[2], stack[1][0]);

    // On one pool the concatenation shares it.
    const VertexStack<T> grid(2, 2, 3);
    EXPECT_EQ(grid.cat().getServer(), grid.getServer());
    EXPECT_EQ(grid.cat().getIndexes(), (std::vector<int>{0, 1, 2, 3, 4, 5}));
}

TYPED_TEST(VertexStackTest, IteratorWalksLevelByLevel)
{
    using T = TypeParam;
    VertexStack<T> stack;
    stack.append(contour<T>(2, 0));
    stack.append(Vertices<T>());
    stack.append(contour<T>(3, 1));
    std::vector<std::pair<unsigned, unsigned>> seen;
    for (VertexIterator<T> it(stack); it.current(); ++it) {
        const Vector<unsigned int>& l = it.locator();
        seen.emplace_back(l[0], l[1]);
        EXPECT_EQ(it.current(), &stack[l]);
    }
    EXPECT_EQ(seen, (std::vector<std::pair<unsigned, unsigned>>{{0, 0}, {0, 1}, {2, 0}, {2, 1}, {2, 2}}));
    EXPECT_EQ(stack.cog()[2], std::is_integral_v<T> ? T(1) : T(3) / T(5));
}

TYPED_TEST(VertexStackTest, ClosestPointMapAgainstExhaustiveSearch)
{
    using T = TypeParam;
    std::mt19937 rng(4);
    std::uniform_int_distribution<int> coordinate(0, 30);
    auto randomStack = [&](std::initializer_list<int> sizes) {
        VertexStack<T> s;
        for (int n : sizes) {
            Vertices<T> level(2, n);
            for (int i = 0; i < n; ++i)
                level[i] = Vector<T>{static_cast<T>(coordinate(rng)), static_cast<T>(coordinate(rng))};
            s.append(level);
        }
        return s;
    };
    const VertexStack<T> a = randomStack({5, 0, 7});
    const VertexStack<T> b = randomStack({4, 6, 3});
    const VertexStack<int> map = a.closestPointMap(b);
    ASSERT_EQ(map.getHeight(), 3);
    for (int l = 0; l < 3; ++l) {
        ASSERT_EQ(map[l].getNumVertices(), a[l].getNumVertices());
        for (int p = 0; p < a[l].getNumVertices(); ++p) {
            double best = 1e30;
            int bl = -1, bp = -1;
            for (int m = 0; m < 3; ++m)
                for (int q = 0; q < b[m].getNumVertices(); ++q) {
                    const double dx = double(a[l][p][0]) - double(b[m][q][0]);
                    const double dy = double(a[l][p][1]) - double(b[m][q][1]);
                    if (dx * dx + dy * dy < best) {
                        best = dx * dx + dy * dy;
                        bl = m;
                        bp = q;
                    }
                }
            EXPECT_EQ(map[l][p], (Vector<int>{bl, bp}));
        }
    }
    const CurveStack<T> curves(a, true);
    const CurveStack<int> curveMap = curves.closestPointMap(b);
    EXPECT_TRUE(curveMap.isClosed());
    EXPECT_EQ(curveMap.toVector(), map.toVector());
}

TYPED_TEST(VertexStackTest, CurveStacksKeepOneClosure)
{
    using T = TypeParam;
    CurveStack<T> stack(3, 2, 4, 0, 0, false);
    EXPECT_EQ(stack.getShapeType(), ClosedCurveStackShape);
    EXPECT_TRUE(stack.level(1).isClosed());
    EXPECT_EQ(stack.level(1).getServer(), stack.getServer());

    EXPECT_PLEXAN_THROW(stack.append(contour<T>(3, 5, true)), TypeError, "void CurveStack<T>::insert(...)",
                        "Closure mismatch");
    EXPECT_PLEXAN_THROW(stack.append(Vertices<T>(3, 2)), TypeError, "void CurveStack<T>::insert(...)",
                        "Closure mismatch");
    const Curve<T> c = contour<T>(5, 9);
    stack.prepend(c);
    EXPECT_EQ(stack.getFirstCurve().getServer(), c.getServer());
    EXPECT_EQ(stack.getFirstCurve().getNumVertices(), 5);

    stack.setOpen(true);
    EXPECT_EQ(stack.getShapeType(), OpenCurveStackShape);
    for (int k = 0; k < stack.getHeight(); ++k)
        EXPECT_TRUE(stack[k].isOpen());
    std::unique_ptr<Vertices<T>> level(stack.newLevel());
    EXPECT_TRUE(dynamic_cast<Curve<T>&>(*level).isOpen());
}

TYPED_TEST(VertexStackTest, BranchingMeansTwoContoursOnOneSlice)
{
    using T = TypeParam;
    CurveStack<T> stack;
    EXPECT_FALSE(stack.isBranching());
    for (int z : {0, 1, 2})
        stack.append(contour<T>(3, z));
    EXPECT_FALSE(stack.isBranching());
    stack.insert(2, contour<T>(4, 1));
    EXPECT_TRUE(stack.isBranching());
    stack.sort(2);
    EXPECT_TRUE(stack.isBranching());
    stack.remove(1);
    EXPECT_FALSE(stack.isBranching());
}

TYPED_TEST(VertexStackTest, StackFilesReadOnOnePool)
{
    using T = TypeParam;
    CurveStack<T> stack(3, 0, 0, 0, 0, true);
    stack.append(contour<T>(3, 0, true));
    stack.append(contour<T>(2, 0, true));
    std::stringstream text;
    stack.write(text);
    CurveStack<T> read;
    read.read(text);
    EXPECT_TRUE(read.isOpen());
    ASSERT_EQ(read.getHeight(), 2);
    EXPECT_EQ(read[1].getServer(), read.getServer());
    EXPECT_EQ(read[1].getIndexes(), (std::vector<int>{3, 4}));
    EXPECT_EQ(read.toVector(), stack.toVector());
    EXPECT_EQ(read.getServer()->getCapacity(), 5);

    // Levels of another dimension than the stack's cannot be written.
    stack.append(Curve<T>(2, 1, 0, 0, true));
    EXPECT_THROW(stack.write(text), FileWriteError);
}

} // namespace
