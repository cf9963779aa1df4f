#include "geometry/kdtree.h"

#include "geometry/vertexstack.h"
#include "numerics/parallel.h"

#include <algorithm>
#include <limits>

template <typename T>
KDTree<T>::KDTree(const Shape<T>& shape)
{
    setShape(shape);
}

template <typename T>
void KDTree<T>::setShape(const Shape<T>& shape)
{
    m_shape = &shape;
    build();
}

namespace {

// The pool holding every vertex of the shape, and their server indices in
// vertex order.
template <typename T>
const VertexServer<T>* collectVertices(const Shape<T>& shape, std::vector<int>& indexes)
{
    indexes.clear();
    if (const auto* list = dynamic_cast<const Vertices<T>*>(&shape)) {
        indexes = list->getIndexes();
        return list->getServer();
    }
    if (const auto* stack = dynamic_cast<const VertexStack<T>*>(&shape)) {
        const VertexServer<T>* pool = nullptr;
        for (int k = 0; k < stack->getHeight(); ++k) {
            const Vertices<T>& level = (*stack)[k];
            if (level.getNumVertices() == 0)
                continue;
            if (pool && level.getServer() != pool)
                throw ValueError("void KDTree<T>::setShape(const Shape<T>&)",
                                 "The levels of this vertex stack do not share one vertex server");
            pool = level.getServer();
            indexes.insert(indexes.end(), level.getIndexes().begin(), level.getIndexes().end());
        }
        return pool;
    }
    for (ConstVertexIterator<T> it(shape); it.current(); ++it)
        indexes.push_back(it.currentServerIndex());
    return shape.getServer();
}

} // namespace

template <typename T>
void KDTree<T>::build()
{
    m_nodeVertex.clear();
    m_nodeAxis.clear();
    m_nodeCoordinates.clear();
    m_vertices = Vertices<T>();
    m_space = 0;
    if (!m_shape)
        return;

    std::vector<int> indexes;
    const VertexServer<T>* pool = collectVertices(*m_shape, indexes);
    const int n = pool ? static_cast<int>(indexes.size()) : 0;
    m_space = pool ? pool->getSpace() : 0;
    if (pool) {
        m_vertices.setServer(const_cast<VertexServer<T>*>(pool));
        m_vertices.setSize(n, false);
        for (int i = 0; i < n; ++i)
            m_vertices.setIndex(i, indexes[static_cast<std::size_t>(i)]);
    }

    // 2^(1 + floor(log2(n + 1))) - 1 nodes.
    int levels = 1;
    while ((1LL << levels) <= static_cast<long long>(n) + 1)
        ++levels;
    const std::size_t size = (std::size_t(1) << levels) - 1;
    m_nodeVertex.assign(size, -1);
    m_nodeAxis.assign(size, m_space);
    m_nodeCoordinates.assign(size * static_cast<std::size_t>(m_space), T(0));
    if (n == 0)
        return;

    // The sort matrix: row r holds the server index and the coordinates of
    // vertex r; rows are reordered through a permutation.
    std::vector<T> points(static_cast<std::size_t>(n) * m_space);
    for (int r = 0; r < n; ++r)
        std::copy_n((*pool)[indexes[static_cast<std::size_t>(r)]].data(), m_space,
                    points.data() + static_cast<std::size_t>(r) * m_space);
    std::vector<int> rows(static_cast<std::size_t>(n));
    for (int r = 0; r < n; ++r)
        rows[static_cast<std::size_t>(r)] = r;

    // The first levels are split one level at a time, the nodes of a level
    // side by side; the subtrees below them are then built side by side.
    // Every node sorts only its own rows, so the tree is the same whatever
    // the thread count.
    // Levels with fewer nodes than threads sort each node's rows on several
    // threads too, in the same order.
    std::vector<Pending> level{{0, 0, n - 1}};
    const int threads = plexan::parallel::getThreadCount();
    for (int depth = 0; depth < splitLevels && n >= parallelBuildSize; ++depth) {
        std::vector<Pending> next(2 * level.size(), Pending{-1, 0, -1});
        const bool spread = threads > 1 && static_cast<int>(level.size()) < threads;
        plexan::parallel::forEachChunk(0, static_cast<std::ptrdiff_t>(level.size()), 1,
                                       [&](std::ptrdiff_t first, std::ptrdiff_t last) {
                                           std::vector<std::pair<T, int>> keys;
                                           for (std::ptrdiff_t e = first; e < last; ++e) {
                                               const Pending& p = level[static_cast<std::size_t>(e)];
                                               splitNode(p.node, p.lo, p.hi, rows, points, indexes, keys,
                                                         &next[2 * static_cast<std::size_t>(e)], spread);
                                           }
                                       });
        level.clear();
        for (const Pending& p : next)
            if (p.node >= 0)
                level.push_back(p);
    }
    plexan::parallel::forEachChunk(0, static_cast<std::ptrdiff_t>(level.size()), 1,
                                   [&](std::ptrdiff_t first, std::ptrdiff_t last) {
                                       std::vector<std::pair<T, int>> keys;
                                       for (std::ptrdiff_t e = first; e < last; ++e) {
                                           const Pending& p = level[static_cast<std::size_t>(e)];
                                           buildNode(p.node, p.lo, p.hi, rows, points, indexes, keys);
                                       }
                                   });
}

