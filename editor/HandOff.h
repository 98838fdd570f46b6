#pragma once
// The single-instance hand-off: the command line joined into one document path, the request
// file "loadreq" that a second start leaves for the running editor, and the "multi.dat" marker.
#include "platform/SystemResult.h"
#include "platform/handoff/HandOffFile.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

namespace kelpa::editor {

inline constexpr char kVoidCall[] = "<*VOID-CALL*>";
inline constexpr int kLoadRequestLimit = 1023;

// Arguments (without the program name) joined with single blanks up to the first empty one;
// every "/P" (any case) is dropped.
QString DocumentPathArgument(const QStringList &arguments);
// The documents a start names, as clean absolute paths (relative ones taken in `currentFolder`,
// no ./ or .. left): the joined argument, or, when that names no file but each argument names
// one (a file manager passes one argument per file), each argument. Empty when there is no
// argument.
QStringList DocumentPathArguments(const QStringList &arguments, const QString &currentFolder);

// What the running editor finds in a request file.
struct LoadRequest {
    enum class Kind { None, BringToFront, Open } kind = Kind::None;
    QString path;
};

// Writes the request (the path, or the void call when it is empty) without a line end, as a
// hand-off file (see platform/handoff/HandOffFile.h), so the reader never sees half a request.
// Which file was written (invalid when it could not be).
handoff::FileId writeLoadRequest(const QString &programFolder, const QString &path);
// Takes the request (the file is moved away first, so that it is either the running editor's
// or the writer's, never both), reads at most 1023 bytes up to a first line end, deletes it and
// tells what to do. A missing or empty file, a link, or anything but a regular file of the
// user's own asks for nothing. A request taken is confirmed to its writer.
LoadRequest takeLoadRequest(const QString &programFolder);
// Whether the request written is still there, not yet taken by the running editor.
bool loadRequestPending(const QString &programFolder);
// Whether the running editor has confirmed taking the request `written` (the confirmation is
// used up).
bool loadRequestConfirmed(const QString &programFolder, const handoff::FileId &written);
// Takes back a request the running editor has not confirmed: true when it was not taken (it is
// gone now, and the writer opens the document itself), false when the editor confirmed it.
bool withdrawLoadRequest(const QString &programFolder, const handoff::FileId &written);

QString loadRequestFile(const QString &programFolder);
QString multiMarkerFile(const QString &programFolder);
// The marker counts only as a regular file of the user's own.
bool multipleWindowsAllowed(const QString &programFolder);
// Puts the marker there or takes it away; the system's error when that failed.
platform::SystemResult setMultipleWindowsAllowed(const QString &programFolder, bool allowed);

} // namespace kelpa::editor
