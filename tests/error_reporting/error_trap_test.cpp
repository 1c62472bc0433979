#include "fakes.h"

#include "error_reporting/error_trap.h"
#include "error_reporting/program_end.h"

using namespace kv;

// What each routine's trap says and does for each kind of error, where the call sequences do not
// show it already. The routine fails a test, then a step, then would go on: continuing runs the
// branch the test guards and meets the second error in the trap again; leaving and ending run
// nothing more.
class ErrorTrapTest : public QObject {
    Q_OBJECT
  private slots:
    void decidesEachErrorPerRoutine_data() {
        QTest::addColumn<int>("routine"); // 0 Dial, 1 Hang Up, 2 escape, 3 hang-up command
        QTest::addColumn<int>("error");
        QTest::addColumn<int>("answer");
        QTest::addColumn<QString>("box");   // as test::boxName gives it; empty: none
        QTest::addColumn<QString>("after"); // I: indicator reset, C: hang-up cancel, then the end
        const int Yes = box::Yes, No = box::No;
        const QList<std::tuple<int, int, int, const char*, const char*>> rows{
            {0, 8012, Yes, "", "continue"},
            {0, -2147221504, Yes, "error -2147221504 ScanVRM 324 /PXLHELP.HLP#5003", "continue"},
            {1, 8002, Yes, "invalid 64 /PXLHELP.HLP#5003", "C leave"},
            {1, 8005, Yes, "in use B 64 /PXLHELP.HLP#5003", "IC leave"},
            {1, 6, No, "error 6 Timer1 324 /PXLHELP.HLP#5003", "end"},
            {3, 8002, Yes, "error 8002 Timer1 324 /PXLHELP.HLP#5003", "continue"},
            {3, 8005, No, "in use C 324 /PXLHELP.HLP#5003", "IC leave"}};
        for (const auto& [routine, error, answer, box, after] : rows)
            QTest::addRow("routine %d, %d, %s", routine, error, answer == Yes ? "Yes" : "No")
                << routine << error << answer << QString(box) << QString(after);
    }
    void decidesEachErrorPerRoutine() {
        QFETCH(int, routine);
        QFETCH(int, error);
        QFETCH(int, answer);
        QFETCH(QString, box);
        QFETCH(QString, after);
        const TrapProfile* profiles[] = {&traps::Dial, &traps::HangUp, &traps::Escape,
                                         &traps::HangUpCommand};
        test::FakeMessageBox messages;
        messages.answers = {answer, answer};
        ProgramEnd programEnd;
        QString done;
        TrapSite site{messages, "/opt/talvo dialer", programEnd, [&] { done += "I"; },
                      [&] { done += "C"; }};
        QStringList ran;
        ErrorTrap::guard(*profiles[routine], site, [&](ErrorTrap& g) {
            if (g.test([&]() -> bool { kv::raise(error); })) ran << "branch";
            g.step([&] { kv::raise(error); });
            g.step([&] { ran << "next"; });
        });

        const bool goesOn = after.endsWith("continue");
        QCOMPARE(ran, goesOn ? QStringList({"branch", "next"}) : QStringList());
        QStringList boxes;
        for (const Dialog& d : messages.shown)
            boxes << test::boxName(d);
        QCOMPARE(boxes, box.isEmpty() ? QStringList() : QStringList(goesOn ? 2 : 1, box));
        // The resets come with each entry into the trap.
        const QString outcome = goesOn ? "continue" : programEnd.ended() ? "end" : "leave";
        QCOMPARE((done.left(done.size() / (goesOn ? 2 : 1)) + " " + outcome).trimmed(), after);
    }
};

QTEST_GUILESS_MAIN(ErrorTrapTest)
#include "error_trap_test.moc"
