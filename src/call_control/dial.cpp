#include "call_control/call_control.h"

#include "main_window/caption_label.h"
#include "main_window/form.h"
#include "modem_port/clock.h"
#include "modem_port/modem_port.h"
#include "modem_port/port_selection.h"
#include "modem_port/reply.h"

#include <QComboBox>
#include <QLineEdit>

namespace kv {

namespace {
const QString LineSettings = QStringLiteral("9600,n,8,1");
constexpr int WaitTurns = 450; // counted down to -1: 451 turns of 100 ms
} // namespace

void CallControl::buttonConnect_Click() {
    ErrorTrap::guard(traps::Dial, site_, [this](ErrorTrap& g) {
        QString reply;
        int countdown = 0;

        if (g.test([&] { return form_.txtPhoneNum->text().isEmpty(); })) { // 1
            showMissingNumberNotice();
            g.leave();
        }
        if (g.test([&] { return !port_.portOpen(); })) {                     // 2
            g.step([&] { selectPort(port_, form_.Combo1->currentText()); }); // 2a
            g.step([&] { port_.setSettings(LineSettings); });                // 2b
            g.step([&] { port_.setPortOpen(true); });                        // 2c
            g.step([&] { port_.setInputMode(0); });                          // 2d
        }
        g.step([&] { form_.tmrCheckModem->setEnabled(false); });                      // 3
        g.step([&] { UpdateCarrierStatus(); });                                       // 4
        if (g.test([&] { return form_.txtModemStatus->caption() == u"Detected"; })) { // 5
            g.step([&] { port_.setPortOpen(false); });
            g.leave();
        }
        g.step([&] { form_.tmrCheckModem->setEnabled(true); });
        g.step([&] { port_.setInBufferCount(0); }); // 6
        g.step([&] { port_.setOutBufferCount(0); });
        g.step([&] { port_.setDTREnable(true); });                           // 7
        if (g.test([&] { return port_.portOpen(); })) {                      // 8
            g.step([&] { setStatus(QStringLiteral("Configuring modem")); }); // 9
            g.step([&] { port_.output(QStringLiteral("AT&F0\r")); });        // 10
            g.step([&] { setStatus(QStringLiteral("AT&&F0")); });            // 11
            g.step([&] { Pause(1000); });                                    // 12
            g.step([&] { reply.clear(); });                                  // 13
            readWhileWaiting(g, reply);
            g.step([&] { port_.output(QStringLiteral("AT&C1\r")); }); // 14
            g.step([&] { setStatus(QStringLiteral("AT&&C1")); });     // 15
            g.step([&] { reply.clear(); });                           // 16
            g.step([&] { Pause(1000); });
            readWhileWaiting(g, reply);                                               // 17
            g.step([&] { Pause(1000); });                                             // 18
            g.step([&] { setStatus("Dialing " + form_.txtPhoneNum->text()); });       // 19
            g.step([&] { port_.output("ATDT" + form_.txtPhoneNum->text() + "\r"); }); // 20
            g.step([&] { WaitForConnect = true; });                                   // 21
            g.step([&] { ModemConnected = false; });
            g.step([&] { countdown = WaitTurns; });
            while (g.test([&] { return countdown >= 0 && WaitForConnect; })) // 22
                waitTurn(g, countdown, reply);
        }
        if (g.test([&] { return ModemConnected; })) {                            // 23
            g.step([&] { form_.tmrCheckModem->setEnabled(false); });             // 23a
            g.step([&] { Pause(1000); });                                        // 23b
            g.step([&] { UpdateCarrierStatus(); });                              // 23c
            g.step([&] { port_.setPortOpen(false); });                           // 23d
            g.step([&] { setStatus(QStringLiteral("OK to start Ampliview")); }); // 23e
            g.leave();
        }
        g.step([&] { setStatus(QStringLiteral("Did not connect at 9600 bps")); }); // 24a
        g.step([&] { buttonHangUp_Click(); });                                     // 24b
        g.step([&] { port_.setPortOpen(false); });                                 // 24c
    });
}

void CallControl::waitTurn(ErrorTrap& g, int& countdown, QString& reply) {
    g.step([&] { Pause(100); });                     // 22a
    g.step([&] { --countdown; });                    // 22b
    if (g.test([&] { return countdown % 10 == 0; })) // 22c
        g.step([&] {
            setStatus("Waiting to Connect: " + QString::number(countdown / 10) + " seconds");
        });
    g.step([&] { reply.clear(); });                              // 22d
    while (g.test([&] { return port_.inBufferCount() != 0; })) { // 22e
        readReply(g, reply);
        if (g.test([&] { return reply.contains(u"9600"); })) {
            g.step([&] { ModemConnected = true; });
            g.step([&] { setStatus(QStringLiteral("Connected")); });
            g.step([&] { WaitForConnect = false; });
            return;
        }
    }
}

} // namespace kv
