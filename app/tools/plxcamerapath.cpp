#include "app/tools/plxcamerapath.h"

#include "gl/viewrotation.h"
#include "numerics/maths.h"
#include "numerics/quaternion.h"
#include "numerics/squarematrix.h"
#include "stack/pose.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

constexpr double toRadians = std::numbers::pi / 180.0;

// The rotation Rx(a) Ry(b) Rz(c) of the view's angles (degrees).
SquareMatrix<double> matrixOf(const Vector<float>& angles)
{
    return SquareMatrix<double>(Maths::xRotationMatrix3D(angles[0] * toRadians) *
                                Maths::yRotationMatrix3D(angles[1] * toRadians) *
                                Maths::zRotationMatrix3D(angles[2] * toRadians));
}

// The unit quaternion of a rotation matrix (largest-component method).
Quaternion<double> quaternionOf(const SquareMatrix<double>& m)
{
    const double trace = m[0][0] + m[1][1] + m[2][2];
    Quaternion<double> q;
    if (trace > 0) {
        const double s = 2 * std::sqrt(trace + 1);
        q = Quaternion<double>(s / 4, (m[2][1] - m[1][2]) / s, (m[0][2] - m[2][0]) / s, (m[1][0] - m[0][1]) / s);
    } else if (m[0][0] > m[1][1] && m[0][0] > m[2][2]) {
        const double s = 2 * std::sqrt(1 + m[0][0] - m[1][1] - m[2][2]);
        q = Quaternion<double>((m[2][1] - m[1][2]) / s, s / 4, (m[0][1] + m[1][0]) / s, (m[0][2] + m[2][0]) / s);
    } else if (m[1][1] > m[2][2]) {
        const double s = 2 * std::sqrt(1 + m[1][1] - m[0][0] - m[2][2]);
        q = Quaternion<double>((m[0][2] - m[2][0]) / s, (m[0][1] + m[1][0]) / s, s / 4, (m[1][2] + m[2][1]) / s);
    } else {
        const double s = 2 * std::sqrt(1 + m[2][2] - m[0][0] - m[1][1]);
        q = Quaternion<double>((m[1][0] - m[0][1]) / s, (m[0][2] + m[2][0]) / s, (m[1][2] + m[2][1]) / s, s / 4);
    }
    q.normalize();
    return q;
}

double dot(const Quaternion<double>& a, const Quaternion<double>& b)
{
    return a.getW() * b.getW() + a.getX() * b.getX() + a.getY() * b.getY() + a.getZ() * b.getZ();
}

// Spherical interpolation by the shorter arc.
Quaternion<double> slerp(const Quaternion<double>& a, Quaternion<double> b, double t)
{
    double d = dot(a, b);
    if (d < 0) {
        b = -b;
        d = -d;
    }
    Quaternion<double> q;
    if (d > 0.9995) {
        // Nearly equal: linear, then normalised.
        q = a + (b - a) * t;
    } else {
        const double theta = std::acos(std::min(d, 1.0));
        q = a * (std::sin((1 - t) * theta) / std::sin(theta)) + b * (std::sin(t * theta) / std::sin(theta));
    }
    q.normalize();
    return q;
}

Vector<float> anglesOf(const SquareMatrix<double>& m)
{
    double a = 0, b = 0, c = 0;
    Maths::decomposeRotationMatrix3D(Matrix<double>(m), a, b, c);
    return Vector<float>{static_cast<float>(a / toRadians), static_cast<float>(b / toRadians),
                         static_cast<float>(c / toRadians)};
}

int mix(int a, int b, double t)
{
    return static_cast<int>(std::lround(a + t * (b - a)));
}

} // namespace

PLXCamera PLXCamera::fromPose(const Pose& pose)
{
    PLXCamera c;
    const Vector<int> r = pose.getRotation();
    c.rotation = Vector<float>{static_cast<float>(r[0]), static_cast<float>(r[1]), static_cast<float>(r[2])};
    c.translation = pose.getTranslation();
    c.zoom = pose.getZoom();
    c.ambient = pose.getAmbientLight();
    c.diffuse = pose.getDiffuseLight();
    c.specular = pose.getSpecularLight();
    return c;
}

int PLXCameraPath::frameCount(double seconds, int fps)
{
    const double n = std::round(seconds * fps);
    if (!(n >= 1))
        return 1;
    return n > 1e6 ? 1000000 : static_cast<int>(n);
}

std::vector<PLXCamera> PLXCameraPath::turntable(const PLXCamera& start, int frames)
{
    std::vector<PLXCamera> cameras;
    for (int k = 0; k < frames; ++k) {
        PLXCamera c = start;
        c.rotation = plexan::gl::rotateInView(start.rotation, 0.0f, static_cast<float>(360.0 * k / frames), 0.0f);
        cameras.push_back(c);
    }
    return cameras;
}

std::vector<PLXCamera> PLXCameraPath::flight(const std::vector<PLXCamera>& poses, int frames)
{
    std::vector<PLXCamera> cameras;
    if (poses.empty() || frames < 1)
        return cameras;
    const int legs = static_cast<int>(poses.size()) - 1;
    std::vector<Quaternion<double>> orientations;
    for (const PLXCamera& pose : poses)
        orientations.push_back(quaternionOf(matrixOf(pose.rotation)));
    for (int k = 0; k < frames; ++k) {
        const double s = frames == 1 || legs == 0 ? 0.0 : static_cast<double>(k) * legs / (frames - 1);
        const int leg = std::min(static_cast<int>(s), std::max(legs - 1, 0));
        const double t = legs == 0 ? 0.0 : s - leg;
        const PLXCamera& a = poses[leg];
        const PLXCamera& b = poses[legs == 0 ? 0 : leg + 1];
        PLXCamera c;
        c.rotation = legs == 0 ? a.rotation : anglesOf(SquareMatrix<double>(slerp(orientations[leg], orientations[leg + 1], t)));
        c.translation = Vector<int>{mix(a.translation[0], b.translation[0], t), mix(a.translation[1], b.translation[1], t)};
        c.zoom = mix(a.zoom, b.zoom, t);
        c.ambient = mix(a.ambient, b.ambient, t);
        c.diffuse = mix(a.diffuse, b.diffuse, t);
        c.specular = mix(a.specular, b.specular, t);
        cameras.push_back(c);
    }
    return cameras;
}
