#include "app/tools/plxregistrationwindow.h"

#include "app/plxsettingskeys.h"
#include "app/plxstack.h"
#include "app/plxworker.h"
#include "app/tools/plxautomaticregistrationpanel.h"
#include "app/tools/plxregistrationcanvas.h"
#include "app/tools/plxregistrationmediator.h"
#include "app/tools/plxregistrationpanel.h"
#include "app/tools/plxregistrationstatusbar.h"
#include "gl/blackwhitedoubleslider.h"
#include "stack/stackslice.h"

#include <vector>

#include <QCloseEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSettings>
#include <QSplitter>
#include <QToolBar>
#include <QVBoxLayout>

PLXRegistrationWindow::PLXRegistrationWindow(QWidget* parent)
    : QMainWindow(parent), m_canvas(new PLXRegistrationCanvas), m_scrollArea(new QScrollArea),
      m_panel(new PLXRegistrationPanel), m_automaticPanel(new PLXAutomaticRegistrationPanel),
      m_statusBar(new PLXRegistrationStatusBar(this)), m_toolBar(new QToolBar(QStringLiteral("Navigation"), this)),
      m_levels(new BlackWhiteDoubleSlider(m_toolBar)), m_mediator(nullptr)
{
    setAttribute(Qt::WA_DeleteOnClose);
    m_mediator = new PLXRegistrationMediator(this, *m_canvas, *m_panel, this);

    auto* side = new QWidget;
    auto* sideLayout = new QVBoxLayout(side);
    sideLayout->setContentsMargins(0, 0, 0, 0);
    sideLayout->addWidget(m_panel, 1);
    sideLayout->addWidget(m_automaticPanel);
    m_scrollArea->setWidget(m_canvas);
    m_scrollArea->setWidgetResizable(true);
    m_scrollArea->setAlignment(Qt::AlignCenter);
    m_scrollArea->setBackgroundRole(QPalette::Dark);
    // When the canvas grows or shrinks (about the background's centre) the
    // view keeps showing the same part of the sections in its middle.
    for (QScrollBar* bar : {m_scrollArea->horizontalScrollBar(), m_scrollArea->verticalScrollBar()}) {
        connect(bar, &QScrollBar::rangeChanged, this, [bar, last = bar->maximum()](int, int maximum) mutable {
            const int grown = maximum - last;
            last = maximum;
            bar->setValue(bar->value() + grown / 2);
        });
    }
    auto* splitter = new QSplitter(Qt::Horizontal);
    splitter->addWidget(side);
    splitter->addWidget(m_scrollArea);
    splitter->setStretchFactor(1, 1);
    setCentralWidget(splitter);
    setStatusBar(m_statusBar);

    m_toolBar->setObjectName(QStringLiteral("registrationToolBar"));
    addToolBar(m_toolBar);
    m_toolBar->addAction(QStringLiteral("First"), m_mediator, &PLXRegistrationMediator::setFirstSlice)
        ->setToolTip(QStringLiteral("Select the second slice, the first with a previous slice"));
    m_toolBar->addAction(QStringLiteral("Previous"), m_mediator, &PLXRegistrationMediator::setPreviousSlice);
    m_toolBar->addAction(QStringLiteral("Next"), m_mediator, &PLXRegistrationMediator::setNextSlice);
    m_toolBar->addAction(QStringLiteral("Last"), m_mediator, &PLXRegistrationMediator::setLastSlice);
    m_toolBar->addSeparator();
    m_levels->setToolTip(QStringLiteral("Grey-level window of both images"));
    m_levels->setMinimumWidth(160);
    m_toolBar->addWidget(m_levels);
    connect(m_levels, &BlackWhiteDoubleSlider::valuesChanged, m_canvas, [this](double black, double white) {
        CanvasMode mode;
        mode.black = black;
        mode.white = white;
        m_canvas->setCanvasMode(mode);
    });

    connect(m_automaticPanel, &PLXAutomaticRegistrationPanel::runClicked, m_mediator,
            &PLXRegistrationMediator::runAutomaticRegistration);
    connect(m_mediator, &PLXRegistrationMediator::closeRequested, this, &QWidget::close);
    m_mediator->getProgress().addMonitor(*m_statusBar);
    PLXProgressProxy& stages = m_canvas->getWorker().getProgress();
    connect(&stages, qOverload<const QString&>(&PLXProgressProxy::progressed), m_statusBar,
            [this](const QString& text) { m_statusBar->showMessage(text); });
    connect(&stages, &PLXProgressProxy::finished, m_statusBar, &QStatusBar::clearMessage);

    QSettings settings;
    m_restoringGeometry = true;
    const QVariant size = settings.value(QString::fromLatin1(PLXSettingsKeys::registrationWindowSize));
    if (size.isValid())
        resize(size.toSize());
    else if (const QScreen* screen = QGuiApplication::primaryScreen())
        resize(PLXSettingsKeys::rootWindowDefaultSize(screen->availableGeometry().size()));
    const QVariant pos = settings.value(QString::fromLatin1(PLXSettingsKeys::registrationWindowPos));
    if (pos.isValid())
        move(pos.toPoint());
    m_restoringGeometry = false;
    updateTitle();
}

PLXRegistrationWindow::~PLXRegistrationWindow()
{
    releaseStack();
    m_mediator->getProgress().removeMonitor(*m_statusBar);
}

PLXRegistrationWindow* PLXRegistrationWindow::open(PLXStack& stack, QWidget* parent)
{
    if (stack.getNumSlices() < 2 || stack.isBeingRegistered())
        return nullptr;
    auto* window = new PLXRegistrationWindow(parent);
    window->setWindowFlag(Qt::Window);
    window->setStack(stack);
    window->show();
    window->fitToView();
    return window;
}

void PLXRegistrationWindow::fitToView()
{
    const PLXStack* stack = m_mediator->getStack();
    if (!stack)
        return;
    std::vector<const StackSlice*> slices;
    for (int i = 0; i < stack->getNumSlices(); ++i)
        slices.push_back(stack->getSlice(i));
    m_canvas->setScale(m_canvas->fittingScale(slices, m_scrollArea->viewport()->size()));
}

void PLXRegistrationWindow::setStack(PLXStack& stack)
{
    m_mediator->setStack(stack);
    stack.setBeingRegistered(true);
    updateTitle();
}

void PLXRegistrationWindow::releaseStack()
{
    if (PLXStack* stack = m_mediator->getStack()) {
        stack->setBeingRegistered(false);
        m_mediator->clearStack();
    }
}

void PLXRegistrationWindow::updateTitle()
{
    const PLXStack* stack = m_mediator->getStack();
    setWindowTitle(stack ? QStringLiteral("Registration - ") + QString::fromStdString(stack->getName())
                         : QStringLiteral("Registration"));
}

void PLXRegistrationWindow::closeEvent(QCloseEvent* event)
{
    QSettings().setValue(QString::fromLatin1(PLXSettingsKeys::registrationWindowSize), size());
    releaseStack();
    event->accept();
}

void PLXRegistrationWindow::moveEvent(QMoveEvent* event)
{
    QMainWindow::moveEvent(event);
    if (!m_restoringGeometry && isVisible())
        QSettings().setValue(QString::fromLatin1(PLXSettingsKeys::registrationWindowPos), pos());
}

void PLXRegistrationWindow::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    if (!m_restoringGeometry && isVisible())
        QSettings().setValue(QString::fromLatin1(PLXSettingsKeys::registrationWindowSize), size());
}
