#pragma once
// PLXPanorama: the thumbnails of every slice of a stack in a grid, in stack
// order, each under its slice name when labels are on. The current slice is
// framed; clicking a thumbnail selects its slice, double-clicking activates
// it (the window then shows it alone).
//
// Thumbnails come from the stack's panorama image server (one small copy per
// slice image, kept while the stack is open). They are asked for only once
// the panorama is shown, so a stack that is never seen in panorama costs
// nothing; each appears as soon as it is ready.

#include "app/slice/canvasmode.h"
#include "stack/stackslice.h"

#include <QColor>
#include <QImage>
#include <QScrollArea>

#include <memory>
#include <vector>

class PLXImageProxy;
class PLXImageServer;
class PLXPanoramaSheet;
class Stack;

class PLXPanorama : public QScrollArea {
    Q_OBJECT
public:
    // The side of the square each thumbnail is fitted into, in pixels.
    static constexpr int thumbnailSide = 128;
    static constexpr int spacing = 10;

    explicit PLXPanorama(QWidget* parent = nullptr);
    ~PLXPanorama() override;

    // Shows the slices of stack (not owned) with the thumbnails of server
    // (the stack's panorama server, not owned); null shows nothing.
    void setStack(Stack* stack, PLXImageServer* server);
    Stack* getStack() const { return m_stack; }
    void clear() { setStack(nullptr, nullptr); }
    // The slices were inserted, deleted or renamed.
    void rebuild();

    // The framed slice (null: none); scrolled into view.
    void setSlice(StackSlice* slice);
    StackSlice* getSlice() const { return m_current; }

    void setCanvasMode(const CanvasMode& mode);
    const CanvasMode& getCanvasMode() const { return m_mode; }
    void setLabelsEnabled(bool on);
    bool areLabelsEnabled() const { return m_labels; }
    void setBackgroundColor(const QColor& color);

    int getNumThumbnails() const { return static_cast<int>(m_cells.size()); }
    // The proxy of thumbnail i; where the thumbnail's cell is on the sheet
    // (the scroll area's widget).
    PLXImageProxy& getProxy(int i) const;
    QRect cellRect(int i) const;
    // The thumbnail under a sheet position, -1 if none.
    int cellAt(const QPoint& sheetPosition) const;

signals:
    void sliceSelected(StackSlice* slice);
    void sliceActivated(StackSlice* slice);

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    friend class PLXPanoramaSheet;
    struct Cell {
        StackSlice* slice = nullptr;
        std::unique_ptr<PLXImageProxy> proxy;
        QImage picture; // the thumbnail as drawn, made once per image and mode
        const void* pictureOf = nullptr;
        CanvasMode pictureMode;
    };

    void layoutSheet();
    void attachProxies();
    int columns() const;
    int cellHeight() const;
    void paintSheet(QPainter& painter, const QRect& exposed);
    const QImage& pictureOf(Cell& cell);

    Stack* m_stack = nullptr;
    PLXImageServer* m_server = nullptr;
    StackSlice* m_current = nullptr;
    std::vector<Cell> m_cells;
    PLXPanoramaSheet* m_sheet = nullptr;
    CanvasMode m_mode;
    bool m_labels = true;
    QColor m_background;
};
