#include "pseudo_terminal.h"

#include "error_reporting/run_time_error.h"
#include "modem_port/device_map.h"
#include "modem_port/serial_modem_port.h"

#include <QFile>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QTest>

#include <functional>
#include <memory>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

using namespace kv;
using namespace kv::test;

using PortCall = std::function<void(SerialModemPort&)>;
Q_DECLARE_METATYPE(PortCall)

namespace {

// Every test puts its device on this port through the environment.
constexpr std::int16_t Com = 5;
const char* const ComVariable = "TALVO_COM5";

void mapPort(const QString& device) {
    qputenv(ComVariable, QFile::encodeName(device));
}

// The error number an action raises, or 0 when it goes through.
int errorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const RunTimeError& error) {
        return error.number();
    }
    return 0;
}

std::unique_ptr<SerialModemPort> portOn(const PseudoTerminal& line, bool open = true) {
    mapPort(line.devicePath());
    auto port = std::make_unique<SerialModemPort>();
    port->setCommPort(Com);
    if (open) port->setPortOpen(true);
    return port;
}

termios lineSettingsOf(const PseudoTerminal& line) {
    termios settings{};
    ::tcgetattr(line.master(), &settings); // a master reads and sets its slave's settings
    return settings;
}

} // namespace

enum class Refusal {
    MissingDevice,
    NullDevice,
    RegularFile,
    HeldByAnotherProgram,
    HeldUnderAnotherName,
    ExclusiveTty,
    AlreadyOpenHere,
    UnreadableSettings,
};

enum class Closure { NeverOpened, ClosedByProgram, FarEndGoneUnnoticed, FarEndGoneWhileIdle };

// The port on a real tty: its device, its error numbers, and the bytes that cross the line.
class SerialModemPortTest : public QObject {
    Q_OBJECT
  private slots:
    void cleanup() { qunsetenv(ComVariable); }

    void deviceForPort_data() {
        QTest::addColumn<QByteArray>("variable");
        QTest::addColumn<int>("port");
        QTest::addColumn<QString>("device");
        QTest::newRow("mapped") << QByteArray("/dev/ttyUSB0") << 5 << "/dev/ttyUSB0";
        QTest::newRow("COM 1 is the first serial port") << QByteArray() << 1 << "/dev/ttyS0";
        QTest::newRow("mapping left empty") << QByteArray("") << 5 << "/dev/ttyS4";
    }

    void deviceForPort() {
        QFETCH(QByteArray, variable);
        QFETCH(int, port);
        if (!variable.isNull()) qputenv(ComVariable, variable);
        QTEST(devicePathForPort(std::int16_t(port)), "device");
    }

    void openRefused_data() {
        QTest::addColumn<Refusal>("refusal");
        QTest::addColumn<int>("number");
        QTest::newRow("no such device") << Refusal::MissingDevice << err::InvalidPort;
        QTest::newRow("/dev/null") << Refusal::NullDevice << err::InvalidPort;
        QTest::newRow("regular file") << Refusal::RegularFile << err::InvalidPort;
        QTest::newRow("held by another program") << Refusal::HeldByAnotherProgram << err::PortInUse;
        QTest::newRow("held, named through a link")
            << Refusal::HeldUnderAnotherName << err::PortInUse;
        QTest::newRow("exclusive tty") << Refusal::ExclusiveTty << err::PortInUse;
        QTest::newRow("already open here") << Refusal::AlreadyOpenHere << err::PortInUse;
        QTest::newRow("unreadable settings") << Refusal::UnreadableSettings << 380;
    }

    void openRefused() {
        QFETCH(Refusal, refusal);
        QFETCH(int, number);
        PseudoTerminal line;
        QVERIFY(line.valid());
        QTemporaryDir dir;
        QSerialPort otherProgram(line.devicePath());
        QFile exclusive(line.devicePath());
        const auto port = portOn(line, false);

        switch (refusal) {
        case Refusal::MissingDevice:
            mapPort(dir.filePath("ttyUSB9"));
            break;
        case Refusal::NullDevice:
            mapPort("/dev/null");
            break;
        case Refusal::RegularFile:
            QVERIFY(QFile(dir.filePath("ttyS9")).open(QIODevice::WriteOnly));
            mapPort(dir.filePath("ttyS9"));
            break;
        case Refusal::HeldUnderAnotherName:
            QVERIFY(QFile::link(line.devicePath(), dir.filePath("modem")));
            mapPort(dir.filePath("modem"));
            [[fallthrough]];
        case Refusal::HeldByAnotherProgram:
            QVERIFY(otherProgram.open(QIODevice::ReadWrite));
            break;
        case Refusal::ExclusiveTty:
            if (::geteuid() == 0) QSKIP("root opens an exclusive tty regardless");
            QVERIFY(exclusive.open(QIODevice::ReadWrite | QIODevice::Unbuffered));
            QCOMPARE(::ioctl(exclusive.handle(), TIOCEXCL), 0);
            break;
        case Refusal::AlreadyOpenHere:
            port->setPortOpen(true);
            break;
        case Refusal::UnreadableSettings:
            port->setSettings("9600,x,8,1");
            break;
        }

        QCOMPARE(errorOf([&] { port->setPortOpen(true); }), number);
        QCOMPARE(port->portOpen(), refusal == Refusal::AlreadyOpenHere);
    }

