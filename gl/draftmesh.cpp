#include "gl/draftmesh.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <unordered_map>

namespace {

thread_local bool draftFrame = false;

struct Point {
    double x = 0.0, y = 0.0, z = 0.0;
};

Point at(const float* coordinates, int components, int stride, unsigned int index)
{
    const float* p = coordinates + static_cast<std::size_t>(index) * static_cast<std::size_t>(stride);
    return Point{p[0], p[1], components > 2 ? p[2] : 0.0};
}

Point cross(const Point& a, const Point& b, const Point& c)
{
    const Point u{b.x - a.x, b.y - a.y, b.z - a.z};
    const Point v{c.x - a.x, c.y - a.y, c.z - a.z};
    return Point{u.y * v.z - u.z * v.y, u.z * v.x - u.x * v.z, u.x * v.y - u.y * v.x};
}

double norm(const Point& p)
{
    return std::sqrt(p.x * p.x + p.y * p.y + p.z * p.z);
}

// Cells are numbered by 21 bits per axis.
constexpr std::int64_t cellLimit = (std::int64_t{1} << 21) - 1;

std::uint64_t cellKey(const Point& p, const double lower[3], double cell)
{
    const auto axis = [&](double value, double origin) {
        const double k = std::floor((value - origin) / cell);
        return static_cast<std::uint64_t>(std::clamp<double>(k, 0.0, static_cast<double>(cellLimit)));
    };
    return axis(p.x, lower[0]) | (axis(p.y, lower[1]) << 21) | (axis(p.z, lower[2]) << 42);
}

} // namespace

bool DraftMesh::isDraftFrame()
{
    return draftFrame;
}

void DraftMesh::setDraftFrame(bool draft)
{
    draftFrame = draft;
}

void DraftMesh::clear()
{
    m_positions.clear();
    m_normals.clear();
    m_triangles.clear();
    m_cell = 0.0;
}

void DraftMesh::build(const float* coordinates, int components, int stride, const float* normals,
                      const unsigned int* triangles, std::size_t numTriangles, std::size_t maxTriangles)
{
    clear();
    if (!coordinates || !triangles || numTriangles == 0 || maxTriangles == 0 || components < 2)
        return;
    double area = 0.0;
    double lower[3] = {std::numeric_limits<double>::max(), std::numeric_limits<double>::max(),
                       std::numeric_limits<double>::max()};
    for (std::size_t t = 0; t < numTriangles; ++t) {
        const unsigned int* corner = triangles + 3 * t;
        const Point a = at(coordinates, components, stride, corner[0]);
        area += 0.5 * norm(cross(a, at(coordinates, components, stride, corner[1]),
                                 at(coordinates, components, stride, corner[2])));
        for (int k = 0; k < 3; ++k) {
            const Point p = at(coordinates, components, stride, corner[k]);
            lower[0] = std::min(lower[0], p.x);
            lower[1] = std::min(lower[1], p.y);
            lower[2] = std::min(lower[2], p.z);
        }
    }
    if (!(area > 0.0) || !std::isfinite(area))
        return;
    // A closed surface clustered on cells of edge h keeps about two
    // triangles per occupied cell and crosses about 1.5 area / h^2 cells.
    double cell = std::sqrt(3.0 * area / static_cast<double>(maxTriangles));
    for (int attempt = 0; attempt < 8; ++attempt) {
        m_cell = cell;
        if (!cluster(coordinates, components, stride, normals, triangles, numTriangles, lower))
            break;
        if (getNumTriangles() <= maxTriangles + maxTriangles / 10)
            return;
        cell *= 1.25;
    }
    clear();
}

bool DraftMesh::cluster(const float* coordinates, int components, int stride, const float* normals,
                        const unsigned int* triangles, std::size_t numTriangles, const double lower[3])
{
    const double cell = m_cell;
    m_positions.clear();
    m_normals.clear();
    m_triangles.clear();
    if (!(cell > 0.0))
        return false;
    unsigned int largest = 0;
    for (std::size_t i = 0; i < 3 * numTriangles; ++i)
        largest = std::max(largest, triangles[i]);
    constexpr unsigned int unset = std::numeric_limits<unsigned int>::max();
    std::vector<unsigned int> clusterOf(static_cast<std::size_t>(largest) + 1, unset);
    std::unordered_map<std::uint64_t, unsigned int> cells;
    cells.reserve(numTriangles / 4 + 16);
    std::vector<double> sums; // x, y, z, nx, ny, nz, count per cluster
    for (std::size_t i = 0; i < 3 * numTriangles; ++i) {
        const unsigned int v = triangles[i];
        if (clusterOf[v] != unset)
            continue;
        const Point p = at(coordinates, components, stride, v);
        const auto [slot, added] = cells.try_emplace(cellKey(p, lower, cell), static_cast<unsigned int>(cells.size()));
        if (added)
            sums.resize(sums.size() + 7, 0.0);
        clusterOf[v] = slot->second;
        double* s = sums.data() + 7 * static_cast<std::size_t>(slot->second);
        s[0] += p.x;
        s[1] += p.y;
        s[2] += p.z;
        if (normals) {
            const float* n = normals + 3 * static_cast<std::size_t>(v);
            s[3] += n[0];
            s[4] += n[1];
            s[5] += n[2];
        }
        s[6] += 1.0;
    }
    for (std::size_t t = 0; t < numTriangles; ++t) {
        const unsigned int* corner = triangles + 3 * t;
        const unsigned int a = clusterOf[corner[0]], b = clusterOf[corner[1]], c = clusterOf[corner[2]];
        if (a == b || b == c || a == c)
            continue;
        m_triangles.insert(m_triangles.end(), {a, b, c});
        if (!normals) {
            // Area-weighted face normals, in the triangle's own orientation.
            const Point n = cross(at(coordinates, components, stride, corner[0]),
                                  at(coordinates, components, stride, corner[1]),
                                  at(coordinates, components, stride, corner[2]));
            for (unsigned int k : {a, b, c}) {
                double* s = sums.data() + 7 * static_cast<std::size_t>(k);
                s[3] += n.x;
                s[4] += n.y;
                s[5] += n.z;
            }
        }
    }
    const std::size_t count = cells.size();
    m_positions.resize(3 * count);
    m_normals.resize(3 * count);
    for (std::size_t k = 0; k < count; ++k) {
        const double* s = sums.data() + 7 * k;
        for (int d = 0; d < 3; ++d)
            m_positions[3 * k + d] = static_cast<float>(s[d] / s[6]);
        const double length = norm(Point{s[3], s[4], s[5]});
        for (int d = 0; d < 3; ++d)
            m_normals[3 * k + d] = length > 0.0 ? static_cast<float>(s[3 + d] / length) : 0.0f;
    }
    return true;
}
