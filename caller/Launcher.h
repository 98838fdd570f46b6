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

// Starts the editor with `arguments`, each passed whole. 0 when it started, 1 when it could not.
int LauncherMain(const QStringList &arguments);

} // namespace kelpa::caller
