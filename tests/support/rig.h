#pragma once

#include "fakes.h"
#include "virtual_clock.h"

#include "call_control/call_control.h"
#include "call_control/form.h"
#include "error_reporting/program_end.h"
#include "sim_modem_port.h"

namespace kv::test {

// The call-control routines on a simulated modem, a virtual clock, scripted boxes and a plain
// form. What the operator could see or the modem hear goes into one log, in order, each entry
// "<ms> " and: "=status", ">bytes sent", "~lamp" (carrier, none, ?), "\"reply", "!box" (see
// boxName), "#end" of the program, and "<" what the modem said when read directly. Known texts
// go in short (any other as it is), and a countdown a second a step is one entry, "=w44..0".
class Rig {
    struct Text : TextBox {
        QString text() const override { return typed; }
        QString typed;
    };
    // A caption that logs each change.
    struct Logged : Caption {
        Logged(std::function<void(const QString&)> log) : log(std::move(log)) {}
        void setCaption(const QString& caption) override {
            if (caption != shown) log(shown = caption);
        }
        std::function<void(const QString&)> log;
        QString shown;
    };
    struct LoggedLamp : Lamp {
        explicit LoggedLamp(Rig& rig) : rig(rig) {}
        void showCarrier(CarrierState s) override {
            if (s != state) rig.note(QStringList{"~carrier", "~none", "~?"}[int(state = s)]);
        }
        QString caption() const override {
            return state == CarrierState::Detected ? "Detected" : "";
        }
        Rig& rig;
        CarrierState state = CarrierState::Unknown;
    };

    static QString shortly(const QString& text) {
        static const QStringList known =
            QString("Configuring modem|config|AT&&F0|F0|AT&&C1|C1|Connected|connected|"
                    "OK to start Ampliview|OK|Did not connect at 9600 bps|failed|Hanging up|"
                    "hanging up|Offline - Ready to dial|offline|Hang up attempt cancelled|"
                    "cancelled")
                .split('|');
        const qsizetype i = known.indexOf(text);
        return i >= 0 && i % 2 == 0 ? known[i + 1] : QString(text).replace("Dialing ", "dial ");
    }
    void noteStatus(const QString& t) {
        const int n = t.startsWith("Waiting to Connect: ") ? t.section(' ', 3, 3).toInt() : -1;
        static const QRegularExpression run("^(\\d+) =w(\\d+)(?:\\.\\.(\\d+))?$");
        const auto m = run.match(log.value(log.size() - 1));
        const int from = m.captured(2).toInt(),
                  to = m.captured(3).isEmpty() ? from : m.captured(3).toInt();
        if (n >= 0 && m.hasMatch() && to == n + 1 &&
            m.captured(1).toLongLong() + (from - n) * 1000 == clock.now())
            log.last() = QString("%1 =w%2..%3").arg(m.captured(1)).arg(from).arg(n);
        else
            note(n >= 0 ? QString("=w%1").arg(n) : "=" + shortly(t));
    }

  public:
    Rig() {
        box.onShow = [this](const Dialog& d) { note("!" + boxName(d)); };
        comPort.typed = "COM 1";
    }

