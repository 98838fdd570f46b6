// Range formatting into a PDF at printer resolution, read back with pdftotext.
#include "richedit/TRichEdit.h"
#include "richedit/rtf/RtfDocument.h"

#include "common/TempDir.h"

#include <QFontMetricsF>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QProcess>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <cmath>

using namespace kelpa::richedit;

namespace {

constexpr int kDpi = 600;

// Letter paper with one-inch margins, in twips.
TTwipsRect letterText()
{
    return {1440, 1440, 1440 + 9360, 1440 + 12960};
}

TFormatRange request(QPainter *painter, int cpMin, TTwipsRect rc = letterText())
{
    TFormatRange r;
    r.painter = painter;
    r.dpiX = kDpi;
    r.dpiY = kDpi;
    r.rc = rc;
    r.rcPage = {0, 0, 12240, 15840};
    r.cpMin = cpMin;
    r.cpMax = -1;
    return r;
}

// Page starts when only measuring.
std::vector<int> measure(TRichEdit &e, TTwipsRect rc = letterText())
{
    std::vector<int> starts;
    e.FormatRange(nullptr, false);
    int pos = 0;
    do {
        starts.push_back(pos);
        const TFormatRange r = request(nullptr, pos, rc);
        const int next = e.FormatRange(&r, false);
        if (next <= pos)
            ADD_FAILURE() << "no progress at " << pos;
        pos = next;
    } while (pos < e.TextLength() && starts.size() < 10000);
    return starts;
}

// Draws every page into a PDF and returns the page starts it used.
std::vector<int> print(TRichEdit &e, const QString &fileName, TTwipsRect rc = letterText())
{
    QPdfWriter writer(fileName);
    writer.setResolution(kDpi);
    writer.setPageSize(QPageSize(QPageSize::Letter));
    writer.setPageMargins(QMarginsF(0, 0, 0, 0));
    QPainter painter(&writer);
    std::vector<int> starts;
    e.FormatRange(nullptr, false);
    int pos = 0;
    for (;;) {
        starts.push_back(pos);
        const TFormatRange r = request(&painter, pos, rc);
        const int next = e.FormatRange(&r, true);
        if (next <= pos || next >= e.TextLength() || starts.size() >= 10000)
            break;
        writer.newPage();
        pos = next;
    }
    painter.end();
    return starts;
}

// The text of each page of a PDF.
std::vector<QString> pdfPages(const QString &fileName)
{
    QProcess p;
    p.start("pdftotext", {"-enc", "UTF-8", fileName, "-"});
    if (!p.waitForFinished(60000) || p.exitCode() != 0) {
        ADD_FAILURE() << "pdftotext failed (poppler-utils installed?)";
        return {};
    }
    QStringList pages = QString::fromUtf8(p.readAllStandardOutput()).split(QChar(u'\f'));
    if (!pages.isEmpty() && pages.back().trimmed().isEmpty())
        pages.removeLast();
    return {pages.begin(), pages.end()};
}

// Each numbered token ("L0001") of the document on exactly one page: the page whose range
// holds its position.
void expectTokensOnTheirPages(TRichEdit &e, const std::vector<int> &starts, const std::vector<QString> &pages,
                              const QString &prefix)
{
    ASSERT_EQ(pages.size(), starts.size());
    const QString text = e.Text();
    const QRegularExpression token(prefix + "\\d{4}");
    int tokens = 0;
    for (auto it = token.globalMatch(text); it.hasNext();) {
        const auto m = it.next();
        const auto page = static_cast<std::size_t>(
            std::upper_bound(starts.begin(), starts.end(), static_cast<int>(m.capturedStart())) - starts.begin() - 1);
        for (std::size_t p = 0; p < pages.size(); ++p) {
            const qsizetype count = pages[p].count(m.captured());
            ASSERT_EQ(count, p == page ? 1 : 0) << m.captured().toStdString() << " on page " << p;
        }
        ++tokens;
    }
    EXPECT_GT(tokens, 0);
}

QFont pageFont()
{
    QFont f("Liberation Sans");
    f.setPointSize(12);
    return f;
}

TEST(FormatRange, ManyLinesSplitIntoPagesWithEveryLineOnce)
{
    TRichEdit e;
    e.setFont(pageFont());
    QString text;
    const int lines = 400;
    for (int i = 1; i <= lines; ++i)
        text += QString("L%1 some words on this line\n").arg(i, 4, 10, QChar(u'0'));
    text.chop(1);
    e.SetText(text);
    // A few formatted lines do not upset the flow.
    e.SetSelStart(e.LineIndex(10));
    e.SetSelLength(e.LineLength(10));
    e.SelAttributes().SetStyle(TFontStyle::Bold | TFontStyle::Italic);

    const std::vector<int> measured = measure(e);
    kelpa::test::TempDir dir;
    const QString pdf = QString::fromStdString(dir.file("lines.pdf"));
    const std::vector<int> printed = print(e, pdf);
    EXPECT_EQ(printed, measured); // drawing breaks where measuring did

    // Lines of one height fill a page; the number of pages follows from the font.
    QFont device = pageFont();
    device.setPixelSize(static_cast<int>(std::lround(12.0 * kDpi / 72.0)));
    device.setHintingPreference(QFont::PreferNoHinting);
    const QFontMetricsF fm(device);
    const double lineHeight = std::ceil(fm.ascent() + fm.descent());
    const int perPage = static_cast<int>((9.0 * kDpi) / lineHeight);
    const int expectedPages = (lines + perPage - 1) / perPage;
    EXPECT_EQ(static_cast<int>(measured.size()), expectedPages) << perPage << " lines per page";
    for (std::size_t p = 1; p < measured.size(); ++p) {
        EXPECT_EQ(e.LineFromChar(measured[p]), static_cast<int>(p) * perPage) << p;
        EXPECT_EQ(e.LineIndex(e.LineFromChar(measured[p])), measured[p]); // pages start at lines
    }
    expectTokensOnTheirPages(e, printed, pdfPages(pdf), "L");
}

TEST(FormatRange, LongParagraphBreaksBetweenItsLines)
{
    TRichEdit e;
    e.setFont(pageFont());
    QString text;
    for (int i = 1; i <= 2500; ++i)
        text += QString("W%1 ").arg(i, 4, 10, QChar(u'0'));
    e.SetText(text);
    const std::vector<int> measured = measure(e);
    EXPECT_GE(measured.size(), 2u);

    kelpa::test::TempDir dir;
    const QString pdf = QString::fromStdString(dir.file("paragraph.pdf"));
    const std::vector<int> printed = print(e, pdf);
    EXPECT_EQ(printed, measured);
    expectTokensOnTheirPages(e, printed, pdfPages(pdf), "W");
}

TEST(FormatRange, PageBreaksStartNewPages)
{
    TRichEdit e;
    e.setFont(pageFont());
    kelpa::rtf::Document d;
    for (int section = 0; section < 3; ++section)
        for (int i = 0; i < 5; ++i) {
            kelpa::rtf::Paragraph p;
            p.format.pageBreakBefore = section > 0 && i == 0;
            p.runs.push_back({QString("S%1%2").arg(section).arg(i, 3, 10, QChar(u'0')).toStdU16String(), {}});
            d.paragraphs.push_back(p);
        }
    e.FromDocument(d);
    const std::vector<int> measured = measure(e);
    EXPECT_EQ(measured, (std::vector<int>{0, e.LineIndex(5), e.LineIndex(10)}));
    kelpa::test::TempDir dir;
    const QString pdf = QString::fromStdString(dir.file("breaks.pdf"));
    const std::vector<int> printed = print(e, pdf);
    expectTokensOnTheirPages(e, printed, pdfPages(pdf), "S");
}

TEST(FormatRange, AlwaysAdvancesByALine)
{
    TRichEdit e;
    e.setFont(pageFont());
    e.SetText("one\ntwo\nthree\n\nfive");
    // A rectangle lower than any line still takes one line per page.
    const TTwipsRect tiny{1440, 1440, 10800, 1450};
    const std::vector<int> starts = measure(e, tiny);
    EXPECT_EQ(starts, (std::vector<int>{0, 4, 8, 14, 15}));
    // Nothing left to format, or an empty text: the end comes back at once.
    const TFormatRange atEnd = request(nullptr, e.TextLength());
    EXPECT_EQ(e.FormatRange(&atEnd, false), e.TextLength());
    TRichEdit empty;
    const TFormatRange r = request(nullptr, 0);
    EXPECT_EQ(empty.FormatRange(&r, false), 0);
    // A range that stops inside the text stops there.
    TFormatRange part = request(nullptr, 0);
    part.cpMax = 6;
    EXPECT_EQ(e.FormatRange(&part, false), 6);
}

} // namespace
