#include "engine/TQCmp.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <string>
#include <vector>

using namespace kelpa::engine;

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes bytesOf(const std::string &s) { return Bytes(s.begin(), s.end()); }

Bytes repeat(const Bytes &unit, int times)
{
    Bytes out;
    for (int i = 0; i < times; ++i)
        out.insert(out.end(), unit.begin(), unit.end());
    return out;
}

Bytes compressed(const Bytes &in, bool allowGrowth = false)
{
    TQCmp c;
    EXPECT_TRUE(c.Compress(in.data(), in.size(), allowGrowth));
    EXPECT_EQ(c.ErrorCode, 0);
    Bytes out;
    EXPECT_TRUE(c.CopyOutput(out));
    return out;
}

// Text-like bytes with a skewed distribution over many values, so long words occur too.
Bytes skewed(std::size_t n, unsigned seed)
{
    std::mt19937 rng(seed);
    std::geometric_distribution<int> geo(0.08);
    Bytes out(n);
    for (auto &b : out)
        b = static_cast<std::uint8_t>(geo(rng) * 7 + 13);
    return out;
}

TEST(TQCmpCodeWords, FirstAndLastWordsAndTheirProperties)
{
    TQCmp c;
    ASSERT_EQ(c.CodeWords.size(), 256u);
    const std::vector<std::string> first = {"000", "111", "0010", "1101", "0100", "1011",
        "00110", "11001", "01010", "10101", "01100", "10011"};
    for (std::size_t r = 0; r < first.size(); ++r)
        EXPECT_EQ(c.CodeWords[r], first[r]) << "rank " << r;
    EXPECT_EQ(c.CodeWords[254], "011111110111111110");
    EXPECT_EQ(c.CodeWords[255], "100000001000000001");

    std::set<std::uint32_t> values;
    for (const auto &w : c.CodeWords) {
        values.insert(TQCmp::CodeWordValue(w));
        EXPECT_EQ(std::count(w.begin(), w.end(), w[0]), 3) << w;
        EXPECT_EQ(w.back(), w[0]) << w;
    }
    EXPECT_EQ(values.size(), 256u);
    EXPECT_EQ(*values.rbegin(), 196609u);
    for (const auto &a : c.CodeWords)
        for (const auto &b : c.CodeWords)
            if (&a != &b) {
                EXPECT_NE(b.rfind(a, 0), 0u) << a << " is a prefix of " << b;
            }
}

TEST(TQCmpCompress, ExactBlocks)
{
    struct Case {
        const char *name;
        Bytes input;
        bool allowGrowth;
        Bytes block;
    };
    Bytes forty(40, 0x61);
    Bytes fortyBlock = {2, 1, 40, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x61};
    fortyBlock.resize(28, 0);
    Bytes pairs = repeat({0x61, 0x62}, 20);
    Bytes pairsBlock = {2, 2, 40, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x62, 0x61};
    for (int i = 0; i < 5; ++i)
        pairsBlock.insert(pairsBlock.end(), {0xE3, 0x8E, 0x38});
    const Case cases[] = {
        {"one value, word 000", forty, false, fortyBlock},
        {"equal counts, higher value ranked first", pairs, false, pairsBlock},
        // 111 000: the last byte carries the bits in its high positions, zeros below.
        {"partial last byte", {0x61, 0x62}, true,
            {2, 2, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x62, 0x61, 0xE0}},
        {"empty input with growth allowed", {}, true, {2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
    };
    for (const auto &tc : cases) {
        SCOPED_TRACE(tc.name);
        EXPECT_EQ(compressed(tc.input, tc.allowGrowth), tc.block);
    }
}

TEST(TQCmpCompress, BlocksMatchTheCodeWordTexts)
{
    // The block written out by hand from the words' '0'/'1' texts: ranks by count, ties to
    // the higher value, bits packed first bit highest, the last byte filled with zeros.
    Bytes all;
    for (int v = 0; v < 256; ++v)
        all.push_back(static_cast<std::uint8_t>(v));
    const Bytes inputs[] = {skewed(5000, 21), skewed(777, 22), repeat(all, 3), bytesOf("hello, world")};
    const TQCmp words;
    for (const auto &in : inputs) {
        std::array<int, 256> count{};
        for (auto b : in)
            ++count[b];
        std::vector<int> order;
        for (int v = 255; v >= 0; --v)
            if (count[v] > 0)
                order.push_back(v);
        std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return count[a] > count[b]; });
        std::array<int, 256> rank{};
        for (std::size_t r = 0; r < order.size(); ++r)
            rank[order[r]] = static_cast<int>(r);

        std::string bits;
        for (auto b : in)
            bits += words.CodeWords[rank[b]];
        while (bits.size() % 8 != 0)
            bits += '0';
        Bytes expected = {2, static_cast<std::uint8_t>(order.size()), static_cast<std::uint8_t>(in.size()),
            static_cast<std::uint8_t>(in.size() >> 8), 0, 0, 0, 0, 0, 0, 0, 0};
        for (int v : order)
            expected.push_back(static_cast<std::uint8_t>(v));
        for (std::size_t i = 0; i < bits.size(); i += 8)
            expected.push_back(static_cast<std::uint8_t>(std::stoi(bits.substr(i, 8), nullptr, 2)));

        EXPECT_TRUE(compressed(in, true) == expected) << "input of " << in.size();
    }
}

