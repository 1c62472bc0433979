#include "modem_port/port_selection.h"

#include "error_reporting/run_time_error.h"
#include "modem_port/modem_port.h"

#include <limits>

namespace kv {

std::int16_t portNumberFromText(const QString& comboText) {
    qsizetype first = comboText.size();
    while (first > 0 && comboText[first - 1] >= u'0' && comboText[first - 1] <= u'9')
        --first;
    if (first == comboText.size()) raise(err::TypeMismatch);
    int number = 0;
    for (qsizetype i = first; i < comboText.size(); ++i) {
        number = number * 10 + (comboText[i].unicode() - u'0');
        // No port has a number that large.
        if (number > std::numeric_limits<std::int16_t>::max()) raise(err::InvalidPort);
    }
    return std::int16_t(number);
}

void selectPort(ModemPort& port, const QString& comboText) {
    port.setCommPort(portNumberFromText(comboText));
}

} // namespace kv
