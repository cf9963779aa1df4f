#include "statistics/poissondensityestimator.h"

#include "numerics/exception.h"
#include "numerics/parallel.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <iostream>
#include <limits>
#include <memory>
#include <thread>
#include <vector>

namespace {

constexpr double pi = 3.141592653589793;

// A pattern's kd-tree laid out for queries: one record per node with the
// coordinates of its vertex and its split axis (0 to 2; 3 for a leaf; -1 for
// an empty node), padded with empty nodes so that the children of every node
// can be read without a bounds check.
template <typename T>
class FlatTree {
public:
    // Aligned to its size (32 bytes for double), so that no record
    // straddles two cache lines: large arrays from the allocator otherwise
    // start 16 bytes into a line.
    struct alignas(sizeof(T) * 3 + sizeof(int) <= 16 ? 16 : sizeof(T) * 3 + sizeof(int) <= 32 ? 32 : 64) Node {
        T x[3];
        int axis;
    };

    explicit FlatTree(const KDTree<T>& tree)
    {
        const int n = tree.getNumNodes();
        const std::ptrdiff_t size = 2 * static_cast<std::ptrdiff_t>(n) + 3;
        // Every record is written once below, by the thread of its chunk.
        m_nodes.reset(new Node[static_cast<std::size_t>(size)]);
        std::atomic<int> count{0};
        plexan::parallel::forEachChunk(0, size, 1 << 14, [&](std::ptrdiff_t first, std::ptrdiff_t last) {
            int found = 0;
            for (std::ptrdiff_t k = first; k < last; ++k) {
                Node& node = m_nodes[static_cast<std::size_t>(k)];
                const int at = static_cast<int>(k);
                if (k < n && tree.getNodeVertex(at) >= 0) {
                    std::copy_n(tree.getNodeCoordinates(at), 3, node.x);
                    node.axis = std::min(tree.getNodeAxis(at), 3);
                    ++found;
                } else {
                    node = Node{{T(0), T(0), T(0)}, -1};
                }
            }
            count += found;
        });
        m_count = count.load();
    }

    int getCount() const { return m_count; }

    // The squared distance from p to its k-th nearest vertex (k no more than
    // the vertex count), searching only below the squared distance bound;
    // when fewer than k vertices lie below the bound, the search is repeated
    // without it.
    // best: room for k distances, reused from query to query.
    T kthSquaredDistance(const T* p, int k, T bound, T* best) const
    {
        Query q{m_nodes.get(), {p[0], p[1], p[2]}, best, k, 0};
        std::fill_n(q.best, k, bound);
        q.visit(0);
        if (q.found < k) {
            std::fill_n(q.best, k, std::numeric_limits<T>::max());
            q.found = 0;
            q.visit(0);
        }
        return q.best[k - 1];
    }

private:
    struct Query {
        const Node* nodes;
        T p[3];
        T* best;
        int k;
        int found;

        // The visit order of the tree: the child on the query's side, the
        // other child while the split plane is closer than the k-th best,
        // then the node itself when strictly closer than the k-th best.
        void visit(int n)
        {
            const Node& node = nodes[n];
            const int axis = node.axis;
            const int left = 2 * n + 1;
            if (axis < 3 && nodes[left].axis >= 0) {
                const T d = p[axis] - node.x[axis];
                if (d < T(0)) {
                    visit(left);
                    if (nodes[left + 1].axis >= 0 && best[k - 1] > d * d)
                        visit(left + 1);
                } else {
                    if (nodes[left + 1].axis >= 0)
                        visit(left + 1);
                    if (best[k - 1] > d * d)
                        visit(left);
                }
            }
            const T d0 = p[0] - node.x[0];
            const T d1 = p[1] - node.x[1];
            const T d2 = p[2] - node.x[2];
            T own = T(0);
            own += d0 * d0;
            own += d1 * d1;
            own += d2 * d2;
            if (own < best[k - 1]) {
                int i = k - 1;
                while (i > 0 && best[i - 1] > own) {
                    best[i] = best[i - 1];
                    --i;
                }
                best[i] = own;
                ++found;
            }
        }
    };

    std::unique_ptr<Node[]> m_nodes;
    int m_count = 0;
};

} // namespace

template <typename T>
PoissonDensityEstimator<T>::~PoissonDensityEstimator() = default;

template <typename T>
void PoissonDensityEstimator<T>::setNeighbourRank(int k)
{
    if (k < 1)
        throw ValueError("void PoissonDensityEstimator<T>::setNeighbourRank(int)",
                         "The neighbour rank must be at least 1");
    m_rank = k;
}

template <typename T>
void PoissonDensityEstimator<T>::addShape(Shape<T>& shape)
{
    const std::size_t before = this->m_shapes.size();
    DensityEstimator<T>::addShape(shape);
    if (this->m_shapes.size() == before)
        return;
    try {
        m_trees.push_back(std::make_unique<KDTree<T>>(shape));
    } catch (...) {
        this->m_shapes.pop_back();
        throw;
    }
}

