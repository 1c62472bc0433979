#include "modem_port/serial_device.h"

#ifdef Q_OS_WIN

#include <QSerialPort>
#include <windows.h>

namespace kv::serial_device {

// COM ports are names, not files: QSerialPort finds out whether one exists when it opens it.
QString resolve(const QString& name) {
    return name;
}

// A vanished USB port shows as QSerialPort's ResourceError, which the port watches for.
bool hungUp(QSerialPort&) {
    return false;
}

void takeArrived(QSerialPort& port) {
    COMSTAT status{};
    // Setting the buffer size starts a read unless one is under way.
    if (ClearCommError(port.handle(), nullptr, &status) && status.cbInQue > 0)
        port.setReadBufferSize(port.readBufferSize());
}

// Windows has no way to close a COM port and keep DTR: what the line does then is the driver's.
void closeKeepingDtr(QSerialPort& port) {
    port.close();
}

} // namespace kv::serial_device

#endif
