#include "platform/ShellExecute.h"

#include "platform/Desktop.h"
#include "platform/ProgramFolder.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace kelpa::platform {

namespace {

UrlOpener &urlOpener()
{
    static UrlOpener opener;
    return opener;
}

// How long the desktop opener is given to say that it cannot open something. One still
// running by then is running the application it chose, which counts as success.
constexpr int kOpenerVerdictMs = 1500;

// Runs the desktop opener on `target` and tells whether it failed: an exit code other than 0
// within the verdict time (no application for the type, no browser). The opener runs detached
// under a watcher that reports its exit code, so that nothing waits on it past that time and no
// zombie stays behind.
bool runDesktopOpener(const QString &opener, const QString &target)
{
    QByteArray program = QFile::encodeName(opener);
    QByteArray argument = target.toLocal8Bit();
    char *argv[] = {program.data(), argument.data(), nullptr};
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return false;
    const pid_t first = ::fork();
    if (first < 0) {
        ::close(fds[0]);
        ::close(fds[1]);
        return false;
    }
    if (first == 0) {
        ::close(fds[0]);
        ::setsid();
        if (::fork() != 0)
            ::_exit(0);
        const pid_t child = ::fork();
        if (child == 0) {
            sigset_t none;
            sigemptyset(&none);
            ::sigprocmask(SIG_SETMASK, &none, nullptr);
            ::signal(SIGPIPE, SIG_DFL);
            ::execve(argv[0], argv, environ);
            ::_exit(127);
        }
        int status = 0;
        int code = 127;
        if (child > 0) {
            while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
            }
            code = WIFEXITED(status) ? WEXITSTATUS(status) : 128;
        }
        ::signal(SIGPIPE, SIG_IGN); // nobody may be listening any more
        [[maybe_unused]] auto n = ::write(fds[1], &code, sizeof code);
        ::_exit(0);
    }
    ::close(fds[1]);
    int status = 0;
    while (::waitpid(first, &status, 0) < 0 && errno == EINTR) {
    }
    pollfd p{fds[0], POLLIN, 0};
    int ready;
    do {
        ready = ::poll(&p, 1, kOpenerVerdictMs);
    } while (ready < 0 && errno == EINTR);
    int code = 0;
    if (ready > 0) {
        ssize_t got;
        do {
            got = ::read(fds[0], &code, sizeof code);
        } while (got < 0 && errno == EINTR);
        if (got != static_cast<ssize_t>(sizeof code))
            code = 0;
    }
    ::close(fds[0]);
    return code == 0;
}

bool openUrl(const QUrl &url)
{
    if (urlOpener())
        return urlOpener()(url);
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (opener.isEmpty())
        return QDesktopServices::openUrl(url);
    return runDesktopOpener(opener, url.isLocalFile() ? url.toLocalFile() : url.toString(QUrl::FullyEncoded));
}

int resultOfOpen(const QUrl &url)
{
    return openUrl(url) ? SE_SUCCESS : SE_ERR_NOASSOC;
}

int shellCodeOfErrno(int e)
{
    switch (e) {
    case ENOENT:
        return SE_ERR_FNF;
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP:
        return SE_ERR_PNF;
    case EACCES:
    case EPERM:
        return SE_ERR_ACCESSDENIED;
    case ENOEXEC:
    case EISDIR:
        return SE_ERR_BAD_FORMAT;
    case ETXTBSY:
        return SE_ERR_SHARE;
    default:
        return SE_ERR_OOM;
    }
}

// What a failed child reports through the pipe.
struct SpawnFailure {
    int stage;   // 1 working folder, 2 exec, 3 fork
    int error;
};

// Starts `program` detached (its parent becomes init), so that no zombie stays behind and
// the child outlives us. Exec failures come back through a close-on-exec pipe.
int spawnDetached(const QString &program, const QStringList &arguments, const QString &folder)
{
    const QByteArray path = QFile::encodeName(program);
    std::vector<QByteArray> argBytes;
    argBytes.push_back(path);
    for (const QString &a : arguments)
        argBytes.push_back(a.toLocal8Bit());
    std::vector<char *> argv;
    for (QByteArray &a : argBytes)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    const QByteArray dir = QFile::encodeName(folder);
    const bool changeDir = !folder.isEmpty();

    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return SE_ERR_OOM;
    const pid_t first = ::fork();
    if (first < 0) {
        ::close(fds[0]);
        ::close(fds[1]);
        return SE_ERR_OOM;
    }
    if (first == 0) {
        ::close(fds[0]);
        ::setsid();
        const pid_t second = ::fork();
        if (second != 0) {
            if (second < 0) {
                const SpawnFailure f{3, errno};
                [[maybe_unused]] auto n = ::write(fds[1], &f, sizeof f);
            }
            ::_exit(0);
        }
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        ::signal(SIGPIPE, SIG_DFL);
        if (changeDir && ::chdir(dir.constData()) != 0) {
            const SpawnFailure f{1, errno};
            [[maybe_unused]] auto n = ::write(fds[1], &f, sizeof f);
            ::_exit(127);
        }
        ::execve(argv[0], argv.data(), environ);
        const SpawnFailure f{2, errno};
        [[maybe_unused]] auto n = ::write(fds[1], &f, sizeof f);
        ::_exit(127);
    }
    ::close(fds[1]);
    int status = 0;
    while (::waitpid(first, &status, 0) < 0 && errno == EINTR) {
    }
    SpawnFailure failure{0, 0};
    ssize_t got;
    do {
        got = ::read(fds[0], &failure, sizeof failure);
    } while (got < 0 && errno == EINTR);
    ::close(fds[0]);
    if (got <= 0)
        return SE_SUCCESS;
    if (got != static_cast<ssize_t>(sizeof failure))
        return SE_ERR_OOM;
    if (failure.stage == 1)
        return SE_ERR_PNF;
    if (failure.stage == 3)
        return SE_ERR_OOM;
    return shellCodeOfErrno(failure.error);
}

