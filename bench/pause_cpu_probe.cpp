// Measures the CPU the program spends while it waits: a long pause of the real clock, and a port
// whose device vanished while it was open. Run through bench/pause_cpu.
#include "modem_port/event_loop_clock.h"
#include "modem_port/serial_modem_port.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QSerialPort>

#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <stdlib.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

double cpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) { return double(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Runs `wait` and prints the CPU it used as a share of one core over the wall time it took.
void measure(const char* what, const std::function<void()>& wait) {
    const double cpuBefore = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    wait();
    const double cpu = cpuSeconds() - cpuBefore;
    const double seconds = double(wall.nsecsElapsed()) / 1e9;
    std::printf("%-40s %9.1f ms CPU in %8.3f s = %7.3f %% of one core\n", what, cpu * 1e3, seconds,
                100.0 * cpu / seconds);
    std::fflush(stdout);
}

// A pseudo-terminal whose master (the far end) is open; returns the master, or -1.
int openPseudoTerminal(QString& devicePath) {
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) return -1;
    devicePath = QString::fromLocal8Bit(::ptsname(master));
    return master;
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    const int pauseMs = argc > 1 ? std::atoi(argv[1]) : 45000;
    const int vanishedMs = argc > 2 ? std::atoi(argv[2]) : 5000;
    kv::EventLoopClock clock;

    measure(qPrintable(QStringLiteral("Pause(%1)").arg(pauseMs)), [&] { clock.pause(pauseMs); });

    QString device;
    const int master = openPseudoTerminal(device);
    if (master < 0) {
        std::perror("pseudo-terminal");
        return 1;
    }
    qputenv("TALVO_COM9", device.toLocal8Bit());
    kv::SerialModemPort port;
    port.setCommPort(9);
    port.setPortOpen(true);
    ::close(master);
    measure(qPrintable(QStringLiteral("far end gone, port open: Pause(%1)").arg(vanishedMs)),
            [&] { clock.pause(vanishedMs); });
    std::printf("%-40s %s\n", "port after the far end went", port.portOpen() ? "open" : "closed");

    // The same with QSerialPort left to itself, for comparison.
    const int bareMaster = openPseudoTerminal(device);
    QSerialPort bare;
    bare.setPortName(device);
    if (bareMaster < 0 || !bare.open(QIODevice::ReadWrite)) return 1;
    qint64 errors = 0;
    QObject::connect(&bare, &QSerialPort::errorOccurred, [&] { ++errors; });
    ::close(bareMaster);
    measure(qPrintable(QStringLiteral("the same, bare QSerialPort: Pause(%1)").arg(vanishedMs)),
            [&] { clock.pause(vanishedMs); });
    std::printf("%-40s %lld\n", "errors the bare QSerialPort reported", errors);
    return 0;
}
