#pragma once
// CurveResampling<T>: redistributes a curve's outline over a given number of
// vertices at equal arc-length spacing. A closed curve (polygon) is walked
// around its whole perimeter, closing edge included, starting at its vertex 0;
// an open curve (polyline) keeps its two end vertices and spaces the others
// evenly between them. The output takes the input's open flag and dimension.
//
// Real element types compute in their own precision; int curves compute in
// double and round to the nearest integer. T = int, float, double, long double.

template <typename T> class Curve;

template <typename T>
class CurveResampling {
public:
    // Resamples in into out with count vertices. When out's dimension or
    // vertex count differs from in's dimension and count, out is first
    // replaced by a new curve of that size; otherwise it is detached and
    // overwritten in place.
    void apply(const Curve<T>& in, Curve<T>& out, int count) const;

    // The two rules on their own, whatever in's open flag; out is sized as by
    // apply and keeps its own open flag.
    void resamplePolyline(const Curve<T>& in, Curve<T>& out, int count) const;
    void resamplePolygon(const Curve<T>& in, Curve<T>& out, int count) const;
};

extern template class CurveResampling<int>;
extern template class CurveResampling<float>;
extern template class CurveResampling<double>;
extern template class CurveResampling<long double>;
