#include "widgets/Drawutils.h"
#include "widgets/Kpspin.h"

#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QInputMethodEvent>
#include <QPushButton>
#include <QSignalSpy>
#include <QStyle>
#include <QTest>
#include <QVBoxLayout>
#include <algorithm>
#include <gtest/gtest.h>
#include <map>
#include <stdexcept>
#include <vector>

using namespace kelpa::widgets;

namespace {

// Timers that run on a clock the test moves forward.
class FakeClock {
public:
    class Timer : public TKpTimer {
    public:
        explicit Timer(FakeClock *clock) : clock_(clock) { clock_->timers_.push_back(this); }
        ~Timer() override { std::erase(clock_->timers_, this); }
        void SetInterval(int msecs) override
        {
            interval_ = msecs;
            due_ = clock_->now_ + msecs;
        }
        int Interval() const override { return interval_; }
        void SetEnabled(bool enabled) override
        {
            enabled_ = enabled;
            if (enabled)
                due_ = clock_->now_ + interval_;
        }
        bool Enabled() const override { return enabled_; }

    private:
        friend class FakeClock;
        FakeClock *clock_;
        int interval_ = 1000;
        bool enabled_ = false;
        long long due_ = 0;
    };

    FakeClock()
    {
        previous_ = SetKpTimerFactory([this] { return std::make_unique<Timer>(this); });
    }
    ~FakeClock() { SetKpTimerFactory(previous_); }
    FakeClock(const FakeClock &) = delete;
    FakeClock &operator=(const FakeClock &) = delete;

    void advance(int msecs)
    {
        const long long target = now_ + msecs;
        for (;;) {
            Timer *next = nullptr;
            for (Timer *t : timers_)
                if (t->enabled_ && t->interval_ > 0 && t->due_ <= target &&
                    (!next || t->due_ < next->due_))
                    next = t;
            if (!next)
                break;
            now_ = next->due_;
            next->due_ = now_ + next->interval_;
            if (next->OnTimer)
                next->OnTimer();
        }
        now_ = target;
    }

private:
    long long now_ = 0;
    std::vector<Timer *> timers_;
    TKpTimerFactory previous_;
};

struct BeepCounter {
    int beeps = 0;
    std::function<void()> previous;
    BeepCounter() { previous = SetBeepHandler([this] { ++beeps; }); }
    ~BeepCounter() { SetBeepHandler(previous); }
};

// The editor's font-size field.
void makeFontSizeField(TKpSpinEdit &e)
{
    e.setLocale(QLocale::c());
    e.SetMinValue(4);
    e.SetMaxValue(200);
    e.SetValue(8);
    e.resize(41, 21);
}

struct Counts {
    int change = 0, top = 0, bottom = 0;
};

void count(TKpSpinEdit &e, Counts &c)
{
    e.OnChange = [&c](QObject *) { ++c.change; };
    e.OnTopClick = [&c](QObject *) { ++c.top; };
    e.OnBottomClick = [&c](QObject *) { ++c.bottom; };
}

void sendFocus(QWidget *w, QEvent::Type type, Qt::FocusReason reason)
{
    QFocusEvent e(type, reason);
    QCoreApplication::sendEvent(w, &e);
}

} // namespace

TEST(KpSpinEdit, ValueParsing)
{
    TKpSpinEdit e;
    makeFontSizeField(e);
    struct Case {
        TValueType type;
        long double min;
        const char *text;
        long double value;
    };
    for (const Case &c : {
             Case{vtInt, 4, "", 4}, Case{vtInt, 4, "abc", 4}, Case{vtInt, 4, "500", 500},
             Case{vtInt, 4, "07", 7}, Case{vtInt, 4, "-3", -3}, Case{vtInt, 4, " 12", 12},
             Case{vtInt, 4, "12 ", 4}, Case{vtInt, 4, "1.5", 4}, Case{vtInt, 2.7L, "x", 2},
             Case{vtInt, -2.7L, "x", -2}, Case{vtInt, 4, "99999999999", 4},
             Case{vtHex, 4, "1f", 31}, Case{vtHex, 4, "FF", 255}, Case{vtHex, 4, "g", 4},
             Case{vtHex, 4.9L, "", 4},
             Case{vtFloat, 4, "8.5", 8.5L}, Case{vtFloat, 4, " -1e2 ", -100},
             Case{vtFloat, 4, ".5", 0.5L}, Case{vtFloat, 4, "1,5", 4},
             Case{vtFloat, 2.5L, "", 2.5L}, Case{vtFloat, 4, "1e", 4}, Case{vtFloat, 4, "inf", 4},
             Case{vtFloat, 4, "1e999999", 4},
         }) {
        e.SetValueType(c.type);
        e.SetMinValue(c.min);
        e.setText(QString::fromLatin1(c.text));
        EXPECT_EQ(e.GetValue(), c.value) << c.type << " '" << c.text << "'";
    }

    // The locale decides the decimal separator.
    e.setLocale(QLocale(QLocale::German));
    e.setText(QStringLiteral("1,5"));
    EXPECT_EQ(e.GetValue(), 1.5L);
    e.setText(QStringLiteral("1.5"));
    EXPECT_EQ(e.GetValue(), 4.0L);
}

