#pragma once

#include "modem_port/clock.h"

#include <memory>

namespace kv {

// The clock of the running program. A pause runs a nested event loop that a precise single-shot
// timer ends, so the window stays alive while the CPU sleeps; elapsed time comes from a
// monotonic clock, so every pause ends.
class EventLoopClock : public Clock {
  public:
    EventLoopClock();
    void pause(int ms) override;
    std::unique_ptr<Timer> createTimer(int intervalMs, std::function<void()> onTick) override;
    void stop() override;

  private:
    std::shared_ptr<bool> stopped_;
};

} // namespace kv
