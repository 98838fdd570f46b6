#include "widgets/Strutils.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace kelpa::widgets;

namespace {

const TSysCharSet Blanks = CharSet(" ");
const TSysCharSet WordDelims = CharSet(" ,.");

struct StringCase {
    const char *name;
    std::string got;
    std::string expected;
};

void expectAll(const std::vector<StringCase> &cases)
{
    for (const StringCase &c : cases)
        EXPECT_EQ(c.got, c.expected) << c.name;
}

} // namespace

TEST(Strutils, RemovingAndPadding)
{
    expectAll({
        {"DelChars accelerator", DelChars("&Cut", '&'), "Cut"},
        {"DelChars doubled", DelChars("a&&b", '&'), "ab"},
        {"DelChars none", DelChars("abc", '&'), "abc"},
        {"DelChars empty", DelChars("", '&'), ""},
        {"DelSpace", DelSpace(" a b  c "), "abc"},
        {"DelBSpace", DelBSpace("  a b "), "a b "},
        {"DelESpace", DelESpace("  a b  "), "  a b"},
        {"DelRSpace", DelRSpace("  a b  "), "a b"},
        {"DelRSpace blanks only", DelRSpace("   "), ""},
        {"DelSpace1", DelSpace1("a   b  c "), "a b c "},
        {"Tab2Space", Tab2Space("a\tb\t\t", 2), "a  b    "},
        {"Tab2Space none", Tab2Space("a\tb", 0), "ab"},
        {"MakeStr", MakeStr('x', 3), "xxx"},
        {"MakeStr zero", MakeStr('x', 0), ""},
        {"MS negative", MS('x', -4), ""},
        {"AddChar", AddChar('0', "12", 5), "00012"},
        {"AddChar not shorter", AddChar('0', "12345", 3), "12345"},
        {"AddCharR", AddCharR('.', "ab", 4), "ab.."},
        {"LeftStr", LeftStr("ab", 4), "ab  "},
        {"LeftStr no cutting", LeftStr("abcdef", 2), "abcdef"},
        {"RightStr", RightStr("ab", 4), "  ab"},
        {"CenterStr", CenterStr("ab", 7), "  ab   "},
        {"CenterStr odd", CenterStr("abc", 8), "   abc  "},
        {"CenterStr not shorter", CenterStr("abc", 2), "abc"},
        {"ReplaceStr", ReplaceStr("a-b-c", "-", "--"), "a--b--c"},
        {"ReplaceStr not rescanned", ReplaceStr("aaa", "a", "aa"), "aaaaaa"},
        {"ReplaceStr not overlapping", ReplaceStr("aaaa", "aa", "b"), "bb"},
        {"ReplaceStr empty search", ReplaceStr("abc", "", "x"), "abc"},
        {"Numb2USA", Numb2USA("1234567"), "1,234,567"},
        {"Numb2USA three", Numb2USA("123"), "123"},
        {"Numb2USA four", Numb2USA("1234"), "1,234"},
        {"Numb2USA empty", Numb2USA(""), ""},
    });
    EXPECT_EQ(DelChars(QStringLiteral("&Save && Close"), QLatin1Char('&')),
              QStringLiteral("Save  Close"));
    EXPECT_TRUE(IsEmptyStr("  \t", CharSet(" \t")));
    EXPECT_TRUE(IsEmptyStr("", Blanks));
    EXPECT_FALSE(IsEmptyStr(" a ", Blanks));
}

TEST(Strutils, PositionsAndCopies)
{
    struct Case {
        const char *c, *s;
        int n, expected;
    };
    for (const Case &t : {Case{"aa", "aaaa", 2, 2}, Case{"aa", "aaaa", 3, 3},
                          Case{"aa", "aaaa", 4, 0}, Case{"b", "abcb", 2, 4},
                          Case{"b", "abcb", 0, 0}, Case{"", "abc", 1, 0}})
        EXPECT_EQ(NPos(t.c, t.s, t.n), t.expected) << t.c << " in " << t.s << " #" << t.n;

    std::string s = "ab,cd";
    EXPECT_EQ(Copy2SymbDel(s, ','), "ab");
    EXPECT_EQ(s, ",cd");
    s = "ab   cd";
    EXPECT_EQ(Copy2SpaceDel(s), "ab");
    EXPECT_EQ(s, "cd");
    s = "abc";
    EXPECT_EQ(Copy2SymbDel(s, ','), "abc");
    EXPECT_EQ(s, "");
    EXPECT_EQ(Copy2Symb("key=value", '='), "key");
    EXPECT_EQ(Copy2Space("no-blank"), "no-blank");
}

