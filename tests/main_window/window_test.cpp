#include "fakes.h"
#include "virtual_clock.h"

#include "error_reporting/call_log.h"
#include "error_reporting/qt_message_box.h"
#include "main_window/carrier_lamp.h"
#include "main_window/frm_main.h"
#include "main_window/qt_process_launcher.h"
#include "sim_modem_port.h"

#include <QtWidgets>

namespace kv::test {

// The whole program on the simulated modem and a virtual clock, installed in `appDir`.
struct Program {
    explicit Program(const QString& appDir = "/opt/talvo dialer")
        : frm({port, clock, box, launcher, appDir, [this] { ended = true; }}) {}
    VirtualClock clock;
    sim::SimModemPort port{[this] { return clock.now(); }};
    FakeMessageBox box;
    FakeLauncher launcher;
    bool ended = false;
    FrmMain frm;
};

// The box around the pixels in which `label` drawn with `caption` differs from it drawn with
// `other`, in device pixels.
QRect difference(CaptionLabel* label, const QString& caption, const QString& other = {}) {
    const QString before = label->caption();
    label->setCaption(caption);
    const QImage image = label->grab().toImage();
    label->setCaption(other);
    const QImage against = label->grab().toImage();
    label->setCaption(before);
    QRect box;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != against.pixel(x, y)) box |= QRect(x, y, 1, 1);
    return box;
}

// The program installed where a blank is in the path, its Help folder holding `files`.
QString installed(const QTemporaryDir& dir, const QString& files) {
    const QString app = dir.filePath("Talvo Dialer");
    QDir().mkpath(app + "/Help");
    for (const QString& name : files.split(' ', Qt::SkipEmptyParts))
        if (QFile file(app + "/Help/" + name); file.open(QIODevice::WriteOnly)) file.write("<p>");
    return app;
}

// The window as the operator meets it: layout, drawing, keys, timers, the call log, message boxes
// and help. The layout checks also run at desktop scales 1.25, 1.5 and 2 (see CMakeLists.txt).
class WindowTest : public QObject {
    Q_OBJECT
  private slots:
    // Each control where the form puts it in twips (at 96 DPI, 15 to a pixel), in its font
    // (Arial's metrics or the window's narrow face), named to a screen reader, and leaving its
    // mark on the window at any scale, the one-pixel line too; one that takes input shows whole.
    // The status row is sunken panels.
    void controls_data() {
        QTest::addColumn<QWidget*>("control");
        QTest::addColumn<QRect>("twips");
        QTest::addColumn<QString>("heard"); // by a screen reader; "-": not met
        QTest::addColumn<qreal>("arial");   // points; 0: the window's font
        const QList<std::tuple<QWidget*, QRect, const char*, qreal>> rows{
            {w.Label5, {180, 120, 2715, 255}, "1. Select COM port used by modem", 0},
            {w.Line1, {2880, 200, 300, 15}, "-", 0},
            {w.Combo1, {3300, 60, 1155, 315}, "COM port", 0},
            {w.Label1, {180, 360, 4275, 255}, "2. Enter telephone number to dial", 0},
            {w.Label2, {180, 600, 4275, 255}, "3. Press Dial button", 0},
            {w.Label3, {180, 900, 1875, 195}, "Phone Number:", 0},
            {w.txtPhoneNum, {180, 1080, 5835, 315}, "Phone number", 0},
            {w.buttonConnect, {60, 1680, 1275, 675}, "Dial", 0},
            {w.buttonHangUp, {1640, 1680, 1275, 675}, "Hang Up", 0},
            {w.buttonQuit, {3220, 1680, 1275, 675}, "Quit", 0},
            {w.buttonHelp, {4800, 1680, 1215, 675}, "Help", 0},
            {w.Label6, {0, 2460, 615, 315}, "Status:", 8.25},
            {w.lblStatus, {600, 2460, 2355, 315}, "Status: ", 0},
            {w.txtReply, {2940, 2460, 1215, 315}, "Modem reply: ", 6.75},
            {w.Label7, {4140, 2460, 615, 315}, "Carrier:", 8.25},
            {w.txtModemStatus, {4740, 2460, 1335, 315}, "Carrier: <Unknown>", 0}};
        for (const auto& [c, twips, heard, arial] : rows)
            QTest::addRow("%d %d", twips.x(), twips.y()) << c << twips << QString(heard) << arial;
    }
    void controls() {
        QFETCH(QWidget*, control);
        QFETCH(QRect, twips);
        QFETCH(qreal, arial);
        QCOMPARE(control->geometry(),
                 QRectF(QPointF(twips.topLeft()) / 15, QSizeF(twips.size()) / 15).toRect());
        const QFont font = control->font();
        QCOMPARE(QFontInfo(font).family() + " " + QString::number(font.pointSizeF()),
                 arial ? "Liberation Sans " + QString::number(arial) : "Liberation Sans Narrow 8");
        QAccessibleInterface* win = QAccessible::queryAccessibleInterface(&w);
        auto* heard = win->child(win->indexOfChild(QAccessible::queryAccessibleInterface(control)));
        const QString name = control->accessibleName(); // Qt on Linux names a combo box by its text
        QTEST(heard ? (name.isEmpty() ? heard->text(QAccessible::Name) : name) : "-", "heard");
        const QImage shown = w.grab().toImage();
        control->hide();
        QVERIFY2(w.grab().toImage() != shown, "shows");
        control->show();
        // A control that takes input lies under nothing: no label covers any part of it.
        for (int y = 0; control->focusPolicy() != Qt::NoFocus && y < control->height(); ++y)
            for (int x = 0; x < control->width(); ++x) {
                const QWidget* top = w.childAt(control->mapTo(&w, QPoint(x, y)));
                QVERIFY2(top == control || control->isAncestorOf(top),
                         qPrintable(QString("covered at %1, %2").arg(x).arg(y)));
            }
        if (auto* panel = qobject_cast<CaptionLabel*>(control); panel && twips.y() == 2460)
            QVERIFY(panel->frameStyle() == (QFrame::Panel | QFrame::Sunken) &&
                    panel->backColor() == (panel == w.txtModemStatus ? 0x8000000Bu : 0x8000000Fu));
    }

