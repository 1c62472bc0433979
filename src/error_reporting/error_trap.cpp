#include "error_reporting/error_trap.h"

#include "error_reporting/dialog_texts.h"
#include "error_reporting/help_path.h"
#include "error_reporting/message_box.h"
#include "error_reporting/program_end.h"

namespace kv {

namespace {
struct LeaveRoutine {};
struct ProgramEnded {};
} // namespace

namespace traps {
const TrapProfile Dial{"\\PXLHELP.HLP", 5003, " in routine ScanVRM", true, false, texts::PortInUseA,
                       box::Information};
const TrapProfile HangUp{"\\PXLHELP.HLP", 5003, " in routine Timer1", true, true, texts::PortInUseB,
                         box::Information};
const TrapProfile Escape{"\\Help\\KV.HLP", 1, " in routine Timer1", true, true, texts::PortInUseB,
                         box::Information};
const TrapProfile HangUpCommand{
    "\\PXLHELP.HLP",        5003, " in routine Timer1", false, true, texts::PortInUseC,
    box::YesNoInformationNo};
} // namespace traps

void ErrorTrap::guard(const TrapProfile& profile, TrapSite& site,
                      const std::function<void(ErrorTrap&)>& body) {
    ErrorTrap trap(profile, site);
    try {
        body(trap);
    } catch (const LeaveRoutine&) {
    } catch (const ProgramEnded&) {
        site.programEnd.end();
    }
}

void ErrorTrap::leave() {
    throw LeaveRoutine{};
}

void ErrorTrap::stopIfEnded() const {
    if (site_.programEnd.ended()) throw ProgramEnded{};
}

int ErrorTrap::show(const QString& text, int style) const {
    return site_.box.show({text, style, texts::Title, helpPath(site_.appDir, profile_.helpFile),
                           profile_.helpContext});
}

void ErrorTrap::enter(std::int32_t number) {
    switch (number) {
    case err::DeviceNotOpen:
    case err::PortNotOpen:
        return;
    case err::InvalidPort:
        if (!profile_.testsInvalidPort) break;
        show(texts::InvalidPort, box::Information);
        if (profile_.cancelsHangUp) site_.hangUpCancel();
        throw LeaveRoutine{};
    case err::PortInUse:
        show(profile_.portInUseText, profile_.portInUseStyle);
        site_.indicatorReset();
        if (!profile_.cancelsHangUp) return;
        site_.hangUpCancel();
        throw LeaveRoutine{};
    default:
        break;
    }
    if (show(texts::unexpectedError(number, profile_.routinePiece), box::YesNoInformationNo) ==
        box::Yes)
        return;
    throw ProgramEnded{};
}

} // namespace kv
