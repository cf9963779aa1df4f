// The shared vertex pool and the vertex lists over it: capacity rules, the
// sharing contract (copies share, detach gives a private pool only when
// shared, removing entries never touches the pool), and the list operations
// against exhaustive searches.

#include "geometry/vertices.h"

#include "meshfixtures.h"
#include "numerics/parallel.h"
#include "support/expect.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace {

template <typename T>
Vertices<T> listOf(std::initializer_list<std::array<double, 2>> xy)
{
    return fixtures::polygon<T>(xy);
}

template <typename T>
Vertices<T> randomList(std::mt19937& rng, int n, int range)
{
    return fixtures::randomPolygon<T>(rng, n, -range, range);
}

template <typename T>
std::vector<int> xs(const Vertices<T>& v)
{
    std::vector<int> out;
    for (int i = 0; i < v.getNumVertices(); ++i)
        out.push_back(static_cast<int>(v[i][0]));
    return out;
}

template <typename T>
class VerticesTest : public ::testing::Test {};
using CoordinateTypes = ::testing::Types<int, float, double, long double>;
TYPED_TEST_SUITE(VerticesTest, CoordinateTypes);

TEST(VertexServer, GrowthCopiesAndReferences)
{
    // Growth in whole steps; shrinking below the size takes the size down;
    // slots never move while the pool grows.
    VertexServer<double> s(2, 2, 4, 3);
    s.setSize(9); // 4 -> 7 -> 10
    EXPECT_EQ(s.getCapacity(), 10);
    s[1][0] = 7;
    s.setCapacity(3);
    EXPECT_EQ(s.getSize(), 3);
    EXPECT_EQ(s[1][0], 7);
    s.setCapacity(40);
    EXPECT_EQ(s[39].getSize(), 2);
    EXPECT_PLEXAN_THROW(s[0] = (Vector<double>{1, 2, 3}), UsageError, "void Vector<T>::setSize(const int)",
                        "This is a shallow vector (cannot be resized)");
    VertexServer<float> grown(3, 1, 1, 1);
    const float* coordinates = grown[0].data();
    for (int n = 2; n < 500; ++n)
        grown.setSize(n);
    EXPECT_EQ(grown[0].data(), coordinates);

    // Copies are deep; appending copies the other pool's vertices.
    VertexServer<int> a(2, 3, 8, 2);
    for (int i = 0; i < 3; ++i)
        a[i] = Vector<int>{i, 10 * i};
    VertexServer<int> b(a);
    b[2][0] = 99;
    EXPECT_EQ(a[2][0], 2);
    b.append(a);
    EXPECT_EQ(b.getSize(), 6);
    EXPECT_EQ(b[5], (Vector<int>{2, 20}));
    const char* where = "void VertexServer<T>::append(const VertexServer&)";
    EXPECT_PLEXAN_THROW(b.append(b), ValueError, where, "Cannot append server to itself");
    VertexServer<int> c(3, 1);
    EXPECT_PLEXAN_THROW(b.append(c), ValueError, where, "Incompatible server space dimension");

    // Under the sanitizers a missing or extra delete of the last reference
    // shows as a leak or a double free.
    auto* counted = new VertexServer<float>(3, 10);
    counted->deref(); // no reference yet: nothing happens
    counted->ref();
    counted->ref();
    counted->deref();
    counted->deref();
}

