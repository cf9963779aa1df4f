#pragma once
// The orientation of the 3D view as three angles in degrees (about x, then
// y, then z: the model-view rotation is Rx Ry Rz), and its composition with a
// further rotation about the axes of the view itself.

#include "numerics/vector.h"

namespace plexan::gl {

// The angles of D (Rx Ry Rz of angles), D the rotation by dx, then dy, then dz
// degrees about the view's x, y and z axes (D = Rx(dx) Ry(dy) Rz(dz)
// applied after the current orientation). Angles in (-180, 180].
Vector<float> rotateInView(const Vector<float>& angles, float dx, float dy, float dz);

} // namespace plexan::gl
