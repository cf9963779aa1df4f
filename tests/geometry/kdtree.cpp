// Nearest-vertex search against exhaustive references: nearest and k-nearest
// answers on thousands of random points in 2-D and 3-D, and the tie rule
// (the vertex met first in the visit order is kept).

#include "geometry/kdtree.h"

#include "geometry/vertexstack.h"
#include "support/expect.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace {

template <typename T>
class KDTreeTest : public ::testing::Test {};
using CoordinateTypes = ::testing::Types<int, float, double, long double>;
TYPED_TEST_SUITE(KDTreeTest, CoordinateTypes);

// Squared distance summed axis by axis in the coordinate type (double for
// integers), as the answers are defined: real coordinates compare their
// distances in their own precision.
template <typename T>
long double squared(const Vector<T>& a, const Vector<T>& b)
{
    using D = std::conditional_t<std::is_integral_v<T>, double, T>;
    D s = 0;
    for (int k = 0; k < a.getSize(); ++k) {
        const D d = static_cast<D>(a[k]) - static_cast<D>(b[k]);
        s += d * d;
    }
    return static_cast<long double>(s);
}

// Random points; integer-valued on a small grid when coarse, so that many
// distances tie.
template <typename T>
Vertices<T> cloud(int n, int space, bool coarse, unsigned seed)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> uniform(-50.0, 50.0);
    std::uniform_int_distribution<int> grid(-6, 6);
    Vertices<T> v(space, n);
    for (int i = 0; i < n; ++i)
        for (int k = 0; k < space; ++k)
            v[i][k] = coarse || std::is_integral_v<T> ? static_cast<T>(grid(rng) * (coarse ? 1 : 9))
                                                       : static_cast<T>(uniform(rng));
    return v;
}

template <typename T>
Vector<T> query(int space, std::mt19937& rng, bool coarse)
{
    std::uniform_real_distribution<double> uniform(-60.0, 60.0);
    std::uniform_int_distribution<int> grid(-7, 7);
    Vector<T> p(static_cast<unsigned>(space));
    for (int k = 0; k < space; ++k)
        p[k] = coarse || std::is_integral_v<T> ? static_cast<T>(grid(rng) * (coarse ? 1 : 9))
                                                : static_cast<T>(uniform(rng));
    return p;
}

// The full visit order without pruning: the child on the query's side, the
// other child, then the node. Pruning never changes the answer (a skipped
// vertex is never strictly closer than the current best), so the tree must
// return the first vertex of this order at the least distance, after the
// root which starts as the best for a nearest-vertex query.
template <typename T>
void visitAll(const KDTree<T>& tree, int node, const Vector<T>& p, std::vector<int>& order)
{
    const int space = p.getSize();
    auto exists = [&](int k) { return k < tree.getNumNodes() && tree.getNodeVertex(k) >= 0; };
    const int axis = tree.getNodeAxis(node);
    if (axis < space && exists(2 * node + 1)) {
        const Vector<T>& x = (*tree.getVertices().getServer())[tree.getNodeVertex(node)];
        const bool leftFirst = static_cast<long double>(p[axis]) - static_cast<long double>(x[axis]) < 0;
        for (int child : leftFirst ? std::array{2 * node + 1, 2 * node + 2} : std::array{2 * node + 2, 2 * node + 1})
            if (exists(child))
                visitAll(tree, child, p, order);
    }
    order.push_back(node);
}

template <typename T>
void checkAgainstExhaustiveSearch(int n, int space, bool coarse, unsigned seed)
{
    const Vertices<T> points = cloud<T>(n, space, coarse, seed);
    const KDTree<T> tree(points);
    const VertexServer<T>& pool = *points.getServer();
    std::mt19937 rng(seed + 1);
    for (int q = 0; q < 300; ++q) {
        const Vector<T> p = query<T>(space, rng, coarse);
        std::vector<long double> all(static_cast<std::size_t>(n));
        for (int i = 0; i < n; ++i)
            all[static_cast<std::size_t>(i)] = squared(points[i], p);
        std::vector<long double> sorted = all;
        std::sort(sorted.begin(), sorted.end());

        // Nearest vertex: the least distance, and among ties the first met.
        T d2 = 0;
        const int nearest = tree.nearestVertex(p, d2);
        ASSERT_EQ(squared(pool[nearest], p), sorted.front());
        EXPECT_EQ(static_cast<long double>(d2), sorted.front());
        std::vector<int> order;
        visitAll(tree, 0, p, order);
        ASSERT_EQ(static_cast<int>(order.size()), n);
        order.insert(order.begin(), 0);
        int expected = -1;
        for (int node : order)
            if (squared(pool[tree.getNodeVertex(node)], p) == sorted.front()) {
                expected = tree.getNodeVertex(node);
                break;
            }
        EXPECT_EQ(nearest, expected);

        // k nearest: the k least distances in order; ties keep the earlier
        // vertex of the visit order (a stable sort of that order).
        const int k = 1 + q % 12;
        Vector<int> nodes;
        Vector<T> distances;
        tree.kNearestNeighbours(nodes, distances, k, p);
        order.erase(order.begin());
        std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
            return squared(pool[tree.getNodeVertex(a)], p) < squared(pool[tree.getNodeVertex(b)], p);
        });
        for (int i = 0; i < k; ++i) {
            EXPECT_EQ(static_cast<long double>(distances[i]), sorted[static_cast<std::size_t>(i)]);
            EXPECT_EQ(nodes[i], order[static_cast<std::size_t>(i)]);
        }
    }
}