    // Every text the program shows in a fixed box stays on one line inside it, on its side, as
    // drawn, at any scale.
    void textsFit_data() {
        QTest::addColumn<CaptionLabel*>("label");
        QTest::addColumn<QString>("text");
        for (CaptionLabel* label : {w.Label5, w.Label1, w.Label2, w.Label3, w.Label6, w.Label7})
            QTest::newRow(qPrintable(label->caption())) << label << label->caption();
        // The widest status and lamp texts stand for the rest; every digit is as wide as any other.
        QTest::newRow("status") << w.lblStatus << "Waiting to Connect: 44 seconds";
        QTest::newRow("lamp") << static_cast<CaptionLabel*>(w.txtModemStatus) << "Not Detected";
    }
    void textsFit() {
        QFETCH(CaptionLabel*, label);
        QFETCH(QString, text);
        const QRect ink = difference(label, text);
        const qreal dpr = label->devicePixelRatioF();
        const QRect inside =
            QTransform::fromScale(dpr, dpr).mapRect(QRectF(label->contentsRect())).toAlignedRect();
        QVERIFY2(inside.contains(ink), "inside the box");
        QVERIFY2(ink.height() <= QFontMetricsF(label->font()).height() * dpr + 1, "one line");
        QVERIFY2(ink.top() - inside.top() <= 4 * dpr, "at the top");
        const int slack = label == w.txtModemStatus ? qAbs(ink.center().x() - inside.center().x())
                          : label == w.Label6 || label == w.Label7 ? inside.right() - ink.right()
                                                                   : ink.left() - inside.left();
        QVERIFY2(slack <= 3 * dpr, "on its side");
    }

