#include "numerics/matrix.h"
#include "numerics/numbers.h"
#include "numerics/tensa.h"

#include "support/expect.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <sstream>
#include <vector>

namespace {

template <typename T>
Vector<T> randomVector(int n, std::mt19937& rng)
{
    Vector<T> v(static_cast<unsigned>(n));
    if constexpr (std::is_floating_point_v<T>) {
        std::uniform_real_distribution<double> d(-50, 50);
        for (T& x : v)
            x = static_cast<T>(d(rng));
    } else if constexpr (std::is_same_v<T, bool>) {
        std::bernoulli_distribution d(0.5);
        for (T& x : v)
            x = d(rng);
    } else {
        std::uniform_int_distribution<int> d(0, 20);
        for (T& x : v)
            x = static_cast<T>(d(rng));
    }
    return v;
}

template <typename T>
std::vector<T> asStd(const Vector<T>& v)
{
    return std::vector<T>(v.begin(), v.end());
}

template <typename T>
class VectorReductions : public ::testing::Test {};
using NumericTypes = ::testing::Types<unsigned char, short, int, unsigned int, float, double, long double>;
TYPED_TEST_SUITE(VectorReductions, NumericTypes);

TYPED_TEST(VectorReductions, AgreeWithBruteForce)
{
    using T = TypeParam;
    std::mt19937 rng(42);
    for (int n : {1, 2, 3, 7, 64, 101}) {
        const Vector<T> v = randomVector<T>(n, rng);
        const std::vector<T> s = asStd(v);
        EXPECT_EQ(v.min(), *std::min_element(s.begin(), s.end()));
        EXPECT_EQ(v.max(), *std::max_element(s.begin(), s.end()));
        EXPECT_EQ(v.minPos(), std::min_element(s.begin(), s.end()) - s.begin());
        EXPECT_EQ(v.maxPos(), std::max_element(s.begin(), s.end()) - s.begin());
        const Vector<T> r = v.range();
        EXPECT_EQ(r[0], v.min());
        EXPECT_EQ(r[1], v.max());

        T sum = 0;
        for (T x : s)
            sum = static_cast<T>(sum + x);
        EXPECT_EQ(v.sum(), sum);

        std::vector<T> sorted = s;
        std::sort(sorted.begin(), sorted.end());
        Vector<T> w(v);
        w.sort();
        EXPECT_EQ(asStd(w), sorted);
        EXPECT_TRUE(w.isIncreasing());
        T median = n % 2 ? sorted[n / 2] : static_cast<T>((sorted[n / 2 - 1] + sorted[n / 2]) / 2);
        EXPECT_EQ(v.median(), median);

        const Vector<T> cs = v.csum();
        T running = 0;
        for (int i = 0; i < n; ++i) {
            running = static_cast<T>(running + s[i]);
            EXPECT_EQ(cs[i], running);
        }
        EXPECT_EQ(v.find(s[n / 2]), std::find(s.begin(), s.end(), s[n / 2]) - s.begin());
    }
}

TYPED_TEST(VectorReductions, ArithmeticAgreesElementWise)
{
    using T = TypeParam;
    std::mt19937 rng(7);
    // Integer values keep (a + b) - b == a exact for the real types too.
    Vector<T> a = randomVector<T>(33, rng);
    Vector<T> b = randomVector<T>(33, rng);
    a.apply([](T x) { return static_cast<T>(static_cast<int>(x)); });
    b.apply([](T x) { return static_cast<T>(static_cast<int>(x) == 0 ? 1 : static_cast<int>(x)); });
    const Vector<T> sum = a + b;
    const Vector<T> diff = a - b;
    const Vector<T> quot = a / b;
    const Vector<T> prod = a.pointwiseProduct(b);
    const Vector<T> scaled = a * T(3);
    T dot = 0;
    for (int i = 0; i < 33; ++i) {
        EXPECT_EQ(sum[i], static_cast<T>(a[i] + b[i]));
        EXPECT_EQ(diff[i], static_cast<T>(a[i] - b[i]));
        EXPECT_EQ(quot[i], static_cast<T>(a[i] / b[i]));
        EXPECT_EQ(prod[i], static_cast<T>(a[i] * b[i]));
        EXPECT_EQ(scaled[i], static_cast<T>(a[i] * T(3)));
        dot = static_cast<T>(dot + a[i] * b[i]);
    }
    EXPECT_EQ(a.scalarProduct(b), dot);
    Vector<T> c(a);
    c += b;
    EXPECT_EQ(c, sum);
    c -= b;
    EXPECT_EQ(c, a);
    EXPECT_NE(c, b);
}

TYPED_TEST(VectorReductions, CorrelationIsZeroPaddedSlidingProduct)
{
    using T = TypeParam;
    std::mt19937 rng(11);
    for (int m : {1, 2, 3, 4, 5}) {
        const Vector<T> x = randomVector<T>(17, rng);
        const Vector<T> k = randomVector<T>(m, rng);
        const Vector<T> r = x.corr(k);
        const Vector<T> c = x.conv(k);
        for (int i = 0; i < 17; ++i) {
            T expected = 0;
            T expectedConv = 0;
            for (int j = 0; j < m; ++j) {
                const int s = i + j - m / 2;
                if (s >= 0 && s < 17) {
                    expected = static_cast<T>(expected + x[s] * k[j]);
                    expectedConv = static_cast<T>(expectedConv + x[s] * k[m - 1 - j]);
                }
            }
            EXPECT_EQ(r[i], expected) << "m=" << m << " i=" << i;
            EXPECT_EQ(c[i], expectedConv) << "m=" << m << " i=" << i;
        }
    }
}

TEST(Vector, MaskedCorrelationBorrowsTheMirrorSample)
{
    const Vector<double> x{1, 2, 4, 8, 16};
    const Vector<double> k{1, 10, 100};
    const Vector<double> mask{1, 1, 0, 1, 1};
    const Vector<double> r = x.corr(k, mask);
    // Element 0: right tap 2 * 100, left tap missing borrows it: 2 * 1.
    EXPECT_DOUBLE_EQ(r[0], 1 * 10 + 2 * 100 + 2 * 1);
    // Element 1: right neighbour masked, the left one takes both weights.
    EXPECT_DOUBLE_EQ(r[1], 2 * 10 + 1 * (1 + 100));
    EXPECT_DOUBLE_EQ(r[2], 4); // masked elements are kept
    EXPECT_DOUBLE_EQ(r[3], 8 * 10 + 16 * (1 + 100));
    EXPECT_DOUBLE_EQ(r[4], 16 * 10 + 8 * (1 + 100));
    // Both neighbours masked: only the centre tap.
    const Vector<double> lonely = Vector<double>{1, 2, 3}.corr(k, Vector<double>{0, 1, 0});
    EXPECT_DOUBLE_EQ(lonely[1], 20);
    // Without masked elements the masked form mirrors instead of padding.
    const Vector<double> all = x.conv(k, Vector<double>{1, 1, 1, 1, 1});
    EXPECT_DOUBLE_EQ(all[2], 2 * 100 + 4 * 10 + 8 * 1);
    EXPECT_PLEXAN_THROW(x.corr(k, Vector<double>{1, 1}), SizeError,
                        "Vector<T> Vector<T>::corr(const Vector&, const Vector&) const",
                        "The mask is not the same length as this vector");
}

TEST(Vector, StatisticsOfKnownValues)
{
    const Vector<double> v{1, 2, 3, 4};
    EXPECT_DOUBLE_EQ(v.var(), 1.25);
    EXPECT_DOUBLE_EQ(v.std(), std::sqrt(1.25));
    EXPECT_DOUBLE_EQ(v.sse(), 5.0);
    EXPECT_DOUBLE_EQ(v.sem(true), std::sqrt(5.0) / (2 * std::sqrt(3.0)));
    EXPECT_DOUBLE_EQ(v.sem(false), std::sqrt(5.0) / 4);
    EXPECT_DOUBLE_EQ(v.median(), 2.5);
    EXPECT_DOUBLE_EQ(v.mad(), 1.0);
    EXPECT_DOUBLE_EQ(v.percentile(50), 3.0);
    EXPECT_DOUBLE_EQ(v.prod(), 24.0);
    EXPECT_EQ(Vector<double>({3, 1}).median(), 2);
    EXPECT_EQ(Vector<double>({5, 1, 3}).median(), 3);
    EXPECT_EQ(Vector<double>({4, 1, 3, 2}).median(), 2.5);
    EXPECT_EQ(Vector<double>({1, 4, 9}).diff(1), Vector<double>({3, 5, 0}));
    EXPECT_EQ(Vector<double>({2, 3, 4}).cprod(), Vector<double>({2, 6, 24}));
    EXPECT_EQ(Vector<double>({-3, 3, 1}).closestAxis(), 0);
    EXPECT_EQ(Vector<double>({-5, 0.5, 1, 2.9, 7}).histogram(0, 1, 3), Vector<unsigned>({2, 1, 2}));
    EXPECT_EQ(Vector<int>({-5, 0, 1, 2, 7}).histogram(0, 1, 3, Vector<int>{1, 0, 1, 1, 1}),
              Vector<unsigned>({1, 1, 2}));

    const Numbers<double> n = v.numbers();
    EXPECT_EQ(n.getCount(), 4u);
    EXPECT_EQ(n.getMedian(), 2.5);
    EXPECT_EQ(n.getMean(), 2.5);
    EXPECT_FALSE(n.hasStddev());
}

TEST(Vector, ShapePredicates)
{
    const Vector<int> one{7};
    EXPECT_TRUE(one.isIncreasing());
    EXPECT_FALSE(one.isDecreasing());
    EXPECT_TRUE(one.isSymmetrical());
    EXPECT_FALSE(one.isAntiSymmetrical());
    EXPECT_TRUE(Vector<int>({1, 1, 2}).isIncreasing());
    EXPECT_TRUE(Vector<int>({2, 2, 1}).isDecreasing());
    EXPECT_TRUE(Vector<int>({1, 2, 1}).isSymmetrical());
    EXPECT_TRUE(Vector<int>({-1, 5, 1}).isAntiSymmetrical()); // middle not tested
    EXPECT_FALSE(Vector<int>({-1, 5, 2}).isAntiSymmetrical());
}

TEST(Vector, GeometryOfThreeVectors)
{
    const Vector<double> x{1, 0, 0};
    const Vector<double> y{0, 1, 0};
    EXPECT_EQ(x.vectorProduct(y), Vector<double>({0, 0, 1}));
    EXPECT_DOUBLE_EQ(x.angle(y), M_PI / 2);
    EXPECT_DOUBLE_EQ(Vector<double>({3, 4}).norm(), 5);
    EXPECT_DOUBLE_EQ(Vector<double>({1, 1}).distance(Vector<double>({4, 5})), 5);
    Vector<double> n{3, 4};
    n.normalize();
    EXPECT_DOUBLE_EQ(n[0], 0.6);
    Vector<double> zero{0, 0};
    zero.normalize();
    EXPECT_EQ(zero, Vector<double>({0, 0}));
    const Matrix<double> outer = Vector<double>{1, 2}.outerProduct(Vector<double>{3, 4, 5});
    EXPECT_EQ(outer.getSize1(), 2);
    EXPECT_EQ(outer(1, 2), 10);
}

TEST(Vector, StructuralOperations)
{
    Vector<int> v{1, 2, 3, 4, 5};
    EXPECT_EQ(v.copy(1, 3), Vector<int>({2, 3, 4}));
    v.paste(3, Vector<int>{8, 9});
    EXPECT_EQ(v, Vector<int>({1, 2, 3, 8, 9}));
    v.prepend(Vector<int>{0});
    v.append(Vector<int>{10});
    EXPECT_EQ(v, Vector<int>({0, 1, 2, 3, 8, 9, 10}));
    v.reverse();
    EXPECT_EQ(v[0], 10);
    Vector<int> s;
    s.setSequence(5, 2);
    EXPECT_EQ(s.getSize(), 0);
    s.setSize(3);
    s.setSequence(5, 2);
    EXPECT_EQ(s, Vector<int>({5, 7, 9}));
    s.setCanonical(1);
    EXPECT_EQ(s, Vector<int>({0, 1, 0}));
    EXPECT_EQ(Vector<float>({-1.7f, 2.9f}).toType<int>(), Vector<int>({-1, 2}));
    EXPECT_EQ(Vector<int>().csum().getSize(), 0);
    EXPECT_EQ(Vector<int>().toType<double>().getSize(), 0);
    // setSize to the current size keeps the contents.
    s.setSize(3);
    EXPECT_EQ(s, Vector<int>({0, 1, 0}));
}

TEST(Vector, ShallowVectorsNeitherResizeNorFree)
{
    int storage[3] = {1, 2, 3};
    Vector<int> view;
    view.setShallow(storage, 3);
    EXPECT_TRUE(view.isShallow());
    view[1] = 20;
    EXPECT_EQ(storage[1], 20);
    view.setSize(3); // same size: allowed
    EXPECT_PLEXAN_THROW(view.setSize(4), UsageError, "void Vector<T>::setSize(const int)",
                        "This is a shallow vector (cannot be resized)");
    EXPECT_PLEXAN_THROW(view.append(Vector<int>{1}), UsageError, "void Vector<T>::append(const Vector&)",
                        "This is a shallow vector (cannot be resized)");
    EXPECT_PLEXAN_THROW(view.prepend(Vector<int>{1}), UsageError, "void Vector<T>::prepend(const Vector&)",
                        "This is a shallow vector (cannot be resized)");
    Vector<int> other{7, 8, 9};
    view.swap(other); // equal sizes: element exchange
    EXPECT_EQ(storage[0], 7);
    EXPECT_EQ(other, Vector<int>({1, 20, 3}));
    Vector<int> small{1};
    EXPECT_PLEXAN_THROW(view.swap(small), UsageError, "void Vector<T>::swap(Vector&)",
                        "Vector size differ and at least one of them is shallow");
    const Vector<int> copy(view);
    EXPECT_FALSE(copy.isShallow());
    EXPECT_EQ(copy, view);
}

TEST(Vector, FailureTable)
{
    const Vector<double> empty;
    EXPECT_PLEXAN_THROW(empty.min(), SizeError, "T Vector<T>::min() const", "This vector is empty.");
    EXPECT_PLEXAN_THROW(empty.sum(), SizeError, "T Vector<T>::sum() const", "This vector is empty.");
    EXPECT_PLEXAN_THROW(empty.mean(), SizeError, "T Vector<T>::mean() const", "This vector is empty.");
    EXPECT_PLEXAN_THROW(empty.median(), SizeError, "T Vector<T>::median() const", "This vector is empty.");
    EXPECT_PLEXAN_THROW(empty.find(1.0), SizeError, "int Vector<T>::find(const T&) const", "This vector is empty.");
    EXPECT_PLEXAN_THROW(empty.isIncreasing(), SizeError, "bool Vector<T>::isIncreasing() const",
                        "This vector is empty.");
    EXPECT_PLEXAN_THROW(Vector<double>{1}.sem(true), SizeError, "T Vector<T>::sem(const bool) const",
                        "This vector contains a single value.");
    EXPECT_PLEXAN_THROW(Vector<double>({1, 2}).diff(2), SizeError, "Vector<T> Vector<T>::diff(const int) const",
                        "This vector does not contain enough elements");
    EXPECT_PLEXAN_THROW(Vector<double>({2, 1}).percentile(50), UsageError, "T Vector::percentile(const float) const",
                        "This vector is not sorted in increasing order");
    Vector<double> v{1, 2};
    const Vector<double> w{1, 2, 3};
    EXPECT_PLEXAN_THROW(v.paste(1, w), SizeError, "Vector Vector<T>::paste(...)",
                        "Vector to large to be pasted at specified position");
    EXPECT_PLEXAN_THROW(v + w, SizeError, "Vector Vector<T>::operator+(const Vector&) const",
                        "Incompatible vector dimensions");
    EXPECT_PLEXAN_THROW(v - w, SizeError, "Vector<T> Vector<T>::operator-(const Vector&) const",
                        "Incompatible vector dimensions");
    EXPECT_PLEXAN_THROW(v /= w, SizeError, "void Vector<T>::operator/=(const Vector&)",
                        "Incompatible vector dimensions");
    EXPECT_PLEXAN_THROW(v.pointwiseProduct(w), SizeError, "Vector pointwiseProduct(const Vector&) const",
                        "The two vectors have different sizes");
    EXPECT_PLEXAN_THROW(v.scalarProduct(w), SizeError, "T Vector<T>::scalarProduct(const Vector&) const",
                        "The two vectors have different sizes");
    EXPECT_PLEXAN_THROW(v.vectorProduct(w), SizeError, "Vector vectorProduct(const Vector&) const",
                        "At least one vector have a size different from 3");
    EXPECT_PLEXAN_THROW(v.histogram(0, 1, 2, w), SizeError, "Vectorui Vector<T>::histogram(...)",
                        "Incompatible mask size");
    // Nothing changed by a failed operation.
    EXPECT_EQ(v, Vector<double>({1, 2}));
}

TEST(Vector, IntegerAndBoolTypesRefuseRealArithmetic)
{
    EXPECT_PLEXAN_THROW(Vector<int>::epsilon(), TypeError, "int Vector<int>::epsilon()",
                        "Method not available for type 'int'");
    EXPECT_PLEXAN_THROW(Vector<unsigned short>({1, 2}).mean(), TypeError,
                        "unsigned short Vector<unsigned short>::mean() const",
                        "Method not available for type 'unsigned short'");
    EXPECT_PLEXAN_THROW(Vector<bool>({true}).norm(), TypeError, "bool Vector<bool>::norm() const",
                        "Method not available for type 'bool'");
    Vector<char> c{1, 2};
    EXPECT_THROW(c.normalize(), TypeError);
    EXPECT_THROW(c.var(), TypeError);
    EXPECT_THROW(c.distance(c), TypeError);
    EXPECT_EQ(Vector<bool>::epsilon(), true);
    EXPECT_EQ(Vector<float>::epsilon(), 1e-6f);
    EXPECT_EQ(Vector<double>::epsilon(), 1e-15);
    EXPECT_EQ(Vector<long double>::epsilon(), 1e-18L);
}

class VectorPrint : public ::testing::Test {
protected:
    void TearDown() override
    {
        Tensa::setIOWidth(7);
        Tensa::setIOPrecision(2);
        Tensa::setIOEpsilon(0.0f);
        Tensa::setIOTranspose(false);
    }
};

TEST_F(VectorPrint, FixedFieldsOnTheStandardOutput)
{
    const Vector<double> v{1, 0.0001, -2.5};
    testing::internal::CaptureStdout();
    v.print();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "   1.00   0.00  -2.50\n");

