// Shapes as a whole: the shape files (every type written and read back,
// malformed and damaged files refused with file errors), and the shape-wide
// geometry against independent computations: moments, principal axes and
// rigid registration against known rotations, distances against exhaustive
// search.

#include "geometry/shape.h"

#include "geometry/curvestack.h"
#include "geometry/quadmesh.h"
#include "geometry/shapeset.h"
#include "geometry/trimesh.h"
#include "meshfixtures.h"
#include "support/expect.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <sstream>

namespace {

namespace fs = std::filesystem;

template <typename T>
class ShapeFileTest : public ::testing::Test {
protected:
    void SetUp() override { fs::create_directories(m_directory); }
    void TearDown() override { fs::remove_all(m_directory); }
    std::string path(const std::string& name) const { return (m_directory / name).string(); }
    std::string write(const std::string& name, const std::string& text) const
    {
        std::ofstream(path(name)) << text;
        return path(name);
    }

    const fs::path m_directory = fs::temp_directory_path() /
                                 ("plexan-shape-" + std::to_string(::getpid()) + "-" +
                                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
};
using CoordinateTypes = ::testing::Types<int, float, double, long double>;
TYPED_TEST_SUITE(ShapeFileTest, CoordinateTypes);

// Coordinates that the default six-digit text form keeps exactly.
template <typename T>
T exactValue(std::mt19937& rng)
{
    std::uniform_int_distribution<int> k(-8000, 8000);
    return std::is_integral_v<T> ? static_cast<T>(k(rng)) : static_cast<T>(k(rng) / 8.0);
}

template <typename T>
void fill(Shape<T>& shape, std::mt19937& rng)
{
    for (VertexIterator<T> it(shape); it.current(); ++it)
        for (T& x : *it.current())
            x = exactValue<T>(rng);
}

// Every shape class, with random coordinates and its own structure.
template <typename T>
std::vector<std::unique_ptr<Shape<T>>> everyShapeType()
{
    std::mt19937 rng(17);
    std::vector<std::unique_ptr<Shape<T>>> shapes;
    shapes.push_back(std::make_unique<Curve<T>>(2, 7, 0, 0, false));
    shapes.push_back(std::make_unique<Curve<T>>(3, 5, 0, 0, true));
    shapes.push_back(std::make_unique<CurveStack<T>>(3, 4, 6, 0, 0, false));
    auto open = std::make_unique<CurveStack<T>>(2, 0, 0, 0, 0, true);
    for (int n : {3, 0, 5})
        open->append(Curve<T>(2, n, 0, 0, true)); // levels of different sizes, one empty
    shapes.push_back(std::move(open));
    shapes.push_back(std::make_unique<QuadMesh<T>>(3, 3, 5, 0, 0, false));
    shapes.push_back(std::make_unique<QuadMesh<T>>(3, 2, 4, 0, 0, true));
    shapes.push_back(std::make_unique<Vertices<T>>(4, 9));
    shapes.push_back(std::make_unique<VertexStack<T>>(3, 3, 2));
    auto mesh = std::make_unique<TriMesh<T>>(3, 5);
    mesh->addTriangle(0, 1, 2);
    mesh->addTriangle(2, 3, 4);
    mesh->addTriangle(4, 0, 1);
    shapes.push_back(std::move(mesh));
    for (auto& shape : shapes)
        fill(*shape, rng);
    return shapes;
}

// The same coordinates, and the same text: type, space, levels, triangles.
template <typename T>
void expectSameShape(const Shape<T>& read, const Shape<T>& written)
{
    EXPECT_EQ(read.toVector(), written.toVector());
    std::ostringstream a, b;
    read.write(a);
    written.write(b);
    EXPECT_EQ(a.str(), b.str());
}

TYPED_TEST(ShapeFileTest, EveryShapeTypeReadsBackAsWritten)
{
    using T = TypeParam;
    for (const auto& shape : everyShapeType<T>()) {
        const int type = shape->getShapeType();
        SCOPED_TRACE("shape type " + std::to_string(type));
        const std::string base = this->path("shape" + std::to_string(type));
        shape->save(base);
        const std::string file = base + Shape<T>::extension(type);
        ASSERT_TRUE(fs::exists(file));

        std::unique_ptr<Shape<T>> loaded(Shape<T>::loadFile(file));
        expectSameShape(*loaded, *shape);

        // The same through load into a shape of the right class.
        std::unique_ptr<Shape<T>> again(shape->clone());
        again->load(file);
        expectSameShape(*again, *shape);
    }
}

TYPED_TEST(ShapeFileTest, TextFormIsTheDocumentedOne)
{
    using T = TypeParam;
    std::ostringstream text;
    fixtures::polygon<T>({{1, -2}, {30, 4}}, true).write(text);
    EXPECT_EQ(text.str(), "# 1\n# 2\n# 2\n1 -2\n30 4\n");

    VertexStack<T> stack(2, 2, 1);
    stack[0][0] = Vector<T>{5, 6};
    stack[1][0] = Vector<T>{-7, 8};
    stack.append(Vertices<T>());
    text.str("");
    stack.write(text);
    EXPECT_EQ(text.str(), "# 7\n# 2\n# 3\n# 1\n5 6\n# 1\n-7 8\n# 0\n");
}

TYPED_TEST(ShapeFileTest, SaveAddsTheExtensionAndKeepsExistingFiles)
{
    using T = TypeParam;
    Vertices<T> v(2, 1);
    v[0] = Vector<T>{1, 2};
    v.save(this->path("points.vx"));
    EXPECT_TRUE(fs::exists(this->path("points.vx")));
    EXPECT_FALSE(fs::exists(this->path("points.vx.vx")));

    v[0][0] = 5;
    EXPECT_PLEXAN_THROW(v.save(this->path("points")), FileWriteError,
                        "void Shape::save(const string&,const bool) const", "File already exists");
    EXPECT_EQ(Vertices<T>(this->path("points.vx"))[0][0], T(1));
    v.save(this->path("points"), true);
    EXPECT_EQ(Vertices<T>(this->path("points.vx"))[0][0], T(5));
    EXPECT_EQ(std::distance(fs::directory_iterator(this->m_directory), fs::directory_iterator()), 1);
}

TYPED_TEST(ShapeFileTest, MalformedFilesRaiseFileErrors)
{
    // One file of every kind of fault; hostile counts are refused once the
    // data runs out, without allocating for them.
    using T = TypeParam;
    const char* loadFile = "Shape<T>* Shape<T>::loadFile(const string&)";
    const char* vertices = "void Vertices<T>::read(istream&)";
    const char* stack = "void VertexStack<T>::read(istream&)";
    const struct {
        const char* text;
        const char* where;
        const char* what;
    } cases[] = {
        {"6\n# 2\n# 0\n", loadFile, "Invalid shape description format"},
        {"# 9\n# 2\n# 0\n", loadFile, "Unknown shape type"},
        {"# 6\n# 2\n# 3\n1 2\n3 4\n5\n", vertices, "Truncated or malformed vertex data"},
        {"# 6\n# 2\n# 2000000000\n1 2\n", vertices, "Truncated or malformed vertex data"},
        {"# 6\n# 2\n# -4\n", vertices, "Invalid number of vertices"},
        {"# 6\n# 2000000000\n# 1\n1\n", vertices, "Invalid space dimension"},
        {"# 6\n# 2\n# 99999999999999\n", vertices, "Invalid shape description format"},
        {"# 7\n# 3\n# 2000000000\n# 1\n1 2 3\n", stack, "Invalid shape description format"},
        {"# 7\n# 3\n# 1\n# 2000000000\n1 2 3\n", stack, "Truncated or malformed vertex data"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_PLEXAN_THROW(delete Shape<T>::loadFile(this->write("bad", c.text)), FileFormatError, c.where, c.what);
    }
    try {
        delete Shape<T>::loadFile(this->write("bad", cases[0].text));
        ADD_FAILURE() << "no exception";
    } catch (const FileFormatError& e) {
        EXPECT_EQ(e.getFile(), this->path("bad"));
    }
    EXPECT_PLEXAN_THROW(Shape<T>::loadFile(this->path("missing")), FileReadError, loadFile,
                        "Cannot open file for reading");
    EXPECT_PLEXAN_THROW(Vertices<T>().load(this->path("missing")), FileReadError, "Shape<T>::load(const string&)",
                        "Cannot open file for reading");
    // A stack file is no vertex list.
    EXPECT_THROW(Vertices<T>().load(this->write("stack", "# 7\n# 2\n# 0\n")), FileFormatError);
}

TYPED_TEST(ShapeFileTest, DamagedFilesNeverCrash)
{
    // Every prefix of valid files, and copies with one character changed:
    // each either loads or raises a library exception.
    using T = TypeParam;
    std::mt19937 rng(23);
    for (const auto& shape : everyShapeType<T>()) {
        std::ostringstream text;
        shape->write(text);
        const std::string good = text.str(), junk = "#-9 .e\n7";
        for (std::size_t n = 0; n < good.size() + 120; n += 3) {
            std::string s = good.substr(0, n);
            if (n >= good.size())
                (s = good)[rng() % s.size()] = junk[rng() % junk.size()];
            try {
                delete Shape<T>::loadFile(this->write("damaged", s));
            } catch (const Exception&) {
            }
        }
    }
}

// Geometry ------------------------------------------------------------------

template <typename T>
class ShapeGeometryTest : public ::testing::Test {};
using RealTypes = ::testing::Types<float, double, long double>;
TYPED_TEST_SUITE(ShapeGeometryTest, RealTypes);

template <typename T>
T tolerance()
{
    return std::is_same_v<T, float> ? T(2e-3) : T(1e-9);
}

// A proper rotation from Euler angles.
template <typename T>
SquareMatrix<T> rotation(double a, double b, double c)
{
    auto axis = [](int i, double angle) {
        SquareMatrix<double> m(3);
        m.fill(0);
        const int j = (i + 1) % 3, k = (i + 2) % 3;
        m(i, i) = 1;
        m(j, j) = m(k, k) = std::cos(angle);
        m(j, k) = -std::sin(angle);
        m(k, j) = std::sin(angle);
        return m;
    };
    const Matrix<double> r = axis(2, a) * axis(0, b) * axis(2, c);
    SquareMatrix<T> out(3);
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            out(i, j) = static_cast<T>(r(i, j));
    return out;
}

// A copy on its own pool, mapped by m then translated by t.
template <typename T>
Vertices<T> moved(const Vertices<T>& shape, const Matrix<T>& m, const Vector<T>& t)
{
    Vertices<T> copy(shape);
    copy.detach();
    copy.multiply(m);
    copy.translate(t);
    return copy;
}

// An elongated random cloud with distinct principal moments.
template <typename T>
Vertices<T> ellipsoidCloud(int n, unsigned seed)
{
    std::mt19937 rng(seed);
    std::normal_distribution<double> normal(0.0, 1.0);
    Vertices<T> v(3, n);
    for (int i = 0; i < n; ++i)
        v[i] = Vector<T>{T(5 * normal(rng)), T(2 * normal(rng)), T(0.5 * normal(rng))};
    return v;
}

TYPED_TEST(ShapeGeometryTest, CentreMovesAndLinearMaps)
{
    using T = TypeParam;
    // A square with its first vertex listed again at the end: the centre of
    // gravity is pulled towards that vertex, and translating the list moves
    // that vertex twice, in the pool shared with the square.
    Vertices<T> square = fixtures::polygon<T>({{0, 0}, {4, 0}, {4, 4}, {0, 4}});
    Vertices<T> repeated(square);
    repeated.setSize(5, false);
    EXPECT_EQ(square.cog(), (Vector<T>{2, 2}));
    EXPECT_EQ(repeated.cog(), (Vector<T>{T(8) / T(5), T(8) / T(5)}));
    repeated.translate(Vector<T>{1, 2});
    EXPECT_EQ(square[0], (Vector<T>{2, 4}));
    EXPECT_EQ(square[1], (Vector<T>{5, 2}));
    square.center();
    EXPECT_EQ(square.cog(), (Vector<T>{0, 0}));

    // A quarter turn, and the box that spans the result.
    SquareMatrix<T> quarter(2);
    quarter.fill(0);
    quarter(0, 1) = -1;
    quarter(1, 0) = 1;
    Vertices<T> turned = moved(square, quarter, Vector<T>{0, 0});
    EXPECT_EQ(turned.toVector(), (Vector<T>{T(0.5), T(-1.25), T(2.5), T(1.75), T(-1.5), T(1.75), T(-1.5), T(-2.25)}));
    EXPECT_EQ(turned.boundingBox().getVertex1(), (Vector<T>{T(-1.5), T(-2.25)}));
    EXPECT_EQ(turned.boundingBox().getVertex2(), (Vector<T>{T(2.5), T(1.75)}));
    EXPECT_THROW(turned.multiply(SquareMatrix<T>(3)), SizeError);
    EXPECT_THROW(turned.translate(Vector<T>{1, 2, 3}), SizeError);

    // Integer shapes round their centre and refuse the moments.
    const Vertices<int> three = fixtures::polygon<int>({{0, 0}, {1, 0}, {1, 0}});
    EXPECT_EQ(three.cog(), (Vector<int>{1, 0})); // 2/3 rounds to 1
    EXPECT_THROW(three.inertia(), TypeError);
    EXPECT_THROW(three.principalAxes(), TypeError);
}

TYPED_TEST(ShapeGeometryTest, PrincipalAxesFollowARotation)
{
    using T = TypeParam;
    const Vertices<T> cloud = ellipsoidCloud<T>(400, 1);
    Vector<T> g, values;
    const SquareMatrix<T> m = cloud.inertia(g);
    // Second moments straight from their definition.
    for (int a = 0; a < 3; ++a)
        for (int b = 0; b < 3; ++b) {
            long double s = 0;
            for (int i = 0; i < 400; ++i)
                s += (static_cast<long double>(cloud[i][a]) - g[a]) * (static_cast<long double>(cloud[i][b]) - g[b]);
            EXPECT_NEAR(m(a, b), s, tolerance<T>() * 400 * 25);
        }
    const SquareMatrix<T> axes = cloud.principalAxes(values);
    EXPECT_GT(values[0], values[1]);
    EXPECT_GT(values[1], values[2]);

    // Rotated and shifted, the axes rotate with the shape (up to their sign)
    // and the moments stay.
    const SquareMatrix<T> r = rotation<T>(0.4, 1.1, -0.7);
    Vertices<T> shape = moved(cloud, r, Vector<T>{10, -3, 7});
    Vector<T> movedValues;
    const SquareMatrix<T> movedAxes = shape.principalAxes(movedValues);
    const Matrix<T> expected = r * axes;
    for (int k = 0; k < 3; ++k) {
        EXPECT_NEAR(movedValues[k], values[k], tolerance<T>() * values[0]);
        T dot = 0;
        for (int a = 0; a < 3; ++a)
            dot += movedAxes(a, k) * expected(a, k);
        EXPECT_NEAR(std::fabs(dot), T(1), tolerance<T>());
    }

    // In its principal-axes frame the shape is centred and its inertia
    // diagonal, moments by decreasing size.
    shape.applyPAT();
    const SquareMatrix<T> diagonal = shape.inertia();
    for (int a = 0; a < 3; ++a) {
        EXPECT_NEAR(shape.cog()[a], T(0), tolerance<T>() * 10);
        for (int b = 0; b < 3; ++b)
            EXPECT_NEAR(diagonal(a, b), a == b ? values[a] : T(0), tolerance<T>() * values[0]);
    }
}

TYPED_TEST(ShapeGeometryTest, RegistrationRecoversARigidMotion)
{
    using T = TypeParam;
    const Vertices<T> shape = ellipsoidCloud<T>(200, 2);
    const SquareMatrix<T> r = rotation<T>(2.5, -0.8, 1.9);
    const Vector<T> t{T(4), T(-12), T(0.5)};
    const Vertices<T> target = moved(shape, r, t);
    Vector<T> translation;
    SquareMatrix<T> found, again;
    shape.computeLSRegistration(translation, found, target);
    EXPECT_NEAR(moved(shape, found, translation).rmsDistance(target), T(0), tolerance<T>() * 20);

    // With correspondences: the target listed in another order.
    Vertices<T> shuffled(target);
    Vector<int> correspondence(200u);
    for (int i = 0; i < 200; ++i) {
        shuffled.setIndex(i, target.getIndex((i * 7) % 200));
        correspondence[(i * 7) % 200] = i;
    }
    shape.computeLSRegistration(translation, again, shuffled, correspondence);
    for (int a = 0; a < 3; ++a) {
        EXPECT_NEAR(translation[a], t[a], tolerance<T>() * 20);
        for (int b = 0; b < 3; ++b) {
            EXPECT_NEAR(found(a, b), r(a, b), tolerance<T>());
            EXPECT_NEAR(again(a, b), r(a, b), tolerance<T>());
        }
    }

    // A mirrored target still gets a proper rotation.
    Vertices<T> mirrored(shape);
    mirrored.detach();
    mirrored.scale(Vector<T>{1, 1, -1});
    shape.computeLSRegistration(translation, found, mirrored);
    EXPECT_NEAR(found.det(), T(1), tolerance<T>());
    EXPECT_THROW(shape.computeLSRegistration(translation, found, ellipsoidCloud<T>(3, 1)), SizeError);
}

TYPED_TEST(ShapeGeometryTest, DistancesAgreeWithExhaustiveSearch)
{
    using T = TypeParam;
    const Vertices<T> a = ellipsoidCloud<T>(300, 3);
    const Vertices<T> b = ellipsoidCloud<T>(250, 4);
    const Vector<T> nearest = a.squareNearestNeighborDistances(b);
    const Vector<T> roots = a.nearestNeighborDistances(b);
    const Vector<T> within = a.squareNearestNeighborDistances();
    const Vertices<T> neighbours = a.nearestNeighbors(b);
    ASSERT_EQ(neighbours.getNumVertices(), 300);
    EXPECT_EQ(neighbours.getServer(), b.getServer());
    for (int i = 0; i < 300; ++i) {
        T best = std::numeric_limits<T>::max(), bestWithin = best;
        for (int j = 0; j < 250; ++j)
            best = std::min(best, a[i].sdistance(b[j]));
        for (int j = 0; j < 300; ++j)
            if (j != i)
                bestWithin = std::min(bestWithin, a[i].sdistance(a[j]));
        EXPECT_NEAR(nearest[i], best, tolerance<T>() * best);
        EXPECT_NEAR(roots[i] * roots[i], best, tolerance<T>() * best);
        EXPECT_NEAR(within[i], bestWithin, tolerance<T>() * bestWithin);
        EXPECT_NEAR(neighbours[i].sdistance(a[i]), best, tolerance<T>() * best);
    }
    EXPECT_EQ(a.rmsDistance(a), T(0));
    EXPECT_EQ(a.squareDistances(a).max(), T(0));
    EXPECT_THROW(a.squareDistances(b), SizeError);
    EXPECT_THROW(a.nearestNeighbors(Vertices<T>()), SizeError);
    EXPECT_THROW(a.squareNearestNeighborDistances(Vertices<T>()), SizeError);
    EXPECT_THROW(Vertices<T>(3, 1).squareNearestNeighborDistances(), SizeError);

    T mean = 1, max = 1;
    Vertices<T>().stats(mean, max);
    EXPECT_EQ(mean, T(0));
    EXPECT_EQ(max, T(0));
    fixtures::polygon<T>({{3, 4}, {0, 1}}).stats(mean, max);
    EXPECT_EQ(mean, T(3));
    EXPECT_EQ(max, T(5));
}

TEST(ShapeSet, OwnsWhatItAdopts)
{
    ShapeSet<float> set("specimen");
    auto* mesh = new Curve<float>(3, 4);
    Curve<float> outline(3, 5);
    set.addShape(mesh, true, true);
    set.addShape(nullptr);
    set.addShape(&outline, false, false);
    EXPECT_EQ(set.numVertices(), 9);
    const ShapeSet<float> references = set.referenceShapeSet();
    EXPECT_EQ(references.getNumShapes(), 1);
    EXPECT_EQ(references[0], mesh);
    const VertexStack<float> all = set.asVertexStack();
    EXPECT_EQ(all.getHeight(), 2);
    EXPECT_EQ(all[0].getServer(), all[1].getServer());
    set.removeShape(&outline); // referenced: left alone
    EXPECT_EQ(outline.getNumVertices(), 5);
    // The owned mesh is deleted with the set (a leak under the sanitizers
    // otherwise).
}

TEST(Shape, CopiesLeaveTheExtensions)
{
    Curve<double> c(2, 3);
    EXPECT_FALSE(c.hasExtensions());
    c.getExtensions().addShape(new Curve<double>(2, 2), false, true);
    EXPECT_TRUE(c.hasExtensions());
    EXPECT_FALSE(Curve<double>(c).hasExtensions());
}

} // namespace
