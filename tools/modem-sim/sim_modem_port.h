#pragma once

#include "hayes_modem.h"
#include "modem_port/modem_port.h"

#include <QSet>
#include <functional>

namespace kv::sim {

// The modem port for tests: a serial control whose device is a HayesModem on one COM port,
// on the time the given function tells. Ports 1 to 8 exist; those without the modem say nothing
// and carry no carrier. What the modem says while the port is closed is lost. A close lowers DTR
// as the platform's serial driver does: Windows' at every close, a POSIX tty unless the port keeps
// the line up (hang-up-on-close cleared), as it does when it releases a call. An open raises RTS
// on a POSIX tty; Qt opens a Windows port with RTS low.
class SimModemPort : public kv::ModemPort {
  public:
    explicit SimModemPort(std::function<qint64()> now);

    HayesModem& modem() { return modem_; }
    void setModemOn(int portNumber); // default 1
    int modemPort() const { return modemPort_; }
    void setMissing(int portNumber, bool missing = true);    // opening raises 8002
    void setHeldElsewhere(int portNumber, bool held = true); // opening raises 8005

    // The device disappears now: an open port loses it, DTR falls, and the port reads as closed
    // from then on; the device is missing until setMissing(port, false) brings it back.
    void vanish();

    bool dtr() const { return dtr_; } // the level of the modem's DTR line
    int opens() const { return opens_; }
    int closes() const { return closes_; } // closes by the program; a vanish is not one

  protected:
    void openDevice(std::int16_t number, const QString& settings) override;
    void closeDevice(bool keepLine) override;
    int bytesWaiting() override;
    QByteArray readWaiting() override;
    void write(const QByteArray& bytes) override;
    qint64 unsentBytes() override { return 0; } // the modem hears every write at once
    void discardInput() override;
    void discardOutput() override;
    void applyDtr(bool on) override;
    void applyRts(bool on) override;
    bool carrierDetect() override;
    QString deviceName() const override { return onModem() ? "the simulated modem" : "no modem"; }

  private:
    bool onModem() const { return openPort_ == modemPort_; }
    bool missing(int portNumber) const;

    std::function<qint64()> now_;
    HayesModem modem_;
    int modemPort_ = 1;
    int openPort_ = 0; // 0 while closed
    QSet<int> missing_;
    QSet<int> present_; // ports outside 1..8 made present
    QSet<int> held_;
    bool dtr_ = false;
    bool vanishing_ = false;
    int opens_ = 0;
    int closes_ = 0;
};

} // namespace kv::sim
