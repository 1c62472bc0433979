#include "modem_port/serial_device.h"

#ifdef Q_OS_WIN

#include <QSerialPort>

namespace kv::serial_device {

// COM ports are names, not files: QSerialPort finds out whether one exists when it opens it.
QString resolve(const QString& name) {
    return name;
}

// A vanished USB port shows as QSerialPort's ResourceError, which the port watches for.
bool hungUp(QSerialPort&) {
    return false;
}

// Closing a COM port leaves DTR where the program put it, as the serial control always did.
void closeKeepingDtr(QSerialPort& port) {
    port.close();
}

} // namespace kv::serial_device

#endif
