#pragma once
// Start of the editor process: a second start hands its path to the running editor and ends.
#include <QString>
#include <QStringList>

namespace kelpa::editor {

struct StartDecision {
    // This process is to become an editor (none runs on this display, "multi.dat" allows
    // several, the request could not be written, or the running editor did not take it in
    // time); false once the running editor has taken the path.
    bool becomeEditor = true;
    // The command line's document path, absolute (empty: none).
    QString documentPath;
    // Further documents when each argument names a file of its own, opened after documentPath;
    // with a running editor, those it has not taken.
    QStringList moreDocuments;
};

// Joins the arguments into the document path (or takes each argument as a document, see
// DocumentPathArguments), then looks for a running editor and hands them over one at a time.
StartDecision HandOffToRunningInstance(const QStringList &arguments);

// The whole program: hand-off, main window, password dialog, message loop. Returns the exit
// code (0).
int RunEditor(int argc, char **argv);

} // namespace kelpa::editor
