#include "printmod/preview/PageRecording.h"

#include "PreviewDocument.h"

#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <functional>
#include <gtest/gtest.h>

using kelpa::richedit::TFormatRange;
using kelpa::richedit::TRichEdit;

using namespace kelpa::preview;

namespace {

QImage blank(int w, int h, int dpi)
{
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(Qt::white);
    img.setDotsPerMeterX(int(dpi / 0.0254 + 0.5));
    img.setDotsPerMeterY(int(dpi / 0.0254 + 0.5));
    return img;
}

// Share of pixels that differ noticeably between two images of one size.
double differing(const QImage &a, const QImage &b)
{
    long bad = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            if (std::abs(qRed(p) - qRed(q)) > 96 || std::abs(qGreen(p) - qGreen(q)) > 96
                || std::abs(qBlue(p) - qBlue(q)) > 96)
                ++bad;
        }
    return double(bad) / (double(a.width()) * a.height());
}

long inked(const QImage &a)
{
    long n = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            n += qGray(a.pixel(x, y)) < 128;
    return n;
}

Page throughFile(const Page &p)
{
    const DecodedPage d = decodePage(encodePage(p));
    EXPECT_TRUE(d.ok) << d.error;
    return d.page;
}

} // namespace

TEST(PageRecording, DocumentPageReplaysAsDrawnDirectly)
{
    constexpr int dpi = 150;
    TRichEdit edit;
    kelpa::test::fillDocument(edit, 12);
    QTextCursor c(edit.document());
    c.movePosition(QTextCursor::Start);
    c.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    QTextCharFormat bold;
    bold.setFontWeight(QFont::Bold);
    bold.setFontPointSize(16);
    bold.setForeground(QColor(200, 0, 0));
    c.mergeCharFormat(bold);

    Page page;
    kelpa::test::recordPages(edit, dpi, [&](Page p) {
        if (page.ops.empty())
            page = std::move(p);
    });
    ASSERT_FALSE(page.ops.empty());
    EXPECT_EQ(page.dpiX, 150u);

    const int w = kelpa::test::a4Pixels(kelpa::test::kA4WidthTwips, dpi);
    const int h = kelpa::test::a4Pixels(kelpa::test::kA4HeightTwips, dpi);
    QImage direct = blank(w, h, dpi);
    {
        QPainter p(&direct);
        edit.FormatRange(nullptr, false);
        const TFormatRange r = kelpa::test::a4Request(&p, dpi, 0);
        edit.FormatRange(&r, true);
    }
    QImage replayed = blank(w, h, dpi);
    {
        QPainter p(&replayed);
        replayPage(p, throughFile(page), QRectF(0, 0, w, h));
    }
    EXPECT_GT(inked(direct), 10000);
    EXPECT_LT(differing(direct, replayed), 0.003);
}

