#include "geometry/curvestacktriangulation.h"

#include "numerics/exception.h"

#include <algorithm>
#include <cmath>
#include <iostream>
#include <utility>

namespace {

using plexan::Accumulator;

// Four times the area of a triangle with squared sides p and q (the two
// edges between the contours) and r (the edge on a contour): Heron's formula
// in squared lengths. Rounding can make a flat triangle slightly negative.
template <typename R>
inline R fourTimesArea(R p, R q, R r)
{
    const R s = (R(2) * (p + q) - r) * r - (p - q) * (p - q);
    return std::sqrt(s > R(0) ? s : R(0));
}

inline bool isAcute(auto p, auto q, auto r)
{
    return p + q > r && p + r > q && q + r > p;
}

} // namespace

template <typename T>
CurveStackTriangulation<T>::CurveStackTriangulation(int method) : m_method(method)
{
}

template <typename T>
CurveStackTriangulation<T>::CurveStackTriangulation(const CurveStack<T>& stack, int method)
    : m_method(method)
{
    apply(stack);
}

template <typename T>
bool CurveStackTriangulation<T>::check(const CurveStack<T>& stack)
{
    return stack.getHeight() > 1;
}

template <typename T>
void CurveStackTriangulation<T>::apply(const CurveStack<T>& stack)
{
    m_mesh = TriMesh<T>();
    if (!check(stack))
        return;
    initArrays(stack);
    if (stack.isOpen())
        triangulateOpenCurveStack();
    else
        triangulateClosedCurveStack();
    m_mesh.computeNormals();

    // The working copies are only needed while triangulating.
    m_coordinates = std::vector<T>();
    m_distances = std::vector<T>();
    m_lower = Contour();
    m_upper = Contour();
}

template <typename T>
void CurveStackTriangulation<T>::initArrays(const CurveStack<T>& stack)
{
    const int height = stack.getHeight();
    m_space = stack.getSpace();
    m_offsets.assign(static_cast<std::size_t>(height) + 1, 0u);
    for (int k = 0; k < height; ++k)
        m_offsets[k + 1] = m_offsets[k] + static_cast<unsigned int>(stack[k].getNumVertices());
    const int total = static_cast<int>(m_offsets[height]);

    const std::size_t space = static_cast<std::size_t>(m_space);
    m_coordinates.assign(static_cast<std::size_t>(total) * space, T(0));
    for (int k = 0; k < height; ++k) {
        const Curve<T>& level = stack[k];
        const int used = std::min(m_space, level.getSpace());
        T* out = m_coordinates.data() + m_offsets[k] * space;
        for (int p = 0; p < level.getNumVertices(); ++p, out += space)
            std::copy_n(level.vertex(p).data(), used, out);
    }

    m_mesh = TriMesh<T>(m_space, total);
    if (total > 0) {
        VertexServer<T>& server = *m_mesh.getServer();
        for (int v = 0; v < total; ++v)
            std::copy_n(m_coordinates.data() + static_cast<std::size_t>(v) * space, space, server[v].data());
    }
}

// Contours -----------------------------------------------------------------------

template <typename T>
void CurveStackTriangulation<T>::loadContour(int k, int origin, Contour& contour) const
{
    const int n = static_cast<int>(m_offsets[k + 1] - m_offsets[k]);
    const std::size_t space = static_cast<std::size_t>(m_space);
    contour.size = n;
    contour.stride = n + 1;
    contour.x.resize(space * static_cast<std::size_t>(n + 1));
    contour.g.resize(static_cast<std::size_t>(n + 1));
    if (n == 0)
        return;
    const T* level = m_coordinates.data() + m_offsets[k] * space;
    for (int t = 0; t <= n; ++t) {
        int p = t + origin;
        p -= p >= n ? n : 0;
        contour.g[static_cast<std::size_t>(t)] = m_offsets[k] + static_cast<unsigned int>(p);
        const T* v = level + static_cast<std::size_t>(p) * space;
        for (std::size_t c = 0; c < space; ++c)
            contour.x[c * static_cast<std::size_t>(contour.stride) + static_cast<std::size_t>(t)] = v[c];
    }
}

