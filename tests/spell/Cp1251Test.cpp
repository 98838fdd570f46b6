#include "spell/Cp1251.h"
#include "spell/Words.h"

#include <gtest/gtest.h>

#include <set>

using namespace kelpa::spell;
using kelpa::spell::test::cp;

namespace {

TEST(WordChars, LettersSignsAndSeparators)
{
    const std::string cyrillicLetters = cp("АБВГДЕЁЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯабвгдеёжзийклмнопрстуфхцчшщъыьэюя");
    for (char c : cyrillicLetters)
        EXPECT_TRUE(IsWordChar(c)) << std::hex << (static_cast<unsigned>(c) & 0xFF);
    for (char c = 'a'; c <= 'z'; ++c) {
        EXPECT_TRUE(IsWordChar(c));
        EXPECT_TRUE(IsWordChar(static_cast<char>(c - 32)));
    }
    const struct {
        unsigned char byte;
        bool word;
    } cases[] = {
        {'\'', true}, {'-', true}, {0, false}, {' ', false}, {'\r', false}, {'0', false}, {'9', false},
        {'_', false}, {'.', false}, {'@', false}, {'[', false}, {'`', false}, {'{', false},
        {0x96, false}, // en dash
        {0xAB, false}, // guillemet
        {0xB9, false}, // numero sign
        {0xA0, false}, // no-break space
    };
    for (const auto &c : cases)
        EXPECT_EQ(IsWordChar(c.byte), c.word) << std::hex << unsigned(c.byte);
    int count = 0;
    for (int b = 0; b < 256; ++b)
        count += IsWordChar(static_cast<unsigned char>(b));
    EXPECT_EQ(count, 52 + 66 + 2);
}

TEST(WordChars, Capitals)
{
    for (char c : cp("АЁЖРЧШЮЯ") + "AZ")
        EXPECT_TRUE(IsCapitalLetter(static_cast<unsigned char>(c)));
    for (char c : cp("аёжрчшюя") + "az'-1")
        EXPECT_FALSE(IsCapitalLetter(static_cast<unsigned char>(c)));
    EXPECT_TRUE(IsLatinCapital('Q'));
    EXPECT_FALSE(IsLatinCapital(0xC0));
    EXPECT_EQ(LatinCapitals.size(), 26u);
}

TEST(CaseTables, PairsOfTheCodePage)
{
    const struct {
        unsigned char upper, lower;
    } pairs[] = {
        {'A', 'a'}, {'Z', 'z'}, {0xC0, 0xE0}, {0xD0, 0xF0}, {0xD7, 0xF7}, {0xDF, 0xFF}, {0xA8, 0xB8},
        {0x80, 0x90}, {0x81, 0x83}, {0x8A, 0x9A}, {0xA3, 0xBC}, {0xA5, 0xB4}, {0xAA, 0xBA}, {0xAF, 0xBF},
        {0xB2, 0xB3}, {0xBD, 0xBE}, {0xA1, 0xA2},
    };
    for (const auto &p : pairs) {
        EXPECT_EQ(LowerChar(p.upper), p.lower) << std::hex << unsigned(p.upper);
        EXPECT_EQ(UpperChar(p.lower), p.upper) << std::hex << unsigned(p.lower);
        EXPECT_EQ(LowerChar(p.lower), p.lower);
        EXPECT_EQ(UpperChar(p.upper), p.upper);
    }
    const unsigned char nonLetters[] = {'0', '-', '\'', ' ', '@', '[', 0xB9, 0x96, 0};
    for (unsigned char c : nonLetters) {
        EXPECT_EQ(LowerChar(c), c);
        EXPECT_EQ(UpperChar(c), c);
    }
    EXPECT_EQ(AnsiLowerCase(cp("ЁЛКА Tree-Top")), cp("ёлка tree-top"));
    EXPECT_EQ(AnsiUpperCase(cp("ёлка tree-top")), cp("ЁЛКА TREE-TOP"));
}

TEST(Trim, BlanksAndControlsAtBothEnds)
{
    const struct {
        const char *in, *out;
    } cases[] = {
        {"", ""}, {"   ", ""}, {"word", "word"}, {"  word\t\r\n", "word"}, {"two words", "two words"},
        {" \x01x\x1f ", "x"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(Trim(c.in), c.out) << c.in;
    EXPECT_EQ(Trim(cp(" я ")), cp("я")); // 0xFF is not a blank
}

TEST(Collation, AlphabeticalOrder)
{
    const struct {
        std::string a, b;
        int result;
    } cases[] = {
        {"a", "b", -1},
        {"b", "a", 1},
        {"abc", "abc", 0},
        {"", "", 0},
        {"", "a", -1},
        {"ab", "abc", -1},
        {"abd", "abc", 1},
        {"z", cp("а"), -1},
        {cp("е"), cp("ё"), -1},
        {cp("ё"), cp("ж"), -1},
        {cp("ёж"), cp("еж"), 1},
        {cp("ежевика"), cp("ёж"), -1},
        {cp("ё"), cp("я"), -1},
        {cp("Ё"), cp("Ж"), -1},
        {cp("Е"), cp("Ё"), -1},
        {"co-op", "coop", -1},
        {"B", "a", -1},
    };
    for (const auto &c : cases)
        EXPECT_EQ(AnsiStrComp(c.a, c.b), c.result) << c.a << " vs " << c.b;
}

TEST(Collation, TotalOrderOverAllBytes)
{
    std::set<int> ranks;
    for (int b = 0; b < 256; ++b)
        ranks.insert(CollationRank(static_cast<unsigned char>(b)));
    EXPECT_EQ(ranks.size(), 256u);
    EXPECT_EQ(CollationRank(0), 0);
    for (int x = 0; x < 256; ++x) {
        for (int y = 0; y < 256; ++y) {
            const std::string a(1, static_cast<char>(x)), b(1, static_cast<char>(y));
            EXPECT_EQ(AnsiStrComp(a, b), -AnsiStrComp(b, a));
            EXPECT_EQ(AnsiStrComp(a, b) == 0, x == y);
        }
    }
}

} // namespace