// A pool grown slot by slot holds many blocks; every server index must find
// its own slot in whichever block holds it, after shrinking into the middle
// of a block and growing again as well. Checked against a plain record of
// what was written where.
TEST(VertexServer, EverySlotOfEveryBlockIsFound)
{
    VertexServer<int> pool(2, 0, 1, 1);
    std::vector<std::array<int, 2>> written;
    std::vector<const int*> where;
    const auto grow = [&](int n) {
        for (int i = pool.getSize(); i < n; ++i) {
            pool.setSize(i + 1);
            pool[i][0] = i;
            pool[i][1] = 7 * i + static_cast<int>(written.size());
            if (static_cast<std::size_t>(i) < written.size()) {
                written[static_cast<std::size_t>(i)] = {pool[i][0], pool[i][1]};
            } else {
                written.push_back({pool[i][0], pool[i][1]});
                where.push_back(pool[i].data());
            }
        }
    };
    const auto check = [&](const std::string& when) {
        SCOPED_TRACE(when);
        std::set<const int*> distinct;
        for (int i = 0; i < pool.getSize(); ++i) {
            ASSERT_EQ(pool[i][0], written[static_cast<std::size_t>(i)][0]) << i;
            ASSERT_EQ(pool.vertex(i)[1], written[static_cast<std::size_t>(i)][1]) << i;
            distinct.insert(pool[i].data());
        }
        EXPECT_EQ(distinct.size(), static_cast<std::size_t>(pool.getSize()));
    };
    grow(200);
    check("grown");
    for (int i = 0; i < 200; ++i)
        ASSERT_EQ(pool[i].data(), where[static_cast<std::size_t>(i)]) << "slot " << i << " moved";
    pool.setCapacity(70); // within a block of the middle
    EXPECT_EQ(pool.getCapacity(), 70);
    EXPECT_EQ(pool.getSize(), 70);
    check("shrunk");
    grow(260);
    check("grown again");
    const VertexServer<int> copy(pool);
    for (int i = 0; i < pool.getSize(); ++i)
        ASSERT_EQ(copy[i], pool[i]) << i;
}

// Large blocks reuse the storage of blocks freed before them. A new pool must
// still be all zero, each slot on its own three coordinates, whatever the
// pool that freed the storage wrote there or how its slots were laid out
// (another dimension, a few slots more).
TEST(VertexServer, PoolsInFreedStorageStartZero)
{
    constexpr int n = 60000; // above 1 MiB of coordinates and views
    // The pools freed before: the same shape, a few slots more, and other
    // dimensions whose storage is a little larger.
    for (const auto& [space, size] : {std::array<int, 2>{3, n}, std::array<int, 2>{3, n + 100},
                                      std::array<int, 2>{4, n}, std::array<int, 2>{2, n + 20000}}) {
        SCOPED_TRACE(std::to_string(space) + " x " + std::to_string(size));
        for (int round = 0; round < 2; ++round) {
            auto* before = new VertexServer<float>(space, size);
            for (int i = 0; i < size; ++i)
                for (int a = 0; a < space; ++a)
                    (*before)[i][a] = static_cast<float>(1 + i * space + a);
            before->ref();
            before->deref();
        }
        VertexServer<float> pool(3, n);
        const float* first = pool[0].data();
        for (int i = 0; i < n; ++i) {
            ASSERT_EQ(pool[i].getSize(), 3) << i;
            ASSERT_EQ(pool[i].data(), first + 3 * i) << i;
            ASSERT_EQ(pool[i][0], 0.0f) << i;
            ASSERT_EQ(pool[i][1], 0.0f) << i;
            ASSERT_EQ(pool[i][2], 0.0f) << i;
        }
    }
}

// A slot's vector must lie on the slot's own coordinates, with the pool's
// dimension, and hold what a plain record says was written there, whichever
// way (vector or coordinates) it was written and read. Returns the number of
// slots that do not.
template <typename T>
int slotsOutOfStep(const VertexServer<T>& pool, const std::vector<std::vector<double>>& record)
{
    int wrong = 0;
    const int space = pool.getSpace();
    for (int i = 0; i < pool.getSize(); ++i) {
        const Vector<T>& view = pool[i];
        const T* x = pool.coordinates(i);
        bool ok = view.data() == x && view.getSize() == space;
        for (int a = 0; ok && a < space; ++a)
            ok = static_cast<double>(x[a]) == record[static_cast<std::size_t>(i)][static_cast<std::size_t>(a)]
                 && static_cast<double>(view[a]) == record[static_cast<std::size_t>(i)][static_cast<std::size_t>(a)];
        // Slots said to follow one another do.
        const int run = pool.contiguousSlots(i);
        ok = ok && run >= 1 && run <= pool.getCapacity() - i
             && pool.coordinates(i + run - 1) == x + static_cast<std::ptrdiff_t>(run - 1) * space;
        wrong += ok ? 0 : 1;
    }
    return wrong;
}

