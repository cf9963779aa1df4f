#include "geometry/shapeset.h"

#include "geometry/quadmesh.h"
#include "geometry/vertexstack.h"
#include "support/expect.h"

#include <cmath>
#include <memory>
#include <random>

namespace {

template <typename T>
class ShapeSetAveragingTest : public ::testing::Test {};
using RealTypes = ::testing::Types<float, double, long double>;
TYPED_TEST_SUITE(ShapeSetAveragingTest, RealTypes);

template <typename T>
Vertices<T>* randomList(std::mt19937& rng, int n)
{
    std::uniform_real_distribution<double> u(-10, 10);
    auto* list = new Vertices<T>(3, n);
    for (int i = 0; i < n; ++i)
        (*list)[i] = Vector<T>{T(u(rng)), T(u(rng)), T(u(rng))};
    return list;
}

// A closed elliptic tube whose first column sits at angle phase.
template <typename T>
QuadMesh<T>* tube(int height, int width, double phase, double shift)
{
    auto* mesh = new QuadMesh<T>(3, height, width);
    for (int r = 0; r < height; ++r)
        for (int c = 0; c < width; ++c) {
            const double t = phase + 2 * 3.141592653589793 * c / width;
            (*mesh)[r][c] = Vector<T>{T(shift + 5 * std::cos(t)), T(2 * std::sin(t)), T(r)};
        }
    return mesh;
}

} // namespace

TYPED_TEST(ShapeSetAveragingTest, RmsDistancesPairEntriesAndSkipMissingShapes)
{
    using T = TypeParam;
    std::mt19937 rng(1);
    ShapeSet<T> a("a"), b("b");
    a.addShape(randomList<T>(rng, 7), true, true);
    b.addShape(randomList<T>(rng, 7), true, true);
    a.addShape(nullptr);
    b.addShape(randomList<T>(rng, 3), false, true);
    a.addShape(randomList<T>(rng, 4), false, true);
    b.addShape(randomList<T>(rng, 4), false, true);
    const Vector<T> d = a.rmsDistances(b);
    ASSERT_EQ(d.getSize(), 2);
    for (int k = 0; k < 2; ++k) {
        const Vector<T> x = a[2 * k]->toVector(), y = b[2 * k]->toVector();
        double sum = 0;
        for (int i = 0; i < x.getSize(); ++i)
            sum += std::pow(double(x[i]) - double(y[i]), 2);
        EXPECT_NEAR(double(d[k]), std::sqrt(sum / (x.getSize() / 3)), 1e-5);
    }
    b.addShape(nullptr);
    EXPECT_PLEXAN_THROW(a.rmsDistances(b), SizeError, "Vector<T> ShapeSet<T>::rmsDistances(const ShapeSet&) const",
                        "Shape sets differ in number of entries");
}

TYPED_TEST(ShapeSetAveragingTest, MatchingTurnsMeshColumnsOntoTheOtherSet)
{
    using T = TypeParam;
    ShapeSet<T> moving("moving"), target("target");
    // The same tube, its columns starting three columns further round.
    moving.addShape(tube<T>(4, 12, 3 * 2 * 3.141592653589793 / 12, 0.5), true, true);
    target.addShape(tube<T>(4, 12, 0.0, 0.0), true, true);
    std::mt19937 rng(2);
    Vertices<T>* points = randomList<T>(rng, 5);
    moving.addShape(points, false, true);
    target.addShape(randomList<T>(rng, 5), false, true);
    const Vector<T> before = points->toVector();

    EXPECT_GT(moving.rmsDistances(target)[0], T(3));
    moving.matchSurfaces(target);
    EXPECT_NEAR(moving.rmsDistances(target)[0], T(0.5), T(1e-5));
    EXPECT_TRUE(points->toVector() == before);
}

