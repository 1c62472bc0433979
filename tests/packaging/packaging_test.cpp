#include "error_reporting/dialog_texts.h"
#include "error_reporting/error_trap.h"
#include "fakes.h"

#include <QtGui>

using namespace kv;

namespace {

// Runs a program; its exit code and its output, standard error included.
std::pair<int, QString> run(const QString& program, const QStringList& arguments) {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, arguments);
    const bool done = p.waitForFinished(-1) && p.exitStatus() == QProcess::NormalExit;
    return {done ? p.exitCode() : -1, QString::fromLocal8Bit(p.readAll())};
}

// The help's topic for one help context as plain text, blanks made single.
QString helpTopic(int context) {
    QFile file(KV_HELP_FILE);
    file.open(QIODevice::ReadOnly);
    const QString html = QString::fromUtf8(file.readAll());
    const qsizetype start = html.indexOf(QString("<h2 id=\"context-%1\"").arg(context));
    QTextDocument topic;
    topic.setHtml(html.mid(start, html.indexOf("<h2", start + 1) - start));
    return topic.toPlainText().simplified();
}

} // namespace

// What is shipped: the Debian package, the help, and KV.exe's icon.
class PackagingTest : public QObject {
    Q_OBJECT
  private slots:
    // Built from this tree, unpacked into a scratch root: its layout, dependencies and what
    // lintian and the desktop's validators make of it. The install script runs directly (a
    // stripping one): cpack's own way would rebuild the tree under the tests running beside it.
    void debianPackage() {
        QTemporaryDir dir;
        const auto [built, log] =
            run(KV_CPACK, {"-G", "DEB", "--config", KV_CPACK_CONFIG, "-B", dir.path(), "-D",
                           "CPACK_INSTALL_CMAKE_PROJECTS=", "-D",
                           "CPACK_INSTALL_SCRIPTS=" KV_INSTALL_SCRIPT});
        QVERIFY2(built == 0, qPrintable(log));
        const QString deb = dir.filePath(QDir(dir.path()).entryList({"*.deb"}).value(0));
        const QString root = dir.filePath("root/");
        QCOMPARE(run("dpkg-deb", {"-x", deb, root}).first, 0);
        const QString depends = run("dpkg-deb", {"-f", deb, "Depends"}).second;
        for (const char* package :
             {"libqt6widgets6", "libqt6serialport6", "qt6-qpa-plugins", "fonts-liberation"})
            QVERIFY2(depends.contains(QRegularExpression(QString("(^|, )%1( |,|$)").arg(package))),
                     qPrintable(depends));
        QVERIFY(QFileInfo(root + "usr/bin/talvo-dialer").isExecutable()); // the link leads to KV
        QVERIFY(QFileInfo(root + "usr/lib/talvo-dialer/Help/KV.html").size() > 0);
        const auto [lintian, tags] = run("lintian", {"--fail-on", "error,warning", deb});
        QVERIFY2(lintian == 0, qPrintable(tags));
        const QString desktop = root + "usr/share/applications/talvo-dialer.desktop";
        QCOMPARE(run("desktop-file-validate", {desktop}), std::pair(0, QString()));
        for (const char* icons : {"16x16/apps/", "32x32/apps/"}) // lintian matches sizes to folders
            QVERIFY(QFile::exists(root + "usr/share/icons/hicolor/" + icons + "talvo-dialer.png"));
        const auto [valid, report] = run("appstreamcli", {"validate-tree", "--no-net", root});
        QVERIFY2(valid == 0 && report.contains("com.kestreldowne.TalvoDialer"), qPrintable(report));
    }

    // Every box is explained in the topic that F1 opens for it (the unexpected-error boxes by
    // what follows their number).
    void helpExplainsEveryBox() {
        QVERIFY(helpTopic(1).contains(texts::MissingNumber.simplified()));
        for (const TrapProfile* trap :
             {&traps::Dial, &traps::HangUp, &traps::Escape, &traps::HangUpCommand})
            for (const QString& box :
                 {trap->portInUseText, trap->testsInvalidPort ? texts::InvalidPort : "",
                  texts::unexpectedError(0, trap->routinePiece).section(' ', 3)})
                QVERIFY2(helpTopic(trap->helpContext).contains(box.simplified()), qPrintable(box));
    }

    // KV.exe's icon, made by icon_tool from the pictures, holds the three pictures as they are,
    // in 2 and 16 colours (tests/windows/check reads the built KV.exe's other resources).
    void windowsIcon() {
        // The icon's directory: each picture's size, colours and bits per pixel.
        QFile file(KV_ICO_DIR "/KV.ico");
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray icon = file.readAll();
        QString pictures;
        for (const char* e = icon.constData() + 6; e < icon.constData() + 6 + 3 * 16; e += 16)
            pictures +=
                QString("%1x%2 %3/%4 ").arg(int(e[0])).arg(int(e[1])).arg(int(e[2])).arg(int(e[6]));
        QCOMPARE(pictures, "32x32 2/1 32x32 16/4 16x16 16/4 ");
        QImageReader ico(KV_ICO_DIR "/KV.ico", "ico");
        for (const char* picture : {"program_32_mono.xpm", "program_32.xpm", "program_16.xpm"}) {
            QCOMPARE(
                ico.read().convertToFormat(QImage::Format_ARGB32),
                QImage(KV_ICON_DIR "/" + QString(picture)).convertToFormat(QImage::Format_ARGB32));
            ico.jumpToNextImage();
        }
    }
};

QTEST_MAIN(PackagingTest)
#include "packaging_test.moc"
