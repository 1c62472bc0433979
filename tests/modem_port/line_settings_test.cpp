#include "modem_port/line_settings.h"

#include <QTest>

using namespace kv;

class LineSettingsTest : public QObject {
    Q_OBJECT
  private slots:
    void reads_data();
    void reads();
};

void LineSettingsTest::reads_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("baudRate");
    QTest::addColumn<QSerialPort::Parity>("parity");
    QTest::addColumn<QSerialPort::DataBits>("dataBits");
    QTest::addColumn<QSerialPort::StopBits>("stopBits");
    const auto no = QSerialPort::NoParity;
    QTest::newRow("the dialer's") << "9600,n,8,1" << true << 9600 << no << QSerialPort::Data8
                                  << QSerialPort::OneStop;
    QTest::newRow("even, 7, 2") << "2400,E,7,2" << true << 2400 << QSerialPort::EvenParity
                                << QSerialPort::Data7 << QSerialPort::TwoStop;
    QTest::newRow("odd, 1.5 stop bits") << "1200,o,5,1.5" << true << 1200 << QSerialPort::OddParity
                                        << QSerialPort::Data5 << QSerialPort::OneAndHalfStop;
    QTest::newRow("mark") << "300,m,8,1" << true << 300 << QSerialPort::MarkParity
                          << QSerialPort::Data8 << QSerialPort::OneStop;
    const auto bad = [&](const char* name, const char* text) {
        QTest::newRow(name) << QString(text) << false << 0 << no << QSerialPort::Data8
                            << QSerialPort::OneStop;
    };
    bad("empty", "");
    bad("three fields", "9600,n,8");
    bad("five fields", "9600,n,8,1,1");
    bad("unknown parity", "9600,x,8,1");
    bad("9 data bits", "9600,n,9,1");
    bad("3 stop bits", "9600,n,8,3");
    bad("speed not a number", "fast,n,8,1");
    bad("speed 0", "0,n,8,1");
}

void LineSettingsTest::reads() {
    QFETCH(QString, text);
    QFETCH(bool, valid);
    const std::optional<LineSettings> settings = parseLineSettings(text);
    QCOMPARE(settings.has_value(), valid);
    if (!valid) return;
    QTEST(int(settings->baudRate), "baudRate");
    QTEST(settings->parity, "parity");
    QTEST(settings->dataBits, "dataBits");
    QTEST(settings->stopBits, "stopBits");
}

QTEST_GUILESS_MAIN(LineSettingsTest)
#include "line_settings_test.moc"
