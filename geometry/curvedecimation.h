#pragma once
// CurveDecimation<T>: removes the vertices of a 2-D integer outline that lie
// exactly on the line through their two neighbours, in exact integer
// arithmetic. The walk runs backwards from the end; vertex 0 is never tested
// and the end vertices of an open curve are never removed. In recursive mode
// the walk repeats until a whole walk removes nothing. Only the curve's index
// list changes: the vertex pool is not touched. T = int.

template <typename T> class Curve;

template <typename T>
class CurveDecimation {
public:
    void setRecursive(bool flag) { m_recursive = flag; }
    bool isRecursive() const { return m_recursive; }

    void apply(Curve<T>& curve) const;

private:
    // One backward walk; returns the number of vertices removed.
    int walk(Curve<T>& curve) const;

    bool m_recursive = false;
};

extern template class CurveDecimation<int>;
