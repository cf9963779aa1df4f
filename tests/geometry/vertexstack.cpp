// Vertex and curve stacks: levels on a shared pool, insertion rules, sorting
// by slice, detaching the stack together with its levels, the two-element
// locators and the closest-point map.

#include "geometry/curvestack.h"

#include "meshfixtures.h"
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
    EXPECT_EQ(stack.getServer()->getRefs(), 4);
    EXPECT_EQ(stack[2].getIndex(1), 9);
    stack[1][2] = Vector<T>{5, 6};
    EXPECT_EQ(stack[(Vector<unsigned int>{1u, 2u})], (Vector<T>{5, 6}));

    // A level from elsewhere keeps its pool; the copy shares everything.
    Vertices<T> foreign(2, 2);
    stack.append(foreign);
    EXPECT_EQ(stack[3].getServer(), foreign.getServer());
    VertexStack<T> copy(stack);
    copy[1][2][0] = 9;
    EXPECT_EQ(stack[1][2][0], T(9));

    // Detaching the copy moves its levels onto private pools, those of the
    // stack's pool together.
    copy.detach();
    for (int k = 0; k < 3; ++k)
        EXPECT_EQ(copy[k].getServer(), copy.getServer());
    EXPECT_NE(copy[3].getServer(), foreign.getServer());
    copy[1][2][0] = 1;
    copy[3][0][0] = 1;
    EXPECT_EQ(stack[1][2][0], T(9));
    EXPECT_EQ(foreign[0][0], T(0));
    const VertexServer<T>* own = copy.getServer();
    copy.detach(); // alone with its pool: kept
    EXPECT_EQ(copy.getServer(), own);
}

TYPED_TEST(VertexStackTest, AppendPrependRemoveAndReverse)
{
    using T = TypeParam;
    auto stackOf = [](std::initializer_list<int> xs) {
        VertexStack<T> s;
        for (int x : xs) {
            Vertices<T> v(1, 1);
            v[0][0] = static_cast<T>(x);
            s.append(v);
        }
        return s;
    };
    auto firsts = [](const VertexStack<T>& s) {
        std::vector<int> out;
        for (int k = 0; k < s.getHeight(); ++k)
            out.push_back(static_cast<int>(s[k][0][0]));
        return out;
    };
    VertexStack<T> a = stackOf({1, 2});
    EXPECT_EQ(a.getServer(), a[0].getServer()); // the first level's pool is adopted
    a.prepend(stackOf({0})[0]);
    a.insert(2, stackOf({7})[0]);
    const VertexStack<T> b = stackOf({8, 9});
    a.prepend(b);
    a.append(b);
    EXPECT_EQ(firsts(a), (std::vector<int>{8, 9, 0, 1, 7, 2, 8, 9}));
    a.append(a);
    a.remove(2);
    a.remove(99); // out of range: nothing
    a.reverse();
    EXPECT_EQ(firsts(a), (std::vector<int>{9, 8, 2, 7, 1, 0, 9, 8, 9, 8, 2, 7, 1, 9, 8}));
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
        seen.emplace_back(it.locator()[0], it.locator()[1]);
        EXPECT_EQ(it.current(), &stack[it.locator()]);
    }
    EXPECT_EQ(seen, (std::vector<std::pair<unsigned, unsigned>>{{0, 0}, {0, 1}, {2, 0}, {2, 1}, {2, 2}}));
}

TYPED_TEST(VertexStackTest, ClosestPointMapAgainstExhaustiveSearch)
{
    using T = TypeParam;
    std::mt19937 rng(4);
    auto randomStack = [&](std::initializer_list<int> sizes) {
        VertexStack<T> s;
        for (int n : sizes)
            s.append(fixtures::randomPolygon<T>(rng, n, 0, 30));
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
    EXPECT_PLEXAN_THROW(stack.append(contour<T>(3, 5, true)), TypeError, "void CurveStack<T>::insert(...)",
                        "Closure mismatch");
    EXPECT_THROW(stack.append(Vertices<T>(3, 2)), TypeError);
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
    // Levels of another dimension than the stack's cannot be written.
    stack.append(Curve<T>(2, 1, 0, 0, true));
    EXPECT_THROW(stack.write(text), FileWriteError);
}

} // namespace