TEST(KpSpinEdit, Formatting)
{
    struct Case {
        TValueType type;
        long double min, max;
        std::uint8_t decimal;
        long double value;
        const char *text;
    };
    for (const Case &c : {
             Case{vtInt, 4, 200, 2, 8, "8"}, Case{vtInt, 4, 200, 2, 500, "200"},
             Case{vtInt, 4, 200, 2, 1, "4"}, Case{vtInt, 0, 0, 2, 500, "500"},
             Case{vtInt, 0, 0, 2, -7, "-7"}, Case{vtInt, 0, 0, 2, 8.5L, "8"},
             Case{vtInt, 0, 0, 2, 9.5L, "10"}, Case{vtInt, 0, 0, 2, -2.5L, "-2"},
             Case{vtHex, 0, 0, 2, 31, "1F"}, Case{vtHex, 0, 0, 2, 0, "0"},
             Case{vtHex, 0, 0, 2, -1, "FFFFFFFF"}, Case{vtFloat, 0, 0, 2, 8, "8.00"},
             Case{vtFloat, 0, 0, 0, 8.4L, "8"}, Case{vtFloat, 0, 0, 3, 1.23456L, "1.235"},
             Case{vtFloat, 1, 2, 2, 3, "2.00"},
         }) {
        TKpSpinEdit e;
        e.setLocale(QLocale::c());
        e.SetValueType(c.type);
        e.SetDecimal(c.decimal);
        e.SetMinValue(c.min);
        e.SetMaxValue(c.max);
        e.SetValue(c.value);
        EXPECT_EQ(e.text().toStdString(), c.text) << c.type << " " << static_cast<double>(c.value);
    }
    TKpSpinEdit g;
    g.setLocale(QLocale(QLocale::German));
    g.SetValueType(vtFloat);
    g.SetValue(8);
    EXPECT_EQ(g.text(), QStringLiteral("8,00"));
    // Hex text reads back as written.
    TKpSpinEdit h;
    h.SetValueType(vtHex);
    h.SetValue(-1);
    EXPECT_EQ(h.GetValue(), -1.0L);

    TKpSpinEdit f;
    f.setLocale(QLocale::c());
    f.SetValueType(vtFloat);
    f.setText(QStringLiteral("2.5"));
    f.SetDecimal(1);
    EXPECT_EQ(f.text(), QStringLiteral("2.5"));
    f.SetValueType(vtInt);   // re-read as an integer: "2.5" does not parse, so the minimum
    EXPECT_EQ(f.text(), QStringLiteral("0"));
    EXPECT_EQ(f.GetAsInteger(), 0);
    f.SetAsInteger(-9);
    EXPECT_EQ(f.text(), QStringLiteral("-9"));
}

TEST(KpSpinEdit, ClampingOnlyOnLeavingTheField)
{
    struct Case {
        const char *typed;
        Qt::FocusReason reason;
        const char *after;
    };
    for (const Case &c : {Case{"500", Qt::TabFocusReason, "200"}, Case{"07", Qt::TabFocusReason, "07"},
                          Case{"1", Qt::MouseFocusReason, "4"}, Case{"", Qt::TabFocusReason, ""},
                          Case{"abc", Qt::TabFocusReason, "abc"},
                          Case{"500", Qt::PopupFocusReason, "500"},
                          Case{"500", Qt::ActiveWindowFocusReason, "500"}}) {
        TKpSpinEdit e;
        makeFontSizeField(e);
        e.setText(QString::fromLatin1(c.typed));
        EXPECT_EQ(e.text().toStdString(), c.typed);   // no clamping while typing
        sendFocus(&e, QEvent::FocusOut, c.reason);
        EXPECT_EQ(e.text().toStdString(), c.after) << c.typed << " reason " << c.reason;
    }

    // Entering selects all, except when the mouse put the focus there.
    TKpSpinEdit e;
    makeFontSizeField(e);
    e.deselect();
    sendFocus(&e, QEvent::FocusIn, Qt::MouseFocusReason);
    EXPECT_FALSE(e.hasSelectedText());
    sendFocus(&e, QEvent::FocusIn, Qt::OtherFocusReason);
    EXPECT_EQ(e.selectedText(), QStringLiteral("8"));
    e.deselect();
    e.SetAutoSelect(false);
    sendFocus(&e, QEvent::FocusIn, Qt::OtherFocusReason);
    EXPECT_FALSE(e.hasSelectedText());
}