template <typename T>
T CurveStackTriangulation<T>::squaredDistance(const Contour& p, int s, const Contour& q, int t) const
{
    T sum = T(0);
    for (int c = 0; c < m_space; ++c) {
        const T d = p.coordinate(c)[s] - q.coordinate(c)[t];
        sum += d * d;
    }
    return sum;
}

template <typename T>
bool CurveStackTriangulation<T>::prepareClosedBand(int k)
{
    loadContour(k - 1, 0, m_lower);
    loadContour(k, 0, m_upper);
    const int m = m_lower.size;
    const int n = m_upper.size;
    if (m == 0 || n == 0)
        return false;
    if (m_fromStarts)
        return true;

    // The closest pair, the first met (lower contour outside, upper inside)
    // winning a tie. For each lower vertex, the least distance to the upper
    // contour below the best so far is found first (in independent lanes
    // that vectorise); only a row that improves is scanned again for the
    // first place of its least distance, which is what a scan keeping
    // strictly smaller values finds. Squared distances add the coordinates
    // in order, as a pointwise sum does.
    std::vector<T>& distances = m_distances;
    distances.resize(static_cast<std::size_t>(n));
    T best = squaredDistance(m_lower, 0, m_upper, 0);
    int a0 = 0;
    int b0 = 0;
    for (int p = 0; p < m; ++p) {
        if (m_space == 3) {
            const T ax = m_lower.coordinate(0)[p], ay = m_lower.coordinate(1)[p], az = m_lower.coordinate(2)[p];
            const T* bx = m_upper.coordinate(0);
            const T* by = m_upper.coordinate(1);
            const T* bz = m_upper.coordinate(2);
            T* d = distances.data();
            for (int q = 0; q < n; ++q) {
                const T dx = ax - bx[q];
                const T dy = ay - by[q];
                const T dz = az - bz[q];
                d[q] = dx * dx + dy * dy + dz * dz;
            }
        } else {
            std::fill(distances.begin(), distances.end(), T(0));
            for (int c = 0; c < m_space; ++c) {
                const T a = m_lower.coordinate(c)[p];
                const T* b = m_upper.coordinate(c);
                T* d = distances.data();
                for (int q = 0; q < n; ++q) {
                    const T delta = a - b[q];
                    d[q] += delta * delta;
                }
            }
        }
        constexpr int lanes = 8;
        T least[lanes];
        std::fill_n(least, lanes, best);
        const T* d = distances.data();
        int q = 0;
        for (; q + lanes <= n; q += lanes)
            for (int l = 0; l < lanes; ++l)
                least[l] = d[q + l] < least[l] ? d[q + l] : least[l];
        T rowBest = best;
        for (int l = 0; l < lanes; ++l)
            rowBest = least[l] < rowBest ? least[l] : rowBest;
        for (; q < n; ++q)
            rowBest = d[q] < rowBest ? d[q] : rowBest;
        if (!(rowBest < best))
            continue;
        best = rowBest;
        a0 = p;
        b0 = static_cast<int>(std::find(distances.begin(), distances.end(), rowBest) - distances.begin());
    }
    if (a0 != 0)
        loadContour(k - 1, a0, m_lower);
    if (b0 != 0)
        loadContour(k, b0, m_upper);
    return true;
}

// Closed stacks --------------------------------------------------------------------

template <typename T>
void CurveStackTriangulation<T>::triangulateClosedCurveStack()
{
    switch (m_method) {
    case 1:
        triangulateClosedCurveStackMethod1();
        break;
    case 2:
        closedCaseGanapathy();
        break;
    case 3:
        triangulateClosedCurveStackMethod3();
        break;
    case 4:
        optimal();
        break;
    default:
        std::cerr << "no such method" << std::endl;
        break;
    }
}

