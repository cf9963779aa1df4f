#include "gl/viewerrandommotion.h"

ViewerRandomMotion::ViewerRandomMotion(QObject* parent)
    : ViewerMotion(parent), m_direction{1, 1, 1}, m_generator(-1)
{
}

ViewerRandomMotion::~ViewerRandomMotion() = default;

void ViewerRandomMotion::step()
{
    for (int k = 0; k < 3; ++k)
        if (m_generator.uniformLF() < 0.001)
            m_direction[k] = -m_direction[k];
    for (int k = 0; k < 3; ++k) {
        float angle = m_rotation[k] + m_direction[k] * m_angleStep;
        if (angle > 180.0f)
            angle -= 360.0f;
        else if (angle < -180.0f)
            angle += 360.0f;
        m_rotation[k] = angle;
    }
    emit rotationChanged(m_rotation);
}

#include "moc_viewerrandommotion.cpp"
