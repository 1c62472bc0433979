#include "modem_port/carrier_indicator.h"

#include "main_window/caption_label.h"
#include "main_window/colour_value.h"
#include "modem_port/modem_port.h"

namespace kv {

void UpdateCarrierStatus(ModemPort& port, CaptionLabel& txtModemStatus) {
    if (!port.portOpen() && !port.deviceVanished()) {
        showCarrierUnknown(txtModemStatus);
        return;
    }
    if (port.portOpen() && port.cdHolding()) {
        txtModemStatus.setCaption(QStringLiteral("Detected"));
        txtModemStatus.setBackColor(colour::Green);
    } else {
        txtModemStatus.setCaption(QStringLiteral("Not Detected"));
        txtModemStatus.setBackColor(colour::Yellow);
    }
}

void showCarrierUnknown(CaptionLabel& txtModemStatus) {
    txtModemStatus.setCaption(QStringLiteral("<Unknown>"));
    txtModemStatus.setBackColor(colour::InactiveBorder);
}

} // namespace kv
