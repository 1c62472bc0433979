#pragma once

#include <QSerialPort>
#include <QString>
#include <optional>

namespace kv {

// A port's line settings as the settings string writes them: "9600,n,8,1" is 9600 bit/s, no
// parity, 8 data bits, 1 stop bit. Parity is one of n, e, o, m, s; stop bits 1, 1.5 or 2.
struct LineSettings {
    qint32 baudRate;
    QSerialPort::Parity parity;
    QSerialPort::DataBits dataBits;
    QSerialPort::StopBits stopBits;
};

// Empty when the text is not of that form.
std::optional<LineSettings> parseLineSettings(const QString& text);

} // namespace kv
