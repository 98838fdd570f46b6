#pragma once
// The Windows core fonts the programs name ("Courier New", "Arial", "Times New Roman",
// "MS Sans Serif") exist on Linux when a metric-compatible family stands in for them (the
// Liberation fonts, which the system's font configuration maps those names to).
#include <QString>
#include <QStringList>

namespace kelpa::platform {

// The family that stands in for a Windows font name on Linux, or "" when the name is not one
// of the core fonts.
QString standInFamily(const QString &windowsName);

// True when `family` is installed, or is a Windows core font whose stand-in is installed.
bool fontIsAvailable(const QString &family);

// The installed families, plus the Windows core names whose stand-in is installed, sorted:
// what the programs offer in their font lists.
QStringList installedFontFamilies();

// Teaches Qt the stand-ins the system's font configuration may lack ("MS Sans Serif" has no
// metric twin; it becomes the sans-serif stand-in). Call once after the application object
// exists.
void installFontSubstitutions();

} // namespace kelpa::platform
