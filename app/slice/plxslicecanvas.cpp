#include "app/slice/plxslicecanvas.h"

#include "app/slice/plxdisplayimage.h"
#include "app/slice/plximageproxy.h"
#include "app/slice/plximageserver.h"
#include "geometry/boundingbox.h"
#include "stack/model.h"
#include "stack/modelitem.h"
#include "stack/modelitemproperties.h"
#include "stack/stackslice.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPaintEvent>
#include <QPolygon>
#include <QWheelEvent>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

QColor colorOf(const ModelItemProperties& p)
{
    const Vector<int> c = p.getColor();
    return QColor(std::clamp(c[0], 0, 255), std::clamp(c[1], 0, 255), std::clamp(c[2], 0, 255));
}

// A colour that stands out against c: black on light colours, white on dark.
QColor contrasting(const QColor& c)
{
    return qGray(c.rgb()) > 128 ? QColor(Qt::black) : QColor(Qt::white);
}

void paintSymbol(QPainter& painter, VertexSymbol symbol, bool filled, float pointSize, const QColor& color,
                 const QPoint& at)
{
    const int radius = std::max(1, static_cast<int>(std::lround(pointSize)));
    painter.setPen(QPen(color, 0));
    painter.setBrush(filled ? QBrush(color) : QBrush(Qt::NoBrush));
    const QRect box(at.x() - radius, at.y() - radius, 2 * radius, 2 * radius);
    switch (symbol) {
    case VertexSymbol::Cube:
        painter.drawRect(box);
        break;
    case VertexSymbol::Dot:
        painter.setBrush(color);
        painter.drawRect(
            QRect(at.x() - radius / 2, at.y() - radius / 2, std::max(1, radius), std::max(1, radius)));
        break;
    case VertexSymbol::Diamond:
        painter.drawPolygon(QPolygon({QPoint(at.x(), at.y() - radius), QPoint(at.x() + radius, at.y()),
                                      QPoint(at.x(), at.y() + radius), QPoint(at.x() - radius, at.y())}));
        break;
    case VertexSymbol::Tetrahedron:
        painter.drawPolygon(
            QPolygon({QPoint(at.x(), at.y() - radius), QPoint(at.x() + radius, at.y() + radius),
                      QPoint(at.x() - radius, at.y() + radius)}));
        break;
    case VertexSymbol::Sphere:
    case VertexSymbol::Unknown:
    default:
        painter.drawEllipse(at, radius, radius);
        break;
    }
}

} // namespace

PLXSliceCanvas::PLXSliceCanvas(QWidget* parent)
    : QWidget(parent), m_server(new PLXImageServer(this)), m_proxy(new PLXImageProxy(this)),
      m_background(Qt::darkGray)
{
    m_proxy->setImageServer(m_server);
    m_conversion = new QFutureWatcher<QImage>(this);
    connect(m_conversion, &QFutureWatcher<QImage>::finished, this, &PLXSliceCanvas::conversionDone);
    connect(m_proxy, &PLXImageProxy::imageChanged, this, &PLXSliceCanvas::proxyImageChanged);
    connect(m_proxy, &PLXImageProxy::loadingFailed, this, qOverload<>(&QWidget::update));
    setMouseTracking(true);
    setAttribute(Qt::WA_TabletTracking);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    resizeToZoom();
}

PLXSliceCanvas::~PLXSliceCanvas()
{
    m_conversion->waitForFinished();
    // The proxy lets go of its job before the server goes.
    m_proxy->clearImageServer();
}

void PLXSliceCanvas::setSlice(StackSlice* slice)
{
    m_slice = slice;
    m_shownImage.reset();
    if (slice && !slice->isEmpty()) {
        m_proxy->setImageSource(slice->getImageSource());
        m_proxy->attachToServer();
        m_modelSize = QSize(slice->width(), slice->height());
    } else {
        m_proxy->clearImageSource();
        m_modelSize = QSize();
    }
    resizeToZoom();
    update();
}

void PLXSliceCanvas::setZoomFactor(double zoom)
{
    zoom = std::clamp(zoom, minimumZoom, maximumZoom);
    if (zoom == m_zoom)
        return;
    m_zoom = zoom;
    resizeToZoom();
    update();
}

void PLXSliceCanvas::setCanvasMode(const CanvasMode& mode)
{
    if (mode == m_mode)
        return;
    m_mode = mode;
    update();
}

void PLXSliceCanvas::setBackgroundColor(const QColor& color)
{
    m_background = color;
    update();
}

