#include "pseudo_terminal.h"

#include "error_reporting/run_time_error.h"
#include "modem_port/device_map.h"
#include "modem_port/serial_modem_port.h"

#include <QFile>
#include <QScopeGuard>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <functional>
#include <memory>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

using namespace kv;
using namespace kv::test;

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

std::unique_ptr<SerialModemPort> openPortOn(const PseudoTerminal& line) {
    mapPort(line.devicePath());
    auto port = std::make_unique<SerialModemPort>();
    port->setCommPort(Com);
    port->setPortOpen(true);
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
    DanglingLink,
    NullDevice,
    RegularFile,
    Directory,
    HeldByAnotherProgram,
    HeldUnderAnotherName,
    ExclusiveTty,
    NoPermission,
    AlreadyOpenHere,
    UnreadableSettings,
};

enum class Closure { NeverOpened, ClosedByProgram, FarEndGoneUnnoticed, FarEndGoneWhileIdle };

enum class Operation {
    CountWaiting,
    ReadWaiting,
    Send,
    ClearInput,
    ClearOutput,
    Carrier,
    LowerDtr,
    RaiseDtr,
    Close,
};

// The port on a real tty: its device, its error numbers, and the bytes that cross the line.
class SerialModemPortTest : public QObject {
    Q_OBJECT
  private slots:
    void cleanup();
    void deviceForPort_data();
    void deviceForPort();
    void openRefused_data();
    void openRefused();
    void lineSettingsReachTheDevice_data();
    void lineSettingsReachTheDevice();
    void textReachesTheLineByteForByte_data();
    void textReachesTheLineByteForByte();
    void replyIsReadWithoutTheEventLoop_data();
    void replyIsReadWithoutTheEventLoop();
    void clearingDiscardsEverythingReceived_data();
    void clearingDiscardsEverythingReceived();
    void modemLinesOnAPseudoTerminalAreQuiet();
    void releasingThePortKeepsDtrUp_data();
    void releasingThePortKeepsDtrUp();
    void closedPort_data();
    void closedPort();
};

void SerialModemPortTest::cleanup() {
    qunsetenv(ComVariable);
}

void SerialModemPortTest::deviceForPort_data() {
    QTest::addColumn<QByteArray>("variable");
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("device");
    QTest::newRow("mapped") << QByteArray("/dev/ttyUSB0") << 5 << "/dev/ttyUSB0";
    QTest::newRow("COM 1 is the first serial port") << QByteArray() << 1 << "/dev/ttyS0";
    QTest::newRow("COM 8") << QByteArray() << 8 << "/dev/ttyS7";
    QTest::newRow("mapping left empty") << QByteArray("") << 5 << "/dev/ttyS4";
}

void SerialModemPortTest::deviceForPort() {
    QFETCH(QByteArray, variable);
    QFETCH(int, port);
    QFETCH(QString, device);
    if (!variable.isNull()) qputenv(ComVariable, variable);
    QCOMPARE(devicePathForPort(std::int16_t(port)), device);
}

void SerialModemPortTest::openRefused_data() {
    QTest::addColumn<Refusal>("refusal");
    QTest::addColumn<int>("number");
    QTest::newRow("no such device") << Refusal::MissingDevice << err::InvalidPort;
    QTest::newRow("link to nothing") << Refusal::DanglingLink << err::InvalidPort;
    QTest::newRow("/dev/null") << Refusal::NullDevice << err::InvalidPort;
    QTest::newRow("regular file") << Refusal::RegularFile << err::InvalidPort;
    QTest::newRow("directory") << Refusal::Directory << err::InvalidPort;
    QTest::newRow("held by another program") << Refusal::HeldByAnotherProgram << err::PortInUse;
    QTest::newRow("held, named through a link") << Refusal::HeldUnderAnotherName << err::PortInUse;
    QTest::newRow("exclusive tty") << Refusal::ExclusiveTty << err::PortInUse;
    QTest::newRow("permission denied") << Refusal::NoPermission << err::PortInUse;
    QTest::newRow("already open here") << Refusal::AlreadyOpenHere << err::PortInUse;
    QTest::newRow("unreadable settings") << Refusal::UnreadableSettings << 380;
}

