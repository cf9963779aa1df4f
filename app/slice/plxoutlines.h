#pragma once
// Conversions between the integer vertices of model items and the curves
// the geometry algorithms rewrite.

#include "geometry/curve.h"
#include "geometry/vertices.h"

#include <cmath>

namespace plxoutlines {

// A curve of its own (not sharing the vertices' pool).
template <typename T>
Curve<T> toCurve(const Vertices<int>& vertices, bool open)
{
    const int n = vertices.getNumVertices();
    Curve<T> curve(2, n, 0, 0, open);
    for (int i = 0; i < n; ++i) {
        curve[i][0] = static_cast<T>(vertices[i][0]);
        curve[i][1] = static_cast<T>(vertices[i][1]);
    }
    return curve;
}

// New integer vertices, rounded to the nearest pixel.
template <typename T>
Vertices<int> toVertices(const Vertices<T>& curve)
{
    const int n = curve.getNumVertices();
    Vertices<int> vertices(2, 0, n, 0);
    for (int i = 0; i < n; ++i)
        vertices.append(Vector<int>{static_cast<int>(std::lround(static_cast<double>(curve[i][0]))),
                                    static_cast<int>(std::lround(static_cast<double>(curve[i][1])))});
    return vertices;
}

} // namespace plxoutlines
