// The plexan executable starts under a real X server, opens every stack
// named on its command line in order (reporting those it cannot open), and
// quits cleanly, saving its settings on the way out.

#include "apptesting.h"
#include "support/qtprinters.h"

#include <gtest/gtest.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <QSettings>
#include <QTemporaryDir>

#include <cerrno>
#include <cstring>

using namespace apptest;

TEST(PlexanDisplay, OpensItsArgumentsAndQuits)
{
    QTemporaryDir home;
    const QString config = home.filePath("config");
    QDir().mkpath(config);
    // Two stack files that read alike, and one that does not exist.
    auto stack = sampleStack();
    const QString first = home.filePath("first.sdf");
    const QString second = home.filePath("second.sdf");
    ASSERT_TRUE(stack->write(first));
    ASSERT_TRUE(stack->write(second));

    QProcess plexan;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("HOME", home.path());
    environment.insert("XDG_CONFIG_HOME", config);
    environment.insert("PLEXAN_TEST_QUIT_AFTER", "300");
    plexan.setProcessEnvironment(environment);
    plexan.start(PLEXAN_EXECUTABLE, {first, home.filePath("missing.sdf"), second});
    ASSERT_TRUE(plexan.waitForFinished(60000)) << plexan.errorString().toStdString();
    EXPECT_EQ(plexan.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(plexan.exitCode(), 0) << plexan.readAllStandardError().toStdString();
    const QString output = QString::fromLocal8Bit(plexan.readAllStandardOutput());
    EXPECT_FALSE(output.contains("*** Exception ***"));
    // The missing one was reported (the start-up test writes the dialogs
    // out instead of waiting for a click), and only it.
    EXPECT_EQ(output.count("[dialog] "), 1) << output.toStdString();
    EXPECT_TRUE(output.contains("[dialog] Error: Cannot open stack file for reading\n\n" + home.filePath("missing.sdf") +
                                "\n\n" + QString::fromLocal8Bit(std::strerror(ENOENT))))
        << output.toStdString();

    // Both stacks were opened, in argument order (the most recent first in
    // the recent files), and the settings were saved at exit.
    const QSettings saved(config + "/Varnak/Plexan.conf", QSettings::IniFormat);
    EXPECT_EQ(saved.value("recentFiles").toStringList(), (QStringList{second, first}));
    EXPECT_EQ(saved.value("preferences/maxNumBackups").toInt(), 5);
    EXPECT_EQ(saved.value("inputDirectory").toString(), home.path());
}
