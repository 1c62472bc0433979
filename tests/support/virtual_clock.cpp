#include "virtual_clock.h"

#include <algorithm>

namespace kv::test {

class VirtualClock::VirtualTimer : public Timer {
  public:
    VirtualTimer(VirtualClock& clock, int interval, std::function<void()> onTick)
        : clock_(clock), interval_(interval), onTick_(std::move(onTick)) {
        clock_.timers_.push_back(this);
    }
    ~VirtualTimer() override { std::erase(clock_.timers_, this); }

    void setEnabled(bool on) override {
        if (on && !enabled_ && !clock_.stopped_) arm(clock_.now_);
        if (!on) enabled_ = false;
    }
    bool enabled() const override { return enabled_; }
    int interval() const override { return interval_; }

    // A timer does not tick again while its own tick is still running.
    bool due(qint64& when, quint64& order) const {
        if (!enabled_ || ticking_) return false;
        when = dueAt_;
        order = order_;
        return true;
    }
    void tick() {
        arm(dueAt_);
        ticking_ = true;
        onTick_();
        ticking_ = false;
    }

  private:
    void arm(qint64 from) {
        enabled_ = true;
        dueAt_ = from + interval_;
        order_ = ++clock_.order_;
    }

    VirtualClock& clock_;
    int interval_;
    std::function<void()> onTick_;
    bool enabled_ = false;
    bool ticking_ = false;
    qint64 dueAt_ = 0;
    quint64 order_ = 0;
};

void VirtualClock::pause(int ms) {
    if (ms <= 0 || stopped_) return;
    ++pauses_;
    deepest_ = std::max(deepest_, ++depth_);
    const qint64 end = now_ + ms;
    while (!stopped_ && now_ < end && runNextDue(end, false)) {
    }
    now_ = std::max(now_, end);
    --depth_;
}

std::unique_ptr<Timer> VirtualClock::createTimer(int intervalMs, std::function<void()> onTick) {
    return std::make_unique<VirtualTimer>(*this, intervalMs, std::move(onTick));
}

void VirtualClock::stop() {
    stopped_ = true;
    for (VirtualTimer* timer : timers_)
        timer->setEnabled(false);
    actions_.clear();
}

void VirtualClock::at(qint64 when, std::function<void()> action) {
    if (!stopped_) actions_.push_back({when, ++order_, std::move(action)});
}

void VirtualClock::runUntil(qint64 when) {
    while (!stopped_ && runNextDue(when, true)) {
    }
    now_ = std::max(now_, when);
}

bool VirtualClock::runNextDue(qint64 limit, bool inclusive) {
    VirtualTimer* timer = nullptr;
    auto action = actions_.end();
    qint64 bestWhen = 0;
    quint64 bestOrder = 0;
    auto consider = [&](qint64 when, quint64 order) {
        const bool inTime = inclusive ? when <= limit : when < limit;
        const bool earlier = (!timer && action == actions_.end()) || when < bestWhen ||
                             (when == bestWhen && order < bestOrder);
        if (!inTime || !earlier) return false;
        bestWhen = when;
        bestOrder = order;
        return true;
    };
    for (VirtualTimer* t : timers_) {
        qint64 when;
        quint64 order;
        if (t->due(when, order) && consider(when, order)) {
            timer = t;
            action = actions_.end();
        }
    }
    for (auto a = actions_.begin(); a != actions_.end(); ++a)
        if (consider(a->when, a->order)) {
            timer = nullptr;
            action = a;
        }
    if (!timer && action == actions_.end()) return false;
    now_ = std::max(now_, bestWhen);
    if (timer) {
        timer->tick();
    } else {
        auto run = std::move(action->run);
        actions_.erase(action);
        run();
    }
    return true;
}

} // namespace kv::test
