// Running out of memory in the middle of a merge or a load: the operation fails with
// "KPD:MAlloc" and the store stays as it was. Large requests fail while the switch is on.
#include "spell/TKPD.h"

#include "common/TempDir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

namespace {
std::atomic<bool> failLargeRequests{false};
constexpr std::size_t Large = 256 * 1024;

void *allocate(std::size_t n)
{
    if (failLargeRequests.load() && n >= Large)
        throw std::bad_alloc();
    if (void *p = std::malloc(n ? n : 1))
        return p;
    throw std::bad_alloc();
}
} // namespace

void *operator new(std::size_t n) { return allocate(n); }
void *operator new[](std::size_t n) { return allocate(n); }
void operator delete(void *p) noexcept { std::free(p); }
void operator delete[](void *p) noexcept { std::free(p); }
void operator delete(void *p, std::size_t) noexcept { std::free(p); }
void operator delete[](void *p, std::size_t) noexcept { std::free(p); }

namespace {

using kelpa::spell::TKPD;

struct LargeRequestsFail {
    LargeRequestsFail() { failLargeRequests = true; }
    ~LargeRequestsFail() { failLargeRequests = false; }
};

std::string manyWords(int n, const char *prefix)
{
    std::string list;
    for (int i = 0; i < n; ++i)
        list += prefix + std::to_string(i) + "\r";
    return list;
}

TEST(TKPDOutOfMemory, MergeLeavesTheStoreAsItWas)
{
    TKPD d;
    ASSERT_TRUE(d.Merge(manyWords(20000, "old")));
    d.Modified = false;
    const std::string list = manyWords(60000, "new");
    bool merged = true;
    {
        LargeRequestsFail fail;
        merged = d.Merge(list);
    }
    EXPECT_FALSE(merged);
    EXPECT_EQ(d.Error, 1);
    EXPECT_EQ(d.ErrorText(), "KPD:MAlloc");
    EXPECT_EQ(d.Count, 20000);
    EXPECT_FALSE(d.Modified);
    EXPECT_EQ(d.Find("new5"), -1);
    EXPECT_GE(d.Find("old0"), 0);
    // With memory back, the same merge goes through.
    EXPECT_TRUE(d.Merge(list));
    EXPECT_EQ(d.Count, 80000);
}

TEST(TKPDOutOfMemory, LoadLeavesTheStoreAsItWas)
{
    kelpa::test::TempDir dir;
    const std::string path = dir.file("big.kpd");
    {
        TKPD big;
        ASSERT_TRUE(big.Merge(manyWords(60000, "w")));
        ASSERT_TRUE(big.SaveToFile(path));
    }
    TKPD d;
    d.Add("kept");
    d.Modified = false;
    bool loaded = true;
    {
        LargeRequestsFail fail;
        loaded = d.LoadFromFile(path);
    }
    EXPECT_FALSE(loaded);
    // Ours or the byte coder's allocation failure, whichever comes first.
    EXPECT_TRUE(d.Error == 1 || d.Error == 1001) << d.Error;
    EXPECT_EQ(d.Count, 1);
    EXPECT_EQ(d.Find("kept"), 0);
    EXPECT_FALSE(d.Modified);
    EXPECT_TRUE(d.LoadFromFile(path));
    EXPECT_EQ(d.Count, 60000);
}

} // namespace
