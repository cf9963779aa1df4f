#pragma once
// PLXModelDialogMediator: the behaviour of the model dialog.
//
// Modes: standard (nothing chosen: the editors and "Apply" and "Delete" are
// disabled), creation (the list's "Model" entry: the editors show a new
// model's properties and "Apply" creates it) and selection (one or more
// models: the editors show what the models share, blank where they differ;
// the name only for one model; "Apply" edits them, "Delete" deletes them).
//
// Names: a model keeps its own name; a name borne by another model of the
// stack, or an empty one, is refused with a warning and nothing is applied.
// Creation adds the model, sends a model create event and returns to the
// standard mode; edition updates the models with the defined properties and
// sends a model properties event carrying the old ones; deletion asks for
// confirmation when the models hold items. Each creation, edition and
// deletion is one undoable step of the stack ("Model creation", "Model
// renaming" or "Model properties change", "Model deletion"). The list
// follows model events from elsewhere (an undo, another window) and the
// dialog closes with its stack.

#include "app/plxeventclient.h"

#include <QObject>
#include <QString>

#include <vector>

class Model;
class PLXModelDialog;
class PLXStack;

class PLXModelDialogMediator : public QObject, public PLXEventClient {
    Q_OBJECT
public:
    enum Mode { Standard, Creation, Selection };

    explicit PLXModelDialogMediator(PLXModelDialog& dialog);

    void setStack(PLXStack* stack);
    PLXStack* getStack() const { return m_stack; }
    Mode getMode() const { return m_mode; }
    // The models chosen in the list, in its order.
    std::vector<Model*> getSelectedModels() const;
    // Chooses the models of these names in the list (selection mode), none
    // (standard mode).
    void selectModels(const QStringList& names);

    // Whether name may be given to model (null: a new model); warns when not.
    bool checkModelName(const QString& name, const Model* model);

public slots:
    void setModeStandard();
    void setModeCreation();
    void setModeSelection();
    // "Apply": creation or edition, by the mode.
    void apply();
    bool applyCreation();
    bool applyEdition();
    void deleteSelectedModels();

protected:
    void stackCloseEvent(PLXStackCloseEvent& e) override;
    void stackNameEvent(PLXStackNameEvent& e) override;
    void modelCreateEvent(PLXModelCreateEvent& e) override;
    void modelDeleteEvent(PLXModelDeleteEvent& e) override;
    void modelPropertiesEvent(PLXModelPropertiesEvent& e) override;

private:
    void listSelectionChanged();
    // Rebuilds the list from the stack, keeping the chosen models chosen.
    void fillList();
    void updateTitle();
    void enableEditors(bool on);

    PLXModelDialog& m_dialog;
    PLXStack* m_stack = nullptr;
    Mode m_mode = Standard;
    bool m_updating = false;
};