    // One "&" in a label hides itself and underlines the next character, only that; the reply box
    // shows the modem's words as they are. The lamp paints each state, caption and colour (colours
    // are 0x00BBGGRR), and a screen reader hears each change.
    void drawing() {
        const QRect underline = difference(w.lblStatus, "A&B", "AB");
        QVERIFY(underline.top() >= w.lblStatus->fontMetrics().ascent() &&
                underline.left() >= w.lblStatus->fontMetrics().horizontalAdvance("A"));
        QVERIFY(difference(w.txtReply, "A&B", "AB").top() < w.txtReply->fontMetrics().ascent());
        QStringList lamp;
        for (const CarrierState state :
             {CarrierState::NotDetected, CarrierState::Detected, CarrierState::Unknown}) {
            w.txtModemStatus->showCarrier(state);
            lamp << w.txtModemStatus->accessibleName() + " " +
                        w.txtModemStatus->grab().toImage().pixelColor(3, 3).name();
        }
        QCOMPARE(lamp.join(", "), "Carrier: Not Detected #ffff00, Carrier: Detected #00ff00, "
                                  "Carrier: <Unknown> #d4d0c8");
    }

    // A fixed window with a close box only, titled, with its icon; a screen reader meets it as a
    // window. The timers tick at their intervals: the escape 2 s after Hang Up, ATH 3 s later, the
    // lamp polled from Hang Up on. Tab visits the controls in order; no default or cancel button:
    // Enter does not dial, Esc does not quit. The buttons and the close box reach their handlers,
    // which read the number and port boxes as typed, and every kind of event reaches the call log,
    // as the operator saw it or the modem heard it: a call that nobody answers, one that connects.
    void session() {
        QTemporaryDir dir;
        CallLog log(dir.filePath("KV.log"));
        Program p;
        MainWindow& form = p.frm.window();
        QVERIFY(form.minimumSize() == QSize(406, 187) && form.maximumSize() == form.minimumSize());
        QCOMPARE(form.windowFlags() & (Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint),
                 Qt::WindowCloseButtonHint);
        QVERIFY(!form.windowIcon().isNull());
        QAccessibleInterface* win = QAccessible::queryAccessibleInterface(&form);
        QCOMPARE(win->role(), QAccessible::Window);
        QCOMPARE(win->text(QAccessible::Name), "Talvo Dialer V1.03");
        QStringList seen;
        QObject::connect(form.txtModemStatus, &CaptionLabel::captionChanged,
                         [&](const QString& s) { seen << QString::number(p.clock.now()) + s; });
        form.buttonHangUp->click();
        p.clock.runUntil(10'000);
        for (const auto& heard : p.port.modem().received())
            seen << QString::number(heard.at) + heard.bytes.trimmed();
        QCOMPARE(seen.join(", "), "2000Not Detected, 2000+++, 5000ATH");
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        QTest::keyClicks(form.txtPhoneNum, "5551230"); // nobody answers
        for (QWidget* next : QList<QWidget*>{form.buttonConnect, form.buttonHangUp, form.buttonQuit,
                                             form.Combo1, form.buttonHelp, form.txtPhoneNum}) {
            for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape, Qt::Key_Tab})
                QTest::keyClick(form.focusWidget(), key);
            QCOMPARE(form.focusWidget(), next);
        }
        QCOMPARE(form.lblStatus->caption() + (p.ended ? ", ended" : ""), "Offline - Ready to dial");
        form.buttonConnect->click();
        p.clock.runUntil(p.clock.now() + 11'000);
        form.txtPhoneNum->setText("5551231");
        p.port.modem().inject("\x1b[2J", p.clock.now() + 500); // no escape sequence in the log
        form.buttonConnect->click();
        QTest::keyClicks(form.Combo1->lineEdit(), "0");
        form.buttonConnect->click(); // on COM 10, which does not exist
        QCOMPARE(boxName(p.box.shown.value(0)), "invalid 64 /PXLHELP.HLP#5003");
        form.buttonQuit->click();
        Program closed;
        closed.frm.window().close();
        QVERIFY(p.ended && closed.ended);
        QFile file(dir.filePath("KV.log"));
        QVERIFY(file.open(QIODevice::ReadOnly | QIODevice::Text));
        const QString lines = file.readAll();
        for (const char* line : {"Dial clicked", "Hang Up clicked", "Dial calls Hang Up",
                                 "COM 1 opened: the simulated modem at 9600,n,8,1", "COM 1 closed",
                                 "COM 1 released with the line kept up", "sent: ATDT5551230<CR>",
                                 "read: AT&F0<CR><CR><LF>OK<CR><LF>", "status: AT&F0",
                                 "reply: AT&F0OK", "reply: AT&F0OK<0x1B>[2J", "lamp: Not Detected"})
            QVERIFY2(lines.contains(QString(" ") + line + "\n"), line);
    }

