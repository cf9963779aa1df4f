#include "app/slice/plxsliceeditwidget.h"

#include "app/plxevent.h"
#include "app/plxpreferences.h"
#include "app/plxstack.h"
#include "app/slice/plxsliceeditwidgetcanvas.h"
#include "stack/model.h"
#include "stack/modelitem.h"
#include "stack/stackslice.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QMenu>
#include <QPalette>
#include <QResizeEvent>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

PLXSliceEditWidget::PLXSliceEditWidget(QWidget* parent) : QWidget(parent)
{
    m_scrollArea = new QScrollArea(this);
    m_scrollArea->setAlignment(Qt::AlignCenter);
    m_scrollArea->setWidgetResizable(false);
    m_scrollArea->setFrameShape(QFrame::NoFrame);
    m_canvas = new PLXSliceEditWidgetCanvas;
    m_scrollArea->setWidget(m_canvas);
    m_scrollArea->viewport()->installEventFilter(this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_scrollArea);
    const QColor background = PLXPreferences::getImageCanvasBackgroundColor();
    setBackgroundColor(background.isValid() ? background : m_canvas->getBackgroundColor());

    connect(m_canvas, &PLXSliceCanvas::zoomRequested, this, &PLXSliceEditWidget::zoomBy);
    connect(m_canvas, &PLXSliceCanvas::panRequested, this, [this](const QPoint& delta) {
        m_scrollArea->horizontalScrollBar()->setValue(m_scrollArea->horizontalScrollBar()->value() +
                                                      delta.x());
        m_scrollArea->verticalScrollBar()->setValue(m_scrollArea->verticalScrollBar()->value() + delta.y());
    });
    connect(m_canvas, &PLXSliceCanvas::geometryChanged, this, &PLXSliceEditWidget::emitViewChanged,
            Qt::QueuedConnection);
    connect(m_scrollArea->horizontalScrollBar(), &QScrollBar::valueChanged, this,
            &PLXSliceEditWidget::emitViewChanged);
    connect(m_scrollArea->verticalScrollBar(), &QScrollBar::valueChanged, this,
            &PLXSliceEditWidget::emitViewChanged);

    const auto makeAction = [this](const QString& text, const QList<QKeySequence>& keys,
                                   void (PLXSliceEditWidget::*slot)()) {
        auto* action = new QAction(text, this);
        action->setShortcuts(keys);
        action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        connect(action, &QAction::triggered, this, slot);
        addAction(action);
        return action;
    };
    m_zoomIn = makeAction(tr("Zoom in"),
                          {QKeySequence(Qt::CTRL | Qt::Key_Plus), QKeySequence(Qt::CTRL | Qt::Key_Equal)},
                          &PLXSliceEditWidget::zoomIn);
    m_zoomOut =
        makeAction(tr("Zoom out"), {QKeySequence(Qt::CTRL | Qt::Key_Minus)}, &PLXSliceEditWidget::zoomOut);
    m_actualSize = makeAction(tr("Actual size"), {QKeySequence(Qt::CTRL | Qt::Key_1)},
                              &PLXSliceEditWidget::showActualSize);
    m_fit = makeAction(tr("Fit to window"), {QKeySequence(Qt::CTRL | Qt::Key_0)},
                       &PLXSliceEditWidget::fitToWindow);
}

PLXSliceEditWidget::~PLXSliceEditWidget() = default;

void PLXSliceEditWidget::setSlice(StackSlice* slice)
{
    const bool changed = slice != m_canvas->getSlice();
    m_canvas->setSlice(slice);
    if (m_fitMode)
        applyZoom(fittingZoom(), QPoint(), QPoint());
    emitViewChanged();
    if (changed)
        emit sliceChanged();
}

StackSlice* PLXSliceEditWidget::getSlice() const
{
    return m_canvas->getSlice();
}

void PLXSliceEditWidget::clear()
{
    setSlice(nullptr);
}

double PLXSliceEditWidget::getZoomFactor() const
{
    return m_canvas->getZoomFactor();
}

const CanvasMode& PLXSliceEditWidget::getCanvasMode() const
{
    return m_canvas->getCanvasMode();
}

double PLXSliceEditWidget::fittingZoom() const
{
    const QSize model = m_canvas->getModelSize();
    if (!model.isValid() || model.isEmpty())
        return m_canvas->getZoomFactor();
    const QSize room = m_scrollArea->maximumViewportSize();
    const double zoom = std::min(double(std::max(room.width(), 1)) / model.width(),
                                 double(std::max(room.height(), 1)) / model.height());
    return std::clamp(zoom, PLXSliceCanvas::minimumZoom, PLXSliceCanvas::maximumZoom);
}

void PLXSliceEditWidget::applyZoom(double zoom, const QPoint& anchor, const QPoint& viewportAnchor)
{
    const QPoint model = m_canvas->toModel(anchor);
    const double old = m_canvas->getZoomFactor();
    m_canvas->setZoomFactor(zoom);
    if (m_canvas->getZoomFactor() != old)
        emit zoomChanged(m_canvas->getZoomFactor());
    // The anchor's image point goes back under the same viewport position.
    const QPoint world = m_canvas->toWorld(model);
    m_scrollArea->horizontalScrollBar()->setValue(world.x() - viewportAnchor.x());
    m_scrollArea->verticalScrollBar()->setValue(world.y() - viewportAnchor.y());
    emitViewChanged();
}

