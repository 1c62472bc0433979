#pragma once

#include "virtual_clock.h"

#include "error_reporting/message_box.h"
#include "error_reporting/run_time_error.h"
#include "main_window/caption_label.h"
#include "main_window/colour_value.h"
#include "main_window/frm_main.h"
#include "main_window/process_launcher.h"
#include "sim_modem_port.h"

#include <QtTest>
#include <QtWidgets>

namespace kv::test {

// The number of the run-time error that `action` raises, or 0.
inline int errorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const RunTimeError& e) {
        return e.number();
    }
    return 0;
}

// A box by what it says, its words checked to the byte: "no number", "invalid", "in use A" (as
// Dial says it), "B" (Hang Up, the escape), "C" (the hang-up command), "error <n> <routine>";
// then its style and its help file and topic. Any other text shows as it is.
inline QString boxName(const Dialog& d) {
    static const QString inUse = "The COM port you have selected to connect to your modem\r\nis "
                                 "being used by another program such as Ampliview.  Verify that "
                                 "the COM port you have selected is indeed\r\nthe port with your "
                                 "modem.  If so, close the other program (such as Ampliview)";
    static const QMap<QString, QString> texts{
        {"no number", "No phone number entered.  Press OK button, then enter a phone number and "
                      "then press DIAL button"},
        {"invalid", "You have selected an invalid COM port number. Select a valid COM port number "
                    "and try again\r\n\r\n"},
        {"in use A", "The COM port you have selected to connect to your modem is being used by "
                     "another program.  Close that other program and try again.  Also verify "
                     "that you have selected the correct COM port.\r\n\r\n"},
        {"in use B", inUse + " and retry dialing.\r\n\r\n"},
        {"in use C", inUse + "\r\nand retry dialing.\r\n\r\n"}};
    static const QRegularExpression error(
        "^Unexpected error (-?\\d+) in routine (\\w+)\r\n\r\nNote error number and situation and "
        "contact Kestrel-Downe\r\n\r\nDo you wish to continue running this program\\?$");
    const auto m = error.match(d.text);
    const QString name = m.hasMatch() ? "error " + m.captured(1) + " " + m.captured(2) : d.text;
    return QString("%1 %2 %3#%4")
               .arg(texts.key(d.text, name), QString::number(d.style),
                    QDir::fromNativeSeparators(d.helpFile).remove("/opt/talvo dialer"),
                    QString::number(d.helpContext)) +
           (d.title == "Talvo Dialer" ? "" : " titled " + d.title);
}

// Keeps every dialog; a Yes/No box takes the next scripted answer, else Yes.
struct FakeMessageBox : MsgBox {
    int show(const Dialog& dialog) override {
        shown << dialog;
        if (onShow) onShow(dialog);
        if ((dialog.style & 0xF) != 4) return box::OK;
        return answers.isEmpty() ? box::Yes : answers.takeFirst();
    }
    QList<Dialog> shown;
    QList<int> answers;
    std::function<void(const Dialog&)> onShow;
};

struct FakeLauncher : ProcessLauncher {
    bool startDetached(const QString& commandLine) override {
        return started << commandLine, starts;
    }
    QStringList started;
    bool starts = true;
};

// The whole program on a simulated modem, a virtual clock and scripted boxes. What the operator
// could see or the modem hear goes into one log, in order, each entry "<ms> " and: "=status",
// ">bytes sent", "~lamp", "\"reply", "!box" (see boxName), "#end" of the program, and "<" what
// the modem said when read directly. Known texts go in short (any other as it is), and a
// countdown a second a step is one entry, "=w44..0".
class Rig {
    static QString shortly(const QString& text) {
        static const QStringList known =
            QString("Configuring modem|config|AT&&F0|F0|AT&&C1|C1|Connected|connected|"
                    "OK to start Ampliview|OK|Did not connect at 9600 bps|failed|Hanging up|"
                    "hanging up|Offline - Ready to dial|offline|Hang up attempt cancelled|"
                    "cancelled|Detected|carrier|Not Detected|none|<Unknown>|?")
                .split('|');
        const qsizetype i = known.indexOf(text);
        return i >= 0 && i % 2 == 0 ? known[i + 1] : QString(text).replace("Dialing ", "dial ");
    }

