#include "schedule.h"
#include "schedule_player.h"

#include <QTest>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>

using namespace kv::robustness;

namespace {

constexpr std::uint64_t FixedSeedCount = 2000;
constexpr int MaxFailuresShown = 5;

std::uint64_t fromEnvironment(const char* name, std::uint64_t fallback) {
    bool ok = false;
    const qulonglong value = qEnvironmentVariable(name).toULongLong(&ok);
    return ok ? value : fallback;
}

// A schedule whose run never returns has frozen the program inside one handler, where no
// virtual-time limit can reach it. Real time only decides when to give up and print the
// schedule; no result depends on it.
class FreezeGuard {
  public:
    FreezeGuard() : thread_([this] { watch(); }) {}
    ~FreezeGuard() {
        {
            std::lock_guard lock(mutex_);
            done_ = true;
        }
        wake_.notify_all();
        thread_.join();
    }
    void playing(std::uint64_t seed) {
        {
            std::lock_guard lock(mutex_);
            seed_ = seed;
            ++generation_;
        }
        wake_.notify_all();
    }

  private:
    void watch() {
        std::unique_lock lock(mutex_);
        for (;;) {
            const std::uint64_t seen = generation_;
            if (wake_.wait_for(lock, std::chrono::seconds(60),
                               [&] { return done_ || generation_ != seen; })) {
                if (done_) return;
                continue;
            }
            std::fprintf(stderr, "The program froze playing this %s",
                         qPrintable(describe(makeSchedule(seed_))));
            std::abort();
        }
    }

    std::mutex mutex_;
    std::condition_variable wake_;
    std::uint64_t seed_ = 0;
    std::uint64_t generation_ = 0;
    bool done_ = false;
    std::thread thread_;
};

} // namespace

// Thousands of seeded schedules of clicks, typing, modem talk, port faults and dialog answers,
// each played on the whole program in virtual time. KV_FUZZ_SEED=n replays one schedule and
// prints it; KV_FUZZ_FIRST and KV_FUZZ_COUNT choose another range of seeds.
class ScheduleFuzzTest : public QObject {
    Q_OBJECT
  private slots:
    void everyScheduleKeepsTheRules();
};

void ScheduleFuzzTest::everyScheduleKeepsTheRules() {
    const bool replay = qEnvironmentVariableIsSet("KV_FUZZ_SEED");
    const std::uint64_t first =
        replay ? fromEnvironment("KV_FUZZ_SEED", 0) : fromEnvironment("KV_FUZZ_FIRST", 1);
    const std::uint64_t count = replay ? 1 : fromEnvironment("KV_FUZZ_COUNT", FixedSeedCount);

    FreezeGuard guard;
    std::uint64_t failures = 0;
    std::uint64_t ended = 0;
    int deepest = 0;
    for (std::uint64_t seed = first; seed < first + count; ++seed) {
        guard.playing(seed);
        const Schedule schedule = makeSchedule(seed);
        SchedulePlayer player(schedule);
        const QStringList broken = player.play();
        deepest = std::max(deepest, player.deepestNesting());
        ended += player.programEnded() ? 1 : 0;
        if (replay)
            qInfo().noquote() << describe(schedule) + "what the program did:\n" + player.record();
        if (broken.isEmpty()) continue;
        if (++failures <= MaxFailuresShown)
            qWarning().noquote() << describe(schedule) + "broke:\n  " + broken.join("\n  ");
    }
    qInfo("%llu schedules from seed %llu: %llu ended the program, pauses nested %d deep at most",
          qulonglong(count), qulonglong(first), qulonglong(ended), deepest);
    if (failures > 0)
        QFAIL(
            qPrintable(QStringLiteral("%1 of %2 schedules broke a rule").arg(failures).arg(count)));
}

QTEST_MAIN(ScheduleFuzzTest)
#include "schedule_fuzz_test.moc"
