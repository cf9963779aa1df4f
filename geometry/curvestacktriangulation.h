#pragma once
// CurveStackTriangulation<T>: skins a stack of contours, one per level, with
// a triangle mesh. Every band between two successive levels is tiled with
// triangles that each have one edge on one of the two contours and their
// third vertex on the other; no vertex is created, so the mesh's vertices are
// a copy of the stack's vertices in stack order (level 0 first, positions in
// list order): the vertex at position p of level k is number o(k) + p, o(k)
// the vertex count of the levels below k.
//
// Closed stacks choose their tiling by method:
//   1  shortest diagonal: each step adds the shorter of the two new edges;
//   2  normalised arc length: the two contours are swept in step along their
//      arc length (the rule used to measure surfaces);
//   3  acute-triangle preference: compares the sums of squared sides of the
//      two candidate triangles, biased by whether each is acute;
//   4  minimal area: the exact minimum over all monotone tilings that start
//      at the closest pair, by dynamic programming. Its triangles are listed
//      from the end of each band backwards and wound the other way round.
// Methods 1 to 3 march from the closest vertex pair of the two contours (or
// from position 0 of both, see setFromStarts) and close the band with the closing quadrilateral split along its shorter
// diagonal. Open stacks (any method) march from position 0 of both polylines
// by the shortest-diagonal rule, without closing.
//
// A band between closed contours of m and n vertices gets m + n triangles,
// one between open contours m + n - 2. The levels are expected in stack
// order, one contour per level, all running the same way round; on stacks
// that break this every band still ends, but the surface folds. A band with
// an empty contour gets no triangle. T: float, double, long double.

#include "geometry/curvestack.h"
#include "geometry/trimesh.h"
#include "numerics/elementtype.h"

#include <vector>

template <typename T>
class CurveStackTriangulation {
public:
    // The method only; apply() triangulates.
    explicit CurveStackTriangulation(int method = 2);
    // setMethod(method), then apply(stack).
    CurveStackTriangulation(const CurveStack<T>& stack, int method);

    void setMethod(int method) { m_method = method; }
    int getMethod() const { return m_method; }
    // Closed bands march from position 0 of both contours instead of their
    // closest pair: for stacks whose starts were matched beforehand
    // (CurveStack::matchStarts). Off by default.
    void setFromStarts(bool fromStarts) { m_fromStarts = fromStarts; }
    bool isFromStarts() const { return m_fromStarts; }

    // Rebuilds the mesh from stack: empty when check(stack) fails; otherwise
    // the stack's vertices, the triangles of every band and the vertex
    // normals. An unknown method writes "no such method" to the error
    // output and leaves the mesh without triangles. The minimal-area tiling
    // keeps a table of (m + 1)(n + 1) bytes per band: SizeError "Contours
    // too large for the minimal-area triangulation" beyond 2^30.
    void apply(const CurveStack<T>& stack);

    const TriMesh<T>& getTriMesh() const { return m_mesh; }
    TriMesh<T>& getTriMesh() { return m_mesh; }

    // True when the stack has more than one level.
    static bool check(const CurveStack<T>& stack);

private:
    // The coordinates of one band's two contours, each rotated to start at
    // its vertex of the closest pair (or unrotated for open stacks), one
    // coordinate after the other: coordinate c of position t is
    // x[c * stride + t]. Position m (n) repeats position 0, so the closing
    // edge reads like any other. g holds the global vertex numbers.
    struct Contour {
        std::vector<T> x;
        std::vector<unsigned int> g;
        int size = 0;
        int stride = 0;
        const T* coordinate(int c) const { return x.data() + static_cast<std::size_t>(c) * stride; }
    };

    // Copies the stack's vertices into the mesh (and the flat copy the
    // bands read), and the level offsets o(k).
    void initArrays(const CurveStack<T>& stack);
    void triangulateClosedCurveStack();
    void triangulateClosedCurveStackMethod1();
    void closedCaseGanapathy();
    void triangulateClosedCurveStackMethod3();
    void optimal();
    void triangulateOpenCurveStack();
    void triangulateOpenCurveStackMethod1();

    // Loads level k into contour, starting at position origin.
    void loadContour(int k, int origin, Contour& contour) const;
    // Loads the lower (k - 1) and upper (k) contours of band k rotated to
    // their closest pair (unrotated from starts); false when one of them is
    // empty.
    bool prepareClosedBand(int k);
    // The march of a closed band by the given rule, then the closing
    // quadrilateral.
    template <typename Decide>
    void marchClosedBand(Decide&& advanceB);
    void closeBand();
    T squaredDistance(const Contour& p, int s, const Contour& q, int t) const;

    int m_method = 2;
    bool m_fromStarts = false;
    TriMesh<T> m_mesh;
    int m_space = 0;
    std::vector<T> m_coordinates;     // all vertices, stack order, m_space each
    std::vector<unsigned int> m_offsets; // o(k) for k = 0 .. height
    Contour m_lower;                  // A: level k - 1
    Contour m_upper;                  // B: level k
    std::vector<T> m_distances;       // from one vertex of A to all of B
};

#define PLEXAN_EXTERN_CURVE_STACK_TRIANGULATION(T) extern template class CurveStackTriangulation<T>;
PLEXAN_FOR_EACH_REAL_TYPE(PLEXAN_EXTERN_CURVE_STACK_TRIANGULATION)
#undef PLEXAN_EXTERN_CURVE_STACK_TRIANGULATION
