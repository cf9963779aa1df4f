#include "gl/dialogs.h"

#include <QColorDialog>
#include <QDialog>
#include <QFileDialog>
#include <QInputDialog>
#include <QPushButton>

#include <utility>
#include <vector>

namespace {

Dialogs::Responder& responder()
{
    static Dialogs::Responder instance;
    return instance;
}

// The standard buttons of a set, in the order of their flag values (the
// order in which Request::buttons lists them).
std::vector<QMessageBox::StandardButton> standardButtons(QMessageBox::StandardButtons buttons)
{
    std::vector<QMessageBox::StandardButton> list;
    for (unsigned bit = QMessageBox::FirstButton; bit <= QMessageBox::LastButton; bit <<= 1)
        if (buttons.testFlag(static_cast<QMessageBox::StandardButton>(bit)))
            list.push_back(static_cast<QMessageBox::StandardButton>(bit));
    return list;
}

QMessageBox::StandardButton standardMessage(QWidget* parent, QMessageBox::Icon icon, const QString& title,
                                            const QString& text, QMessageBox::StandardButtons buttons,
                                            QMessageBox::StandardButton defaultButton)
{
    if (Dialogs::hasResponder()) {
        const std::vector<QMessageBox::StandardButton> list = standardButtons(buttons);
        Dialogs::Request request;
        request.kind = Dialogs::Kind::Message;
        request.icon = icon;
        request.title = title;
        request.text = text;
        for (QMessageBox::StandardButton button : list)
            request.buttons << Dialogs::buttonText(button);
        if (defaultButton != QMessageBox::NoButton)
            request.value = Dialogs::buttonText(defaultButton);
        const Dialogs::Answer answer = responder()(request);
        if (answer.button < 0 || answer.button >= static_cast<int>(list.size()))
            return QMessageBox::NoButton;
        return list[answer.button];
    }
    QMessageBox box(icon, title, text, buttons, parent);
    if (defaultButton != QMessageBox::NoButton)
        box.setDefaultButton(defaultButton);
    if (box.exec() == -1)
        return QMessageBox::NoButton;
    return box.standardButton(box.clickedButton());
}

// Splits a Qt name filter list ("A (*.a);;B (*.b)") into its entries.
QStringList filterEntries(const QString& filter)
{
    return filter.isEmpty() ? QStringList() : filter.split(QStringLiteral(";;"));
}

Dialogs::Answer ask(Dialogs::Kind kind, const QString& title, const QString& text, const QVariant& value = {},
                    const QVariant& minimum = {}, const QVariant& maximum = {}, const QStringList& items = {},
                    const QString& directory = {})
{
    Dialogs::Request request;
    request.kind = kind;
    request.title = title;
    request.text = text;
    request.value = value;
    request.minimum = minimum;
    request.maximum = maximum;
    request.items = items;
    request.directory = directory;
    return responder()(request);
}

} // namespace

Dialogs::Responder Dialogs::setResponder(Responder r)
{
    return std::exchange(responder(), std::move(r));
}

bool Dialogs::hasResponder()
{
    return static_cast<bool>(responder());
}

QString Dialogs::buttonText(QMessageBox::StandardButton button)
{
    switch (button) {
    case QMessageBox::Ok: return QStringLiteral("OK");
    case QMessageBox::Save: return QStringLiteral("Save");
    case QMessageBox::SaveAll: return QStringLiteral("Save All");
    case QMessageBox::Open: return QStringLiteral("Open");
    case QMessageBox::Yes: return QStringLiteral("Yes");
    case QMessageBox::YesToAll: return QStringLiteral("Yes to All");
    case QMessageBox::No: return QStringLiteral("No");
    case QMessageBox::NoToAll: return QStringLiteral("No to All");
    case QMessageBox::Abort: return QStringLiteral("Abort");
    case QMessageBox::Retry: return QStringLiteral("Retry");
    case QMessageBox::Ignore: return QStringLiteral("Ignore");
    case QMessageBox::Close: return QStringLiteral("Close");
    case QMessageBox::Cancel: return QStringLiteral("Cancel");
    case QMessageBox::Discard: return QStringLiteral("Discard");
    case QMessageBox::Help: return QStringLiteral("Help");
    case QMessageBox::Apply: return QStringLiteral("Apply");
    case QMessageBox::Reset: return QStringLiteral("Reset");
    case QMessageBox::RestoreDefaults: return QStringLiteral("Restore Defaults");
    default: return QString();
    }
}

