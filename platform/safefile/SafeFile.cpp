#include "platform/safefile/SafeFile.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <filesystem>

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kelpa {

namespace {

namespace fs = std::filesystem;

// The end of a chain of symbolic links; a link to a file that does not exist yet gives that file.
std::string resolveLinks(const std::string &name)
{
    fs::path path(name);
    for (int depth = 0; depth < 40; ++depth) {
        struct stat st;
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            break;
        std::error_code ec;
        const fs::path next = fs::read_symlink(path, ec);
        if (ec)
            break;
        path = next.is_absolute() ? next : path.parent_path() / next;
    }
    return path.string();
}

fs::path folderOf(const fs::path &path)
{
    const fs::path dir = path.parent_path();
    return dir.empty() ? fs::path(".") : dir;
}

// Beside the target: its own name, or this one when the target's name is as long as a name
// may be.
constexpr const char *kLongNameBase = ".~kelpa";

// A new, empty file beside target, made with the usual mode for new files and locked; -1 and
// errno when that is not possible.
int createBeside(const std::string &target, std::string &tempName)
{
    static std::atomic<unsigned> counter{0};
    const fs::path path(target);
    const fs::path dir = folderOf(path);
    // Appended, not joined with +: GCC 12 at -O3 warns falsely (-Wrestrict) about the latter.
    std::string base(1, '.');
    base += path.filename().string();
    const unsigned pid = static_cast<unsigned>(::getpid());
    for (int attempt = 0; attempt < 100; ++attempt) {
        const auto now = static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count());
        const unsigned tag = pid * 2654435761u ^ now ^ (++counter * 40503u);
        char suffix[32];
        std::snprintf(suffix, sizeof suffix, ".~%u.%08x", pid, tag);
        tempName = (dir / (base + suffix)).string();
        int fd = ::open(tempName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno == ENAMETOOLONG) {
            tempName = (dir / (std::string(kLongNameBase) + suffix)).string();
            fd = ::open(tempName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        }
        if (fd >= 0) {
            // Until the lock is taken the process id in the name keeps others away.
            ::flock(fd, LOCK_EX);
            return fd;
        }
        if (errno != EEXIST) {
            tempName.clear();
            return -1;
        }
    }
    tempName.clear();
    return -1;
}

// "<digits>.<8 hex digits>" with the digits a process id; 0 when the text is not of that form.
long processOfSuffix(const std::string &suffix)
{
    const std::size_t dot = suffix.find('.');
    if (dot == 0 || dot == std::string::npos || dot > 10 || suffix.size() != dot + 9)
        return 0;
    long pid = 0;
    for (std::size_t i = 0; i < dot; ++i) {
        if (suffix[i] < '0' || suffix[i] > '9')
            return 0;
        pid = pid * 10 + (suffix[i] - '0');
    }
    for (std::size_t i = dot + 1; i < suffix.size(); ++i) {
        const char c = suffix[i];
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
            return 0;
    }
    return pid;
}

// The writer's process id that a temporary name of target carries; 0 when it is none.
long writerOf(const std::string &name, const std::string &targetFileName)
{
    std::string own(1, '.');
    own += targetFileName;
    own += ".~";
    std::string longName(kLongNameBase);
    longName += ".~";
    for (const std::string &base : {own, longName})
        if (name.size() > base.size() && name.compare(0, base.size(), base) == 0)
            return processOfSuffix(name.substr(base.size()));
    return 0;
}

bool processIsGone(long pid)
{
    return pid > 0 && ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
}

void syncFolderOf(const std::string &fileName)
{
    const int fd = ::open(folderOf(fileName).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

SafeFileWriter::SafeFileWriter(const std::string &target)
{
    if (target.empty()) {
        fail(SafeFileError::Open, ENOENT);
        return;
    }
    target_ = resolveLinks(target);
    struct stat st;
    if (::stat(target_.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) {
            fail(SafeFileError::Open, EISDIR);
            return;
        }
        if (!S_ISREG(st.st_mode)) {
            direct_ = true;
            fd_ = ::open(target_.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
            if (fd_ < 0)
                fail(SafeFileError::Open, errno);
            return;
        }
        existed_ = true;
        mode_ = st.st_mode & 07777;
        owner_ = st.st_uid;
        group_ = st.st_gid;
    } else if (errno == ELOOP) {
        // Links that lead round in a circle name no file; the link is not replaced either.
        fail(SafeFileError::Open, ELOOP);
        return;
    }
    fd_ = createBeside(target_, temp_);
    if (fd_ < 0)
        fail(SafeFileError::Open, errno ? errno : EEXIST);
    lockFd_ = fd_;
}

SafeFileWriter::~SafeFileWriter()
{
    release();
}

void SafeFileWriter::release()
{
    // Removed before the lock goes, so that nobody else takes a file still being removed.
    if (!temp_.empty())
        ::unlink(temp_.c_str());
    temp_.clear();
    if (fd_ >= 0 && fd_ != lockFd_)
        ::close(fd_);
    fd_ = -1;
    if (lockFd_ >= 0)
        ::close(lockFd_);
    lockFd_ = -1;
}

bool SafeFileWriter::isTemporaryName(const std::string &name, const std::string &targetFileName)
{
    return writerOf(name, targetFileName) > 0;
}

int SafeFileWriter::removeAbandoned(const std::string &target)
{
    const fs::path path(target);
    const std::string dirName = folderOf(path).string();
    const std::string fileName = path.filename().string();
    DIR *dir = ::opendir(dirName.c_str());
    if (!dir)
        return 0;
    int removed = 0;
    while (const dirent *entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (!processIsGone(writerOf(name, fileName)))
            continue;
        const std::string full = (fs::path(dirName) / name).string();
        // A writer that lives holds the lock, even where its process id names another process
        // (another pid namespace sharing the folder).
        const int fd = ::open(full.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
        if (fd < 0)
            continue;
        struct stat st;
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            if (::unlink(full.c_str()) == 0)
                ++removed;
        }
        ::close(fd);
    }
    ::closedir(dir);
    return removed;
}

bool SafeFileWriter::fail(SafeFileError error, int err)
{
    error_ = error;
    errno_ = err;
    return false;
}

bool SafeFileWriter::write(const void *data, std::size_t length)
{
    // A writer that could not open keeps that reason.
    if (fd_ < 0)
        return error_ == SafeFileError::None ? fail(SafeFileError::Write, EBADF) : false;
    const auto *p = static_cast<const char *>(data);
    while (length > 0) {
        const ssize_t n = ::write(fd_, p, length);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return fail(SafeFileError::Write, n < 0 ? errno : ENOSPC);
        p += n;
        length -= static_cast<std::size_t>(n);
    }
    return true;
}

void SafeFileWriter::handOver()
{
    // The descriptor stays open for its lock; only this writer stops writing through it.
    if (fd_ >= 0 && !direct_) {
        fd_ = -1;
        handedOver_ = true;
    }
}

bool SafeFileWriter::commit()
{
    if (direct_) {
        const int fd = fd_;
        fd_ = -1;
        if (fd < 0 || ::close(fd) != 0)
            return fail(SafeFileError::Flush, fd < 0 ? EBADF : errno);
        return true;
    }
    if (temp_.empty() || (fd_ < 0 && !handedOver_))
        return fail(error_ == SafeFileError::None ? SafeFileError::Open : error_, errno_ ? errno_ : EBADF);

    // A file filled in by name may be another file by now: it is reopened to be flushed.
    const int fd = handedOver_ ? ::open(temp_.c_str(), O_RDONLY | O_CLOEXEC) : lockFd_;
    fd_ = -1;
    if (fd < 0)
        return fail(SafeFileError::Flush, errno);
    if (existed_) {
        // Best effort: only the superuser may give the file back to another owner.
        [[maybe_unused]] const int owned = ::fchown(fd, owner_, group_);
        ::fchmod(fd, mode_);
    }
    const bool synced = ::fsync(fd) == 0;
    const int syncError = errno;
    // The lock stays until the file has its new name.
    if (fd != lockFd_ && ::close(fd) != 0 && synced)
        return fail(SafeFileError::Flush, errno);
    if (!synced)
        return fail(SafeFileError::Flush, syncError);
    if (::rename(temp_.c_str(), target_.c_str()) != 0)
        return fail(SafeFileError::Replace, errno);
    temp_.clear();
    syncFolderOf(target_);
    release();
    removeAbandoned(target_);
    return true;
}

} // namespace kelpa