// Slot i, coordinate a, written as a value no other slot holds.
double valueOf(int i, int a, int round)
{
    return 4.0 * i + a + 1000000.0 * round;
}

// Writes every slot from `from` on, the even ones through their vector and
// the odd ones through their coordinates, and the record with them.
template <typename T>
void writeSlots(VertexServer<T>& pool, std::vector<std::vector<double>>& record, int from, int round)
{
    const int space = pool.getSpace();
    record.resize(static_cast<std::size_t>(pool.getSize()), std::vector<double>(static_cast<std::size_t>(space)));
    for (int i = from; i < pool.getSize(); ++i)
        for (int a = 0; a < space; ++a) {
            const double value = valueOf(i, a, round);
            if (i % 2 == 0)
                pool[i][a] = static_cast<T>(value);
            else
                pool.coordinates(i)[a] = static_cast<T>(value);
            record[static_cast<std::size_t>(i)][static_cast<std::size_t>(a)] = value;
        }
}

// The vectors of a pool are made when first asked for, possibly by several
// threads at once (statistics read shared meshes from every core): each
// thread here reads every slot of a fresh pool of several blocks, starting
// at its own place and going its own way, so that the threads ask for the
// same runs of slots at the same time.
TEST(VertexServer, SlotsAskedForFromSeveralThreadsAtOnce)
{
    for (const int threads : {1, 2, 4}) {
        SCOPED_TRACE(std::to_string(threads) + " threads");
        const plexan::parallel::ThreadCountScope scope(threads);
        for (int round = 0; round < 3; ++round) {
            VertexServer<float> pool(3, 0, 5000, 3000);
            pool.setSize(13001); // blocks of 5000, 3000 and 5001 slots
            const int n = pool.getSize();
            std::vector<std::vector<double>> record(static_cast<std::size_t>(n), std::vector<double>(3));
            for (int i = 0; i < n; ++i)
                for (int a = 0; a < 3; ++a) {
                    pool.coordinates(i)[a] = static_cast<float>(valueOf(i, a, round));
                    record[static_cast<std::size_t>(i)][static_cast<std::size_t>(a)] = valueOf(i, a, round);
                }
            const VertexServer<float>& shared = pool;
            std::atomic<int> wrong{0};
            constexpr int readers = 8;
            plexan::parallel::forEachChunk(0, readers, 1, [&](std::ptrdiff_t r, std::ptrdiff_t) {
                const int start = static_cast<int>(r) * n / readers;
                const int step = r % 2 == 0 ? 1 : n - 1; // forwards or backwards
                int bad = 0;
                for (int k = 0, i = start; k < n; ++k, i = (i + step) % n) {
                    const Vector<float>& v = shared[i];
                    const float* x = shared.coordinates(i);
                    if (v.data() != x || v.getSize() != 3 || v[0] != static_cast<float>(valueOf(i, 0, round))
                        || v[2] != static_cast<float>(valueOf(i, 2, round)))
                        ++bad;
                }
                wrong += bad;
            });
            EXPECT_EQ(wrong.load(), 0);
            EXPECT_EQ(slotsOutOfStep(pool, record), 0);
        }
    }
}