// From (0, 0) to (m - 1, n - 1), one triangle per step; advanceB(i, j) decides
// while both contours have vertices left.
template <typename T>
template <typename Decide>
void CurveStackTriangulation<T>::marchClosedBand(Decide&& advanceB)
{
    const int m = m_lower.size;
    const int n = m_upper.size;
    const unsigned int* gA = m_lower.g.data();
    const unsigned int* gB = m_upper.g.data();
    int i = 0;
    int j = 0;
    while (i < m - 1 || j < n - 1) {
        const bool b = i == m - 1 ? true : j == n - 1 ? false : advanceB(i, j);
        if (b) {
            m_mesh.addTriangle(gB[j], gA[i], gB[j + 1]);
            ++j;
        } else {
            m_mesh.addTriangle(gB[j], gA[i], gA[i + 1]);
            ++i;
        }
    }
    closeBand();
}

// The quadrilateral A(m-1), A(0), B(0), B(n-1), split along its shorter
// diagonal (A(m-1)-B(0) on a tie).
template <typename T>
void CurveStackTriangulation<T>::closeBand()
{
    const int m = m_lower.size;
    const int n = m_upper.size;
    const unsigned int* gA = m_lower.g.data();
    const unsigned int* gB = m_upper.g.data();
    const T d1 = squaredDistance(m_upper, n - 1, m_lower, 0);
    const T d2 = squaredDistance(m_lower, m - 1, m_upper, 0);
    if (d2 > d1) {
        m_mesh.addTriangle(gA[m - 1], gA[0], gB[n - 1]);
        m_mesh.addTriangle(gA[0], gB[0], gB[n - 1]);
    } else {
        m_mesh.addTriangle(gA[m - 1], gB[0], gB[n - 1]);
        m_mesh.addTriangle(gA[m - 1], gA[0], gB[0]);
    }
}

template <typename T>
void CurveStackTriangulation<T>::triangulateClosedCurveStackMethod1()
{
    for (int k = 1; k < static_cast<int>(m_offsets.size()) - 1; ++k) {
        if (!prepareClosedBand(k))
            continue;
        // The shorter new edge: B(j)-A(i+1) by advancing A, A(i)-B(j+1) by
        // advancing B; B on a tie.
        marchClosedBand([this](int i, int j) {
            const T e1 = squaredDistance(m_upper, j, m_lower, i + 1);
            const T e2 = squaredDistance(m_lower, i, m_upper, j + 1);
            return !(e2 > e1);
        });
    }
}

template <typename T>
void CurveStackTriangulation<T>::closedCaseGanapathy()
{
    using R = Accumulator<T>;
    const auto edge = [this](const Contour& c, int t) {
        R s = R(0);
        for (int d = 0; d < m_space; ++d) {
            const R delta = static_cast<R>(c.coordinate(d)[t + 1]) - static_cast<R>(c.coordinate(d)[t]);
            s += delta * delta;
        }
        return std::sqrt(s);
    };
    // The full length, closing edge included, summed from position 0 of the
    // level as stored, whatever the band's starting pair.
    const auto length = [this](int k) {
        const std::size_t space = static_cast<std::size_t>(m_space);
        const int n = static_cast<int>(m_offsets[k + 1] - m_offsets[k]);
        const T* level = m_coordinates.data() + m_offsets[k] * space;
        R total = R(0);
        for (int t = 0; n > 1 && t < n; ++t) {
            const T* a = level + static_cast<std::size_t>(t) * space;
            const T* b = level + static_cast<std::size_t>(t + 1 == n ? 0 : t + 1) * space;
            R s = R(0);
            for (std::size_t d = 0; d < space; ++d) {
                const R delta = static_cast<R>(b[d]) - static_cast<R>(a[d]);
                s += delta * delta;
            }
            total += std::sqrt(s);
        }
        return total;
    };

    for (int k = 1; k < static_cast<int>(m_offsets.size()) - 1; ++k) {
        if (!prepareClosedBand(k))
            continue;
        const R lengthA = length(k - 1);
        const R lengthB = length(k);
        R walkedA = R(0), walkedB = R(0); // arc length walked on A and B
        R reachedA = R(0), reachedB = R(0); // normalised positions reached
        // Keeps the normalised positions of the two contours as close as
        // possible; A on a tie.
        marchClosedBand([&](int i, int j) {
            const R dA = edge(m_lower, i);
            const R dB = edge(m_upper, j);
            const R cA = (walkedA + dA) / lengthA;
            const R cB = (walkedB + dB) / lengthB;
            if (std::abs(cA - reachedB) > std::abs(cB - reachedA)) {
                reachedB = cB;
                walkedB += dB;
                return true;
            }
            reachedA = cA;
            walkedA += dA;
            return false;
        });
    }
}

