#pragma once
// PainterGL<T>: something the 3D viewer draws. A painter knows one kind of
// geometry, reports its bounding box and whether it is opaque (the viewer
// draws the opaque painters first, then the others blended over them), and
// issues the OpenGL calls that draw it in the current context.
// T = float, double, long double (the viewer works with the float painters).

#include "geometry/boundingbox.h"

template <typename T>
class PainterGL {
public:
    PainterGL() = default;
    PainterGL(const PainterGL&) = default;
    PainterGL& operator=(const PainterGL&) = default;
    virtual ~PainterGL() = default;

    // Empty in the base.
    virtual BoundingBox<T> boundingBox() const { return BoundingBox<T>(); }
    virtual bool isOpaque() const { return true; }
    // Draws in the current GL context; nothing in the base.
    virtual void glDraw() {}
};
