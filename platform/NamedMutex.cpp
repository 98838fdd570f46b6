#include "platform/NamedMutex.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kelpa::platform {

namespace {

// True when `folder` is (or could be made) a folder of ours that nobody else may enter.
bool privateFolder(const QString &folder)
{
    const QByteArray f = QFile::encodeName(folder);
    if (::mkdir(f.constData(), 0700) != 0 && errno != EEXIST)
        return false;
    struct stat st {};
    if (::lstat(f.constData(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid())
        return false;
    if ((st.st_mode & 077) != 0 && ::chmod(f.constData(), 0700) != 0)
        return false;
    return true;
}

} // namespace

QString runtimeFolder()
{
    const QString base = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!base.isEmpty() && QDir(base).exists() && privateFolder(base + QStringLiteral("/kelpa")))
        return base + QStringLiteral("/kelpa");
    const QString temp = QDir::tempPath() + QStringLiteral("/kelpa-") + QString::number(::getuid());
    if (privateFolder(temp))
        return temp;
    // Someone else holds that name in the shared temporary folder: stay in our home.
    const QString home = QDir::homePath() + QStringLiteral("/.cache/kelpa-runtime");
    QDir().mkpath(QDir::homePath() + QStringLiteral("/.cache"));
    privateFolder(home);
    return home;
}

NamedMutex::NamedMutex(const QString &name) : NamedMutex(name, 0) {}

NamedMutex::NamedMutex(const QString &name, int waitMs)
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
    const QDeadlineTimer deadline(waitMs);
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if ((errno != EWOULDBLOCK && errno != EINTR) || deadline.hasExpired()) {
            exists_ = errno == EWOULDBLOCK || errno == EINTR;
            ::close(fd);
            return;
        }
        ::usleep(10000);
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
