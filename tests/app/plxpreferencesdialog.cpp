#include "app/plxpreferencesdialog.h"

#include "app/plxpreferences.h"
#include "app/plxpreferenceseditor.h"
#include "apptesting.h"
#include "gl/colorselector.h"
#include "gl/dialogs.h"
#include "support/dialogscript.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QPushButton>
#include <QSpinBox>

using namespace apptest;

namespace {

// The default preferences while the test runs and after it.
struct DefaultPreferences {
    DefaultPreferences() { reset(); }
    ~DefaultPreferences() { reset(); }
    static void reset()
    {
        PLXPreferences defaults;
        PLXPreferences::setImageCanvasBackgroundColor(QColor(Qt::darkGray));
    }
};

} // namespace

TEST(PLXPreferencesDialog, ButtonsFollowEditsAndApply)
{
    DefaultPreferences defaults;
    PLXPreferences::setClickTolerance(12);
    std::vector<std::string> log;
    Recorder recorder("r", &log);
    PLXPreferencesDialog dialog;
    EXPECT_EQ(dialog.windowTitle(), "Preferences");
    PLXPreferencesEditor& editor = *dialog.getEditor();
    EXPECT_EQ(editor.getClickToleranceBox()->value(), 12);
    EXPECT_EQ(editor.getMaxNumBackupsBox()->maximum(), 10);
    EXPECT_EQ(editor.getClickToleranceBox()->minimum(), 1);
    EXPECT_EQ(editor.getClickToleranceBox()->maximum(), 50);
    EXPECT_FALSE(dialog.getApplyButton()->isEnabled());
    EXPECT_FALSE(dialog.getCancelButton()->isEnabled());
    EXPECT_TRUE(dialog.getOkButton()->isEnabled());

    editor.getMaxNumBackupsBox()->setValue(3);
    editor.getPanoramaLabelsBox()->setChecked(false);
    EXPECT_TRUE(dialog.getApplyButton()->isEnabled());
    EXPECT_TRUE(dialog.getCancelButton()->isEnabled());
    // Nothing reaches the preferences before Apply.
    EXPECT_EQ(PLXPreferences::getMaxNumBackups(), 5);

    dialog.getApplyButton()->click();
    EXPECT_EQ(PLXPreferences::getMaxNumBackups(), 3);
    EXPECT_FALSE(PLXPreferences::isPanoramaLabelEnabled());
    EXPECT_EQ(PLXPreferences::getClickTolerance(), 12);
    EXPECT_EQ(log, std::vector<std::string>{"r 25"});
    // After Apply, Cancel stays disabled until the next edit.
    EXPECT_FALSE(dialog.getApplyButton()->isEnabled());
    EXPECT_FALSE(dialog.getCancelButton()->isEnabled());
    editor.getBackgroundColorSelector()->setValue(QColor(1, 2, 3));
    EXPECT_TRUE(dialog.getCancelButton()->isEnabled());
}

TEST(PLXPreferencesDialog, OkAppliesCancelDiscards)
{
    DefaultPreferences defaults;
    std::vector<std::string> log;
    Recorder recorder("r", &log);
    {
        DialogScript script;
        script.modal([](QDialog& d) {
            auto& dialog = dynamic_cast<PLXPreferencesDialog&>(d);
            dialog.getEditor()->getAutoDecimationBox()->setChecked(true);
            dialog.getCancelButton()->click();
            return false;
        });
        PLXPreferencesDialog dialog;
        EXPECT_EQ(Dialogs::exec(dialog), QDialog::Rejected);
        EXPECT_FALSE(PLXPreferences::autoDecimationEnabled());
        EXPECT_TRUE(log.empty());
    }
    DialogScript script;
    script.modal([](QDialog& d) {
        auto& dialog = dynamic_cast<PLXPreferencesDialog&>(d);
        dialog.getEditor()->getAutoDecimationBox()->setChecked(true);
        dialog.getEditor()->getClickToleranceBox()->setValue(30);
        dialog.getOkButton()->click();
        return true;
    });
    PLXPreferencesDialog dialog;
    EXPECT_EQ(Dialogs::exec(dialog), QDialog::Accepted);
    EXPECT_TRUE(PLXPreferences::autoDecimationEnabled());
    EXPECT_EQ(PLXPreferences::getClickTolerance(), 30);
    EXPECT_EQ(log, std::vector<std::string>{"r 25"});
    EXPECT_EQ(script.unexpected(), 0);
}
