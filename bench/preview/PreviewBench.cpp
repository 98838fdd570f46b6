// The print preview on a 200-page document beside Qt's own print preview, in one run: the time
// until the first page is on screen, until the whole preview is ready, and for one page turn.
// Both lay the document out with the rich-text control at 600 dpi on A4.
#include "printmod/preview/PageRecording.h"
#include "printmod/preview/TRichPreviewForm.h"
#include "printmod/preview/core/PageCache.h"

#include "printmod/preview/PreviewDocument.h" // in tests/

#include <QApplication>
#include <QPageSize>
#include <QPainter>
#include <QPointer>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstdlib>

using kelpa::richedit::TFormatRange;
using kelpa::richedit::TRichEdit;

using namespace kelpa::preview;

namespace {

constexpr int kDpi = 600;
constexpr int kPages = 200;

TRichEdit &document()
{
    static TRichEdit *edit = [] {
        auto *e = new TRichEdit;
        kelpa::test::fillDocument(*e, 1000);
        int paragraphs = 1000;
        for (int round = 0; round < 3; ++round) {
            const int pages = kelpa::test::recordPages(*e, kDpi, [](Page) {});
            if (pages == kPages)
                break;
            paragraphs = paragraphs * kPages / pages + (pages > kPages ? 0 : 1);
            kelpa::test::fillDocument(*e, paragraphs);
        }
        return e;
    }();
    return *edit;
}

QTemporaryDir &cacheDir()
{
    static QTemporaryDir dir;
    return dir;
}

PreviewOptions options(bool compress)
{
    PreviewOptions o;
    o.compressFiles = compress;
    o.cacheBase = cacheDir().path().toStdString();
    o.screen = QSize(1280, 1024);
    return o;
}

const int kPageW = kelpa::test::a4Pixels(kelpa::test::kA4WidthTwips, kDpi);
const int kPageH = kelpa::test::a4Pixels(kelpa::test::kA4HeightTwips, kDpi);

TRichPreviewForm *newForm(bool compress)
{
    auto *form = new TRichPreviewForm(double(kPageH) / kPageW, options(compress));
    form->PrinterPageWidth = kPageW;
    form->PrinterPageHeight = kPageH;
    form->Repaint();
    form->PageWidth = 210;
    form->PageHeight = 297;
    return form;
}

// Records page after page into the form; stops after `limit` pages.
int feed(TRichPreviewForm *form, int limit)
{
    TRichEdit &e = document();
    e.FormatRange(nullptr, false);
    int pos = 0, pages = 0;
    while (pages < limit) {
        PageRecording rec(kPageW, kPageH, kDpi, kDpi);
        QPainter painter(&rec);
        const TFormatRange r = kelpa::test::a4Request(&painter, kDpi, pos);
        const int next = e.FormatRange(&r, true);
        painter.end();
        form->FillImagelist(rec);
        form->Repaint();
        ++pages;
        if (next <= pos || next >= e.TextLength())
            break;
        pos = next;
    }
    return pages;
}

void close(TRichPreviewForm *form)
{
    QPointer<TRichPreviewForm> f(form);
    form->close();
    QApplication::processEvents();
}

// The preview window opens and shows the first page (formatting goes on afterwards).
void BM_Kelpa_FirstPageShown(benchmark::State &state)
{
    document();
    for (auto _ : state) {
        TRichPreviewForm *form = newForm(state.range(0));
        feed(form, 1);
        form->grab();
        state.PauseTiming();
        close(form);
        state.ResumeTiming();
    }
}

// All pages formatted into the cache, the finished preview set up and on screen.
void BM_Kelpa_WholePreview(benchmark::State &state)
{
    document();
    int pages = 0;
    for (auto _ : state) {
        TRichPreviewForm *form = newForm(state.range(0));
        pages = feed(form, 1 << 20);
        form->FormActivate();
        form->grab();
        state.PauseTiming();
        close(form);
        state.ResumeTiming();
    }
    state.counters["pages"] = pages;
}

// The layout and recording alone, and with the pages encoded, for where the time goes.
void BM_Kelpa_LayoutAndRecordOnly(benchmark::State &state)
{
    document();
    for (auto _ : state) {
        std::size_t bytes = 0;
        kelpa::test::recordPages(document(), kDpi, [&](Page p) {
            if (state.range(0))
                bytes += encodePage(p).size();
        });
        benchmark::DoNotOptimize(bytes);
    }
}

// One page turn in the finished preview with two windows: two pages drawn and shown.
void BM_Kelpa_PageTurn(benchmark::State &state)
{
    document();
    TRichPreviewForm *form = newForm(state.range(0));
    feed(form, 1 << 20);
    form->FormActivate();
    for (auto _ : state) {
        if (!form->state().nextOn)
            form->FormActivate(); // back to the first page, untimed below is not worth it
        form->ArrowButton2Click();
        form->grab();
        if (form->Preview2())
            form->Preview2()->grab();
    }
    close(form);
}

struct QtPreview {
    QPrinter printer{QPrinter::HighResolution};
    std::unique_ptr<QPrintPreviewWidget> widget;
    QtPreview()
    {
        printer.setResolution(kDpi);
        printer.setPageSize(QPageSize(QPageSize::A4));
        printer.setFullPage(true);
        widget = std::make_unique<QPrintPreviewWidget>(&printer);
        widget->resize(1200, 970);
        QObject::connect(widget.get(), &QPrintPreviewWidget::paintRequested, [](QPrinter *p) {
            TRichEdit &e = document();
            QPainter painter(p);
            e.FormatRange(nullptr, false);
            int pos = 0;
            for (;;) {
                const TFormatRange r = kelpa::test::a4Request(&painter, kDpi, pos);
                const int next = e.FormatRange(&r, true);
                if (next <= pos || next >= e.TextLength())
                    break;
                p->newPage();
                pos = next;
            }
        });
        widget->setViewMode(QPrintPreviewWidget::FacingPagesView);
        widget->show();
    }
};

// Qt's preview lays out every page before it shows the first.
void BM_Qt_FirstPageShown(benchmark::State &state)
{
    document();
    int pages = 0;
    for (auto _ : state) {
        QtPreview preview;
        preview.widget->updatePreview();
        preview.widget->grab();
        pages = preview.widget->pageCount();
        state.PauseTiming();
        preview.widget.reset();
        state.ResumeTiming();
    }
    state.counters["pages"] = pages;
}

void BM_Qt_PageTurn(benchmark::State &state)
{
    document();
    QtPreview preview;
    preview.widget->updatePreview();
    preview.widget->grab();
    int page = 1;
    for (auto _ : state) {
        page = page + 2 > preview.widget->pageCount() ? 1 : page + 2;
        preview.widget->setCurrentPage(page);
        preview.widget->grab();
    }
}

} // namespace

BENCHMARK(BM_Kelpa_FirstPageShown)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_Kelpa_WholePreview)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_Kelpa_LayoutAndRecordOnly)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_Qt_FirstPageShown)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_Kelpa_PageTurn)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(30);
BENCHMARK(BM_Qt_PageTurn)->Unit(benchmark::kMillisecond)->Iterations(30);
