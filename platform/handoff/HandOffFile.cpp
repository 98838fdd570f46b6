#include "platform/handoff/HandOffFile.h"

#include <atomic>
#include <cerrno>
#include <random>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kelpa::handoff {

namespace {

FileId idOfStat(const struct stat &st)
{
    return FileId{static_cast<unsigned long long>(st.st_dev), static_cast<unsigned long long>(st.st_ino)};
}

// "." + name + "." + process id + "." + counter + random tag, beside the target.
std::string temporaryName(const std::string &path)
{
    static std::atomic<unsigned> counter{0};
    static std::mt19937 random{std::random_device{}()};
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    return folder + "." + name + "." + std::to_string(::getpid()) + "." + std::to_string(counter++) + "."
           + std::to_string(random() % 1000000u);
}

bool writeAll(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

} // namespace

WriteResult write(const std::string &path, std::string_view bytes)
{
    WriteResult result;
    std::string temp;
    int fd = -1;
    for (int attempt = 0; attempt < 16 && fd < 0; ++attempt) {
        temp = temporaryName(path);
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, S_IRUSR | S_IWUSR);
        if (fd < 0 && errno != EEXIST) {
            result.error = errno;
            return result;
        }
    }
    if (fd < 0) {
        result.error = EEXIST;
        return result;
    }
    struct stat st {};
    // A umask may not take the owner's own bits away either.
    if (::fchmod(fd, S_IRUSR | S_IWUSR) != 0 || !writeAll(fd, bytes) || ::fstat(fd, &st) != 0) {
        result.error = errno;
        ::close(fd);
        ::unlink(temp.c_str());
        return result;
    }
    if (::close(fd) != 0 || ::rename(temp.c_str(), path.c_str()) != 0) {
        result.error = errno;
        ::unlink(temp.c_str());
        return result;
    }
    result.id = idOfStat(st);
    return result;
}

int openForReading(const std::string &path, int *error, FileId *id)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        *error = errno;
        return -1;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        *error = errno;
        ::close(fd);
        return -1;
    }
    if (!S_ISREG(st.st_mode) || st.st_uid != ::geteuid()) {
        *error = EPERM;
        ::close(fd);
        return -1;
    }
    // Reading a regular file does not wait anyway; the reader's stream may as well block.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    *error = 0;
    if (id)
        *id = idOfStat(st);
    return fd;
}

ReadResult read(const std::string &path, std::size_t limit)
{
    ReadResult result;
    const int fd = openForReading(path, &result.error, &result.id);
    if (fd < 0)
        return result;
    result.bytes.resize(limit);
    std::size_t got = 0;
    while (got < limit) {
        const ssize_t n = ::read(fd, result.bytes.data() + got, limit - got);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            result.error = errno;
            break;
        }
        if (n == 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    ::close(fd);
    result.bytes.resize(result.error ? 0 : got);
    return result;
}

bool exists(const std::string &path)
{
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid();
}

FileId idOf(const std::string &path)
{
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0)
        return {};
    return idOfStat(st);
}

} // namespace kelpa::handoff
