#include "schedule_player.h"

#include "error_reporting/dialog_texts.h"
#include "main_window/caption_label.h"
#include "main_window/colour_value.h"

#include <QPushButton>
#include <QRegularExpression>
#include <QSet>

namespace kv::robustness {

namespace {

constexpr qint64 ScheduleEndMs = 120'000;
constexpr qint64 SettleMs = 10 * 60'000;
constexpr std::size_t MaxFrames = 64;
constexpr qint64 MaxEvents = 2'000'000;
constexpr int MaxReported = 12;

const QString Dialing = QStringLiteral("Dialing ");
const QString HangingUp = QStringLiteral("Hanging up");
const QString Offline = QStringLiteral("Offline - Ready to dial");
const QString Cancelled = QStringLiteral("Hang up attempt cancelled");
const QString DidNotConnect = QStringLiteral("Did not connect at 9600 bps");

const char* frameName(int kind) {
    static const char* const names[] = {"Dial", "Hang Up", "Help",   "Quit",    "close box",
                                        "poll", "Timer1",  "Timer2", "open box"};
    return names[kind];
}

bool fixedStatus(const QString& text) {
    static const QSet<QString> texts{
        "Configuring modem", "AT&&F0",  "AT&&C1", "Connected", "OK to start Ampliview",
        DidNotConnect,       HangingUp, Offline,  Cancelled};
    return texts.contains(text);
}

// A sequence at rest leaves one of these on the status line.
bool restingStatus(const QString& text) {
    return text.isEmpty() || text == Offline || text == Cancelled ||
           text == QStringLiteral("OK to start Ampliview");
}

} // namespace

SchedulePlayer::SchedulePlayer(const Schedule& schedule) : schedule_(schedule) {
    rig_ = std::make_unique<test::DialerRig>([this](test::VirtualClock& clock) -> Clock& {
        ClockWatcher& watcher = *this;
        watched_ = std::make_unique<WatchedClock>(clock, watcher);
        return *watched_;
    });
}

SchedulePlayer::~SchedulePlayer() = default;

QStringList SchedulePlayer::play() {
    test::DialerRig& rig = *rig_;
    for (const NumberScript& n : schedule_.scripts)
        rig.modem().setScript(n.number, {n.outcome, n.delayMs});
    rig.selectPort(schedule_.comText);
    rig.enterNumber(schedule_.number);
    numbersTyped_.append(schedule_.number);

    rig.box.whileOpen = [this](const Dialog& d) { boxOpens(d); };
    QObject::connect(rig.window().lblStatus, &CaptionLabel::captionChanged,
                     [this](const QString& text) { statusShown(text); });
    QObject::connect(rig.window().txtReply, &CaptionLabel::captionChanged,
                     [this](const QString& text) {
                         if (text.contains(u'\r') || text.contains(u'\n'))
                             broke(QStringLiteral("the reply box shows a line break"));
                     });
    QObject::connect(rig.window().txtModemStatus, &CaptionLabel::captionChanged,
                     [this](const QString& text) { lampShown(text); });
    QObject::connect(&rig.window(), &MainWindow::closeRequested, [this] {
        if (!closed_) closed_ = snapshot();
    });

    for (const Event& e : schedule_.events)
        rig.clock.at(e.at, [this, &e] { run(e); });
    rig.clock.runUntil(ScheduleEndMs);
    rig.clock.runFor(SettleMs);
    settled_ = true;

    checkWire();
    checkStatusSequence();
    checkEnding();
    if (!runaway_ && !ended()) checkRest();
    return broken_;
}

void SchedulePlayer::run(const Event& e) {
    test::DialerRig& rig = *rig_;
    using Kind = Event::Kind;
    switch (e.kind) {
    case Kind::Dial:
        return click(Frame::Dial, [&] { rig.clickDial(); });
    case Kind::HangUp:
        return click(Frame::HangUp, [&] { rig.clickHangUp(); });
    case Kind::Help:
        return click(Frame::Help, [&] { rig.window().buttonHelp->click(); });
    case Kind::Quit:
        return click(Frame::Quit, [&] { rig.window().buttonQuit->click(); });
    case Kind::CloseBox:
        return click(Frame::CloseBox, [&] { rig.window().close(); });
    case Kind::ComText:
        if (boxesOpen_ == 0) rig.selectPort(e.text);
        return;
    case Kind::Number:
        if (boxesOpen_ > 0) return;
        numbersTyped_.append(e.text);
        rig.enterNumber(e.text);
        return;
    case Kind::ModemSays:
        return rig.modem().inject(e.bytes, rig.clock.now());
    case Kind::DropLine:
        return rig.modem().dropLine(rig.clock.now());
    case Kind::HeldElsewhere:
        return rig.port.setHeldElsewhere(e.port, e.on);
    case Kind::Missing:
        return rig.port.setMissing(e.port, e.on);
    case Kind::Vanish: {
        ++interference_;
        const int port = rig.port.portOpen() ? rig.port.commPort() : 1;
        rig.port.vanish();
        if (e.ms > 0)
            rig.clock.at(rig.clock.now() + e.ms,
                         [&rig, port] { rig.port.setMissing(port, false); });
        return;
    }
    case Kind::AnswerNo:
        rig.box.answers.append(box::No);
        return;
    case Kind::DialogsStayOpen:
        holdMs_ = e.ms;
        return;
    }
}

void SchedulePlayer::click(Frame kind, const std::function<void()>& press) {
    if (boxesOpen_ > 0) return; // the modal box has the input
    if (kind == Frame::Dial || kind == Frame::HangUp) ++interference_;
    // A dial that another Dial ran inside ends quietly and leaves its last text where it was.
    if (kind == Frame::Dial)
        for (Running& r : stack_)
            r.overtaken = r.overtaken || r.kind == Frame::Dial;
    begin(kind);
    press();
    end();
    // Hang Up ends any wait for a connection, at its next test.
    if (kind == Frame::HangUp && rig_->calls().WaitForConnect && !ended())
        broke(QStringLiteral("Hang Up left the wait for a connection running"));
}

void SchedulePlayer::begin(Frame kind) {
    count();
    stack_.push_back(
        {kind, qsizetype(rig_->modem().received().size()), interference_, rig_->port.dtr()});
    if (stack_.size() > MaxFrames && !runaway_) {
        broke(QStringLiteral("handlers nested %1 deep").arg(stack_.size()));
        runaway_ = true;
        rig_->clock.stop();
    }
}

SchedulePlayer::Running SchedulePlayer::end() {
    const Running done = stack_.back();
    stack_.pop_back();
    if (done.overtaken) statusesAtQuietEnd_ = rig_->statuses.size();
    lampIsOneOfItsStates();
    if (done.kind == Frame::Dial || done.kind == Frame::HangUp || done.kind == Frame::Timer1)
        lastStage_ = Stage{done.kind, false};
    return done;
}

QString SchedulePlayer::record() const {
    QList<QPair<qint64, QString>> lines;
    for (const auto& s : rig_->statuses)
        lines.append({s.first, "status  " + s.second});
    for (const auto& w : rig_->modem().received())
        lines.append(
            {w.at, "sent    " + QString::fromLatin1(w.bytes.left(60)).replace('\r', "\\r")});
    std::stable_sort(lines.begin(), lines.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    QString out;
    for (const auto& l : lines)
        out += QStringLiteral("  %1 ms  %2\n").arg(l.first, 7).arg(l.second);
    for (const Dialog& d : rig_->box.shown)
        out += QStringLiteral("  box     %1\n").arg(d.text.section(u'\r', 0, 0));
    return out;
}

SchedulePlayer::Frame SchedulePlayer::role(const Timer& timer) const {
    const Form& form = rig_->form();
    if (&timer == form.Timer1) return Frame::Timer1;
    if (&timer == form.Timer2) return Frame::Timer2;
    return Frame::Poll;
}

SchedulePlayer::Snapshot SchedulePlayer::snapshot() const {
    return {rig_->clock.now(), qsizetype(rig_->modem().received().size()), rig_->statuses.size(),
            rig_->box.shown.size(), lampChanges_};
}

bool SchedulePlayer::ended() const {
    return rig_->frm.programEnd().ended();
}

void SchedulePlayer::count() {
    if (++events_ <= MaxEvents || runaway_) return;
    broke(QStringLiteral("more than %1 pauses, ticks and boxes: the run does not settle")
              .arg(MaxEvents));
    runaway_ = true;
    rig_->clock.stop();
}

void SchedulePlayer::broke(const QString& rule) {
    if (broken_.size() >= MaxReported) return;
    broken_.append(settled_ ? QStringLiteral("at rest: ") + rule
                            : QStringLiteral("at %1 ms: %2").arg(rig_->clock.now()).arg(rule));
}

// Each running handler waits in at most one pause at a time; a pause needs a handler to run in.
void SchedulePlayer::pauseBegins() {
    count();
    if (stack_.empty()) return broke(QStringLiteral("a pause outside any handler"));
    if (stack_.back().pausing)
        broke(QStringLiteral("%1 paused inside its own pause")
                  .arg(frameName(int(stack_.back().kind))));
    stack_.back().pausing = true;
}

void SchedulePlayer::pauseEnds() {
    if (!stack_.empty()) stack_.back().pausing = false;
}

void SchedulePlayer::tickBegins(const Timer& timer) {
    const Frame kind = role(timer);
    if (ended())
        broke(QStringLiteral("%1 ticked after the program ended").arg(frameName(int(kind))));
    for (const Running& r : stack_)
        if (r.kind == kind)
            broke(QStringLiteral("%1 ticked inside its own tick").arg(frameName(int(kind))));
    ++ticks_[int(kind)];
    begin(kind);
}

void SchedulePlayer::tickEnds(const Timer& timer) {
    const Running done = end();
    if (role(timer) == Frame::Timer2) lastStage_ = Stage{Frame::Timer2, hangUpStageEnds(done)};
}

void SchedulePlayer::armed(const Timer& timer) {
    ++armings_[int(role(timer))];
}

// A hang-up command stage that found the port open and met no error of its own leaves the port
// closed with DTR off. Unless a click or a vanishing device took the port away under it, it
// lowered the DTR line of the modem's port itself; if the line was up before, the modem, with
// the factory profile's &D2, is on-hook. Returns whether it got that far.
bool SchedulePlayer::hangUpStageEnds(const Running& stage) {
    const auto& wire = rig_->modem().received();
    bool sentATH = false;
    for (std::size_t i = std::size_t(stage.wireAtStart); i < wire.size(); ++i)
        sentATH = sentATH || wire[i].bytes == "ATH\r";
    if (!sentATH || stage.ownBoxes > 0 || ended()) return false;
    if (rig_->port.portOpen())
        broke(QStringLiteral("the hang-up command stage left the port open"));
    if (rig_->port.dtrEnable()) broke(QStringLiteral("the hang-up command stage left DTR enabled"));
    if (stage.interferenceAtStart != interference_) return false;
    if (rig_->port.dtr()) broke(QStringLiteral("the hang-up command stage left the DTR line up"));
    if (!stage.lineUp) return false; // the line was down already: no edge to hang up on
    if (rig_->modem().carrier(rig_->clock.now()))
        broke(QStringLiteral("the modem still holds the call after the hang-up command stage"));
    return true;
}

void SchedulePlayer::boxOpens(const Dialog& d) {
    test::DialerRig& rig = *rig_;
    count();
    if (stack_.empty()) {
        broke(QStringLiteral("a box opened outside any handler"));
    } else {
        ++stack_.back().ownBoxes;
        const Frame owner = stack_.back().kind;
        const bool kvHelp = d.helpFile.endsWith(QStringLiteral("KV.HLP")) && d.helpContext == 1;
        const bool pxlHelp =
            d.helpFile.endsWith(QStringLiteral("PXLHELP.HLP")) && d.helpContext == 5003;
        bool expected = false;
        if (owner == Frame::Dial)
            expected = (d.text == texts::MissingNumber && kvHelp) ||
                       ((d.text == texts::InvalidPort || d.text == texts::PortInUseA ||
                         d.text == texts::unexpectedError(13, " in routine ScanVRM")) &&
                        pxlHelp);
        else if (owner == Frame::Timer1)
            expected = (d.text == texts::InvalidPort || d.text == texts::PortInUseB ||
                        d.text == texts::unexpectedError(13, " in routine Timer1")) &&
                       kvHelp;
        else if (owner == Frame::Help)
            expected = d.text.startsWith(QStringLiteral("Help is not available."));
        if (!expected || d.title != texts::Title)
            broke(QStringLiteral("%1 showed an unexpected box: \"%2\"")
                      .arg(frameName(int(owner)), d.text.section(u'\r', 0, 0)));
    }

    if (holdMs_ > 0 && !rig.clock.stopped()) {
        begin(Frame::OpenBox);
        ++boxesOpen_;
        rig.clock.pause(holdMs_);
        --boxesOpen_;
        end();
    }
    if ((d.style & 0xF) == (box::YesNoInformationNo & 0xF)) {
        const int answer = rig.box.answers.isEmpty() ? rig.box.otherwise : rig.box.answers.first();
        if (answer == box::No && !answeredNo_) answeredNo_ = snapshot();
    }
}

void SchedulePlayer::statusShown(const QString& text) {
    static const QRegularExpression waiting(
        QStringLiteral("^Waiting to Connect: (-?\\d+) seconds$"));
    const auto m = waiting.match(text);
    if (m.hasMatch()) {
        const int seconds = m.captured(1).toInt();
        if (seconds < 0 || seconds > 44)
            broke(QStringLiteral("the countdown shows %1").arg(seconds));
        return;
    }
    if (text.startsWith(Dialing) && numbersTyped_.contains(text.mid(Dialing.size()))) return;
    if (!fixedStatus(text)) broke(QStringLiteral("unknown status \"%1\"").arg(text.left(60)));
}

// Only an open port has a carrier to show.
void SchedulePlayer::lampShown(const QString& text) {
    ++lampChanges_;
    if (text == QStringLiteral("<Unknown>")) return;
    if (text != QStringLiteral("Detected") && text != QStringLiteral("Not Detected"))
        return broke(QStringLiteral("the lamp reads \"%1\"").arg(text));
    if (!rig_->port.portOpen() && !(text == "Not Detected" && rig_->port.deviceVanished()))
        broke(QStringLiteral("the lamp reads \"%1\" with the port closed").arg(text));
}

void SchedulePlayer::lampIsOneOfItsStates() {
    const QString caption = rig_->lamp();
    const std::uint32_t colour = rig_->lampColour();
    const bool ok = (caption == QStringLiteral("Detected") && colour == colour::Green) ||
                    (caption == QStringLiteral("Not Detected") && colour == colour::Yellow) ||
                    (caption == QStringLiteral("<Unknown>") && colour == colour::InactiveBorder);
    if (!ok)
        broke(QStringLiteral("the lamp reads \"%1\" on colour %2").arg(caption).arg(colour, 0, 16));
}

// Only the five commands reach the modem, "+++" alone, each escape and hang-up command from a
// tick of its own, and each tick from an arming of its own.
void SchedulePlayer::checkWire() {
    QSet<QByteArray> dials;
    for (const QString& n : numbersTyped_)
        dials.insert("ATDT" + ModemPort::toWireBytes(n) + "\r");
    int escapes = 0;
    int hangUps = 0;
    for (const auto& w : rig_->modem().received()) {
        if (w.bytes == "+++")
            ++escapes;
        else if (w.bytes == "ATH\r")
            ++hangUps;
        else if (w.bytes != "AT&F0\r" && w.bytes != "AT&C1\r" && !dials.contains(w.bytes))
            broke(QStringLiteral("sent \"%1\" at %2 ms")
                      .arg(QString::fromLatin1(w.bytes.left(60)))
                      .arg(w.at));
    }
    const int t1 = int(Frame::Timer1);
    const int t2 = int(Frame::Timer2);
    if (escapes > ticks_[t1] || ticks_[t1] > armings_[t1])
        broke(QStringLiteral("%1 escapes from %2 Timer1 ticks of %3 armings")
                  .arg(escapes)
                  .arg(ticks_[t1])
                  .arg(armings_[t1]));
    if (hangUps > ticks_[t2] || ticks_[t2] > armings_[t2])
        broke(QStringLiteral("%1 hang-up commands from %2 Timer2 ticks of %3 armings")
                  .arg(hangUps)
                  .arg(ticks_[t2])
                  .arg(armings_[t2]));
}

// A failed dial hangs up at once, and a hang-up ends in offline or in its cancellation.
void SchedulePlayer::checkStatusSequence() {
    const auto& s = rig_->statuses;
    for (qsizetype i = 0; i < s.size(); ++i) {
        if (s[i].second == DidNotConnect &&
            (i + 1 == s.size() || s[i + 1].second != HangingUp || s[i + 1].first != s[i].first))
            broke(QStringLiteral("\"%1\" at %2 ms is not followed by \"%3\"")
                      .arg(DidNotConnect)
                      .arg(s[i].first)
                      .arg(HangingUp));
        if (s[i].second != HangingUp || ended()) continue;
        bool finished = false;
        for (qsizetype j = i + 1; j < s.size() && !finished; ++j)
            finished = s[j].second == Offline || s[j].second == Cancelled;
        if (!finished)
            broke(QStringLiteral("the hang-up begun at %1 ms never ended").arg(s[i].first));
    }
}

// After a No or a Quit, nothing more reaches the modem, the status line or the operator.
void SchedulePlayer::checkEnding() {
    const test::DialerRig& rig = *rig_;
    const Snapshot now = snapshot();
    auto nothingSince = [&](const Snapshot& then, const QString& what) {
        if (now.wire != then.wire)
            broke(QStringLiteral("%1 bytes went to the modem after %2 at %3 ms")
                      .arg(now.wire - then.wire)
                      .arg(what)
                      .arg(then.at));
        if (now.statuses != then.statuses)
            broke(QStringLiteral("the status line changed to \"%1\" after %2 at %3 ms")
                      .arg(rig.statuses.last().second, what)
                      .arg(then.at));
        if (now.boxes != then.boxes)
            broke(QStringLiteral("a box opened after %1 at %2 ms").arg(what).arg(then.at));
        if (now.lampChanges != then.lampChanges)
            broke(QStringLiteral("the lamp changed to \"%1\" after %2 at %3 ms")
                      .arg(rig.lamp(), what)
                      .arg(then.at));
    };
    if (answeredNo_) {
        if (!ended()) broke(QStringLiteral("a No did not end the program"));
        nothingSince(*answeredNo_, QStringLiteral("the No"));
    }
    if (!ended()) return;
    if (!closed_) return broke(QStringLiteral("the program ended with its window open"));
    nothingSince(*closed_, QStringLiteral("the end"));
    if (rig.quits != 1)
        broke(QStringLiteral("the application was told to quit %1 times").arg(rig.quits));
    if (!rig.clock.stopped()) broke(QStringLiteral("the clock runs on after the end"));
}

// Ten idle minutes later every sequence has finished: the hang-up timers are off, the port is
// closed, the status line shows where things came to rest, and if the last stage hung up the
// modem, the modem is on-hook.
void SchedulePlayer::checkRest() {
    test::DialerRig& rig = *rig_;
    if (!stack_.empty() || boxesOpen_ > 0) broke(QStringLiteral("handlers still running at rest"));
    if (rig.form().Timer1->enabled()) broke(QStringLiteral("Timer1 left enabled"));
    if (rig.form().Timer2->enabled()) broke(QStringLiteral("Timer2 left enabled"));
    if (rig.port.portOpen()) broke(QStringLiteral("the port left open"));
    if (!restingStatus(rig.status()) && rig.statuses.size() != statusesAtQuietEnd_)
        broke(QStringLiteral("the status line rests at \"%1\"").arg(rig.status()));
    if (lastStage_ && lastStage_->hungUp && rig.modem().carrier(rig.clock.now()))
        broke(QStringLiteral("the modem is off-hook after the last hang-up"));
    lampIsOneOfItsStates();
}

} // namespace kv::robustness
