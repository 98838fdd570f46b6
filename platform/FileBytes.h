#pragma once
// A file read whole, with the system error of the call that failed as a value.
#include <QByteArray>
#include <QString>

#include <optional>

namespace kelpa::platform {

// Nothing and the errno of the open or read that failed, or the whole content.
struct FileBytes {
    std::optional<QByteArray> bytes;
    int error = 0;
};
FileBytes readFileBytes(const QString &path);
// The rest of an open file, read to its end; the caller keeps the descriptor.
FileBytes readOpenFile(int fd);

} // namespace kelpa::platform
