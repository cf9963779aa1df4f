#include "geometry/curvedecimation.h"

#include "geometry/curve.h"

#include <vector>

template <typename T>
void CurveDecimation<T>::apply(Curve<T>& curve) const
{
    if (curve.getSpace() < 2)
        return;
    while (walk(curve) > 0 && m_recursive) {
    }
}

template <typename T>
int CurveDecimation<T>::walk(Curve<T>& curve) const
{
    const int n = curve.getNumVertices();
    int next, current, previous;
    if (curve.isOpen()) {
        next = n - 1;
        current = n - 2;
        previous = n - 3;
    } else {
        current = n - 1;
        next = 0;
        previous = n - 2;
    }
    if (previous < 0)
        return 0;

    // Products of coordinate differences need 64 bits.
    std::vector<long long> x(static_cast<std::size_t>(n)), y(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        const Vector<T>& v = curve.vertex(i);
        x[i] = v[0];
        y[i] = v[1];
    }
    std::vector<char> removed(static_cast<std::size_t>(n), 0);
    int count = 0;
    while (current > 0) {
        // current lies on the line through next and previous
        if ((x[current] - x[next]) * (y[previous] - y[current])
            == (x[previous] - x[current]) * (y[current] - y[next])) {
            removed[current] = 1;
            ++count;
        } else {
            next = current;
        }
        current = previous;
        --previous;
    }
    if (count > 0) {
        int kept = 0;
        for (int i = 0; i < n; ++i)
            if (!removed[i])
                curve.setIndex(kept++, curve.getIndex(i));
        curve.setSize(kept, false);
    }
    return count;
}

template class CurveDecimation<int>;
