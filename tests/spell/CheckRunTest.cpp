#include "spell/CheckRun.h"
#include "spell/TKPD.h"
#include "spell/Words.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

using namespace kelpa::spell;
using kelpa::spell::test::cp;

namespace {

class CheckingRun : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char *w : {"the", "cat", "sat", "on", "mat", "don't", "well-known", "кот", "ёжик"})
            dict.Add(cp(w));
    }
    // The first word reported in the text, if any.
    std::optional<std::string> firstUnknown(const std::string &bytes) const
    {
        const ScanOutcome o = FindUnknownWord(bytes, dict);
        if (o.result != ScanResult::Found)
            return std::nullopt;
        return bytes.substr(o.start, o.length);
    }
    TKPD dict;
};

TEST_F(CheckingRun, ReportsTheFirstWordTheDictionaryLacks)
{
    const struct {
        std::string text;
        std::optional<std::string> reported;
    } cases[] = {
        {"the cat sat on the mat", std::nullopt},
        {"", std::nullopt},
        {"a b c x y z", std::nullopt},             // single letters never
        {"The CAT sat", std::nullopt},             // compared in lower case
        {"the dgo sat on teh mat", "dgo"},
        {"NATO and UK", "and"},                    // abbreviations skipped, "and" is not known
        {"PCs sat", std::nullopt},                 // capitals but for the last letter
        {"Nato sat", "Nato"},
        {"nATO sat", "nATO"},
        {"don't", std::nullopt},
        {"well-known cat's", "cat's"},
        {"cat,sat;mat.", std::nullopt},
        {cp("кот ЁЖИК"), std::nullopt},
        {cp("кот кит"), cp("кит")},
        {cp("ЧАЙ"), cp("ЧАЙ")},                    // only Latin capitals make an abbreviation
        {cp("чашка"), cp("чашка")},                // ч is a letter of the word, not a break
        {"cat 123 mat", std::nullopt},
    };
    for (const auto &c : cases)
        EXPECT_EQ(firstUnknown(c.text), c.reported) << c.text;
}

TEST_F(CheckingRun, PositionsAreTextPositions)
{
    const std::string bytes = ToCheckBytes(u"the \u00ABcaf\u00E9\u00BB sat\r\nmat xyz");
    ASSERT_EQ(bytes.size(), 23u);
    const ScanOutcome o = FindUnknownWord(bytes, dict);
    ASSERT_EQ(o.result, ScanResult::Found);
    // A letter outside the code page stays part of its word, which is reported whole.
    EXPECT_EQ(o.start, 5u);
    EXPECT_EQ(o.length, 4u);
    const ScanOutcome next = FindUnknownWord(std::string_view(bytes).substr(9), dict);
    ASSERT_EQ(next.result, ScanResult::Found);
    EXPECT_EQ(9 + next.start, 20u);
}

TEST_F(CheckingRun, TicksEveryTwoHundredWordsAndCanBeStopped)
{
    std::string text;
    for (int i = 0; i < 450; ++i)
        text += "cat ";
    std::vector<std::size_t> ticks;
    const ScanOutcome done = FindUnknownWord(text, dict, [&](std::size_t at) {
        ticks.push_back(at);
        return true;
    });
    EXPECT_EQ(done.result, ScanResult::End);
    EXPECT_EQ(ticks, (std::vector<std::size_t>{199 * 4, 399 * 4}));
    int calls = 0;
    const ScanOutcome stopped = FindUnknownWord(text + "xyz", dict, [&](std::size_t) { return ++calls < 2; });
    EXPECT_EQ(stopped.result, ScanResult::Stopped);
    EXPECT_EQ(calls, 2);
}

// A scan in steps goes on where the last step left it and finds what one call finds.
TEST_F(CheckingRun, AScanInStepsResumesWhereItStopped)
{
    std::string text;
    for (int i = 0; i < 450; ++i)
        text += "cat ";
    text += "xyz cat";
    UnknownWordScan scan(text, dict);
    std::vector<std::size_t> positions;
    while (scan.step())
        positions.push_back(scan.position());
    EXPECT_EQ(positions, (std::vector<std::size_t>{199 * 4, 399 * 4}));
    EXPECT_EQ(scan.outcome().result, ScanResult::Found);
    EXPECT_EQ(scan.outcome().start, 450u * 4);
    EXPECT_EQ(scan.outcome().length, 3u);
}