QMessageBox::StandardButton Dialogs::information(QWidget* parent, const QString& title, const QString& text,
                                                 QMessageBox::StandardButtons buttons,
                                                 QMessageBox::StandardButton defaultButton)
{
    return standardMessage(parent, QMessageBox::Information, title, text, buttons, defaultButton);
}

QMessageBox::StandardButton Dialogs::warning(QWidget* parent, const QString& title, const QString& text,
                                             QMessageBox::StandardButtons buttons,
                                             QMessageBox::StandardButton defaultButton)
{
    return standardMessage(parent, QMessageBox::Warning, title, text, buttons, defaultButton);
}

QMessageBox::StandardButton Dialogs::critical(QWidget* parent, const QString& title, const QString& text,
                                              QMessageBox::StandardButtons buttons,
                                              QMessageBox::StandardButton defaultButton)
{
    return standardMessage(parent, QMessageBox::Critical, title, text, buttons, defaultButton);
}

QMessageBox::StandardButton Dialogs::question(QWidget* parent, const QString& title, const QString& text,
                                              QMessageBox::StandardButtons buttons,
                                              QMessageBox::StandardButton defaultButton)
{
    return standardMessage(parent, QMessageBox::Question, title, text, buttons, defaultButton);
}

int Dialogs::message(QWidget* parent, QMessageBox::Icon icon, const QString& title, const QString& text,
                     const QStringList& buttonTexts, int defaultIndex)
{
    if (hasResponder()) {
        Request request;
        request.kind = Kind::Message;
        request.icon = icon;
        request.title = title;
        request.text = text;
        request.buttons = buttonTexts;
        if (defaultIndex >= 0 && defaultIndex < buttonTexts.size())
            request.value = buttonTexts[defaultIndex];
        const Answer answer = responder()(request);
        return answer.button >= 0 && answer.button < buttonTexts.size() ? answer.button : -1;
    }
    QMessageBox box(icon, title, text, QMessageBox::NoButton, parent);
    std::vector<QPushButton*> pushButtons;
    for (const QString& buttonText : buttonTexts)
        pushButtons.push_back(box.addButton(buttonText, QMessageBox::AcceptRole));
    if (defaultIndex >= 0 && defaultIndex < static_cast<int>(pushButtons.size()))
        box.setDefaultButton(pushButtons[defaultIndex]);
    box.exec();
    for (std::size_t i = 0; i < pushButtons.size(); ++i)
        if (box.clickedButton() == pushButtons[i])
            return static_cast<int>(i);
    return -1;
}

int Dialogs::getInt(QWidget* parent, const QString& title, const QString& label, int value, int minimum,
                    int maximum, int step, bool* ok)
{
    if (hasResponder()) {
        const Answer answer = ask(Kind::Integer, title, label, value, minimum, maximum);
        if (ok)
            *ok = answer.accepted;
        return answer.accepted ? answer.value.toInt() : value;
    }
    return QInputDialog::getInt(parent, title, label, value, minimum, maximum, step, ok);
}

double Dialogs::getDouble(QWidget* parent, const QString& title, const QString& label, double value,
                          double minimum, double maximum, int decimals, bool* ok)
{
    if (hasResponder()) {
        const Answer answer = ask(Kind::Double, title, label, value, minimum, maximum);
        if (ok)
            *ok = answer.accepted;
        return answer.accepted ? answer.value.toDouble() : value;
    }
    return QInputDialog::getDouble(parent, title, label, value, minimum, maximum, decimals, ok);
}

