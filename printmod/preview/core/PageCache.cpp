#include "PageCache.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <zlib.h>

namespace fs = std::filesystem;

namespace kelpa::preview {

namespace {

constexpr const char *kLockName = ".lock";

bool readWhole(const fs::path &p, std::vector<std::uint8_t> &out, bool &missing)
{
    missing = false;
    std::FILE *f = std::fopen(p.c_str(), "rb");
    if (!f) {
        missing = errno == ENOENT;
        return false;
    }
    out.clear();
    std::uint8_t buf[65536];
    bool ok = true;
    for (;;) {
        const std::size_t n = std::fread(buf, 1, sizeof buf, f);
        out.insert(out.end(), buf, buf + n);
        if (out.size() > kMaxPageFileSize) {
            ok = false;
            break;
        }
        if (n < sizeof buf) {
            ok = !std::ferror(f);
            break;
        }
    }
    std::fclose(f);
    return ok;
}

bool writeWhole(const fs::path &p, const std::vector<std::uint8_t> &bytes, std::string *error)
{
    errno = 0;
    std::FILE *f = std::fopen(p.c_str(), "wb");
    if (!f) {
        if (error)
            *error = "cannot write " + p.string() + ": " + std::strerror(errno);
        return false;
    }
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    ok = std::fflush(f) == 0 && ok;
    const int writeErrno = errno;
    ok = std::fclose(f) == 0 && ok;
    if (!ok) {
        if (error)
            *error = "cannot write " + p.string() + ": " + std::strerror(writeErrno ? writeErrno : errno);
        std::error_code ec;
        fs::remove(p, ec);
    }
    return ok;
}

bool isPageFileName(const std::string &name)
{
    const std::string prefix = kPageFilePrefix;
    if (name.compare(0, prefix.size(), prefix) != 0 || name.size() == prefix.size())
        return false;
    std::size_t i = prefix.size();
    while (i < name.size() && name[i] >= '0' && name[i] <= '9')
        ++i;
    return i > prefix.size() && (i == name.size() || name.substr(i) == kCompressedSuffix);
}

// Removes what a cache leaves in its folder, and the folder when nothing else is in it.
void removeCacheFolder(const fs::path &folder)
{
    std::error_code ec;
    for (const auto &e : fs::directory_iterator(folder, ec)) {
        const std::string name = e.path().filename().string();
        if (isPageFileName(name) || name == kLockName)
            fs::remove(e.path(), ec);
    }
    fs::remove(folder, ec); // fails, harmlessly, when something else lives there
}

} // namespace

std::string pageFileName(int index, bool compressed)
{
    std::string s = kPageFilePrefix + std::to_string(index);
    if (compressed)
        s += kCompressedSuffix;
    return s;
}

std::vector<std::uint8_t> deflatePageFile(const std::vector<std::uint8_t> &bytes)
{
    uLongf size = compressBound(uLong(bytes.size()));
    std::vector<std::uint8_t> out(size);
    if (compress2(out.data(), &size, bytes.data(), uLong(bytes.size()), Z_BEST_SPEED) != Z_OK)
        throw std::bad_alloc();
    out.resize(size);
    return out;
}

bool inflatePageFile(const std::uint8_t *data, std::size_t size, std::vector<std::uint8_t> &out,
                     std::size_t limit)
{
    z_stream z{};
    if (inflateInit(&z) != Z_OK)
        return false;
    out.clear();
    z.next_in = const_cast<Bytef *>(data);
    z.avail_in = uInt(size);
    std::uint8_t buf[4096];
    int rc = Z_OK;
    while (rc == Z_OK) {
        z.next_out = buf;
        z.avail_out = sizeof buf;
        rc = inflate(&z, Z_NO_FLUSH);
        if (rc != Z_OK && rc != Z_STREAM_END)
            break;
        out.insert(out.end(), buf, buf + (sizeof buf - z.avail_out));
        if (out.size() > limit) {
            rc = Z_DATA_ERROR;
            break;
        }
        // No progress with input left over means the stream is cut short.
        if (rc == Z_OK && z.avail_in == 0 && z.avail_out != 0) {
            rc = Z_BUF_ERROR;
            break;
        }
    }
    const bool ok = rc == Z_STREAM_END && z.avail_in == 0;
    inflateEnd(&z);
    if (!ok)
        out.clear();
    return ok;
}

fs::path PageCache::defaultBase()
{
    std::error_code ec;
    fs::path p = fs::temp_directory_path(ec);
    return ec ? fs::path("/tmp") : p;
}

std::unique_ptr<PageCache> PageCache::open(const fs::path &base, bool compress, std::string &error)
{
    std::error_code ec;
    fs::create_directories(base, ec);
    sweepStale(base);
    std::string templ = (base / (std::string(kCacheFolderPrefix) + std::to_string(getpid()) + "-XXXXXX")).string();
    if (!mkdtemp(templ.data())) {
        error = "cannot create the page folder in " + base.string() + ": " + std::strerror(errno);
        return nullptr;
    }
    const fs::path folder = templ;
    const int fd = ::open((folder / kLockName).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0 || flock(fd, LOCK_EX | LOCK_NB) != 0) {
        error = "cannot lock the page folder " + folder.string() + ": " + std::strerror(errno);
        if (fd >= 0)
            ::close(fd);
        removeCacheFolder(folder);
        return nullptr;
    }
    return std::unique_ptr<PageCache>(new PageCache(folder, fd, compress));
}

PageCache::PageCache(fs::path folder, int lockFd, bool compress)
    : folder_(std::move(folder)), lockFd_(lockFd), compress_(compress)
{
}

PageCache::~PageCache()
{
    close();
}

fs::path PageCache::path(int index) const
{
    return folder_ / pageFileName(index, compress_);
}

bool PageCache::store(int index, const std::vector<std::uint8_t> &bytes, std::string *error)
{
    if (lockFd_ < 0 || index < 0) {
        if (error)
            *error = "the page folder is closed";
        return false;
    }
    // Counted as written before the attempt, so a half-written file is deleted on close too.
    written_.insert(index);
    last_ = std::max(last_, index);
    return writeWhole(path(index), compress_ ? deflatePageFile(bytes) : bytes, error);
}

PageCache::Restored PageCache::restore(int index) const
{
    Restored r;
    if (lockFd_ < 0 || index < 0 || index > last_ || !written_.count(index))
        return r;
    bool missing = false;
    std::vector<std::uint8_t> raw;
    if (!readWhole(path(index), raw, missing)) {
        if (!missing) {
            r.status = Status::Damaged;
            r.error = "cannot read " + path(index).string();
        }
        return r;
    }
    if (!compress_) {
        r.status = Status::Ok;
        r.bytes = std::move(raw);
        return r;
    }
    if (!inflatePageFile(raw.data(), raw.size(), r.bytes)) {
        r.status = Status::Damaged;
        r.error = "the compressed page file " + path(index).filename().string() + " is damaged";
        return r;
    }
    r.status = Status::Ok;
    return r;
}

bool PageCache::has(int index) const
{
    std::error_code ec;
    return lockFd_ >= 0 && index >= 0 && index <= last_ && written_.count(index)
        && fs::is_regular_file(path(index), ec);
}

void PageCache::close()
{
    if (lockFd_ < 0)
        return;
    std::error_code ec;
    for (int i : written_)
        fs::remove(path(i), ec);
    written_.clear();
    fs::remove(folder_ / kLockName, ec);
    fs::remove(folder_, ec);
    ::close(lockFd_);
    lockFd_ = -1;
    last_ = -1;
}

void PageCache::sweepStale(const fs::path &base)
{
    std::error_code ec;
    const std::string prefix = kCacheFolderPrefix;
    for (const auto &e : fs::directory_iterator(base, ec)) {
        const std::string name = e.path().filename().string();
        if (name.compare(0, prefix.size(), prefix) != 0 || !e.is_directory(ec) || e.is_symlink(ec))
            continue;
        const fs::path lock = e.path() / kLockName;
        const int fd = ::open(lock.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW);
        if (fd < 0) {
            // No lock yet: a cache being made this moment, or one that died before locking.
            // Only an old folder is taken for dead.
            const auto age = fs::file_time_type::clock::now() - fs::last_write_time(e.path(), ec);
            if (!ec && age > std::chrono::hours(1))
                removeCacheFolder(e.path());
            continue;
        }
        if (flock(fd, LOCK_EX | LOCK_NB) == 0)
            removeCacheFolder(e.path()); // its owner is gone: nobody holds the lock
        ::close(fd);
    }
}

} // namespace kelpa::preview
