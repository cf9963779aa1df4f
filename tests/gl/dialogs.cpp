#include "gl/colorselector.h"
#include "gl/dialogs.h"
#include "support/dialogscript.h"

#include <gtest/gtest.h>

#include <QDialog>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

TEST(Dialogs, StandardButtonsAreListedInFlagOrderAndMappedBack)
{
    DialogScript script;
    script.button("Ignore").button("Cancel").cancel();
    const auto buttons = QMessageBox::Save | QMessageBox::Ignore | QMessageBox::Cancel;
    EXPECT_EQ(Dialogs::warning(nullptr, "Closing stack...", "text", buttons), QMessageBox::Ignore);
    EXPECT_EQ(Dialogs::warning(nullptr, "Closing stack...", "text", buttons), QMessageBox::Cancel);
    EXPECT_EQ(Dialogs::question(nullptr, "t", "x"), QMessageBox::NoButton);
    ASSERT_EQ(script.requests().size(), 3u);
    EXPECT_EQ(script.requests()[0].buttons, QStringList({"Save", "Ignore", "Cancel"}));
    EXPECT_EQ(script.requests()[0].icon, QMessageBox::Warning);
    EXPECT_EQ(script.requests()[2].buttons, QStringList({"Yes", "No"}));
    EXPECT_EQ(script.unexpected(), 0);
}

TEST(Dialogs, ValueDialogsReturnTheProposedValueOnCancel)
{
    DialogScript script;
    script.value(7).cancel().accept();
    bool ok = true;
    EXPECT_EQ(Dialogs::getInt(nullptr, "Automatic thresholding", "Enter smoothing level:", 3, 0, 50, 1, &ok), 7);
    EXPECT_TRUE(ok);
    EXPECT_EQ(Dialogs::getInt(nullptr, "t", "l", 3, 0, 50, 1, &ok), 3);
    EXPECT_FALSE(ok);
    EXPECT_EQ(Dialogs::getInt(nullptr, "t", "l", 4, 0, 50, 1, &ok), 4);
    EXPECT_TRUE(ok);
    EXPECT_EQ(script.requests()[0].minimum.toInt(), 0);
    EXPECT_EQ(script.requests()[0].maximum.toInt(), 50);
    EXPECT_EQ(script.requests()[0].text, "Enter smoothing level:");
}

TEST(Dialogs, UnansweredRequestsAreCountedAndCancelled)
{
    DialogScript script;
    EXPECT_TRUE(Dialogs::getOpenFileNames(nullptr, "Open stack", "/tmp", "*.sdf").isEmpty());
    EXPECT_EQ(Dialogs::message(nullptr, QMessageBox::Warning, "Confirm deletion", "x", {"Delete", "Cancel"}), -1);
    EXPECT_EQ(script.unexpected(), 2);
    EXPECT_EQ(script.requests()[0].items, QStringList({"*.sdf"}));
    EXPECT_EQ(script.requests()[0].directory, "/tmp");
}

TEST(Dialogs, ModalDialogsRunWithoutBlocking)
{
    QDialog dialog;
    dialog.setWindowTitle("New stack");
    auto* edit = new QLineEdit(&dialog);
    auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(box, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(edit);
    layout->addWidget(box);

    DialogScript script;
    // The responder types and clicks as a user would; the click ends the dialog.
    script.modal([](QDialog& d) {
        QTest::keyClicks(d.findChild<QLineEdit*>(), "stack1");
        QTest::mouseClick(d.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok), Qt::LeftButton);
        return false;
    });
    EXPECT_EQ(Dialogs::exec(dialog), QDialog::Accepted);
    EXPECT_EQ(edit->text(), "stack1");
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(script.titles(), QStringList({"New stack"}));

    // Left open by the responder: closed with its answer.
    script.modal([](QDialog&) { return false; });
    EXPECT_EQ(Dialogs::exec(dialog), QDialog::Rejected);
}

TEST(ColorSelector, ClickChoosesThroughTheColourDialog)
{
    ColorSelector selector(QColor(Qt::darkGray));
    QSignalSpy spy(&selector, &ColorSelector::valueChanged);
    DialogScript script;
    script.value(QColor(10, 20, 30)).cancel();
    QTest::mouseClick(&selector, Qt::LeftButton);
    EXPECT_EQ(selector.value(), QColor(10, 20, 30));
    EXPECT_EQ(selector.styleSheet(), "background-color:rgb(10,20,30)");
    QTest::mouseClick(&selector, Qt::LeftButton);   // cancelled: unchanged
    EXPECT_EQ(selector.value(), QColor(10, 20, 30));
    EXPECT_EQ(spy.count(), 1);
    EXPECT_EQ(script.requests()[0].value.value<QColor>(), QColor(Qt::darkGray));
}