TEST(Strutils, Words)
{
    const std::string s = "  one, two..three ";
    EXPECT_EQ(WordCount(s, WordDelims), 3);
    EXPECT_EQ(WordCount("", WordDelims), 0);
    EXPECT_EQ(WordCount(" ,. ", WordDelims), 0);
    struct Case {
        int n;
        int position;
        const char *word;
    };
    for (const Case &c : {Case{1, 3, "one"}, Case{2, 8, "two"}, Case{3, 13, "three"},
                          Case{4, 0, ""}, Case{0, 0, ""}}) {
        EXPECT_EQ(WordPosition(c.n, s, WordDelims), c.position) << c.n;
        EXPECT_EQ(ExtractWord(c.n, s, WordDelims), c.word) << c.n;
        int pos = -1;
        EXPECT_EQ(ExtractWordPos(c.n, s, WordDelims, pos), c.word) << c.n;
        EXPECT_EQ(pos, c.position) << c.n;
    }
    EXPECT_TRUE(IsWordPresent("two", s, WordDelims));
    EXPECT_FALSE(IsWordPresent("Two", s, WordDelims));
    EXPECT_FALSE(IsWordPresent("tw", s, WordDelims));
    EXPECT_EQ(AnsiProperCase("hELLO wORLD,\xe9t\xc9", WordDelims), "Hello World,\xc9t\xe9");

    // Fields: empty ones count.
    const TSysCharSet semi = CharSet(";");
    struct Field {
        int n;
        const char *text;
    };
    for (const Field &f : {Field{1, "a"}, Field{2, ""}, Field{3, "c"}, Field{4, ""},
                           Field{5, ""}, Field{0, ""}})
        EXPECT_EQ(ExtractDelimited(f.n, "a;;c;", semi), f.text) << f.n;

    int pos = 1;
    EXPECT_EQ(ExtractSubstr("ab;cd", pos, semi), "ab");
    EXPECT_EQ(pos, 4);
    EXPECT_EQ(ExtractSubstr("ab;cd", pos, semi), "cd");
    EXPECT_EQ(pos, 6);
    EXPECT_EQ(ExtractSubstr("ab;cd", pos, semi), "");
    EXPECT_EQ(pos, 6);
}

TEST(Strutils, Quotes)
{
    expectAll({
        {"QuotedString", QuotedString("it's", '\''), "'it''s'"},
        {"QuotedString empty", QuotedString("", '"'), "\"\""},
        {"ExtractQuotedString", ExtractQuotedString("'it''s' rest", '\''), "it's"},
        {"ExtractQuotedString unclosed", ExtractQuotedString("'abc", '\''), "abc"},
        {"ExtractQuotedString not quoted", ExtractQuotedString("abc'", '\''), "abc'"},
        {"ExtractQuotedString empty", ExtractQuotedString("", '\''), ""},
    });
}