TYPED_TEST(ShapeSetAveragingTest, AverageIsTheVertexWiseMean)
{
    using T = TypeParam;
    std::mt19937 rng(3);
    ShapeSet<T> set("lists");
    std::vector<Vertices<T>*> lists;
    for (int s = 0; s < 3; ++s) {
        lists.push_back(randomList<T>(rng, 6));
        set.addShape(lists.back(), false, true);
        if (s == 0)
            set.addShape(nullptr);
    }
    lists[0]->setName("first");
    std::unique_ptr<Shape<T>> mean(set.average());
    ASSERT_TRUE(mean);
    EXPECT_EQ(mean->getName(), "first");
    EXPECT_NE(mean->getServer(), lists[0]->getServer());
    const auto& m = dynamic_cast<const Vertices<T>&>(*mean);
    for (int i = 0; i < 6; ++i)
        for (int c = 0; c < 3; ++c)
            EXPECT_NEAR(m[i][c], ((*lists[0])[i][c] + (*lists[1])[i][c] + (*lists[2])[i][c]) / T(3), T(1e-5));

    // Meshes average into a mesh with caps of its own.
    ShapeSet<T> meshes("meshes");
    QuadMesh<T>* a = tube<T>(3, 8, 0.0, 0.0);
    a->buildCaps();
    meshes.addShape(a, true, true);
    meshes.addShape(tube<T>(3, 8, 0.0, 2.0), true, true);
    std::unique_ptr<Shape<T>> meanMesh(meshes.average());
    const auto* q = dynamic_cast<const QuadMesh<T>*>(meanMesh.get());
    ASSERT_TRUE(q && q->hasBeginCap() && q->hasEndCap());
    EXPECT_NEAR((*q)[1][0][0], T(6), T(1e-5));
    EXPECT_NEAR((*q->getBeginCap())[0][0][0], T(6), T(1e-5)); // the cap's rim is the mean contour

    meshes.addShape(randomList<T>(rng, 24), true, true);
    EXPECT_PLEXAN_THROW(meshes.average(), ValueError, "Shape<T>* ShapeSet<T>::average() const",
                        "Shapes in this set are not of the same type");
    // A mesh of another size before the list: the types are refused first.
    ShapeSet<T> mixed("mixed");
    mixed.addShape(tube<T>(3, 8, 0.0, 0.0), true, true);
    mixed.addShape(tube<T>(2, 8, 0.0, 0.0), true, true);
    mixed.addShape(randomList<T>(rng, 5), true, true);
    EXPECT_PLEXAN_THROW(mixed.average(), ValueError, "Shape<T>* ShapeSet<T>::average() const",
                        "Shapes in this set are not of the same type");
    ShapeSet<T> empty;
    empty.addShape(nullptr);
    EXPECT_EQ(empty.average(), nullptr);
}

TYPED_TEST(ShapeSetAveragingTest, MeanOfSetsGoesStructureByStructure)
{
    using T = TypeParam;
    std::mt19937 rng(4);
    ShapeSet<T> a("a"), b("b"), c("c");
    // Structure 0 in all, structure 1 missing from a, structure 2 of
    // different vertex counts, structure 3 nowhere.
    Vertices<T>* a0 = randomList<T>(rng, 5);
    Vertices<T>* b0 = randomList<T>(rng, 5);
    Vertices<T>* c0 = randomList<T>(rng, 5);
    a.addShape(a0, true, true);
    b.addShape(b0, true, true);
    c.addShape(c0, true, true);
    a.addShape(nullptr, false);
    Vertices<T>* b1 = randomList<T>(rng, 4);
    b.addShape(b1, false, true);
    c.addShape(randomList<T>(rng, 4), true, true);
    a.addShape(randomList<T>(rng, 3), false, true);
    b.addShape(randomList<T>(rng, 8), false, true);
    c.addShape(nullptr);
    a.addShape(nullptr);

    const ShapeSet<T> mean = ShapeSet<T>::computeMean({&a, &b, &c});
    ASSERT_EQ(mean.getNumShapes(), 4);
    ASSERT_TRUE(mean[0] && mean[1]);
    EXPECT_EQ(mean[2], nullptr);
    EXPECT_EQ(mean[3], nullptr);
    EXPECT_TRUE(mean.isReference(0));
    EXPECT_FALSE(mean.isReference(1)); // b is the first set holding it
    EXPECT_TRUE(mean.isOwned(0));
    const auto& m0 = dynamic_cast<const Vertices<T>&>(*mean[0]);
    const auto& m1 = dynamic_cast<const Vertices<T>&>(*mean[1]);
    const auto& c1 = dynamic_cast<const Vertices<T>&>(*c[1]);
    for (int i = 0; i < 4; ++i)
        for (int k = 0; k < 3; ++k) {
            EXPECT_NEAR(m0[i][k], ((*a0)[i][k] + (*b0)[i][k] + (*c0)[i][k]) / T(3), T(1e-5));
            EXPECT_NEAR(m1[i][k], ((*b1)[i][k] + c1[i][k]) / T(2), T(1e-5));
        }
}

// Regression: a structure outlined as a mesh in one set and marked by points
// (another vertex count) in the other had a silent null mean; shapes of
// different types have no mean whatever their sizes.
TYPED_TEST(ShapeSetAveragingTest, MeanOfSetsRefusesShapesOfDifferentTypes)
{
    using T = TypeParam;
    std::mt19937 rng(5);
    ShapeSet<T> outlined("outlined"), marked("marked");
    QuadMesh<T>* mesh = tube<T>(3, 8, 0.0, 0.0);
    mesh->buildCaps();
    outlined.addShape(mesh, true, true);
    marked.addShape(randomList<T>(rng, 7), true, true);
    EXPECT_PLEXAN_THROW(ShapeSet<T>::computeMean({&outlined, &marked}), ValueError,
                        "Shape<T>* ShapeSet<T>::average() const", "Shapes in this set are not of the same type");
    // Equal counts are refused alike.
    ShapeSet<T> same("same");
    same.addShape(randomList<T>(rng, mesh->getNumVertices()), true, true);
    EXPECT_PLEXAN_THROW(ShapeSet<T>::computeMean({&outlined, &same}), ValueError,
                        "Shape<T>* ShapeSet<T>::average() const", "Shapes in this set are not of the same type");
}
