#include "app/tools/plxrenderingwindow.h"

#include "app/plxsettingskeys.h"
#include "app/plxstack.h"
#include "app/tools/plxmodeldialog.h"
#include "app/tools/plxrenderingmediator.h"
#include "app/tools/plxrenderingtoolbar.h"
#include "gl/viewercanvasgl.h"
#include "gl/viewerposepanel.h"

#include <QAction>
#include <QApplication>
#include <QColor>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QList>
#include <QMenu>
#include <QMenuBar>
#include <QMoveEvent>
#include <QPalette>
#include <QPointer>
#include <QResizeEvent>
#include <QScrollArea>
#include <QSettings>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

// The rendering windows open, to find the one showing a stack.
QList<QPointer<PLXRenderingWindow>>& openWindows()
{
    static QList<QPointer<PLXRenderingWindow>> windows;
    return windows;
}

} // namespace

PLXRenderingWindow::PLXRenderingWindow(QWidget* parent) : QMainWindow(parent)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowFlag(Qt::Window);
    setContextMenuPolicy(Qt::PreventContextMenu);
    setWindowTitle(tr("Rendering"));

    m_canvas = new ViewerCanvasGL;
    m_panel = new ViewerPosePanel;
    m_panelArea = new QScrollArea;
    m_panelArea->setWidget(m_panel);
    m_panelArea->setWidgetResizable(true);
    m_panelArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_panelArea->setMinimumWidth(m_panel->sizeHint().width() + 24);
    m_panelArea->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
    auto* central = new QWidget;
    auto* layout = new QHBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* view = new QVBoxLayout;
    view->setContentsMargins(0, 0, 0, 0);
    view->setSpacing(0);
    m_outOfDate = new QFrame;
    view->addWidget(m_outOfDate);
    view->addWidget(m_canvas, 1);
    layout->addLayout(view, 1);
    layout->addWidget(m_panelArea);
    setCentralWidget(central);

    m_mediator = new PLXRenderingMediator(this);
    createOutOfDateBar();
    m_mediator->setWindow(this);
    m_mediator->setCanvas(m_canvas);
    m_mediator->setPosePanel(m_panel);
    m_mediator->initialize();
    connect(m_mediator, &PLXRenderingMediator::stackClosed, this, &QWidget::close);
    connect(m_mediator, &PLXRenderingMediator::editModelsRequested, this, [this](PLXStack* stack) {
        if (stack)
            PLXModelDialog::open(*stack, this);
    });

    m_toolBar = new PLXRenderingToolbar(*m_mediator, this);
    addToolBar(m_toolBar);
    createMenus();
    restoreSettings();
    openWindows().append(this);
}

PLXRenderingWindow::~PLXRenderingWindow()
{
    openWindows().removeAll(QPointer<PLXRenderingWindow>(this));
    openWindows().removeAll(QPointer<PLXRenderingWindow>());
    // The painters go while the canvas and its context are still there; the
    // mediator, a child like the canvas, may outlive it.
    m_mediator->deletePainters();
    m_mediator->setCanvas(nullptr);
    m_mediator->setPosePanel(nullptr);
}

PLXRenderingWindow* PLXRenderingWindow::open(PLXStack& stack, QWidget* parent)
{
    stack.updateReconstruction();
    for (const QPointer<PLXRenderingWindow>& window : openWindows())
        if (window && window->getMediator().getStack() == &stack) {
            window->show();
            window->raise();
            window->activateWindow();
            return window;
        }
    auto* window = new PLXRenderingWindow(parent);
    if (!window->setStack(stack)) {
        // Cancelled while its models were built: no window.
        delete window;
        return nullptr;
    }
    window->show();
    return window;
}

bool PLXRenderingWindow::setStack(PLXStack& stack)
{
    return m_mediator->setStack(stack);
}

void PLXRenderingWindow::createOutOfDateBar()
{
    // Next to the picture it qualifies, where it cannot be missed, with the
    // command that brings the view back in step.
    QFrame* bar = m_outOfDate;
    bar->setFrameShape(QFrame::StyledPanel);
    bar->setAutoFillBackground(true);
    QPalette palette = bar->palette();
    palette.setColor(QPalette::Window, QColor(255, 236, 179));
    palette.setColor(QPalette::WindowText, Qt::black);
    bar->setPalette(palette);
    auto* layout = new QHBoxLayout(bar);
    layout->setContentsMargins(8, 2, 4, 2);
    auto* label = new QLabel(tr("Out of date: rebuild cancelled"), bar);
    label->setObjectName(QStringLiteral("outOfDateText"));
    layout->addWidget(label, 1);
    auto* rebuild = new QToolButton(bar);
    rebuild->setDefaultAction(m_mediator->getRebuildAction());
    layout->addWidget(rebuild);
    bar->setVisible(m_mediator->isOutOfDate());
    connect(m_mediator, &PLXRenderingMediator::outOfDateChanged, bar, &QWidget::setVisible);
}

