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
        EXPECT_EQ(v.range(), Vector<T>({v.min(), v.max()}));

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
    const Vector<T> sum = a + b, diff = a - b, quot = a / b, prod = a.pointwiseProduct(b), scaled = a * T(3);
    T dot = 0;
    for (int i = 0; i < 33; ++i) {
        EXPECT_EQ(Vector<T>({sum[i], diff[i], quot[i], prod[i], scaled[i]}),
                  Vector<T>({static_cast<T>(a[i] + b[i]), static_cast<T>(a[i] - b[i]), static_cast<T>(a[i] / b[i]),
                             static_cast<T>(a[i] * b[i]), static_cast<T>(a[i] * T(3))}));
        dot = static_cast<T>(dot + a[i] * b[i]);
    }
    EXPECT_EQ(a.scalarProduct(b), dot);
    Vector<T> c(a);
    c += b;
    EXPECT_EQ(c, sum);
    c -= b;
    EXPECT_EQ(c, a);
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
    EXPECT_DOUBLE_EQ(v.mad(), 1.0);
    EXPECT_DOUBLE_EQ(v.percentile(50), 3.0);
    EXPECT_DOUBLE_EQ(v.prod(), 24.0);
    EXPECT_EQ(Vector<double>({1, 4, 9}).diff(1), Vector<double>({3, 5, 0}));
    EXPECT_EQ(Vector<double>({2, 3, 4}).cprod(), Vector<double>({2, 6, 24}));
    EXPECT_EQ(Vector<double>({-3, 3, 1}).closestAxis(), 0);
    EXPECT_EQ(Vector<double>({-5, 0.5, 1, 2.9, 7}).histogram(0, 1, 3), Vector<unsigned>({2, 1, 2}));
    EXPECT_EQ(Vector<int>({-5, 0, 1, 2, 7}).histogram(0, 1, 3, Vector<int>{1, 0, 1, 1, 1}),
              Vector<unsigned>({1, 1, 2}));
    const Numbers<double> n = v.numbers();
    EXPECT_EQ(n.getMedian(), 2.5);
    EXPECT_FALSE(n.hasStddev());
    // Shape predicates: a single element is increasing and symmetrical; the
    // middle element of an antisymmetrical vector is not tested.
    EXPECT_TRUE(Vector<int>{7}.isIncreasing() && !Vector<int>{7}.isDecreasing() && Vector<int>{7}.isSymmetrical());
    EXPECT_TRUE(Vector<int>({2, 2, 1}).isDecreasing() && Vector<int>({1, 2, 1}).isSymmetrical());
    EXPECT_TRUE(Vector<int>({-1, 5, 1}).isAntiSymmetrical());
    EXPECT_FALSE(Vector<int>({-1, 5, 2}).isAntiSymmetrical() || Vector<int>{7}.isAntiSymmetrical());
}

TEST(Vector, GeometryAndStructure)
{
    const Vector<double> x{1, 0, 0};
    EXPECT_EQ(x.vectorProduct(Vector<double>{0, 1, 0}), Vector<double>({0, 0, 1}));
    EXPECT_DOUBLE_EQ(x.angle(Vector<double>{0, 1, 0}), M_PI / 2);
    EXPECT_DOUBLE_EQ(Vector<double>({1, 1}).distance(Vector<double>({4, 5})), 5);
    Vector<double> n{3, 4}, zero{0, 0};
    n.normalize();
    zero.normalize();
    EXPECT_DOUBLE_EQ(n[0], 0.6);
    EXPECT_DOUBLE_EQ(n[1], 0.8);
    EXPECT_EQ(zero, Vector<double>({0, 0}));
    EXPECT_EQ((Vector<double>{1, 2}.outerProduct(Vector<double>{3, 4, 5})(1, 2)), 10);

    Vector<int> v{1, 2, 3, 4, 5};
    EXPECT_EQ(v.copy(1, 3), Vector<int>({2, 3, 4}));
    v.paste(3, Vector<int>{8, 9});
    v.prepend(Vector<int>{0});
    v.append(Vector<int>{10});
    v.reverse();
    EXPECT_EQ(v, Vector<int>({10, 9, 8, 3, 2, 1, 0}));
    Vector<int> s(3u);
    s.setSequence(5, 2);
    EXPECT_EQ(s, Vector<int>({5, 7, 9}));
    s.setCanonical(1);
    s.setSize(3); // the same size keeps the contents
    EXPECT_EQ(s, Vector<int>({0, 1, 0}));
    EXPECT_EQ(Vector<float>({-1.7f, 2.9f}).toType<int>(), Vector<int>({-1, 2}));
}