TYPED_TEST(KDTreeTest, AgreesWithExhaustiveSearchIn2D)
{
    checkAgainstExhaustiveSearch<TypeParam>(3000, 2, false, 1);
    checkAgainstExhaustiveSearch<TypeParam>(2000, 2, true, 2);
}

TYPED_TEST(KDTreeTest, AgreesWithExhaustiveSearchIn3D)
{
    checkAgainstExhaustiveSearch<TypeParam>(3000, 3, false, 3);
    checkAgainstExhaustiveSearch<TypeParam>(2000, 3, true, 4);
}

TYPED_TEST(KDTreeTest, SmallTreesAndTheirLayout)
{
    using T = TypeParam;
    // One vertex answers every query.
    Vertices<T> one(2, 1);
    one[0] = Vector<T>{3, 4};
    KDTree<T> single(one);
    EXPECT_EQ(single.getNumNodes(), 3);
    EXPECT_EQ(single.nearestVertex(Vector<T>{-100, 7}), 0);

    // Seven points on a line: the root splits along x at the median, the
    // children at the medians of the halves, leaves carry no split.
    Vertices<T> line(2, 7);
    for (int i = 0; i < 7; ++i)
        line[i] = Vector<T>{static_cast<T>((i * 5) % 7), 1}; // x = 0 5 3 1 6 4 2
    const KDTree<T> tree(line);
    EXPECT_EQ(tree.getNumNodes(), 15);
    auto xAt = [&](int node) { return static_cast<int>(line.getServer()->vertex(tree.getNodeVertex(node))[0]); };
    EXPECT_EQ(xAt(0), 3);
    EXPECT_EQ(tree.getNodeAxis(0), 0);
    EXPECT_EQ(xAt(1), 1);
    EXPECT_EQ(xAt(2), 5);
    EXPECT_EQ(xAt(3), 0);
    EXPECT_EQ(tree.getNodeAxis(3), 2);
    EXPECT_EQ(tree.getNodeVertex(7), -1);

    // An empty shape: no vertex, k results at the largest distance.
    const Vertices<T> none;
    const KDTree<T> empty(none);
    EXPECT_EQ(empty.nearestVertex(Vector<T>{0, 0}), -1);
    Vector<int> nodes;
    Vector<T> distances;
    empty.kNearestNeighbours(nodes, distances, 2, Vector<T>{0, 0});
    EXPECT_EQ(nodes, (Vector<int>{-1, -1}));
}

TEST(KDTree, EqualDistancesKeepTheVertexMetFirst)
{
    // Root (x = 0) and its left child (x = -2) are both at distance 1 from
    // the query x = -1: the child is visited first and the nearest search
    // starts from the root, so the root stays; the k-nearest search starts
    // empty, so the child comes first.
    Vertices<double> v(1, 3);
    v[0][0] = -2;
    v[1][0] = 0;
    v[2][0] = 2;
    const KDTree<double> tree(v);
    ASSERT_EQ(tree.getNodeVertex(0), 1);
    const Vector<double> p{-1};
    EXPECT_EQ(tree.nearestVertex(p), 1);
    Vector<int> nodes;
    Vector<double> distances;
    tree.kNearestNeighbours(nodes, distances, 2, p);
    EXPECT_EQ(tree.getNodeVertex(nodes[0]), 0);
    EXPECT_EQ(tree.getNodeVertex(nodes[1]), 1);
    EXPECT_EQ(distances, (Vector<double>{1, 1}));
}

TEST(KDTree, IndexesStacksOnOnePoolOnly)
{
    VertexStack<float> stack(2, 3, 4);
    for (int l = 0; l < 3; ++l)
        for (int i = 0; i < 4; ++i)
            stack[l][i] = Vector<float>{float(i), float(10 * l)};
    const KDTree<float> tree(stack);
    const int nearest = tree.nearestVertex(Vector<float>{2.2f, 19.0f});
    EXPECT_EQ(stack.getServer()->vertex(nearest), (Vector<float>{2, 20}));

    // nearestVertices: a list on the stack's pool, closest first.
    Vertices<float> found;
    tree.nearestVertices(found, Vector<float>{0.1f, 0.0f}, 3);
    EXPECT_EQ(found.getServer(), stack.getServer());
    EXPECT_EQ(found[0], (Vector<float>{0, 0}));
    EXPECT_EQ(found[1], (Vector<float>{1, 0}));
    EXPECT_EQ(found[2], (Vector<float>{2, 0}));

    Vertices<float> elsewhere(2, 1);
    stack.append(elsewhere);
    KDTree<float> refused;
    EXPECT_THROW(refused.setShape(stack), ValueError);
}

} // namespace
