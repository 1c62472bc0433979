#include "error_reporting/call_log.h"

#include "error_reporting/log_file.h"
#include "error_reporting/state_folder.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QLockFile>

namespace kv {

// Silent unless a CallLog takes the events.
Q_LOGGING_CATEGORY(callLog, "kv.call", QtWarningMsg)

namespace {

constexpr qint64 TurnOverBytes = 1 << 20;

#ifdef Q_OS_WIN
constexpr char LineEnd[] = "\r\n";
#else
constexpr char LineEnd[] = "\n";
#endif

CallLog* current = nullptr;
QtMessageHandler previous = nullptr;

void handle(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (current && context.category && qstrcmp(context.category, callLog().categoryName()) == 0)
        current->write(message);
    else if (previous)
        previous(type, context, message);
}

// The local time to the millisecond and its offset from UTC, always as +hh:mm, in ISO 8601:
// support reads a log across a change to summer time or from another time zone.
QString stamp() {
    const QDateTime now = QDateTime::currentDateTime();
    const int offset = now.offsetFromUtc() / 60;
    return now.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz")) +
           QString::asprintf("%c%02d:%02d", offset < 0 ? '-' : '+', qAbs(offset) / 60,
                             qAbs(offset) % 60);
}

} // namespace

QString visible(const QByteArray& bytes) {
    QString text;
    for (const char byte : bytes) {
        const uchar c = uchar(byte);
        if (c == '\r')
            text += QStringLiteral("<CR>");
        else if (c == '\n')
            text += QStringLiteral("<LF>");
        else if (c < 0x20 || c > 0x7E || c == '<')
            text += QStringLiteral("<0x") +
                    QString::number(c, 16).toUpper().rightJustified(2, u'0') + u'>';
        else
            text += QChar(c);
    }
    return text;
}

CallLog::CallLog(const QString& path) : path_(path) {
    current = this;
    previous = qInstallMessageHandler(handle);
    const_cast<QLoggingCategory&>(callLog()).setEnabled(QtInfoMsg, true);
    qCInfo(callLog).noquote() << QStringLiteral("Talvo Dialer V1.03 starts: KV %1 on %2, %3, Qt %4")
                                     .arg(QStringLiteral(KV_VERSION), QSysInfo::prettyProductName(),
                                          QSysInfo::currentCpuArchitecture(),
                                          QString::fromLatin1(qVersion()));
}

CallLog::~CallLog() {
    qCInfo(callLog).noquote() << QStringLiteral("Talvo Dialer ends");
    const_cast<QLoggingCategory&>(callLog()).setEnabled(QtInfoMsg, false);
    qInstallMessageHandler(previous);
    current = nullptr;
}

QString CallLog::defaultPath() {
    return stateFolder() + QStringLiteral("/KV.log");
}

// The file is opened for each line: a line then lands in whichever file bears the name at that
// moment, so a turnover by another dialer is followed at once, and on Windows a file that no
// line is being written to can be moved.
void CallLog::write(const QString& event) {
    if (!folderMade_) {
        const QString folder = QFileInfo(path_).path();
        if (!QDir().mkpath(folder)) return;
        // A folder or file from an earlier version may be open to others.
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QFile::setPermissions(path_, QFile::ReadOwner | QFile::WriteOwner);
        folderMade_ = true;
    }
    const QByteArray line = (stamp() + u' ' + event + QLatin1String(LineEnd)).toUtf8();
    const qint64 size = log_file::append(path_, line);
    // The folder may have gone meanwhile: the next line makes it again.
    folderMade_ = size >= 0;
    if (size >= TurnOverBytes) turnOver();
}

// One dialer at a time, and only while the file is still over the mark: another may have turned
// it over since this one's line. A dialer that holds the lock for long is left to it: the next
// line tries again, and the window must not wait.
void CallLog::turnOver() {
    QLockFile lock(path_ + QStringLiteral(".lock"));
    if (lock.tryLock(100) && QFileInfo(path_).size() >= TurnOverBytes)
        log_file::replace(path_, path_ + QStringLiteral(".1"));
}

} // namespace kv
