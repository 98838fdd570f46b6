// A plain page holds a very long line in pieces; nothing a caller sees may tell. Every case runs
// on two pages: one with pieces of a few characters, one that keeps every line whole.
#include "richedit/TRichEdit.h"

#include "common/TempDir.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QMimeData>
#include <QStringList>
#include <QTextBlock>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

using namespace kelpa::richedit;

namespace {

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
    // The piece length given counts for the fill only; later edits use the usual one.
    auto e = std::make_unique<TRichEdit>();
    const int usual = e->PieceLength();
    e->SetPieceLength(pieceLength);
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
    e->SetPieceLength(usual);
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
    {"minified data", "{\"ab\":[1,22,333],\"cdef\":{\"g\":\"h/i+j==\"},\"klmnop\":null}"},
    {"marks and blanks", "abc,defghij klm;nopqrstu vw(x)yz"},
    {"a line with no blank or mark", "abcdefghijklmnopqrstuvwxyz\nab cd ef gh ij"},
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
            if (c[0] != QLatin1String("a line with no blank or mark") || fill == Fill::Paste) {
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
    for (const auto &c : {kCases[0], kCases[1], kCases[4], kCases[6], kCases[8]})
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
    EXPECT_GT(e.document()->blockCount(), line.size() / e.PieceLength() - 2);
    int longest = 0;
    for (QTextBlock b = e.document()->begin(); b.isValid(); b = b.next())
        longest = std::max(longest, b.length());
    EXPECT_LE(longest, e.PieceLength() + 1);
}

namespace {

std::unique_ptr<TRichEdit> shownPage(const QString &text, int pieceLength, bool wrap, int width)
{
    auto e = std::make_unique<TRichEdit>();
    const int usual = e->PieceLength();
    e->SetPieceLength(pieceLength);
    e->SetPlainText(true);
    e->setFont(QFont(QStringLiteral("DejaVu Sans Mono"), 11));
    e->SetWordWrap(wrap);
    e->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    e->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    e->resize(width, 200);
    e->SetHideSelection(false);
    e->show();
    e->LoadFromStream(text.toUtf8());
    e->SetPieceLength(usual);
    QApplication::processEvents();
    return e;
}

} // namespace

// A piece that ends where the line has a punctuation mark shows the mark, as the row would
// show it had the line a real break after it.
TEST(LongLinePieces, APieceShowsTheMarkItEndsIn)
{
    const QString line = QStringLiteral("{\"ab\":[1,22],\"cd\":\"e/f\"}");
    QString rows; // the line as a page without pieces shows it
    {
        auto split = shownPage(line, 5, false, 300);
        ASSERT_GT(split->document()->blockCount(), 3);
        for (QTextBlock b = split->document()->begin(); b.isValid(); b = b.next()) {
            rows += b.text();
            if (b.next().isValid())
                rows += line[b.next().position() - 1] + QStringLiteral("\n");
        }
    }
    for (bool wrap : {false, true}) {
        SCOPED_TRACE(wrap ? "wrapped" : "unwrapped");
        auto split = shownPage(line, 5, wrap, 300);
        auto reference = shownPage(rows, 1 << 20, wrap, 300);
        EXPECT_EQ(split->Text(), line);
        EXPECT_TRUE(split->grab().toImage() == reference->grab().toImage());

        // Selected, the mark is drawn as selected text: where it was drawn in the text's colour,
        // it now is in the selected text's colour.
        QTextCursor end(split->document()->begin());
        end.movePosition(QTextCursor::EndOfBlock);
        const QRect area = split->cursorRect(end).adjusted(0, 0, 12, 0).translated(split->viewport()->pos());
        const QImage plain = split->grab().toImage();
        std::vector<QPoint> glyph;
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x)
                if (plain.pixelColor(x, y) == split->palette().color(QPalette::Active, QPalette::Text))
                    glyph.emplace_back(x, y);
        ASSERT_FALSE(glyph.empty());
        split->SetSelStart(1);
        split->SetSelLength(end.position());
        QApplication::processEvents();
        const QImage selected = split->grab().toImage();
        const QColor selectedText = split->palette().color(QPalette::Active, QPalette::HighlightedText);
        int asSelected = 0;
        for (const QPoint &at : glyph)
            asSelected += selected.pixelColor(at) == selectedText;
        EXPECT_GT(asSelected, static_cast<int>(glyph.size()) / 2);
    }
}

