#include "modem_port/carrier_state.h"

#include "modem_port/modem_port.h"

namespace kv {

CarrierState carrierState(ModemPort& port) {
    if (!port.portOpen() && !port.deviceVanished()) return CarrierState::Unknown;
    return port.portOpen() && port.cdHolding() ? CarrierState::Detected : CarrierState::NotDetected;
}

} // namespace kv
