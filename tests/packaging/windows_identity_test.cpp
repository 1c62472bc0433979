#include <QImageReader>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

// KV.exe's version resource and icon, put through the MinGW resource compiler and read back the
// way Windows reads them.
class WindowsIdentityTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() {
        const QString windres = QStandardPaths::findExecutable("x86_64-w64-mingw32-windres");
        QVERIFY2(!windres.isEmpty(),
                 "x86_64-w64-mingw32-windres is missing: run tools/install-deps");
        QVERIFY(work_.isValid());
        const QString res = work_.filePath("KV.res");
        QProcess process;
        const auto run = [&](const QStringList& arguments) {
            process.start(windres, arguments);
            return process.waitForFinished() && process.exitCode() == 0;
        };
        // The host's preprocessor will do: the script includes no Windows headers.
        QVERIFY2(run({"--preprocessor=cpp", "-I", KV_ICO_DIR, KV_RC_FILE, "-O", "res", "-o", res}),
                 process.readAllStandardError().constData());
        QVERIFY2(run({"-J", "res", "-i", res, "-O", "rc"}),
                 process.readAllStandardError().constData());
        compiled_ = QString::fromLatin1(process.readAllStandardOutput());
    }

    void versionResource_data() {
        QTest::addColumn<QString>("line");
        QTest::newRow("numeric file version") << "FILEVERSION 1, 0, 0, 0";
        QTest::newRow("numeric product version") << "PRODUCTVERSION 1, 0, 0, 0";
        QTest::newRow("32-bit Windows") << "FILEOS 0x4";
        QTest::newRow("application") << "FILETYPE 0x1";
        QTest::newRow("US English, Unicode strings") << "BLOCK \"040904B0\"";
        QTest::newRow("FileVersion") << "VALUE \"FileVersion\", \"1.00\"";
        QTest::newRow("ProductVersion") << "VALUE \"ProductVersion\", \"1.00\"";
        QTest::newRow("ProductName") << "VALUE \"ProductName\", \"KV\"";
        QTest::newRow("InternalName") << "VALUE \"InternalName\", \"KV\"";
        QTest::newRow("OriginalFilename") << "VALUE \"OriginalFilename\", \"KV.exe\"";
        QTest::newRow("translation") << "VALUE \"Translation\", 0x409, 1200";
    }

    void versionResource() {
        QFETCH(QString, line);
        QVERIFY2(compiled_.contains(QRegularExpression(
                     "(^|\\n)\\s*" + QRegularExpression::escape(line) + "\\s*\\n")),
                 qPrintable(line));
    }

    void namesNoOtherStrings() {
        QCOMPARE(compiled_.count(QRegularExpression("VALUE \"[A-Za-z]+\", \"")), 5);
    }

    void iconGroupHoldsTheThreeImages() {
        // windres writes each entry of the icon group as "width height colours pad", planes, bits.
        const QRegularExpression entry(R"("\\(\d{3})\\(\d{3})\\(\d{3})\\000", 1, (\d+),)");
        QStringList found;
        for (auto it = entry.globalMatch(compiled_); it.hasNext();) {
            const auto m = it.next();
            found << QString("%1x%2 %3 colours %4 bits")
                         .arg(m.captured(1).toInt(nullptr, 8))
                         .arg(m.captured(2).toInt(nullptr, 8))
                         .arg(m.captured(3).toInt(nullptr, 8))
                         .arg(m.captured(4));
        }
        QCOMPARE(found, QStringList({"32x32 2 colours 1 bits", "32x32 16 colours 4 bits",
                                     "16x16 16 colours 4 bits"}));
        QVERIFY(compiled_.contains("\"IDI_ICON1\" 14 /* RT_GROUP_ICON */"));
    }

    void iconImageIsItsXpm_data() {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("xpm");
        QTest::newRow("32x32, 2 colours") << 0 << "program_32_mono.xpm";
        QTest::newRow("32x32, 16 colours") << 1 << "program_32.xpm";
        QTest::newRow("16x16, 16 colours") << 2 << "program_16.xpm";
    }

    // Each image decodes to its picture, transparent pixels included.
    void iconImageIsItsXpm() {
        QFETCH(int, index);
        QFETCH(QString, xpm);
        QImageReader reader(KV_ICO_DIR "/KV.ico", "ico");
        QVERIFY(reader.jumpToImage(index));
        QCOMPARE(reader.read().convertToFormat(QImage::Format_ARGB32),
                 QImage(KV_ICON_DIR "/" + xpm, "XPM").convertToFormat(QImage::Format_ARGB32));
    }

  private:
    QTemporaryDir work_;
    QString compiled_; // the compiled resources, written back out as resource script
};

QTEST_GUILESS_MAIN(WindowsIdentityTest)
#include "windows_identity_test.moc"
