#include "app/slice/plxselectiondelegate.h"

#include "app/plxitemactions.h"
#include "app/plxselectionactions.h"
#include "app/plxvertexactions.h"
#include "app/slice/plxsliceeditwidgetcanvas.h"
#include "app/slice/plxsliceeditwidgetmediator.h"
#include "app/tools/plxmodelitemdialog.h"
#include "geometry/curve.h"
#include "geometry/curvedecimation.h"
#include "gl/dialogs.h"
#include "stack/model.h"
#include "stack/modelitem.h"
#include "stack/stack.h"
#include "stack/stackslice.h"

#include <QApplication>
#include <QMouseEvent>

PLXSelectionDelegate::PLXSelectionDelegate(PLXSliceEditWidgetMediator* mediator)
    : PLXSliceEditWidgetMediatorDelegate(mediator)
{
    setLocking(false);
}

bool PLXSelectionDelegate::changeSelection(ModelItem& item, const ModelItemSelection& selection)
{
    if (selection == item.getSelection())
        return false;
    PLXSelectionAction action(item, item.getSelection(), selection);
    action.apply();
    return true;
}

void PLXSelectionDelegate::selectAt(const QPoint& position, bool add)
{
    StackSlice* s = slice();
    if (!s)
        return;
    const Vector<int> p{position.x(), position.y()};
    const int tol = tolerance();
    bool changed = false;
    // The list may not change while the actions run, but copy it all the same.
    const std::vector<ModelItem*> items = s->getItems();
    for (ModelItem* item : items) {
        ModelItemSelection selection = item->getSelection();
        if (selection.getLength() != item->getSize())
            selection.reset(item->getSize());
        const bool connected = item->isConnected();
        const int hit = connected ? item->findNearVertex(p, tol) : item->findNearestVertex(p, tol);
        if (hit < 0) {
            if (add)
                continue;
            selection.set(false);
        } else if (connected) {
            selection.invert();
        } else {
            selection.set(!selection.isSelected(hit), hit, !add);
        }
        changed = changeSelection(*item, selection) || changed;
    }
    if (changed)
        getSliceEditWidgetMediator().announceSelection();
}

void PLXSelectionDelegate::toggleInBox(const QRect& box)
{
    StackSlice* s = slice();
    if (!s)
        return;
    const QRect b = box.normalized();
    bool changed = false;
    const std::vector<ModelItem*> items = s->getItems();
    for (ModelItem* item : items) {
        ModelItemSelection selection = item->getSelection();
        if (selection.getLength() != item->getSize())
            selection.reset(item->getSize());
        const Vertices<int>& vertices = item->getVertices();
        for (int i = 0; i < item->getSize(); ++i)
            if (b.contains(vertices[i][0], vertices[i][1]))
                selection.set(!selection.isSelected(i), i, false);
        changed = changeSelection(*item, selection) || changed;
    }
    if (changed)
        getSliceEditWidgetMediator().announceSelection();
}

void PLXSelectionDelegate::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !slice())
        return;
    const QPoint at = imagePosition(event->position());
    if (!canvas().isInsideImage(at))
        return;
    selectAt(at, event->modifiers() & Qt::ShiftModifier);
    m_pressed = true;
    m_banding = false;
    m_origin = at;
    event->accept();
}

void PLXSelectionDelegate::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_pressed || !(event->buttons() & Qt::LeftButton))
        return;
    const QPoint at = imagePosition(event->position());
    if (!m_banding && (at - m_origin).manhattanLength() < 2)
        return;
    m_banding = true;
    canvas().setRubberBand(QRect(m_origin, at));
    event->accept();
}

void PLXSelectionDelegate::mouseReleaseEvent(QMouseEvent* event)
{
    if (!m_pressed || event->button() != Qt::LeftButton)
        return;
    m_pressed = false;
    if (m_banding) {
        m_banding = false;
        canvas().clearRubberBand();
        toggleInBox(QRect(m_origin, imagePosition(event->position())).normalized());
    }
    event->accept();
}

void PLXSelectionDelegate::selectEvery(bool flag, const QString* modelName)
{
    StackSlice* s = slice();
    if (!s)
        return;
    bool changed = false;
    const std::vector<ModelItem*> items = s->getItems();
    for (ModelItem* item : items) {
        if (modelName && (!item->getModel() || QString::fromStdString(item->getModel()->getName()) != *modelName))
            continue;
        ModelItemSelection selection(item->getSize());
        selection.set(flag);
        changed = changeSelection(*item, selection) || changed;
    }
    if (changed)
        getSliceEditWidgetMediator().announceSelection();
}

void PLXSelectionDelegate::selectAllModelItems()
{
    selectEvery(true, nullptr);
}

void PLXSelectionDelegate::selectModelItems(const QString& modelName)
{
    selectEvery(true, &modelName);
}

void PLXSelectionDelegate::cancelSelection()
{
    selectEvery(false, nullptr);
}

void PLXSelectionDelegate::removeSelection()
{
    StackSlice* s = slice();
    if (!s)
        return;
    std::vector<PLXAction*> actions;
    for (ModelItem* item : s->getSelectedItems()) {
        // An item left without vertices would stay in the document, invisible.
        if (item->getSelection().isComplete())
            actions.push_back(new PLXItemDeletionAction(*item));
        else
            actions.push_back(new PLXRemoveSelectionAction(*item));
    }
    pushStep(actions);
    getSliceEditWidgetMediator().announceSelection();
}

void PLXSelectionDelegate::decimateSelection()
{
    StackSlice* s = slice();
    if (!s)
        return;
    std::vector<PLXAction*> actions;
    for (ModelItem* item : s->getSelectedItems()) {
        if (!item->isConnected())
            continue;
        Curve<int> curve(Vertices<int>(item->getVertices()), !item->isClosed());
        curve.detach();
        CurveDecimation<int> decimation;
        decimation.setRecursive(true);
        decimation.apply(curve);
        if (curve.getNumVertices() == item->getSize())
            continue;
        Vertices<int> vertices(2, 0);
        for (int i = 0; i < curve.getNumVertices(); ++i)
            vertices.append(curve[i]);
        actions.push_back(new PLXItemVerticesChangeAction(*item, item->getVertices(), vertices));
    }
    pushStep(actions);
    getSliceEditWidgetMediator().announceSelection();
}

void PLXSelectionDelegate::convertSelection(const QString& modelName)
{
    StackSlice* s = slice();
    Stack* document = s ? s->getStack() : nullptr;
    if (!document)
        return;
    const int index = document->findModel(modelName.toStdString());
    if (index < 0)
        return;
    Model* target = document->getModel(index);
    std::vector<PLXAction*> actions;
    for (ModelItem* item : s->getSelectedItems())
        if (item->getModel() != target)
            actions.push_back(new PLXItemSelectionConversionAction(*item, target));
    pushStep(actions);
    getSliceEditWidgetMediator().announceSelection();
}

void PLXSelectionDelegate::editSelectionProperties()
{
    StackSlice* s = slice();
    PLXStack* document = stack();
    if (!s || !document)
        return;
    const std::vector<ModelItem*> items = s->getSelectedItems();
    if (items.size() != 1)
        return;
    PLXModelItemDialog dialog(*document, *items.front(), &canvas());
    Dialogs::exec(dialog);
    getSliceEditWidgetMediator().announceSelection();
}
