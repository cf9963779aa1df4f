#include "statistics/shapesetregistration.h"

#include "fusiontesting.h"
#include "support/expect.h"

using fusiontesting::movedCopy;
using fusiontesting::rotation;

namespace {

template <typename T>
class ShapeSetRegistrationTest : public ::testing::Test {};
using RealTypes = ::testing::Types<float, double, long double>;
TYPED_TEST_SUITE(ShapeSetRegistrationTest, RealTypes);

template <typename T>
T tolerance()
{
    return std::is_same_v<T, float> ? T(1e-3) : T(1e-8);
}

} // namespace

TYPED_TEST(ShapeSetRegistrationTest, RecoversTheInverseOfAKnownRigidMove)
{
    using T = TypeParam;
    std::mt19937 rng(1);
    const ShapeSet<T> base = fusiontesting::baseSet<T>();
    const struct {
        double angle, x, y, z;
        T tx, ty, tz;
    } moves[] = {{0.15, 0, 0, 1, T(5), T(-3), T(2)}, {0.45, 1, 1, 0, T(-4), T(6), T(1)}, {0.2, 1, -1, 0.5, T(0), T(0), T(9)}};
    for (const auto& m : moves) {
        const SquareMatrix<T> r = rotation<T>(m.angle, m.x, m.y, m.z);
        const Vector<T> t{m.tx, m.ty, m.tz};
        ShapeSet<T> moving = movedCopy(base, r, t, 0.0, rng, "moving");
        // Start from another column origin on the first tube: the
        // correspondence must be found again. (Columns are matched by
        // position, so turns about a tube's own axis must stay below half a
        // column, 11.25 degrees here.)
        for (int k = 0; k < dynamic_cast<QuadMesh<T>*>(moving[0])->getHeight(); ++k)
            (*dynamic_cast<QuadMesh<T>*>(moving[0]))[k].setOrigin(3);

        ShapeSetRegistration<T> registration;
        registration.apply(moving, base);
        // x -> r x + t is undone by x -> r^T x - r^T t.
        const Matrix<T> rt = r.transpose();
        const Vector<T> back = -(rt * t);
        for (int i = 0; i < 3; ++i) {
            EXPECT_NEAR(registration.getTranslationVector()[i], back[i], T(20) * tolerance<T>());
            for (int j = 0; j < 3; ++j)
                EXPECT_NEAR(registration.getRotationMatrix()(i, j), rt(i, j), tolerance<T>());
        }
        // The non-reference points move with the set.
        EXPECT_LT(moving[2]->rmsDistance(*base[2]), T(20) * tolerance<T>());
        const std::vector<T>& dynamics = registration.getDynamics();
        ASSERT_GE(dynamics.size(), 2u);
        EXPECT_GT(dynamics.front(), T(1));
        EXPECT_LT(dynamics.back(), T(20) * tolerance<T>());
    }
}

TYPED_TEST(ShapeSetRegistrationTest, ASetRegisteredOntoItselfStaysInPlace)
{
    using T = TypeParam;
    ShapeSet<T> set = fusiontesting::baseSet<T>();
    const Vector<T> before = set[0]->toVector();
    ShapeSetRegistration<T> registration;
    registration.apply(set, set);
    EXPECT_TRUE(set[0]->toVector() == before);
    EXPECT_TRUE(registration.getDynamics().empty());

    ShapeSet<T> none("none");
    none.addShape(nullptr, true);
    none.addShape(nullptr, true);
    none.addShape(nullptr);
    EXPECT_PLEXAN_THROW(registration.apply(none, set), ValueError,
                        "void ShapeSetRegistration<T>::apply(ShapeSet<T>&,const ShapeSet<T>&)",
                        "The shape sets have no reference shape in common");
}
