#pragma once
// PLXEditionDelegate: edits the points of one item ("Edit points"): the
// last item of the slice with a selection. A small floating tool bar at the
// canvas's top-left corner chooses the mode: "Move points" (status MOVE),
// "Insert points" (INSERT), "Delete points" (DELETE); "End edition" ends.
//
// Move: a left press takes the vertex nearest within 10 image pixels, which
// follows the mouse until release; the whole move is one undo step (none
// when the vertex came back where it was). Insert: a left press near an
// edge (within the tolerance) inserts a vertex there. Delete: a left press,
// and every position dragged over, removes the vertex nearest within the
// tolerance, unless the item would become too small (a warning box says
// why). Each insertion and removal is an undo step.

#include "app/slice/plxsliceeditwidgetmediatordelegate.h"

#include "numerics/vector.h"

#include <memory>

class ModelItem;
class PLXMoveVertexAction;
class QAction;
class QToolBar;

class PLXEditionDelegate : public PLXSliceEditWidgetMediatorDelegate {
    Q_OBJECT
public:
    enum class Mode { Move, Insert, Delete };

    explicit PLXEditionDelegate(PLXSliceEditWidgetMediator* mediator);
    ~PLXEditionDelegate() override;

    ModelItem* getItem() const { return m_item; }
    Mode getEditMode() const { return m_editMode; }
    void setEditMode(Mode mode);
    // The floating tool bar (null while inactive).
    QToolBar* getToolBar() const { return m_toolBar; }

public slots:
    // Starts editing the last item of the slice with a selection (nothing
    // without one).
    void activate() override;
    void deactivate() override;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void insertAt(const QPoint& position);
    // Whether a vertex was removed (false after a refusal too).
    bool removeAt(const QPoint& position);

    ModelItem* m_item = nullptr;
    Mode m_editMode = Mode::Move;
    QToolBar* m_toolBar = nullptr;
    QAction* m_moveAction = nullptr;
    QAction* m_insertAction = nullptr;
    QAction* m_deleteAction = nullptr;
    QAction* m_endAction = nullptr;
    // The vertex being moved and where it was.
    int m_moving = -1;
    Vector<int> m_from;
    std::unique_ptr<PLXMoveVertexAction> m_move;
    bool m_deleting = false;
};
