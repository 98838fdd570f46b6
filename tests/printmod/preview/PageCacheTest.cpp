#include "printmod/preview/core/PageCache.h"

#include "common/RandomBytes.h"
#include "common/TempDir.h"

#include <fstream>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

using namespace kelpa::preview;
using kelpa::test::TempDir;
namespace fs = std::filesystem;

namespace {

std::vector<std::uint8_t> page(int n)
{
    return kelpa::test::randomBytes(std::size_t(1000 + 37 * n), unsigned(n + 1));
}

std::vector<std::string> namesIn(const fs::path &folder)
{
    std::vector<std::string> names;
    for (const auto &e : fs::directory_iterator(folder))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// zlib's deflate with the parameters the page files are written with, spelled out.
std::vector<std::uint8_t> deflateLevel1(const std::vector<std::uint8_t> &in)
{
    z_stream z{};
    EXPECT_EQ(deflateInit2(&z, 1, Z_DEFLATED, 15, 8, Z_DEFAULT_STRATEGY), Z_OK);
    std::vector<std::uint8_t> out(deflateBound(&z, uLong(in.size())));
    z.next_in = const_cast<Bytef *>(in.data());
    z.avail_in = uInt(in.size());
    z.next_out = out.data();
    z.avail_out = uInt(out.size());
    EXPECT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

} // namespace

TEST(PageCache, RoundTripPlainAndCompressed)
{
    for (bool compress : {false, true}) {
        TempDir dir;
        std::string error;
        auto cache = PageCache::open(dir.path(), compress, error);
        ASSERT_TRUE(cache) << error;
        for (int i = 0; i < 12; ++i)
            ASSERT_TRUE(cache->store(i, page(i)));
        // Only the kept form of each page is in the folder, named as the pages are numbered.
        auto names = namesIn(cache->folder());
        EXPECT_EQ(names.size(), 13u); // twelve pages and the lock
        EXPECT_TRUE(fs::exists(cache->folder() / (compress ? "PreviewMetafile11.CPR" : "PreviewMetafile11")));
        EXPECT_FALSE(fs::exists(cache->folder() / (compress ? "PreviewMetafile11" : "PreviewMetafile11.CPR")));
        for (int i = 0; i < 12; ++i) {
            auto r = cache->restore(i);
            ASSERT_EQ(r.status, PageCache::Status::Ok) << i;
            EXPECT_EQ(r.bytes, page(i)) << i;
            if (compress) {
                EXPECT_EQ(kelpa::test::readBytes(cache->path(i).string()), deflateLevel1(page(i)));
            }
        }
        const fs::path folder = cache->folder();
        cache->close();
        EXPECT_FALSE(fs::exists(folder));
        EXPECT_TRUE(fs::is_empty(dir.path()));
    }
}

TEST(PageCache, LookupsStayWithinThePagesStored)
{
    TempDir dir;
    std::string error;
    auto cache = PageCache::open(dir.path(), false, error);
    ASSERT_TRUE(cache);
    ASSERT_TRUE(cache->store(0, page(0)));
    // A file of a higher number put there by anybody else is not a page of this preview.
    kelpa::test::writeBytes((cache->folder() / "PreviewMetafile1").string(), page(1));
    EXPECT_EQ(cache->restore(1).status, PageCache::Status::Missing);
    EXPECT_EQ(cache->restore(-1).status, PageCache::Status::Missing);
    EXPECT_TRUE(cache->has(0));
    EXPECT_FALSE(cache->has(1));
    fs::remove(cache->path(0));
    EXPECT_FALSE(cache->has(0));
    EXPECT_EQ(cache->lastIndex(), 0);
}

TEST(PageCache, DamagedCompressedPagesAreReported)
{
    TempDir dir;
    std::string error;
    auto cache = PageCache::open(dir.path(), true, error);
    ASSERT_TRUE(cache);
    ASSERT_TRUE(cache->store(0, page(0)));
    const auto good = kelpa::test::readBytes(cache->path(0).string());
    struct Case {
        const char *what;
        std::vector<std::uint8_t> bytes;
    };
    auto truncated = good;
    truncated.resize(good.size() / 2);
    auto flipped = good;
    flipped[good.size() / 2] ^= 0x55;
    auto badChecksum = good;
    badChecksum.back() ^= 1;
    auto trailing = good;
    trailing.push_back(0);
    const Case cases[] = {{"truncated", truncated}, {"flipped byte", flipped},
                          {"checksum", badChecksum}, {"trailing data", trailing},
                          {"empty", {}}, {"not zlib", page(3)}};
    for (const Case &c : cases) {
        kelpa::test::writeBytes(cache->path(0).string(), c.bytes);
        auto r = cache->restore(0);
        EXPECT_EQ(r.status, PageCache::Status::Damaged) << c.what;
        EXPECT_TRUE(r.bytes.empty()) << c.what;
        EXPECT_FALSE(r.error.empty()) << c.what;
    }
}

TEST(PageCache, InflateStopsAtItsLimit)
{
    const std::vector<std::uint8_t> zeros(100000, 0);
    const auto packed = deflatePageFile(zeros);
    std::vector<std::uint8_t> out;
    EXPECT_TRUE(inflatePageFile(packed.data(), packed.size(), out));
    EXPECT_EQ(out, zeros);
    EXPECT_FALSE(inflatePageFile(packed.data(), packed.size(), out, 99999));
}

TEST(PageCache, TwoCachesInOneFolderKeepTheirOwnPages)
{
    TempDir dir;
    std::string error;
    auto a = PageCache::open(dir.path(), false, error);
    auto b = PageCache::open(dir.path(), false, error);
    ASSERT_TRUE(a && b);
    EXPECT_NE(a->folder(), b->folder());
    ASSERT_TRUE(a->store(0, page(1)));
    ASSERT_TRUE(b->store(0, page(2)));
    b->close();
    auto r = a->restore(0);
    ASSERT_EQ(r.status, PageCache::Status::Ok);
    EXPECT_EQ(r.bytes, page(1));
}

TEST(PageCache, FoldersOfDeadProcessesAreSweptLiveOnesKept)
{
    TempDir dir;
    // A child opens a cache, stores pages and dies without closing it.
    const pid_t child = fork();
    if (child == 0) {
        std::string error;
        auto cache = PageCache::open(dir.path(), true, error);
        if (cache)
            for (int i = 0; i < 3; ++i)
                cache->store(i, page(i));
        _exit(cache ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_EQ(WEXITSTATUS(status), 0);
    ASSERT_EQ(namesIn(dir.path()).size(), 1u);
    // A folder that is not a cache, with a similar name, stays.
    fs::create_directory(dir.path() / "kpp-preview-other");
    kelpa::test::writeText((dir.path() / "kpp-preview-other" / "notes.txt").string(), "mine");

    std::string error;
    auto live = PageCache::open(dir.path(), false, error); // sweeps on opening
    ASSERT_TRUE(live);
    ASSERT_TRUE(live->store(0, page(0)));
    auto names = namesIn(dir.path());
    std::vector<std::string> expected{live->folder().filename().string(), "kpp-preview-other"};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(names, expected);
    EXPECT_TRUE(fs::exists(dir.path() / "kpp-preview-other" / "notes.txt"));
    // The live cache survives a sweep by somebody else.
    PageCache::sweepStale(dir.path());
    EXPECT_EQ(live->restore(0).status, PageCache::Status::Ok);
}

TEST(PageCache, UnwritablePlacesFailCleanly)
{
    TempDir dir;
    kelpa::test::writeText(dir.file("file"), "x");
    std::string error;
    EXPECT_FALSE(PageCache::open(dir.path() / "file" / "sub", false, error));
    EXPECT_FALSE(error.empty());

    auto cache = PageCache::open(dir.path(), false, error);
    ASSERT_TRUE(cache);
    // A folder in the page file's place: the store fails and nothing is left of it.
    fs::create_directory(cache->path(4));
    EXPECT_FALSE(cache->store(4, page(4)));
    fs::remove(cache->path(4));
    EXPECT_EQ(cache->restore(4).status, PageCache::Status::Missing);
    EXPECT_TRUE(cache->store(5, page(5)));
}