template <typename T>
void PoissonDensityEstimator<T>::removeShape(Shape<T>& shape)
{
    DensityEstimator<T>::removeShape(shape);
    m_trees.erase(std::remove_if(m_trees.begin(), m_trees.end(),
                                 [&](const std::unique_ptr<KDTree<T>>& t) { return t->getShape() == &shape; }),
                  m_trees.end());
}

template <typename T>
float PoissonDensityEstimator<T>::numerator() const
{
    const int m = static_cast<int>(this->m_shapes.size());
    return static_cast<float>((m_rank * m - 1) * 0.75 / pi);
}

template <typename T>
T PoissonDensityEstimator<T>::kthSquaredDistance(int s, const Vector<T>& p) const
{
    const KDTree<T>& tree = *m_trees[static_cast<std::size_t>(s)];
    const int k = std::min(m_rank, tree.getVertices().getNumVertices());
    if (k < 1)
        return T(0);
    Vector<int> nodes;
    Vector<T> distances;
    tree.kNearestNeighbours(nodes, distances, k, p);
    return distances[k - 1];
}

template <typename T>
T PoissonDensityEstimator<T>::compute3D(const Vector<T>& point) const
{
    // Unlike the grid, a single point is worked out in the precision of T
    // throughout, the numerator included.
    const int m = static_cast<int>(this->m_shapes.size());
    const T numer = static_cast<T>(m_rank * m - 1) * T(0.75) / static_cast<T>(pi);
    T sum = T(0);
    for (int s = 0; s < static_cast<int>(m_trees.size()); ++s)
        sum += std::pow(kthSquaredDistance(s, point), T(1.5));
    return numer / sum;
}

template <typename T>
Vector<T> PoissonDensityEstimator<T>::compute3D(const Vertices<T>& vertices) const
{
    Vector<T> out(static_cast<unsigned int>(vertices.getNumVertices()));
    for (int i = 0; i < vertices.getNumVertices(); ++i)
        out[i] = compute3D(vertices[i]);
    return out;
}

template <typename T>
T PoissonDensityEstimator<T>::bruteForceKthNeighbourDistance(const Shape<T>& shape, const Vector<T>& point) const
{
    std::vector<T> kept;
    kept.reserve(static_cast<std::size_t>(m_rank) + 1);
    for (ConstVertexIterator<T> it(shape); it.current(); ++it) {
        const Vector<T>& v = *it.current();
        if (v.getSize() != point.getSize())
            throw SizeError("T PoissonDensityEstimator<T>::bruteForceKthNeighbourDistance(const Shape<T>&,const "
                            "Vector<T>&) const",
                            "Incompatible vector dimensions");
        T d2 = T(0);
        for (int a = 0; a < point.getSize(); ++a) {
            const T d = point[a] - v[a];
            d2 += d * d;
        }
        if (static_cast<int>(kept.size()) == m_rank && !(d2 < kept.back()))
            continue;
        kept.insert(std::upper_bound(kept.begin(), kept.end(), d2), d2);
        if (static_cast<int>(kept.size()) > m_rank)
            kept.pop_back();
    }
    return kept.empty() ? T(0) : kept.back();
}

