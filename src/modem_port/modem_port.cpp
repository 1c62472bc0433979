#include "modem_port/modem_port.h"

#include "error_reporting/run_time_error.h"

#include <QList>

namespace kv {

void ModemPort::setCommPort(std::int16_t number) {
    if (open_) raise(err::PortInUse);
    if (number < 1) raise(err::InvalidPort);
    commPort_ = number;
}

void ModemPort::setPortOpen(bool open) {
    vanished_ = false;
    if (open == open_) {
        if (open) raise(err::PortInUse);
        return;
    }
    if (open) {
        openDevice(commPort_, settings_);
        open_ = true;
        applyDtr(dtrEnable_);
    } else {
        open_ = false;
        closeDevice(false);
    }
}

void ModemPort::release() {
    vanished_ = false;
    if (!open_) return;
    open_ = false;
    closeDevice(true);
}

int ModemPort::inBufferCount() {
    return open_ ? bytesWaiting() : 0;
}

void ModemPort::setInBufferCount(int count) {
    requireOpen();
    if (count == 0) discardInput();
}

void ModemPort::setOutBufferCount(int count) {
    requireOpen();
    if (count == 0) discardOutput();
}

void ModemPort::setDTREnable(bool on) {
    dtrEnable_ = on;
    if (open_) applyDtr(on);
}

void ModemPort::output(const QString& text) {
    requireOpen();
    write(toWireBytes(text));
}

QString ModemPort::input() {
    requireOpen();
    return QString::fromLatin1(readWaiting());
}

bool ModemPort::cdHolding() {
    requireOpen();
    return carrierDetect();
}

QByteArray ModemPort::toWireBytes(const QString& text) {
    QByteArray bytes;
    bytes.reserve(text.size());
    for (char32_t c : text.toUcs4())
        bytes.append(c <= 0xFF ? char(c) : '?');
    return bytes;
}

void ModemPort::deviceLost() {
    if (!open_) return;
    open_ = false;
    vanished_ = true;
    closeDevice(false);
}

void ModemPort::requireOpen() const {
    if (!open_) raise(err::PortNotOpen);
}

} // namespace kv