    void note(QString entry) {
#ifdef Q_OS_WIN
        // Windows' carrier command has &D0 too (the close drops DTR there); the rows read as on
        // Linux, and the rules below check that the call outlives Windows' close.
        entry.replace("AT&&C1&&D0", "C1").replace("AT&C1&D0", "AT&C1");
#endif
        log << QString("%1 %2").arg(clock.now()).arg(entry);
        keepRules(entry);
    }
    QString since(qint64 from) const { // the log from `from` on, as one line
        QStringList later;
        for (const QString& e : log)
            if (e.section(' ', 0, 0).toLongLong() >= from) later << e;
        return later.join(", ");
    }
    // What is left at rest. Once the program has ended, only a call counts, or a dial that brings
    // one up within the minute.
    QStringList rest() {
        QStringList left;
        if (clock.stopped())
            return port.modem().carrier(clock.now() + 60'000) ? QStringList{"call up"} : left;
        if (port.portOpen()) left << "port open";
        if (port.portOpen() && port.dtr()) left << "DTR up";
        if (port.modem().carrier(clock.now())) left << "call up";
        if (Timer1->enabled() || Timer2->enabled()) left << "hang-up armed";
        return left;
    }

    // The rules about the line that every run keeps, with what broke them. A dial goes out with DTR
    // up, which a modem needs to take a call off-hook. A call that is up when
    // the window says Connected stays up, through OK, until a hang-up runs (or the remote end or
    // the device goes), unless the modem's configuration failed to go out. A hang-up ends at
    // Offline with no call up and DTR down on the port it used, unless a dial, a failed write or a
    // lost device came into its ten seconds.
    void keepRules(const QString& entry) {
        const qint64 now = clock.now();
        if (entry == ">AT&F0\r") configured = true;
        if (entry.startsWith(">ATDT") && port.commPort() == port.modemPort() && !port.dtr())
            broken << QString("%1 dialled with DTR down").arg(now);
        if (entry == "=connected") callKept = configured && port.modem().carrier(now);
        if (entry == "=hanging up" || entry == "=offline" || entry == "#end") callKept = false;
        if (callKept && !port.modem().carrier(now)) {
            broken << QString("%1 the call dropped after Connected").arg(now);
            callKept = false;
        }
        if (entry == "=offline" && dialing == 0 && now - disturbedAt >= 10'000 &&
            port.commPort() == port.modemPort() && (port.modem().carrier(now) || port.dtr()))
            broken << QString("%1 offline with the call up or DTR up").arg(now);
    }

    // Plays "[ms:]verb[=argument]" steps separated by ";"; a step without a time runs now. A step
    // that does not parse, or names no verb, ends the test run: a typo must not test nothing.
    void play(const QString& script) {
        static const QRegularExpression step("^(?:(\\d+):)?(\\w+)(?:=(.*))?$",
                                             QRegularExpression::DotMatchesEverythingOption);
        static const QStringList verbs = QString("dial|hangup|quit|number|com|say|drop|vanish|back|"
                                                 "held|free|modem|no|fail|cut|send|dtr|rts|read")
                                             .split('|');
        for (const QString& s : script.split(';', Qt::SkipEmptyParts)) {
            const auto m = step.match(s);
            if (!m.hasMatch() || !verbs.contains(m.captured(2)))
                qFatal("Rig: no such step: %s", qPrintable(s));
            auto run = [this, verb = m.captured(2), arg = m.captured(3)] { act(verb, arg); };
            m.captured(1).isEmpty() ? run() : clock.at(m.captured(1).toLongLong(), run);
        }
    }
    void act(const QString& verb, const QString& arg) {
        const qint64 now = clock.now();
        sim::HayesModem& modem = port.modem();
        overtaken = overtaken || (verb == "dial" && dialing > 0);
        if (verb == "dial") ++dialing, calls.buttonConnect_Click(), --dialing;
        if (verb == "dial") disturbedAt = clock.now(); // when the dial is over
        if (verb == "hangup") callKept = false, calls.buttonHangUp_Click();
        if (verb == "quit") programEnd.end();
        if (verb == "number" || verb == "com") (verb == "com" ? comPort : number).typed = arg;
        if (verb == "say") modem.inject(arg.toLatin1(), now);
        // The remote end hangs up; the device is pulled out, and plugged in again.
        if (verb == "drop") modem.dropLine(now), callKept = false;
        if (verb == "vanish") port.vanish(), callKept = false, disturbedAt = now;
        if (verb == "back") port.setMissing(1, false);
        if (verb == "held" || verb == "free") port.setHeldElsewhere(1, verb == "held");
        if (verb == "modem") port.setModemOn(arg.toInt()), port.setMissing(arg.toInt(), false);
        if (verb == "no") box.answers << box::No;
        if (verb == "fail") port.failWrite = arg.toInt();
        // The modem cuts its results: "cut=12:250" after 12 bytes, the rest 250 ms later.
        if (verb == "cut")
            modem.cutResults({arg.section(':', 0, 0).toInt()}, arg.section(':', 1).toInt());
        // The simulated modem spoken to directly, and what it said by now, with its DCD line.
        if (verb == "send") modem.receive(arg.toLatin1(), now);
        if (verb == "dtr") modem.setDtr(arg == "1", now);
        if (verb == "rts") modem.setRts(arg == "1");
        const QString said = verb == "read" ? QString::fromLatin1(modem.takeOutput(now)) : "";
        if (!said.isEmpty()) note("<" + said + (modem.dcd(now) ? " dcd" : ""));
    }

    // The port logs each write before the modem hears it, or fails it with `failWrite`.
    struct Port : sim::SimModemPort {
        explicit Port(Rig& rig) : SimModemPort([&rig] { return rig.clock.now(); }), rig(rig) {}
        void write(const QByteArray& bytes) override {
            if (const int number = std::exchange(failWrite, 0)) {
                rig.disturbedAt = rig.clock.now();
                rig.configured = false;
                raise(number);
            }
            rig.note(">" + QString::fromLatin1(bytes));
            SimModemPort::write(bytes);
        }
        Rig& rig;
        int failWrite = 0;
    };

    VirtualClock clock;
    QStringList log;
    Port port{*this};
    FakeMessageBox box;
    ProgramEnd programEnd{[this] { clock.stop(), port.end(), note("#end"); }};
    Text number, comPort;
    Logged lblStatus{[this](const QString& t) { noteStatus(t); }};
    Logged txtReply{[this](const QString& t) { note("\"" + t.left(40)); }};
    LoggedLamp txtModemStatus{*this};
    const std::unique_ptr<Timer> tmrCheckModem =
        clock.createTimer(1000, [this] { calls.tmrCheckModem_Timer(); });
    const std::unique_ptr<Timer> Timer1 = clock.createTimer(2000, [this] { calls.Timer1_Timer(); });
    const std::unique_ptr<Timer> Timer2 = clock.createTimer(2000, [this] { calls.Timer2_Timer(); });
    Form form{number,         comPort,        lblStatus, txtReply,
              txtModemStatus, *tmrCheckModem, *Timer1,   *Timer2};
    CallControl calls{form, port, clock, box, programEnd, "/opt/talvo dialer"};

    int dialing = 0;              // dials running, one inside the other
    bool overtaken = false;       // a dial ran inside another, which then ended quietly
    bool callKept = false;        // since Connected, until Hang Up
    qint64 disturbedAt = -10'000; // the last dial's end, failed write or lost device
    bool configured = false;      // since AT&F0, every write went out
    QStringList broken;           // rules broken (keepRules)
};

} // namespace kv::test
