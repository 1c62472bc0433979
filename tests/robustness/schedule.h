#pragma once

#include "hayes_modem.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <cstdint>

namespace kv::robustness {

// One thing that happens to the dialer at a virtual instant: the operator, the modem, the port.
struct Event {
    enum class Kind {
        Dial,
        HangUp,
        Help,
        Quit,
        CloseBox,
        ComText,         // the COM-port box now reads `text`
        Number,          // the number box now reads `text`
        ModemSays,       // the modem sends `bytes` unasked
        DropLine,        // the remote end hangs up
        HeldElsewhere,   // another program takes (`on`) or releases COM `port`
        Missing,         // COM `port` is unplugged (`on`) or plugged back
        Vanish,          // the device goes away under whatever uses it; back after `ms` if > 0
        AnswerNo,        // the next Yes/No box is answered No
        DialogsStayOpen, // from now on each box is answered `ms` after it opens
    };
    qint64 at = 0;
    Kind kind = Kind::Dial;
    QString text;
    QByteArray bytes;
    int port = 0;
    bool on = false;
    int ms = 0;
};

// A number and what the modem does when it is dialled.
struct NumberScript {
    QString number;
    sim::Outcome outcome;
    int delayMs;
};

struct Schedule {
    std::uint64_t seed = 0;
    QString comText; // the COM-port box at start
    QString number;  // the number box at start
    QList<NumberScript> scripts;
    QList<Event> events; // in time order
};

// The same seed always gives the same schedule, on any platform.
Schedule makeSchedule(std::uint64_t seed);

// The schedule as a reader replays it in their head: one line per event.
QString describe(const Schedule& schedule);

} // namespace kv::robustness
