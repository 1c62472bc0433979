#include "error_reporting/call_log.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace kv {

// Silent unless a CallLog takes the events.
Q_LOGGING_CATEGORY(callLog, "kv.call", QtWarningMsg)

namespace {

constexpr qint64 TurnOverBytes = 1 << 20;

CallLog* current = nullptr;
QtMessageHandler previous = nullptr;

void handle(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (current && context.category && qstrcmp(context.category, callLog().categoryName()) == 0)
        current->write(message);
    else if (previous)
        previous(type, context, message);
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
#ifdef Q_OS_WIN
    const QString local = qEnvironmentVariable(
        "LOCALAPPDATA", QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation));
    return QDir::fromNativeSeparators(local) + QStringLiteral("/Talvo Dialer/KV.log");
#else
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (!QDir::isAbsolutePath(state)) state = QDir::homePath() + QStringLiteral("/.local/state");
    return state + QStringLiteral("/talvo-dialer/KV.log");
#endif
}

void CallLog::write(const QString& event) {
    if (givenUp_ || !open()) return;
    const QByteArray line =
        (QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz ")) + event +
         u'\n')
            .toUtf8();
    if (file_.write(line) != line.size() || !file_.flush()) {
        givenUp_ = true;
        file_.close();
    }
}

// Opens the file at the first line and after each turnover.
bool CallLog::open() {
    if (file_.isOpen() && file_.size() < TurnOverBytes) return true;
    if (file_.isOpen()) {
        file_.close();
        QFile::remove(path_ + QStringLiteral(".1"));
        QFile::rename(path_, path_ + QStringLiteral(".1"));
    }
    file_.setFileName(path_);
    givenUp_ =
        !QDir().mkpath(QFileInfo(path_).path()) || !file_.open(QIODevice::Append | QIODevice::Text);
    return !givenUp_;
}

} // namespace kv
