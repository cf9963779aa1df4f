#include "imageprocessing/isotropyfilter.h"

#include "image/voxelmatrix.h"
#include "imageprocessing/progresssteps.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <vector>

namespace {

// The eigenvalues of a symmetric 3 x 3 matrix in decreasing order, by the
// trigonometric solution of its characteristic polynomial.
std::array<double, 3> symmetricEigenvalues(double a, double b, double c, double d, double e, double f)
{
    // Matrix [[a d e] [d b f] [e f c]].
    const double p1 = d * d + e * e + f * f;
    const double q = (a + b + c) / 3.0;
    if (p1 <= 1e-300) {
        std::array<double, 3> l{a, b, c};
        std::sort(l.begin(), l.end(), std::greater<double>());
        return l;
    }
    const double p2 = (a - q) * (a - q) + (b - q) * (b - q) + (c - q) * (c - q) + 2.0 * p1;
    const double p = std::sqrt(p2 / 6.0);
    // B = (A - qI) / p, r = det(B) / 2.
    const double ba = (a - q) / p, bb = (b - q) / p, bc = (c - q) / p, bd = d / p, be = e / p, bf = f / p;
    const double det = ba * (bb * bc - bf * bf) - bd * (bd * bc - bf * be) + be * (bd * bf - bb * be);
    const double r = std::clamp(det / 2.0, -1.0, 1.0);
    const double phi = std::acos(r) / 3.0;
    const double l1 = q + 2.0 * p * std::cos(phi);
    const double l3 = q + 2.0 * p * std::cos(phi + 2.0 * std::numbers::pi / 3.0);
    const double l2 = 3.0 * q - l1 - l3;
    return {l1, l2, l3};
}

enum Moment { S, SX, SY, SZ, SXX, SYY, SZZ, SXY, SXZ, SYZ, MOMENTS };

// Sums over the windows [i - h, i + h] clipped to one line of n values
// `stride` apart, in place, through prefix sums.
void clippedSums(double* v, int n, std::size_t stride, int h, std::vector<double>& prefix)
{
    prefix.resize(n + 1);
    prefix[0] = 0.0;
    for (int i = 0; i < n; ++i)
        prefix[i + 1] = prefix[i] + v[i * stride];
    for (int i = 0; i < n; ++i)
        v[i * stride] = prefix[std::min(n, i + h + 1)] - prefix[std::max(0, i - h)];
}

template <typename T>
double massThreshold(const VoxelMatrix<T>& v, int h)
{
    double largest = 0.0;
    for (int k = 0; k < v.getSize3(); ++k)
        for (int i = 0; i < v.getSize1(); ++i)
            for (const T& x : v[k][i])
                largest = std::max(largest, std::abs(static_cast<double>(x)));
    const double side = 2.0 * h + 1.0;
    return 1e-12 * largest * side * side * side;
}

} // namespace

template <typename T>
double IsotropyFilter<T>::index(double cxx, double cyy, double czz, double cxy, double cxz, double cyz) const
{
    const std::array<double, 3> l = symmetricEigenvalues(cxx, cyy, czz, cxy, cxz, cyz);
    const double l1 = std::max(l[0], 0.0), l2 = std::max(l[1], 0.0), l3 = std::max(l[2], 0.0);
    double num = l3, den = l1;
    if (m_analysis == IsotropyMiddleOverMax)
        num = l2;
    else if (m_analysis == IsotropyMinOverMiddle)
        den = l2;
    return den > 0.0 ? std::min(1.0, num / den) : 0.0;
}

