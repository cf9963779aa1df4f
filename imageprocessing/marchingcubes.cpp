#include "imageprocessing/marchingcubes.h"

#include "imageprocessing/keptlease.h"
#include "imageprocessing/marchingcubestables.h"
#include "imageprocessing/unitnormals.h"

#include "numerics/hugepages.h"
#include "numerics/parallel.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <utility>
#include <vector>

namespace plexan::mc {

// One block of memory handed out front to back, from any thread, and
// emptied as a whole: what one extraction needs while it runs. From 1 MiB on
// the block is in huge pages, so that first writing it takes a page fault
// per 2 MiB rather than per 4 KiB.
class Arena {
public:
    Arena() = default;
    // Hands out a part of another arena's block, and what does not fit in
    // it from `rest`.
    Arena(void* data, std::size_t bytes, Arena* rest)
        : m_data(static_cast<char*>(data)), m_bytes(bytes), m_owner(false), m_rest(rest)
    {
    }
    Arena(const Arena&) = delete;
    Arena& operator=(const Arena&) = delete;
    ~Arena()
    {
        if (m_owner)
            plexan::freeLarge(m_data, m_bytes);
    }

    // Forgets everything handed out and makes sure of a block of at least
    // `bytes`.
    void reset(std::size_t bytes)
    {
        if (bytes > m_bytes) {
            constexpr std::size_t hugePage = std::size_t(2) << 20;
            if (bytes >= hugePage / 2)
                bytes = (bytes + hugePage - 1) / hugePage * hugePage;
            plexan::freeLarge(m_data, m_bytes);
            m_data = nullptr;
            m_bytes = 0;
            m_data = static_cast<char*>(plexan::allocateLarge(bytes));
            m_bytes = bytes;
        }
        m_used.store(0, std::memory_order_relaxed);
    }
    // The next `bytes` (aligned on 64), or nullptr when they do not fit.
    void* take(std::size_t bytes)
    {
        bytes = (bytes + 63) / 64 * 64;
        std::size_t used = m_used.load(std::memory_order_relaxed);
        do {
            if (bytes > m_bytes - used)
                return m_rest ? m_rest->take(bytes) : nullptr;
        } while (!m_used.compare_exchange_weak(used, used + bytes, std::memory_order_relaxed));
        return m_data + used;
    }
    // Hands the whole part out again (a lent part only).
    void rewind() { m_used.store(0, std::memory_order_relaxed); }
    std::size_t capacity() const { return m_bytes; }
    bool owns(const void* p) const
    {
        const char* c = static_cast<const char*>(p);
        return (m_data && c >= m_data && c < m_data + m_bytes) || (m_rest && m_rest->owns(p));
    }

private:
    char* m_data = nullptr;
    std::size_t m_bytes = 0;
    bool m_owner = true;
    Arena* m_rest = nullptr;
    std::atomic<std::size_t> m_used{0};
};

// The arena a thread keeps from one extraction to the next, whichever
// extractor makes it: a new extractor per surface (as a program making one
// isosurface after another does) would otherwise take its arena (12 MiB for
// the 200,000 triangles of a 256^3 blob volume) fresh from the system every
// time, pages the system clears when they are first written. An arena above
// 64 MiB is given back.
struct KeptArena {
    std::unique_ptr<Arena> arena;
    bool busy = false;
    std::size_t bytes() const { return arena ? arena->capacity() : 0; }
};
constexpr std::size_t keptArenaBytes = std::size_t(64) << 20;

} // namespace plexan::mc

using namespace plexan::mc;

namespace {

// Storage from the arena while it lasts, from the heap after that. resize()
// leaves new elements uninitialised: every buffer that grows that way is
// written in full before it is read.
template <typename X>
struct ArenaAllocator {
    using value_type = X;
    explicit ArenaAllocator(Arena& a) : arena(&a) {}
    template <typename U>
    ArenaAllocator(const ArenaAllocator<U>& other) : arena(other.arena)
    {
    }
    X* allocate(std::size_t n)
    {
        void* p = arena->take(n * sizeof(X));
        return static_cast<X*>(p ? p : ::operator new(n * sizeof(X)));
    }
    void deallocate(X* p, std::size_t) noexcept
    {
        if (!arena->owns(p))
            ::operator delete(p);
    }
    template <typename U>
    void construct(U* p) noexcept
    {
        ::new (static_cast<void*>(p)) U;
    }
    template <typename U, typename... Args>
    void construct(U* p, Args&&... args)
    {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
    template <typename U>
    bool operator==(const ArenaAllocator<U>& other) const
    {
        return arena == other.arena;
    }
    Arena* arena;
};

template <typename X>
using Buffer = std::vector<X, ArenaAllocator<X>>;

// The corners at the ends of the twelve cube edges.
constexpr int edgeCorners[12][2] = {{0, 1}, {1, 2}, {2, 3}, {3, 0}, {4, 5}, {5, 6},
                                    {6, 7}, {7, 4}, {0, 4}, {1, 5}, {2, 6}, {3, 7}};

// Vertex codes hold the number of the vertex in its list above two bits
// naming the list.
constexpr long long maxVerticesPerList = 1LL << 29;

// For every grid row i of a plane of inside flags (n1 rows of n2): first[i]
// is the first j where the flag changes between j and j + 1 (n2 - 1 if it
// never does), last[i] the last one (-1 if it never does). The cubes of a
// cube row before the first change of all its four grid rows, or after the
// last one, have eight equal corners when those rows start (or end) alike.
void rowChanges(const std::uint8_t* inside, int n1, int n2, int* first, int* last)
{
    for (int i = 0; i < n1; ++i) {
        const std::uint8_t* row = inside + static_cast<size_t>(i) * n2;
        const void* q = std::memchr(row, row[0] ^ 1, static_cast<size_t>(n2));
        if (!q) {
            first[i] = n2 - 1;
            last[i] = -1;
            continue;
        }
        first[i] = static_cast<int>(static_cast<const std::uint8_t*>(q) - row) - 1;
        const void* r = memrchr(row, row[n2 - 1] ^ 1, static_cast<size_t>(n2));
        last[i] = static_cast<int>(static_cast<const std::uint8_t*>(r) - row);
    }
}

// Calls f(j), in increasing order, for every j in [from, to) where the flags
// a[j] and b[j] differ. Flags are 0 or 1, so eight of them are compared at a
// time and only the bytes that differ are visited.
template <typename F>
[[gnu::always_inline]] inline void forEachChange(const std::uint8_t* a, const std::uint8_t* b, int from, int to, F&& f)
{
    int j = from;
    if constexpr (std::endian::native == std::endian::little) {
        for (; j + 8 <= to; j += 8) {
            std::uint64_t wa;
            std::uint64_t wb;
            std::memcpy(&wa, a + j, 8);
            std::memcpy(&wb, b + j, 8);
            std::uint64_t changes = wa ^ wb;
            while (changes) {
                f(j + (std::countr_zero(changes) >> 3));
                changes &= changes - 1;
            }
        }
    }
    for (; j < to; ++j)
        if (a[j] != b[j])
            f(j);
}

// The matrix rows are read once, from memory rather than the caches, and
// need not follow each other (a small volume's rows are allocated one by
// one): asking for a row a few rows ahead keeps the memory busy while the
// rows before it are converted.
constexpr int prefetchAhead = 4;
template <typename T>
[[gnu::always_inline]] inline void prefetchRow(const PixelMatrix<T>& source, int i, int rows, int columns)
{
    if (i >= rows)
        return;
    const char* p = reinterpret_cast<const char*>(source[i].data());
    const std::size_t bytes = static_cast<std::size_t>(columns) * sizeof(T);
    for (std::size_t b = 0; b < bytes; b += 64)
        __builtin_prefetch(p + b);
}

// Two rows of n2 flags a and b, with their first and last flag changes
// (rowChanges): before both rows' first change each holds its first flag,
// after both rows' last change its last one, so the flags can only differ
// between a row and the other in [from, to).
inline void changingSpan(const std::uint8_t* a, const std::uint8_t* b, int n2, int firstA, int lastA, int firstB,
                         int lastB, int& from, int& to)
{
    from = a[0] == b[0] ? std::min(firstA, firstB) + 1 : 0;
    to = a[n2 - 1] == b[n2 - 1] ? std::max(lastA, lastB) + 1 : n2;
}

// Where the surface cuts an edge whose ends hold the values a and b (minus
// the level, of opposite signs), as a fraction of the edge from a.
template <typename Real>
[[gnu::always_inline]] inline float crossing(Real a, Real b)
{
    return static_cast<float>(std::fabs(a / (b - a)));
}

// The grid and the level, as every slab sees them.
template <typename T>
struct Grid {
    const VoxelMatrix<T>* matrix = nullptr;
    bool closed = false;
    bool onFaces = false;
    // The first index of the range of grid points (-1 closed, 0 open), the
    // number of grid points along each axis and the last grid point inside
    // the matrix, counted from the start of the range.
    int origin = 0;
    int ni1 = 0;
    int ni2 = 0;
    int ni3 = 0;
    int last1 = 0;
    int last2 = 0;
    int last3 = 0;
};

} // namespace

template <typename T>
class MarchingCubes<T>::Slab {
public:
    // A vertex is referred to by its number in one of four lists (edges along
    // the first, second and third axes, interior vertices) and the list, in
    // the two low bits.
    enum { xAxis = 0, yAxis = 1, zAxis = 2, interior = 3 };

