#include "app/slice/plxsliceeditwidgetcanvas.h"

#include "stack/modelitem.h"

#include <QPainter>
#include <QPen>

PLXSliceEditWidgetCanvas::PLXSliceEditWidgetCanvas(QWidget* parent) : PLXSliceCanvas(parent) {}

void PLXSliceEditWidgetCanvas::setExtraItem(ModelItem* item)
{
    if (item == m_extraItem)
        return;
    m_extraItem = item;
    update();
}

void PLXSliceEditWidgetCanvas::updateExtraItem()
{
    update();
}

QRect PLXSliceEditWidgetCanvas::worldBox(const QLine& line) const
{
    return QRect(toWorld(line.p1()), toWorld(line.p2())).normalized().adjusted(-2, -2, 2, 2);
}

void PLXSliceEditWidgetCanvas::setRubberLine(const QPoint& from, const QPoint& to)
{
    if (m_hasRubberLine)
        update(worldBox(m_rubberLine));
    m_rubberLine = QLine(from, to);
    m_hasRubberLine = true;
    update(worldBox(m_rubberLine));
}

void PLXSliceEditWidgetCanvas::clearRubberLine()
{
    if (!m_hasRubberLine)
        return;
    m_hasRubberLine = false;
    update(worldBox(m_rubberLine));
}

void PLXSliceEditWidgetCanvas::setRubberBand(const QRect& box)
{
    if (m_hasRubberBand)
        update(toWorld(m_rubberBand).adjusted(-2, -2, 2, 2));
    m_rubberBand = box.normalized();
    m_hasRubberBand = true;
    update(toWorld(m_rubberBand).adjusted(-2, -2, 2, 2));
}

void PLXSliceEditWidgetCanvas::clearRubberBand()
{
    if (!m_hasRubberBand)
        return;
    m_hasRubberBand = false;
    update(toWorld(m_rubberBand).adjusted(-2, -2, 2, 2));
}

void PLXSliceEditWidgetCanvas::paintOverlay(QPainter& painter, const QRect& exposed)
{
    PLXSliceCanvas::paintOverlay(painter, exposed);
    if (m_extraItem)
        paintItem(painter, *m_extraItem, getConverter());
    // Dashed black on white shows on any image.
    for (const auto& [color, style] :
         {std::pair{QColor(Qt::white), Qt::SolidLine}, std::pair{QColor(Qt::black), Qt::DashLine}}) {
        painter.setPen(QPen(color, 0, style));
        painter.setBrush(Qt::NoBrush);
        if (m_hasRubberLine)
            painter.drawLine(toWorld(m_rubberLine.p1()), toWorld(m_rubberLine.p2()));
        if (m_hasRubberBand)
            painter.drawRect(toWorld(m_rubberBand));
    }
}
