#include "gl/boundingboxpaintergl.h"

#include <GL/gl.h>

template <typename T>
BoundingBoxPainterGL<T>::BoundingBoxPainterGL() : m_color{255, 255, 255}
{
}

template <typename T>
void BoundingBoxPainterGL<T>::glDraw()
{
    if (!m_active || !m_box.isValid() || m_box.getSpace() < 3)
        return;
    const double x0 = static_cast<double>(m_box.min(0)), x1 = static_cast<double>(m_box.max(0));
    const double y0 = static_cast<double>(m_box.min(1)), y1 = static_cast<double>(m_box.max(1));
    const double z0 = static_cast<double>(m_box.min(2)), z1 = static_cast<double>(m_box.max(2));
    const GLboolean lighting = glIsEnabled(GL_LIGHTING);
    glDisable(GL_LIGHTING);
    glLineWidth(m_lineWidth);
    auto channel = [this](int k) {
        const int v = k < m_color.getSize() ? m_color[k] : 0;
        return static_cast<GLubyte>(v < 0 ? 0 : (v > 255 ? 255 : v));
    };
    glColor4ub(channel(0), channel(1), channel(2), 255);
    for (double z : {z0, z1}) {
        glBegin(GL_LINE_LOOP);
        glVertex3d(x0, y0, z);
        glVertex3d(x1, y0, z);
        glVertex3d(x1, y1, z);
        glVertex3d(x0, y1, z);
        glEnd();
    }
    glBegin(GL_LINES);
    for (double x : {x0, x1})
        for (double y : {y0, y1}) {
            glVertex3d(x, y, z0);
            glVertex3d(x, y, z1);
        }
    glEnd();
    if (lighting)
        glEnable(GL_LIGHTING);
}

template class BoundingBoxPainterGL<float>;
template class BoundingBoxPainterGL<double>;
template class BoundingBoxPainterGL<long double>;
