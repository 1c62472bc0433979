#include "fake_launcher.h"
#include "fake_message_box.h"
#include "pseudo_terminal.h"

#include "error_reporting/dialog_texts.h"
#include "main_window/caption_label.h"
#include "main_window/frm_main.h"
#include "modem_port/event_loop_clock.h"
#include "modem_port/serial_modem_port.h"

#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace kv;
using namespace kv::test;

namespace {

constexpr int SequenceMs = 20'000; // the longest any sequence here may take to finish

// Counts the socket notifications the event loop delivers: a device that vanished without the
// port noticing would wake the loop without end, one notification each turn.
class WakeCounter : public QObject {
  public:
    bool eventFilter(QObject*, QEvent* event) override {
        if (counting && event->type() == QEvent::SockAct) ++wakes;
        return false;
    }
    bool counting = false;
    int wakes = 0;
};

QStringList firstLines(const FakeMessageBox& box) {
    QStringList lines;
    for (const Dialog& d : box.shown)
        lines << d.text.section(QStringLiteral("\r\n"), 0, 0);
    return lines;
}

const QString InvalidPort = texts::InvalidPort.section(QStringLiteral("\r\n"), 0, 0);
const QString PortInUseA = texts::PortInUseA.section(QStringLiteral("\r\n"), 0, 0);
const QString PortInUseB = texts::PortInUseB.section(QStringLiteral("\r\n"), 0, 0);

} // namespace

// The real serial layer and the real clock against a pseudo-terminal whose far end the test
// plays: the modem going away in the middle of a sequence, another program holding the device,
// and the device's name disappearing. COM 1 is a link to the terminal, as a udev name would be;
// a modem that goes away takes its name with it.
class RealPortFaultsTest : public QObject {
    Q_OBJECT
  private slots:
    void init();
    void cleanup();
    void farEndClosesDuringTheWait();
    void farEndClosesDuringTheHangUp_data();
    void farEndClosesDuringTheHangUp();
    void deviceHeldByAnotherProgram_data();
    void deviceHeldByAnotherProgram();
    void deviceNameGoneBeforeTheEscapeStage();

  private:
    // The far end goes away, and the device's name with it, once it has heard `trigger`.
    void goAwayAfterHearing(const QByteArray& trigger, std::function<void()> then = {});

    std::unique_ptr<PseudoTerminal> line_;
    std::unique_ptr<QTemporaryDir> dir_;
    QString link_;
    std::unique_ptr<SerialModemPort> port_;
    std::unique_ptr<EventLoopClock> clock_;
    FakeMessageBox box_;
    FakeLauncher launcher_;
    std::unique_ptr<FrmMain> frm_;
    QTimer listener_;
    QByteArray heard_;
    WakeCounter wakes_;
};

void RealPortFaultsTest::init() {
    line_ = std::make_unique<PseudoTerminal>();
    QVERIFY(line_->valid());
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
    link_ = dir_->filePath(QStringLiteral("ttyUSB0"));
    QVERIFY(QFile::link(line_->devicePath(), link_));
    qputenv("TALVO_COM1", QFile::encodeName(link_));

    box_ = FakeMessageBox();
    heard_.clear();
    wakes_.counting = false;
    wakes_.wakes = 0;
    qApp->installEventFilter(&wakes_);
    port_ = std::make_unique<SerialModemPort>();
    clock_ = std::make_unique<EventLoopClock>();
    frm_ = std::make_unique<FrmMain>(Seams{*port_, *clock_, box_, launcher_, dir_->path(), [] {}});
    listener_.setInterval(10);
    listener_.disconnect();
}

void RealPortFaultsTest::cleanup() {
    listener_.stop();
    frm_.reset();
    clock_.reset();
    port_.reset();
    qApp->removeEventFilter(&wakes_);
    line_.reset();
    dir_.reset();
    qunsetenv("TALVO_COM1");
}

void RealPortFaultsTest::goAwayAfterHearing(const QByteArray& trigger, std::function<void()> then) {
    QObject::connect(&listener_, &QTimer::timeout, [this, trigger, then] {
        heard_ += line_->received(0);
        if (!heard_.contains(trigger)) return;
        listener_.stop();
        line_->hangUp();
        QFile::remove(link_);
        wakes_.counting = true;
        if (then) then();
    });
    listener_.start();
}

