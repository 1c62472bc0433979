#include "dialer_rig.h"

#include "error_reporting/message_box.h"
#include "main_window/caption_label.h"
#include "modem_port/clock.h"

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QTest>

using namespace kv;
using namespace kv::test;
using sim::Outcome;

namespace {

const QString Silent = QStringLiteral("5551230"); // the modem dials it and never answers
constexpr qint64 ReadTurn = 5100;                 // a turn of the wait, two seconds in
constexpr qint64 Settle = 120'000;

QString firstLine(const Dialog& d) {
    return d.text.section(QStringLiteral("\r\n"), 0, 0);
}

QStringList boxesShown(const DialerRig& rig) {
    QStringList lines;
    for (const Dialog& d : rig.box.shown)
        lines << firstLine(d);
    return lines;
}

// Everything the program started has finished and it is still running.
void verifySettled(DialerRig& rig) {
    QVERIFY(!rig.frm.programEnd().ended());
    QCOMPARE(rig.clock.depth(), 0);
    QVERIFY(!rig.form().Timer1->enabled());
    QVERIFY(!rig.form().Timer2->enabled());
    QVERIFY(!rig.port.portOpen());
}

QByteArray repeated(char c, int count) {
    return QByteArray(count, c);
}

} // namespace

// Whatever the operator types and whatever the modem says, the program answers as it should,
// finishes what it started and keeps nothing beyond what one read brought.
class BadInputTest : public QObject {
    Q_OBJECT
  private slots:
    void init();
    void comPortText_data();
    void comPortText();
    void number_data();
    void number();
    void pastedControlCharactersAreSentAsTheBoxHoldsThem_data();
    void pastedControlCharactersAreSentAsTheBoxHoldsThem();
    void modemOutput_data();
    void modemOutput();
    void floodAnsweringTheHangUpCommand();
};

void BadInputTest::init() {
    QApplication::clipboard()->clear();
}

void BadInputTest::comPortText_data() {
    QTest::addColumn<QString>("combo");
    QTest::addColumn<bool>("dial"); // false: Hang Up, so the escape stage reads the box
    QTest::addColumn<QString>("box");
    QTest::addColumn<int>("port");         // the port number the stage ends up using
    QTest::addColumn<QByteArray>("modem"); // what reaches the modem first
    QTest::addColumn<int>("modemOn");      // the port the modem is on

    const QString invalid = "You have selected an invalid COM port number. Select a valid COM "
                            "port number and try again";
    const QString dial13 = "Unexpected error 13 in routine ScanVRM";
    const QString escape13 = "Unexpected error 13 in routine Timer1";
    // Yes to error 13 goes on with the port number the port held before: COM 1, the modem.
    const QList<std::tuple<const char*, QString>> notADigit{
        {"empty", ""},
        {"COM", "COM"},
        {"COMx", "COMx"},
        {"Arabic-indic three", QStringLiteral("COM \u0663")},
        {"one half", QStringLiteral("COM \u00BD")}};
    for (const auto& [name, text] : notADigit) {
        QTest::addRow("%s at Dial", name)
            << text << true << dial13 << 1 << QByteArray("AT&F0\r") << 1;
        QTest::addRow("%s at the escape stage", name)
            << text << false << escape13 << 1 << QByteArray("+++") << 1;
    }
    QTest::newRow("COM 0 at Dial") << "COM 0" << true << invalid << 1 << QByteArray() << 1;
    QTest::newRow("COM 0 at the escape stage")
        << "COM 0" << false << invalid << 1 << QByteArray() << 1;
    QTest::newRow("COM 9 at Dial") << "COM 9" << true << invalid << 9 << QByteArray() << 1;
    QTest::newRow("COM 9 at the escape stage")
        << "COM 9" << false << invalid << 9 << QByteArray() << 1;
    // COM 12 is port 12, not port 2.
    QTest::newRow("COM 12 at Dial") << "COM 12" << true << invalid << 12 << QByteArray() << 2;
    QTest::newRow("COM 12 at the escape stage")
        << "COM 12" << false << invalid << 12 << QByteArray() << 2;
    QTest::newRow("COM 12 with the modem on it")
        << "COM 12" << true << "" << 12 << QByteArray("AT&F0\r") << 12;
}

