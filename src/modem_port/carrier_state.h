#pragma once

namespace kv {

class ModemPort;

enum class CarrierState { Detected, NotDetected, Unknown };

// What the port's lines say of a carrier: Unknown while the port is closed, else whether carrier
// detect is up. A modem unplugged under the open port has NotDetected: it surely has no carrier.
CarrierState carrierState(ModemPort& port);

} // namespace kv