TEST(KpSpinEdit, Steps)
{
    struct Case {
        const char *start;
        bool up;
        const char *after;
        int changes;
    };
    for (const Case &c : {Case{"8", true, "9", 1}, Case{"8", false, "7", 1},
                          Case{"200", true, "200", 0}, Case{"4", false, "4", 0},
                          Case{"500", true, "200", 1}, Case{"abc", true, "5", 1},
                          Case{"07", true, "8", 1}}) {
        TKpSpinEdit e;
        makeFontSizeField(e);
        e.setText(QString::fromLatin1(c.start));
        e.setModified(false);
        Counts n;
        count(e, n);
        if (c.up)
            e.UpClick(&e);
        else
            e.DownClick(&e);
        EXPECT_EQ(e.text().toStdString(), c.after) << c.start;
        EXPECT_EQ(n.change, c.changes) << c.start;
        EXPECT_EQ(e.isModified(), c.changes > 0) << c.start;
        // The click event comes even when the value stays at a limit.
        EXPECT_EQ(n.top, c.up ? 1 : 0) << c.start;
        EXPECT_EQ(n.bottom, c.up ? 0 : 1) << c.start;
    }

    // A read-only field beeps and does nothing else.
    BeepCounter beeps;
    TKpSpinEdit e;
    makeFontSizeField(e);
    e.setReadOnly(true);
    Counts n;
    count(e, n);
    e.UpClick(&e);
    e.DownClick(&e);
    EXPECT_EQ(e.text(), QStringLiteral("8"));
    EXPECT_EQ(beeps.beeps, 2);
    EXPECT_EQ(n.change + n.top + n.bottom, 0);

    // A text change of the user's fires OnChange; an empty field then reads as the minimum.
    TKpSpinEdit d;
    makeFontSizeField(d);
    Counts m;
    count(d, m);
    long double seen = 0;
    d.OnChange = [&](QObject *) {
        ++m.change;
        seen = d.GetValue();
    };
    d.clear();
    EXPECT_EQ(m.change, 1);
    EXPECT_EQ(seen, 4.0L);
}

TEST(KpSpinEdit, IncrementFollowsTheValueType)
{
    struct Case {
        TValueType from, to;
        long double increment, after;
    };
    for (const Case &c : {Case{vtFloat, vtInt, 0.4L, 1.0L}, Case{vtFloat, vtInt, 2.6L, 3.0L},
                          Case{vtFloat, vtHex, 2.5L, 2.0L}, Case{vtInt, vtFloat, 0.4L, 0.4L},
                          Case{vtInt, vtInt, 0.4L, 0.4L}}) {
        TKpSpinEdit e;
        e.SetValueType(c.from);
        e.SetIncrement(c.increment);
        e.SetValueType(c.to);
        EXPECT_EQ(e.Increment(), c.after) << c.from << "->" << c.to;
    }
    TKpSpinEdit f;
    f.setLocale(QLocale::c());
    f.SetValueType(vtFloat);
    f.SetIncrement(0.25L);
    f.SetValue(1);
    f.UpClick(&f);
    EXPECT_EQ(f.text(), QStringLiteral("1.25"));
}

TEST(KpSpinEdit, StoredDefaults)
{
    TKpSpinEdit e;
    EXPECT_EQ(e.text(), QStringLiteral("0"));
    EXPECT_FALSE(e.IsIncrementStored());
    EXPECT_FALSE(e.IsMaxStored());
    EXPECT_FALSE(e.IsMinStored());
    EXPECT_FALSE(e.IsValueStored());
    EXPECT_EQ(e.Decimal(), 2);
    EXPECT_TRUE(e.EditorEnabled());
    EXPECT_TRUE(e.ArrowKeys());
    EXPECT_EQ(e.GetButtonKind(), bkDiagonal);
    EXPECT_EQ(e.ValueType(), vtInt);
    EXPECT_EQ(e.Alignment(), taLeftJustify);
    makeFontSizeField(e);
    EXPECT_TRUE(e.IsMaxStored());
    EXPECT_TRUE(e.IsMinStored());
    EXPECT_TRUE(e.IsValueStored());
    e.SetIncrement(2);
    EXPECT_TRUE(e.IsIncrementStored());
    e.SetAlignment(taRightJustify);
    EXPECT_TRUE(e.alignment() & Qt::AlignRight);
}