    Tensa::setIOEpsilon(0.001f);
    Tensa::setIOPrecision(5);
    Tensa::setIOWidth(9);
    testing::internal::CaptureStdout();
    v.print("v = ");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "v =   1.00000  0.00000 -2.50000\n");

    testing::internal::CaptureStdout();
    Vector<int>{3}.print();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "  3.00000\n");
}

TEST_F(VectorPrint, TransposedOneElementPerLine)
{
    Tensa::setIOTranspose(true);
    testing::internal::CaptureStdout();
    Vector<float>{1, 2}.print("col");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "col\n   1.00\n   2.00\n");
}

TEST_F(VectorPrint, OtherStreamsTakeTheNumbersOnTheErrorOutput)
{
    std::ostringstream os;
    testing::internal::CaptureStderr();
    Vector<double>{1.5}.print("x", os);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "   1.50");
    EXPECT_EQ(os.str(), "x\n");
}

TEST(Numbers, StreamFormListsTheSevenFields)
{
    Numbers<int> n;
    n.setCount(3);
    n.setMinimum(1);
    n.setMaximum(9);
    n.setMedian(4);
    n.setSum(14);
    n.setMean(4);
    std::ostringstream os;
    os << n;
    EXPECT_EQ(os.str(), "Count:   3\nMinimum: 1\nMedian:  4\nMaximum: 9\nSum:     14\nMean:    4\nStdDev:  NA\n");
    Numbers<int> copy = n;
    EXPECT_TRUE(copy.hasSum());
    copy.clear();
    EXPECT_FALSE(copy.hasCount());
}

} // namespace
