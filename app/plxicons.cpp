#include "app/plxicons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPolygonF>

#include <functional>

namespace {

const QColor ink(40, 60, 90);
const QColor paper(245, 240, 225);
const QColor accent(220, 120, 40);

// An icon drawn on a 48 x 48 canvas (sharp at 24 and at 48 pixels).
QIcon drawn(const std::function<void(QPainter&)>& draw)
{
    QPixmap pixmap(48, 48);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(ink, 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    draw(painter);
    painter.end();
    return QIcon(pixmap);
}

void section(QPainter& p, qreal y, const QColor& fill)
{
    const QPolygonF sheet({QPointF(6, y + 8), QPointF(26, y), QPointF(42, y + 6), QPointF(22, y + 14)});
    p.setBrush(fill);
    p.drawPolygon(sheet);
}

void arrow(QPainter& p, bool right, bool bar, bool twice)
{
    const qreal dir = right ? 1 : -1;
    const qreal cx = 24;
    auto head = [&](qreal x) {
        p.setBrush(ink);
        p.drawPolygon(
            QPolygonF({QPointF(x - 8 * dir, 12), QPointF(x + 8 * dir, 24), QPointF(x - 8 * dir, 36)}));
    };
    if (twice) {
        head(cx - 6 * dir);
        head(cx + 8 * dir);
    } else {
        head(cx);
    }
    if (bar)
        p.drawLine(QPointF(cx + 16 * dir, 12), QPointF(cx + 16 * dir, 36));
}

} // namespace

namespace PLXIcons {

QIcon logo()
{
    return drawn([](QPainter& p) {
        section(p, 26, paper);
        section(p, 17, paper);
        section(p, 8, paper);
        p.setPen(QPen(accent, 3));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QPointF(24, 22), 7, 13);
    });
}

QIcon openStack()
{
    return drawn([](QPainter& p) {
        p.setBrush(paper);
        p.drawRect(QRectF(6, 14, 36, 26));
        p.drawLine(QPointF(6, 14), QPointF(14, 8));
        p.drawLine(QPointF(14, 8), QPointF(24, 8));
        p.setBrush(accent);
        p.drawPolygon(QPolygonF({QPointF(12, 40), QPointF(18, 22), QPointF(44, 22), QPointF(38, 40)}));
    });
}

QIcon saveStack()
{
    return drawn([](QPainter& p) {
        p.setBrush(paper);
        p.drawRoundedRect(QRectF(8, 8, 32, 32), 3, 3);
        p.setBrush(ink);
        p.drawRect(QRectF(15, 8, 18, 10));
        p.setBrush(accent);
        p.drawRect(QRectF(13, 26, 22, 14));
    });
}

QIcon closeStack()
{
    return drawn([](QPainter& p) {
        section(p, 22, paper);
        p.setPen(QPen(accent, 5, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(14, 8), QPointF(34, 22));
        p.drawLine(QPointF(34, 8), QPointF(14, 22));
    });
}

QIcon panorama()
{
    return drawn([](QPainter& p) {
        p.setBrush(paper);
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c)
                p.drawRect(QRectF(5 + 14 * c, 5 + 14 * r, 10, 10));
    });
}

QIcon singleSlice()
{
    return drawn([](QPainter& p) {
        p.setBrush(paper);
        p.drawRect(QRectF(7, 7, 34, 34));
        p.setPen(QPen(accent, 3));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QPointF(24, 24), 9, 12);
    });
}

QIcon registerSlices()
{
    return drawn([](QPainter& p) {
        p.setBrush(paper);
        p.drawRect(QRectF(6, 6, 24, 24));
        p.setBrush(QColor(accent.red(), accent.green(), accent.blue(), 160));
        p.save();
        p.translate(28, 28);
        p.rotate(20);
        p.drawRect(QRectF(-12, -12, 24, 24));
        p.restore();
    });
}

QIcon reconstruct()
{
    return drawn([](QPainter& p) {
        p.setBrush(paper);
        p.drawPolygon(QPolygonF({QPointF(8, 16), QPointF(24, 8), QPointF(40, 16), QPointF(24, 24)}));
        p.setBrush(QColor(200, 190, 170));
        p.drawPolygon(QPolygonF({QPointF(8, 16), QPointF(24, 24), QPointF(24, 42), QPointF(8, 34)}));
        p.setBrush(accent);
        p.drawPolygon(QPolygonF({QPointF(24, 24), QPointF(40, 16), QPointF(40, 34), QPointF(24, 42)}));
    });
}

QIcon undo()
{
    return drawn([](QPainter& p) {
        QPainterPath path(QPointF(14, 20));
        path.cubicTo(QPointF(24, 10), QPointF(44, 16), QPointF(36, 36));
        p.setBrush(Qt::NoBrush);
        p.drawPath(path);
        p.setBrush(ink);
        p.drawPolygon(QPolygonF({QPointF(6, 14), QPointF(18, 10), QPointF(16, 24)}));
    });
}

QIcon redo()
{
    return drawn([](QPainter& p) {
        QPainterPath path(QPointF(34, 20));
        path.cubicTo(QPointF(24, 10), QPointF(4, 16), QPointF(12, 36));
        p.setBrush(Qt::NoBrush);
        p.drawPath(path);
        p.setBrush(ink);
        p.drawPolygon(QPolygonF({QPointF(42, 14), QPointF(30, 10), QPointF(32, 24)}));
    });
}

QIcon overview()
{
    return drawn([](QPainter& p) {
        p.setBrush(paper);
        p.drawRect(QRectF(5, 9, 38, 30));
        p.setPen(QPen(accent, 3));
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRectF(20, 16, 14, 11));
    });
}

QIcon firstSlice()
{
    return drawn([](QPainter& p) { arrow(p, false, true, false); });
}

QIcon previousSlice()
{
    return drawn([](QPainter& p) { arrow(p, false, false, false); });
}

QIcon nextSlice()
{
    return drawn([](QPainter& p) { arrow(p, true, false, false); });
}

QIcon lastSlice()
{
    return drawn([](QPainter& p) { arrow(p, true, true, false); });
}

QIcon annotation(bool present)
{
    return drawn([present](QPainter& p) {
        p.setBrush(QColor(255, 235, 140));
        p.drawPolygon(
            QPolygonF({QPointF(8, 6), QPointF(32, 6), QPointF(40, 14), QPointF(40, 42), QPointF(8, 42)}));
        p.drawLine(QPointF(14, 18), QPointF(30, 18));
        p.drawLine(QPointF(14, 26), QPointF(34, 26));
        if (present) {
            p.setPen(QPen(accent, 5, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(34, 30), QPointF(34, 44));
            p.drawLine(QPointF(27, 37), QPointF(41, 37));
        }
    });
}

} // namespace PLXIcons
