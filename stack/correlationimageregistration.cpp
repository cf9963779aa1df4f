#include "stack/correlationimageregistration.h"

#include "geometry/fouriertransform.h"
#include "numerics/exception.h"

#include <fftw3.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <mutex>
#include <utility>

namespace {

constexpr double pi = 3.141592653589793;
const char* const runWhere = "bool CorrelationImageRegistration::run()";
const char* const correlationWhere =
    "double CorrelationImageRegistration::correlation(double, const Vector<double>&) const";

// The smallest image side registered, and the size the pyramid goes down to.
constexpr int smallestSide = 16;
constexpr int coarsestSide = 64;
// Candidates of the angle search refined on the two smallest levels.
constexpr std::size_t searchCandidates = 3;
// The scale fitted alongside stays within these bounds.
constexpr double leastScale = 0.5;
constexpr double largestScale = 2.0;

std::size_t area(int rows, int cols)
{
    return static_cast<std::size_t>(rows) * static_cast<std::size_t>(cols);
}

// A grey-level image in single precision, row after row. Resizing keeps the
// storage, so that planes are reused from one run to the next.
struct Plane {
    int rows = 0;
    int cols = 0;
    std::vector<float> v;

    void resize(int r, int c)
    {
        rows = r;
        cols = c;
        v.resize(area(r, c));
    }
    float* row(int i) { return v.data() + area(i, cols); }
    const float* row(int i) const { return v.data() + area(i, cols); }
};

// Which pixels are compared: one byte per pixel, or empty for all.
using Mask = std::vector<unsigned char>;

void toPlane(const PixelMatrix<double>& m, Plane& p)
{
    p.resize(m.getSize1(), m.getSize2());
    for (int i = 0; i < p.rows; ++i) {
        const double* in = m[i].data();
        float* out = p.row(i);
        for (int j = 0; j < p.cols; ++j)
            out[j] = static_cast<float>(in[j]);
    }
}

// Each pixel the mean of the 2 x 2 pixels it covers (an odd last row or
// column is left out).
void halve(const Plane& p, Plane& h)
{
    h.resize(p.rows / 2, p.cols / 2);
    for (int i = 0; i < h.rows; ++i) {
        const float* a = p.row(2 * i);
        const float* b = p.row(2 * i + 1);
        float* out = h.row(i);
        for (int j = 0; j < h.cols; ++j)
            out[j] = 0.25f * (a[2 * j] + a[2 * j + 1] + b[2 * j] + b[2 * j + 1]);
    }
}

// A pixel of the halved mask counts when two of the four it covers do.
void halve(const Mask& m, int rows, int cols, Mask& h)
{
    h.clear();
    if (m.empty())
        return;
    const int hr = rows / 2;
    const int hc = cols / 2;
    h.resize(area(hr, hc));
    for (int i = 0; i < hr; ++i)
        for (int j = 0; j < hc; ++j) {
            const std::size_t a = area(2 * i, cols) + static_cast<std::size_t>(2 * j);
            const std::size_t b = a + static_cast<std::size_t>(cols);
            h[area(i, hc) + static_cast<std::size_t>(j)] = m[a] + m[a + 1] + m[b] + m[b + 1] >= 2;
        }
}

// A Gaussian of one pixel, along rows then columns, the edge pixel repeated
// beyond the border. `across` is scratch space.
void smooth(const Plane& p, Plane& out, Plane& across)
{
    constexpr int radius = 3;
    std::array<float, 2 * radius + 1> k{};
    float sum = 0.0f;
    for (int d = -radius; d <= radius; ++d)
        sum += k[static_cast<std::size_t>(d + radius)] = static_cast<float>(std::exp(-0.5 * d * d));
    for (float& w : k)
        w /= sum;

    across.resize(p.rows, p.cols);
    std::vector<float> line(static_cast<std::size_t>(p.cols + 2 * radius));
    for (int i = 0; i < p.rows; ++i) {
        const float* in = p.row(i);
        std::copy(in, in + p.cols, line.begin() + radius);
        std::fill(line.begin(), line.begin() + radius, in[0]);
        std::fill(line.end() - radius, line.end(), in[p.cols - 1]);
        float* o = across.row(i);
        std::fill(o, o + p.cols, 0.0f);
        for (int d = 0; d <= 2 * radius; ++d) {
            const float w = k[static_cast<std::size_t>(d)];
            const float* l = line.data() + d;
            for (int j = 0; j < p.cols; ++j)
                o[j] += w * l[j];
        }
    }
    out.resize(p.rows, p.cols);
    for (int i = 0; i < p.rows; ++i) {
        float* o = out.row(i);
        std::fill(o, o + p.cols, 0.0f);
        for (int d = -radius; d <= radius; ++d) {
            const float w = k[static_cast<std::size_t>(d + radius)];
            const float* in = across.row(std::clamp(i + d, 0, p.rows - 1));
            for (int j = 0; j < p.cols; ++j)
                o[j] += w * in[j];
        }
    }
}

// Central differences along i and j (one-sided on the border).
void gradients(const Plane& p, Plane& gi, Plane& gj)
{
    gi.resize(p.rows, p.cols);
    gj.resize(p.rows, p.cols);
    for (int i = 0; i < p.rows; ++i) {
        const int up = std::max(i - 1, 0);
        const int down = std::min(i + 1, p.rows - 1);
        const float fi = 1.0f / static_cast<float>(down - up);
        const float* a = p.row(up);
        const float* b = p.row(down);
        const float* r = p.row(i);
        float* oi = gi.row(i);
        float* oj = gj.row(i);
        for (int j = 0; j < p.cols; ++j)
            oi[j] = (b[j] - a[j]) * fi;
        oj[0] = r[1] - r[0];
        for (int j = 1; j + 1 < p.cols; ++j)
            oj[j] = 0.5f * (r[j + 1] - r[j - 1]);
        oj[p.cols - 1] = r[p.cols - 1] - r[p.cols - 2];
    }
}

// The edge strength of an image, in place: the length of its grey-level
// gradient after a Gaussian of one pixel, spread by another such Gaussian.
void toEdgeStrength(Plane& p, Plane& a, Plane& b, Plane& c)
{
    smooth(p, a, b);
    gradients(a, b, c);
    for (std::size_t k = 0; k < b.v.size(); ++k)
        b.v[k] = std::sqrt(b.v[k] * b.v[k] + c.v[k] * c.v[k]);
    smooth(b, p, a);
}

// Bilinear interpolation at (qi, qj), 0 <= qi <= rows - 1 and 0 <= qj <=
// cols - 1 (give or take rounding).
struct Sample {
    std::size_t at;  // top left pixel
    float fi, fj;
};

inline Sample locate(const Plane& p, double qi, double qj)
{
    const int i0 = std::clamp(static_cast<int>(qi), 0, p.rows - 2);
    const int j0 = std::clamp(static_cast<int>(qj), 0, p.cols - 2);
    return {area(i0, p.cols) + static_cast<std::size_t>(j0), static_cast<float>(qi - i0),
            static_cast<float>(qj - j0)};
}

inline float interpolate(const Plane& p, const Sample& s)
{
    const float* a = p.v.data() + s.at;
    const float* b = a + p.cols;
    const float top = a[0] + s.fj * (a[1] - a[0]);
    const float bottom = b[0] + s.fj * (b[1] - b[0]);
    return top + s.fi * (bottom - top);
}

// The columns j in [0, n) of one row where both q1 = a1 + b1 j and q2 = a2 +
// b2 j lie within [0, m1] and [0, m2]: [first, last), empty when first >=
// last.
void span(double a1, double b1, double m1, double a2, double b2, double m2, int n, int& first, int& last)
{
    double lo = 0.0;
    double hi = n - 1;
    auto limit = [&](double a, double b, double m) {
        constexpr double slack = 1e-9;
        if (std::fabs(b) < 1e-12) {
            if (a < -slack || a > m + slack)
                hi = -1.0;
            return;
        }
        double t0 = (0.0 - a) / b;
        double t1 = (m - a) / b;
        if (t0 > t1)
            std::swap(t0, t1);
        lo = std::max(lo, t0 - slack);
        hi = std::min(hi, t1 + slack);
    };
    limit(a1, b1, m1);
    limit(a2, b2, m2);
    first = static_cast<int>(std::ceil(lo));
    last = hi < lo ? first : static_cast<int>(std::floor(hi)) + 1;
}

// A rigid transform with a scale about the source's centre of content:
// source pixel p goes to R (f (p - m) + m - cs) + ct + t, with the angle a
// (radians), the scale f and the translation t in the units of one level.
// The scale takes up the growth and shrinking of sections from one cut to
// the next, and is left out of the result: about the centre of content, it
// changes neither the turn nor where that centre goes.
struct Transform {
    double a = 0.0;
    double ti = 0.0;
    double tj = 0.0;
    double f = 1.0;
};

// One level of the pyramid: both images as they are compared (raw) and
// smoothed, the smoothed target's gradients, the source mask, the centres,
// and the scale (full-size pixels per pixel).
struct Level {
    Plane rawSource, rawTarget;
    Plane source, target;
    Plane gi, gj;
    Mask mask;
    std::size_t compared = 0;  // source pixels in the mask
    double scale = 1.0;
    double csI = 0.0, csJ = 0.0, ctI = 0.0, ctJ = 0.0;
    double mI = 0.0, mJ = 0.0;  // the source's centre of content
};

// A full-size position x at a level of the given scale: pixel y of the level
// covers full-size pixels s y .. s y + s - 1.
double atLevel(double x, double scale)
{
    return (x - (scale - 1.0) / 2.0) / scale;
}

// Visits the compared source pixels of one row whose transformed position
// lies on the target: f(j, qi, qj), with the target position (qi, qj) of
// pixel (i, j).
template <typename F>
void forRow(const Level& level, const Transform& x, double c, double s, int i, F&& f)
{
    const double di = x.f * (i - level.mI) + level.mI - level.csI;
    // e = f (p - m) + m - cs = (di, f j + ej0); q = R e + ct + t.
    const double ej0 = level.mJ - level.csJ - x.f * level.mJ;
    const double qi0 = c * di + s * ej0 + level.ctI + x.ti;
    const double qj0 = -s * di + c * ej0 + level.ctJ + x.tj;
    const double dqi = s * x.f;
    const double dqj = c * x.f;
    int first = 0;
    int last = 0;
    span(qi0, dqi, level.target.rows - 1, qj0, dqj, level.target.cols - 1, level.source.cols, first, last);
    const unsigned char* m = level.mask.empty() ? nullptr : level.mask.data() + area(i, level.source.cols);
    for (int j = first; j < last; ++j) {
        if (m && !m[j])
            continue;
        f(j, qi0 + dqi * j, qj0 + dqj * j);
    }
}

// Sums of source values s and target values w over an overlap.
struct PairSums {
    double n = 0, s = 0, w = 0, ss = 0, ww = 0, sw = 0;

