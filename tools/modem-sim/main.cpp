// modem-sim: the simulated Hayes modem on a pseudo-terminal, in real time.
//
//   modem-sim [--link PATH] [--log FILE]
//
// Prints the path of the terminal to open as the modem's serial port on the first line of
// stdout; --link also makes PATH a symbolic link to it. Logs every byte received and sent, and
// every open and close of the terminal, to FILE (default: stderr). Ends on SIGTERM or SIGINT.

#include "hayes_modem.h"
#include "pty_line.h"
#include "traffic_log.h"

#include <QElapsedTimer>
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <poll.h>
#include <sys/epoll.h>
#include <sys/signalfd.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace {

// How often a closed line is looked at for an open that brought no bytes with it. An open
// followed by bytes wakes the loop at once; the pty gives no other sign of an open.
constexpr int ClosedLineCheckMs = 50;

struct Options {
    QByteArray link;
    QByteArray log;
};

bool parse(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg = argv[i];
        if ((arg == "--link" || arg == "--log") && i + 1 < argc)
            (arg == "--link" ? options.link : options.log) = argv[++i];
        else
            return false;
    }
    return true;
}

int signalFd() {
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGTERM);
    sigaddset(&stop, SIGINT);
    sigprocmask(SIG_BLOCK, &stop, nullptr);
    return signalfd(-1, &stop, SFD_CLOEXEC);
}

// Serves the modem on the line until a stop signal comes.
void serve(kv::sim::PtyLine& line, kv::sim::TrafficLog& log, int stopFd) {
    // Edge-triggered: a pty master whose slave side is closed reports POLLHUP without end, and
    // a level-triggered wait would spin on it.
    const int epoll = epoll_create1(EPOLL_CLOEXEC);
    epoll_event lineEvents{};
    lineEvents.events = EPOLLIN | EPOLLOUT | EPOLLET;
    lineEvents.data.fd = line.fd();
    epoll_event stopEvents{};
    stopEvents.events = EPOLLIN;
    stopEvents.data.fd = stopFd;
    if (epoll < 0 || epoll_ctl(epoll, EPOLL_CTL_ADD, line.fd(), &lineEvents) != 0 ||
        epoll_ctl(epoll, EPOLL_CTL_ADD, stopFd, &stopEvents) != 0)
        throw std::system_error(errno, std::generic_category(), "epoll");

    kv::sim::HayesModem modem;
    QElapsedTimer clock;
    clock.start();
    bool held = false;
    for (;;) {
        const qint64 now = clock.elapsed();
        const short events = line.probe();
        const bool hangUp = events & POLLHUP;
        if (!held && (!hangUp || (events & POLLIN))) {
            held = true;
            log.event(now, "open");
        }
        if (events & POLLIN) {
            const QByteArray bytes = line.readAll();
            if (!bytes.isEmpty()) {
                log.bytes(now, "rx", bytes);
                modem.receive(bytes, now);
            }
        }
        if (held && hangUp) {
            held = false;
            line.dropUnsent();
            log.event(now, "close");
        }
        const QByteArray said = modem.takeOutput(now);
        if (!said.isEmpty()) {
            log.bytes(now, held ? "tx" : "lost", said);
            if (held) line.send(said);
        }
        line.flush();

        const qint64 next = modem.nextChangeAt(now);
        int timeout = next < 0 ? -1 : int(std::max<qint64>(0, next - now));
        if (!held) timeout = timeout < 0 ? ClosedLineCheckMs : std::min(timeout, ClosedLineCheckMs);
        epoll_event ready[2];
        const int n = epoll_wait(epoll, ready, 2, timeout);
        if (n < 0 && errno != EINTR)
            throw std::system_error(errno, std::generic_category(), "wait");
        for (int i = 0; i < n; ++i)
            if (ready[i].data.fd == stopFd) {
                signalfd_siginfo stop{};
                if (read(stopFd, &stop, sizeof stop) != sizeof stop) continue;
                log.text(clock.elapsed(), "stop",
                         QByteArray(strsignal(int(stop.ssi_signo))) + " from pid " +
                             QByteArray::number(stop.ssi_pid));
                close(epoll);
                return;
            }
    }
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    if (!parse(argc, argv, options)) {
        std::fprintf(stderr, "usage: %s [--link PATH] [--log FILE]\n", argv[0]);
        return 2;
    }
    std::signal(SIGPIPE, SIG_IGN);
    const int stopFd = signalFd();
    try {
        kv::sim::PtyLine line;
        std::FILE* logFile = stderr;
        if (!options.log.isEmpty() && !(logFile = std::fopen(options.log.constData(), "w")))
            throw std::system_error(errno, std::generic_category(), options.log.constData());
        if (!options.link.isEmpty()) {
            struct stat old;
            if (lstat(options.link.constData(), &old) == 0 && S_ISLNK(old.st_mode))
                unlink(options.link.constData());
            if (symlink(line.slavePath().constData(), options.link.constData()) != 0)
                throw std::system_error(errno, std::generic_category(), options.link.constData());
        }
        std::printf("%s\n", line.slavePath().constData());
        std::fflush(stdout);

        kv::sim::TrafficLog log(logFile);
        log.text(0, "start", line.slavePath());
        serve(line, log, stopFd);
        if (!options.link.isEmpty()) unlink(options.link.constData());
    } catch (const std::system_error& e) {
        std::fprintf(stderr, "modem-sim: %s\n", e.what());
        return 1;
    }
    return 0;
}
