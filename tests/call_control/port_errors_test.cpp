#include "dialer_rig.h"

#include "main_window/caption_label.h"
#include "main_window/colour_value.h"
#include "modem_port/clock.h"

#include <QComboBox>
#include <QPushButton>
#include <QTest>

using namespace kv;
using namespace kv::test;
using sim::Outcome;

namespace {
const QString InUseA = "The COM port you have selected to connect to your modem is being used by "
                       "another program.";
const QString InUseB = "The COM port you have selected to connect to your modem\r\nis being used "
                       "by another program such as Ampliview.";
const QString Invalid = "You have selected an invalid COM port number.";

QStringList dialogStarts(const DialerRig& rig) {
    QStringList starts;
    for (const Dialog& d : rig.box.shown)
        starts << d.text.left(d.text.indexOf('.') + 1);
    return starts;
}
} // namespace

class PortErrorsTest : public QObject {
    Q_OBJECT
  private slots:
    void portHeldElsewhereCancelsTheHangUp_data();
    void portHeldElsewhereCancelsTheHangUp();
    void invalidPort_data();
    void invalidPort();
    void nonDigitPortAsksWhetherToGoOn_data();
    void nonDigitPortAsksWhetherToGoOn();
    void endingInsideAPauseStopsTheRoutineBeneath();
    void quitDuringACallSendsNothingMore_data();
    void quitDuringACallSendsNothingMore();
};

void PortErrorsTest::portHeldElsewhereCancelsTheHangUp_data() {
    QTest::addColumn<bool>("dial");
    QTest::addColumn<bool>("connectedBefore"); // an earlier dial of the process connected
    QTest::addColumn<QStringList>("dialogs");
    QTest::newRow("at Dial") << true << false << QStringList{InUseA, InUseB};
    // Ampliview holds the port after a call: that dial's success is not this one's.
    QTest::newRow("at Dial after a call") << true << true << QStringList{InUseA, InUseB};
    QTest::newRow("at the escape stage") << false << false << QStringList{InUseB};
}

