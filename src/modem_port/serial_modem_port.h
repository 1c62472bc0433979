#pragma once

#include "modem_port/modem_port.h"

#include <QSerialPort>

namespace kv {

// The modem port on a real serial device through QSerialPort: a COM port, a USB adapter or a
// pseudo-terminal, COM n being the device that devicePathForPort(n) names.
//
// Everything happens on the caller's turn: bytes that arrived are counted and read even when the
// event loop has not run since, and written bytes reach the driver before output returns.
// A device that vanishes while open (a USB adapter pulled, the far end of a pseudo-terminal
// closed) closes the port, which then behaves as any closed port.
class SerialModemPort : public ModemPort {
  public:
    SerialModemPort();
    ~SerialModemPort() override;

  protected:
    void openDevice(std::int16_t number, const QString& settings) override;
    void closeDevice() override;
    int bytesWaiting() override;
    QByteArray readWaiting() override;
    void write(const QByteArray& bytes) override;
    void discardInput() override;
    void discardOutput() override;
    void applyDtr(bool on) override;
    bool carrierDetect() override;

  private:
    void onError(QSerialPort::SerialPortError error);
    void fetchArrived();
    bool deviceGone();

    QSerialPort serial_;
};

} // namespace kv
