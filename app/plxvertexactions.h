#pragma once
// The actions on the vertices of one model item. Each sends a vertex event
// when applied and when reverted. Reverting restores the vertices and their
// selection as they were.

#include "app/plxaction.h"
#include "geometry/vertices.h"
#include "numerics/vector.h"
#include "stack/modelitemselection.h"

// Inserts a point before vertex index (unselected); revert removes it.
class PLXInsertVertexAction : public PLXItemAction {
public:
    PLXInsertVertexAction(ModelItem& item, int index, const Vector<int>& point);
    void apply() override;
    void revert() override;

private:
    int m_index;
    Vector<int> m_point;
};

// Removes vertex index; revert inserts the point back there, with the
// selection flag it had.
class PLXRemoveVertexAction : public PLXItemAction {
public:
    // point is the vertex removed (its current position).
    PLXRemoveVertexAction(ModelItem& item, int index, const Vector<int>& point);
    void apply() override;
    void revert() override;

private:
    int m_index;
    Vector<int> m_point;
    bool m_selected = false;
};

// Moves vertex index from one point to another. Null when both are equal.
// "Move item vertex".
class PLXMoveVertexAction : public PLXItemAction {
public:
    PLXMoveVertexAction(ModelItem& item, int index, const Vector<int>& oldPoint, const Vector<int>& newPoint);
    bool isNull() const override;
    void apply() override;
    void revert() override;
    QString description(bool detailed = false) const override;

private:
    int m_index;
    Vector<int> m_old;
    Vector<int> m_new;
};

// Appends vertices at the end of the item (which clears its selection);
// revert removes as many from the end and restores the selection. "Append
// points to item".
class PLXItemAppendPointsAction : public PLXItemAction {
public:
    PLXItemAppendPointsAction(ModelItem& item, const Vertices<int>& vertices);
    void apply() override;
    void revert() override;
    QString description(bool detailed = false) const override;

private:
    Vertices<int> m_vertices;
    ModelItemSelection m_selection;
};

// Replaces the whole vertex list (the selection is cleared); revert puts the
// old list back with its selection of the time of the action's creation.
class PLXItemVerticesChangeAction : public PLXItemAction {
public:
    PLXItemVerticesChangeAction(ModelItem& item, const Vertices<int>& oldVertices, const Vertices<int>& newVertices);
    void apply() override;
    void revert() override;

private:
    Vertices<int> m_old;
    Vertices<int> m_new;
    ModelItemSelection m_oldSelection;
};

// Removes the selected vertices, or with reverse the unselected ones (which
// keeps the selected ones, still selected). Keeps the vertices and selection
// of its creation for revert. "Remove item selection".
class PLXRemoveSelectionAction : public PLXItemAction {
public:
    explicit PLXRemoveSelectionAction(ModelItem& item, bool reverse = false);
    void apply() override;
    void revert() override;
    QString description(bool detailed = false) const override;

private:
    Vertices<int> m_vertices;
    ModelItemSelection m_selection;
    bool m_reverse;
};