bool looksLikeAddress(const QString &file)
{
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]+:"));
    return scheme.match(file).hasMatch();
}

bool isExecutableFile(const QString &path)
{
    const QByteArray p = QFile::encodeName(path);
    struct stat st {};
    return ::stat(p.constData(), &st) == 0 && S_ISREG(st.st_mode) && (st.st_mode & 0111);
}

// Start the program at `path` or, when it is not a program, open it as a document.
int openExisting(const QString &path, const QStringList &arguments, const QString &folder,
                 bool namedAsProgram)
{
    const QFileInfo info(path);
    if (info.isDir())
        return resultOfOpen(QUrl::fromLocalFile(info.absoluteFilePath()));
    if (isExecutableFile(path))
        return spawnDetached(info.absoluteFilePath(), arguments, folder);
    if (namedAsProgram) {
        // A program file we may not run.
        return SE_ERR_ACCESSDENIED;
    }
    return resultOfOpen(QUrl::fromLocalFile(info.absoluteFilePath()));
}

bool isProgramName(const QString &file)
{
    return file.endsWith(QLatin1String(".exe"), Qt::CaseInsensitive)
        || mapProgramName(file) != file;
}

} // namespace

void setUrlOpener(UrlOpener opener)
{
    urlOpener() = std::move(opener);
}

int openDocument(const QString &path)
{
    const QFileInfo info(path);
    // Missing, its folder too or not: the message names both.
    if (!info.exists())
        return SE_ERR_FNF;
    return resultOfOpen(QUrl::fromLocalFile(info.absoluteFilePath()));
}

QStringList parameterTextToArguments(const QString &parameters)
{
    if (parameters.isEmpty())
        return {};
    return {parameters};
}

int shellExecute(const QString &file, const QStringList &arguments, const QString &folder,
                 int /*showCommand*/)
{
    if (file.isEmpty())
        return SE_ERR_FNF;
    if (!folder.isEmpty() && !QFileInfo(folder).isDir())
        return SE_ERR_PNF;
    // A file of the folder whose name holds a colon ("report:v2.txt") is a file, not an address.
    const QString base = folder.isEmpty() ? QDir::currentPath() : folder;
    if (!file.startsWith(QLatin1Char('/')) && looksLikeAddress(file) && !QFileInfo::exists(QDir(base).absoluteFilePath(file)))
        return resultOfOpen(QUrl(file));

    bool systemTool = false;
    const QString tool = mapSystemTool(file, &systemTool);
    if (systemTool)
        return tool.isEmpty() ? SE_ERR_FNF : spawnDetached(tool, arguments, folder);

    const bool bare = !file.contains(QLatin1Char('/'));
    const QString candidate = bare || QFileInfo(file).isRelative()
                                  ? QDir(base).absoluteFilePath(file)
                                  : file;
    const bool programName = isProgramName(file);

    if (QFileInfo::exists(candidate))
        return openExisting(candidate, arguments, folder, programName);
    // A launcher of ours stands for the name, as a shell link does.
    const QString launcher = candidate + QStringLiteral(".desktop");
    if (QFileInfo::exists(launcher)) {
        bool program = false;
        const QString target = launcherTarget(launcher, &program);
        if (!target.isEmpty() && QFileInfo::exists(target))
            return openExisting(target, arguments, folder, program);
    }
    const QString mapped = mapProgramName(candidate);
    if (mapped != candidate && QFileInfo::exists(mapped))
        return openExisting(mapped, arguments, folder, true);
    if (bare) {
        const QString own = mapProgramName(file);
        if (own != file && QFileInfo::exists(own))
            return openExisting(own, arguments, folder, true);
        const QString onPath = QStandardPaths::findExecutable(file);
        if (!onPath.isEmpty())
            return spawnDetached(onPath, arguments, folder);
    }
    if (!QFileInfo(QFileInfo(candidate).absolutePath()).isDir())
        return SE_ERR_PNF;
    return SE_ERR_FNF;
}

} // namespace kelpa::platform
