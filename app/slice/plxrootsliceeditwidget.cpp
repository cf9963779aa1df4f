#include "app/slice/plxrootsliceeditwidget.h"

#include "app/slice/plxsliceeditwidgetmediator.h"
#include "app/slice/plxsliceeditwidgetstatusbar.h"
#include "gl/blackwhitedoubleslider.h"

#include <QAction>
#include <QLabel>
#include <QStatusBar>
#include <QToolBar>

#include <cmath>

PLXRootSliceEditWidget::PLXRootSliceEditWidget(QWidget* parent) : PLXSliceEditWidget(parent)
{
    // No parent until a tool bar takes it (a tool bar shows its widgets
    // through their actions, not the widgets' own visibility).
    m_slider = new BlackWhiteDoubleSlider;
    m_slider->setToolTip(tr("Grey-level window: black and white levels (double click: reset)"));
    m_slider->setFixedWidth(160);
    connect(m_slider, &BlackWhiteDoubleSlider::valuesChanged, this, [this](double black, double white) {
        setCanvasMode(CanvasMode{black, white});
    });
    m_zoomLabel = new QLabel(this);
    m_zoomLabel->setToolTip(tr("Zoom of the slice view"));
    m_zoomLabel->hide();
    connect(this, &PLXSliceEditWidget::zoomChanged, this, &PLXRootSliceEditWidget::showZoom);
    showZoom(getZoomFactor());
    m_editor = new PLXSliceEditWidgetMediator(this);
    // The root window holds one slice view: its zoom keys work wherever the
    // focus is in the window (the browser's lists, the tool bar), not only
    // once the image has been clicked. Hidden behind the panorama, the view
    // takes none.
    for (QAction* action : {getZoomInAction(), getZoomOutAction(), getActualSizeAction(), getFitAction()})
        action->setShortcutContext(Qt::WindowShortcut);
}

PLXRootSliceEditWidget::~PLXRootSliceEditWidget()
{
    if (m_slider && !m_slider->parent())
        delete m_slider.data();
}

void PLXRootSliceEditWidget::setToolBar(QToolBar* toolBar)
{
    if (!toolBar)
        return;
    toolBar->addWidget(m_slider);
}

void PLXRootSliceEditWidget::setStatusBar(QStatusBar* statusBar)
{
    if (!statusBar)
        return;
    statusBar->addWidget(m_editor->getStatusBar());
    statusBar->addPermanentWidget(m_zoomLabel);
    m_zoomLabel->show();
}

void PLXRootSliceEditWidget::showZoom(double zoom)
{
    m_zoomLabel->setText(tr("Zoom %1 %").arg(std::lround(zoom * 100.0)));
}
