#pragma once

#include "modem_port/clock.h"

namespace kv::robustness {

// Told of everything that runs through a WatchedClock.
class ClockWatcher {
  public:
    virtual ~ClockWatcher() = default;
    virtual void pauseBegins() = 0;
    virtual void pauseEnds() = 0;
    virtual void tickBegins(const Timer& timer) = 0;
    virtual void tickEnds(const Timer& timer) = 0;
    virtual void armed(const Timer& timer) = 0; // a disabled timer was enabled
};

// Stands between the program and its clock and reports every pause, tick and arming. The
// timers it hands out are the ones the program holds, so a watcher knows them by address.
class WatchedClock : public Clock {
  public:
    WatchedClock(Clock& inner, ClockWatcher& watcher) : inner_(inner), watcher_(watcher) {}

    void pause(int ms) override;
    std::unique_ptr<Timer> createTimer(int intervalMs, std::function<void()> onTick) override;
    void stop() override { inner_.stop(); }

  private:
    Clock& inner_;
    ClockWatcher& watcher_;
};

} // namespace kv::robustness
