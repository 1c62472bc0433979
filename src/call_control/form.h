#pragma once

#include "modem_port/carrier_state.h"

#include <QString>

namespace kv {

class Timer;

// A box whose text the routines read.
class TextBox {
  public:
    virtual ~TextBox() = default;
    virtual QString text() const = 0;
};

// A label whose caption the routines write.
class Caption {
  public:
    virtual ~Caption() = default;
    virtual void setCaption(const QString& caption) = 0;
};

// The carrier lamp: it shows what the lines say, and its caption tells it back.
class Lamp {
  public:
    virtual ~Lamp() = default;
    virtual void showCarrier(CarrierState state) = 0;
    virtual QString caption() const = 0;
};

// What the call-control routines read and write on the window, by the controls' names.
struct Form {
    TextBox& txtPhoneNum;
    TextBox& Combo1;
    Caption& lblStatus;
    Caption& txtReply;
    Lamp& txtModemStatus;
    Timer& tmrCheckModem;
    Timer& Timer1;
    Timer& Timer2;
};

} // namespace kv
