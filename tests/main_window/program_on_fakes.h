#pragma once

#include "fake_launcher.h"
#include "fake_message_box.h"
#include "virtual_clock.h"

#include "main_window/frm_main.h"
#include "sim_modem_port.h"

namespace kv::test {

// The whole program on test doubles, installed in `appDir`.
struct ProgramOnFakes {
    explicit ProgramOnFakes(const QString& appDir = QStringLiteral("/opt/talvo dialer"))
        : port([this] { return clock.now(); }),
          frm({port, clock, box, launcher, appDir, [this] { ++quits; }}) {}

    MainWindow& window() { return frm.window(); }

    VirtualClock clock;
    sim::SimModemPort port;
    FakeMessageBox box;
    FakeLauncher launcher;
    int quits = 0;
    FrmMain frm;
};

} // namespace kv::test
