#pragma once
// PLXSliceEditWidget: the slice view: the slice canvas in a scroll area, with
// zoom and pan, and the grey-level window.
//
// Zoom: at first the view fits the slice into the window and follows the
// window's size ("Fit to window"); any other zoom ("Zoom in", "Zoom out",
// "Actual size", Ctrl + wheel) keeps the point under the cursor, or the
// centre, in place. Pan: the scroll bars, the wheel, or a middle-button drag.
// Every change of the visible part emits viewChanged() with the visible
// rectangle in image pixels (the overview shows it), and setOrigin() moves
// the view to a given image point.
//
// Editing tools work on getCanvas() (see PLXSliceCanvas); the actions the
// window adds with addContextualMenuAction() are offered in the canvas's
// context menu after the view's own.
//
// As an event client the view repaints whenever an item, a model or the
// calibration of its slice changes (an edit, an undo or a redo), follows
// the preferred background colour, and lets go of a slice whose stack
// closes.

#include "app/plxeventclient.h"
#include "app/slice/canvasmode.h"

#include <QList>
#include <QRect>
#include <QWidget>

class QAction;
class QScrollArea;
class ModelItem;
class PLXSliceEditWidgetCanvas;
class StackSlice;

class PLXSliceEditWidget : public QWidget, public PLXEventClient {
    Q_OBJECT
public:
    explicit PLXSliceEditWidget(QWidget* parent = nullptr);
    ~PLXSliceEditWidget() override;

    PLXSliceEditWidgetCanvas* getCanvas() const { return m_canvas; }
    QScrollArea* getScrollArea() const { return m_scrollArea; }

    // Shows a slice (not owned) or nothing. In fit mode the zoom is fitted.
    virtual void setSlice(StackSlice* slice);
    StackSlice* getSlice() const;
    virtual void clear();

    double getZoomFactor() const;
    // Leaves fit mode; the centre of the view stays in place.
    void setZoomFactor(double zoom);
    // Multiplies the zoom, keeping the image point under anchor (canvas
    // pixels) where it is on the screen.
    void zoomBy(double factor, const QPoint& anchor);
    bool isFitMode() const { return m_fitMode; }

    // The visible part of the slice, in image pixels.
    QRect getVisibleModelRect() const;

    const CanvasMode& getCanvasMode() const;

    QAction* getZoomInAction() const { return m_zoomIn; }
    QAction* getZoomOutAction() const { return m_zoomOut; }
    QAction* getActualSizeAction() const { return m_actualSize; }
    QAction* getFitAction() const { return m_fit; }

    void addContextualMenuAction(QAction* action);
    const QList<QAction*>& getContextualMenuActions() const { return m_contextualActions; }

public slots:
    // Fits the slice into the window, and keeps fitting it as the window changes.
    void fitToWindow();
    void zoomIn();
    void zoomOut();
    void showActualSize();
    // Moves the view so that this image point is its top-left corner (as far
    // as the scroll bars go).
    void setOrigin(const QPoint& model);
    void setCanvasMode(const CanvasMode& mode);
    void setBackgroundColor(const QColor& color);

signals:
    void viewChanged(const QRect& modelRect);
    void zoomChanged(double zoom);
    void canvasModeChanged(const CanvasMode& mode);
    // Another slice (or none) is shown.
    void sliceChanged();
    // An editing tool needs the user's whole attention (on) or is done (off).
    void lockRequested(bool on);

protected:
    void stackCloseEvent(PLXStackCloseEvent& e) override;
    void sliceImageCalibrationEvent(PLXSliceImageCalibrationEvent& e) override;
    void modelDeleteEvent(PLXModelDeleteEvent& e) override;
    void modelPropertiesEvent(PLXModelPropertiesEvent& e) override;
    void modelItemCreateEvent(PLXModelItemCreateEvent& e) override;
    void modelItemDeleteEvent(PLXModelItemDeleteEvent& e) override;
    void modelItemVertexEvent(PLXModelItemVertexEvent& e) override;
    void modelItemAttributeEvent(PLXModelItemAttributeEvent& e) override;
    void modelItemSelectEvent(PLXModelItemSelectEvent& e) override;
    void modelItemConvertEvent(PLXModelItemConvertEvent& e) override;
    void preferencesEvent(PLXPreferencesEvent& e) override;

    void resizeEvent(QResizeEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private slots:
    void emitViewChanged();

private:
    // Repaints when the item lies on the slice shown.
    void itemChanged(const ModelItem& item);
    void applyZoom(double zoom, const QPoint& anchor, const QPoint& viewportAnchor);
    double fittingZoom() const;

    QScrollArea* m_scrollArea = nullptr;
    PLXSliceEditWidgetCanvas* m_canvas = nullptr;
    bool m_fitMode = true;
    QAction* m_zoomIn = nullptr;
    QAction* m_zoomOut = nullptr;
    QAction* m_actualSize = nullptr;
    QAction* m_fit = nullptr;
    QList<QAction*> m_contextualActions;
    QRect m_lastView;
};
