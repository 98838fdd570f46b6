// A plain page holds a very long line in pieces; nothing a caller sees may tell. Every case runs
// on two pages: one with pieces of a few characters, one that keeps every line whole.
#include "platform/richedit/TRichEdit.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QMimeData>
#include <QTextBlock>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

struct PieceLength {
    explicit PieceLength(int length) : old(TRichEdit::PieceLength()) { TRichEdit::SetPieceLength(length); }
    ~PieceLength() { TRichEdit::SetPieceLength(old); }
    int old;
};

void key(TRichEdit &e, int k, const QString &text = {}, Qt::KeyboardModifiers mods = Qt::NoModifier)
{
    QKeyEvent press(QEvent::KeyPress, k, mods, text);
    QApplication::sendEvent(&e, &press);
    QKeyEvent release(QEvent::KeyRelease, k, mods, text);
    QApplication::sendEvent(&e, &release);
}

enum class Fill { Load, SetText, Paste };

std::unique_ptr<TRichEdit> page(const QString &text, int pieceLength, Fill fill)
{
    PieceLength length(pieceLength);
    auto e = std::make_unique<TRichEdit>();
    e->SetPlainText(true);
    switch (fill) {
    case Fill::Load:
        e->LoadFromStream(text.toUtf8());
        break;
    case Fill::SetText:
        e->SetText(text);
        break;
    case Fill::Paste:
        // Into the middle of a line that is itself long.
        e->SetText(QStringLiteral("head tail end"));
        e->SetSelStart(5);
        QApplication::clipboard()->setText(text);
        e->PasteFromClipboard();
        break;
    }
    return e;
}

// Everything a caller can read, position by position and line by line.
void expectSame(TRichEdit &whole, TRichEdit &split, const char *what)
{
    SCOPED_TRACE(what);
    ASSERT_EQ(split.Text(), whole.Text());
    ASSERT_EQ(split.TextLength(), whole.TextLength());
    ASSERT_EQ(split.Lines().Count(), whole.Lines().Count());
    EXPECT_EQ(split.Lines().Text(), whole.Lines().Text());
    EXPECT_EQ(split.SaveToStream(), whole.SaveToStream());
    EXPECT_EQ(split.PlainStream().encoding, whole.PlainStream().encoding);
    for (int line = 0; line <= whole.Lines().Count(); ++line) {
        ASSERT_EQ(split.Lines()[line], whole.Lines()[line]) << line;
        ASSERT_EQ(split.LineIndex(line), whole.LineIndex(line)) << line;
        ASSERT_EQ(split.LineLength(line), whole.LineLength(line)) << line;
    }
    for (int p = 0; p <= whole.TextLength(); ++p)
        ASSERT_EQ(split.LineFromChar(p), whole.LineFromChar(p)) << p;
}

const QString kCases[][2] = {
    {"one long line", "alpha beta gamma delta epsilon zeta eta theta iota kappa"},
    {"long and short lines", "short\nalpha beta gamma delta epsilon zeta\n\nx\nlambda mu nu xi omicron pi rho"},
    {"CR LF", "ab cd ef gh ij kl\r\nmn op qr st uv\r\nwx"},
    {"Cyrillic", QString::fromUtf8("съешь же ещё этих мягких французских булок да выпей чаю")},
    {"outside the BMP", QString::fromUtf8("a \U0001F600 b \U0001F600\U0001F600 c \U0001F600 d \U0001D11E\U0001D11E e f g h")},
    {"at the limit, one past", "abc def\nabc defg\nabc de"},
    {"tabs", "a\tb\tc\td\te\tf\tg\th\ti j k"},
    {"blanks in a row", "ab        cd          ef  gh"},
    {"a line with no blank", "abcdefghijklmnopqrstuvwxyz\nab cd ef gh ij"},
};

} // namespace

TEST(LongLinePieces, QueriesCopyAndSaveAsOnAWholeLine)
{
    for (const auto &c : kCases)
        for (Fill fill : {Fill::Load, Fill::SetText, Fill::Paste}) {
            SCOPED_TRACE(c[0].toStdString() + " fill " + std::to_string(static_cast<int>(fill)));
            auto whole = page(c[1], 1 << 20, fill);
            auto split = page(c[1], 7, fill);
            expectSame(*whole, *split, "as filled");
            // The case is not vacuous: the long lines are in pieces.
            if (c[0] != QLatin1String("a line with no blank") || fill == Fill::Paste) {
                EXPECT_GT(split->document()->blockCount(), whole->document()->blockCount());
            }
            // Selections and the clipboard.
            const int n = whole->TextLength();
            for (int from = 0; from <= n; from += 3)
                for (int length : {1, 4, 9, n}) {
                    for (TRichEdit *e : {whole.get(), split.get()}) {
                        e->SetSelStart(from);
                        e->SetSelLength(length);
                    }
                    ASSERT_EQ(split->SelStart(), whole->SelStart());
                    ASSERT_EQ(split->SelLength(), whole->SelLength());
                    ASSERT_EQ(split->SelText(), whole->SelText()) << from << "+" << length;
                }
            whole->SelectAll();
            whole->CopyToClipboard();
            const QString copied = QApplication::clipboard()->text();
            split->SelectAll();
            split->CopyToClipboard();
            EXPECT_EQ(QApplication::clipboard()->text(), copied);
        }
}

