// Throughput of the byte coder, the ciphers and whole documents, beside zlib on the same input.
#include "engine/CBlowFish.h"
#include "engine/EC4.h"
#include "engine/TOBRINEngine.h"
#include "engine/TQCmp.h"

#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

using namespace kelpa::engine;

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t TextSize = 16 << 20;

// Rich text as the editor writes it: control words, groups and paragraphs of English-like words.
const Bytes &rtfText()
{
    static const Bytes text = [] {
        static const char *const words[] = {"the", "of", "and", "to", "a", "in", "is", "that",
            "for", "it", "as", "was", "with", "be", "by", "on", "not", "he", "this", "are", "or",
            "document", "editor", "page", "password", "printing", "dictionary", "Kelpa", "window",
            "settings", "encrypted", "compressed", "header", "footer", "margin", "preview"};
        static const char *const controls[] = {"\\b ", "\\b0 ", "\\i ", "\\i0 ", "\\ul ",
            "\\ulnone ", "\\fs24 ", "\\fs20 ", "\\cf1 ", "\\cf0 "};
        std::mt19937 rng(2024);
        std::string s = "{\\rtf1\\ansi\\ansicpg1252\\deff0\\deflang1033{\\fonttbl{\\f0\\fswiss"
                        "\\fcharset0 Arial;}{\\f1\\fnil\\fcharset0 Courier New;}}\r\n"
                        "{\\colortbl ;\\red255\\green0\\blue0;}\r\n\\viewkind4\\uc1\\pard\\f0\\fs20 ";
        int inLine = 0;
        while (s.size() < TextSize) {
            const unsigned r = rng() % 100;
            if (r < 4)
                s += controls[rng() % 10];
            else if (r < 6) {
                s += "\\par\r\n";
                inLine = 0;
                continue;
            }
            std::string w = words[rng() % 36];
            if (inLine == 0)
                w[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(w[0])));
            s += w;
            s += rng() % 12 == 0 ? ", " : " ";
            ++inLine;
        }
        s.resize(TextSize - 3);
        s += "\r\n}";
        return Bytes(s.begin(), s.end());
    }();
    return text;
}

void setBytes(benchmark::State &state, std::size_t n)
{
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(n));
}

void CoderCompress(benchmark::State &state)
{
    const Bytes &in = rtfText();
    std::size_t out = 0;
    for (auto _ : state) {
        TQCmp c;
        c.Compress(in.data(), in.size());
        out = static_cast<std::size_t>(c.OutputLength);
        benchmark::DoNotOptimize(c.Output.data());
    }
    setBytes(state, in.size());
    state.counters["ratio"] = double(out) / double(in.size());
}

void CoderDecompress(benchmark::State &state)
{
    const Bytes &in = rtfText();
    TQCmp c;
    c.Compress(in.data(), in.size());
    Bytes block;
    c.CopyOutput(block);
    for (auto _ : state) {
        TQCmp d;
        if (!d.Decompress(block.data(), block.size()))
            state.SkipWithError("decompress failed");
        benchmark::DoNotOptimize(d.Output.data());
    }
    setBytes(state, in.size());
}

void ZlibCompress1(benchmark::State &state)
{
    const Bytes &in = rtfText();
    Bytes out(compressBound(in.size()));
    uLongf outLen = 0;
    for (auto _ : state) {
        outLen = out.size();
        compress2(out.data(), &outLen, in.data(), in.size(), 1);
        benchmark::DoNotOptimize(out.data());
    }
    setBytes(state, in.size());
    state.counters["ratio"] = double(outLen) / double(in.size());
}

void ZlibUncompress(benchmark::State &state)
{
    const Bytes &in = rtfText();
    Bytes packed(compressBound(in.size()));
    uLongf packedLen = packed.size();
    compress2(packed.data(), &packedLen, in.data(), in.size(), 1);
    Bytes out(in.size());
    for (auto _ : state) {
        uLongf outLen = out.size();
        uncompress(out.data(), &outLen, packed.data(), packedLen);
        benchmark::DoNotOptimize(out.data());
    }
    setBytes(state, in.size());
}

void EC4SetKeyTime(benchmark::State &state)
{
    Bytes T(EC4TableSize);
    const std::string password = "a fairly long pass phrase of 40 bytes!!!";
    for (auto _ : state) {
        EC4SetKey(password, T.data());
        benchmark::DoNotOptimize(T.data());
    }
}

void EC4EncryptText(benchmark::State &state)
{
    const Bytes &in = rtfText();
    std::int32_t cell = 0;
    for (auto _ : state) {
        auto out = EC4Encrypt(cell, "password", in.data(), in.size());
        benchmark::DoNotOptimize(out.data());
    }
    setBytes(state, in.size());
}