// Every word a run over the whole text reports, in order, as written.
std::vector<std::u16string> reportedWords(std::u16string_view text, const TKPD &dict)
{
    const std::string bytes = ToCheckBytes(text);
    std::vector<std::u16string> out;
    std::size_t from = 0;
    for (;;) {
        const ScanOutcome o = FindUnknownWord(std::string_view(bytes).substr(from), dict);
        if (o.result != ScanResult::Found)
            return out;
        out.emplace_back(text.substr(from + o.start, o.length));
        from += o.start + o.length;
    }
}

TEST(WordRules, CorrectEnglishPassesAndMisspellingsAreStillReported)
{
    TKPD dict;
    for (const char *w : {"hello", "authors", "parties", "isn't", "doesn't", "show", "well", "known", "non",
                          "free", "peer", "to", "machine", "readable", "mail", "state", "of", "the", "art",
                          "program", "see", "or", "write", "gnu", "licenses", "кот", "ёжик"})
        dict.Add(cp(w));
    const struct {
        std::u16string text;
        std::vector<std::u16string> reported;
    } cases[] = {
        // Quote marks and apostrophes at the ends are not part of the word.
        {u"'hello' \"hello\" \u2018hello\u2019 \u201Chello\u201D", {}},
        {u"'helo'", {u"helo"}},
        {u"the authors' parties' show w'", {}},
        {u"'the' 'tehh'", {u"tehh"}},
        // The typographic apostrophe between letters is the word's own.
        {u"isn\u2019t doesn\u2019t isn't", {}},
        {u"couldn\u2019t", {u"couldn\u2019t"}},
        {u"isn\u2019 \u2019tis", {u"isn", u"tis"}},
        // Hyphenated words pass when the whole or each part is known.
        {u"well-known non-free peer-to-peer machine-readable e-mail state-of-the-art", {}},
        {u"non-fre well-knwn", {u"non-fre", u"well-knwn"}},
        {u"program--to see -- the -known- free-", {}},
        {u"GPL-compatible", {u"GPL-compatible"}},
        {u"GPL-free", {}},
        // Rules of hyphens and stray apostrophes are no words.
        {u"------------- -- --- '' '-'", {}},
        // Addresses are not checked.
        {u"see <https://www.gnu.org/licenses/>. or http://gnu.org, ftp://x.y/z", {}},
        {u"write www.gnu.org or (www.fsf.org) or info@gnu.org <someone@example.org>", {}},
        {u"teh https://teh.org teh@teh.org tehh", {u"teh", u"tehh"}},
        {u"hello@ @hello gnu.org", {u"org"}},
        // Cyrillic words as before.
        {u"\u043A\u043E\u0442 \u0451\u0436\u0438\u043A '\u043A\u043E\u0442'", {}},
        {u"\u043A\u0438\u0442-\u043A\u043E\u0442", {u"\u043A\u0438\u0442-\u043A\u043E\u0442"}},
        // Common misspellings.
        {u"teh recieve seperate definately occured", {u"teh", u"recieve", u"seperate", u"definately", u"occured"}},
    };
    for (const auto &c : cases) {
        const std::string shown(c.text.begin(), c.text.end());
        EXPECT_EQ(reportedWords(c.text, dict), c.reported) << shown;
    }
}

TEST(Replace, CarriesTheCaseOfTheWordFound)
{
    const struct {
        std::u16string found, typed, expected;
    } cases[] = {
        {u"teh", u"the", u"the"},
        {u"Teh", u"the", u"The"},
        {u"TEH", u"the", u"THE"},
        {u"Teh", u"  THE ", u"The"},
        {u"tEH", u"The", u"the"},
        {u"Teh", u"the cat", u"The cat"},
        {u"Кит", u"кот", u"Кот"},
        {u"КИТ", u"кот", u"КОТ"},
        {u"кит", u"КОТ", u"кот"},
        {u"Ёж", u"ёжик", u"Ёжик"},
        // Nothing to replace with, or the word unchanged: the user is asked to correct it.
        {u"teh", u"", u""},
        {u"teh", u"   ", u""},
        {u"Teh", u"teh", u""},
        {u"КИТ", u"кит", u""},
    };
    for (const auto &c : cases)
        EXPECT_EQ(ReplacementFor(c.found, c.typed), c.expected)
            << std::string(c.found.begin(), c.found.end());
}