// The operator hangs up a wait whose modem has gone: the wait ends, the port reads closed, and
// the escape stage finds no device to open.
void RealPortFaultsTest::farEndClosesDuringTheWait() {
    MainWindow& w = frm_->window();
    w.txtPhoneNum->setText(QStringLiteral("5551231"));
    goAwayAfterHearing("ATDT5551231\r",
                       [&w] { QTimer::singleShot(300, w.buttonHangUp, &QPushButton::click); });
    w.buttonConnect->click(); // returns once the dial is over

    QVERIFY(heard_.endsWith("ATDT5551231\r"));
    QCOMPARE(w.lblStatus->caption(), QString("Hanging up"));
    QVERIFY(!port_->portOpen());
    QTRY_COMPARE_WITH_TIMEOUT(w.lblStatus->caption(), QString("Hang up attempt cancelled"),
                              SequenceMs);
    QCOMPARE(firstLines(box_), QStringList{InvalidPort});
    QCOMPARE(box_.shown.first().helpContext, 1); // the escape stage's box
    QVERIFY(!port_->portOpen());
    QVERIFY2(wakes_.wakes < 100, qPrintable(QString("%1 wake-ups").arg(wakes_.wakes)));
}

void RealPortFaultsTest::farEndClosesDuringTheHangUp_data() {
    QTest::addColumn<QByteArray>("trigger");
    QTest::newRow("after the escape") << QByteArray("+++");
    QTest::newRow("after the hang-up command") << QByteArray("ATH\r");
}

// Both stages go on with the port gone, pass over its port-not-open errors and end offline.
void RealPortFaultsTest::farEndClosesDuringTheHangUp() {
    QFETCH(QByteArray, trigger);
    MainWindow& w = frm_->window();
    goAwayAfterHearing(trigger);
    w.buttonHangUp->click();

    QTRY_COMPARE_WITH_TIMEOUT(w.lblStatus->caption(), QString("Offline - Ready to dial"),
                              SequenceMs);
    QVERIFY(heard_.endsWith(trigger));
    QVERIFY(box_.shown.isEmpty());
    QVERIFY(!port_->portOpen());
    QVERIFY(!frm_->form().Timer1->enabled());
    QVERIFY(!frm_->form().Timer2->enabled());
    QVERIFY2(wakes_.wakes < 100, qPrintable(QString("%1 wake-ups").arg(wakes_.wakes)));
}

void RealPortFaultsTest::deviceHeldByAnotherProgram_data() {
    QTest::addColumn<bool>("atDial"); // else the other program takes it after Hang Up
    QTest::addColumn<QStringList>("boxes");
    QTest::newRow("at Dial") << true << QStringList{PortInUseA, PortInUseB};
    QTest::newRow("at the escape stage") << false << QStringList{PortInUseB};
}

// Another program has the device, as minicom would: the port-in-use boxes, and the hang-up is
// cancelled before a byte reaches the line.
void RealPortFaultsTest::deviceHeldByAnotherProgram() {
    QFETCH(bool, atDial);
    QFETCH(QStringList, boxes);
    MainWindow& w = frm_->window();
    QSerialPort otherProgram(line_->devicePath());
    w.txtPhoneNum->setText(QStringLiteral("5551231"));

    if (atDial) {
        QVERIFY(otherProgram.open(QIODevice::ReadWrite));
        w.buttonConnect->click();
        QCOMPARE(w.lblStatus->caption(), QString("Hanging up"));
    } else {
        w.buttonHangUp->click();
        QVERIFY(otherProgram.open(QIODevice::ReadWrite));
    }
    QTRY_COMPARE_WITH_TIMEOUT(w.lblStatus->caption(), QString("Hang up attempt cancelled"),
                              SequenceMs);

    QCOMPARE(firstLines(box_), boxes);
    QCOMPARE(w.txtModemStatus->caption(), QString("<Unknown>"));
    QVERIFY(!port_->portOpen());
    QVERIFY(!frm_->form().Timer2->enabled());
    QCOMPARE(line_->received(0), QByteArray());
}

// The adapter is unplugged after Hang Up: its name is gone when the escape stage looks for it.
void RealPortFaultsTest::deviceNameGoneBeforeTheEscapeStage() {
    MainWindow& w = frm_->window();
    w.buttonHangUp->click();
    QVERIFY(QFile::remove(link_));

    QTRY_COMPARE_WITH_TIMEOUT(w.lblStatus->caption(), QString("Hang up attempt cancelled"),
                              SequenceMs);
    QCOMPARE(firstLines(box_), QStringList{InvalidPort});
    QCOMPARE(box_.shown.first().helpContext, 1);
    QVERIFY(!port_->portOpen());
    QVERIFY(!frm_->form().Timer2->enabled());
    QCOMPARE(line_->received(0), QByteArray());
}

QTEST_MAIN(RealPortFaultsTest)
#include "real_port_faults_test.moc"
