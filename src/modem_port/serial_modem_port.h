#pragma once

#include "modem_port/modem_port.h"

#include <QSerialPort>
#include <QSet>

namespace kv {

// The modem port on a real serial device through QSerialPort: a COM port, a USB adapter or a
// pseudo-terminal, COM n being the device that devicePathForPort(n) names.
//
// Everything happens on the caller's turn: bytes that arrived are counted and read even when the
// event loop has not run since, and written bytes reach the driver before output returns, as far
// as it takes them within about 100 ms (the rest follows from the event loop). A device that
// vanishes while open (a USB adapter pulled, the far end of a pseudo-terminal closed) closes the
// port, which then behaves as any closed port. On POSIX systems the port honours the lock files
// of other programs and writes its own in their form.
class SerialModemPort : public ModemPort {
  public:
    SerialModemPort();
    ~SerialModemPort() override;

  protected:
    void openDevice(std::int16_t number, const QString& settings) override;
    void closeDevice(bool keepLine) override;
    int bytesWaiting() override;
    QByteArray readWaiting() override;
    void write(const QByteArray& bytes) override;
    qint64 unsentBytes() override;
    void discardInput() override;
    void discardOutput() override;
    void applyDtr(bool on) override;
    void applyRts(bool on) override;
    bool carrierDetect() override;
    QString deviceName() const override { return device_; }

    QSerialPort& serialPort() { return serial_; } // for a test to stand in for the driver

  private:
    void onError(QSerialPort::SerialPortError error);
    void fetchArrived();
    void takeFinishedReads();
    void drain();
    bool deviceGone();

    QSerialPort serial_;
    QString device_;    // as the port map named it, links resolved
    bool gone_ = false; // the device is lost; the port closes at the next look
    QSet<QSerialPort::SerialPortError> errorsLogged_; // since the open
    // Whether the open device lowers DTR at its last close, by its own setting.
    bool hangsUpOnClose_ = true;
};

} // namespace kv
