#include "app/plxactionhistory.h"

#include "app/plxaction.h"
#include "numerics/exception.h"

PLXActionHistory::PLXActionHistory(QObject* parent) : QObject(parent) {}

PLXActionHistory::~PLXActionHistory() = default;

void PLXActionHistory::openStep()
{
    if (m_stepOpen)
        throw UsageError("void PLXActionHistory::openStep()", "A step is already open");
    m_undo.push_back(std::make_unique<PLXActionList>());
    m_stepOpen = true;
}

void PLXActionHistory::push(PLXAction* action, bool apply)
{
    std::unique_ptr<PLXAction> owned(action);
    if (!m_stepOpen)
        throw UsageError("void PLXActionHistory::push(PLXAction*, bool)",
                         "No step was open prior to action insertion");
    if (!action)
        return;
    m_undo.back()->push(owned.release());
    if (apply)
        action->apply();
    m_redo.clear();
}

void PLXActionHistory::closeStep()
{
    if (!m_stepOpen)
        throw UsageError("void PLXActionHistory::closeStep()", "No open step to close");
    m_stepOpen = false;
    if (m_undo.back()->isEmpty()) {
        m_undo.pop_back();
        return;
    }
    emit changed();
    emit undoEnabled(true);
}

bool PLXActionHistory::isUndoable() const
{
    return getNumUndoSteps() > 0;
}

bool PLXActionHistory::isRedoable() const
{
    return !m_redo.empty();
}

void PLXActionHistory::undo()
{
    if (m_stepOpen || m_undo.empty())
        return;
    std::unique_ptr<PLXActionList> step = std::move(m_undo.back());
    m_undo.pop_back();
    // Kept in the undo list while it is reverted, the step would be lost if a
    // revert threw; it goes to the redo list only once reverted.
    try {
        step->revert();
    } catch (...) {
        m_undo.push_back(std::move(step));
        throw;
    }
    m_redo.push_back(std::move(step));
    emit changed();
    emit redoEnabled(true);
    emit undoEnabled(!m_undo.empty());
}

void PLXActionHistory::redo()
{
    if (m_stepOpen || m_redo.empty())
        return;
    std::unique_ptr<PLXActionList> step = std::move(m_redo.back());
    m_redo.pop_back();
    try {
        step->apply();
    } catch (...) {
        m_redo.push_back(std::move(step));
        throw;
    }
    m_undo.push_back(std::move(step));
    emit changed();
    emit undoEnabled(true);
    emit redoEnabled(!m_redo.empty());
}

QString PLXActionHistory::getUndoDescription(bool detailed) const
{
    const int n = getNumUndoSteps();
    if (n == 0)
        return QStringLiteral("(Nothing to undo)");
    return m_undo[static_cast<std::size_t>(n - 1)]->getAction(0)->description(detailed);
}

QString PLXActionHistory::getRedoDescription(bool detailed) const
{
    if (m_redo.empty())
        return QStringLiteral("(Nothing to redo)");
    return m_redo.back()->getAction(0)->description(detailed);
}

void PLXActionHistory::clear()
{
    m_undo.clear();
    m_redo.clear();
    m_stepOpen = false;
    emit changed();
    emit undoEnabled(false);
    emit redoEnabled(false);
}
