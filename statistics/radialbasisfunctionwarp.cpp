#include "statistics/radialbasisfunctionwarp.h"

#include "numerics/exception.h"
#include "statistics/shapetransform.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numeric>

namespace {

// Solves a x = b in place for the columns of b (n x m, row-major) by LU
// decomposition with partial pivoting of a (n x n, row-major); false when a
// pivot vanishes.
template <typename R>
bool solveInPlace(std::vector<R>& a, std::vector<R>& b, std::size_t n, std::size_t m)
{
    R largest = 0;
    for (const R& x : a)
        largest = std::max(largest, std::abs(x));
    const R tiny = largest * static_cast<R>(n) * std::numeric_limits<R>::epsilon();
    for (std::size_t k = 0; k < n; ++k) {
        std::size_t pivot = k;
        for (std::size_t i = k + 1; i < n; ++i)
            if (std::abs(a[i * n + k]) > std::abs(a[pivot * n + k]))
                pivot = i;
        if (!(std::abs(a[pivot * n + k]) > tiny))
            return false;
        if (pivot != k) {
            std::swap_ranges(a.begin() + static_cast<std::ptrdiff_t>(k * n),
                             a.begin() + static_cast<std::ptrdiff_t>((k + 1) * n),
                             a.begin() + static_cast<std::ptrdiff_t>(pivot * n));
            std::swap_ranges(b.begin() + static_cast<std::ptrdiff_t>(k * m),
                             b.begin() + static_cast<std::ptrdiff_t>((k + 1) * m),
                             b.begin() + static_cast<std::ptrdiff_t>(pivot * m));
        }
        const R* rowK = a.data() + k * n;
        const R inverse = R(1) / rowK[k];
        for (std::size_t i = k + 1; i < n; ++i) {
            R* rowI = a.data() + i * n;
            const R f = rowI[k] * inverse;
            if (f == R(0))
                continue;
            rowI[k] = f;
            for (std::size_t j = k + 1; j < n; ++j)
                rowI[j] -= f * rowK[j];
            for (std::size_t c = 0; c < m; ++c)
                b[i * m + c] -= f * b[k * m + c];
        }
    }
    for (std::size_t i = n; i-- > 0;) {
        const R* row = a.data() + i * n;
        for (std::size_t c = 0; c < m; ++c) {
            R s = b[i * m + c];
            for (std::size_t j = i + 1; j < n; ++j)
                s -= row[j] * b[j * m + c];
            b[i * m + c] = s / row[i];
        }
    }
    return true;
}

} // namespace

