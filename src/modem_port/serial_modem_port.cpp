#include "modem_port/serial_modem_port.h"

#include "error_reporting/run_time_error.h"
#include "modem_port/device_map.h"
#include "modem_port/line_settings.h"
#include "modem_port/serial_device.h"

namespace kv {

namespace {

// What the control raises for a settings string it cannot read.
constexpr std::int32_t InvalidPropertyValue = 380;

// The most a byte count can report; reading further ahead would only hold up the caller.
constexpr qint64 MaxBytesFetched = 32767;

// How long output waits for the driver to take its bytes before leaving the rest to the event
// loop. The line has no flow control, so the driver drains at line speed and takes a command's
// few bytes at once; this only bounds a freeze of the window on a stuck device.
constexpr int WriteWaitMs = 100;

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

    serial_.setPortName(device);
    serial_.setBaudRate(line->baudRate);
    serial_.setParity(line->parity);
    serial_.setDataBits(line->dataBits);
    serial_.setStopBits(line->stopBits);
    serial_.setFlowControl(QSerialPort::NoFlowControl);
    if (!serial_.open(QIODevice::ReadWrite)) raise(openErrorNumber(serial_.error()));
}

// The program ending with the port still open (Quit in the middle of a dial or a hang-up, an error
// dialog's No) takes the line down, as closing a serial control always did: DTR falls and a modem
// set to &D2 hangs up rather than stay off-hook with nobody behind it. QSerialPort's close puts
// back the settings found at open, HUPCL with them.
SerialModemPort::~SerialModemPort() {
    if (!serial_.isOpen()) return;
    serial_.setDataTerminalReady(false);
    serial_.close();
}

// Releasing the port must not hang up the call: the dialer closes the port once the line is up
// and the companion program opens it next. Hanging up lowers DTR itself before it closes.
void SerialModemPort::closeDevice() {
    if (serial_.isOpen()) serial_device::closeKeepingDtr(serial_);
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
    // line meanwhile.
    while (serial_.isOpen() && serial_.bytesToWrite() > 0 &&
           serial_.waitForBytesWritten(WriteWaitMs)) {
    }
}

// Bytes the far end sent may still be on their way through the driver; taking them in first
// makes the discard cover everything received before the call.
void SerialModemPort::discardInput() {
    fetchArrived();
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

// A vanished device makes QSerialPort report a read error on every turn of the event loop until
// the port is closed, spinning a core; closing at the first one stops that. Other reports
// (UnsupportedOperationError on a pseudo-terminal's modem lines, TimeoutError from a look that
// found nothing) change nothing.
void SerialModemPort::onError(QSerialPort::SerialPortError error) {
    const bool lost = error == QSerialPort::ReadError || error == QSerialPort::WriteError ||
                      error == QSerialPort::ResourceError;
    if (lost && serial_.isOpen()) deviceLost();
}

// A reading loop asks the count and reads within one handler, so the event loop may not have
// run since the bytes arrived: take whatever the driver holds now.
void SerialModemPort::fetchArrived() {
    if (serial_.isOpen()) serial_device::takeArrived(serial_);
    while (serial_.isOpen() && serial_.bytesAvailable() < MaxBytesFetched &&
           serial_.waitForReadyRead(0)) {
    }
}

// True once the device has vanished; the port is closed by then and reads as closed.
bool SerialModemPort::deviceGone() {
    if (serial_.isOpen() && serial_device::hungUp(serial_)) deviceLost();
    return !serial_.isOpen();
}

} // namespace kv
