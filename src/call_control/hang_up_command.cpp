#include "call_control/call_control.h"

#include "main_window/form.h"
#include "modem_port/clock.h"
#include "modem_port/modem_port.h"

namespace kv {

void CallControl::Timer2_Timer() {
    ErrorTrap::guard(traps::HangUpCommand, site_, [this](ErrorTrap& g) {
        QString reply;
        g.step([&] { reply.clear(); });                              // 1
        g.step([&] { form_.Timer2->setEnabled(false); });            // 2
        if (g.test([&] { return port_.portOpen(); })) {              // 3
            g.step([&] { port_.output(QStringLiteral("ATH\r")); });  // 4
            g.step([&] { Pause(1000); });                            // 5
            readReply(g, reply);                                     // 6-10
            g.step([&] { UpdateCarrierStatus(); });                  // 11
            g.step([&] { Pause(4000); });                            // 12
            g.step([&] { form_.tmrCheckModem->setEnabled(false); }); // 13
            g.step([&] { UpdateCarrierStatus(); });                  // 14
            g.step([&] { port_.setInBufferCount(0); });              // 15
            g.step([&] { port_.setOutBufferCount(0); });             // 16
            g.step([&] { port_.setDTREnable(false); });              // 17
            g.step([&] { port_.setPortOpen(false); });               // 18
        }
        g.step([&] { setStatus(QStringLiteral("Offline - Ready to dial")); }); // 19
    });
}

} // namespace kv
