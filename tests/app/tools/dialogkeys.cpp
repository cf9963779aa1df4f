// Every dialog can be finished from the keyboard: Return does what the
// dialog is for, even from a list or a field, and Escape closes it with
// nothing done.

#include "../apptesting.h"
#include "app/plxpreferences.h"
#include "app/plxpreferencesdialog.h"
#include "app/plxpreferenceseditor.h"
#include "app/plxstackserver.h"
#include "app/tools/plxmodeldialog.h"
#include "app/tools/plxmodeldialogmediator.h"
#include "app/tools/plxmodelexchangeactiondialog.h"
#include "app/tools/plxmodelexchangedialog.h"
#include "app/tools/plxmodelfilterdialog.h"
#include "app/tools/plxmodelnameeditor.h"
#include "modelfixtures.h"
#include "support/dialogscript.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>

#include <algorithm>

using namespace apptest;
using namespace modeltest;

namespace {

// Presses key in widget as a user would: the widget handles it or leaves it
// to the dialog around it.
void press(QWidget* widget, Qt::Key key)
{
    QTest::keyClick(widget, key);
    QCoreApplication::processEvents();
}

} // namespace

// Regression: the model dialog's buttons were none of them the default, so
// Return in the name field did nothing; now it applies the edit.
TEST(DialogKeys, ReturnAppliesTheModelDialogsEditAndEscapeDropsIt)
{
    DialogScript script;
    auto stack = emptyStack("cells", 2);
    Model* b = addModel(*stack, "B");
    PLXModelDialog dialog;
    dialog.getMediator().setStack(stack.get());
    dialog.show();
    dialog.getMediator().selectModels({"B"});
    QLineEdit* name = dialog.getNameEditor()->getNameField();
    name->setText(QString());
    QTest::keyClicks(name, "nucleus");
    press(name, Qt::Key_Return);
    EXPECT_EQ(b->getName(), "nucleus");
    EXPECT_TRUE(dialog.isVisible()) << "Apply keeps the dialog open";

    name->setText(QString());
    QTest::keyClicks(name, "dropped");
    press(dialog.getModelList(), Qt::Key_Escape);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(b->getName(), "nucleus");
    EXPECT_EQ(script.unexpected(), 0);
}

// Regression: the filter dialog had no default button either.
TEST(DialogKeys, ReturnFiltersTheModelsAndEscapeLeavesThem)
{
    DialogScript script;
    auto stack = emptyStack("cells", 1);
    Model* organ = addModel(*stack, "organ");
    addItem(*stack, *organ, 0, square(0, 0, 20, 20));
    addItem(*stack, *addModel(*stack, "far"), 0, square(50, 50, 60, 60));
    addItem(*stack, *addModel(*stack, "near"), 0, square(5, 5, 8, 8));
    {
        PLXModelFilterDialog dialog(*stack);
        dialog.show();
        dialog.setReference("organ");
        dialog.setModelsToProcess({"far", "near"});
        press(dialog.getModelList(), Qt::Key_Escape);
        EXPECT_FALSE(dialog.isVisible());
        EXPECT_EQ(stack->getNumModels(), 3);
    }
    PLXModelFilterDialog dialog(*stack);
    dialog.show();
    dialog.setReference("organ");
    dialog.setModelsToProcess({"far", "near"});
    press(dialog.getModelList(), Qt::Key_Return);
    EXPECT_EQ(modelNames(*stack), (std::vector<std::string>{"organ", "near"}));
    EXPECT_EQ(script.unexpected(), 0);
}

