#include "gl/shapepaintergl.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <cmath>

namespace {

// One quadric for every sphere drawn: a quadric only describes how GLU
// draws, it holds no GL object.
GLUquadric* sphereQuadric()
{
    static GLUquadric* quadric = [] {
        GLUquadric* q = gluNewQuadric();
        gluQuadricDrawStyle(q, GLU_FILL);
        gluQuadricNormals(q, GLU_SMOOTH);
        return q;
    }();
    return quadric;
}

GLubyte toByte(float x)
{
    return static_cast<GLubyte>(x < 0.0f ? 0.0f : (x > 255.0f ? 255.0f : x));
}

void glRawSphere(float radius)
{
    gluSphere(sphereQuadric(), radius, 8, 6);
}

void faceNormal(const float* a, const float* b, const float* c)
{
    const float u[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
    const float v[3] = {c[0] - a[0], c[1] - a[1], c[2] - a[2]};
    float n[3] = {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]};
    const float length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
    if (length > 0.0f)
        for (float& x : n)
            x /= length;
    glNormal3fv(n);
}

// Triangles listed counter-clockwise seen from outside, with face normals.
void glTriangles(const float (*corners)[3], const int (*faces)[3], int numFaces, float size)
{
    glBegin(GL_TRIANGLES);
    for (int f = 0; f < numFaces; ++f) {
        float p[3][3];
        for (int k = 0; k < 3; ++k)
            for (int d = 0; d < 3; ++d)
                p[k][d] = corners[faces[f][k]][d] * size;
        faceNormal(p[0], p[1], p[2]);
        for (const float* q : p)
            glVertex3fv(q);
    }
    glEnd();
}

void glCube(float h)
{
    // Faces as (normal axis, sign); corners counter-clockwise seen from outside.
    static const float normals[6][3] = {{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}};
    static const float corners[6][4][3] = {
        {{1, -1, -1}, {1, 1, -1}, {1, 1, 1}, {1, -1, 1}},     {{-1, -1, -1}, {-1, -1, 1}, {-1, 1, 1}, {-1, 1, -1}},
        {{-1, 1, -1}, {-1, 1, 1}, {1, 1, 1}, {1, 1, -1}},     {{-1, -1, -1}, {1, -1, -1}, {1, -1, 1}, {-1, -1, 1}},
        {{-1, -1, 1}, {1, -1, 1}, {1, 1, 1}, {-1, 1, 1}},     {{-1, -1, -1}, {-1, 1, -1}, {1, 1, -1}, {1, -1, -1}}};
    glBegin(GL_QUADS);
    for (int f = 0; f < 6; ++f) {
        glNormal3fv(normals[f]);
        for (const float* c : corners[f])
            glVertex3f(c[0] * h, c[1] * h, c[2] * h);
    }
    glEnd();
}

void glTetrahedron(float r)
{
    const float s = 1.0f / std::sqrt(3.0f);
    const float corners[4][3] = {{s, s, s}, {s, -s, -s}, {-s, s, -s}, {-s, -s, s}};
    static const int faces[4][3] = {{0, 2, 3}, {0, 3, 1}, {0, 1, 2}, {1, 3, 2}};
    glTriangles(corners, faces, 4, r);
}

void glDiamond(float r)
{
    static const float corners[6][3] = {{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}};
    static const int faces[8][3] = {{0, 2, 4}, {2, 1, 4}, {1, 3, 4}, {3, 0, 4},
                                    {2, 0, 5}, {1, 2, 5}, {3, 1, 5}, {0, 3, 5}};
    glTriangles(corners, faces, 8, r);
}

} // namespace

template <typename T>
BoundingBox<T> ShapePainterGL<T>::boundingBox() const
{
    return m_shape ? m_shape->boundingBox() : BoundingBox<T>();
}

template <typename T>
void ShapePainterGL<T>::setShape(const Shape<T>& shape)
{
    m_shape = &shape;
}