TEST(KpSpinEdit, CharacterFilter)
{
    struct Case {
        TValueType type;
        bool editorEnabled;
        const char *text;
        char key;
        bool valid;
    };
    for (const Case &c : {
             Case{vtInt, true, "", '5', true}, Case{vtInt, true, "", '+', true},
             Case{vtInt, true, "-", '-', true}, Case{vtInt, true, "", 'a', false},
             Case{vtInt, true, "", '.', false}, Case{vtInt, true, "", ' ', false},
             Case{vtInt, true, "", 'e', false}, Case{vtInt, true, "", '\b', true},
             Case{vtInt, true, "", '\x01', true}, Case{vtHex, true, "", 'f', true},
             Case{vtHex, true, "", 'F', true}, Case{vtHex, true, "", 'g', false},
             Case{vtFloat, true, "1", '.', true}, Case{vtFloat, true, "1.5", '.', false},
             Case{vtFloat, true, "1", 'e', true}, Case{vtFloat, true, "1", 'E', true},
             Case{vtFloat, true, "1e5", 'E', false}, Case{vtFloat, true, "1E5", 'e', false},
             Case{vtFloat, true, "", 'a', false}, Case{vtInt, false, "", '5', false},
             Case{vtInt, false, "", '\b', false}, Case{vtInt, false, "", '\r', true},
             Case{vtInt, false, "", '\x1b', true}, Case{vtInt, false, "", 'a', false},
         }) {
        TKpSpinEdit e;
        e.setLocale(QLocale::c());
        e.SetValueType(c.type);
        e.SetEditorEnabled(c.editorEnabled);
        e.setText(QString::fromLatin1(c.text));
        EXPECT_EQ(e.IsValidChar(QLatin1Char(c.key)), c.valid)
            << c.type << " editor " << c.editorEnabled << " '" << c.text << "' + " << int(c.key);
    }

    // Typed through the keyboard: rejected keys beep and leave the text alone.
    BeepCounter beeps;
    TKpSpinEdit e;
    makeFontSizeField(e);
    e.clear();
    QTest::keyClicks(&e, QStringLiteral("1x2-"));
    EXPECT_EQ(e.text(), QStringLiteral("12-"));
    EXPECT_EQ(beeps.beeps, 1);
    e.SetEditorEnabled(false);
    QTest::keyClick(&e, Qt::Key_Backspace);
    QTest::keyClick(&e, Qt::Key_3);
    QTest::keyClick(&e, Qt::Key_Home);
    QTest::keyClick(&e, Qt::Key_Delete);
    EXPECT_EQ(e.text(), QStringLiteral("12-"));
    EXPECT_EQ(beeps.beeps, 4);
    e.SetEditorEnabled(true);
    QTest::keyClick(&e, Qt::Key_Delete);
    EXPECT_EQ(e.text(), QStringLiteral("2-"));

    // Composed input goes through the same filter.
    QInputMethodEvent letter(QString(), {});
    letter.setCommitString(QStringLiteral("\u00e9"));
    QCoreApplication::sendEvent(&e, &letter);
    EXPECT_EQ(e.text(), QStringLiteral("2-"));
    EXPECT_EQ(beeps.beeps, 5);
    QInputMethodEvent digit(QString(), {});
    digit.setCommitString(QStringLiteral("7"));
    QCoreApplication::sendEvent(&e, &digit);
    EXPECT_EQ(e.text(), QStringLiteral("72-"));
}

TEST(KpSpinEdit, ArrowKeys)
{
    TKpSpinEdit e;
    makeFontSizeField(e);
    Counts n;
    count(e, n);
    QTest::keyClick(&e, Qt::Key_Up);
    QTest::keyClick(&e, Qt::Key_Up);
    QTest::keyClick(&e, Qt::Key_Down);
    EXPECT_EQ(e.text(), QStringLiteral("9"));
    EXPECT_EQ(n.top, 2);
    EXPECT_EQ(n.bottom, 1);
    e.SetArrowKeys(false);
    QTest::keyClick(&e, Qt::Key_Up);
    EXPECT_EQ(e.text(), QStringLiteral("9"));
}

TEST(KpSpinEdit, EnterAndEscapeGoToTheForm)
{
    QDialog form;
    auto *layout = new QVBoxLayout(&form);
    auto *e = new TKpSpinEdit(&form);
    makeFontSizeField(*e);
    auto *ok = new QPushButton(QStringLiteral("OK"), &form);
    ok->setDefault(true);
    layout->addWidget(e);
    layout->addWidget(ok);
    QSignalSpy clicked(ok, &QPushButton::clicked);
    QSignalSpy rejected(&form, &QDialog::rejected);
    form.show();

    QTest::keyClick(e, Qt::Key_Return);
    EXPECT_EQ(clicked.count(), 1);
    EXPECT_EQ(e->text(), QStringLiteral("8"));   // nothing inserted
    QTest::keyClick(e, Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(clicked.count(), 2);
    EXPECT_EQ(rejected.count(), 0);
    QTest::keyClick(e, Qt::Key_Escape);
    EXPECT_EQ(rejected.count(), 1);
}

TEST(KpSpinEdit, PasteAndCutNeedAnEnabledWritableEditor)
{
    struct Case {
        bool editorEnabled, readOnly, allowed;
    };
    for (const Case &c : {Case{true, false, true}, Case{false, false, false},
                          Case{true, true, false}}) {
        TKpSpinEdit e;
        makeFontSizeField(e);
        e.SetEditorEnabled(c.editorEnabled);
        e.setReadOnly(c.readOnly);
        QApplication::clipboard()->setText(QStringLiteral("42"));
        e.setText(QStringLiteral("17"));
        e.selectAll();
        QTest::keyClick(&e, Qt::Key_V, Qt::ControlModifier);
        EXPECT_EQ(e.text(), c.allowed ? QStringLiteral("42") : QStringLiteral("17"))
            << c.editorEnabled << c.readOnly;
        e.selectAll();
        QTest::keyClick(&e, Qt::Key_X, Qt::ControlModifier);
        EXPECT_EQ(e.text(), c.allowed ? QString() : QStringLiteral("17"));
        EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("42"));   // the same text
        e.setText(QStringLiteral("17"));
        e.selectAll();
        e.Paste();
        EXPECT_EQ(e.text(), c.allowed ? QStringLiteral("42") : QStringLiteral("17"));
        e.selectAll();
        e.Cut();
        EXPECT_EQ(e.text().isEmpty(), c.allowed);
    }
}