void PLXSliceEditWidget::setZoomFactor(double zoom)
{
    m_fitMode = false;
    const QPoint centre = m_scrollArea->viewport()->rect().center();
    applyZoom(zoom, m_canvas->mapFrom(m_scrollArea->viewport(), centre), centre);
}

void PLXSliceEditWidget::zoomBy(double factor, const QPoint& anchor)
{
    m_fitMode = false;
    applyZoom(m_canvas->getZoomFactor() * factor, anchor, m_canvas->mapTo(m_scrollArea->viewport(), anchor));
}

void PLXSliceEditWidget::zoomIn()
{
    setZoomFactor(getZoomFactor() * 1.25);
}

void PLXSliceEditWidget::zoomOut()
{
    setZoomFactor(getZoomFactor() / 1.25);
}

void PLXSliceEditWidget::showActualSize()
{
    setZoomFactor(1.0);
}

void PLXSliceEditWidget::fitToWindow()
{
    m_fitMode = true;
    applyZoom(fittingZoom(), QPoint(), QPoint());
}

void PLXSliceEditWidget::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (m_fitMode)
        applyZoom(fittingZoom(), QPoint(), QPoint());
    emitViewChanged();
}

QRect PLXSliceEditWidget::getVisibleModelRect() const
{
    const QRect viewport = m_scrollArea->viewport()->rect();
    const QRect world =
        QRect(m_canvas->mapFrom(m_scrollArea->viewport(), viewport.topLeft()), viewport.size())
            .intersected(m_canvas->rect());
    if (world.isEmpty())
        return {};
    return m_canvas->toModel(world);
}

void PLXSliceEditWidget::setOrigin(const QPoint& model)
{
    const QPoint world = m_canvas->toWorld(model);
    m_scrollArea->horizontalScrollBar()->setValue(world.x());
    m_scrollArea->verticalScrollBar()->setValue(world.y());
}

void PLXSliceEditWidget::emitViewChanged()
{
    const QRect view = getVisibleModelRect();
    if (view == m_lastView)
        return;
    m_lastView = view;
    emit viewChanged(view);
}

void PLXSliceEditWidget::setCanvasMode(const CanvasMode& mode)
{
    if (mode == m_canvas->getCanvasMode())
        return;
    m_canvas->setCanvasMode(mode);
    emit canvasModeChanged(mode);
}

void PLXSliceEditWidget::setBackgroundColor(const QColor& color)
{
    m_canvas->setBackgroundColor(color);
    QPalette palette = m_scrollArea->viewport()->palette();
    palette.setColor(QPalette::Window, color);
    m_scrollArea->viewport()->setPalette(palette);
    m_scrollArea->viewport()->setAutoFillBackground(true);
}

void PLXSliceEditWidget::addContextualMenuAction(QAction* action)
{
    if (action && !m_contextualActions.contains(action))
        m_contextualActions.append(action);
}

void PLXSliceEditWidget::contextMenuEvent(QContextMenuEvent* event)
{
    QMenu menu(this);
    menu.addActions({m_zoomIn, m_zoomOut, m_actualSize, m_fit});
    if (!m_contextualActions.isEmpty()) {
        menu.addSeparator();
        menu.addActions(m_contextualActions);
    }
    menu.exec(event->globalPos());
}

bool PLXSliceEditWidget::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_scrollArea->viewport() && event->type() == QEvent::Resize && m_fitMode)
        applyZoom(fittingZoom(), QPoint(), QPoint());
    return QWidget::eventFilter(watched, event);
}

// Events --------------------------------------------------------------------------------

void PLXSliceEditWidget::itemChanged(const ModelItem& item)
{
    if (getSlice() && item.getSlice() == getSlice())
        m_canvas->update();
}

void PLXSliceEditWidget::stackCloseEvent(PLXStackCloseEvent& e)
{
    if (getSlice() && getSlice()->getStack() == static_cast<Stack*>(&e.getStack()))
        clear();
}

void PLXSliceEditWidget::sliceImageCalibrationEvent(PLXSliceImageCalibrationEvent& e)
{
    // The display size follows the calibration.
    if (&e.getSlice() == getSlice())
        setSlice(&e.getSlice());
}

void PLXSliceEditWidget::modelDeleteEvent(PLXModelDeleteEvent&)
{
    m_canvas->update();
}

void PLXSliceEditWidget::modelPropertiesEvent(PLXModelPropertiesEvent&)
{
    m_canvas->update();
}

void PLXSliceEditWidget::modelItemCreateEvent(PLXModelItemCreateEvent& e)
{
    itemChanged(e.getItem());
}

void PLXSliceEditWidget::modelItemDeleteEvent(PLXModelItemDeleteEvent& e)
{
    itemChanged(e.getItem());
}

void PLXSliceEditWidget::modelItemVertexEvent(PLXModelItemVertexEvent& e)
{
    itemChanged(e.getItem());
}

void PLXSliceEditWidget::modelItemAttributeEvent(PLXModelItemAttributeEvent& e)
{
    itemChanged(e.getItem());
}

void PLXSliceEditWidget::modelItemSelectEvent(PLXModelItemSelectEvent& e)
{
    itemChanged(e.getItem());
}

void PLXSliceEditWidget::modelItemConvertEvent(PLXModelItemConvertEvent& e)
{
    itemChanged(e.getItem());
}

void PLXSliceEditWidget::preferencesEvent(PLXPreferencesEvent&)
{
    const QColor background = PLXPreferences::getImageCanvasBackgroundColor();
    if (background.isValid())
        setBackgroundColor(background);
}
