#include "app/plxsettings.h"

#include "app/plxpreferences.h"
#include "app/plxsettingskeys.h"
#include "app/plxsplitter.h"
#include "support/qtprinters.h"

#include <gtest/gtest.h>

#include <QLabel>

#include <cmath>
#include <QSettings>

namespace {

QSettings store()
{
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Varnak"), QStringLiteral("Plexan"));
}

} // namespace

TEST(PLXSettings, RecentFilesKeepTheirPlaceAndTheTenLatest)
{
    QStringList& list = PLXSettings::getRecentFilesList();
    list.clear();
    for (int i = 1; i <= 10; ++i)
        PLXSettings::addRecentFile(QStringLiteral("/data/s%1.sdf").arg(i));
    EXPECT_EQ(list.first(), "/data/s10.sdf");
    EXPECT_EQ(list.last(), "/data/s1.sdf");
    // Known already: nothing moves.
    PLXSettings::addRecentFile(QStringLiteral("/data/s3.sdf"));
    EXPECT_EQ(list.size(), 10);
    EXPECT_EQ(list.indexOf(QStringLiteral("/data/s3.sdf")), 7);
    // The comparison is exact: another case is another file.
    PLXSettings::addRecentFile(QStringLiteral("/data/S3.sdf"));
    EXPECT_EQ(list.size(), 10);
    EXPECT_EQ(list.first(), "/data/S3.sdf");
    EXPECT_FALSE(list.contains(QStringLiteral("/data/s1.sdf")));
    list.clear();
}

// A first start finds the defaults; what is saved comes back.
TEST(PLXSettings, LoadDefaultsAndSaveRoundTrip)
{
    PLXSettings settings;
    settings.load();
    EXPECT_EQ(settings.getInputDirectory().absolutePath(), QDir::homePath());
    EXPECT_EQ(settings.getOutputDirectory().absolutePath(), QDir::homePath());
    EXPECT_EQ(PLXSettings::getOpenStackDialogSize(), QSize(400, 300));
    EXPECT_TRUE(PLXSettings::getRecentFilesList().isEmpty());

    settings.setInputDirectory(QDir(QStringLiteral("/tmp")));
    settings.setOutputDirectory(QDir(QStringLiteral("/usr")));
    PLXSettings::setOpenStackDialogSize(QSize(640, 480));
    PLXSettings::addRecentFile(QStringLiteral("/data/a.sdf"));
    PLXSettings::addRecentFile(QStringLiteral("/data/b.sdf"));
    settings.save();
    EXPECT_EQ(store().value("inputDirectory").toString(), "/tmp");
    EXPECT_EQ(store().value("recentFiles").toStringList(), QStringList({"/data/b.sdf", "/data/a.sdf"}));

    PLXSettings::getRecentFilesList().clear();
    PLXSettings::setOpenStackDialogSize(QSize());
    PLXSettings again;
    again.load();
    EXPECT_EQ(again.getInputDirectory().absolutePath(), "/tmp");
    EXPECT_EQ(again.getOutputDirectory().absolutePath(), "/usr");
    EXPECT_EQ(PLXSettings::getOpenStackDialogSize(), QSize(640, 480));
    EXPECT_EQ(PLXSettings::getRecentFilesList(), QStringList({"/data/b.sdf", "/data/a.sdf"}));
    PLXSettings::getRecentFilesList().clear();
}

TEST(PLXPreferences, DefaultsStoredValuesAndUnreadableColour)
{
    PLXPreferences reset;
    PLXPreferences::setImageCanvasBackgroundColor(QColor(Qt::darkGray));
    PLXPreferences::load();
    EXPECT_EQ(PLXPreferences::getMaxNumBackups(), 5);
    EXPECT_FALSE(PLXPreferences::autoDecimationEnabled());
    EXPECT_TRUE(PLXPreferences::isPanoramaLabelEnabled());
    EXPECT_EQ(PLXPreferences::getClickTolerance(), 10);
    EXPECT_EQ(PLXPreferences::getImageCanvasBackgroundColor(), QColor(Qt::darkGray));

    PLXPreferences::setMaxNumBackups(2);
    PLXPreferences::enableAutoDecimation(true);
    PLXPreferences::setPanoramaLabelEnabled(false);
    PLXPreferences::setClickTolerance(25);
    PLXPreferences::setImageCanvasBackgroundColor(QColor(10, 20, 30));
    PLXPreferences::save();
    PLXPreferences again;
    EXPECT_EQ(PLXPreferences::getMaxNumBackups(), 5);
    PLXPreferences::load();
    EXPECT_EQ(PLXPreferences::getMaxNumBackups(), 2);
    EXPECT_TRUE(PLXPreferences::autoDecimationEnabled());
    EXPECT_FALSE(PLXPreferences::isPanoramaLabelEnabled());
    EXPECT_EQ(PLXPreferences::getClickTolerance(), 25);
    EXPECT_EQ(PLXPreferences::getImageCanvasBackgroundColor(), QColor(10, 20, 30));

    // A colour written by hand as a name is read; garbage gives an invalid
    // colour, not the default.
    QSettings().setValue("preferences/imageCanvasBackgroundColor", "#ff8000");
    PLXPreferences::load();
    EXPECT_EQ(PLXPreferences::getImageCanvasBackgroundColor(), QColor(255, 128, 0));
    QSettings().setValue("preferences/imageCanvasBackgroundColor", "not a colour");
    PLXPreferences::load();
    EXPECT_FALSE(PLXPreferences::getImageCanvasBackgroundColor().isValid());

    PLXPreferences defaults;
    PLXPreferences::setImageCanvasBackgroundColor(QColor(Qt::darkGray));
}

TEST(PLXSplitter, RestoresWhereTheUserLeftIt)
{
    auto make = [] {
        auto* splitter = new PLXSplitter(Qt::Horizontal, QStringLiteral("testSplitter"), {250, 750});
        splitter->addWidget(new QLabel(QStringLiteral("browser")));
        splitter->addWidget(new QLabel(QStringLiteral("view")));
        splitter->resize(1000 + splitter->handleWidth(), 200);
        splitter->restore();
        return std::unique_ptr<PLXSplitter>(splitter);
    };
    auto first = make();
    EXPECT_EQ(first->sizes(), QList<int>({250, 750}));
    EXPECT_FALSE(QSettings().contains("testSplitter"));
    first->setSizes({400, 600});
    emit first->splitterMoved(400, 1);
    EXPECT_EQ(QSettings().value("testSplitter").toByteArray(), first->saveState());
    auto second = make();
    EXPECT_EQ(second->sizes(), QList<int>({400, 600}));
}

// Two thirds of the desktop, each extent rounded to the nearest pixel.
TEST(PLXSettingsKeys, RootWindowDefaultSize)
{
    for (int w : {0, 1, 2, 3, 1280, 1281, 1919, 1920, 2561}) {
        const QSize size = PLXSettingsKeys::rootWindowDefaultSize(QSize(w, w + 1));
        EXPECT_EQ(size.width(), static_cast<int>(std::lround(2.0 * w / 3.0))) << w;
        EXPECT_EQ(size.height(), static_cast<int>(std::lround(2.0 * (w + 1) / 3.0))) << w;
    }
    EXPECT_EQ(PLXSettingsKeys::rootWindowDefaultSize(QSize(1280, 1024)), QSize(853, 683));
}