    // A Yes/No box is answered by Yes or No alone, Enter answering No; an OK box takes Esc and
    // its close box as OK. Both show the information icon. F1 shows the box's topic in a viewer
    // that takes input meanwhile.
    void messageBoxes_data() {
        QTest::addColumn<int>("style");
        QTest::addColumn<bool>("closeBox"); // else Esc
        for (const int style : {324, 64})
            for (const bool closeBox : {false, true})
                QTest::addRow("%d, %s", style, closeBox ? "close box" : "Esc") << style << closeBox;
    }
    void messageBoxes() {
        QFETCH(int, style);
        QFETCH(bool, closeBox);
        QTemporaryDir dir;
        Program p(installed(dir, "KV.html"));
        bool open = false;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QVERIFY(QTest::qWaitForWindowActive(box));
            QTest::keyClick(box, Qt::Key_F1);
            p.frm.help().viewer()->close();
            closeBox ? void(box->close()) : QTest::keyClick(box, Qt::Key_Escape);
            if ((open = box->isVisible())) QTest::keyClick(box, Qt::Key_Return);
            QCOMPARE(box->icon(), QMessageBox::Information);
        });
        QtMessageBox box(nullptr, [&](const QString& f, int c) { p.frm.help().showTopic(f, c); });
        QCOMPARE(box.show({"Text", style, "Talvo Dialer", "/Help/KV.HLP", 1}),
                 style == 324 ? box::No : box::OK);
        QCOMPARE(open, style == 324);
        QCOMPARE(p.frm.help().viewer()->windowModality(), Qt::ApplicationModal);
        QCOMPARE(p.frm.help().viewer()->source().fragment(), "context-1");
    }

    // Help and F1 start WinHelp on the help file, path unquoted, blanks and all; where the viewer
    // or its file is missing the converted help stands in, and where that is missing too a box
    // says where help was looked for.
    void help_data() {
        QTest::addColumn<QString>("files"); // in the Help folder
        QTest::addColumn<bool>("viewer");   // winhlp32 starts
        QTest::addColumn<QString>("shown"); // launched, the converted help, where help was sought
        const QString winHelp = "winhlp32 %1/Help/KV.hlp, winhlp32 %1/Help/KV.hlp";
        QTest::newRow("WinHelp") << "KV.hlp KV.html" << true << winHelp;
        QTest::newRow("no viewer") << "KV.hlp KV.html" << false << winHelp + ", html";
        QTest::newRow("no help at all") << "" << true << "%1/Help/KV.html, %1/Help/KV.html";
    }
    void help() {
        QFETCH(QString, files);
        QFETCH(bool, viewer);
        QFETCH(QString, shown);
        QTemporaryDir dir;
        const QString app = installed(dir, files);
        Program p(app);
        p.launcher.starts = viewer;
        p.frm.window().show();
        QVERIFY(QTest::qWaitForWindowActive(&p.frm.window()));
        p.frm.window().buttonHelp->click();
        QTest::keyClick(&p.frm.window(), Qt::Key_F1);
        QStringList seen = p.launcher.started;
        // The converted help opens at the top: no topic.
        if (QTextBrowser* html = p.frm.help().viewer()) seen << "html" + html->source().fragment();
        for (const Dialog& d : p.box.shown)
            seen << d.text.section("\r\n", -1);
        QCOMPARE(QDir::fromNativeSeparators(seen.join(", ")), shown.replace("%1", app));
    }

    // The real launcher hands everything after the first blank over as one argument.
    void launcher() {
        QTemporaryDir dir;
#ifndef Q_OS_WIN // Windows has no touch, and hands the rest of the line over as it is
        QVERIFY(QtProcessLauncher().startDetached("touch " + dir.filePath("Talvo Dialer")));
        QTRY_VERIFY(QFile::exists(dir.filePath("Talvo Dialer")));
#endif
        QVERIFY(!QtProcessLauncher().startDetached(dir.filePath("missing") + " x"));
    }

  private:
    MainWindow w;
};

} // namespace kv::test

QTEST_MAIN(kv::test::WindowTest)
#include "window_test.moc"
