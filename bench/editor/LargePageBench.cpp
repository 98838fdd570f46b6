// The editor window with large documents, beside bare QPlainTextEdit and QTextEdit in the same
// run: keystrokes (typed as a user types them, painted before the next one) at the top, middle
// and end of a big plain page and inside one long line (of words, and of data without blanks),
// opening, find, select all, copy, save, and keystrokes in a big RTF document.
//
// Run: QT_QPA_PLATFORM=offscreen build/bench/large_page_bench [--page-mb=N] [--line-mb=N]
//      [--rtf-mb=N] [--benchmark_filter=...]
// The sizes default to a quick run; the goals are stated for --page-mb=100 --line-mb=10
// --rtf-mb=5 (about 3 GB of memory for the three widgets one after another).
#include "editor/FindDialogs.h"
#include "editor/SearchCommands.h"
#include "editor/TForm1.h"
#include "editor/DocumentCommands.h"
#include "richedit/TRichEdit.h"
#include "richedit/rtf/RtfDocument.h"
#include "richedit/rtf/RtfWriter.h"
#include "support/Prompter.h"
#include "common/Processes.h"
#include "common/QtBench.h"
#include "common/ScriptedPrompter.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QSaveFile>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>

#include <benchmark/benchmark.h>

#include <malloc.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

using kelpa::richedit::TRichEdit;

using kelpa::editor::TForm1;

