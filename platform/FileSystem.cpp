#include "platform/FileSystem.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kelpa::platform {

namespace {

QByteArray native(const QString &path)
{
    return QFile::encodeName(path);
}

// Copies the bytes of `source` into a new temporary file beside `target`; returns its name.
bool copyToTemporary(const QByteArray &source, const QByteArray &target, QByteArray &tempName)
{
    const int in = ::open(source.constData(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return false;
    struct stat st {};
    if (::fstat(in, &st) != 0 || !S_ISREG(st.st_mode)) {
        const int e = S_ISDIR(st.st_mode) ? EISDIR : errno;
        ::close(in);
        errno = e;
        return false;
    }
    QByteArray pattern = target + ".XXXXXX";
    const int out = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (out < 0) {
        const int e = errno;
        ::close(in);
        errno = e;
        return false;
    }
    char buffer[65536];
    bool ok = true;
    for (;;) {
        const ssize_t n = ::read(in, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            ok = false;
            break;
        }
        if (n == 0)
            break;
        for (ssize_t done = 0; done < n;) {
            const ssize_t w = ::write(out, buffer + done, static_cast<size_t>(n - done));
            if (w < 0) {
                if (errno == EINTR)
                    continue;
                ok = false;
                break;
            }
            done += w;
        }
        if (!ok)
            break;
    }
    int e = errno;
    if (ok && ::fchmod(out, st.st_mode & 07777) != 0) {
        ok = false;
        e = errno;
    }
    if (::close(out) != 0 && ok) {
        ok = false;
        e = errno;
    }
    ::close(in);
    if (!ok) {
        ::unlink(pattern.constData());
        errno = e;
        return false;
    }
    tempName = pattern;
    return true;
}

} // namespace

std::uint32_t fileAttributes(const QString &path)
{
    struct stat st {};
    const QByteArray p = native(path);
    if (path.isEmpty() || ::stat(p.constData(), &st) != 0)
        return INVALID_FILE_ATTRIBUTES;
    std::uint32_t attributes = 0;
    if (S_ISDIR(st.st_mode))
        attributes |= FILE_ATTRIBUTE_DIRECTORY;
    else
        attributes |= FILE_ATTRIBUTE_ARCHIVE;
    if (!(st.st_mode & S_IWUSR))
        attributes |= FILE_ATTRIBUTE_READONLY;
    if (QFileInfo(path).fileName().startsWith(QLatin1Char('.')))
        attributes |= FILE_ATTRIBUTE_HIDDEN;
    return attributes;
}

bool fileExists(const QString &path)
{
    struct stat st {};
    const QByteArray p = native(path);
    return !path.isEmpty() && ::stat(p.constData(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool setReadOnly(const QString &path, bool readOnly)
{
    struct stat st {};
    const QByteArray p = native(path);
    if (::stat(p.constData(), &st) != 0)
        return false;
    mode_t mode = st.st_mode & 07777;
    if (readOnly)
        mode &= ~static_cast<mode_t>(S_IWUSR | S_IWGRP | S_IWOTH);
    else
        mode |= S_IWUSR;
    return ::chmod(p.constData(), mode) == 0;
}

bool moveFile(const QString &source, const QString &target)
{
    const QByteArray s = native(source);
    const QByteArray t = native(target);
    struct stat st {};
    if (source.isEmpty() || ::lstat(s.constData(), &st) != 0)
        return false;
    if (target.isEmpty()) {
        errno = ENOENT;
        return false;
    }
    if (::renameat2(AT_FDCWD, s.constData(), AT_FDCWD, t.constData(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno == EINVAL || errno == ENOSYS) {
        // File system without the no-replace flag: a hard link refuses an existing target.
        if (!S_ISDIR(st.st_mode) && ::link(s.constData(), t.constData()) == 0)
            return ::unlink(s.constData()) == 0;
        if (errno != EXDEV)
            return false;
    }
    if (errno != EXDEV || S_ISDIR(st.st_mode))
        return false;
    // Another file system: copy beside the target, put it in place without replacing, then
    // remove the source.
    QByteArray temp;
    if (!copyToTemporary(s, t, temp))
        return false;
    if (::link(temp.constData(), t.constData()) != 0) {
        const int e = errno;
        ::unlink(temp.constData());
        errno = e;
        return false;
    }
    ::unlink(temp.constData());
    return ::unlink(s.constData()) == 0;
}

bool copyFile(const QString &source, const QString &target, bool overwrite)
{
    const QByteArray s = native(source);
    const QByteArray t = native(target);
    if (source.isEmpty() || target.isEmpty()) {
        errno = ENOENT;
        return false;
    }
    struct stat st {};
    if (!overwrite && ::lstat(t.constData(), &st) == 0) {
        errno = EEXIST;
        return false;
    }
    if (::stat(t.constData(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) {
            errno = EISDIR;
            return false;
        }
        // Renaming over it would succeed; the user marked it as not to be written.
        if (!(st.st_mode & S_IWUSR)) {
            errno = EACCES;
            return false;
        }
    }
    QByteArray temp;
    if (!copyToTemporary(s, t, temp))
        return false;
    int result;
    if (overwrite)
        result = ::rename(temp.constData(), t.constData());
    else
        result = ::renameat2(AT_FDCWD, temp.constData(), AT_FDCWD, t.constData(), RENAME_NOREPLACE);
    if (result != 0) {
        const int e = errno;
        ::unlink(temp.constData());
        errno = e;
        return false;
    }
    return true;
}

bool deleteFile(const QString &path)
{
    const QByteArray p = native(path);
    if (path.isEmpty()) {
        errno = ENOENT;
        return false;
    }
    return ::unlink(p.constData()) == 0;
}

bool createDirectory(const QString &path)
{
    const QByteArray p = native(path);
    if (path.isEmpty()) {
        errno = ENOENT;
        return false;
    }
    return ::mkdir(p.constData(), 0777) == 0;
}

} // namespace kelpa::platform
