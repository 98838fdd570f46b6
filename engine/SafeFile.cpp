#include "engine/SafeFile.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <filesystem>

#include <fcntl.h>
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

// A new, empty file beside target, made with the usual mode for new files; -1 and errno when
// that is not possible.
int createBeside(const std::string &target, std::string &tempName)
{
    static std::atomic<unsigned> counter{0};
    const fs::path path(target);
    const fs::path dir = folderOf(path);
    const std::string base = "." + path.filename().string();
    for (int attempt = 0; attempt < 100; ++attempt) {
        const auto now = static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count());
        const unsigned tag = static_cast<unsigned>(::getpid()) * 2654435761u ^ now ^ (++counter * 40503u);
        char suffix[16];
        std::snprintf(suffix, sizeof suffix, ".~%08x", tag);
        tempName = (dir / (base + suffix)).string();
        int fd = ::open(tempName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno == ENAMETOOLONG) {
            // The target's own name is as long as a name may be.
            tempName = (dir / (std::string(".~kelpa") + suffix)).string();
            fd = ::open(tempName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        }
        if (fd >= 0 || errno != EEXIST) {
            if (fd < 0)
                tempName.clear();
            return fd;
        }
    }
    tempName.clear();
    return -1;
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
}

SafeFileWriter::~SafeFileWriter()
{
    if (fd_ >= 0)
        ::close(fd_);
    if (!temp_.empty())
        ::unlink(temp_.c_str());
}

bool SafeFileWriter::fail(SafeFileError error, int err)
{
    error_ = error;
    errno_ = err;
    return false;
}

bool SafeFileWriter::write(const void *data, std::size_t length)
{
    if (fd_ < 0)
        return fail(SafeFileError::Write, EBADF);
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
    if (fd_ >= 0 && !direct_) {
        ::close(fd_);
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

    // A filled-in-by-name file is reopened to be flushed.
    const int fd = handedOver_ ? ::open(temp_.c_str(), O_RDONLY | O_CLOEXEC) : fd_;
    fd_ = -1;
    if (fd < 0)
        return fail(SafeFileError::Flush, errno);
    if (existed_) {
        // Best effort: only the superuser may give the file back to another owner.
        [[maybe_unused]] const int owned = ::fchown(fd, owner_, group_);
        ::fchmod(fd, mode_);
    }
    if (::fsync(fd) != 0) {
        const int err = errno;
        ::close(fd);
        return fail(SafeFileError::Flush, err);
    }
    if (::close(fd) != 0)
        return fail(SafeFileError::Flush, errno);
    if (::rename(temp_.c_str(), target_.c_str()) != 0)
        return fail(SafeFileError::Replace, errno);
    temp_.clear();
    syncFolderOf(target_);
    return true;
}

} // namespace kelpa
