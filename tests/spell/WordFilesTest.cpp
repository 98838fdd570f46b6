#include "spell/CheckRun.h"
#include "spell/TKPD.h"
#include "spell/WordFiles.h"
#include "spell/Words.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

using namespace kelpa::spell;
using kelpa::spell::test::cp;
using Words = std::set<std::string>;

namespace {

Words wordsOf(const ExtractedWords &e)
{
    Words out;
    std::size_t pos = 0;
    while (pos < e.list.size() && e.list[pos] != '\0') {
        const std::size_t cr = e.list.find('\r', pos);
        out.insert(e.list.substr(pos, cr - pos));
        pos = cr + 1;
    }
    EXPECT_EQ(e.list.back(), '\0');
    EXPECT_EQ(out.size(), e.words);
    return out;
}

TEST(MergeWords, WhatATextGives)
{
    const std::string letters63(63, 'q');
    const struct {
        std::string text;
        bool ignoreProperNouns;
        Words expected;
    } cases[] = {
        {"Hello world-wide -x a", false, {"hello", "world-wide"}},
        {"Hello world-wide -x a", true, {"world-wide"}},
        {letters63 + " " + letters63 + "q", false, {letters63}},
        {"cat Cat CAT cat", false, {"cat"}},
        {"well- -known don't", false, {"don't"}},
        {cp("Москва кот Ёлка"), true, {cp("кот")}},
        {cp("Москва кот"), false, {cp("москва"), cp("кот")}},
        {ToCheckBytes(u"caf\u00E9 bar"), false, {"bar"}}, // a word the code page cannot hold
        {"", false, {}},
        {"1234 ... ,,,", false, {}},
    };
    for (const auto &c : cases)
        EXPECT_EQ(wordsOf(ExtractWords(c.text, c.ignoreProperNouns)), c.expected) << c.text;
}

TEST(MergeWords, CountsOfAMerge)
{
    TKPD dict;
    for (const char *w : {"hello", "cat", "dog"})
        dict.Add(w);
    dict.Modified = false;
    const int before = dict.Count;
    ASSERT_TRUE(dict.Merge(ExtractWords("Hello cat, new words here: cat bird bird", false).list));
    EXPECT_EQ(dict.Count - before, 4); // new, words, here, bird
    EXPECT_TRUE(dict.Modified);
    EXPECT_GE(dict.Find("bird"), 0);

    // A dictionary merged into itself brings nothing new.
    const int n = dict.Count;
    ASSERT_TRUE(dict.Merge(dict.WordList()));
    EXPECT_EQ(dict.Count, n);
}

TEST(MergeWords, CanBeCancelled)
{
    std::string text;
    for (int i = 0; i < 1000; ++i)
        text += "word" + std::to_string(i % 10) + " ";
    int calls = 0;
    const ExtractedWords e = ExtractWords(text, false, [&](int percent) {
        EXPECT_GE(percent, 0);
        EXPECT_LE(percent, 100);
        return ++calls < 3;
    });
    EXPECT_TRUE(e.cancelled);
    EXPECT_EQ(calls, 3);
    EXPECT_EQ(e.words, 0u);
}

TEST(MergeWords, TextFilesInUtf8AreTakenAsTheirLetters)
{
    EXPECT_EQ(TextFileToCheckBytes("plain ascii"), "plain ascii");
    EXPECT_EQ(TextFileToCheckBytes("\xD0\xBA\xD0\xBE\xD1\x82"), cp("кот"));
    // Not UTF-8: Windows-1251 bytes as they stand.
    EXPECT_EQ(TextFileToCheckBytes(cp("кот")), cp("кот"));
}

struct Slice {
    int number;
    std::string text;
};

std::vector<Slice> split(const std::string &text)
{
    std::vector<Slice> slices;
    const SplitOutcome o = SplitText(text, [&](int number, std::string_view s) {
        slices.push_back({number, std::string(s)});
        return true;
    });
    EXPECT_FALSE(o.failed);
    EXPECT_EQ(o.written, static_cast<int>(slices.size()));
    std::string joined;
    for (std::size_t i = 0; i < slices.size(); ++i) {
        EXPECT_EQ(slices[i].number, static_cast<int>(i) + 1);
        joined += slices[i].text;
    }
    EXPECT_EQ(joined, text) << "the slices give the text back";
    return slices;
}

std::size_t lineCount(const std::string &s)
{
    std::size_t n = 0;
    for (char c : s)
        n += c == '\n';
    return n;
}

std::string lines(int count, const std::string &line, const std::string &end = "\r\n")
{
    std::string out;
    for (int i = 0; i < count; ++i)
        out += line + end;
    return out;
}

TEST(FileSplitter, Slices)
{
    const std::string longLine(70000, 'x');
    const struct {
        const char *name;
        std::string text;
        std::vector<std::size_t> sliceLines;
    } cases[] = {
        {"2500 short lines", lines(2500, "short"), {1000, 1000, 500}},
        {"1000 lines exactly", lines(1000, "w"), {1000}},
        {"LF line ends", lines(1001, "w", "\n"), {1000, 1}},
        // 101 bytes a line: 648 lines fit into 65536 bytes.
        {"byte limit", lines(700, std::string(99, 'b')), {648, 52}},
        // An over-long line goes into a slice of its own; no empty slice before it.
        {"over-long line", "a\r\n" + longLine + "\r\nb\r\n", {1, 1, 1}},
        {"over-long first line", longLine + "\r\n", {1}},
        {"last line without end", "a\r\nb", {1}},
    };
    for (const auto &c : cases) {
        const std::vector<Slice> slices = split(c.text);
        std::vector<std::size_t> counts;
        for (const Slice &s : slices) {
            counts.push_back(std::max<std::size_t>(lineCount(s.text), s.text.empty() ? 0 : 1));
            if (s.text.size() > SliceByteLimit) {
                EXPECT_EQ(lineCount(s.text), 1u) << c.name << ": only a single over-long line passes the limit";
            }
        }
        EXPECT_EQ(counts, c.sliceLines) << c.name;
    }
}

TEST(FileSplitter, EmptyFileGivesOneEmptySlice)
{
    const std::vector<Slice> slices = split("");
    ASSERT_EQ(slices.size(), 1u);
    EXPECT_TRUE(slices[0].text.empty());
}

TEST(FileSplitter, AFailedSliceEndsTheSplitting)
{
    int calls = 0;
    const SplitOutcome o = SplitText(lines(3000, "w"), [&](int, std::string_view) { return ++calls < 2; });
    EXPECT_TRUE(o.failed);
    EXPECT_EQ(o.written, 1);
    EXPECT_EQ(calls, 2);

    const SplitOutcome cancelled = SplitText(lines(5000, "w"), [](int, std::string_view) { return true; },
                                             [](int) { return false; });
    EXPECT_TRUE(cancelled.cancelled);
}

TEST(FileSplitter, SliceNames)
{
    EXPECT_EQ(SliceFileName("/home/u/big.txt", 1), "/home/u/(SL1)big.txt");
    EXPECT_EQ(SliceFileName("big.txt", 12), "(SL12)big.txt");
    EXPECT_EQ(SliceFileName("./a b/c.TXT", 3), "./a b/(SL3)c.TXT");
}

} // namespace
