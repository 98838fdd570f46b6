#pragma once
// "Replace Notepad" on the Linux desktop: the caller's desktop entry becomes the default
// application for plain text in the user's mimeapps.list. The backup file in the program folder
// remembers the list as it was, and its existence is the state: present = replaced.
#include "editor/MimeAppsText.h"

#include <QByteArray>
#include <QString>

namespace kelpa::editor {

inline constexpr char kNotepadBackupName[] = "Notepad.bak.exe";

QString notepadBackupFile(const QString &programFolder);
bool notepadReplaced(const QString &programFolder);
// The user's list of default applications ($XDG_CONFIG_HOME/mimeapps.list).
QString mimeAppsListFile();

enum class NotepadResult {
    Done,
    BackupFailed,      // the backup could not be written: nothing changed
    AssociationFailed, // the default could not be set: the list is as before, no backup
    RestoreFailed,     // the list could not be written back: the backup stays
    BadBackup,         // the backup is not ours: nothing changed
};

// Remembers the list in the backup, then makes `caller` the default for plain text.
NotepadResult replaceNotepad(const QString &programFolder, const QString &caller);
// Puts the plain-text defaults back as the backup remembers them and removes the backup. When
// the list was not touched since, it comes back byte for byte; otherwise only the plain-text
// lines are put back and the user's other changes stay.
NotepadResult restoreNotepad(const QString &programFolder);

} // namespace kelpa::editor
