#include "stack/modelmorphometry.h"

#include "stack/stackreconstruction.h"
#include "stackfixture.h"
#include "support/expect.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <numbers>
#include <string>
#include <vector>

namespace {

using stacktest::Points;
constexpr double pi = std::numbers::pi;
using Vec3 = std::array<double, 3>;

// A stack of square slices of one pixel size, each following the previous
// one at a given spacing, and its models. The physical point (X, Y) of a
// slice without registration is pixel (W/2 + X/pw, H/2 - Y/ph): the image's
// y axis points down.
class TestStack {
public:
    TestStack(int slices, double spacing, int size = 100, double pixel = 1.0) : m_size(size), m_pixel(float(pixel))
    {
        for (int k = 0; k < slices; ++k)
            addSlice(spacing);
    }

    StackSlice* addSlice(double spacing)
    {
        StackSlice* slice = stacktest::newSlice("slice " + std::to_string(stack.getNumSlices()), m_size, m_size,
                                                m_pixel, m_pixel);
        slice->setRelativePosition(float(spacing));
        stack.addSlice(slice);
        return slice;
    }

    Model* addModel(const std::string& name, MPrimitive geometry)
    {
        auto* model = new Model(name);
        model->getProperties().setGeometry(geometry);
        stack.addModel(model);
        return model;
    }

    ModelItem* addItem(Model* model, int slice, const Points& points)
    {
        return stacktest::newItem(model, stack.getSlice(slice), points);
    }

    // An outline given in physical coordinates, rounded to pixels.
    ModelItem* addOutline(Model* model, int slice, const std::vector<std::array<double, 2>>& physical)
    {
        Points points;
        for (const auto& p : physical)
            points.emplace_back(int(std::lround(m_size / 2.0 + p[0] / m_pixel)),
                                int(std::lround(m_size / 2.0 - p[1] / m_pixel)));
        return addItem(model, slice, points);
    }

    // The physical point of a pixel, as the reconstruction places it.
    std::array<double, 2> physical(const Vector<int>& pixel) const
    {
        return {double(m_pixel) * (pixel[0] - m_size / 2.0), -double(m_pixel) * (pixel[1] - m_size / 2.0)};
    }

