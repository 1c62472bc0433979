#pragma once

#include "call_control/call_control.h"
#include "call_control/form.h"
#include "error_reporting/program_end.h"
#include "main_window/help_desk.h"
#include "main_window/main_window.h"
#include "main_window/text_boxes.h"

#include <QString>
#include <functional>
#include <memory>

namespace kv {

class Clock;
class MsgBox;
class ModemPort;
class ProcessLauncher;
class Timer;

// The four things the window's logic reaches the outside world through, and where it lives.
struct Seams {
    ModemPort& port;
    Clock& clock;
    MsgBox& box;
    ProcessLauncher& launcher;
    QString appDir;                        // the program's directory, no trailing separator
    std::function<void()> quitApplication; // leaves the application's event loop
};

// The program's one window with its timers, the serial port and every handler wired up.
class FrmMain {
  public:
    explicit FrmMain(const Seams& seams);
    ~FrmMain();

    MainWindow& window() { return window_; }
    const MainWindow& window() const { return window_; }
    Form& form() { return form_; }
    CallControl& calls() { return calls_; }
    HelpDesk& help() { return help_; }
    ProgramEnd& programEnd() { return programEnd_; }

    void form_load();
    void buttonHelp_Click();
    void buttonQuit_Click();

  private:
    Seams seams_;
    MainWindow window_;
    std::unique_ptr<Timer> tmrCheckModem_;
    std::unique_ptr<Timer> Timer1_;
    std::unique_ptr<Timer> Timer2_;
    LineEditText number_;
    ComboText comPort_;
    Form form_;
    ProgramEnd programEnd_;
    HelpDesk help_;
    CallControl calls_;
};

} // namespace kv
