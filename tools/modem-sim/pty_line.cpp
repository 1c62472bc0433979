#include "pty_line.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <system_error>
#include <termios.h>
#include <unistd.h>

namespace kv::sim {

namespace {

[[noreturn]] void fail(const char* what) {
    throw std::system_error(errno, std::generic_category(), what);
}

} // namespace

PtyLine::PtyLine() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (master_ < 0) fail("posix_openpt");
    if (grantpt(master_) != 0 || unlockpt(master_) != 0) fail("grantpt/unlockpt");
    const char* name = ptsname(master_);
    if (!name) fail("ptsname");
    slavePath_ = name;

    // The line discipline keeps these settings while the master stays open, across every
    // open and close of the slave side. Like a serial port's driver, and unlike a pty's, it
    // starts with hang-up-on-close set, so that a last close lowers DTR unless a program says
    // otherwise.
    const int slave = open(name, O_RDWR | O_NOCTTY);
    if (slave < 0) fail("open slave");
    termios raw;
    if (tcgetattr(slave, &raw) != 0) fail("tcgetattr");
    cfmakeraw(&raw);
    raw.c_cflag |= HUPCL;
    if (tcsetattr(slave, TCSANOW, &raw) != 0) fail("tcsetattr");
    close(slave);
}

PtyLine::~PtyLine() {
    if (master_ >= 0) close(master_);
}

short PtyLine::probe() const {
    pollfd p{master_, POLLIN, 0};
    return poll(&p, 1, 0) == 1 ? p.revents : 0;
}

QByteArray PtyLine::read(qsizetype most) {
    QByteArray bytes;
    char buffer[4096];
    for (;;) {
        const qsizetype room = most < 0 ? qsizetype(sizeof buffer)
                                        : std::min<qsizetype>(sizeof buffer, most - bytes.size());
        if (room == 0) return bytes;
        const ssize_t n = ::read(master_, buffer, size_t(room));
        if (n > 0)
            bytes.append(buffer, n);
        else if (n < 0 && errno == EINTR)
            continue;
        else
            return bytes; // EAGAIN: all read; EIO: the slave side is closed
    }
}

bool PtyLine::hangsUpOnClose() const {
    termios settings{};
    return tcgetattr(master_, &settings) == 0 && (settings.c_cflag & HUPCL);
}

void PtyLine::send(const QByteArray& bytes) {
    unsent_ += bytes;
    flush();
}

void PtyLine::flush() {
    while (!unsent_.isEmpty()) {
        const ssize_t n = write(master_, unsent_.constData(), size_t(unsent_.size()));
        if (n > 0)
            unsent_.remove(0, n);
        else if (n < 0 && errno == EINTR)
            continue;
        else
            return;
    }
}

} // namespace kv::sim
