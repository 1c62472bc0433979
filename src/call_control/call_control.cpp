#include "call_control/call_control.h"

#include "call_control/form.h"
#include "error_reporting/dialog_texts.h"
#include "error_reporting/help_path.h"
#include "error_reporting/message_box.h"
#include "modem_port/carrier_state.h"
#include "modem_port/clock.h"
#include "modem_port/modem_port.h"
#include "modem_port/reply.h"

namespace kv {

CallControl::CallControl(Form& form, ModemPort& port, Clock& clock, MsgBox& box,
                         ProgramEnd& programEnd, const QString& appDir)
    : form_(form), port_(port), clock_(clock), box_(box),
      appDir_(appDir), site_{box, appDir, programEnd,
                             [this] { form_.txtModemStatus.showCarrier(CarrierState::Unknown); },
                             [this] { hangUpCancel(); }} {}

void CallControl::Pause(int ms) {
    clock_.pause(ms);
}

void CallControl::UpdateCarrierStatus() {
    form_.txtModemStatus.showCarrier(carrierState(port_));
}

void CallControl::setStatus(const QString& caption) {
    form_.lblStatus.setCaption(caption);
}

void CallControl::showMissingNumberNotice() {
    box_.show({texts::MissingNumber, box::Information, texts::Title,
               helpPath(appDir_, QStringLiteral("\\Help\\KV.HLP")), 1});
}

void CallControl::hangUpCancel() {
    form_.Timer1.setEnabled(false);
    setStatus(QStringLiteral("Hang up attempt cancelled"));
}

void CallControl::tmrCheckModem_Timer() {
    form_.tmrCheckModem.setEnabled(false);
    try {
        UpdateCarrierStatus();
    } catch (const RunTimeError&) {
        // The port failed under the poll. Nobody is waiting on this tick to report it, so the
        // lamp says it no longer knows and the poll stays off until a sequence restarts it.
        form_.txtModemStatus.showCarrier(CarrierState::Unknown);
        return;
    }
    form_.tmrCheckModem.setEnabled(true);
}

QString CallControl::readReply(ErrorTrap& g, QString& reply) {
    QString text;
    g.step([&] { text = port_.input(); });
    g.step([&] { appendToReply(reply, text); });
    g.step([&] { form_.txtReply.setCaption(reply); });
    return text;
}

void CallControl::readWhileWaiting(ErrorTrap& g, QString& reply) {
    while (g.test([&] { return port_.inBufferCount() != 0; }))
        readReply(g, reply);
}

} // namespace kv
