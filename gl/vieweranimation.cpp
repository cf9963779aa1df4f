#include "gl/vieweranimation.h"

#include "gl/shapeviewerpaintergl.h"

ViewerAnimation::ViewerAnimation(QObject* parent) : QObject(parent)
{
    m_timer.setInterval(50);
    connect(&m_timer, &QTimer::timeout, this, &ViewerAnimation::makeOneStep);
}

ViewerAnimation::~ViewerAnimation() = default;

void ViewerAnimation::setCurrentIndex(int i)
{
    const int n = static_cast<int>(m_painters.size());
    if (i >= 0 && i < n) {
        m_index = i;
    } else if (i >= n) {
        if (m_circular) {
            m_index = 0;
        } else {
            m_direction = Backward;
            m_index = n < 2 ? 0 : n - 2;
        }
    } else {
        if (m_circular) {
            m_index = n < 2 ? 0 : n - 1;
        } else {
            m_direction = Forward;
            m_index = 0;
        }
    }
    for (int k = 0; k < n; ++k) {
        ShapePainterGL<float>& proxy = m_painters[k]->getProxy();
        ShapePainterAttributesGL attributes = proxy.getAttributes();
        attributes.setVisibility(k >= m_index && k < m_index + m_stepSize);
        proxy.setAttributes(attributes);
    }
    emit currentIndexChanged(m_index);
}

void ViewerAnimation::makeOneStep()
{
    setCurrentIndex(m_direction == Forward ? m_index + m_stepSize : m_index - m_stepSize);
}

void ViewerAnimation::toggle()
{
    if (m_timer.isActive()) {
        m_timer.stop();
        for (ShapeViewerPainterGL* painter : m_painters) {
            ShapePainterGL<float>& proxy = painter->getProxy();
            ShapePainterAttributesGL attributes = proxy.getAttributes();
            attributes.setVisibility(true);
            proxy.setAttributes(attributes);
        }
        emit currentIndexChanged(m_index);
        return;
    }
    m_direction = Forward;
    setCurrentIndex(0);
    m_timer.start();
}

#include "moc_vieweranimation.cpp"
