#include "main_window/carrier_lamp.h"

#include "main_window/colour_value.h"

namespace kv {

CarrierLamp::CarrierLamp(QWidget* parent) : CaptionLabel(QString(), parent) {
    showCarrier(CarrierState::Unknown);
}

void CarrierLamp::showCarrier(CarrierState state) {
    switch (state) {
    case CarrierState::Detected:
        setCaption(QStringLiteral("Detected"));
        setBackColor(colour::Green);
        break;
    case CarrierState::NotDetected:
        setCaption(QStringLiteral("Not Detected"));
        setBackColor(colour::Yellow);
        break;
    case CarrierState::Unknown:
        setCaption(QStringLiteral("<Unknown>"));
        setBackColor(colour::InactiveBorder);
        break;
    }
}

} // namespace kv
