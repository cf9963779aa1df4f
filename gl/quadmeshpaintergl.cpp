#include "gl/quadmeshpaintergl.h"

#include "gl/draftmesh.h"
#include "gl/trimeshpaintergl.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

GLubyte toByte(double x)
{
    return static_cast<GLubyte>(x < 0.0 ? 0.0 : (x > 255.0 ? 255.0 : x));
}

// Coordinate d of a vertex, 0 past its dimension.
template <typename T>
double coordinate(const Vector<T>& v, int d)
{
    return d < v.getSize() ? static_cast<double>(v[d]) : 0.0;
}

// Every step-th of count indices, the last one always; a closed axis comes
// back to index 0 instead.
std::vector<int> steps(int count, int step, bool closed)
{
    std::vector<int> indices;
    for (int k = 0; k < count; k += step)
        indices.push_back(k);
    if (closed)
        indices.push_back(0);
    else if (indices.back() != count - 1)
        indices.push_back(count - 1);
    return indices;
}

} // namespace

template <typename T>
bool QuadMeshPainterGL<T>::isOpaque() const
{
    return !this->m_attributes.useTransparency() || this->m_attributes.getTransparency() == 255.0f;
}

template <typename T>
void QuadMeshPainterGL<T>::setShape(const Shape<T>& shape)
{
    ShapePainterGL<T>::setShape(dynamic_cast<const QuadMesh<T>&>(shape));
    computeNormals();
}

template <typename T>
void QuadMeshPainterGL<T>::computeNormals()
{
    // Every quadrilateral adds its area vector, the cross product of its
    // diagonals (half of it), to its four corners; the sums are normalised.
    const QuadMesh<T>& m = mesh();
    const int height = m.getHeight();
    const int width = m.getWidth();
    const std::size_t count = static_cast<std::size_t>(height) * static_cast<std::size_t>(width);
    std::vector<double> sum(count * 3, 0.0);
    const int columns = m.isClosed() ? width : width - 1;
    for (int r = 0; r + 1 < height; ++r) {
        for (int c = 0; c < columns; ++c) {
            const int c1 = (c + 1) % width;
            const Vector<T>& a = m.level(r).vertex(c);
            const Vector<T>& b = m.level(r).vertex(c1);
            const Vector<T>& d = m.level(r + 1).vertex(c);
            const Vector<T>& e = m.level(r + 1).vertex(c1);
            double u[3], v[3];
            for (int k = 0; k < 3; ++k) {
                u[k] = coordinate(e, k) - coordinate(a, k);
                v[k] = coordinate(d, k) - coordinate(b, k);
            }
            const double n[3] = {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]};
            for (std::size_t corner : {static_cast<std::size_t>(r) * width + c, static_cast<std::size_t>(r) * width + c1,
                                       static_cast<std::size_t>(r + 1) * width + c,
                                       static_cast<std::size_t>(r + 1) * width + c1})
                for (int k = 0; k < 3; ++k)
                    sum[corner * 3 + k] += n[k];
        }
    }
    m_normals.assign(count * 3, 0.0f);
    for (std::size_t i = 0; i < count; ++i) {
        const double* s = sum.data() + i * 3;
        const double length = std::sqrt(s[0] * s[0] + s[1] * s[1] + s[2] * s[2]);
        if (length > 0.0)
            for (int k = 0; k < 3; ++k)
                m_normals[i * 3 + k] = static_cast<float>(s[k] / length);
    }
}

template <typename T>
void QuadMeshPainterGL<T>::glDrawShape()
{
    const ShapePainterAttributesGL& a = this->m_attributes;
    switch (a.useDisplayMode() ? a.getDisplayMode() : DisplayModeNone) {
    case DisplayModeSymbol:
    case DisplayModeCurve:
    case DisplayModeSymbolCurve:
        CurveStackPainterGL<T>::glDrawShape();
        break;
    case DisplayModeMesh:
        CurveStackPainterGL<T>::glDrawShape();
        glDrawColumns();
        break;
    case DisplayModeSurface:
        glDrawSurface();
        if (a.hasBeginCapFlag() && a.getBeginCapFlag() && mesh().hasBeginCap())
            glDrawCap(mesh().getBeginCap());
        if (a.hasEndCapFlag() && a.getEndCapFlag() && mesh().hasEndCap())
            glDrawCap(mesh().getEndCap());
        break;
    default:
        break;
    }
}

template <typename T>
void QuadMeshPainterGL<T>::glDrawCap(const QuadMesh<T>* cap)
{
    QuadMeshPainterGL<T> painter;
    painter.setAttributes(this->m_attributes);
    this->lendSphereList(painter);
    painter.setShape(*cap);
    painter.glDrawSurface();
}

