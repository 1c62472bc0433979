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

// Waiting for finished reads, even for no time, costs a round trip to QSerialPort's completion-port
// thread (0.4 ms under Wine), while the driver's count costs 3 us. So a look waits only when the
// driver holds bytes. A read that QSerialPort itself started from the event loop may still have
// finished unseen: the event loop takes it in at its next pass.
bool takeArrived(QSerialPort& port) {
    COMSTAT status{};
    if (!ClearCommError(port.handle(), nullptr, &status) || status.cbInQue == 0) return false;
    // Setting the buffer size starts a read unless one is under way.
    port.setReadBufferSize(port.readBufferSize());
    return true;
}

// QSerialPort counts the write it has handed to the driver until the driver has sent it.
qint64 queuedOutput(QSerialPort&) {
    return 0;
}

// The purge aborts a write under way, and QSerialPort 6.4 never takes an aborted write as ended:
// it writes nothing more on that port. Closed and opened again, the port starts afresh, with its
// settings and its lines as they were; the modem has been told to ignore DTR by then, since the
// only write that lasts long enough is a long dial command.
void discardOutput(QSerialPort& port, bool dtr) {
    const bool writing = port.bytesToWrite() > 0;
    port.clear(QSerialPort::Output);
    if (!writing) return;
    port.close();
    if (!port.open(QIODevice::ReadWrite)) return;
    port.setDataTerminalReady(dtr);
    port.setRequestToSend(true);
}

// Windows' serial driver lowers DTR at every close of a COM port, whatever the program asks, so a
// call that must outlive the close is kept by the modem (the dial tells it to ignore DTR).
bool hangsUpOnClose(QSerialPort&) {
    return true;
}

std::optional<bool> rememberedHangUp(const QString&) {
    return std::nullopt;
}

void rememberHangUp(const QString&, std::optional<bool>) {}

void close(QSerialPort& port, bool) {
    port.close();
}

} // namespace kv::serial_device

#endif
