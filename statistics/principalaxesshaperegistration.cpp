#include "statistics/principalaxesshaperegistration.h"

#include "numerics/exception.h"

template <typename T>
void PrincipalAxesShapeRegistration<T>::compute(const Shape<T>& moving, const Shape<T>&)
{
    const int n = moving.getSpace();
    if (moving.getNumVertices() == 0) {
        this->m_rotation.setIdentity(n > 0 ? n : 3);
        this->m_translation.setZeros(n > 0 ? n : 3);
        return;
    }
    Vector<T> c;
    const SquareMatrix<T> inertia = moving.inertia(c);
    Vector<T> values;
    SquareMatrix<T> vectors;
    inertia.eigenJacobi(values, vectors, true);

    // Orient the leading axes by the sign of the third moment along them.
    using R = plexan::Accumulator<T>;
    std::vector<R> skew(static_cast<std::size_t>(n), R(0));
    for (ConstVertexIterator<T> it(moving); it.current(); ++it) {
        const Vector<T>& x = *it.current();
        for (int a = 0; a < n; ++a) {
            R u = 0;
            for (int b = 0; b < n; ++b)
                u += static_cast<R>(vectors(b, a)) * (static_cast<R>(x[b]) - static_cast<R>(c[b]));
            skew[static_cast<std::size_t>(a)] += u * u * u;
        }
    }
    int flips = 0;
    for (int a = 0; a + 1 < n; ++a)
        if (skew[static_cast<std::size_t>(a)] < R(0)) {
            for (int b = 0; b < n; ++b)
                vectors(b, a) = -vectors(b, a);
            ++flips;
        }
    if (flips % 2 == 1)
        for (int b = 0; b < n; ++b)
            vectors(b, n - 1) = -vectors(b, n - 1);

    this->m_rotation = SquareMatrix<T>(vectors.transpose());
    this->m_translation = -(this->m_rotation * c);
}

#define PLEXAN_INSTANTIATE(T) template class PrincipalAxesShapeRegistration<T>;
PLEXAN_FOR_EACH_REAL_TYPE(PLEXAN_INSTANTIATE)
#undef PLEXAN_INSTANTIATE
