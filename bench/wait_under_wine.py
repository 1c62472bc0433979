"""Measures the wait for a connection under Wine; see bench/wait_under_wine.

python3 wait_under_wine.py TOP HOST_BUILD KV_EXE FLOOR_EXE QT_BIN, with DISPLAY and WINEPREFIX set.
"""
import os
import subprocess
import sys
import time

top, build, kv_exe, floor_exe, qt_bin = sys.argv[1:6]
sys.path.insert(0, os.path.join(top, "tools"))
from kv_session import (ModemLog, cpu_seconds, dial, newest_pid, run, start,  # noqa: E402
                        start_kv, start_modem_on_com1, stop_all)

TURNS = 451
log = ModemLog(os.path.join(build, "modem-sim.log"))


def wineserver_pid():
    """The wine server of this prefix: the program's calls into it cost CPU there too."""
    for pid in run(["pgrep", "wineserver"]).split():
        with open("/proc/%s/environ" % pid, "rb") as f:
            if b"WINEPREFIX=" + os.environ["WINEPREFIX"].encode() + b"\0" in f.read():
                return int(pid)
    raise SystemExit("no wine server for " + os.environ["WINEPREFIX"])


class CpuShare:
    """The CPU that a program and the wine server use from now on, as shares of one core."""

    def __init__(self, pid):
        self.pids = (pid, wineserver_pid())
        self.cpu = [cpu_seconds(p) for p in self.pids]
        self.wall = time.time()

    def read(self):
        wall = time.time() - self.wall
        return ["%.2f %%" % (100 * (cpu_seconds(p) - c) / wall)
                for p, c in zip(self.pids, self.cpu)]


try:
    start_modem_on_com1(top, build, log.path)
    kv, window = start_kv(top, kv_exe)
    kv_pid = newest_pid("KV.exe")

    # Nobody answers a number that ends in 0: all 451 turns of the wait, then the hang-up.
    dial(window, "555-0100")
    dialled = log.at(r'rx "ATDT555-0100\\r"', timeout=30)
    share = CpuShare(kv_pid)
    time.sleep(44.0)
    wait_cpu = share.read()
    gave_up = log.at(r"close$", after=dialled, timeout=30)
    log.at(r"close$", after=log.at(r'rx "ATH\\r"', after=gave_up, timeout=30), timeout=15)

    dial(window, "555-0101")
    connect = log.at(r'tx "\\r\\nCONNECT 9600', after=gave_up, timeout=30)
    released = log.at(r"close$", after=connect, timeout=10)
    kv.terminate()
    kv.wait(10)

    # The floor: the same turns without a port, the pauses alone and then as the window has them.
    floor = start([os.path.join(top, "tools", "wine"), "--dlls", qt_bin, floor_exe],
                  stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    floors = []
    for _ in range(2):
        floor.stdout.readline()
        share = CpuShare(newest_pid(os.path.basename(floor_exe)))
        floor.stdout.readline()
        floors.append((share.read(), 1000 * (time.time() - share.wall)))
    floor.stdin.close()
finally:
    stop_all()

turns_ms = gave_up - dialled
print("%-52s %s" % ("", "KV.exe or probe / wineserver"))
print("%-52s %s / %s" % ("KV.exe: CPU during the 45 s wait", *wait_cpu))
print("%-52s %.0f ms, %.2f ms a turn" % ("KV.exe: ATDT -> port closed, nobody answering",
                                         turns_ms, turns_ms / TURNS))
print("%-52s %.0f ms" % ("KV.exe: CONNECT 9600 -> port released", released - connect))
for name, (cpu, ms) in zip(("floor, pauses alone", "floor, as in the window"), floors):
    print("%-52s %s / %s" % (name + ": CPU", *cpu))
    print("%-52s %.0f ms, %.2f ms a turn" % (name + ": %d turns" % TURNS, ms, ms / TURNS))
