// Laying out and printing a 200-page document to a PDF file with the rich-text printer (page
// breaking, header and footer on every page) beside Qt's own QTextDocument::print of the same
// text to the same kind of printer, in one run.
// Run: QT_QPA_PLATFORM=offscreen build/bench/printmod_bench
#include "richedit/TRichEdit.h"
#include "printmod/RichPrinter.h"

#include <QApplication>
#include <QPrinter>
#include <QTemporaryDir>
#include <QTextDocument>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <random>

using kelpa::richedit::TRichEdit;

namespace {

// About 200 A4 pages at 11 points with the default margins.
TRichEdit &document()
{
    static TRichEdit *edit = [] {
        const char *const words[] = {"lorem", "ipsum", "dolor", "sit", "amet", "consectetur", "adipiscing",
                                     "elit", "sed", "do", "eiusmod", "tempor", "incididunt", "ut", "labore"};
        std::mt19937 rng(7);
        QString text;
        for (int line = 0; line < 200 * 56; ++line) {
            QString l;
            while (l.size() < 70)
                l += QString::fromLatin1(words[rng() % std::size(words)]) + u' ';
            text += l + u'\n';
        }
        auto *e = new TRichEdit;
        QFont f("Liberation Serif");
        f.setPointSize(11);
        e->setFont(f);
        e->document()->setDefaultFont(f);
        e->SetText(text);
        return e;
    }();
    return *edit;
}

std::unique_ptr<kelpa::printmod::QtPrinterPort> pdfPort(const QString &file)
{
    auto port = std::make_unique<kelpa::printmod::QtPrinterPort>();
    port->printer()->setOutputFormat(QPrinter::PdfFormat);
    port->printer()->setOutputFileName(file);
    port->printer()->setResolution(600);
    port->printer()->setPageSize(QPageSize(QPageSize::A4));
    port->useDeviceMargins();
    return port;
}

void BM_RichPrinter_200Pages(benchmark::State &state)
{
    TRichEdit &edit = document();
    QTemporaryDir dir;
    kelpa::printmod::TRichPrinter printer(pdfPort(dir.filePath("rich.pdf")));
    printer.SetShowProgress(false);
    printer.SetTitle("Bench");
    int pages = 0;
    printer.OnNewPage = [&] { ++pages; };
    for (auto _ : state) {
        pages = 0;
        printer.PrintRichEdit(&edit, 1);
    }
    state.counters["pages"] = pages;
}

void BM_QTextDocumentPrint_200Pages(benchmark::State &state)
{
    TRichEdit &edit = document();
    QTemporaryDir dir;
    for (auto _ : state) {
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(dir.filePath("qt.pdf"));
        printer.setResolution(600);
        printer.setPageSize(QPageSize(QPageSize::A4));
        printer.setPageMargins(QMarginsF(25, 30, 15, 25), QPageLayout::Millimeter);
        edit.document()->print(&printer);
    }
}

} // namespace

BENCHMARK(BM_RichPrinter_200Pages)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_QTextDocumentPrint_200Pages)->Unit(benchmark::kMillisecond)->Iterations(3);
