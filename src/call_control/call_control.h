#pragma once

#include "error_reporting/error_trap.h"

#include <QString>

namespace kv {

class Clock;
class MsgBox;
class ModemPort;
class ProgramEnd;
struct Form;

// The dial sequence and the three hang-up stages, with the carrier poll that runs beside them.
// Each guarded routine reads as its steps in order; its trap decides what follows a failed step.
class CallControl {
  public:
    CallControl(Form& form, ModemPort& port, Clock& clock, MsgBox& box, ProgramEnd& programEnd,
                const QString& appDir);

    void buttonConnect_Click(); // dial and wait for a 9600 connection
    void buttonHangUp_Click();  // release the port and arm the escape stage
    void Timer1_Timer();        // escape the modem to command mode
    void Timer2_Timer();        // hang up and go offline
    void tmrCheckModem_Timer(); // carrier poll

    bool WaitForConnect = false; // the wait for a connection runs while this holds
    bool ModemConnected = false; // the last wait saw "9600"

  private:
    struct DialRun;

    void Pause(int ms);
    void UpdateCarrierStatus();
    void setStatus(const QString& caption);
    void showMissingNumberNotice();
    void hangUpCancel();

    // One read of the waiting text into `reply`, shown in the reply box; returns what was read.
    QString readReply(ErrorTrap& g, QString& reply);
    // Reads while bytes are waiting.
    void readWhileWaiting(ErrorTrap& g, QString& reply);
    // A pause of the dial sequence, which then leaves quietly if the dial has been overtaken.
    void dialPause(ErrorTrap& g, const DialRun& run, int ms);
    bool overtaken(const DialRun& run) const;
    // One turn of the wait for a connection: pause, count down, read, look for "9600".
    void waitTurn(ErrorTrap& g, DialRun& run);
    // "+++" with nothing around it, then the reply a second later.
    void escape(ErrorTrap& g, QString& reply);

    Form& form_;
    ModemPort& port_;
    Clock& clock_;
    MsgBox& box_;
    QString appDir_;
    TrapSite site_;
    int dialsBegun_ = 0;
    int hangUpRuns_ = 0;
};

} // namespace kv
