#pragma once
// Starting programs and opening documents, folders and addresses, with the result codes of the
// Windows shell (above 32 = success) so that callers can keep turning codes into messages.
// Programs are started from an argument list, never through a shell command text, so blanks
// and quotes in paths are safe. Documents, folders and addresses go to the desktop's opener.
#include <QString>
#include <QStringList>
#include <QUrl>
#include <functional>

namespace kelpa::platform {

// Show commands; only whether a window is wanted matters on Linux.
enum ShowCommand : int {
    SW_HIDE = 0,
    SW_SHOWNORMAL = 1,
    SW_SHOWMAXIMIZED = 3,
    SW_SHOW = 5,
};

// The shell's result codes that callers tell apart.
enum ShellResult : int {
    SE_ERR_OUT_OF_RESOURCES = 0,
    SE_ERR_FNF = 2,              // file not found
    SE_ERR_PNF = 3,              // path not found
    SE_ERR_ACCESSDENIED = 5,
    SE_ERR_OOM = 8,
    SE_ERR_BAD_FORMAT = 11,
    SE_ERR_SHARE = 26,
    SE_ERR_ASSOCINCOMPLETE = 27,
    SE_ERR_DDETIMEOUT = 28,
    SE_ERR_DDEFAIL = 29,
    SE_ERR_DDEBUSY = 30,
    SE_ERR_NOASSOC = 31,
    SE_ERR_DLLNOTFOUND = 32,
    SE_SUCCESS = 42,             // any value above 32 means success
};

// Opens `file` the way the Windows shell's default verb does.
// - `file` relative: looked up in `folder` when one is given, else in the current folder.
// - One of our program names (see mapProgramName) or an executable file: started detached with
//   `arguments` as its argument list and `folder` (when not empty) as its working folder.
// - Anything else (document, folder, "http:..." address): handed to the desktop's opener;
//   `arguments` are ignored.
// Returns a value above 32 on success, else one of the failure codes above.
int shellExecute(const QString &file, const QStringList &arguments, const QString &folder,
                 int showCommand);

// Opens the file `path` as a document with the desktop's opener, never as a program, whatever
// its mode bits say. The same result codes as shellExecute.
int openDocument(const QString &path);

// Convenience for parameter texts as the programs build them: an empty text is no argument,
// any other text is passed whole as one argument (the receiving programs join their arguments
// with single blanks, so a path with blanks arrives as it was sent).
QStringList parameterTextToArguments(const QString &parameters);

// Replaces the desktop's opener (QDesktopServices::openUrl) for the rest of the process, so
// that tests can see what would be opened without starting a browser. An empty function
// puts the real opener back.
using UrlOpener = std::function<bool(const QUrl &)>;
void setUrlOpener(UrlOpener opener);

} // namespace kelpa::platform
