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

// The simulated port on a virtual clock, its modem on COM 1.
struct Rig {
    kv::test::VirtualClock clock;
    SimModemPort sim{[this] { return clock.now(); }};
};

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
        Rig r;
        if (fault == "missing") r.sim.setMissing(port);
        if (fault == "found") r.sim.setMissing(port, false);
        if (fault == "held") r.sim.setHeldElsewhere(port);
        r.sim.setCommPort(std::int16_t(port));
        QCOMPARE(errorOf([&] { r.sim.setPortOpen(true); }), error);
        QCOMPARE(r.sim.portOpen(), error == 0);
        QCOMPARE(r.sim.opens(), error == 0 ? 1 : 0);
    }

    void commandsReachTheModemByteForByte() {
        Rig r;
        r.sim.setPortOpen(true);
        r.clock.runFor(250);
        r.sim.output("AT&F0\r");
        QCOMPARE(r.sim.modem().received().size(), 1u);
        QCOMPARE(r.sim.modem().received()[0].at, 250);
        QCOMPARE(r.sim.modem().received()[0].bytes, QByteArray("AT&F0\r"));
        QCOMPARE(r.sim.inBufferCount(), 12);
        QCOMPARE(r.sim.input(), QString("AT&F0\r\r\nOK\r\n"));
        QCOMPARE(r.sim.inBufferCount(), 0);
    }

    void otherPortsAreSilent() {
        Rig r;
        r.sim.setModemOn(2);
        r.sim.setPortOpen(true); // COM 1
        r.sim.setDTREnable(true);
        r.sim.output("AT\r");
        QCOMPARE(r.sim.inBufferCount(), 0);
        QVERIFY(!r.sim.cdHolding());
        QVERIFY(r.sim.modem().received().empty());
        QVERIFY(!r.sim.dtr());
        r.sim.setPortOpen(false);
        r.sim.setCommPort(2);
        r.sim.setPortOpen(true);
        r.sim.output("AT\r");
        QCOMPARE(r.sim.input(), QString("AT\r\r\nOK\r\n"));
        QVERIFY(r.sim.dtr());
    }

    // The dialer releases the port to another program with the call up.
    void closingKeepsDtrAndTheCall() {
        Rig r;
        r.sim.modem().setScript("5550101", {Outcome::Connect9600, 3000});
        r.sim.setPortOpen(true);
        r.sim.setDTREnable(true);
        QVERIFY(!r.sim.cdHolding());
        r.sim.output("ATDT5550101\r");
        r.clock.runFor(3000);
        QVERIFY(r.sim.cdHolding());
        r.sim.setPortOpen(false);
        QVERIFY(r.sim.dtr());
        r.clock.runFor(10000);
        QVERIFY(r.sim.modem().carrier(r.clock.now()));
        r.sim.setPortOpen(true);
        QVERIFY(r.sim.cdHolding());
        r.sim.setDTREnable(false);
        QVERIFY(!r.sim.dtr());
        QVERIFY(!r.sim.modem().carrier(r.clock.now()));
        QCOMPARE(r.sim.opens(), 2);
        QCOMPARE(r.sim.closes(), 1);
    }

    void whatTheModemSaysWhileClosedIsLost() {
        Rig r;
        r.sim.modem().inject("unread", 0);
        r.sim.modem().inject("said while closed", 500);
        r.sim.modem().inject("said after reopening", 2000);
        r.sim.setPortOpen(true);
        r.sim.setPortOpen(false);
        r.clock.runFor(1000);
        r.sim.setPortOpen(true);
        QCOMPARE(r.sim.inBufferCount(), 0);
        r.clock.runFor(1000);
        QCOMPARE(r.sim.input(), QString("said after reopening"));
    }

    void clearingTheInputDiscardsWhatWasSaid() {
        Rig r;
        r.sim.setPortOpen(true);
        r.sim.modem().inject(QByteArray(5000, '~'), 100);
        r.clock.runFor(100);
        QCOMPARE(r.sim.inBufferCount(), 5000);
        r.sim.setInBufferCount(0);
        QCOMPARE(r.sim.inBufferCount(), 0);
    }

    void vanishingMidCall() {
        Rig r;
        r.sim.modem().setScript("5550101", {Outcome::Connect9600, 1000});
        r.sim.setPortOpen(true);
        r.sim.output("ATDT5550101\r");
        r.clock.runFor(1000);
        r.sim.vanish();
        QVERIFY(!r.sim.portOpen());
        QCOMPARE(r.sim.inBufferCount(), 0);
        QCOMPARE(errorOf([&] { r.sim.input(); }), int(kv::err::PortNotOpen));
        QCOMPARE(errorOf([&] { r.sim.setPortOpen(false); }), 0);
        QCOMPARE(errorOf([&] { r.sim.setPortOpen(true); }), int(kv::err::InvalidPort));
        QCOMPARE(r.sim.closes(), 0);
        r.sim.setMissing(1, false);
        QCOMPARE(errorOf([&] { r.sim.setPortOpen(true); }), 0);
    }
};

QTEST_GUILESS_MAIN(SimModemPortTest)
#include "sim_modem_port_test.moc"
