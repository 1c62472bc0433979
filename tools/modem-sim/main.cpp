// modem-sim: the simulated Hayes modem on a pseudo-terminal, in real time.
//
//   modem-sim [--link PATH] [--log FILE] [--cut N[,N...]:MS] [--bps N] [--close-drops-dtr]
//
// Prints the path of the terminal to open as the modem's serial port on the first line of
// stdout; --link also makes PATH a symbolic link to it. Logs every byte received and sent, and
// every open and close of the terminal, to FILE (default: stderr). Ends on SIGTERM or SIGINT.
//
// The terminal's side raises DTR when it opens, and its last close lowers DTR as a tty does: when
// the terminal is set to hang up on close (HUPCL), or at every close with --close-drops-dtr, as
// Windows' serial driver does. --cut delivers every result in pieces, cut after each N bytes and
// MS milliseconds apart. --bps takes bytes from the line no faster than N bit/s carry them (ten
// bits a byte), as a modem's own serial port does.

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

// A modem's serial port holds a few bytes in its FIFO, taken at the line's pace.
constexpr double FifoBytes = 16;

struct Options {
    QByteArray link;
    QByteArray log;
    QList<int> cuts;
    int cutGapMs = 0;
    int bps = 0; // 0: no pace
    bool closeDropsDtr = false;
};

// "N[,N...]:MS"
bool parseCut(const QByteArray& value, Options& options) {
    const QList<QByteArray> parts = value.split(':');
    bool ok = parts.size() == 2;
    for (const QByteArray& n : parts.value(0).split(','))
        options.cuts << (ok ? n.toInt(&ok) : 0);
    if (ok) options.cutGapMs = parts[1].toInt(&ok);
    return ok;
}

bool parse(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg = argv[i];
        if (arg == "--close-drops-dtr") {
            options.closeDropsDtr = true;
            continue;
        }
        if (i + 1 >= argc) return false;
        const QByteArray value = argv[++i];
        bool ok = true;
        if (arg == "--link")
            options.link = value;
        else if (arg == "--log")
            options.log = value;
        else if (arg == "--bps")
            options.bps = value.toInt(&ok);
        else if (arg == "--cut")
            ok = parseCut(value, options);
        else
            return false;
        if (!ok) return false;
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
void serve(kv::sim::PtyLine& line, kv::sim::TrafficLog& log, int stopFd, const Options& options) {
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
    modem.cutResults(options.cuts, options.cutGapMs);
    QElapsedTimer clock;
    clock.start();
    bool held = false;
    double credit = 0; // bytes the line has carried by now and not yet taken, paced
    qint64 lastLook = 0;
    for (;;) {
        const qint64 now = clock.elapsed();
        credit = std::min(FifoBytes, credit + double(now - lastLook) * options.bps / 10'000.0);
        lastLook = now;
        const short events = line.probe();
        const bool hangUp = events & POLLHUP;
        if (!held && (!hangUp || (events & POLLIN))) {
            held = true;
            log.event(now, "open");
            modem.setDtr(true, now);
        }
        bool unread = false;
        if (events & POLLIN) {
            const QByteArray bytes = line.read(options.bps ? qsizetype(credit) : -1);
            credit -= double(bytes.size());
            unread = options.bps && (line.probe() & POLLIN);
            if (!bytes.isEmpty()) {
                log.bytes(now, "rx", bytes);
                modem.receive(bytes, now);
            }
        }
        if (held && hangUp) {
            held = false;
            line.dropUnsent();
            log.event(now, "close");
            if (options.closeDropsDtr || line.hangsUpOnClose()) {
                log.event(now, "dtr off");
                modem.setDtr(false, now);
            }
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
        // Bytes left for the line to carry wake no edge of their own.
        if (unread) timeout = timeout < 0 ? 1 : std::min(timeout, 1);
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
        std::fprintf(stderr,
                     "usage: %s [--link PATH] [--log FILE] [--cut N[,N...]:MS] [--bps N] "
                     "[--close-drops-dtr]\n",
                     argv[0]);
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
        serve(line, log, stopFd, options);
        if (!options.link.isEmpty()) unlink(options.link.constData());
    } catch (const std::system_error& e) {
        std::fprintf(stderr, "modem-sim: %s\n", e.what());
        return 1;
    }
    return 0;
}
