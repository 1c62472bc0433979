#include "error_reporting/error_trap.h"
#include "error_reporting/message_box.h"
#include "error_reporting/program_end.h"
#include "fake_message_box.h"

#include <QTest>

using namespace kv;

namespace {

// The dialog texts as the operator must read them, written out here independently of the code.
const QString CRLF = "\r\n";
const QString Invalid = "You have selected an invalid COM port number. Select a valid COM port "
                        "number and try again" +
                        CRLF + CRLF;
const QString InUseA = "The COM port you have selected to connect to your modem is being used by "
                       "another program.  Close that other program and try again.  Also verify "
                       "that you have selected the correct COM port." +
                       CRLF + CRLF;
const QString InUseHead = "The COM port you have selected to connect to your modem" + CRLF +
                          "is being used by another program such as Ampliview.  Verify that the "
                          "COM port you have selected is indeed" +
                          CRLF;
const QString InUseB = InUseHead +
                       "the port with your modem.  If so, close the other program "
                       "(such as Ampliview) and retry dialing." +
                       CRLF + CRLF;
const QString InUseC = InUseHead +
                       "the port with your modem.  If so, close the other program "
                       "(such as Ampliview)" +
                       CRLF + "and retry dialing." + CRLF + CRLF;
QString unexpected(const QString& number, const QString& routine) {
    return "Unexpected error " + number + " in routine " + routine + CRLF + CRLF +
           "Note error number and situation and contact Kestrel-Downe" + CRLF + CRLF +
           "Do you wish to continue running this program?";
}

enum class Outcome { Continue, Leave, End };

const TrapProfile& profileNamed(const QString& name) {
    if (name == "Dial") return traps::Dial;
    if (name == "HangUp") return traps::HangUp;
    if (name == "Timer1") return traps::Escape;
    return traps::HangUpCommand;
}

} // namespace

Q_DECLARE_METATYPE(Outcome)

class ErrorTrapTest : public QObject {
    Q_OBJECT
  private slots:
    void decidesEachErrorClassPerRoutine_data();
    void decidesEachErrorClassPerRoutine();
    void failedTestRunsTheBranchItGuards();
    void trapStaysArmedForLaterErrors();
    void endingStopsRoutinesPausedBeneath();
};

void ErrorTrapTest::decidesEachErrorClassPerRoutine_data() {
    QTest::addColumn<QString>("routine");
    QTest::addColumn<int>("error");
    QTest::addColumn<int>("answer");
    QTest::addColumn<QString>("text"); // empty: no dialog
    QTest::addColumn<int>("style");
    QTest::addColumn<QString>("resets"); // "I" indicator reset, "C" hang-up cancel, in order
    QTest::addColumn<Outcome>("outcome");

    const int Yes = box::Yes, No = box::No;
    // Dial
    QTest::newRow("Dial 8002") << "Dial" << 8002 << Yes << Invalid << 64 << "" << Outcome::Leave;
    QTest::newRow("Dial 8005") << "Dial" << 8005 << Yes << InUseA << 64 << "I" << Outcome::Continue;
    QTest::newRow("Dial 8012") << "Dial" << 8012 << Yes << "" << 0 << "" << Outcome::Continue;
    QTest::newRow("Dial 8018") << "Dial" << 8018 << Yes << "" << 0 << "" << Outcome::Continue;
    QTest::newRow("Dial 13 Yes") << "Dial" << 13 << Yes << unexpected("13", "ScanVRM") << 324 << ""
                                 << Outcome::Continue;
    QTest::newRow("Dial 13 No") << "Dial" << 13 << No << unexpected("13", "ScanVRM") << 324 << ""
                                << Outcome::End;
    QTest::newRow("Dial negative")
        << "Dial" << -2147221504 << Yes << unexpected("-2147221504", "ScanVRM") << 324 << ""
        << Outcome::Continue;
    // Hang Up
    QTest::newRow("HangUp 8002") << "HangUp" << 8002 << Yes << Invalid << 64 << "C"
                                 << Outcome::Leave;
    QTest::newRow("HangUp 8005") << "HangUp" << 8005 << Yes << InUseB << 64 << "IC"
                                 << Outcome::Leave;
    QTest::newRow("HangUp 8018") << "HangUp" << 8018 << Yes << "" << 0 << "" << Outcome::Continue;
    QTest::newRow("HangUp 6 No") << "HangUp" << 6 << No << unexpected("6", "Timer1") << 324 << ""
                                 << Outcome::End;
    // Escape stage
    QTest::newRow("Timer1 8002") << "Timer1" << 8002 << Yes << Invalid << 64 << "C"
                                 << Outcome::Leave;
    QTest::newRow("Timer1 8005") << "Timer1" << 8005 << Yes << InUseB << 64 << "IC"
                                 << Outcome::Leave;
    QTest::newRow("Timer1 8012") << "Timer1" << 8012 << Yes << "" << 0 << "" << Outcome::Continue;
    QTest::newRow("Timer1 13 Yes")
        << "Timer1" << 13 << Yes << unexpected("13", "Timer1") << 324 << "" << Outcome::Continue;
    // Hang-up command stage: no invalid-port dialog, and Yes/No on the port-in-use text
    QTest::newRow("Timer2 8002 Yes") << "Timer2" << 8002 << Yes << unexpected("8002", "Timer1")
                                     << 324 << "" << Outcome::Continue;
    QTest::newRow("Timer2 8002 No")
        << "Timer2" << 8002 << No << unexpected("8002", "Timer1") << 324 << "" << Outcome::End;
    QTest::newRow("Timer2 8005 Yes")
        << "Timer2" << 8005 << Yes << InUseC << 324 << "IC" << Outcome::Leave;
    QTest::newRow("Timer2 8005 No")
        << "Timer2" << 8005 << No << InUseC << 324 << "IC" << Outcome::Leave;
    QTest::newRow("Timer2 8018") << "Timer2" << 8018 << No << "" << 0 << "" << Outcome::Continue;
}

