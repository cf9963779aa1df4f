#include "app/plxrootwindow.h"

#include "app/plxicons.h"
#include "app/plxrootbrowser.h"
#include "app/plxrootmediator.h"
#include "app/plxrootstatusbar.h"
#include "app/plxsettingskeys.h"
#include "app/plxsplitter.h"
#include "app/slice/plxoverviewwidget.h"
#include "app/slice/plxpanorama.h"
#include "app/slice/plxrootsliceeditwidget.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QMenuBar>
#include <QMimeData>
#include <QScreen>
#include <QSettings>
#include <QStackedWidget>
#include <QToolBar>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>
#include <vector>

int PLXRootWindow::__numRootWindows = 0;
bool PLXRootWindow::__uponQuitting = false;

namespace {

std::vector<PLXRootWindow*>& openWindows()
{
    static std::vector<PLXRootWindow*> windows;
    return windows;
}

} // namespace

PLXRootWindow::PLXRootWindow(QWidget* parent) : QMainWindow(parent)
{
    ++__numRootWindows;
    openWindows().push_back(this);
    setAttribute(Qt::WA_DeleteOnClose);
    connect(qApp, &QCoreApplication::aboutToQuit, this, [this] { delete this; });

    // The parts, in this order: menu bar, tool bar, status bar, browser,
    // panorama, slice view; then the mediator.
    auto* menus = new QMenuBar(this);
    setMenuBar(menus);
    m_toolBar = new QToolBar(tr("Tool bar"));
    m_toolBar->setMovable(false);
    m_statusBar = new PLXRootStatusBar;
    m_browser = new PLXRootBrowser;
    m_panorama = new PLXPanorama;
    m_sliceView = new PLXRootSliceEditWidget;
    m_overview = new PLXOverviewWidget(this);

    auto* central = new QWidget;
    auto* layout = new QVBoxLayout(central);
    layout->setSpacing(0);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_toolBar);
    m_splitter = new PLXSplitter(Qt::Horizontal, QString::fromLatin1(PLXSettingsKeys::rootWindowSplitter),
                                 PLXSettingsKeys::rootWindowSplitterSizes);
    m_centralArea = new QStackedWidget;
    m_centralArea->addWidget(m_panorama);
    m_centralArea->addWidget(m_sliceView);
    m_centralArea->setCurrentWidget(m_sliceView);
    m_splitter->addWidget(m_browser);
    m_splitter->addWidget(m_centralArea);
    m_splitter->setChildrenCollapsible(false);
    m_splitter->setStretchFactor(1, 1);
    m_splitter->restore();
    layout->addWidget(m_splitter, 1);
    setCentralWidget(central);
    // The window's own status bar, so that statusBar() is this one.
    setStatusBar(m_statusBar);

    PLXRootMediator::Parts parts;
    parts.window = this;
    parts.menuBar = menus;
    parts.toolBar = m_toolBar;
    parts.statusBar = m_statusBar;
    parts.browser = m_browser;
    parts.centralArea = m_centralArea;
    parts.panorama = m_panorama;
    parts.sliceView = m_sliceView;
    parts.overview = m_overview;
    m_mediator = new PLXRootMediator(parts, this);

    QSettings settings;
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QSize desktop = screen ? screen->size() : QSize(1024, 768);
    move(settings.value(QString::fromLatin1(PLXSettingsKeys::rootWindowPos), QPoint(0, 0)).toPoint());
    resize(settings
               .value(QString::fromLatin1(PLXSettingsKeys::rootWindowSize),
                      PLXSettingsKeys::rootWindowDefaultSize(desktop))
               .toSize());
    m_restoring = false;

    setAcceptDrops(true);
    setWindowIcon(PLXIcons::logo());
    setWindowTitle(QStringLiteral("Plexan"));
    show();
    m_statusBar->showMessage(QStringLiteral("Ready."), 2000);
}

PLXRootWindow::~PLXRootWindow()
{
    auto& windows = openWindows();
    windows.erase(std::remove(windows.begin(), windows.end(), this), windows.end());
}

int PLXRootWindow::getNumOpenRootWindows()
{
    return static_cast<int>(openWindows().size());
}

void PLXRootWindow::startupOpenStack(const char* path)
{
    m_mediator->openStack(QFile::decodeName(path));
}

PLXStack* PLXRootWindow::openStack(const QString& path)
{
    return m_mediator->openStack(path);
}

bool PLXRootWindow::quitApplication()
{
    return m_mediator->quit();
}

void PLXRootWindow::closeEvent(QCloseEvent* event)
{
    if (__uponQuitting || getNumOpenRootWindows() > 1) {
        m_overview->hide();
        event->accept();
        return;
    }
    // The last window: closing it is quitting, which the user may cancel.
    event->ignore();
    quitApplication();
}

void PLXRootWindow::moveEvent(QMoveEvent* event)
{
    QMainWindow::moveEvent(event);
    if (!m_restoring)
        QSettings().setValue(QString::fromLatin1(PLXSettingsKeys::rootWindowPos), pos());
}

void PLXRootWindow::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    if (!m_restoring)
        QSettings().setValue(QString::fromLatin1(PLXSettingsKeys::rootWindowSize), size());
}

void PLXRootWindow::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void PLXRootWindow::dropEvent(QDropEvent* event)
{
    const QList<QUrl> urls = event->mimeData()->urls();
    event->acceptProposedAction();
    for (const QUrl& url : urls)
        if (url.isLocalFile())
            m_mediator->openStack(url.toLocalFile());
}
