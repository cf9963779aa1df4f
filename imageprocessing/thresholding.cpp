#include "imageprocessing/thresholding.h"

#include "geometry/curve.h"

#include <cstdlib>
#include <vector>

template <typename T>
void Thresholding<T>::binarise(T* row, int n) const
{
    const T threshold = m_threshold;
    const T below = m_foregroundIsAbove ? m_background : m_foreground;
    const T above = m_foregroundIsAbove ? m_foreground : m_background;
    for (int j = 0; j < n; ++j)
        row[j] = row[j] < threshold ? below : above;
}

template <typename T>
void Thresholding<T>::apply(PixelMatrix<T>& m)
{
    const int rows = m.getSize1();
    const int columns = m.getSize2();
    this->notifyStarted("");
    for (int i = 0; i < rows; ++i) {
        binarise(m[i].data(), columns);
        this->notifyProgressed(static_cast<unsigned int>(i + 1), static_cast<unsigned int>(rows));
    }
    this->notifyFinished("");
}

template <typename T>
void Thresholding<T>::apply(VoxelMatrix<T>& m)
{
    const int rows = m.getSize1();
    const int columns = m.getSize2();
    const int planes = m.getSize3();
    const unsigned int total = static_cast<unsigned int>(rows) * static_cast<unsigned int>(planes > 0 ? planes : 0);
    unsigned int done = 0;
    this->notifyStarted("");
    for (int k = 0; k < planes; ++k) {
        PixelMatrix<T>& plane = m[k];
        for (int i = 0; i < rows; ++i) {
            binarise(plane[i].data(), columns);
            this->notifyProgressed(++done, total);
        }
    }
    this->notifyFinished("");
}

template <typename T>
void Thresholding<T>::levelSetMask(PixelMatrix<T>& m, T level) const
{
    const int columns = m.getSize2();
    const T foreground = m_foreground;
    const T background = m_background;
    for (int i = 0; i < m.getSize1(); ++i) {
        T* row = m[i].data();
        for (int j = 0; j < columns; ++j)
            row[j] = row[j] == level ? foreground : background;
    }
}

template <typename T>
void Thresholding<T>::levelSetMask(VoxelMatrix<T>& m, T level) const
{
    for (int k = 0; k < m.getSize3(); ++k)
        levelSetMask(m[k], level);
}

template <typename T>
void Thresholding<T>::contours(PixelMatrix<T>& m) const
{
    const int rows = m.getSize1();
    const int columns = m.getSize2();
    if (rows < 3 || columns < 3)
        return;
    const T f = m_foreground;
    // Rows i - 1 and i as they were before the pass; row i + 1 is still
    // untouched when row i is thinned.
    std::vector<T> previous(m[0].data(), m[0].data() + columns);
    std::vector<T> current(columns);
    // full[j]: elements j - 1, j and j + 1 of the three rows are all foreground
    // except possibly the centre one, which is tested separately.
    std::vector<unsigned char> column(columns);
    for (int i = 1; i < rows - 1; ++i) {
        T* row = m[i].data();
        const T* next = m[i + 1].data();
        std::copy(row, row + columns, current.begin());
        for (int j = 0; j < columns; ++j)
            column[j] = (previous[j] == f) & (current[j] == f) & (next[j] == f);
        for (int j = 1; j < columns - 1; ++j)
            if (column[j - 1] & column[j] & column[j + 1])
                row[j] = m_background;
        previous.swap(current);
    }
}

namespace {

// Heading of the boundary follower: down (towards row + 1), left, up, right.
// The three elements looked at in front, in order; the first one also turns
// the heading a quarter to the follower's right (down -> left -> up -> right).
constexpr int frontRow[4][3] = {{1, 1, 1}, {-1, 0, 1}, {-1, -1, -1}, {1, 0, -1}};
constexpr int frontColumn[4][3] = {{-1, 0, 1}, {-1, -1, -1}, {1, 0, -1}, {1, 1, 1}};

} // namespace

template <typename T>
void Thresholding<T>::extractCurve(Curve<int>& curve, int i, int j, const PixelMatrix<T>& m, int tolerance) const
{
    const int rows = m.getSize1();
    const int columns = m.getSize2();
    const T f = m_foreground;
    auto isForeground = [&](int r, int c) {
        return r >= 0 && r < rows && c >= 0 && c < columns && m[r][c] == f;
    };

    Vector<int> vertex(2u);
    vertex[0] = i;
    vertex[1] = j;
    curve.append(vertex);

    int r = i;
    int c = j;
    int heading = 0;
    bool hasPrevious = false;
    int previousRow = 0;
    int previousColumn = 0;
    // A walk that has not come back after visiting every (position, heading)
    // state never will (the start was not on a boundary it can follow).
    const long long maxSteps = 4LL * rows * columns + 4;
    for (long long step = 0; step < maxSteps; ++step) {
        int dr = 0;
        int dc = 0;
        bool moved = false;
        for (int attempt = 0; attempt < 3 && !moved; ++attempt) {
            for (int q = 0; q < 3; ++q) {
                if (isForeground(r + frontRow[heading][q], c + frontColumn[heading][q])) {
                    dr = frontRow[heading][q];
                    dc = frontColumn[heading][q];
                    if (q == 0)
                        heading = (heading + 1) % 4;
                    moved = true;
                    break;
                }
            }
            if (!moved && attempt < 2)
                heading = (heading + 3) % 4; // down -> right -> up -> left
        }
        if (!moved) {
            // Nowhere to go from here with this heading: an isolated element
            // ends at once, otherwise the next round starts from the new
            // heading.
            if (r == i && c == j)
                break;
            continue;
        }
        r += dr;
        c += dc;
        const int n = curve.getNumVertices();
        bool moveLast = false;
        if (hasPrevious && dr == previousRow && dc == previousColumn) {
            moveLast = true;
        } else if (tolerance > 0 && hasPrevious && n >= 2 && (dr == previousRow || dc == previousColumn)) {
            const Vector<int>& a = curve[n - 2];
            const Vector<int>& b = curve[n - 1];
            const long long cross = static_cast<long long>(b[0] - a[0]) * (c - a[1])
                - static_cast<long long>(b[1] - a[1]) * (r - a[0]);
            moveLast = std::llabs(cross) <= tolerance;
        }
        if (moveLast) {
            Vector<int>& last = curve[n - 1];
            last[0] = r;
            last[1] = c;
        } else if (r != i || c != j) {
            vertex[0] = r;
            vertex[1] = c;
            curve.append(vertex);
        }
        previousRow = dr;
        previousColumn = dc;
        hasPrevious = true;
        if (r == i && c == j)
            break;
    }
}

template class Thresholding<int>;
template class Thresholding<float>;
template class Thresholding<double>;
template class Thresholding<long double>;