void ErrorTrapTest::decidesEachErrorClassPerRoutine() {
    QFETCH(QString, routine);
    QFETCH(int, error);
    QFETCH(int, answer);
    QFETCH(QString, text);
    QFETCH(int, style);
    QFETCH(QString, resets);
    QFETCH(Outcome, outcome);

    test::FakeMessageBox messages;
    messages.answers = {answer};
    ProgramEnd programEnd;
    QString done;
    TrapSite site{messages, "/opt/talvo dialer", programEnd, [&] { done += "I"; },
                  [&] { done += "C"; }};
    bool ranOn = false;
    ErrorTrap::guard(profileNamed(routine), site, [&](ErrorTrap& g) {
        g.step([&] { raise(error); });
        g.step([&] { ranOn = true; });
    });

    if (text.isEmpty()) {
        QVERIFY(messages.shown.isEmpty());
    } else {
        QCOMPARE(messages.shown.size(), 1);
        const Dialog& d = messages.shown.first();
        QCOMPARE(d.text.toUtf8(), text.toUtf8()); // byte for byte
        QCOMPARE(d.style, style);
        QCOMPARE(d.title, QString("Talvo Dialer"));
        const bool kvHelp = routine == "Timer1";
        QCOMPARE(d.helpFile, kvHelp ? QString("/opt/talvo dialer/Help/KV.HLP")
                                    : QString("/opt/talvo dialer/PXLHELP.HLP"));
        QCOMPARE(d.helpContext, kvHelp ? 1 : 5003);
    }
    QCOMPARE(done, resets);
    QCOMPARE(ranOn, outcome == Outcome::Continue);
    QCOMPARE(programEnd.ended(), outcome == Outcome::End);
}

void ErrorTrapTest::failedTestRunsTheBranchItGuards() {
    test::FakeMessageBox messages;
    ProgramEnd programEnd;
    TrapSite site{messages, "", programEnd, [] {}, [] {}};
    bool branch = false;
    ErrorTrap::guard(traps::HangUp, site, [&](ErrorTrap& g) {
        if (g.test([]() -> bool { raise(8018); })) branch = true;
    });
    QVERIFY(branch);
}

void ErrorTrapTest::trapStaysArmedForLaterErrors() {
    test::FakeMessageBox messages;
    messages.answers = {box::Yes, box::Yes};
    ProgramEnd programEnd;
    TrapSite site{messages, "", programEnd, [] {}, [] {}};
    int steps = 0;
    ErrorTrap::guard(traps::Dial, site, [&](ErrorTrap& g) {
        g.step([] { raise(8018); });
        g.step([] { raise(13); });
        g.step([] { raise(11); });
        g.step([&] { ++steps; });
    });
    QCOMPARE(messages.shown.size(), 2);
    QCOMPARE(steps, 1);
}

// A routine that ends the program inside another routine's step: neither runs another step.
void ErrorTrapTest::endingStopsRoutinesPausedBeneath() {
    test::FakeMessageBox messages;
    messages.answers = {box::No};
    int ends = 0;
    ProgramEnd programEnd([&] { ++ends; });
    TrapSite site{messages, "", programEnd, [] {}, [] {}};
    QStringList ran;
    ErrorTrap::guard(traps::Dial, site, [&](ErrorTrap& outer) {
        outer.step([&] {
            ErrorTrap::guard(traps::Escape, site, [&](ErrorTrap& inner) {
                inner.step([] { raise(5); });
                inner.step([&] { ran << "inner"; });
            });
        });
        outer.step([&] { ran << "outer"; });
        if (outer.test([&] { return true; })) ran << "branch";
    });
    QVERIFY(ran.isEmpty());
    QVERIFY(programEnd.ended());
    QCOMPARE(ends, 1);
}

QTEST_GUILESS_MAIN(ErrorTrapTest)
#include "error_trap_test.moc"
