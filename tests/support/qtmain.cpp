// The main of the test binaries that use Qt: one QApplication for the whole
// run, and a private home, configuration, data and cache directory so that no
// test reads or writes the user's settings. The settings store starts empty
// for every test (see QtTestEnvironment).

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QSettings>
#include <QTemporaryDir>

#include <cstdlib>
#include <cstring>
#include <locale>

#include <dlfcn.h>
#include <link.h>

namespace {

class ClearSettings : public ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo&) override { QSettings().clear(); }
    void OnTestEnd(const ::testing::TestInfo&) override { QSettings().clear(); }
};

// The GL driver is loaded when a test first draws and unloaded when the X
// connection closes, before the leak check at exit: the driver's own
// lifetime allocations would then be reported from an unknown module, out of
// reach of the suppressions that name it. Loaded driver modules are kept
// loaded to the end.
int keepDriverLoaded(dl_phdr_info* info, size_t, void*)
{
    const char* name = info->dlpi_name;
    if (name && (std::strstr(name, "_dri.so") || std::strstr(name, "libgallium") || std::strstr(name, "libLLVM")))
        dlopen(name, RTLD_LAZY | RTLD_NOLOAD | RTLD_NODELETE);
    return 0;
}

class KeepGLDriver : public ::testing::EmptyTestEventListener {
    void OnTestEnd(const ::testing::TestInfo&) override { dl_iterate_phdr(keepDriverLoaded, nullptr); }
};

} // namespace

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    // Listing the tests (CTest's discovery) needs no display.
    if (::testing::GTEST_FLAG(list_tests))
        return RUN_ALL_TESTS();
    // Without an X server, widgets are drawn offscreen.
    if (!std::getenv("QT_QPA_PLATFORM") && !std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);

    QTemporaryDir home(QDir::tempPath() + QStringLiteral("/plexan-test-home-XXXXXX"));
    if (!home.isValid())
        return 2;
    const QByteArray root = QFile::encodeName(home.path());
    for (const char* sub : {"config", "data", "cache", "runtime"})
        QDir(home.path()).mkpath(QString::fromLatin1(sub));
    QFile::setPermissions(home.path() + QStringLiteral("/runtime"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    setenv("HOME", root.constData(), 1);
    setenv("XDG_CONFIG_HOME", (root + "/config").constData(), 1);
    setenv("XDG_DATA_HOME", (root + "/data").constData(), 1);
    setenv("XDG_CACHE_HOME", (root + "/cache").constData(), 1);
    setenv("XDG_RUNTIME_DIR", (root + "/runtime").constData(), 1);

    QApplication application(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Varnak"));
    QApplication::setApplicationName(QStringLiteral("Plexan"));
    // Numbers in files are written and read with a decimal point.
    std::locale::global(std::locale::classic());

    ::testing::UnitTest::GetInstance()->listeners().Append(new ClearSettings);
    ::testing::UnitTest::GetInstance()->listeners().Append(new KeepGLDriver);
    return RUN_ALL_TESTS();
}
