#include "dialer_rig.h"

#include "call_control/command_echo.h"
#include "main_window/caption_label.h"
#include "main_window/colour_value.h"
#include "modem_port/clock.h"

#include <QComboBox>
#include <QLineEdit>
#include <QTest>

using namespace kv;
using namespace kv::test;
using sim::Outcome;

class DialTest : public QObject {
    Q_OBJECT
  private slots:
    void connectingDialShowsEachStepOnTime();
    void unansweredDialCountsDownTo0ThenHangsUp();
    void onlyTextWith9600InOneTurnConnects_data();
    void onlyTextWith9600InOneTurnConnects();
    void echoOfTheDialCommandIsLeftOut_data();
    void echoOfTheDialCommandIsLeftOut();
    void unpluggedModemReadsNotDetected();
    void numberIsUsedAsTypedWhenDialling_data();
    void numberIsUsedAsTypedWhenDialling();
    void emptyNumberBringsTheNoticeAlone();
    void carrierAlreadyUpClosesThePortAndStops();
    void releasingThePortKeepsTheLineUp();
    void newerDialOwnsTheCall();
};

void DialTest::connectingDialShowsEachStepOnTime() {
    DialerRig rig;
    rig.modem().setScript("5551234", {Outcome::Connect9600, 6000});
    rig.enterNumber("5551234");
    rig.clickDial();

    Timeline expected{
        {0, "Configuring modem"}, {0, "AT&&F0"}, {1000, "AT&&C1"}, {3000, "Dialing 5551234"}};
    for (int n = 44; n >= 39; --n)
        expected.append({4000 + 1000 * (44 - n), QString("Waiting to Connect: %1 seconds").arg(n)});
    expected.append({9000, "Connected"});
    expected.append({10000, "OK to start Ampliview"});
    QCOMPARE(rig.statuses, expected);

    const Wire wire{{0, "AT&F0\r"}, {1000, "AT&C1\r"}, {3000, "ATDT5551234\r"}};
    QCOMPARE(rig.wire(), wire);
    QCOMPARE(rig.window().lblStatus->shownText(), QString("OK to start Ampliview"));
    QVERIFY(!rig.port.portOpen());
    QVERIFY(!rig.form().tmrCheckModem->enabled());
    QVERIFY(!rig.calls().WaitForConnect);
    QVERIFY(rig.calls().ModemConnected);
    QCOMPARE(rig.lamp(), QString("Detected"));
    QCOMPARE(rig.lampColour(), colour::Green);
}