void BadInputTest::comPortText() {
    QFETCH(QString, combo);
    QFETCH(bool, dial);
    QFETCH(QString, box);
    QFETCH(int, port);
    QFETCH(QByteArray, modem);
    QFETCH(int, modemOn);

    DialerRig rig;
    rig.port.setModemOn(modemOn);
    if (modemOn > 8) rig.port.setMissing(modemOn, false);
    rig.enterNumber(Silent);
    rig.selectPort(combo);
    dial ? rig.clickDial() : rig.clickHangUp();
    rig.clock.runFor(Settle);

    QCOMPARE(boxesShown(rig).value(0), box);
    QCOMPARE(rig.port.commPort(), port);
    QCOMPARE(rig.wire().value(0).second, modem);
    if (box.startsWith("You have selected") && !dial)
        QCOMPARE(rig.status(), QString("Hang up attempt cancelled"));
    verifySettled(rig);
}

void BadInputTest::number_data() {
    QTest::addColumn<QString>("number");
    QTest::addColumn<QByteArray>("sent"); // the dial command, empty when none goes out

    QTest::newRow("empty") << "" << QByteArray();
    QTest::newRow("blanks") << "   " << QByteArray("ATDT   \r");
    const QString tenThousand = QString(9999, u'5') + '0';
    QTest::newRow("10 000 digits") << tenThousand << "ATDT" + tenThousand.toLatin1() + "\r";
    const QString beyondEditLimit = QString(39'999, u'7') + '0';
    QTest::newRow("40 000 digits") << beyondEditLimit << "ATDT" + beyondEditLimit.toLatin1() + "\r";
    QTest::newRow("Latin-1") << QStringLiteral("555\u00E91230")
                             << QByteArray("ATDT555\xE9"
                                           "1230\r");
    QTest::newRow("euro sign") << QStringLiteral("555\u20AC1230") << QByteArray("ATDT555?1230\r");
    QTest::newRow("Arabic-indic digits")
        << QStringLiteral("\u0665\u0665\u0665") << QByteArray("ATDT???\r");
    // One '?' for the character, not one for each half of its UTF-16 pair.
    QTest::newRow("outside the BMP")
        << QStringLiteral("\U0001F4DE5551230") << QByteArray("ATDT?5551230\r");
}

void BadInputTest::number() {
    QFETCH(QString, number);
    QFETCH(QByteArray, sent);

    DialerRig rig;
    rig.enterNumber(number);
    rig.clickDial();
    rig.clock.runFor(Settle);

    QByteArray dialled;
    for (const auto& w : rig.wire())
        if (w.second.startsWith("ATDT")) dialled = w.second;
    QCOMPARE(dialled, sent);
    if (number.isEmpty()) {
        QCOMPARE(boxesShown(rig),
                 QStringList{"No phone number entered.  Press OK button, then enter a phone "
                             "number and then press DIAL button"});
        QVERIFY(rig.statuses.isEmpty());
    } else {
        QVERIFY(rig.box.shown.isEmpty());
        QVERIFY(rig.statuses.contains({3000, "Dialing " + number}));
        QCOMPARE(rig.status(), QString("Offline - Ready to dial"));
    }
    verifySettled(rig);
}

// Control characters in the number, pasted or typed, never reach the modem: a CR would end the
// dial command early.
void BadInputTest::pastedControlCharactersAreSentAsTheBoxHoldsThem_data() {
    QTest::addColumn<QString>("number");
    QTest::addColumn<QString>("dialled");
    QTest::newRow("tab") << "555\t1230"
                         << "5551230";
    QTest::newRow("carriage return") << "555\r1230"
                                     << "5551230";
    QTest::newRow("line feed") << "555\n1230"
                               << "5551230";
    QTest::newRow("NUL") << QString("555") + QChar(0) + "1230"
                         << "5551230";
    QTest::newRow("escape, bell and DEL") << "\x1b[2J\a555\x7f"
                                             "1230"
                                          << "[2J5551230";
    QTest::newRow("C1 range kept")
        << QString("555") + QChar(0x85) + "1230" << QString("555") + QChar(0x85) + "1230";
}

void BadInputTest::pastedControlCharactersAreSentAsTheBoxHoldsThem() {
    QFETCH(QString, number);
    QFETCH(QString, dialled);

    DialerRig rig;
    rig.enterNumber(number);
    rig.clickDial();
    rig.clock.runFor(Settle);

    QVERIFY(rig.wire().contains({3000, "ATDT" + dialled.toLatin1() + "\r"}));
    QVERIFY(rig.statuses.contains({3000, "Dialing " + dialled}));
    verifySettled(rig);
}

void BadInputTest::modemOutput_data() {
    QTest::addColumn<QList<QByteArray>>("said"); // said one read apart, from ReadTurn on
    QTest::addColumn<bool>("connects");
    QTest::addColumn<QString>("shown"); // the reply box after the first read

    auto row = [](const char* name, QList<QByteArray> said, bool connects, QString shown) {
        QTest::newRow(name) << said << connects << shown;
    };
    row("CR-only framing", {"\rCONNECT 9600\r"}, true, "CONNECT 9600");
    row("LF-only framing", {"\nCONNECT 9600\n"}, true, "CONNECT 9600");
    row("CR CR LF framing", {"\r\r\nCONNECT 9600\r\r\n"}, true, "CONNECT 9600");
    row("LF CR framing", {"\n\rNO CARRIER\n\r"}, false, "NO CARRIER");
    row("NULs around 9600", {QByteArray("\0CONNECT 9600\0\r\n", 16)}, true,
        QString(QChar(0)) + "CONNECT 9600" + QChar(0));
    row("NUL inside 9600",
        {QByteArray("CONNECT 96\0"
                    "00\r\n",
                    15)},
        false, "CONNECT 96" + QString(QChar(0)) + "00");
    row("8-bit bytes around 9600", {"\xFF\xFE CONNECT 9600 \x80\r\n"}, true,
        QStringLiteral("\u00FF\u00FE CONNECT 9600 \u0080"));
    QByteArray high;
    for (int b = 0x80; b <= 0xFF; ++b)
        high += char(b);
    row("every 8-bit byte", {high}, false, QString::fromLatin1(high));
    row("64 KiB at once", {repeated('A', 65536)}, false, QString(65536, u'A'));
    row("64 KiB ending in 9600", {repeated('A', 65532) + "9600"}, true,
        QString(65532, u'A') + "9600");
    row("64 KiB of line breaks", {repeated('\r', 32768) + repeated('\n', 32768)}, false, "");
    row("64 KiB three times", {repeated('B', 65536), repeated('C', 65536), repeated('D', 65536)},
        false, QString(65536, u'B'));
}

// Each turn of the wait shows what that turn read and no more, however much arrives.
void BadInputTest::modemOutput() {
    QFETCH(QList<QByteArray>, said);
    QFETCH(bool, connects);
    QFETCH(QString, shown);

    DialerRig rig;
    QList<QPair<qint64, QString>> replies;
    QObject::connect(rig.window().txtReply, &CaptionLabel::captionChanged,
                     [&](const QString& text) {
                         replies.append({rig.clock.now(), text});
                     });
    rig.enterNumber(Silent);
    for (qsizetype i = 0; i < said.size(); ++i)
        rig.modem().inject(said[i], ReadTurn - 50 + 1000 * i);
    rig.clickDial();
    rig.clock.runFor(Settle);

    QString first;
    qsizetype longest = 0;
    for (const auto& r : replies) {
        if (r.first == ReadTurn) first = r.second;
        longest = std::max(longest, r.second.size());
    }
    QCOMPARE(first, shown);
    qsizetype biggestRead = 0;
    for (const QByteArray& s : said)
        biggestRead = std::max(biggestRead, s.size());
    QVERIFY2(longest <= biggestRead,
             qPrintable(QString("the reply box grew to %1 characters").arg(longest)));
    QCOMPARE(rig.statuses.contains({ReadTurn, "Connected"}), connects);
    QCOMPARE(rig.status(), QString(connects ? "OK to start Ampliview" : "Offline - Ready to dial"));
    verifySettled(rig);
}

// The hang-up command stage reads once: a flood waiting there is shown once and let go.
void BadInputTest::floodAnsweringTheHangUpCommand() {
    DialerRig rig;
    QList<QPair<qint64, QString>> replies;
    QObject::connect(rig.window().txtReply, &CaptionLabel::captionChanged,
                     [&](const QString& text) {
                         replies.append({rig.clock.now(), text});
                     });
    rig.clickHangUp(); // "+++" at 2000, "ATH" at 5000 and its answer read at 6000
    rig.modem().inject(repeated('Z', 65536) + "\r\n", 5500);
    rig.modem().inject(repeated('Y', 65536), 6500);
    rig.clock.runFor(Settle);

    QCOMPARE(rig.wire().value(1), (QPair<qint64, QByteArray>{5000, "ATH\r"}));
    QCOMPARE(replies.last().first, 6000);
    QCOMPARE(replies.last().second, "ATHOK" + QString(65536, u'Z')); // echo, result, flood
    QCOMPARE(rig.status(), QString("Offline - Ready to dial"));
    verifySettled(rig);
}

QTEST_MAIN(BadInputTest)
#include "bad_input_test.moc"
