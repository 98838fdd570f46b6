#pragma once
// Starting files and programs through the shell with a message for each failure, and the
// web-page opener. The program folder and the folders of kept files are platform/ProgramFolder.h.
#include "platform/ShellExecute.h"

#include <QString>

namespace kelpa {

using platform::SW_HIDE;
using platform::SW_SHOW;
using platform::SW_SHOWMAXIMIZED;
using platform::SW_SHOWNORMAL;

// The failure text for a shell result code, or "" for success and for codes without a text.
// `file` and `folder` (where the file was looked for) go into the texts that name them, as
// they are: file names tell case apart.
QString LaunchFailureText(int code, const QString &file, const QString &folder);
// What a file that was not found is called in its message, and the folder it was looked for
// in: our programs by their own names in the program folder; a name with a folder in that
// folder; another name in `folder`, or in the current folder when that is empty.
struct MissingFile {
    QString file;
    QString folder;
};
MissingFile MissingFileOf(const QString &file, const QString &folder);

// Opens `file` with the shell's default verb; `parameters` is passed whole as one argument
// (none when empty); `folder` is the working folder ("" for none). On failure the message of
// its code is shown (caption "Cannot launch the file", error icon) when `reportFailure` is
// set. True only on success.
bool LaunchFile(const QString &file, const QString &parameters, const QString &folder,
                bool reportFailure, int showCommand);
// The same with an argument list, each argument passed as it is.
bool LaunchFile(const QString &file, const QStringList &arguments, const QString &folder,
                bool reportFailure, int showCommand);

// The redirect page that forwards the browser to `address`.
QString RedirectPageText(const QString &address);
// "http://" in front of an address without ":".
QString WebAddress(const QString &address);

// Writes the redirect page "NULL.htm" into the current folder and opens it in the browser,
// which forwards to the address. A page that cannot be written is reported. True when the
// page was written and opened.
bool OpenWebPage(const QString &address);

// Opens a stored address: one without a scheme names a file relative to the program folder
// (the documentation installed with the programs), which is opened as a document; anything
// else is a web address for OpenWebPage. A failure is reported. True when it was opened.
bool OpenStoredAddress(const QString &address);

// The name without its last extension.
QString StripExtension(const QString &name);

// True for an empty path, or when `path` can be made the current folder; the current folder is
// left as it was.
bool FolderIsUsable(const QString &path);

} // namespace kelpa
