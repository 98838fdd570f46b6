// Speed of the rich-text control beside Qt's own ways of doing the same work:
//   plain load    TRichEdit::LoadFromStream (10 MB, plain mode)  vs QTextEdit::setPlainText
//   RTF load      TRichEdit::LoadFromStream (5 MB RTF)           vs QTextDocument::setHtml
//   saving        plain lines and RTF, in MB/s
//   printing      FormatRange of 200 pages into a PDF             vs QTextDocument::print
//   typing        one keystroke in a 10 MB page
//   one long line loading and typing in a plain page of 3 MB without a single line break
//   RTF tables: N distinct fonts or colours written, N list paragraphs read (time per entry
//   stays flat as N grows)
// Run: QT_QPA_PLATFORM=offscreen build/bench/richedit_bench
#include "richedit/TRichEdit.h"
#include "richedit/rtf/RtfDocument.h"
#include "richedit/rtf/RtfReader.h"
#include "richedit/rtf/RtfWriter.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QTemporaryDir>
#include <QTextDocument>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <random>

using kelpa::richedit::TFormatRange;
using kelpa::richedit::TRichEdit;

namespace {

const char *const kWords[] = {"lorem", "ipsum", "dolor", "sit", "amet", "consectetur", "adipiscing",
                              "elit", "sed", "do", "eiusmod", "tempor", "incididunt", "ut", "labore",
                              "et", "dolore", "magna", "aliqua", "caf\u00e9", "na\u00efve", "\u00fcber"};

// Lines of about 70 characters.
QString plainText(qsizetype bytes)
{
    std::mt19937 rng(1);
    QString text;
    text.reserve(bytes + 100);
    qsizetype line = 0;
    while (text.size() < bytes) {
        const QString w = QString::fromUtf8(kWords[rng() % std::size(kWords)]);
        text += w;
        line += w.size();
        if (line > 70) {
            text += QChar(u'\n');
            line = 0;
        } else {
            text += QChar(u' ');
        }
    }
    return text;
}

// The same formatted content as our model and as HTML.
struct RichContent {
    kelpa::rtf::Document model;
    QString html;
};

RichContent richContent(std::size_t targetRtfBytes)
{
    std::mt19937 rng(2);
    RichContent c;
    c.html = "<html><body>";
    std::size_t estimate = 0;
    const char *fonts[] = {"Arial", "Courier New", "Times New Roman"};
    while (estimate < targetRtfBytes) {
        kelpa::rtf::Paragraph p;
        p.format.alignment = static_cast<kelpa::rtf::Alignment>(rng() % 3);
        static const char *align[] = {"left", "right", "center"};
        c.html += QString("<p style=\"text-align:%1\">").arg(align[static_cast<int>(p.format.alignment)]);
        for (int r = 0; r < 8; ++r) {
            kelpa::rtf::CharFormat f;
            f.fontName = QString(fonts[rng() % 3]).toStdU16String();
            f.sizeHalfPoints = 20 + 4 * static_cast<int>(rng() % 4);
            f.bold = rng() % 4 == 0;
            f.italic = rng() % 5 == 0;
            f.underline = rng() % 7 == 0;
            if (rng() % 6 == 0)
                f.color = kelpa::rtf::Color::rgb(200, 30, 30);
            QString words;
            for (int w = 0; w < 3; ++w)
                words += QString::fromUtf8(kWords[rng() % std::size(kWords)]) + " ";
            kelpa::rtf::appendText(p, words.toStdU16String(), f);
            QString style = QString("font-family:'%1'; font-size:%2pt;")
                                .arg(QString::fromStdU16String(f.fontName))
                                .arg(f.sizeHalfPoints / 2);
            if (f.bold)
                style += " font-weight:bold;";
            if (f.italic)
                style += " font-style:italic;";
            if (f.underline)
                style += " text-decoration:underline;";
            if (!f.color.automatic)
                style += " color:#c81e1e;";
            c.html += QString("<span style=\"%1\">%2</span>").arg(style, words.toHtmlEscaped());
            estimate += static_cast<std::size_t>(words.size()) + 25;
        }
        c.html += "</p>";
        c.model.paragraphs.push_back(std::move(p));
    }
    c.html += "</body></html>";
    return c;
}

const QByteArray &plainBytes()
{
    static const QByteArray b = plainText(10 * 1024 * 1024).toUtf8();
    return b;
}

// The same words run together into one line.
const QByteArray &longLineBytes()
{
    static const QByteArray b = [] {
        QString text = plainText(3 * 1024 * 1024);
        text.replace(QChar(u'\n'), QChar(u' '));
        return text.toUtf8();
    }();
    return b;
}

const RichContent &rich()
{
    static const RichContent c = richContent(5 * 1024 * 1024 * 13 / 10); // about 5 MB of RTF
    return c;
}

const QByteArray &rtfBytes()
{
    static const QByteArray b = [] {
        const std::string s = kelpa::rtf::writeRtf(rich().model);
        return QByteArray(s.data(), static_cast<qsizetype>(s.size()));
    }();
    return b;
}

void BM_PlainLoad_TRichEdit(benchmark::State &state)
{
    const QByteArray &bytes = plainBytes();
    TRichEdit edit;
    edit.SetPlainText(true);
    edit.SetWordWrap(false);
    for (auto _ : state)
        edit.LoadFromStream(bytes);
    state.SetBytesProcessed(state.iterations() * bytes.size());
}

void BM_PlainLoad_QtSetPlainText(benchmark::State &state)
{
    const QString text = QString::fromUtf8(plainBytes());
    QTextEdit edit;
    edit.setLineWrapMode(QTextEdit::NoWrap);
    for (auto _ : state)
        edit.setPlainText(text);
    state.SetBytesProcessed(state.iterations() * plainBytes().size());
}

void BM_RtfLoad_TRichEdit(benchmark::State &state)
{
    const QByteArray &bytes = rtfBytes();
    TRichEdit edit;
    for (auto _ : state)
        edit.LoadFromStream(bytes);
    state.SetBytesProcessed(state.iterations() * bytes.size());
    state.counters["rtf_MB"] = static_cast<double>(bytes.size()) / 1e6;
}

void BM_RtfLoad_QtSetHtml(benchmark::State &state)
{
    const QString &html = rich().html;
    QTextEdit edit;
    for (auto _ : state)
        edit.document()->setHtml(html);
    state.SetBytesProcessed(state.iterations() * rtfBytes().size());
    state.counters["html_MB"] = static_cast<double>(html.toUtf8().size()) / 1e6;
}

void BM_PlainSave_TRichEdit(benchmark::State &state)
{
    TRichEdit edit;
    edit.SetPlainText(true);
    edit.LoadFromStream(plainBytes());
    qsizetype written = 0;
    for (auto _ : state) {
        const QByteArray out = edit.SaveToStream();
        written += out.size();
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(written);
}

void BM_RtfSave_TRichEdit(benchmark::State &state)
{
    TRichEdit edit;
    edit.LoadFromStream(rtfBytes());
    qsizetype written = 0;
    for (auto _ : state) {
        const QByteArray out = edit.SaveToStream();
        written += out.size();
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(written);
}

void BM_RtfWrite_ModelOnly(benchmark::State &state)
{
    std::size_t written = 0;
    for (auto _ : state) {
        const std::string out = kelpa::rtf::writeRtf(rich().model);
        written += out.size();
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(written));
}

// kind 0: one paragraph per distinct font; 1: per distinct colour.
void BM_RtfWrite_DistinctFormats(benchmark::State &state)
{
    const int n = static_cast<int>(state.range(1));
    kelpa::rtf::Document d;
    for (int i = 0; i < n; ++i) {
        kelpa::rtf::CharFormat f;
        if (state.range(0) == 0)
            f.fontName = u"Font " + QString::number(i).toStdU16String();
        else
            f.color = kelpa::rtf::Color::rgb(static_cast<std::uint8_t>(i >> 16), static_cast<std::uint8_t>(i >> 8),
                                             static_cast<std::uint8_t>(i));
        kelpa::rtf::Paragraph p;
        p.runs.push_back({u"x", f});
        d.paragraphs.push_back(std::move(p));
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(kelpa::rtf::writeRtf(d).size());
    state.SetItemsProcessed(state.iterations() * n);
}

// N lists, each with one paragraph.
void BM_RtfRead_ListParagraphs(benchmark::State &state)
{
    const int n = static_cast<int>(state.range(0));
    std::string rtf = "{\\rtf1{\\*\\listtable";
    for (int i = 1; i <= n; ++i)
        rtf += "{\\list{\\listlevel\\levelnfc23}\\listid" + std::to_string(i) + "}";
    rtf += "}{\\*\\listoverridetable";
    for (int i = 1; i <= n; ++i)
        rtf += "{\\listoverride\\listid" + std::to_string(i) + "\\ls" + std::to_string(i) + "}";
    rtf += "}";
    for (int i = 1; i <= n; ++i)
        rtf += "\\pard\\ls" + std::to_string(i) + " item\\par";
    rtf += "}";
    for (auto _ : state)
        benchmark::DoNotOptimize(kelpa::rtf::readRtf(rtf).paragraphs.size());
    state.SetItemsProcessed(state.iterations() * n);
}

// About 200 pages of Letter with one-inch margins at 12 points.
TRichEdit &printDocument()
{
    static TRichEdit *edit = [] {
        auto *e = new TRichEdit;
        QFont f("Liberation Sans");
        f.setPointSize(12);
        e->setFont(f);
        e->SetText(plainText(200 * 46 * 65));
        return e;
    }();
    return *edit;
}

void BM_Print200Pages_FormatRange(benchmark::State &state)
{
    TRichEdit &edit = printDocument();
    QTemporaryDir dir;
    int pages = 0;
    for (auto _ : state) {
        QPdfWriter writer(dir.filePath("range.pdf"));
        writer.setResolution(600);
        writer.setPageSize(QPageSize(QPageSize::Letter));
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        QPainter painter(&writer);
        edit.FormatRange(nullptr, false);
        TFormatRange r;
        r.painter = &painter;
        r.dpiX = r.dpiY = 600;
        r.rc = {1440, 1440, 10800, 14400};
        r.rcPage = {0, 0, 12240, 15840};
        pages = 0;
        for (int pos = 0;;) {
            r.cpMin = pos;
            const int next = edit.FormatRange(&r, true);
            ++pages;
            if (next <= pos || next >= edit.TextLength())
                break;
            writer.newPage();
            pos = next;
        }
        painter.end();
    }
    state.counters["pages"] = pages;
}

void BM_Print200Pages_QtPrint(benchmark::State &state)
{
    TRichEdit &edit = printDocument();
    QTemporaryDir dir;
    for (auto _ : state) {
        QPdfWriter writer(dir.filePath("qt.pdf"));
        writer.setResolution(600);
        writer.setPageSize(QPageSize(QPageSize::Letter));
        writer.setPageMargins(QMarginsF(25.4, 25.4, 25.4, 25.4), QPageLayout::Millimeter);
        edit.document()->print(&writer);
    }
}

void BM_Keystroke_10MB(benchmark::State &state)
{
    TRichEdit edit;
    edit.SetPlainText(true);
    edit.SetWordWrap(state.range(0) != 0);
    edit.resize(1000, 700);
    edit.show();
    edit.LoadFromStream(plainBytes());
    // Where the caret is matters: the text engine moves every paragraph after the edit.
    edit.SetSelStart(static_cast<int>(static_cast<long long>(edit.TextLength()) * state.range(1) / 100));
    for (int i = 0; i < 50; ++i)
        QApplication::processEvents();
    for (auto _ : state) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, "a");
        QApplication::sendEvent(&edit, &press);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_A, Qt::NoModifier, "a");
        QApplication::sendEvent(&edit, &release);
        QApplication::processEvents();
    }
}

void BM_Keystroke_10MB_QTextEdit(benchmark::State &state)
{
    QTextEdit edit;
    edit.setLineWrapMode(state.range(0) != 0 ? QTextEdit::WidgetWidth : QTextEdit::NoWrap);
    edit.resize(1000, 700);
    edit.show();
    edit.setPlainText(QString::fromUtf8(plainBytes()));
    QTextCursor c = edit.textCursor();
    c.setPosition(edit.document()->characterCount() / 2);
    edit.setTextCursor(c);
    for (int i = 0; i < 50; ++i)
        QApplication::processEvents();
    for (auto _ : state) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, "a");
        QApplication::sendEvent(&edit, &press);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_A, Qt::NoModifier, "a");
        QApplication::sendEvent(&edit, &release);
        QApplication::processEvents();
    }
}

