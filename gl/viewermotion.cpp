#include "gl/viewermotion.h"

ViewerMotion::ViewerMotion(QObject* parent) : QObject(parent), m_rotation{0.0f, 0.0f, 0.0f}
{
    m_timer.setInterval(50);
    connect(&m_timer, &QTimer::timeout, this, &ViewerMotion::step);
}

ViewerMotion::~ViewerMotion() = default;

void ViewerMotion::setTimeout(int milliseconds)
{
    m_timer.setInterval(milliseconds);
}

void ViewerMotion::toggle()
{
    if (isActive())
        stop();
    else
        start();
}

#include "moc_viewermotion.cpp"