template <typename T>
void RadialBasisFunctionWarp<T>::fit(const Shape<T>& source, const Shape<T>& target)
{
    const char* where = "void RadialBasisFunctionWarp<T>::fit(const Shape<T>&,const Shape<T>&)";
    std::vector<std::array<Real, 3>> from;
    std::vector<std::array<Real, 3>> to;
    for (ConstVertexIterator<T> it(source); it.current(); ++it) {
        const Vector<T>& x = *it.current();
        if (x.getSize() != 3)
            throw SizeError(where, "Incompatible vector dimensions");
        from.push_back({static_cast<Real>(x[0]), static_cast<Real>(x[1]), static_cast<Real>(x[2])});
    }
    for (ConstVertexIterator<T> it(target); it.current(); ++it) {
        const Vector<T>& x = *it.current();
        if (x.getSize() != 3)
            throw SizeError(where, "Incompatible vector dimensions");
        to.push_back({static_cast<Real>(x[0]), static_cast<Real>(x[1]), static_cast<Real>(x[2])});
    }
    if (from.size() != to.size())
        throw SizeError(where, "Source and target shapes have distinct sizes");

    // Each control point once (the first occurrence), then an evenly spaced
    // subset when there are too many.
    std::vector<std::size_t> order(from.size());
    std::iota(order.begin(), order.end(), std::size_t(0));
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return from[a] < from[b]; });
    std::vector<std::size_t> kept;
    for (std::size_t k = 0; k < order.size(); ++k)
        if (k == 0 || from[order[k]] != from[order[k - 1]])
            kept.push_back(order[k]);
    std::sort(kept.begin(), kept.end());
    const std::size_t limit = static_cast<std::size_t>(std::max(m_maximumControlPoints, 4));
    if (kept.size() > limit) {
        std::vector<std::size_t> subset(limit);
        for (std::size_t k = 0; k < limit; ++k)
            subset[k] = kept[k * kept.size() / limit];
        kept.swap(subset);
    }
    const std::size_t n = kept.size();
    if (n < 4)
        throw MathError(where, "A thin-plate spline needs four control points not in one plane");

    for (Real& c : m_centre)
        c = 0;
    for (std::size_t i : kept)
        for (int a = 0; a < 3; ++a)
            m_centre[a] += from[i][static_cast<std::size_t>(a)];
    for (Real& c : m_centre)
        c /= static_cast<Real>(n);
    Real radius = 0;
    for (std::size_t i : kept)
        for (int a = 0; a < 3; ++a) {
            const Real d = from[i][static_cast<std::size_t>(a)] - m_centre[a];
            radius += d * d;
        }
    radius = std::sqrt(radius / static_cast<Real>(n));
    m_scale = radius > Real(0) ? radius : Real(1);

    m_controls.assign(3 * n, Real(0));
    for (std::size_t k = 0; k < n; ++k)
        for (int a = 0; a < 3; ++a)
            m_controls[3 * k + static_cast<std::size_t>(a)] =
                (from[kept[k]][static_cast<std::size_t>(a)] - m_centre[a]) / m_scale;

    // [K + lambda I, P; P^T, 0] [w; a] = [displacements; 0].
    const std::size_t size = n + 4;
    std::vector<Real> system(size * size, Real(0));
    std::vector<Real> rhs(size * 3, Real(0));
    for (std::size_t i = 0; i < n; ++i) {
        const Real* ui = &m_controls[3 * i];
        Real* row = &system[i * size];
        for (std::size_t j = 0; j < n; ++j) {
            const Real* uj = &m_controls[3 * j];
            const Real dx = ui[0] - uj[0], dy = ui[1] - uj[1], dz = ui[2] - uj[2];
            row[j] = kernel(std::sqrt(dx * dx + dy * dy + dz * dz));
        }
        row[i] += static_cast<Real>(m_lambda);
        row[n] = 1;
        for (int a = 0; a < 3; ++a) {
            row[n + 1 + static_cast<std::size_t>(a)] = ui[a];
            system[(n + 1 + static_cast<std::size_t>(a)) * size + i] = ui[a];
        }
        system[n * size + i] = 1;
        for (int a = 0; a < 3; ++a)
            rhs[3 * i + static_cast<std::size_t>(a)] =
                to[kept[i]][static_cast<std::size_t>(a)] - from[kept[i]][static_cast<std::size_t>(a)];
    }
    if (!solveInPlace(system, rhs, size, 3))
        throw MathError(where, "A thin-plate spline needs four control points not in one plane");
    m_weights.assign(rhs.begin(), rhs.begin() + static_cast<std::ptrdiff_t>(3 * n));
    std::copy(rhs.begin() + static_cast<std::ptrdiff_t>(3 * n), rhs.end(), m_affine);
}

template <typename T>
void RadialBasisFunctionWarp<T>::displacement(const T* x, Real* d) const
{
    Real u[3];
    for (int a = 0; a < 3; ++a)
        u[a] = (static_cast<Real>(x[a]) - m_centre[a]) / m_scale;
    for (int a = 0; a < 3; ++a)
        d[a] = m_affine[a] + m_affine[3 + a] * u[0] + m_affine[6 + a] * u[1] + m_affine[9 + a] * u[2];
    const std::size_t n = m_controls.size() / 3;
    for (std::size_t k = 0; k < n; ++k) {
        const Real* c = &m_controls[3 * k];
        const Real dx = u[0] - c[0], dy = u[1] - c[1], dz = u[2] - c[2];
        const Real phi = kernel(std::sqrt(dx * dx + dy * dy + dz * dz));
        const Real* w = &m_weights[3 * k];
        d[0] += w[0] * phi;
        d[1] += w[1] * phi;
        d[2] += w[2] * phi;
    }
}

template <typename T>
Vector<T> RadialBasisFunctionWarp<T>::transform(const Vector<T>& x) const
{
    if (x.getSize() != 3)
        throw SizeError("Vector<T> RadialBasisFunctionWarp<T>::transform(const Vector<T>&) const",
                        "Incompatible vector dimensions");
    Real d[3];
    displacement(x.data(), d);
    Vector<T> y(3u);
    for (int a = 0; a < 3; ++a)
        y[a] = static_cast<T>(static_cast<Real>(x[a]) + d[a]);
    return y;
}

template <typename T>
void RadialBasisFunctionWarp<T>::apply(Shape<T>& shape) const
{
    plexan::transformShape(shape, [&](Vector<T>& x) {
        if (x.getSize() != 3)
            throw SizeError("void RadialBasisFunctionWarp<T>::apply(Shape<T>&) const",
                            "Incompatible vector dimensions");
        Real d[3];
        displacement(x.data(), d);
        for (int a = 0; a < 3; ++a)
            x[a] = static_cast<T>(static_cast<Real>(x[a]) + d[a]);
    });
}

#define PLEXAN_INSTANTIATE(T) template class RadialBasisFunctionWarp<T>;
PLEXAN_FOR_EACH_REAL_TYPE(PLEXAN_INSTANTIATE)
#undef PLEXAN_INSTANTIATE
