#include "modem_port/serial_device.h"

#ifndef Q_OS_WIN

#include "error_reporting/state_folder.h"
#include "modem_port/lock_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSerialPort>

#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace kv::serial_device {

// The real device behind any link, so that QSerialPort's lock file is the same whichever name
// the user gave.
QString resolve(const QString& name) {
    const QString device = QFileInfo(name).canonicalFilePath();
    struct stat info {};
    if (device.isEmpty() || ::stat(QFile::encodeName(device).constData(), &info) != 0 ||
        !S_ISCHR(info.st_mode))
        return QString();
    return device;
}

// A hung-up tty or a pseudo-terminal whose master closed reports POLLHUP for good; some kernels
// report it without POLLIN, so reading alone would not notice.
bool hungUp(QSerialPort& port) {
    pollfd device{int(port.handle()), POLLIN, 0};
    return ::poll(&device, 1, 0) == 1 && (device.revents & (POLLHUP | POLLERR | POLLNVAL));
}

// A read looks at the device itself, so nothing that arrived can be missed; looking costs one
// poll.
bool takeArrived(QSerialPort&) {
    return true;
}

qint64 queuedOutput(QSerialPort& port) {
    int queued = 0;
    return ::ioctl(int(port.handle()), TIOCOUTQ, &queued) == 0 ? queued : 0;
}

void discardOutput(QSerialPort& port, bool) {
    port.clear(QSerialPort::Output);
}

bool hangsUpOnClose(QSerialPort& port) {
    termios settings{};
    return ::tcgetattr(int(port.handle()), &settings) == 0 && (settings.c_cflag & HUPCL);
}

namespace {

QString memoryOf(const QString& device) {
    return stateFolder() + u'/' + lock_file::deviceTag(device) + QStringLiteral(".hupcl");
}

// A device starts afresh with the machine, so a memory from an earlier boot means nothing.
QByteArray bootId() {
    QFile id(QStringLiteral("/proc/sys/kernel/random/boot_id"));
    return id.open(QIODevice::ReadOnly) ? id.readAll().trimmed() : QByteArray();
}

} // namespace

std::optional<bool> rememberedHangUp(const QString& device) {
    QFile memory(memoryOf(device));
    if (!memory.open(QIODevice::ReadOnly)) return std::nullopt;
    const QList<QByteArray> fields = memory.readAll().split(' ');
    if (fields.value(0) != bootId()) return std::nullopt;
    return fields.value(1).trimmed() == "1";
}

void rememberHangUp(const QString& device, std::optional<bool> own) {
    QFile memory(memoryOf(device));
    if (!own) {
        memory.remove();
        return;
    }
    if (QDir().mkpath(QFileInfo(memory).path()) && memory.open(QIODevice::WriteOnly))
        memory.write(bootId() + (*own ? " 1\n" : " 0\n"));
}

// The kernel lowers DTR at the last close of a tty while HUPCL is set, and QSerialPort puts back
// the settings it found at open just before it closes. So a second descriptor holds the device
// open through QSerialPort's close, HUPCL is set through it as wanted, and closing it is the last
// close.
void close(QSerialPort& port, bool hangUp) {
    const int holder = ::dup(int(port.handle()));
    port.close();
    if (holder < 0) return;
    termios settings{};
    if (::tcgetattr(holder, &settings) == 0) {
        settings.c_cflag &= ~tcflag_t(HUPCL);
        if (hangUp) settings.c_cflag |= HUPCL;
        ::tcsetattr(holder, TCSANOW, &settings);
    }
    ::close(holder);
}

} // namespace kv::serial_device

#endif
