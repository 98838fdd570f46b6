// Inserted texts, the keystroke repair, word letters, the word at the caret, case changes and
// positions that move with the text.
#include "editor/EditText.h"

#include <gtest/gtest.h>

using namespace kelpa::editor;

namespace {

const QStringList kMonths{"January", "February", "March",     "April",   "May",      "June",
                          "July",    "August",   "September", "October", "November", "December"};

} // namespace

TEST(DateText, FourFormatsWithoutLeadingZeros)
{
    const QDate march5(2026, 3, 5);
    const QDate dec31(1999, 12, 31);
    struct Case {
        int option;
        QDate date;
        QChar separator;
        const char *text;
    } cases[] = {
        {0, march5, '/', "5/3/2026"},        {1, march5, '/', "3/5/2026"},
        {2, march5, '/', "5/March/2026"},    {3, march5, '/', "March/5/2026"},
        {0, dec31, '.', "31.12.1999"},       {3, dec31, '-', "December-31-1999"},
        {4, march5, '/', ""},                {-1, march5, '/', ""},
    };
    for (const Case &c : cases)
        EXPECT_EQ(dateText(c.option, c.date, c.separator, kMonths), QString::fromUtf8(c.text)) << c.option;
}

TEST(SeparatorText, LinesAndHeaders)
{
    const QString macrons3(3, QChar(0xAF));
    EXPECT_EQ(separatorText(false, 3), "\n___\n");
    EXPECT_EQ(separatorText(true, 3), "\n___\nTitle\n" + macrons3 + "\n");
    // Zero or less: 72, the length then kept.
    EXPECT_EQ(separatorLengthInUse(0), 72);
    EXPECT_EQ(separatorLengthInUse(-5), 72);
    EXPECT_EQ(separatorLengthInUse(79), 79);
    EXPECT_EQ(separatorText(false, -5), "\n" + QString(72, '_') + "\n");
    // A huge stored length builds a bounded line.
    EXPECT_EQ(separatorText(false, 2000000000).size(), kMaxSeparatorLength + 2);
    EXPECT_EQ(separatorText(true, 2000000000).count(QChar(0xAF)), kMaxSeparatorLength);
}

TEST(KeystrokeRepair, GivesBackOnlyALostCharacter)
{
    struct Case {
        const char *what;
        QChar typed;          // '\0': no key-press
        int lengthAtUp, caretAtUp;
        bool readOnly, altOrCtrl;
        QString inserted;
    } cases[] = {
        {"lost letter", 'x', 10, 4, false, false, "x"},
        {"lost return", QChar(13), 10, 4, false, false, "\r\n"},
        {"letter that arrived", 'x', 11, 5, false, false, ""},
        {"caret moved only", 'x', 10, 5, false, false, ""},
        {"text changed only", 'x', 9, 4, false, false, ""},
        {"read-only page", 'x', 10, 4, true, false, ""},
        {"Ctrl or Alt held", 'x', 10, 4, false, true, ""},
        {"control character", QChar(7), 10, 4, false, false, ""},
        {"Latin-1 letter", QChar(0xE9), 10, 4, false, false, QString(QChar(0xE9))},
        {"beyond Latin-1", QChar(0x0416), 10, 4, false, false, ""},
        {"no key-press", QChar(), 10, 4, false, false, ""},
    };
    for (const Case &c : cases) {
        KeystrokeRepair r;
        r.keyDown(10, 4);
        if (!c.typed.isNull())
            r.keyPress(c.typed);
        EXPECT_EQ(r.keyUp(c.lengthAtUp, c.caretAtUp, c.readOnly, c.altOrCtrl), c.inserted) << c.what;
        EXPECT_TRUE(r.pending().isEmpty()) << c.what;
    }
}

TEST(KeystrokeRepair, ControlCharacterKeepsThePendingOne)
{
    KeystrokeRepair r;
    r.keyDown(0, 0);
    r.keyPress('a');
    r.keyPress(QChar(8));
    EXPECT_EQ(r.pending(), "a");
}

