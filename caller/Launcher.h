#pragma once
// The caller: forwards its arguments to the editor, started with the user's desktop folder as
// its working folder, and ends.
#include <QString>
#include <QStringList>

namespace kelpa::caller {

// The program that "Kelpa" names: the desktop shortcut's program when it is there and can be
// run, else the editor in the program folder.
QString editorProgram(const QString &desktopFolder);
// The desktop folder, or the home folder when there is none.
QString startFolder();

// The documents the arguments name, as the editor reads its command line (arguments joined with
// single blanks up to the first empty one, "/P" dropped; one document per argument when the
// joined name is no file but each argument is one), made absolute against `currentFolder`: the
// editor starts in the desktop folder, where a relative name would mean another file.
QStringList editorArguments(const QStringList &arguments, const QString &currentFolder);

// Starts the editor with the documents of `arguments` (see editorArguments), each passed whole.
// 0 when it started, 1 when it could not.
int LauncherMain(const QStringList &arguments);

} // namespace kelpa::caller
