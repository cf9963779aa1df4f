#pragma once
// PLXHelp: where the user manual is, and what the about box says.

#include <QString>
#include <QStringList>

namespace PLXHelp {

// The places the manual may be, in order: installed with the program
// (<prefix>/share/doc/plexan/manual.md for a program in <prefix>/bin), then
// the source tree the program was built from.
QStringList manualLocations(const QString& programDirectory);
// The first of the locations that is a readable file (its absolute, clean
// path), or an empty string when none is.
QString findManual(const QStringList& locations);

// The version of this build (the project's version number) and the date it
// was compiled on, as the about box shows them.
QString buildVersion();
QString buildDate();
// The about box's text: the program's version and date, this build's
// version and date, and what the program is for.
QString aboutText();

} // namespace PLXHelp
