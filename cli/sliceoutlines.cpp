#include "cli/sliceoutlines.h"

#include "geometry/curvedecimation.h"
#include "geometry/douglaspeuckercurvedecimation.h"
#include "imageprocessing/componentlabelling.h"
#include "imageprocessing/isodatathresholding.h"
#include "imageprocessing/thresholding.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace {

using Point = std::array<double, 2>;

// The boundary through the centres of the component's boundary pixels, as
// (x, y) points without repeats.
std::vector<Point> boundaryCentres(const PixelMatrix<int>& labels, int label, int row, int column)
{
    Thresholding<int> follower;
    follower.setForeground(label);
    Curve<int> curve;
    follower.extractCurve(curve, row, column, labels, 0);
    std::vector<Point> points;
    for (int v = 0; v < curve.getNumVertices(); ++v) {
        const Point p{static_cast<double>(curve.vertex(v)[1]), static_cast<double>(curve.vertex(v)[0])};
        if (points.empty() || points.back() != p)
            points.push_back(p);
    }
    while (points.size() > 1 && points.back() == points.front())
        points.pop_back();
    return points;
}

double twiceArea(const std::vector<Point>& points)
{
    double a = 0.0;
    for (std::size_t i = 0, n = points.size(); i < n; ++i) {
        const Point& p = points[i];
        const Point& q = points[(i + 1) % n];
        a += p[0] * q[1] - q[0] * p[1];
    }
    return a;
}

// The pixel edges beyond a run of boundary centres: a staircase of pixels
// along a direction d has its outer edges, on average, half a pixel further
// along the axis d crosses most, that is max(|dx|, |dy|) / |d| / 2 away
// along the normal (half a pixel for an axis-parallel run, 0.35 for a
// diagonal one). Every edge line moves out by its distance; the vertices are
// where consecutive moved lines meet (mitres longer than two pixels, at
// spikes, are cut back).
std::vector<Point> pixelEdges(const std::vector<Point>& centres)
{
    const std::size_t n = centres.size();
    const double side = twiceArea(centres) < 0.0 ? -1.0 : 1.0;
    struct Line {
        double nx, ny, c;  // nx x + ny y = c, (nx, ny) the outer unit normal
    };
    std::vector<Line> lines(n);
    for (std::size_t i = 0; i < n; ++i) {
        const Point& a = centres[i];
        const Point& b = centres[(i + 1) % n];
        const double dx = b[0] - a[0], dy = b[1] - a[1];
        const double length = std::hypot(dx, dy);
        const double nx = side * dy / length, ny = -side * dx / length;
        const double shift = 0.5 * std::max(std::fabs(dx), std::fabs(dy)) / length;
        lines[i] = {nx, ny, nx * a[0] + ny * a[1] + shift};
    }
    std::vector<Point> edges(n);
    for (std::size_t i = 0; i < n; ++i) {
        const Line& in = lines[(i + n - 1) % n];
        const Line& out = lines[i];
        const Point& b = centres[i];
        const double det = in.nx * out.ny - in.ny * out.nx;
        Point p;
        if (std::fabs(det) > 1e-9) {
            p = {(in.c * out.ny - in.ny * out.c) / det, (in.nx * out.c - in.c * out.nx) / det};
            if (std::hypot(p[0] - b[0], p[1] - b[1]) <= 2.0) {
                edges[i] = p;
                continue;
            }
        }
        // Parallel lines, or a spike: out along the mean normal.
        double mx = in.nx + out.nx, my = in.ny + out.ny;
        const double m = std::hypot(mx, my);
        if (m < 1e-9) {
            // The boundary turns back (a line one pixel wide): out along
            // the incoming direction.
            mx = -in.ny * side;
            my = in.nx * side;
        } else {
            mx /= m;
            my /= m;
        }
        const double shift = in.c - (in.nx * b[0] + in.ny * b[1]);
        edges[i] = {b[0] + shift * mx, b[1] + shift * my};
    }
    return edges;
}

