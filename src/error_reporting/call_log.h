#pragma once

#include <QByteArray>
#include <QLoggingCategory>
#include <QString>

// The events of a run that support asks for when a dial fails: the start and the end, Dial and
// Hang Up, what the window shows, every byte on the line, every dialog and its answer. Each part
// of the program writes them with qCInfo(kv::callLog); a CallLog puts them in a file.
namespace kv {

Q_DECLARE_LOGGING_CATEGORY(callLog)

// Bytes as text on one line: printable ASCII as it is, CR and LF as <CR> and <LF>, any other byte
// (and "<" itself) as <0xHH>.
QString visible(const QByteArray& bytes);

// Writes the call log's events to a file, one line each, stamped with the local time to the
// millisecond and its offset from UTC (ISO 8601), from construction to destruction; everything
// else logged goes on as before. The folder is made when the first line comes; the log holds
// dialled numbers, so the folder and the file are its owner's alone. At 1 MiB the file becomes
// <file>.1, replacing the older one. Several dialers may run at once and share the file: no line
// is lost, and only one of them turns it over. A line that cannot be written is left out
// quietly: the log must never stand in the way of a call.
class CallLog {
  public:
    explicit CallLog(const QString& path);
    ~CallLog();
    CallLog(const CallLog&) = delete;
    CallLog& operator=(const CallLog&) = delete;

    // KV.log in the state folder (state_folder.h).
    static QString defaultPath();

    void write(const QString& event);

  private:
    void turnOver();

    QString path_;
    bool folderMade_ = false;
};

} // namespace kv