  public:
    explicit Rig(const QString& appDir = "/opt/talvo dialer")
        : port(*this), frm({port, clock, box, launcher, appDir, [this] { note("#end"); }}) {
        box.onShow = [this](const Dialog& d) { note("!" + boxName(d)); };
        MainWindow& w = frm.window();
        QObject::connect(w.lblStatus, &CaptionLabel::captionChanged, [this](const QString& t) {
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
        });
        QObject::connect(w.txtModemStatus, &CaptionLabel::captionChanged,
                         [this](const QString& t) { note("~" + shortly(t)); });
        QObject::connect(w.txtReply, &CaptionLabel::captionChanged,
                         [this](const QString& t) { note("\"" + t.left(40)); });
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
    // The rules about the line that every run keeps, with what broke them. A call that is up when
    // the window says Connected stays up, through OK, until a hang-up runs (or the remote end or
    // the device goes), unless the modem's configuration failed to go out. A hang-up ends at
    // Offline with no call up and DTR down on the port it used, unless a dial, a failed write or a
    // lost device came into its ten seconds.
    void keepRules(const QString& entry) {
        const qint64 now = clock.now();
        if (entry == ">AT&F0\r") configured = true;
        if (entry == "=connected") callKept = configured && modem().carrier(now);
        if (entry == "=hanging up" || entry == "=offline" || entry == "#end") callKept = false;
        if (callKept && !modem().carrier(now)) {
            broken << QString("%1 the call dropped after Connected").arg(now);
            callKept = false;
        }
        if (entry == "=offline" && dialing == 0 && now - disturbedAt >= 10'000 &&
            port.commPort() == port.modemPort() && (modem().carrier(now) || port.dtr()))
            broken << QString("%1 offline with the call up or DTR up").arg(now);
    }
    QString since(qint64 from) const { // the log from `from` on, as one line
        QStringList later;
        for (const QString& e : log)
            if (e.section(' ', 0, 0).toLongLong() >= from) later << e;
        return later.join(", ");
    }
    MainWindow& window() {
        return frm.window();
    }
    sim::HayesModem& modem() {
        return port.modem();
    }
    // What is left at rest, and a lamp whose colour is not its caption's. Once the program has
    // ended, what it left does not count.
    QStringList rest() {
        QStringList left;
        const QString lamp = window().txtModemStatus->caption();
        const QMap<QString, uint> colours{{"Detected", colour::Green},
                                          {"Not Detected", colour::Yellow}};
        if (window().txtModemStatus->backColor() != colours.value(lamp, colour::InactiveBorder))
            left << "lamp off colour";
        if (clock.stopped()) return left;
        if (port.portOpen()) left << "port open";
        if (port.portOpen() && port.dtr()) left << "DTR up";
        if (modem().carrier(clock.now())) left << "call up";
        if (frm.form().Timer1->enabled() || frm.form().Timer2->enabled()) left << "hang-up armed";
        return left;
    }

    // Plays "[ms:]verb[=argument]" steps separated by ";"; a step without a time runs now. A step
    // that does not parse, or names no verb, ends the test run: a typo must not test nothing.
    void play(const QString& script) {
        static const QRegularExpression step("^(?:(\\d+):)?(\\w+)(?:=(.*))?$",
                                             QRegularExpression::DotMatchesEverythingOption);
        for (const QString& s : script.split(';', Qt::SkipEmptyParts)) {
            const auto m = step.match(s);
            if (!m.hasMatch() || !verbs().contains(m.captured(2)))
                qFatal("Rig: no such step: %s", qPrintable(s));
            auto run = [this, verb = m.captured(2), arg = m.captured(3)] { act(verb, arg); };
            m.captured(1).isEmpty() ? run() : clock.at(m.captured(1).toLongLong(), run);
        }
    }
    void act(const QString& verb, const QString& arg) {
        overtaken = overtaken || (verb == "dial" && dialing > 0);
        verbs()[verb](*this, arg);
    }
    using Verb = std::function<void(Rig&, const QString&)>;
    static const QHash<QString, Verb>& verbs() {
        static const QHash<QString, Verb> table{
            {"dial",
             [](Rig& r, auto) {
                 ++r.dialing, r.window().buttonConnect->click(), --r.dialing;
                 r.disturbedAt = r.clock.now();
             }},
            {"hangup", [](Rig& r, auto) { r.callKept = false, r.window().buttonHangUp->click(); }},
            {"quit", [](Rig& r, auto) { r.window().buttonQuit->click(); }},
            {"close", [](Rig& r, auto) { r.window().close(); }},
            {"number", [](Rig& r, const QString& a) { r.window().txtPhoneNum->setText(a); }},
            {"com", [](Rig& r, const QString& a) { r.window().Combo1->setEditText(a); }},
            {"say",
             [](Rig& r, const QString& a) { r.modem().inject(a.toLatin1(), r.clock.now()); }},
            // The remote end hangs up; the device is pulled out, and plugged in again.
            {"drop", [](Rig& r, auto) { r.modem().dropLine(r.clock.now()), r.callKept = false; }},
            {"vanish",
             [](Rig& r, auto) {
                 r.port.vanish(), r.callKept = false, r.disturbedAt = r.clock.now();
             }},
            {"back", [](Rig& r, auto) { r.port.setMissing(1, false); }},
            {"held", [](Rig& r, auto) { r.port.setHeldElsewhere(1, true); }},
            {"free", [](Rig& r, auto) { r.port.setHeldElsewhere(1, false); }},
            {"modem",
             [](Rig& r, const QString& a) {
                 r.port.setModemOn(a.toInt()), r.port.setMissing(a.toInt(), false);
             }},
            {"no", [](Rig& r, auto) { r.box.answers << box::No; }},
            {"fail", [](Rig& r, const QString& a) { r.port.failWrite = a.toInt(); }},
            // The modem cuts its results: "cut=12:250" after 12 bytes, the rest 250 ms later.
            {"cut",
             [](Rig& r, const QString& a) {
                 QList<int> after;
                 for (const QString& n : a.section(':', 0, 0).split(','))
                     after << n.toInt();
                 r.modem().cutResults(after, a.section(':', 1).toInt());
             }},
            // The simulated modem spoken to directly, and what it said by now, with its DCD line.
            {"send",
             [](Rig& r, const QString& a) { r.modem().receive(a.toLatin1(), r.clock.now()); }},
            {"dtr", [](Rig& r, const QString& a) { r.modem().setDtr(a == "1", r.clock.now()); }},
            {"read", [](Rig& r, auto) {
                 const qint64 now = r.clock.now();
                 const QString said = QString::fromLatin1(r.modem().takeOutput(now));
                 if (!said.isEmpty()) r.note("<" + said + (r.modem().dcd(now) ? " dcd" : ""));
             }}};
        return table;
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
    Port port;
    FakeMessageBox box;
    FakeLauncher launcher;
    FrmMain frm;
    int dialing = 0;              // dials running, one inside the other
    bool overtaken = false;       // a dial ran inside another, which then ended quietly
    bool callKept = false;        // since Connected, until Hang Up
    qint64 disturbedAt = -10'000; // the last dial's end, failed write or lost device
    bool configured = false;      // since AT&F0, every write went out
    QStringList broken;           // rules broken (keepRules)
};

} // namespace kv::test
