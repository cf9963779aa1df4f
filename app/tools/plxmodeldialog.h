#pragma once
// PLXModelDialog: "Models for stack "NAME"": the stack's models in a list
// sorted by name, below an entry "Model" that starts the creation of a new
// one; the name, model properties and item properties editors; the buttons
// "Delete", "Apply" and "Close". Its mediator (PLXModelDialogMediator, made
// by the dialog) owns the behaviour. open() shows a dialog that deletes
// itself on close, and closes with its stack.

#include <QDialog>

class PLXModelDialogMediator;
class PLXModelItemPropertiesEditor;
class PLXModelNameEditor;
class PLXModelPropertiesEditor;
class PLXStack;
class QListWidget;
class QPushButton;

class PLXModelDialog : public QDialog {
    Q_OBJECT
public:
    explicit PLXModelDialog(QWidget* parent = nullptr);
    static PLXModelDialog* open(PLXStack& stack, QWidget* parent = nullptr);

    PLXModelDialogMediator& getMediator() const { return *m_mediator; }
    QListWidget* getModelList() const { return m_list; }
    PLXModelNameEditor* getNameEditor() const { return m_name; }
    PLXModelPropertiesEditor* getPropertiesEditor() const { return m_properties; }
    PLXModelItemPropertiesEditor* getItemPropertiesEditor() const { return m_itemProperties; }
    QPushButton* getDeleteButton() const { return m_delete; }
    QPushButton* getApplyButton() const { return m_apply; }
    QPushButton* getCloseButton() const { return m_close; }

private:
    QListWidget* m_list;
    PLXModelNameEditor* m_name;
    PLXModelPropertiesEditor* m_properties;
    PLXModelItemPropertiesEditor* m_itemProperties;
    QPushButton* m_delete;
    QPushButton* m_apply;
    QPushButton* m_close;
    PLXModelDialogMediator* m_mediator;
};
