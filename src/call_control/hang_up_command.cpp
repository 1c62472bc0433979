#include "call_control/call_control.h"

#include "call_control/form.h"
#include "modem_port/clock.h"
#include "modem_port/modem_port.h"

namespace kv {

void CallControl::Timer2_Timer() {
    ErrorTrap::guard(traps::HangUpCommand, site_, [this](ErrorTrap& g) {
        QString reply;
        g.step([&] { reply.clear(); });
        g.step([&] { form_.Timer2.setEnabled(false); });

        if (g.test([&] { return port_.portOpen(); })) {
            g.step([&] { port_.output(QStringLiteral("ATH\r")); });
            g.step([&] { Pause(1000); });
            readReply(g, reply);
            g.step([&] { UpdateCarrierStatus(); });

            // Give the line time to drop, and show whether it did before the port closes.
            g.step([&] { Pause(4000); });
            g.step([&] { form_.tmrCheckModem.setEnabled(false); });
            g.step([&] { UpdateCarrierStatus(); });

            g.step([&] { port_.setInBufferCount(0); });
            g.step([&] { port_.setOutBufferCount(0); });
            g.step([&] { port_.setDTREnable(false); });
            g.step([&] { port_.setPortOpen(false); });
        }

        g.step([&] { setStatus(QStringLiteral("Offline - Ready to dial")); });
    });
}

} // namespace kv
