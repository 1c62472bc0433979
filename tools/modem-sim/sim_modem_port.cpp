#include "sim_modem_port.h"

#include "error_reporting/run_time_error.h"

namespace kv::sim {

SimModemPort::SimModemPort(std::function<qint64()> now) : now_(std::move(now)) {}

void SimModemPort::setModemOn(int portNumber) {
    modemPort_ = portNumber;
}

void SimModemPort::setMissing(int portNumber, bool missing) {
    if (missing) {
        missing_.insert(portNumber);
        present_.remove(portNumber);
    } else {
        missing_.remove(portNumber);
        present_.insert(portNumber);
    }
}

void SimModemPort::setHeldElsewhere(int portNumber, bool held) {
    if (held)
        held_.insert(portNumber);
    else
        held_.remove(portNumber);
}

void SimModemPort::vanish() {
    const int port = openPort_ ? openPort_ : modemPort_;
    setMissing(port, true);
    vanishing_ = true;
    deviceLost();
    vanishing_ = false;
    openPort_ = 0;
}

bool SimModemPort::missing(int portNumber) const {
    if (missing_.contains(portNumber)) return true;
    return !present_.contains(portNumber) && (portNumber < 1 || portNumber > 8);
}

void SimModemPort::openDevice(std::int16_t number, const QString&) {
    if (missing(number)) raise(err::InvalidPort);
    if (held_.contains(number)) raise(err::PortInUse);
    openPort_ = number;
    ++opens_;
    // What the modem said while nobody listened is gone.
    if (onModem()) modem_.takeOutput(now_());
#ifdef Q_OS_WIN
    applyRts(false);
#else
    applyRts(true);
#endif
}

void SimModemPort::closeDevice(bool keepLine) {
    if (!vanishing_) ++closes_;
#ifdef Q_OS_WIN
    keepLine = false;
#endif
    if (!keepLine) applyDtr(false);
    openPort_ = 0;
}

int SimModemPort::bytesWaiting() {
    return onModem() ? modem_.waiting(now_()) : 0;
}

QByteArray SimModemPort::readWaiting() {
    return onModem() ? modem_.takeOutput(now_()) : QByteArray();
}

void SimModemPort::write(const QByteArray& bytes) {
    if (onModem()) modem_.receive(bytes, now_());
}

void SimModemPort::discardInput() {
    if (onModem()) modem_.takeOutput(now_());
}

// Writes reach the modem at once, so nothing is ever left to discard.
void SimModemPort::discardOutput() {}

void SimModemPort::applyDtr(bool on) {
    if (!onModem()) return;
    dtr_ = on;
    modem_.setDtr(on, now_());
}

void SimModemPort::applyRts(bool on) {
    if (onModem()) modem_.setRts(on);
}

bool SimModemPort::carrierDetect() {
    return onModem() && modem_.dcd(now_());
}

} // namespace kv::sim
