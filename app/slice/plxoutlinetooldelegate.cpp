#include "app/slice/plxoutlinetooldelegate.h"

#include "app/plxvertexactions.h"
#include "app/slice/plxoutlines.h"
#include "app/slice/plxsliceeditwidgetcanvas.h"
#include "app/slice/plxsliceeditwidgetmediator.h"
#include "gl/dialogs.h"
#include "stack/modelitem.h"
#include "stack/stackslice.h"

#include <QDialog>

#include <memory>

PLXOutlineToolDelegate::PLXOutlineToolDelegate(PLXSliceEditWidgetMediator* mediator)
    : PLXSliceEditWidgetMediatorDelegate(mediator)
{
}

PLXOutlineToolDelegate::~PLXOutlineToolDelegate()
{
    delete m_copy;
}

void PLXOutlineToolDelegate::activate()
{
    StackSlice* s = slice();
    if (!s || isActive())
        return;
    const std::vector<ModelItem*> selected = s->getSelectedItems();
    if (selected.size() != 1 || !selected.front()->getSelection().isComplete())
        return;
    ModelItem* item = selected.front();
    PLXSliceEditWidgetMediatorDelegate::activate();
    m_item = item;
    m_copy = new ModelItem(item->getModel(), s);
    m_copy->setProperties(item->getProperties());
    m_copy->setVertices(plxoutlines::toVertices(item->getVertices()));
    canvas().setExtraItem(m_copy);

    std::unique_ptr<QDialog> dialog(makeDialog(*item));
    preview();
    const bool accepted = Dialogs::exec(*dialog) == QDialog::Accepted;
    Vertices<int> result;
    bool take = accepted && m_item && compute(*m_item, result);
    if (take) {
        const QString why = refusal(result);
        if (!why.isEmpty()) {
            Dialogs::warning(&canvas(), title(), why);
            take = false;
        }
    }
    dialog.reset();
    if (canvas().getExtraItem() == m_copy)
        canvas().clearExtraItem();
    delete m_copy;
    m_copy = nullptr;
    item = m_item;
    m_item = nullptr;
    if (isActive())
        deactivate();
    if (take && item) {
        pushStep({new PLXItemVerticesChangeAction(*item, item->getVertices(), result)});
        getSliceEditWidgetMediator().announceSelection();
    }
}

void PLXOutlineToolDelegate::preview()
{
    if (!m_item || !m_copy)
        return;
    Vertices<int> result;
    if (!compute(*m_item, result))
        result = plxoutlines::toVertices(m_item->getVertices());
    m_copy->setVertices(result);
    canvas().updateExtraItem();
}
