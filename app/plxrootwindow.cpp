#include "app/plxrootwindow.h"

#include "app/plxstackio.h"
#include "gl/dialogs.h"
#include "numerics/exception.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFile>
#include <QStatusBar>

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
    setWindowTitle(QStringLiteral("Plexan"));
    statusBar();
    show();
    statusBar()->showMessage(QStringLiteral("Ready."), 2000);
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
    openStack(QFile::decodeName(path));
}

PLXStack* PLXRootWindow::openStack(const QString& path)
{
    try {
        PLXStackIO io(this);
        return io.openStack(path);
    } catch (const Exception& e) {
        Dialogs::critical(this, QStringLiteral("Error"),
                          QStringLiteral("Cannot open ") + path + QStringLiteral(":\n") +
                              QString::fromStdString(e.getWhat()));
        return nullptr;
    }
}

bool PLXRootWindow::quitApplication()
{
    statusBar()->showMessage(QStringLiteral("Exiting application..."));
    PLXStackIO io(this);
    if (!io.closeAllStacks()) {
        statusBar()->showMessage(QStringLiteral("Exit canceled"), 1000);
        return false;
    }
    __uponQuitting = true;
    QApplication::quit();
    return true;
}

void PLXRootWindow::closeEvent(QCloseEvent* event)
{
    if (__uponQuitting || getNumOpenRootWindows() > 1) {
        event->accept();
        return;
    }
    // The last window: closing it is quitting, which the user may cancel.
    event->ignore();
    quitApplication();
}
