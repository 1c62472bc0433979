#pragma once

#include "schedule.h"
#include "watched_clock.h"

#include "dialer_rig.h"

#include <QStringList>
#include <memory>
#include <optional>
#include <vector>

namespace kv::robustness {

// Plays one schedule on the whole program (simulated modem, virtual clock, scripted boxes),
// lets everything come to rest and reports each rule the program broke on the way.
//
// A modal box takes the operator's input while it is open, so clicks and typing that fall due
// then are lost; timer ticks and whatever the modem and the port do still happen.
class SchedulePlayer : private ClockWatcher {
  public:
    explicit SchedulePlayer(const Schedule& schedule);
    ~SchedulePlayer() override;

    QStringList play(); // empty when every rule held
    int deepestNesting() const { return rig_->clock.deepest(); }
    bool programEnded() const { return ended(); }
    // What the program did, in time order: status texts, bytes to the modem and boxes.
    QString record() const;

  private:
    enum class Frame { Dial, HangUp, Help, Quit, CloseBox, Poll, Timer1, Timer2, OpenBox };
    struct Running {
        Frame kind;
        qsizetype wireAtStart;
        int interferenceAtStart; // see interference_
        bool lineUp;             // the modem's DTR line was up
        int ownBoxes = 0;
        bool pausing = false;
        bool overtaken = false; // a Dial ran inside this dial
    };
    // Where the record stood at an instant after which nothing more may happen.
    struct Snapshot {
        qint64 at;
        qsizetype wire;
        qsizetype statuses;
        qsizetype boxes;
        int lampChanges;
    };
    struct Stage {
        Frame kind;
        bool hungUp; // a hang-up command stage that lowered DTR on the modem's own port
    };

    void run(const Event& event);
    void click(Frame kind, const std::function<void()>& press);
    void begin(Frame kind);
    Running end();
    Frame role(const Timer& timer) const;
    Snapshot snapshot() const;
    bool ended() const;

    void pauseBegins() override;
    void pauseEnds() override;
    void tickBegins(const Timer& timer) override;
    void tickEnds(const Timer& timer) override;
    void armed(const Timer& timer) override;

    void boxOpens(const Dialog& dialog);
    void statusShown(const QString& text);
    void lampShown(const QString& text);
    void lampIsOneOfItsStates();
    bool hangUpStageEnds(const Running& stage);
    void count();
    void broke(const QString& rule);

    void checkWire();
    void checkStatusSequence();
    void checkEnding();
    void checkRest();

    const Schedule& schedule_;
    std::unique_ptr<WatchedClock> watched_;
    std::unique_ptr<test::DialerRig> rig_;

    std::vector<Running> stack_;
    QStringList broken_;
    bool runaway_ = false;
    bool settled_ = false;
    int lampChanges_ = 0;
    qint64 events_ = 0;
    int boxesOpen_ = 0;
    int holdMs_ = 0;
    // Counts what can close or take away the port under a running stage: Dial and Hang Up
    // clicks, and devices vanishing.
    int interference_ = 0;
    qsizetype statusesAtQuietEnd_ = -1; // when an overtaken dial last ended
    QList<QString> numbersTyped_;
    static constexpr int Frames = int(Frame::OpenBox) + 1;
    int ticks_[Frames] = {};   // by the timer's frame
    int armings_[Frames] = {}; // by the timer's frame
    std::optional<Snapshot> answeredNo_;
    std::optional<Snapshot> closed_;
    std::optional<Stage> lastStage_;
};

} // namespace kv::robustness
