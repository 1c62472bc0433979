#include "dialer_rig.h"

#include "main_window/caption_label.h"
#include "main_window/colour_value.h"
#include "modem_port/clock.h"

#include <QTest>

using namespace kv;
using namespace kv::test;
using sim::Outcome;

class HangUpTest : public QObject {
    Q_OBJECT
  private slots:
    void stagedHangUpAfterAConnection();
    void clicksWithin2sGiveOneEscape_data();
    void clicksWithin2sGiveOneEscape();
    void hangUpDuringTheWaitEndsItAtTheNextTest();
    void hangUpWhileConfiguringCancelsTheDial();
    void secondHangUpDuringTheFourSecondPause();
};

void HangUpTest::stagedHangUpAfterAConnection() {
    DialerRig rig;
    rig.modem().setScript("5551234", {Outcome::Connect9600, 2000});
    rig.enterNumber("5551234");
    rig.clickDial();
    rig.hangUpAt(20'000);
    QString lampAfterClick;
    rig.clock.at(20'000, [&] { lampAfterClick = rig.lamp(); });
    QString replyAfterEscape;
    rig.clock.at(23'500, [&] { replyAfterEscape = rig.reply(); });
    rig.clock.runFor(40'000);

    QCOMPARE(lampAfterClick, QString("<Unknown>"));
    QCOMPARE(rig.wire().mid(3), Wire({{22'000, "+++"}, {25'000, "ATH\r"}}));
    QCOMPARE(replyAfterEscape, QString("OK"));
    QCOMPARE(rig.reply(), QString("ATHOK"));
    QCOMPARE(rig.statusesFrom(20'000),
             Timeline({{20'000, "Hanging up"}, {30'000, "Offline - Ready to dial"}}));
    QVERIFY(!rig.port.portOpen());
    QVERIFY(!rig.port.dtr());
    QVERIFY(!rig.modem().carrier(rig.clock.now()));
    // The lamp keeps the reading taken just before the port closed.
    QCOMPARE(rig.lamp(), QString("Not Detected"));
    QCOMPARE(rig.lampColour(), colour::Yellow);
    QVERIFY(!rig.form().tmrCheckModem->enabled());
    QVERIFY(!rig.form().Timer1->enabled());
    QVERIFY(!rig.form().Timer2->enabled());
}

void HangUpTest::clicksWithin2sGiveOneEscape_data() {
    QTest::addColumn<QList<int>>("clicks");
    QTest::addColumn<int>("escapeAt");
    QTest::newRow("one click") << QList<int>{0} << 2000;
    QTest::newRow("three clicks 1000 ms apart") << QList<int>{0, 1000, 2000} << 4000;
    QTest::newRow("second click just in time") << QList<int>{0, 1999} << 3999;
}

// With nothing up, the whole staged hang-up still runs on the port in the COM-port box.
void HangUpTest::clicksWithin2sGiveOneEscape() {
    QFETCH(QList<int>, clicks);
    QFETCH(int, escapeAt);

    DialerRig rig;
    rig.clickHangUp();
    QVERIFY(rig.form().tmrCheckModem->enabled());
    QCOMPARE(rig.lamp(), QString("<Unknown>"));
    for (int at : clicks.mid(1))
        rig.hangUpAt(at);
    rig.clock.runFor(20'000);

    QCOMPARE(rig.wire(), Wire({{escapeAt, "+++"}, {escapeAt + 3000, "ATH\r"}}));
    QCOMPARE(rig.port.opens(), 1);
    QCOMPARE(rig.status(), QString("Offline - Ready to dial"));
    QCOMPARE(rig.lamp(), QString("Not Detected"));
}

void HangUpTest::hangUpDuringTheWaitEndsItAtTheNextTest() {
    DialerRig rig;
    rig.modem().setScript("5551234", {Outcome::Silence, 0});
    rig.enterNumber("5551234");
    rig.hangUpAt(10'000);
    QString lampAfterClick;
    rig.clock.at(10'000, [&] { lampAfterClick = rig.lamp(); });
    rig.clickDial();
    rig.clock.runFor(20'000);

    QCOMPARE(lampAfterClick, QString("<Unknown>"));
    QCOMPARE(rig.statusesFrom(10'000), Timeline({{10'000, "Waiting to Connect: 38 seconds"},
                                                 {10'000, "Hanging up"},
                                                 {10'100, "Did not connect at 9600 bps"},
                                                 {10'100, "Hanging up"},
                                                 {20'100, "Offline - Ready to dial"}}));
    // One escape stage, 2000 ms after the dial's own second hang-up request.
    QCOMPARE(rig.wire().mid(3), Wire({{12'100, "+++"}, {15'100, "ATH\r"}}));
}

// Hang Up before the dial command: the dial sends nothing more and ends quietly, and the
// staged hang-up runs as armed.
void HangUpTest::hangUpWhileConfiguringCancelsTheDial() {
    DialerRig rig;
    rig.modem().setScript("5551234", {Outcome::Silence, 0});
    rig.enterNumber("5551234");
    rig.hangUpAt(2500);
    rig.clickDial();
    rig.clock.runFor(120'000);

    QCOMPARE(rig.wire(), Wire({{0, "AT&F0\r"}, {1000, "AT&C1\r"}, {4500, "+++"}, {7500, "ATH\r"}}));
    QCOMPARE(
        rig.statusesFrom(1000),
        Timeline({{1000, "AT&&C1"}, {2500, "Hanging up"}, {12'500, "Offline - Ready to dial"}}));
    QVERIFY(rig.box.shown.isEmpty());
    QVERIFY(!rig.port.portOpen());
}

void HangUpTest::secondHangUpDuringTheFourSecondPause() {
    DialerRig rig;
    rig.clickHangUp();
    rig.hangUpAt(7000); // the hang-up command stage pauses from 6000 to 10 000
    rig.clock.runFor(30'000);

    // The restarted escape reopens the port inside the paused stage, which then closes it.
    QCOMPARE(rig.wire(), Wire({{2000, "+++"}, {5000, "ATH\r"}, {9000, "+++"}}));
    QVERIFY(rig.box.shown.isEmpty());
    QCOMPARE(rig.status(), QString("Offline - Ready to dial"));
    QVERIFY(!rig.port.portOpen());
    QVERIFY(!rig.port.dtr());
    QVERIFY(!rig.form().Timer1->enabled());
    QVERIFY(!rig.form().Timer2->enabled());
}

QTEST_MAIN(HangUpTest)
#include "hang_up_test.moc"