// Every way a pool changes keeps each slot's vector on the slot's
// coordinates and both equal to what was written, checked against a plain
// record after each change.
TEST(VertexServer, VectorsAndCoordinatesStayInStep)
{
    std::vector<std::vector<double>> record;
    VertexServer<double> pool(3, 100, 100, 2500);
    writeSlots(pool, record, 0, 0);
    EXPECT_EQ(slotsOutOfStep(pool, record), 0);
    pool.setSize(6000); // a second block
    writeSlots(pool, record, 100, 0);
    EXPECT_EQ(slotsOutOfStep(pool, record), 0) << "grown";
    pool.setCapacity(3000); // into the middle of the second block, whose vectors are made
    record.resize(3000);
    EXPECT_EQ(slotsOutOfStep(pool, record), 0) << "shrunk";
    pool.setSize(9000); // the second block's tail again, then a new block
    writeSlots(pool, record, 2900, 1);
    EXPECT_EQ(slotsOutOfStep(pool, record), 0) << "grown again";

    const VertexServer<double> copy(pool);
    EXPECT_EQ(copy.getCapacity(), pool.getCapacity());
    EXPECT_EQ(slotsOutOfStep(copy, record), 0) << "copy";
    VertexServer<double> assigned(3, 5);
    assigned = pool;
    EXPECT_EQ(slotsOutOfStep(assigned, record), 0) << "assigned";

    VertexServer<double> appended(3, 10, 10, 1);
    std::vector<std::vector<double>> appendedRecord;
    writeSlots(appended, appendedRecord, 0, 2);
    appended.append(pool);
    appendedRecord.insert(appendedRecord.end(), record.begin(), record.end());
    EXPECT_EQ(slotsOutOfStep(appended, appendedRecord), 0) << "appended";

    pool.clear();
    EXPECT_EQ(pool.getCapacity(), 0);
    EXPECT_EQ(pool.contiguousSlots(0), 0);
    pool.setSize(50);
    record.assign(50, std::vector<double>(3, 0.0));
    EXPECT_EQ(slotsOutOfStep(pool, record), 0) << "cleared and grown";
    writeSlots(pool, record, 0, 3);
    EXPECT_EQ(slotsOutOfStep(pool, record), 0) << "cleared and written";

    // A large pool in the storage a freed one leaves: its vectors were made
    // in part (every other run of slots), the new pool asks for others.
    for (int round = 0; round < 2; ++round) {
        auto* before = new VertexServer<float>(3, 90000);
        for (int i = 0; i < 90000; i += 4096)
            (*before)[i][0] = 1.0f;
        before->ref();
        before->deref();
        VertexServer<float> reused(3, 90000);
        std::vector<std::vector<double>> zeros(90000, std::vector<double>(3, 0.0));
        EXPECT_EQ(slotsOutOfStep(reused, zeros), 0) << "reused storage";
    }
}

// The lists' own changes (appending, inserting, copying, moving, removing)
// keep each vertex's vector on its coordinates.
TEST(Vertices, VectorsAndCoordinatesStayInStepThroughListChanges)
{
    const auto inStep = [](const Vertices<float>& list, const std::vector<std::array<float, 2>>& expected) {
        if (list.getNumVertices() != static_cast<int>(expected.size()))
            return false;
        for (int i = 0; i < list.getNumVertices(); ++i) {
            const float* x = list.coordinates(i);
            if (list[i].data() != x || x[0] != expected[static_cast<std::size_t>(i)][0]
                || x[1] != expected[static_cast<std::size_t>(i)][1])
                return false;
        }
        return true;
    };
    Vertices<float> list;
    std::vector<std::array<float, 2>> expected;
    for (int i = 0; i < 5000; ++i) { // the pool grows 64 slots at a time
        list.append(Vector<float>{static_cast<float>(i), 1.0f});
        expected.push_back({static_cast<float>(i), 1.0f});
    }
    EXPECT_TRUE(inStep(list, expected));
    list.insert(7, Vector<float>{-1.0f, -2.0f});
    expected.insert(expected.begin() + 7, {-1.0f, -2.0f});
    list.remove(100, 2999);
    expected.erase(expected.begin() + 100, expected.begin() + 3000);
    EXPECT_TRUE(inStep(list, expected));
    Vertices<float> other;
    other.append(Vector<float>{0.5f, 0.25f});
    other.append(list); // another pool: copied in list order
    expected.insert(expected.begin(), {0.5f, 0.25f});
    EXPECT_TRUE(inStep(other, expected));
    const Vertices<float> copy(other);
    Vertices<float> moved(std::move(other));
    EXPECT_TRUE(inStep(copy, expected));
    EXPECT_TRUE(inStep(moved, expected));
    moved.detach();
    moved.coordinates(3)[1] = 9.0f;
    EXPECT_EQ(moved[3][1], 9.0f);
    EXPECT_EQ(copy[3][1], expected[3][1]);
}

