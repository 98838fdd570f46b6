#include "widgets/Kptimer.h"

#include <QObject>
#include <QTimer>
#include <utility>

namespace kelpa::widgets {

namespace {

class QtKpTimer final : public TKpTimer {
public:
    QtKpTimer()
    {
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            if (OnTimer)
                OnTimer();
        });
    }
    void SetInterval(int msecs) override
    {
        timer_.setInterval(msecs);
        if (timer_.isActive())
            timer_.start();
    }
    int Interval() const override { return timer_.interval(); }
    void SetEnabled(bool enabled) override
    {
        if (enabled)
            timer_.start();
        else
            timer_.stop();
    }
    bool Enabled() const override { return timer_.isActive(); }

private:
    QTimer timer_;
};

TKpTimerFactory &timerFactory()
{
    static TKpTimerFactory factory;
    return factory;
}

} // namespace

TKpTimerFactory SetKpTimerFactory(TKpTimerFactory factory)
{
    std::swap(timerFactory(), factory);
    return factory;
}

std::unique_ptr<TKpTimer> CreateKpTimer()
{
    if (timerFactory())
        return timerFactory()();
    return std::make_unique<QtKpTimer>();
}
} // namespace kelpa::widgets
