#pragma once
// System and special folders, desktop shortcuts, file move/copy/delete with the user's consent,
// and the registration of a file type.
#include "platform/Desktop.h"
#include "platform/FileSystem.h"
#include "platform/SystemResult.h"

#include <QString>
#include <cstdint>

namespace kelpa {

using platform::CSIDL_DESKTOPDIRECTORY;
using platform::FILE_ATTRIBUTE_DIRECTORY;
using platform::FILE_ATTRIBUTE_READONLY;

// 0 the Windows folder's stand-in, 1 the system folder's, 2 the temporary folder (trailing "/").
QString SystemFolder(int kind);
// Path of a special folder, "" when unknown.
QString SpecialFolderPath(int csidl);

// The shortcut file that CreateShortcut(target, name, csidl) writes.
QString ShortcutPath(const QString &name, int csidl);
// A launcher for `target` named `name` in the special folder, with a comment a user can read and
// the icon installed with the programs.
// False when the folder is unknown or the launcher cannot be written.
bool CreateShortcut(const QString &target, const QString &name, int csidl);

// (attributes AND mask) != 0; a missing file has every bit.
bool FileHasAttribute(const QString &file, std::uint32_t mask);

// Moves `source` to `target`, asking (when `ask`) before touching a read-only file or creating
// a missing target folder. An existing target is never replaced. True when moved.
bool MoveFileWithPrompts(const QString &source, const QString &target, bool ask);
// Deletes `file`, asking (unless `quiet`) before deleting a read-only file. True when deleted.
bool DeleteFileWithPrompt(const QString &file, bool quiet);
// Copies `source` over `target`, creating a missing target folder (asking first when `ask`).
// True when copied.
bool CopyFileWithCheck(const QString &source, const QString &target, bool ask);

// Registers the extension (without the dot) under HKEY_CLASSES_ROOT with an icon and an open
// command for `exe`, and makes `exe` the desktop's default application for it. Every step is
// tried; a failure tells the system error of the first step that failed.
platform::SystemResult RegisterFileType(const QString &ext, const QString &description, const QString &exe,
                                        int iconIndex);

} // namespace kelpa