TYPED_TEST(VerticesTest, CopiesShareThePoolUntilDetached)
{
    using T = TypeParam;
    Vertices<T> source = listOf<T>({{0, 0}, {1, 0}, {1, 1}});
    Vertices<T> copy(source);
    EXPECT_EQ(source.getServer()->getRefs(), 2);
    copy[1][0] = 5; // without detach the source moves too
    EXPECT_EQ(source[1][0], T(5));
    copy.detach();
    EXPECT_NE(copy.getServer(), source.getServer());
    EXPECT_EQ(source.getServer()->getRefs(), 1);
    copy[1][0] = 7;
    EXPECT_EQ(source[1][0], T(5));
    // A sole client keeps its pool.
    const VertexServer<T>* own = copy.getServer();
    copy.detach();
    EXPECT_EQ(copy.getServer(), own);
    // Clones share too, and release the pool when they go.
    std::unique_ptr<Vertices<T>> clone(source.clone());
    EXPECT_EQ(clone->getServer(), source.getServer());
    clone.reset();
    EXPECT_EQ(source.getServer()->getRefs(), 1);
}

TYPED_TEST(VerticesTest, EditingTheListNeverTouchesThePool)
{
    using T = TypeParam;
    Vertices<T> v = listOf<T>({{0, 0}, {1, 0}, {2, 0}, {3, 0}});
    const Vertices<T> other(v);
    v.remove(1);
    v.append(Vector<T>{9, 9}); // a new slot, not the freed one
    EXPECT_EQ(v.getIndexes(), (std::vector<int>{0, 2, 3, 4}));
    EXPECT_EQ(other.getIndexes(), (std::vector<int>{0, 1, 2, 3}));
    // On the same pool only indices are appended; across pools the vertices
    // are copied in list order.
    v.append(Vertices<T>(v));
    EXPECT_EQ(v.getIndexes(), (std::vector<int>{0, 2, 3, 4, 0, 2, 3, 4}));
    Vertices<T> w = listOf<T>({{7, 1}, {8, 2}});
    w.reverse();
    v.append(w);
    EXPECT_EQ(v.getServer()->getSize(), 7);
    EXPECT_EQ(v[8], (Vector<T>{8, 2}));
    EXPECT_EQ(v[9], (Vector<T>{7, 1}));
    w[0][0] = 0;
    EXPECT_EQ(v[8][0], T(8));
}

TYPED_TEST(VerticesTest, InsertionRemovalRotationAndExtremes)
{
    using T = TypeParam;
    Vertices<T> v = listOf<T>({{0, 0}, {1, 0}, {2, 0}, {3, 0}, {4, 0}, {5, 0}, {6, 0}});
    v.removeOutside(5, 2);
    EXPECT_EQ(xs(v), (std::vector<int>{0, 1, 2, 3, 4, 5, 6}));
    v.removeOutside(1, 5);
    EXPECT_EQ(xs(v), (std::vector<int>{1, 2, 3, 4, 5}));
    v.remove(1, 2);
    EXPECT_EQ(xs(v), (std::vector<int>{1, 4, 5}));
    v.insert(1, Vector<T>{8, 0});
    v.prepend(Vector<T>{9, 0});
    v.setOrigin(0);
    v.setOrigin(-3);
    EXPECT_EQ(xs(v), (std::vector<int>{9, 1, 8, 4, 5}));
    v.setOrigin(2);
    EXPECT_EQ(xs(v), (std::vector<int>{8, 4, 5, 9, 1}));
    EXPECT_EQ(v.findMax(0), 3);
    EXPECT_EQ(v.findMin(0), 4);
    // Of equal extremes the first is taken.
    const Vertices<T> ties = listOf<T>({{1, 5}, {3, 2}, {3, 9}, {0, 2}});
    EXPECT_EQ(ties.findMax(0), 1);
    EXPECT_EQ(ties.findMin(1), 1);
}

