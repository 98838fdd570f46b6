#pragma once
// Where the programs live, and how their Windows names map to the files in that folder.
// All four programs and every file they keep or exchange sit together in one program folder.
#include <QString>
#include <QStringList>

namespace kelpa::platform {

// Folder of the running program with a trailing "/". The environment variable
// KELPA_PROGRAM_DIR, when set and not empty, names the folder instead (tests).
QString programFolder();

// Where the programs keep their own files, with a trailing "/". While the program folder is the
// user's own (owned by the user, writable, and neither its group nor others may write it), that
// is the program folder itself (programs and files side by side). Installed into a folder the
// user cannot write (/usr/bin, /opt/...), or one that others can write too, each user gets
// folders of their own, made on first use:
//   keptFilesFolder(): "Batches", "loadreq", "multi.dat", "~t.dat", saved dictionaries ->
//                      $XDG_DATA_HOME/kelpa/ (default ~/.local/share/kelpa/)
//   settingsFolder():  settings files -> $XDG_CONFIG_HOME/kelpa/ (default ~/.config/kelpa/)
// The programs still find each other in the program folder.
QString keptFilesFolder();
QString settingsFolder();
// The rule itself, for a given program folder and environment.
enum class FolderKind { KeptFiles, Settings };
QString userFolderFor(const QString &programFolder, FolderKind kind);

// Full path of the running program file (what ParamStr(0) gives).
QString programFilePath();

// Maps a program name as the programs spell it ("kpp.exe", "kpsc.exe", "Kelpa32.exe",
// "Kelpa32", "Kelpa", "caller.exe", with or without a folder, any case) to our executable:
// the same folder (or the program folder when none is given) and the Linux file name
// ("kpp", "kpsc", "Kelpa32", "caller"). Other names come back unchanged.
QString mapProgramName(const QString &name);

// Windows system tools the programs start by name ("CHARMAP.EXE"): the first of their
// Linux counterparts found on PATH, or an empty text when none is installed.
// Returns the name unchanged when it is not such a tool.
QString mapSystemTool(const QString &name, bool *isSystemTool = nullptr);
// The Linux programs that would serve for such a tool, in the order they are tried (none for
// another name).
QStringList systemToolCandidates(const QString &name);

} // namespace kelpa::platform
