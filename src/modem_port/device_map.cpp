#include "modem_port/device_map.h"

#include <QByteArray>
#include <QtGlobal>

namespace kv {

QString devicePathForPort(std::int16_t number) {
    const QByteArray variable = "TALVO_COM" + QByteArray::number(number);
    if (!qEnvironmentVariableIsEmpty(variable.constData()))
        return qEnvironmentVariable(variable.constData());
#ifdef Q_OS_WIN
    return QStringLiteral("COM%1").arg(number);
#else
    return QStringLiteral("/dev/ttyS%1").arg(number - 1);
#endif
}

} // namespace kv