    Stack stack;

private:
    int m_size;
    float m_pixel;
};

// Twice the signed area and the perimeter of an item's outline in physical
// units, computed from its pixels.
std::pair<double, double> outlineMeasures(const TestStack& t, const ModelItem& item)
{
    const Vertices<int>& v = item.getVertices();
    const int n = v.getNumVertices();
    double twice = 0, perimeter = 0;
    for (int i = 0; i < n; ++i) {
        const auto p = t.physical(v[i]);
        const auto q = t.physical(v[(i + 1) % n]);
        twice += p[0] * q[1] - q[0] * p[1];
        perimeter += std::hypot(q[0] - p[0], q[1] - p[1]);
    }
    return {twice, perimeter};
}

ModelMorphometry measure(const Model& model)
{
    ModelMorphometry m;
    m.setModel(model);
    m.run();
    return m;
}

// The worked examples of single slices, pairs of slices and branching.
TEST(ModelMorphometry, SingleSquareIsExtrudedByItsOwnSpacing)
{
    TestStack t(1, 2.0);
    Model* model = t.addModel("square", MPrimitive::Polygon);
    t.addItem(model, 0, {{45, 45}, {55, 45}, {55, 55}, {45, 55}});
    const ModelMorphometry m = measure(*model);
    EXPECT_EQ(m.getNumContours(), 1);
    EXPECT_EQ(m.getNumVertices(), 4);
    EXPECT_DOUBLE_EQ(m.getVolume(), 200.0);
    EXPECT_DOUBLE_EQ(m.getArea(), 0.0); // a one-level stack has no surface
    EXPECT_DOUBLE_EQ(m.getEquivRadius(), std::cbrt(600 / (4 * pi)));
}

TEST(ModelMorphometry, TwoSectionsFiveApart)
{
    TestStack t(0, 0);
    t.addSlice(0);
    t.addSlice(5);
    Model* model = t.addModel("prism", MPrimitive::Polygon);
    for (int k = 0; k < 2; ++k)
        t.addItem(model, k, {{45, 45}, {55, 45}, {55, 55}, {45, 55}});
    const ModelMorphometry m = measure(*model);
    EXPECT_DOUBLE_EQ(m.getVolume(), 5 * 100 + 5 * 100);
    EXPECT_DOUBLE_EQ(m.getArea(), 4 * 10 * 5); // the four side walls
    EXPECT_EQ(m.getIsobarycenter(), (Vector<double>{0, 0, 2.5}));
}

TEST(ModelMorphometry, TwoContoursOnOneSliceHaveNoSurfaceNorVolume)
{
    TestStack t(2, 1.0);
    Model* model = t.addModel("branching", MPrimitive::Polygon);
    t.addItem(model, 0, {{10, 10}, {20, 10}, {20, 20}, {10, 20}});
    t.addItem(model, 1, {{10, 10}, {20, 10}, {20, 20}, {10, 20}});
    t.addItem(model, 1, {{60, 60}, {70, 60}, {70, 70}, {60, 70}});
    const ModelMorphometry m = measure(*model);
    EXPECT_EQ(m.getNumContours(), 3);
    EXPECT_EQ(m.getNumVertices(), 12);
    EXPECT_EQ(m.getArea(), -1.0);
    EXPECT_EQ(m.getVolume(), -1.0);
    EXPECT_EQ(m.getEquivRadius(), -1.0);
    // The centre and axes are still measured.
    EXPECT_EQ(m.getIsobarycenter().getSize(), 3);
    EXPECT_EQ(m.getMainAxesLengths().getSize(), 3);
}

// An outline drawn the other way round subtracts its area from the slice's
// section: a square and an equal clockwise square cancel, so the slice is
// passed over and only the other slice counts.
TEST(ModelMorphometry, OppositeOutlinesOnOneSliceCancelInTheSection)
{
    TestStack t(0, 0);
    t.addSlice(3);
    t.addSlice(5);
    Model* model = t.addModel("holes", MPrimitive::Polygon);
    t.addItem(model, 0, {{10, 10}, {20, 10}, {20, 20}, {10, 20}});
    t.addItem(model, 0, {{40, 40}, {40, 50}, {50, 50}, {50, 40}});
    t.addItem(model, 1, {{10, 10}, {20, 10}, {20, 20}, {10, 20}});
    const StackReconstruction<double> reconstruction(t.stack);
    EXPECT_DOUBLE_EQ(ModelMorphometry::slabVolume(reconstruction, *model), 5 * 100);
    // A hole inside an outline leaves the ring.
    t.addItem(model, 1, {{12, 12}, {12, 14}, {14, 14}, {14, 12}});
    EXPECT_DOUBLE_EQ(ModelMorphometry::slabVolume(reconstruction, *model), 5 * 96);
    EXPECT_EQ(measure(*model).getVolume(), -1.0); // branching
}

TEST(ModelMorphometry, EquivalentRadiusOfTheUnitSphereVolume)
{
    // A 2 x 2 square extruded by pi / 3.
    TestStack t(1, pi / 3);
    Model* model = t.addModel("unit", MPrimitive::Polygon);
    t.addItem(model, 0, {{49, 49}, {51, 49}, {51, 51}, {49, 51}});
    const ModelMorphometry m = measure(*model);
    EXPECT_NEAR(m.getVolume(), 4 * pi / 3, 1e-6);
    EXPECT_NEAR(m.getEquivRadius(), 1.0, 1e-7);
}

// Stacked circles of a sphere of radius 10, sections h apart from pole to
// pole (poles excluded), 200 vertices each. The slab sum is the trapezoidal
// rule on the section area pi (R^2 - z^2), exact for a quadratic but for
// its second derivative: V = s (4/3 pi R^3 - pi R h^2 / 3), s the ratio of a
// regular 200-gon's area to its circle's. The surface tends to 4 pi R^2 less
// the two polar caps the stack leaves open.
TEST(ModelMorphometry, SphereConvergesWithTheSlabBias)
{
    const double R = 10;
    const int n = 200;
    const double s = n * std::sin(2 * pi / n) / (2 * pi);
    double previousVolumeError = INFINITY, previousAreaError = INFINITY;
    for (int K : {8, 16, 32}) {
        const double h = 2 * R / K;
        TestStack t(K - 1, h, 20000, 0.001);
        Model* model = t.addModel("sphere", MPrimitive::Polygon);
        std::vector<double> radii;
        for (int j = 0; j + 1 < K; ++j) {
            const double z = -R + (j + 1) * h;
            const double rho = std::sqrt(R * R - z * z);
            radii.push_back(rho);
            std::vector<std::array<double, 2>> circle;
            for (int i = 0; i < n; ++i)
                circle.push_back({rho * std::cos(2 * pi * i / n), rho * std::sin(2 * pi * i / n)});
            t.addOutline(model, j, circle);
        }
        const ModelMorphometry m = measure(*model);
        SCOPED_TRACE(::testing::Message() << K << " sections");

        const double sphere = 4 * pi * R * R * R / 3;
        EXPECT_NEAR(m.getVolume(), s * (sphere - pi * R * h * h / 3), 5e-5 * sphere);
        const double volumeError = std::abs(m.getVolume() - s * sphere);
        EXPECT_LT(volumeError, previousVolumeError / 3.5); // quadratic in h
        previousVolumeError = volumeError;

        // Aligned regular polygons: each band is n planar isosceles
        // trapezoids, which the arc-length march cuts in two.
        double bands = 0;
        for (std::size_t j = 0; j + 1 < radii.size(); ++j)
            bands += n * (radii[j] + radii[j + 1]) * std::sin(pi / n) *
                     std::hypot(h, (radii[j + 1] - radii[j]) * std::cos(pi / n));
        EXPECT_NEAR(m.getArea(), bands, 5e-5 * bands);
        const double areaError = 4 * pi * R * R - m.getArea();
        EXPECT_GT(areaError, 0);
        EXPECT_LT(areaError, previousAreaError / 1.8); // the caps shrink with h
        previousAreaError = areaError;

        EXPECT_NEAR(m.getIsobarycenter()[0], 0, 1e-4);
        EXPECT_NEAR(m.getIsobarycenter()[1], 0, 1e-4);
        EXPECT_NEAR(m.getIsobarycenter()[2], R - h, 1e-9);
    }
}

// A rectangular box 10 x 6 (pixels of 0.5 x 0.25) of 11 sections 3 apart,
// turned by a registration of the first slice (30 degrees, inherited by all)
// and shifted: its axes are the turned edges, its lengths the standard
// deviations 3 sqrt 10 (z), 5 and 3.
TEST(ModelMorphometry, TurnedBoxAxesAreItsEdges)
{
    TestStack t(0, 0, 200);
    for (int k = 0; k < 11; ++k) {
        StackSlice* slice = t.addSlice(3);
        PixelCalibration c = slice->getPixelCalibration();
        c.setPixelWidth(0.5f);
        c.setPixelHeight(0.25f);
        c.setAspectRatio(0.5f);
        slice->setPixelCalibration(c);
    }
    t.stack.getSlice(0)->setRegistration(Registration(4, 2, 30));
    Model* model = t.addModel("box", MPrimitive::Polygon);
    for (int k = 0; k < 11; ++k)
        t.addItem(model, k, {{90, 88}, {110, 88}, {110, 112}, {90, 112}});
    const ModelMorphometry m = measure(*model);

    EXPECT_NEAR(m.getVolume(), 11 * 3 * 10 * 6, 1e-9);
    EXPECT_NEAR(m.getArea(), 2 * (10 + 6) * 30, 1e-9);
    EXPECT_NEAR(m.getIsobarycenter()[0], 4 * 0.5, 1e-12);
    EXPECT_NEAR(m.getIsobarycenter()[1], -2 * 0.25, 1e-12);
    EXPECT_NEAR(m.getIsobarycenter()[2], 15, 1e-12);

    const Vector<double>& lengths = m.getMainAxesLengths();
    EXPECT_NEAR(lengths[0], 3 * std::sqrt(10.0), 1e-9);
    EXPECT_NEAR(lengths[1], 5, 1e-9);
    EXPECT_NEAR(lengths[2], 3, 1e-9);
    const double theta = -pi / 6;
    const Vec3 expected[3] = {{0, 0, 1}, {std::cos(theta), std::sin(theta), 0}, {-std::sin(theta), std::cos(theta), 0}};
    const SquareMatrix<double>& axes = m.getMainAxes();
    for (int k = 0; k < 3; ++k) {
        double dot = 0;
        for (int r = 0; r < 3; ++r)
            dot += axes(r, k) * expected[k][static_cast<std::size_t>(r)];
        EXPECT_NEAR(std::abs(dot), 1, 1e-9) << "axis " << k;
    }
    EXPECT_NEAR(axes.det(), 1, 1e-9);
    EXPECT_EQ(m.getMatchingCoordinateAxes(), (Vector<int>{2, 0, 1}));
}

// A cylinder of identical 50-gons of radius 5 (pixels of 0.01): the slab
// volume and the skin are those of the prism over the pixel outline, and
// close to the circular cylinder's.
TEST(ModelMorphometry, CylinderIsThePrismOverItsOutline)
{
    const int K = 6, n = 50;
    const double h = 0.5, r = 5;
    TestStack t(K, h, 1200, 0.01);
    Model* model = t.addModel("cylinder", MPrimitive::Polygon);
    std::vector<std::array<double, 2>> circle;
    for (int i = 0; i < n; ++i)
        circle.push_back({r * std::cos(2 * pi * i / n + 0.1), r * std::sin(2 * pi * i / n + 0.1)});
    const ModelItem* first = nullptr;
    for (int k = 0; k < K; ++k) {
        const ModelItem* item = t.addOutline(model, k, circle);
        first = first ? first : item;
    }
    const auto [twice, perimeter] = outlineMeasures(t, *first);
    const ModelMorphometry m = measure(*model);
    EXPECT_NEAR(m.getVolume(), K * h * std::abs(twice) / 2, 1e-9);
    EXPECT_NEAR(m.getArea(), (K - 1) * h * perimeter, 1e-9);
    EXPECT_NEAR(m.getVolume(), K * h * pi * r * r, 3e-3 * K * h * pi * r * r);
    EXPECT_NEAR(m.getArea(), (K - 1) * h * 2 * pi * r, 3e-3 * (K - 1) * h * 2 * pi * r);
    // The vertices' standard deviation is r / sqrt 2 across the axis.
    EXPECT_NEAR(m.getMainAxesLengths()[0], r / std::sqrt(2.0), 1e-3);
    EXPECT_NEAR(m.getMainAxesLengths()[1], r / std::sqrt(2.0), 1e-3);
    EXPECT_NEAR(m.getMainAxesLengths()[2], h * std::sqrt((K * K - 1) / 12.0), 1e-6);
    EXPECT_EQ(m.getMatchingCoordinateAxes()[2], 2);
}

// Rotation matrix turning by z, then y, then x angles (columns: the axes).
std::array<Vec3, 3> rotation(double ax, double ay, double az)
{
    const double cx = std::cos(ax), sx = std::sin(ax), cy = std::cos(ay), sy = std::sin(ay), cz = std::cos(az),
                 sz = std::sin(az);
    // R = Rx Ry Rz; column k is R e_k.
    const double m[3][3] = {{cy * cz, -cy * sz, sy},
                            {sx * sy * cz + cx * sz, -sx * sy * sz + cx * cz, -sx * cy},
                            {-cx * sy * cz + sx * sz, cx * sy * sz + sx * cz, cx * cy}};
    std::array<Vec3, 3> columns;
    for (int k = 0; k < 3; ++k)
        for (int r = 0; r < 3; ++r)
            columns[static_cast<std::size_t>(k)][static_cast<std::size_t>(r)] = m[r][k];
    return columns;
}

// The six tips of a tilted ellipsoid's axes, as points on the slices of
// their heights: their covariance is diag(a^2, b^2, c^2) / 3 in the axes'
// frame, so the main axes are the ellipsoid's and the lengths a, b, c over
// sqrt 3.
TEST(ModelMorphometry, TipsOfATiltedEllipsoid)
{
    const double a = 6, b = 3.5, c = 1.5;
    const auto u = rotation(0.4, 0.7, -0.5);
    const Vec3 centre = {0.5, -0.25, 20};
    std::vector<std::pair<double, std::array<double, 2>>> tips; // (z, (x, y))
    const double half[3] = {a, b, c};
    for (int k = 0; k < 3; ++k)
        for (int sign : {-1, 1}) {
            Vec3 p;
            for (int r = 0; r < 3; ++r)
                p[r] = centre[r] + sign * half[k] * u[k][r];
            tips.push_back({p[2], {p[0], p[1]}});
        }
    std::sort(tips.begin(), tips.end(), [](const auto& x, const auto& y) { return x.first < y.first; });

    TestStack t(0, 0, 20000, 0.001);
    Model* model = t.addModel("tips", MPrimitive::Polypoint);
    for (std::size_t i = 0; i < tips.size(); ++i) {
        StackSlice* slice = t.addSlice(0);
        slice->setAbsolutePosition(float(tips[i].first));
        t.addOutline(model, int(i), {tips[i].second});
    }
    const ModelMorphometry m = measure(*model);
    EXPECT_EQ(m.getNumVertices(), 6);
    EXPECT_EQ(m.getArea(), 0.0);
    EXPECT_EQ(m.getVolume(), 0.0);
    for (int r = 0; r < 3; ++r)
        EXPECT_NEAR(m.getIsobarycenter()[r], centre[r], 1e-4);
    const SquareMatrix<double>& axes = m.getMainAxes();
    for (int k = 0; k < 3; ++k) {
        EXPECT_NEAR(m.getMainAxesLengths()[k], half[k] / std::sqrt(3.0), 2e-4) << "axis " << k;
        double dot = 0;
        int largest = 0;
        for (int r = 0; r < 3; ++r) {
            dot += axes(r, k) * u[k][r];
            if (std::abs(u[k][r]) > std::abs(u[k][largest]))
                largest = r;
        }
        EXPECT_GT(std::abs(dot), 1 - 1e-6) << "axis " << k;
        EXPECT_EQ(m.getMatchingCoordinateAxes()[k], largest);
    }
    EXPECT_NEAR(axes.det(), 1, 1e-9);
}

// Sections of a tilted ellipsoid x' A x = 1: at height z the section is the
// ellipse (x - c)' Q (x - c) = 1 - z^2 / Z^2, centre c = -z Q^-1 q, with Q,
// q, s the blocks of A and Z^2 = 1 / (s - q' Q^-1 q) the half height. Its
// area pi (1 - z^2/Z^2) / sqrt det Q is quadratic in z, so the slab sum over
// sections h apart is 4/3 pi a b c - A0 h^2 / (3 Z), A0 = pi / sqrt det Q,
// times the 100-gon's area ratio. The axes are checked against the
// covariance of the outline vertices computed here from their pixels.
TEST(ModelMorphometry, TiltedEllipsoidVolumeAndCovariance)
{
    const auto u = rotation(0.3, 0.6, 0.9);
    double half[3] = {6, 4, 2.5};
    // Scale the ellipsoid so that its half height is exactly 4.
    double Z0 = 0;
    for (int k = 0; k < 3; ++k)
        Z0 += std::pow(u[k][2] * half[k], 2);
    Z0 = std::sqrt(Z0);
    const double Z = 4;
    for (double& e : half)
        e *= Z / Z0;
    double A[3][3] = {};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            for (int k = 0; k < 3; ++k)
                A[i][j] += u[k][i] * u[k][j] / (half[k] * half[k]);
    const double detQ = A[0][0] * A[1][1] - A[0][1] * A[0][1];
    // Q^-1 q, and L with L' Q L = I from the Cholesky factor of Q.
    const double cq[2] = {(A[1][1] * A[0][2] - A[0][1] * A[1][2]) / detQ,
                          (A[0][0] * A[1][2] - A[0][1] * A[0][2]) / detQ};
    const double g11 = std::sqrt(A[0][0]), g21 = A[0][1] / g11, g22 = std::sqrt(A[1][1] - g21 * g21);
    const double L[2][2] = {{1 / g11, -g21 / (g11 * g22)}, {0, 1 / g22}};

    const int K = 16, n = 100;
    const double h = 2 * Z / K;
    TestStack t(K - 1, h, 20000, 0.001);
    Model* model = t.addModel("ellipsoid", MPrimitive::Polygon);
    std::vector<Vec3> points;
    for (int j = 0; j + 1 < K; ++j) {
        const double z = -Z + (j + 1) * h;
        const double rho = std::sqrt(1 - z * z / (Z * Z));
        std::vector<std::array<double, 2>> outline;
        for (int i = 0; i < n; ++i) {
            const double ct = rho * std::cos(2 * pi * i / n), st = rho * std::sin(2 * pi * i / n);
            outline.push_back({-z * cq[0] + L[0][0] * ct + L[0][1] * st, -z * cq[1] + L[1][0] * ct + L[1][1] * st});
        }
        const ModelItem* item = t.addOutline(model, j, outline);
        for (int i = 0; i < n; ++i) {
            const auto p = t.physical(item->getVertices()[i]);
            points.push_back({p[0], p[1], j * h});
        }
    }
    const ModelMorphometry m = measure(*model);

    const double s = n * std::sin(2 * pi / n) / (2 * pi);
    const double A0 = pi / std::sqrt(detQ);
    EXPECT_NEAR(4 * A0 * Z / 3, 4 * pi * half[0] * half[1] * half[2] / 3, 1e-9);
    const double expected = s * (4 * A0 * Z / 3 - A0 * h * h / (3 * Z));
    EXPECT_NEAR(m.getVolume(), expected, 5e-5 * expected);

    // Centre and covariance of the vertices, by a direct sum.
    Vec3 mean = {0, 0, 0};
    for (const Vec3& p : points)
        for (int r = 0; r < 3; ++r)
            mean[r] += p[r] / double(points.size());
    double cov[3][3] = {};
    for (const Vec3& p : points)
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j)
                cov[i][j] += (p[i] - mean[i]) * (p[j] - mean[j]) / double(points.size());
    for (int r = 0; r < 3; ++r)
        EXPECT_NEAR(m.getIsobarycenter()[r], mean[r], 1e-9);
    const SquareMatrix<double>& axes = m.getMainAxes();
    const Vector<double>& lengths = m.getMainAxesLengths();
    EXPECT_GT(lengths[0], lengths[1]);
    EXPECT_GT(lengths[1], lengths[2]);
    for (int k = 0; k < 3; ++k) {
        // cov v = l^2 v, v a unit vector.
        const double l2 = lengths[k] * lengths[k];
        double norm = 0;
        for (int i = 0; i < 3; ++i) {
            double cv = 0;
            for (int j = 0; j < 3; ++j)
                cv += cov[i][j] * axes(j, k);
            EXPECT_NEAR(cv, l2 * axes(i, k), 1e-9) << "axis " << k;
            norm += axes(i, k) * axes(i, k);
        }
        EXPECT_NEAR(norm, 1, 1e-12);
    }
    EXPECT_NEAR(axes.det(), 1, 1e-12);
}