TEST(KpSpinEdit, GrowsToItsMinimumHeight)
{
    TKpSpinEdit e;
    makeFontSizeField(e);
    e.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&e));
    e.resize(41, 5);
    EXPECT_EQ(e.height(), e.GetMinHeight());
    EXPECT_EQ(e.GetMinHeight(), e.fontMetrics().height() + 5);
    e.resize(41, 30);
    EXPECT_EQ(e.height(), 30);
}

TEST(KpSpinEdit, ButtonLayout)
{
    TKpSpinEdit e;
    makeFontSizeField(e);
    e.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&e));
    ASSERT_NE(e.Button(), nullptr);
    ASSERT_NE(e.ButtonWindow(), nullptr);
    EXPECT_EQ(e.UpDown(), nullptr);
    // The button reaches the right and bottom edges inside the frame, square, one row above.
    const QRect window = e.ButtonWindow()->geometry();
    const QRect button = e.Button()->geometry();
    EXPECT_EQ(button.width(), button.height());
    EXPECT_EQ(button.height(), window.height() + 1);
    EXPECT_EQ(button.top(), -1);
    EXPECT_EQ(window.right(), e.width() - 1 - window.top());
    EXPECT_EQ(window.bottom(), e.height() - 1 - window.top());
    EXPECT_EQ(e.GetButtonWidth(), button.width());
    EXPECT_GE(e.textMargins().right(), 1);

    e.SetButtonKind(bkStandard);
    EXPECT_EQ(e.Button(), nullptr);
    EXPECT_EQ(e.ButtonWindow(), nullptr);
    ASSERT_NE(e.UpDown(), nullptr);
    EXPECT_EQ(e.UpDown()->width(), DefaultButtonWidth());
    EXPECT_LE(DefaultButtonWidth(), 15);
    EXPECT_EQ(e.GetButtonWidth(), DefaultButtonWidth());
    EXPECT_EQ(e.UpDown()->geometry().right(), window.right());
    e.SetButtonKind(bkDiagonal);
    EXPECT_NE(e.Button(), nullptr);
    EXPECT_EQ(e.UpDown(), nullptr);

    e.setEnabled(false);
    EXPECT_FALSE(e.Button()->isEnabled());
}

TEST(KpUpDown, ClicksAndRepeats)
{
    FakeClock clock;
    TKpSpinEdit e;
    makeFontSizeField(e);
    e.SetButtonKind(bkStandard);
    e.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&e));
    TKpUpDown *ud = e.UpDown();
    ASSERT_NE(ud, nullptr);
    const QPoint up(ud->width() / 2, 2), down(ud->width() / 2, ud->height() - 2);
    QTest::mousePress(ud, Qt::LeftButton, {}, up);
    EXPECT_EQ(e.text(), QStringLiteral("9"));
    const int threshold = ud->style()->styleHint(QStyle::SH_SpinBox_ClickAutoRepeatThreshold);
    const int rate = ud->style()->styleHint(QStyle::SH_SpinBox_ClickAutoRepeatRate);
    clock.advance(threshold - 1);
    EXPECT_EQ(e.text(), QStringLiteral("9"));
    clock.advance(1);
    EXPECT_EQ(e.text(), QStringLiteral("10"));
    clock.advance(rate);
    EXPECT_EQ(e.text(), QStringLiteral("11"));
    QTest::mouseRelease(ud, Qt::LeftButton, {}, up);
    clock.advance(10 * rate);
    EXPECT_EQ(e.text(), QStringLiteral("11"));
    QTest::mouseClick(ud, Qt::LeftButton, {}, down);
    EXPECT_EQ(e.text(), QStringLiteral("10"));
    EXPECT_EQ(ud->Position(), 0);

    // The scroll notification: only the thumb-position code, and not re-entered.
    TKpUpDown lone;
    std::vector<TUDBtnType> clicks;
    lone.OnClick = [&](QObject *, TUDBtnType b) {
        clicks.push_back(b);
        lone.ScrollNotification(TKpUpDown::SB_THUMBPOSITION, 1);
    };
    lone.ScrollNotification(TKpUpDown::SB_THUMBPOSITION, 1);
    lone.ScrollNotification(TKpUpDown::SB_THUMBPOSITION, -1);
    lone.ScrollNotification(TKpUpDown::SB_THUMBPOSITION, 0);
    lone.ScrollNotification(5, 1);
    EXPECT_EQ(clicks, (std::vector<TUDBtnType>{btNext, btPrev}));
    EXPECT_EQ(lone.Position(), 0);
    EXPECT_EQ(lone.Min(), -1);
    EXPECT_EQ(lone.Max(), 1);
}

// ---- Diagonal button ---------------------------------------------------------------------------

namespace {

struct ButtonOnField {
    FakeClock clock;
    TKpSpinEdit edit;
    TKpSpinButton *button = nullptr;
    Counts n;
    ButtonOnField()
    {
        makeFontSizeField(edit);
        count(edit, n);
        edit.show();
        button = edit.Button();
    }
    QPoint top() const { return {3, 3}; }
    QPoint bottom() const { return {button->width() - 3, button->height() - 3}; }
};

} // namespace

