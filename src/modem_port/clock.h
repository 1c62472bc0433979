#pragma once

#include <functional>
#include <memory>

namespace kv {

// A window timer: ticks every interval while enabled; enabling a disabled timer starts a
// full interval, enabling an enabled one changes nothing.
class Timer {
  public:
    virtual ~Timer() = default;
    virtual void setEnabled(bool on) = 0;
    virtual bool enabled() const = 0;
    virtual int interval() const = 0;
};

// Everything that waits goes through here, so tests can run the sequences on a virtual clock.
class Clock {
  public:
    virtual ~Clock() = default;

    // Waits at least `ms` milliseconds while window events (clicks, timer ticks, repaints) run,
    // the handler that called it included. Returns at once for ms <= 0 or once the clock stopped.
    virtual void pause(int ms) = 0;

    // A disabled timer that calls `onTick` on every tick.
    virtual std::unique_ptr<Timer> createTimer(int intervalMs, std::function<void()> onTick) = 0;

    // The program is ending: no timer ticks again and every pause returns at once.
    virtual void stop() = 0;
};

} // namespace kv
