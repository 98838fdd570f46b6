#include "support/SteppedRun.h"

#include <QElapsedTimer>

namespace kelpa {

namespace {

struct InStep {
    bool &flag;
    explicit InStep(bool &f) : flag(f) { flag = true; }
    ~InStep() { flag = false; }
};

} // namespace

SteppedRun::SteppedRun(QObject *parent) : QObject(parent)
{
    timer_.setInterval(0);
    connect(&timer_, &QTimer::timeout, this, &SteppedRun::turn);
}

void SteppedRun::start(Step step, std::function<void()> finished, int sliceMs)
{
    stop();
    ++generation_;
    step_ = std::move(step);
    finished_ = std::move(finished);
    sliceMs_ = sliceMs;
    timer_.start();
}

void SteppedRun::startNow(Step step, std::function<void()> finished, int sliceMs)
{
    start(std::move(step), std::move(finished), sliceMs);
    if (inStep_)
        return;
    const InStep inStep(inStep_);
    runSteps(sliceMs_);
}

void SteppedRun::stop()
{
    ++generation_;
    timer_.stop();
    step_ = {};
    finished_ = {};
}

void SteppedRun::turn()
{
    // A step that waits for the user (a message box turns the event loop) is not run into
    // again: the run goes on once that step is over.
    if (inStep_)
        return;
    const InStep inStep(inStep_);
    runSteps(sliceMs_);
}

void SteppedRun::runToEnd()
{
    runSteps(-1);
}

void SteppedRun::runSteps(int sliceMs)
{
    QElapsedTimer clock;
    clock.start();
    // Kept here: a step may stop the run, or start another, while it runs.
    const Step step = step_;
    const quint64 generation = generation_;
    while (step && generation == generation_) {
        if (!step()) {
            if (generation == generation_)
                finish();
            return;
        }
        if (sliceMs >= 0 && clock.elapsed() >= sliceMs)
            return; // the event loop's turn; the timer brings the next slice
    }
}

void SteppedRun::finish()
{
    ++generation_;
    timer_.stop();
    step_ = {};
    // Taken first: `finished` may start the next run.
    auto finished = std::move(finished_);
    finished_ = {};
    if (finished)
        finished();
}

} // namespace kelpa
