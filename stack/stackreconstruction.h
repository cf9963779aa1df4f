#pragma once
// StackReconstruction<T>: places the model items of a stack in the stack's 3D
// frame. Each slice gets one 2D affine map from its image pixels to the stack
// plane and a z coordinate:
//
//     X = a x + b y + tx,   Y = c x + d y + ty,   Z = z
//
// A pixel is centred on the image centre and scaled by the pixel size (the
// image's y axis points down, the stack's up), then turned and shifted by the
// registrations of this slice and of every slice before it: registrations
// are relative to the previous slice and accumulate from the first slice on.
//
// The maps are a snapshot: call computeMaps() after any change of slices,
// calibrations, positions or registrations. T: float, double, long double.

#include "geometry/curve.h"
#include "geometry/curvestack.h"
#include "geometry/vertexstack.h"
#include "geometry/vertices.h"
#include "numerics/matrix.h"

#include <memory>

class Model;
class ModelItem;
class Stack;

template <typename T>
class StackReconstruction {
public:
    StackReconstruction() = default;
    // setStack(stack).
    explicit StackReconstruction(const Stack& stack);

    // Refers to stack (not owned) and computes the maps.
    void setStack(const Stack& stack);
    const Stack* getStack() const { return m_stack; }

    void computeMaps();
    // One row per slice: a, b, tx, c, d, ty.
    const Matrix<T>& getMaps() const { return m_maps; }
    // One z per slice.
    const Vector<T>& getZMap() const { return m_zmap; }

    // The item's vertices in 3D, on a new pool of out's own. An item whose
    // slice is not in the stack leaves out unchanged (with a message on the
    // error output).
    void map(Vertices<T>& out, const ModelItem& item) const;

    // A new object, owned by the caller, chosen by the geometry of the item's
    // model: a closed curve for a Polygon, an open curve for a Polyline,
    // vertices for a Polypoint; null for any other geometry.
    std::unique_ptr<Vertices<T>> apply(const ModelItem& item) const;
    // The whole model, one level per item, slices in stack order and items in
    // each slice's own order: a closed or open curve stack or a vertex stack,
    // as above; null for any other geometry.
    std::unique_ptr<VertexStack<T>> apply(const Model& model) const;

private:
    // map() for an item on slice k.
    void mapOnSlice(Vertices<T>& out, const ModelItem& item, int k) const;

    const Stack* m_stack = nullptr;
    Matrix<T> m_maps;
    Vector<T> m_zmap;
};

#define PLEXAN_EXTERN_STACKRECONSTRUCTION(T) extern template class StackReconstruction<T>;
PLEXAN_FOR_EACH_REAL_TYPE(PLEXAN_EXTERN_STACKRECONSTRUCTION)
#undef PLEXAN_EXTERN_STACKRECONSTRUCTION