TEST(Vector, ShallowVectorsNeitherResizeNorFree)
{
    int storage[3] = {1, 2, 3};
    Vector<int> view;
    view.setShallow(storage, 3);
    view[1] = 20;
    EXPECT_EQ(storage[1], 20);
    view.setSize(3); // same size: allowed
    EXPECT_PLEXAN_THROW(view.append(Vector<int>{1}), UsageError, "void Vector<T>::append(const Vector&)",
                        "This is a shallow vector (cannot be resized)");
    EXPECT_THROW(view.setSize(4), UsageError);
    Vector<int> other{7, 8, 9};
    view.swap(other); // equal sizes: element exchange
    EXPECT_EQ(storage[0], 7);
    EXPECT_EQ(other, Vector<int>({1, 20, 3}));
    Vector<int> small{1};
    EXPECT_PLEXAN_THROW(view.swap(small), UsageError, "void Vector<T>::swap(Vector&)",
                        "Vector size differ and at least one of them is shallow");
    EXPECT_FALSE(Vector<int>(view).isShallow());
}

// One failure of each kind; a failed operation changes nothing.
TEST(Vector, FailureTable)
{
    EXPECT_PLEXAN_THROW(Vector<double>().median(), SizeError, "T Vector<T>::median() const", "This vector is empty.");
    EXPECT_PLEXAN_THROW(Vector<double>{1}.sem(true), SizeError, "T Vector<T>::sem(const bool) const",
                        "This vector contains a single value.");
    EXPECT_PLEXAN_THROW(Vector<double>({2, 1}).percentile(50), UsageError, "T Vector::percentile(const float) const",
                        "This vector is not sorted in increasing order");
    Vector<double> v{1, 2};
    const Vector<double> w{1, 2, 3};
    EXPECT_PLEXAN_THROW(v.paste(1, w), SizeError, "Vector Vector<T>::paste(...)",
                        "Vector to large to be pasted at specified position");
    EXPECT_PLEXAN_THROW(v /= w, SizeError, "void Vector<T>::operator/=(const Vector&)",
                        "Incompatible vector dimensions");
    EXPECT_PLEXAN_THROW(v.scalarProduct(w), SizeError, "T Vector<T>::scalarProduct(const Vector&) const",
                        "The two vectors have different sizes");
    EXPECT_PLEXAN_THROW(v.histogram(0, 1, 2, w), SizeError, "Vectorui Vector<T>::histogram(...)",
                        "Incompatible mask size");
    EXPECT_EQ(v, Vector<double>({1, 2}));
    // Integer and bool vectors refuse real arithmetic.
    EXPECT_PLEXAN_THROW(Vector<unsigned short>({1, 2}).mean(), TypeError,
                        "unsigned short Vector<unsigned short>::mean() const",
                        "Method not available for type 'unsigned short'");
    EXPECT_PLEXAN_THROW(Vector<bool>({true}).norm(), TypeError, "bool Vector<bool>::norm() const",
                        "Method not available for type 'bool'");
    EXPECT_EQ(Vector<double>::epsilon(), 1e-15);
    EXPECT_EQ(Vector<long double>::epsilon(), 1e-18L);
}

TEST(Vector, PrintUsesTheSharedFormat)
{
    const Vector<double> v{1, 0.0001, -2.5};
    testing::internal::CaptureStdout();
    v.print();
    Tensa::setIOEpsilon(0.001f);
    Tensa::setIOPrecision(5);
    Tensa::setIOWidth(9);
    v.print("v = ");
    Tensa::setIOTranspose(true);
    Vector<int>{3, 4}.print("col");
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "   1.00   0.00  -2.50\nv =   1.00000  0.00000 -2.50000\ncol\n  3.00000\n  4.00000\n");
    Tensa::setIOWidth(7);
    Tensa::setIOPrecision(2);
    Tensa::setIOEpsilon(0.0f);
    Tensa::setIOTranspose(false);
    // Other streams take the label; the numbers go to the error output.
    std::ostringstream os;
    testing::internal::CaptureStderr();
    Vector<double>{1.5}.print("x", os);
    EXPECT_EQ(testing::internal::GetCapturedStderr() + "|" + os.str(), "   1.50|x\n");

    Numbers<int> n;
    n.setCount(3);
    n.setMinimum(1);
    n.setMaximum(9);
    n.setMedian(4);
    n.setSum(14);
    n.setMean(4);
    std::ostringstream out;
    out << n;
    EXPECT_EQ(out.str(), "Count:   3\nMinimum: 1\nMedian:  4\nMaximum: 9\nSum:     14\nMean:    4\nStdDev:  NA\n");
}

} // namespace