TEST(LongLinePieces, FindGivesTheSameHitsAlsoAcrossAPieceBreak)
{
    for (const auto &c : kCases) {
        SCOPED_TRACE(c[0].toStdString());
        auto whole = page(c[1], 1 << 20, Fill::Load);
        auto split = page(c[1], 7, Fill::Load);
        const QString text = whole->Text();
        const int n = whole->TextLength();
        for (int p = 0; p < n; ++p)
            for (int length : {2, 3, 6}) {
                const QString needle = text.mid(p, length);
                if (needle.contains(QChar(u'\n')))
                    continue;
                for (TSearchTypes options : {TSearchTypes(), TSearchTypes(TSearchType::MatchCase),
                                             TSearchTypes(TSearchType::WholeWord)})
                    for (int start : {0, p, p + 1})
                        ASSERT_EQ(split->FindText(needle.toUpper(), start, n - start, options),
                                  whole->FindText(needle.toUpper(), start, n - start, options))
                            << "\"" << needle.toStdString() << "\" from " << start << " options "
                            << options.toInt();
            }
    }
}

TEST(LongLinePieces, KeysAndUndoActAsOnAWholeLine)
{
    struct Key {
        const char *name;
        int key;
        QString text;
        Qt::KeyboardModifiers mods = Qt::NoModifier;
    };
    const Key keys[] = {
        {"type", Qt::Key_X, "x"},           {"backspace", Qt::Key_Backspace, ""},
        {"delete", Qt::Key_Delete, ""},     {"enter", Qt::Key_Return, "\r"},
        {"space", Qt::Key_Space, " "},      {"shift+right", Qt::Key_Right, "", Qt::ShiftModifier},
        {"right", Qt::Key_Right, ""},       {"left", Qt::Key_Left, ""},
    };
    for (const auto &c : {kCases[0], kCases[1], kCases[4], kCases[6]})
        for (const Key &k : keys) {
            SCOPED_TRACE(c[0].toStdString() + " / " + k.name);
            auto whole = page(c[1], 1 << 20, Fill::Load);
            auto split = page(c[1], 7, Fill::Load);
            const QString original = whole->Text();
            for (int p = 0; p <= whole->TextLength(); ++p) {
                for (TRichEdit *e : {whole.get(), split.get()}) {
                    e->SetSelStart(p);
                    key(*e, k.key, k.text, k.mods);
                    key(*e, k.key, k.text, k.mods); // twice: across a break and on
                }
                ASSERT_EQ(split->Text(), whole->Text()) << p;
                ASSERT_EQ(split->SelStart(), whole->SelStart()) << p;
                ASSERT_EQ(split->SelLength(), whole->SelLength()) << p;
                ASSERT_EQ(split->Lines().Count(), whole->Lines().Count()) << p;
                ASSERT_EQ(split->LineFromChar(-1), whole->LineFromChar(-1)) << p;
                ASSERT_EQ(split->SaveToStream(), whole->SaveToStream()) << p;
                while (whole->CanUndo())
                    whole->Undo();
                while (split->CanUndo())
                    split->Undo();
                ASSERT_EQ(whole->Text(), original) << p;
                ASSERT_EQ(split->Text(), original) << p;
                ASSERT_EQ(split->SaveToStream(), whole->SaveToStream()) << p;
            }
        }
}

TEST(LongLinePieces, LineEditsAndRichModeKeepTheLine)
{
    const QString text = "first\nalpha beta gamma delta epsilon zeta\nlast";
    auto whole = page(text, 1 << 20, Fill::Load);
    auto split = page(text, 7, Fill::Load);
    for (TRichEdit *e : {whole.get(), split.get()}) {
        e->Lines().Insert(1, "inserted one two three four");
        e->Lines().Delete(2);
        e->Lines().Add("added five six seven eight nine");
    }
    expectSame(*whole, *split, "after line edits");
    // Replacing a selection across a piece break, as Replace All does.
    for (TRichEdit *e : {whole.get(), split.get()}) {
        e->SetSelStart(e->FindText("two three", 0, e->TextLength(), {}));
        e->SetSelLength(9);
        e->SetSelText("2\n3");
    }
    expectSame(*whole, *split, "after a replacement");
    // A rich page has no pieces: the line comes back whole.
    split->SetPlainText(false);
    whole->SetPlainText(false);
    EXPECT_EQ(split->Text(), whole->Text());
    EXPECT_EQ(split->document()->blockCount(), whole->document()->blockCount());
}

TEST(LongLinePieces, AMegabyteLineIsHeldInPiecesOfTheDefaultLength)
{
    QString line;
    while (line.size() < 1 << 20)
        line += QStringLiteral("lorem ipsum dolor sit amet ");
    TRichEdit e;
    e.SetPlainText(true);
    e.LoadFromStream(line.toUtf8());
    EXPECT_EQ(e.Lines().Count(), 1);
    EXPECT_EQ(e.Text(), line);
    EXPECT_GT(e.document()->blockCount(), line.size() / TRichEdit::PieceLength() - 2);
    int longest = 0;
    for (QTextBlock b = e.document()->begin(); b.isValid(); b = b.next())
        longest = std::max(longest, b.length());
    EXPECT_LE(longest, TRichEdit::PieceLength() + 1);
}
