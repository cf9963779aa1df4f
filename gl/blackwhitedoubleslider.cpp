#include "gl/blackwhitedoubleslider.h"

#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPolygon>

#include <algorithm>
#include <cmath>

namespace {
// Half the width of a handle's triangle, and the track's height.
constexpr int handleHalfWidth = 6;
constexpr int trackHeight = 8;
} // namespace

BlackWhiteDoubleSlider::BlackWhiteDoubleSlider(QWidget* parent) : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    setToolTip(tr("Grey-level window: drag the black and white levels; double click resets"));
}

QSize BlackWhiteDoubleSlider::sizeHint() const
{
    return {160, 24};
}

QSize BlackWhiteDoubleSlider::minimumSizeHint() const
{
    return {60, 24};
}

void BlackWhiteDoubleSlider::setValues(double black, double white)
{
    black = std::clamp(black, 0.0, 1.0);
    white = std::clamp(white, 0.0, 1.0);
    if (black > white)
        std::swap(black, white);
    if (black == m_black && white == m_white)
        return;
    m_black = black;
    m_white = white;
    update();
    emit valuesChanged(m_black, m_white);
}

int BlackWhiteDoubleSlider::trackLeft() const
{
    return handleHalfWidth;
}

int BlackWhiteDoubleSlider::trackRight() const
{
    return std::max(trackLeft() + 1, width() - 1 - handleHalfWidth);
}

int BlackWhiteDoubleSlider::positionOf(double value) const
{
    return trackLeft() + static_cast<int>(std::lround(value * (trackRight() - trackLeft())));
}

double BlackWhiteDoubleSlider::valueAt(int x) const
{
    return std::clamp(static_cast<double>(x - trackLeft()) / (trackRight() - trackLeft()), 0.0, 1.0);
}

void BlackWhiteDoubleSlider::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const int top = (height() - trackHeight) / 2 - 3;
    const QRect track(trackLeft(), top, trackRight() - trackLeft(), trackHeight);

    // The window's ramp: black up to the black level, white from the white level.
    QLinearGradient ramp(track.left(), 0, track.right(), 0);
    ramp.setColorAt(0.0, Qt::black);
    ramp.setColorAt(m_black, Qt::black);
    ramp.setColorAt(m_white, Qt::white);
    ramp.setColorAt(1.0, Qt::white);
    painter.fillRect(track, ramp);
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(track.adjusted(0, 0, -1, -1));

    painter.setRenderHint(QPainter::Antialiasing);
    const int base = track.bottom() + 1;
    auto drawHandle = [&](double value, const QColor& fill) {
        const int x = positionOf(value);
        const QPolygon triangle({QPoint(x, base), QPoint(x - handleHalfWidth, base + 9),
                                 QPoint(x + handleHalfWidth, base + 9)});
        painter.setBrush(fill);
        painter.setPen(isEnabled() ? QColor(Qt::darkGray) : palette().color(QPalette::Mid));
        painter.drawPolygon(triangle);
    };
    drawHandle(m_black, Qt::black);
    drawHandle(m_white, Qt::white);
}

void BlackWhiteDoubleSlider::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    const int x = event->position().toPoint().x();
    const int toBlack = std::abs(x - positionOf(m_black));
    const int toWhite = std::abs(x - positionOf(m_white));
    // On a tie (both handles together) the side of the press decides.
    if (toBlack < toWhite || (toBlack == toWhite && x < positionOf(m_black)))
        m_dragged = Handle::Black;
    else
        m_dragged = Handle::White;
    mouseMoveEvent(event);
}

void BlackWhiteDoubleSlider::mouseMoveEvent(QMouseEvent* event)
{
    if (m_dragged == Handle::None)
        return;
    const double value = valueAt(event->position().toPoint().x());
    if (m_dragged == Handle::Black)
        setValues(std::min(value, m_white), m_white);
    else
        setValues(m_black, std::max(value, m_black));
}

void BlackWhiteDoubleSlider::mouseReleaseEvent(QMouseEvent*)
{
    m_dragged = Handle::None;
}

void BlackWhiteDoubleSlider::mouseDoubleClickEvent(QMouseEvent*)
{
    m_dragged = Handle::None;
    reset();
}

#include "moc_blackwhitedoubleslider.cpp"
