#include "call_control/call_control.h"

#include "main_window/form.h"
#include "modem_port/clock.h"
#include "modem_port/modem_port.h"
#include "modem_port/port_selection.h"

#include <QComboBox>

namespace kv {

void CallControl::Timer1_Timer() {
    ErrorTrap::guard(traps::Escape, site_, [this](ErrorTrap& g) {
        QString reply;
        g.step([&] { reply.clear(); });                   // 1
        g.step([&] { form_.Timer1->setEnabled(false); }); // 2
        if (g.test([&] { return port_.portOpen(); })) {   // 3
            escape(g, reply);                             // A1-A4
        } else {
            g.step([&] { selectPort(port_, form_.Combo1->currentText()); });  // B1
            g.step([&] { port_.setSettings(QStringLiteral("9600,n,8,1")); }); // B2
            if (g.test([&] { return !port_.portOpen(); }))                    // B3
                g.step([&] { port_.setPortOpen(true); });
            g.step([&] { port_.setInputMode(0); }); // B4
            escape(g, reply);                       // B5-B7
        }
        g.step([&] { form_.Timer2->setEnabled(true); }); // 4
    });
}

void CallControl::escape(ErrorTrap& g, QString& reply) {
    g.step([&] { port_.output(QStringLiteral("+++")); });
    g.step([&] { Pause(1000); });
    readReply(g, reply);
}

} // namespace kv