void DialTest::unansweredDialCountsDownTo0ThenHangsUp() {
    DialerRig rig;
    rig.modem().setScript("5550000", {Outcome::Silence, 0});
    rig.enterNumber("5550000");
    rig.clickDial();

    // 451 turns of 100 ms after the dial at 3000: the wait ends at 48100.
    QSet<QString> countdown;
    for (const auto& s : rig.statuses)
        if (s.second.startsWith("Waiting")) countdown.insert(s.second);
    QCOMPARE(countdown.size(), 45);
    QVERIFY(countdown.contains("Waiting to Connect: 0 seconds"));
    QVERIFY(!countdown.contains("Waiting to Connect: 45 seconds"));
    QCOMPARE(rig.statusesFrom(48000), Timeline({{48000, "Waiting to Connect: 0 seconds"},
                                                {48100, "Did not connect at 9600 bps"},
                                                {48100, "Hanging up"}}));
    QVERIFY(rig.form().Timer1->enabled());
    QVERIFY(rig.form().tmrCheckModem->enabled());

    rig.clock.runFor(20'000);
    const Wire tail{{50100, "+++"}, {53100, "ATH\r"}};
    QCOMPARE(rig.wire().mid(3), tail);
    QCOMPARE(rig.status(), QString("Offline - Ready to dial"));
    QCOMPARE(rig.statuses.last().first, 58100);
    QVERIFY(!rig.port.portOpen());
    QVERIFY(!rig.port.dtr());
}

void DialTest::onlyTextWith9600InOneTurnConnects_data() {
    QTest::addColumn<QString>("number");
    QTest::addColumn<int>("outcome");
    QTest::addColumn<QByteArrayList>("injected"); // modem output at 10 000 ms, 100 ms apart
    QTest::addColumn<bool>("connects");

    QTest::newRow("CONNECT 9600") << "5551234" << int(Outcome::Connect9600) << QByteArrayList{}
                                  << true;
    QTest::newRow("CONNECT 2400") << "5551234" << int(Outcome::Connect2400) << QByteArrayList{}
                                  << false;
    QTest::newRow("BUSY") << "5551234" << int(Outcome::Busy) << QByteArrayList{} << false;
    QTest::newRow("NO CARRIER") << "5551234" << int(Outcome::NoCarrier) << QByteArrayList{}
                                << false;
    QTest::newRow("NO DIALTONE") << "5551234" << int(Outcome::NoDialtone) << QByteArrayList{}
                                 << false;
    // The modem's echo of the dial command is not its answer.
    QTest::newRow("echoed number holds 9600")
        << "555-9600" << int(Outcome::Silence) << QByteArrayList{} << false;
    QTest::newRow("CONNECT 9600/ARQ")
        << "5551234" << int(Outcome::Silence) << QByteArrayList{"\r\nCONNECT 9600/ARQ\r\n"} << true;
    QTest::newRow("CARRIER 9600") << "19600" << int(Outcome::Silence)
                                  << QByteArrayList{"\r\nCARRIER 9600\r\n"} << true;
    QTest::newRow("9600 inside line noise")
        << "5551234" << int(Outcome::Silence) << QByteArrayList{"\x01z9600\xff"} << true;
    QTest::newRow("96 and 00 in two turns")
        << "5551234" << int(Outcome::Silence) << QByteArrayList{"96", "00"} << false;
    QTest::newRow("9600 split by CR LF")
        << "5551234" << int(Outcome::Silence) << QByteArrayList{"96\r\n00"} << true;
}

void DialTest::onlyTextWith9600InOneTurnConnects() {
    QFETCH(QString, number);
    QFETCH(int, outcome);
    QFETCH(QByteArrayList, injected);
    QFETCH(bool, connects);

    DialerRig rig;
    rig.modem().setScript(number, {Outcome(outcome), 4000});
    for (int i = 0; i < injected.size(); ++i)
        rig.modem().inject(injected[i], 10'000 + 100 * i);
    rig.enterNumber(number);
    rig.clickDial();

    QCOMPARE(rig.calls().ModemConnected, connects);
    const bool said = std::any_of(rig.statuses.begin(), rig.statuses.end(),
                                  [](const auto& s) { return s.second == "Connected"; });
    QCOMPARE(said, connects);
    QCOMPARE(rig.status(), QString(connects ? "OK to start Ampliview" : "Hanging up"));
    if (!connects) QCOMPARE(rig.statuses.last().first, 48100);
}

// The echo as the modem sends it, cut into reads anywhere; what is left is searched for "9600".
void DialTest::echoOfTheDialCommandIsLeftOut_data() {
    QTest::addColumn<QStringList>("reads");
    QTest::addColumn<QString>("left");
    QTest::newRow("whole") << QStringList{"ATDT5559600", "CONNECT 2400"} << "CONNECT 2400";
    QTest::newRow("split over reads") << QStringList{"ATDT55", "596", "00CONNECT"} << "CONNECT";
    QTest::newRow("a piece that looked like it")
        << QStringList{"OK", "ATDT5", "x9600"} << "OKATDT5x9600";
    QTest::newRow("echo off") << QStringList{"CONNECT 9600"} << "CONNECT 9600";
    QTest::newRow("echoed once only") << QStringList{"ATDT5559600ATDT5559600"} << "ATDT5559600";
}

void DialTest::echoOfTheDialCommandIsLeftOut() {
    QFETCH(QStringList, reads);
    CommandEcho echo("ATDT5559600");
    QString left;
    for (const QString& read : reads)
        left += echo.strip(read);
    QTEST(left, "left");
}

// A USB modem pulled out during the wait: there is surely no carrier.
void DialTest::unpluggedModemReadsNotDetected() {
    DialerRig rig;
    rig.enterNumber("5550000");
    rig.clock.at(10'000, [&] { rig.port.vanish(); });
    rig.clock.at(12'000, [&] { QCOMPARE(rig.lamp(), QString("Not Detected")); });
    rig.clickDial();
    QCOMPARE(rig.status(), QString("Hanging up")); // the wait ran out on the closed port
}

void DialTest::numberIsUsedAsTypedWhenDialling_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("changedTo"); // during the configuration pauses; null: unchanged
    QTest::addColumn<QByteArray>("dialled");
    QTest::addColumn<QString>("shown");

    QTest::newRow("blanks") << "   " << QString() << QByteArray("ATDT   \r") << "Dialing    ";
    QTest::newRow("punctuation kept")
        << "9,(555) 123-4567" << QString() << QByteArray("ATDT9,(555) 123-4567\r")
        << "Dialing 9,(555) 123-4567";
    QTest::newRow("changed while configuring") << "111"
                                               << "222" << QByteArray("ATDT222\r") << "Dialing 222";
    QTest::newRow("emptied while configuring") << "111"
                                               << "" << QByteArray("ATDT\r") << "Dialing ";
}

void DialTest::numberIsUsedAsTypedWhenDialling() {
    QFETCH(QString, typed);
    QFETCH(QString, changedTo);
    QFETCH(QByteArray, dialled);
    QFETCH(QString, shown);

    DialerRig rig;
    rig.enterNumber(typed);
    if (!changedTo.isNull()) rig.clock.at(1500, [&] { rig.enterNumber(changedTo); });
    rig.clock.at(3050, [&] { rig.clickHangUp(); }); // no need to wait out 45 s
    rig.clickDial();

    QCOMPARE(rig.wire().value(2), qMakePair(qint64(3000), dialled));
    QVERIFY(rig.statuses.contains(qMakePair(qint64(3000), shown)));
}

void DialTest::emptyNumberBringsTheNoticeAlone() {
    DialerRig rig;
    rig.window().lblStatus->setCaption("Offline - Ready to dial");
    rig.clickDial();

    QCOMPARE(rig.box.shown.size(), 1);
    const Dialog& notice = rig.box.shown.first();
    QCOMPARE(notice.text, QString("No phone number entered.  Press OK button, then enter a phone "
                                  "number and then press DIAL button"));
    QCOMPARE(notice.style, 64);
    QCOMPARE(notice.title, QString("Talvo Dialer"));
    QCOMPARE(notice.helpFile, QString("/opt/talvo dialer/Help/KV.HLP"));
    QCOMPARE(notice.helpContext, 1);
    QCOMPARE(rig.port.opens(), 0);
    QCOMPARE(rig.status(), QString("Offline - Ready to dial"));
    QCOMPARE(rig.lamp(), QString("<Unknown>"));
    QVERIFY(!rig.form().tmrCheckModem->enabled());
}

void DialTest::carrierAlreadyUpClosesThePortAndStops() {
    DialerRig rig;
    rig.modem().setScript("5551234", {Outcome::Connect9600, 2000});
    rig.enterNumber("5551234");
    rig.clickDial(); // connects; the port is released with the line up
    const qsizetype said = rig.statuses.size();
    const qsizetype sent = rig.wire().size();

    rig.clickDial();
    QCOMPARE(rig.statuses.size(), said); // the status line keeps its text
    QCOMPARE(rig.wire().size(), sent);   // nothing sent
    QVERIFY(!rig.port.portOpen());
    QCOMPARE(rig.lamp(), QString("Detected"));
    QVERIFY(!rig.form().tmrCheckModem->enabled());
    QVERIFY(rig.box.shown.isEmpty());
}

// The port is released for the field program; the call must survive that.
void DialTest::releasingThePortKeepsTheLineUp() {
    DialerRig rig;
    rig.modem().setScript("5551234", {Outcome::Connect9600, 2000});
    rig.enterNumber("5551234");
    rig.clickDial();
    QVERIFY(!rig.port.portOpen());
    rig.clock.runFor(60'000);
    QVERIFY(rig.modem().carrier(rig.clock.now()));
    QVERIFY(rig.port.dtr());
}

// A double-click on Dial: the second dial runs inside the first one's pause, on the port the first
// opened, connects and releases the port. The first ends as soon as it resumes, quietly.
void DialTest::newerDialOwnsTheCall() {
    DialerRig rig;
    rig.modem().setScript("5551234", {Outcome::Connect9600, 2000});
    rig.enterNumber("5551234");
    rig.dialAt(500);
    rig.clickDial();
    rig.clock.runFor(120'000);

    const Wire wire{{0, "AT&F0\r"}, {500, "AT&F0\r"}, {1500, "AT&C1\r"}, {3500, "ATDT5551234\r"}};
    QCOMPARE(rig.wire(), wire);
    QCOMPARE(rig.statuses.last(), qMakePair(qint64(6500), QString("OK to start Ampliview")));
    QVERIFY(rig.box.shown.isEmpty());
    QVERIFY(rig.modem().carrier(rig.clock.now()));
    QVERIFY(!rig.form().Timer1->enabled());
}

QTEST_MAIN(DialTest)
#include "dial_test.moc"
