#include "pseudo_terminal.h"

#include <QFile>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

namespace kv::test {

PseudoTerminal::PseudoTerminal() {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0) return;
    const char* slave = nullptr;
    if (::grantpt(master_) != 0 || ::unlockpt(master_) != 0 || !(slave = ::ptsname(master_))) {
        hangUp();
        return;
    }
    devicePath_ = QFile::decodeName(slave);
}

PseudoTerminal::~PseudoTerminal() {
    hangUp();
}

void PseudoTerminal::send(const QByteArray& bytes) {
    qsizetype sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::write(master_, bytes.constData() + sent, size_t(bytes.size() - sent));
        if (n <= 0) return;
        sent += n;
    }
}

QByteArray PseudoTerminal::received(int firstByteMs) {
    QByteArray bytes;
    int waitMs = firstByteMs;
    pollfd line{master_, POLLIN, 0};
    while (::poll(&line, 1, waitMs) == 1 && (line.revents & POLLIN)) {
        char chunk[4096];
        const ssize_t n = ::read(master_, chunk, sizeof chunk);
        if (n <= 0) break;
        bytes.append(chunk, n);
        waitMs = 0;
    }
    return bytes;
}

void PseudoTerminal::hangUp() {
    if (master_ >= 0) ::close(master_);
    master_ = -1;
}

} // namespace kv::test
