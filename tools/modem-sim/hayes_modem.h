#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QtGlobal>
#include <vector>

namespace kv::sim {

enum class Outcome { Connect9600, Connect2400, Busy, NoCarrier, NoDialtone, Silence };

// What a dialled number does, and how long after the dial command it does it.
struct Script {
    Outcome outcome;
    int delayMs;
};

// A Hayes-style modem as seen from its serial line. It has no clock of its own: every call says
// what time it is (in milliseconds), and whatever fell due up to that instant happens first, so
// the same engine runs on a test's virtual clock and on real time behind a pseudo-terminal.
//
// Behaviour: command echo and verbose result codes ("\r\nOK\r\n"); AT, ATE0/1, ATH, ATZ, ATO,
// AT&F0, AT&C0/1, AT&D0/1/2, AT&K0/3 and ATDT<number>, several per line; anything else answers
// "ERROR".
// A dial ends after its script's delay; any byte received while dialling aborts it. In data mode
// bytes go to the remote end, except a "+++" with one second of silence before and after it,
// which returns to command mode with the call kept. A fall of DTR is ignored under &D0, returns
// to command mode with the call kept under &D1, and hangs up under &D2. Under &K3 (RTS/CTS flow
// control) it holds back what it says while RTS is low. The factory profile is E1 &C1 &D2 &K3.
// Results can be set to come in pieces, as a USB adapter hands bytes over in packets.
class HayesModem {
  public:
    static Script scriptFor(const QString& number);  // the outcome by the number's last digit
    void setScript(const QString& number, Script s); // overrides scriptFor for that exact number

    void receive(const QByteArray& bytes, qint64 now); // bytes from the computer
    QByteArray takeOutput(qint64 now);                 // everything said by `now`, not taken yet
    int waiting(qint64 now);                           // bytes takeOutput would give
    bool dcd(qint64 now);     // the carrier-detect line: the carrier under &C1, always on under &C0
    bool carrier(qint64 now); // a call is connected
    void setDtr(bool on, qint64 now); // a fall acts as &D0, &D1 or &D2 says
    void setRts(bool on) { rts_ = on; }

    // Every result from now on is cut after each of the given byte counts, its pieces `gapMs`
    // apart: {12}, 250 sends "\r\nCONNECT 96", then "00\r\n" 250 ms later.
    void cutResults(const QList<int>& after, int gapMs);

    void inject(const QByteArray& bytes, qint64 at); // unsolicited output, said at `at`
    void dropLine(qint64 at);                        // the remote end hangs up at `at`

    struct Received {
        qint64 at;
        QByteArray bytes;
    };
    const std::vector<Received>& received() const { return received_; }

    // The next instant at which the modem changes state or says something by itself, or -1.
    qint64 nextChangeAt(qint64 now) const;

  private:
    enum class Mode { Command, Dialling, Data };
    static constexpr qint64 None = -1;

    void advance(qint64 now);
    void finishDial(qint64 at);
    void finishEscape(qint64 at);
    void loseCarrier(qint64 at);
    void commandByte(char byte, qint64 now);
    void dataByte(char byte, qint64 now);
    void execute(const QByteArray& line, qint64 now);
    bool executeOne(const QByteArray& line, qsizetype& i, qint64 now, bool& answered);
    void startDial(const QByteArray& dialString, qint64 now);
    void resetProfile();
    void say(const QByteArray& bytes, qint64 at);
    void result(const char* text, qint64 at);
    bool heldBack() const { return ampK_ == 3 && !rts_; }

    struct Said {
        qint64 at;
        QByteArray bytes;
    };

    QHash<QString, Script> scripts_;
    std::vector<Said> output_;      // in time order
    std::vector<qint64> lineDrops_; // scheduled remote hang-ups, unsorted
    std::vector<Received> received_;

    Mode mode_ = Mode::Command;
    bool carrier_ = false;
    bool echo_ = true;
    int ampC_ = 1;
    int ampD_ = 2;
    bool dtr_ = false;
    int ampK_ = 3;
    bool rts_ = true; // until a port says otherwise: a pseudo-terminal has no RTS to hold it back
    QList<int> cuts_;
    int cutGapMs_ = 0;
    QByteArray commandLine_;
    qint64 dialEndsAt_ = None; // None while a dial is silent for good
    Script dialScript_{Outcome::Silence, 0};
    QByteArray connectText_; // the CONNECT message of the call in progress, for ATO
    qint64 lastByteAt_ = None;
    int plusCount_ = 0;
    qint64 escapeAt_ = None; // the trailing guard time ends here
};

} // namespace kv::sim
