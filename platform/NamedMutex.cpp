#include "platform/NamedMutex.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kelpa::platform {

QString runtimeFolder()
{
    QString base = qEnvironmentVariable("XDG_RUNTIME_DIR");
    QString folder;
    if (!base.isEmpty() && QDir(base).exists())
        folder = base + QStringLiteral("/kelpa");
    else
        folder = QDir::tempPath() + QStringLiteral("/kelpa-") + QString::number(::getuid());
    const QByteArray f = QFile::encodeName(folder);
    if (::mkdir(f.constData(), 0700) != 0 && errno != EEXIST)
        return folder;
    struct stat st {};
    if (::lstat(f.constData(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid()
        && (st.st_mode & 077) != 0)
        ::chmod(f.constData(), 0700);
    return folder;
}

NamedMutex::NamedMutex(const QString &name)
{
    QString safe = name;
    for (QChar &c : safe)
        if (c == QLatin1Char('/') || c == QChar(0))
            c = QLatin1Char('_');
    const QByteArray path = QFile::encodeName(runtimeFolder() + QStringLiteral("/") + safe
                                              + QStringLiteral(".lock"));
    const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        exists_ = errno == EWOULDBLOCK;
        ::close(fd);
        return;
    }
    fd_ = fd;
}

NamedMutex::~NamedMutex()
{
    release();
}

void NamedMutex::release()
{
    if (fd_ >= 0) {
        ::flock(fd_, LOCK_UN);
        ::close(fd_);
        fd_ = -1;
    }
}

} // namespace kelpa::platform