// range(0): word wrap.
void BM_LongLineLoad(benchmark::State &state)
{
    const QByteArray &bytes = longLineBytes();
    TRichEdit edit;
    edit.SetPlainText(true);
    edit.SetWordWrap(state.range(0) != 0);
    edit.resize(1000, 700);
    edit.show();
    for (auto _ : state) {
        edit.LoadFromStream(bytes);
        QApplication::processEvents();
    }
    state.SetBytesProcessed(state.iterations() * bytes.size());
}

// range(0): word wrap; range(1): caret position in percent of the text.
void BM_LongLineKeystroke(benchmark::State &state)
{
    TRichEdit edit;
    edit.SetPlainText(true);
    edit.SetWordWrap(state.range(0) != 0);
    edit.resize(1000, 700);
    edit.show();
    edit.LoadFromStream(longLineBytes());
    edit.SetSelStart(static_cast<int>(static_cast<long long>(edit.TextLength()) * state.range(1) / 100));
    edit.ScrollCaret();
    for (int i = 0; i < 50; ++i)
        QApplication::processEvents();
    for (auto _ : state) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, "a");
        QApplication::sendEvent(&edit, &press);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_A, Qt::NoModifier, "a");
        QApplication::sendEvent(&edit, &release);
        QApplication::processEvents();
    }
}

} // namespace

BENCHMARK(BM_PlainLoad_TRichEdit)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_PlainLoad_QtSetPlainText)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_RtfLoad_TRichEdit)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_RtfLoad_QtSetHtml)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_PlainSave_TRichEdit)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_RtfSave_TRichEdit)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_RtfWrite_ModelOnly)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_RtfWrite_DistinctFormats)->ArgsProduct({{0, 1}, {10000, 100000}})->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_RtfRead_ListParagraphs)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_Print200Pages_FormatRange)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_Print200Pages_QtPrint)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_Keystroke_10MB)->Args({0, 0})->Args({0, 50})->Args({0, 100})->Args({1, 50})->Unit(benchmark::kMillisecond)->Iterations(50);
BENCHMARK(BM_Keystroke_10MB_QTextEdit)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(50);
BENCHMARK(BM_LongLineLoad)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_LongLineKeystroke)->ArgsProduct({{0, 1}, {0, 50, 100}})->Unit(benchmark::kMillisecond)->Iterations(5);
