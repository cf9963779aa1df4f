#include "stack/stackreconstruction.h"

#include "stackfixture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <random>

using namespace stacktest;

namespace {

const double pi = 3.141592653589793;

template <typename T>
class StackReconstructionTyped : public ::testing::Test {};
using RealTypes = ::testing::Types<float, double, long double>;
TYPED_TEST_SUITE(StackReconstructionTyped, RealTypes);

// The 3D point of pixel (x, y) of slice k.
template <typename T>
Vector<double> place(const StackReconstruction<T>& r, int k, double x, double y)
{
    const Vector<T>& m = r.getMaps()[k];
    return Vector<double>{double(m[0]) * x + double(m[1]) * y + double(m[2]),
                          double(m[3]) * x + double(m[4]) * y + double(m[5]), double(r.getZMap()[k])};
}

void expectNear(const Vector<double>& a, const Vector<double>& b, double tol)
{
    ASSERT_EQ(a.getSize(), b.getSize());
    for (int i = 0; i < a.getSize(); ++i)
        EXPECT_NEAR(a[i], b[i], tol) << "coordinate " << i;
}

// A stack of random sizes, calibrations, positions and registrations.
void randomStack(Stack& stack, std::mt19937& rng, int n)
{
    std::uniform_int_distribution<int> size(20, 300), shift(-40, 40);
    std::uniform_real_distribution<float> pixel(0.2f, 3.0f), angle(0.0f, 359.9f), spacing(0.5f, 4.0f);
    stack.setDefaultRelativePosition(spacing(rng));
    for (int k = 0; k < n; ++k) {
        StackSlice* s = newSlice("s" + std::to_string(k), size(rng), size(rng), pixel(rng), pixel(rng));
        s->setRegistration(Registration(shift(rng), shift(rng), angle(rng)));
        if (k % 3 == 1)
            s->setRelativePosition(spacing(rng));
        stack.addSlice(s);
    }
}

} // namespace

TYPED_TEST(StackReconstructionTyped, AgreesWithComposedTransformsOnRandomStacks)
{
    using T = TypeParam;
    std::mt19937 rng(41);
    for (int run = 0; run < 20; ++run) {
        Stack stack;
        randomStack(stack, rng, 8);
        const StackReconstruction<T> r(stack);
        // Slice k's centred frame sits in slice k - 1's by its registration:
        // shifted in that slice's pixels, then turned by minus its angle.
        // Frames compose as complex maps p -> origin + turn * p.
        std::complex<double> origin = 0, turn = 1;
        for (int k = 0; k < 8; ++k) {
            const StackSlice& s = *stack.getSlice(k);
            const Registration& g = s.getRegistration();
            const double pw = s.getPixelCalibration().getPixelWidth();
            const double ph = s.getPixelCalibration().getPixelHeight();
            origin += turn * std::complex<double>(g.getHorizontalShift() * pw, -g.getVerticalShift() * ph);
            turn *= std::polar(1.0, -g.getRotationAngle() * pi / 180);
            const double x = 7, y = 13;
            const std::complex<double> centred(pw * (x - s.getImageSource().getSize2() / 2.0),
                                               -ph * (y - s.getImageSource().getSize1() / 2.0));
            const std::complex<double> world = origin + turn * centred;
            const Vector<double> expected{world.real(), world.imag(), double(s.getAbsolutePosition())};
            expectNear(place(r, k, x, y), expected, std::is_same_v<T, float> ? 1e-2 : 1e-8);
        }
    }
}

