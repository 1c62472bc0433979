#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>
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
        return {-1, program + QStringLiteral(" did not run")};
    return {process.exitCode(), QString::fromLocal8Bit(process.readAll())};
}

const QString AppDir = QStringLiteral("opt/talvo-dialer");

} // namespace

// The Debian package, built from this build tree and unpacked into a scratch root: where its files
// land, what it depends on, and what the desktop's validators make of its entries.
class PackageTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase();
    void installsFile_data();
    void installsFile();
    void launcherLeadsToTheApplicationDirectory();
    void themeIconHasItsSize_data();
    void themeIconHasItsSize();
    void dependsOn_data();
    void dependsOn();
    void desktopEntryStartsTheLauncherWithTheIcon();
    void desktopEntryValidates();
    void metainfoValidates();

  private:
    QString root(const QString& path = {}) const {
        return scratch_.filePath(QStringLiteral("root/") + path);
    }

    QTemporaryDir scratch_;
    QString depends_;
};

void PackageTest::initTestCase() {
    QVERIFY(scratch_.isValid());
    // The package as cpack makes it, except that the install script runs directly: cpack's own
    // way first rebuilds the whole tree, under the feet of the tests running beside this one.
    const Run cpack = run(QStringLiteral(KV_CPACK),
                          {QStringLiteral("-G"), QStringLiteral("DEB"), QStringLiteral("--config"),
                           QStringLiteral(KV_CPACK_CONFIG), QStringLiteral("-B"),
                           scratch_.filePath(QStringLiteral("out")), QStringLiteral("-D"),
                           QStringLiteral("CPACK_INSTALL_CMAKE_PROJECTS="), QStringLiteral("-D"),
                           QStringLiteral("CPACK_INSTALL_SCRIPTS=" KV_INSTALL_SCRIPT)});
    QVERIFY2(cpack.exitCode == 0, qPrintable(cpack.output));
    const QStringList debs = QDir(scratch_.filePath(QStringLiteral("out")))
                                 .entryList({QStringLiteral("*.deb")}, QDir::Files);
    QCOMPARE(debs.size(), 1);
    const QString deb = scratch_.filePath(QStringLiteral("out/") + debs.first());

    const Run unpack = run(QStringLiteral("dpkg-deb"), {QStringLiteral("-x"), deb, root()});
    QVERIFY2(unpack.exitCode == 0, qPrintable(unpack.output));
    const Run field =
        run(QStringLiteral("dpkg-deb"), {QStringLiteral("-f"), deb, QStringLiteral("Depends")});
    QVERIFY2(field.exitCode == 0, qPrintable(field.output));
    depends_ = field.output.trimmed();
}

void PackageTest::installsFile_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("executable");
    QTest::newRow("program") << AppDir + "/KV" << true;
    QTest::newRow("help beside it") << AppDir + "/Help/KV.html" << false;
    QTest::newRow("desktop entry") << "usr/share/applications/talvo-dialer.desktop" << false;
    QTest::newRow("metainfo") << "usr/share/metainfo/com.kestreldowne.TalvoDialer.metainfo.xml"
                              << false;
}

void PackageTest::installsFile() {
    QFETCH(QString, path);
    QFETCH(bool, executable);
    const QFileInfo file(root(path));
    QVERIFY2(file.isFile() && file.size() > 0, qPrintable(path));
    QCOMPARE(file.isExecutable(), executable);
}

void PackageTest::launcherLeadsToTheApplicationDirectory() {
    const QFileInfo launcher(root(QStringLiteral("usr/bin/talvo-dialer")));
    QVERIFY(launcher.isSymLink());
    // Qt's application directory is the real executable's, so the help must lie beside the
    // link's target, not beside the link.
    const QString target = launcher.symLinkTarget();
    QCOMPARE(target, QStringLiteral("/") + AppDir + QStringLiteral("/KV"));
    QVERIFY(QFileInfo(root(target.mid(1))).isExecutable());
    QVERIFY(QFileInfo::exists(root(QFileInfo(target).path().mid(1) + "/Help/KV.html")));
}

void PackageTest::themeIconHasItsSize_data() {
    QTest::addColumn<int>("size");
    QTest::newRow("16x16") << 16;
    QTest::newRow("32x32") << 32;
}

void PackageTest::themeIconHasItsSize() {
    QFETCH(int, size);
    const QImage icon(
        root(QStringLiteral("usr/share/icons/hicolor/%1x%1/apps/talvo-dialer.png").arg(size)),
        "PNG");
    QCOMPARE(icon.size(), QSize(size, size));
}

void PackageTest::dependsOn_data() {
    QTest::addColumn<QString>("package");
    for (const char* package : {"libqt6core6", "libqt6gui6", "libqt6widgets6", "libqt6serialport6",
                                "qt6-qpa-plugins", "fonts-liberation", "libc6", "libstdc++6"})
        QTest::newRow(package) << QString::fromLatin1(package);
}

void PackageTest::dependsOn() {
    QFETCH(QString, package);
    const QRegularExpression named(QStringLiteral("(^|, )") + QRegularExpression::escape(package) +
                                   QStringLiteral("( \\(|,|$)"));
    QVERIFY2(named.match(depends_).hasMatch(), qPrintable(depends_));
}

void PackageTest::desktopEntryStartsTheLauncherWithTheIcon() {
    QSettings entry(root(QStringLiteral("usr/share/applications/talvo-dialer.desktop")),
                    QSettings::IniFormat);
    entry.beginGroup(QStringLiteral("Desktop Entry"));
    const QString exec = entry.value(QStringLiteral("Exec")).toString();
    const QString icon = entry.value(QStringLiteral("Icon")).toString();
    QVERIFY(QFileInfo(root(QStringLiteral("usr/bin/") + exec.section(u' ', 0, 0))).isSymLink());
    for (const char* size : {"16x16", "32x32"})
        QVERIFY(QFileInfo::exists(root(QStringLiteral("usr/share/icons/hicolor/%1/apps/%2.png")
                                           .arg(QLatin1String(size), icon))));
}

void PackageTest::desktopEntryValidates() {
    const Run check = run(QStringLiteral("desktop-file-validate"),
                          {root(QStringLiteral("usr/share/applications/talvo-dialer.desktop"))});
    QVERIFY2(check.exitCode == 0 && check.output.isEmpty(), qPrintable(check.output));
}

void PackageTest::metainfoValidates() {
    // The tree check also holds the metainfo against its file name and the desktop entry.
    const Run check = run(QStringLiteral("appstreamcli"),
                          {QStringLiteral("validate-tree"), QStringLiteral("--no-net"), root()});
    QVERIFY2(check.exitCode == 0, qPrintable(check.output));
    QVERIFY2(check.output.contains(QStringLiteral("com.kestreldowne.TalvoDialer.metainfo.xml")),
             qPrintable(check.output));
}

QTEST_GUILESS_MAIN(PackageTest)
#include "package_test.moc"
