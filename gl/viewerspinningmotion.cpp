#include "gl/viewerspinningmotion.h"

#include "gl/viewrotation.h"

ViewerSpinningMotion::ViewerSpinningMotion(QObject* parent) : ViewerMotion(parent) {}

ViewerSpinningMotion::~ViewerSpinningMotion() = default;

void ViewerSpinningMotion::step()
{
    m_rotation = plexan::gl::rotateInView(m_rotation, 0.0f, m_angleStep, 0.0f);
    emit rotationChanged(m_rotation);
}

#include "moc_viewerspinningmotion.cpp"