void SerialModemPortTest::openRefused() {
    QFETCH(Refusal, refusal);
    QFETCH(int, number);
    PseudoTerminal line;
    QVERIFY(line.valid());
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QSerialPort otherProgram;
    int exclusive = -1;
    const auto closeExclusive = qScopeGuard([&] {
        if (exclusive >= 0) ::close(exclusive);
    });
    const bool root = ::geteuid() == 0;
    SerialModemPort port;
    port.setCommPort(Com);
    mapPort(line.devicePath());

    switch (refusal) {
    case Refusal::MissingDevice:
        mapPort(dir.filePath("ttyUSB9"));
        break;
    case Refusal::DanglingLink:
        QVERIFY(QFile::link(dir.filePath("ttyUSB9"), dir.filePath("modem")));
        mapPort(dir.filePath("modem"));
        break;
    case Refusal::NullDevice:
        mapPort("/dev/null");
        break;
    case Refusal::RegularFile: {
        QFile file(dir.filePath("ttyS9"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        mapPort(file.fileName());
        break;
    }
    case Refusal::Directory:
        mapPort(dir.path());
        break;
    case Refusal::HeldByAnotherProgram:
        otherProgram.setPortName(line.devicePath());
        QVERIFY(otherProgram.open(QIODevice::ReadWrite));
        break;
    case Refusal::HeldUnderAnotherName:
        otherProgram.setPortName(line.devicePath());
        QVERIFY(otherProgram.open(QIODevice::ReadWrite));
        QVERIFY(QFile::link(line.devicePath(), dir.filePath("modem")));
        mapPort(dir.filePath("modem"));
        break;
    case Refusal::ExclusiveTty:
        if (root) QSKIP("root opens an exclusive tty regardless");
        exclusive = ::open(QFile::encodeName(line.devicePath()).constData(),
                           O_RDWR | O_NOCTTY | O_NONBLOCK);
        QVERIFY(exclusive >= 0);
        QCOMPARE(::ioctl(exclusive, TIOCEXCL), 0);
        break;
    case Refusal::NoPermission:
        if (root) QSKIP("root opens any device");
        QCOMPARE(::chmod(QFile::encodeName(line.devicePath()).constData(), 0), 0);
        break;
    case Refusal::AlreadyOpenHere:
        port.setPortOpen(true);
        break;
    case Refusal::UnreadableSettings:
        port.setSettings("9600,x,8,1");
        break;
    }

    QCOMPARE(errorOf([&] { port.setPortOpen(true); }), number);
    QCOMPARE(port.portOpen(), refusal == Refusal::AlreadyOpenHere);
}

void SerialModemPortTest::lineSettingsReachTheDevice_data() {
    QTest::addColumn<QString>("settings");
    QTest::addColumn<speed_t>("speed");
    QTest::addColumn<tcflag_t>("dataBits");
    QTest::addColumn<bool>("parity");
    QTest::addColumn<bool>("twoStopBits");
    QTest::newRow("the dialer's") << "9600,n,8,1" << speed_t(B9600) << tcflag_t(CS8) << false
                                  << false;
    // A pseudo-terminal keeps 8 data bits and no parity whatever it is told.
    QTest::newRow("another") << "2400,n,8,2" << speed_t(B2400) << tcflag_t(CS8) << false << true;
}

void SerialModemPortTest::lineSettingsReachTheDevice() {
    QFETCH(QString, settings);
    QFETCH(speed_t, speed);
    QFETCH(tcflag_t, dataBits);
    QFETCH(bool, parity);
    QFETCH(bool, twoStopBits);
    PseudoTerminal line;
    mapPort(line.devicePath());
    SerialModemPort port;
    port.setCommPort(Com);
    port.setSettings(settings);
    port.setPortOpen(true);

    const termios applied = lineSettingsOf(line);
    QCOMPARE(::cfgetospeed(&applied), speed);
    QCOMPARE(::cfgetispeed(&applied), speed);
    QCOMPARE(applied.c_cflag & CSIZE, dataBits);
    QCOMPARE(bool(applied.c_cflag & PARENB), parity);
    QCOMPARE(bool(applied.c_cflag & CSTOPB), twoStopBits);
    QVERIFY(!(applied.c_cflag & CRTSCTS));
    QVERIFY(!(applied.c_iflag & (IXON | IXOFF)));
    // Raw: no CR or LF is added, dropped or translated on the way.
    QVERIFY(!(applied.c_oflag & OPOST));
    QVERIFY(!(applied.c_iflag & (ICRNL | INLCR | IGNCR)));
}

void SerialModemPortTest::textReachesTheLineByteForByte_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("a command: its five characters and CR") << "AT&F0\r" << QByteArray("AT&F0\r");
    QTest::newRow("escape, no CR") << "+++" << QByteArray("+++");
    QTest::newRow("CR LF untranslated") << "\r\n" << QByteArray("\r\n");
    QTest::newRow("Latin-1 character") << QStringLiteral("\u00e9") << QByteArray("\xe9");
    QTest::newRow("character outside Latin-1") << QStringLiteral("\u20ac") << QByteArray("?");
}

// No event loop runs here: the bytes must be on the line when output returns.
void SerialModemPortTest::textReachesTheLineByteForByte() {
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    PseudoTerminal line;
    const auto port = openPortOn(line);

    port->output(text);

    QCOMPARE(line.received(), bytes);
}

void SerialModemPortTest::replyIsReadWithoutTheEventLoop_data() {
    QTest::addColumn<QByteArray>("reply");
    QTest::newRow("OK") << QByteArray("\r\nOK\r\n");
    QTest::newRow("bytes above 127") << QByteArray("\x80\xe9\xff");
    QTest::newRow("a long burst") << QByteArray(3000, 'x');
}

// The way the sequences read: ask the count, read, until the count is 0, all in one handler.
void SerialModemPortTest::replyIsReadWithoutTheEventLoop() {
    QFETCH(QByteArray, reply);
    PseudoTerminal line;
    const auto port = openPortOn(line);

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

void SerialModemPortTest::clearingDiscardsEverythingReceived_data() {
    QTest::addColumn<bool>("countedFirst");
    QTest::newRow("bytes still with the driver") << false;
    QTest::newRow("bytes already counted") << true;
}

void SerialModemPortTest::clearingDiscardsEverythingReceived() {
    QFETCH(bool, countedFirst);
    PseudoTerminal line;
    const auto port = openPortOn(line);
    line.send("\r\nNO CARRIER\r\n");
    if (countedFirst) QVERIFY(port->inBufferCount() > 0);

    port->setInBufferCount(0);
    port->setOutBufferCount(0);

    QCOMPARE(port->inBufferCount(), 0);
    line.send("OK");
    QCOMPARE(port->input(), "OK");
}

void SerialModemPortTest::modemLinesOnAPseudoTerminalAreQuiet() {
    PseudoTerminal line;
    const auto port = openPortOn(line);
    bool carrier = true;

    QCOMPARE(errorOf([&] { port->setDTREnable(false); }), 0);
    QCOMPARE(errorOf([&] { port->setDTREnable(true); }), 0);
    QCOMPARE(errorOf([&] { carrier = port->cdHolding(); }), 0);

    QVERIFY(!carrier);
    QVERIFY(port->portOpen());
    port->output("AT\r");
    QCOMPARE(line.received(), "AT\r");
}

void SerialModemPortTest::releasingThePortKeepsDtrUp_data() {
    QTest::addColumn<bool>("destroyWhileOpen");
    QTest::newRow("port closed") << false;
    QTest::newRow("port object gone while open") << true;
}

// Linux lowers DTR at the last close of a tty that has HUPCL set, which would hang up a modem
// set to &D2 just as the dialer hands the line over.
void SerialModemPortTest::releasingThePortKeepsDtrUp() {
    QFETCH(bool, destroyWhileOpen);
    PseudoTerminal line;
    termios before = lineSettingsOf(line);
    before.c_cflag |= HUPCL;
    QCOMPARE(::tcsetattr(line.master(), TCSANOW, &before), 0);
    auto port = openPortOn(line);

    if (destroyWhileOpen)
        port.reset();
    else
        port->setPortOpen(false);

    QVERIFY(!(lineSettingsOf(line).c_cflag & HUPCL));
}

void SerialModemPortTest::closedPort_data() {
    QTest::addColumn<Closure>("closure");
    QTest::addColumn<Operation>("operation");
    QTest::addColumn<int>("number");
    const std::pair<const char*, Closure> closures[] = {
        {"never opened", Closure::NeverOpened},
        {"closed", Closure::ClosedByProgram},
        {"far end gone, noticed by this call", Closure::FarEndGoneUnnoticed},
        {"far end gone while idle", Closure::FarEndGoneWhileIdle},
    };
    const std::tuple<const char*, Operation, int> operations[] = {
        {"InBufferCount", Operation::CountWaiting, 0},
        {"Input", Operation::ReadWaiting, err::PortNotOpen},
        {"Output", Operation::Send, err::PortNotOpen},
        {"InBufferCount = 0", Operation::ClearInput, err::PortNotOpen},
        {"OutBufferCount = 0", Operation::ClearOutput, err::PortNotOpen},
        {"CDHolding", Operation::Carrier, err::PortNotOpen},
        {"DTREnable = False", Operation::LowerDtr, 0},
        {"DTREnable = True", Operation::RaiseDtr, 0},
        {"PortOpen = False", Operation::Close, 0},
    };
    for (const auto& [closureName, closure] : closures)
        for (const auto& [operationName, operation, number] : operations)
            QTest::addRow("%s: %s", closureName, operationName) << closure << operation << number;
}

void SerialModemPortTest::closedPort() {
    QFETCH(Closure, closure);
    QFETCH(Operation, operation);
    QFETCH(int, number);
    PseudoTerminal line;
    mapPort(line.devicePath());
    SerialModemPort port;
    port.setCommPort(Com);
    if (closure != Closure::NeverOpened) port.setPortOpen(true);
    if (closure == Closure::ClosedByProgram) port.setPortOpen(false);
    if (closure == Closure::FarEndGoneUnnoticed || closure == Closure::FarEndGoneWhileIdle) {
        line.send("\r\nNO CARRIER\r\n");
        line.hangUp();
    }
    if (closure == Closure::FarEndGoneWhileIdle) QTRY_VERIFY(!port.portOpen());

    int count = -1;
    const auto run = [&] {
        switch (operation) {
        case Operation::CountWaiting:
            count = port.inBufferCount();
            break;
        case Operation::ReadWaiting:
            port.input();
            break;
        case Operation::Send:
            port.output("ATH\r");
            break;
        case Operation::ClearInput:
            port.setInBufferCount(0);
            break;
        case Operation::ClearOutput:
            port.setOutBufferCount(0);
            break;
        case Operation::Carrier:
            port.cdHolding();
            break;
        case Operation::LowerDtr:
            port.setDTREnable(false);
            break;
        case Operation::RaiseDtr:
            port.setDTREnable(true);
            break;
        case Operation::Close:
            port.setPortOpen(false);
            break;
        }
    };
    QCOMPARE(errorOf(run), number);
    if (operation == Operation::CountWaiting) QCOMPARE(count, 0);
    QVERIFY(!port.portOpen());
}

QTEST_GUILESS_MAIN(SerialModemPortTest)
#include "serial_modem_port_test.moc"
