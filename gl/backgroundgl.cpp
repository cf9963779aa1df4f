#include "gl/backgroundgl.h"

#include <GL/gl.h>

bool BackgroundGL::operator==(const BackgroundGL& other) const
{
    if (m_gradient != other.m_gradient || m_color.getSize() != other.m_color.getSize())
        return false;
    for (int i = 0; i < m_color.getSize(); ++i)
        if (m_color[i] != other.m_color[i])
            return false;
    return true;
}

void BackgroundGL::glDraw() const
{
    const int r = m_color.getSize() > 0 ? m_color[0] : 0;
    const int g = m_color.getSize() > 1 ? m_color[1] : 0;
    const int b = m_color.getSize() > 2 ? m_color[2] : 0;
    if (!m_gradient) {
        glClearColor(r / 255.0f, g / 255.0f, b / 255.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        return;
    }
    glClear(GL_DEPTH_BUFFER_BIT);
    GLint matrixMode = GL_MODELVIEW;
    glGetIntegerv(GL_MATRIX_MODE, &matrixMode);
    const GLboolean lighting = glIsEnabled(GL_LIGHTING);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(-1, 1, -1, 1, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glDisable(GL_LIGHTING);
    glDepthMask(GL_FALSE);
    glBegin(GL_QUADS);
    glColor3ub(static_cast<GLubyte>(r / 3), static_cast<GLubyte>(g / 3), static_cast<GLubyte>(b / 3));
    glVertex2f(-1.0f, -1.0f);
    glVertex2f(1.0f, -1.0f);
    glColor3ub(static_cast<GLubyte>(r), static_cast<GLubyte>(g), static_cast<GLubyte>(b));
    glVertex2f(1.0f, 1.0f);
    glVertex2f(-1.0f, 1.0f);
    glEnd();
    glDepthMask(GL_TRUE);
    if (lighting)
        glEnable(GL_LIGHTING);
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(static_cast<GLenum>(matrixMode));
}
