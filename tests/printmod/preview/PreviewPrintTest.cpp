// Printing from the page cache through the test print server: the chosen pages (or sheets) as
// one job, in the order asked for, on the paper they were laid out for, with the same text as
// printing the document directly.
#include "PreviewDocument.h"
#include "PreviewFixture.h"
#include "printmod/CupsServer.h"
#include "printmod/RichPrinter.h"
#include "printmod/preview/RichPreviewPages.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTimer>

#include <functional>
#include <set>
#include <string>

using kelpa::richedit::TRichEdit;

using namespace kelpa::preview;
using kelpa::test::CupsServer;
using kelpa::test::PreviewTest;

namespace {

QString pdfText(const QString &pdf)
{
    QProcess p;
    p.start("pdftotext", {"-layout", pdf, "-"});
    p.waitForFinished(30000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

QString run(const QString &program, const QStringList &arguments)
{
    QProcess p;
    p.start(program, arguments);
    p.waitForFinished(30000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

int pdfPageCount(const QString &pdf)
{
    const QRegularExpressionMatch m = QRegularExpression(R"(Pages:\s+(\d+))").match(run("pdfinfo", {pdf}));
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

// The first page's size in points.
QSizeF pdfPageSize(const QString &pdf)
{
    const QRegularExpressionMatch m =
        QRegularExpression(R"(Page size:\s+([\d.]+) x ([\d.]+) pts)").match(run("pdfinfo", {pdf}));
    return m.hasMatch() ? QSizeF(m.captured(1).toDouble(), m.captured(2).toDouble()) : QSizeF();
}

// Whether the text on the first page runs down the sheet (a landscape page turned onto it).
bool textRunsDown(const QString &pdf)
{
    const QRegularExpressionMatch m =
        QRegularExpression(R"re(<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">Paragraph)re")
            .match(run("pdftotext", {"-bbox", "-f", "1", "-l", "1", pdf, "-"}));
    return m.hasMatch() && m.captured(4).toDouble() - m.captured(2).toDouble() > m.captured(3).toDouble() - m.captured(1).toDouble();
}

QString pdfPageText(const QString &pdf, int page)
{
    return run("pdftotext", {"-f", QString::number(page), "-l", QString::number(page), "-layout", pdf, "-"});
}

// The numbered test pages on each sheet of a job, sheet by sheet.
using Sheets = std::vector<std::vector<int>>;
Sheets sheetsOf(const QString &pdf)
{
    Sheets sheets;
    const QRegularExpression number(R"(Page number (\d+))");
    for (int i = 1, n = pdfPageCount(pdf); i <= n; ++i) {
        std::vector<int> on;
        for (auto it = number.globalMatch(pdfPageText(pdf, i)); it.hasNext();)
            on.push_back(it.next().captured(1).toInt());
        sheets.push_back(on);
    }
    return sheets;
}

std::string show(const Sheets &sheets)
{
    std::string s;
    for (const auto &sheet : sheets) {
        s += "[";
        for (int n : sheet)
            s += std::to_string(n) + " ";
        s += "]";
    }
    return s;
}

// Answers the next print dialog with the real dialog's own controls: `choose` sets them, then
// the dialog is accepted.
void answerPrintDialog(std::function<void(QPrintDialog &)> choose)
{
    QTimer::singleShot(0, [choose = std::move(choose)] {
        for (QWidget *w : QApplication::topLevelWidgets()) {
            auto *dialog = qobject_cast<QPrintDialog *>(w);
            if (!dialog || !dialog->isVisible())
                continue;
            choose(*dialog);
            dialog->accept();
        }
    });
}

struct PrintTest : PreviewTest {
    CupsServer cups;
    std::unique_ptr<QPrinter> printer;
    int dialogMin = 0, dialogMax = 0;
    void SetUp() override
    {
        ASSERT_TRUE(cups.start()) << cups.error().toStdString();
        printer = std::make_unique<QPrinter>(QPrinterInfo::printerInfo(cups.queue()), QPrinter::HighResolution);
    }
    // Lays a document out for `size` and `orientation` on the test queue into a preview, which
    // becomes `form`; returns its page count.
    std::unique_ptr<kelpa::printmod::TRichPrinter> richPrinter;
    TRichEdit edit;
    int layOut(QPageSize::PageSizeId size, QPageLayout::Orientation orientation)
    {
        if (form)
            form->close();
        QApplication::processEvents();
        edit.Clear();
        kelpa::test::fillDocument(edit, 30);
        auto port = std::make_unique<kelpa::printmod::QtPrinterPort>();
        port->printer()->setPrinterName(cups.queue());
        port->printer()->setPageSize(QPageSize(size));
        port->useDeviceMargins();
        richPrinter = std::make_unique<kelpa::printmod::TRichPrinter>(std::move(port));
        richPrinter->SetOrientation(orientation); // as "kpp.ini" or Page Setup sets it
        richPrinter->SetShowProgress(false);
        richPrinter->SetTitle(QStringLiteral("Paper check"));
        RichPreviewPages *laidOut = nullptr;
        PreviewOptions options;
        options.cacheBase = dir.path();
        options.screen = screen;
        kelpa::printmod::TRichPrinter::SetPreviewFactory([&] { return laidOut = new RichPreviewPages(options); });
        richPrinter->PrintRichEditPreview(&edit);
        kelpa::printmod::TRichPrinter::SetPreviewFactory({});
        if (!laidOut || !laidOut->form())
            return 0;
        form = laidOut->form();
        form->FormActivate();
        return form->state().lastPageIndex + 1;
    }
    // Opens a preview of `pages` test pages that prints to the test queue, answering the print
    // dialog with `range` (whole: all pages).
    void preparePrinting(std::optional<PrintRange> range)
    {
        form->setPrinter(printer.get());
        form->PrinterPageWidth = printer->width();
        form->PrinterPageHeight = printer->height();
        form->setPrintDialog([this, range](QPrinter &, int min, int max, QWidget *) {
            dialogMin = min;
            dialogMax = max;
            return range ? range : std::optional<PrintRange>(PrintRange{min, max});
        });
    }
};

} // namespace

TEST_F(PrintTest, PagesTwoToThreeGoOutAsOneJobAndTheViewStays)
{
    open(4);
    preparePrinting(PrintRange{2, 3});
    form->SpeedButton1Click();
    EXPECT_EQ(dialogMin, 1);
    EXPECT_EQ(dialogMax, 4);
    EXPECT_EQ(form->state().pageIndex, 0);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    const auto pdfs = cups.waitForPdfs(1);
    ASSERT_EQ(pdfs.size(), 1u) << cups.error().toStdString();
    EXPECT_EQ(sheetsOf(pdfs[0]), (Sheets{{2}, {3}})) << show(sheetsOf(pdfs[0]));
    EXPECT_EQ(mainPage(), 1); // the view shows again what it showed before printing
    EXPECT_EQ(cups.waitForPdfs(2, 3000).size(), 1u); // and no job follows
}

// The print dialog's own page choices ("Pages" with a list, a range, odd or even pages), made
// with its own controls, choose the pages sent by their numbers in the document, for a range
// that starts on an odd or on an even page; the server does not choose again within the job.
TEST_F(PrintTest, ThePrintDialogsPageChoicesChooseThePagesSent)
{
    open(9);
    preparePrinting(std::nullopt);
    form->setPrintDialog({}); // the real dialog, answered below
    enum Set { All, Odd, Even }; // the dialog's "Page Set" entries in turn
    struct Case {
        const char *what;
        const char *range; // the dialog's radio button
        const char *pages;
        int from, to;      // for "printRange"
        Set set;
        Sheets printed;
    } cases[] = {
        {"a list", "pagesRadioButton", "2,4-5", 0, 0, All, {{2}, {4}, {5}}},
        {"odd pages", "printAll", "", 0, 0, Odd, {{1}, {3}, {5}, {7}, {9}}},
        {"even pages", "printAll", "", 0, 0, Even, {{2}, {4}, {6}, {8}}},
        {"pages 2 to 5", "printRange", "", 2, 5, All, {{2}, {3}, {4}, {5}}},
        {"even pages of 2-5", "printRange", "", 2, 5, Even, {{2}, {4}}},
        {"odd pages of 2-9", "printRange", "", 2, 9, Odd, {{3}, {5}, {7}, {9}}},
        {"even pages of 2-9", "printRange", "", 2, 9, Even, {{2}, {4}, {6}, {8}}},
        {"odd pages of 3-8", "printRange", "", 3, 8, Odd, {{3}, {5}, {7}}},
        {"even pages of 3-8", "printRange", "", 3, 8, Even, {{4}, {6}, {8}}},
    };
    std::size_t jobs = 0;
    for (const Case &c : cases) {
        answerPrintDialog([&](QPrintDialog &dialog) {
            if (auto *radio = dialog.findChild<QRadioButton *>(c.range))
                radio->setChecked(true);
            if (auto *pages = dialog.findChild<QLineEdit *>("pagesLineEdit"))
                pages->setText(c.pages);
            if (c.from) {
                auto *from = dialog.findChild<QSpinBox *>("from");
                auto *to = dialog.findChild<QSpinBox *>("to");
                ASSERT_TRUE(from && to);
                from->setValue(c.from);
                to->setValue(c.to);
            }
            if (auto *set = dialog.findChild<QComboBox *>("pageSetCombo"))
                set->setCurrentIndex(c.set);
        });
        form->SpeedButton1Click();
        const auto pdfs = cups.waitForPdfs(++jobs);
        ASSERT_EQ(pdfs.size(), jobs) << c.what << ": " << cups.error().toStdString();
        const Sheets sent = sheetsOf(pdfs.back());
        EXPECT_EQ(sent, c.printed) << c.what << ": " << show(sent);
    }
}

// Copies, collation and "Reverse", chosen in the dialog, act on the one job: the printer makes
// the copies, the pages go in the order asked for.
TEST_F(PrintTest, CopiesCollationAndReverseActOnTheWholeJob)
{
    open(3);
    preparePrinting(std::nullopt);
    form->setPrintDialog({});
    struct Case {
        const char *what;
        int copies;
        bool collate, reverse;
        Sheets printed;
    } cases[] = {
        {"reverse", 1, true, true, {{3}, {2}, {1}}},
        {"two copies collated", 2, true, false, {{1}, {2}, {3}, {1}, {2}, {3}}},
        {"two copies collated, reverse", 2, true, true, {{3}, {2}, {1}, {3}, {2}, {1}}},
    };
    std::size_t jobs = 0;
    for (const Case &c : cases) {
        answerPrintDialog([&](QPrintDialog &dialog) {
            auto *copies = dialog.findChild<QSpinBox *>("copies");
            auto *collate = dialog.findChild<QCheckBox *>("collate");
            auto *reverse = dialog.findChild<QCheckBox *>("reverse");
            ASSERT_TRUE(copies && collate && reverse);
            copies->setValue(c.copies);
            collate->setChecked(c.collate);
            reverse->setChecked(c.reverse);
        });
        form->SpeedButton1Click();
        const auto pdfs = cups.waitForPdfs(++jobs);
        ASSERT_EQ(pdfs.size(), jobs) << c.what << ": " << cups.error().toStdString();
        const Sheets sent = sheetsOf(pdfs.back());
        EXPECT_EQ(sent, c.printed) << c.what << ": " << show(sent);
    }
}

// Pages laid out for a paper other than the queue's own are printed on that paper and
// orientation, whole: the print dialog puts the queue's paper back without being asked, the
// job keeps the pages' own. A page larger than the queue's keeps its footer.
TEST_F(PrintTest, PagesArePrintedOnThePaperTheyWereLaidOutFor)
{
    struct Case {
        const char *what;
        QPageSize::PageSizeId size;
        QPageLayout::Orientation orientation;
        QSizeF points;
    } cases[] = {
        {"A5 portrait", QPageSize::A5, QPageLayout::Portrait, {419.5, 595.3}},
        {"A4 landscape", QPageSize::A4, QPageLayout::Landscape, {841.9, 595.3}},
        {"A3 portrait", QPageSize::A3, QPageLayout::Portrait, {841.9, 1190.6}},
    };
    std::size_t jobs = 0;
    for (const Case &c : cases) {
        const int pages = layOut(c.size, c.orientation);
        ASSERT_GT(pages, 0) << c.what;
        answerPrintDialog([](QPrintDialog &) {});
        form->SpeedButton1Click();
        const auto pdfs = cups.waitForPdfs(++jobs);
        ASSERT_EQ(pdfs.size(), jobs) << c.what << ": " << cups.error().toStdString();
        // A landscape job reaches the queue as the portrait sheet with the page turned on it.
        const QSizeF size = pdfPageSize(pdfs.back());
        EXPECT_NEAR(std::min(size.width(), size.height()), std::min(c.points.width(), c.points.height()), 1.5) << c.what;
        EXPECT_NEAR(std::max(size.width(), size.height()), std::max(c.points.width(), c.points.height()), 1.5) << c.what;
        EXPECT_EQ(textRunsDown(pdfs.back()), c.orientation == QPageLayout::Landscape) << c.what;
        EXPECT_EQ(pdfPageCount(pdfs.back()), pages) << c.what;
        const QString last = pdfPageText(pdfs.back(), pages);
        EXPECT_TRUE(last.contains(QStringLiteral("Page %1").arg(pages))) << c.what << ":\n" << last.toStdString();
        EXPECT_TRUE(last.contains("Paper check")) << c.what << ":\n" << last.toStdString();
    }
}

// The printer's properties, opened from the print dialog, show the paper the pages were laid
// out for: left as it is, the pages are printed on it; another paper chosen there prints
// nothing, and the user is told how to lay the document out for it.
TEST_F(PrintTest, ThePrintersPropertiesShowThePagesOwnPaper)
{
    struct Case {
        const char *what;
        const char *choose; // the paper chosen in the properties; null: left as shown
        bool printed;
    } cases[] = {
        {"left as shown", nullptr, true},
        {"A4 chosen", "A4", false},
    };
    std::size_t jobs = 0;
    for (const Case &c : cases) {
        prompter.clear();
        ASSERT_GT(layOut(QPageSize::A5, QPageLayout::Portrait), 0);
        QString shown;
        answerPrintDialog([&](QPrintDialog &dialog) {
            QTimer::singleShot(0, [&] {
                for (QWidget *w : QApplication::topLevelWidgets()) {
                    auto *properties = qobject_cast<QDialog *>(w);
                    if (!properties || properties == &dialog || !properties->isVisible())
                        continue;
                    if (auto *sizes = properties->findChild<QComboBox *>("pageSizeCombo")) {
                        shown = sizes->currentText();
                        if (c.choose)
                            sizes->setCurrentIndex(sizes->findText(c.choose));
                    }
                    properties->accept();
                }
            });
            auto *button = dialog.findChild<QPushButton *>("properties");
            ASSERT_TRUE(button);
            button->click();
        });
        form->SpeedButton1Click();
        EXPECT_EQ(shown, "A5") << c.what;
        if (c.printed) {
            const auto pdfs = cups.waitForPdfs(++jobs);
            ASSERT_EQ(pdfs.size(), jobs) << c.what << ": " << cups.error().toStdString();
            EXPECT_NEAR(pdfPageSize(pdfs.back()).width(), 419.5, 1.5) << c.what;
            EXPECT_TRUE(prompter.messages().empty()) << c.what;
        } else {
            EXPECT_EQ(cups.waitForPdfs(jobs + 1, 5000).size(), jobs) << c.what;
            ASSERT_EQ(prompter.messages().size(), 1u) << c.what;
            const QString told = prompter.messages()[0].text;
            EXPECT_TRUE(told.contains("A5 (148 x 210 mm), portrait") && told.contains("A4 (210 x 297 mm), portrait"))
                << told.toStdString();
        }
    }
}

// A paper chosen while printing, other than the one the pages were laid out for, prints
// nothing: the user is told how to lay the document out for it.
TEST_F(PrintTest, APaperChosenForPrintingThatThePagesWereNotLaidOutForIsTold)
{
    open(2);
    preparePrinting(std::nullopt);
    printer->setPageSize(QPageSize(QPageSize::A4));
    form->setPrinter(printer.get());
    form->setPrintDialog([](QPrinter &p, int min, int max, QWidget *) {
        p.setPageSize(QPageSize(QPageSize::A5));
        return std::optional<PrintRange>(PrintRange{min, max});
    });
    form->SpeedButton1Click();
    ASSERT_EQ(prompter.messages().size(), 1u);
    const QString told = prompter.messages()[0].text;
    EXPECT_TRUE(told.contains("A4 (210 x 297 mm), portrait") && told.contains("A5 (148 x 210 mm), portrait"))
        << told.toStdString();
    EXPECT_TRUE(cups.waitForPdfs(1, 5000).empty());
}

TEST_F(PrintTest, CompactViewPrintsSheetsOfFourAsOneJob)
{
    open(5);
    form->CheckBox1()->setChecked(true);
    form->CheckBox1Click();
    preparePrinting(std::nullopt);
    form->SpeedButton1Click();
    EXPECT_EQ(dialogMax, 2);
    const auto pdfs = cups.waitForPdfs(1);
    ASSERT_EQ(pdfs.size(), 1u) << cups.error().toStdString();
    const Sheets sheets = sheetsOf(pdfs[0]);
    ASSERT_EQ(sheets.size(), 2u) << show(sheets);
    EXPECT_EQ((std::set<int>(sheets[0].begin(), sheets[0].end())), (std::set<int>{1, 2, 3, 4})) << show(sheets);
    EXPECT_EQ(sheets[1], std::vector<int>{5});
    EXPECT_EQ(cups.waitForPdfs(2, 3000).size(), 1u);
}

TEST_F(PrintTest, CachedPagesPrintLikeTheDocumentItself)
{
    TRichEdit edit;
    kelpa::test::fillDocument(edit, 40);
    kelpa::printmod::TRichPrinter richPrinter; // the test queue is the default printer
    richPrinter.SetTitle(QStringLiteral("Cache check"));

    richPrinter.PrintRichEdit(&edit, 1);
    auto direct = cups.waitForPdfs(1);
    ASSERT_EQ(direct.size(), 1u) << cups.error().toStdString();
    QStringList pages = pdfText(direct[0]).split(u'\f');
    if (!pages.isEmpty() && pages.last().trimmed().isEmpty())
        pages.removeLast();
    ASSERT_GE(pages.size(), 2);

    RichPreviewPages *run = nullptr;
    PreviewOptions options;
    options.compressFiles = true;
    options.cacheBase = dir.path();
    options.screen = screen;
    kelpa::printmod::TRichPrinter::SetPreviewFactory([&] { return run = new RichPreviewPages(options); });
    richPrinter.PrintRichEditPreview(&edit);
    kelpa::printmod::TRichPrinter::SetPreviewFactory({});
    ASSERT_TRUE(run && run->form());
    form = run->form();
    form->FormActivate();
    EXPECT_EQ(form->state().lastPageIndex + 1, pages.size());
    form->setPrintDialog([](QPrinter &, int min, int max, QWidget *) { return PrintRange{min, max}; });
    form->SpeedButton1Click();
    const auto jobs = cups.waitForPdfs(2);
    ASSERT_EQ(jobs.size(), 2u) << cups.error().toStdString();
    ASSERT_EQ(pdfPageCount(jobs[1]), pages.size());
    for (qsizetype i = 0; i < pages.size(); ++i) {
        const QString cached = pdfPageText(jobs[1], int(i + 1)).remove(u'\f');
        EXPECT_EQ(cached.trimmed(), pages[i].trimmed()) << "page " << i + 1;
    }
}
