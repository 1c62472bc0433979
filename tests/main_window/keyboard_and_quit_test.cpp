#include "program_on_fakes.h"

#include "main_window/caption_label.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace kv;
using namespace kv::test;

namespace {

// The control that holds the focus, counting the combo box's edit field as the combo box.
QWidget* focused(MainWindow& w) {
    QWidget* f = QApplication::focusWidget();
    return f && w.Combo1->isAncestorOf(f) ? w.Combo1 : f;
}

void showActive(QWidget& w) {
    w.show();
    QVERIFY(QTest::qWaitForWindowActive(&w));
}

} // namespace

class KeyboardAndQuitTest : public QObject {
    Q_OBJECT
  private slots:
    void tabVisitsTheControlsInOrder() {
        ProgramOnFakes p;
        MainWindow& w = p.window();
        showActive(w);
        QCOMPARE(focused(w), w.txtPhoneNum);
        const QList<QWidget*> order{w.buttonConnect, w.buttonHangUp, w.buttonQuit,
                                    w.Combo1,        w.buttonHelp,   w.txtPhoneNum};
        for (QWidget* next : order) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(focused(w), next);
        }
    }

    void enterAndEscapeDoNothing_data() {
        QTest::addColumn<QString>("focus");
        QTest::addColumn<int>("key");
        QTest::newRow("Enter in the number") << "txtPhoneNum" << int(Qt::Key_Return);
        QTest::newRow("keypad Enter in the number") << "txtPhoneNum" << int(Qt::Key_Enter);
        QTest::newRow("Esc in the number") << "txtPhoneNum" << int(Qt::Key_Escape);
        QTest::newRow("Enter in the port box") << "Combo1" << int(Qt::Key_Return);
        QTest::newRow("Esc on Quit") << "buttonQuit" << int(Qt::Key_Escape);
        QTest::newRow("Enter on Hang Up") << "buttonHangUp" << int(Qt::Key_Return);
    }

    void enterAndEscapeDoNothing() {
        QFETCH(QString, focus);
        QFETCH(int, key);
        ProgramOnFakes p;
        MainWindow& w = p.window();
        showActive(w);
        QTest::keyClicks(w.txtPhoneNum, QStringLiteral("5551234"));
        QTest::keyClicks(w.Combo1->lineEdit(), QStringLiteral("0"));
        QWidget* target = focus == "txtPhoneNum"  ? static_cast<QWidget*>(w.txtPhoneNum)
                          : focus == "Combo1"     ? w.Combo1->lineEdit()
                          : focus == "buttonQuit" ? static_cast<QWidget*>(w.buttonQuit)
                                                  : w.buttonHangUp;
        target->setFocus();
        QTest::keyClick(target, Qt::Key(key));
        p.clock.runFor(60000);

        QCOMPARE(p.port.opens(), 0);
        QVERIFY(p.box.shown.isEmpty());
        QCOMPARE(w.lblStatus->caption(), QString());
        QVERIFY(!p.frm.programEnd().ended());
        QVERIFY(w.isVisible());
        QCOMPARE(w.Combo1->count(), 8);
        QCOMPARE(w.Combo1->currentText(), QStringLiteral("COM 10"));
    }

    // Whatever is typed into the port box is what the port is taken from.
    void typingIntoThePortBoxKeepsTheText_data() {
        QTest::addColumn<QString>("typed");
        QTest::newRow("a prefix of the list") << "C";
        QTest::newRow("beyond the list") << "COM 9";
        QTest::newRow("lower case") << "com 2";
    }

    void typingIntoThePortBoxKeepsTheText() {
        QFETCH(QString, typed);
        ProgramOnFakes p;
        MainWindow& w = p.window();
        showActive(w);
        w.Combo1->setFocus();
        w.Combo1->lineEdit()->selectAll();
        QTest::keyClicks(w.Combo1->lineEdit(), typed);
        QCOMPARE(w.Combo1->currentText(), typed);
    }

    void nothingTicksAfterStart() {
        ProgramOnFakes p;
        p.window().show();
        p.clock.runFor(30000);
        QCOMPARE(p.window().txtModemStatus->caption(), QStringLiteral("<Unknown>"));
        QCOMPARE(p.window().txtModemStatus->backColor(), 0x8000000Bu);
        QCOMPARE(p.port.opens(), 0);
    }

    void quitEndsTheProgram_data() {
        QTest::addColumn<QString>("how");
        QTest::addColumn<qint64>("dialAt"); // -1: no call
        QTest::newRow("Quit") << "Quit" << qint64(-1);
        QTest::newRow("close box") << "close box" << qint64(-1);
        QTest::newRow("Quit while waiting to connect") << "Quit" << qint64(0);
        QTest::newRow("close box while waiting to connect") << "close box" << qint64(0);
    }

    // The program ends at once: no confirmation, no hang-up, nothing more sent to the modem.
    void quitEndsTheProgram() {
        QFETCH(QString, how);
        QFETCH(qint64, dialAt);
        ProgramOnFakes p;
        MainWindow& w = p.window();
        w.show();
        w.txtPhoneNum->setText(QStringLiteral("5551234"));
        p.port.modem().setScript(QStringLiteral("5551234"), {sim::Outcome::Silence, 0});
        if (dialAt >= 0) p.clock.at(dialAt, [&] { w.buttonConnect->click(); });
        const qint64 quitAt = 8000;
        p.clock.at(quitAt, [&] {
            if (how == "Quit")
                w.buttonQuit->click();
            else
                w.close();
        });
        p.clock.runFor(60000);

        QVERIFY(p.frm.programEnd().ended());
        QCOMPARE(p.quits, 1);
        QVERIFY(!w.isVisible());
        QVERIFY(p.box.shown.isEmpty());
        QByteArray sent;
        for (const auto& r : p.port.modem().received()) {
            QVERIFY2(r.at < quitAt, "nothing is sent after the end");
            sent += r.bytes;
        }
        QVERIFY(!sent.contains("+++"));
        QVERIFY(!sent.contains("ATH"));
        if (dialAt >= 0) QVERIFY(sent.contains("ATDT5551234"));
    }
};

QTEST_MAIN(KeyboardAndQuitTest)
#include "keyboard_and_quit_test.moc"
