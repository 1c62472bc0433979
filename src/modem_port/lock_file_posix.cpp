#include "modem_port/lock_file.h"

#ifndef Q_OS_WIN

#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStringList>

#include <cerrno>
#include <csignal>
#include <unistd.h>

namespace kv::lock_file {

namespace {

// Where QSerialPort keeps the lock (qserialport_unix.cpp): the first of its folders that can be
// read and holds the lock already or can be written. On Debian that is /var/lock, where minicom,
// cu and pppd keep theirs too.
QString pathOf(const QString& device) {
    static const QStringList folders{
        QStringLiteral("/var/lock"),
        QStringLiteral("/etc/locks"),
        QStringLiteral("/var/spool/locks"),
        QStringLiteral("/var/spool/uucp"),
        QStringLiteral("/tmp"),
        QStringLiteral("/var/tmp"),
        QStringLiteral("/var/lock/lockdev"),
        QStringLiteral("/run/lock"),
        QStandardPaths::writableLocation(QStandardPaths::TempLocation)};
    const QString name = QStringLiteral("/LCK..") + deviceTag(device);
    for (const QString& folder : folders) {
        const QFileInfo info(folder);
        if (info.isReadable() && (QFile::exists(folder + name) || info.isWritable()))
            return folder + name;
    }
    return QString();
}

bool alive(qint64 pid) {
    return ::kill(pid_t(pid), 0) == 0 || errno == EPERM;
}

} // namespace

QString deviceTag(const QString& device) {
    QString tag = device;
    if (tag.startsWith(QStringLiteral("/dev/"))) tag.remove(0, 5);
    return tag.replace(u'/', u'_');
}

// The PID leads the file in both forms: padded to ten characters by the FHS's programs, alone on
// QLockFile's first line.
bool heldElsewhere(const QString& device) {
    QFile lock(pathOf(device));
    if (lock.fileName().isEmpty() || !lock.exists()) return false;
    if (!lock.open(QIODevice::ReadOnly)) return true;
    bool named = false;
    const qint64 pid = lock.readLine(64).trimmed().toLongLong(&named);
    // A stale lock that cannot be removed (another user's, in a sticky folder) still stands in
    // QSerialPort's way.
    return !named || pid <= 0 || alive(pid) || !lock.remove();
}

void markOwn(const QString& device) {
    QFile lock(pathOf(device));
    if (lock.open(QIODevice::WriteOnly))
        lock.write(QByteArray::number(qint64(::getpid())).rightJustified(10, ' ') + '\n');
}

} // namespace kv::lock_file

#endif
