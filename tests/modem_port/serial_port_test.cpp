#include "fakes.h"
#include "pty_line.h"

#include "error_reporting/call_log.h"
#include "main_window/caption_label.h"
#include "main_window/frm_main.h"
#include "modem_port/device_map.h"
#include "modem_port/event_loop_clock.h"
#include "modem_port/line_settings.h"
#include "modem_port/port_selection.h"
#include "modem_port/serial_modem_port.h"

#include <QtWidgets>
#include <atomic>
#include <fcntl.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

using namespace kv;
using namespace kv::test;

namespace {

// COM 5 on `device`.
std::unique_ptr<SerialModemPort> portOn(const QByteArray& device, bool open = true) {
    qputenv("TALVO_COM5", device);
    auto port = std::make_unique<SerialModemPort>();
    port->setCommPort(5);
    if (open) port->setPortOpen(true);
    return port;
}

termios settingsOf(const sim::PtyLine& line) {
    termios t{};
    ::tcgetattr(line.fd(), &t); // the master reads its slave's settings
    return t;
}

QByteArray contentsOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Rows "text>number|..." of a table of texts and numbers.
void rows(const QString& table) {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("number");
    for (const QString& row : table.split('|'))
        QTest::newRow(qPrintable(row)) << row.section('>', 0, 0) << row.section('>', 1).toInt();
}

} // namespace

// The serial layer on a real terminal and the real pause: error numbers, the bytes that cross
// the line, what a closed port or a vanished device does, what runs while a pause waits, and a
// whole call through both.
class SerialPortTest : public QObject {
    Q_OBJECT
    QTemporaryDir stateDir_; // where a released device's own setting is remembered

  private slots:
    void initTestCase() { qputenv("XDG_STATE_HOME", QFile::encodeName(stateDir_.path())); }

    void portNumberFromTheComBox_data() {
        rows("COM 1>1|COM 12>12|7>7|COM 03>3|COM 0>8002|COM 40000>8002|COMx>13|>13|COM 1x>13|"
             "COM \u0663>13");
    }
    void portNumberFromTheComBox() {
        QFETCH(QString, text);
        SerialModemPort port;
        const int error = errorOf([&] { selectPort(port, text); });
        QTEST(error ? error : port.commPort(), "number");
    }

    // Rows "environment,user's map,machine's map>COM 5's device": 7, 8 or 9 as one of them names
    // it, 4 for /dev/ttyS4. A map's lines are split at ';'; an empty map is no file, nor is one
    // made: maps are only read.
    void deviceOfAPort_data() {
        rows("7,COM5=8,COM5=9>7|,COM5=8,COM5=9>8|,COM1=8;modem=8;COM5=,COM5=9>9|,,>4");
    }
    void deviceOfAPort() {
        QFETCH(QString, text);
        QTemporaryDir dir;
        const QStringList fields = text.split(','), maps{dir.filePath("u"), dir.filePath("m")};
        qputenv("TALVO_COM5", fields[0].toUtf8());
        for (const int i : {1, 2})
            if (QFile map(maps[i - 1]); fields[i] != "" && map.open(QIODevice::WriteOnly))
                map.write("[ports]\n" + fields[i].toUtf8().replace(';', '\n'));
        QTEST(devicePathForPort(5, maps).remove("/dev/ttyS").toInt(), "number");
        QCOMPARE(QFile::exists(maps[1]), fields[2] != "");
        QCOMPARE(portMapFiles().last(), "/etc/talvo-dialer/ports.conf"); // the user's map first
    }

    void lineSettings() {
        const auto s = parseLineSettings("2400,n,7,2");
        QVERIFY(s && s->baudRate == 2400 && s->dataBits == 7 &&
                s->stopBits == QSerialPort::TwoStop);
        QCOMPARE(parseLineSettings("300,n,5,1.5")->stopBits, QSerialPort::OneAndHalfStop);
        for (const QString parity : {"N0", "e2", "o3", "s4", "m5"}) // as QSerialPort numbers them
            QCOMPARE(int(parseLineSettings("300," + parity.left(1) + ",8,1")->parity),
                     parity.right(1).toInt());
        for (const char* bad : {"9600,n,8", "9600,x,8,1", "9600,n,9,1", "9600,n,8,3", "0,n,8,1"})
            QVERIFY2(!parseLineSettings(bad), bad);
    }

