#include "call_control/call_control.h"

#include "call_control/form.h"
#include "modem_port/clock.h"
#include "modem_port/modem_port.h"

namespace kv {

void CallControl::buttonHangUp_Click() {
    ++hangUpRuns_; // a dial that is not waiting for its connection gives up when it sees this
    ErrorTrap::guard(traps::HangUp, site_, [this](ErrorTrap& g) {
        if (g.test([&] { return port_.portOpen(); })) g.step([&] { port_.setPortOpen(false); });

        // The lamp shows the closed port at once, and the poll runs from here on.
        g.step([&] { form_.tmrCheckModem.setEnabled(false); });
        g.step([&] { UpdateCarrierStatus(); });
        g.step([&] { form_.tmrCheckModem.setEnabled(true); });

        g.step([&] { setStatus(QStringLiteral("Hanging up")); });
        // Disabling first restarts the interval: the escape comes 2 s after the last Hang Up. A
        // hang-up command still due from an earlier Hang Up waits for this one's escape, or it
        // would find the port closed and say offline with the call up where closing keeps it.
        g.step([&] { form_.Timer1.setEnabled(false); });
        g.step([&] { form_.Timer2.setEnabled(false); });
        g.step([&] { WaitForConnect = false; });
        g.step([&] { form_.Timer1.setEnabled(true); });
    });
}

} // namespace kv
