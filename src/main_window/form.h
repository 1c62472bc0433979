#pragma once

class QLineEdit;
class QComboBox;

namespace kv {

class CaptionLabel;
class Timer;

// The controls the call-control routines read and write, by their names on the window.
struct Form {
    QLineEdit* txtPhoneNum;
    QComboBox* Combo1;
    CaptionLabel* lblStatus;
    CaptionLabel* txtReply;
    CaptionLabel* txtModemStatus;
    Timer* tmrCheckModem;
    Timer* Timer1;
    Timer* Timer2;
};

} // namespace kv
