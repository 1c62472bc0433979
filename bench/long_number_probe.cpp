// Measures how long the event loop stalls while a 40 000-character number goes out: the longest
// gap between ticks of a 5 ms timer, from the write of the dial command until the far end has
// taken every byte. Two far ends: modem-sim at 9600 bit/s, and one that drains the line in 4 KB
// gulps every 60 ms, which keeps the driver asking for more as a USB adapter's does. Run through
// bench/long_number.
#include "modem_port/event_loop_clock.h"
#include "modem_port/serial_modem_port.h"
#include "pty_line.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTimer>

#include <atomic>
#include <cstdio>
#include <thread>

namespace {

constexpr int Digits = 40000;

// Sends the dial command on COM 9 and runs the event loop until `done` says the far end has it
// all, or a minute has passed; prints the longest stall and how long output() took.
void measure(const char* farEnd, const std::function<bool(kv::ModemPort&)>& done) {
    kv::SerialModemPort port;
    kv::EventLoopClock clock;
    port.setCommPort(9);
    port.setPortOpen(true);
    QElapsedTimer sinceTick;
    qint64 longest = 0;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    QObject::connect(&tick, &QTimer::timeout,
                     [&] { longest = std::max(longest, sinceTick.restart()); });
    tick.start(5);
    clock.pause(100);
    QElapsedTimer wall;
    wall.start();
    sinceTick.restart();
    port.output("ATDT" + QString(Digits, u'5') + "\r");
    const qint64 outputMs = wall.elapsed();
    while (!done(port) && wall.elapsed() < 60'000)
        clock.pause(50);
    longest = std::max(longest, sinceTick.elapsed());
    std::printf("%-44s output() %6lld ms, longest stall %6lld ms, all sent after %6.1f s\n", farEnd,
                outputMs, longest, double(wall.elapsed()) / 1000);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QString modemSim = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();

    QProcess sim;
    sim.start(modemSim, {"--bps", "9600", "--log", "/dev/null"});
    if (!sim.waitForReadyRead(5000)) return 1;
    qputenv("TALVO_COM9", sim.readLine().trimmed());
    // The simulated modem echoes every byte it takes.
    qsizetype echoed = 0;
    measure("modem-sim --bps 9600", [&](kv::ModemPort& port) {
        echoed += port.input().size();
        return echoed >= Digits + 5;
    });
    sim.terminate();
    sim.waitForFinished();

    kv::sim::PtyLine line;
    qputenv("TALVO_COM9", line.slavePath());
    std::atomic<qsizetype> taken = 0;
    std::jthread drain([&](std::stop_token stop) {
        for (; !stop.stop_requested(); std::this_thread::sleep_for(std::chrono::milliseconds(60)))
            taken += line.read(4096).size();
    });
    measure("a far end that drains 4 KB every 60 ms", [&](auto&) { return taken >= Digits + 5; });
    return 0;
}
