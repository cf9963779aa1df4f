#pragma once
// RigidShapeRegistration<T>: a rigid transform x -> R x + t fitted between
// shapes, which can then be applied to a shape (and the caps of a
// quadrilateral mesh) or to every shape of a shape set. Subclasses choose the
// fit; the transform starts as the identity.

#include "geometry/shapeset.h"
#include "geometry/shape.h"
#include "numerics/squarematrix.h"

template <typename T>
class RigidShapeRegistration {
public:
    RigidShapeRegistration();
    virtual ~RigidShapeRegistration() = default;

    // Fits the transform that brings moving onto target, vertex i onto
    // vertex i: the shapes must have the same vertex count (SizeError
    // "Moving and target shapes have distinct sizes" otherwise).
    void fit(const Shape<T>& moving, const Shape<T>& target);

    const SquareMatrix<T>& getRotationMatrix() const { return m_rotation; }
    const Vector<T>& getTranslationVector() const { return m_translation; }
    void setTransform(const SquareMatrix<T>& rotation, const Vector<T>& translation);

    // R x + t.
    Vector<T> transform(const Vector<T>& x) const;
    // Moves every vertex (after detaching the shape), null entries of a set
    // are skipped.
    void apply(Shape<T>& shape) const;
    void apply(ShapeSet<T>& set) const;

protected:
    virtual void compute(const Shape<T>& moving, const Shape<T>& target) = 0;

    SquareMatrix<T> m_rotation;
    Vector<T> m_translation;
};

#define PLEXAN_EXTERN_RIGID_SHAPE_REGISTRATION(T) extern template class RigidShapeRegistration<T>;
PLEXAN_FOR_EACH_REAL_TYPE(PLEXAN_EXTERN_RIGID_SHAPE_REGISTRATION)
#undef PLEXAN_EXTERN_RIGID_SHAPE_REGISTRATION