TEST(Strutils, Numbers)
{
    expectAll({
        {"Dec2Hex", Dec2Hex(255, 4), "00FF"},
        {"Dec2Hex one digit", Dec2Hex(0, 0), "0"},
        {"Dec2Hex negative", Dec2Hex(-1, 2), "FFFFFFFF"},
        {"D2H", D2H(0x1F, 1), "1F"},
        {"Dec2Numb hex", Dec2Numb(255, 4, 16), "00FF"},
        {"Dec2Numb binary", Dec2Numb(5, 0, 2), "101"},
        {"Dec2Numb zero", Dec2Numb(0, 3, 10), "000"},
        {"Dec2Numb negative", Dec2Numb(-5, 3, 10), ""},
        {"Dec2Numb base 36", Dec2Numb(35, 1, 36), "Z"},
        {"IntToRoman", IntToRoman(1994), "MCMXCIV"},
        {"IntToRoman D", IntToRoman(3888), "MMMDCCCLXXXVIII"},
        {"IntToRoman XL", IntToRoman(49), "XLIX"},
        {"IntToRoman zero", IntToRoman(0), ""},
        {"IntToBin grouped", IntToBin(5, 8, 4), " 0000 0101"},
        {"IntToBin ungrouped first", IntToBin(5, 6, 4), "00 0101"},
        {"IntToBin 32 bits max", IntToBin(-1, 40, 40), std::string(32, '1')},
        {"IntToBin no grouping", IntToBin(2, 3, 0), "010"},
    });
    struct IntCase {
        const char *name;
        int got, expected;
    };
    for (const IntCase &c : {
             IntCase{"Hex2Dec", Hex2Dec("1f"), 31},
             IntCase{"Hex2Dec with $", Hex2Dec("$FF"), 255},
             IntCase{"Hex2Dec bad", Hex2Dec("xyz"), 0},
             IntCase{"Hex2Dec misplaced $", Hex2Dec("1$F"), 0},
             IntCase{"Hex2Dec 32 bits", Hex2Dec("FFFFFFFF"), -1},
             IntCase{"Hex2Dec too long", Hex2Dec("100000000"), 0},
             IntCase{"H2D", H2D("10"), 16},
             IntCase{"Numb2Dec hex", Numb2Dec("ff", 16), 255},
             IntCase{"Numb2Dec binary", Numb2Dec("101", 2), 5},
             IntCase{"Numb2Dec base below 2", Numb2Dec("101", 1), 0},
             IntCase{"RomanToInt", RomanToInt("MCMXCIV"), 1994},
             IntCase{"RomanToInt IIX", RomanToInt("IIX"), 10},
             IntCase{"RomanToInt lower", RomanToInt("xiv"), 14},
             IntCase{"RomanToInt negative", RomanToInt("-XL"), -40},
             IntCase{"RomanToInt bad letter", RomanToInt("XB"), 0},
             IntCase{"RomanToInt bad first", RomanToInt("BX"), 0},
             IntCase{"RomanToInt empty", RomanToInt(""), 0},
         })
        EXPECT_EQ(c.got, c.expected) << c.name;
}

TEST(Strutils, IntegerConversion)
{
    struct Case {
        const char *text;
        bool ok;
        std::int32_t value;
    };
    for (const Case &c : {Case{"12", true, 12}, Case{"  -7", true, -7}, Case{"+3", true, 3},
                          Case{"$1f", true, 31}, Case{"0x10", true, 16}, Case{"-$10", true, -16},
                          Case{"2147483647", true, INT32_MAX},
                          Case{"-2147483648", true, INT32_MIN}, Case{"2147483648", false, 0},
                          Case{"", false, 0}, Case{"-", false, 0}, Case{"$", false, 0},
                          Case{"12 ", false, 0}, Case{"1.5", false, 0}, Case{"abc", false, 0}}) {
        std::int32_t v = 0;
        EXPECT_EQ(TryStrToInt(c.text, v), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(v, c.value) << c.text;
        }
    }
}

TEST(Strutils, Wildcards)
{
    struct Case {
        const char *input, *wilds;
        bool ignoreCase, match;
    };
    for (const Case &c : {
             Case{"ABC", "a*", true, true},
             Case{"ABC", "a*", false, false},
             Case{"abc", "abc", false, true},
             Case{"abc", "*", false, true},
             Case{"", "*", false, true},
             Case{"abc", "***", false, true},
             Case{"", "a", false, false},
             Case{"abc", "", false, false},
             Case{"abc", "a?c", false, true},
             Case{"abc", "a?", false, false},
             Case{"abcd", "*cd", false, true},
             Case{"abcd", "*c?", false, true},
             Case{"abcd", "*bd", false, false},
             Case{"abc", "abc*", false, true},
             Case{"abcx", "abc", false, false},
             Case{"file.txt", "*.*", false, true},
             Case{"file.txt", "*.txt", false, true},
             Case{"file.txt", "f*e.t*", false, true},
             Case{"xaxb", "*a*b", false, true},
             Case{"xaxc", "*a*b", false, false},
             Case{"readme", "*.*", false, false},
         })
        EXPECT_EQ(IsWild(c.input, c.wilds, c.ignoreCase), c.match)
            << c.input << " ~ " << c.wilds << (c.ignoreCase ? " (ignoring case)" : "");

    struct Part {
        const char *wilds, *input;
        int expected;
    };
    for (const Part &p : {Part{"cd", "abcd", 3}, Part{"c?", "abcd", 3}, Part{"?", "ab", 1},
                          Part{"x?", "abcd", 0}, Part{"abcde", "abcd", 0},
                          Part{"a?cde", "abcd", 0}})
        EXPECT_EQ(FindPart(p.wilds, p.input), p.expected) << p.wilds << " in " << p.input;
}

