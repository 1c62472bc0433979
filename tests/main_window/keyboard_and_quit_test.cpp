#include "dialer_rig.h"

#include "error_reporting/qt_message_box.h"
#include "main_window/caption_label.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

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
        DialerRig p;
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
        QTest::newRow("Enter in the number") << "number" << int(Qt::Key_Return);
        QTest::newRow("keypad Enter in the number") << "number" << int(Qt::Key_Enter);
        QTest::newRow("Esc in the number") << "number" << int(Qt::Key_Escape);
        QTest::newRow("Enter in the port box") << "port box" << int(Qt::Key_Return);
        QTest::newRow("Esc on Quit") << "Quit" << int(Qt::Key_Escape);
        QTest::newRow("Enter on Hang Up") << "Hang Up" << int(Qt::Key_Return);
    }

    void enterAndEscapeDoNothing() {
        QFETCH(QString, focus);
        QFETCH(int, key);
        DialerRig p;
        MainWindow& w = p.window();
        showActive(w);
        QTest::keyClicks(w.txtPhoneNum, "5551234");
        QTest::keyClicks(w.Combo1->lineEdit(), "0");
        QWidget* target = QHash<QString, QWidget*>{{"number", w.txtPhoneNum},
                                                   {"port box", w.Combo1->lineEdit()},
                                                   {"Quit", w.buttonQuit},
                                                   {"Hang Up", w.buttonHangUp}}[focus];
        target->setFocus();
        QTest::keyClick(target, Qt::Key(key));
        p.clock.runFor(60000);

        QCOMPARE(p.port.opens(), 0);
        QVERIFY(p.box.shown.isEmpty());
        QCOMPARE(w.lblStatus->caption(), QString());
        QVERIFY(!p.frm.programEnd().ended());
        QVERIFY(w.isVisible());
        QCOMPARE(w.Combo1->count(), 8);
        QCOMPARE(w.Combo1->currentText(), "COM 10");
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
        DialerRig p;
        MainWindow& w = p.window();
        showActive(w);
        w.Combo1->setFocus();
        w.Combo1->lineEdit()->selectAll();
        QTest::keyClicks(w.Combo1->lineEdit(), typed);
        QCOMPARE(w.Combo1->currentText(), typed);
    }

    // A Yes/No box is answered by Yes or No alone: Esc and the close box do nothing there, and
    // Enter answers No. An OK box takes Esc and the close box as OK.
    void messageBoxKeys_data() {
        QTest::addColumn<int>("style");
        QTest::addColumn<bool>("closeBox"); // else Esc
        QTest::addColumn<bool>("staysOpen");
        QTest::addColumn<int>("answer");
        QTest::newRow("Yes/No, Esc") << 324 << false << true << int(box::No);
        QTest::newRow("Yes/No, close box") << 324 << true << true << int(box::No);
        QTest::newRow("OK, Esc") << 64 << false << false << int(box::OK);
        QTest::newRow("OK, close box") << 64 << true << false << int(box::OK);
    }

    void messageBoxKeys() {
        QFETCH(int, style);
        QFETCH(bool, closeBox);
        QFETCH(bool, staysOpen);
        QtMessageBox messages(nullptr, {});
        bool open = false;
        QTimer::singleShot(0, [&] {
            QWidget* dialog = QApplication::activeModalWidget();
            if (!dialog || !QTest::qWaitForWindowActive(dialog)) return QApplication::exit(1);
            closeBox ? void(dialog->close()) : QTest::keyClick(dialog, Qt::Key_Escape);
            open = dialog->isVisible();
            if (open) QTest::keyClick(dialog, Qt::Key_Return);
        });
        QTEST(messages.show({"Text", style, "Talvo Dialer", QString(), 0}), "answer");
        QCOMPARE(open, staysOpen);
    }

    void nothingTicksAfterStart() {
        DialerRig p;
        p.window().show();
        p.clock.runFor(30000);
        QCOMPARE(p.window().txtModemStatus->caption(), "<Unknown>");
        QCOMPARE(p.window().txtModemStatus->backColor(), 0x8000000Bu);
        QCOMPARE(p.port.opens(), 0);
    }

    void quitEndsTheProgram_data() {
        QTest::addColumn<bool>("closeBox");
        QTest::addColumn<bool>("inCall");
        QTest::newRow("Quit") << false << false;
        QTest::newRow("close box") << true << false;
        QTest::newRow("close box while waiting to connect") << true << true;
    }

    // The program ends at once: no confirmation, no hang-up, nothing more sent to the modem.
    void quitEndsTheProgram() {
        QFETCH(bool, closeBox);
        QFETCH(bool, inCall);
        DialerRig p;
        p.window().show();
        p.enterNumber("5551234");
        p.modem().setScript("5551234", {sim::Outcome::Silence, 0});
        if (inCall) p.dialAt(0);
        const qint64 quitAt = 8000;
        p.clock.at(quitAt,
                   [&] { closeBox ? void(p.window().close()) : p.window().buttonQuit->click(); });
        p.clock.runFor(60000);

        QVERIFY(p.frm.programEnd().ended());
        QCOMPARE(p.quits, 1);
        QVERIFY(!p.window().isVisible());
        QVERIFY(p.box.shown.isEmpty());
        const auto wire = p.wire();
        QVERIFY2(wire.isEmpty() || wire.last().first < quitAt, "nothing is sent after the end");
        QCOMPARE(p.wireBytes().contains("ATDT5551234"), inCall);
    }
};

QTEST_MAIN(KeyboardAndQuitTest)
#include "keyboard_and_quit_test.moc"
