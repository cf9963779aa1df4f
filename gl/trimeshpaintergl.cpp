#include "gl/trimeshpaintergl.h"

#include "gl/vertexarraygl.h"

#include <GL/gl.h>

#include <algorithm>
#include <array>

static_assert(sizeof(std::array<unsigned int, 3>) == 3 * sizeof(unsigned int),
              "triangle index triples are handed to GL as one array");

template <typename T>
bool TriMeshPainterGL<T>::isOpaque() const
{
    return !this->m_attributes.useTransparency() || this->m_attributes.getTransparency() == 255.0f;
}

template <typename T>
void TriMeshPainterGL<T>::setShape(const Shape<T>& shape)
{
    const TriMesh<T>& mesh = dynamic_cast<const TriMesh<T>&>(shape);
    ShapePainterGL<T>::setShape(mesh);
    m_mesh = mesh;
    m_poolCount = 0;
    for (int i = 0; i < m_mesh.getNumTriangles(); ++i)
        for (unsigned int v : m_mesh.triangleIndexes(static_cast<unsigned int>(i)))
            m_poolCount = std::max(m_poolCount, static_cast<int>(v) + 1);
    m_edges.clear();
    m_smoothing = this->m_attributes.useSmoothing() ? this->m_attributes.getSmoothing() : -1;
    // A mesh that comes with normals keeps them unless smoothing is asked for.
    computeNormals(!m_mesh.hasNormals() || m_smoothing >= 0);
}

template <typename T>
void TriMeshPainterGL<T>::setAttributes(const ShapePainterAttributesGL& attributes)
{
    ShapePainterGL<T>::setAttributes(attributes);
    const int smoothing = attributes.useSmoothing() ? attributes.getSmoothing() : -1;
    if (smoothing != m_smoothing) {
        m_smoothing = smoothing;
        if (this->m_shape)
            computeNormals(true);
    }
}

template <typename T>
void TriMeshPainterGL<T>::computeNormals(bool recompute)
{
    if (recompute)
        m_mesh.smoothNormals(m_smoothing);
    // Normal k belongs to the vertex at list position k, whose server index
    // the triangles use.
    m_normals.assign(static_cast<std::size_t>(m_poolCount) * 3, 0.0f);
    m_draft.clear();
    m_draftBuilt = false;
    if (!m_mesh.hasNormals())
        return;
    const int n = std::min(m_mesh.getNumVertices(), m_mesh.getNormals().getNumVertices());
    for (int k = 0; k < n; ++k) {
        const int index = m_mesh.getIndex(k);
        if (index < 0 || index >= m_poolCount)
            continue;
        const Vector<T>& normal = m_mesh.getNormal(k);
        for (int d = 0; d < 3 && d < normal.getSize(); ++d)
            m_normals[static_cast<std::size_t>(index) * 3 + d] = static_cast<float>(normal[d]);
    }
}

template <typename T>
void TriMeshPainterGL<T>::glDrawShape()
{
    switch (this->m_attributes.useDisplayMode() ? this->m_attributes.getDisplayMode() : DisplayModeNone) {
    case DisplayModeSurface:
        glDrawSurface();
        break;
    case DisplayModeMesh:
        glDrawEdges();
        break;
    default:
        this->glDrawVertexSymbols();
        break;
    }
}

template <typename T>
void TriMeshPainterGL<T>::glDrawSurface()
{
    const int numTriangles = m_mesh.getNumTriangles();
    if (numTriangles == 0 || !m_mesh.hasServer() || m_poolCount > m_mesh.getServer()->getSize())
        return;
    const plexan::gl::CoordinateArray array =
        plexan::gl::poolCoordinates(*m_mesh.getServer(), m_poolCount, this->m_scratch);
    if (glDrawDraftSurface(array.data, array.components, array.stride))
        return;
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    glVertexPointer(array.components, GL_FLOAT, array.stride * static_cast<GLsizei>(sizeof(float)), array.data);
    glNormalPointer(GL_FLOAT, 0, m_normals.data());
    glDrawElements(GL_TRIANGLES, 3 * numTriangles, GL_UNSIGNED_INT, m_mesh.triangleIndexes(0).data());
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
}

template <typename T>
bool TriMeshPainterGL<T>::glDrawDraftSurface(const float* coordinates, int components, int stride)
{
    const int numTriangles = m_mesh.getNumTriangles();
    if (!DraftMesh::isDraftFrame() || numTriangles <= draftTriangles)
        return false;
    if (!m_draftBuilt) {
        const bool normals = m_mesh.hasNormals();
        m_draft.build(coordinates, components, stride, normals ? m_normals.data() : nullptr,
                      m_mesh.triangleIndexes(0).data(), static_cast<std::size_t>(numTriangles), draftTriangles);
        m_draftBuilt = true;
    }
    if (m_draft.isEmpty())
        return false;
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, m_draft.getPositions().data());
    glNormalPointer(GL_FLOAT, 0, m_draft.getNormals().data());
    glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(m_draft.getTriangles().size()), GL_UNSIGNED_INT,
                   m_draft.getTriangles().data());
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
    return true;
}

template <typename T>
void TriMeshPainterGL<T>::glDrawEdges()
{
    const int numTriangles = m_mesh.getNumTriangles();
    if (numTriangles == 0 || !m_mesh.hasServer() || m_poolCount > m_mesh.getServer()->getSize())
        return;
    if (m_edges.empty()) {
        m_edges.reserve(static_cast<std::size_t>(numTriangles) * 6);
        for (int i = 0; i < numTriangles; ++i) {
            const auto& t = m_mesh.triangleIndexes(static_cast<unsigned int>(i));
            m_edges.insert(m_edges.end(), {t[0], t[1], t[1], t[2], t[2], t[0]});
        }
    }
    const plexan::gl::CoordinateArray array =
        plexan::gl::poolCoordinates(*m_mesh.getServer(), m_poolCount, this->m_scratch);
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(array.components, GL_FLOAT, array.stride * static_cast<GLsizei>(sizeof(float)), array.data);
    glDrawElements(GL_LINES, static_cast<GLsizei>(m_edges.size()), GL_UNSIGNED_INT, m_edges.data());
    glDisableClientState(GL_VERTEX_ARRAY);
}

template class TriMeshPainterGL<float>;
template class TriMeshPainterGL<double>;
template class TriMeshPainterGL<long double>;