// With word wrap the row a piece ends in leaves room for its mark.
TEST(LongLinePieces, AWrappedPieceLeavesRoomForItsMark)
{
    auto probe = shownPage(QStringLiteral("x"), 1 << 20, true, 200);
    const qreal advance = QFontMetricsF(probe->document()->defaultFont()).horizontalAdvance(QChar(u'x'));
    const qreal available = probe->document()->textWidth() - 2 * probe->document()->documentMargin();
    const int perRow = static_cast<int>(available / advance);
    ASSERT_GT(perRow, 4);
    // A piece exactly one row long, then one a letter short of it.
    for (int letters : {perRow, perRow - 1}) {
        SCOPED_TRACE(letters);
        const QString line = (QString(letters, u'x') + QChar(u',')).repeated(3) + QStringLiteral("end");
        auto e = shownPage(line, letters + 1, true, 200);
        ASSERT_GE(e->document()->blockCount(), 3);
        const QTextBlock first = e->document()->begin();
        QTextLayout *tl = first.layout();
        ASSERT_GT(tl->lineCount(), 0);
        const QTextLine last = tl->lineAt(tl->lineCount() - 1);
        EXPECT_LE(last.naturalTextWidth() + advance, available + 0.01);
        EXPECT_EQ(tl->lineCount(), letters == perRow ? 2 : 1);
        EXPECT_EQ(e->Text(), line);
    }
}

namespace {

// Words with their place in them, so that a line put back wrong shows.
QString numberedLine(int length, char tag)
{
    QString line;
    for (int i = 0; line.size() < length; ++i)
        line += QStringLiteral("%1%2 ").arg(QChar(tag)).arg(i, 4, 10, QChar(u'0'));
    line.truncate(length);
    return line;
}

} // namespace

// A line put in by Insert or Add is a line of its own, however long; the line after it too.
TEST(LongLinePieces, InsertedAndAddedLongLinesStayLines)
{
    constexpr int kAdd = -1, kBeforeLast = -2, kPastEnd = -3;
    struct Where {
        const char *name;
        std::vector<int> at; // line indexes to insert at, one line each, or the above
    };
    const Where wheres[] = {
        {"insert at the start", {0}},
        {"insert at the second line", {1}},
        {"insert at the third line", {2}},
        {"insert before the last line", {kBeforeLast}},
        {"insert past the end", {kPastEnd}},
        {"add", {kAdd}},
        {"two adds", {kAdd, kAdd}},
        {"two inserts at one place", {1, 1}},
    };
    TRichEdit probe;
    const int piece = probe.PieceLength();
    // Many lines are kept several to a paragraph; there the line after a long one starts in
    // its last piece.
    QStringList many{"first", numberedLine(2 * piece + 100, 'z')};
    for (int i = 2; i < 80; ++i)
        many << QStringLiteral("line %1").arg(i);
    const QStringList pages[] = {{"first", "second", "last"}, many};
    kelpa::test::TempDir dir;
    const QString file = QString::fromStdString(dir.file("page.txt"));
    for (const QStringList &lines : pages)
        for (const Where &w : wheres)
            for (int length : {piece - 1, piece, piece + 1, 2 * piece, 2 * piece + 5, 3 * piece, 3 * piece + 1}) {
                SCOPED_TRACE(std::to_string(lines.size()) + " lines, " + w.name + ", length " +
                             std::to_string(length));
                TRichEdit e;
                e.SetPlainText(true);
                e.LoadFromStream(lines.join('\n').toUtf8());
                QStringList expected = lines;
                char tag = 'a';
                for (int at : w.at) {
                    const QString line = numberedLine(length, tag++);
                    if (at == kAdd) {
                        e.Lines().Add(line);
                        expected.append(line);
                        continue;
                    }
                    const int index = at == kBeforeLast ? e.Lines().Count() - 1
                                      : at == kPastEnd  ? e.Lines().Count()
                                                        : at;
                    e.Lines().Insert(index, line);
                    expected.insert(std::min<qsizetype>(index, expected.size()), line);
                }
                e.Lines().Add("after");
                expected.append("after");

                const QString text = expected.join("\r\n") + "\r\n";
                EXPECT_EQ(e.Lines().Count(), expected.size());
                for (int i = 0; i < expected.size(); ++i)
                    EXPECT_EQ(e.Lines()[i], expected[i]) << i;
                EXPECT_EQ(e.Lines().Text(), text);
                EXPECT_EQ(e.SaveToStream(), text.toUtf8());
                ASSERT_TRUE(e.SaveToFile(file));
                TRichEdit reloaded;
                reloaded.SetPlainText(true);
                ASSERT_TRUE(reloaded.LoadFromFile(file));
                EXPECT_EQ(reloaded.Lines().Count(), expected.size());
                EXPECT_EQ(reloaded.Lines().Text(), text);
            }
}