template <typename T>
void KDTree<T>::setNode(int node, int row, const std::vector<T>& points, const std::vector<int>& serverIndex,
                        int axis)
{
    const std::size_t k = static_cast<std::size_t>(node);
    m_nodeVertex[k] = serverIndex[static_cast<std::size_t>(row)];
    m_nodeAxis[k] = axis;
    std::copy_n(points.data() + static_cast<std::size_t>(row) * m_space, m_space,
                m_nodeCoordinates.data() + k * m_space);
}

namespace {

// Sorts a[0 .. m) stably by the first member, through b (room for m): runs
// of 32 sorted by insertion, then merged pairwise; returns whichever of a and
// b holds the result.
template <typename Key>
Key* mergeSortKeys(Key* a, Key* b, std::size_t m)
{
    constexpr std::size_t run = 32;
    for (std::size_t r = 0; r < m; r += run) {
        const std::size_t e = std::min(m, r + run);
        for (std::size_t i = r + 1; i < e; ++i) {
            const Key x = a[i];
            std::size_t j = i;
            while (j > r && x.first < a[j - 1].first) {
                a[j] = a[j - 1];
                --j;
            }
            a[j] = x;
        }
    }
    const auto less = [](const Key& x, const Key& y) { return x.first < y.first; };
    for (std::size_t width = run; width < m; width *= 2) {
        for (std::size_t r = 0; r < m; r += 2 * width) {
            const std::size_t middle = std::min(m, r + width);
            const std::size_t e = std::min(m, r + 2 * width);
            // Equal keys: those of the first run first, so the sort stays stable.
            std::merge(a + r, a + middle, a + middle, a + e, b + r, less);
        }
        std::swap(a, b);
    }
    return a;
}

// How many of the first q elements of the stable merge of the sorted ranges
// x[0 .. nx) and y[0 .. ny) (x first among equal keys) come from x.
template <typename Key>
std::size_t mergeSplit(const Key* x, std::size_t nx, const Key* y, std::size_t ny, std::size_t q)
{
    std::size_t low = q > ny ? q - ny : 0;
    std::size_t high = std::min(q, nx);
    while (low < high) {
        const std::size_t middle = (low + high) / 2;
        // x[middle] is among the first q unless y[q - middle - 1] goes before it.
        if (y[q - middle - 1].first < x[middle].first)
            high = middle;
        else
            low = middle + 1;
    }
    return low;
}

} // namespace

