#pragma once
// Dialogs: the one door through which every message box, input dialog, file
// dialog and modal window of the program passes.
//
// Windows never call QMessageBox, QInputDialog, QFileDialog, QColorDialog or
// QDialog::exec() themselves: they call these functions, which show the real
// dialog, or, once a responder is installed (tests, scripted sessions), hand
// the request to the responder and return its answer without blocking.
//
// The signatures follow their Qt counterparts: a value function returns the
// proposed value and sets *ok to false when the user cancels.

#include <QColor>
#include <QMessageBox>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>

class QDialog;
class QWidget;

class Dialogs {
public:
    enum class Kind {
        Message,   // a message box: information, warning, critical or question
        Integer,   // getInt
        Double,    // getDouble
        Text,      // getText
        Item,      // getItem
        OpenFile,  // getOpenFileName
        OpenFiles, // getOpenFileNames
        SaveFile,  // getSaveFileName
        Directory, // getExistingDirectory
        Color,     // getColor
        Modal      // exec(dialog): a dialog window of the program, run modally
    };

    // What a window asks. For messages, buttons lists the button texts in the
    // order given (standard buttons by their English text: "OK", "Cancel",
    // "Save", ...). For value dialogs, value is the proposed value, minimum
    // and maximum the range (integers and doubles), items the choices (item
    // dialogs) or the name filters (file dialogs, one per entry), directory
    // the starting directory. For Modal, dialog is the window to run; the
    // responder may fill its widgets, click its buttons, or accept() it.
    struct Request {
        Kind kind = Kind::Message;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QString title;
        QString text;
        QStringList buttons;
        QVariant value;
        QVariant minimum;
        QVariant maximum;
        QStringList items;
        QString directory;
        QDialog* dialog = nullptr;
    };

    // The user's answer. Messages: button is the index of the chosen entry
    // of Request::buttons (-1: the box was closed without a choice).
    // Value dialogs: accepted false means Cancel; value holds the result
    // (int, double, QString, QStringList of file names, QColor). Modal:
    // accepted tells whether the dialog ended accepted, unless the responder
    // already ended the dialog itself (see exec).
    struct Answer {
        int button = -1;
        bool accepted = false;
        QVariant value;
    };

    using Responder = std::function<Answer(const Request&)>;

    // Installs the responder that answers every later request (an empty
    // function restores the real dialogs). Returns the previous one.
    static Responder setResponder(Responder responder);
    static bool hasResponder();

    // Message boxes with standard buttons; the chosen button is returned
    // (NoButton when the box was closed without a choice).
    static QMessageBox::StandardButton information(QWidget* parent, const QString& title, const QString& text,
                                                   QMessageBox::StandardButtons buttons = QMessageBox::Ok,
                                                   QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);
    static QMessageBox::StandardButton warning(QWidget* parent, const QString& title, const QString& text,
                                               QMessageBox::StandardButtons buttons = QMessageBox::Ok,
                                               QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);
    static QMessageBox::StandardButton critical(QWidget* parent, const QString& title, const QString& text,
                                                QMessageBox::StandardButtons buttons = QMessageBox::Ok,
                                                QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);
    static QMessageBox::StandardButton question(QWidget* parent, const QString& title, const QString& text,
                                                QMessageBox::StandardButtons buttons = QMessageBox::Yes | QMessageBox::No,
                                                QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);
    // A message box with buttons of the program's own texts ("Delete",
    // "Replace", " OK "); returns the index of the chosen one, -1 when closed
    // without a choice.
    static int message(QWidget* parent, QMessageBox::Icon icon, const QString& title, const QString& text,
                       const QStringList& buttonTexts, int defaultIndex = 0);

    static int getInt(QWidget* parent, const QString& title, const QString& label, int value = 0,
                      int minimum = -2147483647, int maximum = 2147483647, int step = 1, bool* ok = nullptr);
    static double getDouble(QWidget* parent, const QString& title, const QString& label, double value = 0,
                            double minimum = -2147483647, double maximum = 2147483647, int decimals = 1,
                            bool* ok = nullptr);
    static QString getText(QWidget* parent, const QString& title, const QString& label, const QString& text = {},
                           bool* ok = nullptr);
    static QString getItem(QWidget* parent, const QString& title, const QString& label, const QStringList& items,
                           int current = 0, bool* ok = nullptr);

    // File dialogs: filter is a Qt name filter ("*.sdf", "Images (*.tif *.img)";
    // several separated by ";;"). An empty result means Cancel.
    static QString getOpenFileName(QWidget* parent, const QString& title, const QString& directory = {},
                                   const QString& filter = {});
    static QStringList getOpenFileNames(QWidget* parent, const QString& title, const QString& directory = {},
                                        const QString& filter = {});
    // confirmOverwrite false leaves the overwrite question to the caller.
    static QString getSaveFileName(QWidget* parent, const QString& title, const QString& directory = {},
                                   const QString& filter = {}, bool confirmOverwrite = true);
    static QString getExistingDirectory(QWidget* parent, const QString& title, const QString& directory = {});

    // An invalid colour means Cancel.
    static QColor getColor(const QColor& initial, QWidget* parent, const QString& title = {});

    // Runs a dialog window of the program modally and returns its result
    // (QDialog::Accepted or Rejected). With a responder, the dialog is shown
    // without blocking, handed to the responder, and its result is the
    // result it ended with, or the answer's accepted flag when the responder
    // left it open (the dialog is then closed with that result).
    static int exec(QDialog& dialog);

    // The English text of a standard button, as listed in Request::buttons.
    static QString buttonText(QMessageBox::StandardButton button);
};