TEST(WordLetters, AllBytes)
{
    for (int b = 0; b < 256; ++b) {
        bool expected = (b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z') || (b >= '0' && b <= '9') || b == '\'';
        if (b >= 0xC0 && b != 0xD0 && b != 0xD7 && b != 0xD8 && b != 0xDE && b != 0xF7 && b != 0xFE)
            expected = true;
        EXPECT_EQ(IsWordLetter(static_cast<unsigned char>(b)), expected) << b;
        EXPECT_EQ(IsWordLetter(QChar(b)), expected) << b;
    }
    // Characters beyond Latin-1 are no letters of this table.
    EXPECT_FALSE(IsWordLetter(QChar(0x0160)));
    EXPECT_FALSE(IsWordLetter(QChar(0x2019)));
    EXPECT_FALSE(IsWordLetter(QChar(0x20AC)));
    // Characters the code page does not hold are letters when their own script says so.
    EXPECT_TRUE(IsWordLetter(QChar(0x0416)));
    EXPECT_TRUE(IsWordLetter(QChar(0x044F)));
    EXPECT_FALSE(IsWordLetter(QChar(0x2014)));
    EXPECT_FALSE(IsWordLetter(QChar(0x3000)));
}

TEST(WordAtCaret, Cases)
{
    struct Case {
        const char *text;
        int caret;
        int start, length;
    } cases[] = {
        {"", 0, 0, 0},
        {"hello world", 0, 0, 5},
        {"hello world", 3, 0, 5},
        {"hello world", 5, 6, 5},   // on the blank: the word to the right
        {"hello world", 6, 6, 5},
        {"hello world", 10, 6, 5},
        {"hello world", 11, 11, 0}, // after the last word
        {"hello world.", 11, 12, 0},
        {"don't stop", 2, 0, 5},    // the apostrophe is a letter
        {"caf\xc3\xa9 au lait", 3, 0, 4},
        {"  \n  x", 0, 5, 1},
        {"a-b", 1, 2, 1},
        {"abc", 99, 3, 0},          // beyond the text
        // Letters of scripts the 8-bit table does not hold are letters too.
        {"\xd0\x9f\xd1\x80\xd0\xb8\xd0\xb2\xd0\xb5\xd1\x82 \xd0\xbc\xd0\xb8\xd1\x80 and", 2, 0, 6},
        {"hello \xd0\xbc\xd0\xb8\xd1\x80", 5, 6, 3},
        {"\xce\xb1\xce\xb2\xce\xb3.x", 1, 0, 3},
    };
    for (const Case &c : cases) {
        const WordSpan w = wordAtCaret(QString::fromUtf8(c.text), c.caret);
        EXPECT_EQ(w.start, c.start) << c.text << " @" << c.caret;
        EXPECT_EQ(w.length, c.length) << c.text << " @" << c.caret;
    }
}

TEST(FirstWordOf, Selections)
{
    EXPECT_EQ(firstWordOf("hello world"), "hello");
    EXPECT_EQ(firstWordOf("  padded  "), "padded");
    EXPECT_EQ(firstWordOf("first\nsecond"), "first");
    EXPECT_EQ(firstWordOf(QString("first") + QChar(0x2029) + "second"), "first");
    EXPECT_EQ(firstWordOf("one\r\ntwo three"), "one");
    EXPECT_EQ(firstWordOf("   "), "");
}

TEST(CaseChange, KeepsTheLength)
{
    struct Case {
        QString text, lower, upper;
    } cases[] = {
        {"Hello World", "hello world", "HELLO WORLD"},
        {QString::fromUtf8("Stra\xc3\x9f" "e"), QString::fromUtf8("stra\xc3\x9f" "e"), QString::fromUtf8("STRA\xc3\x9f" "E")},
        {QString::fromUtf8("\xc3\x89t\xc3\xa9"), QString::fromUtf8("\xc3\xa9t\xc3\xa9"), QString::fromUtf8("\xc3\x89T\xc3\x89")},
        {QString::fromUtf8("\xf0\x9d\x90\x80x"), QString::fromUtf8("\xf0\x9d\x90\x80x"), QString::fromUtf8("\xf0\x9d\x90\x80X")},
        {"", "", ""},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(lowerCaseKeepingLength(c.text), c.lower);
        EXPECT_EQ(upperCaseKeepingLength(c.text), c.upper);
        EXPECT_EQ(upperCaseKeepingLength(c.text).size(), c.text.size());
    }
}

TEST(ShiftedPosition, FollowsTheText)
{
    struct Case {
        const char *what;
        int position, from, removed, added, expected;
    } cases[] = {
        {"unset", -1, 0, 0, 5, -1},
        {"change after it", 3, 5, 0, 4, 3},
        {"insert before", 10, 2, 0, 4, 14},
        {"insert at it", 10, 10, 0, 4, 14},
        {"delete before", 10, 2, 3, 0, 7},
        {"delete over it", 10, 8, 5, 0, 8},
        {"format change over it", 10, 8, 5, 5, 10},
        {"shorter replacement over it", 10, 8, 5, 1, 9},
        {"replacement ending at it", 10, 8, 2, 6, 14},
    };
    for (const Case &c : cases)
        EXPECT_EQ(shiftedPosition(c.position, c.from, c.removed, c.added), c.expected) << c.what;
}

TEST(FindHits, OptionsLimitsAndOverlaps)
{
    using Hits = std::vector<int>;
    struct Case {
        const char *what;
        QString text, find;
        int from, limit;
        bool wholeWord, matchCase;
        Hits hits;
    } cases[] = {
        {"any case", "Cat cat CAT", "cat", 0, -1, false, false, {0, 4, 8}},
        {"match case", "Cat cat CAT", "cat", 0, -1, false, true, {4}},
        {"from", "cat cat cat", "cat", 1, -1, false, false, {4, 8}},
        {"limit", "cat cat cat", "cat", 0, 8, false, false, {0, 4}},
        {"no overlaps", "aaaa", "aa", 0, -1, false, false, {0, 2}},
        {"whole words", "cat concat cats cat2 (cat)", "cat", 0, -1, true, false, {0, 22}},
        {"whole word after a rejected hit", "catcat cat", "cat", 0, -1, true, false, {7}},
        {"no-break space is a blank", QString("a") + QChar(0xA0) + "b a b", "a b", 0, -1, false, false, {0, 4}},
        {"empty search", "abc", "", 0, -1, false, false, {}},
        {"from past the end", "abc", "a", 9, -1, false, false, {}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(findHits(c.text, c.find, c.from, c.limit, c.wholeWord, c.matchCase), c.hits) << c.what;
}
