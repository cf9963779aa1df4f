#pragma once
// PLXModelExchangeDialog: "Model transfer": two open stacks side by side,
// each with its "Models:" list; the buttons between them copy the chosen
// models of one stack into the other; "Undo", "Redo" and "Close". Its
// position and size are kept in the settings.
//
// Two stacks take each other's models only when they differ, hold the same
// number of slices and each pair of slices at one position has images of
// one size; otherwise a warning says which of these fails and nothing is
// copied. A model whose name the target lacks is copied (its properties,
// default item properties, and its items on the slices at the same
// positions, each with a copy of its vertices only). For a name the target
// holds, the action dialog asks: replace the target's model, duplicate
// (under the name with " (copy)" added until it is new), or append the
// items to the target's model; "apply for all models" keeps the answer.
// One transfer is one undoable step of the target stack, which "Undo" and
// "Redo" undo and redo.

#include "app/plxeventclient.h"

#include <QDialog>

#include <string>
#include <vector>

class Model;
class PLXStack;
class QComboBox;
class QListWidget;
class QPushButton;
class Stack;

class PLXModelExchangeDialog : public QDialog, public PLXEventClient {
    Q_OBJECT
public:
    enum Side { Left = 0, Right = 1 };

    explicit PLXModelExchangeDialog(QWidget* parent = nullptr);
    ~PLXModelExchangeDialog() override;
    static PLXModelExchangeDialog* open(QWidget* parent = nullptr);

    // Shows the stack on one side (an open stack of the stack server).
    void setStack(Side side, PLXStack* stack);
    PLXStack* getStack(Side side) const;
    void selectModels(Side side, const QStringList& names);

    // Copies the chosen models of the stack on side from into the other.
    void transfer(Side from);

    // Whether the two stacks may exchange models; warns when not.
    bool checkStacks(PLXStack* source, PLXStack* target);
    // The name under which a duplicate of a model named name goes into
    // stack: " (copy)" appended each time the candidate equals the name of
    // the model scanned, scanning the stack's models in order.
    static std::string duplicateName(const Stack& stack, const std::string& name);

    QComboBox* getStackBox(Side side) const { return m_stacks[side]; }
    QListWidget* getModelList(Side side) const { return m_models[side]; }
    QPushButton* getTransferButton(Side from) const { return m_transfer[from]; }
    QPushButton* getUndoButton() const { return m_undo; }
    QPushButton* getRedoButton() const { return m_redo; }
    QPushButton* getCloseButton() const { return m_close; }

public slots:
    void undo();
    void redo();

protected:
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void done(int result) override;
    void stackOpenEvent(PLXStackOpenEvent&) override { fillStacks(); }
    void stackCloseEvent(PLXStackCloseEvent& e) override;
    void stackNameEvent(PLXStackNameEvent&) override { fillStacks(); }
    void modelCreateEvent(PLXModelCreateEvent&) override { fillModels(); }
    void modelDeleteEvent(PLXModelDeleteEvent& e) override;
    void modelPropertiesEvent(PLXModelPropertiesEvent&) override { fillModels(); }

private:
    void fillStacks();
    void fillModels();
    void updateButtons();

    QComboBox* m_stacks[2];
    QListWidget* m_models[2];
    QPushButton* m_transfer[2];
    QPushButton* m_undo;
    QPushButton* m_redo;
    QPushButton* m_close;
    // The stacks whose histories hold this dialog's transfers, the last
    // done (undone) last.
    std::vector<PLXStack*> m_done;
    std::vector<PLXStack*> m_undone;
    const Model* m_deleting = nullptr;
    bool m_restoringGeometry = false;
};
