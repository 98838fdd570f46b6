// Dictionary store at 100k and 1M words: load, save (time and peak heap), Find hit and miss beside
// a hash set of the same words, Suggest for words of 4, 8 and 16 letters, and a merge of 100k new
// words into 1M.
#include "spell/Cp1251.h"
#include "spell/TKPD.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <malloc.h>
#include <map>
#include <memory>
#include <new>
#include <random>
#include <string>
#include <unistd.h>
#include <unordered_set>
#include <vector>

using kelpa::spell::TKPD;

// Heap in use and its peak, for the memory figures.
namespace {
std::atomic<std::size_t> heapNow{0};
std::atomic<std::size_t> heapPeak{0};

void *allocate(std::size_t n)
{
    void *p = std::malloc(n ? n : 1);
    if (!p)
        throw std::bad_alloc();
    const std::size_t now = heapNow.fetch_add(malloc_usable_size(p), std::memory_order_relaxed) + malloc_usable_size(p);
    std::size_t peak = heapPeak.load(std::memory_order_relaxed);
    while (now > peak && !heapPeak.compare_exchange_weak(peak, now, std::memory_order_relaxed)) {
    }
    return p;
}

void release(void *p) noexcept
{
    if (!p)
        return;
    heapNow.fetch_sub(malloc_usable_size(p), std::memory_order_relaxed);
    std::free(p);
}
} // namespace

void *operator new(std::size_t n) { return allocate(n); }
void *operator new[](std::size_t n) { return allocate(n); }
void operator delete(void *p) noexcept { release(p); }
void operator delete[](void *p) noexcept { release(p); }
void operator delete(void *p, std::size_t) noexcept { release(p); }
void operator delete[](void *p, std::size_t) noexcept { release(p); }

namespace {

// Pseudo-words: 70% Latin, 30% Cyrillic, 2 to 16 letters (most around 8), an occasional hyphen.
std::string makeWord(std::mt19937_64 &rng)
{
    static const std::string latin = "etaoinshrdlcumwfgypbvkjxqz";
    static std::string cyrillic;
    if (cyrillic.empty()) {
        for (int c = 0xE0; c <= 0xFF; ++c)
            cyrillic.push_back(static_cast<char>(c));
        cyrillic.push_back(static_cast<char>(0xB8));
    }
    const std::string &letters = rng() % 10 < 7 ? latin : cyrillic;
    std::normal_distribution<double> lengthDist(8.0, 3.0);
    const int length = std::clamp(static_cast<int>(lengthDist(rng)), 2, 16);
    std::string w;
    for (int i = 0; i < length; ++i) {
        // Skewed towards the first letters, as real text is.
        const double u = std::uniform_real_distribution<double>(0, 1)(rng);
        w.push_back(letters[static_cast<std::size_t>(u * u * static_cast<double>(letters.size()))]);
    }
    if (rng() % 50 == 0)
        w.insert(w.size() / 2, "-");
    return w;
}

std::vector<std::string> makeWords(std::size_t count, std::uint64_t seed, const std::unordered_set<std::string> *avoid = nullptr)
{
    std::mt19937_64 rng(seed);
    std::unordered_set<std::string> seen;
    std::vector<std::string> words;
    words.reserve(count);
    while (words.size() < count) {
        std::string w = makeWord(rng);
        if ((avoid && avoid->count(w)) || !seen.insert(w).second)
            continue;
        words.push_back(std::move(w));
    }
    return words;
}

std::string listOf(const std::vector<std::string> &words)
{
    std::string list;
    for (const auto &w : words)
        list += w + "\r";
    return list;
}

struct Data {
    std::vector<std::string> words;  // in the dictionary, in random order
    std::vector<std::string> misses; // not in it
    std::unordered_set<std::string> hash;
    TKPD dict;
    std::string file;
};

Data &data(std::size_t n)
{
    static std::map<std::size_t, std::unique_ptr<Data>> cache;
    auto &slot = cache[n];
    if (!slot) {
        slot = std::make_unique<Data>();
        slot->words = makeWords(n, 42);
        slot->hash.insert(slot->words.begin(), slot->words.end());
        slot->misses = makeWords(std::min<std::size_t>(n, 100000), 4242, &slot->hash);
        slot->dict.Merge(listOf(slot->words));
        slot->file = (std::filesystem::temp_directory_path() /
                      ("kelpa-bench-" + std::to_string(::getpid()) + "-" + std::to_string(n) + ".kpd"))
                         .string();
        if (!slot->dict.SaveToFile(slot->file))
            std::abort();
    }
    return *slot;
}

void reportPeak(benchmark::State &state, std::size_t base)
{
    state.counters["peak_MB"] = static_cast<double>(heapPeak.load() - base) / (1024.0 * 1024.0);
}

void BM_Load(benchmark::State &state)
{
    Data &d = data(static_cast<std::size_t>(state.range(0)));
    const std::size_t base = heapNow.load();
    heapPeak = base;
    for (auto _ : state) {
        TKPD dict;
        if (!dict.LoadFromFile(d.file))
            state.SkipWithError("load failed");
        benchmark::DoNotOptimize(dict.Count);
    }
    reportPeak(state, base);
    state.counters["file_MB"] = static_cast<double>(std::filesystem::file_size(d.file)) / (1024.0 * 1024.0);
}

void BM_Save(benchmark::State &state)
{
    Data &d = data(static_cast<std::size_t>(state.range(0)));
    const std::string path = d.file + ".save";
    const std::size_t base = heapNow.load();
    heapPeak = base;
    for (auto _ : state) {
        if (!d.dict.SaveToFile(path))
            state.SkipWithError("save failed");
    }
    reportPeak(state, base);
    std::filesystem::remove(path);
}

void BM_StoreMemory(benchmark::State &state)
{
    // Heap held by a loaded store, beside the hash set of the same words.
    Data &d = data(static_cast<std::size_t>(state.range(0)));
    std::size_t storeBytes = 0;
    std::size_t hashBytes = 0;
    for (auto _ : state) {
        const std::size_t before = heapNow.load();
        auto dict = std::make_unique<TKPD>();
        dict->LoadFromFile(d.file);
        storeBytes = heapNow.load() - before;
        const std::size_t before2 = heapNow.load();
        auto hash = std::make_unique<std::unordered_set<std::string>>(d.words.begin(), d.words.end());
        hashBytes = heapNow.load() - before2;
    }
    state.counters["store_MB"] = static_cast<double>(storeBytes) / (1024.0 * 1024.0);
    state.counters["hashset_MB"] = static_cast<double>(hashBytes) / (1024.0 * 1024.0);
}

void BM_FindHit(benchmark::State &state)
{
    Data &d = data(static_cast<std::size_t>(state.range(0)));
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(d.dict.Find(d.words[i]));
        if (++i == d.words.size())
            i = 0;
    }
}

