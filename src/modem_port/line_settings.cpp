#include "modem_port/line_settings.h"

#include <QStringList>

namespace kv {

namespace {

std::optional<QSerialPort::Parity> parityFrom(const QString& letter) {
    const QString l = letter.toLower();
    if (l == u"n") return QSerialPort::NoParity;
    if (l == u"e") return QSerialPort::EvenParity;
    if (l == u"o") return QSerialPort::OddParity;
    if (l == u"m") return QSerialPort::MarkParity;
    if (l == u"s") return QSerialPort::SpaceParity;
    return std::nullopt;
}

std::optional<QSerialPort::DataBits> dataBitsFrom(const QString& digits) {
    if (digits == u"5") return QSerialPort::Data5;
    if (digits == u"6") return QSerialPort::Data6;
    if (digits == u"7") return QSerialPort::Data7;
    if (digits == u"8") return QSerialPort::Data8;
    return std::nullopt;
}

std::optional<QSerialPort::StopBits> stopBitsFrom(const QString& digits) {
    if (digits == u"1") return QSerialPort::OneStop;
    if (digits == u"1.5") return QSerialPort::OneAndHalfStop;
    if (digits == u"2") return QSerialPort::TwoStop;
    return std::nullopt;
}

} // namespace

std::optional<LineSettings> parseLineSettings(const QString& text) {
    const QStringList fields = text.split(u',');
    if (fields.size() != 4) return std::nullopt;
    bool isNumber = false;
    const qint32 baudRate = fields[0].toInt(&isNumber);
    const auto parity = parityFrom(fields[1]);
    const auto dataBits = dataBitsFrom(fields[2]);
    const auto stopBits = stopBitsFrom(fields[3]);
    if (!isNumber || baudRate <= 0 || !parity || !dataBits || !stopBits) return std::nullopt;
    return LineSettings{baudRate, *parity, *dataBits, *stopBits};
}

} // namespace kv