template <typename T>
void PoissonDensityEstimator<T>::compute(VoxelMatrix<T>& matrix, const BoundingBox<T>& box)
{
    const char* where = "void PoissonDensityEstimator<T>::compute(VoxelMatrix<T>&,const BoundingBox<T>&)";
    if (box.getVertex1().getSize() != 3 || box.getVertex2().getSize() != 3)
        throw SizeError(where, "Incompatible vector dimensions");
    const int size[3] = {matrix.getSize1(), matrix.getSize2(), matrix.getSize3()};
    T origin[3];
    T step[3];
    for (int a = 0; a < 3; ++a) {
        origin[a] = box.getVertex1()[a];
        const float s = size[a] > 1 ? static_cast<float>(box.width(a) / static_cast<T>(size[a] - 1)) : 0.0f;
        step[a] = static_cast<T>(s);
    }
    const T numer = static_cast<T>(numerator());

    std::vector<FlatTree<T>> trees;
    trees.reserve(m_trees.size());
    for (const auto& tree : m_trees) {
        if (tree->getVertices().getNumVertices() > 0 && tree->getVertices().getSpace() != 3)
            throw SizeError(where, "Incompatible vector dimensions");
        trees.emplace_back(*tree);
    }
    const std::size_t m = trees.size();
    std::vector<int> rank(m);
    for (std::size_t s = 0; s < m; ++s)
        rank[s] = std::min(m_rank, trees[s].getCount());

    // Blocks of rows in parallel (a quarter of a plane each, so that no
    // thread is left alone with a whole plane at the end), each from its own
    // first sample. Within a block, the k-th neighbour distance at the
    // previous sample and along the previous row, or at the first sample of
    // the row: a sample one step away has its k-th neighbour within that
    // distance plus the step. The bound only prunes the search, so the
    // samples do not depend on the cut. A block searches one tree after the
    // other, so that the tree it searches stays in the nearest caches (the
    // three trees of a 3 x 20,000-point estimate in double hold 1.9 MB, more
    // than a core's own cache), then sums every sample's distances in
    // pattern order.
    constexpr T infinity = std::numeric_limits<T>::max();
    const T h[3] = {std::abs(step[0]), std::abs(step[1]), std::abs(step[2])};
    const T slack = T(1) + T(64) * std::numeric_limits<T>::epsilon();
    auto boundFrom = [&](T r, T hop) {
        if (r == infinity)
            return infinity;
        const T b = r + hop;
        return b * b * slack + std::numeric_limits<T>::min();
    };

    using R = plexan::Accumulator<T>;
    const int planes = std::max(size[2], 0);
    const int blockRows = static_cast<int>(plexan::parallel::grainFor(size[0], 4));
    const int blocks = static_cast<int>(plexan::parallel::chunkCount(0, size[0], blockRows));
    // The sum of the distances of every block, added in block order after.
    std::vector<R> blockTotals(static_cast<std::size_t>(planes) * static_cast<std::size_t>(blocks), R(0));
    std::atomic<int> blocksDone{0};
    int reported = 0;
    const std::thread::id owner = std::this_thread::get_id();
    // Progress goes out from this thread only, one step per plane's worth of
    // blocks, in order.
    auto report = [&] {
        const int done = blocks > 0 ? blocksDone.load() / blocks : planes;
        for (; reported < done; ++reported)
            this->notifyProgressed(static_cast<unsigned int>(reported), static_cast<unsigned int>(planes));
    };
    this->notifyStarted("Poisson density estimation");
    plexan::parallel::forEachChunk(
        0, static_cast<std::ptrdiff_t>(blockTotals.size()), 1,
        [&](std::ptrdiff_t c, std::ptrdiff_t) {
            const int k = static_cast<int>(c / blocks);
            const int i0 = static_cast<int>(c % blocks) * blockRows;
            const int i1 = std::min(size[0], i0 + blockRows);
            const std::size_t columns = static_cast<std::size_t>(std::max(size[1], 0));
            const std::size_t samples = static_cast<std::size_t>(i1 - i0) * columns;
            // The squared k-th neighbour distance of every sample of the
            // block in each pattern, pattern after pattern.
            std::vector<T> squared(m * samples, T(0));
            std::vector<T> rowAbove(columns);
            std::vector<T> best(static_cast<std::size_t>(m_rank));
            T p[3];
            p[2] = origin[2] + static_cast<T>(k) * step[2];
            for (std::size_t s = 0; s < m; ++s) {
                if (rank[s] < 1)
                    continue;
                T* out = squared.data() + s * samples;
                T previous = infinity;
                T rowStart = infinity;
                std::fill(rowAbove.begin(), rowAbove.end(), infinity);
                for (int i = i0; i < i1; ++i) {
                    p[0] = origin[0] + static_cast<T>(i) * step[0];
                    for (int j = 0; j < size[1]; ++j) {
                        p[1] = origin[1] + static_cast<T>(j) * step[1];
                        T bound = j > 0    ? boundFrom(previous, h[1])
                                  : i > i0 ? boundFrom(rowStart, h[0])
                                           : infinity;
                        if (i > i0)
                            bound = std::min(bound, boundFrom(rowAbove[j], h[0]));
                        const T r2 = trees[s].kthSquaredDistance(p, rank[s], bound, best.data());
                        const T r = std::sqrt(r2);
                        *out++ = r2;
                        previous = r;
                        rowAbove[j] = r;
                        if (j == 0)
                            rowStart = r;
                    }
                }
            }
            R total = R(0);
            std::size_t n = 0;
            for (int i = i0; i < i1; ++i) {
                T* row = matrix[k][i].data();
                for (int j = 0; j < size[1]; ++j, ++n) {
                    T sum = T(0);
                    for (std::size_t s = 0; s < m; ++s) {
                        if (rank[s] < 1)
                            continue;
                        const T r2 = squared[s * samples + n];
                        total += static_cast<R>(std::sqrt(r2));
                        sum += std::pow(r2, T(1.5));
                    }
                    row[j] = m > 0 ? numer / sum : T(0);
                }
            }
            blockTotals[static_cast<std::size_t>(c)] = total;
            ++blocksDone;
            if (std::this_thread::get_id() == owner)
                report();
        },
        this);
    report();
    if (this->isCanceled()) {
        // The blocks not yet started were skipped: the grid is incomplete.
        this->notifyCanceled("");
        return;
    }
    R total = R(0);
    for (const R& t : blockTotals)
        total += t;
    this->notifyFinished("");
    const R count = static_cast<R>(size[0]) * size[1] * size[2] * static_cast<R>(m);
    std::cout << "Average distance to kth nearest neighbor: " << (count > R(0) ? total / count : R(0))
              << std::endl;
    this->applyMasks(matrix, box);
}

#define PLEXAN_INSTANTIATE(T) template class PoissonDensityEstimator<T>;
PLEXAN_FOR_EACH_REAL_TYPE(PLEXAN_INSTANTIATE)
#undef PLEXAN_INSTANTIATE
