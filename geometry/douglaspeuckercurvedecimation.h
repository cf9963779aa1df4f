#pragma once
// DouglasPeuckerCurveDecimation<T>: simplifies a 2-D outline to a tolerance.
// The chord from the first to the last vertex is split at the vertex farthest
// from it (the first such vertex on a tie) as long as that distance exceeds
// the tolerance; the split vertices are kept. For a closed outline the last
// and the first vertex are then tested again against the chords across them.
// The curve is replaced by a new closed 2-D curve of the kept vertices in
// order. Distances are measured in single precision on the first two
// coordinates, to the infinite line through the chord.
// T = int, float, double, long double.

#include "numerics/vector.h"

#include <vector>

template <typename T> class Curve;

template <typename T>
class DouglasPeuckerCurveDecimation {
public:
    // In the curve's coordinate units (pixels for slice outlines).
    void setTolerance(int tolerance) { m_tolerance = tolerance; }
    int getTolerance() const { return m_tolerance; }

    void apply(Curve<T>& curve);

    // The steps of apply, usable on their own.

    // Distance of p to the line through a and b (to a itself when a = b).
    static float findVertexDistance(const Vector<T>& p, const Vector<T>& a, const Vector<T>& b);
    // Distances of the vertices strictly between first and last to the chord
    // (first, last), stored in the working distances; returns the position of
    // the largest, the first one on a tie (first when there is none between).
    int findVerticesDistances(const Curve<T>& curve, int first, int last);
    // Marks in keep the vertices of the range (first, last) that survive.
    void apply(const Curve<T>& curve, std::vector<bool>& keep, int first, int last);
    // The second look at the last and first vertex of a closed outline.
    void postProcess(const Curve<T>& curve, std::vector<bool>& keep) const;

    // Working distances of the last findVerticesDistances, one per vertex.
    const std::vector<float>& getDistances() const { return m_distances; }

private:
    void loadCoordinates(const Curve<T>& curve);
    void split(std::vector<bool>& keep, int first, int last);
    void reviewEnds(std::vector<bool>& keep) const;
    float distance(int p, int a, int b) const;
    int farthest(int first, int last);

    int m_tolerance = 0;
    std::vector<float> m_distances;
    std::vector<float> m_x; // the curve's first two coordinates, as floats
    std::vector<float> m_y;
};

extern template class DouglasPeuckerCurveDecimation<int>;
extern template class DouglasPeuckerCurveDecimation<float>;
extern template class DouglasPeuckerCurveDecimation<double>;
extern template class DouglasPeuckerCurveDecimation<long double>;