QString Dialogs::getText(QWidget* parent, const QString& title, const QString& label, const QString& text,
                         bool* ok)
{
    if (hasResponder()) {
        const Answer answer = ask(Kind::Text, title, label, text);
        if (ok)
            *ok = answer.accepted;
        return answer.accepted ? answer.value.toString() : QString();
    }
    return QInputDialog::getText(parent, title, label, QLineEdit::Normal, text, ok);
}

QString Dialogs::getItem(QWidget* parent, const QString& title, const QString& label, const QStringList& items,
                         int current, bool* ok)
{
    if (hasResponder()) {
        const QVariant proposed = current >= 0 && current < items.size() ? QVariant(items[current]) : QVariant();
        const Answer answer = ask(Kind::Item, title, label, proposed, {}, {}, items);
        if (ok)
            *ok = answer.accepted;
        return answer.accepted ? answer.value.toString() : QString();
    }
    return QInputDialog::getItem(parent, title, label, items, current, false, ok);
}

QString Dialogs::getOpenFileName(QWidget* parent, const QString& title, const QString& directory,
                                 const QString& filter)
{
    if (hasResponder()) {
        const Answer answer = ask(Kind::OpenFile, title, {}, {}, {}, {}, filterEntries(filter), directory);
        if (!answer.accepted)
            return {};
        const QVariant& v = answer.value;
        return v.typeId() == QMetaType::QStringList ? v.toStringList().value(0) : v.toString();
    }
    return QFileDialog::getOpenFileName(parent, title, directory, filter);
}

QStringList Dialogs::getOpenFileNames(QWidget* parent, const QString& title, const QString& directory,
                                      const QString& filter)
{
    if (hasResponder()) {
        const Answer answer = ask(Kind::OpenFiles, title, {}, {}, {}, {}, filterEntries(filter), directory);
        return answer.accepted ? answer.value.toStringList() : QStringList();
    }
    return QFileDialog::getOpenFileNames(parent, title, directory, filter);
}

QString Dialogs::getSaveFileName(QWidget* parent, const QString& title, const QString& directory,
                                 const QString& filter, bool confirmOverwrite)
{
    if (hasResponder()) {
        const Answer answer = ask(Kind::SaveFile, title, {}, {}, {}, {}, filterEntries(filter), directory);
        return answer.accepted ? answer.value.toString() : QString();
    }
    const QFileDialog::Options options =
        confirmOverwrite ? QFileDialog::Options() : QFileDialog::Options(QFileDialog::DontConfirmOverwrite);
    return QFileDialog::getSaveFileName(parent, title, directory, filter, nullptr, options);
}

QString Dialogs::getExistingDirectory(QWidget* parent, const QString& title, const QString& directory)
{
    if (hasResponder()) {
        const Answer answer = ask(Kind::Directory, title, {}, {}, {}, {}, {}, directory);
        return answer.accepted ? answer.value.toString() : QString();
    }
    return QFileDialog::getExistingDirectory(parent, title, directory);
}

QColor Dialogs::getColor(const QColor& initial, QWidget* parent, const QString& title)
{
    if (hasResponder()) {
        const Answer answer = ask(Kind::Color, title, {}, initial);
        return answer.accepted ? answer.value.value<QColor>() : QColor();
    }
    return QColorDialog::getColor(initial, parent, title);
}

int Dialogs::exec(QDialog& dialog)
{
    if (!hasResponder())
        return dialog.exec();
    dialog.show();
    Request request;
    request.kind = Kind::Modal;
    request.title = dialog.windowTitle();
    request.dialog = &dialog;
    const Answer answer = responder()(request);
    // The responder may have ended the dialog itself (a click on its buttons).
    if (dialog.isVisible())
        dialog.done(answer.accepted ? QDialog::Accepted : QDialog::Rejected);
    return dialog.result();
}
