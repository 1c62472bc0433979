#include "modem_port/event_loop_clock.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

namespace kv {

namespace {

class QtTimer : public Timer {
  public:
    QtTimer(int intervalMs, std::function<void()> onTick, std::shared_ptr<bool> stopped)
        : stopped_(std::move(stopped)) {
        timer_.setTimerType(Qt::PreciseTimer);
        timer_.setInterval(intervalMs);
        QObject::connect(&timer_, &QTimer::timeout, [this, onTick = std::move(onTick)] {
            if (!*stopped_) onTick();
        });
    }
    void setEnabled(bool on) override {
        if (on && !timer_.isActive() && !*stopped_) timer_.start();
        if (!on) timer_.stop();
    }
    bool enabled() const override { return timer_.isActive(); }
    int interval() const override { return timer_.interval(); }

  private:
    QTimer timer_;
    std::shared_ptr<bool> stopped_;
};

} // namespace

EventLoopClock::EventLoopClock() : stopped_(std::make_shared<bool>(false)) {}

void EventLoopClock::pause(int ms) {
    if (ms <= 0) return;
    const qint64 wanted = qint64(ms) * 1'000'000;
    QElapsedTimer elapsed;
    elapsed.start();
    while (!*stopped_) {
        const qint64 left = wanted - elapsed.nsecsElapsed();
        if (left <= 0) return;
        QEventLoop loop;
        QTimer wake;
        wake.setTimerType(Qt::PreciseTimer);
        wake.setSingleShot(true);
        QObject::connect(&wake, &QTimer::timeout, &loop, &QEventLoop::quit);
        wake.start(int((left + 999'999) / 1'000'000));
        loop.exec();
    }
}

std::unique_ptr<Timer> EventLoopClock::createTimer(int intervalMs, std::function<void()> onTick) {
    return std::make_unique<QtTimer>(intervalMs, std::move(onTick), stopped_);
}

void EventLoopClock::stop() {
    *stopped_ = true;
}

} // namespace kv
