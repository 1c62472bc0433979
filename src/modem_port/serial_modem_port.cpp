#include "modem_port/serial_modem_port.h"

#include "error_reporting/run_time_error.h"
#include "modem_port/device_map.h"
#include "modem_port/line_settings.h"
#include "modem_port/serial_device.h"

#include <QDeadlineTimer>

namespace kv {

namespace {

// What the control raises for a settings string it cannot read.
constexpr std::int32_t InvalidPropertyValue = 380;

// The most a byte count can report; reading further ahead would only hold up the caller.
constexpr qint64 MaxBytesFetched = 32767;

// How long output waits for the driver to take its bytes before it leaves the rest to go out from
// the event loop: a command's few bytes go at once, while a long number pasted into the box takes
// a second for every 960 characters at 9600 bit/s, which the window must not wait for.
constexpr int WriteWaitMs = 90;

std::int32_t openErrorNumber(QSerialPort::SerialPortError error) {
    switch (error) {
    case QSerialPort::PermissionError: // QSerialPort's lock file held, a busy exclusive tty, EACCES
    case QSerialPort::OpenError:       // already open
        return err::PortInUse;
    default: // no such device, not a terminal (UnsupportedOperationError), anything else
        return err::InvalidPort;
    }
}

} // namespace

SerialModemPort::SerialModemPort() {
    QObject::connect(&serial_, &QSerialPort::errorOccurred,
                     [this](QSerialPort::SerialPortError error) { onError(error); });
}

void SerialModemPort::openDevice(std::int16_t number, const QString& settings) {
    const std::optional<LineSettings> line = parseLineSettings(settings);
    if (!line) raise(InvalidPropertyValue);
    const QString device = serial_device::resolve(devicePathForPort(number));
    if (device.isEmpty()) raise(err::InvalidPort);

    device_ = device;
    serial_.setPortName(device);
    serial_.setBaudRate(line->baudRate);
    serial_.setParity(line->parity);
    serial_.setDataBits(line->dataBits);
    serial_.setStopBits(line->stopBits);
    serial_.setFlowControl(QSerialPort::NoFlowControl);
    gone_ = false;
    if (!serial_.open(QIODevice::ReadWrite)) raise(openErrorNumber(serial_.error()));
    hangsUpOnClose_ =
        releasedDevices_.value(serial_.portName(), serial_device::hangsUpOnClose(serial_));
}

// The program ending with the port still open (Quit in the middle of a dial or a hang-up, an error
// dialog's No) takes the line down, as closing a serial control always did: DTR falls and a modem
// set to &D2 hangs up rather than stay off-hook with nobody behind it.
SerialModemPort::~SerialModemPort() {
    if (!serial_.isOpen()) return;
    serial_.setDataTerminalReady(false);
    closeDevice(false);
}

// A release keeps DTR up so that the call outlives the close; every other close leaves DTR to the
// device's own setting, as found before this program changed it. What has not gone out yet is
// dropped, not waited for: the last close of a tty would otherwise wait until the line has sent
// it, seconds for a long number.
void SerialModemPort::closeDevice(bool keepLine) {
    if (!serial_.isOpen()) return;
    const QString device = serial_.portName();
    if (keepLine)
        releasedDevices_.insert(device, hangsUpOnClose_);
    else
        releasedDevices_.remove(device);
    serial_.clear(QSerialPort::Output);
    serial_device::close(serial_, hangsUpOnClose_ && !keepLine);
}

int SerialModemPort::bytesWaiting() {
    fetchArrived();
    return deviceGone() ? 0 : int(serial_.bytesAvailable());
}

QByteArray SerialModemPort::readWaiting() {
    fetchArrived();
    if (deviceGone()) raise(err::PortNotOpen);
    return serial_.readAll();
}

void SerialModemPort::write(const QByteArray& bytes) {
    if (deviceGone()) raise(err::PortNotOpen);
    serial_.write(bytes);
    // Hand the bytes to the driver now: the caller usually pauses next and expects them on the
    // line meanwhile. What the driver has not taken by the deadline goes out from the event loop.
    const QDeadlineTimer deadline(WriteWaitMs);
    while (serial_.bytesToWrite() > 0 && !deadline.hasExpired() &&
           serial_.waitForBytesWritten(int(deadline.remainingTime()))) {
    }
}

// Bytes the far end sent may still be on their way through the driver, or in a finished read;
// taking them in first makes the discard cover everything received before the call.
void SerialModemPort::discardInput() {
    if (serial_.isOpen()) serial_device::takeArrived(serial_);
    takeFinishedReads();
    if (deviceGone()) raise(err::PortNotOpen);
    serial_.clear(QSerialPort::Input);
}

void SerialModemPort::discardOutput() {
    if (deviceGone()) raise(err::PortNotOpen);
    serial_.clear(QSerialPort::Output);
}

// A pseudo-terminal has no modem lines: QSerialPort reports UnsupportedOperationError there,
// which onError passes over, so DTR is a quiet no-op and carrier reads absent.
void SerialModemPort::applyDtr(bool on) {
    if (!deviceGone()) serial_.setDataTerminalReady(on);
}

bool SerialModemPort::carrierDetect() {
    return !deviceGone() && serial_.pinoutSignals().testFlag(QSerialPort::DataCarrierDetectSignal);
}

// A device that goes away makes QSerialPort report an error on every pass of the event loop until
// the port is closed (a closed pseudo-terminal spins a core). The report may come from inside
// QSerialPort's own waits, whose state a close would pull away under them (on Windows the close
// frees the notifier that the wait goes on using), so it only marks the device gone: the port
// closes at its next operation, or from the event loop once Qt's call has returned. Other
// reports (UnsupportedOperationError on a pseudo-terminal's modem lines, TimeoutError from a look
// that found nothing) change nothing.
void SerialModemPort::onError(QSerialPort::SerialPortError error) {
    if (gone_ || !serial_.isOpen()) return;
    switch (error) {
    case QSerialPort::ReadError:
    case QSerialPort::WriteError:
    case QSerialPort::ResourceError:
        break;
    // Windows drivers fail a removed device's waits with these too (access denied while its
    // deletion is pending, a general failure).
    case QSerialPort::PermissionError:
    case QSerialPort::UnknownError:
        if (serial_device::hungUp(serial_)) break;
        return;
    default:
        return;
    }
    gone_ = true;
    QMetaObject::invokeMethod(
        &serial_, [this] { deviceGone(); }, Qt::QueuedConnection);
}

// A reading loop asks the count and reads within one handler, so the event loop may not have
// run since the bytes arrived: take whatever the driver holds now.
void SerialModemPort::fetchArrived() {
    if (serial_.isOpen() && serial_device::takeArrived(serial_)) takeFinishedReads();
}

// Reads that have finished but that the event loop has not handled yet.
void SerialModemPort::takeFinishedReads() {
    while (serial_.isOpen() && serial_.bytesAvailable() < MaxBytesFetched &&
           serial_.waitForReadyRead(0)) {
    }
}

// True once the device has vanished; the port is closed by then and reads as closed.
bool SerialModemPort::deviceGone() {
    if (serial_.isOpen() && (gone_ || serial_device::hungUp(serial_))) deviceLost();
    return !serial_.isOpen();
}

} // namespace kv