TEST(ModelMorphometry, PolylinesHaveAnOpenSkinAndNoVolume)
{
    TestStack t(2, 2.0);
    Model* model = t.addModel("wall", MPrimitive::Polyline);
    for (int k = 0; k < 2; ++k)
        t.addItem(model, k, {{45, 50}, {50, 50}, {55, 50}});
    const ModelMorphometry m = measure(*model);
    EXPECT_EQ(m.getNumContours(), 2);
    EXPECT_DOUBLE_EQ(m.getArea(), 10 * 2);
    EXPECT_EQ(m.getVolume(), 0.0);
    EXPECT_EQ(m.getEquivRadius(), 0.0);
}

TEST(ModelMorphometry, ModelsWithoutAnythingToMeasure)
{
    TestStack t(1, 1.0);
    Model* empty = t.addModel("empty", MPrimitive::Polygon);
    const ModelMorphometry m = measure(*empty);
    EXPECT_EQ(m.getNumContours(), 0);
    EXPECT_EQ(m.getNumVertices(), 0);
    EXPECT_EQ(m.getArea(), -1.0);
    EXPECT_EQ(m.getVolume(), -1.0);
    EXPECT_TRUE(m.getIsobarycenter().isEmpty());

    // An item without vertices: a contour, but nothing to measure.
    Model* blank = t.addModel("blank", MPrimitive::Polygon);
    t.addItem(blank, 0, {});
    const ModelMorphometry b = measure(*blank);
    EXPECT_EQ(b.getNumContours(), 1);
    EXPECT_EQ(b.getVolume(), -1.0);

    ModelMorphometry none;
    EXPECT_PLEXAN_THROW(none.run(), UsageError, "void ModelMorphometry::run()", "No model to measure");

    // Measuring again starts afresh.
    ModelMorphometry again;
    again.setModel(*t.addModel("square", MPrimitive::Polygon));
    t.addItem(t.stack.getModel(2), 0, {{45, 45}, {55, 45}, {55, 55}, {45, 55}});
    again.run();
    again.run();
    EXPECT_EQ(again.getNumVertices(), 4);
    EXPECT_DOUBLE_EQ(again.getVolume(), 100);
    again.clear();
    EXPECT_EQ(again.getNumVertices(), 0);
    EXPECT_EQ(again.getVolume(), 0.0);
    EXPECT_TRUE(again.getMainAxesLengths().isEmpty());
}

TEST(ModelMorphometry, SimpleStacksHaveOneContourPerSlice)
{
    const auto stackAt = [](const std::vector<std::vector<double>>& levels) {
        CurveStack<double> stack(3, 0, 0, 0, 0, false);
        for (const auto& zs : levels) {
            Curve<double> c(3, 0, 0, 0, false);
            for (double z : zs)
                c.append(Vector<double>{0, 0, z});
            stack.append(c);
        }
        return stack;
    };
    EXPECT_TRUE(ModelMorphometry::simpleCurveStack(stackAt({})));
    EXPECT_TRUE(ModelMorphometry::simpleCurveStack(stackAt({{1}})));
    EXPECT_TRUE(ModelMorphometry::simpleCurveStack(stackAt({{0, 0}, {1, 1}, {0}})));
    EXPECT_FALSE(ModelMorphometry::simpleCurveStack(stackAt({{0}, {1}, {1}})));
    // Only the first vertex of a level names its slice.
    EXPECT_TRUE(ModelMorphometry::simpleCurveStack(stackAt({{0, 1}, {1, 0}})));
    // A level without vertices lies between nothing.
    EXPECT_FALSE(ModelMorphometry::simpleCurveStack(stackAt({{2}, {}, {2}})));
}

} // namespace