// Stably sorts rows lo .. hi by coordinate axis: insertion sort for short
// ranges, otherwise a merge sort of contiguous (key, row) pairs. keys is the
// calling thread's scratch, kept from node to node: a buffer allocated afresh
// by every large sort was faulted in page by page each time. Side by side
// (spread), eight blocks are sorted at once, then merged pairwise, every
// merge cut into pieces of equal output at the points where a stable merge
// passes them: the same order as on one thread.
template <typename T>
void KDTree<T>::sortRows(std::vector<int>& rows, int lo, int hi, const std::vector<T>& points, int axis,
                         std::vector<std::pair<T, int>>& keys, bool spread) const
{
    using Key = std::pair<T, int>;
    const int space = m_space;
    auto key = [&](int row) { return points[static_cast<std::size_t>(row) * space + axis]; };
    if (hi - lo < 32) {
        for (int i = lo + 1; i <= hi; ++i) {
            const int row = rows[static_cast<std::size_t>(i)];
            const T x = key(row);
            int j = i - 1;
            while (j >= lo && x < key(rows[static_cast<std::size_t>(j)])) {
                rows[static_cast<std::size_t>(j) + 1] = rows[static_cast<std::size_t>(j)];
                --j;
            }
            rows[static_cast<std::size_t>(j) + 1] = row;
        }
        return;
    }
    const std::size_t m = static_cast<std::size_t>(hi - lo + 1);
    if (keys.size() < 2 * m)
        keys.resize(2 * m);
    Key* from = keys.data();
    Key* to = keys.data() + m;
    int* out = rows.data() + lo;
    if (!spread || m < parallelSortSize) {
        for (std::size_t i = 0; i < m; ++i)
            from[i] = Key(key(out[i]), out[i]);
        const Key* sorted = mergeSortKeys(from, to, m);
        for (std::size_t i = 0; i < m; ++i)
            out[i] = sorted[i].second;
        return;
    }
    constexpr std::size_t blocks = 8;
    const std::size_t block = (m + blocks - 1) / blocks;
    plexan::parallel::forEachChunk(0, blocks, 1, [&](std::ptrdiff_t c, std::ptrdiff_t) {
        const std::size_t b = static_cast<std::size_t>(c) * block;
        const std::size_t e = std::min(m, b + block);
        if (b >= e)
            return;
        for (std::size_t i = b; i < e; ++i)
            from[i] = Key(key(out[i]), out[i]);
        const Key* sorted = mergeSortKeys(from + b, to + b, e - b);
        if (sorted != from + b)
            std::copy(sorted, sorted + (e - b), from + b);
    });
    const auto less = [](const Key& x, const Key& y) { return x.first < y.first; };
    for (std::size_t width = block; width < m; width *= 2) {
        const std::size_t pairs = (m + 2 * width - 1) / (2 * width);
        const std::size_t pieces = std::max<std::size_t>(1, blocks / pairs);
        const bool last = 2 * width >= m;
        plexan::parallel::forEachChunk(
            0, static_cast<std::ptrdiff_t>(pairs * pieces), 1, [&](std::ptrdiff_t c, std::ptrdiff_t) {
                const std::size_t b = static_cast<std::size_t>(c) / pieces * 2 * width;
                const std::size_t piece = static_cast<std::size_t>(c) % pieces;
                const std::size_t middle = std::min(m, b + width);
                const std::size_t e = std::min(m, b + 2 * width);
                const std::size_t n = e - b;
                const std::size_t q0 = n * piece / pieces;
                const std::size_t q1 = n * (piece + 1) / pieces;
                const Key* x = from + b;
                const Key* y = from + middle;
                const std::size_t i0 = mergeSplit(x, middle - b, y, e - middle, q0);
                const std::size_t i1 = mergeSplit(x, middle - b, y, e - middle, q1);
                std::merge(x + i0, x + i1, y + (q0 - i0), y + (q1 - i1), to + b + q0, less);
                if (last)
                    for (std::size_t q = b + q0; q < b + q1; ++q)
                        out[q] = to[q].second;
            });
        std::swap(from, to);
    }
}

