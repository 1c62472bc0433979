#pragma once

namespace kv {

class CaptionLabel;
class ModemPort;

// The "Carrier:" lamp: "Detected" on green, "Not Detected" on yellow while the port is open,
// "<Unknown>" on grey while it is closed. A modem unplugged under the open port reads "Not
// Detected": it certainly has no carrier. The caption is set before the colour.
void UpdateCarrierStatus(ModemPort& port, CaptionLabel& txtModemStatus);

// The lamp's closed-port state, set without looking at the port.
void showCarrierUnknown(CaptionLabel& txtModemStatus);

} // namespace kv