TEST(TQCmpCompress, NoGainBoundary)
{
    // One symbol: 13 head and symbol bytes plus 3 bits per input byte. 21 bytes give exactly 21
    // (allowed), 20 would give 21 (no gain).
    struct Case {
        Bytes input;
        bool gain;
    };
    std::mt19937 rng(5);
    Bytes random(4096);
    for (auto &b : random)
        b = static_cast<std::uint8_t>(rng());
    const Case cases[] = {
        {Bytes(21, 'x'), true},
        {Bytes(20, 'x'), false},
        {{}, false},
        {Bytes(11, 'x'), false},
        {random, false},
    };
    for (const auto &tc : cases) {
        SCOPED_TRACE(tc.input.size());
        TQCmp c;
        EXPECT_TRUE(c.Compress(tc.input.data(), tc.input.size()));
        if (tc.gain) {
            EXPECT_EQ(c.ErrorCode, 0);
            EXPECT_EQ(c.OutputLength, static_cast<std::int32_t>(tc.input.size()));
        } else {
            EXPECT_EQ(c.ErrorCode, TQCmp::ErrNoGain);
        }
    }
}

TEST(TQCmpRoundTrip, Inputs)
{
    Bytes all;
    for (int v = 0; v < 256; ++v)
        all.push_back(static_cast<std::uint8_t>(v));
    std::mt19937 rng(11);
    Bytes random(100000);
    for (auto &b : random)
        b = static_cast<std::uint8_t>(rng());
    std::string text;
    while (text.size() < 300000)
        text += "{\\rtf1\\ansi The quick brown fox jumps over the lazy dog. 0123456789\\par}\r\n";

    struct Case {
        const char *name;
        Bytes input;
    };
    const Case cases[] = {
        {"one byte", {0x41}},
        {"two bytes", {0x00, 0xff}},
        {"all 256 values once", all},
        {"all 256 values, many times", repeat(all, 50)},
        {"random bytes", random},
        {"text", bytesOf(text)},
        {"skewed, tail length 0 mod 3", skewed(30000, 1)},
        {"skewed, tail length 1 mod 3", skewed(30001, 2)},
        {"skewed, tail length 2 mod 3", skewed(30002, 3)},
        {"long run of zeros", Bytes(100001, 0)},
    };
    for (const auto &tc : cases) {
        SCOPED_TRACE(tc.name);
        const Bytes block = compressed(tc.input, true);
        TQCmp d;
        ASSERT_TRUE(d.Decompress(block.data(), block.size())) << d.ErrorCode;
        ASSERT_EQ(d.OutputLength, static_cast<std::int32_t>(tc.input.size()));
        EXPECT_EQ(Bytes(d.Output.begin(), d.Output.begin() + d.OutputLength), tc.input);
        ASSERT_EQ(d.Output.size(), tc.input.size() + 1);
        EXPECT_EQ(d.Output.back(), 0);
    }
    // The count byte cannot hold 256: all values present are marked by 0.
    EXPECT_EQ(compressed(repeat(all, 50), true)[1], 0);
}

