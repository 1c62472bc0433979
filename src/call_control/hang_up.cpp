#include "call_control/call_control.h"

#include "main_window/form.h"
#include "modem_port/clock.h"
#include "modem_port/modem_port.h"

namespace kv {

void CallControl::buttonHangUp_Click() {
    ErrorTrap::guard(traps::HangUp, site_, [this](ErrorTrap& g) {
        if (g.test([&] { return port_.portOpen(); })) // 1
            g.step([&] { port_.setPortOpen(false); });
        g.step([&] { form_.tmrCheckModem->setEnabled(false); }); // 2
        g.step([&] { UpdateCarrierStatus(); });
        g.step([&] { form_.tmrCheckModem->setEnabled(true); });
        g.step([&] { setStatus(QStringLiteral("Hanging up")); }); // 3
        g.step([&] { form_.Timer1->setEnabled(false); });         // 4
        g.step([&] { WaitForConnect = false; });                  // 5
        g.step([&] { form_.Timer1->setEnabled(true); });          // 6
    });
}

} // namespace kv
