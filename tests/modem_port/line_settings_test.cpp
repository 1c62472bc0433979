#include "modem_port/line_settings.h"

#include <QTest>

using namespace kv;

class LineSettingsTest : public QObject {
    Q_OBJECT
  private slots:
    void reads_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QList<int>>("read"); // speed, parity, data bits, stop bits; empty: refused
        QTest::newRow("the dialer's")
            << "9600,n,8,1" << QList<int>{9600, QSerialPort::NoParity, 8, QSerialPort::OneStop};
        QTest::newRow("even, 7, 2")
            << "2400,E,7,2" << QList<int>{2400, QSerialPort::EvenParity, 7, QSerialPort::TwoStop};
        QTest::newRow("odd, 1.5 stop bits")
            << "1200,o,5,1.5"
            << QList<int>{1200, QSerialPort::OddParity, 5, QSerialPort::OneAndHalfStop};
        QTest::newRow("mark") << "300,m,8,1"
                              << QList<int>{300, QSerialPort::MarkParity, 8, QSerialPort::OneStop};
        for (const char* bad : {"", "9600,n,8", "9600,n,8,1,1", "9600,x,8,1", "9600,n,9,1",
                                "9600,n,8,3", "fast,n,8,1", "0,n,8,1"})
            QTest::addRow("refused: \"%s\"", bad) << QString(bad) << QList<int>();
    }

    void reads() {
        QFETCH(QString, text);
        const std::optional<LineSettings> s = parseLineSettings(text);
        const auto read =
            s ? QList<int>{s->baudRate, s->parity, s->dataBits, s->stopBits} : QList<int>();
        QTEST(read, "read");
    }
};

QTEST_GUILESS_MAIN(LineSettingsTest)
#include "line_settings_test.moc"