template <typename T>
void QuadMeshPainterGL<T>::glDrawColumns()
{
    const QuadMesh<T>& m = mesh();
    const int height = m.getHeight();
    const int width = m.getWidth();
    if (height < 2)
        return;
    std::vector<float>& column = this->m_scratch;
    column.resize(static_cast<std::size_t>(height) * 3);
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, column.data());
    for (int c = 0; c < width; ++c) {
        for (int r = 0; r < height; ++r) {
            const Vector<T>& v = m.level(r).vertex(c);
            for (int k = 0; k < 3; ++k)
                column[static_cast<std::size_t>(r) * 3 + k] = static_cast<float>(coordinate(v, k));
        }
        glDrawArrays(GL_LINE_STRIP, 0, height);
    }
    glDisableClientState(GL_VERTEX_ARRAY);
}

template <typename T>
void QuadMeshPainterGL<T>::glDrawSurface()
{
    const QuadMesh<T>& m = mesh();
    const int height = m.getHeight();
    const int width = m.getWidth();
    const std::size_t count = static_cast<std::size_t>(height) * static_cast<std::size_t>(width);
    if (height < 2 || width < 1 || m_normals.size() != count * 3)
        return;

    // Coordinates level by level, then the colours.
    std::vector<float>& xyz = this->m_scratch;
    xyz.resize(count * 3);
    for (int r = 0; r < height; ++r) {
        const Curve<T>& level = m.level(r);
        for (int c = 0; c < width; ++c) {
            const Vector<T>& v = level.vertex(c);
            float* out = xyz.data() + (static_cast<std::size_t>(r) * width + c) * 3;
            for (int k = 0; k < 3; ++k)
                out[k] = static_cast<float>(coordinate(v, k));
        }
    }
    const ShapePainterAttributesGL& a = this->m_attributes;
    const GLubyte alpha = toByte(a.useTransparency() ? a.getTransparency() : 255.0);
    const QuadMesh<int>* colours = m.getVertexColors();
    const bool perVertex = colours && colours->getHeight() == height && colours->getWidth() == width;
    // Without vertex colours the colour attribute, set before drawing, holds.
    const bool coloured = perVertex;
    if (coloured) {
        m_colors.resize(count * 4);
        for (int r = 0; r < height; ++r) {
            for (int c = 0; c < width; ++c) {
                GLubyte* out = m_colors.data() + (static_cast<std::size_t>(r) * width + c) * 4;
                const Vector<int>& rgb = colours->level(r).vertex(c);
                for (int k = 0; k < 3; ++k)
                    out[k] = toByte(k < rgb.getSize() ? rgb[k] : 0);
                out[3] = alpha;
            }
        }
    }

    // Each band alternates its two levels column by column, back to column 0
    // for a closed mesh. The upper level leads, so that the strip's front
    // faces are those the normals leave from: two-sided lighting lights a
    // face by the normal on the side it is seen from.
    // A draft frame of a very large mesh takes every step-th level and
    // column (and always the last ones), about draftTriangles triangles.
    const double triangles = 2.0 * (height - 1) * (m.isClosed() ? width : width - 1);
    const int step = DraftMesh::isDraftFrame() && triangles > draftTriangles
                         ? static_cast<int>(std::ceil(std::sqrt(triangles / draftTriangles)))
                         : 1;
    const std::vector<int> rows = steps(height, step, false);
    const std::vector<int> cols = steps(width, step, m.isClosed());
    const int bands = static_cast<int>(rows.size()) - 1;
    const int columns = static_cast<int>(cols.size());
    m_strip.resize(static_cast<std::size_t>(bands) * columns * 2);
    for (int b = 0; b < bands; ++b) {
        unsigned int* band = m_strip.data() + static_cast<std::size_t>(b) * columns * 2;
        for (int c = 0; c < columns; ++c) {
            band[2 * c] = static_cast<unsigned int>(rows[b + 1] * width + cols[c]);
            band[2 * c + 1] = static_cast<unsigned int>(rows[b] * width + cols[c]);
        }
    }

    const GLboolean colorMaterial = glIsEnabled(GL_COLOR_MATERIAL);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, xyz.data());
    glNormalPointer(GL_FLOAT, 0, m_normals.data());
    if (coloured) {
        // Vertex colours show through the material, as the attribute colour does.
        glEnable(GL_COLOR_MATERIAL);
        glEnableClientState(GL_COLOR_ARRAY);
        glColorPointer(4, GL_UNSIGNED_BYTE, 0, m_colors.data());
    }
    for (int b = 0; b < bands; ++b)
        glDrawElements(GL_TRIANGLE_STRIP, 2 * columns, GL_UNSIGNED_INT,
                       m_strip.data() + static_cast<std::size_t>(b) * columns * 2);
    if (coloured) {
        glDisableClientState(GL_COLOR_ARRAY);
        if (!colorMaterial)
            glDisable(GL_COLOR_MATERIAL);
    }
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
}

template class QuadMeshPainterGL<float>;
template class QuadMeshPainterGL<double>;
template class QuadMeshPainterGL<long double>;
