#include "app/slice/plxpanorama.h"

#include "app/slice/plxdisplayimage.h"
#include "app/slice/plximageproxy.h"
#include "app/slice/plximageserver.h"
#include "stack/stack.h"
#include "stack/stackslice.h"

#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <QPaintEvent>
#include <QScrollBar>

#include <algorithm>

// The widget the panorama scrolls: it paints the cells and reports clicks.
class PLXPanoramaSheet : public QWidget {
public:
    explicit PLXPanoramaSheet(PLXPanorama* panorama) : m_panorama(panorama)
    {
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

protected:
    void paintEvent(QPaintEvent* event) override
    {
        QPainter painter(this);
        m_panorama->paintSheet(painter, event->rect());
    }
    void mousePressEvent(QMouseEvent* event) override
    {
        const int i = m_panorama->cellAt(event->position().toPoint());
        if (event->button() == Qt::LeftButton && i >= 0)
            emit m_panorama->sliceSelected(m_panorama->m_cells[static_cast<std::size_t>(i)].slice);
    }
    void mouseDoubleClickEvent(QMouseEvent* event) override
    {
        const int i = m_panorama->cellAt(event->position().toPoint());
        if (event->button() == Qt::LeftButton && i >= 0)
            emit m_panorama->sliceActivated(m_panorama->m_cells[static_cast<std::size_t>(i)].slice);
    }

private:
    PLXPanorama* m_panorama;
};

PLXPanorama::PLXPanorama(QWidget* parent) : QScrollArea(parent), m_background(Qt::darkGray)
{
    m_sheet = new PLXPanoramaSheet(this);
    setWidget(m_sheet);
    setWidgetResizable(false);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setBackgroundColor(m_background);
    layoutSheet();
}

PLXPanorama::~PLXPanorama()
{
    m_cells.clear(); // the proxies detach while the server is still known
}

void PLXPanorama::setStack(Stack* stack, PLXImageServer* server)
{
    if (stack == m_stack && server == m_server)
        return;
    m_cells.clear();
    m_stack = stack;
    m_server = server;
    m_current = nullptr;
    rebuild();
}

void PLXPanorama::rebuild()
{
    std::vector<Cell> cells;
    if (m_stack) {
        for (int i = 0; i < m_stack->getNumSlices(); ++i) {
            Cell cell;
            cell.slice = m_stack->getSlice(i);
            // Keep the thumbnail of a slice already shown.
            for (Cell& old : m_cells)
                if (old.slice == cell.slice && old.proxy) {
                    cell = std::move(old);
                    break;
                }
            if (!cell.proxy) {
                cell.proxy = std::make_unique<PLXImageProxy>();
                if (!cell.slice->isEmpty())
                    cell.proxy->setImageSource(cell.slice->getImageSource());
                cell.proxy->setImageServer(m_server);
                // Only the cell changes.
                StackSlice* slice = cell.slice;
                const auto repaint = [this, slice] {
                    for (int j = 0; j < getNumThumbnails(); ++j)
                        if (m_cells[static_cast<std::size_t>(j)].slice == slice)
                            m_sheet->update(cellRect(j).adjusted(-4, -4, 4, 4));
                };
                connect(cell.proxy.get(), &PLXImageProxy::loadingFinished, m_sheet, repaint);
                connect(cell.proxy.get(), &PLXImageProxy::loadingFailed, m_sheet, repaint);
            }
            cells.push_back(std::move(cell));
        }
    }
    m_cells = std::move(cells);
    if (m_current && (!m_stack || m_stack->findSlice(m_current) < 0))
        m_current = nullptr;
    layoutSheet();
    if (isVisible())
        attachProxies();
    m_sheet->update();
}

void PLXPanorama::attachProxies()
{
    for (Cell& cell : m_cells)
        cell.proxy->attachToServer();
}

void PLXPanorama::showEvent(QShowEvent* event)
{
    QScrollArea::showEvent(event);
    attachProxies();
}

void PLXPanorama::resizeEvent(QResizeEvent* event)
{
    QScrollArea::resizeEvent(event);
    layoutSheet();
}

void PLXPanorama::setSlice(StackSlice* slice)
{
    if (slice == m_current)
        return;
    m_current = slice;
    for (int i = 0; i < getNumThumbnails(); ++i)
        if (m_cells[static_cast<std::size_t>(i)].slice == slice)
            ensureVisible(cellRect(i).center().x(), cellRect(i).center().y(), cellRect(i).width() / 2,
                          cellRect(i).height() / 2);
    m_sheet->update();
}

void PLXPanorama::setCanvasMode(const CanvasMode& mode)
{
    if (mode == m_mode)
        return;
    m_mode = mode;
    m_sheet->update();
}

void PLXPanorama::setLabelsEnabled(bool on)
{
    if (on == m_labels)
        return;
    m_labels = on;
    layoutSheet();
    m_sheet->update();
}

void PLXPanorama::setBackgroundColor(const QColor& color)
{
    m_background = color;
    QPalette palette = viewport()->palette();
    palette.setColor(QPalette::Window, color);
    viewport()->setPalette(palette);
    viewport()->setAutoFillBackground(true);
    m_sheet->update();
}

PLXImageProxy& PLXPanorama::getProxy(int i) const
{
    return *m_cells[static_cast<std::size_t>(i)].proxy;
}

int PLXPanorama::columns() const
{
    return std::max(1, (viewport()->width() - spacing) / (thumbnailSide + spacing));
}

int PLXPanorama::cellHeight() const
{
    return thumbnailSide + (m_labels ? fontMetrics().height() + 4 : 0);
}

QRect PLXPanorama::cellRect(int i) const
{
    const int n = columns();
    return QRect(spacing + (i % n) * (thumbnailSide + spacing), spacing + (i / n) * (cellHeight() + spacing),
                 thumbnailSide, cellHeight());
}

int PLXPanorama::cellAt(const QPoint& at) const
{
    for (int i = 0; i < getNumThumbnails(); ++i)
        if (cellRect(i).contains(at))
            return i;
    return -1;
}

void PLXPanorama::layoutSheet()
{
    const int n = columns();
    const int rows = (getNumThumbnails() + n - 1) / n;
    m_sheet->resize(std::max(viewport()->width(), 1), spacing + rows * (cellHeight() + spacing));
}

const QImage& PLXPanorama::pictureOf(Cell& cell)
{
    const PLXImagePointer image = cell.proxy->getImagePointer(QSize(thumbnailSide, thumbnailSide));
    if (image.get() != cell.pictureOf || cell.pictureMode != m_mode) {
        const QImage picture = PLXDisplayImage::toQImage(*image, m_mode, cell.proxy->getLevelRange());
        // Shown with square pixels at the slice's display proportions.
        QSize shown(cell.slice->width(), cell.slice->height());
        if (shown.isEmpty())
            shown = picture.size();
        shown.scale(thumbnailSide, thumbnailSide, Qt::KeepAspectRatio);
        cell.picture = picture.scaled(shown, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        cell.pictureOf = image.get();
        cell.pictureMode = m_mode;
    }
    return cell.picture;
}

void PLXPanorama::paintSheet(QPainter& painter, const QRect& exposed)
{
    painter.fillRect(exposed, m_background);
    const QColor text = qGray(m_background.rgb()) > 128 ? QColor(Qt::black) : QColor(Qt::white);
    for (int i = 0; i < getNumThumbnails(); ++i) {
        const QRect cell = cellRect(i);
        if (!cell.intersects(exposed))
            continue;
        Cell& c = m_cells[static_cast<std::size_t>(i)];
        const QRect box(cell.topLeft(), QSize(thumbnailSide, thumbnailSide));
        // A thumbnail is drawn once made: its full image is not for this view.
        if (c.proxy->isLoaded() && c.proxy->hasImage()) {
            const QImage& picture = pictureOf(c);
            const QRect at(box.x() + (box.width() - picture.width()) / 2,
                           box.y() + (box.height() - picture.height()) / 2, picture.width(),
                           picture.height());
            painter.drawImage(at, picture);
        } else {
            painter.fillRect(box.adjusted(8, 8, -8, -8), m_background.darker(130));
            if (c.proxy->hasFailed()) {
                painter.setPen(text);
                painter.drawText(box, Qt::AlignCenter, tr("No image"));
            }
        }
        if (c.slice == m_current) {
            painter.setPen(QPen(QColor(255, 210, 0), 3));
            painter.setBrush(Qt::NoBrush);
            painter.drawRect(box.adjusted(-3, -3, 2, 2));
        }
        if (m_labels) {
            painter.setPen(text);
            const QRect label(cell.x(), box.bottom() + 2, cell.width(), cell.height() - thumbnailSide - 2);
            painter.drawText(label, Qt::AlignHCenter | Qt::AlignTop,
                             fontMetrics().elidedText(QString::fromStdString(c.slice->getName()),
                                                      Qt::ElideRight, cell.width()));
        }
    }
}
