#include "statistics/modeldensitymap.h"

#include "stack/model.h"
#include "stack/stack.h"
#include "stack/stackfixture.h"
#include "statisticstesting.h"

#include <algorithm>
#include <array>

using namespace stacktest;
using statisticstesting::RealTypes;

namespace {

using Point = std::array<double, 3>;
const int imageSize = 100;

// A specimen: slices at the given positions, each with its shift (pixels)
// and its points (pixels); pw the pixel size.
struct Specimen {
    double pw;
    std::vector<double> positions;
    std::vector<std::pair<int, int>> shifts;
    std::vector<Points> points;
};

const Specimen first{0.5, {0.0, 3.0}, {{0, 0}, {0, 0}}, {{{10, 20}, {30, 40}, {55, 70}, {80, 15}}, {{20, 25}, {60, 60}, {45, 85}}}};
const Specimen second{1.0, {0.0, 2.0, 4.0}, {{0, 0}, {5, -3}, {2, 4}}, {{{40, 50}, {70, 30}}, {{15, 65}, {50, 50}, {90, 90}}, {{35, 20}}}};

void build(Stack& stack, const Specimen& s, const std::string& modelName = "spots",
           MPrimitive geometry = MPrimitive::Polypoint)
{
    stack.setName("specimen");
    stack.setLengthUnit(LengthUnit(-6));
    auto* model = new Model(modelName);
    model->getProperties().setGeometry(geometry);
    stack.addModel(model);
    for (std::size_t k = 0; k < s.positions.size(); ++k) {
        const auto pw = static_cast<float>(s.pw);
        StackSlice* slice = newSlice("s" + std::to_string(k), imageSize, imageSize, pw, pw);
        slice->setAbsolutePosition(static_cast<float>(s.positions[k]));
        slice->setRegistration(Registration(s.shifts[k].first, s.shifts[k].second, 0.0f));
        stack.addSlice(slice);
        newItem(model, slice, s.points[k]);
    }
}

// The specimen's points in its stack frame: pixels centred, y turned up,
// scaled, and moved by the shifts of the slice and of those before it.
std::vector<Point> placed(const Specimen& s)
{
    std::vector<Point> out;
    int h = 0, v = 0;
    for (std::size_t k = 0; k < s.positions.size(); ++k) {
        h += s.shifts[k].first;
        v += s.shifts[k].second;
        for (const auto& [x, y] : s.points[k])
            out.push_back({s.pw * (x - imageSize / 2.0 + h), -s.pw * (y - imageSize / 2.0 + v), s.positions[k]});
    }
    return out;
}

double kthDistance(const std::vector<Point>& pattern, const Point& p, int k)
{
    std::vector<double> d;
    for (const Point& q : pattern)
        d.push_back(std::hypot(q[0] - p[0], q[1] - p[1], q[2] - p[2]));
    std::sort(d.begin(), d.end());
    return d[static_cast<std::size_t>(std::min<int>(k, static_cast<int>(d.size())) - 1)];
}

template <typename T>
class ModelDensityMapTest : public ::testing::Test {};
TYPED_TEST_SUITE(ModelDensityMapTest, RealTypes);

} // namespace