    void lineSettingsReachTheDevice_data() {
        QTest::addColumn<QString>("settings");
        QTest::addColumn<speed_t>("speed");
        QTest::addColumn<bool>("twoStopBits");
        // A pseudo-terminal keeps 8 data bits and no parity whatever it is told.
        QTest::newRow("the dialer's") << "9600,n,8,1" << speed_t(B9600) << false;
        QTest::newRow("another") << "2400,n,8,2" << speed_t(B2400) << true;
    }

    void lineSettingsReachTheDevice() {
        QFETCH(QString, settings);
        QFETCH(speed_t, speed);
        PseudoTerminal line;
        const auto port = portOn(line, false);
        port->setSettings(settings);
        port->setPortOpen(true);

        const termios applied = lineSettingsOf(line);
        QCOMPARE(::cfgetospeed(&applied), speed);
        QCOMPARE(::cfgetispeed(&applied), speed);
        QTEST(bool(applied.c_cflag & CSTOPB), "twoStopBits");
        QVERIFY(!(applied.c_cflag & CRTSCTS));
        QVERIFY(!(applied.c_iflag & (IXON | IXOFF)));
        // Raw: no CR or LF is added, dropped or translated on the way.
        QVERIFY(!(applied.c_oflag & OPOST));
        QVERIFY(!(applied.c_iflag & (ICRNL | INLCR | IGNCR)));
    }

