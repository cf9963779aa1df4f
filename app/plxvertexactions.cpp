#include "app/plxvertexactions.h"

#include "app/plxevent.h"
#include "app/plxeventserver.h"
#include "stack/modelitem.h"

namespace {

void announce(ModelItem& item)
{
    PLXModelItemVertexEvent event(item);
    PLXEventServer::notifyEvent(event);
}

// A copy on a pool of its own, which later edits of the item cannot reach.
Vertices<int> privateCopy(const Vertices<int>& v)
{
    Vertices<int> copy(v);
    copy.detach();
    return copy;
}

} // namespace

// Insertion -----------------------------------------------------------------------

PLXInsertVertexAction::PLXInsertVertexAction(ModelItem& item, int index, const Vector<int>& point)
    : PLXItemAction(item), m_index(index), m_point(point)
{
}

void PLXInsertVertexAction::apply()
{
    m_item->insertVertex(m_index, m_point);
    setReverted(false);
    announce(*m_item);
}

void PLXInsertVertexAction::revert()
{
    m_item->removeVertex(m_index);
    setReverted(true);
    announce(*m_item);
}

// Removal -------------------------------------------------------------------------

PLXRemoveVertexAction::PLXRemoveVertexAction(ModelItem& item, int index, const Vector<int>& point)
    : PLXItemAction(item), m_index(index), m_point(point)
{
}

void PLXRemoveVertexAction::apply()
{
    m_selected = m_item->getSelection().isSelected(m_index);
    m_item->removeVertex(m_index);
    setReverted(false);
    announce(*m_item);
}

void PLXRemoveVertexAction::revert()
{
    m_item->insertVertex(m_index, m_point);
    if (m_selected)
        m_item->getSelection().set(true, m_index, false);
    setReverted(true);
    announce(*m_item);
}

// Move ----------------------------------------------------------------------------

PLXMoveVertexAction::PLXMoveVertexAction(ModelItem& item, int index, const Vector<int>& oldPoint,
                                         const Vector<int>& newPoint)
    : PLXItemAction(item), m_index(index), m_old(oldPoint), m_new(newPoint)
{
}

bool PLXMoveVertexAction::isNull() const
{
    return m_old == m_new;
}

void PLXMoveVertexAction::apply()
{
    m_item->moveVertex(m_index, m_new);
    setReverted(false);
    announce(*m_item);
}

void PLXMoveVertexAction::revert()
{
    m_item->moveVertex(m_index, m_old);
    setReverted(true);
    announce(*m_item);
}

QString PLXMoveVertexAction::description(bool) const
{
    return QStringLiteral("Move item vertex");
}

// Appending -----------------------------------------------------------------------

PLXItemAppendPointsAction::PLXItemAppendPointsAction(ModelItem& item, const Vertices<int>& vertices)
    : PLXItemAction(item), m_vertices(privateCopy(vertices))
{
}

void PLXItemAppendPointsAction::apply()
{
    m_selection = m_item->getSelection();
    m_item->appendVertices(m_vertices);
    setReverted(false);
    announce(*m_item);
}

void PLXItemAppendPointsAction::revert()
{
    const int n = m_item->getSize();
    const int k = m_vertices.getNumVertices();
    if (k > 0)
        m_item->removeVertices(n - k, n - 1);
    // Appending cleared the selection.
    if (m_selection.getLength() == m_item->getSize())
        m_item->getSelection() = m_selection;
    setReverted(true);
    announce(*m_item);
}

QString PLXItemAppendPointsAction::description(bool) const
{
    return QStringLiteral("Append points to item");
}

// Replacement ---------------------------------------------------------------------

PLXItemVerticesChangeAction::PLXItemVerticesChangeAction(ModelItem& item, const Vertices<int>& oldVertices,
                                                         const Vertices<int>& newVertices)
    : PLXItemAction(item),
      m_old(privateCopy(oldVertices)),
      m_new(privateCopy(newVertices)),
      m_oldSelection(item.getSelection())
{
}

void PLXItemVerticesChangeAction::apply()
{
    m_item->setVertices(privateCopy(m_new));
    setReverted(false);
    announce(*m_item);
}

void PLXItemVerticesChangeAction::revert()
{
    m_item->setVertices(privateCopy(m_old));
    if (m_oldSelection.getLength() == m_item->getSize())
        m_item->getSelection() = m_oldSelection;
    setReverted(true);
    announce(*m_item);
}

// Removal of the selection --------------------------------------------------------

PLXRemoveSelectionAction::PLXRemoveSelectionAction(ModelItem& item, bool reverse)
    : PLXItemAction(item), m_vertices(privateCopy(item.getVertices())), m_selection(item.getSelection()),
      m_reverse(reverse)
{
}

void PLXRemoveSelectionAction::apply()
{
    // The selection of the creation decides, whatever became of the item's
    // selection since (a redo after other steps were undone).
    m_item->setVertices(privateCopy(m_vertices));
    m_item->getSelection() = m_selection;
    if (m_reverse)
        m_item->removeUnselectedVertices();
    else
        m_item->removeSelectedVertices();
    setReverted(false);
    announce(*m_item);
}

void PLXRemoveSelectionAction::revert()
{
    m_item->setVertices(privateCopy(m_vertices));
    m_item->getSelection() = m_selection;
    setReverted(true);
    announce(*m_item);
}

QString PLXRemoveSelectionAction::description(bool) const
{
    return QStringLiteral("Remove item selection");
}
