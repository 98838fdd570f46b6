// Search commands of the editor window on a 10 MB plain page holding 100,000 hits, beside a
// plain QTextDocument::find loop doing the same work:
//   Replace All        the replace dialog's Replace All        vs find + insertText per hit
//   Find Next          F3 from hit to hit through the page     vs find from hit to hit
// Run: QT_QPA_PLATFORM=offscreen build/bench/editor_bench
#include "editor/FindDialogs.h"
#include "editor/SearchCommands.h"
#include "editor/TForm1.h"

#include "richedit/TRichEdit.h"
#include "common/Processes.h"
#include "common/ScriptedPrompter.h"

#include <QApplication>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextCursor>
#include <QTextDocument>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>

using kelpa::richedit::TRichEdit;

namespace {

constexpr int kHits = 100000;
constexpr qsizetype kPageBytes = 10 * 1000 * 1000;

// Lines of filler words with "needle" every hundred characters or so, 10 MB in all.
QString pageText()
{
    const QString filler = QStringLiteral("lorem ipsum dolor sit amet consectetur adipiscing elit sed do eiusmod tem");
    const qsizetype between = kPageBytes / kHits - 7;
    QString text;
    text.reserve(kPageBytes + 100);
    for (int i = 0; i < kHits; ++i) {
        text += QStringLiteral("needle ");
        text += filler.left(std::min<qsizetype>(between - 1, filler.size()));
        text += QString(std::max<qsizetype>(0, between - 1 - filler.size()), QLatin1Char('x'));
        text += QLatin1Char('\n');
    }
    return text;
}

const QString &text()
{
    static const QString t = pageText();
    return t;
}

// One editor window with a plain page, in a program folder of its own.
struct Window {
    QTemporaryDir folder;
    kelpa::ScriptedPrompter prompter;
    std::unique_ptr<kelpa::ScopedPrompter> scoped;
    std::unique_ptr<kelpa::editor::TForm1> form;
    TRichEdit *editor = nullptr;

    Window()
    {
        kelpa::test::setProgramFolder(folder.path() + QLatin1Char('/'));
        QFile ini(folder.path() + QStringLiteral("/Kelpa.ini"));
        if (ini.open(QIODevice::WriteOnly))
            ini.write("Maximized=N\r\n");
        ini.close();
        scoped = std::make_unique<kelpa::ScopedPrompter>(prompter);
        form = std::make_unique<kelpa::editor::TForm1>();
        form->show();
        QApplication::processEvents();
        form->FormActivate();
        form->NewPage(kelpa::editor::NewPageKind::Plain);
        editor = form->currentEditor();
    }
    void load()
    {
        editor->SetText(text());
        editor->SetSelStart(0);
    }
};

std::unique_ptr<Window> theWindow;

Window &window()
{
    if (!theWindow)
        theWindow = std::make_unique<Window>();
    return *theWindow;
}

void BM_ReplaceAll_Editor(benchmark::State &state)
{
    Window &w = window();
    for (auto _ : state) {
        state.PauseTiming();
        w.load();
        w.form->search().Replace1Click();
        w.editor->SetSelStart(0);
        w.form->search().replaceDialog()->SetFindText(QStringLiteral("needle"));
        w.form->search().replaceDialog()->SetReplaceText(QStringLiteral("pin"));
        w.prompter.clear();
        w.prompter.answer(kelpa::MessageAnswer::No); // nothing before the caret
        state.ResumeTiming();
        w.form->search().replaceDialog()->ReplaceAllButton->click();
        state.PauseTiming();
        if (w.editor->TextLength() != text().size() - 3 * kHits)
            state.SkipWithError("not every hit was replaced");
        state.ResumeTiming();
    }
    state.counters["hits"] = kHits;
}

void BM_ReplaceAll_QtFindLoop(benchmark::State &state)
{
    for (auto _ : state) {
        state.PauseTiming();
        QTextDocument document;
        document.setPlainText(text());
        state.ResumeTiming();
        QTextCursor cursor(&document);
        int count = 0;
        for (;;) {
            cursor = document.find(QStringLiteral("needle"), cursor);
            if (cursor.isNull())
                break;
            cursor.insertText(QStringLiteral("pin"));
            ++count;
        }
        if (count != kHits)
            state.SkipWithError("not every hit was replaced");
    }
    state.counters["hits"] = kHits;
}

void BM_FindNext_Editor(benchmark::State &state)
{
    Window &w = window();
    w.load();
    w.form->search().findDialog()->SetFindText(QStringLiteral("needle"));
    for (auto _ : state) {
        w.editor->SetSelStart(0);
        for (int i = 0; i < kHits; ++i)
            w.form->search().Findnext1Click();
        if (w.editor->SelStart() != text().lastIndexOf(QStringLiteral("needle")))
            state.SkipWithError("did not reach the last hit");
    }
    state.counters["hits"] = kHits;
}

void BM_FindNext_QtFindLoop(benchmark::State &state)
{
    QTextDocument document;
    document.setPlainText(text());
    for (auto _ : state) {
        QTextCursor cursor(&document);
        int count = 0;
        for (;;) {
            cursor = document.find(QStringLiteral("needle"), cursor);
            if (cursor.isNull())
                break;
            ++count;
        }
        if (count != kHits)
            state.SkipWithError("did not find every hit");
    }
    state.counters["hits"] = kHits;
}

BENCHMARK(BM_ReplaceAll_Editor)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ReplaceAll_QtFindLoop)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_FindNext_Editor)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_FindNext_QtFindLoop)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    theWindow.reset();
    return 0;
}