TEST(PageRecording, ShapesReplayAsDrawn)
{
    struct Case {
        const char *what;
        std::function<void(QPainter &)> draw;
    };
    QImage picture(4, 4, QImage::Format_ARGB32);
    picture.fill(QColor(0, 0, 255));
    picture.setPixelColor(0, 0, Qt::red);
    const Case cases[] = {
        {"lines", [](QPainter &p) { p.setPen(QPen(Qt::black, 3)); p.drawLine(10, 10, 190, 150); }},
        {"filled rectangle", [](QPainter &p) { p.setBrush(Qt::green); p.drawRect(20, 30, 100, 80); }},
        {"ellipse", [](QPainter &p) { p.setBrush(Qt::blue); p.drawEllipse(30, 30, 120, 90); }},
        {"polygon", [](QPainter &p) {
             p.setBrush(Qt::magenta);
             p.drawPolygon(QPolygon({{10, 190}, {100, 10}, {190, 190}}));
         }},
        {"polyline", [](QPainter &p) {
             p.setPen(QPen(Qt::darkRed, 4));
             p.drawPolyline(QPolygon({{10, 10}, {60, 150}, {190, 40}}));
         }},
        {"curved path", [](QPainter &p) {
             QPainterPath path;
             path.moveTo(10, 100);
             path.cubicTo(50, 0, 150, 200, 190, 100);
             p.setPen(QPen(Qt::black, 5));
             p.drawPath(path);
         }},
        // The replay smooths scaled pictures, whatever the drawing asked for.
        {"picture", [&picture](QPainter &p) {
             p.setRenderHint(QPainter::SmoothPixmapTransform);
             p.drawImage(QRectF(20, 20, 160, 160), picture);
         }},
        {"clipped fill", [](QPainter &p) {
             p.setClipRect(50, 50, 60, 60);
             p.fillRect(0, 0, 200, 200, Qt::darkGreen);
         }},
        {"transformed", [](QPainter &p) {
             p.translate(100, 100);
             p.rotate(30);
             p.setBrush(Qt::black);
             p.drawRect(-50, -20, 100, 40);
         }},
        {"scaled text", [](QPainter &p) {
             QFont f(QStringLiteral("DejaVu Sans"));
             f.setPixelSize(20);
             p.setFont(f);
             p.scale(2, 2);
             p.drawText(QPointF(5, 40), QStringLiteral("Kelpa"));
         }},
        {"clip switched off and on again", [](QPainter &p) {
             p.setClipRect(50, 50, 60, 60);
             p.setClipping(false);
             p.fillRect(0, 0, 100, 100, Qt::red);
             p.setClipping(true);
             p.fillRect(0, 0, 200, 200, Qt::darkGreen);
         }},
        {"underlined and struck text", [](QPainter &p) {
             QFont f(QStringLiteral("DejaVu Sans"));
             f.setPixelSize(30);
             f.setUnderline(true);
             f.setStrikeOut(true);
             p.setFont(f);
             p.setPen(Qt::blue);
             p.drawText(QPointF(5, 100), QStringLiteral("Kelpa text"));
         }},
        {"dashed pen", [](QPainter &p) { p.setPen(QPen(Qt::black, 4, Qt::DashLine)); p.drawLine(0, 100, 200, 100); }},
    };
    for (const Case &c : cases) {
        QImage direct = blank(200, 200, 96);
        {
            QPainter p(&direct);
            p.setRenderHint(QPainter::Antialiasing);
            c.draw(p);
        }
        PageRecording rec(200, 200, 96, 96);
        {
            QPainter p(&rec);
            p.setRenderHint(QPainter::Antialiasing);
            c.draw(p);
        }
        QImage replayed = blank(200, 200, 96);
        {
            QPainter p(&replayed);
            replayPage(p, throughFile(rec.takePage()), QRectF(0, 0, 200, 200));
        }
        EXPECT_GT(inked(direct) + 1, 1) << c.what;
        EXPECT_LT(differing(direct, replayed), 0.01) << c.what;
    }
}

TEST(PageRecording, ReplayScalesIntoItsTargetAndClipsToThePage)
{
    PageRecording rec(100, 100, 96, 96);
    {
        QPainter p(&rec);
        p.fillRect(0, 0, 50, 50, Qt::black);
        p.fillRect(90, 90, 500, 500, Qt::black); // runs off the page
    }
    const Page page = rec.takePage();
    QImage img = blank(400, 400, 96);
    {
        QPainter p(&img);
        replayPage(p, page, QRectF(100, 100, 200, 200));
    }
    EXPECT_EQ(img.pixelColor(150, 150), QColor(Qt::black));
    EXPECT_EQ(img.pixelColor(99, 99), QColor(Qt::white));
    EXPECT_EQ(img.pixelColor(250, 150), QColor(Qt::white));
    EXPECT_EQ(img.pixelColor(295, 295), QColor(Qt::black));
    EXPECT_EQ(img.pixelColor(305, 305), QColor(Qt::white)); // clipped at the page's edge
    // Taking a page starts the recording afresh.
    EXPECT_TRUE(rec.takePage().ops.empty());
}

TEST(PageRecording, ScaledReplayKeepsTheRecordedRunWidth)
{
    // The line breaks are the printer's; the runs must also end where the printer ends them.
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(83);
    font.setHintingPreference(QFont::PreferNoHinting);
    const QString text = QStringLiteral("The quick brown fox jumps over the lazy dog");
    PageRecording rec(4000, 400, 600, 600);
    {
        QPainter p(&rec);
        p.setFont(font);
        p.drawText(QPointF(100, 200), text);
    }
    const Page page = throughFile(rec.takePage());
    const Op *run = nullptr;
    for (const Op &op : page.ops)
        if (op.type == OpType::Text)
            run = &op;
    ASSERT_TRUE(run);
    for (double scale : {0.5, 0.25, 0.13}) {
        const int w = int(4000 * scale), h = int(400 * scale);
        QImage img = blank(w, h, 96);
        {
            QPainter p(&img);
            replayPage(p, page, QRectF(0, 0, w, h));
        }
        int right = 0;
        for (int x = 0; x < w; ++x)
            for (int y = 0; y < h; ++y)
                if (qGray(img.pixel(x, y)) < 160)
                    right = x;
        // The last glyph's ink ends a little before its advance.
        const double end = (100 + run->v[2]) * scale;
        EXPECT_NEAR(right, end, 4 + 40 * scale) << scale;
        EXPECT_LT(right, end + 2) << scale;
    }
}
