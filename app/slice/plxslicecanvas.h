#pragma once
// PLXSliceCanvas: shows one slice of a stack, its image and its model items,
// at a zoom factor, through a grey-level window.
//
// The widget is exactly as large as the zoomed slice (a scroll area around it
// pans); its pixels ("world") and the slice image's display pixels ("model",
// the coordinates of the items) convert through a WMConverter. The image
// comes from the canvas's own image server, at the smallest reduced copy
// still wider than the zoomed slice, and is stretched to the slice's display
// size (non-square pixels included). Items are drawn in the colours and
// styles of their model, overridden by their own properties: outlines with
// their line width, points with their vertex symbol and point size, selected
// vertices as filled squares with a contrasting border.
//
// Extension: editing tools install themselves as event filters on the canvas
// (mouse, tablet, key and context-menu events reach them first; what they do
// not consume reaches the canvas: middle-button panning, Ctrl+wheel zoom).
// Subclasses draw more over the items in paintOverlay().

#include "app/slice/canvasmode.h"
#include "app/slice/plximagepointer.h"
#include "stack/wmconverter.h"

#include <QColor>
#include <QFutureWatcher>
#include <QImage>
#include <QWidget>

class ModelItem;
class ModelItemProperties;
class PLXImageProxy;
class PLXImageServer;
class StackSlice;
template <typename T> class BoundingBox;

class PLXSliceCanvas : public QWidget {
    Q_OBJECT
public:
    static constexpr double minimumZoom = 1.0 / 32.0;
    static constexpr double maximumZoom = 32.0;

    explicit PLXSliceCanvas(QWidget* parent = nullptr);
    ~PLXSliceCanvas() override;

    // The slice shown (not owned; the canvas must be cleared before the
    // slice goes), or none.
    void setSlice(StackSlice* slice);
    StackSlice* getSlice() const { return m_slice; }
    void clear() { setSlice(nullptr); }

    // The server the canvas loads its images from (owned; the overview shares it).
    PLXImageServer& getImageServer() const { return *m_server; }
    PLXImageProxy& getImageProxy() const { return *m_proxy; }

    // Display pixels per image pixel, clamped to [minimumZoom, maximumZoom].
    void setZoomFactor(double zoom);
    double getZoomFactor() const { return m_zoom; }

    void setCanvasMode(const CanvasMode& mode);
    const CanvasMode& getCanvasMode() const { return m_mode; }
    // What shows where there is no image.
    void setBackgroundColor(const QColor& color);
    const QColor& getBackgroundColor() const { return m_background; }

    // Positions: widget pixels and slice-image pixels.
    const WMConverter& getConverter() const { return m_converter; }
    QPoint toModel(const QPoint& world) const;
    QPoint toWorld(const QPoint& model) const;
    QRect toModel(const QRect& world) const;
    QRect toWorld(const QRect& model) const;
    // The slice's display size (empty without a slice).
    QSize getModelSize() const { return m_modelSize; }
    bool isInsideImage(const QPoint& model) const;

    // Repaints the part of the widget that shows a box of the image.
    void updateModelBox(const BoundingBox<int>& box);
    // Everything read from the slice again (its items changed in number).
    void refresh() { update(); }

    // The drawing style of an item: the defaults, its model's item
    // properties, then its own.
    static ModelItemProperties drawingProperties(const ModelItem& item);
    // Draws an item in widget coordinates through converter.
    static void paintItem(QPainter& painter, const ModelItem& item, const WMConverter& converter);

    // The image now drawn (null before one arrived).
    PLXImagePointer getShownImage() const { return m_shownImage; }
    // Images of more pixels than this are turned into pictures in a worker
    // thread; the canvas meanwhile draws a smaller copy of the same slice.
    static constexpr qint64 largePicture = 1024 * 1024;

    QSize sizeHint() const override;

signals:
    // Ctrl + wheel: the view should zoom by factor about anchor (widget pixels).
    void zoomRequested(double factor, const QPoint& anchor);
    // Middle-button drag: the view should move by delta (widget pixels).
    void panRequested(const QPoint& delta);
    // A new image of the slice was painted (the first, or a finer or coarser copy).
    void imageShown();
    // The widget's size changed with the slice or the zoom.
    void geometryChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

    // Drawing steps, in order: background and image, items, then overlay.
    virtual void paintImage(QPainter& painter, const QRect& exposed);
    virtual void paintItems(QPainter& painter, const QRect& exposed);
    virtual void paintOverlay(QPainter& painter, const QRect& exposed);

private slots:
    void proxyImageChanged();

private:
    void resizeToZoom();
    // Brings the picture up to date for the image the zoom wants, if it can
    // without a long conversion; returns whether there is one to draw.
    bool preparePicture();
    void setPicture(const PLXImagePointer& image, const CanvasMode& mode, QImage picture);
    void convertLater(const PLXImagePointer& image);
    void conversionDone();

    StackSlice* m_slice = nullptr;
    PLXImageServer* m_server = nullptr;
    PLXImageProxy* m_proxy = nullptr;
    double m_zoom = 1.0;
    CanvasMode m_mode;
    QColor m_background;
    QSize m_modelSize;
    WMConverter m_converter;

    // The picture drawn: the image it shows and the mode it was made in.
    PLXImagePointer m_pictureImage;
    CanvasMode m_pictureMode;
    QImage m_picture;
    PLXImagePointer m_shownImage;
    // The conversion running in a worker thread, and what it converts.
    QFutureWatcher<QImage>* m_conversion = nullptr;
    PLXImagePointer m_convertingImage;
    CanvasMode m_convertingMode;

    QPoint m_panOrigin;
    bool m_panning = false;
};