TEST(TQCmpRoundTrip, TrailingBytesAfterTheBlockAreIgnored)
{
    const Bytes input = bytesOf("abracadabra, abracadabra");
    Bytes block = compressed(input, true);
    block.insert(block.end(), {0xff, 0x00, 0xff, 0x00, 0xff, 0x00, 0xff, 0x00, 0xff});
    TQCmp d;
    ASSERT_TRUE(d.Decompress(block.data(), block.size()));
    EXPECT_EQ(Bytes(d.Output.begin(), d.Output.begin() + d.OutputLength), input);
}

TEST(TQCmpDecompress, BadBlocks)
{
    const Bytes good = compressed(skewed(5000, 9));
    auto cut = [&](std::size_t n) { return Bytes(good.begin(), good.begin() + n); };
    auto with = [&](std::size_t at, std::uint8_t v) {
        Bytes b = good;
        b[at] = v;
        return b;
    };
    Bytes hugeLength = good;
    hugeLength[2] = hugeLength[3] = hugeLength[4] = hugeLength[5] = 0xff;

    // One symbol, then a word of rank 1 (111) that has no symbol.
    const Bytes rankWithoutSymbol = {2, 1, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 'a', 0x1C};
    // 0 followed by seventeen 1s: no word has such a run.
    const Bytes noWord = {2, 2, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 'a', 'b', 0x7F, 0xFF, 0xC0};
    // 0 1^15 0 ...: a word of group 15 beyond its eight pairs.
    const Bytes beyondLastPair = {2, 2, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 'a', 'b', 0x7F, 0xFF, 0x00};

    struct Case {
        const char *name;
        Bytes block;
        std::int32_t code;
    };
    const Case cases[] = {
        {"empty block", {}, TQCmp::ErrBadData},
        {"format byte 1", with(0, 1), TQCmp::ErrFormat},
        {"format byte 1, short block", {1, 0, 0}, TQCmp::ErrFormat},
        {"shorter than the head", cut(11), TQCmp::ErrBadData},
        {"shorter than the symbol list", cut(12 + good[1] - 1), TQCmp::ErrBadData},
        {"cut inside the code bytes", cut(good.size() - 3), TQCmp::ErrBadData},
        {"announced length far beyond the block", hugeLength, TQCmp::ErrBadData},
        {"rank without a symbol", rankWithoutSymbol, TQCmp::ErrBadData},
        {"bits that form no word", noWord, TQCmp::ErrBadData},
        {"word beyond the last pair", beyondLastPair, TQCmp::ErrBadData},
    };
    for (const auto &tc : cases) {
        SCOPED_TRACE(tc.name);
        TQCmp d;
        EXPECT_FALSE(d.Decompress(tc.block.data(), tc.block.size()));
        EXPECT_EQ(d.ErrorCode, tc.code);
        EXPECT_EQ(d.OutputLength, 0);
    }
}

TEST(TQCmpDecompress, CutBlocksNeverDecodePastTheirEnd)
{
    // Every cut of a block that needs its last bytes fails with bad data, never reads beyond.
    const Bytes input = skewed(400, 4);
    const Bytes good = compressed(input);
    for (std::size_t n = 0; n < good.size(); ++n) {
        Bytes part(good.begin(), good.begin() + n);
        TQCmp d;
        EXPECT_FALSE(d.Decompress(part.data(), part.size())) << n;
    }
}

} // namespace