void EC4DecryptText(benchmark::State &state)
{
    const Bytes &in = rtfText();
    std::int32_t cell = 0;
    const Bytes cipher = EC4Encrypt(cell, "password", in.data(), in.size());
    for (auto _ : state) {
        auto out = EC4Decrypt(cell, "password", cipher.data(), cipher.size());
        benchmark::DoNotOptimize(out.data());
    }
    setBytes(state, in.size());
}

void BlowfishEncryptECB(benchmark::State &state)
{
    const Bytes &in = rtfText();
    CBlowFish bf;
    const std::uint8_t key[32] = {1, 2, 3, 4, 5, 6, 7, 8};
    bf.SetKey(key, 32);
    Bytes out(CBlowFish::PaddedLength(in.size()));
    for (auto _ : state) {
        bf.EncryptBuffer(in.data(), out.data(), in.size());
        benchmark::DoNotOptimize(out.data());
    }
    setBytes(state, in.size());
}

void BlowfishDecryptECB(benchmark::State &state)
{
    const Bytes &in = rtfText();
    CBlowFish bf;
    const std::uint8_t key[32] = {1, 2, 3, 4, 5, 6, 7, 8};
    bf.SetKey(key, 32);
    Bytes cipher(CBlowFish::PaddedLength(in.size())), out(cipher.size());
    bf.EncryptBuffer(in.data(), cipher.data(), in.size());
    for (auto _ : state) {
        bf.DecryptBuffer(cipher.data(), out.data(), cipher.size());
        benchmark::DoNotOptimize(out.data());
    }
    setBytes(state, in.size());
}

void SaveAndLoadDocument(benchmark::State &state)
{
    const Bytes &in = rtfText();
    const std::string file = (std::filesystem::temp_directory_path()
        / ("kelpa-bench-" + std::to_string(::getpid()) + ".eco")).string();
    TOBRINEngine engine;
    engine.CipherId = static_cast<std::uint8_t>(state.range(0));
    for (auto _ : state) {
        if (!engine.SaveToFile("password", file, in.data(), in.size())
            || !engine.LoadFromFile("password", file)) {
            state.SkipWithError(engine.ErrorText().c_str());
            break;
        }
        benchmark::DoNotOptimize(engine.Result.data());
    }
    std::remove(file.c_str());
    setBytes(state, in.size());
}

// One offline guess at the password of a stolen document: set up the key from the guess and
// decode the block, as an attacker with the file does. Items per second is guesses per second
// on one core; nothing in the format makes a guess slower.
void PasswordGuess(benchmark::State &state)
{
    const std::string letter = "Dear Anna,\r\nthe key to the safe is under the third flower pot.\r\n";
    TOBRINEngine writer;
    writer.CipherId = static_cast<std::uint8_t>(state.range(0));
    if (!writer.Encrypt("pot plant", reinterpret_cast<const std::uint8_t *>(letter.data()), letter.size())) {
        state.SkipWithError(writer.ErrorText().c_str());
        return;
    }
    const Bytes block(writer.Result.begin(), writer.Result.begin() + writer.ResultLength);
    TOBRINEngine reader;
    std::uint64_t n = 0;
    std::string guess;
    for (auto _ : state) {
        guess = "guess" + std::to_string(n++);
        benchmark::DoNotOptimize(reader.Decrypt(guess, block.data(), block.size()));
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
    state.SetLabel(state.range(0) == TOBRINEngine::CipherEC4 ? "EC4" : "Blowfish");
}

} // namespace

BENCHMARK(PasswordGuess)->Arg(TOBRINEngine::CipherEC4)->Arg(TOBRINEngine::CipherBlowfish)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(CoderCompress)->Unit(benchmark::kMillisecond);
BENCHMARK(ZlibCompress1)->Unit(benchmark::kMillisecond);
BENCHMARK(CoderDecompress)->Unit(benchmark::kMillisecond);
BENCHMARK(ZlibUncompress)->Unit(benchmark::kMillisecond);
BENCHMARK(EC4SetKeyTime)->Unit(benchmark::kMicrosecond);
BENCHMARK(EC4EncryptText)->Unit(benchmark::kMillisecond);
BENCHMARK(EC4DecryptText)->Unit(benchmark::kMillisecond);
BENCHMARK(BlowfishEncryptECB)->Unit(benchmark::kMillisecond);
BENCHMARK(BlowfishDecryptECB)->Unit(benchmark::kMillisecond);
BENCHMARK(SaveAndLoadDocument)->Arg(TOBRINEngine::CipherEC4)->Arg(TOBRINEngine::CipherBlowfish)
    ->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
