#include "sim_modem_port.h"

#include "error_reporting/run_time_error.h"
#include "virtual_clock.h"

#include <QTest>

using kv::sim::Outcome;
using kv::sim::SimModemPort;

namespace {

// The number the error raised by `step`, or 0 when it raised none.
template <typename Step> int errorOf(Step step) {
    try {
        step();
    } catch (const kv::RunTimeError& e) {
        return e.number();
    }
    return 0;
}

} // namespace

class SimModemPortTest : public QObject {
    Q_OBJECT

  private slots:
    void opening_data() {
        QTest::addColumn<int>("port");
        QTest::addColumn<QString>("fault"); // missing, held, found or nothing
        QTest::addColumn<int>("error");
        QTest::newRow("COM 1") << 1 << QString() << 0;
        QTest::newRow("COM 8") << 8 << QString() << 0;
        QTest::newRow("COM 9 does not exist") << 9 << QString() << int(kv::err::InvalidPort);
        QTest::newRow("COM 9 added") << 9 << "found" << 0;
        QTest::newRow("COM 3 missing") << 3 << "missing" << int(kv::err::InvalidPort);
        QTest::newRow("COM 2 held elsewhere") << 2 << "held" << int(kv::err::PortInUse);
    }
    void opening() {
        QFETCH(int, port);
        QFETCH(QString, fault);
        QFETCH(int, error);
        kv::test::VirtualClock clock;
        SimModemPort sim([&] { return clock.now(); });
        if (fault == "missing") sim.setMissing(port);
        if (fault == "found") sim.setMissing(port, false);
        if (fault == "held") sim.setHeldElsewhere(port);
        sim.setCommPort(std::int16_t(port));
        QCOMPARE(errorOf([&] { sim.setPortOpen(true); }), error);
        QCOMPARE(sim.portOpen(), error == 0);
        QCOMPARE(sim.opens(), error == 0 ? 1 : 0);
    }

    void commandsReachTheModemByteForByte() {
        kv::test::VirtualClock clock;
        SimModemPort sim([&] { return clock.now(); });
        sim.setPortOpen(true);
        clock.runFor(250);
        sim.output("AT&F0\r");
        QCOMPARE(sim.modem().received().size(), 1u);
        QCOMPARE(sim.modem().received()[0].at, 250);
        QCOMPARE(sim.modem().received()[0].bytes, QByteArray("AT&F0\r"));
        QCOMPARE(sim.inBufferCount(), 12);
        QCOMPARE(sim.input(), QString("AT&F0\r\r\nOK\r\n"));
        QCOMPARE(sim.inBufferCount(), 0);
    }

    void otherPortsAreSilent() {
        kv::test::VirtualClock clock;
        SimModemPort sim([&] { return clock.now(); });
        sim.setModemOn(2);
        sim.setPortOpen(true); // COM 1
        sim.setDTREnable(true);
        sim.output("AT\r");
        QCOMPARE(sim.inBufferCount(), 0);
        QVERIFY(!sim.cdHolding());
        QVERIFY(sim.modem().received().empty());
        QVERIFY(!sim.dtr());
        sim.setPortOpen(false);
        sim.setCommPort(2);
        sim.setPortOpen(true);
        sim.output("AT\r");
        QCOMPARE(sim.input(), QString("AT\r\r\nOK\r\n"));
        QVERIFY(sim.dtr());
    }

    void carrierDetectIsTheModemsLine() {
        kv::test::VirtualClock clock;
        SimModemPort sim([&] { return clock.now(); });
        sim.setPortOpen(true);
        QVERIFY(!sim.cdHolding());
        sim.output("AT&C0\r");
        QVERIFY(sim.cdHolding());
    }

    // The dialer releases the port to another program with the call up.
    void closingKeepsDtrAndTheCall() {
        kv::test::VirtualClock clock;
        SimModemPort sim([&] { return clock.now(); });
        sim.modem().setScript("5550101", {Outcome::Connect9600, 3000});
        sim.setPortOpen(true);
        sim.setDTREnable(true);
        sim.output("ATDT5550101\r");
        clock.runFor(3000);
        QVERIFY(sim.cdHolding());
        sim.setPortOpen(false);
        QVERIFY(sim.dtr());
        clock.runFor(10000);
        QVERIFY(sim.modem().carrier(clock.now()));
        sim.setPortOpen(true);
        QVERIFY(sim.cdHolding());
        sim.setDTREnable(false);
        QVERIFY(!sim.dtr());
        QVERIFY(!sim.modem().carrier(clock.now()));
        QCOMPARE(sim.opens(), 2);
        QCOMPARE(sim.closes(), 1);
    }

    void whatTheModemSaysWhileClosedIsLost() {
        kv::test::VirtualClock clock;
        SimModemPort sim([&] { return clock.now(); });
        sim.modem().inject("unread", 0);
        sim.modem().inject("said while closed", 500);
        sim.modem().inject("said after reopening", 2000);
        sim.setPortOpen(true);
        sim.setPortOpen(false);
        clock.runFor(1000);
        sim.setPortOpen(true);
        QCOMPARE(sim.inBufferCount(), 0);
        clock.runFor(1000);
        QCOMPARE(sim.input(), QString("said after reopening"));
    }

    void clearingTheInputDiscardsWhatWasSaid() {
        kv::test::VirtualClock clock;
        SimModemPort sim([&] { return clock.now(); });
        sim.setPortOpen(true);
        sim.modem().inject(QByteArray(5000, '~'), 100);
        clock.runFor(100);
        QCOMPARE(sim.inBufferCount(), 5000);
        sim.setInBufferCount(0);
        QCOMPARE(sim.inBufferCount(), 0);
    }

    void vanishingMidCall() {
        kv::test::VirtualClock clock;
        SimModemPort sim([&] { return clock.now(); });
        sim.modem().setScript("5550101", {Outcome::Connect9600, 1000});
        sim.setPortOpen(true);
        sim.output("ATDT5550101\r");
        clock.runFor(1000);
        sim.vanish();
        QVERIFY(!sim.portOpen());
        QCOMPARE(sim.inBufferCount(), 0);
        QCOMPARE(errorOf([&] { sim.input(); }), int(kv::err::PortNotOpen));
        QCOMPARE(errorOf([&] { sim.setPortOpen(false); }), 0);
        QCOMPARE(errorOf([&] { sim.setPortOpen(true); }), int(kv::err::InvalidPort));
        QCOMPARE(sim.closes(), 0);
        sim.setMissing(1, false);
        QCOMPARE(errorOf([&] { sim.setPortOpen(true); }), 0);
    }
};

QTEST_GUILESS_MAIN(SimModemPortTest)
#include "sim_modem_port_test.moc"
