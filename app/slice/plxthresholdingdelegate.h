#pragma once
// PLXThresholdingDelegate: draws an item automatically ("Draw" >
// "Automatic" > a model). The user drags a box (the region of interest) on
// the image; then, asked in turn for a smoothing level and a decimation
// level (each proposing the last value entered), the tool smooths the
// region with a mean filter of that half size, binarises it at its isodata
// threshold (the dark side is the object), thins the regions to their
// boundaries and follows the first boundary met in reading order into an
// outline, which becomes a new item in one undo step. The image is read
// and processed in a worker thread.

#include "app/slice/plxsliceeditwidgetmediatordelegate.h"

#include <QPoint>
#include <QRect>

class Model;

class PLXThresholdingDelegate : public PLXSliceEditWidgetMediatorDelegate {
    Q_OBJECT
public:
    explicit PLXThresholdingDelegate(PLXSliceEditWidgetMediator* mediator);

    // Outlines the object in a region of the image (image pixels), asking
    // for the levels; whether an item was made.
    bool outline(const QRect& region);

public slots:
    // Starts with the named model (nothing without such a model).
    void activate(const QString& modelName);
    void deactivate() override;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    using PLXSliceEditWidgetMediatorDelegate::activate;

    Model* m_model = nullptr;
    bool m_dragging = false;
    QPoint m_origin;
    int m_smoothing = 0;
    int m_decimation = 0;
};
