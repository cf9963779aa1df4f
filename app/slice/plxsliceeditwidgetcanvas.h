#pragma once
// PLXSliceEditWidgetCanvas: the slice canvas of the slice editor. Besides the
// slice's items it draws what an editing tool is making: an extra item (an
// item being drawn, which belongs to no model or slice list yet), a rubber
// line (the cut of the split tool) and a rubber band (a selection box), all
// in image coordinates, over everything else.

#include "app/slice/plxslicecanvas.h"

#include <QLine>
#include <QRect>

class PLXSliceEditWidgetCanvas : public PLXSliceCanvas {
    Q_OBJECT
public:
    explicit PLXSliceEditWidgetCanvas(QWidget* parent = nullptr);

    // Not owned: the tool clears it before deleting the item.
    void setExtraItem(ModelItem* item);
    ModelItem* getExtraItem() const { return m_extraItem; }
    void clearExtraItem() { setExtraItem(nullptr); }
    // Repaints the extra item after its vertices changed.
    void updateExtraItem();

    void setRubberLine(const QPoint& from, const QPoint& to);
    void clearRubberLine();
    bool hasRubberLine() const { return m_hasRubberLine; }
    const QLine& getRubberLine() const { return m_rubberLine; }

    void setRubberBand(const QRect& box);
    void clearRubberBand();
    bool hasRubberBand() const { return m_hasRubberBand; }
    const QRect& getRubberBand() const { return m_rubberBand; }

protected:
    void paintOverlay(QPainter& painter, const QRect& exposed) override;

private:
    QRect worldBox(const QLine& line) const;

    ModelItem* m_extraItem = nullptr;
    QLine m_rubberLine;
    bool m_hasRubberLine = false;
    QRect m_rubberBand;
    bool m_hasRubberBand = false;
};
