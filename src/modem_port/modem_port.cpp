#include "modem_port/modem_port.h"

#include "error_reporting/call_log.h"
#include "error_reporting/run_time_error.h"

#include <QList>
#include <utility>

namespace kv {

namespace {

// Any key abandons a dial; a carriage return is also an empty command line, which a modem in
// command mode passes over.
const QByteArray AbortKey = QByteArrayLiteral("\r");

// How much of the latest output a close can report as dropped: more than a pasted number needs.
constexpr qsizetype WrittenKept = 1 << 16;

} // namespace

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
        dialSent_ = false;
        qCInfo(callLog).noquote() << QStringLiteral("COM %1 opened: %2 at %3")
                                         .arg(commPort_)
                                         .arg(deviceName(), settings_);
        applyDtr(dtrEnable_);
        applyRts(true);
    } else {
        close(Close::Plain);
        qCInfo(callLog).noquote() << QStringLiteral("COM %1 closed").arg(commPort_);
    }
}

void ModemPort::release() {
    vanished_ = false;
    if (!open_) return;
    close(Close::Release);
    qCInfo(callLog).noquote()
        << QStringLiteral("COM %1 released with the line kept up").arg(commPort_);
}

void ModemPort::end() {
    if (!open_) return;
    close(Close::End);
    qCInfo(callLog).noquote()
        << QStringLiteral("COM %1 closed at the program's end").arg(commPort_);
}

void ModemPort::close(Close how) {
    open_ = false;
    const bool dialSent = std::exchange(dialSent_, false);
    if (logDropped()) {
        discardOutput();
    } else if (dialSent && how != Close::Release) {
        try {
            write(AbortKey);
            qCInfo(callLog).noquote() << "sent:" << visible(AbortKey);
        } catch (const RunTimeError&) {
            // A device that refuses the byte has no dial of ours to abandon.
        }
    }
    if (how == Close::End) applyDtr(false);
    closeDevice(how == Close::Release);
}

bool ModemPort::logDropped() {
    const qint64 unsent = unsentBytes();
    if (unsent > 0) qCInfo(callLog).noquote() << "dropped:" << visible(written_.right(unsent));
    return unsent > 0;
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
    if (count != 0) return;
    logDropped();
    discardOutput();
}

void ModemPort::setDTREnable(bool on) {
    dtrEnable_ = on;
    if (open_) applyDtr(on);
}

void ModemPort::output(const QString& text) {
    requireOpen();
    const QByteArray bytes = toWireBytes(text);
    write(bytes);
    written_ = (written_ + bytes).right(WrittenKept);
    dialSent_ = dialSent_ || bytes.startsWith("ATD");
    qCInfo(callLog).noquote() << "sent:" << visible(bytes);
}

QString ModemPort::input() {
    requireOpen();
    const QByteArray bytes = readWaiting();
    if (!bytes.isEmpty()) qCInfo(callLog).noquote() << "read:" << visible(bytes);
    return QString::fromLatin1(bytes);
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
    logDropped();
    closeDevice(false);
    qCInfo(callLog).noquote() << QStringLiteral("COM %1: its device went away").arg(commPort_);
}

void ModemPort::requireOpen() const {
    if (!open_) raise(err::PortNotOpen);
}

} // namespace kv