void PLXSliceCanvas::resizeToZoom()
{
    const int mw = m_modelSize.isValid() ? m_modelSize.width() : 0;
    const int mh = m_modelSize.isValid() ? m_modelSize.height() : 0;
    const int w = mw > 0 ? std::max(1, static_cast<int>(std::lround(mw * m_zoom))) : 0;
    const int h = mh > 0 ? std::max(1, static_cast<int>(std::lround(mh * m_zoom))) : 0;
    m_converter.setWorld(0, 0, w, h);
    m_converter.setModel(0, 0, mw, mh);
    if (size() != QSize(w, h)) {
        setFixedSize(w, h);
        emit geometryChanged();
    }
}

QSize PLXSliceCanvas::sizeHint() const
{
    return QSize(m_converter.getWorldWidth(), m_converter.getWorldHeight());
}

QPoint PLXSliceCanvas::toModel(const QPoint& world) const
{
    return QPoint(m_converter.xToModel(world.x()), m_converter.yToModel(world.y()));
}

QPoint PLXSliceCanvas::toWorld(const QPoint& model) const
{
    return QPoint(m_converter.xToWorld(model.x()), m_converter.yToWorld(model.y()));
}

QRect PLXSliceCanvas::toModel(const QRect& world) const
{
    return QRect(toModel(world.topLeft()), toModel(world.bottomRight()));
}

QRect PLXSliceCanvas::toWorld(const QRect& model) const
{
    // The far side reaches the end of the last model pixel.
    const QPoint far = toWorld(model.bottomRight() + QPoint(1, 1)) - QPoint(1, 1);
    return QRect(toWorld(model.topLeft()), far);
}

bool PLXSliceCanvas::isInsideImage(const QPoint& model) const
{
    return model.x() >= 0 && model.y() >= 0 && model.x() < m_modelSize.width() &&
           model.y() < m_modelSize.height();
}

void PLXSliceCanvas::updateModelBox(const BoundingBox<int>& box)
{
    if (!box.isValid() || box.getSpace() < 2)
        return;
    const QRect model(QPoint(box.getVertex1()[0], box.getVertex1()[1]),
                      QPoint(box.getVertex2()[0], box.getVertex2()[1]));
    // Symbols and selection marks are drawn in widget pixels around their vertex.
    update(toWorld(model.normalized()).adjusted(-12, -12, 12, 12));
}

ModelItemProperties PLXSliceCanvas::drawingProperties(const ModelItem& item)
{
    ModelItemProperties p;
    p.setDefaults();
    if (item.getModel())
        p.update(item.getModel()->getItemProperties());
    p.update(item.getProperties());
    return p;
}

