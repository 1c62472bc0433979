#include "hayes_modem.h"

#include <QTest>

using kv::sim::HayesModem;
using kv::sim::Outcome;

namespace {

const QByteArray Ok = "\r\nOK\r\n";
const QByteArray NoCarrier = "\r\nNO CARRIER\r\n";
const QByteArray Connect9600 = "\r\nCONNECT 9600\r\n";

// A modem with a call up since t = 1000: dialled at 0, connected after one second.
void callUp(HayesModem& modem) {
    modem.setScript("5551234", {Outcome::Connect9600, 1000});
    modem.receive("ATDT5551234\r", 0);
    QCOMPARE(modem.takeOutput(1000), QByteArray("ATDT5551234\r") + Connect9600);
    QVERIFY(modem.carrier(1000));
}

// True when the modem takes commands at `at`: it echoes and answers a bare AT.
bool inCommandMode(HayesModem& modem, qint64 at) {
    modem.takeOutput(at);
    modem.receive("AT\r", at);
    return modem.takeOutput(at).endsWith(Ok);
}

} // namespace

class HayesModemTest : public QObject {
    Q_OBJECT

  private slots:
    void commandLines_data() {
        QTest::addColumn<QByteArray>("sent");
        QTest::addColumn<QByteArray>("said");
        const auto row = [](const char* name, const QByteArray& sent, const QByteArray& said) {
            QTest::newRow(name) << sent << said;
        };
        row("AT", "AT\r", "AT\r" + Ok);
        row("lower case", "at&f0\r", "at&f0\r" + Ok);
        row("dcd options", "AT&C1\rAT&C0\r", "AT&C1\r" + Ok + "AT&C0\r" + Ok);
        row("dtr options", "AT&D0\rAT&D2\r", "AT&D0\r" + Ok + "AT&D2\r" + Ok);
        row("echo off takes effect after its line", "ATE0\rAT\r", "ATE0\r" + Ok + Ok);
        row("echo back on", "ATE0\rATE1\rAT\r", "ATE0\r" + Ok + Ok + "AT\r" + Ok);
        row("reset restores echo", "ATE0\rATZ\rAT\r", "ATE0\r" + Ok + Ok + "AT\r" + Ok);
        row("factory restores echo", "ATE0\rAT&F0\rAT\r", "ATE0\r" + Ok + Ok + "AT\r" + Ok);
        row("several on a line", "ATE1&C1&D2\r", "ATE1&C1&D2\r" + Ok);
        row("unknown command", "ATX9\r", "ATX9\r\r\nERROR\r\n");
        row("unknown value", "AT&C2\r", "AT&C2\r\r\nERROR\r\n");
        row("noise before AT", "++ATH\r", "++ATH\r" + Ok);
        row("no AT, no answer", "HELLO\r", "HELLO\r");
        row("backspace", "ATX\b\r", "ATX\b\r" + Ok);
        row("no CR, no answer yet", "AT&F0", "AT&F0");
        row("return online without a call", "ATO\r", "ATO\r\r\nERROR\r\n");
    }
    void commandLines() {
        QFETCH(QByteArray, sent);
        QFETCH(QByteArray, said);
        HayesModem modem;
        modem.receive(sent, 100);
        QCOMPARE(modem.waiting(100), said.size());
        QCOMPARE(modem.takeOutput(100), said);
        QCOMPARE(modem.takeOutput(100), QByteArray());
    }

    // Each number's outcome by its last digit, said once the outcome's delay has passed.
    void dial_data() {
        QTest::addColumn<QString>("number");
        QTest::addColumn<QByteArray>("result");
        QTest::addColumn<bool>("online");
        const QByteArray busy = "\r\nBUSY\r\n";
        QTest::newRow("ends in 0: silence") << "5550100" << QByteArray() << false;
        QTest::newRow("ends in 1") << "5550101" << Connect9600 << true;
        QTest::newRow("ends in 2") << "5550102" << QByteArray("\r\nCONNECT 2400\r\n") << true;
        QTest::newRow("ends in 3") << "5550103" << busy << false;
        QTest::newRow("ends in 4") << "5550104" << NoCarrier << false;
        QTest::newRow("ends in 5") << "5550105" << QByteArray("\r\nNO DIALTONE\r\n") << false;
        QTest::newRow("ends in 9") << "5550109" << Connect9600 << true;
        QTest::newRow("the last digit counts") << "555-0103 " << busy << false;
        QTest::newRow("no digit") << "  " << NoCarrier << false;
        QTest::newRow("empty") << "" << NoCarrier << false;
    }
    void dial() {
        QFETCH(QString, number);
        QFETCH(QByteArray, result);
        QFETCH(bool, online);
        HayesModem modem;
        const QByteArray command = "ATDT" + number.toLatin1() + "\r";
        modem.receive(command, 1000);
        QCOMPARE(modem.takeOutput(1000), command);
        const qint64 due = 1000 + HayesModem::scriptFor(number).delayMs;
        QVERIFY2(due < 40000, "well inside the dialer's 45-second wait");
        QCOMPARE(modem.nextChangeAt(1000), result.isEmpty() ? -1 : due);
        QCOMPARE(modem.takeOutput(due - 1), QByteArray());
        QCOMPARE(modem.takeOutput(due), result);
        QCOMPARE(modem.carrier(due), online);
        QCOMPARE(modem.dcd(due), online);
        // Online, bytes go to the remote end: no echo, no answer.
        if (!result.isEmpty()) QCOMPARE(inCommandMode(modem, due + 1000), !online);
    }

