#pragma once
// PLXSelectionDelegate: selects the vertices of the slice's items. Active
// whenever the editor shows a slice, beside the other tools.
//
// A left click inside the image selects near it (within the tolerance): an
// outline hit anywhere along it has every vertex's flag inverted (a wholly
// selected outline becomes unselected, an unselected one wholly selected);
// a point set hit has the nearest point toggled and, unless Shift is held,
// its other points cleared. Items not hit lose their selection unless Shift
// is held. Dragging draws a rubber band; on release every vertex inside it
// has its flag toggled. Selection changes are not undo steps: each is made
// by a selection action that is applied and dropped, and one slice item
// selection event announces the new summary.
//
// The commands on the selection (Delete, Decimate, Convert, Properties) are
// undo steps of the stack's history.

#include "app/slice/plxsliceeditwidgetmediatordelegate.h"

#include <QPoint>

class ModelItem;
class ModelItemSelection;

class PLXSelectionDelegate : public PLXSliceEditWidgetMediatorDelegate {
    Q_OBJECT
public:
    explicit PLXSelectionDelegate(PLXSliceEditWidgetMediator* mediator);

    // Selects near an image position, as a click does.
    void selectAt(const QPoint& position, bool add);
    // Toggles every vertex inside an image box, as a rubber band does.
    void toggleInBox(const QRect& box);

public slots:
    void selectAllModelItems();
    // Every item of the named model on the slice, wholly.
    void selectModelItems(const QString& modelName);
    void cancelSelection();
    // Removes the selected vertices (an item wholly selected goes whole).
    void removeSelection();
    // Replaces each selected outline by its decimation.
    void decimateSelection();
    // Moves the selected items to the named model.
    void convertSelection(const QString& modelName);
    // Runs the item properties dialog on the one selected item.
    void editSelectionProperties();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    // Sets the item's selection through a selection action; whether it changed.
    static bool changeSelection(ModelItem& item, const ModelItemSelection& selection);
    // Every item of the slice (of one model when given) selected or not.
    void selectEvery(bool flag, const QString* modelName);

    bool m_pressed = false;
    bool m_banding = false;
    QPoint m_origin;
};
