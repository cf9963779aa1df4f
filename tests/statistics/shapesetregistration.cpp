#include "statistics/shapesetregistration.h"

#include "statisticstesting.h"

using namespace statisticstesting;

namespace {

template <typename T>
class ShapeSetRegistrationTest : public ::testing::Test {};
TYPED_TEST_SUITE(ShapeSetRegistrationTest, RealTypes);

} // namespace

TYPED_TEST(ShapeSetRegistrationTest, RecoversTheInverseOfAKnownRigidMove)
{
    using T = TypeParam;
    const T tol = tolerance<T>(1e-3, 1e-8);
    std::mt19937 rng(1);
    ShapeSet<T> base = baseSet<T>();
    const double moves[3][7] = {{0.15, 0, 0, 1, 5, -3, 2}, {0.45, 1, 1, 0, -4, 6, 1}, {0.2, 1, -1, 0.5, 0, 0, 9}};
    for (const auto& m : moves) {
        const SquareMatrix<T> r = rotation<T>(m[0], m[1], m[2], m[3]);
        const Vector<T> t{T(m[4]), T(m[5]), T(m[6])};
        ShapeSet<T> moving = movedCopy(base, r, t, 0.0, rng, "moving");
        // Start from another column origin on the first tube: the
        // correspondence must be found again. (Columns are matched by
        // position, so turns about a tube's own axis must stay below half a
        // column, 11.25 degrees here.)
        auto* tube = dynamic_cast<QuadMesh<T>*>(moving[0]);
        for (int k = 0; k < tube->getHeight(); ++k)
            (*tube)[k].setOrigin(3);

        ShapeSetRegistration<T> registration;
        registration.apply(moving, base);
        // x -> r x + t is undone by x -> r^T x - r^T t.
        const Matrix<T> rt = r.transpose();
        const Vector<T> back = -(rt * t);
        for (int i = 0; i < 3; ++i) {
            EXPECT_NEAR(registration.getTranslationVector()[i], back[i], T(20) * tol);
            for (int j = 0; j < 3; ++j)
                EXPECT_NEAR(registration.getRotationMatrix()(i, j), rt(i, j), tol);
        }
        // The non-reference points move with the set.
        EXPECT_LT(moving[2]->rmsDistance(*base[2]), T(20) * tol);
        const std::vector<T>& dynamics = registration.getDynamics();
        ASSERT_GE(dynamics.size(), 2u);
        EXPECT_GT(dynamics.front(), T(1));
        EXPECT_LT(dynamics.back(), T(20) * tol);
    }

    // A set registered onto itself stays in place.
    const Vector<T> before = base[0]->toVector();
    ShapeSetRegistration<T> registration;
    registration.apply(base, base);
    EXPECT_TRUE(base[0]->toVector() == before);
    EXPECT_TRUE(registration.getDynamics().empty());
    ShapeSet<T> none("none");
    none.addShape(nullptr, true);
    none.addShape(nullptr, true);
    none.addShape(nullptr);
    EXPECT_PLEXAN_THROW(registration.apply(none, base), ValueError,
                        "void ShapeSetRegistration<T>::apply(ShapeSet<T>&,const ShapeSet<T>&)",
                        "The shape sets have no reference shape in common");
}
