#pragma once
// The Linux desktop's side of folders, shortcuts and file associations: the XDG user
// folders stand for the shell's special folders, a freedesktop launcher (".desktop" file)
// for a shell link, and a desktop entry with MIME types plus the user's default-application
// list for a file-type association.
#include "platform/SystemResult.h"

#include <QString>
#include <QStringList>

namespace kelpa::platform {

// Shell special-folder numbers the programs use.
enum Csidl : int {
    CSIDL_DESKTOP = 0x00,
    CSIDL_PROGRAMS = 0x02,
    CSIDL_PERSONAL = 0x05,
    CSIDL_STARTUP = 0x07,
    CSIDL_DESKTOPDIRECTORY = 0x10,
    CSIDL_APPDATA = 0x1A,
    CSIDL_LOCAL_APPDATA = 0x1C,
    CSIDL_WINDOWS = 0x24,
};

// Path of a special folder (no trailing "/"), or "" for an unknown number.
QString specialFolderPath(int csidl);

// Stand-ins for the Windows, system and temporary folders: 0 the folder of the user's own
// programs on PATH (~/.local/bin), 1 "/usr/bin", 2 the temporary folder with a trailing "/".
// "" for any other kind.
QString systemFolder(int kind);

// The system's own settings files and start-up files, as a user may want them at hand (the
// Windows folder's "win.ini" and "system.ini"; "autoexec.bat", "config.sys", "msdos.sys").
QStringList systemSettingsFiles();
QStringList systemStartupFiles();

// File name of the launcher that stands for the shell link `name` in `folder`.
QString shortcutFileName(const QString &folder, const QString &name);

// Writes a launcher for `target` named `name` into `folder` (created when missing) and makes
// it executable, as desktops require for launchers. A program's launcher hands it the files
// dropped on it, and shows `icon` (an icon name or an absolute file) when one is given. False
// when it cannot be written.
bool writeShortcut(const QString &folder, const QString &name, const QString &target,
                   const QString &description, const QString &icon = QString());
// The icon installed with the programs: the absolute file beside an installed program folder
// (PREFIX/share/icons/hicolor/scalable/apps/kelpa.svg for PREFIX/bin), else the theme name
// "kelpa".
QString installedIcon(const QString &programFolder);

// MIME types that stand for a file extension (without the dot, any case): the common ones
// for "txt" and "rtf", a type of our own for any other extension.
QStringList mimeTypesForExtension(const QString &ext);

// Makes `exe` the desktop's default application for the extension's MIME types: a desktop
// entry "kelpa-<program>.desktop" in $XDG_DATA_HOME/applications listing every type
// associated so far, the types as defaults in $XDG_CONFIG_HOME/mimeapps.list, and for a type
// of our own a MIME package that maps "*.ext" to it. Fails when a file cannot be written (with
// the system error of the first write that failed), or when `ext` is more than a plain name
// (EINVAL).
using DesktopResult = SystemResult;
DesktopResult associateExtension(const QString &ext, const QString &description, const QString &exe);

// Quotes a path for the Exec key of a desktop entry.
QString desktopExecQuote(const QString &path);
// The program of an Exec value as it stands in the file (its first argument, unquoted and
// unescaped): the inverse of desktopExecQuote.
QString desktopExecProgram(const QString &exec);

// What a launcher stands for: the program of an application launcher (`isProgram` set), the
// local file of a link launcher; "" when the file is not a launcher.
QString launcherTarget(const QString &desktopFile, bool *isProgram = nullptr);

} // namespace kelpa::platform
