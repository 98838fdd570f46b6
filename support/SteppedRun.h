#pragma once
// Long work done in steps from the event loop, on the one user-interface thread: each turn of
// the loop runs steps for at most a slice of time and then lets painting and input in, so the
// windows stay drawn and a Cancel is seen between two steps.
//
//   run.start([&] { return layOutOnePage(); }, [&] { showResult(); });
//
// A step returns true while there is more to do; it must not throw. `finished` runs once,
// after the last step, unless the run was stopped.
#include <QObject>
#include <QTimer>
#include <functional>

namespace kelpa {

class SteppedRun : public QObject {
public:
    using Step = std::function<bool()>;
    static constexpr int kSliceMs = 25;

    explicit SteppedRun(QObject *parent = nullptr);
    // Starts stepping at the next turn of the event loop; a run still going is stopped first.
    void start(Step step, std::function<void()> finished, int sliceMs = kSliceMs);
    // As start, but the first slice runs at once: work that fits in one slice is over when this
    // returns, as if done in one go. From inside one of this run's steps it waits for the loop.
    void startNow(Step step, std::function<void()> finished, int sliceMs = kSliceMs);
    bool running() const { return static_cast<bool>(step_); }
    // No more steps; `finished` is not called.
    void stop();
    // The remaining steps at once, without returning to the event loop, then `finished`.
    void runToEnd();

private:
    void turn();
    // Steps until the run ends or, with a slice of 0 ms or more, the slice is used up.
    void runSteps(int sliceMs);
    void finish();
    Step step_;
    std::function<void()> finished_;
    int sliceMs_ = kSliceMs;
    quint64 generation_ = 0;
    bool inStep_ = false;
    QTimer timer_;
};

} // namespace kelpa
