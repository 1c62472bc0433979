#include "watched_clock.h"

namespace kv::robustness {

namespace {

class WatchedTimer : public Timer {
  public:
    WatchedTimer(Clock& clock, ClockWatcher& watcher, int intervalMs, std::function<void()> onTick)
        : watcher_(watcher), inner_(clock.createTimer(intervalMs, [this, onTick] {
              watcher_.tickBegins(*this);
              onTick();
              watcher_.tickEnds(*this);
          })) {}

    void setEnabled(bool on) override {
        const bool was = inner_->enabled();
        inner_->setEnabled(on);
        if (!was && inner_->enabled()) watcher_.armed(*this);
    }
    bool enabled() const override { return inner_->enabled(); }
    int interval() const override { return inner_->interval(); }

  private:
    ClockWatcher& watcher_;
    std::unique_ptr<Timer> inner_;
};

} // namespace

void WatchedClock::pause(int ms) {
    watcher_.pauseBegins();
    inner_.pause(ms);
    watcher_.pauseEnds();
}

std::unique_ptr<Timer> WatchedClock::createTimer(int intervalMs, std::function<void()> onTick) {
    return std::make_unique<WatchedTimer>(inner_, watcher_, intervalMs, std::move(onTick));
}

} // namespace kv::robustness
