#pragma once
// PLXCreationDelegate: draws a new item of a model by hand ("Draw" >
// "Manual" > a model). The item being drawn belongs to no list yet: the
// canvas shows it as its extra item.
//
// Left button (or the tablet pen): a press appends the image position;
// dragging appends every position passed (not for point sets); a double
// click appends and finishes; the right button cancels. Positions outside
// the image, or equal to the last vertex, are not appended. Keys: Backspace
// removes the last vertex (the only one: cancels), Return finishes, X
// appends the position under the cursor, Escape cancels.
//
// Finishing checks the vertex count (3 for a closed outline, 2 for an open
// one; a warning box otherwise, and nothing is made), turns a closed
// outline counter-clockwise, decimates outlines when the preference asks
// for it, and makes the item in one undo step: points drawn for a point-set
// model that already has an item of the same properties on the slice join
// that item instead.

#include "app/slice/plxsliceeditwidgetmediatordelegate.h"

#include <QPoint>

class Model;
class ModelItem;

class PLXCreationDelegate : public PLXSliceEditWidgetMediatorDelegate {
    Q_OBJECT
public:
    explicit PLXCreationDelegate(PLXSliceEditWidgetMediator* mediator);
    ~PLXCreationDelegate() override;

    // The item being drawn (null when inactive).
    ModelItem* getItem() const { return m_item; }

public slots:
    // Starts drawing an item of the named model on the editor's slice
    // (nothing without such a model).
    void activate(const QString& modelName);
    void deactivate() override;
    void cancel() override;
    // Makes the item drawn so far (see above).
    void finish();

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void tabletMoveEvent(QTabletEvent* event) override;
    void tabletPressEvent(QTabletEvent* event) override;
    void tabletReleaseEvent(QTabletEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    using PLXSliceEditWidgetMediatorDelegate::activate;
    void append(const QPoint& position);
    void discardItem();

    ModelItem* m_item = nullptr;
    bool m_drawing = false;
    QPoint m_cursor;
};