    void overrideIsPerNumber() {
        HayesModem modem;
        modem.setScript("5550101", {Outcome::Busy, 100});
        modem.receive("ATDT5550101\r", 0);
        QCOMPARE(modem.takeOutput(100), QByteArray("ATDT5550101\r\r\nBUSY\r\n"));
        modem.receive("ATDT5550111\r", 1000);
        QCOMPARE(modem.takeOutput(40000), QByteArray("ATDT5550111\r") + Connect9600);
    }

    // Data "x" at 2000, then "+" three times `gap` apart, starting `before` after the data;
    // `after` > 0 sends "y" that long after the last "+".
    void escape_data() {
        QTest::addColumn<int>("before");
        QTest::addColumn<int>("gap");
        QTest::addColumn<int>("after");
        QTest::addColumn<QByteArray>("said");
        QTest::newRow("guard times kept") << 1000 << 0 << 0 << Ok;
        QTest::newRow("pluses a little apart") << 1000 << 300 << 0 << Ok;
        QTest::newRow("too soon after data") << 999 << 0 << 0 << QByteArray();
        QTest::newRow("a byte inside the trailing guard") << 1000 << 0 << 999 << QByteArray();
        QTest::newRow("a byte once the guard has passed")
            << 1000 << 0 << 1000 << QByteArray(Ok + "y");
        QTest::newRow("pluses a guard time apart") << 1000 << 1000 << 0 << QByteArray();
    }
    void escape() {
        QFETCH(int, before);
        QFETCH(int, gap);
        QFETCH(int, after);
        QFETCH(QByteArray, said);
        HayesModem modem;
        callUp(modem);
        modem.receive("x", 2000);
        const qint64 first = 2000 + before;
        const qint64 last = first + 2 * gap;
        if (gap == 0)
            modem.receive("+++", first);
        else
            for (int k = 0; k < 3; ++k)
                modem.receive("+", first + k * gap);
        if (after > 0) modem.receive("y", last + after);
        QCOMPARE(modem.takeOutput(last + 999), QByteArray());
        QCOMPARE(modem.takeOutput(last + 2000), said);
        QVERIFY(modem.carrier(last + 2000));
        QCOMPARE(inCommandMode(modem, last + 3000), !said.isEmpty());
    }

    void fourPlusesAreData() {
        HayesModem modem;
        callUp(modem);
        modem.receive("++++", 3000);
        QCOMPARE(modem.takeOutput(6000), QByteArray());
        QVERIFY(!inCommandMode(modem, 6000));
    }

    void escapeKeepsTheCallUntilATH() {
        HayesModem modem;
        callUp(modem);
        modem.receive("+++", 3000);
        QCOMPARE(modem.nextChangeAt(3000), 4000);
        QCOMPARE(modem.takeOutput(4000), Ok);
        modem.receive("ATO\r", 5000);
        QCOMPARE(modem.takeOutput(5000), QByteArray("ATO\r") + Connect9600);
        modem.receive("+++", 7000);
        modem.receive("ATH\r", 8000);
        QCOMPARE(modem.takeOutput(8000), Ok + "ATH\r" + Ok);
        QVERIFY(!modem.carrier(8000));
        QVERIFY(!modem.dcd(8000));
    }

    void carrierDetect_data() {
        QTest::addColumn<QByteArray>("profile");
        QTest::addColumn<bool>("call");
        QTest::addColumn<bool>("dcd");
        QTest::newRow("default, idle") << QByteArray() << false << false;
        QTest::newRow("default, in a call") << QByteArray() << true << true;
        QTest::newRow("&C1, idle") << QByteArray("AT&C1\r") << false << false;
        QTest::newRow("&C0, idle") << QByteArray("AT&C0\r") << false << true;
        QTest::newRow("&C0 undone by &F0") << QByteArray("AT&C0\rAT&F0\r") << false << false;
        QTest::newRow("&C0 undone by Z") << QByteArray("AT&C0\rATZ\r") << false << false;
    }
    void carrierDetect() {
        QFETCH(QByteArray, profile);
        QFETCH(bool, call);
        QFETCH(bool, dcd);
        HayesModem modem;
        modem.receive(profile, 0);
        modem.takeOutput(0);
        if (call) callUp(modem);
        QCOMPARE(modem.dcd(2000), dcd);
    }