Curve<int> toCurve(const std::vector<Point>& points)
{
    std::vector<std::array<int, 2>> whole;
    for (const Point& p : points) {
        const std::array<int, 2> q{static_cast<int>(std::floor(p[0] + 0.5)), static_cast<int>(std::floor(p[1] + 0.5))};
        if (whole.empty() || whole.back() != q)
            whole.push_back(q);
    }
    while (whole.size() > 1 && whole.back() == whole.front())
        whole.pop_back();
    Curve<int> curve(2, static_cast<int>(whole.size()));
    for (std::size_t i = 0; i < whole.size(); ++i) {
        curve.vertex(static_cast<int>(i))[0] = whole[i][0];
        curve.vertex(static_cast<int>(i))[1] = whole[i][1];
    }
    return curve;
}

} // namespace

double isodataThreshold(const PixelMatrix<float>& image)
{
    IsodataThresholding<float> isodata;
    if (image.getSize1() > 0 && image.getSize2() > 0) {
        const Vector<float> range = image.range();
        if (range[0] < 0.0f || range[1] > 255.0f) {
            const float width = std::max((range[1] - range[0]) / 256.0f, 1e-6f);
            isodata.setBins(range[0], width, 256);
        }
    }
    return isodata.computeThreshold(image);
}

SliceOutlines traceSliceOutlines(const PixelMatrix<float>& image, const SliceOutlineSettings& settings)
{
    SliceOutlines result;
    result.threshold = settings.isodata ? isodataThreshold(image) : settings.level;
    const int rows = image.getSize1();
    const int columns = image.getSize2();
    PixelMatrix<int> labels(rows, columns);
    const float threshold = static_cast<float>(result.threshold);
    for (int i = 0; i < rows; ++i)
        for (int j = 0; j < columns; ++j)
            labels(i, j) = (image(i, j) >= threshold) == settings.above ? 1 : 0;

    ComponentLabelling<int> labelling;
    labelling.apply(labels);
    const int count = labelling.getNumLabels();
    // Components are numbered in the raster order of their first pixel,
    // which lies on their outer boundary.
    std::vector<long long> sizes(static_cast<std::size_t>(count) + 1, 0);
    std::vector<std::array<int, 2>> first(static_cast<std::size_t>(count) + 1, {-1, -1});
    std::vector<Point> sums(static_cast<std::size_t>(count) + 1, {0.0, 0.0});
    for (int i = 0; i < rows; ++i)
        for (int j = 0; j < columns; ++j)
            if (const int l = labels(i, j); l > 0) {
                const auto index = static_cast<std::size_t>(l);
                if (sizes[index]++ == 0)
                    first[index] = {i, j};
                sums[index][0] += j;
                sums[index][1] += i;
            }

    for (int l = 1; l <= count; ++l) {
        const auto index = static_cast<std::size_t>(l);
        if (sizes[index] < std::max(settings.minPixels, 1))
            continue;
        const std::vector<Point> centres = boundaryCentres(labels, l, first[index][0], first[index][1]);
        std::vector<Point> edges;
        if (centres.size() >= 2) {
            edges = pixelEdges(centres);
        } else {
            // One pixel: its four corners.
            const Point& c = centres.front();
            edges = {{c[0] - 0.5, c[1] - 0.5}, {c[0] + 0.5, c[1] - 0.5}, {c[0] + 0.5, c[1] + 0.5}, {c[0] - 0.5, c[1] + 0.5}};
        }
        Curve<int> outline = toCurve(edges);
        CurveDecimation<int> collinear;
        collinear.setRecursive(true);
        collinear.apply(outline);
        if (settings.decimation > 0 && outline.getNumVertices() > 3) {
            DouglasPeuckerCurveDecimation<int> simplify;
            simplify.setTolerance(settings.decimation);
            simplify.apply(outline);
        }
        if (outline.getNumVertices() < 3 || outline.twiceArea(0, 1) == 0)
            continue;
        outline.setClockwise(false, 0, 1);
        result.outlines.push_back(outline);
        result.pixels.push_back(sizes[index]);
        const auto n = static_cast<double>(sizes[index]);
        result.centres.push_back({sums[index][0] / n, sums[index][1] / n});
    }
    return result;
}