// Regression: in the transfer dialog Return did nothing. It copies the
// models chosen last, in the direction of their list; the question about a
// name the target holds answers Return with Duplicate (nothing is lost) and
// Escape by leaving that model out.
TEST(DialogKeys, ReturnTransfersTheModelsChosenLastAndTheQuestionDefaultsToDuplicate)
{
    DialogScript script;
    ServerCleanup cleanup;
    auto* left = emptyStack("left", 2).release();
    auto* right = emptyStack("right", 2).release();
    addItem(*left, *addModel(*left, "A"), 0, square(1, 1, 5, 5));
    addItem(*left, *addModel(*left, "B"), 1, square(1, 1, 5, 5));
    addModel(*right, "C");
    PLXStackServer::stackServer.addStack(left);
    PLXStackServer::stackServer.addStack(right);
    PLXModelExchangeDialog dialog;
    dialog.show();
    ASSERT_EQ(dialog.getStack(PLXModelExchangeDialog::Right), right);

    dialog.selectModels(PLXModelExchangeDialog::Right, {"C"});
    dialog.selectModels(PLXModelExchangeDialog::Left, {"B"});
    press(dialog.getModelList(PLXModelExchangeDialog::Left), Qt::Key_Return);
    EXPECT_EQ(modelNames(*right), (std::vector<std::string>{"C", "B"}));
    EXPECT_EQ(modelNames(*left), (std::vector<std::string>{"A", "B"}));

    // Chosen last on the right: Return copies right to left.
    dialog.selectModels(PLXModelExchangeDialog::Right, {"B", "C"});
    std::vector<PLXModelExchangeActionDialog::Choice> answered;
    script.modal([&](QDialog& d) {
        auto& ask = dynamic_cast<PLXModelExchangeActionDialog&>(d);
        ask.show(); // a default button answers only when shown
        press(ask.getAllModelsBox(), Qt::Key_Return);
        answered.push_back(ask.getChoice());
        return true;
    });
    press(dialog.getModelList(PLXModelExchangeDialog::Right), Qt::Key_Return);
    EXPECT_EQ(answered, std::vector<PLXModelExchangeActionDialog::Choice>{PLXModelExchangeActionDialog::Duplicate});
    std::vector<std::string> names = modelNames(*left);
    ASSERT_EQ(names.size(), 4u) << "B duplicated beside the original, C copied";
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names[0], "A");
    EXPECT_EQ(names[1], "B");
    EXPECT_EQ(names[2].rfind("B", 0), 0u) << names[2];
    EXPECT_EQ(names[3], "C");

    PLXModelExchangeActionDialog ask("B");
    ask.show();
    press(ask.getAllModelsBox(), Qt::Key_Escape);
    EXPECT_FALSE(ask.isVisible());
    EXPECT_EQ(ask.getChoice(), PLXModelExchangeActionDialog::None);

    press(dialog.getModelList(PLXModelExchangeDialog::Left), Qt::Key_Escape);
    EXPECT_FALSE(dialog.isVisible());
    left->setModified(false);
    right->setModified(false);
    EXPECT_EQ(script.unexpected(), 0);
}

// Cancel stays disabled until there is something to cancel, but Escape
// closes the preferences at any time, edited or not, applying nothing.
TEST(DialogKeys, EscapeClosesThePreferencesWithoutApplying)
{
    const int tolerance = PLXPreferences::getClickTolerance();
    for (const bool edited : {false, true}) {
        PLXPreferencesDialog dialog;
        dialog.show();
        if (edited)
            dialog.getEditor()->getClickToleranceBox()->setValue(tolerance + 1);
        press(dialog.getEditor()->getClickToleranceBox(), Qt::Key_Escape);
        EXPECT_FALSE(dialog.isVisible()) << edited;
        EXPECT_EQ(dialog.result(), QDialog::Rejected);
        EXPECT_EQ(PLXPreferences::getClickTolerance(), tolerance);
    }
    // Return, from a field, is OK.
    PLXPreferencesDialog dialog;
    dialog.show();
    dialog.getEditor()->getClickToleranceBox()->setValue(tolerance + 2);
    press(dialog.getEditor()->getClickToleranceBox(), Qt::Key_Return);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(PLXPreferences::getClickTolerance(), tolerance + 2);
    PLXPreferences::setClickTolerance(tolerance);
}
