// The least the wait for a connection can cost: its 451 turns of the window's 100 ms pause, with no
// serial port. Runs them twice: the pauses alone, then as the window has them, beside the carrier
// poll's precise 1 s timer and with a shown label that counts the seconds down. Under Wine a
// precise timer is a multimedia timer, whose thread ends when the last one stops, so alone every
// pause starts a thread. Prints "begin" and "end" around each run and stays until its standard
// input closes, so that bench/wait_under_wine reads its CPU time from outside at every mark.
#include "modem_port/event_loop_clock.h"

#include <QApplication>
#include <QLabel>
#include <QTimer>

#include <cstdio>

namespace {

constexpr int Turns = 451;

void mark(const char* what) {
    std::puts(what);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    kv::EventLoopClock clock;

    mark("begin");
    for (int turn = 0; turn < Turns; ++turn)
        clock.pause(100);
    mark("end");

    QTimer poll;
    poll.setTimerType(Qt::PreciseTimer);
    poll.start(1000);
    QLabel countdown;
    countdown.show();
    mark("begin");
    for (int turn = 0; turn < Turns; ++turn) {
        clock.pause(100);
        if (turn % 10 == 0) countdown.setText(QString::number((Turns - turn) / 10));
    }
    mark("end");

    while (std::getchar() != EOF) {
    }
    return 0;
}