TYPED_TEST(StackReconstructionTyped, MappedItemsMapBackToTheirPixels)
{
    using T = TypeParam;
    std::mt19937 rng(43);
    std::uniform_int_distribution<int> coordinate(0, 299);
    for (int run = 0; run < 10; ++run) {
        Stack stack;
        randomStack(stack, rng, 6);
        auto* model = new Model;
        stack.addModel(model);
        for (int k = 0; k < 6; ++k) {
            Points points(25);
            for (auto& p : points)
                p = {coordinate(rng), coordinate(rng)};
            newItem(model, stack.getSlice(k), points);
        }
        const StackReconstruction<T> r(stack);
        for (const ModelItem* item : model->getItems()) {
            const std::unique_ptr<Vertices<T>> placed = r.apply(*item);
            ASSERT_TRUE(placed);
            const int k = stack.findSlice(item->getSlice());
            const Vector<T>& m = r.getMaps()[k];
            // The inverse of the slice's affine map.
            const double a = m[0], b = m[1], tx = m[2], c = m[3], d = m[4], ty = m[5];
            const double det = a * d - b * c;
            ASSERT_EQ(placed->getNumVertices(), item->getSize());
            EXPECT_EQ(placed->getSpace(), 3);
            for (int i = 0; i < item->getSize(); ++i) {
                const double X = double((*placed)[i][0]) - tx, Y = double((*placed)[i][1]) - ty;
                const double x = (d * X - b * Y) / det, y = (-c * X + a * Y) / det;
                const double tol = std::is_same_v<T, float> ? 2e-2 : 1e-6;
                EXPECT_NEAR(x, item->getVertices()[i][0], tol);
                EXPECT_NEAR(y, item->getVertices()[i][1], tol);
                EXPECT_EQ((*placed)[i][2], r.getZMap()[k]);
            }
        }
    }
}

TEST(StackReconstruction, ModelsBecomeStacksInSliceOrder)
{
    Stack stack;
    stack.setDefaultRelativePosition(1.0f);
    for (int k = 0; k < 4; ++k)
        stack.addSlice(newSlice("s" + std::to_string(k)));
    Model* outlines = newModel(stack, "outlines");
    Model* points = newModel(stack, "points", MPrimitive::Polypoint);
    Model* empty = newModel(stack, "empty", MPrimitive::Polyline);
    // Model order 3, 1, 1: levels follow the slices, then each slice's items.
    newItem(outlines, stack.getSlice(3), {{0, 0}, {1, 0}, {1, 1}});
    newItem(points, stack.getSlice(1), {{4, 4}});
    newItem(outlines, stack.getSlice(1), {{0, 0}, {2, 0}, {2, 2}, {0, 2}});
    newItem(outlines, stack.getSlice(1), {{5, 5}, {6, 5}, {6, 6}});

    const StackReconstruction<double> r(stack);
    const std::unique_ptr<VertexStack<double>> curves = r.apply(*outlines);
    auto* closed = dynamic_cast<CurveStack<double>*>(curves.get());
    ASSERT_NE(closed, nullptr);
    EXPECT_FALSE(closed->isOpen());
    ASSERT_EQ(closed->getHeight(), 3);
    EXPECT_EQ((*closed)[0].getNumVertices(), 4);
    EXPECT_EQ((*closed)[1].getNumVertices(), 3);
    EXPECT_EQ((*closed)[2][0][2], 3.0);

    const std::unique_ptr<VertexStack<double>> dots = r.apply(*points);
    EXPECT_EQ(dynamic_cast<CurveStack<double>*>(dots.get()), nullptr);
    EXPECT_EQ(dots->getHeight(), 1);
    EXPECT_TRUE(dynamic_cast<CurveStack<double>&>(*r.apply(*empty)).isOpen());

    // Items: a curve closed or open by geometry, nothing for an unknown one.
    const std::unique_ptr<Vertices<double>> one = r.apply(*outlines->getItem(0));
    ASSERT_NE(dynamic_cast<Curve<double>*>(one.get()), nullptr);
    outlines->getProperties().setGeometry(MPrimitive::Unknown);
    EXPECT_EQ(r.apply(*outlines->getItem(0)), nullptr);
    EXPECT_EQ(r.apply(*outlines), nullptr);
}

TEST(StackReconstruction, ItemsOutsideTheStackAreIgnored)
{
    Stack stack;
    stack.addSlice(newSlice("in"));
    Model model;
    std::unique_ptr<StackSlice> outside(newSlice("out"));
    ModelItem* item = newItem(&model, outside.get(), {{1, 2}});
    const StackReconstruction<float> r(stack);
    Vertices<float> out(3, 0, 0, 0);
    out.append(Vector<float>{9, 9, 9});
    ::testing::internal::CaptureStderr();
    r.map(out, *item);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "invalid stack/item pair in StackReconstruction (ignored)\n");
    ASSERT_EQ(out.getNumVertices(), 1);
    EXPECT_EQ(out[0], (Vector<float>{9, 9, 9}));

}
