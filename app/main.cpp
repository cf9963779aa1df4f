// plexan: the desktop workbench. Every argument is a stack file to open.

#include "app/plxexception.h"
#include "app/plxpreferences.h"
#include "app/plxrootwindow.h"
#include "app/plxsettings.h"
#include "app/plxstackserver.h"
#include "gl/dialogs.h"
#include "gl/glwarmup.h"
#include "numerics/exception.h"
#include "numerics/parallel.h"

#include <QApplication>
#include <QTimer>

#include <exception>
#include <iostream>
#include <locale>

int main(int argc, char** argv)
{
    plexan::parallel::warmUp();
    QApplication application(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Varnak"));
    QApplication::setApplicationName(QStringLiteral("Plexan"));
    PLXSettings::settings.load();
    PLXPreferences::load();
    QObject::connect(&application, &QApplication::lastWindowClosed, &application, &QApplication::quit);
    // Numbers in files are written and read with a decimal point, whatever
    // the user's locale.
    std::locale::global(std::locale::classic());

    // For the start-up test: close the window (which quits) after the given
    // number of milliseconds; meanwhile every dialog is written to the
    // standard output ("[dialog] <title>: <text>") and closed unanswered,
    // so that nothing waits for a click.
    bool timed = false;
    const int quitAfter = qEnvironmentVariableIntValue("PLEXAN_TEST_QUIT_AFTER", &timed);
    if (timed)
        Dialogs::setResponder([](const Dialogs::Request& request) {
            std::cout << "[dialog] " << request.title.toStdString() << ": " << request.text.toStdString()
                      << std::endl;
            return Dialogs::Answer();
        });

    int code = 0;
    try {
        auto* root = new PLXRootWindow;
        for (int i = 1; i < argc; ++i)
            root->startupOpenStack(argv[i]);
        // Once the window is up: the first 3D window then finds the GL
        // driver loaded and ready.
        QTimer::singleShot(0, root, [] { GLWarmUp::start(); });
        if (timed)
            QTimer::singleShot(quitAfter, root, &QWidget::close);
        code = QApplication::exec();
    } catch (const PLXException& e) {
        std::cout << "*** Exception ***" << std::endl << e << std::endl;
        code = 0;
    } catch (const Exception& e) {
        std::cout << "*** Exception ***" << std::endl << e << std::endl;
        code = 0;
    } catch (const std::exception& e) {
        std::cout << "*** Exception ***" << std::endl << e.what() << std::endl;
        code = 0;
    } catch (...) {
        std::cout << "*** Exception ***" << std::endl << "No details available" << std::endl;
        code = 0;
    }
    // Stacks left open by an exception go before the application does.
    PLXStackServer::stackServer.removeAllStacks();
    PLXSettings::settings.save();
    PLXPreferences::save();
    return code;
}
