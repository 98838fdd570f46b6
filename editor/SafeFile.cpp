#include "editor/SafeFile.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kelpa::editor {

namespace {

void setError(QString *error, const QString &text)
{
    if (error)
        *error = text;
}

QString systemText(int err) { return QString::fromLocal8Bit(std::strerror(err)); }

// The file a name finally refers to: a link is followed so that the link itself survives.
QByteArray resolvedTarget(const QString &fileName)
{
    const QFileInfo info(fileName);
    if (info.isSymLink()) {
        const QString target = info.symLinkTarget();
        if (!target.isEmpty())
            return QFile::encodeName(target);
    }
    return QFile::encodeName(info.absoluteFilePath());
}

bool writeAll(int fd, const QByteArray &bytes)
{
    const char *p = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, static_cast<size_t>(left));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        p += n;
        left -= n;
    }
    return true;
}

} // namespace

bool replaceFileThrough(const QString &fileName, const std::function<bool(const QString &)> &writer, QString *error)
{
    const QByteArray target = resolvedTarget(fileName);
    QByteArray pattern = target + ".~XXXXXX";
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0) {
        const int err = errno;
        setError(error, systemText(err));
        errno = err;
        return false;
    }
    ::close(fd);
    const QString tempName = QFile::decodeName(pattern);

    mode_t mode = 0;
    struct stat st {};
    if (::stat(target.constData(), &st) == 0) {
        mode = st.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }

    bool ok = false;
    try {
        ok = writer(tempName);
    } catch (...) {
        ok = false;
    }
    if (!ok) {
        // The reason stays in errno for the caller's message.
        const int err = errno;
        ::unlink(pattern.constData());
        errno = err;
        if (error && error->isEmpty())
            *error = QStringLiteral("The file could not be written");
        return false;
    }
    // Flush to disk before the rename so that a crash cannot leave an empty target.
    const int sync = ::open(pattern.constData(), O_RDONLY);
    if (sync >= 0) {
        ::fsync(sync);
        ::close(sync);
    }
    if (::chmod(pattern.constData(), mode) != 0 || ::rename(pattern.constData(), target.constData()) != 0) {
        const int err = errno;
        ::unlink(pattern.constData());
        setError(error, systemText(err));
        errno = err;
        return false;
    }
    return true;
}

bool writeFileReplacing(const QString &fileName, const QByteArray &bytes, QString *error)
{
    return replaceFileThrough(
        fileName,
        [&](const QString &tempName) {
            const QByteArray name = QFile::encodeName(tempName);
            const int fd = ::open(name.constData(), O_WRONLY | O_TRUNC);
            if (fd < 0) {
                setError(error, systemText(errno));
                return false;
            }
            const bool written = writeAll(fd, bytes);
            const int err = errno;
            const bool closed = ::close(fd) == 0;
            if (!written || !closed) {
                const int reason = written ? errno : err;
                setError(error, systemText(reason));
                errno = reason;
                return false;
            }
            return true;
        },
        error);
}

bool isReadOnlyFile(const QString &fileName)
{
    struct stat st {};
    const QByteArray name = QFile::encodeName(fileName);
    if (::stat(name.constData(), &st) != 0)
        return false;
    return (st.st_mode & S_IWUSR) == 0;
}

} // namespace kelpa::editor
