#pragma once
// Pages of a rich-text document recorded as the printer component records them: the control
// lays out each page by range formatting, drawn on a page recording at printer resolution.
#include "richedit/TRichEdit.h"
#include "printmod/preview/PageRecording.h"

#include <QPainter>
#include <QString>
#include <vector>

namespace kelpa::test {

// A4 with margins of one inch, in twips.
inline constexpr int kA4WidthTwips = 11906, kA4HeightTwips = 16838;

inline richedit::TFormatRange a4Request(QPainter *painter, int dpi, int cpMin)
{
    richedit::TFormatRange r;
    r.painter = painter;
    r.dpiX = r.dpiY = dpi;
    r.rc = {1440, 1440, kA4WidthTwips - 1440, kA4HeightTwips - 1440};
    r.rcPage = {0, 0, kA4WidthTwips, kA4HeightTwips};
    r.cpMin = cpMin;
    return r;
}

inline int a4Pixels(int twips, int dpi)
{
    return twips * dpi / 1440;
}

// A document of `paragraphs` numbered paragraphs of ordinary prose.
inline void fillDocument(richedit::TRichEdit &edit, int paragraphs)
{
    QString text;
    for (int i = 1; i <= paragraphs; ++i) {
        text += QStringLiteral("Paragraph %1. The quick brown fox jumps over the lazy dog, "
                               "while the preview keeps every line where the printer puts it. ")
                    .arg(i);
        text += QStringLiteral("Kelpa lays this text out page by page.\n");
    }
    text.chop(1);
    edit.setPlainText(text);
}

// Lays the text out page after page on A4 and returns the count of pages: `onPage(index,
// layOut)` readies page `index` and calls `layOut(painter)` to have the control draw its part.
template <typename F>
int layOutPages(richedit::TRichEdit &edit, int dpi, F onPage)
{
    edit.FormatRange(nullptr, false);
    int pos = 0, pages = 0;
    do {
        int next = pos;
        onPage(pages, [&](QPainter *painter) {
            const richedit::TFormatRange r = a4Request(painter, dpi, pos);
            next = edit.FormatRange(&r, true);
        });
        ++pages;
        if (next <= pos)
            break;
        pos = next;
    } while (pos < edit.TextLength());
    edit.FormatRange(nullptr, false);
    return pages;
}

// Draws page after page until the text is laid out; `onPage` gets each recorded page.
template <typename F>
int recordPages(richedit::TRichEdit &edit, int dpi, F onPage)
{
    return layOutPages(edit, dpi, [&](int, const auto &layOut) {
        preview::PageRecording rec(a4Pixels(kA4WidthTwips, dpi), a4Pixels(kA4HeightTwips, dpi), dpi, dpi);
        QPainter painter(&rec);
        layOut(&painter);
        painter.end();
        onPage(rec.takePage());
    });
}

} // namespace kelpa::test
