// The whole checking run over a 500,000-word English text with the English dictionary of the
// program folder (every unknown word found, the run going on after each), beside Debian's
// hunspell listing the unknown words of the same text; and a merge of a 1M-word list into the
// English dictionary.
#include "spell/CheckRun.h"
#include "spell/TKPD.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

using kelpa::spell::FindUnknownWord;
using kelpa::spell::ScanOutcome;
using kelpa::spell::ScanResult;
using kelpa::spell::TKPD;

namespace {

constexpr int TextWords = 500000;

const TKPD &english()
{
    static TKPD d;
    static bool loaded = false;
    if (!loaded) {
        loaded = true;
        if (!d.LoadFromFile(KELPA_PROGRAM_DIR "/English.kpd"))
            std::fprintf(stderr, "no English dictionary in the program folder: %s\n", d.ErrorText().c_str());
    }
    return d;
}

std::vector<std::string> englishWords()
{
    std::vector<std::string> words;
    std::ifstream in("/usr/share/dict/american-english");
    std::string line;
    while (std::getline(in, line))
        if (!line.empty() && static_cast<unsigned char>(line[0]) < 0x80
            && line.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ'") == std::string::npos)
            words.push_back(line);
    return words;
}

// Sentences of dictionary words, one word in fifty misspelt (two letters swapped or one
// dropped), capitals at sentence starts, punctuation, lines of about ten words and paragraphs.
const std::string &englishText()
{
    static std::string text;
    if (!text.empty())
        return text;
    const std::vector<std::string> words = englishWords();
    if (words.empty())
        return text;
    std::mt19937_64 rng(17);
    bool sentenceStart = true;
    for (int i = 0; i < TextWords; ++i) {
        std::string w = words[rng() % words.size()];
        if (rng() % 50 == 0 && w.size() > 3) {
            const std::size_t at = 1 + rng() % (w.size() - 2);
            if (rng() % 2)
                std::swap(w[at], w[at + 1]);
            else
                w.erase(at, 1);
        }
        if (sentenceStart && w[0] >= 'a' && w[0] <= 'z')
            w[0] = static_cast<char>(w[0] - 32);
        sentenceStart = false;
        text += w;
        const unsigned r = rng() % 100;
        if (r < 6) {
            text += ". ";
            sentenceStart = true;
        } else if (r < 10) {
            text += ", ";
        } else if (r < 11) {
            text += ".\n\n";
            sentenceStart = true;
        } else if (r < 20) {
            text += '\n';
        } else {
            text += ' ';
        }
    }
    return text;
}

void BM_CheckingRun(benchmark::State &state)
{
    const TKPD &dict = english();
    const std::string &text = englishText();
    if (dict.Count == 0 || text.empty()) {
        state.SkipWithError("no dictionary or word list");
        return;
    }
    std::size_t unknown = 0;
    for (auto _ : state) {
        unknown = 0;
        std::size_t pos = 0;
        for (;;) {
            const ScanOutcome o = FindUnknownWord(std::string_view(text).substr(pos), dict);
            if (o.result != ScanResult::Found)
                break;
            ++unknown;
            pos += o.start + o.length;
        }
        benchmark::DoNotOptimize(unknown);
    }
    state.counters["unknown"] = static_cast<double>(unknown);
    state.counters["words/s"] = benchmark::Counter(static_cast<double>(TextWords) * static_cast<double>(state.iterations()),
                                                   benchmark::Counter::kIsRate);
}
BENCHMARK(BM_CheckingRun)->Unit(benchmark::kMillisecond);

// The anchor: hunspell -l -d en_US on the same text, from its start to its last line of output.
void BM_Hunspell(benchmark::State &state)
{
    const std::string &text = englishText();
    if (text.empty()) {
        state.SkipWithError("no word list");
        return;
    }
    const std::string file = (std::filesystem::temp_directory_path() / ("kelpa-bench-" + std::to_string(::getpid()) + ".txt")).string();
    {
        std::ofstream out(file, std::ios::binary);
        out << text;
    }
    std::size_t unknown = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        FILE *p = ::popen(("hunspell -l -d en_US " + file + " 2>/dev/null").c_str(), "r");
        if (!p) {
            state.SkipWithError("hunspell cannot be started");
            break;
        }
        unknown = 0;
        char line[512];
        while (std::fgets(line, sizeof line, p))
            ++unknown;
        const int status = ::pclose(p);
        const auto end = std::chrono::steady_clock::now();
        if (status != 0 && unknown == 0) {
            state.SkipWithError("hunspell failed (is hunspell-en-us installed?)");
            break;
        }
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
    }
    std::filesystem::remove(file);
    state.counters["unknown"] = static_cast<double>(unknown);
    state.counters["words/s"] = benchmark::Counter(static_cast<double>(TextWords) * static_cast<double>(state.iterations()),
                                                   benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Hunspell)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);

// A list of 1M words (a tenth of them English words, the rest new) merged into the English
// dictionary.
void BM_MergeMillionWords(benchmark::State &state)
{
    const TKPD &dict = english();
    const std::vector<std::string> words = englishWords();
    if (dict.Count == 0 || words.empty()) {
        state.SkipWithError("no dictionary or word list");
        return;
    }
    std::mt19937_64 rng(5);
    std::string list;
    for (int i = 0; i < 1000000; ++i) {
        std::string w = words[rng() % words.size()];
        if (i % 10 != 0)
            w += static_cast<char>('a' + rng() % 26), w += static_cast<char>('a' + rng() % 26),
                w += static_cast<char>('a' + rng() % 26);
        list += w;
        list += '\r';
    }
    list += '\0';
    int added = 0;
    for (auto _ : state) {
        state.PauseTiming();
        TKPD d;
        d.Assign(dict);
        state.ResumeTiming();
        d.Merge(list);
        added = d.Count - dict.Count;
        benchmark::DoNotOptimize(added);
    }
    state.counters["added"] = added;
}
BENCHMARK(BM_MergeMillionWords)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