    void textReachesTheLineByteForByte_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("a command: its five characters and CR")
            << "AT&F0\r" << QByteArray("AT&F0\r");
        QTest::newRow("escape, no CR") << "+++" << QByteArray("+++");
        QTest::newRow("CR LF untranslated") << "\r\n" << QByteArray("\r\n");
        QTest::newRow("Latin-1 character") << QStringLiteral("\u00e9") << QByteArray("\xe9");
        QTest::newRow("character outside Latin-1") << QStringLiteral("\u20ac") << QByteArray("?");
    }

    // No event loop runs here: the bytes must be on the line when output returns.
    void textReachesTheLineByteForByte() {
        QFETCH(QString, text);
        PseudoTerminal line;
        portOn(line)->output(text);
        QTEST(line.received(), "bytes");
    }

    void replyIsReadWithoutTheEventLoop_data() {
        QTest::addColumn<QByteArray>("reply");
        QTest::newRow("OK") << QByteArray("\r\nOK\r\n");
        QTest::newRow("bytes above 127") << QByteArray("\x80\xe9\xff");
        QTest::newRow("a long burst") << QByteArray(3000, 'x');
    }

    // The way the sequences read: ask the count, read, until the count is 0, all in one handler.
    void replyIsReadWithoutTheEventLoop() {
        QFETCH(QByteArray, reply);
        PseudoTerminal line;
        const auto port = portOn(line);

        line.send(reply);

        const int counted = port->inBufferCount();
        QVERIFY(counted > 0);
        QString text = port->input();
        QVERIFY(text.size() >= counted);
        while (port->inBufferCount() > 0) {
            const QString more = port->input();
            QVERIFY(!more.isEmpty());
            text += more;
        }
        QCOMPARE(text, QString::fromLatin1(reply));
        QCOMPARE(port->input(), QString());
    }

    void clearingDiscardsEverythingReceived_data() {
        QTest::addColumn<bool>("countedFirst");
        QTest::newRow("bytes still with the driver") << false;
        QTest::newRow("bytes already counted") << true;
    }

    void clearingDiscardsEverythingReceived() {
        QFETCH(bool, countedFirst);
        PseudoTerminal line;
        const auto port = portOn(line);
        line.send("\r\nNO CARRIER\r\n");
        if (countedFirst) QVERIFY(port->inBufferCount() > 0);

        port->setInBufferCount(0);
        port->setOutBufferCount(0);

        QCOMPARE(port->inBufferCount(), 0);
        line.send("OK");
        QCOMPARE(port->input(), "OK");
    }

    void modemLinesOnAPseudoTerminalAreQuiet() {
        PseudoTerminal line;
        const auto port = portOn(line);
        bool carrier = true;

        QCOMPARE(errorOf([&] { port->setDTREnable(false); }), 0);
        QCOMPARE(errorOf([&] { port->setDTREnable(true); }), 0);
        QCOMPARE(errorOf([&] { carrier = port->cdHolding(); }), 0);

        QVERIFY(!carrier);
        QVERIFY(port->portOpen());
        port->output("AT\r");
        QCOMPARE(line.received(), "AT\r");
    }

    void releasingThePortKeepsDtrUp_data() {
        QTest::addColumn<bool>("programEnds");
        QTest::addColumn<bool>("hupcl");
        QTest::newRow("port released") << false << false;
        QTest::newRow("program ends with the port open") << true << true;
    }

    // Linux lowers DTR at the last close of a tty that has HUPCL set, which would hang up a modem
    // set to &D2 just as the dialer hands the line over; but a program that ends in the middle of
    // a call must not leave the modem off-hook.
    void releasingThePortKeepsDtrUp() {
        QFETCH(bool, programEnds);
        QFETCH(bool, hupcl);
        PseudoTerminal line;
        termios before = lineSettingsOf(line);
        before.c_cflag |= HUPCL;
        QCOMPARE(::tcsetattr(line.master(), TCSANOW, &before), 0);
        auto port = portOn(line);

        if (programEnds)
            port.reset();
        else
            port->setPortOpen(false);

        QCOMPARE(bool(lineSettingsOf(line).c_cflag & HUPCL), hupcl);
    }

    void closedPort_data() {
        QTest::addColumn<Closure>("closure");
        QTest::addColumn<PortCall>("call");
        QTest::addColumn<int>("number");
        const std::tuple<const char*, PortCall, int> calls[] = {
            {"InBufferCount", [](SerialModemPort& p) { QCOMPARE(p.inBufferCount(), 0); }, 0},
            {"Input", [](SerialModemPort& p) { p.input(); }, err::PortNotOpen},
            {"Output", [](SerialModemPort& p) { p.output("ATH\r"); }, err::PortNotOpen},
            {"InBufferCount = 0", [](SerialModemPort& p) { p.setInBufferCount(0); },
             err::PortNotOpen},
            {"OutBufferCount = 0", [](SerialModemPort& p) { p.setOutBufferCount(0); },
             err::PortNotOpen},
            {"CDHolding", [](SerialModemPort& p) { p.cdHolding(); }, err::PortNotOpen},
            {"DTREnable = False", [](SerialModemPort& p) { p.setDTREnable(false); }, 0},
            {"DTREnable = True", [](SerialModemPort& p) { p.setDTREnable(true); }, 0},
            {"PortOpen = False", [](SerialModemPort& p) { p.setPortOpen(false); }, 0},
        };
        // A far end gone unnoticed meets each call's own check of the device; a port known to be
        // closed answers every call through the same rule, so a few calls stand for the rest.
        const std::tuple<const char*, Closure, QList<int>> closures[] = {
            {"far end gone, noticed by this call",
             Closure::FarEndGoneUnnoticed,
             {0, 1, 2, 3, 4, 5, 6, 7, 8}},
            {"never opened", Closure::NeverOpened, {0, 1, 6, 8}},
            {"closed", Closure::ClosedByProgram, {0, 2}},
            {"far end gone while idle", Closure::FarEndGoneWhileIdle, {0, 2}},
        };
        for (const auto& [closureName, closure, picked] : closures)
            for (const int i : picked) {
                const auto& [callName, call, number] = calls[i];
                // The carrier query that finds the device gone answers "no carrier".
                const bool noCarrier = closure == Closure::FarEndGoneUnnoticed && i == 5;
                QTest::addRow("%s: %s", closureName, callName)
                    << closure << call << (noCarrier ? 0 : number);
            }
    }

    void closedPort() {
        QFETCH(Closure, closure);
        QFETCH(PortCall, call);
        PseudoTerminal line;
        const auto port = portOn(line, closure != Closure::NeverOpened);
        if (closure == Closure::ClosedByProgram) port->setPortOpen(false);
        if (closure == Closure::FarEndGoneUnnoticed || closure == Closure::FarEndGoneWhileIdle) {
            line.send("\r\nNO CARRIER\r\n");
            line.hangUp();
        }
        if (closure == Closure::FarEndGoneWhileIdle) QTRY_VERIFY(!port->portOpen());

        QTEST(errorOf([&] { call(*port); }), "number");
        QVERIFY(!port->portOpen());
        // Gone under the open port until the program opens or closes it again.
        const bool farEndGone =
            closure == Closure::FarEndGoneUnnoticed || closure == Closure::FarEndGoneWhileIdle;
        const QString name = QTest::currentDataTag();
        QCOMPARE(port->deviceVanished(), farEndGone && !name.endsWith("PortOpen = False"));
    }
};

QTEST_GUILESS_MAIN(SerialModemPortTest)
#include "serial_modem_port_test.moc"
