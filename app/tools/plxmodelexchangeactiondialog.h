#pragma once
// PLXModelExchangeActionDialog: "Action for NAME": what to do with a model
// whose name the target stack already holds: "Replace" (the target's model
// goes, the copy takes its name), "Duplicate" (the copy takes a new name),
// "Append" (the source model's items join the target's model); "apply for
// all models" answers the same for the remaining models of the transfer.
// Run it with Dialogs::exec(); closing it without a choice skips the model.

#include <QDialog>

class QCheckBox;
class QPushButton;

class PLXModelExchangeActionDialog : public QDialog {
    Q_OBJECT
public:
    enum Choice { None, Replace, Duplicate, Append };

    explicit PLXModelExchangeActionDialog(const QString& modelName, QWidget* parent = nullptr);

    Choice getChoice() const { return m_choice; }
    bool isForAllModels() const;

    QPushButton* getButton(Choice choice) const;
    QCheckBox* getAllModelsBox() const { return m_all; }

private:
    Choice m_choice = None;
    QPushButton* m_replace;
    QPushButton* m_duplicate;
    QPushButton* m_append;
    QCheckBox* m_all;
};
