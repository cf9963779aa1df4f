// The shared vertex pool and the vertex lists over it: capacity rules, the
// sharing contract (copies share, detach gives a private pool only when
// shared, removing entries never touches the pool), and the list operations.

#include "geometry/vertices.h"

#include "support/expect.h"

#include <gtest/gtest.h>

#include <random>
#include <sstream>

namespace {

template <typename T>
Vector<T> point(T x, T y)
{
    return Vector<T>{x, y};
}

template <typename T>
Vertices<T> listOf(std::initializer_list<std::pair<int, int>> xy)
{
    Vertices<T> v(2, static_cast<int>(xy.size()));
    int i = 0;
    for (auto [x, y] : xy) {
        v[i][0] = static_cast<T>(x);
        v[i][1] = static_cast<T>(y);
        ++i;
    }
    return v;
}

template <typename T>
class VerticesTest : public ::testing::Test {};
using CoordinateTypes = ::testing::Types<int, float, double, long double>;
TYPED_TEST_SUITE(VerticesTest, CoordinateTypes);

TEST(VertexServer, CapacityAndGrowthRules)
{
    VertexServer<double> defaults(3, 5, 0, 0); // capacity and growth stand for the size
    EXPECT_EQ(defaults.getCapacity(), 5);
    EXPECT_EQ(defaults.getGrowth(), 5);
    EXPECT_EQ(defaults[4].getSize(), 3);

    VertexServer<double> s(2, 2, 4, 3);
    s.setSize(4);
    EXPECT_EQ(s.getCapacity(), 4);
    s.setSize(9); // 4 -> 7 -> 10: whole steps of growth
    EXPECT_EQ(s.getCapacity(), 10);
    EXPECT_EQ(s.getSize(), 9);
    s.setGrowth(0); // counts as 1
    s.setSize(12);
    EXPECT_EQ(s.getCapacity(), 12);

    // Shrinking below the size takes the size down; growing again reuses slots
    // that still have the pool's dimension.
    s[1][0] = 7;
    s.setCapacity(3);
    EXPECT_EQ(s.getCapacity(), 3);
    EXPECT_EQ(s.getSize(), 3);
    EXPECT_EQ(s[1][0], 7);
    s.setCapacity(40);
    EXPECT_EQ(s.getCapacity(), 40);
    EXPECT_EQ(s[39].getSize(), 2);
    s.clear();
    EXPECT_EQ(s.getCapacity(), 0);
    EXPECT_EQ(s.getSize(), 0);
}

TEST(VertexServer, SlotsNeverMoveWhileThePoolGrows)
{
    VertexServer<float> s(3, 1, 1, 1);
    Vector<float>* first = &s[0];
    const float* coordinates = s[0].data();
    for (int n = 2; n < 500; ++n)
        s.setSize(n);
    EXPECT_EQ(&s[0], first);
    EXPECT_EQ(s[0].data(), coordinates);
}

TEST(VertexServer, SlotsRefuseVectorsOfAnotherDimension)
{
    VertexServer<double> s(2, 1);
    EXPECT_PLEXAN_THROW(s[0] = (Vector<double>{1, 2, 3}), UsageError, "void Vector<T>::setSize(const int)",
                        "This is a shallow vector (cannot be resized)");
}

TEST(VertexServer, CopyAndAppend)
{
    VertexServer<int> a(2, 3, 8, 2);
    for (int i = 0; i < 3; ++i)
        a[i] = Vector<int>{i, 10 * i};
    VertexServer<int> b(a);
    EXPECT_EQ(b.getRefs(), 0);
    EXPECT_EQ(b.getCapacity(), 8);
    EXPECT_EQ(b.getGrowth(), 2);
    EXPECT_EQ(b[2], (Vector<int>{2, 20}));
    b[2][0] = 99;
    EXPECT_EQ(a[2][0], 2); // deep copy

    b.append(a);
    EXPECT_EQ(b.getSize(), 6);
    EXPECT_EQ(b[5], (Vector<int>{2, 20}));
    EXPECT_EQ(b[2][0], 99);

    const char* where = "void VertexServer<T>::append(const VertexServer&)";
    EXPECT_PLEXAN_THROW(b.append(b), ValueError, where, "Cannot append server to itself");
    VertexServer<int> c(3, 1);
    EXPECT_PLEXAN_THROW(b.append(c), ValueError, where, "Incompatible server space dimension");
}

TEST(VertexServer, TheLastReferenceDeletesTheServer)
{
    // Under the sanitizers a missing or extra delete shows as a leak or a
    // double free.
    auto* s = new VertexServer<float>(3, 10);
    s->deref(); // no reference yet: nothing happens
    s->ref();
    s->ref();
    s->deref();
    EXPECT_EQ(s->getRefs(), 1);
    s->deref();
}

TYPED_TEST(VerticesTest, CopiesShareThePoolUntilDetached)
{
    using T = TypeParam;
    Vertices<T> source = listOf<T>({{0, 0}, {1, 0}, {1, 1}});
    Vertices<T> copy(source);
    EXPECT_EQ(copy.getServer(), source.getServer());
    EXPECT_EQ(source.getServer()->getRefs(), 2);

    // Without detach, moving a vertex of the copy moves it in the source.
    copy[1][0] = 5;
    EXPECT_EQ(source[1][0], T(5));

    copy.detach();
    EXPECT_NE(copy.getServer(), source.getServer());
    EXPECT_EQ(source.getServer()->getRefs(), 1);
    EXPECT_EQ(copy.getServer()->getRefs(), 1);
    copy[1][0] = 7;
    EXPECT_EQ(source[1][0], T(5));
    EXPECT_EQ(copy[1][0], T(7));

    // A sole client keeps its pool.
    const VertexServer<T>* own = copy.getServer();
    copy.detach();
    EXPECT_EQ(copy.getServer(), own);

    // Assignment and clone share too; the pool dies with its last client.
    Vertices<T>* clone = source.clone();
    Vertices<T> assigned;
    assigned = source;
    EXPECT_EQ(clone->getServer(), source.getServer());
    EXPECT_EQ(source.getServer()->getRefs(), 3);
    delete clone;
    EXPECT_EQ(source.getServer()->getRefs(), 2);
}

TYPED_TEST(VerticesTest, EditingTheListNeverTouchesThePool)
{
    using T = TypeParam;
    Vertices<T> v = listOf<T>({{0, 0}, {1, 0}, {2, 0}, {3, 0}});
    Vertices<T> other(v);
    v.remove(1);
    EXPECT_EQ(v.getNumVertices(), 3);
    EXPECT_EQ(v.getServer()->getSize(), 4);
    EXPECT_EQ(other.getNumVertices(), 4);
    v.append(point<T>(9, 9)); // a new slot, not the freed one
    EXPECT_EQ(v.getIndex(3), 4);
    EXPECT_EQ(v.getServer()->getSize(), 5);
    EXPECT_EQ(other[1][0], T(1));

    // On the same pool only indices are appended: the vertices become shared.
    Vertices<T> self(v);
    v.append(self);
    EXPECT_EQ(v.getNumVertices(), 8);
    EXPECT_EQ(v.getServer()->getSize(), 5);
    v[0][1] = 42;
    EXPECT_EQ(v[4][1], T(42));

    // Across pools the vertices are copied in list order.
    Vertices<T> w = listOf<T>({{7, 1}, {8, 2}});
    w.reverse();
    v.append(w);
    EXPECT_EQ(v.getServer()->getSize(), 7);
    EXPECT_EQ(v[8], point<T>(8, 2));
    EXPECT_EQ(v[9], point<T>(7, 1));
    w[0][0] = 0;
    EXPECT_EQ(v[8][0], T(8));
}

TYPED_TEST(VerticesTest, InsertionRemovalAndRotation)
{
    using T = TypeParam;
    Vertices<T> v = listOf<T>({{0, 0}, {1, 0}, {2, 0}, {3, 0}, {4, 0}, {5, 0}, {6, 0}});
    auto xs = [&v] {
        std::vector<int> out;
        for (int i = 0; i < v.getNumVertices(); ++i)
            out.push_back(static_cast<int>(v[i][0]));
        return out;
    };
    v.removeOutside(5, 2);
    EXPECT_EQ(xs(), (std::vector<int>{0, 1, 2, 3, 4, 5, 6}));
    v.removeOutside(1, 5);
    EXPECT_EQ(xs(), (std::vector<int>{1, 2, 3, 4, 5}));
    v.remove(1, 2);
    EXPECT_EQ(xs(), (std::vector<int>{1, 4, 5}));
    v.insert(1, point<T>(8, 0));
    v.prepend(point<T>(9, 0));
    EXPECT_EQ(xs(), (std::vector<int>{9, 1, 8, 4, 5}));
    v.setOrigin(0);
    v.setOrigin(-3);
    EXPECT_EQ(xs(), (std::vector<int>{9, 1, 8, 4, 5}));
    v.setOrigin(2);
    EXPECT_EQ(xs(), (std::vector<int>{8, 4, 5, 9, 1}));
    EXPECT_EQ(v.findMax(0), 3);
    EXPECT_EQ(v.findMin(0), 4);

    // setSize with new vertices numbers on from the last entry.
    Vertices<T> grid(2, 6);
    grid.setSize(2, false);
    grid.setIndex(1, 3);
    grid.setSize(4, true);
    EXPECT_EQ(grid.getIndexes(), (std::vector<int>{0, 3, 4, 5}));
    grid.setSize(5, false);
    EXPECT_EQ(grid.getIndex(4), 0);
}

TYPED_TEST(VerticesTest, ExtremesPreferTheFirstOfEqualVertices)
{
    using T = TypeParam;
    const Vertices<T> v = listOf<T>({{1, 5}, {3, 2}, {3, 9}, {0, 2}});
    EXPECT_EQ(v.findMax(0), 1);
    EXPECT_EQ(v.findMin(1), 1);
    EXPECT_EQ(listOf<T>({{4, 4}}).findMax(0), 0);
}

TYPED_TEST(VerticesTest, ClosestPairsAgreeWithAnExhaustiveSearch)
{
    using T = TypeParam;
    std::mt19937 rng(11);
    std::uniform_int_distribution<int> coordinate(-20, 20);
    for (int round = 0; round < 20; ++round) {
        Vertices<T> a(2, 30);
        Vertices<T> b(2, 25);
        for (int i = 0; i < 30; ++i)
            a[i] = point<T>(static_cast<T>(coordinate(rng)), static_cast<T>(coordinate(rng)));
        for (int i = 0; i < 25; ++i)
            b[i] = point<T>(static_cast<T>(coordinate(rng)), static_cast<T>(coordinate(rng)));
        auto d2 = [](const Vector<T>& p, const Vector<T>& q) {
            const double dx = double(p[0]) - double(q[0]), dy = double(p[1]) - double(q[1]);
            return dx * dx + dy * dy;
        };
        int bi = 0, bj = 0;
        for (int i = 0; i < 30; ++i)
            for (int j = 0; j < 25; ++j)
                if (d2(a[i], b[j]) < d2(a[bi], b[bj])) {
                    bi = i;
                    bj = j;
                }
        int i = -1, j = -1;
        a.closestPoints(b, i, j);
        EXPECT_EQ(i, bi);
        EXPECT_EQ(j, bj);

        const Vector<int> map = a.closestPointMap(b);
        for (int p = 0; p < 30; ++p) {
            int best = 0;
            for (int q = 1; q < 25; ++q)
                if (d2(a[p], b[q]) < d2(a[p], b[best]))
                    best = q;
            EXPECT_EQ(map[p], best);
        }
    }
}

TYPED_TEST(VerticesTest, FindMatchRestoresARotation)
{
    using T = TypeParam;
    std::mt19937 rng(5);
    std::uniform_int_distribution<int> coordinate(-50, 50);
    Vertices<T> outline(2, 17);
    for (int i = 0; i < 17; ++i)
        outline[i] = point<T>(static_cast<T>(coordinate(rng)), static_cast<T>(coordinate(rng)));
    EXPECT_EQ(outline.findMatch(outline), 0);
    for (int k = 1; k < 17; k += 5) {
        Vertices<T> rotated(outline);
        rotated.setOrigin(k);
        // rotated[i] = outline[i + k]: outline shifted by k matches rotated.
        EXPECT_EQ(outline.findMatch(rotated), k);
        EXPECT_EQ(rotated.findMatch(outline), 17 - k);
        rotated.match(outline);
        EXPECT_EQ(rotated.getIndexes(), outline.getIndexes());
    }
    // Equal sums: the smallest shift wins.
    Vertices<T> constant(2, 4);
    for (int i = 0; i < 4; ++i)
        constant[i] = point<T>(1, 1);
    EXPECT_EQ(constant.findMatch(constant), 0);
    EXPECT_PLEXAN_THROW(outline.findMatch(constant), SizeError, "int Vertices<T>::findMatch(const Vertices&) const",
                        "Size mismatch");
}

TEST(Vertices, MeanDirectionOfAnAxialPattern)
{
    // Points along the line at 30 degrees, on both sides of the centre: an
    // axis, so the doubled angles agree and the concentration is 1.
    const double angle = M_PI / 6;
    Vertices<double> axis(2, 0);
    for (int r = 1; r <= 4; ++r)
        for (int side : {-1, 1})
            axis.append(Vector<double>{side * r * std::cos(angle), side * r * std::sin(angle)});
    const Vector<double> d = axis.meanDirection(false);
    EXPECT_NEAR(d.norm(), 1.0, 1e-12);
    EXPECT_NEAR(std::atan2(d[1], d[0]), angle, 1e-12);

    // A cross of two perpendicular axes has no mean orientation.
    Vertices<double> cross(2, 0);
    for (auto [x, y] : {std::pair{1, 0}, {-1, 0}, {0, 1}, {0, -1}})
        cross.append(Vector<double>{double(x), double(y)});
    EXPECT_NEAR(cross.meanDirection(Vector<double>{0, 0}, true).norm(), 0.0, 1e-12);

    const char* where = "Vector<T> Vertices<T>::meanDirectionVector(...) const";
    Vertices<double> space3(3, 2);
    EXPECT_PLEXAN_THROW(space3.meanDirection(false), ProgramError, where, "Space dimension is not 2");
    EXPECT_THROW(listOf<int>({{1, 2}}).meanDirection(false), TypeError);
}

TYPED_TEST(VerticesTest, IteratorsVisitTheListInOrder)
{
    using T = TypeParam;
    Vertices<T> v = listOf<T>({{3, 0}, {1, 0}, {2, 0}});
    v.setIndex(2, 0); // the same slot listed twice
    std::vector<int> seen, slots, positions;
    for (ConstVertexIterator<T> it(v); it.current(); ++it) {
        seen.push_back(static_cast<int>((*it.current())[0]));
        slots.push_back(it.currentServerIndex());
        positions.push_back(static_cast<int>(it.locator()[0]));
    }
    EXPECT_EQ(seen, (std::vector<int>{3, 1, 3}));
    EXPECT_EQ(slots, (std::vector<int>{0, 1, 0}));
    EXPECT_EQ(positions, (std::vector<int>{0, 1, 2}));

    VertexIterator<T> it(v);
    ++it;
    VertexIterator<T> copy(it); // copies keep their own position
    ++it;
    EXPECT_EQ((*copy.current())[0], T(1));
    (*copy.current())[1] = 6;
    EXPECT_EQ(v[1][1], T(6));
    ++it;
    EXPECT_EQ(it.current(), nullptr);
    EXPECT_EQ(it.currentServerIndex(), -1);
    it.rewind();
    EXPECT_EQ(it.current(), &v[0]);

    // An empty list and the base shape iterate nothing.
    const Vertices<T> empty;
    EXPECT_EQ(ConstVertexIterator<T>(empty).current(), nullptr);
}

TEST(Vertices, PrintShowsTheListAndItsPool)
{
    std::ostringstream text;
    Vertices<int> none;
    none.print("", text);
    EXPECT_NE(text.str().find(" Server: (nil)"), std::string::npos);
    text.str("");
    Vertices<int> two(2, 2);
    Vertices<int> shared(two);
    shared.print("> ", text);
    EXPECT_NE(text.str().find("> " " Size = 2"), std::string::npos);
    EXPECT_NE(text.str().find(" Indexes = 0 1"), std::string::npos);
    EXPECT_NE(text.str().find("refs     = 2"), std::string::npos);
}

} // namespace
