// The rich-text printer: geometry and units on a 600-dpi A4 device, the header and footer
// language, where header and footer land on the page, page breaking and the failure paths.
#include "printmod/FakePrinter.h"

#include "platform/Registry.h"
#include "richedit/TRichEdit.h"
#include "printmod/RichPrinter.h"
#include "support/MessageBoxes.h"
#include "common/ScriptedPrompter.h"

#include <QDate>
#include <QDialog>
#include <QLocale>
#include <QPushButton>
#include <QTest>
#include <QtEndian>
#include <functional>
#include <gtest/gtest.h>

#include <cmath>

using kelpa::richedit::TRichEdit;

using namespace kelpa::printmod;
using kelpa::test::FakePort;

namespace {

std::unique_ptr<TRichPrinter> makePrinter(DeviceMetrics m = kelpa::test::a4At600(), bool available = true,
                                          FakePort **port = nullptr)
{
    auto fake = std::make_unique<FakePort>(m, available);
    if (port)
        *port = fake.get();
    return std::make_unique<TRichPrinter>(std::move(fake));
}

// --- Geometry

TEST(RichPrinterGeometry, StartingEdgesAndTextAreaAtA4600Dpi)
{
    auto p = makePrinter();
    // 100 pixels of border at 600 dpi are 4.2333 mm; margins 30/25/25/15 mm.
    EXPECT_NEAR(p->GutterLeft(), 4.23333, 1e-4);
    EXPECT_NEAR(p->GutterTop(), 4.23333, 1e-4);
    EXPECT_NEAR(p->GutterRight(), 4.23333, 1e-4);
    EXPECT_NEAR(p->GutterBottom(), 4.23333, 1e-4);
    EXPECT_NEAR(p->GetPhysicalPageWidth(), 210.0157, 1e-3);
    EXPECT_NEAR(p->GetPhysicalPageHeight(), 297.0107, 1e-3);
    EXPECT_NEAR(p->GetAvailablePageHeight(), 288.544, 1e-3);
    EXPECT_EQ(p->StartingLeft(), 491);   // (25 - 4.2333) mm = 490.55 px
    EXPECT_EQ(p->StartingRight(), 254);  // (15 - 4.2333) mm = 254.33 px
    EXPECT_EQ(p->StartingTop(), 609);    // (30 - 4.2333) mm = 608.66 px
    EXPECT_EQ(p->StartingBottom(), 491);
    EXPECT_EQ(p->PixelPrintWidth(), 4761 - 491 - 254);
    EXPECT_EQ(p->PixelPrintHeight(), 6816 - 609 - 491);
}

TEST(RichPrinterGeometry, UnitConversionsRoundHalvesToEven)
{
    struct Case {
        TMeasureUnit unit;
        double value;
        int pixels;
    } cases[] = {
        {TMeasureUnit::muMillimeters, 25.4, 600},
        {TMeasureUnit::muMillimeters, 0.0635, 2},              // 1.5 px
        {TMeasureUnit::muMillimeters, 0.10583333333333333, 2}, // 2.5 px
        {TMeasureUnit::muMillimeters, 0.021166666666666667, 0}, // 0.5 px
        {TMeasureUnit::muInches, 1.0, 600},
        {TMeasureUnit::muInches, 0.0025, 2},                   // 1.5 px
        {TMeasureUnit::muInches, 0.004166666666666667, 2},     // 2.5 px
        {TMeasureUnit::muInches, 0.0075, 4},                   // 4.5 px
        {TMeasureUnit::muInches, -0.0025, -2},
    };
    for (const Case &c : cases) {
        auto p = makePrinter(DeviceMetrics{600, 300, 4961, 7016, 100, 100, 4761, 6816});
        p->SetMeasureUnit(c.unit);
        EXPECT_EQ(p->MeasureUnitsToPixelsH(c.value), c.pixels) << c.value;
        EXPECT_EQ(p->MeasureUnitsToPixelsV(c.value * 2), c.pixels) << "at 300 dpi down: " << c.value;
    }
    auto p = makePrinter();
    EXPECT_DOUBLE_EQ(p->PixelsToMeasureUnitsH(600), 25.4);
    p->SetMeasureUnit(TMeasureUnit::muInches);
    EXPECT_DOUBLE_EQ(p->PixelsToMeasureUnitsV(300), 0.5);
}

TEST(RichPrinterGeometry, FallbacksWithoutPrinter)
{
    auto p = makePrinter({}, false);
    EXPECT_EQ(p->GetPhysicalPageWidth(), 210);
    EXPECT_EQ(p->GetPhysicalPageHeight(), 297);
    EXPECT_EQ(p->GetAvailablePageWidth(), 198);
    EXPECT_EQ(p->GetAvailablePageHeight(), 284);
    EXPECT_EQ(p->GutterLeft(), 6);
    EXPECT_EQ(p->GutterBottom(), 7);
    EXPECT_EQ(p->MeasureUnitsToPixelsH(25.4), 600);
    EXPECT_EQ(p->Title(), "<Unknown>");
    p->SetMeasureUnit(TMeasureUnit::muInches);
    EXPECT_EQ(p->GetPhysicalPageWidth(), 8.5);
    EXPECT_EQ(p->GetAvailablePageHeight(), 10.5);
    EXPECT_EQ(p->GutterTop(), 0.25);
    EXPECT_DOUBLE_EQ(p->PixelsToMeasureUnitsH(300), 0.5);
}

TEST(RichPrinterGeometry, MarginsAreClampedToThePrintableArea)
{
    auto p = makePrinter();
    p->SetMarginTop(0);
    EXPECT_NEAR(p->MarginTop(), 4.2333, 1e-4);
    p->SetMarginLeft(500);
    EXPECT_NEAR(p->MarginLeft(), 210.0157 - 4.2333, 1e-3);
    p->SetMarginBottom(-3);
    EXPECT_NEAR(p->MarginBottom(), 4.2333, 1e-4);
    p->SetMarginRight(20);
    EXPECT_EQ(p->MarginRight(), 20);
}

TEST(RichPrinterProperties, MeasureUnitSwitchConvertsLengthsAndFormats)
{
    auto p = makePrinter();
    p->SetMeasureUnit(TMeasureUnit::muInches);
    EXPECT_NEAR(p->MarginTop(), 1.181, 1e-3);
    EXPECT_NEAR(p->MarginBottom(), 0.984, 1e-3);
    EXPECT_NEAR(p->MarginLeft(), 0.984, 1e-3);
    EXPECT_NEAR(p->MarginRight(), 0.591, 1e-3);
    EXPECT_EQ(p->HeaderFormat(), ">   3.937");
    EXPECT_EQ(p->FooterFormat(), ">   3.937");
    EXPECT_NEAR(p->BorderOffset(), 2 / 25.4, 1e-9);
    EXPECT_NEAR(p->LogoWidth(), 25 / 25.4, 1e-9);
    p->SetMeasureUnit(TMeasureUnit::muMillimeters);
    EXPECT_NEAR(p->MarginTop(), 30, 1e-9);
    EXPECT_EQ(p->HeaderFormat(), "> 100.000");
}

TEST(RichPrinterProperties, DefaultsAndDialogFlags)
{
    auto p = makePrinter();
    EXPECT_EQ(p->Header(), "{$TITLE}");
    EXPECT_EQ(p->Footer(), "Page {$PAGE}");
    EXPECT_EQ(p->HeaderFormat(), ">100");
    EXPECT_EQ(p->Font_HeaderFooter().family(), "Courier New");
    EXPECT_EQ(p->Font_HeaderFooter().pointSize(), 10);
    EXPECT_EQ(p->FontColor(), kWindowTextColor);
    EXPECT_EQ(p->Orientation(), QPageLayout::Portrait);
    EXPECT_TRUE(p->CompressPreview());
    EXPECT_FALSE(p->SaveMargins());
    EXPECT_EQ(p->PageSetupFlags(), 0u);

    struct Case {
        TPageOptions options;
        TPageOptions kept;
        unsigned flags;
    } cases[] = {
        {poMargins, poMargins, 0xA},
        {poDisableMargins | poMargins, poDisableMargins, 0x18},
        {poMargins | poDisableOrientation | poDisablePaper | poDisablePrinter, poMargins | poDisableOrientation | poDisablePaper | poDisablePrinter, 0x32A},
        {0, 0, 0x8},
    };
    for (const Case &c : cases) {
        p->SetOptions_Dialog(c.options);
        EXPECT_EQ(p->Options_Dialog(), c.kept);
        EXPECT_EQ(p->PageSetupFlags(), c.flags);
    }
    p->SetMeasureUnit(TMeasureUnit::muInches);
    p->SetOptions_Dialog(poMargins);
    EXPECT_EQ(p->PageSetupFlags(), 0x6u);

    p->SetFont(QFont("Arial", 12), 0xFFFFFF);
    EXPECT_EQ(p->FontColor(), 0);
}

// --- Header and footer language

TEST(RichPrinterText, ParseFormatToken)
{
    struct Case {
        const char *token;
        TAlignmentToken alignment;
        double width;
    } cases[] = {
        {"", TAlignmentToken::Left, 7},
        {"<", TAlignmentToken::Left, 7},
        {">", TAlignmentToken::Right, 7},
        {"^", TAlignmentToken::Centre, 7},
        {">100", TAlignmentToken::Right, 100},
        {"^25.5", TAlignmentToken::Centre, 25.5},
        {"<12", TAlignmentToken::Left, 12},
        {"20", TAlignmentToken::Left, 20},
        {"x20", TAlignmentToken::Left, 7},
        {"<abc", TAlignmentToken::Left, 7},
        {">   3.937", TAlignmentToken::Right, 3.937},
    };
    for (const Case &c : cases) {
        QString token = c.token;
        TAlignmentToken alignment = TAlignmentToken::Centre;
        double width = -1;
        ParseFormatToken(token, alignment, width, 7);
        EXPECT_EQ(alignment, c.alignment) << c.token;
        EXPECT_DOUBLE_EQ(width, c.width) << c.token;
    }
}

TEST(RichPrinterText, TokenizeString)
{
    struct Case {
        const char *text;
        QStringList pieces;
    } cases[] = {
        {"", {""}},
        {"a", {"a"}},
        {"a|b", {"a", "b"}},
        {"|", {"", ""}},
        {"a||b|", {"a", "", "b", ""}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(TokenizeString(c.text), c.pieces) << c.text;
}

TEST(RichPrinterText, ReplaceSubStringMakesOnePass)
{
    struct Case {
        const char *find, *replace, *text, *result;
    } cases[] = {
        {"a", "b", "aaa", "bbb"},
        {"{$PAGE}", "7", "Page {$PAGE} of {$PAGE}", "Page 7 of 7"},
        {"{$PAGE}", "x{$PAGE}", "{$PAGE}", "{$PAGE}"}, // the replacement holds the token
        {"ab", "a", "aabb", "aab"},                     // replacing forms "ab" again: not redone
        {"{$LINE}", "{$", "{$LINE}LINE}", "{$LINE}"},
        {"", "x", "abc", "abc"},
        {"q", "x", "abc", "abc"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(ReplaceSubString(c.find, c.replace, c.text), c.result) << c.find << " in " << c.text;

    // A long self-forming text is done in one pass, not one restart per hit.
    const QString text = QString(20000, u'a') + QString(20000, u'b');
    EXPECT_EQ(ReplaceSubString("ab", "a", text), QString(20000, u'a') + QString(19999, u'b'));
}

TEST(RichPrinterText, StripBackToWhiteSpace)
{
    EXPECT_EQ(StripBackToWhiteSpace("one two three"), "one two ");
    EXPECT_EQ(StripBackToWhiteSpace("one\ttwo"), "one\t");
    EXPECT_EQ(StripBackToWhiteSpace("word"), "word");
    EXPECT_EQ(StripBackToWhiteSpace(""), "");
}

// --- Drawing on the recording device

class RichPrinterPage : public ::testing::Test {
public:
    void SetUp() override
    {
        printer = makePrinter(kelpa::test::a4At600(), true, &port);
        printer->SetTitle("Doc.rtf");
        printer->SetShowProgress(false);
    }
    // Opens a document, so that the canvas measures; the first page has header and footer.
    void begin() { printer->BeginDoc(); }
    int px(double mm) const { return printer->MeasureUnitsToPixelsH(mm); }
    int width(const QString &s) const { return port->painter()->fontMetrics().horizontalAdvance(s); }
    const kelpa::test::DrawnText *find(const QString &text, std::size_t page = 0) const
    {
        for (const auto &t : port->pages().at(page).texts)
            if (t.text == text)
                return &t;
        return nullptr;
    }

    FakePort *port = nullptr;
    std::unique_ptr<TRichPrinter> printer;
};

TEST_F(RichPrinterPage, DefaultHeaderAndFooterPositions)
{
    begin();
    const int lh = printer->LineHeight();
    ASSERT_GT(lh, 0);
    const auto *title = find("Doc.rtf");
    ASSERT_NE(title, nullptr) << port->pages()[0].allText().toStdString();
    // Right-aligned in a 100 mm column from the left margin, 6 pixels in.
    EXPECT_NEAR(title->right, printer->StartingLeft() + px(100) - 6, 1.0);
    EXPECT_NEAR(title->top, std::nearbyint((printer->StartingTop() - lh) / 2.0), 1.0);
    EXPECT_LT(title->top + lh, printer->StartingTop());
    const auto *footer = find("Page 1");
    ASSERT_NE(footer, nullptr);
    EXPECT_NEAR(footer->right, printer->StartingLeft() + px(100) - 6, 1.0);
    EXPECT_NEAR(footer->top, std::floor((printer->StartingBottom() - lh) / 2.0) + printer->PixelPrintHeight() +
                                 printer->StartingTop(), 1.0);
    EXPECT_GT(footer->top, printer->StartingTop() + printer->PixelPrintHeight());
    printer->NewPage();
    EXPECT_NE(find("Page 2", 1), nullptr);
    printer->EndDoc();
}

TEST_F(RichPrinterPage, ColumnsAlignmentsAndClipping)
{
    struct Case {
        const char *format;
        const char *header;
        // expected: text drawn, and its left edge relative to the left margin (a function of
        // the printer, the column width and the text width)
        std::vector<std::pair<QString, std::function<double(RichPrinterPage &, int w)>>> drawn;
        std::vector<QString> absent;
    };
    const std::vector<Case> cases = {
        {"<50|>50", "a|b|c",
         {{"a", [](RichPrinterPage &, int) { return 6.0; }},
          {"b", [](RichPrinterPage &t, int w) { return double(t.px(50) + t.px(50) - 6 - w); }}},
         {"c"}},
        {"^100", "mid",
         {{"mid", [](RichPrinterPage &t, int w) { return std::floor((t.px(100) - w) / 2.0); }}}, {}},
        {"<", "Long title", {{"L", [](RichPrinterPage &, int) { return 0.0; }}}, {"Long title"}},
        {"x20", "Wide", {{"W", [](RichPrinterPage &, int) { return 0.0; }}}, {"Wide"}},
        {"<50|>50", "only", {{"only", [](RichPrinterPage &, int) { return 6.0; }}}, {}},
    };
    for (const Case &c : cases) {
        SetUp();
        printer->SetHeader(c.header);
        printer->SetHeaderFormat(c.format);
        printer->SetFooter("");
        begin();
        for (const auto &[text, left] : c.drawn) {
            const auto *t = find(text);
            ASSERT_NE(t, nullptr) << c.format << " / " << text.toStdString() << ": "
                                  << port->pages()[0].allText().toStdString();
            EXPECT_EQ(t->left - printer->StartingLeft(), left(*this, width(text))) << c.format << " " << text.toStdString();
        }
        for (const QString &text : c.absent)
            EXPECT_EQ(find(text), nullptr) << c.format << " " << text.toStdString();
        printer->EndDoc();
    }
}

TEST_F(RichPrinterPage, TokensInHeaderAndFooter)
{
    printer->SetHeader("{$TITLE} {$PAGE}|{$LINE}");
    printer->SetHeaderFormat("<80|>80");
    printer->SetTitle("A {$TITLE} B");
    printer->SetFooter("{$DATE}");
    begin();
    // A title holding the title token is not put in: the token stays.
    EXPECT_NE(find("{$TITLE} 1"), nullptr) << port->pages()[0].allText().toStdString();
    EXPECT_NE(find("0"), nullptr);
    EXPECT_NE(find(QLocale().toString(QDate::currentDate(), QLocale::ShortFormat)), nullptr);
    printer->EndDoc();
}

TEST_F(RichPrinterPage, GetClippedLineKeepsTheLongestPrefixThatFits)
{
    begin();
    const QString text = "Clipping a header text";
    std::vector<int> maxWidths = {0, 1, width(text), width(text) + 5, width(text) - 1};
    for (int i = 1; i <= text.size(); ++i) {
        maxWidths.push_back(width(text.left(i)));
        maxWidths.push_back(width(text.left(i)) - 1);
    }
    for (int maxWidth : maxWidths) {
        qsizetype fits = 1;
        for (qsizetype i = 1; i <= text.size(); ++i)
            if (width(text.left(i)) <= maxWidth)
                fits = i;
        EXPECT_EQ(printer->GetClippedLine(text, maxWidth), text.left(fits)) << maxWidth;
    }
    printer->EndDoc();
}

TEST_F(RichPrinterPage, WriteLineSplitsLongTextAtBlanks)
{
    printer->SetHeader("");
    printer->SetFooter("");
    begin();
    QString text;
    for (int i = 0; i < 120; ++i)
        text += QStringLiteral("word%1 ").arg(i);
    printer->WriteLine(text);
    QString joined;
    for (const auto &t : port->pages()[0].texts) {
        EXPECT_LE(t.right - t.left, printer->PixelPrintWidth()) << t.text.toStdString();
        joined += t.text;
    }
    EXPECT_GT(port->pages()[0].texts.size(), 1u);
    // Each piece ends at a blank: the blank after a full piece is consumed, the others stay.
    EXPECT_EQ(joined.remove(u' '), QString(text).remove(u' '));
    printer->EndDoc();
}

TEST_F(RichPrinterPage, WriteLineEndsWhenOneCharacterIsWiderThanThePage)
{
    printer->SetHeader("");
    printer->SetFooter("");
    QFont huge("DejaVu Sans");
    huge.setPointSize(600);
    printer->SetFont(huge, 0);
    begin();
    printer->WriteLine("WW");
    std::size_t drawn = 0;
    for (const auto &page : port->pages())
        for (const auto &t : page.texts)
            drawn += t.text.size();
    EXPECT_EQ(drawn, 2u);
    printer->EndDoc();
}

TEST_F(RichPrinterPage, LogoSitsBelowTheHeaderLine)
{
    QImage logo(40, 20, QImage::Format_RGB32);
    logo.fill(Qt::red);
    printer->SetBitmapLogo(logo);
    printer->SetLogoTop(10);
    printer->SetLogoLeft(21);
    begin();
    const auto &images = port->pages()[0].images;
    ASSERT_EQ(images.size(), 1u);
    const int lh = printer->LineHeight();
    const int ph = printer->PixelPrintHeight(), pw = printer->PixelPrintWidth();
    const double physH = printer->GetPhysicalPageHeight(), physW = printer->GetPhysicalPageWidth();
    const int top = int(std::floor((printer->StartingTop() - lh) / 2.0)) + lh + int(std::nearbyint(10 / physH * ph));
    const int left = printer->StartingLeft() + int(std::nearbyint(21 / physW * pw));
    EXPECT_EQ(images[0].top(), top);
    EXPECT_EQ(images[0].left(), left);
    EXPECT_EQ(images[0].width(), std::nearbyint(25 / physW * pw));
    EXPECT_EQ(images[0].height(), std::nearbyint(20 / physH * ph));
    printer->EndDoc();

    // Without a header there is no logo either.
    SetUp();
    printer->SetBitmapLogo(logo);
    printer->SetHeader("");
    begin();
    EXPECT_TRUE(port->pages()[0].images.empty());
    printer->EndDoc();
}

TEST(RichPrinterBorders, InsetAndPenFollowTheResolution)
{
    struct Case {
        int dpi;
        int inset;
        double pen;
    } cases[] = {{300, 0, 0}, {600, 6, 2}, {1200, 12, 4}};
    for (const Case &c : cases) {
        const double s = c.dpi / 600.0;
        FakePort *port = nullptr;
        auto p = makePrinter(DeviceMetrics{c.dpi, c.dpi, int(4961 * s), int(7016 * s), int(100 * s), int(100 * s),
                                           int(4761 * s), int(6816 * s)},
                             true, &port);
        p->SetShowProgress(false);
        p->SetTitle("T");
        p->SetFooter("");
        p->SetPageBorders(pbTop | pbBottom | pbLeft | pbRight);
        p->BeginDoc();
        const auto &page = port->pages()[0];
        const auto it = std::find_if(page.texts.begin(), page.texts.end(), [](auto &t) { return t.text == "T"; });
        ASSERT_NE(it, page.texts.end());
        EXPECT_NEAR(it->right, p->StartingLeft() + p->MeasureUnitsToPixelsH(100) - c.inset, 1.0) << c.dpi;
        ASSERT_EQ(page.lines.size(), 4u);
        for (double w : page.penWidths)
            EXPECT_EQ(w, c.pen) << c.dpi;
        const int b = p->MeasureUnitsToPixelsV(2);
        EXPECT_EQ(page.lines[0], QLineF(p->StartingLeft() - b, p->StartingTop() - b,
                                        p->StartingLeft() + p->PixelPrintWidth() + b, p->StartingTop() - b));
        EXPECT_EQ(page.lines[1].y1(), p->StartingTop() + p->PixelPrintHeight() + 2 * b);
        p->EndDoc();
    }
}

TEST(RichPrinterProperties, ChangesWhilePrintingAreRefused)
{
    FakePort *port = nullptr;
    auto p = makePrinter(kelpa::test::a4At600(), true, &port);
    p->SetShowProgress(false);
    p->BeginDoc();
    const std::vector<std::pair<std::function<void()>, QString>> cases = {
        {[&] { p->SetMarginTop(10); }, "Unable to change top margin while printing"},
        {[&] { p->SetMarginBottom(10); }, "Unable to change bottom margin while printing"},
        {[&] { p->SetMarginLeft(10); }, "Unable to change left margin while printing"},
        {[&] { p->SetMarginRight(10); }, "Unable to change right margin while printing"},
        {[&] { p->SetOrientation(QPageLayout::Landscape); }, "Unable to change orientation while printing"},
        {[&] { p->SetTitle("x"); }, "Unable to change title while printing"},
    };
    for (const auto &[change, message] : cases) {
        try {
            change();
            ADD_FAILURE() << "accepted: " << message.toStdString();
        } catch (const ELinePrinter &e) {
            EXPECT_EQ(e.message(), message);
        }
    }
    p->EndDoc();
    EXPECT_EQ(p->MarginTop(), 30);
}

// --- Printing a rich-text control

QString numberedLines(int count)
{
    QString text;
    for (int i = 1; i <= count; ++i)
        text += QStringLiteral("Body line %1 of the document\n").arg(i, 4, 10, QLatin1Char('0'));
    return text;
}

TEST(RichPrinterPrint, EveryLineOnExactlyOnePageWithHeaderAndFooter)
{
    FakePort *port = nullptr;
    auto p = makePrinter(kelpa::test::a4At600(), true, &port);
    p->SetShowProgress(false);
    p->SetTitle("Lines");
    p->SetHeader("{$TITLE}|{$PAGE}");
    p->SetHeaderFormat("<80|>80");
    TRichEdit edit;
    edit.SetPlainText(true);
    edit.SetText(numberedLines(400));
    p->PrintRichEdit(&edit, 1);
    const auto &pages = port->printed;
    ASSERT_GT(pages.size(), 3u);
    std::map<QString, int> seen;
    for (std::size_t i = 0; i < pages.size(); ++i) {
        const QString n = QString::number(i + 1);
        int headerTitle = 0, headerPage = 0, footer = 0;
        for (const auto &t : pages[i].texts) {
            if (t.text.startsWith("Body line")) {
                ++seen[t.text];
                EXPECT_GE(t.top, p->StartingTop() - 1);
                EXPECT_LE(t.baseline, p->StartingTop() + p->PixelPrintHeight());
            }
            headerTitle += t.text == "Lines";
            headerPage += t.text == n;
            footer += t.text == "Page " + n;
        }
        EXPECT_EQ(headerTitle, 1) << "page " << n.toStdString();
        EXPECT_EQ(headerPage, 1) << "page " << n.toStdString();
        EXPECT_EQ(footer, 1) << "page " << n.toStdString();
    }
    ASSERT_EQ(seen.size(), 400u);
    for (const auto &[line, count] : seen)
        EXPECT_EQ(count, 1) << line.toStdString();
}

TEST(RichPrinterPrint, ChosenPagesOnlyReachThePrinter)
{
    QByteArray rtf = "{\\rtf1\\ansi ";
    for (int page = 1; page <= 5; ++page)
        rtf += (page > 1 ? "\\page " : "") + QByteArray("Text of sheet ") + QByteArray::number(page) + "\\par ";
    rtf += "}";
    TRichEdit edit;
    edit.LoadFromStream(rtf);
    struct Case {
        QString ranges;
        std::vector<int> sheets;
    } cases[] = {{"", {1, 2, 3, 4, 5}}, {"2-3", {2, 3}}, {"1,3,5", {1, 3, 5}}, {"5", {5}}, {"9", {}}};
    for (const Case &c : cases) {
        FakePort *port = nullptr;
        auto p = makePrinter(kelpa::test::a4At600(), true, &port);
        p->SetShowProgress(false);
        p->SetPrintedPages(QPageRanges::fromString(c.ranges));
        p->PrintRichEdit(&edit, 1);
        ASSERT_EQ(port->printed.size(), std::max<std::size_t>(1, c.sheets.size())) << c.ranges.toStdString();
        for (std::size_t i = 0; i < c.sheets.size(); ++i) {
            const QString all = port->printed[i].allText();
            EXPECT_TRUE(all.contains(QStringLiteral("Text of sheet %1").arg(c.sheets[i]))) << c.ranges.toStdString() << all.toStdString();
            EXPECT_TRUE(all.contains(QStringLiteral("Page %1\n").arg(c.sheets[i]))) << c.ranges.toStdString();
            EXPECT_EQ(all.count("Text of sheet"), 1) << c.ranges.toStdString();
        }
        if (c.sheets.empty()) {
            EXPECT_TRUE(port->printed[0].texts.empty());
        }
    }
}

TEST(RichPrinterPrint, EmptyControlStillGivesOnePage)
{
    FakePort *port = nullptr;
    auto p = makePrinter(kelpa::test::a4At600(), true, &port);
    p->SetShowProgress(false);
    TRichEdit edit;
    p->PrintRichEdit(&edit, 1);
    EXPECT_EQ(port->printed.size(), 1u);
}

TEST(RichPrinterPrint, NoRoomForTextIsRefusedAndTheJobAborted)
{
    FakePort *port = nullptr;
    auto p = makePrinter(kelpa::test::a4At600(), true, &port);
    p->SetShowProgress(false);
    p->SetMarginTop(200);
    p->SetMarginBottom(150);
    TRichEdit edit;
    edit.SetText("text");
    try {
        p->PrintRichEdit(&edit, 1);
        ADD_FAILURE() << "printed without room";
    } catch (const ELinePrinter &e) {
        EXPECT_TRUE(e.message().startsWith("The margins leave no room")) << e.message().toStdString();
    }
    EXPECT_FALSE(port->printing());
    EXPECT_TRUE(port->aborted());
}

TEST(RichPrinterPrint, DeviceFailuresBecomeTheirMessages)
{
    FakePort *port = nullptr;
    auto p = makePrinter(kelpa::test::a4At600(), true, &port);
    p->SetShowProgress(false);
    TRichEdit edit;
    edit.SetText(numberedLines(400));
    port->failBegin = true;
    try {
        p->PrintRichEdit(&edit, 1);
        ADD_FAILURE();
    } catch (const ELinePrinter &e) {
        EXPECT_EQ(e.message(), "Not be able to start the printing.");
    }
    port->failBegin = false;
    // A failure while the first page is set up leaves no document open.
    p->OnNewPage = [] { throw std::runtime_error("first page"); };
    EXPECT_THROW(p->PrintRichEdit(&edit, 1), std::runtime_error);
    EXPECT_FALSE(port->printing());
    p->OnNewPage = {};
    port->failNewPage = true;
    try {
        p->PrintRichEdit(&edit, 1);
        ADD_FAILURE();
    } catch (const ELinePrinter &e) {
        EXPECT_EQ(e.message(), "Not be able to print a new page.");
    }
    EXPECT_FALSE(port->printing());
}

// --- Preview runs

struct FakePreview : PreviewPages {
    PreviewSetup setup_;
    std::vector<std::unique_ptr<kelpa::test::RecordingDevice>> devices;
    std::unique_ptr<QPainter> painter;
    int finished = 0;
    bool lastSeen = false;
    bool abandoned = false;
    int failAtPage = -1;
    int deviceDpi = 0; // 0: the printer's
    void setup(const PreviewSetup &s) override { setup_ = s; }
    QPainter *beginPage() override
    {
        if (int(devices.size()) == failAtPage)
            return nullptr;
        devices.push_back(std::make_unique<kelpa::test::RecordingDevice>(deviceDpi ? deviceDpi : setup_.dpiX,
                                                                         setup_.printerPageWidth,
                                                                         setup_.printerPageHeight));
        painter = std::make_unique<QPainter>(devices.back().get());
        return painter.get();
    }
    void finishPage(bool last) override
    {
        painter->end();
        ++finished;
        lastSeen = last;
    }
    void abandon() override { abandoned = true; }
};

TEST(RichPrinterPreview, PagesGoToThePreviewAndTheRegistry)
{
    FakePreview preview;
    TRichPrinter::SetPreviewFactory([&] { return &preview; });
    FakePort *port = nullptr;
    auto p = makePrinter(kelpa::test::a4At600(), true, &port);
    p->SetCompressPreview(false);
    TRichEdit edit;
    edit.SetText(numberedLines(200));
    p->PrintRichEditPreview(&edit);
    TRichPrinter::SetPreviewFactory({});
    EXPECT_EQ(port->jobs, 0);
    EXPECT_GT(preview.finished, 1);
    EXPECT_EQ(preview.finished, int(preview.devices.size()));
    EXPECT_TRUE(preview.lastSeen);
    EXPECT_FALSE(preview.abandoned);
    EXPECT_EQ(preview.setup_.printerPageWidth, 4961);
    EXPECT_EQ(preview.setup_.printerPageHeight, 7016);
    EXPECT_NEAR(preview.setup_.ratioPage, 7016.0 / 4961.0, 1e-9);
    EXPECT_FALSE(p->PreviewMode());
    EXPECT_EQ(p->ProgressWindow(), nullptr);
    EXPECT_FALSE(kelpa::platform::RegIniFile("RichPrint.Settings").readBool("Compress", "CompressPreview", true));
    const QString last = "Page " + QString::number(preview.finished);
    bool found = false;
    for (const auto &t : preview.devices.back()->pages.at(0).texts)
        found = found || t.text == last;
    EXPECT_TRUE(found);
}

TEST(RichPrinterPreview, APageDeviceOfAnotherResolutionGetsTheSamePage)
{
    TRichEdit edit;
    edit.SetText(numberedLines(80));
    FakePort *port = nullptr;
    auto p = makePrinter(kelpa::test::a4At600(), true, &port);
    p->SetShowProgress(false);
    p->SetTitle("Same");
    p->PrintRichEdit(&edit, 1);
    FakePreview preview;
    preview.deviceDpi = 96; // as a picture recorder reports
    TRichPrinter::SetPreviewFactory([&] { return &preview; });
    p->PrintRichEditPreview(&edit);
    TRichPrinter::SetPreviewFactory({});
    ASSERT_EQ(preview.devices.size(), port->printed.size());
    for (std::size_t i = 0; i < preview.devices.size(); ++i) {
        const auto &shown = preview.devices[i]->pages.at(0).texts;
        const auto &printed = port->printed[i].texts;
        ASSERT_EQ(shown.size(), printed.size()) << "page " << i;
        for (std::size_t j = 0; j < shown.size(); ++j) {
            EXPECT_EQ(shown[j].text, printed[j].text);
            EXPECT_NEAR(shown[j].left, printed[j].left, 1.0) << shown[j].text.toStdString();
            EXPECT_NEAR(shown[j].right, printed[j].right, 2.0) << shown[j].text.toStdString();
            EXPECT_NEAR(shown[j].baseline, printed[j].baseline, 1.0) << shown[j].text.toStdString();
        }
    }
}

TEST(RichPrinterPreview, AFailedRunRestoresStateAndSaysSo)
{
    kelpa::ScriptedPrompter prompter;
    kelpa::ScopedPrompter scoped(prompter);
    kelpa::SetCaptionRules(kelpa::CaptionRules::Extended);
    FakePreview preview;
    preview.failAtPage = 2;
    TRichPrinter::SetPreviewFactory([&] { return &preview; });
    FakePort *port = nullptr;
    auto p = makePrinter(kelpa::test::a4At600(), true, &port);
    bool progressSeen = false;
    p->OnNewPage = [&] { progressSeen = progressSeen || p->ProgressWindow() != nullptr; };
    TRichEdit edit;
    edit.SetText(numberedLines(400));
    p->PrintRichEditPreview(&edit);
    TRichPrinter::SetPreviewFactory({});
    EXPECT_TRUE(progressSeen);
    EXPECT_TRUE(preview.abandoned);
    EXPECT_FALSE(preview.lastSeen); // no page is finished after the failure
    EXPECT_EQ(preview.finished, 2);
    EXPECT_FALSE(p->PreviewMode());
    EXPECT_EQ(p->ProgressWindow(), nullptr);
    ASSERT_EQ(prompter.messages().size(), 1u);
    EXPECT_EQ(prompter.messages()[0].icon, kelpa::MessageIcon::Error);
    EXPECT_TRUE(prompter.messages()[0].text.contains("preview cannot take another page"));
    // The printer is usable again afterwards.
    p->SetShowProgress(false);
    p->PrintRichEdit(&edit, 1);
    EXPECT_GT(port->printed.size(), 2u);
}

// A long layout runs a page at a time from the event loop: the first page is there when the
// call returns; Cancel (the button or Escape) stops it at the next page with every page begun
// finished; a preview that closes meanwhile is handed nothing more.
TEST(RichPrinterPreview, LongLayoutsRunFromTheEventLoopAndStop)
{
    kelpa::ScriptedPrompter prompter;
    kelpa::ScopedPrompter scoped(prompter);
    TRichEdit edit;
    edit.SetText(numberedLines(3000));
    struct Case {
        const char *what;
        std::function<void(TRichPrinter &, FakePreview &)> stop;
        bool pagesKept;
    };
    const Case cases[] = {
        {"cancel button",
         [](TRichPrinter &p, FakePreview &) {
             auto *cancel = p.ProgressWindow()->findChild<QPushButton *>("btnCancel");
             ASSERT_NE(cancel, nullptr);
             cancel->click();
         },
         true},
        {"escape",
         [](TRichPrinter &p, FakePreview &) { QTest::keyClick(p.ProgressWindow(), Qt::Key_Escape); }, true},
        {"the preview closes", [](TRichPrinter &, FakePreview &f) { f.setup_.closing(); }, false},
    };
    int wholeRun = 0;
    {
        FakePreview preview;
        TRichPrinter::SetPreviewFactory([&] { return &preview; });
        auto p = makePrinter(kelpa::test::a4At600(), true);
        p->PrintRichEditPreview(&edit);
        TRichPrinter::SetPreviewFactory({});
        wholeRun = preview.finished;
        ASSERT_GT(wholeRun, 20);
    }
    for (const Case &c : cases) {
        FakePreview preview;
        TRichPrinter::SetPreviewFactory([&] { return &preview; });
        auto p = makePrinter(kelpa::test::a4At600(), true);
        bool done = false;
        p->StartRichEditPreview(&edit, [&] { done = true; });
        TRichPrinter::SetPreviewFactory({});
        ASSERT_TRUE(p->PreviewRunning()) << c.what;
        EXPECT_EQ(preview.devices.size(), 1u) << c.what; // the first page, laid out
        ASSERT_NE(p->ProgressWindow(), nullptr) << c.what;
        // A second start while the run goes is left alone.
        p->StartRichEditPreview(&edit);
        for (int i = 0; i < 1000 && preview.finished < 3; ++i)
            QTest::qWait(1);
        ASSERT_GE(preview.finished, 3) << c.what;
        c.stop(*p, preview);
        for (int i = 0; i < 1000 && p->PreviewRunning(); ++i)
            QTest::qWait(1);
        EXPECT_FALSE(p->PreviewRunning()) << c.what;
        EXPECT_TRUE(done) << c.what;
        EXPECT_LT(preview.finished, wholeRun) << c.what;
        EXPECT_FALSE(preview.abandoned) << c.what;
        EXPECT_EQ(p->ProgressWindow(), nullptr) << c.what;
        EXPECT_FALSE(p->PreviewMode()) << c.what;
        EXPECT_FALSE(p->GetAborted()) << c.what; // the next run starts afresh
        if (c.pagesKept) {
            // Every page begun is whole and handed over, the last one as the last.
            EXPECT_EQ(preview.finished, int(preview.devices.size())) << c.what;
            EXPECT_TRUE(preview.lastSeen) << c.what;
        } else {
            EXPECT_FALSE(preview.lastSeen) << c.what;
            const std::size_t pages = preview.devices.size();
            QTest::qWait(50);
            EXPECT_EQ(preview.devices.size(), pages) << c.what;
        }
        EXPECT_TRUE(prompter.messages().empty()) << c.what;
    }
}

// --- Registry

TEST(RichPrinterRegistry, MarginsRoundTripAsExactDoubles)
{
    auto p = makePrinter();
    p->SetMarginTop(31.75);
    p->SetMarginLeft(0.1 + 20);
    p->SetOrientation(QPageLayout::Landscape);
    p->WriteIniFile();
    kelpa::platform::RegistryKey key;
    ASSERT_TRUE(key.openKey("RichPrint.Settings\\Marges", false));
    const auto bytes = key.readBinary("MarginLeft");
    ASSERT_TRUE(bytes.has_value());
    ASSERT_EQ(bytes->size(), 8);
    EXPECT_EQ(qFromLittleEndian<double>(bytes->constData()), 0.1 + 20);
    EXPECT_EQ(*key.readString("CodeMeasurement"), "1");
    EXPECT_EQ(*key.readString("CodeDirection"), "0");
    EXPECT_EQ(key.valueNames().size(), 6);

    auto q = makePrinter();
    q->ReadIniFile();
    EXPECT_EQ(q->MarginLeft(), 0.1 + 20);
    EXPECT_EQ(q->MarginTop(), 31.75);
    EXPECT_EQ(q->MarginBottom(), 25);
    EXPECT_EQ(q->MarginRight(), 15);
    EXPECT_EQ(q->Orientation(), QPageLayout::Landscape);

    // Stored in inches: the margins are set first, then the unit converts them.
    ASSERT_TRUE(key.writeString("CodeMeasurement", "0"));
    auto r = makePrinter();
    r->ReadIniFile();
    EXPECT_EQ(r->MeasureUnit(), TMeasureUnit::muInches);
    EXPECT_NEAR(r->MarginTop(), 31.75 / 25.4, 1e-12);
}

TEST(RichPrinterRegistry, MissingKeyKeepsTheSettingsAndSaveMarginsGuardsTheDialog)
{
    auto p = makePrinter();
    p->ReadIniFile();
    EXPECT_EQ(p->MarginTop(), 30);
    EXPECT_EQ(p->MeasureUnit(), TMeasureUnit::muMillimeters);

    // With SaveMargins off the page setup neither reads nor writes "Marges".
    double seen[4] = {};
    p->SetPageSetupRunner([&](double m[4], QPrinter *) {
        std::copy(m, m + 4, seen);
        m[1] = 12.345;
        return false;
    });
    EXPECT_FALSE(p->PageDialog());
    EXPECT_EQ(seen[0], 25);
    EXPECT_EQ(seen[1], 30);
    EXPECT_EQ(p->MarginTop(), 12.345);
    EXPECT_FALSE(kelpa::platform::RegistryKey().keyExists("RichPrint.Settings\\Marges"));

    p->SetSaveMargins(true);
    p->SetPageSetupRunner([](double m[4], QPrinter *) {
        m[0] = 20.005; // whole hundredths only when shown the next time
        return true;
    });
    EXPECT_TRUE(p->PageDialog());
    EXPECT_TRUE(kelpa::platform::RegistryKey().keyExists("RichPrint.Settings\\Marges"));
    p->SetPageSetupRunner([&](double m[4], QPrinter *) {
        std::copy(m, m + 4, seen);
        return false;
    });
    p->PageDialog();
    EXPECT_DOUBLE_EQ(seen[0], 20.0); // 2000.5 hundredths rounds to even
}

} // namespace