    void add(double a, double b)
    {
        n += 1;
        s += a;
        w += b;
        ss += a * a;
        ww += b * b;
        sw += a * b;
    }
    void add(const PairSums& o)
    {
        n += o.n;
        s += o.s;
        w += o.w;
        ss += o.ss;
        ww += o.ww;
        sw += o.sw;
    }
    // The NCC, or -1 when the overlap has fewer than `least` pixels or a side
    // is uniform on it.
    double ncc(double least) const
    {
        if (n < least || n < 2)
            return -1.0;
        const double vs = ss - s * s / n;
        const double vw = ww - w * w / n;
        if (!(vs > 1e-9 * ss) || !(vw > 1e-9 * ww))
            return -1.0;
        return (sw - s * w / n) / std::sqrt(vs * vw);
    }
};

double ncc(const Level& level, const Transform& x)
{
    const double c = std::cos(x.a);
    const double s = std::sin(x.a);
    PairSums sums;
    for (int i = 0; i < level.source.rows; ++i) {
        const float* in = level.source.row(i);
        PairSums row;
        forRow(level, x, c, s, i, [&](int j, double qi, double qj) {
            row.add(in[j], interpolate(level.target, locate(level.target, qi, qj)));
        });
        sums.add(row);
    }
    return sums.ncc(0.25 * static_cast<double>(level.compared));
}

constexpr std::size_t parameters = 4;  // angle, scale, ti, tj
using Column = std::array<double, parameters>;
using Square = std::array<Column, parameters>;

// Solves h x = b by Gaussian elimination with partial pivoting; false when h
// is singular.
bool solve(Square h, Column b, Column& x)
{
    double largest = 0.0;
    for (const Column& row : h)
        for (double v : row)
            largest = std::max(largest, std::fabs(v));
    for (std::size_t k = 0; k < parameters; ++k) {
        std::size_t pivot = k;
        for (std::size_t r = k + 1; r < parameters; ++r)
            if (std::fabs(h[r][k]) > std::fabs(h[pivot][k]))
                pivot = r;
        if (!(std::fabs(h[pivot][k]) > 1e-13 * largest))
            return false;
        std::swap(h[k], h[pivot]);
        std::swap(b[k], b[pivot]);
        for (std::size_t r = k + 1; r < parameters; ++r) {
            const double f = h[r][k] / h[k][k];
            for (std::size_t c = k; c < parameters; ++c)
                h[r][c] -= f * h[k][c];
            b[r] -= f * b[k];
        }
    }
    for (std::size_t k = parameters; k-- > 0;) {
        double v = b[k];
        for (std::size_t c = k + 1; c < parameters; ++c)
            v -= h[k][c] * x[c];
        x[k] = v / h[k][k];
        if (!std::isfinite(x[k]))
            return false;
    }
    return true;
}

double dot(const Column& a, const Column& b)
{
    double sum = 0.0;
    for (std::size_t k = 0; k < parameters; ++k)
        sum += a[k] * b[k];
    return sum;
}

// The sums one step of the refinement needs: those of the NCC, and those
// of the warped target's derivatives g = dw/d(angle, scale, ti, tj).
struct StepSums {
    PairSums pair;
    Column g{};
    Column gs{};
    Column gw{};
    Square gg{};  // lower triangle
};

StepSums stepSums(const Level& level, const Transform& x)
{
    const double c = std::cos(x.a);
    const double s = std::sin(x.a);
    StepSums all;
    for (int i = 0; i < level.source.rows; ++i) {
        const float* in = level.source.row(i);
        const double di = i - level.mI;
        const double ei = x.f * di + level.mI - level.csI;
        const double ej0 = level.mJ - level.csJ;
        // One row's sums in locals, added to the whole once.
        double n = 0, ss = 0, ws = 0, sss = 0, www = 0, sww = 0;
        double g0 = 0, g1 = 0, g2 = 0, g3 = 0;
        double s0 = 0, s1 = 0, s2 = 0, s3 = 0;
        double w0 = 0, w1 = 0, w2 = 0, w3 = 0;
        double h00 = 0, h10 = 0, h11 = 0, h20 = 0, h21 = 0, h22 = 0, h30 = 0, h31 = 0, h32 = 0, h33 = 0;
        forRow(level, x, c, s, i, [&](int j, double qi, double qj) {
            const Sample at = locate(level.target, qi, qj);
            const double v = in[j];
            const double w = interpolate(level.target, at);
            const double gi = interpolate(level.gi, at);
            const double gj = interpolate(level.gj, at);
            const double dj = j - level.mJ;
            const double ej = x.f * dj + ej0;
            // d(qi, qj)/da = R' e; d(qi, qj)/df = R (p - m).
            const double a0 = gi * (-s * ei + c * ej) + gj * (-c * ei - s * ej);
            const double a1 = gi * (c * di + s * dj) + gj * (-s * di + c * dj);
            n += 1;
            ss += v;
            ws += w;
            sss += v * v;
            www += w * w;
            sww += v * w;
            g0 += a0;
            g1 += a1;
            g2 += gi;
            g3 += gj;
            s0 += a0 * v;
            s1 += a1 * v;
            s2 += gi * v;
            s3 += gj * v;
            w0 += a0 * w;
            w1 += a1 * w;
            w2 += gi * w;
            w3 += gj * w;
            h00 += a0 * a0;
            h10 += a1 * a0;
            h11 += a1 * a1;
            h20 += gi * a0;
            h21 += gi * a1;
            h22 += gi * gi;
            h30 += gj * a0;
            h31 += gj * a1;
            h32 += gj * gi;
            h33 += gj * gj;
        });
        all.pair.add(PairSums{n, ss, ws, sss, www, sww});
        const Column g{g0, g1, g2, g3};
        const Column gs{s0, s1, s2, s3};
        const Column gw{w0, w1, w2, w3};
        const Square gg{Column{h00, 0, 0, 0}, Column{h10, h11, 0, 0}, Column{h20, h21, h22, 0},
                        Column{h30, h31, h32, h33}};
        for (std::size_t k = 0; k < parameters; ++k) {
            all.g[k] += g[k];
            all.gs[k] += gs[k];
            all.gw[k] += gw[k];
            for (std::size_t l = 0; l <= k; ++l)
                all.gg[k][l] += gg[k][l];
        }
    }
    return all;
}

struct Refined {
    Transform x;
    double ncc = -1.0;
};

// Maximises the NCC over angle, scale and shift on one level, from x: each
// step is the enhanced-correlation-coefficient update (the Gauss-Newton step
// on the NCC, with the warped target's gradients); a step that lowers the
// NCC is halved. Stops when a step moves no pixel within the image's rim by
// more than `tolerance`, after `iterations` steps, or when cancelled. The
// angle is kept within [-bound, bound].
Refined refine(const Level& level, Transform x, int iterations, double tolerance, double bound,
               const ProgressSubject& progress)
{
    const double least = 0.25 * static_cast<double>(level.compared);
    const double rim = 0.5 * std::hypot(level.source.rows, level.source.cols);
    Refined best{x, -2.0};
    Column step{};
    int halvings = 0;
    auto moved = [bound](const Transform& from, const Column& by) {
        return Transform{std::clamp(from.a + by[0], -bound, bound), from.ti + by[2], from.tj + by[3],
                         std::clamp(from.f + by[1], leastScale, largestScale)};
    };
    auto reach = [&](const Column& by) {
        return (std::fabs(by[0]) + std::fabs(by[1])) * rim + std::hypot(by[2], by[3]);
    };
    for (int iteration = 0; iteration < iterations && !progress.isCanceled(); ++iteration) {
        const StepSums sums = stepSums(level, x);
        const double value = sums.pair.ncc(least);
        if (value < best.ncc) {
            // Went too far: back to the best point, half the step.
            if (++halvings > 8)
                break;
            for (double& d : step)
                d *= 0.5;
            x = moved(best.x, step);
            continue;
        }
        halvings = 0;
        best = {x, value};
        if (value <= -1.0)
            break;

        // Centred sums.
        const double n = sums.pair.n;
        Square h{};
        Column bs{};
        Column bw{};
        for (std::size_t k = 0; k < parameters; ++k) {
            for (std::size_t l = 0; l <= k; ++l)
                h[k][l] = h[l][k] = sums.gg[k][l] - sums.g[k] * sums.g[l] / n;
            bs[k] = sums.gs[k] - sums.g[k] * sums.pair.s / n;
            bw[k] = sums.gw[k] - sums.g[k] * sums.pair.w / n;
        }
        const double vw = sums.pair.ww - sums.pair.w * sums.pair.w / n;
        const double sw = sums.pair.sw - sums.pair.s * sums.pair.w / n;
        Column xw{};
        Column xs{};
        if (!solve(h, bw, xw) || !solve(h, bs, xs))
            break;
        const double projectedW = dot(bw, xw);  // w' P w
        const double projectedS = dot(bs, xs);  // s' P s
        const double cross = dot(bs, xw);       // s' P w
        const double numerator = vw - projectedW;
        const double denominator = sw - cross;
        double lambda = 0.0;
        if (denominator > 0.0) {
            lambda = numerator / denominator;
        } else {
            // Anticorrelated: the step that turns the correlation round.
            if (!(projectedS > 0.0))
                break;
            lambda = std::max(std::sqrt(std::max(numerator, 0.0) / projectedS), (cross - sw) / projectedS);
        }
        for (std::size_t k = 0; k < parameters; ++k)
            step[k] = lambda * xs[k] - xw[k];
        if (!std::all_of(step.begin(), step.end(), [](double d) { return std::isfinite(d); }))
            break;
        // No step beyond a few pixels: the linearisation holds no further.
        const double length = reach(step);
        if (length > 4.0)
            for (double& d : step)
                d *= 4.0 / length;
        x = moved(x, step);
        if (reach(step) < tolerance) {
            best.x = x;
            break;
        }
    }
    return best;
}

// Whether every compared pixel has one grey level.
bool isUniform(const Plane& p, const Mask& mask)
{
    bool first = true;
    float value = 0.0f;
    for (std::size_t k = 0; k < p.v.size(); ++k) {
        if (!mask.empty() && !mask[k])
            continue;
        if (first) {
            value = p.v[k];
            first = false;
        } else if (p.v[k] != value) {
            return false;
        }
    }
    return true;
}

// The centre of an image's contents: the centroid of its departures from
// the grey level of its border (the background, dark or bright), within the
// mask; the image centre when there are none.
void contentCentre(const Plane& p, const Mask& mask, double& ci, double& cj)
{
    std::vector<float> border;
    for (int j = 0; j < p.cols; ++j) {
        border.push_back(p.row(0)[j]);
        border.push_back(p.row(p.rows - 1)[j]);
    }
    for (int i = 1; i + 1 < p.rows; ++i) {
        border.push_back(p.row(i)[0]);
        border.push_back(p.row(i)[p.cols - 1]);
    }
    const auto middle = border.begin() + static_cast<std::ptrdiff_t>(border.size() / 2);
    std::nth_element(border.begin(), middle, border.end());
    const double background = *middle;
    double weight = 0.0;
    double si = 0.0;
    double sj = 0.0;
    for (int i = 0; i < p.rows; ++i) {
        const float* row = p.row(i);
        const unsigned char* m = mask.empty() ? nullptr : mask.data() + area(i, p.cols);
        for (int j = 0; j < p.cols; ++j) {
            if (m && !m[j])
                continue;
            const double w = std::fabs(row[j] - background);
            weight += w;
            si += w * i;
            sj += w * j;
        }
    }
    ci = weight > 0.0 ? si / weight : p.rows / 2.0;
    cj = weight > 0.0 ? sj / weight : p.cols / 2.0;
}

// The angle a in (-pi, pi].
double wrapAngle(double a)
{
    a = std::remainder(a, 2.0 * pi);
    return a <= -pi ? a + 2.0 * pi : a;
}

// A window over n pixels that fades the outer eighth of either side to zero,
// so that the image borders make no edges of their own in the periodic
// transform.
std::vector<float> taper(int n)
{
    std::vector<float> w(static_cast<std::size_t>(n), 1.0f);
    const int width = std::max(1, n / 8);
    for (int x = 0; x < width; ++x) {
        const float f = static_cast<float>(0.5 - 0.5 * std::cos(pi * (x + 0.5) / width));
        w[static_cast<std::size_t>(x)] = f;
        w[static_cast<std::size_t>(n - 1 - x)] = f;
    }
    return w;
}

} // namespace

