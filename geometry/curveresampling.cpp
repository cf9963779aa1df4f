#include "geometry/curveresampling.h"

#include "geometry/curve.h"

#include <cmath>
#include <type_traits>
#include <vector>

namespace {

// Real coordinates are resampled in their own precision, integer ones in double.
template <typename T>
using Real = std::conditional_t<std::is_integral_v<T>, double, T>;

// The input's coordinates, vertex after vertex, taken before the output is
// written so that a curve may be resampled onto itself; and the cumulative
// arc lengths L[0] = 0, L[k] = L[k-1] + |v[k] - v[k-1]|, k = 1 .. n-1, plus
// L[n] after the closing edge when closed.
template <typename T>
struct Outline {
    int n = 0;
    int space = 0;
    std::vector<Real<T>> xyz;
    std::vector<Real<T>> length;

    Outline(const Curve<T>& curve, bool closed)
    {
        using R = Real<T>;
        n = curve.getNumVertices();
        space = curve.getSpace();
        xyz.resize(static_cast<std::size_t>(n) * static_cast<std::size_t>(space));
        for (int i = 0; i < n; ++i) {
            const T* p = curve.vertex(i).data();
            for (int d = 0; d < space; ++d)
                xyz[static_cast<std::size_t>(i) * space + d] = static_cast<R>(p[d]);
        }
        const int edges = closed ? n : n - 1;
        length.assign(static_cast<std::size_t>(edges > 0 ? edges + 1 : 1), R(0));
        for (int e = 0; e < edges; ++e) {
            const R* a = at(e);
            const R* b = at(e + 1 == n ? 0 : e + 1);
            R s = 0;
            for (int d = 0; d < space; ++d)
                s += (b[d] - a[d]) * (b[d] - a[d]);
            length[e + 1] = length[e] + std::sqrt(s);
        }
    }

    const Real<T>* at(int i) const { return xyz.data() + static_cast<std::size_t>(i) * space; }

    // Writes a + f (b - a) into out.
    void interpolate(Vector<T>& out, int a, int b, Real<T> f) const
    {
        const Real<T>* p = at(a);
        const Real<T>* q = at(b);
        T* o = out.data();
        for (int d = 0; d < space; ++d)
            o[d] = plexan::toCoordinate<T>(p[d] + f * (q[d] - p[d]));
    }
    void copy(Vector<T>& out, int a) const { interpolate(out, a, a, Real<T>(0)); }
};

// Closed: output vertex 0 is input vertex 0 and output vertex k lies at arc
// length k L[n] / m, on the edge (a, a+1 mod n) with L[a] < s <= L[a+1].
template <typename T>
void resamplePolygonOutline(const Outline<T>& in, Curve<T>& out, int m)
{
    using R = Real<T>;
    const int n = in.n;
    if (m <= 0 || n == 0)
        return;
    in.copy(out.vertex(0), 0);
    const R step = in.length[n] / static_cast<R>(m);
    int a = 0;
    for (int k = 1; k < m; ++k) {
        const R s = static_cast<R>(k) * step;
        while (a < n - 1 && in.length[a + 1] < s)
            ++a;
        const R edge = in.length[a + 1] - in.length[a];
        in.interpolate(out.vertex(k), a, a + 1 == n ? 0 : a + 1,
                       edge > R(0) ? (s - in.length[a]) / edge : R(0));
    }
}

// Open: the end vertices stay, output vertex k lies at arc length
// k L[n-1] / (m-1), on the segment (a, a+1) with L[a] <= s < L[a+1].
template <typename T>
void resamplePolylineOutline(const Outline<T>& in, Curve<T>& out, int m)
{
    using R = Real<T>;
    const int n = in.n;
    if (m <= 0 || n == 0)
        return;
    in.copy(out.vertex(0), 0);
    if (m == 1)
        return;
    in.copy(out.vertex(m - 1), n - 1);
    if (n == 1) {
        for (int k = 1; k < m - 1; ++k)
            in.copy(out.vertex(k), 0);
        return;
    }
    const R step = in.length[n - 1] / static_cast<R>(m - 1);
    int a = 0;
    for (int k = 1; k < m - 1; ++k) {
        const R s = static_cast<R>(k) * step;
        while (a < n - 2 && s >= in.length[a + 1])
            ++a;
        const R edge = in.length[a + 1] - in.length[a];
        in.interpolate(out.vertex(k), a, a + 1, edge > R(0) ? (s - in.length[a]) / edge : R(0));
    }
}

// Gives out count vertices of the input's dimension, on a pool of its own.
template <typename T>
void prepare(const Outline<T>& in, Curve<T>& out, int& count, bool open)
{
    if (count < 0)
        count = 0;
    if (out.getSpace() != in.space || out.getNumVertices() != count)
        out = Curve<T>(in.space, count, 0, 0, open);
    else
        out.detach();
    out.setOpen(open);
}

} // namespace

template <typename T>
void CurveResampling<T>::apply(const Curve<T>& in, Curve<T>& out, int count) const
{
    const bool open = in.isOpen();
    const Outline<T> outline(in, !open);
    prepare(outline, out, count, open);
    if (open)
        resamplePolylineOutline(outline, out, count);
    else
        resamplePolygonOutline(outline, out, count);
}

template <typename T>
void CurveResampling<T>::resamplePolyline(const Curve<T>& in, Curve<T>& out, int count) const
{
    const Outline<T> outline(in, false);
    prepare(outline, out, count, out.isOpen());
    resamplePolylineOutline(outline, out, count);
}

template <typename T>
void CurveResampling<T>::resamplePolygon(const Curve<T>& in, Curve<T>& out, int count) const
{
    const Outline<T> outline(in, true);
    prepare(outline, out, count, out.isOpen());
    resamplePolygonOutline(outline, out, count);
}

template class CurveResampling<int>;
template class CurveResampling<float>;
template class CurveResampling<double>;
template class CurveResampling<long double>;
