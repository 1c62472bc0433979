#include "call_control/call_control.h"

#include "call_control/form.h"
#include "modem_port/clock.h"
#include "modem_port/modem_port.h"
#include "modem_port/port_selection.h"

namespace kv {

void CallControl::Timer1_Timer() {
    ErrorTrap::guard(traps::Escape, site_, [this](ErrorTrap& g) {
        QString reply;
        g.step([&] { reply.clear(); });
        g.step([&] { form_.Timer1.setEnabled(false); }); // one escape per Hang Up

        if (g.test([&] { return port_.portOpen(); })) {
            escape(g, reply);
        } else {
            g.step([&] { selectPort(port_, form_.Combo1.text()); });
            g.step([&] { port_.setSettings(QStringLiteral("9600,n,8,1")); });
            if (g.test([&] { return !port_.portOpen(); })) g.step([&] { port_.setPortOpen(true); });
            g.step([&] { port_.setInputMode(0); });
            escape(g, reply);
        }

        // The port stays open for the hang-up command.
        g.step([&] { form_.Timer2.setEnabled(true); });
    });
}

void CallControl::escape(ErrorTrap& g, QString& reply) {
    g.step([&] { port_.output(QStringLiteral("+++")); });
    g.step([&] { Pause(1000); });
    readReply(g, reply);
}

} // namespace kv
