#pragma once
// "Replace Notepad" on the Linux desktop: the caller's desktop entry becomes the default
// application for plain text in the user's mimeapps.list. The backup file in the program folder
// remembers the list as it was, and its existence is the state: present = replaced.
#include "editor/MimeAppsText.h"

#include <QByteArray>
#include <QString>

#include <functional>

namespace kelpa::editor {

inline constexpr char kNotepadBackupName[] = "Notepad.bak.exe";

QString notepadBackupFile(const QString &programFolder);
// The backup counts only as a regular file of the user's own.
bool notepadReplaced(const QString &programFolder);
// The user's list of default applications ($XDG_CONFIG_HOME/mimeapps.list).
QString mimeAppsListFile();

enum class NotepadResult {
    Done,
    BackupFailed,      // the backup could not be written: nothing changed
    AssociationFailed, // the default could not be set: the list is as before, no backup
    RestoreFailed,     // the list could not be written back: the backup stays
    BadBackup,         // the backup is not ours: nothing changed
    Declined,          // the list is read-only and the user said No: nothing changed
};

// What a replacement or its undo gave, with the system error of the step that failed.
struct NotepadOutcome {
    NotepadResult result = NotepadResult::Done;
    int systemError = 0;
};

// Asked before a read-only list is rewritten, with the list's name; No leaves everything as it
// was. Without one the list is rewritten. A list that is rewritten keeps its mode either way.
using ReadOnlyQuestion = std::function<bool(const QString &file)>;
// The question the editor asks.
QString readOnlyListQuestion(const QString &file);

// Remembers the list in the backup, then makes `caller` the default for plain text.
// The backup is the user's alone (mode 0600).
NotepadOutcome replaceNotepad(const QString &programFolder, const QString &caller,
                             const ReadOnlyQuestion &confirmReadOnly = {});
// Puts the plain-text defaults back as the backup remembers them and removes the backup. When
// the list was not touched since, it comes back byte for byte; otherwise only the plain-text
// lines are put back and the user's other changes stay.
NotepadOutcome restoreNotepad(const QString &programFolder, const ReadOnlyQuestion &confirmReadOnly = {});

} // namespace kelpa::editor
