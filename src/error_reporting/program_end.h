#pragma once

#include <functional>

namespace kv {

// Ending the program: once ended, no step of any routine runs again, including the routines
// paused beneath the one that ended it. `onEnd` tears the window down, exactly once.
class ProgramEnd {
  public:
    explicit ProgramEnd(std::function<void()> onEnd = {}) : onEnd_(std::move(onEnd)) {}

    bool ended() const { return ended_; }
    void end() {
        if (ended_) return;
        ended_ = true;
        if (onEnd_) onEnd_();
    }
    void setOnEnd(std::function<void()> onEnd) { onEnd_ = std::move(onEnd); }

  private:
    bool ended_ = false;
    std::function<void()> onEnd_;
};

} // namespace kv
