#include "call_control/call_control.h"

#include "call_control/command_echo.h"
#include "call_control/form.h"
#include "error_reporting/call_log.h"
#include "modem_port/clock.h"
#include "modem_port/modem_port.h"
#include "modem_port/port_selection.h"
#include "modem_port/reply.h"

namespace kv {

namespace {

const QString LineSettings = QStringLiteral("9600,n,8,1");
constexpr int WaitTurns = 450; // counted down to -1: 451 turns of 100 ms

// Carrier detect follows the carrier (&C1). Windows' serial driver lowers DTR whenever a program
// closes a COM port, the release to Ampliview included, and the factory profile hangs up when DTR
// falls (&D2): there the modem is also told to ignore DTR (&D0), and Hang Up ends the call with
// the escape and ATH, as everywhere.
#ifdef Q_OS_WIN
const QString CarrierCommand = QStringLiteral("AT&C1&D0");
#else
const QString CarrierCommand = QStringLiteral("AT&C1");
#endif

// The number as it is dialled and shown: as typed, but only what a modem's dial string can hold,
// printable ASCII. A control character (a pasted line break, a tab, DEL, the C1 controls) would
// end or garble the command, and a modem that drops the eighth bit reads U+008D as CR; a
// character beyond ASCII (an accented letter, a fullwidth digit) means nothing to a modem.
QString dialable(const QString& typed) {
    QString number;
    for (QChar c : typed)
        if (c >= u' ' && c <= u'~') number += c;
    return number;
}

// An access key's marker written twice, so that a status caption shows a command as it is.
QString asCaption(const QString& command) {
    return QString(command).replace(u'&', QStringLiteral("&&"));
}

} // namespace

// What one run of the dial sequence keeps between its steps. Any handler may run inside the
// sequence's pauses, Dial itself included; the newest dial owns the port and the status line. A
// Hang Up while the dial is not waiting for its connection (before the dial command has gone out,
// or while a connection is being released) cancels the dial: the staged hang-up owns the line.
// A Hang Up during the wait ends the wait instead, and the dial reports its failure.
struct CallControl::DialRun {
    DialRun(int serial, int hangUpRunsBefore)
        : serial(serial), hangUpRunsBefore(hangUpRunsBefore) {}

    int serial;           // this dial's place among all dials begun
    int hangUpRunsBefore; // Hang Up runs when this dial began
    bool waiting = false; // from the dial command to the end of the wait for a connection
    int countdown = 0;
    QString reply;
    // What the modem itself has said during the wait, line breaks and the echo of the dial command
    // left out: one text however the reads cut it.
    QString heard;
    CommandEcho echo{QString()};
};

bool CallControl::overtaken(const DialRun& run) const {
    return run.serial != dialsBegun_ || (!run.waiting && run.hangUpRunsBefore != hangUpRuns_);
}

void CallControl::dialPause(ErrorTrap& g, const DialRun& run, int ms) {
    g.step([&] { Pause(ms); });
    if (overtaken(run)) g.leave();
}

void CallControl::buttonConnect_Click() {
    ErrorTrap::guard(traps::Dial, site_, [this](ErrorTrap& g) {
        // A number made only of what is left out of the dial is no number either.
        if (g.test([&] { return dialable(form_.txtPhoneNum.text()).isEmpty(); })) {
            showMissingNumberNotice();
            g.leave();
        }
        DialRun run(++dialsBegun_, hangUpRuns_);
        g.step([&] { ModemConnected = false; }); // the result is this dial's alone

        if (g.test([&] { return !port_.portOpen(); })) {
            g.step([&] { selectPort(port_, form_.Combo1.text()); });
            g.step([&] { port_.setSettings(LineSettings); });
            g.step([&] { port_.setPortOpen(true); });
            g.step([&] { port_.setInputMode(0); });
        }

        // A carrier already up means a call is up: leave it up for whoever uses it.
        g.step([&] { form_.tmrCheckModem.setEnabled(false); });
        g.step([&] { UpdateCarrierStatus(); });
        if (g.test([&] { return form_.txtModemStatus.caption() == u"Detected"; })) {
            g.step([&] { port_.release(); });
            g.leave();
        }
        g.step([&] { form_.tmrCheckModem.setEnabled(true); });

        g.step([&] { port_.setInBufferCount(0); });
        g.step([&] { port_.setOutBufferCount(0); });
        g.step([&] { port_.setDTREnable(true); });
        if (g.test([&] { return port_.portOpen(); })) {
            g.step([&] { setStatus(QStringLiteral("Configuring modem")); });
            g.step([&] { port_.output(QStringLiteral("AT&F0\r")); });
            g.step([&] { setStatus(QStringLiteral("AT&&F0")); });
            dialPause(g, run, 1000);
            g.step([&] { run.reply.clear(); });
            readWhileWaiting(g, run.reply);

            g.step([&] { port_.output(CarrierCommand + u'\r'); });
            g.step([&] { setStatus(asCaption(CarrierCommand)); });
            g.step([&] { run.reply.clear(); });
            dialPause(g, run, 1000);
            readWhileWaiting(g, run.reply);
            dialPause(g, run, 1000);

            QString number;
            g.step([&] { number = dialable(form_.txtPhoneNum.text()); });
            g.step([&] { setStatus("Dialing " + number); });
            g.step([&] { run.waiting = true; });
            g.step([&] { port_.output("ATDT" + number + "\r"); });
            g.step([&] { run.echo = CommandEcho("ATDT" + number); });
            g.step([&] { WaitForConnect = true; });
            g.step([&] { ModemConnected = false; });
            g.step([&] { run.countdown = WaitTurns; });
            while (g.test([&] { return run.countdown >= 0 && WaitForConnect; }))
                waitTurn(g, run);
            g.step([&] { run.waiting = false; });
        }

        if (g.test([&] { return ModemConnected; })) {
            // Let the line settle, show the carrier, and release the port for Ampliview.
            g.step([&] { form_.tmrCheckModem.setEnabled(false); });
            dialPause(g, run, 1000);
            g.step([&] { UpdateCarrierStatus(); });
            g.step([&] { port_.release(); });
            g.step([&] { setStatus(QStringLiteral("OK to start Ampliview")); });
            g.leave();
        }
        g.step([&] { setStatus(QStringLiteral("Did not connect at 9600 bps")); });
        g.step([&] { qCInfo(callLog) << "Dial calls Hang Up"; });
        g.step([&] { buttonHangUp_Click(); });
        g.step([&] { port_.setPortOpen(false); });
    });
}

void CallControl::waitTurn(ErrorTrap& g, DialRun& run) {
    dialPause(g, run, 100);
    g.step([&] { --run.countdown; });
    if (g.test([&] { return run.countdown % 10 == 0; }))
        g.step([&] {
            setStatus("Waiting to Connect: " + QString::number(run.countdown / 10) + " seconds");
        });

    // The reply box shows what this turn reads. What counts is what the modem said itself during
    // the whole wait, however the reads cut it: the echo of the dial command carries the number,
    // which may hold "9600".
    g.step([&] { run.reply.clear(); });
    while (g.test([&] { return port_.inBufferCount() != 0; })) {
        const QString text = readReply(g, run.reply);
        g.step([&] { run.heard += run.echo.strip(withoutLineBreaks(text)); });
        if (g.test([&] { return run.heard.contains(u"9600"); })) {
            g.step([&] { ModemConnected = true; });
            g.step([&] { setStatus(QStringLiteral("Connected")); });
            g.step([&] { WaitForConnect = false; });
            return;
        }
    }
}

} // namespace kv