void PLXSliceCanvas::paintItem(QPainter& painter, const ModelItem& item, const WMConverter& converter)
{
    const Vertices<int>& vertices = item.getVertices();
    const int n = vertices.getNumVertices();
    if (n == 0)
        return;
    const ModelItemProperties p = drawingProperties(item);
    const QColor color = colorOf(p);
    QPolygon points(n);
    for (int i = 0; i < n; ++i)
        points[i] = QPoint(converter.xToWorld(vertices[i][0]), converter.yToWorld(vertices[i][1]));

    const MPrimitive geometry = item.getGeometry();
    if (geometry == MPrimitive::Polygon || geometry == MPrimitive::Polyline) {
        const float width = p.getLineWidth();
        painter.setPen(QPen(color, width <= 1.0f ? 0.0 : width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.setBrush(Qt::NoBrush);
        if (n == 1)
            painter.drawPoint(points[0]);
        else if (geometry == MPrimitive::Polygon && n > 2)
            painter.drawPolygon(points);
        else
            painter.drawPolyline(points);
        // A one-pixel line may step past a vertex's pixel (at the ends of
        // its steep segments): the points the user placed are always shown.
        if (width <= 1.0f && n > 1)
            painter.drawPoints(points);
    } else {
        for (const QPoint& at : points)
            paintSymbol(painter, p.getVertexSymbol(), p.isFilled(), p.getPointSize(), color, at);
    }

    const ModelItemSelection& selection = item.getSelection();
    if (selection.getLength() != n || selection.isEmpty())
        return;
    painter.setPen(QPen(contrasting(color), 0));
    painter.setBrush(color);
    for (int i = 0; i < n; ++i)
        if (selection.isSelected(i))
            painter.drawRect(QRect(points[i] - QPoint(3, 3), QSize(6, 6)));
}

void PLXSliceCanvas::setPicture(const PLXImagePointer& image, const CanvasMode& mode, QImage picture)
{
    m_picture = std::move(picture);
    m_pictureImage = image;
    m_pictureMode = mode;
}

void PLXSliceCanvas::convertLater(const PLXImagePointer& image)
{
    if (m_convertingImage == image && m_convertingMode == m_mode)
        return;
    if (m_conversion->isRunning()) {
        // One at a time: the newest wish starts when this one ends.
        m_convertingImage.reset();
        return;
    }
    m_convertingImage = image;
    m_convertingMode = m_mode;
    const int range = m_proxy->getLevelRange();
    const CanvasMode mode = m_mode;
    m_conversion->setFuture(
        QtConcurrent::run([image, mode, range] { return PLXDisplayImage::toQImage(*image, mode, range); }));
}

void PLXSliceCanvas::conversionDone()
{
    const PLXImagePointer image = std::exchange(m_convertingImage, nullptr);
    // Only a picture of this slice's images, in the current mode, is of use.
    if (image && m_convertingMode == m_mode && image == m_proxy->getImagePointer(size()))
        setPicture(image, m_convertingMode, m_conversion->result());
    update();
}

bool PLXSliceCanvas::preparePicture()
{
    const PLXImagePointer wanted = m_proxy->getImagePointer(size());
    if (!wanted)
        return false;
    if (wanted == m_pictureImage && m_mode == m_pictureMode)
        return true;
    const auto pixels = [](const Image& i) { return qint64(i.getWidth()) * i.getHeight(); };
    if (pixels(*wanted) <= largePicture) {
        setPicture(wanted, m_mode, PLXDisplayImage::toQImage(*wanted, m_mode, m_proxy->getLevelRange()));
        return true;
    }
    convertLater(wanted);
    // Meanwhile: the picture already made of one of this slice's images, if
    // its mode still holds, else the largest copy small enough to convert now.
    if (m_proxy->getImages().contains(m_pictureImage) && m_mode == m_pictureMode)
        return true;
    for (const PLXImagePointer& copy : m_proxy->getImages())
        if (pixels(*copy) <= largePicture) {
            setPicture(copy, m_mode, PLXDisplayImage::toQImage(*copy, m_mode, m_proxy->getLevelRange()));
            return true;
        }
    return false;
}

void PLXSliceCanvas::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    const QRect exposed = event->rect();
    paintImage(painter, exposed);
    paintItems(painter, exposed);
    paintOverlay(painter, exposed);
}

void PLXSliceCanvas::paintImage(QPainter& painter, const QRect& exposed)
{
    painter.fillRect(exposed, m_background);
    if (!m_proxy->hasImage()) {
        if (m_proxy->hasFailed()) {
            painter.setPen(contrasting(m_background));
            painter.drawText(rect().adjusted(8, 8, -8, -8), Qt::AlignCenter | Qt::TextWordWrap,
                             tr("Cannot show the image:\n%1").arg(m_proxy->getErrorText()));
        }
        return;
    }
    if (!preparePicture() || m_picture.isNull() || width() < 1 || height() < 1)
        return;
    const double sx = double(m_picture.width()) / width();
    const double sy = double(m_picture.height()) / height();
    const QRectF source(exposed.x() * sx, exposed.y() * sy, exposed.width() * sx, exposed.height() * sy);
    painter.drawImage(QRectF(exposed), m_picture, source);
    if (m_pictureImage != m_shownImage) {
        m_shownImage = m_pictureImage;
        emit imageShown();
    }
}

void PLXSliceCanvas::paintItems(QPainter& painter, const QRect& exposed)
{
    if (!m_slice)
        return;
    for (const ModelItem* item : m_slice->getItems())
        paintItem(painter, *item, m_converter);
}

void PLXSliceCanvas::paintOverlay(QPainter&, const QRect&) {}

void PLXSliceCanvas::proxyImageChanged()
{
    update();
}

void PLXSliceCanvas::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::MiddleButton) {
        m_panning = true;
        m_panOrigin = event->globalPosition().toPoint();
        setCursor(Qt::ClosedHandCursor);
        event->accept();
        return;
    }
    QWidget::mousePressEvent(event);
}

void PLXSliceCanvas::mouseMoveEvent(QMouseEvent* event)
{
    if (m_panning) {
        const QPoint at = event->globalPosition().toPoint();
        emit panRequested(m_panOrigin - at);
        m_panOrigin = at;
        event->accept();
        return;
    }
    QWidget::mouseMoveEvent(event);
}

void PLXSliceCanvas::mouseReleaseEvent(QMouseEvent* event)
{
    if (m_panning && event->button() == Qt::MiddleButton) {
        m_panning = false;
        unsetCursor();
        event->accept();
        return;
    }
    QWidget::mouseReleaseEvent(event);
}

void PLXSliceCanvas::wheelEvent(QWheelEvent* event)
{
    if (event->modifiers() & Qt::ControlModifier) {
        const int steps = event->angleDelta().y();
        if (steps != 0)
            emit zoomRequested(steps > 0 ? 1.25 : 0.8, event->position().toPoint());
        event->accept();
        return;
    }
    event->ignore();
}