    void dtrDrop_data() {
        QTest::addColumn<QByteArray>("profile");
        QTest::addColumn<bool>("escaped");
        QTest::addColumn<bool>("lower");
        QTest::addColumn<bool>("kept");
        QTest::newRow("default profile hangs up") << QByteArray() << false << true << false;
        QTest::newRow("&D2 hangs up") << QByteArray("AT&D2\r") << false << true << false;
        QTest::newRow("&D2 hangs up in command mode")
            << QByteArray("AT&D2\r") << true << true << false;
        QTest::newRow("&D0 ignores it") << QByteArray("AT&D0\r") << false << true << true;
        QTest::newRow("&D0 undone by &F0")
            << QByteArray("AT&D0\rAT&F0\r") << false << true << false;
        QTest::newRow("DTR raised again keeps the call")
            << QByteArray("AT&D2\r") << false << false << true;
    }
    void dtrDrop() {
        QFETCH(QByteArray, profile);
        QFETCH(bool, escaped);
        QFETCH(bool, lower);
        QFETCH(bool, kept);
        HayesModem modem;
        modem.setDtr(true, 0);
        modem.receive(profile, 0);
        modem.takeOutput(0);
        callUp(modem);
        if (escaped) {
            modem.receive("+++", 3000);
            QCOMPARE(modem.takeOutput(4000), Ok);
        }
        modem.setDtr(!lower, 5000);
        QCOMPARE(modem.carrier(5000), kept);
        QCOMPARE(modem.dcd(5000), kept);
        QCOMPARE(modem.takeOutput(5000), kept ? QByteArray() : NoCarrier);
    }

    // A dial ends at any byte from the computer, and at DTR dropping.
    void dialAborted_data() {
        QTest::addColumn<bool>("byDtr");
        QTest::newRow("a byte") << false;
        QTest::newRow("DTR dropped") << true;
    }
    void dialAborted() {
        QFETCH(bool, byDtr);
        HayesModem modem;
        modem.setDtr(true, 0);
        modem.setScript("1", {Outcome::Connect9600, 5000});
        modem.receive("ATDT1\r", 0);
        if (byDtr)
            modem.setDtr(false, 2000);
        else
            modem.receive("+", 2000);
        QCOMPARE(modem.takeOutput(2000), QByteArray("ATDT1\r") + NoCarrier);
        QCOMPARE(modem.takeOutput(10000), QByteArray());
        QVERIFY(!modem.carrier(10000));
        QVERIFY(inCommandMode(modem, 10000));
    }

    void remoteHangUp() {
        HayesModem modem;
        callUp(modem);
        modem.dropLine(3000);
        QCOMPARE(modem.nextChangeAt(2000), 3000);
        QVERIFY(modem.dcd(2999));
        QCOMPARE(modem.takeOutput(3000), NoCarrier);
        QVERIFY(!modem.carrier(3000));
        QVERIFY(!modem.dcd(3000));
        QVERIFY(inCommandMode(modem, 3000));
    }

    void remoteHangUpWithoutACallSaysNothing() {
        HayesModem modem;
        modem.dropLine(1000);
        QCOMPARE(modem.takeOutput(2000), QByteArray());
    }

    void inject_data() {
        QTest::addColumn<bool>("call");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("garbage") << false << QByteArray("\x00\xff\x80~", 4);
        QTest::newRow("ring") << false << QByteArray("\r\nRING\r\n");
        QTest::newRow("flood") << false << QByteArray(100000, 'U');
        QTest::newRow("garbage in a call") << true << QByteArray("\x13\x11 noise");
        QTest::newRow("a false NO CARRIER") << true << NoCarrier;
    }
    void inject() {
        QFETCH(bool, call);
        QFETCH(QByteArray, bytes);
        HayesModem modem;
        if (call) callUp(modem);
        modem.inject(bytes, 3000);
        QCOMPARE(modem.nextChangeAt(2000), 3000);
        QCOMPARE(modem.waiting(2999), 0);
        QCOMPARE(modem.waiting(3000), bytes.size());
        QCOMPARE(modem.takeOutput(3000), bytes);
        // Words alone change nothing: the call stays as it was.
        QCOMPARE(modem.carrier(3000), call);
    }

    void injectedAndAnsweredTextKeepTimeOrder() {
        HayesModem modem;
        modem.inject("late", 2000);
        modem.inject("early", 500);
        modem.receive("AT\r", 1000);
        QCOMPARE(modem.takeOutput(3000), QByteArray("early") + "AT\r" + Ok + "late");
    }
};

QTEST_GUILESS_MAIN(HayesModemTest)
#include "hayes_modem_test.moc"
