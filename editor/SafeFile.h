#pragma once
// Files a user cares about are never written in place: the new content goes to a temporary file
// beside the target, which is then renamed over it, so a failed write leaves the old file whole.
#include <QByteArray>
#include <QString>
#include <functional>

namespace kelpa::editor {

// Writes bytes to fileName through a temporary file. An existing target keeps its permission
// bits (a read-only file stays read-only). False, with a reason, when nothing was replaced.
bool writeFileReplacing(const QString &fileName, const QByteArray &bytes, QString *error = nullptr);

// Same, for writers that want a path: the writer fills the temporary file it is given and
// returns whether it succeeded; only then is the target replaced.
bool replaceFileThrough(const QString &fileName, const std::function<bool(const QString &tempName)> &writer,
                        QString *error = nullptr);

// True when the file exists and its owner may not write it (the read-only attribute).
bool isReadOnlyFile(const QString &fileName);

} // namespace kelpa::editor
