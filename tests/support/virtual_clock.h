#pragma once

#include "modem_port/clock.h"

#include <QtGlobal>
#include <functional>
#include <vector>

namespace kv::test {

// A clock whose time moves only when something waits. A pause runs every timer tick and every
// scheduled action that falls due inside it, in time order, and then jumps to its end, so a
// 45-second sequence runs in microseconds and a test can click at any virtual instant.
// An event due at the very instant a pause ends comes after that pause.
class VirtualClock : public Clock {
  public:
    qint64 now() const { return now_; }
    void pause(int ms) override;
    std::unique_ptr<Timer> createTimer(int intervalMs, std::function<void()> onTick) override;
    void stop() override;
    bool stopped() const { return stopped_; }

    // Runs `action` as a window event at virtual time `when` (a click, a modem fault...).
    void at(qint64 when, std::function<void()> action);
    // The idle window: runs everything due up to and including `when`.
    void runUntil(qint64 when);
    void runFor(qint64 ms) { runUntil(now_ + ms); }

    int depth() const { return depth_; }      // pauses running now, one inside the other
    int deepest() const { return deepest_; }  // the most there ever were
    qint64 pauses() const { return pauses_; } // pauses begun

  private:
    class VirtualTimer;
    struct Action {
        qint64 when;
        quint64 order;
        std::function<void()> run;
    };

    bool runNextDue(qint64 limit, bool inclusive);

    qint64 now_ = 0;
    quint64 order_ = 0;
    bool stopped_ = false;
    int depth_ = 0;
    int deepest_ = 0;
    qint64 pauses_ = 0;
    std::vector<VirtualTimer*> timers_;
    std::vector<Action> actions_;
};

} // namespace kv::test