void BM_FindMiss(benchmark::State &state)
{
    Data &d = data(static_cast<std::size_t>(state.range(0)));
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(d.dict.Find(d.misses[i]));
        if (++i == d.misses.size())
            i = 0;
    }
}

void BM_HashSetHit(benchmark::State &state)
{
    Data &d = data(static_cast<std::size_t>(state.range(0)));
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(d.hash.find(d.words[i]));
        if (++i == d.words.size())
            i = 0;
    }
}

void BM_HashSetMiss(benchmark::State &state)
{
    Data &d = data(static_cast<std::size_t>(state.range(0)));
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(d.hash.find(d.misses[i]));
        if (++i == d.misses.size())
            i = 0;
    }
}

void BM_Suggest(benchmark::State &state)
{
    // Misspellings (one letter changed) of dictionary words of the given length.
    Data &d = data(1000000);
    const std::size_t length = static_cast<std::size_t>(state.range(0));
    std::vector<std::string> queries;
    for (const auto &w : d.words) {
        if (w.size() != length || w.find('-') != std::string::npos)
            continue;
        std::string q = w;
        q[length / 2] = q[length / 2] == 'q' ? 'z' : 'q';
        if (d.dict.Find(q) < 0)
            queries.push_back(q);
        if (queries.size() == 200)
            break;
    }
    if (queries.empty()) {
        state.SkipWithError("no words of that length");
        return;
    }
    std::vector<std::string> list;
    std::size_t i = 0;
    for (auto _ : state) {
        d.dict.Suggest(queries[i], list);
        benchmark::DoNotOptimize(list.data());
        if (++i == queries.size())
            i = 0;
    }
}

void BM_Merge100kInto1M(benchmark::State &state)
{
    Data &d = data(1000000);
    const std::string list = listOf(makeWords(100000, 777, &d.hash));
    TKPD dict;
    const std::size_t base = heapNow.load();
    heapPeak = base;
    for (auto _ : state) {
        state.PauseTiming();
        dict.Assign(d.dict);
        state.ResumeTiming();
        if (!dict.Merge(list))
            state.SkipWithError("merge failed");
    }
    state.counters["words"] = dict.Count;
    reportPeak(state, base);
}

} // namespace

BENCHMARK(BM_Load)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Save)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StoreMemory)->Arg(100000)->Arg(1000000)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FindHit)->Arg(100000)->Arg(1000000);
BENCHMARK(BM_HashSetHit)->Arg(100000)->Arg(1000000);
BENCHMARK(BM_FindMiss)->Arg(100000)->Arg(1000000);
BENCHMARK(BM_HashSetMiss)->Arg(100000)->Arg(1000000);
BENCHMARK(BM_Suggest)->Arg(4)->Arg(8)->Arg(16)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Merge100kInto1M)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    for (std::size_t n : {std::size_t(100000), std::size_t(1000000)})
        std::filesystem::remove(std::filesystem::temp_directory_path() /
                                ("kelpa-bench-" + std::to_string(::getpid()) + "-" + std::to_string(n) + ".kpd"));
    return 0;
}
