// The members of CurveStack<T> that build and measure quadrilateral meshes.

#include "geometry/curvestack.h"

#include "geometry/curveresampling.h"
#include "geometry/kdtree.h"
#include "geometry/quadmesh.h"

#include <algorithm>
#include <cmath>

namespace {

using plexan::Accumulator;

// Copies the first coordinates of one vertex into another, zero-filling a
// wider target.
template <typename T>
inline void copyVertex(const Vector<T>& from, Vector<T>& to)
{
    const int n = std::min(from.getSize(), to.getSize());
    for (int d = 0; d < n; ++d)
        to[d] = from[d];
    for (int d = n; d < to.getSize(); ++d)
        to[d] = T(0);
}

} // namespace

template <typename T>
void CurveStack<T>::resample(QuadMesh<T>& mesh) const
{
    const int height = mesh.getHeight();
    const int width = mesh.getWidth();
    const int levels = this->getHeight();
    const int space = this->getSpace();
    QuadMesh<T> out(space, height, width, 0, 0, m_open);
    if (levels == 0 || height == 0 || width == 0) {
        mesh = out;
        return;
    }

    // Pass 1: every contour at the mesh's width, each turned to match the one
    // below so that equal positions correspond (a rotation only makes sense
    // around a closed contour).
    std::vector<Curve<T>> rows;
    rows.reserve(static_cast<std::size_t>(levels));
    for (int k = 0; k < levels; ++k) {
        rows.emplace_back(space, width, 0, 0, m_open);
        level(k).resample(rows.back());
        if (k > 0 && !m_open)
            rows[k].match(rows[k - 1]);
    }

    // Pass 2: every column, the polyline through the contours from level 0
    // up, at the mesh's height.
    const CurveResampling<T> resampler;
    Curve<T> column(space, levels, 0, 0, true);
    Curve<T> sampled(space, height, 0, 0, true);
    for (int c = 0; c < width; ++c) {
        for (int k = 0; k < levels; ++k)
            column.vertex(k) = rows[k].vertex(c);
        resampler.resamplePolyline(column, sampled, height);
        for (int r = 0; r < height; ++r)
            out[r].vertex(c) = sampled.vertex(r);
    }
    out.setName(mesh.getName());
    mesh = out;
}

template <typename T>
QuadMesh<T> CurveStack<T>::resample(int height, int width) const
{
    QuadMesh<T> mesh(this->getSpace(), std::max(height, 0), std::max(width, 0), 0, 0, m_open);
    resample(mesh);
    return mesh;
}

template <typename T>
QuadMesh<T> CurveStack<T>::interpolate(const QuadMesh<T>& mesh) const
{
    using R = Accumulator<T>;
    const int height = mesh.getHeight();
    const int width = mesh.getWidth();
    const int levels = this->getHeight();
    QuadMesh<T> out(3, levels, width, 0, 0, mesh.isOpen());
    if (height == 0 || width == 0)
        return out;

    // The mesh column by column, three coordinates per vertex.
    const int space = std::min(mesh.getSpace(), 3);
    std::vector<R> xyz(static_cast<std::size_t>(width) * height * 3, R(0));
    for (int r = 0; r < height; ++r)
        for (int c = 0; c < width; ++c) {
            const T* x = mesh[r].vertex(c).data();
            R* y = xyz.data() + (static_cast<std::size_t>(c) * height + r) * 3;
            for (int d = 0; d < space; ++d)
                y[d] = static_cast<R>(x[d]);
        }

    for (int k = 0; k < levels; ++k) {
        const Curve<T>& contour = level(k);
        const R z = contour.getNumVertices() > 0 && contour.getSpace() > 2
                        ? static_cast<R>(contour.vertex(0)[2])
                        : R(0);
        for (int c = 0; c < width; ++c) {
            const R* col = xyz.data() + static_cast<std::size_t>(c) * height * 3;
            // The first segment of the column spanning z; beyond the column's
            // ends, the nearer end.
            int r = -1;
            for (int i = 0; i + 1 < height && r < 0; ++i) {
                const R z0 = col[i * 3 + 2];
                const R z1 = col[(i + 1) * 3 + 2];
                if ((z0 <= z && z <= z1) || (z1 <= z && z <= z0))
                    r = i;
            }
            T* y = out[k].vertex(c).data();
            if (r < 0) {
                const R first = col[2];
                const R last = col[(height - 1) * 3 + 2];
                const R* end = std::abs(z - first) <= std::abs(z - last) ? col : col + (height - 1) * 3;
                for (int d = 0; d < 3; ++d)
                    y[d] = plexan::toCoordinate<T>(end[d]);
                continue;
            }
            const R* a = col + r * 3;
            const R* b = a + 3;
            const R dz = b[2] - a[2];
            const R f = dz != 0 ? (z - a[2]) / dz : R(0);
            for (int d = 0; d < 3; ++d)
                y[d] = plexan::toCoordinate<T>(a[d] + f * (b[d] - a[d]));
        }
    }
    return out;
}

