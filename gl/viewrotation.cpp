#include "gl/viewrotation.h"

#include "numerics/maths.h"
#include "numerics/squarematrix.h"

#include <numbers>

namespace plexan::gl {

namespace {

constexpr double toRadians = std::numbers::pi / 180.0;

SquareMatrix<double> xyz(double x, double y, double z)
{
    return SquareMatrix<double>(Maths::xRotationMatrix3D(x * toRadians) * Maths::yRotationMatrix3D(y * toRadians) *
                                Maths::zRotationMatrix3D(z * toRadians));
}

} // namespace

Vector<float> rotateInView(const Vector<float>& angles, float dx, float dy, float dz)
{
    const Matrix<double> m = xyz(dx, dy, dz) * xyz(angles[0], angles[1], angles[2]);
    double a = 0, b = 0, c = 0;
    Maths::decomposeRotationMatrix3D(m, a, b, c);
    return Vector<float>{static_cast<float>(a / toRadians), static_cast<float>(b / toRadians),
                         static_cast<float>(c / toRadians)};
}

} // namespace plexan::gl
