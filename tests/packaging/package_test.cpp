#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

namespace {

struct Run {
    int exitCode = -1;
    QString output; // standard output and error together
};

Run run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForFinished(-1) || process.exitStatus() != QProcess::NormalExit)
        return {-1, program + " did not run"};
    return {process.exitCode(), QString::fromLocal8Bit(process.readAll())};
}

} // namespace

// The Debian package, built from this build tree and unpacked into a scratch root: where its files
// land, what it depends on, and what the desktop's validators make of its entries.
class PackageTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() {
        QVERIFY(scratch_.isValid());
        // The package as cpack makes it, except that the install script runs directly: cpack's
        // own way first rebuilds the whole tree, under the feet of the tests running beside this.
        const Run cpack =
            run(KV_CPACK, {"-G", "DEB", "--config", KV_CPACK_CONFIG, "-B", scratch_.filePath("out"),
                           "-D", "CPACK_INSTALL_CMAKE_PROJECTS=", "-D",
                           "CPACK_INSTALL_SCRIPTS=" KV_INSTALL_SCRIPT});
        QVERIFY2(cpack.exitCode == 0, qPrintable(cpack.output));
        const QStringList debs = QDir(scratch_.filePath("out")).entryList({"*.deb"}, QDir::Files);
        QCOMPARE(debs.size(), 1);
        const QString deb = scratch_.filePath("out/" + debs.first());
        const Run unpack = run("dpkg-deb", {"-x", deb, root()});
        QVERIFY2(unpack.exitCode == 0, qPrintable(unpack.output));
        const Run field = run("dpkg-deb", {"-f", deb, "Depends"});
        QVERIFY2(field.exitCode == 0, qPrintable(field.output));
        depends_ = field.output.trimmed();
    }

    // Qt's application directory is the real executable's, so the help must lie beside the
    // link's target, not beside the link.
    void launcherLeadsToTheProgramWithItsHelp() {
        const QFileInfo launcher(root("usr/bin/talvo-dialer"));
        QVERIFY(launcher.isSymLink());
        QCOMPARE(launcher.symLinkTarget(), "/opt/talvo-dialer/KV");
        QVERIFY(QFileInfo(root("opt/talvo-dialer/KV")).isExecutable());
        QVERIFY(QFileInfo(root("opt/talvo-dialer/Help/KV.html")).size() > 0);
    }

    void dependsOn_data() {
        QTest::addColumn<QString>("package");
        for (const char* package :
             {"libqt6core6", "libqt6gui6", "libqt6widgets6", "libqt6serialport6", "qt6-qpa-plugins",
              "fonts-liberation", "libc6", "libstdc++6"})
            QTest::newRow(package) << QString(package);
    }

    void dependsOn() {
        QFETCH(QString, package);
        const QRegularExpression named("(^|, )" + QRegularExpression::escape(package) +
                                       "( \\(|,|$)");
        QVERIFY2(named.match(depends_).hasMatch(), qPrintable(depends_));
    }

    void desktopEntryStartsTheLauncherWithItsIcons() {
        const QString desktop = root("usr/share/applications/talvo-dialer.desktop");
        const Run check = run("desktop-file-validate", {desktop});
        QVERIFY2(check.exitCode == 0 && check.output.isEmpty(), qPrintable(check.output));
        QSettings entry(desktop, QSettings::IniFormat);
        entry.beginGroup("Desktop Entry");
        const QString exec = entry.value("Exec").toString().section(u' ', 0, 0);
        QVERIFY(QFileInfo(root("usr/bin/" + exec)).isSymLink());
        for (const int size : {16, 32}) {
            const QImage icon(root("usr/share/icons/hicolor/%1x%1/apps/%2.png")
                                  .arg(size)
                                  .arg(entry.value("Icon").toString()));
            QCOMPARE(icon.size(), QSize(size, size));
        }
    }

    void metainfoValidates() {
        // The tree check also holds the metainfo against its file name and the desktop entry.
        const Run check = run("appstreamcli", {"validate-tree", "--no-net", root()});
        QVERIFY2(check.exitCode == 0, qPrintable(check.output));
        QVERIFY2(check.output.contains("com.kestreldowne.TalvoDialer.metainfo.xml"),
                 qPrintable(check.output));
    }

  private:
    QString root(const QString& path = {}) const { return scratch_.filePath("root/" + path); }

    QTemporaryDir scratch_;
    QString depends_;
};

QTEST_GUILESS_MAIN(PackageTest)
#include "package_test.moc"
