#include "modem_port/serial_modem_port.h"

#include "error_reporting/call_log.h"
#include "error_reporting/run_time_error.h"
#include "modem_port/device_map.h"
#include "modem_port/line_settings.h"
#include "modem_port/lock_file.h"
#include "modem_port/serial_device.h"

#include <QDeadlineTimer>
#include <QThread>

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

// How long a close waits for the last bytes to leave: a byte takes about 1 ms at 9600 bit/s.
constexpr int DrainWaitMs = 200;

std::int32_t openErrorNumber(QSerialPort::SerialPortError error) {
    switch (error) {
    case QSerialPort::PermissionError: // a lock file held, a busy exclusive tty, EACCES
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

    if (lock_file::heldElsewhere(device)) raise(err::PortInUse);

    device_ = device;
    serial_.setPortName(device);
    serial_.setBaudRate(line->baudRate);
    serial_.setParity(line->parity);
    serial_.setDataBits(line->dataBits);
    serial_.setStopBits(line->stopBits);
    serial_.setFlowControl(QSerialPort::NoFlowControl);
    gone_ = false;
    errorsLogged_.clear();
    if (!serial_.open(QIODevice::ReadWrite)) raise(openErrorNumber(serial_.error()));
    lock_file::markOwn(device);
    hangsUpOnClose_ =
        serial_device::rememberedHangUp(device).value_or(serial_device::hangsUpOnClose(serial_));
}

SerialModemPort::~SerialModemPort() {
    end();
}

// A release keeps DTR up so that the call outlives the close, and remembers the device's own
// setting, which the device keeps cleared after the close; every other close puts that setting
// back, and leaves DTR to it.
void SerialModemPort::closeDevice(bool keepLine) {
    if (!serial_.isOpen()) return;
    if (gone_)
        serial_.clear(QSerialPort::Output);
    else
        drain();
    serial_device::rememberHangUp(device_,
                                  keepLine ? std::optional(hangsUpOnClose_) : std::nullopt);
    serial_device::close(serial_, hangsUpOnClose_ && !keepLine);
}

// Qt's close drops what it has not handed to the driver, and on Windows cancels a write under way.
void SerialModemPort::drain() {
    const QDeadlineTimer deadline(DrainWaitMs);
    while (unsentBytes() > 0 && !deadline.hasExpired()) {
        if (serial_.bytesToWrite() == 0)
            QThread::msleep(1);
        else if (!serial_.waitForBytesWritten(int(deadline.remainingTime())))
            return;
    }
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
    // Inside a close the port reads closed already, so a lost device is not closed here: gone_
    // still tells.
    if (deviceGone() || gone_) raise(err::PortNotOpen);
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

// A lost device's driver has nothing left to tell.
qint64 SerialModemPort::unsentBytes() {
    if (!serial_.isOpen()) return 0;
    return serial_.bytesToWrite() + (gone_ ? 0 : serial_device::queuedOutput(serial_));
}

// A close drops what is left with the port; a port that stays open must be able to write again.
void SerialModemPort::discardOutput() {
    if (deviceGone()) raise(err::PortNotOpen);
    if (portOpen())
        serial_device::discardOutput(serial_, dtrEnable());
    else
        serial_.clear(QSerialPort::Output);
}

// A pseudo-terminal has no modem lines: QSerialPort reports UnsupportedOperationError there,
// which onError passes over, so DTR and RTS are quiet no-ops and carrier reads absent.
void SerialModemPort::applyDtr(bool on) {
    if (!deviceGone()) serial_.setDataTerminalReady(on);
}

// A POSIX tty raises RTS when it opens, while Qt opens a Windows port with RTS low, where a modem
// with RTS/CTS flow control (&K3) would hold back its answers.
void SerialModemPort::applyRts(bool on) {
    if (!deviceGone()) serial_.setRequestToSend(on);
}

bool SerialModemPort::carrierDetect() {
    return !deviceGone() && serial_.pinoutSignals().testFlag(QSerialPort::DataCarrierDetectSignal);
}

// A device that goes away makes QSerialPort report an error on every pass of the event loop until
// the port is closed (a closed pseudo-terminal spins a core). The report may come from inside
// QSerialPort's own waits, whose state a close would pull away under them (on Windows the close
// frees the notifier that the wait goes on using), so it only marks the device gone: the port
// closes at its next operation, or from the event loop once Qt's call has returned. Only the
// device itself says it has gone: Windows reports a write that a purge aborted, a device that is
// still there, as a ResourceError too. Such reports go into the call log, once each an open, and
// the port carries on. A pseudo-terminal's missing modem lines (UnsupportedOperationError) and a
// look that found nothing (TimeoutError) are no news.
void SerialModemPort::onError(QSerialPort::SerialPortError error) {
    if (gone_ || !serial_.isOpen() || error == QSerialPort::NoError ||
        error == QSerialPort::UnsupportedOperationError || error == QSerialPort::TimeoutError)
        return;
    if (serial_device::hungUp(serial_)) {
        gone_ = true;
        QMetaObject::invokeMethod(
            &serial_, [this] { deviceGone(); }, Qt::QueuedConnection);
        return;
    }
    if (errorsLogged_.contains(error)) return;
    errorsLogged_.insert(error);
    qCInfo(callLog).noquote() << QStringLiteral(
                                     "COM %1: the device reports \"%2\"; the port goes on")
                                     .arg(commPort())
                                     .arg(serial_.errorString());
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

// True once the device has vanished, or could not be opened again after a discard; the port is
// closed by then and reads as closed.
bool SerialModemPort::deviceGone() {
    if (!serial_.isOpen() || gone_ || serial_device::hungUp(serial_)) {
        gone_ = true;
        deviceLost();
    }
    return !serial_.isOpen();
}

} // namespace kv