TEST(KpSpinButton, HalfTest)
{
    TKpSpinButton b;
    b.resize(20, 20);
    struct Case {
        int x, y;
        bool bottom;
    };
    for (const Case &c : {Case{0, 0, false}, Case{19, 19, true}, Case{10, 10, false},
                          Case{10, 11, true}, Case{5, 15, false}, Case{5, 16, true},
                          Case{0, 19, false}, Case{0, 20, false}, Case{19, 2, true},
                          Case{18, 1, false}}) {
        EXPECT_EQ(b.InBottomHalf(c.x, c.y), c.bottom) << c.x << "," << c.y;
        int top = 0, bottom = 0;
        b.OnTopClick = [&](QObject *) { ++top; };
        b.OnBottomClick = [&](QObject *) { ++bottom; };
        QTest::mouseClick(&b, Qt::LeftButton, {}, QPoint(c.x, c.y));
        EXPECT_EQ(bottom, c.bottom ? 1 : 0) << c.x << "," << c.y;
        EXPECT_EQ(top, c.bottom ? 0 : 1) << c.x << "," << c.y;
        EXPECT_EQ(b.Down(), sbNotDown);
    }
    // A wide button splits along its own diagonal.
    b.resize(40, 20);
    EXPECT_FALSE(b.InBottomHalf(20, 10));
    EXPECT_TRUE(b.InBottomHalf(20, 11));
}

TEST(KpSpinButton, RepeatTimingOnAFakeClock)
{
    ButtonOnField f;
    ASSERT_NE(f.button, nullptr);
    QTest::mousePress(f.button, Qt::LeftButton, {}, f.top());
    EXPECT_EQ(f.edit.text(), QStringLiteral("9"));   // the first step comes with the press
    EXPECT_EQ(f.button->Down(), sbTopDown);
    // Once at once, again after 400 ms, then every 100 ms.
    struct Step {
        int advance;
        const char *text;
    };
    for (const Step &s : {Step{399, "9"}, Step{1, "10"}, Step{99, "10"}, Step{1, "11"},
                          Step{100, "12"}, Step{250, "14"}}) {
        f.clock.advance(s.advance);
        EXPECT_EQ(f.edit.text().toStdString(), s.text) << "after " << s.advance;
    }
    EXPECT_EQ(f.n.top, 6);
    EXPECT_EQ(f.n.change, 6);
    EXPECT_EQ(f.n.bottom, 0);

    // Off the button the repeat pauses; back on the same half it goes on.
    QTest::mouseMove(f.button, QPoint(f.button->width() + 5, 3));
    EXPECT_EQ(f.button->Down(), sbNotDown);
    f.clock.advance(500);
    EXPECT_EQ(f.edit.text(), QStringLiteral("14"));
    QTest::mouseMove(f.button, f.top());
    EXPECT_EQ(f.button->Down(), sbTopDown);
    f.clock.advance(100);
    EXPECT_EQ(f.edit.text(), QStringLiteral("15"));
    // The other half does not take over the press.
    QTest::mouseMove(f.button, f.bottom());
    EXPECT_EQ(f.button->Down(), sbNotDown);
    f.clock.advance(300);
    EXPECT_EQ(f.edit.text(), QStringLiteral("15"));

    QTest::mouseRelease(f.button, Qt::LeftButton, {}, f.top());
    EXPECT_EQ(f.button->Down(), sbNotDown);
    f.clock.advance(1000);
    EXPECT_EQ(f.edit.text(), QStringLiteral("15"));

    // A new press on the bottom half steps down the same way.
    QTest::mousePress(f.button, Qt::LeftButton, {}, f.bottom());
    EXPECT_EQ(f.edit.text(), QStringLiteral("14"));
    f.clock.advance(400);
    EXPECT_EQ(f.edit.text(), QStringLiteral("13"));
    QTest::mouseRelease(f.button, Qt::LeftButton, {}, f.bottom());
    EXPECT_EQ(f.n.bottom, 2);
}

TEST(KpSpinButton, PressesStayWithTheButton)
{
    struct PressCounter : QObject {
        int presses = 0;
        bool eventFilter(QObject *, QEvent *e) override
        {
            presses += e->type() == QEvent::MouseButtonPress;
            return false;
        }
    } counter;
    ButtonOnField f;
    f.edit.installEventFilter(&counter);
    f.edit.setText(QStringLiteral("12"));
    f.edit.setCursorPosition(0);
    QTest::mouseClick(f.button, Qt::LeftButton, {}, f.bottom());
    EXPECT_EQ(f.edit.text(), QStringLiteral("11"));
    EXPECT_EQ(counter.presses, 0);
    f.edit.SetButtonKind(bkStandard);
    QTest::mouseClick(f.edit.UpDown(), Qt::LeftButton, {}, QPoint(2, 2));
    EXPECT_EQ(f.edit.text(), QStringLiteral("12"));
    EXPECT_EQ(counter.presses, 0);
}