// What one run needs besides the images, kept for the next: the pyramid's
// planes and the phase correlation's plans and buffers for the smallest
// level.
struct CorrelationImageRegistration::Workspace {
    std::vector<Level> levels;
    Plane scratch[3];

    int rows = 0;
    int cols = 0;
    float* real = nullptr;
    fftwf_complex* spectrum = nullptr;
    fftwf_complex* targetSpectrum = nullptr;
    fftwf_plan forward = nullptr;
    fftwf_plan backward = nullptr;

    Workspace() = default;
    ~Workspace() { release(); }
    Workspace(const Workspace&) = delete;
    Workspace& operator=(const Workspace&) = delete;

    // Plans for rows x cols, unless planned for that already.
    void plan(int r, int c)
    {
        if (forward && r == rows && c == cols)
            return;
        release();
        real = static_cast<float*>(fftwf_malloc(sizeof(float) * area(r, c)));
        spectrum = static_cast<fftwf_complex*>(fftwf_malloc(sizeof(fftwf_complex) * area(r, c / 2 + 1)));
        targetSpectrum = static_cast<fftwf_complex*>(fftwf_malloc(sizeof(fftwf_complex) * area(r, c / 2 + 1)));
        if (real && spectrum && targetSpectrum) {
            std::lock_guard<std::mutex> lock(fourierPlannerMutex());
            forward = fftwf_plan_dft_r2c_2d(r, c, real, spectrum, FFTW_ESTIMATE);
            backward = fftwf_plan_dft_c2r_2d(r, c, spectrum, real, FFTW_ESTIMATE);
        }
        if (!forward || !backward) {
            release();
            throw ProgramError(runWhere, "Cannot plan the Fourier transforms");
        }
        rows = r;
        cols = c;
    }

