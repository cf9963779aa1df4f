#pragma once
// PLXOverviewWidget: the whole current slice in a small window, with the
// rectangle of the part the slice view shows. Pressing or dragging in it
// moves that rectangle's centre to the mouse: localViewOriginChanged() gives
// the new top-left image point, which the slice view scrolls to.
//
// Its image comes from the slice view's image server, so it costs no read of
// its own. It is a tool window of its parent; hiding it (by the window
// manager's close button, say) emits visibilityChanged(false).

#include "app/slice/canvasmode.h"

#include <QImage>
#include <QRect>
#include <QWidget>

class PLXImageProxy;
class PLXImageServer;
class StackSlice;

class PLXOverviewWidget : public QWidget {
    Q_OBJECT
public:
    explicit PLXOverviewWidget(QWidget* parent = nullptr);
    ~PLXOverviewWidget() override;

    // Not owned; null forgets the server (the slice's image too).
    void setImageServer(PLXImageServer* server);
    void clearImageServer() { setImageServer(nullptr); }
    void setSlice(StackSlice* slice);
    StackSlice* getSlice() const { return m_slice; }
    void clear() { setSlice(nullptr); }

    const QRect& getLocalViewRect() const { return m_view; }
    void setCanvasMode(const CanvasMode& mode);
    PLXImageProxy& getImageProxy() const { return *m_proxy; }
    // Where the slice image is drawn in the widget.
    QRect imageRect() const;

    QSize sizeHint() const override { return QSize(256, 256); }

public slots:
    // The part the slice view shows, in image pixels.
    void setLocalViewRect(const QRect& modelRect);

signals:
    void localViewOriginChanged(const QPoint& modelOrigin);
    void visibilityChanged(bool visible);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void moveViewTo(const QPoint& widgetPosition);

    PLXImageProxy* m_proxy = nullptr;
    StackSlice* m_slice = nullptr;
    QRect m_view;
    CanvasMode m_mode;
    QImage m_picture;
    const void* m_pictureOf = nullptr;
    CanvasMode m_pictureMode;
    int m_range = 255;
};