QWidget& PLXRenderingWindow::getPosePanelArea() const
{
    return *m_panelArea;
}

void PLXRenderingWindow::createMenus()
{
    m_close = new QAction(tr("Close"), this);
    connect(m_close, &QAction::triggered, this, &QWidget::close);

    // Each title's first letter, underlined, opens its menu with Alt.
    m_renderingMenu = menuBar()->addMenu(tr("&Rendering"));
    // Shows why "Export to STL..." waits while the view is out of date.
    m_renderingMenu->setToolTipsVisible(true);
    m_renderingMenu->addAction(m_mediator->getSnapshotAction());
    m_renderingMenu->addAction(m_mediator->getExportAction());
    m_renderingMenu->addAction(m_mediator->getRebuildAction());
    m_renderingMenu->addSeparator();
    m_renderingMenu->addAction(m_mediator->getVideoStartAction());
    m_renderingMenu->addAction(m_mediator->getTurntableAction());
    m_renderingMenu->addAction(m_mediator->getPoseFlightAction());
    m_renderingMenu->addSeparator();
    m_renderingMenu->addAction(m_close);

    m_editMenu = menuBar()->addMenu(tr("&Edit"));
    m_editMenu->addAction(m_mediator->getEditModelsAction());
    m_editMenu->addAction(m_mediator->getAnimationTimeoutAction());
    m_editMenu->addAction(m_mediator->getAnimationAngleAction());

    m_poseMenu = menuBar()->addMenu(tr("&Pose"));
    m_poseMenu->addAction(m_mediator->getRecordPoseAction());
    m_poseMenu->addMenu(m_mediator->getSelectPoseMenu());
    m_poseMenu->addMenu(m_mediator->getDeletePoseMenu());
    m_poseMenu->addSeparator();
    m_mediator->populatePoseMenu(m_poseMenu);

    m_showMenu = menuBar()->addMenu(tr("&Show"));
    m_showToolBar = m_showMenu->addAction(tr("Tool bar"));
    m_showToolBar->setCheckable(true);
    m_showToolBar->setChecked(true);
    m_showPanel = m_showMenu->addAction(tr("Pose panel"));
    m_showPanel->setCheckable(true);
    m_showPanel->setChecked(true);
    connect(m_showToolBar, &QAction::toggled, this, [this](bool on) {
        m_toolBar->setVisible(on);
        QSettings().setValue(PLXSettingsKeys::renderingWindowToolBarVisible, on);
    });
    connect(m_showPanel, &QAction::toggled, this, [this](bool on) {
        m_panelArea->setVisible(on);
        QSettings().setValue(PLXSettingsKeys::renderingWindowPanelVisible, on);
    });
}

void PLXRenderingWindow::restoreSettings()
{
    m_restoring = true;
    QSettings settings;
    if (settings.contains(PLXSettingsKeys::renderingWindowPos))
        move(settings.value(PLXSettingsKeys::renderingWindowPos).toPoint());
    resize(settings.value(PLXSettingsKeys::renderingWindowSize, QSize(900, 640)).toSize());
    const bool toolBar = settings.value(PLXSettingsKeys::renderingWindowToolBarVisible, true).toBool();
    const bool panel = settings.value(PLXSettingsKeys::renderingWindowPanelVisible, true).toBool();
    m_showToolBar->setChecked(toolBar);
    m_showPanel->setChecked(panel);
    m_toolBar->setVisible(toolBar);
    m_panelArea->setVisible(panel);
    m_restoring = false;
}

void PLXRenderingWindow::moveEvent(QMoveEvent* event)
{
    QMainWindow::moveEvent(event);
    if (!m_restoring && isVisible())
        QSettings().setValue(PLXSettingsKeys::renderingWindowPos, pos());
}

void PLXRenderingWindow::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    if (!m_restoring && isVisible())
        QSettings().setValue(PLXSettingsKeys::renderingWindowSize, size());
}