    void release()
    {
        {
            std::lock_guard<std::mutex> lock(fourierPlannerMutex());
            if (forward)
                fftwf_destroy_plan(forward);
            if (backward)
                fftwf_destroy_plan(backward);
        }
        forward = backward = nullptr;
        fftwf_free(real);
        fftwf_free(spectrum);
        fftwf_free(targetSpectrum);
        real = nullptr;
        spectrum = targetSpectrum = nullptr;
        rows = cols = 0;
    }

    std::size_t halfSize() const { return area(rows, cols / 2 + 1); }
};

CorrelationImageRegistration::CorrelationImageRegistration() : m_workspace(std::make_unique<Workspace>()) {}

CorrelationImageRegistration::~CorrelationImageRegistration() = default;

void CorrelationImageRegistration::setMask(const PixelMatrix<bool>& mask)
{
    m_mask = mask;
    m_hasMask = true;
}

void CorrelationImageRegistration::clearMask()
{
    m_mask = PixelMatrix<bool>();
    m_hasMask = false;
}

void CorrelationImageRegistration::setMaximumRotation(double degrees)
{
    m_maximumRotation = std::isnan(degrees) ? 180.0 : std::clamp(degrees, 0.0, 180.0);
}

void CorrelationImageRegistration::addGuess(double angleDegrees, const Vector<double>& translation)
{
    if (translation.getSize() != 2)
        throw SizeError("void CorrelationImageRegistration::addGuess(double, const Vector<double>&)",
                        "Incompatible vector dimensions");
    m_guesses.push_back({angleDegrees * pi / 180.0, translation[0], translation[1]});
}

