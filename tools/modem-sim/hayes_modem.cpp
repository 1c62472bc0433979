#include "hayes_modem.h"

#include <algorithm>

namespace kv::sim {

namespace {

// S12: the escape guard time, and S2: the escape character.
constexpr qint64 GuardMs = 1000;
constexpr char EscapeChar = '+';

char upper(char c) {
    return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c;
}

} // namespace

Script HayesModem::scriptFor(const QString& number) {
    QChar last;
    for (QChar c : number)
        if (c.isDigit()) last = c;
    switch (last.unicode()) {
    case '0':
        return {Outcome::Silence, 0};
    case '2':
        return {Outcome::Connect2400, 5000};
    case '3':
        return {Outcome::Busy, 3000};
    case '4':
        return {Outcome::NoCarrier, 8000};
    case '5':
        return {Outcome::NoDialtone, 2000};
    case 0: // no digit at all: nothing to dial, so nothing answers
        return {Outcome::NoCarrier, 8000};
    default:
        return {Outcome::Connect9600, 5000};
    }
}

void HayesModem::setScript(const QString& number, Script s) {
    scripts_.insert(number, s);
}

void HayesModem::receive(const QByteArray& bytes, qint64 now) {
    advance(now);
    received_.push_back({now, bytes});
    for (char byte : bytes) {
        switch (mode_) {
        case Mode::Dialling:
            // Like a real modem, any key aborts the dial; the key itself is dropped.
            mode_ = Mode::Command;
            dialEndsAt_ = None;
            result("NO CARRIER", now);
            break;
        case Mode::Data:
            dataByte(byte, now);
            break;
        case Mode::Command:
            commandByte(byte, now);
            break;
        }
        lastByteAt_ = now;
    }
}

QByteArray HayesModem::takeOutput(qint64 now) {
    advance(now);
    QByteArray out;
    if (heldBack()) return out;
    auto end = output_.begin();
    while (end != output_.end() && end->at <= now)
        out += (end++)->bytes;
    output_.erase(output_.begin(), end);
    return out;
}

int HayesModem::waiting(qint64 now) {
    advance(now);
    int count = 0;
    if (heldBack()) return count;
    for (const Said& s : output_)
        if (s.at <= now) count += int(s.bytes.size());
    return count;
}

bool HayesModem::dcd(qint64 now) {
    advance(now);
    return ampC_ == 0 || carrier_;
}

bool HayesModem::carrier(qint64 now) {
    advance(now);
    return carrier_;
}

void HayesModem::setDtr(bool on, qint64 now) {
    advance(now);
    const bool dropped = dtr_ && !on;
    dtr_ = on;
    if (!dropped) return;
    if (ampD_ == 2 && (mode_ == Mode::Dialling || carrier_))
        loseCarrier(now);
    else if (ampD_ == 1 && mode_ == Mode::Data)
        finishEscape(now);
}

void HayesModem::cutResults(const QList<int>& after, int gapMs) {
    cuts_ = after;
    cutGapMs_ = gapMs;
}

void HayesModem::inject(const QByteArray& bytes, qint64 at) {
    say(bytes, at);
}

void HayesModem::dropLine(qint64 at) {
    lineDrops_.push_back(at);
}

qint64 HayesModem::nextChangeAt(qint64 now) const {
    qint64 next = None;
    auto consider = [&](qint64 at) {
        if (at != None && (next == None || at < next)) next = at;
    };
    if (mode_ == Mode::Dialling) consider(dialEndsAt_);
    consider(escapeAt_);
    for (qint64 at : lineDrops_)
        consider(at);
    for (const Said& s : output_)
        if (s.at > now) {
            consider(s.at);
            break;
        }
    return next;
}

// Runs everything that falls due up to `now`, earliest first.
void HayesModem::advance(qint64 now) {
    for (;;) {
        const qint64 dial = mode_ == Mode::Dialling ? dialEndsAt_ : None;
        auto drop = std::min_element(lineDrops_.begin(), lineDrops_.end());
        const qint64 dropAt = drop == lineDrops_.end() ? None : *drop;
        qint64 next = None;
        for (qint64 at : {dial, escapeAt_, dropAt})
            if (at != None && at <= now && (next == None || at < next)) next = at;
        if (next == None) return;
        if (next == dial) {
            finishDial(next);
        } else if (next == escapeAt_) {
            finishEscape(next);
        } else {
            lineDrops_.erase(drop);
            if (mode_ == Mode::Dialling || carrier_) loseCarrier(next);
        }
    }
}

void HayesModem::finishDial(qint64 at) {
    mode_ = Mode::Command;
    dialEndsAt_ = None;
    switch (dialScript_.outcome) {
    case Outcome::Connect9600:
    case Outcome::Connect2400:
        connectText_ =
            dialScript_.outcome == Outcome::Connect9600 ? "CONNECT 9600" : "CONNECT 2400";
        mode_ = Mode::Data;
        carrier_ = true;
        plusCount_ = 0;
        result(connectText_.constData(), at);
        break;
    case Outcome::Busy:
        result("BUSY", at);
        break;
    case Outcome::NoCarrier:
        result("NO CARRIER", at);
        break;
    case Outcome::NoDialtone:
        result("NO DIALTONE", at);
        break;
    case Outcome::Silence:
        break;
    }
}

void HayesModem::finishEscape(qint64 at) {
    escapeAt_ = None;
    plusCount_ = 0;
    mode_ = Mode::Command;
    commandLine_.clear();
    result("OK", at);
}

void HayesModem::loseCarrier(qint64 at) {
    mode_ = Mode::Command;
    dialEndsAt_ = None;
    escapeAt_ = None;
    plusCount_ = 0;
    carrier_ = false;
    result("NO CARRIER", at);
}

void HayesModem::commandByte(char byte, qint64 now) {
    if (echo_) say(QByteArray(1, byte), now);
    switch (byte) {
    case '\r':
        execute(commandLine_, now);
        commandLine_.clear();
        break;
    case '\n':
        break;
    case '\b':
        commandLine_.chop(1);
        break;
    default:
        commandLine_ += byte;
    }
}

// An escape is three escape characters, each within the guard time of the one before, with at
// least the guard time of silence before the first and after the last. Every other byte goes
// to the remote end, which nothing here models.
void HayesModem::dataByte(char byte, qint64 now) {
    const bool quietBefore = lastByteAt_ == None || now - lastByteAt_ >= GuardMs;
    if (byte != EscapeChar)
        plusCount_ = 0;
    else if (plusCount_ > 0 && plusCount_ < 3 && !quietBefore)
        ++plusCount_;
    else
        plusCount_ = quietBefore ? 1 : 0;
    escapeAt_ = plusCount_ == 3 ? now + GuardMs : None;
}

// A command line is whatever follows the first "AT"; text before it is noise, as on a modem
// that hunts for the attention characters.
void HayesModem::execute(const QByteArray& line, qint64 now) {
    const qsizetype at = line.toUpper().indexOf("AT");
    if (at < 0) return;
    bool answered = false;
    bool ok = true;
    qsizetype i = at + 2;
    while (ok && !answered && i < line.size())
        ok = executeOne(line, i, now, answered);
    if (!ok)
        result("ERROR", now);
    else if (!answered)
        result("OK", now);
}

// Runs the command at line[i] and moves i past it. `answered`: the command gives its own answer
// in place of "OK" and ends the line.
bool HayesModem::executeOne(const QByteArray& line, qsizetype& i, qint64 now, bool& answered) {
    auto digit = [&](int fallback) {
        if (i < line.size() && line[i] >= '0' && line[i] <= '9') return line[i++] - '0';
        return fallback;
    };
    const char command = upper(line[i++]);
    switch (command) {
    case ' ':
        return true;
    case 'E': {
        const int value = digit(0);
        echo_ = value == 1;
        return value <= 1;
    }
    case 'H':
        if (digit(0) != 0) return false;
        if (carrier_) {
            carrier_ = false;
            connectText_.clear();
        }
        return true;
    case 'Z':
        if (digit(0) != 0) return false;
        carrier_ = false;
        connectText_.clear();
        resetProfile();
        return true;
    case 'O':
        if (digit(0) != 0 || !carrier_) return false;
        mode_ = Mode::Data;
        plusCount_ = 0;
        result(connectText_.constData(), now);
        answered = true;
        return true;
    case 'D': {
        if (carrier_) return false;
        QByteArray dialString = line.mid(i);
        if (!dialString.isEmpty() && (upper(dialString[0]) == 'T' || upper(dialString[0]) == 'P'))
            dialString.remove(0, 1);
        i = line.size();
        startDial(dialString, now);
        answered = true;
        return true;
    }
    case '&': {
        if (i >= line.size()) return false;
        const char which = upper(line[i++]);
        const int value = digit(0);
        if (which == 'F' && value == 0) {
            resetProfile();
            return true;
        }
        if (which == 'C' && value <= 1) {
            ampC_ = value;
            return true;
        }
        if (which == 'D' && value <= 2) {
            ampD_ = value;
            return true;
        }
        if (which == 'K' && (value == 0 || value == 3)) {
            ampK_ = value;
            return true;
        }
        return false;
    }
    default:
        return false;
    }
}

void HayesModem::startDial(const QByteArray& dialString, qint64 now) {
    const QString number = QString::fromLatin1(dialString);
    dialScript_ = scripts_.value(number, scriptFor(number));
    mode_ = Mode::Dialling;
    dialEndsAt_ = dialScript_.outcome == Outcome::Silence ? None : now + dialScript_.delayMs;
}

void HayesModem::resetProfile() {
    echo_ = true;
    ampC_ = 1;
    ampD_ = 2;
    ampK_ = 3;
}

void HayesModem::say(const QByteArray& bytes, qint64 at) {
    auto pos = std::upper_bound(output_.begin(), output_.end(), at,
                                [](qint64 t, const Said& s) { return t < s.at; });
    output_.insert(pos, {at, bytes});
}

void HayesModem::result(const char* text, qint64 at) {
    const QByteArray whole = QByteArray("\r\n") + text + "\r\n";
    qsizetype from = 0;
    for (const int cut : cuts_)
        if (cut > from && cut < whole.size()) {
            say(whole.mid(from, cut - from), at);
            from = cut;
            at += cutGapMs_;
        }
    say(whole.mid(from), at);
}

} // namespace kv::sim
