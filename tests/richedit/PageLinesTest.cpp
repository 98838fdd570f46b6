// The lines of a plain page's document, driven on a bare document: a long line in pieces must
// read, count and search as the line it is.
#include "richedit/PageLines.h"

#include <QTextBlock>
#include <QTextDocument>

#include <gtest/gtest.h>

#include <ostream>

using kelpa::richedit::PageLines;

namespace {

// A document filled as a plain page fills it; '\n' ends a line, U+2028 ends one within a
// paragraph.
struct Page {
    Page(const QString &text, int pieceLength) : lines(&doc)
    {
        doc.documentLayout(); // a document without a layout reports no changes
        QObject::connect(&doc, &QTextDocument::contentsChange,
                         [this](int from, int, int added) { lines.NoteChange(from, added); });
        lines.SetPieceLength(pieceLength);
        QString split = text;
        const std::vector<PageLines::Break> breaks = lines.Split(split);
        doc.setPlainText(split);
        lines.MarkPieces(breaks);
    }
    // The text as a caller reads it: the breaks before pieces are their characters again.
    QString text() const
    {
        QString raw = doc.toRawText();
        lines.Restore(raw, 0);
        raw.replace(QChar(QChar::ParagraphSeparator), QChar(u'\n'));
        raw.replace(QChar(QChar::LineSeparator), QChar(u'\n'));
        return raw;
    }
    QTextDocument doc;
    PageLines lines;
};

struct LinesCase {
    const char *what;
    QString text;
    int pieceLength;
    bool inPieces;
};

void PrintTo(const LinesCase &c, std::ostream *os) { *os << c.what; }

class PageLinesTest : public ::testing::TestWithParam<LinesCase> {};

TEST_P(PageLinesTest, ReadsCountsAndSpansTheLinesAsWritten)
{
    const LinesCase &c = GetParam();
    Page page(c.text, c.pieceLength);
    QString plain = c.text;
    plain.replace(QChar(QChar::LineSeparator), QChar(u'\n'));
    const QStringList want = plain.split(u'\n');
    EXPECT_EQ(page.lines.HasPieces(), c.inPieces);
    EXPECT_EQ(page.doc.blockCount() > static_cast<int>(c.text.count(u'\n')) + 1, c.inPieces);
    EXPECT_EQ(page.text(), plain);
    ASSERT_EQ(page.lines.Count(), want.size());
    const QString read = page.text();
    for (int i = 0; i < want.size(); ++i) {
        SCOPED_TRACE(i);
        int start = -1;
        int end = -1;
        ASSERT_TRUE(page.lines.Span(i, start, end));
        EXPECT_EQ(read.mid(start, end - start), want[i]);
        EXPECT_EQ(page.lines.LineAt(start), i);
        EXPECT_EQ(page.lines.LineAt(end), i);
        EXPECT_EQ(page.lines.Range(start, end), want[i]);
    }
    int start = 0;
    int end = 0;
    EXPECT_FALSE(page.lines.Span(static_cast<int>(want.size()), start, end));
    EXPECT_FALSE(page.lines.Span(-1, start, end));
}

INSTANTIATE_TEST_SUITE_P(
    Texts, PageLinesTest,
    ::testing::Values(
        LinesCase{"short lines stay whole", "one\ntwo\nthree", 7, false},
        LinesCase{"a long line breaks at blanks", "first\nalpha beta gamma delta epsilon zeta\nlast", 7, true},
        LinesCase{"tabs are blanks too", "alpha\tbeta\tgamma\tdelta", 6, true},
        LinesCase{"minified data breaks at marks", "a,bb,ccc;dddd.eeeee(ffffff)g", 5, true},
        LinesCase{"a line with nowhere to break stays whole", "abcdefghijklmnopqrstuvwxyz\nab", 5, false},
        LinesCase{"line separators within a paragraph", QString("one") + QChar(QChar::LineSeparator) +
                                                        "alpha beta gamma delta" + QChar(QChar::LineSeparator) + "end",
                  6, true},
        LinesCase{"the last line is long", "x\nlorem ipsum dolor sit amet consectetur", 8, true}),
    [](const ::testing::TestParamInfo<LinesCase> &info) { return std::to_string(info.index); });

TEST(PageLines, AnEditCountsTheLinesAgainFromWhereItIs)
{
    Page page("first\nalpha beta gamma delta epsilon\nlast", 7);
    ASSERT_EQ(page.lines.Count(), 3);
    int start = 0;
    int end = 0;
    ASSERT_TRUE(page.lines.Span(2, start, end)); // the index is counted to the end
    QTextCursor c(&page.doc);
    c.setPosition(5);
    c.insertBlock();
    c.insertText("second");
    EXPECT_EQ(page.lines.Count(), 4);
    ASSERT_TRUE(page.lines.Span(3, start, end));
    EXPECT_EQ(page.text().mid(start, end - start), "last");
    ASSERT_TRUE(page.lines.Span(2, start, end));
    EXPECT_EQ(page.text().mid(start, end - start), "alpha beta gamma delta epsilon");
    EXPECT_EQ(page.lines.LineAt(start + 12), 2);
}

TEST(PageLines, PieceLengthBelongsToTheDocument)
{
    QTextDocument one;
    QTextDocument two;
    PageLines a(&one);
    PageLines b(&two);
    const int usual = b.PieceLength();
    a.SetPieceLength(4);
    EXPECT_EQ(a.PieceLength(), 4);
    EXPECT_EQ(b.PieceLength(), usual);
    a.SetPieceLength(0);
    EXPECT_EQ(a.PieceLength(), 2) << "a piece holds at least two characters";
    QString text = "aaa bbb ccc";
    EXPECT_TRUE(b.Split(text).empty());
    EXPECT_EQ(text, "aaa bbb ccc");
}

struct FindCase {
    const char *what;
    QString needle;
    bool matchCase;
    bool wholeWord;
    int found; // in "alpha beta gamma delta", -1 when not there
};

void PrintTo(const FindCase &c, std::ostream *os) { *os << c.what; }

class FindAcrossBreaksTest : public ::testing::TestWithParam<FindCase> {};

TEST_P(FindAcrossBreaksTest, FindsWhatRunsOverTheBreakBeforeAPiece)
{
    const FindCase &c = GetParam();
    Page page("alpha beta gamma delta", 7); // pieces "alpha", "beta", "gamma", "delta"
    ASSERT_EQ(page.doc.blockCount(), 4);
    const int end = page.doc.characterCount() - 1;
    EXPECT_EQ(page.lines.FindAcrossBreaks(c.needle, 0, end, -1, c.matchCase, c.wholeWord), c.found);
    // A hit found within a paragraph before it stands.
    EXPECT_EQ(page.lines.FindAcrossBreaks(c.needle, 0, end, 0, c.matchCase, c.wholeWord), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Needles, FindAcrossBreaksTest,
    ::testing::Values(FindCase{"over one break", "beta gamma", false, false, 6},
                      FindCase{"over two breaks", "ha beta gam", false, false, 3},
                      FindCase{"any case", "BETA GAMMA", false, false, 6},
                      FindCase{"case that differs", "BETA GAMMA", true, false, -1},
                      FindCase{"whole words", "beta gamma", false, true, 6},
                      FindCase{"part of a word", "ta gam", false, true, -1},
                      FindCase{"part of a word, whole words not asked", "ta gam", false, false, 8},
                      FindCase{"within one piece is not this search's", "gamm", false, false, -1}),
    [](const ::testing::TestParamInfo<FindCase> &info) { return std::to_string(info.index); });

} // namespace
