#pragma once
// A preview window fed with numbered test pages: page n carries a black block at its own place
// along the top edge, so a test can tell from the window's picture which page it shows.
#include "printmod/preview/PageRecording.h"
#include "printmod/preview/TRichPreviewForm.h"
#include "common/ScriptedPrompter.h"

#include "common/TempDir.h"

#include <QApplication>
#include <QPainter>
#include <QPointer>
#include <gtest/gtest.h>

namespace kelpa::test {

// A4 at 75 dpi.
inline constexpr int kPageW = 620, kPageH = 877, kPageDpi = 75;

inline QRectF blockOf(int n)
{
    return QRectF(10 + 30 * (n - 1), 10, 20, 30);
}

inline preview::Page numberedPage(int n)
{
    preview::PageRecording rec(kPageW, kPageH, kPageDpi, kPageDpi);
    QPainter p(&rec);
    p.fillRect(blockOf(n), Qt::black);
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(40);
    p.setFont(f);
    p.drawText(QPointF(60, 300), QStringLiteral("Page number %1").arg(n));
    p.end();
    return rec.takePage();
}

// The number of the page drawn into `area` of `bitmap` (logical pixels): 0 for none, -1 when
// more than one block is there.
inline int pageIn(const QImage &bitmap, const QRectF &area, int maxPage = 20)
{
    if (bitmap.isNull())
        return 0;
    const qreal dpr = bitmap.devicePixelRatio();
    int found = 0;
    for (int n = 1; n <= maxPage; ++n) {
        const QPointF c = blockOf(n).center();
        if (c.x() >= kPageW)
            break;
        const QPointF at(area.x() + c.x() / kPageW * area.width(), area.y() + c.y() / kPageH * area.height());
        if (qGray(bitmap.pixel(int(at.x() * dpr), int(at.y() * dpr))) < 100)
            found = found ? -1 : n;
    }
    return found;
}

inline int pageShown(preview::PageImage *image)
{
    return pageIn(image->bitmap, QRectF(QPointF(0, 0), image->size()));
}

struct PreviewTest : ::testing::Test {
    TempDir dir;
    ScriptedPrompter prompter;
    ScopedPrompter scoped{prompter};
    QPointer<preview::TRichPreviewForm> form;

    ~PreviewTest() override
    {
        if (form)
            form->close();
        QApplication::processEvents();
    }

    // Creates the window and stores `pages` pages as the printer component does.
    // The screen the windows are laid out for: wide enough for two.
    QSize screen{1280, 1024};
    void format(int pages, bool compress = true)
    {
        preview::PreviewOptions options;
        options.compressFiles = compress;
        options.cacheBase = dir.path();
        options.screen = screen;
        form = new preview::TRichPreviewForm(double(kPageH) / kPageW, options);
        form->PrinterPageWidth = kPageW;
        form->PrinterPageHeight = kPageH;
        form->Repaint();
        form->RulerUnit = preview::TMeasureUnit::muMillimeters;
        form->PageWidth = 210;
        form->PageHeight = 297;
        for (int n = 1; n <= pages; ++n) {
            form->FillImagelist(numberedPage(n));
            form->Repaint();
        }
    }
    void open(int pages, bool compress = true)
    {
        format(pages, compress);
        form->FormActivate();
    }
    int mainPage() const { return pageShown(form->Image1()); }
    int secondPage() const { return pageShown(form->Preview2()->Image1()); }
};

} // namespace kelpa::test
