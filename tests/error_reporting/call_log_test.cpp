#include "fakes.h"

#include "error_reporting/call_log.h"
#include "error_reporting/logged_message_box.h"

using namespace kv;

namespace {

QStringList linesOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly | QIODevice::Text)
               ? QString(file.readAll()).split('\n', Qt::SkipEmptyParts)
               : QStringList();
}

} // namespace

// The call log's file: where it lives, what a line looks like, when it turns over, and that a
// file it cannot write changes nothing.
class CallLogTest : public QObject {
    Q_OBJECT
  private slots:
    void whereItLives() {
#ifdef Q_OS_WIN
        qputenv("LOCALAPPDATA", "C:\\Users\\op\\AppData\\Local");
        QCOMPARE(CallLog::defaultPath(), "C:/Users/op/AppData/Local/Talvo Dialer/KV.log");
#else
        qputenv("XDG_STATE_HOME", "/state");
        QCOMPARE(CallLog::defaultPath(), "/state/talvo-dialer/KV.log");
        qputenv("XDG_STATE_HOME", "");
        QCOMPARE(CallLog::defaultPath(), QDir::homePath() + "/.local/state/talvo-dialer/KV.log");
#endif
    }

    // One line an event, from the start to the end, stamped to the millisecond with the offset
    // from UTC; a dialog and its answer; bytes with their control characters written visibly.
    // The log holds dialled numbers: only its owner may read it.
    void lines() {
        QTemporaryDir dir;
        const QString path = dir.filePath("talvo-dialer/KV.log");
        {
            CallLog log(path);
            test::FakeMessageBox fake;
            fake.answers = {box::No};
            LoggedMessageBox(fake).show({"Go on?\r\nSure", box::YesNoInformationNo, "", "", 0});
            qCInfo(callLog).noquote() << "read:" << visible("<AT>\r\n\x7f\xe9");
            qInfo("not for the call log");
        }
        QStringList lines = linesOf(path);
        static const QRegularExpression stamp(
            "^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}[+-]\\d\\d:\\d\\d ");
        for (QString& line : lines) {
            QVERIFY2(line.contains(stamp), qPrintable(line));
            line.remove(stamp);
        }
        QVERIFY2(lines.value(0).startsWith("Talvo Dialer V1.03 starts: KV 1.0.3 on "),
                 qPrintable(lines.value(0)));
        QCOMPARE(lines.mid(1).join('|'), "dialog (style 324): Go on?<CR><LF>Sure|answer: No|"
                                         "read: <0x3C>AT><CR><LF><0x7F><0xE9>|Talvo Dialer ends");
#ifndef Q_OS_WIN
        const auto others = QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup |
                            QFile::ReadOther | QFile::WriteOther | QFile::ExeOther;
        QVERIFY(!(QFileInfo(path).permissions() & others));
        QVERIFY(!(QFileInfo(dir.filePath("talvo-dialer")).permissions() & others));
#endif
    }

    // Two dialers log at once, a line each in turn. At 1 MiB the file becomes KV.log.1, one older
    // file is kept, and no line is lost: the two files hold the newest lines, without a gap.
    void twoDialersShareTheLog() {
        QTemporaryDir dir;
        const QString path = dir.filePath("KV.log");
        {
            CallLog first(path), second(path);
            for (int i = 0; i < 3000; ++i)
                (i % 2 ? first : second).write(QString("#%1 ").arg(i) + QString(1000, 'x'));
        }
        QList<int> kept;
        for (const QString& line : linesOf(path + ".1") + linesOf(path))
            if (line.section(' ', 1, 1).startsWith('#'))
                kept << line.section(' ', 1, 1).mid(1).toInt();
        QVERIFY(kept.size() > 1000 && kept.last() == 2999);
        for (qsizetype i = 1; i < kept.size(); ++i)
            QCOMPARE(kept[i], kept[i - 1] + 1);
        QVERIFY(QFileInfo(path + ".1").size() >= 1 << 20 && QFileInfo(path).size() < 1 << 20);
        QVERIFY(!QFile::exists(path + ".2"));
    }

    // A folder that cannot be made (here a file stands in its way, as root may write anywhere)
    // leaves the log unwritten, quietly: the log has no dialog to show and nothing to stop.
    void unwritable() {
        QTemporaryFile file;
        QVERIFY(file.open());
        CallLog log(file.fileName() + "/talvo-dialer/KV.log");
        qCInfo(callLog) << "an event";
        QCOMPARE(file.size(), 0);
    }
};

QTEST_GUILESS_MAIN(CallLogTest)
#include "call_log_test.moc"