    // One grid plane: its rows in the matrix (null for the rows around the
    // matrix in closed mode), the inside flags, and the vertices on its
    // edges along the first and second axes (written only where an edge
    // carries one: the cubes read the edges the surface cuts and no others).
    // The values themselves are read from the matrix where the surface cuts
    // (value()): only the flags are needed everywhere.
    struct Plane {
        explicit Plane(Arena& arena)
            : rows(ArenaAllocator<const T*>(arena)), inside(ArenaAllocator<std::uint8_t>(arena)),
              xEdges(ArenaAllocator<int>(arena)), yEdges(ArenaAllocator<int>(arena))
        {
        }
        Buffer<const T*> rows;
        Buffer<std::uint8_t> inside;
        Buffer<int> xEdges;
        Buffer<int> yEdges;
    };

    // What a slab needs while it runs and not after: two planes, the third
    // axis's edge vertices between them, the flag changes of their rows and
    // the corner patterns of a cube row. Slabs run one after another on a
    // thread reuse one, so that the memory is touched once.
    struct Workspace {
        explicit Workspace(Arena& arena)
            : planes{Plane(arena), Plane(arena)}, zTable(ArenaAllocator<int>(arena)),
              changes{{Buffer<int>(ArenaAllocator<int>(arena)), Buffer<int>(ArenaAllocator<int>(arena))},
                      {Buffer<int>(ArenaAllocator<int>(arena)), Buffer<int>(ArenaAllocator<int>(arena))}},
              patterns(ArenaAllocator<std::uint8_t>(arena))
        {
        }
        // The bytes one workspace takes for planes of `count` grid points in
        // n1 rows of n2 (allocation rounding included).
        static std::size_t bytes(std::size_t count, std::size_t n1, std::size_t n2)
        {
            const auto rounded = [](std::size_t b) { return (b + 63) / 64 * 64; };
            return 2 * (rounded(n1 * sizeof(const T*)) + rounded(count) + 2 * rounded(count * sizeof(int)))
                   + rounded(count * sizeof(int)) + 4 * rounded(n1 * sizeof(int)) + rounded(n2);
        }
        Plane planes[2];
        Buffer<int> zTable;
        Buffer<int> changes[2][2];
        Buffer<std::uint8_t> patterns;
    };

    // The cube layers first .. end - 1 (between grid planes k and k + 1),
    // output from `arena`, normal sums from `sums`.
    Slab(Arena& arena, Arena& sums, const Grid<T>& grid, Real iso, int first, int end)
        : m_vertices{Buffer<float>(ArenaAllocator<float>(arena)), Buffer<float>(ArenaAllocator<float>(arena)),
                     Buffer<float>(ArenaAllocator<float>(arena)), Buffer<float>(ArenaAllocator<float>(arena))},
          m_triangles(ArenaAllocator<std::uint32_t>(arena)),
          m_normalSums{Buffer<double>(ArenaAllocator<double>(sums)), Buffer<double>(ArenaAllocator<double>(sums)),
                       Buffer<double>(ArenaAllocator<double>(sums)), Buffer<double>(ArenaAllocator<double>(sums))},
          m_matrix(grid.matrix), m_closed(grid.closed), m_onFaces(grid.onFaces), m_last1(grid.last1),
          m_last2(grid.last2), m_last3(grid.last3), m_iso(iso), m_origin(grid.origin), m_ni1(grid.ni1),
          m_ni2(grid.ni2), m_ni3(grid.ni3), m_first(first), m_end(end)
    {
    }

    // Reserves the output for about `vertices` vertices on grid edges.
    void reserve(std::size_t estimate[3]);
    // Extracts the slab's vertices and triangles, counting the cube layers
    // done; stops after the layer during which the build was cancelled.
    void run(Workspace& work, plexan::parallel::ProgressCounter& progress);

    // The output: coordinates of the four vertex lists and the triangles
    // (three vertex codes each). The vertices on the edges of the slab's
    // last grid plane come last in the first two lists; they belong to the
    // next slab, which makes them first in the same order, unless this is
    // the last slab.
    Buffer<float> m_vertices[4];
    Buffer<std::uint32_t> m_triangles;
    // The vertices of each list that belong to this slab.
    std::size_t m_owned[4] = {0, 0, 0, 0};
    // The triangles of the slab's first cube layer, the only ones that use
    // vertices on its first grid plane.
    std::size_t m_firstLayerTriangles = 0;
    // Per vertex of the four lists (in list order, the next slab's vertices
    // included), the sum of the unit normals of the slab's triangles using
    // it (sumNormals).
    Buffer<double> m_normalSums[4];

    // Sums the unit normals of the slab's triangles at their corners.
    void sumNormals();
    // The unit normal of triangle t (three vertex codes) into w, scaled by
    // its length; false for a triangle of no area.
    [[gnu::always_inline]] inline bool triangleNormal(const std::uint32_t* t, double w[3]) const;

private:
    void fillPlane(int k, Plane& plane) const;
    // The value at grid point (i, j) of a plane (counted from the start of
    // the range) minus the level; -1 around the matrix in closed mode.
    [[gnu::always_inline]] inline Real value(const Plane& plane, int i, int j) const
    {
        const T* row = plane.rows[static_cast<size_t>(i)];
        if (!m_closed)
            return static_cast<Real>(row[j]) - m_iso;
        if (!row || j == 0 || j == m_ni2 - 1)
            return Real(-1);
        return static_cast<Real>(row[j - 1]) - m_iso;
    }
    // Creates the vertices on the edges of grid plane k along the first two
    // axes, and on the edges along the third axis between it and plane k + 1.
    // first and last are the plane's row flag changes (rowChanges).
    void computeVertices(int k, Plane& plane, const int* first, const int* last);
    // changes[0] and [1]: the first and last row flag changes of the lower
    // plane, [2] and [3] those of the upper one.
    void computeZVertices(int k, const Plane& lower, const Plane& upper, const int* const changes[4]);
    // Position in a plane table of grid point (i, j), both counted from the
    // start of the range.
    int forIdx(int i, int j) const { return i * m_ni2 + j; }

