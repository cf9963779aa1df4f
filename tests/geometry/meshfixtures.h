#pragma once
// Closed triangle meshes with known areas and volumes, for the mesh tests and
// benchmarks: spheres, tori and boxes tessellated at a chosen resolution, all
// with outward-facing (counter-clockwise seen from outside) triangles.

#include "geometry/trimesh.h"

#include <cmath>
#include <numbers>

namespace fixtures {

// A latitude-longitude sphere: two poles, rings - 1 rings of sectors vertices.
template <typename T>
TriMesh<T> sphere(double radius, int rings, int sectors)
{
    const double pi = std::numbers::pi;
    TriMesh<T> mesh(3, 2 + (rings - 1) * sectors);
    auto set = [&](int v, double x, double y, double z) {
        mesh.vertex(v)[0] = static_cast<T>(x);
        mesh.vertex(v)[1] = static_cast<T>(y);
        mesh.vertex(v)[2] = static_cast<T>(z);
    };
    set(0, 0, 0, radius);
    set(1, 0, 0, -radius);
    auto ring = [&](int i, int j) { return static_cast<unsigned>(2 + (i - 1) * sectors + (j % sectors)); };
    for (int i = 1; i < rings; ++i)
        for (int j = 0; j < sectors; ++j) {
            const double theta = pi * i / rings;
            const double phi = 2 * pi * j / sectors;
            set(static_cast<int>(ring(i, j)), radius * std::sin(theta) * std::cos(phi),
                radius * std::sin(theta) * std::sin(phi), radius * std::cos(theta));
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
            const double phi = 2 * pi * i / around;
            const double psi = 2 * pi * j / across;
            Vector<T>& v = mesh.vertex(static_cast<int>(index(i, j)));
            v[0] = static_cast<T>((major + minor * std::cos(psi)) * std::cos(phi));
            v[1] = static_cast<T>((major + minor * std::cos(psi)) * std::sin(phi));
            v[2] = static_cast<T>(minor * std::sin(psi));
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

} // namespace fixtures
