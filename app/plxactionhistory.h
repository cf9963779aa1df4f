#pragma once
// PLXActionHistory: the undo and redo lists of a stack (or of one slice), each
// a list of steps (PLXActionList), the most recent last. A user gesture opens
// a step, pushes its actions and closes the step:
//
//     history.openStep();
//     history.push(new PLXMoveVertexAction(item, i, from, to), true); // applied now
//     history.closeStep();
//     ...
//     history.undo();   // reverts the step
//     history.redo();   // applies it again
//
// Pushing discards whatever could have been redone. The history owns every
// step and action pushed and has no length limit. Signals tell the menus
// when to refresh: changed() after every closed step, undo and redo;
// undoEnabled() and redoEnabled() with whether the lists hold steps.
//
// Misuse is a UsageError: opening a step while one is open ("A step is
// already open"), closing none ("No open step to close"), pushing without an
// open step ("No step was open prior to action insertion"; the action is
// deleted). Undo and redo do nothing with nothing to undo or redo, and while
// a step is open.

#include <QObject>
#include <QString>

#include <memory>
#include <vector>

class PLXAction;
class PLXActionList;

class PLXActionHistory : public QObject {
    Q_OBJECT
public:
    explicit PLXActionHistory(QObject* parent = nullptr);
    ~PLXActionHistory() override;

    void openStep();
    // Appends the action to the open step, applies it when apply is true, and
    // destroys the redo list.
    void push(PLXAction* action, bool apply = false);
    // An empty step is dropped silently; otherwise emits changed() and
    // undoEnabled(true).
    void closeStep();
    bool isStepOpen() const { return m_stepOpen; }

    // Reverts the last step and moves it to the redo list; emits changed(),
    // redoEnabled(true) and undoEnabled(whether steps remain).
    void undo();
    // Applies the last undone step and moves it back; emits changed(),
    // undoEnabled(true) and redoEnabled(whether steps remain).
    void redo();
    bool isUndoable() const;
    bool isRedoable() const;
    int getNumUndoSteps() const { return static_cast<int>(m_undo.size()) - (m_stepOpen ? 1 : 0); }
    int getNumRedoSteps() const { return static_cast<int>(m_redo.size()); }

    // The description of the first action of the step concerned;
    // "(Nothing to undo)" and "(Nothing to redo)" when there is none.
    QString getUndoDescription(bool detailed = false) const;
    QString getRedoDescription(bool detailed = false) const;

    // Deletes every step (an open one too); emits changed(), undoEnabled(false)
    // and redoEnabled(false).
    void clear();

signals:
    void changed();
    void undoEnabled(bool enabled);
    void redoEnabled(bool enabled);

private:
    std::vector<std::unique_ptr<PLXActionList>> m_undo;
    std::vector<std::unique_ptr<PLXActionList>> m_redo;
    bool m_stepOpen = false;
};