TEST(Replace, WholeWordSearchIgnoresCase)
{
    const struct {
        std::u16string text, word;
        std::size_t from, expected;
    } cases[] = {
        {u"cats cat", u"cat", 0, 5},
        {u"a Cat", u"CAT", 0, 2},
        {u"well-known well", u"well", 0, 11},  // a hyphen joins words
        {u"don't don", u"don", 0, 6},
        {u"кот КОТ", u"кот", 1, 4},
        {u"cat", u"cat", 1, std::u16string::npos},
        {u"", u"cat", 0, std::u16string::npos},
        {u"cat", u"", 0, std::u16string::npos},
        // Found as the run finds it: in quotes, before a comma, with either apostrophe.
        {u"'cat' cat", u"cat", 0, 1},
        {u"a dont, dont", u"DONT", 3, 8},
        {u"isn\u2019t isn't", u"isn't", 0, 0},
        {u"https://cat.org cat", u"cat", 0, 16},
    };
    for (const auto &c : cases)
        EXPECT_EQ(FindWholeWord(c.text, c.word, c.from), c.expected)
            << std::string(c.text.begin(), c.text.end());
}

TEST(Replace, AllOccurrencesEachInItsOwnCase)
{
    const struct {
        std::u16string text, old, replacement;
        std::size_t caret;
        std::u16string expected;
        std::size_t expectedCaret;
    } cases[] = {
        {u"Teh teh TEH tehx", u"teh", u"the", 4, u"The the THE tehx", 4},
        // The caret moves by what changed before it.
        {u"teh xx teh", u"teh", u"te", 7, u"te xx te", 6},
        {u"teh xx teh", u"teh", u"thee", 7, u"thee xx thee", 8},
        // A replacement that holds the old word is not replaced again: the loop ends.
        {u"a teh b", u"teh", u"teh teh", 2, u"a teh teh b", 2},
        {u"a teh b teh", u"TEH", u"xteh", 2, u"a xteh b xteh", 2},
        // An empty replacement deletes every occurrence.
        {u"teh a teh", u"teh", u"", 6, u" a ", 3},
        {u"Кит кит КИТ", u"кит", u"кот", 0, u"Кот кот КОТ", 0},
        {u"nothing here", u"teh", u"the", 0, u"nothing here", 0},
        {u"'teh' teh, \"Teh\"", u"teh", u"the", 0, u"'the' the, \"The\"", 0},
        {u"non-fre non-fre", u"non-fre", u"non-free", 8, u"non-free non-free", 9},
    };
    for (const auto &c : cases) {
        std::u16string text = c.text;
        std::u16string replayed = c.text;
        const std::size_t caret = ReplaceAllWords(text, c.old, c.replacement, c.caret, [&](const Replacement &r) {
            replayed.replace(r.position, r.length, r.text);
        });
        EXPECT_EQ(text, c.expected) << std::string(c.text.begin(), c.text.end());
        EXPECT_EQ(replayed, c.expected) << "the changes as applied one by one";
        EXPECT_EQ(caret, c.expectedCaret) << std::string(c.text.begin(), c.text.end());
    }
}

TEST(CheckBytes, OneBytePerTextUnit)
{
    const std::u16string text = u"a\u0416\u00E9\u20AC\U0001F600\u4E2D";
    const std::string bytes = ToCheckBytes(text);
    ASSERT_EQ(bytes.size(), text.size());
    EXPECT_EQ(bytes[0], 'a');
    EXPECT_EQ(static_cast<unsigned char>(bytes[1]), 0xC6);          // Ж
    EXPECT_EQ(static_cast<unsigned char>(bytes[2]), ForeignLetter); // é
    EXPECT_EQ(static_cast<unsigned char>(bytes[3]), 0x88);          // € is in the code page
    EXPECT_FALSE(IsCheckWordChar(static_cast<unsigned char>(bytes[4])));
    EXPECT_FALSE(IsCheckWordChar(static_cast<unsigned char>(bytes[5])));
    EXPECT_FALSE(IsCheckWordChar(static_cast<unsigned char>(bytes[6])));
}

} // namespace
