#include "modem_port/serial_device.h"

#ifdef Q_OS_WIN

#include <QSerialPort>
#include <windows.h>

namespace kv::serial_device {

// COM ports are names, not files: QSerialPort finds out whether one exists when it opens it.
QString resolve(const QString& name) {
    return name;
}

// A removed device fails every call on its handle; drivers fail its pending waits in ways of
// their own, which QSerialPort reports under several errors.
bool hungUp(QSerialPort& port) {
    COMSTAT status{};
    return !ClearCommError(port.handle(), nullptr, &status);
}

void takeArrived(QSerialPort& port) {
    COMSTAT status{};
    // Setting the buffer size starts a read unless one is under way.
    if (ClearCommError(port.handle(), nullptr, &status) && status.cbInQue > 0)
        port.setReadBufferSize(port.readBufferSize());
}

// Windows' serial driver lowers DTR at every close of a COM port, whatever the program asks, so a
// call that must outlive the close is kept by the modem (the dial tells it to ignore DTR).
bool hangsUpOnClose(QSerialPort&) {
    return true;
}

void close(QSerialPort& port, bool) {
    port.close();
}

} // namespace kv::serial_device

#endif
