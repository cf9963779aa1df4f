#pragma once
// Shapes with known measures and reference computations for the geometry
// tests and benchmarks: closed triangle meshes (spheres, tori, boxes) with
// outward-facing (counter-clockwise seen from outside) triangles, plane
// outlines, and point-to-segment and point-to-triangle distances written from
// their definitions.

#include "geometry/curve.h"
#include "geometry/trimesh.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <initializer_list>
#include <numbers>
#include <random>

namespace fixtures {

// A latitude-longitude sphere: two poles, rings - 1 rings of sectors vertices.
template <typename T>
TriMesh<T> sphere(double radius, int rings, int sectors)
{
    const double pi = std::numbers::pi;
    TriMesh<T> mesh(3, 2 + (rings - 1) * sectors);
    auto set = [&](int v, double x, double y, double z) { mesh.vertex(v) = Vector<T>{T(x), T(y), T(z)}; };
    set(0, 0, 0, radius);
    set(1, 0, 0, -radius);
    auto ring = [&](int i, int j) { return static_cast<unsigned>(2 + (i - 1) * sectors + (j % sectors)); };
    for (int i = 1; i < rings; ++i)
        for (int j = 0; j < sectors; ++j) {
            const double theta = pi * i / rings, phi = 2 * pi * j / sectors;
            set(int(ring(i, j)), radius * std::sin(theta) * std::cos(phi), radius * std::sin(theta) * std::sin(phi),
                radius * std::cos(theta));
        }
    for (int j = 0; j < sectors; ++j) {
        mesh.addTriangle(0, ring(1, j), ring(1, j + 1));
        mesh.addTriangle(1, ring(rings - 1, j + 1), ring(rings - 1, j));
        for (int i = 1; i + 1 < rings; ++i) {
            mesh.addTriangle(ring(i, j), ring(i + 1, j), ring(i + 1, j + 1));
            mesh.addTriangle(ring(i, j), ring(i + 1, j + 1), ring(i, j + 1));
        }
    }
    return mesh;
}

// A torus around the z axis: major radius R, minor radius r.
template <typename T>
TriMesh<T> torus(double major, double minor, int around, int across)
{
    const double pi = std::numbers::pi;
    TriMesh<T> mesh(3, around * across);
    auto index = [&](int i, int j) { return static_cast<unsigned>((i % around) * across + (j % across)); };
    for (int i = 0; i < around; ++i)
        for (int j = 0; j < across; ++j) {
            const double phi = 2 * pi * i / around, psi = 2 * pi * j / across;
            mesh.vertex(int(index(i, j))) = Vector<T>{T((major + minor * std::cos(psi)) * std::cos(phi)),
                                                      T((major + minor * std::cos(psi)) * std::sin(phi)),
                                                      T(minor * std::sin(psi))};
        }
    for (int i = 0; i < around; ++i)
        for (int j = 0; j < across; ++j) {
            mesh.addTriangle(index(i, j), index(i + 1, j), index(i + 1, j + 1));
            mesh.addTriangle(index(i, j), index(i + 1, j + 1), index(i, j + 1));
        }
    return mesh;
}

// The box [lo, hi] with every face cut into n x n squares, two triangles
// each; vertices along the edges are repeated per face, with equal
// coordinates.
template <typename T>
TriMesh<T> box(const double lo[3], const double hi[3], int n)
{
    TriMesh<T> mesh(3, 0, 0, 1024);
    // Face of normal axis a, at side s (0 low, 1 high); u and v span it with
    // u x v pointing outwards.
    for (int a = 0; a < 3; ++a)
        for (int s = 0; s < 2; ++s) {
            int u = (a + 1) % 3, v = (a + 2) % 3;
            if (s == 0)
                std::swap(u, v);
            const unsigned first = static_cast<unsigned>(mesh.getNumVertices());
            for (int i = 0; i <= n; ++i)
                for (int j = 0; j <= n; ++j) {
                    Vector<T> p(3u);
                    p[a] = static_cast<T>(s ? hi[a] : lo[a]);
                    p[u] = static_cast<T>(lo[u] + (hi[u] - lo[u]) * i / n);
                    p[v] = static_cast<T>(lo[v] + (hi[v] - lo[v]) * j / n);
                    mesh.append(p);
                }
            auto at = [&](int i, int j) { return first + static_cast<unsigned>(i * (n + 1) + j); };
            for (int i = 0; i < n; ++i)
                for (int j = 0; j < n; ++j) {
                    mesh.addTriangle(at(i, j), at(i + 1, j), at(i + 1, j + 1));
                    mesh.addTriangle(at(i, j), at(i + 1, j + 1), at(i, j + 1));
                }
        }
    return mesh;
}

// A curve of the plane through the given points.
template <typename T>
Curve<T> polygon(std::initializer_list<std::array<double, 2>> xy, bool open = false)
{
    Curve<T> c(2, static_cast<int>(xy.size()), 0, 0, open);
    int i = 0;
    for (const auto& p : xy)
        c[i++] = Vector<T>{static_cast<T>(p[0]), static_cast<T>(p[1])};
    return c;
}

// n vertices evenly spaced counter-clockwise on a circle of the plane, the
// first at angle phase.
template <typename T>
Curve<T> circle(double radius, int n, double phase = 0, double cx = 0, double cy = 0)
{
    Curve<T> c(2, n);
    for (int k = 0; k < n; ++k) {
        const double a = phase + 2 * std::numbers::pi * k / n;
        c[k] = Vector<T>{static_cast<T>(cx + radius * std::cos(a)), static_cast<T>(cy + radius * std::sin(a))};
    }
    return c;
}

// n vertices of the plane with random integer coordinates in [lo, hi].
template <typename T>
Curve<T> randomPolygon(std::mt19937& rng, int n, int lo, int hi)
{
    std::uniform_int_distribution<int> coordinate(lo, hi);
    Curve<T> c(2, n);
    for (int i = 0; i < n; ++i)
        c[i] = Vector<T>{static_cast<T>(coordinate(rng)), static_cast<T>(coordinate(rng))};
    return c;
}

using Point = std::array<double, 3>;

template <typename T>
Point point(const Vector<T>& v)
{
    return {double(v[0]), v.getSize() > 1 ? double(v[1]) : 0.0, v.getSize() > 2 ? double(v[2]) : 0.0};
}

inline double dot(const Point& a, const Point& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }
inline Point minus(const Point& a, const Point& b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }
inline Point cross(const Point& a, const Point& b)
{
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}

// Distance from p to the closed segment ab.
inline double segmentDistance(const Point& p, const Point& a, const Point& b)
{
    const Point ab = minus(b, a), ap = minus(p, a);
    const double l2 = dot(ab, ab);
    const double t = l2 > 0 ? std::clamp(dot(ap, ab) / l2, 0.0, 1.0) : 0.0;
    const Point gap = {ap[0] - t * ab[0], ap[1] - t * ab[1], ap[2] - t * ab[2]};
    return std::sqrt(dot(gap, gap));
}

// Distance from p to the triangle abc: to its plane when the foot of the
// perpendicular is on the inner side of every edge, else to the nearest edge.
inline double triangleDistance(const Point& p, const Point& a, const Point& b, const Point& c)
{
    double best = std::min({segmentDistance(p, a, b), segmentDistance(p, b, c), segmentDistance(p, c, a)});
    const Point n = cross(minus(b, a), minus(c, a));
    const double nn = dot(n, n);
    if (nn == 0)
        return best;
    const double h = dot(minus(p, a), n) / nn;
    const Point foot = {p[0] - h * n[0], p[1] - h * n[1], p[2] - h * n[2]};
    const Point corners[3] = {a, b, c};
    bool inside = true;
    for (int e = 0; e < 3; ++e)
        inside = inside && dot(cross(minus(corners[(e + 1) % 3], corners[e]), minus(foot, corners[e])), n) >= 0;
    return inside ? std::min(best, std::abs(h) * std::sqrt(nn)) : best;
}

} // namespace fixtures
