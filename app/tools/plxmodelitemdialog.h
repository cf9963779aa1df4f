#pragma once
// PLXModelItemDialog: "Properties" of one model item: the item properties
// editor above "Defaults", "Apply" and "Close".
//
// The editor shows how the item is drawn from its own properties over its
// model's default item properties. "Defaults" shows the model's defaults
// alone (applying them clears the item's own properties). "Apply" keeps of
// the edited properties only those that differ from the model's defaults;
// when that differs from the item's own properties, it becomes one undoable
// step of the stack's history. A point set with part of its points selected
// is split first: the selected points take the new properties, a new item
// of the same model keeps the others with the old ones. "Apply" is enabled
// only while the editor differs from what the item shows. A field the user
// left alone keeps the item's value exactly, whatever rounding its box
// shows. Enter applies and closes the dialog (left open when the apply
// fails); Escape closes it without applying.
//
// The dialog follows the item: it reloads when the item or its model
// changes, and closes when the item is deleted or its stack closed.

#include "app/plxeventclient.h"
#include "stack/modelitemproperties.h"

#include <QDialog>

class ModelItem;
class PLXModelItemPropertiesEditor;
class PLXStack;
class QPushButton;

class PLXModelItemDialog : public QDialog, public PLXEventClient {
    Q_OBJECT
public:
    // The item must belong to a model and a slice of the stack.
    PLXModelItemDialog(PLXStack& stack, ModelItem& item, QWidget* parent = nullptr);
    ~PLXModelItemDialog() override;

    // The item, or none once it was deleted.
    ModelItem* getItem() const { return m_item; }
    PLXModelItemPropertiesEditor* getEditor() const { return m_editor; }
    QPushButton* getDefaultsButton() const { return m_defaults; }
    QPushButton* getApplyButton() const { return m_apply; }
    QPushButton* getCloseButton() const { return m_close; }

    // The item's own properties that applying the editor would give.
    ModelItemProperties editedProperties() const;

public slots:
    void apply();
    // Shows the model's default item properties.
    void showDefaults();
    // Shows the item as it is drawn.
    void reload();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void stackCloseEvent(PLXStackCloseEvent& e) override;
    void modelDeleteEvent(PLXModelDeleteEvent& e) override;
    void modelPropertiesEvent(PLXModelPropertiesEvent& e) override;
    void modelItemDeleteEvent(PLXModelItemDeleteEvent& e) override;
    void modelItemAttributeEvent(PLXModelItemAttributeEvent& e) override;
    void modelItemConvertEvent(PLXModelItemConvertEvent& e) override;

private:
    // False when the edits could not be applied (the user was told why).
    bool applyEdits();
    void edited();
    // Forgets the item and closes.
    void lose();

    PLXStack* m_stack;
    ModelItem* m_item;
    PLXModelItemPropertiesEditor* m_editor;
    QPushButton* m_defaults;
    QPushButton* m_apply;
    QPushButton* m_close;
    // The item's properties over its model's defaults, as loaded, and what
    // the editor read just after showing them.
    ModelItemProperties m_loaded;
    ModelItemProperties m_shown;
};
