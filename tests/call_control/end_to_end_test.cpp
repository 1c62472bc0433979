#include "fake_launcher.h"
#include "fake_message_box.h"

#include "main_window/caption_label.h"
#include "main_window/frm_main.h"
#include "modem_port/event_loop_clock.h"
#include "modem_port/serial_modem_port.h"

#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace kv;

// One whole call in real time: the program's own serial layer and clock against modem-sim on a
// pseudo-terminal. How long each gap lasts is measured by bench/dial_cycle, not asserted here.
class EndToEndTest : public QObject {
    Q_OBJECT
  private slots:
    void dialConnectAndHangUpOverAPty();
};

void EndToEndTest::dialConnectAndHangUpOverAPty() {
    QTemporaryDir dir;
    const QString logPath = dir.filePath("modem.log");
    QProcess sim;
    sim.start(MODEM_SIM, {"--log", logPath});
    QVERIFY(sim.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(sim.canReadLine(), 10'000);
    qputenv("TALVO_COM1", sim.readLine().trimmed());

    SerialModemPort port;
    EventLoopClock clock;
    test::FakeMessageBox box;
    test::FakeLauncher launcher;
    FrmMain frm({port, clock, box, launcher, dir.path(), [] {}});
    MainWindow& w = frm.window();

    w.txtPhoneNum->setText("5551231"); // the simulator connects at 9600 after 5 s
    w.buttonConnect->click();          // returns once the dial is over
    QCOMPARE(w.lblStatus->caption(), QString("OK to start Ampliview"));
    QVERIFY(!port.portOpen());

    w.buttonHangUp->click();
    QCOMPARE(w.lblStatus->caption(), QString("Hanging up"));
    QTRY_COMPARE_WITH_TIMEOUT(w.lblStatus->caption(), QString("Offline - Ready to dial"), 30'000);
    QVERIFY(!port.portOpen());
    // The modem's "OK" to the escape comes the very second the escape stage reads, so it may
    // wait in the port and show in front of the answer to ATH.
    QVERIFY2(QStringList({"ATHOK", "OKATHOK"}).contains(w.txtReply->caption()),
             qPrintable(w.txtReply->caption()));
    QVERIFY(box.shown.isEmpty());

    auto log = [&] {
        QFile file(logPath);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    QTRY_COMPARE_WITH_TIMEOUT(log().count(" close\n"), 2, 10'000);
    sim.terminate();
    QVERIFY(sim.waitForFinished(10'000));
    // "<seconds> <event> [bytes]" lines; keep the events in their order, without the times.
    QStringList events;
    for (const QByteArray& line : log().split('\n')) {
        const QString rest = QString::fromLatin1(line).section(' ', 1);
        if (rest.startsWith("open") || rest.startsWith("close") || rest.startsWith("rx") ||
            rest.startsWith("tx \"\\r\\nCONNECT"))
            events << rest;
    }
    QCOMPARE(events, QStringList({"open", "rx \"AT&F0\\r\"", "rx \"AT&C1\\r\"",
                                  "rx \"ATDT5551231\\r\"", "tx \"\\r\\nCONNECT 9600\\r\\n\"",
                                  "close", "open", "rx \"+++\"", "rx \"ATH\\r\"", "close"}));
}

QTEST_MAIN(EndToEndTest)
#include "end_to_end_test.moc"