TEST(KpSpinButton, DragTable)
{
    enum Act { Press, Move, Release };
    struct Event {
        Act act;
        QPoint at;
        TSpinButtonState down;
    };
    const QPoint top(3, 3), bottom(16, 16), out(40, 5), edge(20, 20);
    const std::vector<std::vector<Event>> sequences{
        {{Press, top, sbTopDown}, {Move, out, sbNotDown}, {Move, top, sbTopDown},
         {Release, top, sbNotDown}},
        {{Press, bottom, sbBottomDown}, {Move, top, sbNotDown}, {Move, bottom, sbBottomDown},
         {Move, edge, sbBottomDown}, {Release, edge, sbNotDown}},
        // Released outside: the state stays where the move left it, and the next press starts
        // afresh.
        {{Press, top, sbTopDown}, {Move, out, sbNotDown}, {Release, out, sbNotDown},
         {Press, bottom, sbBottomDown}, {Release, bottom, sbNotDown}},
        {{Press, top, sbTopDown}, {Move, {-1, 3}, sbNotDown}, {Release, top, sbNotDown}},
    };
    for (std::size_t i = 0; i < sequences.size(); ++i) {
        FakeClock clock;
        TKpSpinButton b;
        b.resize(20, 20);
        b.show();
        for (std::size_t k = 0; k < sequences[i].size(); ++k) {
            const Event &e = sequences[i][k];
            if (e.act == Press)
                QTest::mousePress(&b, Qt::LeftButton, {}, e.at);
            else if (e.act == Move)
                QTest::mouseMove(&b, e.at);
            else
                QTest::mouseRelease(&b, Qt::LeftButton, {}, e.at);
            EXPECT_EQ(b.Down(), e.down) << "sequence " << i << " event " << k;
        }
        EXPECT_FALSE(b.Dragging()) << "sequence " << i;
    }
}

TEST(KpSpinButton, AFailingClickStopsTheRepeat)
{
    FakeClock clock;
    TKpSpinButton b;
    b.resize(20, 20);
    b.show();
    int calls = 0;
    b.OnTopClick = [&](QObject *) {
        if (++calls == 2)
            throw std::runtime_error("handler failed");
    };
    QTest::mousePress(&b, Qt::LeftButton, {}, QPoint(3, 3));
    ASSERT_NE(b.RepeatTimer(), nullptr);
    EXPECT_TRUE(b.RepeatTimer()->Enabled());
    EXPECT_THROW(clock.advance(400), std::runtime_error);
    EXPECT_FALSE(b.RepeatTimer()->Enabled());
    clock.advance(1000);
    EXPECT_EQ(calls, 2);
    QTest::mouseRelease(&b, Qt::LeftButton, {}, QPoint(3, 3));
}

namespace {

// The faces as the line list draws them, on a square button of size n: frame, diagonal,
// the bevel lines of each half and the glyphs at their places.
QImage referenceFace(int n, TSpinButtonState state, QPoint upAt, QPoint downAt,
                     const std::map<char, QRgb> &c)
{
    const QRgb face = c.at('f'), frame = c.at('k'), shadow = c.at('d'), light = c.at('w');
    QImage img(n, n, QImage::Format_RGB32);
    img.fill(face);
    auto put = [&](int x, int y, QRgb col) {
        if (x >= 0 && y >= 0 && x < n && y < n)
            img.setPixel(x, y, col);
    };
    // Straight and 45-degree lines, the end point left out.
    auto line = [&](QPoint a, QPoint b, QRgb col) {
        const int dx = (b.x() > a.x()) - (b.x() < a.x()), dy = (b.y() > a.y()) - (b.y() < a.y());
        const int steps = std::max(std::abs(b.x() - a.x()), std::abs(b.y() - a.y()));
        for (int i = 0; i < steps; ++i)
            put(a.x() + i * dx, a.y() + i * dy, col);
    };
    const int W = n, H = n;
    for (int i = 0; i < n; ++i) {
        put(i, 0, frame);
        put(i, H - 1, frame);
        put(0, i, frame);
        put(W - 1, i, frame);
    }
    line({-1, H}, {W, -1}, frame);
    const bool top = state == sbTopDown, bottom = state == sbBottomDown;
    line({1, H - 4}, {1, 1}, top ? shadow : light);
    line({1, 1}, {W - 3, 1}, top ? shadow : light);
    if (!top)
        line({1, H - 3}, {W - 2, 0}, shadow);
    line({2, H - 2}, {W - 2, H - 2}, bottom ? light : shadow);
    line({W - 2, H - 2}, {W - 2, 1}, bottom ? light : shadow);
    line({2, H - 2}, {W - 1, 1}, bottom ? shadow : light);
    auto glyph = [&](QPoint at, const char *const rows[6]) {
        for (int y = 0; y < 6; ++y)
            for (int x = 0; x < 6; ++x)
                put(at.x() + x, at.y() + y, rows[y][x] == '#' ? qRgb(0, 0, 0) : face);
    };
    static const char *const up[6] = {"..##..", ".####.", "######", "..##..", "..##..", "..##.."};
    static const char *const down[6] = {"..##..", "..##..", "..##..", "######", ".####.", "..##.."};
    glyph(upAt, up);
    glyph(downAt, down);
    if (bottom)
        line({3, H - 2}, {W - 1, 2}, shadow);
    return img;
}

QPalette buttonPalette(const std::map<char, QRgb> &c)
{
    QPalette pal;
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        pal.setColor(group, QPalette::Button, QColor(c.at('f')));
        pal.setColor(group, QPalette::Shadow, QColor(c.at('k')));
        pal.setColor(group, QPalette::Dark, QColor(c.at('d')));
        pal.setColor(group, QPalette::Light, QColor(c.at('w')));
        pal.setColor(group, QPalette::Text, QColor(c.at('g')));
    }
    return pal;
}

} // namespace