    // Loads the corner values of the cube at (i, j) between the two planes.
    void fillCube(int i, int j, const Plane& lower, const Plane& upper);
    // The bilinear test on a face of the current cube (face number 1..6,
    // its sign telling which side is tested).
    bool testFace(int face) const;
    // The trilinear test inside the current cube; s is the signed interior
    // code of the tables, subconfig the subcase of case 13.
    bool testInterior(int s, int cubeCase, int config, int subconfig) const;
    // Triangulates the current cube of the given corner pattern.
    void addTriangles(unsigned char pattern);
    // Appends n triangles of a tiling.
    void emit(const signed char* tiling, int n);
    // The vertex inside the current cube: the mean of its edge vertices.
    int buildInsideVertex();
    // The vertex on edge e (0..11) of the current cube.
    [[gnu::always_inline]] inline int edgeVertex(int e) const;
    // Points the edge tables of the current cube layer (m_edgeTables).
    void setEdgeTables();
    const float* vertexPosition(int code) const;

    const VoxelMatrix<T>* m_matrix;
    bool m_closed;
    bool m_onFaces;
    int m_last1;
    int m_last2;
    int m_last3;
    Real m_iso;
    int m_origin;
    int m_ni1;
    int m_ni2;
    int m_ni3;
    int m_first;
    int m_end;

