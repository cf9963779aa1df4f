#pragma once
// Helpers shared by the statistics tests: random point patterns, a progress
// monitor that records what it is told, and synthetic specimens for the
// fusion tests (two bent, tapered reference tubes and a pattern of points,
// and copies of them moved by known rigid transforms, with optional noise).

#include "geometry/quadmesh.h"
#include "geometry/shapeset.h"
#include "geometry/vertexstack.h"
#include "numerics/progressmonitor.h"
#include "numerics/squarematrix.h"
#include "statistics/rigidshaperegistration.h"
#include "support/expect.h"

#include <cmath>
#include <iostream>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace statisticstesting {

constexpr double pi = 3.141592653589793;
using RealTypes = ::testing::Types<float, double, long double>;

// floatTolerance in single precision, otherwise otherTolerance.
template <typename T>
T tolerance(double floatTolerance, double otherTolerance)
{
    return T(std::is_same_v<T, float> ? floatTolerance : otherTolerance);
}

// n points drawn uniformly in [low, high)^3.
template <typename T>
Vertices<T> randomPattern(std::mt19937& rng, int n, double low, double high)
{
    std::uniform_real_distribution<double> u(low, high);
    Vertices<T> points(3, n);
    for (int i = 0; i < n; ++i)
        for (int a = 0; a < 3; ++a)
            points[i][a] = static_cast<T>(u(rng));
    return points;
}

// What f writes on the standard output.
template <typename F>
std::string console(F f)
{
    std::ostringstream out;
    auto* old = std::cout.rdbuf(out.rdbuf());
    f();
    std::cout.rdbuf(old);
    return out.str();
}

class RecordingMonitor : public ProgressMonitor {
public:
    std::vector<std::string> started, finished, texts;
    std::vector<std::pair<unsigned int, unsigned int>> steps;

protected:
    void subjectStarted(const std::string& text) override { started.push_back(text); }
    void subjectFinished(const std::string& text) override { finished.push_back(text); }
    void subjectProgressed(const std::string& text) override { texts.push_back(text); }
    void subjectProgressed(unsigned int i, unsigned int n) override { steps.emplace_back(i, n); }
};

// A closed tube of height levels and width columns around the z axis
// through (cx, cy, cz): elliptic sections with radii growing along z and a
// centre line bending in x.
template <typename T>
QuadMesh<T>* tube(double cx, double cy, double cz, double a, double b, int height, int width, double dz)
{
    auto* mesh = new QuadMesh<T>(3, height, width);
    for (int r = 0; r < height; ++r) {
        const double z = r * dz, grow = 1.0 + 0.08 * r, bend = 0.04 * z * z;
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

// The rotation by angle (radians) about an axis.
template <typename T>
SquareMatrix<T> rotation(double angle, double x, double y, double z)
{
    const double n = std::sqrt(x * x + y * y + z * z);
    x /= n, y /= n, z /= n;
    const double c = std::cos(angle), s = std::sin(angle), d = 1 - c;
    const double m[3][3] = {{c + x * x * d, x * y * d - z * s, x * z * d + y * s},
                            {y * x * d + z * s, c + y * y * d, y * z * d - x * s},
                            {z * x * d - y * s, z * y * d + x * s, c + z * z * d}};
    SquareMatrix<T> r(3u);
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

} // namespace statisticstesting
