// The plain page's own layout against Qt's: the same page (one with our layout, one with Qt's
// put back) must place blocks, carets and clicks alike.
#include "richedit/PlainPageLayout.h"
#include "richedit/TRichEdit.h"

#include "common/WaitUntil.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

using namespace kelpa::richedit;

namespace {

struct TextCase {
    const char *name;
    QString text;
};

QString manyLines()
{
    QString s;
    for (int i = 0; i < 150; ++i)
        s += QString(QStringLiteral("line %1 ")).arg(i).repeated(1 + i % 7) + QLatin1Char('\n');
    return s + QStringLiteral("last");
}

const TextCase kTexts[] = {
    {"plain", QStringLiteral("alpha\nbeta gamma\ndelta")},
    {"empty lines", QStringLiteral("\n\nx\n\n")},
    {"tabs", QStringLiteral("a\tb\t\tc\n\tindented\tand more")},
    {"long line", QStringLiteral("lorem ipsum dolor sit amet ").repeated(40)},
    {"Cyrillic", QString::fromUtf8("Съешь же ещё этих мягких французских булок\nда выпей же чаю")},
    {"outside the BMP", QString::fromUtf8("clef \xF0\x9D\x84\x9E and \xF0\x90\x8D\x88 here\n\xF0\x9D\x84\x9E")},
    {"many lines", manyLines()},
};

// Two pages, the same in all but the layout.
struct Pair {
    std::unique_ptr<TRichEdit> ours = std::make_unique<TRichEdit>();
    std::unique_ptr<TRichEdit> qts = std::make_unique<TRichEdit>();