    // The current cube: origin (grid point, counted from the start of the
    // range), its planes, corner values and edge vertices.
    int m_i = 0;
    int m_j = 0;
    int m_k = 0;
    const Plane* m_lower = nullptr;
    const Plane* m_upper = nullptr;
    const int* m_zEdges = nullptr;
    // The vertices on the edges along the third axis between the two planes.
    int* m_zTable = nullptr;
    // For each of the twelve cube edges, the table of its vertices offset so
    // that the entry of the cube at (i, j) is at forIdx(i, j).
    const int* m_edgeTables[12] = {};
    Real m_corners[8] = {};
    int m_insideVertex = -1;
};

template <typename T>
void MarchingCubes<T>::Slab::fillPlane(int k, Plane& plane) const
{
    const int n1 = m_ni1;
    const int n2 = m_ni2;
    const size_t count = static_cast<size_t>(n1) * n2;
    plane.rows.resize(static_cast<size_t>(n1));
    plane.inside.resize(count);
    plane.xEdges.resize(count);
    plane.yEdges.resize(count);
    const T** rows = plane.rows.data();
    std::uint8_t* inside = plane.inside.data();
    const VoxelMatrix<T>& m = *m_matrix;
    const int plane3 = k + m_origin;
    const Real iso = m_iso;
    // The flags of n values from `in` into `out`.
    const auto flag = [iso](const T* in, std::uint8_t* out, int n) {
        for (int j = 0; j < n; ++j)
            out[j] = static_cast<Real>(in[j]) - iso >= Real(0);
    };
    if (m_closed) {
        std::fill(rows, rows + n1, nullptr);
        if (plane3 < 0 || plane3 >= m.getSize3()) {
            std::fill(inside, inside + count, std::uint8_t(0));
        } else {
            std::fill(inside, inside + n2, std::uint8_t(0));
            std::fill(inside + static_cast<size_t>(n1 - 1) * n2, inside + count, std::uint8_t(0));
            const PixelMatrix<T>& source = m[plane3];
            for (int i = 1; i < n1 - 1; ++i) {
                std::uint8_t* out = inside + static_cast<size_t>(i) * n2;
                rows[i] = source[i - 1].data();
                prefetchRow(source, i - 1 + prefetchAhead, n1 - 2, n2 - 2);
                out[0] = 0;
                out[n2 - 1] = 0;
                flag(rows[i], out + 1, n2 - 2);
            }
        }
    } else {
        const PixelMatrix<T>& source = m[plane3];
        for (int i = 0; i < n1; ++i) {
            rows[i] = source[i].data();
            prefetchRow(source, i + prefetchAhead, n1, n2);
            flag(rows[i], inside + static_cast<size_t>(i) * n2, n2);
        }
    }
}

template <typename T>
void MarchingCubes<T>::Slab::computeVertices(int k, Plane& plane, const int* first, const int* last)
{
    const int n1 = m_ni1;
    const int n2 = m_ni2;
    const int origin = m_origin;
    const float z = static_cast<float>(k + origin);
    const std::uint8_t* inside = plane.inside.data();
    Buffer<float>& xs = m_vertices[xAxis];
    Buffer<float>& ys = m_vertices[yAxis];
    // Closing on the faces: an edge whose far end lies beyond the last grid
    // point has its vertex on that grid point.
    const int onFaces1 = m_onFaces ? m_last1 : n1;
    const int onFaces2 = m_onFaces ? m_last2 : n2;

    // Edges along the first axis, from grid point (i, j) to (i + 1, j).
    for (int i = 0; i < n1 - 1; ++i) {
        const std::uint8_t* a = inside + static_cast<size_t>(i) * n2;
        const std::uint8_t* b = a + n2;
        int* edges = plane.xEdges.data() + static_cast<size_t>(i) * n2;
        const float x = static_cast<float>(i + origin);
        int from;
        int to;
        changingSpan(a, b, n2, first[i], last[i], first[i + 1], last[i + 1], from, to);
        forEachChange(a, b, from, to, [&](int j) {
            edges[j] = static_cast<int>(xs.size() / 3 * 4 + xAxis);
            xs.push_back(i + origin < 0       ? 0.0f
                         : i + 1 > onFaces1 ? x
                                            : x + crossing(value(plane, i, j), value(plane, i + 1, j)));
            xs.push_back(static_cast<float>(j + origin));
            xs.push_back(z);
        });
    }
    // Edges along the second axis, from grid point (i, j) to (i, j + 1):
    // only between the row's first and last flag change.
    for (int i = 0; i < n1; ++i) {
        if (last[i] < 0)
            continue;
        const std::uint8_t* a = inside + static_cast<size_t>(i) * n2;
        int* edges = plane.yEdges.data() + static_cast<size_t>(i) * n2;
        const float x = static_cast<float>(i + origin);
        forEachChange(a, a + 1, first[i], last[i] + 1, [&](int j) {
            edges[j] = static_cast<int>(ys.size() / 3 * 4 + yAxis);
            ys.push_back(x);
            ys.push_back(j + origin < 0       ? 0.0f
                         : j + 1 > onFaces2 ? static_cast<float>(j + origin)
                                            : static_cast<float>(j + origin)
                                                  + crossing(value(plane, i, j), value(plane, i, j + 1)));
            ys.push_back(z);
        });
    }
    if (static_cast<long long>(xs.size() / 3) >= maxVerticesPerList
        || static_cast<long long>(ys.size() / 3) >= maxVerticesPerList)
        throw SizeError("TriMesh<float> MarchingCubes<T>::buildMesh(const VoxelMatrix<T>&,T,bool)",
                        "Too many vertices");
}

template <typename T>
void MarchingCubes<T>::Slab::computeZVertices(int k, const Plane& lower, const Plane& upper,
                                              const int* const changes[4])
{
    const int n1 = m_ni1;
    const int n2 = m_ni2;
    const int origin = m_origin;
    const float z = static_cast<float>(k + origin);
    Buffer<float>& zs = m_vertices[zAxis];
    const int onFaces3 = m_onFaces ? m_last3 : m_ni3;
    int* edges = m_zTable;
    for (int i = 0; i < n1; ++i) {
        const size_t row = static_cast<size_t>(i) * n2;
        const std::uint8_t* a = lower.inside.data() + row;
        const std::uint8_t* b = upper.inside.data() + row;
        const float x = static_cast<float>(i + origin);
        int from;
        int to;
        changingSpan(a, b, n2, changes[0][i], changes[1][i], changes[2][i], changes[3][i], from, to);
        forEachChange(a, b, from, to, [&](int j) {
            edges[row + j] = static_cast<int>(zs.size() / 3 * 4 + zAxis);
            zs.push_back(x);
            zs.push_back(static_cast<float>(j + origin));
            zs.push_back(k + origin < 0       ? 0.0f
                         : k + 1 > onFaces3 ? z
                                            : z + crossing(value(lower, i, j), value(upper, i, j)));
        });
    }
    if (static_cast<long long>(zs.size() / 3) >= maxVerticesPerList)
        throw SizeError("TriMesh<float> MarchingCubes<T>::buildMesh(const VoxelMatrix<T>&,T,bool)",
                        "Too many vertices");
}

template <typename T>
void MarchingCubes<T>::Slab::fillCube(int i, int j, const Plane& lower, const Plane& upper)
{
    m_corners[0] = value(lower, i, j);
    m_corners[1] = value(lower, i + 1, j);
    m_corners[2] = value(lower, i + 1, j + 1);
    m_corners[3] = value(lower, i, j + 1);
    m_corners[4] = value(upper, i, j);
    m_corners[5] = value(upper, i + 1, j);
    m_corners[6] = value(upper, i + 1, j + 1);
    m_corners[7] = value(upper, i, j + 1);
    // A corner exactly at the iso level is inside; keep it strictly positive
    // so that the face and interior tests see the same sign.
    for (Real& c : m_corners)
        if (c == Real(0))
            c = static_cast<Real>(FLT_EPSILON);
}

template <typename T>
bool MarchingCubes<T>::Slab::testFace(int face) const
{
    const Real* c = m_corners;
    Real a, b, cc, d;
    switch (face < 0 ? -face : face) {
    case 1:
        a = c[0], b = c[4], cc = c[5], d = c[1];
        break;
    case 2:
        a = c[1], b = c[5], cc = c[6], d = c[2];
        break;
    case 3:
        a = c[2], b = c[6], cc = c[7], d = c[3];
        break;
    case 4:
        a = c[3], b = c[7], cc = c[4], d = c[0];
        break;
    case 5:
        a = c[0], b = c[3], cc = c[2], d = c[1];
        break;
    case 6:
        a = c[4], b = c[7], cc = c[6], d = c[5];
        break;
    default:
        return face >= 0;
    }
    // The sign of the saddle value decides; a face exactly at the saddle
    // counts as joined on the side the face number's sign names.
    const Real saddle = a * cc - b * d;
    if (saddle == 0)
        return face >= 0;
    return static_cast<Real>(face) * a * saddle >= 0;
}

template <typename T>
bool MarchingCubes<T>::Slab::testInterior(int s, int cubeCase, int config, int subconfig) const
{
    const Real* c = m_corners;
    Real at = 0, bt = 0, ct = 0, dt = 0, t;
    if (cubeCase == 4 && s < 0) {
        // Six corners inside, the two outside ones on a diagonal. The
        // section is taken across the first axis (edges 0-1, 3-2, 7-6, 4-5),
        // on the plane where its saddle is extreme: the two corners stay
        // apart when that plane lies in the cube and at most one corner of
        // the section is outside there; otherwise a tunnel joins them. The
        // saddle's sign on that section is not consulted, so the tunnel is
        // built more often than the trilinear interpolant has one. This is
        // the decision of the independent implementation of these tables
        // that tests/imageprocessing/marchingcubes_compare.py runs, whose
        // surfaces ours must equal.
        const Real da = c[1] - c[0], db = c[2] - c[3], dc = c[6] - c[7], dd = c[5] - c[4];
        const Real a = da * dc - db * dd;
        const Real b = c[7] * da + c[0] * dc - c[4] * db - c[3] * dd;
        t = -b / (2 * a);
        if (t < 0 || t > 1)
            return false;
        const int inside = (c[0] + da * t >= 0) + (c[3] + db * t >= 0) + (c[7] + dc * t >= 0) + (c[4] + dd * t >= 0);
        return inside >= 3;
    }
    switch (cubeCase) {
    case 4:
    case 10: {
        // The plane of the third axis on which the section's saddle is
        // extreme.
        const Real a = (c[4] - c[0]) * (c[6] - c[2]) - (c[7] - c[3]) * (c[5] - c[1]);
        const Real b = c[2] * (c[4] - c[0]) + c[0] * (c[6] - c[2]) - c[1] * (c[7] - c[3]) - c[3] * (c[5] - c[1]);
        t = -b / (2 * a);
        if (t < 0 || t > 1)
            return s > 0;
        at = c[0] + (c[4] - c[0]) * t;
        bt = c[3] + (c[7] - c[3]) * t;
        ct = c[2] + (c[6] - c[2]) * t;
        dt = c[1] + (c[5] - c[1]) * t;
        break;
    }
    case 6:
    case 7:
    case 12:
    case 13: {
        // The section through the crossing on a reference edge, across the
        // cube.
        int edge = -1;
        switch (cubeCase) {
        case 6:
            edge = test6[config][2];
            break;
        case 7:
            edge = test7[config][4];
            break;
        case 12:
            edge = test12[config][3];
            break;
        default:
            edge = tiling13_5_1[config][subconfig][0];
            break;
        }
        switch (edge) {
        case 0:
            t = c[0] / (c[0] - c[1]);
            bt = c[3] + (c[2] - c[3]) * t;
            ct = c[7] + (c[6] - c[7]) * t;
            dt = c[4] + (c[5] - c[4]) * t;
            break;
        case 1:
            t = c[1] / (c[1] - c[2]);
            bt = c[0] + (c[3] - c[0]) * t;
            ct = c[4] + (c[7] - c[4]) * t;
            dt = c[5] + (c[6] - c[5]) * t;
            break;
        case 2:
            t = c[2] / (c[2] - c[3]);
            bt = c[1] + (c[0] - c[1]) * t;
            ct = c[5] + (c[4] - c[5]) * t;
            dt = c[6] + (c[7] - c[6]) * t;
            break;
        case 3:
            t = c[3] / (c[3] - c[0]);
            bt = c[2] + (c[1] - c[2]) * t;
            ct = c[6] + (c[5] - c[6]) * t;
            dt = c[7] + (c[4] - c[7]) * t;
            break;
        case 4:
            t = c[4] / (c[4] - c[5]);
            bt = c[7] + (c[6] - c[7]) * t;
            ct = c[3] + (c[2] - c[3]) * t;
            dt = c[0] + (c[1] - c[0]) * t;
            break;
        case 5:
            t = c[5] / (c[5] - c[6]);
            bt = c[4] + (c[7] - c[4]) * t;
            ct = c[0] + (c[3] - c[0]) * t;
            dt = c[1] + (c[2] - c[1]) * t;
            break;
        case 6:
            t = c[6] / (c[6] - c[7]);
            bt = c[5] + (c[4] - c[5]) * t;
            ct = c[1] + (c[0] - c[1]) * t;
            dt = c[2] + (c[3] - c[2]) * t;
            break;
        case 7:
            t = c[7] / (c[7] - c[4]);
            bt = c[6] + (c[5] - c[6]) * t;
            ct = c[2] + (c[1] - c[2]) * t;
            dt = c[3] + (c[0] - c[3]) * t;
            break;
        case 8:
            t = c[0] / (c[0] - c[4]);
            bt = c[3] + (c[7] - c[3]) * t;
            ct = c[2] + (c[6] - c[2]) * t;
            dt = c[1] + (c[5] - c[1]) * t;
            break;
        case 9:
            t = c[1] / (c[1] - c[5]);
            bt = c[0] + (c[4] - c[0]) * t;
            ct = c[3] + (c[7] - c[3]) * t;
            dt = c[2] + (c[6] - c[2]) * t;
            break;
        case 10:
            t = c[2] / (c[2] - c[6]);
            bt = c[1] + (c[5] - c[1]) * t;
            ct = c[0] + (c[4] - c[0]) * t;
            dt = c[3] + (c[7] - c[3]) * t;
            break;
        case 11:
            t = c[3] / (c[3] - c[7]);
            bt = c[2] + (c[6] - c[2]) * t;
            ct = c[1] + (c[5] - c[1]) * t;
            dt = c[0] + (c[4] - c[0]) * t;
            break;
        default:
            break;
        }
        at = 0;
        break;
    }
    default:
        return s > 0;
    }

    int test = 0;
    if (at >= 0)
        test += 1;
    if (bt >= 0)
        test += 2;
    if (ct >= 0)
        test += 4;
    if (dt >= 0)
        test += 8;
    switch (test) {
    case 5:
        if (at * ct - bt * dt < 0)
            return s > 0;
        break;
    case 10:
        if (at * ct - bt * dt >= 0)
            return s > 0;
        break;
    case 7:
    case 11:
    case 13:
    case 14:
    case 15:
        return s < 0;
    default:
        return s > 0;
    }
    return s < 0;
}

template <typename T>
inline int MarchingCubes<T>::Slab::edgeVertex(int e) const
{
    return e < 12 ? m_edgeTables[e][forIdx(m_i, m_j)] : m_insideVertex;
}

template <typename T>
void MarchingCubes<T>::Slab::setEdgeTables()
{
    // Edges 0-3 on the lower plane, 4-7 on the upper one (first axis from
    // (i, j) and (i, j + 1), second axis from (i + 1, j) and (i, j)), 8-11
    // along the third axis at (i, j), (i + 1, j), (i + 1, j + 1), (i, j + 1).
    const int n2 = m_ni2;
    for (int plane = 0; plane < 2; ++plane) {
        const Plane& p = plane == 0 ? *m_lower : *m_upper;
        m_edgeTables[4 * plane + 0] = p.xEdges.data();
        m_edgeTables[4 * plane + 1] = p.yEdges.data() + n2;
        m_edgeTables[4 * plane + 2] = p.xEdges.data() + 1;
        m_edgeTables[4 * plane + 3] = p.yEdges.data();
    }
    m_edgeTables[8] = m_zEdges;
    m_edgeTables[9] = m_zEdges + n2;
    m_edgeTables[10] = m_zEdges + n2 + 1;
    m_edgeTables[11] = m_zEdges + 1;
}

template <typename T>
const float* MarchingCubes<T>::Slab::vertexPosition(int code) const
{
    return m_vertices[code & 3].data() + static_cast<size_t>(code >> 2) * 3;
}

template <typename T>
int MarchingCubes<T>::Slab::buildInsideVertex()
{
    float sum[3] = {0, 0, 0};
    int n = 0;
    for (int e = 0; e < 12; ++e) {
        if ((m_corners[edgeCorners[e][0]] >= 0) == (m_corners[edgeCorners[e][1]] >= 0))
            continue;
        const float* p = vertexPosition(edgeVertex(e));
        sum[0] += p[0];
        sum[1] += p[1];
        sum[2] += p[2];
        ++n;
    }
    Buffer<float>& list = m_vertices[interior];
    const int code = static_cast<int>(list.size() / 3 * 4 + interior);
    for (float s : sum)
        list.push_back(n > 0 ? s / static_cast<float>(n) : 0.0f);
    return code;
}

template <typename T>
void MarchingCubes<T>::Slab::emit(const signed char* tiling, int n)
{
    // The tilings turn their triangles' normals towards the inside; they are
    // written in the reverse order so that the normals point out of it.
    const size_t at = m_triangles.size();
    m_triangles.resize(at + 3 * static_cast<size_t>(n));
    std::uint32_t* out = m_triangles.data() + at;
    for (int t = 0; t < 3 * n; t += 3) {
        for (int c : {0, 2, 1}) {
            const int e = tiling[t + c];
            if (e == 12 && m_insideVertex < 0)
                m_insideVertex = buildInsideVertex();
            *out++ = static_cast<std::uint32_t>(edgeVertex(e));
        }
    }
}

template <typename T>
void MarchingCubes<T>::Slab::addTriangles(unsigned char pattern)
{
    const int cubeCase = cases[pattern][0];
    const int config = cases[pattern][1];
    int subconfig = 0;
    m_insideVertex = -1;
    // Only the cases with face or interior tests (and the vertices inside
    // the cube that some of their tilings add) look at the corner values.
    constexpr unsigned testedCases = 1u << 3 | 1u << 4 | 1u << 6 | 1u << 7 | 1u << 10 | 1u << 12 | 1u << 13;
    if (testedCases >> cubeCase & 1u)
        fillCube(m_i, m_j, *m_lower, *m_upper);
    switch (cubeCase) {
    case 1:
        emit(tiling1[config], 1);
        break;
    case 2:
        emit(tiling2[config], 2);
        break;
    case 3:
        if (testFace(test3[config]))
            emit(tiling3_2[config], 4);
        else
            emit(tiling3_1[config], 2);
        break;
    case 4:
        if (testInterior(test4[config], cubeCase, config, 0))
            emit(tiling4_1[config], 2);
        else
            emit(tiling4_2[config], 6);
        break;
    case 5:
        emit(tiling5[config], 3);
        break;
    case 6:
        if (testFace(test6[config][0]))
            emit(tiling6_2[config], 5);
        else if (testInterior(test6[config][1], cubeCase, config, 0))
            emit(tiling6_1_1[config], 3);
        else
            emit(tiling6_1_2[config], 9);
        break;
    case 7:
        if (testFace(test7[config][0]))
            subconfig += 1;
        if (testFace(test7[config][1]))
            subconfig += 2;
        if (testFace(test7[config][2]))
            subconfig += 4;
        switch (subconfig) {
        case 0:
            emit(tiling7_1[config], 3);
            break;
        case 1:
            emit(tiling7_2[config][0], 5);
            break;
        case 2:
            emit(tiling7_2[config][1], 5);
            break;
        case 3:
            emit(tiling7_3[config][0], 9);
            break;
        case 4:
            emit(tiling7_2[config][2], 5);
            break;
        case 5:
            emit(tiling7_3[config][1], 9);
            break;
        case 6:
            emit(tiling7_3[config][2], 9);
            break;
        default:
            if (testInterior(test7[config][3], cubeCase, config, 0))
                emit(tiling7_4_2[config], 9);
            else
                emit(tiling7_4_1[config], 5);
            break;
        }
        break;
    case 8:
        emit(tiling8[config], 2);
        break;
    case 9:
        emit(tiling9[config], 4);
        break;
    case 10:
        if (testFace(test10[config][0])) {
            if (testFace(test10[config][1]))
                emit(tiling10_1_1_[config], 4);
            else
                emit(tiling10_2[config], 8);
        } else if (testFace(test10[config][1])) {
            emit(tiling10_2_[config], 8);
        } else if (testInterior(test10[config][2], cubeCase, config, 0)) {
            emit(tiling10_1_1[config], 4);
        } else {
            emit(tiling10_1_2[config], 8);
        }
        break;
    case 11:
        emit(tiling11[config], 4);
        break;
    case 12:
        if (testFace(test12[config][0])) {
            if (testFace(test12[config][1]))
                emit(tiling12_1_1_[config], 4);
            else
                emit(tiling12_2[config], 8);
        } else if (testFace(test12[config][1])) {
            emit(tiling12_2_[config], 8);
        } else if (testInterior(test12[config][2], cubeCase, config, 0)) {
            emit(tiling12_1_1[config], 4);
        } else {
            emit(tiling12_1_2[config], 8);
        }
        break;
    case 13: {
        for (int f = 0; f < 6; ++f)
            if (testFace(test13[config][f]))
                subconfig += 1 << f;
        const int sub = subconfig13[subconfig];
        if (sub == 0)
            emit(tiling13_1[config], 4);
        else if (sub <= 6)
            emit(tiling13_2[config][sub - 1], 6);
        else if (sub <= 18)
            emit(tiling13_3[config][sub - 7], 10);
        else if (sub <= 22)
            emit(tiling13_4[config][sub - 19], 12);
        else if (sub <= 26) {
            if (testInterior(test13[config][6], cubeCase, config, sub - 23))
                emit(tiling13_5_1[config][sub - 23], 6);
            else
                emit(tiling13_5_2[config][sub - 23], 10);
        } else if (sub <= 38)
            emit(tiling13_3_[config][sub - 27], 10);
        else if (sub <= 44)
            emit(tiling13_2_[config][sub - 39], 6);
        else if (sub == 45)
            emit(tiling13_1_[config], 4);
        // A negative entry marks face patterns a trilinear cube cannot have.
        break;
    }
    case 14:
        emit(tiling14[config], 4);
        break;
    default:
        break;
    }
}


template <typename T>
void MarchingCubes<T>::Slab::reserve(std::size_t estimate[3])
{
    std::size_t total = 0;
    for (int list = 0; list < 3; ++list) {
        m_vertices[list].reserve(3 * estimate[list]);
        total += estimate[list];
    }
    m_triangles.reserve(3 * 2 * total);
}

template <typename T>
void MarchingCubes<T>::Slab::run(Workspace& work, plexan::parallel::ProgressCounter& progress)
{
    const size_t count = static_cast<size_t>(m_ni1) * m_ni2;
    work.zTable.resize(count);
    work.patterns.resize(static_cast<size_t>(m_ni2));
    // The first and last flag changes of every grid row of both planes.
    for (auto& plane : work.changes)
        for (Buffer<int>& list : plane)
            list.resize(static_cast<size_t>(m_ni1));
    int* lowerFirst = work.changes[0][0].data();
    int* lowerLast = work.changes[0][1].data();
    int* upperFirst = work.changes[1][0].data();
    int* upperLast = work.changes[1][1].data();
    m_zTable = work.zTable.data();
    Plane* lower = &work.planes[0];
    Plane* upper = &work.planes[1];
    fillPlane(m_first, *lower);
    rowChanges(lower->inside.data(), m_ni1, m_ni2, lowerFirst, lowerLast);
    computeVertices(m_first, *lower, lowerFirst, lowerLast);
    for (int k = m_first; k < m_end; ++k) {
        fillPlane(k + 1, *upper);
        rowChanges(upper->inside.data(), m_ni1, m_ni2, upperFirst, upperLast);
        // The last grid plane of a slab other than the last belongs to the
        // next slab.
        if (k + 1 == m_end && m_end + 1 < m_ni3) {
            m_owned[xAxis] = m_vertices[xAxis].size() / 3;
            m_owned[yAxis] = m_vertices[yAxis].size() / 3;
        }
        computeVertices(k + 1, *upper, upperFirst, upperLast);
        const int* const changes[4] = {lowerFirst, lowerLast, upperFirst, upperLast};
        computeZVertices(k, *lower, *upper, changes);
        m_lower = lower;
        m_upper = upper;
        m_zEdges = m_zTable;
        setEdgeTables();
        m_k = k;
        const int n2 = m_ni2;
        for (int i = 0; i + 1 < m_ni1; ++i) {
            const std::uint8_t* a0 = lower->inside.data() + static_cast<size_t>(i) * n2;
            const std::uint8_t* b0 = a0 + n2;
            const std::uint8_t* a1 = upper->inside.data() + static_cast<size_t>(i) * n2;
            const std::uint8_t* b1 = a1 + n2;
            // Only the cubes between the first and the last flag change
            // of the four grid rows can be cut by the surface.
            int start = 0;
            int end = n2 - 1;
            if (a0[0] == b0[0] && a0[0] == a1[0] && a0[0] == b1[0])
                start = std::min(std::min(lowerFirst[i], lowerFirst[i + 1]),
                                 std::min(upperFirst[i], upperFirst[i + 1]));
            if (a0[n2 - 1] == b0[n2 - 1] && a0[n2 - 1] == a1[n2 - 1] && a0[n2 - 1] == b1[n2 - 1])
                end = std::max(std::max(lowerLast[i], lowerLast[i + 1]),
                               std::max(upperLast[i], upperLast[i + 1])) + 1;
            std::uint8_t* pattern = work.patterns.data();
            for (int j = start; j < end; ++j)
                pattern[j] = static_cast<std::uint8_t>(a0[j] | b0[j] << 1 | b0[j + 1] << 2 | a0[j + 1] << 3
                                                       | a1[j] << 4 | b1[j] << 5 | b1[j + 1] << 6
                                                       | a1[j + 1] << 7);
            for (int j = start; j < end; ++j) {
                const std::uint8_t p = pattern[j];
                if (p == 0 || p == 255)
                    continue;
                m_i = i;
                m_j = j;
                addTriangles(p);
            }
        }
        if (k == m_first)
            m_firstLayerTriangles = m_triangles.size() / 3;
        progress.advance();
        if (progress.isCanceled())
            break;
        std::swap(lower, upper);
        std::swap(lowerFirst, upperFirst);
        std::swap(lowerLast, upperLast);
    }
    if (m_end + 1 >= m_ni3) {
        m_owned[xAxis] = m_vertices[xAxis].size() / 3;
        m_owned[yAxis] = m_vertices[yAxis].size() / 3;
    }
    m_owned[zAxis] = m_vertices[zAxis].size() / 3;
    m_owned[interior] = m_vertices[interior].size() / 3;
    m_lower = m_upper = nullptr;
    m_zEdges = m_zTable = nullptr;
}

template <typename T>
inline bool MarchingCubes<T>::Slab::triangleNormal(const std::uint32_t* t, double w[3]) const
{
    // As TriMesh::computeNormals sums them: the cross product of the edges
    // from the first corner, in double, divided by its length.
    double p[3][3];
    for (int c = 0; c < 3; ++c) {
        const float* x = vertexPosition(static_cast<int>(t[c]));
        for (int a = 0; a < 3; ++a)
            p[c][a] = static_cast<double>(x[a]);
    }
    double u[3], v[3];
    for (int a = 0; a < 3; ++a) {
        u[a] = p[1][a] - p[0][a];
        v[a] = p[2][a] - p[0][a];
    }
    w[0] = u[1] * v[2] - u[2] * v[1];
    w[1] = u[2] * v[0] - u[0] * v[2];
    w[2] = u[0] * v[1] - u[1] * v[0];
    const double length = std::sqrt(w[0] * w[0] + w[1] * w[1] + w[2] * w[2]);
    if (!(length > 0))
        return false;
    for (int a = 0; a < 3; ++a)
        w[a] /= length;
    return true;
}

template <typename T>
void MarchingCubes<T>::Slab::sumNormals()
{
    for (int list = 0; list < 4; ++list)
        m_normalSums[list].assign(m_vertices[list].size(), 0.0);
    const size_t n = m_triangles.size() / 3;
    for (size_t t = 0; t < n; ++t) {
        const std::uint32_t* codes = m_triangles.data() + 3 * t;
        double w[3];
        if (!triangleNormal(codes, w))
            continue;
        for (int c = 0; c < 3; ++c) {
            double* sum = m_normalSums[codes[c] & 3].data() + static_cast<size_t>(codes[c] >> 2) * 3;
            for (int a = 0; a < 3; ++a)
                sum[a] += w[a];
        }
    }
}

namespace {

// The cube layers of a slab. Fixed, so that the slabs, and the mesh, do not
// depend on the number of threads.
constexpr int slabLayers = 16;

// About how many vertices each slab will make on the grid edges along each
// axis, so that its output lists are allocated once instead of growing: the
// crossed grid edges counted on evenly spaced pairs of planes (about one per
// slab, sixteen at least), scaled to the slab's layers, with a quarter more
// for the estimate's error (a list that needs more still grows).
template <typename T, typename Real>
std::vector<std::array<std::size_t, 3>> estimateSlabs(const VoxelMatrix<T>& m, Real iso, const Grid<T>& grid,
                                                      int slabs)
{
    std::vector<std::array<std::size_t, 3>> estimates(static_cast<size_t>(slabs), {64, 64, 64});
    const int s1 = m.getSize1();
    const int s2 = m.getSize2();
    const int s3 = m.getSize3();
    if (s1 < 1 || s2 < 1 || s3 < 2)
        return estimates;
    const auto inside = [iso](T value) { return static_cast<Real>(value) - iso >= Real(0); };
    // The grid edges of plane k crossed from row to row (x), along its rows
    // (y, the last voxel of a row paired with the first of the next) and
    // towards plane k + 1 (z), counted on the voxels themselves: lists of
    // flags, new memory for each pair of planes, cost the second thread of
    // a fresh process more than the counting.
    const auto crossed = [&](int k) {
        long long x = 0;
        long long y = 0;
        long long z = 0;
        for (int i = 0; i < s1; ++i) {
            const T* row = m[k][i].data();
            const T* across = m[k + 1][i].data();
            const T* below = i + 1 < s1 ? m[k][i + 1].data() : nullptr;
            for (int j = 0; j + 1 < s2; ++j)
                y += inside(row[j]) != inside(row[j + 1]);
            if (below) {
                y += inside(row[s2 - 1]) != inside(below[0]);
                for (int j = 0; j < s2; ++j)
                    x += inside(row[j]) != inside(below[j]);
            }
            for (int j = 0; j < s2; ++j)
                z += inside(row[j]) != inside(across[j]);
        }
        return std::array<long long, 3>{x, y, z};
    };
    // The crossings counted on matrix plane pairs, by the slab of the cube
    // layer they stand for.
    std::vector<std::array<double, 3>> crossings(static_cast<size_t>(slabs), {0, 0, 0});
    std::vector<int> samples(static_cast<size_t>(slabs), 0);
    const int step = std::max(1, std::min((s3 - 1) / 16, slabLayers));
    const int firstSample = std::min(slabLayers / 2, (s3 - 2) / 2);
    const int sampleCount = (s3 - 2 - firstSample) / step + 1;
    // The pairs are counted on every core; the counts are whole numbers, so
    // their sums do not depend on the order.
    std::vector<std::array<long long, 3>> counted(static_cast<size_t>(sampleCount));
    plexan::parallel::forEachChunk(0, sampleCount, 1, [&](std::ptrdiff_t sample, std::ptrdiff_t) {
        counted[static_cast<size_t>(sample)] = crossed(firstSample + static_cast<int>(sample) * step);
    });
    for (int sample = 0; sample < sampleCount; ++sample) {
        const int k = firstSample + sample * step;
        const int slab = std::min(slabs - 1, (k - grid.origin) / slabLayers);
        for (int list = 0; list < 3; ++list)
            crossings[slab][list] += static_cast<double>(counted[static_cast<size_t>(sample)][list]);
        ++samples[slab];
    }
    // Slabs without a sample of their own take the mean of all samples.
    std::array<double, 3> mean = {0, 0, 0};
    int total = 0;
    for (int s = 0; s < slabs; ++s) {
        for (int list = 0; list < 3; ++list)
            mean[list] += crossings[s][list];
        total += samples[s];
    }
    for (int s = 0; s < slabs; ++s) {
        const int layers = std::min(slabLayers, grid.ni3 - 1 - s * slabLayers);
        for (int list = 0; list < 3; ++list) {
            const double perLayer = samples[s] > 0 ? crossings[s][list] / samples[s]
                                    : total > 0    ? mean[list] / total
                                                   : 0.0;
            estimates[s][list] = static_cast<std::size_t>(1.25 * perLayer * (layers + 1)) + 64;
        }
    }
    return estimates;
}

} // namespace

template <typename T>
TriMesh<float> MarchingCubes<T>::buildMesh(const VoxelMatrix<T>& m, T iso, Border border)
{
    const char* where = "TriMesh<float> MarchingCubes<T>::buildMesh(const VoxelMatrix<T>&,T,bool)";
    const bool closed = border != Border::Open;
    Grid<T> grid;
    grid.matrix = &m;
    grid.closed = closed;
    grid.onFaces = border == Border::Faces;
    const Real level = static_cast<Real>(iso);
    this->reset();

    const int size1 = m.getSize1();
    const int size2 = m.getSize2();
    const int size3 = m.getSize3();
    const bool empty = size1 < 1 || size2 < 1 || size3 < 1;
    grid.origin = closed ? -1 : 0;
    grid.ni1 = closed ? size1 + 2 : size1;
    grid.ni2 = closed ? size2 + 2 : size2;
    grid.ni3 = closed ? size3 + 2 : size3;
    grid.last1 = grid.ni1 - 1 - (closed ? 1 : 0);
    grid.last2 = grid.ni2 - 1 - (closed ? 1 : 0);
    grid.last3 = grid.ni3 - 1 - (closed ? 1 : 0);

    // One unit per cube layer, and one per slab for putting the mesh
    // together.
    const bool cut = !empty && grid.ni1 >= 2 && grid.ni2 >= 2 && grid.ni3 >= 2;
    const long long layerCount = cut ? grid.ni3 - 1 : 0;
    plexan::parallel::ProgressCounter progress(
        *this, layerCount + plexan::parallel::chunkCount(0, layerCount, slabLayers), "Marching cubes");
    // The thread's arena, and the workspaces' part of it, handed out again
    // for the normal sums once the cube layers are done.
    KeptLease<KeptArena, 0, keptArenaBytes> kept;
    std::unique_ptr<Arena> scratch;
    std::vector<std::unique_ptr<Slab>> slabs;
    if (cut) {
        const int layers = grid.ni3 - 1;
        const int count = static_cast<int>(plexan::parallel::chunkCount(0, layers, slabLayers));
        const std::vector<std::array<std::size_t, 3>> estimates = estimateSlabs(m, level, grid, count);
        // The arena holds the workspaces (one per thread), each slab's
        // reserved output and its normal sums, with an eighth more for the
        // interior vertices and the lists that outgrow their estimate.
        const auto rounded = [](std::size_t b) { return (b + 63) / 64 * 64; };
        const std::size_t workspaces = static_cast<std::size_t>(
            std::max(1, std::min(plexan::parallel::getThreadCount(), count)));
        const std::size_t workspaceBytes = workspaces
                                           * Slab::Workspace::bytes(static_cast<std::size_t>(grid.ni1) * grid.ni2,
                                                                    static_cast<std::size_t>(grid.ni1),
                                                                    static_cast<std::size_t>(grid.ni2));
        std::size_t bytes = workspaceBytes;
        for (const std::array<std::size_t, 3>& e : estimates) {
            const std::size_t vertices = e[0] + e[1] + e[2];
            const std::size_t output = rounded(12 * e[0]) + rounded(12 * e[1]) + rounded(12 * e[2])
                                       + rounded(24 * vertices) + 24 * vertices;
            bytes += output + output / 8 + 4 * 256;
        }
        if (!kept->arena)
            kept->arena = std::make_unique<Arena>();
        Arena& arena = *kept->arena;
        arena.reset(bytes);
        // The workspaces come first, apart from the slabs' output, so that
        // the normal sums can take their memory again, written before,
        // rather than fresh pages.
        void* front = arena.take(workspaceBytes);
        scratch = std::make_unique<Arena>(front, front ? rounded(workspaceBytes) : 0, &arena);
        slabs.resize(static_cast<size_t>(count));
        // Workspaces are handed from slab to slab: at most one per thread.
        std::mutex mutex;
        std::vector<std::unique_ptr<typename Slab::Workspace>> spare;
        plexan::parallel::forEachChunk(0, layers, slabLayers, [&](std::ptrdiff_t first, std::ptrdiff_t end) {
            const size_t s = static_cast<size_t>(first / slabLayers);
            std::unique_ptr<typename Slab::Workspace> work;
            {
                std::lock_guard<std::mutex> lock(mutex);
                if (!spare.empty()) {
                    work = std::move(spare.back());
                    spare.pop_back();
                }
            }
            if (!work)
                work = std::make_unique<typename Slab::Workspace>(*scratch);
            auto slab =
                std::make_unique<Slab>(arena, *scratch, grid, level, static_cast<int>(first), static_cast<int>(end));
            std::size_t estimate[3] = {estimates[s][0], estimates[s][1], estimates[s][2]};
            slab->reserve(estimate);
            slab->run(*work, progress);
            slabs[s] = std::move(slab);
            std::lock_guard<std::mutex> lock(mutex);
            spare.push_back(std::move(work));
        }, this);
    }
    if (this->isCanceled()) {
        // Slabs not started, or stopped within: no mesh at all.
        slabs.clear();
        this->notifyCanceled("");
        return TriMesh<float>();
    }

    // Where each slab's vertices of each list go: the lists one after the
    // other, each in slab order.
    const size_t count = slabs.size();
    std::vector<std::array<std::size_t, 4>> start(count);
    std::vector<std::size_t> triangleStart(count + 1, 0);
    std::size_t totals[4] = {0, 0, 0, 0};
    for (size_t s = 0; s < count; ++s) {
        for (int list = 0; list < 4; ++list) {
            start[s][list] = totals[list];
            totals[list] += slabs[s]->m_owned[list];
        }
        triangleStart[s + 1] = triangleStart[s] + slabs[s]->m_triangles.size() / 3;
    }
    for (int list = 0; list < 3; ++list)
        if (totals[list] >= static_cast<std::size_t>(maxVerticesPerList))
            throw SizeError(where, "Too many vertices");
    const std::size_t base[4] = {0, totals[0], totals[0] + totals[1], totals[0] + totals[1] + totals[2]};
    const std::size_t vertexCount = base[3] + totals[3];
    if (vertexCount > 0x7fffffffu || triangleStart[count] > 0x7fffffffu)
        throw SizeError(where, "Too many vertices");
    for (size_t s = 0; s < count; ++s)
        for (int list = 0; list < 4; ++list)
            start[s][list] += base[list];

    // The vertex normals, as TriMesh::computeNormals makes them: the sum of
    // the unit normals of the triangles using a vertex, in triangle order,
    // normalised. Each slab sums over its own triangles; a vertex on the
    // first grid plane of a slab is also used by the last layer of the slab
    // before, whose sums come first, so its sum starts from those and adds
    // the slab's first-layer triangles again in order.
    //
    // The mesh's vertex pool, the pool of its normals and its triangle list
    // are new memory, mostly fresh pages that the system clears when they
    // are first written. They are made as the first part of the loop summing
    // the slabs' normals, which the calling thread takes up first: while it
    // maps them, the other threads sum. (Mapped by a worker while another
    // thread was still writing pages of its own, a 2.4 MB triangle list
    // took 0.4 to 5 ms instead of 0.3.)
    const int poolSize = static_cast<int>(vertexCount);
    std::optional<TriMesh<float>> made;
    std::optional<Vertices<float>> madeNormals;
    typename TriMesh<float>::TriangleList triangles;
    triangles.resize(triangleStart[count]);
    if (scratch)
        scratch->rewind(); // the workspaces are gone
    const auto makeOrSum = [&](std::ptrdiff_t part, std::ptrdiff_t) {
        if (part > 0) {
            slabs[static_cast<size_t>(part - 1)]->sumNormals();
            return;
        }
        plexan::parallel::prefault(triangles.data(), triangles.size() * sizeof(triangles[0]));
        made.emplace(3, poolSize, poolSize, 0);
        madeNormals.emplace(3, poolSize, poolSize, 0);
    };
    plexan::parallel::forEachChunk(0, static_cast<std::ptrdiff_t>(count) + 1, 1, makeOrSum);
    TriMesh<float> mesh(std::move(*made));
    Vertices<float> normals(std::move(*madeNormals));
    float* coordinates = vertexCount > 0 ? mesh.coordinates(0) : nullptr;
    plexan::parallel::forEachChunk(0, static_cast<std::ptrdiff_t>(count), 1, [&](std::ptrdiff_t first, std::ptrdiff_t) {
        const Slab& slab = *slabs[static_cast<size_t>(first)];
        const std::array<std::size_t, 4>& at = start[static_cast<size_t>(first)];
        for (int list = 0; list < 4; ++list)
            std::copy(slab.m_vertices[list].data(), slab.m_vertices[list].data() + 3 * slab.m_owned[list],
                      coordinates + 3 * at[list]);
        const std::uint32_t* codes = slab.m_triangles.data();
        std::array<unsigned int, 3>* out = triangles.data() + triangleStart[static_cast<size_t>(first)];
        const size_t n = slab.m_triangles.size() / 3;
        for (size_t t = 0; t < n; ++t)
            for (int c = 0; c < 3; ++c) {
                const std::uint32_t code = codes[3 * t + c];
                out[t][c] = static_cast<unsigned int>(at[code & 3] + (code >> 2));
            }
    });

    float* normalOut = vertexCount > 0 ? normals.coordinates(0) : nullptr;
    plexan::parallel::forEachChunk(0, static_cast<std::ptrdiff_t>(count), 1, [&](std::ptrdiff_t first, std::ptrdiff_t) {
        const size_t s = static_cast<size_t>(first);
        const Slab& slab = *slabs[s];
        const std::array<std::size_t, 4>& at = start[s];
        // The vertices the slab shares with the one before, at the start of
        // its first two lists.
        size_t shared[2] = {0, 0};
        std::vector<double> head[2];
        if (s > 0) {
            const Slab& before = *slabs[s - 1];
            for (int list = 0; list < 2; ++list) {
                shared[list] = before.m_vertices[list].size() / 3 - before.m_owned[list];
                const double* tail = before.m_normalSums[list].data() + 3 * before.m_owned[list];
                head[list].assign(tail, tail + 3 * shared[list]);
            }
            for (size_t t = 0; t < slab.m_firstLayerTriangles; ++t) {
                const std::uint32_t* codes = slab.m_triangles.data() + 3 * t;
                double w[3];
                if (!slab.triangleNormal(codes, w))
                    continue;
                for (int c = 0; c < 3; ++c) {
                    const std::uint32_t list = codes[c] & 3;
                    const size_t v = codes[c] >> 2;
                    if (list < 2 && v < shared[list])
                        for (int a = 0; a < 3; ++a)
                            head[list][3 * v + a] += w[a];
                }
            }
        }
        for (int list = 0; list < 4; ++list) {
            const size_t from = list < 2 ? shared[list] : 0;
            if (from > 0)
                normaliseSums(head[list].data(), normalOut + 3 * at[list], from);
            if (slab.m_owned[list] > from)
                normaliseSums(slab.m_normalSums[list].data() + 3 * from, normalOut + 3 * (at[list] + from),
                              slab.m_owned[list] - from);
        }
        progress.advance();
    });
    slabs.clear();
    mesh.setTriangles(std::move(triangles));
    mesh.setNormals(std::move(normals));
    progress.finish();
    return mesh;
}

template class MarchingCubes<int>;
template class MarchingCubes<float>;
template class MarchingCubes<double>;
template class MarchingCubes<long double>;
