#include "printmod/preview/TArrowButton.h"

#include <QApplication>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

using kelpa::preview::TArrowButton;
using kelpa::preview::TButtonDirection;

namespace {

struct Painted {
    TArrowButton button;
    QSignalSpy clicks{&button, &TArrowButton::clicked};
    explicit Painted(TButtonDirection d)
    {
        button.SetDirection(d);
        button.grab(); // paints, which makes the triangle
    }
};

} // namespace

TEST(ArrowButton, StartsAsATealUpArrowOf33Pixels)
{
    TArrowButton b;
    EXPECT_EQ(b.size(), QSize(33, 33));
    EXPECT_EQ(b.Direction(), TButtonDirection::arwUP);
    EXPECT_EQ(b.ButtonColor(), QColor(0, 128, 128));
    EXPECT_TRUE(b.ArrowRegion().isEmpty());
}

TEST(ArrowButton, OnlyTheTriangleTakesAPress)
{
    struct Case {
        TButtonDirection direction;
        QPoint inside;  // well inside the triangle
        QPoint outside; // inside the square, outside the triangle
    } cases[] = {
        {TButtonDirection::arwUP, {16, 22}, {4, 4}},
        {TButtonDirection::arwDOWN, {16, 10}, {4, 28}},
        {TButtonDirection::arwLEFT, {22, 16}, {4, 4}},
        {TButtonDirection::arwRIGHT, {10, 16}, {28, 4}},
    };
    for (const Case &c : cases) {
        Painted p(c.direction);
        QTest::mouseClick(&p.button, Qt::LeftButton, {}, c.outside);
        EXPECT_EQ(p.clicks.count(), 0) << int(c.direction);
        QTest::mouseClick(&p.button, Qt::LeftButton, {}, c.inside);
        EXPECT_EQ(p.clicks.count(), 1) << int(c.direction);
        QTest::mouseClick(&p.button, Qt::RightButton, {}, c.inside);
        EXPECT_EQ(p.clicks.count(), 1) << int(c.direction);
    }
}

TEST(ArrowButton, ReleaseDecidesTheClick)
{
    Painted p(TButtonDirection::arwUP);
    // Released in the square but outside the triangle: still a click.
    QTest::mousePress(&p.button, Qt::LeftButton, {}, {16, 22});
    EXPECT_TRUE(p.button.isPressed());
    QTest::mouseRelease(&p.button, Qt::LeftButton, {}, {2, 2});
    EXPECT_EQ(p.clicks.count(), 1);
    EXPECT_FALSE(p.button.isPressed());
    // Released outside the square: no click, and the button is raised again.
    QTest::mousePress(&p.button, Qt::LeftButton, {}, {16, 22});
    QTest::mouseRelease(&p.button, Qt::LeftButton, {}, {50, 50});
    EXPECT_EQ(p.clicks.count(), 1);
    EXPECT_FALSE(p.button.isPressed());
    // A release without a press does nothing.
    QTest::mouseRelease(&p.button, Qt::LeftButton, {}, {16, 22});
    EXPECT_EQ(p.clicks.count(), 1);
}

TEST(ArrowButton, NoPressBeforeTheFirstPaintOrWhileDisabled)
{
    TArrowButton b;
    QSignalSpy clicks(&b, &TArrowButton::clicked);
    QTest::mouseClick(&b, Qt::LeftButton, {}, {16, 22});
    EXPECT_EQ(clicks.count(), 0);
    b.grab();
    b.setEnabled(false);
    QTest::mouseClick(&b, Qt::LeftButton, {}, {16, 22});
    EXPECT_EQ(clicks.count(), 0);
    b.setEnabled(true);
    QTest::mouseClick(&b, Qt::LeftButton, {}, {16, 22});
    EXPECT_EQ(clicks.count(), 1);
}

TEST(ArrowButton, PressedLooksDifferentAndDirectionRepaints)
{
    Painted p(TButtonDirection::arwUP);
    const QImage raised = p.button.grab().toImage();
    QTest::mousePress(&p.button, Qt::LeftButton, {}, {16, 22});
    const QImage pressed = p.button.grab().toImage();
    EXPECT_NE(raised, pressed);
    QTest::mouseRelease(&p.button, Qt::LeftButton, {}, {16, 22});
    EXPECT_EQ(p.button.grab().toImage(), raised);
    p.button.SetButtonColor(Qt::red);
    EXPECT_NE(p.button.grab().toImage(), raised);
    // A new direction makes a new triangle: the top right corner is inside pointing down.
    EXPECT_FALSE(p.button.ArrowRegion().contains(QPoint(28, 6)));
    p.button.SetDirection(TButtonDirection::arwDOWN);
    p.button.grab();
    EXPECT_TRUE(p.button.ArrowRegion().contains(QPoint(28, 6)));
    EXPECT_FALSE(p.button.ArrowRegion().contains(QPoint(4, 28)));
}

TEST(ArrowButton, SettingTheSameValueDoesNotRepaint)
{
    struct PaintCounter : QObject {
        int paints = 0;
        bool eventFilter(QObject *, QEvent *e) override
        {
            paints += e->type() == QEvent::Paint;
            return false;
        }
    } counter;
    TArrowButton b;
    b.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&b));
    QApplication::processEvents();
    b.installEventFilter(&counter);
    b.SetDirection(TButtonDirection::arwUP);
    b.SetButtonColor(QColor(0, 128, 128));
    QApplication::processEvents();
    EXPECT_EQ(counter.paints, 0);
    b.SetButtonColor(Qt::red);
    QApplication::processEvents();
    EXPECT_GE(counter.paints, 1);
}
