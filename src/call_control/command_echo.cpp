#include "call_control/command_echo.h"

namespace kv {

QString CommandEcho::strip(const QString& text) {
    if (done_) return text;
    QString passed;
    for (QChar c : text) {
        if (done_) {
            passed += c;
            continue;
        }
        held_ += c;
        while (!held_.isEmpty() && !echo_.startsWith(held_)) {
            passed += held_.front();
            held_.remove(0, 1);
        }
        if (held_.size() == echo_.size()) {
            done_ = true;
            held_.clear();
        }
    }
    return passed;
}

} // namespace kv
