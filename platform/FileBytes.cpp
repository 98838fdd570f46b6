#include "platform/FileBytes.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#include <utility>

namespace kelpa::platform {

FileBytes readOpenFile(int fd)
{
    QByteArray bytes;
    char buffer[16384];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0)
            bytes.append(buffer, n);
        else if (n == 0)
            return {std::move(bytes), 0};
        else if (errno != EINTR)
            return {std::nullopt, errno};
    }
}

FileBytes readFileBytes(const QString &path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return {std::nullopt, errno};
    FileBytes read = readOpenFile(fd);
    ::close(fd);
    return read;
}

} // namespace kelpa::platform
