#include <QDataStream>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString Windres = QStringLiteral("x86_64-w64-mingw32-windres");

// One entry of an icon file's directory.
struct IconEntry {
    int width, height, colours, planes, bitsPerPixel;
};

QList<IconEntry> iconDirectory(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    QDataStream in(&file);
    in.setByteOrder(QDataStream::LittleEndian);
    quint16 reserved, type, count;
    in >> reserved >> type >> count;
    if (reserved != 0 || type != 1) return {};
    QList<IconEntry> entries;
    for (int i = 0; i < count; ++i) {
        quint8 width, height, colours, pad;
        quint16 planes, bits;
        quint32 size, offset;
        in >> width >> height >> colours >> pad >> planes >> bits >> size >> offset;
        entries.append({width, height, colours, planes, bits});
    }
    return entries;
}

} // namespace

// KV.exe's version resource and icon, put through the MinGW resource compiler and read back the
// way Windows reads them.
class WindowsIdentityTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase();
    void versionResource_data();
    void versionResource();
    void namesNoOtherStrings();
    void iconGroupHoldsTheThreeImages();
    void iconImageIsItsXpm_data();
    void iconImageIsItsXpm();

  private:
    QString ico() const { return QStringLiteral(KV_ICO_DIR "/KV.ico"); }

    QTemporaryDir work_;
    QString compiled_; // the compiled resources, written back out as resource script
};

void WindowsIdentityTest::initTestCase() {
    QVERIFY2(!QStandardPaths::findExecutable(Windres).isEmpty(),
             "x86_64-w64-mingw32-windres is missing: run tools/install-deps");
    QVERIFY(work_.isValid());
    const QString res = work_.filePath(QStringLiteral("KV.res"));
    QProcess windres;
    // The host's preprocessor will do: the script includes no Windows headers.
    windres.start(Windres,
                  {QStringLiteral("--preprocessor=cpp"), QStringLiteral("-I"),
                   QStringLiteral(KV_ICO_DIR), QStringLiteral(KV_RC_FILE), QStringLiteral("-O"),
                   QStringLiteral("res"), QStringLiteral("-o"), res});
    QVERIFY(windres.waitForFinished());
    QVERIFY2(windres.exitCode() == 0, windres.readAllStandardError().constData());

    QProcess back;
    back.start(Windres, {QStringLiteral("-J"), QStringLiteral("res"), QStringLiteral("-i"), res,
                         QStringLiteral("-O"), QStringLiteral("rc")});
    QVERIFY(back.waitForFinished());
    QVERIFY2(back.exitCode() == 0, back.readAllStandardError().constData());
    compiled_ = QString::fromLatin1(back.readAllStandardOutput());
}

void WindowsIdentityTest::versionResource_data() {
    QTest::addColumn<QString>("line");
    QTest::newRow("numeric file version") << "FILEVERSION 1, 0, 0, 0";
    QTest::newRow("numeric product version") << "PRODUCTVERSION 1, 0, 0, 0";
    QTest::newRow("32-bit Windows") << "FILEOS 0x40004";
    QTest::newRow("application") << "FILETYPE 0x1";
    QTest::newRow("US English, Unicode strings") << "BLOCK \"040904B0\"";
    QTest::newRow("FileVersion") << "VALUE \"FileVersion\", \"1.00\"";
    QTest::newRow("ProductVersion") << "VALUE \"ProductVersion\", \"1.00\"";
    QTest::newRow("ProductName") << "VALUE \"ProductName\", \"KV\"";
    QTest::newRow("InternalName") << "VALUE \"InternalName\", \"KV\"";
    QTest::newRow("OriginalFilename") << "VALUE \"OriginalFilename\", \"KV.exe\"";
    QTest::newRow("translation") << "VALUE \"Translation\", 0x409, 1200";
}

void WindowsIdentityTest::versionResource() {
    QFETCH(QString, line);
    const QStringList lines = compiled_.split(u'\n');
    QVERIFY2(std::any_of(lines.begin(), lines.end(),
                         [&](const QString& l) { return l.simplified() == line; }),
             qPrintable(line));
}

void WindowsIdentityTest::namesNoOtherStrings() {
    QCOMPARE(compiled_.count(QRegularExpression(QStringLiteral("VALUE \"[A-Za-z]+\", \""))), 5);
}

void WindowsIdentityTest::iconGroupHoldsTheThreeImages() {
    // windres writes each entry of the icon group as "width height colours pad", planes, bits.
    const QRegularExpression entry(
        QStringLiteral("\"\\\\(\\d{3})\\\\(\\d{3})\\\\(\\d{3})\\\\000\", 1, (\\d+),"));
    QStringList found;
    for (auto it = entry.globalMatch(compiled_); it.hasNext();) {
        const auto m = it.next();
        found << QStringLiteral("%1x%2 %3 colours %4 bits")
                     .arg(m.captured(1).toInt(nullptr, 8))
                     .arg(m.captured(2).toInt(nullptr, 8))
                     .arg(m.captured(3).toInt(nullptr, 8))
                     .arg(m.captured(4));
    }
    QCOMPARE(found, QStringList({"32x32 2 colours 1 bits", "32x32 16 colours 4 bits",
                                 "16x16 16 colours 4 bits"}));
    QVERIFY(compiled_.contains(QStringLiteral("\"IDI_ICON1\" 14 /* RT_GROUP_ICON */")));
}

void WindowsIdentityTest::iconImageIsItsXpm_data() {
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("xpm");
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("colours");
    QTest::addColumn<int>("bitsPerPixel");
    QTest::newRow("32x32, 2 colours") << 0 << "program_32_mono.xpm" << 32 << 2 << 1;
    QTest::newRow("32x32, 16 colours") << 1 << "program_32.xpm" << 32 << 16 << 4;
    QTest::newRow("16x16, 16 colours") << 2 << "program_16.xpm" << 16 << 16 << 4;
}

void WindowsIdentityTest::iconImageIsItsXpm() {
    QFETCH(int, index);
    QFETCH(QString, xpm);
    QFETCH(int, size);
    QFETCH(int, colours);
    QFETCH(int, bitsPerPixel);

    const QList<IconEntry> entries = iconDirectory(ico());
    QCOMPARE(entries.size(), 3);
    const IconEntry& e = entries[index];
    QCOMPARE(e.width, size);
    QCOMPARE(e.height, size);
    QCOMPARE(e.colours, colours);
    QCOMPARE(e.planes, 1);
    QCOMPARE(e.bitsPerPixel, bitsPerPixel);

    QImageReader reader(ico(), "ico");
    QVERIFY(reader.jumpToImage(index));
    const QImage shown = reader.read().convertToFormat(QImage::Format_ARGB32);
    const QImage drawn =
        QImage(QStringLiteral(KV_ICON_DIR "/") + xpm, "XPM").convertToFormat(QImage::Format_ARGB32);
    QVERIFY(!drawn.isNull());
    QCOMPARE(shown.size(), drawn.size());
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const QRgb want = drawn.pixel(x, y), got = shown.pixel(x, y);
            const bool transparent = qAlpha(want) < 128;
            if (transparent ? qAlpha(got) != 0 : got != (want | 0xff000000))
                QFAIL(qPrintable(QStringLiteral("pixel %1,%2: %3 instead of %4")
                                     .arg(x)
                                     .arg(y)
                                     .arg(got, 8, 16)
                                     .arg(want, 8, 16)));
        }
}

QTEST_GUILESS_MAIN(WindowsIdentityTest)
#include "windows_identity_test.moc"
