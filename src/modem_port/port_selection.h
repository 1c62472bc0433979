#pragma once

#include <QString>
#include <cstdint>

namespace kv {

class ModemPort;

// The port number named by the COM-port box: the run of decimal digits that ends its text, so
// "COM 12" names port 12. Raises 13 when the text does not end in a digit, and 8002 for a number
// beyond any port's.
std::int16_t portNumberFromText(const QString& comboText);

void selectPort(ModemPort& port, const QString& comboText);

} // namespace kv