    void openRefused_data() {
        rows("missing>8002|/dev/null>8002|a file>8002|held, through a link>8005|open here>8005|"
             "unreadable settings>380");
    }
    void openRefused() {
        QFETCH(QString, text);
        sim::PtyLine line;
        QTemporaryDir dir;
        const QByteArray link = QFile::encodeName(dir.filePath("modem"));
        QFile::link(line.slavePath(), link);
        QFile(dir.filePath("file")).open(QIODevice::WriteOnly);
        const QMap<QString, QByteArray> devices{{"missing", link + "9"},
                                                {"/dev/null", "/dev/null"},
                                                {"a file", QFile::encodeName(dir.filePath("file"))},
                                                {"held, through a link", link}};
        QSerialPort other(line.slavePath());
        if (text.startsWith("held")) QVERIFY(other.open(QIODevice::ReadWrite));
        const auto port = portOn(devices.value(text, line.slavePath()), text == "open here");
        if (text == "unreadable settings") port->setSettings("9600,x,8,1");
        QTEST(errorOf([&] { port->setPortOpen(true); }), "number");
        QCOMPARE(port->portOpen(), text == "open here");
    }

    // No event loop runs here: bytes must be on the line when output returns, and what arrived
    // must be counted and read at once, as the sequences read.
    void bytesCrossTheLineAsTheyAre() {
        sim::PtyLine line;
        const auto port = portOn(line.slavePath());
        const termios t = settingsOf(line);
        QCOMPARE(::cfgetospeed(&t), speed_t(B9600));
        QCOMPARE(t.c_cflag & (CSIZE | PARENB | CSTOPB | CRTSCTS), tcflag_t(CS8)); // 8N1, no RTS/CTS
        QVERIFY(!(t.c_iflag & (IXON | IXOFF | ICRNL)) && !(t.c_oflag & OPOST));
        port->output(QString("AT&F0\r\n+++\u00e9\u00ff\u20ac"));
        QByteArray heard;
        QTRY_COMPARE((heard += line.readAll()), QByteArray("AT&F0\r\n+++\xe9\xff?"));
        line.send("\r\nNO CARRIER\r\n");
        QTRY_VERIFY(port->inBufferCount() > 0);
        port->setInBufferCount(0);
        line.send(QByteArray(3000, 'x') + "\x80");
        QTRY_COMPARE(port->inBufferCount(), 3001);
        QCOMPARE(port->input(), QString(3000, 'x') + QChar(0x80));
        QCOMPARE(port->inBufferCount(), 0);
    }

