#pragma once
// GoogleTest printers for the Qt values tests compare, so that a failure
// shows "Save" rather than the bytes of a QString.

#include <QColor>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

#include <ostream>

inline void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}
inline void PrintTo(const QColor& c, std::ostream* os)
{
    *os << "QColor(" << c.red() << ", " << c.green() << ", " << c.blue() << ", " << c.alpha()
        << (c.isValid() ? ")" : ", invalid)");
}
inline void PrintTo(const QPoint& p, std::ostream* os)
{
    *os << "QPoint(" << p.x() << ", " << p.y() << ")";
}
inline void PrintTo(const QSize& s, std::ostream* os)
{
    *os << "QSize(" << s.width() << ", " << s.height() << ")";
}
inline void PrintTo(const QRect& r, std::ostream* os)
{
    *os << "QRect(" << r.x() << ", " << r.y() << ", " << r.width() << ", " << r.height() << ")";
}
