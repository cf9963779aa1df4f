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

    Model* addModel(const std::string& name, MPrimitive geometry) { return stacktest::newModel(stack, name, geometry); }

    ModelItem* addItem(Model* model, int slice, const Points& points)
    {
        return stacktest::newItem(model, stack.getSlice(slice), points);
    }

    Stack stack;

private:
    int m_size;
    float m_pixel;
};

ModelMorphometry measure(const Model& model)
{
    ModelMorphometry m;
    m.setModel(model);
    m.run();
    return m;
}

const Points square = {{45, 45}, {55, 45}, {55, 55}, {45, 55}};

// Worked examples on 10 x 10 squares: one section is extruded by its own
// spacing and has no surface; two sections 5 apart make a prism; two
// contours on one slice (branching) have neither surface nor volume, though
// the centre is measured; lines have an open skin and no volume; models
// without vertices have nothing to measure.
TEST(ModelMorphometry, WorkedExamples)
{
    TestStack t(0, 0);
    t.addSlice(2);
    t.addSlice(5);
    Model* single = t.addModel("single", MPrimitive::Polygon);
    t.addItem(single, 0, square);
    const ModelMorphometry m = measure(*single);
    EXPECT_EQ(m.getNumContours(), 1);
    EXPECT_EQ(m.getNumVertices(), 4);
    EXPECT_DOUBLE_EQ(m.getVolume(), 200.0);
    EXPECT_DOUBLE_EQ(m.getArea(), 0.0);
    EXPECT_DOUBLE_EQ(m.getEquivRadius(), std::cbrt(600 / (4 * pi)));
    // Measuring again starts afresh.
    ModelMorphometry again = m;
    again.run();
    EXPECT_EQ(again.getNumVertices(), 4);

    Model* prism = t.addModel("prism", MPrimitive::Polygon);
    for (int k = 0; k < 2; ++k)
        t.addItem(prism, k, square);
    const ModelMorphometry p = measure(*prism);
    EXPECT_DOUBLE_EQ(p.getVolume(), 5 * 100 + 5 * 100);
    EXPECT_DOUBLE_EQ(p.getArea(), 4 * 10 * 5); // the four side walls
    EXPECT_EQ(p.getIsobarycenter(), (Vector<double>{0, 0, 2.5}));

    Model* branching = t.addModel("branching", MPrimitive::Polygon);
    t.addItem(branching, 0, square);
    t.addItem(branching, 1, square);
    t.addItem(branching, 1, {{60, 60}, {70, 60}, {70, 70}, {60, 70}});
    const ModelMorphometry b = measure(*branching);
    EXPECT_EQ(b.getNumContours(), 3);
    EXPECT_EQ(b.getArea(), -1.0);
    EXPECT_EQ(b.getVolume(), -1.0);
    EXPECT_EQ(b.getEquivRadius(), -1.0);
    EXPECT_EQ(b.getMainAxesLengths().getSize(), 3);

    Model* wall = t.addModel("wall", MPrimitive::Polyline);
    for (int k = 0; k < 2; ++k)
        t.addItem(wall, k, {{45, 50}, {50, 50}, {55, 50}});
    const ModelMorphometry w = measure(*wall);
    EXPECT_DOUBLE_EQ(w.getArea(), 10 * 5);
    EXPECT_EQ(w.getVolume(), 0.0);
    EXPECT_EQ(w.getEquivRadius(), 0.0);

    const ModelMorphometry e = measure(*t.addModel("empty", MPrimitive::Polygon));
    EXPECT_EQ(e.getNumContours(), 0);
    EXPECT_EQ(e.getVolume(), -1.0);
    EXPECT_TRUE(e.getIsobarycenter().isEmpty());
    Model* blank = t.addModel("blank", MPrimitive::Polygon);
    t.addItem(blank, 0, {});
    EXPECT_EQ(measure(*blank).getNumContours(), 1);
    EXPECT_EQ(measure(*blank).getVolume(), -1.0);
    EXPECT_PLEXAN_THROW(ModelMorphometry().run(), UsageError, "void ModelMorphometry::run()", "No model to measure");
}

// An outline drawn the other way round subtracts its area from the slice's
// section: a square and an equal clockwise square cancel, so the slice is
// passed over and only the other slice counts; a hole leaves the ring.
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
    t.addItem(model, 1, {{12, 12}, {12, 14}, {14, 14}, {14, 12}});
    EXPECT_DOUBLE_EQ(ModelMorphometry::slabVolume(reconstruction, *model), 5 * 96);
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
            Points circle; // pixels of 0.001 (as a float) around (10000, 10000)
            for (int i = 0; i < n; ++i)
                circle.emplace_back(int(std::lround(10000 + rho * std::cos(2 * pi * i / n) / double(0.001f))),
                                    int(std::lround(10000 - rho * std::sin(2 * pi * i / n) / double(0.001f))));
            t.addItem(model, j, circle);
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
    // Only the first vertex of a level names its slice; a level without
    // vertices lies between nothing.
    const std::pair<std::vector<std::vector<double>>, bool> cases[] = {
        {{}, true}, {{{1}}, true}, {{{0, 0}, {1, 1}, {0}}, true}, {{{0}, {1}, {1}}, false},
        {{{0, 1}, {1, 0}}, true}, {{{2}, {}, {2}}, false}};
    for (const auto& [levels, simple] : cases)
        EXPECT_EQ(ModelMorphometry::simpleCurveStack(stackAt(levels)), simple) << levels.size() << " levels";
}

} // namespace
