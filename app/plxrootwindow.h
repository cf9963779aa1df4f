#pragma once
// PLXRootWindow: the application's main window. So far it holds only what
// start-up and shut-down need: the title "Plexan", a status bar that greets
// with "Ready.", opening the stacks named on the command line, and the quit
// procedure: closing the last root window asks about every modified stack
// (through PLXStackIO) and quits only when all are closed ("Exit canceled"
// otherwise); other root windows close at once.
//
// Still to come: the menus and tool bar with their mediator, the stack and
// slice browser with its splitter, the panorama and the slice view, the
// status bar's progress monitor, drops, the window geometry kept in the
// settings, the current stack in the title, and "New window".

#include <QMainWindow>
#include <QString>

class PLXStack;

class PLXRootWindow : public QMainWindow {
    Q_OBJECT
public:
    // Counts the root windows created; set once the user confirmed quitting.
    static int __numRootWindows;
    static bool __uponQuitting;

    // Shows itself; deletes itself when closed and when the application is
    // about to quit.
    explicit PLXRootWindow(QWidget* parent = nullptr);
    ~PLXRootWindow() override;

    // Opens a stack named on the command line.
    void startupOpenStack(const char* path);

    // The number of root windows open now.
    static int getNumOpenRootWindows();

public slots:
    // Opens a stack file (see PLXStackIO::openStack); the stack or null.
    PLXStack* openStack(const QString& path);
    // The quit procedure: closes every stack, asking about modified ones,
    // then quits the application. False when the user kept a stack open.
    bool quitApplication();

protected:
    void closeEvent(QCloseEvent* event) override;
};
