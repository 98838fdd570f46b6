// Printing through a real print server: a 30-page rich-text document goes to the test server's
// PDF queue, and the PDF that comes out has the pages as laid out, each with its header and
// footer, and every body line on exactly one page; the pages chosen and the copies reach the
// queue.
#include "printmod/CupsServer.h"

#include "richedit/TRichEdit.h"
#include "printmod/RichPrinter.h"

#include <QPrinter>
#include <QPrinterInfo>
#include <QProcess>
#include <QRegularExpression>
#include <gtest/gtest.h>

#include <map>

using kelpa::richedit::TRichEdit;

using namespace kelpa::printmod;

namespace {

QString run(const QString &program, const QStringList &arguments)
{
    QProcess p;
    p.start(program, arguments);
    p.waitForFinished(60000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

int pdfPages(const QString &pdf)
{
    const QRegularExpressionMatch m = QRegularExpression(R"(Pages:\s+(\d+))").match(run("pdfinfo", {pdf}));
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

QString pdfPageText(const QString &pdf, int page)
{
    return run("pdftotext", {"-f", QString::number(page), "-l", QString::number(page), "-layout", pdf, "-"});
}

TEST(CupsPrint, ThirtyPageRichTextDocument)
{
    kelpa::test::CupsServer cups;
    ASSERT_TRUE(cups.start()) << cups.error().toStdString();

    constexpr int kPages = 30;
    constexpr int kLinesPerPage = 20;
    QByteArray rtf = "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 DejaVu Sans;}}\\f0\\fs22 ";
    for (int page = 1; page <= kPages; ++page) {
        if (page > 1)
            rtf += "\\page ";
        for (int line = 1; line <= kLinesPerPage; ++line)
            rtf += QStringLiteral("Body line %1 of sheet %2\\par ").arg(line, 2, 10, QLatin1Char('0')).arg(page).toLatin1();
    }
    rtf += "}";
    TRichEdit edit;
    edit.LoadFromStream(rtf);

    auto port = std::make_unique<QtPrinterPort>();
    ASSERT_FALSE(QPrinterInfo::printerInfo(cups.queue()).isNull());
    port->printer()->setPrinterName(cups.queue());
    port->useDeviceMargins();
    TRichPrinter printer(std::move(port));
    printer.SetShowProgress(false);
    printer.SetTitle("Thirty.rtf");
    int laidOut = 0;
    printer.OnNewPage = [&] { ++laidOut; };
    printer.PrintRichEdit(&edit, 1);
    ASSERT_EQ(laidOut, kPages);

    const auto pdfs = cups.waitForPdfs(1, 120000);
    ASSERT_EQ(pdfs.size(), 1u) << cups.error().toStdString();
    ASSERT_EQ(pdfPages(pdfs.front()), laidOut);
    std::map<QString, int> seen;
    const QRegularExpression body(R"(Body line \d\d of sheet \d+)");
    for (int page = 1; page <= laidOut; ++page) {
        const QString text = pdfPageText(pdfs.front(), page);
        EXPECT_TRUE(text.contains("Thirty.rtf")) << "page " << page << ":\n" << text.toStdString();
        EXPECT_TRUE(text.contains(QRegularExpression(QStringLiteral("Page %1\\s*$").arg(page))))
            << "page " << page << ":\n" << text.toStdString();
        for (auto it = body.globalMatch(text); it.hasNext();) {
            const QString line = it.next().captured(0);
            ++seen[line];
            EXPECT_TRUE(line.endsWith(QStringLiteral("sheet %1").arg(page))) << line.toStdString() << " on page " << page;
        }
    }
    EXPECT_EQ(seen.size(), std::size_t(kPages * kLinesPerPage));
    for (const auto &[line, count] : seen)
        EXPECT_EQ(count, 1) << line.toStdString();
}

} // namespace

namespace {

TEST(CupsPrint, ChosenPagesAndCopiesReachTheQueue)
{
    kelpa::test::CupsServer cups;
    ASSERT_TRUE(cups.start()) << cups.error().toStdString();
    QByteArray rtf = "{\\rtf1\\ansi ";
    for (int page = 1; page <= 5; ++page)
        rtf += (page > 1 ? "\\page " : "") + QByteArray("Text of sheet ") + QByteArray::number(page) + "\\par ";
    rtf += "}";
    TRichEdit edit;
    edit.LoadFromStream(rtf);

    auto port = std::make_unique<QtPrinterPort>();
    port->printer()->setPrinterName(cups.queue());
    port->printer()->setCopyCount(2);
    port->printer()->setCollateCopies(true);
    port->useDeviceMargins();
    TRichPrinter printer(std::move(port));
    printer.SetShowProgress(false);
    printer.SetTitle("Five");
    printer.SetPrintedPages(QPageRanges::fromString("2-3"));
    printer.PrintRichEdit(&edit, 1);

    const auto pdfs = cups.waitForPdfs(1, 120000);
    ASSERT_EQ(pdfs.size(), 1u) << cups.error().toStdString();
    const int pages = pdfPages(pdfs.front());
    ASSERT_EQ(pages, 4); // two copies of pages 2 and 3
    for (int i = 1; i <= pages; ++i) {
        const int sheet = i % 2 ? 2 : 3;
        const QString text = pdfPageText(pdfs.front(), i);
        EXPECT_TRUE(text.contains(QStringLiteral("Text of sheet %1").arg(sheet))) << i << text.toStdString();
        EXPECT_TRUE(text.contains(QStringLiteral("Page %1").arg(sheet))) << i << text.toStdString();
    }
}

} // namespace