template <typename T>
Vector<T> CurveStack<T>::resamplingError(const QuadMesh<T>& mesh) const
{
    using R = Accumulator<T>;
    const int levels = this->getHeight();
    Vector<T> errors(static_cast<unsigned int>(levels));
    errors.setZeros();
    const QuadMesh<T> interpolated = interpolate(mesh);
    if (interpolated.getWidth() == 0)
        return errors;
    Vector<T> query(3u);
    for (int k = 0; k < levels; ++k) {
        const Curve<T>& contour = level(k);
        const KDTree<T> tree(interpolated[k]);
        R largest = 0;
        for (int i = 0; i < contour.getNumVertices(); ++i) {
            copyVertex(contour.vertex(i), query);
            T squared = 0;
            tree.nearestVertex(query, squared);
            largest = std::max(largest, static_cast<R>(squared));
        }
        errors[k] = plexan::toCoordinate<T>(std::sqrt(largest));
    }
    return errors;
}

template <typename T>
T CurveStack<T>::optimalResampling(T tolerance, int& height, int& width) const
{
    using R = Accumulator<T>;
    const int levels = this->getHeight();
    if (levels == 0) {
        height = 0;
        width = 0;
        return T(0);
    }
    int largest = 0;
    for (int k = 1; k < levels; ++k)
        if (level(k).getNumVertices() > level(largest).getNumVertices())
            largest = k;
    const BoundingBox<T> box = this->boundingBox();
    const R extent = box.getSpace() > 2 ? static_cast<R>(box.max(2)) - static_cast<R>(box.min(2)) : R(0);

    // The height giving rows as far apart as the vertices of the contour
    // resampled to w vertices (at least one row, two for a real stack).
    auto heightFor = [&](int w, const Curve<T>& contour) {
        const Curve<T> sample = contour.resample(w);
        R step = 0;
        if (sample.getNumVertices() > 1) {
            const Vector<T>& a = sample.vertex(0);
            const Vector<T>& b = sample.vertex(1);
            for (int d = 0; d < a.getSize(); ++d)
                step += (static_cast<R>(b[d]) - static_cast<R>(a[d])) * (static_cast<R>(b[d]) - static_cast<R>(a[d]));
            step = std::sqrt(step);
        }
        const R rows = step > 0 ? std::rint(extent / step) : R(1);
        const int minimum = levels > 1 ? 2 : 1;
        // Keeps a mesh within 2^24 vertices.
        const R maximum = std::max(R(minimum), R(1 << 24) / R(w));
        return static_cast<int>(std::clamp(rows, R(minimum), maximum));
    };
    auto errorFor = [&](int h, int w) {
        const Vector<T> errors = resamplingError(resample(h, w));
        return errors.getSize() > 0 ? errors.max() : T(0);
    };

    int w = std::max(3, level(largest).getNumVertices());
    int h = heightFor(w, level(largest));
    T error = errorFor(h, w);
    // Doubling stops at 64 times the first width, where a tolerance not met
    // is out of reach of resampling.
    const int limit = w * 64;
    int failed = 0;
    while (error > tolerance && w < limit) {
        failed = w;
        w *= 2;
        h = heightFor(w, level(0));
        error = errorFor(h, w);
    }
    if (failed > 0 && !(error > tolerance)) {
        int lo = failed;
        while (w - lo > 1) {
            const int mid = lo + (w - lo) / 2;
            const int hm = heightFor(mid, level(0));
            const T em = errorFor(hm, mid);
            if (em > tolerance) {
                lo = mid;
            } else {
                w = mid;
                h = hm;
                error = em;
            }
        }
    }
    height = h;
    width = w;
    return error;
}

#define PLEXAN_INSTANTIATE(T)                                                              \
    template void CurveStack<T>::resample(QuadMesh<T>&) const;                             \
    template QuadMesh<T> CurveStack<T>::resample(int, int) const;                          \
    template QuadMesh<T> CurveStack<T>::interpolate(const QuadMesh<T>&) const;             \
    template Vector<T> CurveStack<T>::resamplingError(const QuadMesh<T>&) const;           \
    template T CurveStack<T>::optimalResampling(T, int&, int&) const;
PLEXAN_FOR_EACH_COORDINATE_TYPE(PLEXAN_INSTANTIATE)
#undef PLEXAN_INSTANTIATE
