#include "statistics/histogramdensityestimator.h"

#include "numerics/exception.h"
#include "numerics/trace.h"

#include <cmath>
#include <sstream>

template <typename T>
void HistogramDensityEstimator<T>::compute(VoxelMatrix<T>& matrix, const BoundingBox<T>& box)
{
    const char* where = "void HistogramDensityEstimator<T>::compute(VoxelMatrix<T>&,const BoundingBox<T>&)";
    if (box.getVertex1().getSize() != 3 || box.getVertex2().getSize() != 3)
        throw SizeError(where, "Incompatible vector dimensions");
    matrix.setZeros();
    const Vector<T>& origin = box.getVertex1();
    const Vector<T> widths = box.widths();
    const int size[3] = {matrix.getSize1(), matrix.getSize2(), matrix.getSize3()};
    if (Trace::isEnabled()) {
        auto triple = [](auto x, auto y, auto z) {
            std::ostringstream os;
            os << "(" << x << ", " << y << ", " << z << ")";
            return os.str();
        };
        Trace::eval("widths", triple(widths[0], widths[1], widths[2]));
        Trace::eval("origin", triple(origin[0], origin[1], origin[2]));
        Trace::eval("sizes", triple(size[0], size[1], size[2]));
    }
    m_numTotal = 0;
    m_numDiscarded = 0;
    if (!matrix.isEmpty()) {
        for (const Shape<T>* shape : this->m_shapes)
            for (ConstVertexIterator<T> it(*shape); it.current(); ++it) {
                const Vector<T>& v = *it.current();
                if (v.getSize() != 3)
                    throw SizeError(where, "Incompatible vector dimensions");
                ++m_numTotal;
                if (!box.contains(v)) {
                    ++m_numDiscarded;
                    continue;
                }
                int cell[3];
                for (int a = 0; a < 3; ++a) {
                    const T u = widths[a] > T(0) ? static_cast<T>(size[a]) * (v[a] - origin[a]) / widths[a] : T(0);
                    const int c = static_cast<int>(std::floor(u));
                    cell[a] = c < 0 ? 0 : c >= size[a] ? size[a] - 1 : c;
                }
                matrix(cell[0], cell[1], cell[2]) += T(1);
            }
    }
    Trace::eval("numTotal", m_numTotal);
    Trace::eval("numDiscarded", m_numDiscarded);
}

#define PLEXAN_INSTANTIATE(T) template class HistogramDensityEstimator<T>;
PLEXAN_FOR_EACH_REAL_TYPE(PLEXAN_INSTANTIATE)
#undef PLEXAN_INSTANTIATE
