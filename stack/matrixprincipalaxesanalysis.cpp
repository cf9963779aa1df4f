#include "stack/matrixprincipalaxesanalysis.h"

#include <cmath>
#include <vector>

namespace {

[[noreturn]] void throwNotAnalyzed(const char* where)
{
    throw UsageError(where, "No image was analyzed yet");
}

} // namespace

template <typename T>
void MatrixPrincipalAxesAnalysis<T>::apply(const PixelMatrix<T>& m)
{
    const int n = m.getSize1();
    const int p = m.getSize2();

    // Row and column sums in one pass over contiguous rows.
    std::vector<T> rows(static_cast<std::size_t>(n), T(0));
    std::vector<T> columns(static_cast<std::size_t>(p), T(0));
    for (int i = 0; i < n; ++i) {
        const T* row = m[i].data();
        T r = T(0);
        for (int j = 0; j < p; ++j) {
            r += row[j];
            columns[j] += row[j];
        }
        rows[i] = r;
    }
    T total = T(0);
    for (int i = 0; i < n; ++i)
        total += rows[i];
    for (T& r : rows)
        r /= total;
    for (T& c : columns)
        c /= total;

    T muI = T(0);
    for (int i = 0; i < n; ++i)
        muI += T(i) * rows[i];
    T muJ = T(0);
    for (int j = 0; j < p; ++j)
        muJ += T(j) * columns[j];

    T i00 = T(0);
    for (int i = 0; i < n; ++i)
        i00 += (T(i) - muI) * (T(i) - muI) * rows[i];
    T i11 = T(0);
    for (int j = 0; j < p; ++j)
        i11 += (T(j) - muJ) * (T(j) - muJ) * columns[j];

    // Cross moment: for each column, the sum over the rows of
    // (i - muI) M(i, j), accumulated row by row, then divided by S.
    std::vector<T> crossByColumn(static_cast<std::size_t>(p), T(0));
    for (int i = 0; i < n; ++i) {
        const T* row = m[i].data();
        const T di = T(i) - muI;
        for (int j = 0; j < p; ++j)
            crossByColumn[j] += di * row[j];
    }
    T i01 = T(0);
    for (int j = 0; j < p; ++j)
        i01 += (T(j) - muJ) * crossByColumn[j] / total;

    m_center = Vector<T>{muI, muJ};
    m_inertia.setSize(2);
    m_inertia(0, 0) = i00;
    m_inertia(0, 1) = i01;
    m_inertia(1, 0) = i01;
    m_inertia(1, 1) = i11;

    if (std::fabs(i01) <= Vector<T>::epsilon()) {
        m_angle = i11 <= i00 ? T(0) : T(3.141592653589793L) / T(2);
    } else {
        const T r = (i11 - i00) / (T(2) * i01);
        m_angle = std::atan2(r + std::sqrt(r * r + T(1)), T(1));
    }
    m_analyzed = true;
}

template <typename T>
const Vector<T>& MatrixPrincipalAxesAnalysis<T>::getInertiaCenter() const
{
    if (!m_analyzed)
        throwNotAnalyzed("const Vector<T>& MatrixPrincipalAxesAnalysis<T>::getInertiaCenter() const");
    return m_center;
}

template <typename T>
const SquareMatrix<T>& MatrixPrincipalAxesAnalysis<T>::getInertiaMatrix() const
{
    if (!m_analyzed)
        throwNotAnalyzed(
            "const SquareMatrix<T>& MatrixPrincipalAxesAnalysis<T>::getInertiaMatrix() const");
    return m_inertia;
}

template <typename T>
T MatrixPrincipalAxesAnalysis<T>::getAngle() const
{
    if (!m_analyzed)
        throwNotAnalyzed("T MatrixPrincipalAxesAnalysis<T>::getAngle() const");
    return m_angle;
}

#define PLEXAN_INSTANTIATE(T) template class MatrixPrincipalAxesAnalysis<T>;
PLEXAN_FOR_EACH_REAL_TYPE(PLEXAN_INSTANTIATE)
#undef PLEXAN_INSTANTIATE
