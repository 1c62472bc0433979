#include "schedule.h"

#include <algorithm>
#include <initializer_list>
#include <random>
#include <utility>

namespace kv::robustness {

namespace {

using Kind = Event::Kind;
using sim::Outcome;

constexpr qint64 ScheduleSpanMs = 120'000;

// Draws from the seed alone; std::uniform_int_distribution is avoided because its results
// differ between standard libraries, and a seed must replay the same schedule everywhere.
class Dice {
  public:
    explicit Dice(std::uint64_t seed) : engine_(seed) {}
    int below(int n) { return int(engine_() % std::uint64_t(n)); }
    int between(int low, int high) { return low + below(high - low + 1); }
    bool percent(int p) { return below(100) < p; }
    template <class T> const T& pick(const QList<T>& items) { return items[below(items.size())]; }

    // One choice among weighted alternatives: returns the index of the winner.
    int weighted(std::initializer_list<int> weights) {
        int total = 0;
        for (int w : weights)
            total += w;
        int roll = below(total);
        int index = 0;
        for (int w : weights) {
            if (roll < w) return index;
            roll -= w;
            ++index;
        }
        return index - 1;
    }

  private:
    std::mt19937_64 engine_;
};

QString digits(Dice& dice, int count) {
    QString s;
    for (int i = 0; i < count; ++i)
        s += QChar(u'0' + dice.below(10));
    return s;
}

NumberScript script(Dice& dice) {
    // Half as many late connections as prompt ones: the wait ends at about 45 s.
    switch (dice.weighted({30, 15, 10, 10, 10, 5, 15})) {
    case 0:
        return {digits(dice, 7), Outcome::Connect9600, dice.between(500, 20'000)};
    case 1:
        return {digits(dice, 7), Outcome::Connect9600, dice.between(40'000, 50'000)};
    case 2:
        return {digits(dice, 7), Outcome::Connect2400, dice.between(500, 20'000)};
    case 3:
        return {digits(dice, 7), Outcome::Busy, dice.between(500, 10'000)};
    case 4:
        return {digits(dice, 7), Outcome::NoCarrier, dice.between(500, 50'000)};
    case 5:
        return {digits(dice, 7), Outcome::NoDialtone, dice.between(500, 5'000)};
    default:
        return {digits(dice, 7), Outcome::Silence, 0};
    }
}

QString comText(Dice& dice) {
    static const QList<QString> others{"COM 2", "COM 3", "COM 8", "COM 9",
                                       "COM 0", "COMx",  "",      "COM 11"};
    return dice.percent(70) ? QStringLiteral("COM 1") : dice.pick(others);
}

QString numberText(Dice& dice, const QList<NumberScript>& scripts) {
    switch (dice.weighted({80, 5, 5, 5, 5})) {
    case 0:
        return dice.pick(scripts).number;
    case 1:
        return QString();
    case 2:
        return QStringLiteral("   ");
    case 3: // long enough to matter, short enough for thousands of schedules
        return digits(dice, dice.between(50, 400));
    default: // outside Latin-1: sent as '?'
        return digits(dice, 3) + QChar(0x20AC) + digits(dice, 3);
    }
}

QByteArray modemText(Dice& dice) {
    static const QList<QByteArray> results{
        "\r\nOK\r\n",         "\r\nERROR\r\n", "\r\nCONNECT 9600\r\n", "\r\nCONNECT 2400\r\n",
        "\r\nNO CARRIER\r\n", "\r\nRING\r\n",  "\r\nBUSY\r\n"};
    QByteArray bytes;
    switch (dice.weighted({50, 30, 20})) {
    case 0:
        return dice.pick(results);
    case 1: // line noise: any byte at all
        for (int n = dice.between(1, 64); n > 0; --n)
            bytes += char(dice.below(256));
        return bytes;
    default: { // a flood of text
        static const QByteArray alphabet = "0123456789 ABCDEFGHIJKLMNOPQRSTUVWXYZ\r\n+";
        for (int n = dice.between(1024, 8192); n > 0; --n)
            bytes += alphabet[dice.below(int(alphabet.size()))];
        return bytes;
    }
    }
}

int faultPort(Dice& dice) {
    return dice.percent(80) ? 1 : dice.pick(QList<int>{2, 9});
}

// A time in the schedule; a quarter of them fall on whole tenths or seconds, where ticks and
// pauses end, to try the order of events due at the same instant.
qint64 eventTime(Dice& dice, qint64 previous) {
    qint64 t = dice.percent(30) ? previous + dice.below(500) : dice.below(ScheduleSpanMs);
    if (dice.percent(25)) t -= t % (dice.percent(50) ? 100 : 1000);
    return std::clamp<qint64>(t, 0, ScheduleSpanMs);
}

Event makeEvent(Dice& dice, const QList<NumberScript>& scripts, qint64 at) {
    Event e;
    e.at = at;
    switch (dice.weighted({140, 120, 15, 4, 3, 60, 80, 70, 25, 30, 20, 15, 15, 20})) {
    case 0:
        e.kind = Kind::Dial;
        break;
    case 1:
        e.kind = Kind::HangUp;
        break;
    case 2:
        e.kind = Kind::Help;
        break;
    case 3:
        e.kind = Kind::Quit;
        break;
    case 4:
        e.kind = Kind::CloseBox;
        break;
    case 5:
        e.kind = Kind::ComText;
        e.text = comText(dice);
        break;
    case 6:
        e.kind = Kind::Number;
        e.text = numberText(dice, scripts);
        break;
    case 7:
        e.kind = Kind::ModemSays;
        e.bytes = modemText(dice);
        break;
    case 8:
        e.kind = Kind::DropLine;
        break;
    case 9:
        e.kind = Kind::HeldElsewhere;
        e.port = faultPort(dice);
        e.on = dice.percent(60);
        break;
    case 10:
        e.kind = Kind::Missing;
        e.port = faultPort(dice);
        e.on = dice.percent(50);
        break;
    case 11:
        e.kind = Kind::Vanish;
        e.ms = dice.percent(60) ? dice.between(1, 30'000) : 0;
        break;
    case 12:
        e.kind = Kind::AnswerNo;
        break;
    default:
        e.kind = Kind::DialogsStayOpen;
        e.ms = dice.percent(40) ? 0 : dice.between(1, 15'000);
        break;
    }
    return e;
}

QString quoted(const QString& text) {
    QString shown = text.size() > 40 ? text.left(37) + "..." : text;
    return QStringLiteral("\"%1\"%2")
        .arg(shown,
             text.size() > 40 ? QStringLiteral(" (%1 characters)").arg(text.size()) : QString());
}

QString bytesShown(const QByteArray& bytes) {
    QString s;
    for (char c : bytes.left(48)) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '\r')
            s += "\\r";
        else if (c == '\n')
            s += "\\n";
        else if (u >= 0x20 && u < 0x7F)
            s += QChar(u);
        else
            s += QStringLiteral("\\x%1").arg(u, 2, 16, QChar(u'0'));
    }
    if (bytes.size() > 48) s += QStringLiteral("... (%1 bytes)").arg(bytes.size());
    return s;
}

const char* outcomeName(Outcome o) {
    switch (o) {
    case Outcome::Connect9600:
        return "CONNECT 9600";
    case Outcome::Connect2400:
        return "CONNECT 2400";
    case Outcome::Busy:
        return "BUSY";
    case Outcome::NoCarrier:
        return "NO CARRIER";
    case Outcome::NoDialtone:
        return "NO DIALTONE";
    case Outcome::Silence:
        return "silence";
    }
    return "?";
}

QString eventShown(const Event& e) {
    switch (e.kind) {
    case Kind::Dial:
        return QStringLiteral("click Dial");
    case Kind::HangUp:
        return QStringLiteral("click Hang Up");
    case Kind::Help:
        return QStringLiteral("click Help");
    case Kind::Quit:
        return QStringLiteral("click Quit");
    case Kind::CloseBox:
        return QStringLiteral("close box");
    case Kind::ComText:
        return QStringLiteral("COM box ") + quoted(e.text);
    case Kind::Number:
        return QStringLiteral("number box ") + quoted(e.text);
    case Kind::ModemSays:
        return QStringLiteral("modem says ") + bytesShown(e.bytes);
    case Kind::DropLine:
        return QStringLiteral("remote end hangs up");
    case Kind::HeldElsewhere:
        return QStringLiteral("COM %1 %2 another program")
            .arg(e.port)
            .arg(e.on ? QStringLiteral("held by") : QStringLiteral("released by"));
    case Kind::Missing:
        return QStringLiteral("COM %1 %2")
            .arg(e.port)
            .arg(e.on ? QStringLiteral("unplugged") : QStringLiteral("plugged in"));
    case Kind::Vanish:
        return e.ms > 0 ? QStringLiteral("device vanishes, back %1 ms later").arg(e.ms)
                        : QStringLiteral("device vanishes for good");
    case Kind::AnswerNo:
        return QStringLiteral("next Yes/No box answered No");
    case Kind::DialogsStayOpen:
        return QStringLiteral("boxes stay open %1 ms").arg(e.ms);
    }
    return QString();
}

} // namespace

Schedule makeSchedule(std::uint64_t seed) {
    Dice dice(seed);
    Schedule s;
    s.seed = seed;
    for (int n = dice.between(1, 4); n > 0; --n)
        s.scripts.append(script(dice));
    s.comText = dice.percent(85) ? QStringLiteral("COM 1") : comText(dice);
    s.number = dice.percent(85) ? s.scripts.first().number : numberText(dice, s.scripts);

    // Most schedules start with a dial, as the operator does.
    if (dice.percent(75)) {
        Event first;
        first.at = dice.percent(50) ? 0 : dice.below(3000);
        s.events.append(first);
    }
    qint64 previous = 0;
    for (int n = dice.between(3, 40); n > 0; --n) {
        previous = eventTime(dice, previous);
        s.events.append(makeEvent(dice, s.scripts, previous));
    }
    std::stable_sort(s.events.begin(), s.events.end(),
                     [](const Event& a, const Event& b) { return a.at < b.at; });
    return s;
}

QString describe(const Schedule& s) {
    QString out = QStringLiteral("schedule of seed %1 (replay: KV_FUZZ_SEED=%1)\n").arg(s.seed);
    for (const NumberScript& n : s.scripts)
        out += QStringLiteral("  number %1 answers %2 after %3 ms\n")
                   .arg(n.number, outcomeName(n.outcome))
                   .arg(n.delayMs);
    out += QStringLiteral("  at start: COM box %1, number box %2\n")
               .arg(quoted(s.comText), quoted(s.number));
    for (const Event& e : s.events)
        out += QStringLiteral("  %1 ms  %2\n").arg(e.at, 7).arg(eventShown(e));
    return out;
}

} // namespace kv::robustness
