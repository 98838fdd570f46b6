#pragma once
// The preview's page cache: one file per page, "PreviewMetafile" + n (n from 0, no padding),
// with ".CPR" appended when the pages are kept compressed (one zlib stream, fastest level).
// The files live in a folder of their own for each process, so two print modules never share
// or delete each other's pages; closing deletes exactly the files written and the folder.
// A folder is held by a lock on its ".lock" file for as long as its cache is open, so folders
// left by a process that died are recognised and swept by the next cache opened beside them.
#include <cstdint>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace kelpa::preview {

inline constexpr const char *kPageFilePrefix = "PreviewMetafile";
inline constexpr const char *kCompressedSuffix = ".CPR";
inline constexpr const char *kCacheFolderPrefix = "kpp-preview-";
// No page file inflates beyond this (a full-page picture at 600 dpi stays well below it).
inline constexpr std::size_t kMaxPageFileSize = std::size_t(512) << 20;

// "PreviewMetafile" + n, with ".CPR" when compressed.
std::string pageFileName(int index, bool compressed);

// zlib stream at the fastest level (window 15 bits, memory level 8, default strategy).
std::vector<std::uint8_t> deflatePageFile(const std::vector<std::uint8_t> &bytes);
// False on anything but one complete stream that inflates to at most `limit` bytes.
bool inflatePageFile(const std::uint8_t *data, std::size_t size, std::vector<std::uint8_t> &out,
                     std::size_t limit = kMaxPageFileSize);

class PageCache {
public:
    // Opens a new folder of this process inside `base` (created when missing), after sweeping
    // the folders of dead processes there. Null, with `error` set, when that fails.
    static std::unique_ptr<PageCache> open(const std::filesystem::path &base, bool compress,
                                           std::string &error);
    // The folder for caches when none is given: the system's temporary folder.
    static std::filesystem::path defaultBase();
    ~PageCache();
    PageCache(const PageCache &) = delete;
    PageCache &operator=(const PageCache &) = delete;

    bool compressed() const { return compress_; }
    const std::filesystem::path &folder() const { return folder_; }
    std::filesystem::path path(int index) const;

    // Writes page `index` (over an earlier one of the same number). False when the file
    // cannot be written whole (with the reason in `error`); nothing of it is left then.
    bool store(int index, const std::vector<std::uint8_t> &bytes, std::string *error = nullptr);

    enum class Status { Ok, Missing, Damaged };
    struct Restored {
        Status status = Status::Missing;
        std::vector<std::uint8_t> bytes; // the page file's bytes as they were stored
        std::string error;               // for Damaged
    };
    // Never looks beyond the highest index stored.
    Restored restore(int index) const;
    // Whether page `index` has its file (nothing is read).
    bool has(int index) const;
    int lastIndex() const { return last_; }

    // Deletes the files written and the folder; the cache is unusable afterwards.
    void close();

    // Removes the page files, lock and folder of every cache in `base` whose process is gone.
    static void sweepStale(const std::filesystem::path &base);

private:
    PageCache(std::filesystem::path folder, int lockFd, bool compress);
    std::filesystem::path folder_;
    int lockFd_ = -1;
    bool compress_ = false;
    int last_ = -1;
    std::set<int> written_;
};

} // namespace kelpa::preview
