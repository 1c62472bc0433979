#pragma once

#include "modem_port/modem_port.h"

#include <QSerialPort>

namespace kv {

// The modem port on a real serial device through QSerialPort.
class SerialModemPort : public ModemPort {
public:
    SerialModemPort();

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
    QSerialPort serial_;
};

} // namespace kv
