#include "geometry/shapeinterpolation.h"

#include "geometry/shape.h"

#include <memory>

template <typename T>
void ShapeInterpolation<T>::apply(const T t, Shape<T>& result) const
{
    static const char* where = "void ShapeInterpolation<T>::apply(const T, Shape<T>&)";
    if (!m_source || !m_target) {
        ProgramError e;
        e.setWhere(where);
        e.setWhat("Missing source and/or target shape");
        throw e;
    }
    if (!(t >= T(0) && t <= T(1))) {
        UsageError e;
        e.setWhere(where);
        e.setWhat("Interpolation step out of [0-1] range");
        throw e;
    }
    if (m_source->getNumVertices() != m_target->getNumVertices()) {
        SizeError e;
        e.setWhere(where);
        e.setWhat("Incompatible vertex counts");
        throw e;
    }
    if (t == T(1)) {
        result = *m_target;
        result.detach();
        return;
    }

    // When the result is the target itself, a second handle keeps the
    // target's coordinates readable once the result has left them.
    std::unique_ptr<Shape<T>> targetHandle;
    const Shape<T>* target = m_target;
    if (&result == m_target) {
        targetHandle.reset(m_target->clone());
        target = targetHandle.get();
    }
    result = *m_source;
    result.detach();
    if (t == T(0))
        return;

    VertexIterator<T> out(result);
    ConstVertexIterator<T> from(&result == m_source ? result : *m_source);
    ConstVertexIterator<T> to(*target);
    for (; out.current() && from.current() && to.current(); ++out, ++from, ++to) {
        const Vector<T>& a = *from.current();
        const Vector<T>& b = *to.current();
        if (a.getSize() != b.getSize())
            (void)(b - a); // raises the vector dimension error
        Vector<T>& x = *out.current();
        const int n = a.getSize();
        for (int k = 0; k < n; ++k)
            x[k] = a[k] + t * (b[k] - a[k]);
    }
}

template class ShapeInterpolation<float>;
template class ShapeInterpolation<double>;
template class ShapeInterpolation<long double>;
