#include "platform/codepage/CodePage.h"

#include <gtest/gtest.h>

using namespace kelpa::codepage;

namespace {

struct ByteCase {
    int codePage;
    std::uint8_t byte;
    char16_t ch;
};

// Points where the code pages differ from Latin-1 and from each other.
const ByteCase kByteCases[] = {
    {1252, 0x80, u'\u20AC'}, {1252, 0x8A, u'\u0160'}, {1252, 0x93, u'\u201C'},
    {1252, 0x9F, u'\u0178'}, {1252, 0xE9, u'\u00E9'}, {1252, 0x81, u'\u0081'},
    {1252, 0x9D, u'\u009D'}, {1251, 0xC0, u'\u0410'}, {1251, 0xFF, u'\u044F'},
    {1251, 0xA8, u'\u0401'}, {1251, 0xB8, u'\u0451'}, {1251, 0x80, u'\u0402'},
    {1251, 0x88, u'\u20AC'}, {1251, 0xB9, u'\u2116'}, {1251, 0x98, u'\u0098'},
    {1250, 0x8A, u'\u0160'}, {1250, 0xB9, u'\u0105'}, {1253, 0xC1, u'\u0391'},
    {1254, 0xF0, u'\u011F'}, {437, 0xB3, u'\u2502'},  {10000, 0x8E, u'\u00E9'},
    {4711, 0x80, u'\u20AC'}, // unknown code page reads as Windows-1252
};

TEST(CodePage, BytesDecodeAndEncodeBack)
{
    for (const ByteCase &c : kByteCases) {
        SCOPED_TRACE(testing::Message() << c.codePage << " byte " << int(c.byte));
        EXPECT_EQ(decodeByte(c.codePage, c.byte), c.ch);
        std::uint8_t back = 0;
        ASSERT_TRUE(encodeChar(c.codePage, c.ch, back));
        EXPECT_EQ(back, c.byte);
    }
}

TEST(CodePage, EveryByteOfTheMainPagesRoundTrips)
{
    for (int cp : {1252, 1251, 1250}) {
        std::string all;
        for (int b = 0; b < 256; ++b)
            all.push_back(static_cast<char>(b));
        bool lossless = false;
        EXPECT_EQ(encode(decode(all, cp), cp, &lossless), all) << cp;
        EXPECT_TRUE(lossless) << cp;
    }
}

TEST(CodePage, MissingCharactersAreReplacedAndReported)
{
    bool lossless = true;
    EXPECT_EQ(encode(u"a\u0416b", 1252, &lossless), "a?b");
    EXPECT_FALSE(lossless);
    EXPECT_EQ(encode(u"\u0416", 1251, &lossless), "\xC6");
    EXPECT_TRUE(lossless);
    // A character outside the BMP is one character, one replacement.
    EXPECT_EQ(encode(u"x\U0001F600y", 1252, &lossless), "x?y");
    EXPECT_EQ(encodeUtf32(U"\U0001F600\u00E9", 1252, &lossless), "?\xE9");
    EXPECT_FALSE(lossless);
    EXPECT_EQ(decodeToUtf32("\xC0\xE9", 1251), U"\u0410\u0439");
}

TEST(CodePage, CharsetsNameTheirCodePages)
{
    const std::pair<int, int> cases[] = {{0, 1252},   {204, 1251}, {238, 1250}, {161, 1253},
                                         {162, 1254}, {77, 10000}, {128, 932},  {1, 0},
                                         {2, 0},      {999, 0}};
    for (auto [charset, cp] : cases)
        EXPECT_EQ(codePageOfCharset(charset), cp) << charset;
    EXPECT_TRUE(isLeadByte(932, 0x82));
    EXPECT_FALSE(isLeadByte(932, 0xA1));
    EXPECT_FALSE(isLeadByte(1252, 0x82));
}

TEST(CodePage, DoubleBytePagesDecodeThroughTheSystem)
{
    struct Case {
        int codePage;
        const char *bytes;
        std::u16string text;
    };
    const Case cases[] = {
        {932, "\x93\xfa\x96" "\x7b", u"\u65e5\u672c"},
        {932, "a\xb1" "b", u"a\uff71b"},                  // half-width kana: one byte
        {932, "\x93", u"\ufffd"},                      // lead byte at the end
        {932, "\x81 x", u"\ufffd x"},                  // a blank cannot trail: kept
        {936, "\xd6\xd0\xce" "\xc4", u"\u4e2d\u6587"},
        {949, "\xc7\xd1\xb1" "\xb9", u"\ud55c\uad6d"},
        {950, "\xa4\xa4\xa4" "\xe5", u"\u4e2d\u6587"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.bytes);
        EXPECT_EQ(decode(c.bytes, c.codePage), c.text);
    }
}

TEST(CodePage, Utf8Validity)
{
    const std::pair<std::string_view, bool> cases[] = {
        {"", true},
        {"plain ascii text over eight bytes", true},
        {"caf\xC3\xA9", true},
        {"\xE2\x82\xAC", true},
        {"\xF0\x9F\x98\x80", true},
        {"\xEF\xBB\xBFwith bom", true},
        {"caf\xE9", false},             // Latin-1 byte
        {"\xC0\xAF", false},            // overlong
        {"\xE0\x80\xAF", false},        // overlong
        {"\xED\xA0\x80", false},        // surrogate
        {"\xF4\x90\x80\x80", false},    // above U+10FFFF
        {"\xE2\x82", false},            // truncated
        {"12345678\xE2\x82", false},    // truncated after a fast ASCII stretch
        {"\x80", false},
    };
    for (auto [bytes, valid] : cases)
        EXPECT_EQ(isValidUtf8(bytes), valid) << testing::PrintToString(std::string(bytes));
}

TEST(CodePage, Utf8ConversionReplacesBadSequences)
{
    EXPECT_EQ(utf8ToUtf16("a\xF0\x9F\x98\x80" "b"), u"a\U0001F600b");
    EXPECT_EQ(utf8ToUtf16("a\xE9z"), u"a\uFFFDz");
    EXPECT_EQ(utf16ToUtf8(u"\u00E9\U0001F600"), "\xC3\xA9\xF0\x9F\x98\x80");
    const char16_t lone[] = {u'a', 0xD800, u'b', 0};
    EXPECT_EQ(utf16ToUtf8(lone), "a\xEF\xBF\xBD" "b");
}

struct PlainCase {
    const char *name;
    std::string bytes;
    std::u16string text;
    TextEncoding encoding;
};

TEST(PlainText, ReadRuleAndWriteBack)
{
    const PlainCase cases[] = {
        {"empty", "", u"", TextEncoding::Utf8},
        {"ascii", "Line\r\nTwo", u"Line\r\nTwo", TextEncoding::Utf8},
        {"utf8", "gr\xC3\xBC\xC3\x9F", u"gr\u00FC\u00DF", TextEncoding::Utf8},
        {"bom", "\xEF\xBB\xBFx\xE2\x82\xAC", u"x\u20AC", TextEncoding::Utf8Bom},
        {"latin", "gr\xFC\xDF \x80", u"gr\u00FC\u00DF \u20AC", TextEncoding::Windows1252},
        {"undefined 1252 bytes", "\x81\x8D\x8F\x90\x9D", u"\u0081\u008D\u008F\u0090\u009D",
         TextEncoding::Windows1252},
        {"binary junk", std::string("\xFF\xFE\0\x01", 4), std::u16string(u"\u00FF\u00FE\0\u0001", 4),
         TextEncoding::Windows1252},
    };
    for (const PlainCase &c : cases) {
        SCOPED_TRACE(c.name);
        const DecodedText d = decodePlainText(c.bytes);
        EXPECT_EQ(d.text, c.text);
        EXPECT_EQ(d.encoding, c.encoding);
        const EncodedText e = encodePlainText(d.text, d.encoding);
        EXPECT_EQ(e.bytes, c.bytes);
        EXPECT_EQ(e.encoding, c.encoding);
    }
}

TEST(PlainText, TextThatWindows1252CannotHoldIsSavedAsUtf8)
{
    const EncodedText e = encodePlainText(u"caf\u00E9 \u0416", TextEncoding::Windows1252);
    EXPECT_EQ(e.encoding, TextEncoding::Utf8);
    EXPECT_EQ(e.bytes, "caf\xC3\xA9 \xD0\x96");
    const EncodedText latin = encodePlainText(u"caf\u00E9", TextEncoding::Windows1252);
    EXPECT_EQ(latin.encoding, TextEncoding::Windows1252);
    EXPECT_EQ(latin.bytes, "caf\xE9");
}

} // namespace
