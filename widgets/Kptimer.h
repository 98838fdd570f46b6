#pragma once
// The repeat timer of the spin buttons.
#include <functional>
#include <memory>

namespace kelpa::widgets {

// The repeat timer of the buttons. Setting the interval starts the count again, as the class
// library's timer does. Tests install a factory that hands out timers driven by a fake clock.
class TKpTimer {
public:
    virtual ~TKpTimer() = default;
    virtual void SetInterval(int msecs) = 0;
    virtual int Interval() const = 0;
    virtual void SetEnabled(bool enabled) = 0;
    virtual bool Enabled() const = 0;
    std::function<void()> OnTimer;
};
using TKpTimerFactory = std::function<std::unique_ptr<TKpTimer>()>;
// Installs the factory (an empty one restores the real timer); returns the previous one.
TKpTimerFactory SetKpTimerFactory(TKpTimerFactory factory);
std::unique_ptr<TKpTimer> CreateKpTimer();

} // namespace kelpa::widgets
