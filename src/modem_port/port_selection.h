#pragma once

#include <QString>
#include <cstdint>

namespace kv {

class ModemPort;

// The port number named by the COM-port box: its last character alone, as a decimal digit, so
// "COM 12" names port 2. Raises 13 when that character is not a digit (or the text is empty).
std::int16_t portNumberFromText(const QString& comboText);

void selectPort(ModemPort& port, const QString& comboText);

} // namespace kv