void CorrelationImageRegistration::check(const char* where) const
{
    if (!m_source || !m_target)
        throw UsageError(where, "Source and target images must be set before running");
    if (m_hasMask && (m_mask.getSize1() != m_source->getSize1() || m_mask.getSize2() != m_source->getSize2()))
        throw UsageError(where, "The mask does not have the size of the source image");
}

double CorrelationImageRegistration::correlation(double angleDegrees, const Vector<double>& translation) const
{
    check(correlationWhere);
    if (translation.getSize() != 2)
        throw SizeError(correlationWhere, "Incompatible vector dimensions");
    return score(angleDegrees, translation[0], translation[1], 1);
}

double CorrelationImageRegistration::score(double angleDegrees, double ti, double tj, int stride) const
{
    const PixelMatrix<double>& source = *m_source;
    const PixelMatrix<double>& target = *m_target;
    const int rows = target.getSize1();
    const int cols = target.getSize2();
    if (rows < 2 || cols < 2)
        return -1.0;
    const double a = angleDegrees * pi / 180.0;
    const double c = std::cos(a);
    const double s = std::sin(a);
    const double csI = source.getSize1() / 2.0;
    const double csJ = source.getSize2() / 2.0;
    const double ctI = rows / 2.0;
    const double ctJ = cols / 2.0;
    PairSums sums;
    double compared = 0;
    for (int i = 0; i < source.getSize1(); i += stride) {
        const double di = i - csI;
        const double* in = source[i].data();
        for (int j = 0; j < source.getSize2(); j += stride) {
            if (m_hasMask && !m_mask(i, j))
                continue;
            compared += 1;
            const double dj = j - csJ;
            const double qi = c * di + s * dj + ctI + ti;
            const double qj = -s * di + c * dj + ctJ + tj;
            // (Rounding may put a pixel a hair beyond the border.)
            if (!(qi >= -1e-9 && qj >= -1e-9 && qi <= rows - 1 + 1e-9 && qj <= cols - 1 + 1e-9))
                continue;
            const int i0 = std::clamp(static_cast<int>(qi), 0, rows - 2);
            const int j0 = std::clamp(static_cast<int>(qj), 0, cols - 2);
            const double fi = qi - i0;
            const double fj = qj - j0;
            const double* r0 = target[i0].data() + j0;
            const double* r1 = target[i0 + 1].data() + j0;
            const double top = r0[0] + fj * (r0[1] - r0[0]);
            const double bottom = r1[0] + fj * (r1[1] - r1[0]);
            sums.add(in[j], top + fi * (bottom - top));
        }
    }
    return sums.ncc(0.25 * compared);
}