template <typename T>
void CurveStackTriangulation<T>::triangulateClosedCurveStackMethod3()
{
    for (int k = 1; k < static_cast<int>(m_offsets.size()) - 1; ++k) {
        if (!prepareClosedBand(k))
            continue;
        marchClosedBand([this](int i, int j) {
            // TB = (A(i), B(j), B(j+1)) advances B, TA = (A(i), B(j), A(i+1))
            // advances A; each is scored by the sum of its squared sides.
            const T ab = squaredDistance(m_lower, i, m_upper, j);
            const T bb = squaredDistance(m_upper, j, m_upper, j + 1);
            const T ba = squaredDistance(m_upper, j + 1, m_lower, i);
            const T ba1 = squaredDistance(m_upper, j, m_lower, i + 1);
            const T aa = squaredDistance(m_lower, i + 1, m_lower, i);
            const T sumA = ab + ba1 + aa;
            T sumB = ab + bb + ba;
            const bool acuteA = isAcute(ab, ba1, aa);
            const bool acuteB = isAcute(ab, bb, ba);
            if (acuteA && !acuteB)
                sumB = sumA - T(1);
            else if (acuteB && !acuteA)
                sumB = sumA + T(1);
            return sumA > sumB;
        });
    }
}

// Minimal area over the monotone tilings from the closest pair, on a grid of
// rows i = 0 .. n over B and columns j = 0 .. m over A (n and m standing for
// position 0 again, so that the closing quadrilateral is part of the
// problem). C(i, j) is the least area (times four) of a tiling from (0, 0) to
// (i, j); a cell is reached from below by a triangle (B(i-1), B(i), A(j)) or
// from the left by (A(j-1), A(j), B(i)), B on a tie. The costs are kept for
// two rows only; the choices for the whole grid.
template <typename T>
void CurveStackTriangulation<T>::optimal()
{
    using R = Accumulator<T>;
    for (int k = 1; k < static_cast<int>(m_offsets.size()) - 1; ++k) {
        if (!prepareClosedBand(k))
            continue;
        const Contour& A = m_lower;
        const Contour& B = m_upper;
        const int m = A.size;
        const int n = B.size;
        const std::size_t columns = static_cast<std::size_t>(m) + 1;
        // One choice per cell: refuse a table beyond a gigabyte rather than
        // exhaust the memory.
        if (columns * (static_cast<std::size_t>(n) + 1) > (std::size_t(1) << 30))
            throw SizeError("void CurveStackTriangulation<T>::optimal()",
                            "Contours too large for the minimal-area triangulation");

        std::vector<unsigned char> fromB(columns * (static_cast<std::size_t>(n) + 1));
        std::vector<R> previousD(columns), currentD(columns);
        std::vector<R> previousC(columns), currentC(columns);
        std::vector<R> triangleB(columns), triangleA(columns), edgeA(columns);

        // D(i, j) = |B(i) - A(j)|^2 for the whole row i.
        const auto rowDistances = [&](int i, std::vector<R>& out) {
            std::fill(out.begin(), out.end(), R(0));
            R* d = out.data();
            for (int c = 0; c < m_space; ++c) {
                const R b = static_cast<R>(B.coordinate(c)[i]);
                const T* a = A.coordinate(c);
                for (std::size_t j = 0; j < columns; ++j) {
                    const R delta = b - static_cast<R>(a[j]);
                    d[j] += delta * delta;
                }
            }
        };
        const auto contourEdge = [&](const Contour& contour, int t) {
            R s = R(0);
            for (int c = 0; c < m_space; ++c) {
                const R delta = static_cast<R>(contour.coordinate(c)[t + 1]) - static_cast<R>(contour.coordinate(c)[t]);
                s += delta * delta;
            }
            return s;
        };
        for (int j = 0; j < m; ++j)
            edgeA[static_cast<std::size_t>(j) + 1] = contourEdge(A, j);

        // Row 0: along A from (0, 0).
        rowDistances(0, currentD);
        currentC[0] = R(0);
        for (std::size_t j = 1; j < columns; ++j) {
            currentC[j] = currentC[j - 1] + fourTimesArea(currentD[j - 1], currentD[j], edgeA[j]);
            fromB[j] = 0;
        }
        for (int i = 1; i <= n; ++i) {
            std::swap(previousD, currentD);
            std::swap(previousC, currentC);
            rowDistances(i, currentD);
            const R edgeB = contourEdge(B, i - 1);
            const R* pd = previousD.data();
            const R* cd = currentD.data();
            const R* ea = edgeA.data();
            R* tb = triangleB.data();
            R* ta = triangleA.data();
            for (std::size_t j = 0; j < columns; ++j)
                tb[j] = fourTimesArea(pd[j], cd[j], edgeB);
            for (std::size_t j = 1; j < columns; ++j)
                ta[j] = fourTimesArea(cd[j - 1], cd[j], ea[j]);

            unsigned char* choice = fromB.data() + static_cast<std::size_t>(i) * columns;
            const R* pc = previousC.data();
            R* cc = currentC.data();
            cc[0] = pc[0] + tb[0];
            choice[0] = 1;
            for (std::size_t j = 1; j < columns; ++j) {
                const R costB = pc[j] + tb[j];
                const R costA = cc[j - 1] + ta[j];
                const bool b = costA >= costB;
                cc[j] = b ? costB : costA;
                choice[j] = b;
            }
        }

        // Back from (n, m) to (0, 0), both current vertices at position 0.
        const unsigned int* gA = A.g.data();
        const unsigned int* gB = B.g.data();
        unsigned int currentA = gA[m];
        unsigned int currentB = gB[n];
        int i = n;
        int j = m;
        while (i > 0 || j > 0) {
            if (i > 0 && (j == 0 || fromB[static_cast<std::size_t>(i) * columns + static_cast<std::size_t>(j)])) {
                m_mesh.addTriangle(currentB, currentA, gB[i - 1]);
                currentB = gB[--i];
            } else {
                m_mesh.addTriangle(currentB, currentA, gA[j - 1]);
                currentA = gA[--j];
            }
        }
    }
}