namespace {

struct Sizes {
    int pageMb = 16;
    int lineMb = 2;
    int rtfMb = 2;
} sizes;

QTemporaryDir &folder()
{
    static QTemporaryDir dir;
    return dir;
}

QString pathOf(const QString &name) { return folder().path() + QLatin1Char('/') + name; }

// Found once, at the very end of every text.
const QString kNeedle = QStringLiteral("zebrafinch");

const char *const kWords[] = {"lorem", "ipsum", "dolor", "sit", "amet", "consectetur", "adipiscing",
                              "elit", "sed", "do", "eiusmod", "tempor", "incididunt", "ut", "labore",
                              "et", "dolore", "magna", "aliqua", "caf\u00e9", "na\u00efve", "\u00fcber"};

// Words in lines of about 70 bytes (breakAfter 0: one line), UTF-8.
QByteArray words(qsizetype bytes, int breakAfter)
{
    std::mt19937 rng(1);
    QByteArray text;
    text.reserve(bytes + 100);
    qsizetype line = 0;
    while (text.size() < bytes) {
        const char *w = kWords[rng() % std::size(kWords)];
        text += w;
        line += static_cast<qsizetype>(std::strlen(w));
        if (breakAfter > 0 && line > breakAfter) {
            text += '\n';
            line = 0;
        } else {
            text += ' ';
        }
    }
    text += kNeedle.toUtf8();
    return text;
}

enum class TextKind { Page, LongLine, Rtf, Minified };

// One line of data without a blank, as minified JSON has it.
QByteArray minified(qsizetype bytes)
{
    std::mt19937 rng(3);
    QByteArray text("[");
    text.reserve(bytes + 100);
    while (text.size() < bytes) {
        text += "{\"";
        text += kWords[rng() % std::size(kWords)];
        text += "\":" + QByteArray::number(static_cast<int>(rng() % 100000)) + ",\"";
        text += kWords[rng() % std::size(kWords)];
        text += "\":[\"" + QByteArray(kWords[rng() % std::size(kWords)]) + "\",null]},";
    }
    text += "\"" + kNeedle.toUtf8() + "\"]";
    return text;
}

QByteArray rtfBytes(std::size_t target)
{
    std::mt19937 rng(2);
    kelpa::rtf::Document model;
    std::size_t estimate = 0;
    const char *fonts[] = {"Arial", "Courier New", "Times New Roman"};
    while (estimate < target) {
        kelpa::rtf::Paragraph p;
        p.format.alignment = static_cast<kelpa::rtf::Alignment>(rng() % 3);
        for (int r = 0; r < 8; ++r) {
            kelpa::rtf::CharFormat f;
            f.fontName = QString(fonts[rng() % 3]).toStdU16String();
            f.sizeHalfPoints = 20 + 4 * static_cast<int>(rng() % 4);
            f.bold = rng() % 4 == 0;
            f.italic = rng() % 5 == 0;
            QString run;
            for (int w = 0; w < 3; ++w)
                run += QString::fromUtf8(kWords[rng() % std::size(kWords)]) + QLatin1Char(' ');
            kelpa::rtf::appendText(p, run.toStdU16String(), f);
            estimate += static_cast<std::size_t>(run.size()) + 30;
        }
        model.paragraphs.push_back(std::move(p));
    }
    kelpa::rtf::Paragraph last;
    kelpa::rtf::appendText(last, kNeedle.toStdU16String(), {});
    model.paragraphs.push_back(std::move(last));
    const std::string s = kelpa::rtf::writeRtf(model);
    return QByteArray(s.data(), static_cast<qsizetype>(s.size()));
}

// The file of a text, written once.
QString fileOf(TextKind kind)
{
    static QString files[4];
    QString &name = files[static_cast<int>(kind)];
    if (!name.isEmpty())
        return name;
    QByteArray bytes;
    switch (kind) {
    case TextKind::Page:
        name = pathOf(QStringLiteral("page.txt"));
        bytes = words(qsizetype(sizes.pageMb) << 20, 70);
        break;
    case TextKind::LongLine:
        name = pathOf(QStringLiteral("line.txt"));
        bytes = words(qsizetype(sizes.lineMb) << 20, 0);
        break;
    case TextKind::Minified:
        name = pathOf(QStringLiteral("data.json"));
        bytes = minified(qsizetype(sizes.lineMb) << 20);
        break;
    case TextKind::Rtf:
        name = pathOf(QStringLiteral("rich.rtf"));
        bytes = rtfBytes(std::size_t(sizes.rtfMb) << 20);
        break;
    }
    QFile f(name);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        std::abort();
    return name;
}

QByteArray readAll(const QString &name)
{
    QFile f(name);
    if (!f.open(QIODevice::ReadOnly))
        std::abort();
    return f.readAll();
}

long residentBytes()
{
    QFile f(QStringLiteral("/proc/self/statm"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = f.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toLong() * 4096 : 0;
}

void settle() { QApplication::processEvents(); }

// ---------------------------------------------------------------- the widgets measured

enum class Widget { Kelpa, QPlainTextEdit, QTextEdit };

const char *nameOf(Widget w)
{
    switch (w) {
    case Widget::Kelpa: return "Kelpa";
    case Widget::QPlainTextEdit: return "QPlainTextEdit";
    case Widget::QTextEdit: return "QTextEdit";
    }
    return "";
}

// One widget with one text in it: the editor window with the file opened in a page, or a bare
// Qt widget the file was read into.
class Subject {
public:
    Subject(Widget widget, TextKind text) : widget_(widget), text_(text)
    {
        if (widget == Widget::Kelpa) {
            makeForm();
            open();
        } else {
            if (widget == Widget::QPlainTextEdit)
                bare_ = std::make_unique<QPlainTextEdit>();
            else
                bare_ = std::make_unique<QTextEdit>();
            bare_->resize(1000, 700);
            bare_->show();
            open();
        }
        settle();
    }
    ~Subject()
    {
        form_.reset();
        bare_.reset();
    }

    Widget widget() const { return widget_; }
    TextKind text() const { return text_; }

    void makeForm()
    {
        const QString program = pathOf(QStringLiteral("program"));
        QDir().mkpath(program);
        QFile ini(program + QStringLiteral("/Kelpa.ini"));
        if (ini.open(QIODevice::WriteOnly))
            ini.write("Maximized=N\r\n");
        ini.close();
        kelpa::test::setProgramFolder(program);
        form_ = std::make_unique<TForm1>();
        form_->resize(1000, 700);
        form_->show();
        settle();
        form_->FormActivate();
        settle();
    }

    // Reads the file in as a user opens it.
    void open()
    {
        const QString name = fileOf(text_);
        if (form_) {
            slot_ = form_->OpenDocument(name, false, QString());
            if (slot_ < 0)
                std::abort();
            return;
        }
        const QByteArray bytes = readAll(name);
        if (auto *plain = qobject_cast<QPlainTextEdit *>(bare_.get())) {
            plain->setPlainText(QString::fromUtf8(bytes));
        } else {
            auto *rich = static_cast<QTextEdit *>(bare_.get());
            if (text_ == TextKind::Rtf)
                rich->setHtml(rtfAsHtml());
            else
                rich->setPlainText(QString::fromUtf8(bytes));
        }
    }
    // Bare Qt reads no RTF: its anchor holds the same formatted text, as the page had it.
    static QString rtfAsHtml()
    {
        static const QString html = [] {
            TRichEdit edit;
            edit.LoadFromStream(readAll(fileOf(TextKind::Rtf)));
            return edit.document()->toHtml();
        }();
        return html;
    }

    QAbstractScrollArea *view() const
    {
        if (form_)
            return form_->pages()[slot_].Editor;
        return bare_.get();
    }
    TRichEdit *page() const { return form_ ? form_->pages()[slot_].Editor : nullptr; }
    QTextDocument *document() const
    {
        if (auto *plain = qobject_cast<QPlainTextEdit *>(view()))
            return plain->document();
        return static_cast<QTextEdit *>(view())->document();
    }
    int length() const { return document()->characterCount() - 1; }

    QTextCursor cursor() const
    {
        if (auto *plain = qobject_cast<QPlainTextEdit *>(view()))
            return plain->textCursor();
        return static_cast<QTextEdit *>(view())->textCursor();
    }
    void setCursor(const QTextCursor &c)
    {
        if (auto *plain = qobject_cast<QPlainTextEdit *>(view()))
            plain->setTextCursor(c);
        else
            static_cast<QTextEdit *>(view())->setTextCursor(c);
    }
    void setCaret(int position)
    {
        if (TRichEdit *p = page()) {
            p->SetSelStart(position);
            p->ScrollCaret();
        } else {
            QTextCursor c(document());
            c.setPosition(std::clamp(position, 0, length()));
            setCursor(c);
        }
        settle();
    }

    bool wrap() const
    {
        if (auto *plain = qobject_cast<QPlainTextEdit *>(view()))
            return plain->lineWrapMode() != QPlainTextEdit::NoWrap;
        return static_cast<QTextEdit *>(view())->lineWrapMode() != QTextEdit::NoWrap;
    }
    void setWrap(bool on)
    {
        if (wrap() == on)
            return;
        if (form_)
            form_->documents().Wraptext1Click(); // as the menu command does it
        else if (auto *plain = qobject_cast<QPlainTextEdit *>(view()))
            plain->setLineWrapMode(on ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
        else
            static_cast<QTextEdit *>(view())->setLineWrapMode(on ? QTextEdit::WidgetWidth : QTextEdit::NoWrap);
        layOutAll();
    }
    // QTextEdit lays a document out from its top in the background, in steps between events:
    // the keystrokes are measured on a page laid out whole, not beside those steps.
    void layOutAll()
    {
        QTextDocument *doc = document();
        doc->documentLayout()->blockBoundingRect(doc->lastBlock());
        settle();
    }
    void setPointSize(int points)
    {
        QFont f = view()->font();
        if (f.pointSize() == points)
            return;
        f.setPointSize(points);
        view()->setFont(f);
        layOutAll();
    }

    void key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier, const QString &text = QString())
    {
        QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
        QApplication::sendEvent(view(), &press);
        QKeyEvent release(QEvent::KeyRelease, key, modifiers, text);
        QApplication::sendEvent(view(), &release);
    }

    void selectAll()
    {
        if (TRichEdit *p = page())
            p->SelectAll();
        else if (auto *plain = qobject_cast<QPlainTextEdit *>(view()))
            plain->selectAll();
        else
            static_cast<QTextEdit *>(view())->selectAll();
    }
    void copy()
    {
        if (TRichEdit *p = page())
            p->CopyToClipboard();
        else if (auto *plain = qobject_cast<QPlainTextEdit *>(view()))
            plain->copy();
        else
            static_cast<QTextEdit *>(view())->copy();
    }
    // Finds the next hit from the caret on and selects it; false when there is none.
    bool findNext(const QString &what)
    {
        if (TRichEdit *p = page()) {
            // The window's Find Next (F3) with the text set in its find dialog.
            form_->search().findDialog()->SetFindText(what);
            form_->search().Findnext1Click();
            return p->SelLength() == what.size();
        }
        if (auto *plain = qobject_cast<QPlainTextEdit *>(view()))
            return plain->find(what);
        return static_cast<QTextEdit *>(view())->find(what);
    }
    void save()
    {
        if (form_) {
            if (!form_->documents().SavePage(slot_))
                std::abort();
            return;
        }
        QSaveFile f(pathOf(QStringLiteral("bare-save.txt")));
        if (!f.open(QIODevice::WriteOnly))
            std::abort();
        f.write(document()->toPlainText().toUtf8());
        if (!f.commit())
            std::abort();
    }

private:
    Widget widget_;
    TextKind text_;
    std::unique_ptr<TForm1> form_;
    std::unique_ptr<QAbstractScrollArea> bare_;
    int slot_ = -1;
};

// One subject at a time: the big texts do not fit three times over.
std::unique_ptr<Subject> current;

void release()
{
    current.reset();
    settle();
    malloc_trim(0);
}

Subject &subject(Widget widget, TextKind text)
{
    if (!current || current->widget() != widget || current->text() != text) {
        release();
        current = std::make_unique<Subject>(widget, text);
        current->layOutAll();
    }
    return *current;
}

// ---------------------------------------------------------------- cases

enum class Key { Insert, Backspace, Enter, Undo };
const char *nameOf(Key k)
{
    switch (k) {
    case Key::Insert: return "insert";
    case Key::Backspace: return "backspace";
    case Key::Enter: return "enter";
    case Key::Undo: return "undo";
    }
    return "";
}

void press(Subject &s, Key k)
{
    switch (k) {
    case Key::Insert: s.key(Qt::Key_X, Qt::NoModifier, QStringLiteral("x")); break;
    case Key::Backspace: s.key(Qt::Key_Backspace); break;
    case Key::Enter: s.key(Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r")); break;
    case Key::Undo: s.key(Qt::Key_Z, Qt::ControlModifier); break;
    }
}

struct Where {
    const char *name;
    double fraction; // of the text
};
const Where kWheres[] = {{"top", 0.0}, {"middle", 0.5}, {"end", 1.0}};

int positionAt(Subject &s, double fraction)
{
    // One character in, so that Backspace has something to take.
    return std::clamp(static_cast<int>(s.length() * fraction), 1, s.length());
}

// One keystroke, then the events that paint it: what a user waits for.
void keystroke(benchmark::State &state, Widget widget, TextKind text, Key k, double fraction, bool wrap,
               int points)
{
    Subject &s = subject(widget, text);
    s.setWrap(wrap);
    if (points > 0)
        s.setPointSize(points);
    const int at = positionAt(s, fraction);
    qint64 keyNs = 0;
    qint64 paintNs = 0;
    for (auto _ : state) {
        state.PauseTiming();
        s.setCaret(at);
        if (k == Key::Undo) {
            press(s, Key::Insert);
            settle();
        }
        state.ResumeTiming();
        QElapsedTimer t;
        t.start();
        press(s, k);
        const qint64 pressed = t.nsecsElapsed();
        settle();
        keyNs += pressed;
        paintNs += t.nsecsElapsed() - pressed;
    }
    // Where the time goes: the key's own handling (the edit, the layout it starts and every
    // handler) and the events that follow it (painting, the layout steps Qt runs meanwhile).
    const double n = static_cast<double>(state.iterations()) * 1e6;
    state.counters["key_ms"] = static_cast<double>(keyNs) / n;
    state.counters["events_ms"] = static_cast<double>(paintNs) / n;
}

void openPage(benchmark::State &state, Widget widget, TextKind text)
{
    release();
    const QString name = fileOf(text);
    const double fileBytes = static_cast<double>(QFile(name).size());
    double memory = 0;
    for (auto _ : state) {
        state.PauseTiming();
        release();
        const long before = residentBytes();
        state.ResumeTiming();
        current = std::make_unique<Subject>(widget, text); // opened and painted
        state.PauseTiming();
        memory = std::max(memory, static_cast<double>(residentBytes() - before));
        state.ResumeTiming();
    }
    state.counters["memory_x_file"] = memory / fileBytes;
}

enum class Command { FindNext, SelectAll, Copy, Save };
const char *nameOf(Command c)
{
    switch (c) {
    case Command::FindNext: return "find_next";
    case Command::SelectAll: return "select_all";
    case Command::Copy: return "copy";
    case Command::Save: return "save";
    }
    return "";
}

void command(benchmark::State &state, Widget widget, Command c)
{
    Subject &s = subject(widget, TextKind::Page);
    // The first find after opening also waits for the layout of the text before the hit
    // (QTextEdit lays a document out from its top): one run untimed, so that the figures
    // compare the commands themselves.
    if (c == Command::FindNext) {
        s.setCaret(0);
        s.findNext(kNeedle);
        settle();
    }
    for (auto _ : state) {
        state.PauseTiming();
        s.setCaret(0);
        if (c == Command::Copy) {
            s.selectAll();
            settle();
        }
        if (c == Command::Save)
            press(s, Key::Insert);
        settle();
        state.ResumeTiming();
        switch (c) {
        case Command::FindNext:
            if (!s.findNext(kNeedle))
                state.SkipWithError("not found");
            break;
        case Command::SelectAll: s.selectAll(); break;
        case Command::Copy:
            s.copy();
            // A paste elsewhere takes the text out again.
            benchmark::DoNotOptimize(QApplication::clipboard()->text());
            break;
        case Command::Save: s.save(); break;
        }
        settle();
    }
}

constexpr Widget kWidgets[] = {Widget::Kelpa, Widget::QPlainTextEdit, Widget::QTextEdit};

// Bare QTextEdit takes seconds a keystroke on these texts: a few will do.
int iterationsOf(Widget w, int usual) { return w == Widget::QTextEdit ? std::max(2, usual / 5) : usual; }

void registerAll()
{
    using benchmark::RegisterBenchmark;
    const auto ms = benchmark::kMillisecond;
    for (Widget w : kWidgets)
        RegisterBenchmark((std::string("Open/page/") + nameOf(w)).c_str(),
                          [w](benchmark::State &s) { openPage(s, w, TextKind::Page); })
            ->Unit(ms)->Iterations(2);
    for (Widget w : kWidgets)
        for (Command c : {Command::FindNext, Command::SelectAll, Command::Copy, Command::Save})
            RegisterBenchmark((std::string("Command/") + nameOf(c) + "/" + nameOf(w)).c_str(),
                              [w, c](benchmark::State &s) { command(s, w, c); })
                ->Unit(ms)->Iterations(iterationsOf(w, 5));
    for (Widget w : kWidgets)
        for (bool wrap : {false, true})
            for (const Where &where : kWheres)
                for (Key k : {Key::Insert, Key::Backspace, Key::Enter, Key::Undo})
                    RegisterBenchmark((std::string("Keystroke/page/") + nameOf(w) + "/" + where.name + "/" +
                                       nameOf(k) + (wrap ? "/wrap" : "/nowrap")).c_str(),
                                      [=](benchmark::State &s) {
                                          keystroke(s, w, TextKind::Page, k, where.fraction, wrap, 0);
                                      })
                        ->Unit(ms)->Iterations(iterationsOf(w, 20));
    for (Widget w : kWidgets)
        for (int points : {8, 72})
            for (bool wrap : {false, true})
                for (const Where &where : kWheres)
                    for (Key k : {Key::Insert, Key::Backspace})
                        RegisterBenchmark((std::string("Keystroke/line/") + nameOf(w) + "/" + std::to_string(points) +
                                           "pt/" + where.name + "/" + nameOf(k) + (wrap ? "/wrap" : "/nowrap")).c_str(),
                                          [=](benchmark::State &s) {
                                              keystroke(s, w, TextKind::LongLine, k, where.fraction, wrap, points);
                                          })
                            ->Unit(ms)->Iterations(iterationsOf(w, 10));
    for (Widget w : kWidgets)
        for (bool wrap : {false, true})
            for (const Where &where : kWheres)
                RegisterBenchmark((std::string("Keystroke/minified/") + nameOf(w) + "/8pt/" + where.name + "/" + nameOf(Key::Insert) +
                                   (wrap ? "/wrap" : "/nowrap")).c_str(),
                                  [=](benchmark::State &s) {
                                      keystroke(s, w, TextKind::Minified, Key::Insert, where.fraction, wrap, 8);
                                  })
                    ->Unit(ms)->Iterations(iterationsOf(w, 10));
    for (Widget w : {Widget::Kelpa, Widget::QTextEdit})
        for (const Where &where : kWheres)
            for (Key k : {Key::Insert, Key::Backspace, Key::Enter})
                RegisterBenchmark((std::string("Keystroke/rtf/") + nameOf(w) + "/" + where.name + "/" + nameOf(k)).c_str(),
                                  [=](benchmark::State &s) {
                                      keystroke(s, w, TextKind::Rtf, k, where.fraction, true, 0);
                                  })
                    ->Unit(ms)->Iterations(iterationsOf(w, 20));
}

// Takes --page-mb=, --line-mb= and --rtf-mb= out of the arguments.
void takeSizes(int &argc, char **argv)
{
    int out = 1;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&](const char *prefix, int &into) {
            if (a.rfind(prefix, 0) != 0)
                return false;
            into = std::max(1, std::atoi(a.c_str() + std::strlen(prefix)));
            return true;
        };
        if (!value("--page-mb=", sizes.pageMb) && !value("--line-mb=", sizes.lineMb) &&
            !value("--rtf-mb=", sizes.rtfMb))
            argv[out++] = argv[i];
    }
    argc = out;
}

} // namespace

int main(int argc, char **argv)
{
    kelpa::bench::offscreenUnlessNamed();
    takeSizes(argc, argv);
    QApplication app(argc, argv);
    kelpa::ScriptedPrompter prompter;
    kelpa::ScopedPrompter scoped(prompter);
    registerAll();
    benchmark::Initialize(&argc, argv);
    benchmark::AddCustomContext("page_mb", std::to_string(sizes.pageMb));
    benchmark::AddCustomContext("line_mb", std::to_string(sizes.lineMb));
    benchmark::AddCustomContext("rtf_mb", std::to_string(sizes.rtfMb));
    benchmark::RunSpecifiedBenchmarks();
    release();
    benchmark::Shutdown();
    return 0;
}