    Pair(const QString &text, bool wrap)
    {
        for (TRichEdit *e : {ours.get(), qts.get()}) {
            e->SetPlainText(true);
            e->SetWordWrap(wrap);
            // Bars shown or not depend on the order sizes become known; the layouts are the
            // point here, on views of one size.
            e->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
            e->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
            e->resize(320, 240);
            e->show();
        }
        qts->document()->setDocumentLayout(nullptr);
        qts->document()->documentLayout();
        for (TRichEdit *e : {ours.get(), qts.get()}) {
            e->LoadFromStream(text.toUtf8());
        }
        settle();
    }
    void both(const std::function<void(TRichEdit &)> &f)
    {
        f(*ours);
        f(*qts);
        settle();
    }
    // Ours learns heights as it lays blocks out: the scroll bars may take a few rounds.
    static void settle()
    {
        for (int i = 0; i < 5; ++i)
            QApplication::processEvents();
    }
};

bool near(const QRectF &a, const QRectF &b)
{
    return std::abs(a.left() - b.left()) <= 1 && std::abs(a.top() - b.top()) <= 1 &&
           std::abs(a.width() - b.width()) <= 1 && std::abs(a.height() - b.height()) <= 1;
}

QString str(const QRectF &r)
{
    return QStringLiteral("(%1,%2 %3x%4)").arg(r.left()).arg(r.top()).arg(r.width()).arg(r.height());
}

void expectSameLayout(Pair &p, const std::string &where)
{
    ASSERT_TRUE(qobject_cast<PlainPageLayout *>(p.ours->document()->documentLayout())) << where;
    ASSERT_FALSE(qobject_cast<PlainPageLayout *>(p.qts->document()->documentLayout())) << where;
    QTextDocument *a = p.ours->document();
    QTextDocument *b = p.qts->document();
    ASSERT_EQ(a->toRawText(), b->toRawText()) << where;
    ASSERT_EQ(a->blockCount(), b->blockCount()) << where;
    // Blocks in order, as painting asks for them.
    for (QTextBlock x = a->begin(), y = b->begin(); x.isValid(); x = x.next(), y = y.next()) {
        const QRectF ra = a->documentLayout()->blockBoundingRect(x);
        const QRectF rb = b->documentLayout()->blockBoundingRect(y);
        EXPECT_TRUE(near(ra, rb)) << where << " block " << x.blockNumber() << " " << str(ra).toStdString()
                                  << " vs " << str(rb).toStdString();
    }
    const QSizeF sa = a->documentLayout()->documentSize();
    const QSizeF sb = b->documentLayout()->documentSize();
    EXPECT_NEAR(sa.height(), sb.height(), 1) << where;
    if (p.ours->WordWrap()) {
        EXPECT_NEAR(sa.width(), sb.width(), 1) << where;
    }
    for (int pos = 0; pos < a->characterCount(); ++pos) {
        QTextCursor ca(a);
        ca.setPosition(pos);
        QTextCursor cb(b);
        cb.setPosition(pos);
        const QRectF ra = p.ours->cursorRect(ca);
        const QRectF rb = p.qts->cursorRect(cb);
        EXPECT_TRUE(near(ra, rb)) << where << " caret at " << pos << " " << str(ra).toStdString() << " vs "
                                  << str(rb).toStdString();
    }
    const qreal height = std::max(sa.height(), sb.height());
    // Off the pixel grid: on a block's very top edge Qt's own layout answers the block before.
    for (qreal y = -2.75; y < height + 6; y += 5.5)
        for (qreal x = -2; x < 330; x += 13) {
            const QPointF at(x, y);
            EXPECT_EQ(a->documentLayout()->hitTest(at, Qt::FuzzyHit), b->documentLayout()->hitTest(at, Qt::FuzzyHit))
                << where << " fuzzy hit at " << x << "," << y;
            EXPECT_EQ(a->documentLayout()->hitTest(at, Qt::ExactHit), b->documentLayout()->hitTest(at, Qt::ExactHit))
                << where << " exact hit at " << x << "," << y;
        }
}

struct Edit {
    const char *name;
    std::function<void(TRichEdit &)> apply;
};

void insertAt(TRichEdit &e, double fraction, const QString &text)
{
    QTextCursor c(e.document());
    c.setPosition(static_cast<int>((e.document()->characterCount() - 1) * fraction));
    c.insertText(text);
}

void removeAt(TRichEdit &e, double fraction, int length)
{
    QTextCursor c(e.document());
    const int end = e.document()->characterCount() - 1;
    const int at = std::min(static_cast<int>(end * fraction), std::max(0, end - length));
    c.setPosition(at);
    c.setPosition(std::min(end, at + length), QTextCursor::KeepAnchor);
    c.removeSelectedText();
}

const Edit kEdits[] = {
    {"typing at the top", [](TRichEdit &e) { insertAt(e, 0, QStringLiteral("typed ")); }},
    {"a new line in the middle", [](TRichEdit &e) { insertAt(e, 0.5, QStringLiteral("one\ntwo")); }},
    {"typing at the end", [](TRichEdit &e) { insertAt(e, 1, QStringLiteral(" tail words to wrap perhaps")); }},
    {"an input method's preedit",
     [](TRichEdit &e) {
         QInputMethodEvent preedit(QStringLiteral("pre\u0301edit"), {});
         QApplication::sendEvent(&e, &preedit);
     }},
    {"its commit",
     [](TRichEdit &e) {
         QInputMethodEvent commit;
         commit.setCommitString(QStringLiteral("committed"));
         QApplication::sendEvent(&e, &commit);
     }},
    {"a line break at the top", [](TRichEdit &e) { insertAt(e, 0, QString(QChar(QChar::LineSeparator))); }},
    {"removing across lines", [](TRichEdit &e) { removeAt(e, 0.3, 12); }},
    {"undo", [](TRichEdit &e) { e.Undo(); }},
    {"undo again", [](TRichEdit &e) { e.Undo(); }},
    {"a narrower page", [](TRichEdit &e) { e.resize(190, 240); }},
    {"a bigger font", [](TRichEdit &e) { e.DefAttributes().SetSize(15); }},
    {"wrap toggled", [](TRichEdit &e) { e.SetWordWrap(!e.WordWrap()); }},
};

TEST(PlainPageLayout, PlacesBlocksCaretsAndHitsAsQtDoes)
{
    for (const TextCase &t : kTexts)
        for (bool wrap : {false, true}) {
            Pair p(t.text, wrap);
            const std::string name = std::string(t.name) + (wrap ? " wrapped" : " unwrapped");
            expectSameLayout(p, name);
            for (const Edit &edit : kEdits) {
                p.both(edit.apply);
                expectSameLayout(p, name + ", after " + edit.name);
            }
        }
}

TEST(PlainPageLayout, PaintsAsQtDoes)
{
    for (const TextCase &t : kTexts)
        for (bool wrap : {false, true}) {
            Pair p(t.text, wrap);
            p.both([](TRichEdit &e) {
                e.SetHideSelection(false);
                const int length = e.TextLength();
                e.SetSelStart(length / 3);
                e.SetSelLength(length / 3);
            });
            const QImage ours = p.ours->grab().toImage();
            const QImage qts = p.qts->grab().toImage();
            EXPECT_TRUE(ours == qts) << t.name << (wrap ? " wrapped" : " unwrapped");
        }
}

TEST(PlainPageLayout, AnswersListenersOfAChangeItHasNotSeenYet)
{
    TRichEdit e;
    e.SetPlainText(true);
    e.resize(300, 200);
    e.show();
    e.LoadFromStream(manyLines().repeated(3).toUtf8());
    QApplication::processEvents();
    QAbstractTextDocumentLayout *layout = e.document()->documentLayout();
    int asked = 0;
    // The document tells its listeners of a change before its layout.
    QObject::connect(e.document(), &QTextDocument::contentsChange, &e, [&] {
        const QSizeF size = layout->documentSize();
        layout->hitTest(QPointF(10, size.height() - 2), Qt::FuzzyHit);
        layout->hitTest(QPointF(10, size.height() / 2), Qt::ExactHit);
        layout->blockBoundingRect(e.document()->lastBlock());
        ++asked;
    });
    const std::function<void()> changes[] = {
        [&] { removeAt(e, 0.2, e.TextLength() / 2); },
        [&] { insertAt(e, 0.5, QStringLiteral("new\nlines\n").repeated(100)); },
        [&] { e.Undo(); },
        [&] { e.SetText(QString()); },
    };
    for (const auto &change : changes) {
        change();
        e.viewport()->repaint();
    }
    EXPECT_GE(asked, 4);
    EXPECT_EQ(layout->hitTest(QPointF(10, 10), Qt::FuzzyHit), 0);
}

TEST(PlainPageLayout, RichPagesKeepQtsLayoutAndPlainPagesGetTheirsBack)
{
    TRichEdit e;
    e.SetPlainText(true);
    EXPECT_TRUE(qobject_cast<PlainPageLayout *>(e.document()->documentLayout()));
    e.SetPlainText(false);
    EXPECT_FALSE(qobject_cast<PlainPageLayout *>(e.document()->documentLayout()));
    e.SetText(QStringLiteral("rich\ntext"));
    e.SetPlainText(true);
    EXPECT_TRUE(qobject_cast<PlainPageLayout *>(e.document()->documentLayout()));
    EXPECT_EQ(e.Text(), QStringLiteral("rich\ntext"));
}

void key(TRichEdit &e, int k, const QString &text = {})
{
    QKeyEvent press(QEvent::KeyPress, k, Qt::NoModifier, text);
    QApplication::sendEvent(&e, &press);
    QKeyEvent release(QEvent::KeyRelease, k, Qt::NoModifier, text);
    QApplication::sendEvent(&e, &release);
}

// The last block the view shows.
int lastVisibleBlock(TRichEdit &e)
{
    const QPointF bottom(0, e.verticalScrollBar()->value() + e.viewport()->height());
    const int position = e.document()->documentLayout()->hitTest(bottom, Qt::FuzzyHit);
    return e.document()->findBlock(position).blockNumber();
}

TEST(PlainPageLayout, EditsAndResizesLayOutOnlyWhatIsShown)
{
    for (bool wrap : {false, true}) {
        TRichEdit e;
        e.SetPlainText(true);
        e.SetWordWrap(wrap);
        e.resize(400, 300);
        e.show();
        QString text;
        for (int i = 0; i < 20000; ++i)
            text += QStringLiteral("line %1 of a page long enough to need many blocks\n").arg(i);
        e.LoadFromStream(text.toUtf8());
        QApplication::processEvents();
        ASSERT_GT(e.document()->blockCount(), 100);
        auto *layout = qobject_cast<PlainPageLayout *>(e.document()->documentLayout());
        ASSERT_TRUE(layout);
        layout->setBackgroundEnabled(false);
        const int visible = lastVisibleBlock(e);
        ASSERT_LT(visible, 10);

        struct Step {
            std::function<void()> apply;
            bool edits; // an edit lays out at least its own block again
        };
        const Step steps[] = {
            {[&] { key(e, Qt::Key_X, QStringLiteral("x")); }, true},
            {[&] { key(e, Qt::Key_Return, QStringLiteral("\r")); }, true},
            {[&] { key(e, Qt::Key_Backspace); }, true},
            {[&] { e.Undo(); }, true},
            {[&] { e.resize(350, 280); }, false},
        };
        for (const Step &step : steps) {
            layout->resetDemandCount();
            step.apply();
            QApplication::processEvents();
            e.viewport()->repaint();
            EXPECT_LE(layout->lastDemandBlock(), lastVisibleBlock(e) + 1) << (wrap ? "wrapped" : "unwrapped");
            if (step.edits) {
                EXPECT_GT(layout->demandLayouts(), 0);
            }
        }
        // The caret at the end lays out the end, not what lies between.
        layout->resetDemandCount();
        e.SetSelStart(e.TextLength());
        e.ScrollCaret();
        e.viewport()->repaint();
        EXPECT_LE(layout->demandLayouts(), 20);
        EXPECT_EQ(lastVisibleBlock(e), e.document()->blockCount() - 1);
    }
}

TEST(PlainPageLayout, TheBackgroundPassKeepsTheShownTextInPlace)
{
    TRichEdit e;
    e.SetPlainText(true);
    e.SetWordWrap(true);
    e.resize(300, 300);
    e.show();
    QString text;
    for (int i = 0; i < 6000; ++i)
        text += QStringLiteral("%1 ").arg(i) + QStringLiteral("word ").repeated(i % 23) + QLatin1Char('\n');
    e.LoadFromStream(text.toUtf8());
    auto *layout = qobject_cast<PlainPageLayout *>(e.document()->documentLayout());
    ASSERT_TRUE(layout);
    layout->setBackgroundEnabled(false);
    QApplication::processEvents();
    ASSERT_FALSE(layout->backgroundDone());

    e.verticalScrollBar()->setValue(e.verticalScrollBar()->maximum() / 2);
    e.viewport()->repaint();
    QTextCursor shown = e.cursorForPosition(QPoint(5, 5));
    const QRect before = e.cursorRect(shown);
    const qreal estimated = layout->documentSize().height();

    layout->setBackgroundEnabled(true);
    ASSERT_TRUE(kelpa::test::waitUntil([&] { return layout->backgroundDone(); }, 20000));
    QApplication::processEvents();
    ASSERT_NE(layout->documentSize().height(), estimated); // the estimate was off
    EXPECT_EQ(e.cursorRect(shown).top(), before.top());
}

// While the user works with the page, the background pass keeps out of the way: after a paint it
// waits for a pause, then goes on.
TEST(PlainPageLayout, TheBackgroundPassWaitsForAPauseAfterAPaint)
{
    TRichEdit e;
    e.SetPlainText(true);
    e.SetWordWrap(true);
    e.resize(300, 300);
    e.show();
    e.LoadFromStream(manyLines().repeated(400).toUtf8());
    auto *layout = qobject_cast<PlainPageLayout *>(e.document()->documentLayout());
    ASSERT_TRUE(layout);
    QApplication::processEvents();
    ASSERT_FALSE(layout->backgroundDone());
    for (int round = 0; round < 3; ++round) {
        QElapsedTimer clock;
        clock.start();
        e.viewport()->repaint();
        const int before = layout->measuredUpTo();
        QApplication::processEvents();
        QApplication::processEvents();
        if (clock.elapsed() < 15) { // else the pause was over on a slow machine
            EXPECT_EQ(layout->measuredUpTo(), before) << round;
        }
        ASSERT_TRUE(kelpa::test::waitUntil([&] { return layout->measuredUpTo() > before; }, 5000)) << round;
    }
}

} // namespace
