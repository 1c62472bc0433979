#include "modem_port/device_map.h"

#include <QByteArray>
#include <QSettings>
#include <QStandardPaths>
#include <QtGlobal>

namespace kv {

QStringList portMapFiles() {
#ifdef Q_OS_WIN
    return {};
#else
    return {QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                QStringLiteral("/talvo-dialer/ports.conf"),
            QStringLiteral("/etc/talvo-dialer/ports.conf")};
#endif
}

QString devicePathForPort(std::int16_t number, const QStringList& portMaps) {
    const QByteArray variable = "TALVO_COM" + QByteArray::number(number);
    if (!qEnvironmentVariableIsEmpty(variable.constData()))
        return qEnvironmentVariable(variable.constData());
    // Only read: a QSettings with nothing set writes nothing, so a missing map is not created.
    const QString key = QStringLiteral("ports/COM%1").arg(number);
    for (const QString& file : portMaps) {
        const QString device = QSettings(file, QSettings::IniFormat).value(key).toString();
        if (!device.isEmpty()) return device;
    }
#ifdef Q_OS_WIN
    return QStringLiteral("COM%1").arg(number);
#else
    return QStringLiteral("/dev/ttyS%1").arg(number - 1);
#endif
}

} // namespace kv