    // A long command never holds the caller: output hands the driver what it takes within about
    // 100 ms and returns, and the rest goes out while the event loop runs. The far end takes 4096
    // bytes every 60 ms, so that the line keeps asking for more as a USB adapter's does; the pty
    // holds about 20 000. Then the far end stops taking, and the close drops what is left: the
    // call log says so, and no carriage return follows a command cut short.
    void longCommandGoesOutWhileTheLoopRuns() {
        QTemporaryDir dir;
        std::optional<CallLog> log(std::in_place, dir.filePath("KV.log"));
        sim::PtyLine line;
        const auto port = portOn(line.slavePath());
        std::atomic<qsizetype> heard = 0;
        std::atomic<bool> taking = true;
        std::jthread farEnd([&](std::stop_token stop) {
            for (; !stop.stop_requested();
                 std::this_thread::sleep_for(std::chrono::milliseconds(60)))
                if (taking) heard += line.read(4096).size();
        });
        port->output("ATDT" + QString(80000, u'5'));
        QVERIFY2(heard < 15000, qPrintable(QString::number(heard)));
        QTRY_VERIFY_WITH_TIMEOUT(heard > 25000, 20'000);
        taking = false;
        QTest::qWait(300);
        port->setPortOpen(false);
        farEnd = {};
        const QByteArray rest = line.readAll();
        log.reset();
        const QString dropped =
            QString(contentsOf(dir.filePath("KV.log"))).section("dropped: ", 1).section('\n', 0, 0);
        QVERIFY2(dropped.size() > 10000 && dropped.count(u'5') == dropped.size() &&
                     heard + rest.size() + dropped.size() <= 80004 && !rest.endsWith('\r'),
                 qPrintable(QString("%1 %2 %3").arg(heard).arg(rest.size()).arg(dropped.size())));
    }

    // Closed by the program, or its device gone under it while the event loop runs: reading loops
    // end, reads, writes, the clearing and carrier detect raise 8018, DTR, closing and releasing
    // are quiet. A port whose device went away says so until the program closes or releases it.
    void closedPort_data() {
        rows("count>0|read>8018|write>8018|clear>8018|dtr>0|close>0|release>0|carrier>8018|"
             "gone count>0|gone read>8018|gone write>8018|gone clear>8018|gone dtr>0|gone close>0|"
             "gone release>0|gone carrier>8018");
    }
    void closedPort() {
        QFETCH(QString, text);
        auto line = std::make_unique<sim::PtyLine>();
        const auto port = portOn(line->slavePath());
        const bool gone = text.startsWith("gone ");
        gone ? line.reset() : port->setPortOpen(false);
        // A device gone under the open port is closed from the event loop, which would otherwise
        // spin on the port's errors.
        QTest::qWait(100);
        QVERIFY(!port->portOpen());
        const QString call = text.section(' ', -1);
        bool answer = false; // bytes waiting, carrier
        QTEST(errorOf([&] {
                  if (call == "count") answer = port->inBufferCount() != 0;
                  if (call == "read") port->input();
                  if (call == "write") port->output("ATH\r");
                  if (call == "clear") port->setInBufferCount(0);
                  if (call == "dtr") port->setDTREnable(false);
                  if (call == "close") port->setPortOpen(false);
                  if (call == "release") port->release();
                  if (call == "carrier") answer = port->cdHolding();
              }),
              "number");
        QVERIFY(!answer && !port->portOpen());
        QCOMPARE(port->deviceVanished(), gone && call != "close" && call != "release");
    }

    // Whether the device hangs up on close (HUPCL) after each row's steps. A release keeps DTR up
    // for the call; every other close, the program's end included, leaves the device's own
    // setting, as it was before the program first released it, in this process or an earlier
    // one ("new": a port of a dialer started again).
    void closesLeaveDtrAsFound_data() {
        rows("release>0|close>1|release new open close>1|release open release open close>1|"
             "end>1|release open end>1|own off, close>0|own off, release open close>0");
    }
    void closesLeaveDtrAsFound() {
        QFETCH(QString, text);
        sim::PtyLine line;
        termios t = settingsOf(line);
        t.c_cflag = text.startsWith("own off") ? t.c_cflag & ~HUPCL : t.c_cflag | HUPCL;
        ::tcsetattr(line.fd(), TCSANOW, &t);
        auto port = portOn(line.slavePath());
        for (const QString& step : text.section(", ", -1).split(' ')) {
            if (step == "release") port->release();
            if (step == "open") port->setPortOpen(true);
            if (step == "close") port->setPortOpen(false);
            if (step == "end") port.reset();
            if (step == "new") port = portOn(line.slavePath(), false);
        }
        QTEST(int(bool(settingsOf(line).c_cflag & HUPCL)), "number");
    }

    // Another program's lock file for the device, an hour old, in the form minicom writes or in
    // QLockFile's: a live process's refuses the open, an ended one's goes, one that names no
    // process stays. While
    // the port is open its lock holds this process's ID as ten characters; the close removes it.
    void lockFiles_data() {
        rows("a live process's>8005|a live process's, Qt's form>8005|an ended process's>0|"
             "no process named>8005");
    }
    void lockFiles() {
        QFETCH(QString, text);
        if (!QFileInfo("/var/lock").isWritable()) QSKIP("/var/lock cannot be written here");
        sim::PtyLine line;
        const QString lock = "/var/lock/LCK.." + QString(line.slavePath()).mid(5).replace('/', '_');
        QProcess other;
        const auto cleanUp = qScopeGuard([&] {
            QFile::remove(lock);
            other.kill();
            other.waitForFinished();
        });
        other.start("sleep", {text.contains("live") ? "30" : "0"});
        QVERIFY(other.waitForStarted());
        const QByteArray pid = QByteArray::number(other.processId());
        if (!text.contains("live")) QVERIFY(other.waitForFinished());
        QFile file(lock);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(text.contains("Qt")
                       ? pid + "\nminicom\n" + QSysInfo::machineHostName().toUtf8() + "\n"
                   : text.startsWith("no") ? "\n"
                                           : pid.rightJustified(10, ' ') + '\n');
        file.flush();
        file.setFileTime(QDateTime::currentDateTime().addSecs(-3600), QFile::FileModificationTime);
        file.close();
        const auto port = portOn(line.slavePath(), false);
        QTEST(errorOf([&] { port->setPortOpen(true); }), "number");
        if (port->portOpen()) {
            QCOMPARE(
                contentsOf(lock),
                QByteArray::number(QCoreApplication::applicationPid()).rightJustified(10, ' ') +
                    '\n');
            port->setPortOpen(false);
        }
        QCOMPARE(QFile::exists(lock), !text.contains("ended"));
    }

    // Qt's reports about a device that is still there (Windows reports a write that a purge
    // aborted as a ResourceError) go into the call log, once each; the port stays open and goes
    // on.
    void errorsOfADeviceThatIsThere() {
        QTemporaryDir dir;
        std::optional<CallLog> log(std::in_place, dir.filePath("KV.log"));
        sim::PtyLine line;
        struct Probe : SerialModemPort {
            using SerialModemPort::serialPort;
        } port;
        qputenv("TALVO_COM5", line.slavePath());
        port.setCommPort(5);
        port.setPortOpen(true);
        for (const auto error : {QSerialPort::ResourceError, QSerialPort::ReadError,
                                 QSerialPort::WriteError, QSerialPort::ResourceError})
            emit port.serialPort().errorOccurred(error);
        QTest::qWait(100);
        QVERIFY(port.portOpen());
        port.output("ATDT1\r");
        QByteArray heard;
        QTRY_COMPARE((heard += line.readAll()), "ATDT1\r");
        log.reset();
        QCOMPARE(QString(contentsOf(dir.filePath("KV.log"))).count("COM 5: the device reports"), 3);
    }

    // Once the clock has stopped (the program is ending), a pause returns at once and no timer
    // ticks.
    void pauseAndStop() {
        EventLoopClock clock;
        int ticks = 0;
        auto timer = clock.createTimer(1, [&] { ++ticks; });
        timer->setEnabled(true);
        clock.stop();
        clock.pause(600'000); // or the test times out
        QTest::qWait(20);
        QCOMPARE(ticks, 0);
    }

    // One whole call in real time, the program's own serial layer and clock against modem-sim on
    // its link, as ./run --demo has it. The modem logs what it heard (a control byte written
    // visibly) and each close; DTR stays up through the release and falls at the hang-up's close,
    // as the terminal hangs up on close. At the end the modem takes its link away. How long each
    // gap lasts is measured by bench/dial_cycle.
    void wholeCallOnTheSimulatedModem() {
        QTemporaryDir dir;
        const QString link = dir.filePath("com1");
        QProcess sim;
        sim.start(MODEM_SIM, {"--log", dir.filePath("log"), "--link", link});
        QTRY_VERIFY(sim.canReadLine());
        QCOMPARE(QFile::symLinkTarget(link), sim.readLine().trimmed());
        const int fd = ::open(QFile::encodeName(link), O_RDWR | O_NOCTTY | O_NONBLOCK);
        QCOMPARE(::write(fd, "\001AT\r", 4), 4);
        QTest::qWait(100);
        ::close(fd);

        qputenv("TALVO_COM1", QFile::encodeName(link));
        SerialModemPort port;
        EventLoopClock clock;
        test::FakeMessageBox box;
        test::FakeLauncher launcher;
        FrmMain frm({port, clock, box, launcher, QDir::tempPath(), [] {}});
        MainWindow& w = frm.window();
        w.txtPhoneNum->setText("5551231");
        w.buttonConnect->click(); // returns once the dial is over
        QCOMPARE(w.lblStatus->caption() + (port.portOpen() ? ", port open" : ""),
                 "OK to start Ampliview");
        w.buttonHangUp->click();
        QTRY_COMPARE_WITH_TIMEOUT(w.lblStatus->caption(), "Offline - Ready to dial", 20'000);
        QVERIFY(!port.portOpen() && box.shown.isEmpty());

        const auto log = [&] {
            QFile file(dir.filePath("log"));
            return file.open(QIODevice::ReadOnly) ? QString(file.readAll()) : QString();
        };
        QTRY_VERIFY(log().endsWith(" dtr off\n"));
        QStringList heard;
        for (const QString& line : log().split('\n'))
            if (line.contains(QRegularExpression(" (rx|close|dtr off)")))
                heard << line.section(' ', 1);
        QCOMPARE(heard.join('|'),
                 "rx \"\\x01AT\\r\"|close|dtr off|rx \"AT&F0\\r\"|rx \"AT&C1\\r\"|"
                 "rx \"ATDT5551231\\r\"|close|rx \"+++\"|rx \"ATH\\r\"|close|dtr off");
        sim.terminate();
        QVERIFY(sim.waitForFinished() && sim.exitCode() == 0);
        QVERIFY(!QFile::exists(link));
    }
};

QTEST_MAIN(SerialPortTest)
#include "serial_port_test.moc"
