// The preview of a long document on a real X display (an Xvfb), beside Qt's own print preview
// in the same run: the time from "OK" until the first page's pixels are on the screen (read
// back from the X server), the longest time the windows went without handling events, how
// often the progress text changed, and how long Cancel took to end the run.
//
//   DISPLAY=:N build/bench/preview_onscreen_bench [paragraphs]   (default 60000, ~3,000 pages)
#include "richedit/TRichEdit.h"
#include "printmod/RichPrinter.h"
#include "printmod/preview/RichPreviewPages.h"
#include "printmod/preview/TRichPreviewForm.h"

#include "printmod/preview/PreviewDocument.h" // in tests/

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QLabel>
#include <QPageLayout>
#include <QPainter>
#include <QPointer>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <functional>

using kelpa::richedit::TRichEdit;

using kelpa::preview::RichPreviewPages;
using kelpa::preview::TRichPreviewForm;
using kelpa::printmod::TRichPrinter;

namespace {

// Dark pixels that the X server holds in `area` (global coordinates): a page's text.
int darkPixelsOnScreen(const QRect &area)
{
    const QImage shot = QGuiApplication::primaryScreen()->grabWindow(0, area.x(), area.y(), area.width(),
                                                                     area.height()).toImage();
    int dark = 0;
    for (int y = 0; y < shot.height(); y += 2)
        for (int x = 0; x < shot.width(); x += 2)
            if (qGray(shot.pixel(x, y)) < 60)
                ++dark;
    return dark;
}

QRect globalRect(QWidget *w, double topShare = 1.0)
{
    const QPoint at = w->mapToGlobal(QPoint(0, 0));
    return QRect(at, QSize(w->width(), int(w->height() * topShare)));
}

// Turns the event loop until `done` or `limitMs`; the ms it took, -1 on time-out.
qint64 waitFor(const std::function<bool()> &done, qint64 limitMs, QElapsedTimer &clock)
{
    const qint64 end = clock.elapsed() + limitMs;
    while (clock.elapsed() < end) {
        QApplication::processEvents(QEventLoop::AllEvents, 5);
        if (done())
            return clock.elapsed();
    }
    return -1;
}

// Records the longest gap between two turns of the event loop while it runs.
struct Responsiveness {
    QTimer timer;
    QElapsedTimer since;
    qint64 longest = 0;
    Responsiveness()
    {
        timer.setInterval(5);
        QObject::connect(&timer, &QTimer::timeout, [this] {
            longest = std::max(longest, since.restart());
        });
        since.start();
        timer.start();
    }
};

void ours(TRichEdit &edit, bool cancel)
{
    QTemporaryDir dir;
    kelpa::preview::PreviewOptions options;
    options.cacheBase = dir.path().toStdString();
    options.compressFiles = false;
    QPointer<RichPreviewPages> run;
    TRichPrinter::SetPreviewFactory([&] { return run = new RichPreviewPages(options); });
    TRichPrinter printer;
    printer.SetTitle(QStringLiteral("bench.txt"));
    QElapsedTimer clock;
    clock.start();
    Responsiveness gaps;
    printer.StartRichEditPreview(&edit);
    const qint64 started = clock.elapsed();
    QPointer<TRichPreviewForm> form = run ? run->form() : nullptr;
    if (!form) {
        std::printf("ours: no preview window\n");
        return;
    }
    // The top quarter of the page: the progress window stands in the middle of the screen.
    const qint64 first = waitFor([&] { return darkPixelsOnScreen(globalRect(form->Image1(), 0.25)) > 200; },
                                 30000, clock);
    QString lastText;
    int changes = 0;
    QElapsedTimer window;
    window.start();
    auto watchProgress = [&] {
        if (QDialog *p = printer.ProgressWindow())
            if (auto *l = p->findChild<QLabel *>(QStringLiteral("lblPageNumber")); l && l->text() != lastText) {
                lastText = l->text();
                ++changes;
            }
    };
    qint64 cancelMs = -1, finished = -1;
    if (cancel) {
        waitFor([&] {
            watchProgress();
            return window.elapsed() > 1500;
        }, 2000, clock);
        QPushButton *button = printer.ProgressWindow()
                                  ? printer.ProgressWindow()->findChild<QPushButton *>(QStringLiteral("btnCancel"))
                                  : nullptr;
        const qint64 at = clock.elapsed();
        if (button)
            button->click();
        const qint64 end = waitFor([&] { return !printer.PreviewRunning(); }, 5000, clock);
        cancelMs = end < 0 ? -1 : end - at;
    } else {
        finished = waitFor([&] {
            watchProgress();
            return !printer.PreviewRunning();
        }, 600000, clock);
    }
    const double seconds = window.elapsed() / 1000.0;
    std::printf("ours%s: %d pages; OK returned after %lld ms; first page on screen after %lld ms; "
                "progress text changed %.1f times a second; longest wait for events %lld ms; %s %lld ms\n",
                cancel ? " (Cancel)" : "", form ? form->state().lastPageIndex + 1 : -1, (long long)started,
                (long long)first, changes / seconds, (long long)gaps.longest,
                cancel ? "Cancel to the end of the run" : "all pages laid out after",
                (long long)(cancel ? cancelMs : finished));
    TRichPrinter::SetPreviewFactory({});
    if (form)
        form->close();
    QApplication::processEvents();
}

void qts(TRichEdit &edit)
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setResolution(600);
    printer.setPageSize(QPageSize(QPageSize::A4));
    QPrintPreviewDialog dialog(&printer);
    dialog.resize(900, 980);
    int pages = 0;
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, [&](QPrinter *p) {
        QPainter painter(p);
        pages = kelpa::test::layOutPages(edit, p->resolution(), [&](int index, const auto &layOut) {
            if (index > 0)
                p->newPage();
            layOut(&painter);
        });
    });
    QElapsedTimer clock;
    clock.start();
    Responsiveness gaps;
    dialog.show();
    const qint64 first = waitFor([&] { return darkPixelsOnScreen(globalRect(&dialog, 0.5)) > 400; }, 600000, clock);
    std::printf("Qt's QPrintPreviewDialog: %d pages; first page on screen after %lld ms; longest wait for "
                "events %lld ms; no progress, no Cancel\n",
                pages, (long long)first, (long long)gaps.longest);
    dialog.close();
    QApplication::processEvents();
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (QGuiApplication::platformName() != QLatin1String("xcb")) {
        std::fprintf(stderr, "needs a real X display (DISPLAY of an Xvfb), not %s\n",
                     qPrintable(QGuiApplication::platformName()));
        return 1;
    }
    const int paragraphs = argc > 1 ? std::atoi(argv[1]) : 60000;
    TRichEdit edit;
    kelpa::test::fillDocument(edit, paragraphs);
    kelpa::preview::InstallRichPreview();
    ours(edit, false);
    ours(edit, true);
    qts(edit);
    return 0;
}