TEST(Strutils, XorRoundTrips)
{
    EXPECT_EQ(XorEncode("", "AB"), "4142");
    EXPECT_EQ(XorEncode("\x01", "AB"), "4043");
    EXPECT_EQ(XorDecode("\x01", "4043"), "AB");
    EXPECT_EQ(XorDecode("", "41424"), "AB");            // odd last character ignored
    EXPECT_EQ(XorDecode("", "zz41"), " A");             // a bad pair reads as 32
    const std::string text("any \x00\xff text", 12);
    EXPECT_EQ(XorDecode("key", XorEncode("key", text)), text);

    std::string dest;
    XorString("k", "abc", dest);
    std::string back;
    XorString("k", dest, back);
    EXPECT_EQ(back, "abc");
    EXPECT_NE(dest, "abc");
    XorString("", "abc", dest);
    EXPECT_EQ(dest, "abc");
}

TEST(Strutils, CaseAndCodePages)
{
    EXPECT_EQ(AnsiUpperCase("abc \xe9\xff"), "ABC \xc9\x9f");
    EXPECT_EQ(AnsiLowerCase("ABC \xc9\x9f"), "abc \xe9\xff");
    EXPECT_EQ(AnsiUpperCase("\xdf"), "\xdf");           // no one-byte capital
    EXPECT_EQ(StrToOem("\xe9"), "\x82");                 // e acute
    EXPECT_EQ(OemToAnsiStr("\x82"), "\xe9");
    EXPECT_EQ(StrToOem("plain").size(), 5u);

    EXPECT_EQ(CompStr("a", "b"), -1);
    EXPECT_EQ(CompStr("b", "a"), 1);
    EXPECT_EQ(CompStr("a", "a"), 0);
    EXPECT_NE(CompStr("a", "A"), 0);
    EXPECT_EQ(CompText("a", "A"), 0);
    EXPECT_EQ(CompText("abc", "ABD"), -1);
}

TEST(Strutils, CommandLineSwitches)
{
    const TSysCharSet dashes = CharSet("-/");
    const std::vector<std::string> params{"file.txt", "/Print", "-o", "out.txt", "-", "-last"};
    struct Case {
        const char *sw;
        bool ignoreCase, found;
    };
    for (const Case &c : {Case{"Print", false, true}, Case{"print", false, false},
                          Case{"print", true, true}, Case{"o", false, true},
                          Case{"ile.txt", false, false}, Case{"", false, false},
                          Case{"last", false, true}})
        EXPECT_EQ(FindCmdLineSwitch(params, c.sw, dashes, c.ignoreCase), c.found) << c.sw;
    // Without switch characters every parameter counts, less its first character.
    EXPECT_TRUE(FindCmdLineSwitch(params, "ile.txt", TSysCharSet(), false));

    EXPECT_EQ(GetCmdLineArg(params, "O", dashes), "out.txt");
    EXPECT_EQ(GetCmdLineArg(params, "print", dashes), "-o");
    EXPECT_EQ(GetCmdLineArg(params, "last", dashes), "");
    EXPECT_EQ(GetCmdLineArg(params, "absent", dashes), "");
    EXPECT_EQ(GetCmdLineArg({"-a", "x", "-a", "y"}, "a", dashes), "x");
}