template <typename T>
void KDTree<T>::splitNode(int node, int lo, int hi, std::vector<int>& rows, const std::vector<T>& points,
                          const std::vector<int>& serverIndex, std::vector<std::pair<T, int>>& keys,
                          Pending* children, bool spread)
{
    const int space = m_space;
    // Split along the coordinate of largest extent, the first winning a tie.
    int axis = 0;
    Distance largest = -1;
    for (int a = 0; a < space; ++a) {
        T low = points[static_cast<std::size_t>(rows[static_cast<std::size_t>(lo)]) * space + a];
        T high = low;
        for (int i = lo + 1; i <= hi; ++i) {
            const T x = points[static_cast<std::size_t>(rows[static_cast<std::size_t>(i)]) * space + a];
            low = std::min(low, x);
            high = std::max(high, x);
        }
        const Distance extent = static_cast<Distance>(high) - static_cast<Distance>(low);
        if (extent > largest) {
            largest = extent;
            axis = a;
        }
    }
    sortRows(rows, lo, hi, points, axis, keys, spread);
    const int median = lo + (hi - lo + 1) / 2;
    setNode(node, rows[static_cast<std::size_t>(median)], points, serverIndex, axis);
    children[0] = children[1] = Pending{-1, 0, -1};
    if (median > lo) {
        if (median - 1 == lo)
            setNode(2 * node + 1, rows[static_cast<std::size_t>(lo)], points, serverIndex, space);
        else
            children[0] = Pending{2 * node + 1, lo, median - 1};
    }
    if (median < hi) {
        if (median + 1 == hi)
            setNode(2 * node + 2, rows[static_cast<std::size_t>(hi)], points, serverIndex, space);
        else
            children[1] = Pending{2 * node + 2, median + 1, hi};
    }
}

template <typename T>
void KDTree<T>::buildNode(int node, int lo, int hi, std::vector<int>& rows, const std::vector<T>& points,
                          const std::vector<int>& serverIndex, std::vector<std::pair<T, int>>& keys)
{
    Pending children[2];
    splitNode(node, lo, hi, rows, points, serverIndex, keys, children);
    for (const Pending& child : children)
        if (child.node >= 0)
            buildNode(child.node, child.lo, child.hi, rows, points, serverIndex, keys);
}

template <typename T>
typename KDTree<T>::Distance KDTree<T>::squaredDistanceTo(int node, const T* p) const
{
    const T* x = m_nodeCoordinates.data() + static_cast<std::size_t>(node) * m_space;
    Distance s = 0;
    for (int a = 0; a < m_space; ++a) {
        const Distance d = static_cast<Distance>(p[a]) - static_cast<Distance>(x[a]);
        s += d * d;
    }
    return s;
}

template <typename T>
void KDTree<T>::searchNearest(int node, const T* p, int& best, Distance& bestDistance) const
{
    const int axis = m_nodeAxis[static_cast<std::size_t>(node)];
    const int left = 2 * node + 1;
    const int right = left + 1;
    if (axis < m_space && exists(left)) {
        const Distance d = static_cast<Distance>(p[axis]) -
                           static_cast<Distance>(m_nodeCoordinates[static_cast<std::size_t>(node) * m_space + axis]);
        if (d < 0) {
            searchNearest(left, p, best, bestDistance);
            if (exists(right) && bestDistance > d * d)
                searchNearest(right, p, best, bestDistance);
        } else {
            if (exists(right))
                searchNearest(right, p, best, bestDistance);
            if (bestDistance > d * d)
                searchNearest(left, p, best, bestDistance);
        }
    }
    const Distance own = squaredDistanceTo(node, p);
    if (own < bestDistance) {
        bestDistance = own;
        best = node;
    }
}

