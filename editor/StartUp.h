#pragma once
// Start of the editor process: a second start hands its path to the running editor and ends.
#include <QStringList>

namespace kelpa::editor {

// Joins the arguments into the document path, then looks for a running editor. Returns true
// when this process is to become an editor (none runs on this display, "multi.dat" allows
// several, the request could not be written, or the running editor did not take it in time);
// false once the running editor has taken the path.
bool HandOffToRunningInstance(const QStringList &arguments);

// The whole program: hand-off, main window, password dialog, message loop. Returns the exit
// code (0).
int RunEditor(int argc, char **argv);

} // namespace kelpa::editor
