#pragma once

#include "fake_launcher.h"
#include "fake_message_box.h"
#include "virtual_clock.h"

#include "main_window/frm_main.h"
#include "sim_modem_port.h"

#include <QList>
#include <QPair>
#include <functional>

namespace kv::test {

using Timeline = QList<QPair<qint64, QString>>; // status texts with their virtual times
using Wire = QList<QPair<qint64, QByteArray>>;  // writes to the modem with their virtual times

// The whole program on test doubles: the window and its handlers, a simulated modem on the
// serial port, a virtual clock, scripted message boxes and a recording process launcher.
class DialerRig {
  public:
    // `seamClock` may stand a clock of the test's own between the program and `clock`, to watch
    // its pauses and timers; by default the program runs on `clock` itself. `appDir` is where
    // the program is installed.
    explicit DialerRig(const std::function<Clock&(VirtualClock&)>& seamClock = {},
                       const QString& appDir = QStringLiteral("/opt/talvo dialer"));

    VirtualClock clock;
    sim::SimModemPort port;
    FakeMessageBox box;
    FakeLauncher launcher;
    int quits = 0;
    FrmMain frm;

    MainWindow& window() { return frm.window(); }
    Form& form() { return frm.form(); }
    CallControl& calls() { return frm.calls(); }
    sim::HayesModem& modem() { return port.modem(); }

    void enterNumber(const QString& number);
    void selectPort(const QString& comboText);
    void clickDial();
    void clickHangUp();
    // A click at a virtual instant, delivered like any window event.
    void dialAt(qint64 when);
    void hangUpAt(qint64 when);

    QString status() const;
    QString reply() const;
    QString lamp() const;
    std::uint32_t lampColour() const;

    // Every status-line text as it was set, with its virtual time.
    Timeline statuses;
    Timeline statusesFrom(qint64 from) const;
    // What reached the modem, one entry per write, with its virtual time.
    Wire wire();
    QByteArray wireBytes();
};

} // namespace kv::test