// Open stacks ----------------------------------------------------------------------

template <typename T>
void CurveStackTriangulation<T>::triangulateOpenCurveStack()
{
    triangulateOpenCurveStackMethod1();
}

// Each band marched from position 0 of both polylines by the shortest new
// edge (B on a tie), without closing.
template <typename T>
void CurveStackTriangulation<T>::triangulateOpenCurveStackMethod1()
{
    for (int k = 1; k < static_cast<int>(m_offsets.size()) - 1; ++k) {
        loadContour(k - 1, 0, m_lower);
        loadContour(k, 0, m_upper);
        const int m = m_lower.size;
        const int n = m_upper.size;
        if (m == 0 || n == 0)
            continue;
        const unsigned int* gA = m_lower.g.data();
        const unsigned int* gB = m_upper.g.data();
        int i = 0;
        int j = 0;
        while (i < m - 1 || j < n - 1) {
            bool advanceA;
            if (i == m - 1)
                advanceA = false;
            else if (j == n - 1)
                advanceA = true;
            else {
                const T e1 = squaredDistance(m_upper, j, m_lower, i + 1);
                const T e2 = squaredDistance(m_upper, j + 1, m_lower, i);
                advanceA = e2 > e1;
            }
            if (advanceA) {
                m_mesh.addTriangle(gB[j], gA[i], gA[i + 1]);
                ++i;
            } else {
                m_mesh.addTriangle(gB[j], gA[i], gB[j + 1]);
                ++j;
            }
        }
    }
}

#define PLEXAN_INSTANTIATE(T) template class CurveStackTriangulation<T>;
PLEXAN_FOR_EACH_REAL_TYPE(PLEXAN_INSTANTIATE)
#undef PLEXAN_INSTANTIATE