TEST(KpSpinButton, FacesFollowTheLineList)
{
    const std::map<char, QRgb> colours{{'f', qRgb(200, 200, 190)}, {'k', qRgb(1, 2, 3)},
                                       {'d', qRgb(100, 101, 102)}, {'w', qRgb(250, 251, 252)},
                                       {'g', qRgb(150, 20, 20)}};
    struct Case {
        int size;
        TSpinButtonState state;
        QPoint up, down;
    };
    // Up glyph at nearest(n/4 - 3) + 1 (+ 2 when pressed), down glyph at nearest(3n/4 - 3) - 1;
    // halves go to the even neighbour.
    for (const Case &c : {Case{18, sbNotDown, {3, 3}, {9, 9}}, Case{18, sbTopDown, {4, 4}, {9, 9}},
                          Case{18, sbBottomDown, {3, 3}, {9, 9}},
                          Case{20, sbNotDown, {3, 3}, {11, 11}},
                          Case{20, sbTopDown, {4, 4}, {11, 11}},
                          Case{20, sbBottomDown, {3, 3}, {11, 11}},
                          Case{14, sbNotDown, {1, 1}, {7, 7}}}) {
        TKpSpinButton b;
        b.setPalette(buttonPalette(colours));
        b.resize(c.size, c.size);
        const QImage face = b.Face(c.state);
        const QImage expected = referenceFace(c.size, c.state, c.up, c.down, colours);
        ASSERT_EQ(face.size(), expected.size());
        int wrong = 0;
        for (int y = 0; y < c.size; ++y)
            for (int x = 0; x < c.size; ++x)
                if ((face.pixel(x, y) & 0xFFFFFF) != (expected.pixel(x, y) & 0xFFFFFF)) {
                    ++wrong;
                    ADD_FAILURE() << "size " << c.size << " state " << c.state << " pixel " << x
                                  << "," << y;
                }
        EXPECT_EQ(wrong, 0);

        // What is painted is the prepared face of the pressed part.
        b.SetDown(c.state);
        QImage shot(b.size(), QImage::Format_RGB32);
        b.render(&shot);
        EXPECT_EQ(shot, expected.convertToFormat(QImage::Format_RGB32));
    }
}

TEST(KpSpinButton, FacesArePreparedOnceUntilSomethingChanges)
{
    TKpSpinButton b;
    b.resize(18, 18);
    const qint64 first = b.Face(sbNotDown).cacheKey();
    QImage shot(b.size(), QImage::Format_RGB32);
    b.render(&shot);
    b.render(&shot);
    EXPECT_EQ(b.Face(sbNotDown).cacheKey(), first);

    b.resize(20, 20);
    const qint64 resized = b.Face(sbNotDown).cacheKey();
    EXPECT_NE(resized, first);
    EXPECT_EQ(b.Face(sbNotDown).size(), QSize(20, 20));

    TBitmap dot;
    dot.Image = QImage(2, 2, QImage::Format_RGB32);
    dot.Image.fill(qRgb(0, 0, 0));
    dot.Image.setPixel(0, 1, qRgb(255, 255, 255));
    b.SetUpGlyph(&dot);
    const qint64 glyph = b.Face(sbNotDown).cacheKey();
    EXPECT_NE(glyph, resized);
    EXPECT_EQ(b.UpGlyph().Width(), 2);
    b.SetUpGlyph(nullptr);
    EXPECT_EQ(b.UpGlyph().Image, DefaultUpGlyph().Image);

    // Disabled, the glyphs take the disabled text colour and presses do nothing.
    const qint64 enabled = b.Face(sbNotDown).cacheKey();
    b.setEnabled(false);
    EXPECT_NE(b.Face(sbNotDown).cacheKey(), enabled);
    const QRgb grey = b.palette().color(QPalette::Disabled, QPalette::Text).rgb();
    EXPECT_EQ(b.Face(sbNotDown).pixel(5, 3) & 0xFFFFFF, grey & 0xFFFFFF);   // the up arrow's tip
    int clicks = 0;
    b.OnTopClick = [&](QObject *) { ++clicks; };
    QTest::mouseClick(&b, Qt::LeftButton, {}, QPoint(3, 3));
    EXPECT_EQ(clicks, 0);
    EXPECT_EQ(b.Down(), sbNotDown);
}

TEST(KpSpinButton, FocusControl)
{
    auto *edit = new QLineEdit;
    TKpSpinButton b;
    b.SetFocusControl(edit);
    EXPECT_EQ(b.FocusControl(), edit);
    delete edit;
    EXPECT_EQ(b.FocusControl(), nullptr);
    QTest::mouseClick(&b, Qt::LeftButton, {}, QPoint(3, 3));   // no control left to focus
}
