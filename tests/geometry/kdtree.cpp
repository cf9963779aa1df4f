// Nearest-vertex search against exhaustive references: nearest and k-nearest
// answers on thousands of random points in 2-D and 3-D, and the tie rule
// (the vertex met first in the visit order is kept).

#include "geometry/kdtree.h"

#include "geometry/vertexstack.h"
#include "numerics/parallel.h"
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

// A random point within reach of the origin; integer-valued on a small grid
// when coarse, so that many distances tie.
template <typename T>
Vector<T> randomPoint(std::mt19937& rng, int space, bool coarse, double reach)
{
    std::uniform_real_distribution<double> uniform(-reach, reach);
    std::uniform_int_distribution<int> grid(-int(reach / 8), int(reach / 8));
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
    std::mt19937 rng(seed);
    Vertices<T> points(space, n);
    for (int i = 0; i < n; ++i)
        points[i] = randomPoint<T>(rng, space, coarse, 50);
    const KDTree<T> tree(points);
    const VertexServer<T>& pool = *points.getServer();
    for (int q = 0; q < 300; ++q) {
        const Vector<T> p = randomPoint<T>(rng, space, coarse, 60);
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

TYPED_TEST(KDTreeTest, AgreesWithExhaustiveSearch)
{
    for (int space : {2, 3}) {
        checkAgainstExhaustiveSearch<TypeParam>(3000, space, false, space);
        checkAgainstExhaustiveSearch<TypeParam>(2000, space, true, space + 10);
    }
}

// The vertices of the subtree below node, after checking the build rule on
// it: the split axis is that of the largest extent of the subtree's vertices
// (the first on a tie), the left child holds half of the vertices below the
// node, rounded down, none beyond the split value, and the right child none
// before it.
template <typename T>
std::vector<Vector<T>> checkSubtree(const KDTree<T>& tree, int node, int space)
{
    if (node >= tree.getNumNodes() || tree.getNodeVertex(node) < 0)
        return {};
    const VertexServer<T>& pool = *tree.getVertices().getServer();
    const Vector<T> own = pool[tree.getNodeVertex(node)];
    const std::vector<Vector<T>> left = checkSubtree(tree, 2 * node + 1, space);
    const std::vector<Vector<T>> right = checkSubtree(tree, 2 * node + 2, space);
    std::vector<Vector<T>> all = left;
    all.push_back(own);
    all.insert(all.end(), right.begin(), right.end());
    const int axis = tree.getNodeAxis(node);
    if (all.size() == 1) {
        EXPECT_EQ(axis, space) << "leaf " << node;
        return all;
    }
    int widest = 0;
    long double largest = -1;
    for (int a = 0; a < space; ++a) {
        long double low = own[a];
        long double high = own[a];
        for (const Vector<T>& v : all) {
            low = std::min<long double>(low, v[a]);
            high = std::max<long double>(high, v[a]);
        }
        if (high - low > largest) {
            largest = high - low;
            widest = a;
        }
    }
    EXPECT_EQ(axis, widest) << "node " << node;
    EXPECT_EQ(left.size(), all.size() / 2) << "node " << node;
    for (const Vector<T>& v : left)
        EXPECT_LE(v[axis], own[axis]) << "node " << node;
    for (const Vector<T>& v : right)
        EXPECT_GE(v[axis], own[axis]) << "node " << node;
    return all;
}

// Large trees split their first levels and build the subtrees below them on
// several threads: a scratch buffer shared between threads, or a subtree
// built from rows another thread is still sorting, would break the build
// rule or change the tree with the thread count (and with it which of two
// equidistant vertices a search keeps).
TYPED_TEST(KDTreeTest, LargeTreesAreTheSameOnAnyNumberOfThreads)
{
    using T = TypeParam;
    for (const bool coarse : {false, true}) {
        std::mt19937 rng(coarse ? 7 : 8);
        const int n = 5000;
        Vertices<T> points(3, n);
        for (int i = 0; i < n; ++i)
            points[i] = randomPoint<T>(rng, 3, coarse, 80);
        std::vector<int> vertex1;
        std::vector<int> axis1;
        for (const int threads : {1, 2, 4}) {
            const plexan::parallel::ThreadCountScope scope(threads);
            const KDTree<T> tree(points);
            ASSERT_EQ(checkSubtree(tree, 0, 3).size(), static_cast<std::size_t>(n));
            std::vector<int> vertex;
            std::vector<int> axis;
            for (int node = 0; node < tree.getNumNodes(); ++node) {
                vertex.push_back(tree.getNodeVertex(node));
                axis.push_back(tree.getNodeAxis(node));
            }
            if (threads == 1) {
                vertex1 = vertex;
                axis1 = axis;
            } else {
                EXPECT_EQ(vertex, vertex1) << threads << " threads";
                EXPECT_EQ(axis, axis1) << threads << " threads";
            }
        }
    }
}

// The tree a plain recursion makes from the build rule: split along the
// coordinate of largest extent (the first on a tie), order the vertices by
// it with std::stable_sort, keep the one at half the count as the node.
// Integer-valued coordinates, so that extents compare exactly in any type
// and many keys tie: which of the tied vertices becomes a node depends on
// the sorts keeping the order of equal keys at every level.
template <typename T>
void referenceBuild(const Vertices<T>& points, std::vector<int> rows, int node, int space, std::vector<int>& vertex)
{
    if (rows.empty())
        return;
    if (static_cast<std::size_t>(node) >= vertex.size())
        vertex.resize(static_cast<std::size_t>(node) + 1, -1);
    int axis = 0;
    long double largest = -1;
    for (int a = 0; a < space; ++a) {
        long double low = points[rows[0]][a];
        long double high = low;
        for (int r : rows) {
            low = std::min<long double>(low, points[r][a]);
            high = std::max<long double>(high, points[r][a]);
        }
        if (high - low > largest) {
            largest = high - low;
            axis = a;
        }
    }
    std::stable_sort(rows.begin(), rows.end(), [&](int a, int b) { return points[a][axis] < points[b][axis]; });
    const std::size_t median = rows.size() / 2;
    vertex[static_cast<std::size_t>(node)] = points.getIndexes()[static_cast<std::size_t>(rows[median])];
    referenceBuild(points, std::vector<int>(rows.begin(), rows.begin() + static_cast<std::ptrdiff_t>(median)),
                   2 * node + 1, space, vertex);
    referenceBuild(points, std::vector<int>(rows.begin() + static_cast<std::ptrdiff_t>(median) + 1, rows.end()),
                   2 * node + 2, space, vertex);
}

// Nodes of 8,192 vertices or more near the root sort on several threads, in
// blocks merged pairwise, each merge cut at the points where a stable merge
// passes: 8,195 and 20,000 vertices make blocks of unequal sizes, five
// coordinate values (reach 16) runs of ties longer than a block, cut by the
// merges anywhere.
TYPED_TEST(KDTreeTest, TiesKeepTheirOrderAtEveryLevel)
{
    using T = TypeParam;
    std::mt19937 rng(17);
    const std::pair<int, double> cases[] = {{40, 60}, {700, 60}, {5000, 60}, {8195, 60}, {20000, 60}, {20000, 16}};
    for (const auto& [n, reach] : cases) {
        Vertices<T> points(3, n);
        for (int i = 0; i < n; ++i)
            points[i] = randomPoint<T>(rng, 3, true, reach);
        std::vector<int> rows(static_cast<std::size_t>(n));
        for (int i = 0; i < n; ++i)
            rows[static_cast<std::size_t>(i)] = i;
        std::vector<int> expected;
        referenceBuild(points, rows, 0, 3, expected);
        for (const int threads : {1, 2, 3, 4}) {
            const plexan::parallel::ThreadCountScope scope(threads);
            const KDTree<T> tree(points);
            std::vector<int> vertex(expected.size(), -1);
            for (int node = 0; node < tree.getNumNodes() && node < static_cast<int>(vertex.size()); ++node)
                vertex[static_cast<std::size_t>(node)] = tree.getNodeVertex(node);
            EXPECT_EQ(vertex, expected) << n << " vertices, reach " << reach << ", " << threads << " threads";
        }
    }
}

TYPED_TEST(KDTreeTest, SmallTrees)
{
    using T = TypeParam;
    Vertices<T> one(2, 1);
    one[0] = Vector<T>{3, 4};
    EXPECT_EQ(KDTree<T>(one).nearestVertex(Vector<T>{-100, 7}), 0);
    // Seven points on a line: the root splits at the median, its children at
    // the medians of the halves, depth first.
    Vertices<T> line(2, 7);
    for (int i = 0; i < 7; ++i)
        line[i] = Vector<T>{static_cast<T>((i * 5) % 7), 1}; // x = 0 5 3 1 6 4 2
    const KDTree<T> tree(line);
    std::vector<int> xs;
    for (int node = 0; node < 7; ++node)
        xs.push_back(static_cast<int>(line.getServer()->vertex(tree.getNodeVertex(node))[0]));
    EXPECT_EQ(xs, (std::vector<int>{3, 1, 5, 0, 2, 4, 6}));
    // No vertex: k results at the largest distance.
    const Vertices<T> none;
    const KDTree<T> empty(none);
    EXPECT_EQ(empty.nearestVertex(Vector<T>{0, 0}), -1);
    Vector<int> nodes;
    Vector<T> distances;
    empty.kNearestNeighbours(nodes, distances, 2, Vector<T>{0, 0});
    EXPECT_EQ(nodes, (Vector<int>{-1, -1}));
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
    EXPECT_EQ(found.toVector(), (Vector<float>{0, 0, 1, 0, 2, 0}));

    Vertices<float> elsewhere(2, 1);
    stack.append(elsewhere);
    KDTree<float> refused;
    EXPECT_THROW(refused.setShape(stack), ValueError);
}

} // namespace
