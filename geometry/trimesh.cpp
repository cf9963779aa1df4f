#include "geometry/trimesh.h"

#include "geometry/triangle.h"
#include "numerics/hugepages.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <istream>
#include <numbers>
#include <ostream>
#include <system_error>
#include <unordered_map>

namespace {

using plexan::Accumulator;

template <typename R>
inline void cross(const R* a, const R* b, R* c)
{
    c[0] = a[1] * b[2] - a[2] * b[1];
    c[1] = a[2] * b[0] - a[0] * b[2];
    c[2] = a[0] * b[1] - a[1] * b[0];
}

template <typename R>
inline R dot(const R* a, const R* b)
{
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

// The three coordinates of a pool slot, widened.
template <typename T, typename R = Accumulator<T>>
inline void load(const VertexServer<T>& server, unsigned int i, R* x)
{
    const T* p = server.coordinates(static_cast<int>(i));
    x[0] = static_cast<R>(p[0]);
    x[1] = static_cast<R>(p[1]);
    x[2] = static_cast<R>(p[2]);
}

// How the segment from p to q (direction d = q - p) meets triangle (A, B, C):
// 0 it misses it, 1 it crosses its interior, 2 it touches it in a degenerate
// way (through an edge or a vertex, with q on it, or lying in its plane), 3 it
// starts on it (p lies in the closed triangle, so that every segment from p
// touches it).
//
// The line test takes the signs of d . ((X - p) x (Y - p)) for the edges XY:
// the two triangles on either side of an edge compute that value for the edge
// with the same operands in opposite order, hence exactly opposite signs, so a
// ray through a shared edge is seen crossing exactly one of them or touching
// both, never missing both or crossing both.
template <typename R>
[[gnu::always_inline]] inline int segmentMeetsTriangle(const R* p, const R* q, const R* d, const R* A, const R* B,
                                                      const R* C)
{
    const R a[3] = {A[0] - p[0], A[1] - p[1], A[2] - p[2]};
    const R b[3] = {B[0] - p[0], B[1] - p[1], B[2] - p[2]};
    const R c[3] = {C[0] - p[0], C[1] - p[1], C[2] - p[2]};
    R x[3];
    cross(a, b, x);
    const R wab = dot(d, x);
    cross(b, c, x);
    const R wbc = dot(d, x);
    if ((wab < 0 && wbc > 0) || (wab > 0 && wbc < 0))
        return 0;
    cross(c, a, x);
    const R wca = dot(d, x);
    const bool negative = wab < 0 || wbc < 0 || wca < 0;
    const bool positive = wab > 0 || wbc > 0 || wca > 0;
    if (negative && positive)
        return 0;

    // Where p and q lie with respect to the triangle's plane.
    const R e1[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
    const R e2[3] = {c[0] - a[0], c[1] - a[1], c[2] - a[2]};
    R n[3];
    cross(e1, e2, n);
    const R sp = -dot(n, a);
    const R qa[3] = {q[0] - A[0], q[1] - A[1], q[2] - A[2]};
    const R sq = dot(n, qa);

    if (!negative && !positive) {
        // The line is parallel to the plane (or the triangle is flat): a
        // contact only when it lies in the plane near the triangle.
        if (sp != 0)
            return 0;
        for (int k = 0; k < 3; ++k) {
            const R lo = std::min({A[k], B[k], C[k]});
            const R hi = std::max({A[k], B[k], C[k]});
            if (std::max(p[k], q[k]) < lo || std::min(p[k], q[k]) > hi)
                return 0;
        }
        return 2;
    }
    if ((sp > 0 && sq > 0) || (sp < 0 && sq < 0))
        return 0; // the segment stops short of the plane
    if (sp == 0)
        return 3;
    if (sq == 0 || wab == 0 || wbc == 0 || wca == 0)
        return 2;
    return 1;
}

// The point of triangle (A, B, C) nearest to p, by the Voronoi regions of its
// vertices, edges and face.
template <typename R>
void closestOnTriangle(const R* p, const R* A, const R* B, const R* C, R* out)
{
    const R ab[3] = {B[0] - A[0], B[1] - A[1], B[2] - A[2]};
    const R ac[3] = {C[0] - A[0], C[1] - A[1], C[2] - A[2]};
    const R ap[3] = {p[0] - A[0], p[1] - A[1], p[2] - A[2]};
    auto set = [out](const R* o, const R* u, R s, const R* v, R t) {
        for (int k = 0; k < 3; ++k)
            out[k] = o[k] + s * u[k] + t * v[k];
    };
    const R d1 = dot(ab, ap);
    const R d2 = dot(ac, ap);
    if (d1 <= 0 && d2 <= 0)
        return set(A, ab, 0, ac, 0);
    const R bp[3] = {p[0] - B[0], p[1] - B[1], p[2] - B[2]};
    const R d3 = dot(ab, bp);
    const R d4 = dot(ac, bp);
    if (d3 >= 0 && d4 <= d3)
        return set(A, ab, 1, ac, 0);
    const R vc = d1 * d4 - d3 * d2;
    if (vc <= 0 && d1 >= 0 && d3 <= 0)
        return set(A, ab, d1 / (d1 - d3), ac, 0);
    const R cp[3] = {p[0] - C[0], p[1] - C[1], p[2] - C[2]};
    const R d5 = dot(ab, cp);
    const R d6 = dot(ac, cp);
    if (d6 >= 0 && d5 <= d6)
        return set(A, ab, 0, ac, 1);
    const R vb = d5 * d2 - d1 * d6;
    if (vb <= 0 && d2 >= 0 && d6 <= 0)
        return set(A, ab, 0, ac, d2 / (d2 - d6));
    const R va = d3 * d6 - d5 * d4;
    if (va <= 0 && (d4 - d3) >= 0 && (d5 - d6) >= 0) {
        const R w = (d4 - d3) / ((d4 - d3) + (d5 - d6));
        for (int k = 0; k < 3; ++k)
            out[k] = B[k] + w * (C[k] - B[k]);
        return;
    }
    const R denominator = va + vb + vc;
    if (denominator == 0) // a flat triangle whose regions all failed: take A
        return set(A, ab, 0, ac, 0);
    return set(A, ab, vb / denominator, ac, vc / denominator);
}

// Writes |v| with six significant digits exactly as printf's "%.6g" does (the
// default stream format), for values between 1e-30 and 1e30; returns null,
// writing nothing, for other values and for the rare ones whose seventh digit
// leaves the rounding in doubt, which the caller then hands to the library.
//
// The value is scaled to six digits before the point by one multiplication
// with an exactly stored power of ten (relative error below 2^-51), so the
// rounding is safe whenever the scaled value is not within 1e-6 of a half.
char* formatSixDigits(double v, char* out)
{
    // 1e-40 .. 1e40: every scale the estimate below can ask for.
    static constexpr double powers[] = {
        1e-40, 1e-39, 1e-38, 1e-37, 1e-36, 1e-35, 1e-34, 1e-33, 1e-32, 1e-31, 1e-30, 1e-29, 1e-28,
        1e-27, 1e-26, 1e-25, 1e-24, 1e-23, 1e-22, 1e-21, 1e-20, 1e-19, 1e-18, 1e-17, 1e-16, 1e-15,
        1e-14, 1e-13, 1e-12, 1e-11, 1e-10, 1e-9, 1e-8, 1e-7, 1e-6, 1e-5, 1e-4, 1e-3, 1e-2, 1e-1,
        1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15, 1e16,
        1e17, 1e18, 1e19, 1e20, 1e21, 1e22, 1e23, 1e24, 1e25, 1e26, 1e27, 1e28, 1e29, 1e30, 1e31,
        1e32, 1e33, 1e34, 1e35, 1e36, 1e37, 1e38, 1e39, 1e40};
    constexpr int zero = 40; // powers[zero] = 1
    const double a = std::abs(v);
    if (a == 0) {
        if (std::signbit(v))
            *out++ = '-';
        *out++ = '0';
        return out;
    }
    if (!(a >= 1e-30 && a <= 1e30))
        return nullptr;
    // e estimates floor(log10 a) from the binary exponent b (a in
    // [2^b, 2^(b+1))), floor(b log10 2) by a fixed-point product.
    const int b = static_cast<int>((std::bit_cast<std::uint64_t>(a) >> 52) & 0x7ff) - 1023;
    int e = (b * 78913) >> 18;
    double y = a * powers[zero + 5 - e];
    // e becomes floor(log10 a): y in [1e5, 1e6). Near either end a misjudged
    // exponent still rounds to the same six digits.
    if (y >= 1e6) {
        ++e;
        y = a * powers[zero + 5 - e];
    } else if (y < 1e5) {
        --e;
        y = a * powers[zero + 5 - e];
    }
    const long whole = static_cast<long>(y);
    const double fraction = y - static_cast<double>(whole);
    if (std::abs(fraction - 0.5) < 1e-6)
        return nullptr;
    long m = whole + (fraction > 0.5 ? 1 : 0);
    if (m >= 1000000) { // rounding carried into a seventh digit
        m /= 10;
        ++e;
    }
    if (m < 100000 || m > 999999)
        return nullptr;
    static constexpr char pairs[] = "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
                                    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
                                    "8081828384858687888990919293949596979899";
    char digits[6];
    const long high = m / 10000, middle = (m / 100) % 100, low = m % 100;
    std::memcpy(digits, pairs + 2 * high, 2);
    std::memcpy(digits + 2, pairs + 2 * middle, 2);
    std::memcpy(digits + 4, pairs + 2 * low, 2);
    int used = 6; // significant digits left once trailing zeros go
    while (used > 1 && digits[used - 1] == '0')
        --used;
    if (v < 0)
        *out++ = '-';
    if (e < -4 || e >= 6) {
        *out++ = digits[0];
        if (used > 1) {
            *out++ = '.';
            for (int i = 1; i < used; ++i)
                *out++ = digits[i];
        }
        *out++ = 'e';
        *out++ = e < 0 ? '-' : '+';
        const int x = e < 0 ? -e : e;
        *out++ = static_cast<char>('0' + x / 10);
        *out++ = static_cast<char>('0' + x % 10);
        return out;
    }
    if (e >= 0) {
        for (int i = 0; i <= e; ++i)
            *out++ = digits[i];
        if (used > e + 1) {
            *out++ = '.';
            for (int i = e + 1; i < used; ++i)
                *out++ = digits[i];
        }
        return out;
    }
    *out++ = '0';
    *out++ = '.';
    for (int i = 0; i < -e - 1; ++i)
        *out++ = '0';
    for (int i = 0; i < used; ++i)
        *out++ = digits[i];
    return out;
}

// Text output through a local buffer handed to the stream in large blocks.
// Numbers come out as the stream's own operator<< would write them with its
// precision and float field (general, fixed or scientific).
class TextWriter {
public:
    explicit TextWriter(std::ostream& stream) : m_stream(stream)
    {
        m_precision = static_cast<int>(stream.precision());
        const auto field = stream.flags() & std::ios::floatfield;
        m_format = field == std::ios::fixed        ? std::chars_format::fixed
                   : field == std::ios::scientific ? std::chars_format::scientific
                                                   : std::chars_format::general;
        if (field == (std::ios::fixed | std::ios::scientific))
            m_format = std::chars_format::hex;
        m_sixDigits = m_format == std::chars_format::general && m_precision == 6;
        // Signs, points and capitals on demand are left to the stream.
        m_plain = !(stream.flags() & (std::ios::showpos | std::ios::showpoint | std::ios::uppercase));
        m_buffer.resize(capacity + reserve);
    }
    // Whatever is still buffered must be flushed by the caller: a stream that
    // throws must not do so from a destructor.
    ~TextWriter() = default;

    void text(const char* s, std::size_t n)
    {
        if (n > reserve) {
            flush();
            m_stream.write(s, static_cast<std::streamsize>(n));
            return;
        }
        std::copy(s, s + n, m_buffer.data() + m_used);
        advance(n);
    }
    void text(const std::string& s) { text(s.data(), s.size()); }
    template <std::size_t N>
    void literal(const char (&s)[N])
    {
        text(s, N - 1);
    }
    void put(char c)
    {
        m_buffer[m_used] = c;
        advance(1);
    }
    template <typename V>
    void number(V x)
    {
        char* first = m_buffer.data() + m_used;
        char* last = m_buffer.data() + m_buffer.size();
        std::to_chars_result r;
        if (!m_plain) {
            r = {first, std::errc::not_supported};
        } else if constexpr (std::is_integral_v<V>) {
            r = std::to_chars(first, last, x);
        } else {
            if constexpr (!std::is_same_v<V, long double>) {
                if (m_sixDigits) {
                    if (char* end = formatSixDigits(static_cast<double>(x), first)) {
                        advance(static_cast<std::size_t>(end - first));
                        return;
                    }
                }
            }
            if (m_format == std::chars_format::hex)
                r = {first, std::errc::not_supported}; // the stream's own form, with its prefix
            else
                r = std::to_chars(first, last, x, m_format, m_precision);
        }
        if (r.ec != std::errc()) { // longer than the room kept: let the stream write it
            flush();
            m_stream << x;
            return;
        }
        advance(static_cast<std::size_t>(r.ptr - first));
    }
    void flush()
    {
        if (m_used) {
            m_stream.write(m_buffer.data(), static_cast<std::streamsize>(m_used));
            m_used = 0;
        }
    }

private:
    // Room kept free behind the fill mark for one item: the longest number
    // (a fixed long double may have thousands of digits) or short text.
    static constexpr std::size_t reserve = 5120;
    static constexpr std::size_t capacity = 1 << 16;

    void advance(std::size_t n)
    {
        m_used += n;
        if (m_used >= capacity)
            flush();
    }

    std::ostream& m_stream;
    std::vector<char> m_buffer;
    std::size_t m_used = 0;
    int m_precision = 6;
    std::chars_format m_format = std::chars_format::general;
    bool m_sixDigits = true; // the default format, written by formatSixDigits
    bool m_plain = true;
};

// A number a file says is a count or an index, range-checked.
long long readInteger(std::istream& stream, const char* where, const char* what)
{
    long long x;
    if (!(stream >> x))
        throw FileFormatError(where, what);
    return x;
}

} // namespace

// Construction ----------------------------------------------------------------

template <typename T>
TriMesh<T>::TriMesh(int space, int size, int capacity, int growth) : Vertices<T>(space, size, capacity, growth)
{
}

template <typename T>
TriMesh<T>::TriMesh(const Vertices<T>& vertices) : Vertices<T>(vertices)
{
    this->setName(vertices.getName());
}

template <typename T>
TriMesh<T>::TriMesh(const std::string& fileName)
{
    this->load(fileName);
}

template <typename T>
TriMesh<T>::TriMesh(const TriMesh& other)
    : Vertices<T>(other), m_triangles(other.m_triangles), m_normals(other.m_normals)
{
}

template <typename T>
TriMesh<T>& TriMesh<T>::operator=(const TriMesh& other)
{
    assign(other);
    return *this;
}

template <typename T>
TriMesh<T>::TriMesh(TriMesh&& other) noexcept
    : Vertices<T>(std::move(other)), m_triangles(std::move(other.m_triangles)), m_normals(std::move(other.m_normals))
{
    other.m_triangles.clear();
    other.m_normals = Vertices<T>();
    other.dropStars();
}

template <typename T>
TriMesh<T>& TriMesh<T>::operator=(TriMesh&& other) noexcept
{
    if (this != &other) {
        Vertices<T>::operator=(std::move(other));
        m_triangles = std::move(other.m_triangles);
        other.m_triangles.clear();
        m_normals = std::move(other.m_normals);
        other.m_normals = Vertices<T>();
        dropStars();
        other.dropStars();
    }
    return *this;
}

template <typename T>
void TriMesh<T>::assign(const VertexClient<T>& other)
{
    if (this == &other)
        return;
    Vertices<T>::assign(other);
    if (const auto* mesh = dynamic_cast<const TriMesh*>(&other)) {
        m_triangles = mesh->m_triangles;
        m_normals = mesh->m_normals;
    } else {
        m_triangles.clear();
        m_normals = Vertices<T>();
    }
    dropStars();
}

// Triangles -------------------------------------------------------------------

template <typename T>
void TriMesh<T>::invalidTriangle(const char* where, const char* what)
{
    ValueError e;
    e.setWhere(where);
    e.setWhat(what);
    throw e;
}

template <typename T>
void TriMesh<T>::addTriangle(unsigned int a, unsigned int b, unsigned int c)
{
    m_triangles.push_back({a, b, c});
    dropStars();
}

template <typename T>
void TriMesh<T>::setTriangles(const std::vector<Vector<unsigned int>>& list)
{
    m_triangles.resize(list.size());
    for (std::size_t i = 0; i < list.size(); ++i)
        m_triangles[i] = {list[i][0], list[i][1], list[i][2]};
    dropStars();
}

template <typename T>
void TriMesh<T>::setTriangles(TriangleList&& list)
{
    m_triangles = std::move(list);
    dropStars();
}

template <typename T>
Vector<unsigned int> TriMesh<T>::getTriangleIndexes(unsigned int i) const
{
    const auto& t = m_triangles[i];
    return Vector<unsigned int>{t[0], t[1], t[2]};
}

template <typename T>
Triangle<T> TriMesh<T>::triangle(const unsigned int i) const
{
    if (i >= m_triangles.size())
        invalidTriangle("Vector< unsigned int > TriMesh<T>::triangle(const unsigned int i)",
                        "Wrong value for searching a Triangle");
    const auto& t = m_triangles[i];
    Triangle<T> view(*this, 0, 0, 0);
    view.setIndex(0, static_cast<int>(t[0]));
    view.setIndex(1, static_cast<int>(t[1]));
    view.setIndex(2, static_cast<int>(t[2]));
    return view;
}

template <typename T>
void TriMesh<T>::removeTriangle(unsigned int i)
{
    if (i >= m_triangles.size())
        invalidTriangle("Vector< unsigned int > TriMesh<T>::removeTriangle(unsigned int i)",
                        "Wrong value for removing a Triangle");
    m_triangles.erase(m_triangles.begin() + i);
    dropStars();
}

// Stars -----------------------------------------------------------------------

template <typename T>
int TriMesh<T>::vertexCount() const
{
    unsigned int n = static_cast<unsigned int>(this->getNumVertices());
    for (const auto& t : m_triangles)
        n = std::max({n, t[0] + 1, t[1] + 1, t[2] + 1});
    return static_cast<int>(n);
}

template <typename T>
void TriMesh<T>::buildStars() const
{
    if (m_starsValid)
        return;
    // Counting sort of the triangle corners by vertex: every star lists its
    // triangles in ascending order.
    const std::size_t n = static_cast<std::size_t>(vertexCount());
    m_starOffsets.assign(n + 1, 0);
    for (const auto& t : m_triangles)
        for (unsigned int v : t)
            ++m_starOffsets[v + 1];
    for (std::size_t v = 0; v < n; ++v)
        m_starOffsets[v + 1] += m_starOffsets[v];
    m_starTriangles.resize(m_starOffsets[n]);
    std::vector<unsigned int> fill(m_starOffsets.begin(), m_starOffsets.end() - 1);
    for (std::size_t i = 0; i < m_triangles.size(); ++i) {
        const auto& t = m_triangles[i];
        // A triangle naming a vertex twice is listed once in its star.
        m_starTriangles[fill[t[0]]++] = static_cast<unsigned int>(i);
        if (t[1] != t[0])
            m_starTriangles[fill[t[1]]++] = static_cast<unsigned int>(i);
        if (t[2] != t[0] && t[2] != t[1])
            m_starTriangles[fill[t[2]]++] = static_cast<unsigned int>(i);
    }
    // Close the gaps that repeated corners left.
    std::size_t out = 0;
    for (std::size_t v = 0; v < n; ++v) {
        const std::size_t begin = m_starOffsets[v];
        const std::size_t end = fill[v];
        m_starOffsets[v] = static_cast<unsigned int>(out);
        for (std::size_t k = begin; k < end; ++k)
            m_starTriangles[out++] = m_starTriangles[k];
    }
    m_starOffsets[n] = static_cast<unsigned int>(out);
    m_starTriangles.resize(out);
    m_starsValid = true;
}

template <typename T>
std::vector<unsigned int> TriMesh<T>::star(int v) const
{
    buildStars();
    if (v < 0 || static_cast<std::size_t>(v) + 1 >= m_starOffsets.size())
        return {};
    return std::vector<unsigned int>(m_starTriangles.begin() + m_starOffsets[v],
                                     m_starTriangles.begin() + m_starOffsets[v + 1]);
}

template <typename T>
std::vector<unsigned int> TriMesh<T>::neighbours(int v) const
{
    std::vector<unsigned int> out;
    for (unsigned int i : star(v))
        for (unsigned int u : m_triangles[i])
            if (u != static_cast<unsigned int>(v))
                out.push_back(u);
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
    return out;
}

template <typename T>
void TriMesh<T>::remove(int v)
{
    const std::vector<unsigned int> gone = star(v);
    if (!gone.empty()) {
        // One compaction does what removing the star's triangles one by one
        // does: the others keep their order and close ranks.
        std::size_t out = 0;
        std::size_t next = 0;
        for (std::size_t i = 0; i < m_triangles.size(); ++i) {
            if (next < gone.size() && gone[next] == i) {
                ++next;
                continue;
            }
            m_triangles[out++] = m_triangles[i];
        }
        m_triangles.resize(out);
        dropStars();
    }
    Vertices<T>::remove(v);
    if (v < m_normals.getNumVertices())
        m_normals.remove(v);
    dropStars();
}

template <typename T>
void TriMesh<T>::setSize(int n)
{
    Vertices<T>::setSize(n, true);
    dropStars();
}

template <typename T>
void TriMesh<T>::append(const Vertices<T>& other)
{
    Vertices<T>::append(other);
    dropStars();
}

// Normals ---------------------------------------------------------------------

template <typename T>
void TriMesh<T>::computeNormals()
{
    using R = Accumulator<T>;
    const int n = this->getNumVertices();
    if (this->getSpace() != 3 || !this->hasServer()) {
        m_normals = Vertices<T>();
        return;
    }
    const VertexServer<T>& server = *this->getServer();
    std::vector<R> sum;
    plexan::reserveLarge(sum, static_cast<std::size_t>(vertexCount()) * 3);
    sum.resize(static_cast<std::size_t>(vertexCount()) * 3, R(0));
    for (const auto& t : m_triangles) {
        R a[3], b[3], c[3], u[3], v[3], w[3];
        load(server, t[0], a);
        load(server, t[1], b);
        load(server, t[2], c);
        for (int k = 0; k < 3; ++k) {
            u[k] = b[k] - a[k];
            v[k] = c[k] - a[k];
        }
        cross(u, v, w);
        const R length = std::sqrt(dot(w, w));
        if (!(length > 0))
            continue;
        for (unsigned int corner : t)
            for (int k = 0; k < 3; ++k)
                sum[corner * 3 + k] += w[k] / length;
    }
    Vertices<T> normals(3, n);
    for (int i = 0; i < n; ++i) {
        const R* s = sum.data() + static_cast<std::size_t>(this->getIndex(i)) * 3;
        const R length = std::sqrt(dot(s, s));
        T* out = normals.coordinates(i);
        for (int k = 0; k < 3; ++k)
            out[k] = length > 0 ? static_cast<T>(s[k] / length) : T(0);
    }
    m_normals = std::move(normals);
}

template <typename T>
void TriMesh<T>::smoothNormals(int iterations)
{
    using R = Accumulator<T>;
    computeNormals();
    const int n = m_normals.getNumVertices();
    if (n == 0 || iterations <= 0)
        return;
    // The neighbourhoods, once, as one table.
    std::vector<unsigned int> offsets(static_cast<std::size_t>(n) + 1, 0);
    std::vector<unsigned int> adjacent;
    for (int v = 0; v < n; ++v) {
        for (unsigned int u : neighbours(v))
            if (u < static_cast<unsigned int>(n))
                adjacent.push_back(u);
        offsets[v + 1] = static_cast<unsigned int>(adjacent.size());
    }
    std::vector<R> previous(static_cast<std::size_t>(n) * 3);
    std::vector<R> current(previous.size());
    for (int v = 0; v < n; ++v)
        for (int k = 0; k < 3; ++k)
            current[v * 3 + k] = static_cast<R>(m_normals.coordinates(v)[k]);
    for (int iteration = 0; iteration < iterations; ++iteration) {
        previous.swap(current);
        for (int v = 0; v < n; ++v) {
            R s[3] = {previous[v * 3], previous[v * 3 + 1], previous[v * 3 + 2]};
            for (unsigned int k = offsets[v]; k < offsets[v + 1]; ++k)
                for (int d = 0; d < 3; ++d)
                    s[d] += previous[adjacent[k] * 3 + d];
            const R length = std::sqrt(dot(s, s));
            for (int d = 0; d < 3; ++d)
                current[v * 3 + d] = length > 0 ? s[d] / length : R(0);
        }
    }
    Vertices<T> normals(3, n);
    for (int v = 0; v < n; ++v)
        for (int k = 0; k < 3; ++k)
            normals.coordinates(v)[k] = static_cast<T>(current[v * 3 + k]);
    m_normals = std::move(normals);
}

template <typename T>
void TriMesh<T>::setNormal(int v, const Vector<T>& n)
{
    m_normals.detach();
    m_normals.vertex(v) = n;
}

// Measures --------------------------------------------------------------------

template <typename T>
T TriMesh<T>::area() const
{
    using R = Accumulator<T>;
    if (!this->hasServer() || m_triangles.empty())
        return T(0);
    const VertexServer<T>& server = *this->getServer();
    const int space = this->getSpace();
    R total = 0;
    if (space == 3) {
        for (const auto& t : m_triangles) {
            R a[3], b[3], c[3], u[3], v[3], w[3];
            load(server, t[0], a);
            load(server, t[1], b);
            load(server, t[2], c);
            for (int k = 0; k < 3; ++k) {
                u[k] = b[k] - a[k];
                v[k] = c[k] - a[k];
            }
            cross(u, v, w);
            total += std::sqrt(dot(w, w));
        }
    } else if (space == 2) {
        for (const auto& t : m_triangles) {
            const T* a = server.coordinates(static_cast<int>(t[0]));
            const T* b = server.coordinates(static_cast<int>(t[1]));
            const T* c = server.coordinates(static_cast<int>(t[2]));
            total += std::abs((R(b[0]) - a[0]) * (R(c[1]) - a[1]) - (R(b[1]) - a[1]) * (R(c[0]) - a[0]));
        }
    }
    return plexan::toCoordinate<T>(total / 2);
}

template <typename T>
T TriMesh<T>::volume() const
{
    using R = Accumulator<T>;
    if (!this->hasServer() || this->getSpace() != 3)
        return T(0);
    const VertexServer<T>& server = *this->getServer();
    R total = 0;
    for (const auto& t : m_triangles) {
        R a[3], b[3], c[3], w[3];
        load(server, t[0], a);
        load(server, t[1], b);
        load(server, t[2], c);
        cross(b, c, w);
        total += dot(a, w);
    }
    return plexan::toCoordinate<T>(total / 6);
}

template <typename T>
T TriMesh<T>::equivalentRadius() const
{
    using R = Accumulator<T>;
    const R v = std::abs(static_cast<R>(volume()));
    return plexan::toCoordinate<T>(std::cbrt(3 * v / (4 * std::numbers::pi_v<R>)));
}

template <typename T>
bool TriMesh<T>::contains(const Vector<T>& p) const
{
    using R = Accumulator<T>;
    const int n = this->getNumVertices();
    if (!this->hasServer() || this->getSpace() != 3 || n == 0 || p.getSize() < 3)
        return false;

    // The bounding box of the listed vertices.
    R lower[3], upper[3];
    for (int k = 0; k < 3; ++k)
        lower[k] = upper[k] = static_cast<R>(this->coordinates(0)[k]);
    for (int i = 1; i < n; ++i) {
        const T* x = this->coordinates(i);
        for (int k = 0; k < 3; ++k) {
            lower[k] = std::min(lower[k], static_cast<R>(x[k]));
            upper[k] = std::max(upper[k], static_cast<R>(x[k]));
        }
    }
    const R origin[3] = {static_cast<R>(p[0]), static_cast<R>(p[1]), static_cast<R>(p[2])};
    for (int k = 0; k < 3; ++k)
        if (origin[k] < lower[k] || origin[k] > upper[k])
            return false;

    const VertexServer<T>& server = *this->getServer();
    constexpr int attempts = 10000;
    // Counts the crossings of the ray of attempt k, or -1 at the first
    // degenerate contact (unless every contact is to be ignored); sets
    // atOrigin when that contact is the ray's own start.
    auto cast = [&](int k, bool lenient, bool& atOrigin) -> int {
        const R end[3] = {lower[0] - R(k), lower[1] - R(2 * k - 1), lower[2] - R(3 * k - 2)};
        const R d[3] = {end[0] - origin[0], end[1] - origin[1], end[2] - origin[2]};
        int count = 0;
        for (const auto& t : m_triangles) {
            R a[3], b[3], c[3];
            load(server, t[0], a);
            load(server, t[1], b);
            load(server, t[2], c);
            const int meet = segmentMeetsTriangle(origin, end, d, a, b, c);
            if (meet == 1) {
                ++count;
            } else if (meet >= 2 && !lenient) {
                // A start on the surface touches every ray: say so, so that
                // the other directions need not be tried one by one.
                atOrigin = meet == 3;
                return -1;
            }
        }
        return count;
    };
    for (int k = 1; k < attempts; ++k) {
        bool atOrigin = false;
        const int count = cast(k, false, atOrigin);
        if (count >= 0)
            return count % 2 == 1;
        if (atOrigin)
            break;
    }
    bool unused = false;
    return cast(attempts, true, unused) % 2 == 1;
}

template <typename T>
void TriMesh<T>::closestPoint(const Vector<T>& p, Vector<T>& result) const
{
    using R = Accumulator<T>;
    result = p;
    if (!this->hasServer() || this->getSpace() != 3 || p.getSize() < 3 || m_triangles.empty())
        return;
    const VertexServer<T>& server = *this->getServer();
    const R q[3] = {static_cast<R>(p[0]), static_cast<R>(p[1]), static_cast<R>(p[2])};
    R best[3] = {q[0], q[1], q[2]};
    R bestDistance = -1;
    for (const auto& t : m_triangles) {
        R a[3], b[3], c[3], x[3];
        load(server, t[0], a);
        load(server, t[1], b);
        load(server, t[2], c);
        closestOnTriangle(q, a, b, c, x);
        const R e[3] = {x[0] - q[0], x[1] - q[1], x[2] - q[2]};
        const R distance = dot(e, e);
        if (bestDistance < 0 || distance < bestDistance) {
            bestDistance = distance;
            std::copy(x, x + 3, best);
        }
    }
    result.setSize(3);
    for (int k = 0; k < 3; ++k)
        result[k] = plexan::toCoordinate<T>(best[k]);
}

// Files -----------------------------------------------------------------------

template <typename T>
void TriMesh<T>::export2AsciiSTL(std::ostream& stream) const
{
    using R = Accumulator<T>;
    // Integer meshes have real normals; real meshes write theirs in their
    // own precision.
    using N = std::conditional_t<std::is_integral_v<T>, double, T>;
    const char* where = "void TriMesh<T>::export2AsciiSTL(ostream&) const";
    const std::string& name = this->getName();
    try {
        TextWriter out(stream);
        out.literal("solid ");
        out.text(name);
        out.put('\n');
        if (this->hasServer() && this->getSpace() == 3) {
            const VertexServer<T>& server = *this->getServer();
            for (const auto& t : m_triangles) {
                R a[3], b[3], c[3], u[3], v[3], w[3];
                load(server, t[0], a);
                load(server, t[1], b);
                load(server, t[2], c);
                for (int k = 0; k < 3; ++k) {
                    u[k] = b[k] - a[k];
                    v[k] = c[k] - a[k];
                }
                cross(u, v, w);
                const R length = std::sqrt(dot(w, w));
                out.literal("  facet normal");
                for (int k = 0; k < 3; ++k) {
                    out.put(' ');
                    out.number(static_cast<N>(length > 0 ? w[k] / length : R(0)));
                }
                out.literal("\n    outer loop\n");
                for (unsigned int corner : t) {
                    const T* x = server.coordinates(static_cast<int>(corner));
                    out.literal("      vertex");
                    for (int k = 0; k < 3; ++k) {
                        out.put(' ');
                        out.number(x[k]);
                    }
                    out.put('\n');
                }
                out.literal("    endloop\n  endfacet\n");
            }
        }
        out.literal("endsolid ");
        out.text(name);
        out.put('\n');
        out.flush();
    } catch (const std::ios::failure&) {
        this->failWrite(where);
    }
    if (!stream)
        this->failWrite(where);
}

template <typename T>
void TriMesh<T>::write(std::ostream& stream) const
{
    const char* where = "void TriMesh<T>::write(ostream&) const";
    const int n = this->getNumVertices();
    const int space = this->getSpace();

    // Triangles name pool slots; the file numbers vertices by list position.
    const std::vector<int>& indexes = this->getIndexes();
    bool identity = true;
    for (int i = 0; i < n && identity; ++i)
        identity = indexes[i] == i;
    std::unordered_map<unsigned int, unsigned int> position;
    if (!identity)
        for (int i = n - 1; i >= 0; --i)
            position[static_cast<unsigned int>(indexes[i])] = static_cast<unsigned int>(i);
    auto number = [&](unsigned int v) {
        if (identity)
            return v;
        const auto found = position.find(v);
        if (found == position.end()) {
            FileWriteError e;
            e.setWhere(where);
            e.setWhat("Triangle vertex missing from the vertex list");
            throw e;
        }
        return found->second;
    };

    try {
        TextWriter out(stream);
        out.literal("# ");
        out.number(static_cast<int>(TriMeshShape));
        out.literal("\n# ");
        out.number(space);
        out.literal("\n# ");
        out.number(n);
        out.put('\n');
        for (int i = 0; i < n; ++i) {
            const T* x = this->coordinates(i);
            for (int k = 0; k < space; ++k) {
                out.number(x[k]);
                out.put(' ');
            }
            out.put('\n');
        }
        out.literal("# ");
        out.number(getNumTriangles());
        out.put('\n');
        for (const auto& t : m_triangles) {
            out.number(number(t[0]));
            out.put(' ');
            out.number(number(t[1]));
            out.put(' ');
            out.number(number(t[2]));
            out.put('\n');
        }
        if (!hasNormals()) {
            out.literal("# 0\n");
        } else {
            out.literal("# 1\n");
            const int normalSpace = m_normals.getSpace();
            for (int i = 0; i < m_normals.getNumVertices(); ++i) {
                const T* v = m_normals.coordinates(i);
                for (int k = 0; k < normalSpace; ++k) {
                    out.number(v[k]);
                    out.put(' ');
                }
                out.put('\n');
            }
        }
        out.flush();
    } catch (const std::ios::failure&) {
        this->failWrite(where);
    }
    if (!stream)
        this->failWrite(where);
}

template <typename T>
void TriMesh<T>::read(std::istream& stream)
{
    const char* where = "void TriMesh<T>::read(istream&)";
    TriMesh<T> mesh;
    if (mesh.readVertexList(stream, where) != TriMeshShape)
        throw FileFormatError(where, "Shape type mismatch");
    const int n = mesh.getNumVertices();
    const int space = mesh.getSpace();

    const int count = this->readHeaderValue(stream, where);
    this->checkCount(count, where, "Invalid number of triangles");
    // Grown as triangles arrive: a count the data does not back allocates
    // nothing.
    mesh.m_triangles.reserve(static_cast<std::size_t>(std::min(count, 1 << 16)));
    for (int i = 0; i < count; ++i) {
        std::array<unsigned int, 3> t;
        for (unsigned int& v : t) {
            const long long x = readInteger(stream, where, "Truncated or malformed triangle data");
            if (x < 0 || x >= n)
                throw FileFormatError(where, "Triangle vertex out of range");
            v = static_cast<unsigned int>(x);
        }
        mesh.m_triangles.push_back(t);
    }

    // The normals part may be missing from hand-made files.
    stream >> std::ws;
    if (!stream.eof()) {
        const int flag = this->readHeaderValue(stream, where);
        if (flag != 0 && flag != 1)
            throw FileFormatError(where, "Invalid normals flag");
        if (flag == 1) {
            Vertices<T> normals(space, n);
            for (int i = 0; i < n; ++i) {
                T* x = normals.coordinates(i);
                for (int k = 0; k < space; ++k)
                    if (!(stream >> x[k]))
                        throw FileFormatError(where, "Truncated or malformed normal data");
            }
            mesh.m_normals = normals;
        }
    }
    mesh.setName(this->getName());
    assign(mesh);
}

template <typename T>
void TriMesh<T>::print(const std::string& prefix, std::ostream& stream) const
{
    Vertices<T>::print(prefix, stream);
    stream << prefix << " Triangles = " << getNumTriangles() << '\n';
    for (const auto& t : m_triangles)
        stream << prefix << "  " << t[0] << ' ' << t[1] << ' ' << t[2] << '\n';
    stream << prefix << " Normals = " << m_normals.getNumVertices() << '\n';
}

#define PLEXAN_INSTANTIATE(T) template class TriMesh<T>;
PLEXAN_FOR_EACH_COORDINATE_TYPE(PLEXAN_INSTANTIATE)
#undef PLEXAN_INSTANTIATE
