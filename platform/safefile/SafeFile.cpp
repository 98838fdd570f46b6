#include "platform/safefile/SafeFile.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace kelpa {

namespace {

namespace fs = std::filesystem;

fs::path folderOf(const fs::path &path);

// A link that the user did not make is followed only from a folder that nobody else may write:
// in a shared folder another user could have put it there to have the user's file written.
bool linkIsTrusted(const fs::path &link, const struct stat &linkStat)
{
    if (linkStat.st_uid == ::geteuid())
        return true;
    struct stat dir;
    if (::stat(folderOf(link).c_str(), &dir) != 0)
        return false;
    return (dir.st_uid == ::geteuid() || dir.st_uid == 0) && (dir.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

struct Resolved {
    std::string path;
    SafeFileError error = SafeFileError::None;
    int err = 0;
};

// The end of a chain of symbolic links; a link to a file that does not exist yet gives that file.
Resolved resolveLinks(const std::string &name)
{
    fs::path path(name);
    for (int depth = 0; depth < 40; ++depth) {
        struct stat st;
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            return {path.string()};
        if (!linkIsTrusted(path, st))
            return {path.string(), SafeFileError::Link, EACCES};
        std::error_code ec;
        const fs::path next = fs::read_symlink(path, ec);
        if (ec)
            return {path.string()};
        path = next.is_absolute() ? next : path.parent_path() / next;
    }
    // Links that lead round in a circle name no file; the link is not replaced either.
    return {path.string(), SafeFileError::Open, ELOOP};
}

fs::path folderOf(const fs::path &path)
{
    const fs::path dir = path.parent_path();
    return dir.empty() ? fs::path(".") : dir;
}

// Beside the target: its own name, or this one when the target's name is as long as a name
// may be.
constexpr const char *kLongNameBase = ".~kelpa";

// A new, empty file base + ".~" + process id + "." + tag + ending in dir, made with `mode` (less
// the umask) and locked; -1 and errno when that is not possible.
int createUnique(const fs::path &dir, const std::string &base, const std::string &longBase, const char *ending,
                 int flags, mode_t mode, std::string &tempName)
{
    static std::atomic<unsigned> counter{0};
    const unsigned pid = static_cast<unsigned>(::getpid());
    for (int attempt = 0; attempt < 100; ++attempt) {
        const auto now = static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count());
        const unsigned tag = pid * 2654435761u ^ now ^ (++counter * 40503u);
        char suffix[48];
        std::snprintf(suffix, sizeof suffix, ".~%u.%08x%s", pid, tag, ending);
        tempName = (dir / (base + suffix)).string();
        int fd = ::open(tempName.c_str(), flags | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, mode);
        if (fd < 0 && errno == ENAMETOOLONG) {
            tempName = (dir / (longBase + suffix)).string();
            fd = ::open(tempName.c_str(), flags | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, mode);
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

// A new, empty file beside target, made with the usual mode for new files and locked.
int createBeside(const std::string &target, std::string &tempName)
{
    const fs::path path(target);
    // Appended, not joined with +: GCC 12 at -O3 warns falsely (-Wrestrict) about the latter.
    std::string base(1, '.');
    base += path.filename().string();
    return createUnique(folderOf(path), base, kLongNameBase, "", O_WRONLY, 0666, tempName);
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


// Renaming would make another file of it: another owner, another link's text, lost ACLs and
// attributes; or the folder does not let the user rename at all.
bool mustWriteInPlace(const std::string &target, const struct stat &st)
{
    if (st.st_uid != ::geteuid() || st.st_nlink > 1)
        return true;
    if (::llistxattr(target.c_str(), nullptr, 0) > 0)
        return true;
    return ::access(folderOf(target).c_str(), W_OK | X_OK) != 0;
}

// Copies what `from` holds into `to` from offset 0 and cuts `to` to that length; false and errno
// on a failure.
bool copyContent(int from, int to, int &err)
{
    char buffer[1 << 16];
    off_t at = 0;
    for (;;) {
        const ssize_t n = ::pread(from, buffer, sizeof buffer, at);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            err = errno;
            return false;
        }
        if (n == 0)
            break;
        for (ssize_t done = 0; done < n;) {
            const ssize_t w = ::pwrite(to, buffer + done, static_cast<std::size_t>(n - done), at + done);
            if (w < 0 && errno == EINTR)
                continue;
            if (w <= 0) {
                err = w < 0 ? errno : ENOSPC;
                return false;
            }
            done += w;
        }
        at += n;
    }
    if (::ftruncate(to, at) != 0 || ::fsync(to) != 0) {
        err = errno;
        return false;
    }
    return true;
}

constexpr const char *kStagedEnding = ".new";
constexpr const char *kCopyEnding = ".copy";
constexpr const char *kOriginEnding = ".path";

bool endsWith(const std::string &text, const char *ending)
{
    const std::size_t n = std::strlen(ending);
    return text.size() > n && text.compare(text.size() - n, n, ending) == 0;
}

// The writer's process id in a name of the copy folder ("<name>.~<pid>.<tag><ending>"); 0 when
// it is none.
long writerInCopyFolder(const std::string &name, const char *ending)
{
    if (!endsWith(name, ending))
        return 0;
    const std::string stem = name.substr(0, name.size() - std::strlen(ending));
    const std::size_t mark = stem.rfind(".~");
    return mark == std::string::npos ? 0 : processOfSuffix(stem.substr(mark + 2));
}

// The copy folder, made when it is missing; empty (errno set) when it is not the user's own.
std::string readyCopyFolder()
{
    const std::string folder = SafeFileWriter::copyFolder();
    if (folder.empty()) {
        errno = ENOENT;
        return {};
    }
    std::error_code ec;
    fs::create_directories(fs::path(folder).parent_path(), ec);
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        return {};
    struct stat st;
    if (::lstat(folder.c_str(), &st) != 0)
        return {};
    if (!S_ISDIR(st.st_mode) || st.st_uid != ::geteuid()) {
        errno = EACCES;
        return {};
    }
    if ((st.st_mode & 077) != 0)
        ::chmod(folder.c_str(), 0700);
    return folder;
}

// A file of the copy folder opened without following a link, or -1.
int openInCopyFolder(const std::string &name, int flags)
{
    const int fd = ::open(name.c_str(), flags | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0)
        return -1;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace

SafeFileWriter::SafeFileWriter(const std::string &target)
{
    if (target.empty()) {
        fail(SafeFileError::Open, ENOENT);
        return;
    }
    const Resolved resolved = resolveLinks(target);
    target_ = resolved.path;
    if (resolved.error != SafeFileError::None) {
        fail(resolved.error, resolved.err);
        return;
    }
    struct stat st;
    if (::lstat(target_.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) {
            fail(SafeFileError::Open, EISDIR);
            return;
        }
        // Never opened: a pipe without a reader would hold the save for ever.
        if (!S_ISREG(st.st_mode)) {
            fail(SafeFileError::NotAFile, EINVAL);
            return;
        }
        existed_ = true;
        mode_ = st.st_mode & 07777;
        group_ = st.st_gid;
        if (mustWriteInPlace(target_, st)) {
            openInPlace(st.st_dev, st.st_ino);
            return;
        }
    } else if (errno == ELOOP) {
        fail(SafeFileError::Open, ELOOP);
        return;
    }
    fd_ = createBeside(target_, temp_);
    if (fd_ < 0)
        fail(SafeFileError::Open, errno ? errno : EEXIST);
    lockFd_ = fd_;
}

void SafeFileWriter::openInPlace(unsigned long long device, unsigned long long inode)
{
    inPlace_ = true;
    targetFd_ = ::open(target_.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (targetFd_ < 0) {
        fail(SafeFileError::Open, errno);
        return;
    }
    struct stat st {};
    if (::fstat(targetFd_, &st) != 0 || !S_ISREG(st.st_mode) || st.st_dev != device || st.st_ino != inode) {
        // Another file took the name meanwhile.
        fail(S_ISREG(st.st_mode) ? SafeFileError::Open : SafeFileError::NotAFile, S_ISREG(st.st_mode) ? EAGAIN : EINVAL);
        return;
    }
    const std::string folder = readyCopyFolder();
    if (folder.empty()) {
        fail(SafeFileError::Copy, errno ? errno : ENOENT);
        return;
    }
    fd_ = createUnique(folder, fs::path(target_).filename().string(), kLongNameBase + 1, kStagedEnding, O_RDWR, 0600,
                       temp_);
    if (fd_ < 0)
        fail(SafeFileError::Copy, errno ? errno : EEXIST);
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
    if (targetFd_ >= 0)
        ::close(targetFd_);
    targetFd_ = -1;
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
    if (fd_ >= 0) {
        fd_ = -1;
        handedOver_ = true;
    }
}

bool SafeFileWriter::commit()
{
    if (temp_.empty() || (fd_ < 0 && !handedOver_))
        return fail(error_ == SafeFileError::None ? SafeFileError::Open : error_, errno_ ? errno_ : EBADF);

    // A file filled in by name may be another file by now: it is reopened to be flushed.
    const int fd = handedOver_ ? ::open(temp_.c_str(), O_RDONLY | O_CLOEXEC) : lockFd_;
    fd_ = -1;
    if (fd < 0)
        return fail(SafeFileError::Flush, errno);
    if (inPlace_)
        return commitInPlace(fd);
    if (existed_) {
        // The user's own file: its group where the user may keep it, and its permission bits.
        [[maybe_unused]] const int grouped = ::fchown(fd, static_cast<uid_t>(-1), group_);
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

bool SafeFileWriter::commitInPlace(int staged)
{
    const auto closeStaged = [&] {
        if (staged != lockFd_)
            ::close(staged);
    };
    // The old content first, flushed, with the name it belongs to beside it.
    const std::string folder = fs::path(temp_).parent_path().string();
    std::string copy;
    const int copyFd = createUnique(folder, fs::path(target_).filename().string(), kLongNameBase + 1, kCopyEnding,
                                    O_RDWR, 0600, copy);
    if (copyFd < 0) {
        const int err = errno;
        closeStaged();
        return fail(SafeFileError::Copy, err);
    }
    const std::string origin = copy.substr(0, copy.size() - std::strlen(kCopyEnding)) + kOriginEnding;
    const auto dropCopy = [&] {
        ::unlink(origin.c_str());
        ::unlink(copy.c_str());
        ::close(copyFd);
    };
    int err = 0;
    bool kept = copyContent(targetFd_, copyFd, err);
    if (kept) {
        const int originFd = ::open(origin.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
        errno = 0;
        kept = originFd >= 0 && ::write(originFd, target_.data(), target_.size()) == static_cast<ssize_t>(target_.size())
            && ::fsync(originFd) == 0;
        if (!kept)
            err = errno ? errno : ENOSPC;
        if (originFd >= 0)
            ::close(originFd);
    }
    if (!kept) {
        dropCopy();
        closeStaged();
        return fail(SafeFileError::Copy, err);
    }
    syncFolderOf(copy);

    const bool written = copyContent(staged, targetFd_, err);
    closeStaged();
    if (!written) {
        // The old content goes back; the copy stays where even that fails.
        int restoreError = 0;
        if (copyContent(copyFd, targetFd_, restoreError))
            dropCopy();
        else
            ::close(copyFd);
        return fail(SafeFileError::Write, err);
    }
    dropCopy();
    release();
    return true;
}

SafeFileError SafeFileWriter::refusal(const std::string &target)
{
    const Resolved resolved = resolveLinks(target);
    if (resolved.error == SafeFileError::Link)
        return resolved.error;
    struct stat st;
    if (::lstat(resolved.path.c_str(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode) && !S_ISLNK(st.st_mode))
        return SafeFileError::NotAFile;
    return SafeFileError::None;
}

std::string SafeFileWriter::copyFolder()
{
    const char *data = std::getenv("XDG_DATA_HOME");
    fs::path base;
    if (data && data[0] == '/') {
        base = data;
    } else {
        const char *home = std::getenv("HOME");
        if (!home || home[0] != '/')
            return {};
        base = fs::path(home) / ".local" / "share";
    }
    return (base / "kelpa" / "save-copies").string();
}

std::vector<LeftCopy> SafeFileWriter::leftCopies()
{
    std::vector<LeftCopy> left;
    const std::string folder = copyFolder();
    DIR *dir = folder.empty() ? nullptr : ::opendir(folder.c_str());
    if (!dir)
        return left;
    while (const dirent *entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        const bool staged = writerInCopyFolder(name, kStagedEnding) > 0;
        const long writer = staged ? writerInCopyFolder(name, kStagedEnding) : writerInCopyFolder(name, kCopyEnding);
        if (!processIsGone(writer))
            continue;
        const std::string full = (fs::path(folder) / name).string();
        const int fd = openInCopyFolder(full, O_RDONLY);
        if (fd < 0)
            continue;
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            if (staged) {
                ::unlink(full.c_str());
            } else {
                LeftCopy found{full, {}};
                const std::string origin = full.substr(0, full.size() - std::strlen(kCopyEnding)) + kOriginEnding;
                // Only shown to the user: a name of at most a path's length, taken as it is.
                if (const int originFd = openInCopyFolder(origin, O_RDONLY); originFd >= 0) {
                    char buffer[PATH_MAX];
                    const ssize_t n = ::read(originFd, buffer, sizeof buffer);
                    if (n > 0)
                        found.original.assign(buffer, static_cast<std::size_t>(n));
                    ::close(originFd);
                }
                left.push_back(std::move(found));
            }
        }
        ::close(fd);
    }
    ::closedir(dir);
    std::sort(left.begin(), left.end(), [](const LeftCopy &a, const LeftCopy &b) { return a.copy < b.copy; });
    return left;
}

} // namespace kelpa
