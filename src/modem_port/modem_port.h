#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>

namespace kv {

// The serial-port control through which all modem traffic passes. The public operations mirror
// the control's properties and carry the rules every implementation shares: the error numbers,
// and what each operation does on a closed port. Implementations supply the device underneath.
//
// On a closed port "bytes waiting" answers 0, so every reading loop ends there; reading, writing,
// carrier detect and clearing the buffers raise 8018; closing, releasing and DTR succeed quietly.
// Every byte sent, read or dropped unsent, and every open and close, goes into the call log.
//
// A close ends a dial that the modem may still be making: after a dial command (ATD...) has gone
// out, one carriage return goes first, which a dialling modem takes as a key that abandons the
// dial. A modem that ignores DTR (Windows' dial tells it to) or a device that keeps DTR up at its
// close would otherwise go on dialling with nobody behind the call. The release sends none, and
// nor does a close on an opening that sent no dial: the byte would break an escape ("+++") whose
// silence the modem is still waiting out. It goes only when everything before it has gone out: a
// command cut short by the close would be ended by it, and run.
class ModemPort {
  public:
    virtual ~ModemPort() = default;

    void setCommPort(std::int16_t number); // 8002 for a number below 1, 8005 while open
    std::int16_t commPort() const { return commPort_; }
    void setSettings(const QString& settings) { settings_ = settings; }
    QString settings() const { return settings_; }

    // Opening raises 8002 (no such port) or 8005 (in use here or by another program); an open port
    // has DTR as last set and RTS up, which a modem with RTS/CTS flow control needs to talk.
    void setPortOpen(bool open);
    bool portOpen() const { return open_; }
    // Closes the port and leaves the call up: DTR stays as it is where the platform allows, for
    // the program that opens the port next. Any other close lets DTR fall as the device is set to.
    void release();
    // The program is ending: a port still open lowers DTR and closes, so that a modem set to hang
    // up when DTR falls takes the line down rather than stay off-hook with nobody behind it.
    void end();
    // The device went away while the port was open (a USB adapter pulled), and the program has
    // not opened or closed the port since: the port reads closed, and there is surely no carrier.
    bool deviceVanished() const { return vanished_; }
    void setInputMode(int mode) { inputMode_ = mode; }

    int inBufferCount();
    void setInBufferCount(int count);  // 0 discards what was received
    void setOutBufferCount(int count); // 0 discards what is not yet sent
    void setDTREnable(bool on);
    bool dtrEnable() const { return dtrEnable_; }

    void output(const QString& text); // one byte per character; outside Latin-1 becomes '?'
    QString input();                  // everything waiting, or empty
    bool cdHolding();

    static QByteArray toWireBytes(const QString& text);

  protected:
    virtual void openDevice(std::int16_t number, const QString& settings) = 0;
    // keepLine: DTR stays up through the close. What is still to go out by then goes out first.
    virtual void closeDevice(bool keepLine) = 0;
    virtual int bytesWaiting() = 0;
    virtual QByteArray readWaiting() = 0;
    virtual void write(const QByteArray& bytes) = 0;
    virtual qint64 unsentBytes() = 0; // written, and not yet on the line
    virtual void discardInput() = 0;
    virtual void discardOutput() = 0;
    virtual void applyDtr(bool on) = 0;
    virtual void applyRts(bool on) = 0;
    virtual bool carrierDetect() = 0;
    virtual QString deviceName() const = 0; // what the call log calls the open port's device

    // For implementations whose device went away under them: from now on the port reads as
    // closed and behaves as a closed port.
    void deviceLost();

  private:
    enum class Close { Plain, Release, End };
    void close(Close how);
    // Logs what has not gone out yet, to be dropped; whether there is any.
    bool logDropped();
    void requireOpen() const;

    std::int16_t commPort_ = 1;
    QString settings_ = QStringLiteral("9600,n,8,1");
    bool open_ = false;
    bool vanished_ = false;
    int inputMode_ = 0;
    bool dtrEnable_ = true; // the line comes up with the port, as an open tty raises it anyway
    QByteArray written_;    // the latest bytes written, whose unsent tail a close drops
    bool dialSent_ = false; // a dial command has gone out since the port opened
};

} // namespace kv
