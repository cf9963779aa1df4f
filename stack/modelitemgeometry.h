#pragma once
// ModelItemGeometry: the physical geometry of one model item: its vertices in
// the slice's length unit (x scaled by the pixel width, y by the pixel
// height), their centre with the slice's position as third coordinate, and,
// by geometry, the open length of a polyline or the perimeter and signed
// area of a polygon (positive for a counter-clockwise outline in a frame
// whose second axis points up). Point sets have length and area 0.

#include "geometry/vertices.h"
#include "stack/modelitemanalysis.h"

class ModelItemGeometry : public ModelItemAnalysis {
public:
    ModelItemGeometry();

    void run() override;
    void clear() override;

    const Vertices<double>& getVertices() const { return m_vertices; }
    int getNumVertices() const { return m_vertices.getNumVertices(); }
    // (mean x, mean y, slice position); zeros for an item without vertices.
    const Vector<double>& getIsobarycenter() const { return m_isobarycenter; }
    double getLength() const { return m_length; }
    double getArea() const { return m_area; }

private:
    Vertices<double> m_vertices;
    Vector<double> m_isobarycenter;
    double m_length = 0.0;
    double m_area = 0.0;
};
