// The Help menu: the manual opened from where it is installed or from the
// source tree, a clear message when it is nowhere or nothing can open it,
// the about box's versions and build date, and the manual's pictures.

#include "app/plxhelp.h"
#include "app/plxrootmediator.h"
#include "app/plxrootwindow.h"
#include "support/dialogscript.h"
#include "support/qtprinters.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QCoreApplication>
#include <QDate>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QLocale>
#include <QObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QUrl>

namespace {

// Takes the URLs the desktop would open.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl& url) { urls << url; }
};

QString sourceManual()
{
    return QDir::cleanPath(QStringLiteral(PLEXAN_SOURCE_DIR "/docs/manual.md"));
}

bool writeFile(const QString& path, const QByteArray& content)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

class HelpTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_window = new PLXRootWindow;
    }
    void TearDown() override
    {
        PLXRootMediator::setManualLocations({});
        delete m_window;
        EXPECT_EQ(m_dialogs.unexpected(), 0) << m_dialogs.titles().join(", ").toStdString();
    }
    PLXRootMediator& mediator() const { return *m_window->getMediator(); }

    // Triggers Help -> Manual with an opener that records the URL and answers
    // as the desktop would.
    QList<QUrl> openManual(bool desktopOpens = true)
    {
        QList<QUrl> opened;
        const auto previous = PLXRootMediator::setUrlOpener([&](const QUrl& url) {
            opened << url;
            return desktopOpens;
        });
        mediator().manualAction()->trigger();
        PLXRootMediator::setUrlOpener(previous);
        return opened;
    }

    DialogScript m_dialogs;
    QTemporaryDir m_dir;
    PLXRootWindow* m_window = nullptr;
};

TEST_F(HelpTest, TheManualOfTheSourceTreeOpensThroughTheDesktopWhenNoneIsInstalled)
{
    // The test program runs in the build tree, with no share/doc beside it.
    ASSERT_FALSE(QFileInfo::exists(QCoreApplication::applicationDirPath() + "/../share/doc/plexan/manual.md"));
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &catcher, "open");
    mediator().manualAction()->trigger();
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    ASSERT_EQ(catcher.urls.size(), 1);
    EXPECT_EQ(catcher.urls[0], QUrl::fromLocalFile(sourceManual()));
    QFile manual(catcher.urls[0].toLocalFile());
    ASSERT_TRUE(manual.open(QIODevice::ReadOnly));
    EXPECT_TRUE(manual.readLine().startsWith("# Plexan user manual"));
}

TEST_F(HelpTest, AnInstalledManualComesBeforeTheSourceTree)
{
    const QString prefix = m_dir.filePath("prefix");
    const QString installed = prefix + "/share/doc/plexan/manual.md";
    ASSERT_TRUE(QDir().mkpath(prefix + "/bin"));
    const QStringList places = PLXHelp::manualLocations(prefix + "/bin");
    EXPECT_EQ(PLXHelp::findManual(places), sourceManual());
    ASSERT_TRUE(writeFile(installed, "# installed\n"));
    EXPECT_EQ(PLXHelp::findManual(places), QDir::cleanPath(installed));

    PLXRootMediator::setManualLocations(places);
    EXPECT_EQ(openManual(), QList<QUrl>({QUrl::fromLocalFile(installed)}));
}

TEST_F(HelpTest, AMissingManualIsSaidWithThePlacesLookedInAndNothingOpens)
{
    // A directory of the manual's name is no manual.
    const QString folder = m_dir.filePath("a/manual.md");
    const QString missing = m_dir.filePath("b/manual.md");
    ASSERT_TRUE(QDir().mkpath(folder));
    PLXRootMediator::setManualLocations({folder, missing});
    m_dialogs.button("OK");
    EXPECT_TRUE(openManual().isEmpty());
    ASSERT_EQ(m_dialogs.requests().size(), 1u);
    const Dialogs::Request& r = m_dialogs.requests()[0];
    EXPECT_EQ(r.icon, QMessageBox::Warning);
    EXPECT_TRUE(r.text.startsWith("The manual was not found.")) << r.text.toStdString();
    EXPECT_TRUE(r.text.contains(QDir::toNativeSeparators(folder))) << r.text.toStdString();
    EXPECT_TRUE(r.text.contains(QDir::toNativeSeparators(missing))) << r.text.toStdString();

    // Once there, it opens without a word.
    m_dialogs.clear();
    ASSERT_TRUE(writeFile(missing, "# Plexan user manual\n"));
    EXPECT_EQ(openManual(), QList<QUrl>({QUrl::fromLocalFile(missing)}));
    EXPECT_TRUE(m_dialogs.requests().empty());
}

TEST_F(HelpTest, AManualNoProgramCanOpenIsSaid)
{
    m_dialogs.button("OK");
    EXPECT_EQ(openManual(false).size(), 1);
    ASSERT_EQ(m_dialogs.requests().size(), 1u);
    EXPECT_EQ(m_dialogs.requests()[0].text,
              "No program could open the manual " + QDir::toNativeSeparators(sourceManual()) + ".");
}

TEST_F(HelpTest, AboutShowsTheProgramAndBuildVersionsAndTheBuildDate)
{
    m_dialogs.button("OK");
    mediator().aboutAction()->trigger();
    ASSERT_EQ(m_dialogs.requests().size(), 1u);
    const QString text = m_dialogs.requests()[0].text;
    EXPECT_EQ(m_dialogs.requests()[0].title, "About Plexan");
    EXPECT_TRUE(text.startsWith("Plexan 1.11 (2015.03.06)")) << text.toStdString();
    // The build's version is the project's, and its date one the calendar
    // knows, not after today.
    const QRegularExpressionMatch build =
        QRegularExpression(QStringLiteral("Build (\\S+) of (\\w{3} \\d{1,2} \\d{4})\\.$")).match(text);
    ASSERT_TRUE(build.hasMatch()) << text.toStdString();
    EXPECT_EQ(build.captured(1), QStringLiteral(PLEXAN_PROJECT_VERSION));
    const QDate date = QLocale::c().toDate(build.captured(2), QStringLiteral("MMM d yyyy"));
    ASSERT_TRUE(date.isValid()) << build.captured(2).toStdString();
    EXPECT_LE(date, QDate::currentDate());
    EXPECT_GE(date.year(), 2024);
}

TEST(Manual, EveryPictureItShowsExistsBesideIt)
{
    QFile manual(sourceManual());
    ASSERT_TRUE(manual.open(QIODevice::ReadOnly | QIODevice::Text));
    const QString text = QString::fromUtf8(manual.readAll());
    int pictures = 0;
    QRegularExpressionMatchIterator it = QRegularExpression(QStringLiteral("!\\[[^\\]]*\\]\\(([^)]+)\\)")).globalMatch(text);
    while (it.hasNext()) {
        const QString path = it.next().captured(1);
        ++pictures;
        EXPECT_TRUE(QFileInfo(QFileInfo(manual).dir().filePath(path)).isFile()) << path.toStdString();
    }
    EXPECT_GT(pictures, 0);
}

} // namespace

#include "plxhelp.moc"
