#include "modem_port/port_selection.h"

#include "error_reporting/run_time_error.h"
#include "modem_port/modem_port.h"

namespace kv {

std::int16_t portNumberFromText(const QString& comboText) {
    if (comboText.isEmpty()) raise(err::TypeMismatch);
    const QChar last = comboText.back();
    if (last < u'0' || last > u'9') raise(err::TypeMismatch);
    return std::int16_t(last.unicode() - u'0');
}

void selectPort(ModemPort& port, const QString& comboText) {
    port.setCommPort(portNumberFromText(comboText));
}

} // namespace kv
