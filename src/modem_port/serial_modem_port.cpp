#include "modem_port/serial_modem_port.h"

#include "error_reporting/run_time_error.h"

namespace kv {

SerialModemPort::SerialModemPort() = default;

void SerialModemPort::openDevice(std::int16_t number, const QString&) {
    serial_.setPortName(QStringLiteral("/dev/ttyS%1").arg(number - 1));
    serial_.setBaudRate(9600);
    if (!serial_.open(QIODevice::ReadWrite))
        raise(serial_.error() == QSerialPort::DeviceNotFoundError ? err::InvalidPort
                                                                  : err::PortInUse);
}

void SerialModemPort::closeDevice() { serial_.close(); }

int SerialModemPort::bytesWaiting() { return int(serial_.bytesAvailable()); }

QByteArray SerialModemPort::readWaiting() { return serial_.readAll(); }

void SerialModemPort::write(const QByteArray& bytes) { serial_.write(bytes); }

void SerialModemPort::discardInput() { serial_.clear(QSerialPort::Input); }

void SerialModemPort::discardOutput() { serial_.clear(QSerialPort::Output); }

void SerialModemPort::applyDtr(bool on) { serial_.setDataTerminalReady(on); }

bool SerialModemPort::carrierDetect() {
    return serial_.pinoutSignals() & QSerialPort::DataCarrierDetectSignal;
}

} // namespace kv