template <typename T>
void IsotropyFilter<T>::apply(VoxelMatrix<T>& v)
{
    const int h = getHalfSize();
    const int s1 = v.getSize1(), s2 = v.getSize2(), s3 = v.getSize3();
    if (h < 1 || v.isEmpty())
        return;
    const std::size_t plane = static_cast<std::size_t>(s1) * s2;
    const std::size_t count = plane * s3;
    ProgressSteps progress(*this, 4LL * MOMENTS + s3, "Isotropy filter");
    const double threshold = massThreshold(v, h);
    // The ten weighted monomials, voxel (i, j, k) at (k * s1 + i) * s2 + j;
    // coordinates relative to the volume centre keep the sums small.
    const double cx = 0.5 * (s2 - 1), cy = 0.5 * (s1 - 1), cz = 0.5 * (s3 - 1);
    std::vector<std::vector<double>> sums(MOMENTS, std::vector<double>(count));
    for (int k = 0; k < s3; ++k)
        for (int i = 0; i < s1; ++i)
            for (int j = 0; j < s2; ++j) {
                const std::size_t at = (static_cast<std::size_t>(k) * s1 + i) * s2 + j;
                const double w = static_cast<double>(v(i, j, k));
                const double x = j - cx, y = i - cy, z = k - cz;
                sums[S][at] = w;
                sums[SX][at] = w * x;
                sums[SY][at] = w * y;
                sums[SZ][at] = w * z;
                sums[SXX][at] = w * x * x;
                sums[SYY][at] = w * y * y;
                sums[SZZ][at] = w * z * z;
                sums[SXY][at] = w * x * y;
                sums[SXZ][at] = w * x * z;
                sums[SYZ][at] = w * y * z;
            }
    progress.advance(MOMENTS);
    std::vector<double> prefix;
    for (std::vector<double>& m : sums) {
        for (std::size_t r = 0; r < static_cast<std::size_t>(s1) * s3; ++r) // along rows
            clippedSums(m.data() + r * s2, s2, 1, h, prefix);
        for (int k = 0; k < s3; ++k) // along columns
            for (int j = 0; j < s2; ++j)
                clippedSums(m.data() + k * plane + j, s1, s2, h, prefix);
        for (std::size_t p = 0; p < plane; ++p) // along k
            clippedSums(m.data() + p, s3, plane, h, prefix);
        progress.advance(3);
    }
    for (int k = 0; k < s3; ++k) {
        for (int i = 0; i < s1; ++i)
            for (int j = 0; j < s2; ++j) {
                const std::size_t at = (static_cast<std::size_t>(k) * s1 + i) * s2 + j;
                const double mass = sums[S][at];
                if (!(mass > threshold)) {
                    v(i, j, k) = T(0);
                    continue;
                }
                const double mx = sums[SX][at] / mass, my = sums[SY][at] / mass, mz = sums[SZ][at] / mass;
                v(i, j, k) = static_cast<T>(index(sums[SXX][at] / mass - mx * mx, sums[SYY][at] / mass - my * my,
                                                  sums[SZZ][at] / mass - mz * mz, sums[SXY][at] / mass - mx * my,
                                                  sums[SXZ][at] / mass - mx * mz, sums[SYZ][at] / mass - my * mz));
            }
        progress.advance();
    }
    progress.finish();
}

template <typename T>
void IsotropyFilter<T>::slowApply(VoxelMatrix<T>& v)
{
    const int h = getHalfSize();
    const int s1 = v.getSize1(), s2 = v.getSize2(), s3 = v.getSize3();
    if (h < 1 || v.isEmpty())
        return;
    ProgressSteps progress(*this, s3, "Isotropy filter");
    const double threshold = massThreshold(v, h);
    const VoxelMatrix<T> in(v);
    for (int k = 0; k < s3; ++k) {
        for (int i = 0; i < s1; ++i)
            for (int j = 0; j < s2; ++j) {
                double m[MOMENTS] = {};
                for (int c = std::max(0, k - h); c <= std::min(s3 - 1, k + h); ++c)
                    for (int a = std::max(0, i - h); a <= std::min(s1 - 1, i + h); ++a)
                        for (int b = std::max(0, j - h); b <= std::min(s2 - 1, j + h); ++b) {
                            const double w = static_cast<double>(in(a, b, c));
                            const double x = b - j, y = a - i, z = c - k;
                            m[S] += w;
                            m[SX] += w * x;
                            m[SY] += w * y;
                            m[SZ] += w * z;
                            m[SXX] += w * x * x;
                            m[SYY] += w * y * y;
                            m[SZZ] += w * z * z;
                            m[SXY] += w * x * y;
                            m[SXZ] += w * x * z;
                            m[SYZ] += w * y * z;
                        }
                if (!(m[S] > threshold)) {
                    v(i, j, k) = T(0);
                    continue;
                }
                const double mx = m[SX] / m[S], my = m[SY] / m[S], mz = m[SZ] / m[S];
                v(i, j, k) = static_cast<T>(index(m[SXX] / m[S] - mx * mx, m[SYY] / m[S] - my * my,
                                                  m[SZZ] / m[S] - mz * mz, m[SXY] / m[S] - mx * my,
                                                  m[SXZ] / m[S] - mx * mz, m[SYZ] / m[S] - my * mz));
            }
        progress.advance();
    }
    progress.finish();
}

template class IsotropyFilter<float>;
template class IsotropyFilter<double>;
template class IsotropyFilter<long double>;
