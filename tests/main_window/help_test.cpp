#include "dialer_rig.h"

#include "error_reporting/qt_message_box.h"
#include "main_window/qt_process_launcher.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>

using namespace kv;
using namespace kv::test;

namespace {

// A program directory with a blank in its name, and what its Help folder holds.
struct Installation {
    Installation(bool winHelpFile, bool convertedHelp) {
        QDir().mkpath(help(""));
        if (winHelpFile) write("KV.hlp", "?_\x03\x00");
        const QByteArray filler =
            QByteArray("<p>Filler so the topics lie far down.</p>").repeated(200);
        if (convertedHelp)
            write("KV.html",
                  "<html><body><h1>Talvo Dialer</h1>" + filler +
                      "<h2 id=\"context-1\">Entering a number</h2><p>One.</p>" + filler +
                      "<h2 id=\"context-5003\">Port errors</h2><p>Two.</p></body></html>");
    }
    QString help(const QString& name) const { return temp.path() + "/Talvo Dialer/Help/" + name; }
    void write(const QString& name, const QByteArray& bytes) {
        QFile file(help(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    QString hlp() const { return QDir::toNativeSeparators(help("KV.hlp")); }
    QUrl html() const { return QUrl::fromLocalFile(help("KV.html")); }

    QTemporaryDir temp;
    QString appDir = QDir::toNativeSeparators(temp.path() + "/Talvo Dialer");
};

} // namespace

class HelpTest : public QObject {
    Q_OBJECT
  private slots:
    // One blank, then the path as it is, blanks and all; each press of Help, or of F1 in the
    // window, starts a viewer of its own.
    void helpStartsWinHelpOnTheHelpFile() {
        Installation installed(true, true);
        DialerRig p({}, installed.appDir);
        p.window().show();
        QVERIFY(QTest::qWaitForWindowActive(&p.window()));
        p.window().buttonHelp->click();
        p.window().buttonHelp->click();
        QTest::keyClick(&p.window(), Qt::Key_F1);
        const QString command = QStringLiteral("winhlp32 ") + installed.hlp();
        QCOMPARE(p.launcher.started, QStringList({command, command, command}));
        QVERIFY(!p.frm.help().viewer());
        QCOMPARE(p.frm.help().applicationHelpFile(), installed.hlp());
    }

    void convertedHelpStandsIn_data() {
        QTest::addColumn<bool>("winHelpFile");
        QTest::addColumn<bool>("viewerStarts");
        QTest::addColumn<bool>("convertedHelp");
        QTest::addColumn<int>("launches");
        QTest::addColumn<bool>("shown"); // false: a message box says where help was looked for
        QTest::newRow("no WinHelp viewer") << true << false << true << 1 << true;
        QTest::newRow("no WinHelp file") << false << true << true << 0 << true;
        QTest::newRow("no viewer, no converted help") << true << false << false << 1 << false;
        QTest::newRow("no help at all") << false << true << false << 0 << false;
    }

    void convertedHelpStandsIn() {
        QFETCH(bool, winHelpFile);
        QFETCH(bool, viewerStarts);
        QFETCH(bool, convertedHelp);
        QFETCH(int, launches);
        QFETCH(bool, shown);
        Installation installed(winHelpFile, convertedHelp);
        DialerRig p({}, installed.appDir);
        p.launcher.starts = viewerStarts;
        p.window().buttonHelp->click();

        QCOMPARE(p.launcher.started.size(), launches);
        QTextBrowser* viewer = p.frm.help().viewer();
        if (shown) {
            QVERIFY(viewer && viewer->isVisible());
            QCOMPARE(viewer->source(), installed.html());
            QVERIFY(viewer->toPlainText().contains(QStringLiteral("Port errors")));
            QVERIFY(p.box.shown.isEmpty());
        } else {
            QVERIFY(!viewer);
            QCOMPARE(p.box.shown.size(), 1);
            const Dialog& notice = p.box.shown.first();
            QCOMPARE(notice.title, QStringLiteral("Talvo Dialer"));
            QVERIFY(notice.text.contains(installed.hlp()));
            QVERIFY(notice.text.contains(QDir::toNativeSeparators(installed.html().toLocalFile())));
        }
    }

    void topicsOpenAtTheirContext_data() {
        QTest::addColumn<QString>("helpFile");
        QTest::addColumn<int>("context");
        QTest::newRow("KV.HLP, 1") << "\\Help\\KV.HLP" << 1;
        QTest::newRow("PXLHELP.HLP, 5003") << "\\PXLHELP.HLP" << 5003;
    }

    void topicsOpenAtTheirContext() {
        QFETCH(QString, helpFile);
        QFETCH(int, context);
        Installation installed(false, true);
        DialerRig p({}, installed.appDir);
        p.frm.help().showTopic(installed.appDir + helpFile, context);
        QTextBrowser* viewer = p.frm.help().viewer();
        QVERIFY(viewer && viewer->isVisible());
        QCOMPARE(viewer->source().fragment(), QStringLiteral("context-%1").arg(context));
        QTRY_VERIFY(viewer->verticalScrollBar()->value() > 0);
        QVERIFY(p.launcher.started.isEmpty());
    }

    // F1 in an open message box shows its topic in a viewer that takes input while the box waits.
    void f1InADialogOpensItsTopic() {
        Installation installed(false, true);
        DialerRig p({}, installed.appDir);
        p.window().show();
        QtMessageBox box(&p.window(), [&](const QString& file, int context) {
            p.frm.help().showTopic(file, context);
        });
        QWidget* modalDuringHelp = nullptr;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!dialog || !QTest::qWaitForWindowActive(dialog)) return QApplication::exit(1);
            QTest::keyClick(dialog, Qt::Key_F1);
            modalDuringHelp = QApplication::activeModalWidget();
            if (p.frm.help().viewer()) p.frm.help().viewer()->close();
            dialog->button(QMessageBox::Ok)->click();
        });
        box.show({QStringLiteral("Text"), 64, QStringLiteral("Talvo Dialer"),
                  installed.appDir + QStringLiteral("\\PXLHELP.HLP"), 5003});

        QTextBrowser* viewer = p.frm.help().viewer();
        QVERIFY(viewer);
        QVERIFY2(modalDuringHelp == viewer, "the viewer, not the box, takes input");
        QCOMPARE(viewer->source().fragment(), QStringLiteral("context-5003"));
    }

    // The real launcher hands everything after the first blank over as one argument, unquoted.
    void launcherPassesThePathAsItIs() {
        QTemporaryDir dir;
        const QString script = dir.filePath(QStringLiteral("viewer"));
        const QString out = dir.filePath(QStringLiteral("args"));
        QFile file(script);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QStringLiteral(
                       "#!/bin/sh\nprintf '%s|%s' \"$#\" \"$1\" > '%1.tmp' && mv '%1.tmp' '%1'\n")
                       .arg(out)
                       .toUtf8());
        file.close();
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

        QtProcessLauncher launcher;
        QVERIFY(launcher.startDetached(script + QStringLiteral(" /opt/talvo dialer/Help/KV.hlp")));
        QTRY_VERIFY(QFile::exists(out));
        QFile result(out);
        QVERIFY(result.open(QIODevice::ReadOnly));
        QCOMPARE(result.readAll(), QByteArray("1|/opt/talvo dialer/Help/KV.hlp"));

        QVERIFY(!launcher.startDetached(dir.filePath(QStringLiteral("missing")) + " x"));
    }
};

QTEST_MAIN(HelpTest)
#include "help_test.moc"