template <typename T>
void KDTree<T>::searchNearest(int node, const T* p, std::vector<Candidate>& best) const
{
    const int axis = m_nodeAxis[static_cast<std::size_t>(node)];
    const int left = 2 * node + 1;
    const int right = left + 1;
    if (axis < m_space && exists(left)) {
        const Distance d = static_cast<Distance>(p[axis]) -
                           static_cast<Distance>(m_nodeCoordinates[static_cast<std::size_t>(node) * m_space + axis]);
        if (d < 0) {
            searchNearest(left, p, best);
            if (exists(right) && best.back().distance > d * d)
                searchNearest(right, p, best);
        } else {
            if (exists(right))
                searchNearest(right, p, best);
            if (best.back().distance > d * d)
                searchNearest(left, p, best);
        }
    }
    const Distance own = squaredDistanceTo(node, p);
    if (own < best.back().distance) {
        // Behind every candidate at the same distance: earlier ones stay ahead.
        auto at = std::upper_bound(best.begin(), best.end() - 1, own,
                                   [](Distance d, const Candidate& c) { return d < c.distance; });
        std::move_backward(at, best.end() - 1, best.end());
        *at = Candidate{own, node};
    }
}

template <typename T>
void KDTree<T>::checkQuery(const Vector<T>& p, const char* where) const
{
    if (p.getSize() != m_space && !m_nodeVertex.empty() && m_nodeVertex.front() >= 0)
        throw SizeError(where, "Incompatible vector dimensions");
}

template <typename T>
int KDTree<T>::nearestVertex(const Vector<T>& p) const
{
    T distance;
    return nearestVertex(p, distance);
}

template <typename T>
int KDTree<T>::nearestVertex(const Vector<T>& p, T& squaredDistance) const
{
    checkQuery(p, "int KDTree<T>::nearestVertex(const Vector<T>&) const");
    if (!exists(0)) {
        squaredDistance = T(0);
        return -1;
    }
    int best = 0;
    Distance bestDistance = squaredDistanceTo(0, p.data());
    searchNearest(0, p.data(), best, bestDistance);
    squaredDistance = static_cast<T>(bestDistance);
    return m_nodeVertex[static_cast<std::size_t>(best)];
}

template <typename T>
void KDTree<T>::nearestNeighbour(int& node, Distance& squaredDistance, int start, const Vector<T>& p) const
{
    checkQuery(p, "void KDTree<T>::nearestNeighbour(int&,T&,int,const Vector<T>&) const");
    if (exists(start))
        searchNearest(start, p.data(), node, squaredDistance);
}

template <typename T>
void KDTree<T>::kNearestNeighbours(Vector<int>& nodes, Vector<T>& squaredDistances, int k, const Vector<T>& p,
                                   int start) const
{
    checkQuery(p, "void KDTree<T>::kNearestNeighbours(Vector<int>&,Vector<T>&,int,const Vector<T>&,int) const");
    k = std::max(k, 0);
    nodes.setSize(k);
    squaredDistances.setSize(k);
    if (k == 0)
        return;
    std::vector<Candidate> best(static_cast<std::size_t>(k), Candidate{std::numeric_limits<Distance>::max(), -1});
    if (exists(start))
        searchNearest(start, p.data(), best);
    for (int i = 0; i < k; ++i) {
        const Candidate& c = best[static_cast<std::size_t>(i)];
        nodes[i] = c.node;
        if constexpr (std::is_integral_v<T>)
            squaredDistances[i] = c.distance > static_cast<Distance>(std::numeric_limits<T>::max())
                                      ? std::numeric_limits<T>::max()
                                      : static_cast<T>(c.distance);
        else
            squaredDistances[i] = static_cast<T>(c.distance);
    }
}

template <typename T>
void KDTree<T>::nearestVertices(Vertices<T>& result, const Vector<T>& p, int k) const
{
    Vector<int> nodes;
    Vector<T> distances;
    kNearestNeighbours(nodes, distances, k, p);
    Vertices<T> found(m_vertices);
    int count = 0;
    while (count < nodes.getSize() && nodes[count] >= 0)
        ++count;
    found.setSize(count, false);
    for (int i = 0; i < count; ++i)
        found.setIndex(i, m_nodeVertex[static_cast<std::size_t>(nodes[i])]);
    result = found;
}

#define PLEXAN_INSTANTIATE(T) template class KDTree<T>;
PLEXAN_FOR_EACH_COORDINATE_TYPE(PLEXAN_INSTANTIATE)
#undef PLEXAN_INSTANTIATE