bool CorrelationImageRegistration::run()
{
    check(runWhere);
    if (std::min({m_source->getSize1(), m_source->getSize2(), m_target->getSize1(), m_target->getSize2()}) <
        smallestSide)
        throw ValueError(runWhere, "Images smaller than 16 x 16 pixels cannot be registered by correlation");
    m_angle = 0.0;
    m_correlation = -1.0;
    m_translation = Vector<double>{0.0, 0.0};
    m_rotation.setZeros();
    m_rotation(0, 0) = m_rotation(1, 1) = 1.0;

    Workspace& work = *m_workspace;
    std::vector<Level>& levels = work.levels;
    if (levels.empty())
        levels.resize(1);
    Level& full = levels.front();
    toPlane(*m_source, full.rawSource);
    toPlane(*m_target, full.rawTarget);
    full.mask.clear();
    if (m_hasMask) {
        full.mask.resize(full.rawSource.v.size());
        for (int i = 0; i < full.rawSource.rows; ++i)
            for (int j = 0; j < full.rawSource.cols; ++j)
                full.mask[area(i, full.rawSource.cols) + static_cast<std::size_t>(j)] = m_mask(i, j) ? 1 : 0;
    }
    // Nothing to correlate in an image of one grey level.
    if (isUniform(full.rawSource, full.mask))
        throw ValueError(runWhere, full.mask.empty() ? "The source image has no contrast"
                                                     : "The source image has no contrast in the mask");
    if (isUniform(full.rawTarget, Mask()))
        throw ValueError(runWhere, "The target image has no contrast");

    notifyStarted("Registering by correlation...");
    double centreI = 0.0;
    double centreJ = 0.0;
    contentCentre(full.rawSource, full.mask, centreI, centreJ);
    if (m_comparison == Comparison::Edges) {
        toEdgeStrength(full.rawSource, work.scratch[0], work.scratch[1], work.scratch[2]);
        toEdgeStrength(full.rawTarget, work.scratch[0], work.scratch[1], work.scratch[2]);
    }

    // The pyramid, from the full images down to about 64 pixels across.
    std::size_t count = 1;
    while (true) {
        const Level& l = levels[count - 1];
        const Plane& s = l.rawSource;
        const Plane& t = l.rawTarget;
        const int largest = std::max({s.rows, s.cols, t.rows, t.cols});
        const int least = std::min({s.rows, s.cols, t.rows, t.cols});
        if (largest <= coarsestSide || least / 2 < smallestSide)
            break;
        if (levels.size() <= count)
            levels.resize(count + 1);
        Level& next = levels[count];
        const Level& previous = levels[count - 1];
        halve(previous.rawSource, next.rawSource);
        halve(previous.rawTarget, next.rawTarget);
        halve(previous.mask, previous.rawSource.rows, previous.rawSource.cols, next.mask);
        ++count;
    }
    for (std::size_t l = 0; l < count; ++l) {
        Level& level = levels[l];
        level.scale = std::ldexp(1.0, static_cast<int>(l));
        smooth(level.rawSource, level.source, work.scratch[0]);
        smooth(level.rawTarget, level.target, work.scratch[0]);
        gradients(level.target, level.gi, level.gj);
        level.compared = level.mask.empty()
                             ? level.source.v.size()
                             : static_cast<std::size_t>(std::count(level.mask.begin(), level.mask.end(), 1));
        level.csI = atLevel(m_source->getSize1() / 2.0, level.scale);
        level.csJ = atLevel(m_source->getSize2() / 2.0, level.scale);
        level.ctI = atLevel(m_target->getSize1() / 2.0, level.scale);
        level.ctJ = atLevel(m_target->getSize2() / 2.0, level.scale);
        level.mI = atLevel(centreI, level.scale);
        level.mJ = atLevel(centreJ, level.scale);
    }

    // The angle search on the smallest level: the source turned by each
    // angle, its shift by phase correlation, the pair scored by the NCC.
    const Level& coarse = levels[count - 1];
    const int rows = coarse.target.rows;
    const int cols = coarse.target.cols;
    work.plan(rows, cols);
    const std::size_t pixels = area(rows, cols);
    const std::vector<float> windowI = taper(rows);
    const std::vector<float> windowJ = taper(cols);
    // The mask is taken to hold on the target too when both have one size.
    const bool maskTarget = !coarse.mask.empty() && coarse.source.rows == rows && coarse.source.cols == cols;
    auto meanOf = [](const Plane& p, const Mask& m) {
        double sum = 0.0;
        double n = 0.0;
        for (std::size_t k = 0; k < p.v.size(); ++k)
            if (m.empty() || m[k]) {
                sum += p.v[k];
                n += 1.0;
            }
        return n > 0.0 ? sum / n : 0.0;
    };
    const float sourceMean = static_cast<float>(meanOf(coarse.source, coarse.mask));
    const float targetMean = static_cast<float>(meanOf(coarse.target, maskTarget ? coarse.mask : Mask()));
    for (int i = 0; i < rows; ++i) {
        const float* in = coarse.target.row(i);
        float* out = work.real + area(i, cols);
        for (int j = 0; j < cols; ++j) {
            const bool counted = !maskTarget || coarse.mask[area(i, cols) + static_cast<std::size_t>(j)];
            out[j] = counted ? windowI[static_cast<std::size_t>(i)] * windowJ[static_cast<std::size_t>(j)] *
                                   (in[j] - targetMean)
                             : 0.0f;
        }
    }
    fftwf_execute_dft_r2c(work.forward, work.real, work.targetSpectrum);

    // Angles a turn of the image's rim by about a pixel apart, 0 among them.
    const double rim = 0.5 * std::max({coarse.source.rows, coarse.source.cols, rows, cols});
    const int steps = std::max(1, static_cast<int>(std::ceil(pi / std::atan(1.0 / rim))));
    const double angleStep = pi / steps;
    const int reach =
        std::min(steps, static_cast<int>(std::floor(m_maximumRotation * pi / 180.0 / angleStep + 1e-9)));
    const bool wholeTurn = reach == steps;
    std::vector<double> angles;
    for (int k = wholeTurn ? -steps + 1 : -reach; k <= reach; ++k)
        angles.push_back(k * angleStep);

    const unsigned int totalSteps = static_cast<unsigned int>(angles.size() + count + 2);
    unsigned int done = 0;
    auto cancelled = [&]() {
        if (!isCanceled())
            return false;
        notifyCanceled("");
        return true;
    };

    // A candidate of the search keeps within the maximum rotation (and a
    // step of the search); a guess may turn any way.
    struct Candidate {
        Transform x;
        double ncc;
        double bound = 2.0 * pi;
    };
    const double searchBound = wholeTurn ? 2.0 * pi : reach * angleStep + angleStep;
    std::vector<Candidate> searched;
    const Plane& turned = coarse.source;
    for (double a : angles) {
        if (cancelled())
            return false;
        // Target pixel q shows source pixel R^T (q - ct) + cs.
        const double c = std::cos(a);
        const double s = std::sin(a);
        for (int i = 0; i < rows; ++i) {
            const double di = i - coarse.ctI;
            float* out = work.real + area(i, cols);
            std::fill(out, out + cols, 0.0f);
            const double pi0 = c * di + s * coarse.ctJ + coarse.csI;
            const double pj0 = s * di - c * coarse.ctJ + coarse.csJ;
            int first = 0;
            int last = 0;
            span(pi0, -s, turned.rows - 1, pj0, c, turned.cols - 1, cols, first, last);
            for (int j = first; j < last; ++j) {
                const double pi_ = pi0 - s * j;
                const double pj = pj0 + c * j;
                if (!coarse.mask.empty() &&
                    !coarse.mask[area(static_cast<int>(std::lround(pi_)), turned.cols) +
                                 static_cast<std::size_t>(std::lround(pj))])
                    continue;
                out[j] = windowI[static_cast<std::size_t>(i)] * windowJ[static_cast<std::size_t>(j)] *
                         (interpolate(turned, locate(turned, pi_, pj)) - sourceMean);
            }
        }
        fftwf_execute_dft_r2c(work.forward, work.real, work.spectrum);
        // The cross-power spectrum F_target conj(F_turned), whitened: its
        // inverse peaks at the shift t with target(q + t) = turned(q).
        for (std::size_t k = 0; k < work.halfSize(); ++k) {
            const float tr = work.targetSpectrum[k][0];
            const float ti = work.targetSpectrum[k][1];
            const float sr = work.spectrum[k][0];
            const float si = work.spectrum[k][1];
            const float re = tr * sr + ti * si;
            const float im = ti * sr - tr * si;
            const float m = std::sqrt(re * re + im * im);
            const float f = m > 1e-20f ? 1.0f / m : 0.0f;
            work.spectrum[k][0] = re * f;
            work.spectrum[k][1] = im * f;
        }
        fftwf_execute_dft_c2r(work.backward, work.spectrum, work.real);
        const std::size_t peak = static_cast<std::size_t>(std::max_element(work.real, work.real + pixels) - work.real);
        int ti = static_cast<int>(peak / static_cast<std::size_t>(cols));
        int tj = static_cast<int>(peak % static_cast<std::size_t>(cols));
        if (ti > rows / 2)
            ti -= rows;
        if (tj > cols / 2)
            tj -= cols;
        const Transform x{a, static_cast<double>(ti), static_cast<double>(tj), 1.0};
        searched.push_back({x, ncc(coarse, x), searchBound});
        if (++done % 4 == 0)
            notifyProgressed(done, totalSteps);
    }

    // The best local maxima over the angles, and the guesses.
    std::vector<Candidate> candidates;
    const std::size_t n = searched.size();
    for (std::size_t k = 0; k < n; ++k) {
        const double before = wholeTurn || k > 0 ? searched[(k + n - 1) % n].ncc : -2.0;
        const double after = wholeTurn || k + 1 < n ? searched[(k + 1) % n].ncc : -2.0;
        if (searched[k].ncc > -1.0 && searched[k].ncc >= before && searched[k].ncc > after)
            candidates.push_back(searched[k]);
    }
    std::sort(candidates.begin(), candidates.end(),
              [](const Candidate& a, const Candidate& b) { return a.ncc > b.ncc; });
    if (candidates.size() > searchCandidates)
        candidates.resize(searchCandidates);
    if (candidates.empty())
        candidates.push_back(*std::max_element(searched.begin(), searched.end(),
                                               [](const Candidate& a, const Candidate& b) { return a.ncc < b.ncc; }));
    // A symmetric outline matches itself turned half round nearly as well:
    // each candidate's opposite is tried too, as the best angle searched
    // within two steps of it.
    if (wholeTurn) {
        const std::size_t found = candidates.size();
        for (std::size_t k = 0; k < found; ++k) {
            const double opposite = wrapAngle(candidates[k].x.a + pi);
            const Candidate* best = nullptr;
            for (const Candidate& c : searched)
                if (std::fabs(wrapAngle(c.x.a - opposite)) <= 2.5 * angleStep && (!best || c.ncc > best->ncc))
                    best = &c;
            if (best && std::none_of(candidates.begin(), candidates.end(), [&](const Candidate& c) {
                    return std::fabs(wrapAngle(c.x.a - best->x.a)) <= 2.5 * angleStep;
                }))
                candidates.push_back(*best);
        }
    }
    for (const Guess& g : m_guesses)
        candidates.push_back({Transform{wrapAngle(g.angle), g.i / coarse.scale, g.j / coarse.scale, 1.0}, 0.0});
    double bound = 2.0 * pi;

    // Each candidate refined on the smallest two levels; the best one goes on
    // down to the full images, to a hundredth of a pixel.
    const std::size_t second = count > 1 ? count - 2 : 0;
    // The candidates are told apart by the grey levels (on every other
    // pixel of every other row): the edges alone cannot tell a section from
    // itself turned half round when its outline is symmetric.
    const double secondScale = levels[second].scale;
    const int stride = std::min(m_source->getSize1(), m_source->getSize2()) >= 4 * smallestSide ? 2 : 1;
    Refined best{Transform{}, -3.0};
    double bestScore = -3.0;
    // Candidates that come to one transform on the smallest level are
    // refined once.
    std::vector<Transform> refined;
    auto seen = [&](const Transform& x, double radians, double pixels) {
        return std::any_of(refined.begin(), refined.end(), [&](const Transform& y) {
            return std::fabs(wrapAngle(x.a - y.a)) < radians && std::hypot(x.ti - y.ti, x.tj - y.tj) < pixels;
        });
    };
    for (const Candidate& candidate : candidates) {
        Refined r = refine(coarse, candidate.x, 30, 0.05, candidate.bound, *this);
        if (cancelled())
            return false;
        if (r.ncc <= -1.0 || seen(r.x, 0.5 * angleStep, 0.5))
            continue;
        refined.push_back(r.x);
        if (second != count - 1)
            r = refine(levels[second], Transform{r.x.a, 2.0 * r.x.ti, 2.0 * r.x.tj, r.x.f}, 20, 0.05,
                       candidate.bound, *this);
        if (cancelled())
            return false;
        if (r.ncc <= -1.0)
            continue;
        const double score =
            this->score(wrapAngle(r.x.a) * 180.0 / pi, r.x.ti * secondScale, r.x.tj * secondScale, stride);
        if (score > bestScore) {
            best = r;
            bestScore = score;
            bound = candidate.bound;
        }
    }
    if (bestScore < -2.0) {
        best = Refined{candidates.front().x, -1.0};
        bound = candidates.front().bound;
    }
    done += 2;
    notifyProgressed(done, totalSteps);
    for (std::size_t l = second; l-- > 0;) {
        // To a fiftieth of a pixel on the way, a twentieth on the full
        // images (where one step from the level above usually does).
        best = refine(levels[l], Transform{best.x.a, 2.0 * best.x.ti, 2.0 * best.x.tj, best.x.f}, l == 0 ? 15 : 25,
                      l == 0 ? 0.05 : 0.02, bound, *this);
        if (cancelled())
            return false;
        notifyProgressed(++done, totalSteps);
    }

    const double a = wrapAngle(best.x.a);
    m_angle = a * 180.0 / pi;
    m_translation = Vector<double>{best.x.ti, best.x.tj};
    m_rotation(0, 0) = std::cos(a);
    m_rotation(0, 1) = std::sin(a);
    m_rotation(1, 0) = -std::sin(a);
    m_rotation(1, 1) = std::cos(a);
    m_correlation = correlation(m_angle, m_translation);
    notifyProgressed(totalSteps, totalSteps);
    notifyFinished("");
    return true;
}
