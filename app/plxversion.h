#pragma once
// The program's version, shown by the about box and written nowhere else.

#include <QString>

// The version number and its date.
inline const QString appVersionNumber = QStringLiteral("1.11");
inline const QString appVersionDate = QStringLiteral("2015.03.06");
// The date this program was compiled (the compiler's __DATE__).
inline QString appCompilationDate()
{
    return QStringLiteral(__DATE__);
}