template <typename T>
void ShapePainterGL<T>::setAttributes(const ShapePainterAttributesGL& attributes)
{
    m_attributes = attributes;
    if (m_useSphereList && m_ownsSphereList)
        m_sphereListDirty = true;
}

template <typename T>
bool ShapePainterGL<T>::isVisible() const
{
    return m_attributes.useVisibility() ? m_attributes.getVisibility() : true;
}

template <typename T>
float ShapePainterGL<T>::symbolSize() const
{
    return m_attributes.useSymbolSize() ? m_attributes.getSymbolSize() : 1.0f;
}

template <typename T>
void ShapePainterGL<T>::glBuildSphereList()
{
    if (m_useSphereList && m_ownsSphereList)
        glDeleteLists(m_sphereList, 1);
    m_sphereList = glGenLists(1);
    glNewList(m_sphereList, GL_COMPILE);
    glRawSphere(symbolSize());
    glEndList();
    m_useSphereList = m_sphereList != 0;
    m_ownsSphereList = m_useSphereList;
    m_sphereListDirty = false;
}

template <typename T>
void ShapePainterGL<T>::glInit()
{
    glBuildSphereList();
}

template <typename T>
void ShapePainterGL<T>::glClear()
{
    if (m_useSphereList && m_ownsSphereList)
        glDeleteLists(m_sphereList, 1);
    m_sphereList = 0;
    m_useSphereList = false;
    m_ownsSphereList = false;
    m_sphereListDirty = false;
}

template <typename T>
void ShapePainterGL<T>::lendSphereList(ShapePainterGL& borrower) const
{
    borrower.m_sphereList = m_sphereList;
    borrower.m_useSphereList = m_useSphereList;
    borrower.m_ownsSphereList = false;
}

template <typename T>
void ShapePainterGL<T>::glDraw()
{
    if (!m_shape || !isVisible())
        return;
    if (m_sphereListDirty)
        glBuildSphereList();
    glPreDraw();
    glDrawShape();
    glPostDraw();
}

template <typename T>
void ShapePainterGL<T>::glPreDraw()
{
    if (m_attributes.useColor()) {
        const Vector<int>& c = m_attributes.getColor();
        const float alpha = m_attributes.useTransparency() ? m_attributes.getTransparency() : 255.0f;
        glEnable(GL_COLOR_MATERIAL);
        glColor4ub(toByte(static_cast<float>(c[0])), toByte(static_cast<float>(c[1])),
                   toByte(static_cast<float>(c[2])), toByte(alpha));
    }
    if (m_attributes.useShininess()) {
        const GLfloat white[4] = {1.0f, 1.0f, 1.0f, 1.0f};
        glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, white);
        glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, m_attributes.getShininess());
    }
    if (m_attributes.useSymbolSize())
        glPointSize(m_attributes.getSymbolSize());
    if (m_attributes.useLineWidth())
        glLineWidth(m_attributes.getLineWidth());
}

template <typename T>
void ShapePainterGL<T>::glPostDraw()
{
    if (m_attributes.useColor())
        glDisable(GL_COLOR_MATERIAL);
}

template <typename T>
void ShapePainterGL<T>::glDrawSymbol()
{
    const float size = symbolSize();
    switch (m_attributes.useVertexSymbol() ? m_attributes.getVertexSymbol() : VertexSymbolNone) {
    case VertexSymbolSphere:
        if (m_useSphereList)
            glCallList(m_sphereList);
        else
            glRawSphere(size);
        break;
    case VertexSymbolCube:
        glCube(size);
        break;
    case VertexSymbolTetrahedron:
        glTetrahedron(size);
        break;
    case VertexSymbolDiamond:
        glDiamond(size);
        break;
    default:
        break;
    }
}

template class ShapePainterGL<float>;
template class ShapePainterGL<double>;
template class ShapePainterGL<long double>;
