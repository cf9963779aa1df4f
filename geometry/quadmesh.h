#pragma once
// QuadMesh<T>: a structured tube, a curve stack whose levels all have the same
// number of vertices (the width), so that vertex c of level r and vertex c of
// level r + 1 are joined; a closed mesh also joins the last column to the
// first. It may carry two caps, small closed meshes closing the tube at its
// first and last contour, and one colour per vertex.
//
// A cap has the mesh's dimension and width and 10 levels: level 0 is the end
// contour, level 9 the contour shrunk to 1 % around its centre of gravity,
// and level k the linear shape interpolation between the two at
// t = 1 - sqrt((9 - k) / 9), so that its rings crowd towards the rim. A cap
// lies in the plane of its contour (for a planar contour), on a pool of its
// own, and is listed among the mesh's extension shapes while it exists.
//
// Vertex colours are a QuadMesh<int> of dimension 3 and the mesh's height and
// width holding (red, green, blue) in 0 .. 255 per vertex.
// T = int, float, double, long double.

#include "geometry/curvestack.h"
#include "geometry/trimesh.h"

#include <memory>
#include <vector>

class Colormap;

template <typename T>
class QuadMesh : public CurveStack<T> {
public:
    QuadMesh() = default;
    // height levels of width vertices on one new pool (see VertexStack).
    QuadMesh(int space, int height, int width, int capacity = 0, int growth = 0, bool open = false);
    // The stack's levels, sharing their pools. SizeError "Curve size is not
    // constant along the curve stack" when the levels differ in size.
    explicit QuadMesh(const CurveStack<T>& stack);
    // Shares the pools of the levels, the caps and the colours.
    QuadMesh(const QuadMesh& other);
    explicit QuadMesh(const std::string& fileName);
    ~QuadMesh() override;

    QuadMesh& operator=(const QuadMesh& other);
    using CurveStack<T>::operator=;
    // A QuadMesh source also gives its caps and colours.
    void assign(const VertexClient<T>& other) override;
    QuadMesh* clone() const override { return new QuadMesh(*this); }
    int getShapeType() const override { return this->isOpen() ? OpenQuadMeshShape : ClosedQuadMeshShape; }

    // The vertex count of the first level, 0 without levels.
    int getWidth() const;

    // Adds a level; once the mesh has a level, the curve must have its width
    // (SizeError "Curve size does not match the mesh width").
    void insert(unsigned int k, const Vertices<T>& curve) override;
    using CurveStack<T>::append;
    using CurveStack<T>::prepend;
    using CurveStack<T>::insert;

    // Detaches the levels as a stack does, then the caps.
    void detach() override;
    // Vertex-wise sum and difference with a mesh of the same height and width
    // (SizeError "Incompatible mesh dimensions" otherwise); the caps are left
    // alone.
    QuadMesh& operator+=(const Shape<T>& other) override;
    QuadMesh& operator-=(const Shape<T>& other) override;

    // Caps ---------------------------------------------------------------------

    // Builds (or rebuilds) a cap from the first or last level; nothing for an
    // open mesh. SizeError "This mesh contains no contour" without levels.
    void buildBeginCap();
    void buildEndCap();
    void buildCaps();
    bool hasBeginCap() const { return m_beginCap != nullptr; }
    bool hasEndCap() const { return m_endCap != nullptr; }
    QuadMesh* getBeginCap() const { return m_beginCap.get(); }
    QuadMesh* getEndCap() const { return m_endCap.get(); }
    void destroyBeginCap();
    void destroyEndCap();
    void destroyCaps();
    // Makes the caps part of the mesh: the begin cap's levels but its rim,
    // tip first, go in front, the end cap's after the last level; then the
    // caps are destroyed. The mesh then runs from tip to tip.
    void extendToCaps();

    // Matching -----------------------------------------------------------------

    // For two closed meshes of equal height and width, the cyclic column shift
    // k maximising the sum over all vertices of (this at (r, c + k)) .
    // (other at (r, c)); the smallest k wins a tie; 0 otherwise.
    int findMatch(const QuadMesh& other) const;
    // Rotates every level of the mesh and of its caps by findMatch(other);
    // returns the shift.
    int match(const QuadMesh& other);

    // Statistics over meshes of the same height and width ------------------------

    // The vertex-wise mean (SizeError "Incompatible mesh dimensions" for
    // meshes of different sizes, an empty mesh for an empty list). It takes
    // the first mesh's dimension and open flag.
    static QuadMesh mean(const std::vector<const QuadMesh*>& meshes);
    // Per vertex (row = level, column = position), the mean over the meshes
    // of the squared distance of their vertex to the mean's.
    static Matrix<T> varianceMap(const QuadMesh& mean, const std::vector<const QuadMesh*>& meshes);

    // Colours ------------------------------------------------------------------

    // Colours every vertex through the colour map from values, one per vertex
    // (height x width): low goes to the first cell, high to the last, values
    // between linearly to the nearest cell and values outside to the end
    // cells. Without a range the values' own minimum and maximum are used (a
    // constant map takes the first cell). SizeError "Incompatible value array
    // dimensions"; ColormapError "Empty colormap".
    void buildVertexColors(const Matrix<T>& values, const Colormap& colormap);
    void buildVertexColors(const Matrix<T>& values, const Colormap& colormap, T low, T high);
    // Takes the colour mesh, which must have this mesh's height and width
    // (SizeError "Incompatible color array dimensions"; the colours are
    // dropped then).
    void setVertexColors(std::unique_ptr<QuadMesh<int>> colours);
    QuadMesh<int>* getVertexColors() const { return m_colours.get(); }
    bool hasVertexColors() const { return m_colours != nullptr; }

    // Conversion -----------------------------------------------------------------

    // A TriMesh of dimension 3 with the vertices level by level (vertex c of
    // level r is number r W + c) and two triangles per quadrilateral, the
    // closing column included for a closed mesh; caps are not included.
    TriMesh<T> toTriMesh() const;

    void read(std::istream& stream) override;

private:
    std::unique_ptr<QuadMesh> buildCap(const Curve<T>& contour) const;
    void setCap(std::unique_ptr<QuadMesh>& slot, std::unique_ptr<QuadMesh> cap);
    void copyExtras(const QuadMesh& other);
    void combine(const Shape<T>& other, bool add, const char* where);

    std::unique_ptr<QuadMesh<int>> m_colours;
    std::unique_ptr<QuadMesh> m_beginCap;
    std::unique_ptr<QuadMesh> m_endCap;
};

#define PLEXAN_EXTERN_QUAD_MESH(T) extern template class QuadMesh<T>;
PLEXAN_FOR_EACH_COORDINATE_TYPE(PLEXAN_EXTERN_QUAD_MESH)
#undef PLEXAN_EXTERN_QUAD_MESH
