#include "imageprocessing/volumehistogramexpansion.h"

#include "imageprocessing/progresssteps.h"

#include <algorithm>
#include <type_traits>

template <typename T>
void VolumeHistogramExpansion<T>::apply(VoxelMatrix<T>& m)
{
    const int rows = m.getSize1();
    const int columns = m.getSize2();
    const int planes = m.getSize3();
    ProgressSteps progress(*this, static_cast<long long>(rows) * (planes > 0 ? planes : 0), "");
    if (rows < 1 || columns < 1 || planes < 1) {
        progress.finish();
        return;
    }
    const Vector<T> range = m.range();
    const T lo = range[0];
    const T hi = range[1];
    for (int k = 0; k < planes; ++k) {
        for (int i = 0; i < rows; ++i) {
            T* row = m[k][i].data();
            if (hi == lo) {
                std::fill(row, row + columns, m_min);
            } else if constexpr (std::is_floating_point_v<T>) {
                const T scale = m_max - m_min;
                const T extent = hi - lo;
                const T min = m_min;
                for (int j = 0; j < columns; ++j)
                    row[j] = (row[j] - lo) * scale / extent + min;
            } else {
                const long long scale = static_cast<long long>(m_max) - static_cast<long long>(m_min);
                const long long extent = static_cast<long long>(hi) - static_cast<long long>(lo);
                const long long base = static_cast<long long>(lo);
                const long long min = static_cast<long long>(m_min);
                for (int j = 0; j < columns; ++j)
                    row[j] = static_cast<T>((static_cast<long long>(row[j]) - base) * scale / extent + min);
            }
            progress.advance();
        }
    }
    progress.finish();
}

template class VolumeHistogramExpansion<short>;
template class VolumeHistogramExpansion<unsigned short>;
template class VolumeHistogramExpansion<int>;
template class VolumeHistogramExpansion<unsigned int>;
template class VolumeHistogramExpansion<float>;
template class VolumeHistogramExpansion<double>;
template class VolumeHistogramExpansion<long double>;