void PortErrorsTest::portHeldElsewhereCancelsTheHangUp() {
    QFETCH(bool, dial);
    QFETCH(bool, connectedBefore);
    QFETCH(QStringList, dialogs);

    DialerRig rig;
    rig.enterNumber("5551234");
    if (connectedBefore) {
        rig.modem().setScript("5551234", {Outcome::Connect9600, 2000});
        rig.clickDial();
        rig.modem().dropLine(rig.clock.now());
    }
    const qsizetype sentBefore = rig.wire().size();
    rig.port.setHeldElsewhere(1);
    if (dial) {
        rig.clickDial();
        // The dial goes on with the port closed, straight to its failure path.
        QCOMPARE(rig.statuses.last().second, QString("Hanging up"));
        QCOMPARE(rig.lamp(), QString("<Unknown>"));
        QCOMPARE(rig.lampColour(), colour::InactiveBorder);
    } else {
        rig.clickHangUp();
    }
    rig.clock.runFor(20'000);

    QStringList shown;
    for (const Dialog& d : rig.box.shown)
        shown << d.text.left(dialogs.value(shown.size()).size());
    QCOMPARE(shown, dialogs);
    QCOMPARE(rig.status(), QString("Hang up attempt cancelled"));
    QCOMPARE(rig.lamp(), QString("<Unknown>"));
    QVERIFY(!rig.form().Timer1->enabled());
    QVERIFY(!rig.form().Timer2->enabled());
    QCOMPARE(rig.wire().size(), sentBefore);
}

void PortErrorsTest::invalidPort_data() {
    QTest::addColumn<QString>("combo");
    QTest::addColumn<bool>("dial");
    QTest::newRow("COM 9 at Dial") << "COM 9" << true;
    QTest::newRow("COM 0 at Dial") << "COM 0" << true;
    QTest::newRow("COM 9 at the escape stage") << "COM 9" << false;
    QTest::newRow("COM 0 at the escape stage") << "COM 0" << false;
}

void PortErrorsTest::invalidPort() {
    QFETCH(QString, combo);
    QFETCH(bool, dial);

    DialerRig rig;
    rig.port.setMissing(9);
    rig.selectPort(combo);
    rig.enterNumber("5551234");
    rig.window().lblStatus->setCaption("Offline - Ready to dial");
    dial ? rig.clickDial() : rig.clickHangUp();
    rig.clock.runFor(20'000);

    QCOMPARE(dialogStarts(rig), QStringList{Invalid});
    QCOMPARE(rig.box.shown.first().style, 64);
    QCOMPARE(rig.status(), QString(dial ? "Offline - Ready to dial" : "Hang up attempt cancelled"));
    QVERIFY(!rig.port.portOpen());
    QVERIFY(rig.wire().isEmpty());
    QVERIFY(!rig.form().Timer1->enabled());
}

void PortErrorsTest::nonDigitPortAsksWhetherToGoOn_data() {
    QTest::addColumn<bool>("dial");
    QTest::addColumn<int>("answer");
    QTest::addColumn<QString>("routine");
    QTest::addColumn<QByteArray>("firstSent"); // empty: nothing reaches the modem
    QTest::newRow("Dial, Yes") << true << int(box::Yes) << " in routine ScanVRM"
                               << QByteArray("AT&F0\r");
    QTest::newRow("Dial, No") << true << int(box::No) << " in routine ScanVRM" << QByteArray();
    QTest::newRow("escape, Yes") << false << int(box::Yes) << " in routine Timer1"
                                 << QByteArray("+++");
    QTest::newRow("escape, No") << false << int(box::No) << " in routine Timer1" << QByteArray();
}

// The port number the port already held (1) is used when the operator goes on.
void PortErrorsTest::nonDigitPortAsksWhetherToGoOn() {
    QFETCH(bool, dial);
    QFETCH(int, answer);
    QFETCH(QString, routine);
    QFETCH(QByteArray, firstSent);

    DialerRig rig;
    rig.selectPort("COMx");
    rig.enterNumber("5551234");
    rig.box.answers = {answer};
    rig.hangUpAt(dial ? 3050 : 0);
    if (dial) rig.clickDial();
    rig.clock.runFor(20'000);

    // Going on at Dial leads to the escape stage, which meets the same text and asks again.
    QCOMPARE(rig.box.shown.size(), dial && answer == box::Yes ? 2 : 1);
    QCOMPARE(rig.box.shown.first().text.section("\r\n", 0, 0), "Unexpected error 13" + routine);
    QCOMPARE(rig.box.shown.first().style, 324);
    QCOMPARE(rig.wire().value(0).second, firstSent);
    QCOMPARE(rig.quits, answer == box::No ? 1 : 0);
    if (answer == box::No) {
        QVERIFY(rig.frm.programEnd().ended());
        QVERIFY(!rig.window().isVisible());
        QVERIFY(rig.clock.stopped());
    }
}

// An error dialog answered No in the escape stage: nothing more runs. The dial that Hang Up
// cancelled before it dialled has ended by then.
void PortErrorsTest::endingInsideAPauseStopsTheRoutineBeneath() {
    DialerRig rig;
    rig.enterNumber("5551234");
    rig.box.answers = {box::No};
    rig.clock.at(1500, [&] {
        rig.selectPort("COMx");
        rig.clickHangUp();
    });
    rig.clickDial();
    const qsizetype said = rig.statuses.size();
    rig.clock.runFor(60'000);

    QCOMPARE(rig.box.shown.size(), 1);
    QVERIFY(rig.box.shown.first().text.startsWith("Unexpected error 13 in routine Timer1"));
    QCOMPARE(rig.wire(), (Wire{{0, "AT&F0\r"}, {1000, "AT&C1\r"}}));
    QCOMPARE(rig.statuses.size(), said);
    QCOMPARE(rig.statuses.last(), qMakePair(qint64(1500), QString("Hanging up")));
    QCOMPARE(rig.quits, 1);
}

void PortErrorsTest::quitDuringACallSendsNothingMore_data() {
    QTest::addColumn<bool>("closeBox");
    QTest::newRow("Quit") << false;
    QTest::newRow("close box") << true;
}

void PortErrorsTest::quitDuringACallSendsNothingMore() {
    QFETCH(bool, closeBox);
    DialerRig rig;
    rig.enterNumber("5551234");
    rig.window().show();
    rig.clock.at(1500,
                 [&] { closeBox ? void(rig.window().close()) : rig.window().buttonQuit->click(); });
    rig.clickDial();
    rig.clock.runFor(60'000);

    QCOMPARE(rig.wire(), (Wire{{0, "AT&F0\r"}, {1000, "AT&C1\r"}}));
    QCOMPARE(rig.quits, 1);
    QVERIFY(!rig.window().isVisible());
    QVERIFY(rig.box.shown.isEmpty());
}

QTEST_MAIN(PortErrorsTest)
#include "port_errors_test.moc"
