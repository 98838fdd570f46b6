// Printing from the page cache through the test print server: one job per page or per sheet,
// and the same text as printing the document directly.
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
#include <QRadioButton>
#include <QTimer>

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

struct PrintTest : PreviewTest {
    CupsServer cups;
    std::unique_ptr<QPrinter> printer;
    int dialogMin = 0, dialogMax = 0;
    void SetUp() override
    {
        ASSERT_TRUE(cups.start()) << cups.error().toStdString();
        printer = std::make_unique<QPrinter>(QPrinterInfo::printerInfo(cups.queue()), QPrinter::HighResolution);
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

TEST_F(PrintTest, PagesTwoToThreeGiveTwoJobsAndTheViewStays)
{
    open(4);
    preparePrinting(PrintRange{2, 3});
    form->SpeedButton1Click();
    EXPECT_EQ(dialogMin, 1);
    EXPECT_EQ(dialogMax, 4);
    EXPECT_EQ(form->state().pageIndex, 0);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    const auto pdfs = cups.waitForPdfs(2);
    ASSERT_EQ(pdfs.size(), 2u) << cups.error().toStdString();
    const QString first = pdfText(pdfs[0]), second = pdfText(pdfs[1]);
    EXPECT_TRUE(first.contains("Page number 2")) << first.toStdString();
    EXPECT_FALSE(first.contains("Page number 3"));
    EXPECT_TRUE(second.contains("Page number 3")) << second.toStdString();
    EXPECT_EQ(mainPage(), 1); // the view shows again what it showed before printing
}

// The print dialog's own page choices ("Pages" with a list, odd or even pages) choose the
// pages sent; the server does not choose again within each one-page job.
TEST_F(PrintTest, ThePrintDialogsPageChoicesChooseThePagesSent)
{
    open(5);
    preparePrinting(std::nullopt);
    form->setPrintDialog({}); // the real dialog, answered below
    struct Case {
        const char *what;
        const char *range; // the dialog's radio button
        const char *pages;
        int pageSet; // 0 all, 1 odd, 2 even
        std::vector<int> printed;
    } cases[] = {
        {"a list", "pagesRadioButton", "2,4-5", 0, {2, 4, 5}},
        {"odd pages", "printAll", "", 1, {1, 3, 5}},
        {"even pages of 2-5", "printRange", "", 2, {2, 4}},
    };
    std::size_t seen = 0;
    for (const Case &c : cases) {
        QTimer::singleShot(0, [&] {
            for (QWidget *w : QApplication::topLevelWidgets()) {
                auto *dialog = qobject_cast<QPrintDialog *>(w);
                if (!dialog || !dialog->isVisible())
                    continue;
                if (auto *radio = dialog->findChild<QRadioButton *>(c.range))
                    radio->setChecked(true);
                if (auto *pages = dialog->findChild<QLineEdit *>("pagesLineEdit"))
                    pages->setText(c.pages);
                if (std::string(c.range) == "printRange")
                    dialog->setFromTo(2, 5);
                if (auto *set = dialog->findChild<QComboBox *>("pageSetCombo"))
                    set->setCurrentIndex(c.pageSet);
                dialog->accept();
            }
        });
        form->SpeedButton1Click();
        seen += c.printed.size();
        const auto pdfs = cups.waitForPdfs(seen);
        ASSERT_EQ(pdfs.size(), seen) << c.what << ": " << cups.error().toStdString();
        QString sent;
        for (std::size_t i = seen - c.printed.size(); i < seen; ++i)
            sent += pdfText(pdfs[i]);
        for (int n = 1; n <= 5; ++n) {
            const bool wanted = std::find(c.printed.begin(), c.printed.end(), n) != c.printed.end();
            EXPECT_EQ(sent.contains(QStringLiteral("Page number %1").arg(n)), wanted)
                << c.what << ", page " << n << ": " << sent.toStdString();
        }
    }
}

TEST_F(PrintTest, CompactViewPrintsSheetsOfFour)
{
    open(5);
    form->CheckBox1()->setChecked(true);
    form->CheckBox1Click();
    preparePrinting(std::nullopt);
    form->SpeedButton1Click();
    EXPECT_EQ(dialogMax, 2);
    const auto pdfs = cups.waitForPdfs(2);
    ASSERT_EQ(pdfs.size(), 2u) << cups.error().toStdString();
    const QString sheet1 = pdfText(pdfs[0]), sheet2 = pdfText(pdfs[1]);
    for (int n = 1; n <= 4; ++n)
        EXPECT_TRUE(sheet1.contains(QStringLiteral("Page number %1").arg(n))) << n << sheet1.toStdString();
    EXPECT_TRUE(sheet2.contains("Page number 5")) << sheet2.toStdString();
    EXPECT_FALSE(sheet2.contains("Page number 4"));
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
    const auto jobs = cups.waitForPdfs(std::size_t(1 + pages.size()));
    ASSERT_EQ(jobs.size(), std::size_t(1 + pages.size())) << cups.error().toStdString();
    for (qsizetype i = 0; i < pages.size(); ++i) {
        const QString cached = pdfText(jobs[std::size_t(i + 1)]).remove(u'\f');
        EXPECT_EQ(cached.trimmed(), pages[i].trimmed()) << "page " << i + 1;
    }
}
