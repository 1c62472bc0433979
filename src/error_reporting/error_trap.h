#pragma once

#include "error_reporting/run_time_error.h"

#include <QString>
#include <cstdint>
#include <functional>

namespace kv {

class MsgBox;
class ProgramEnd;

// What one routine's trap says and does; the four routines differ only in these values.
struct TrapProfile {
    QString helpFile; // relative to the application directory
    int helpContext;
    QString routinePiece; // names the routine in the unexpected-error text
    bool testsInvalidPort;
    bool cancelsHangUp; // 8002 and 8005 end in the hang-up cancel and leave the routine
    QString portInUseText;
    int portInUseStyle;
};

namespace traps {
extern const TrapProfile Dial;
extern const TrapProfile HangUp;
extern const TrapProfile Escape;
extern const TrapProfile HangUpCommand;
} // namespace traps

// What the trap touches besides its dialogs.
struct TrapSite {
    MsgBox& box;
    QString appDir;
    ProgramEnd& programEnd;
    std::function<void()> indicatorReset; // the carrier lamp back to "<Unknown>" on grey
    std::function<void()> hangUpCancel;   // Timer1 off, "Hang up attempt cancelled"
};

// The error trap of one run of a guarded routine. Each step of the routine runs through step()
// or test(); an error a step raises is decided here: continue (step() returns, a failed test()
// answers true so the branch it guards runs), leave the routine, or end the program. Once the
// program has ended no step runs, in this routine or in any routine paused beneath it.
class ErrorTrap {
  public:
    static void guard(const TrapProfile& profile, TrapSite& site,
                      const std::function<void(ErrorTrap&)>& body);

    template <class Step> void step(Step&& run) {
        stopIfEnded();
        try {
            run();
        } catch (const RunTimeError& e) {
            enter(e.number());
        }
    }

    template <class Test> bool test(Test&& condition) {
        stopIfEnded();
        try {
            return condition();
        } catch (const RunTimeError& e) {
            enter(e.number());
            return true;
        }
    }

    // Leaves the routine from one of its own steps.
    [[noreturn]] void leave();

  private:
    ErrorTrap(const TrapProfile& profile, TrapSite& site) : profile_(profile), site_(site) {}
    void enter(std::int32_t number);
    void stopIfEnded() const;
    int show(const QString& text, int style) const;

    const TrapProfile& profile_;
    TrapSite& site_;
};

} // namespace kv
