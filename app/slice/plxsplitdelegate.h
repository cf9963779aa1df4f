#pragma once
// PLXSplitDelegate: "Split contour": the user draws a line across the one
// wholly selected closed outline (the canvas's rubber line); on release the
// outline is cut where it crosses the line, and in one undo step every
// piece of at least 3 vertices becomes a new item of the same model on the
// slice and the outline is deleted. A line that does not cut the outline in
// two changes nothing. The right button and Escape cancel.

#include "app/slice/plxsliceeditwidgetmediatordelegate.h"

#include <QPoint>

class ModelItem;

class PLXSplitDelegate : public PLXSliceEditWidgetMediatorDelegate {
    Q_OBJECT
public:
    explicit PLXSplitDelegate(PLXSliceEditWidgetMediator* mediator);

    ModelItem* getItem() const { return m_item; }
    // Splits the item along the line between two image positions; whether
    // it was split.
    bool split(const QPoint& from, const QPoint& to);

public slots:
    void activate() override;
    void deactivate() override;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    ModelItem* m_item = nullptr;
    bool m_drawing = false;
    QPoint m_from;
};
