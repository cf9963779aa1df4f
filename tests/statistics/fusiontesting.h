#pragma once
// Synthetic specimens for the fusion tests: one shape set of two reference
// tubes (closed quadrilateral meshes, bent and tapered so that their
// principal axes are well defined) and a pattern of points, and copies of it
// moved by known rigid transforms, with optional noise.

#include "geometry/quadmesh.h"
#include "geometry/shapeset.h"
#include "geometry/vertexstack.h"
#include "numerics/squarematrix.h"
#include "statistics/rigidshaperegistration.h"

#include <cmath>
#include <memory>
#include <random>

namespace fusiontesting {

constexpr double pi = 3.141592653589793;

// A closed tube of height levels and width columns around the z axis
// through (cx, cy, cz): elliptic sections with radii growing along z and a
// centre line bending in x.
template <typename T>
QuadMesh<T>* tube(double cx, double cy, double cz, double a, double b, int height, int width, double dz)
{
    auto* mesh = new QuadMesh<T>(3, height, width);
    for (int r = 0; r < height; ++r) {
        const double z = r * dz;
        const double grow = 1.0 + 0.08 * r;
        const double bend = 0.04 * z * z;
        for (int c = 0; c < width; ++c) {
            const double t = 2 * pi * c / width;
            (*mesh)[r][c] = Vector<T>{T(cx + bend + a * grow * std::cos(t)), T(cy + b * grow * std::sin(t)), T(cz + z)};
        }
    }
    mesh->buildCaps();
    return mesh;
}

// Two reference tubes and 25 points (not a reference), owned by the set.
template <typename T>
ShapeSet<T> baseSet(const std::string& name = "base")
{
    ShapeSet<T> set(name);
    set.addShape(tube<T>(0, 0, -10, 10, 6, 8, 16, 3.0), true, true);
    set.addShape(tube<T>(14, 5, 2, 3, 2, 5, 10, 2.0), true, true);
    std::mt19937 rng(17);
    std::uniform_real_distribution<double> u(-8, 8);
    auto* points = new VertexStack<T>(3, 1, 25);
    for (int i = 0; i < 25; ++i)
        (*points)[0][i] = Vector<T>{T(u(rng)), T(u(rng)), T(u(rng))};
    set.addShape(points, false, true);
    return set;
}

// The rotation by angle (radians) about a unit axis.
template <typename T>
SquareMatrix<T> rotation(double angle, double x, double y, double z)
{
    const double n = std::sqrt(x * x + y * y + z * z);
    x /= n, y /= n, z /= n;
    const double c = std::cos(angle), s = std::sin(angle), d = 1 - c;
    SquareMatrix<T> r(3u);
    const double m[3][3] = {{c + x * x * d, x * y * d - z * s, x * z * d + y * s},
                            {y * x * d + z * s, c + y * y * d, y * z * d - x * s},
                            {z * x * d - y * s, z * y * d + x * s, c + z * z * d}};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            r(i, j) = T(m[i][j]);
    return r;
}

// A private copy of every shape of set, moved by x -> r x + t, then every
// vertex (caps included) displaced by Gaussian noise of deviation sigma.
template <typename T>
ShapeSet<T> movedCopy(const ShapeSet<T>& set, const SquareMatrix<T>& r, const Vector<T>& t, double sigma,
                      std::mt19937& rng, const std::string& name)
{
    class Move : public RigidShapeRegistration<T> {
    protected:
        void compute(const Shape<T>&, const Shape<T>&) override {}
    } move;
    move.setTransform(r, t);
    std::normal_distribution<double> noise(0.0, sigma);
    ShapeSet<T> out(name);
    for (int i = 0; i < set.getNumShapes(); ++i) {
        if (!set[i]) {
            out.addShape(nullptr, set.isReference(i));
            continue;
        }
        Shape<T>* copy = set[i]->clone();
        move.apply(*copy); // detaches the copy and its caps first
        if (sigma > 0)
            for (VertexIterator<T> it(*copy); it.current(); ++it)
                for (int a = 0; a < 3; ++a)
                    (*it.current())[a] += T(noise(rng));
        out.addShape(copy, set.isReference(i), true);
    }
    return out;
}

} // namespace fusiontesting