// Each stack is one pattern in its own frame; the pooled density at every
// sample of the grid is the k-th neighbour formula over the union of the
// neighbour balls, and the box is the points' box with its margin.
TYPED_TEST(ModelDensityMapTest, PooledDensityEqualsTheFormulaAtEverySample)
{
    using T = TypeParam;
    Stack a, b;
    build(a, first);
    build(b, second);
    const std::vector<std::vector<Point>> patterns{placed(first), placed(second)};
    ModelDensityMap<T> map;
    statisticstesting::RecordingMonitor monitor;
    map.addMonitor(monitor);
    map.addStack(a);
    map.addStack(b);
    map.addStack(a);
    map.setModelName("spots");
    map.setNeighbourRank(2);
    map.setGridSize(6, 5, 4);
    map.compute();
    ASSERT_EQ(map.getNumPatterns(), 2);
    EXPECT_EQ(map.getNumPoints(), 13);
    ASSERT_FALSE(monitor.started.empty());
    EXPECT_EQ(monitor.started.front(), "Poisson density estimation");

    Point lower{1e9, 1e9, 1e9}, upper{-1e9, -1e9, -1e9};
    for (const auto& pattern : patterns)
        for (const Point& p : pattern)
            for (int d = 0; d < 3; ++d)
                lower[d] = std::min(lower[d], p[d]), upper[d] = std::max(upper[d], p[d]);
    const double margin = 0.1 * std::max({upper[0] - lower[0], upper[1] - lower[1], upper[2] - lower[2]});
    const BoundingBox<T>& box = map.getBoundingBox();
    const VoxelMatrix<T>& density = map.getDensity();
    ASSERT_EQ(density.getSize(), (Vector<int>{6, 5, 4}));
    const int n[3] = {6, 5, 4};
    const Vector<float>& voxel = density.getVoxelCalibration().getVoxelSize();
    EXPECT_EQ(density.getVoxelCalibration().getLengthUnit(), LengthUnit(-6));
    // The percentiles read a grid whose cell centres are the samples.
    EXPECT_EQ(map.getGrid().firstCellCentre(), box.getVertex1());
    for (int d = 0; d < 3; ++d) {
        EXPECT_NEAR(box.min(d), lower[d] - margin, 1e-4);
        EXPECT_NEAR(box.max(d), upper[d] + margin, 1e-4);
        EXPECT_NEAR(voxel[d], (upper[d] - lower[d] + 2 * margin) / (n[d] - 1), 1e-4);
    }

    const double numerator = (2 * 2 - 1) * 0.75 / statisticstesting::pi;
    for (int k = 0; k < 4; ++k)
        for (int i = 0; i < 6; ++i)
            for (int j = 0; j < 5; ++j) {
                const int index[3] = {i, j, k};
                Point p;
                for (int d = 0; d < 3; ++d)
                    p[d] = static_cast<double>(box.min(d)) + index[d] * static_cast<double>(voxel[d]);
                const double expected =
                    numerator / (std::pow(kthDistance(patterns[0], p, 2), 3) + std::pow(kthDistance(patterns[1], p, 2), 3));
                EXPECT_NEAR(static_cast<double>(density(i, j, k)), expected, 1e-4 * expected) << i << " " << j << " " << k;
            }

    // As a histogram without margin: every point counted once, in cells of
    // the points' own box, the upper corner in the last cell.
    map.setMethod(ModelDensityMap<T>::Histogram);
    map.setMargin(0.0);
    map.setGridSize(4, 3, 2);
    map.compute();
    EXPECT_EQ(map.getDensity().cat().sum(), T(13));
    EXPECT_EQ(map.getDensity()(1, 1, 0), T(3)); // points of both specimens near the centre
    EXPECT_EQ(map.getDensity()(3, 0, 1), T(1));
    for (int d = 0; d < 3; ++d)
        EXPECT_NEAR(map.getBoundingBox().width(d), upper[d] - lower[d], 1e-4);
    EXPECT_EQ(map.getGrid().getBoundingBox().getVertex1(), map.getBoundingBox().getVertex1());
}

TEST(ModelDensityMap, RefusesWhatItCannotMap)
{
    const char* where = "void ModelDensityMap<T>::compute()";
    ModelDensityMap<float> map;
    map.setModelName("spots");
    EXPECT_PLEXAN_THROW(map.compute(), ValueError, where, "No stack to map");
    EXPECT_PLEXAN_THROW(map.percentiles({50.0f}), UsageError,
                        "Vector<T> ModelDensityMap<T>::percentiles(const std::vector<float>&) const",
                        "No density was computed yet");
    Stack outlines, a, millimetres;
    build(outlines, first, "spots", MPrimitive::Polygon);
    map.addStack(outlines);
    EXPECT_PLEXAN_THROW(map.compute(), ValueError, where, "Model \"spots\" of stack \"specimen\" is not a point model");
    map.clearStacks();
    build(a, first);
    build(millimetres, second);
    millimetres.setLengthUnit(LengthUnit(-3));
    map.addStack(a);
    map.addStack(millimetres);
    EXPECT_PLEXAN_THROW(map.compute(), ValueError, where, "Stacks \"specimen\" and \"specimen\" differ in length unit");
    EXPECT_PLEXAN_THROW(map.setGridSize(1024, 1024, 1024), SizeError, "void ModelDensityMap<T>::setGridSize(int, int, int)",
                        "Density grid is too large: 1024 x 1024 x 1024");
    EXPECT_THROW(map.setMargin(-0.5), ValueError);
}
