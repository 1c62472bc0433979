#pragma once

#include "modem_port/clock.h"

#include <QtGlobal>
#include <algorithm>
#include <list>

namespace kv::test {

// A clock whose time moves only when something waits: a pause runs every timer tick and every
// scheduled action due inside it, in time order (ties in order of arming), then jumps to its end.
// An event due at the very instant a pause ends comes after that pause.
class VirtualClock : public Clock {
    struct Due {
        qint64 when = 0;
        quint64 order = 0;
        std::function<void()> run;
        int interval = 0; // 0 for an action, run once
        bool armed = true;
    };
    struct VirtualTimer : Timer {
        VirtualTimer(VirtualClock& c, Due& d) : clock(c), due(d) {}
        ~VirtualTimer() override { due.armed = false; }
        void setEnabled(bool on) override {
            if (on && !due.armed) clock.arm(due, clock.now_);
            due.armed = on && !clock.stopped_;
        }
        bool enabled() const override { return due.armed; }
        int interval() const override { return due.interval; }
        VirtualClock& clock;
        Due& due;
    };

  public:
    qint64 now() const { return now_; }
    bool stopped() const { return stopped_; }
    void pause(int ms) override {
        if (ms > 0 && !stopped_) run(now_ + ms, false);
    }
    std::unique_ptr<Timer> createTimer(int ms, std::function<void()> onTick) override {
        return std::make_unique<VirtualTimer>(*this,
                                              dues_.emplace_back(Due{0, 0, onTick, ms, false}));
    }
    void stop() override { stopped_ = true; }
    void at(qint64 when, std::function<void()> action) {
        dues_.push_back({when, ++order_, action});
    }
    void runUntil(qint64 when) { run(when, true); } // the idle window, `when` included

  private:
    void arm(Due& due, qint64 from) {
        due.when = from + due.interval;
        due.order = ++order_;
    }
    void run(qint64 end, bool inclusive) {
        while (!stopped_) {
            auto next = dues_.end();
            for (auto d = dues_.begin(); d != dues_.end(); ++d)
                if (d->armed && d->when < end + inclusive &&
                    (next == dues_.end() ||
                     std::pair(d->when, d->order) < std::pair(next->when, next->order)))
                    next = d;
            if (next == dues_.end()) break;
            now_ = std::max(now_, next->when);
            const auto action = next->run; // taken before an action's entry goes
            if (next->interval == 0)
                dues_.erase(next);
            else
                arm(*next, next->when);
            action();
        }
        now_ = std::max(now_, end);
    }

    qint64 now_ = 0;
    quint64 order_ = 0;
    bool stopped_ = false;
    std::list<Due> dues_; // actions and timers; a timer's entry stays where it is
};

} // namespace kv::test
