#include "app/slice/plxoverviewwidget.h"

#include "app/slice/plxdisplayimage.h"
#include "app/slice/plximageproxy.h"
#include "stack/stackslice.h"

#include <QMouseEvent>
#include <QPainter>

PLXOverviewWidget::PLXOverviewWidget(QWidget* parent)
    : QWidget(parent, Qt::Tool), m_proxy(new PLXImageProxy(this))
{
    setWindowTitle(tr("Overview"));
    connect(m_proxy, &PLXImageProxy::imageChanged, this, qOverload<>(&QWidget::update));
    setMinimumSize(64, 64);
}

PLXOverviewWidget::~PLXOverviewWidget()
{
    m_proxy->clearImageServer();
}

void PLXOverviewWidget::setImageServer(PLXImageServer* server)
{
    m_proxy->setImageServer(server);
    if (server)
        m_proxy->attachToServer();
    else
        m_proxy->clearImage();
    update();
}

void PLXOverviewWidget::setSlice(StackSlice* slice)
{
    m_slice = slice;
    if (slice && !slice->isEmpty()) {
        m_proxy->setImageSource(slice->getImageSource());
        m_proxy->attachToServer();
    } else {
        m_proxy->clearImageSource();
    }
    m_view = QRect();
    update();
}

void PLXOverviewWidget::setCanvasMode(const CanvasMode& mode)
{
    m_mode = mode;
    update();
}

void PLXOverviewWidget::setLocalViewRect(const QRect& modelRect)
{
    if (modelRect == m_view)
        return;
    m_view = modelRect;
    update();
}

QRect PLXOverviewWidget::imageRect() const
{
    if (!m_slice || m_slice->width() < 1 || m_slice->height() < 1)
        return {};
    QSize shown(m_slice->width(), m_slice->height());
    shown.scale(size(), Qt::KeepAspectRatio);
    return QRect(QPoint((width() - shown.width()) / 2, (height() - shown.height()) / 2), shown);
}

void PLXOverviewWidget::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Dark));
    const QRect target = imageRect();
    if (target.isEmpty() || !m_proxy->hasImage())
        return;
    const PLXImagePointer image = m_proxy->getImagePointer(target.size());
    if (image.get() != m_pictureOf || m_mode != m_pictureMode) {
        m_range = m_proxy->getLevelRange();
        m_picture = PLXDisplayImage::toQImage(*image, m_mode, m_range)
                        .scaled(target.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        m_pictureOf = image.get();
        m_pictureMode = m_mode;
    }
    painter.drawImage(target.topLeft(), m_picture);
    if (m_view.isValid()) {
        const double sx = double(target.width()) / m_slice->width();
        const double sy = double(target.height()) / m_slice->height();
        const QRectF shown(target.x() + m_view.x() * sx, target.y() + m_view.y() * sy, (m_view.width()) * sx,
                           (m_view.height()) * sy);
        painter.setPen(QPen(QColor(255, 210, 0), 2));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(shown);
    }
}

void PLXOverviewWidget::moveViewTo(const QPoint& at)
{
    const QRect target = imageRect();
    if (target.isEmpty())
        return;
    const double x = double(at.x() - target.x()) * m_slice->width() / target.width();
    const double y = double(at.y() - target.y()) * m_slice->height() / target.height();
    const QPoint origin(qRound(x - m_view.width() / 2.0), qRound(y - m_view.height() / 2.0));
    emit localViewOriginChanged(origin);
}

void PLXOverviewWidget::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        moveViewTo(event->position().toPoint());
}

void PLXOverviewWidget::mouseMoveEvent(QMouseEvent* event)
{
    if (event->buttons() & Qt::LeftButton)
        moveViewTo(event->position().toPoint());
}

void PLXOverviewWidget::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    emit visibilityChanged(true);
}

void PLXOverviewWidget::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    emit visibilityChanged(false);
}
