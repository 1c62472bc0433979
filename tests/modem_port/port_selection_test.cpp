#include "error_reporting/run_time_error.h"
#include "modem_port/port_selection.h"
#include "modem_port/serial_modem_port.h"

#include <QTest>

using namespace kv;

// Combo1's text to the port number: the run of digits that ends it.
class PortSelectionTest : public QObject {
    Q_OBJECT
  private slots:
    void selectsByLastCharacter_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("port");   // the port selected, when it is
        QTest::addColumn<int>("number"); // the error raised, or 0
        QTest::newRow("COM 1") << "COM 1" << 1 << 0;
        QTest::newRow("COM 8") << "COM 8" << 8 << 0;
        QTest::newRow("typed COM 12") << "COM 12" << 12 << 0;
        QTest::newRow("digits alone") << "7" << 7 << 0;
        QTest::newRow("leading zero") << "COM 03" << 3 << 0;
        QTest::newRow("beyond any port") << "COM 40000" << 0 << err::InvalidPort;
        QTest::newRow("digit before a letter") << "COM 1x" << 0 << err::TypeMismatch;
        QTest::newRow("digit 0") << "COM 0" << 0 << err::InvalidPort;
        QTest::newRow("COMx") << "COMx" << 0 << err::TypeMismatch;
        QTest::newRow("empty") << "" << 0 << err::TypeMismatch;
        QTest::newRow("trailing blank") << "COM " << 0 << err::TypeMismatch;
        QTest::newRow("Arabic-Indic three")
            << QStringLiteral("COM \u0663") << 0 << err::TypeMismatch;
        QTest::newRow("full-width three") << QStringLiteral("COM \uff13") << 0 << err::TypeMismatch;
        QTest::newRow("superscript three")
            << QStringLiteral("COM \u00b3") << 0 << err::TypeMismatch;
    }

    void selectsByLastCharacter() {
        QFETCH(QString, text);
        QFETCH(int, port);
        QFETCH(int, number);
        constexpr std::int16_t before = 4;
        SerialModemPort modemPort;
        modemPort.setCommPort(before);

        int raised = 0;
        try {
            selectPort(modemPort, text);
        } catch (const RunTimeError& error) {
            raised = error.number();
        }

        QCOMPARE(raised, number);
        QCOMPARE(modemPort.commPort(), number ? before : port);
    }
};

QTEST_GUILESS_MAIN(PortSelectionTest)
#include "port_selection_test.moc"
