#include "numerics/squarematrix.h"

template <typename T>
SquareMatrix<T>::SquareMatrix(const Matrix<T>& m)
{
    if (m.getSize1() != m.getSize2()) {
        SizeError e;
        e.setWhere("SquareMatrix<T>::SquareMatrix(const Matrix<T>&)");
        throw e;
    }
    Matrix<T>::operator=(m);
}

template <typename T>
SquareMatrix<T>& SquareMatrix<T>::operator=(const Matrix<T>& m)
{
    Matrix<T>::operator=(m); // through the virtual setSize, which refuses n != p
    return *this;
}

template <typename T>
void SquareMatrix<T>::setSize(int n, int p)
{
    if (n != p) {
        SizeError e;
        e.setWhere("void SquareMatrix<T>::setSize(const int, const int)");
        e.setWhat("Arguments n and p have distinct values.");
        throw e;
    }
    Matrix<T>::setSize(n, n);
}

template class SquareMatrix<int>;
template class SquareMatrix<float>;
template class SquareMatrix<double>;
template class SquareMatrix<long double>;
