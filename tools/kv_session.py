"""Drives the dialer as an operator would, for the benchmarks and the checks under Wine: the
simulated modem and its log (on Wine's COM 1 for KV.exe), the window clicked and typed into with
xdotool, CPU time read from /proc, and the processes started, all stopped at the end. DISPLAY
(and for Wine, WINEPREFIX) come from the caller's environment."""
import os
import re
import subprocess
import time

# The controls' centres in pixels at 96 DPI (15 twips a pixel), from the client area's corner.
NUMBER = (12 + 194, 72 + 10)
DIAL = (4 + 42, 112 + 22)
HANG_UP = (109 + 42, 112 + 22)
QUIT = (214 + 42, 112 + 22)

procs = []


def start(args, **kw):
    p = subprocess.Popen(args, **kw)
    procs.append(p)
    return p


def stop_all():
    for p in reversed(procs):
        p.terminate()
    for p in procs:
        try:
            p.wait(5)
        except subprocess.TimeoutExpired:
            p.kill()


def run(args, **kw):
    return subprocess.run(args, check=True, capture_output=True, text=True, **kw).stdout.strip()


def xdo(*args):
    return run(["xdotool", *args])


class ModemLog:
    """The simulated modem's log: (milliseconds since its start, event) for each line."""

    def __init__(self, path):
        self.path = path

    def events(self):
        with open(self.path, encoding="latin-1") as f:
            return [(float(t) * 1000.0, rest) for t, _, rest in
                    (line.rstrip("\n").partition(" ") for line in f)]

    def at(self, pattern, count=1, after=-1.0, timeout=0.0):
        """The time of the count-th event matching pattern at or after `after`."""
        deadline = time.time() + timeout
        while True:
            hits = [t for t, e in self.events() if t >= after and re.match(pattern, e)]
            if len(hits) >= count:
                return hits[count - 1]
            if time.time() >= deadline:
                raise SystemExit("FAIL the modem never saw %r (x%d); its log:\n%s"
                                 % (pattern, count, open(self.path).read()))
            time.sleep(0.05)


def start_modem_on_com1(top, build, log_path):
    """modem-sim on a pseudo-terminal that Wine's COM 1 leads to; the modem's process."""
    # Windows' serial driver lowers DTR at every close of a COM port; the modem's line does too.
    sim = start([os.path.join(build, "modem-sim"), "--log", log_path, "--close-drops-dtr"],
                stdout=subprocess.PIPE)
    pty = sim.stdout.readline().decode().strip()
    # Wine's COM 1 is whatever device the registry names; the wine server reads it at start.
    run([os.path.join(top, "tools", "wine"), "reg", "add", r"HKLM\Software\Wine\Ports",
         "/v", "COM1", "/d", pty, "/f"])
    subprocess.run(["/usr/lib/wine/wineserver", "-k"])
    subprocess.run(["/usr/lib/wine/wineserver", "-w"])
    return sim


def start_kv(top, kv_exe):
    """KV.exe from its folder, its window open; the Wine process and the window."""
    kv = start([os.path.join(top, "tools", "wine"), kv_exe], stdout=subprocess.DEVNULL,
               stderr=subprocess.DEVNULL, cwd=os.path.dirname(kv_exe))
    window = xdo("search", "--sync", "--name", "^Talvo Dialer V1.03$").split()[0]
    time.sleep(2.0)
    return kv, window


def window_origin(window):
    geometry = xdo("getwindowgeometry", "--shell", window)
    values = dict(line.split("=") for line in geometry.splitlines())
    return int(values["X"]), int(values["Y"])


def click(window, target):
    x, y = window_origin(window)
    xdo("mousemove", str(x + target[0]), str(y + target[1]), "click", "1")
    time.sleep(0.3)


def type_into(window, target, text):
    click(window, target)
    xdo("key", "ctrl+a", "BackSpace")
    xdo("type", "--delay", "30", text)


def dial(window, number):
    type_into(window, NUMBER, number)
    click(window, DIAL)


def newest_pid(name):
    return int(run(["pgrep", "-f", "-n", name]))


def cpu_seconds(pid):
    fields = open("/proc/%d/stat" % pid).read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def cpu_share(pid, seconds):
    """The share of one core that the process uses over the next `seconds`."""
    cpu, wall = cpu_seconds(pid), time.time()
    time.sleep(seconds)
    return (cpu_seconds(pid) - cpu) / (time.time() - wall)
