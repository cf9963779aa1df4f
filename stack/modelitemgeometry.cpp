#include "stack/modelitemgeometry.h"

#include "geometry/curve.h"
#include "stack/modelitem.h"
#include "stack/stackslice.h"

ModelItemGeometry::ModelItemGeometry() : m_vertices(2, 0, 0, 0), m_isobarycenter{0.0, 0.0, 0.0} {}

void ModelItemGeometry::clear()
{
    m_vertices = Vertices<double>(2, 0, 0, 0);
    m_isobarycenter = Vector<double>{0.0, 0.0, 0.0};
    m_length = 0.0;
    m_area = 0.0;
}

void ModelItemGeometry::run()
{
    if (!m_item)
        throw UsageError("void ModelItemGeometry::run()", "No model item to analyse");
    clear();
    const StackSlice* slice = m_item->getSlice();
    double pw = 1.0;
    double ph = 1.0;
    double z = 0.0;
    if (slice) {
        pw = slice->getPixelCalibration().getPixelWidth();
        ph = slice->getPixelCalibration().getPixelHeight();
        z = slice->getAbsolutePosition();
    }

    const Vertices<int>& source = m_item->getVertices();
    const int n = source.getNumVertices();
    m_vertices = Vertices<double>(2, n, 0, 0);
    double sumX = 0.0;
    double sumY = 0.0;
    for (int i = 0; i < n; ++i) {
        const double x = source[i][0] * pw;
        const double y = source[i][1] * ph;
        m_vertices[i][0] = x;
        m_vertices[i][1] = y;
        sumX += x;
        sumY += y;
    }
    if (n > 0)
        m_isobarycenter = Vector<double>{sumX / n, sumY / n, z};
    else
        m_isobarycenter = Vector<double>{0.0, 0.0, z};

    switch (m_item->getGeometry()) {
    case MPrimitive::Polyline:
        m_length = Curve<double>(m_vertices, true).length();
        break;
    case MPrimitive::Polygon: {
        const Curve<double> outline(m_vertices, false);
        m_length = outline.length();
        m_area = outline.twiceArea(0, 1) / 2.0;
        break;
    }
    default:
        break;
    }
}
