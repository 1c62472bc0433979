"""Drives build/KV against modem-sim under Xvfb and measures it; see bench/dial_cycle."""
import os
import re
import subprocess
import sys
import tempfile
import time

build = sys.argv[1]
sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "tools"))
from kv_session import (HANG_UP, ModemLog, click, cpu_share, dial, start, stop_all,  # noqa: E402
                        xdo)

work = tempfile.mkdtemp(prefix="kv-bench-")
log = ModemLog(os.path.join(work, "modem.log"))
os.environ.pop("QT_QPA_PLATFORM", None)


def wait_for(pattern, count=1, timeout=120.0):
    return log.at(pattern, count, timeout=timeout)


rows = []


def gap(name, a, b, nominal, slack):
    rows.append((name, nominal, b - a, b - a - nominal, slack))


try:
    sim = start([os.path.join(build, "modem-sim"), "--log", log.path], stdout=subprocess.PIPE)
    os.environ["TALVO_COM1"] = sim.stdout.readline().decode().strip()
    kv = start([os.path.join(build, "KV")], stderr=subprocess.DEVNULL)
    window = xdo("search", "--sync", "--name", "^Talvo Dialer V1.03$").split()[0]
    time.sleep(0.5)

    # A dial nobody answers (the number's last digit 0): the 45-second wait, then the hang-up.
    dial(window, "5550000")
    t_dial = wait_for(r'rx "ATDT5550000')
    cpu_wait = cpu_share(kv.pid, 44.0)
    wait_for(r"close$", 2, timeout=30)  # the hang-up command stage's close
    ev = log.events()

    def at(pattern, count=1, after=0.0):
        hits = [t for t, e in ev if re.match(pattern, e) and t >= after]
        return hits[count - 1]

    f0 = at(r'rx "AT&F0'); c1 = at(r'rx "AT&C1')
    gap("AT&F0 -> AT&C1", f0, c1, 1000, 20)
    gap("AT&C1 -> ATDT", c1, t_dial, 2000, 20)
    give_up = at(r"close$", 1, t_dial)
    gap("ATDT -> release, no answer (451 turns)", t_dial, give_up, 45100, None)
    esc = at(r'rx "\+\+\+', 1, give_up)
    gap("release -> +++ (Timer1)", give_up, esc, 2000, 20)
    ath = at(r'rx "ATH', 1, esc)
    gap("+++ -> ATH (pause + Timer2)", esc, ath, 3000, 20)
    gap("ATH -> close", ath, at(r"close$", 1, ath), 5000, 20)
    start_connect = ev[-1][0]

    # A dial that connects at 9600 (last digit 1), then Hang Up.
    dial(window, "5551231")
    t_connect = wait_for(r'tx "\\r\\nCONNECT 9600', 1)
    wait_for(r"close$", 3)
    time.sleep(0.5)
    click(window, HANG_UP)
    wait_for(r"close$", 4, timeout=30)
    ev = log.events()
    f0 = at(r'rx "AT&F0', 1, start_connect); c1 = at(r'rx "AT&C1', 1, f0)
    dt = at(r'rx "ATDT', 1, c1)
    gap("AT&F0 -> AT&C1", f0, c1, 1000, 20)
    gap("AT&C1 -> ATDT", c1, dt, 2000, 20)
    release = at(r"close$", 1, t_connect)
    gap("CONNECT 9600 -> release", t_connect, release, 1000, 120)
    esc = at(r'rx "\+\+\+', 1, release); ath = at(r'rx "ATH', 1, esc)
    gap("+++ -> ATH (pause + Timer2)", esc, ath, 3000, 20)
    gap("ATH -> close", ath, at(r"close$", 1, ath), 5000, 20)
finally:
    stop_all()

print("KV CPU during the 45 s wait: %.2f %% of one core (target <= 1 %%)" % (100 * cpu_wait))
print("%-42s %9s %10s %8s  %s" % ("gap on the wire", "nominal", "measured", "late", "target"))
for name, nominal, measured, late, slack in rows:
    target = ("never early, <= %d ms late" % slack) if slack is not None else "(turns, not time)"
    print("%-42s %7d ms %7.0f ms %5.0f ms  %s" % (name, nominal, measured, late, target))