TYPED_TEST(VerticesTest, ClosestPairsAgreeWithAnExhaustiveSearch)
{
    using T = TypeParam;
    std::mt19937 rng(11);
    auto d2 = [](const Vector<T>& p, const Vector<T>& q) {
        return std::pow(double(p[0]) - double(q[0]), 2) + std::pow(double(p[1]) - double(q[1]), 2);
    };
    for (int round = 0; round < 20; ++round) {
        const Vertices<T> a = randomList<T>(rng, 30, 20), b = randomList<T>(rng, 25, 20);
        const Vector<int> map = a.closestPointMap(b);
        int bi = 0, bj = 0;
        for (int i = 0; i < 30; ++i) {
            int best = 0;
            for (int j = 0; j < 25; ++j) {
                best = d2(a[i], b[j]) < d2(a[i], b[best]) ? j : best;
                if (d2(a[i], b[j]) < d2(a[bi], b[bj])) {
                    bi = i;
                    bj = j;
                }
            }
            EXPECT_EQ(map[i], best);
        }
        int i = -1, j = -1;
        a.closestPoints(b, i, j);
        EXPECT_EQ(i, bi);
        EXPECT_EQ(j, bj);
    }
}

TYPED_TEST(VerticesTest, FindMatchRestoresARotation)
{
    using T = TypeParam;
    std::mt19937 rng(5);
    const Vertices<T> outline = randomList<T>(rng, 17, 50);
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
    const Vertices<T> constant = listOf<T>({{1, 1}, {1, 1}, {1, 1}, {1, 1}});
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
    const Vertices<double> cross = listOf<double>({{1, 0}, {-1, 0}, {0, 1}, {0, -1}});
    EXPECT_NEAR(cross.meanDirection(Vector<double>{0, 0}, true).norm(), 0.0, 1e-12);

    EXPECT_PLEXAN_THROW(Vertices<double>(3, 2).meanDirection(false), ProgramError,
                        "Vector<T> Vertices<T>::meanDirectionVector(...) const", "Space dimension is not 2");
    EXPECT_THROW(listOf<int>({{1, 2}}).meanDirection(false), TypeError);
}

TYPED_TEST(VerticesTest, IteratorsVisitTheListInOrder)
{
    using T = TypeParam;
    Vertices<T> v = listOf<T>({{3, 0}, {1, 0}, {2, 0}});
    v.setIndex(2, 0); // the same slot listed twice
    std::vector<int> seen, slots;
    for (ConstVertexIterator<T> it(v); it.current(); ++it) {
        seen.push_back(static_cast<int>((*it.current())[0]));
        slots.push_back(it.currentServerIndex());
    }
    EXPECT_EQ(seen, (std::vector<int>{3, 1, 3}));
    EXPECT_EQ(slots, (std::vector<int>{0, 1, 0}));

    VertexIterator<T> it(v);
    ++it;
    VertexIterator<T> copy(it); // copies keep their own position
    ++it;
    (*copy.current())[1] = 6;
    EXPECT_EQ(v[1][1], T(6));
    ++it;
    EXPECT_EQ(it.current(), nullptr);
    it.rewind();
    EXPECT_EQ(it.current(), &v[0]);
}

} // namespace
