#include "support/SteppedRun.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using kelpa::SteppedRun;

namespace {

// Turns the event loop until `done`, at most `ms`.
bool turnUntil(const std::function<bool()> &done, int ms = 5000)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < ms)
        QTest::qWait(1);
    return done();
}

} // namespace

// Steps run from the event loop in slices: other events get their turn between them, and
// `finished` comes once after the last step.
TEST(SteppedRun, StepsInSlicesBetweenOtherEvents)
{
    SteppedRun run;
    int steps = 0, finished = 0, timerTicks = 0, ticksSeenByStep200 = -1;
    QTimer other;
    QObject::connect(&other, &QTimer::timeout, [&] { ++timerTicks; });
    other.start(1);
    run.start(
        [&] {
            // Each step takes about a millisecond.
            QElapsedTimer t;
            t.start();
            while (t.nsecsElapsed() < 1000000) {
            }
            if (++steps == 200)
                ticksSeenByStep200 = timerTicks;
            return steps < 300;
        },
        [&] { ++finished; }, 10);
    EXPECT_EQ(steps, 0); // nothing before the event loop's turn
    ASSERT_TRUE(turnUntil([&] { return finished > 0; }));
    EXPECT_EQ(steps, 300);
    EXPECT_EQ(finished, 1);
    EXPECT_GE(ticksSeenByStep200, 5); // the timer ran between slices
    EXPECT_FALSE(run.running());
}

// A step that turns the event loop itself (as a message box does) is not run into again, and a
// run stopped from inside a step ends there without `finished`.
TEST(SteppedRun, NoReentryAndStopFromInsideAStep)
{
    SteppedRun run;
    int depth = 0, deepest = 0, steps = 0;
    bool finished = false;
    run.start(
        [&] {
            ++depth;
            deepest = std::max(deepest, depth);
            if (++steps == 3) {
                QEventLoop nested;
                QTimer::singleShot(50, &nested, &QEventLoop::quit);
                nested.exec();
            }
            if (steps == 5)
                run.stop();
            --depth;
            return true;
        },
        [&] { finished = true; });
    ASSERT_TRUE(turnUntil([&] { return !run.running(); }));
    QTest::qWait(20);
    EXPECT_EQ(deepest, 1);
    EXPECT_EQ(steps, 5);
    EXPECT_FALSE(finished);
}

TEST(SteppedRun, RunToEndFinishesAtOnce)
{
    SteppedRun run;
    int steps = 0;
    bool finished = false;
    run.start([&] { return ++steps < 50; }, [&] { finished = true; });
    run.runToEnd();
    EXPECT_EQ(steps, 50);
    EXPECT_TRUE(finished);
    EXPECT_FALSE(run.running());
    QTest::qWait(10);
    EXPECT_EQ(steps, 50);
}

// A run started now does its first slice before returning: short work is over at once, long
// work goes on from the event loop, and it still stops between two steps.
TEST(SteppedRun, StartNowRunsTheFirstSliceAtOnce)
{
    const struct {
        const char *name;
        int steps;     // the work's length
        int stopAfter; // 0: not stopped
        int expectedSteps;
        bool expectFinished;
        int sliceMs; // the short work fits its slice however slow the machine; the long never does
    } cases[] = {
        {"short work", 50, 0, 50, true, 5000},
        {"long work", 400, 0, 400, true, 1},
        {"stopped", 400, 250, 250, false, 1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        SteppedRun run;
        int steps = 0;
        bool finished = false;
        run.startNow(
            [&] {
                QElapsedTimer t;
                t.start();
                while (t.nsecsElapsed() < 100000) {
                }
                if (++steps == c.stopAfter)
                    run.stop();
                return steps < c.steps;
            },
            [&] { finished = true; }, c.sliceMs);
        if (c.steps == 50) {
            EXPECT_TRUE(finished) << "done before startNow returned";
            EXPECT_FALSE(run.running());
        } else {
            EXPECT_GT(steps, 0);
            EXPECT_LT(steps, c.steps) << "the rest waits for the event loop";
        }
        ASSERT_TRUE(turnUntil([&] { return !run.running(); }));
        QTest::qWait(20);
        EXPECT_EQ(steps, c.expectedSteps);
        EXPECT_EQ(finished, c.expectFinished);
    }
}

// A run restarted now from inside one of its own steps does not step into the new work there:
// the new work starts at the next turn, and the old work stops.
TEST(SteppedRun, StartNowFromInsideAStepWaitsForTheLoop)
{
    SteppedRun run;
    int oldSteps = 0, newSteps = 0, newStepsWhenStarted = -1;
    bool oldFinished = false, newFinished = false;
    run.startNow(
        [&] {
            if (++oldSteps == 2) {
                run.startNow([&] { return ++newSteps < 5; }, [&] { newFinished = true; });
                newStepsWhenStarted = newSteps;
            }
            return true;
        },
        [&] { oldFinished = true; });
    EXPECT_EQ(oldSteps, 2);
    EXPECT_EQ(newStepsWhenStarted, 0);
    ASSERT_TRUE(turnUntil([&] { return newFinished; }));
    EXPECT_EQ(newSteps, 5);
    EXPECT_EQ(oldSteps, 2);
    EXPECT_FALSE(oldFinished);
}
