"""KV.exe under Wine dials the simulated modem through Wine's COM 1, clicked as an operator would.

python3 dial_under_wine.py TOP HOST_BUILD KV_EXE: DISPLAY (Xvfb) and WINEPREFIX (throw-away) are
set by tests/windows/check. Exits non-zero with the reason when a check fails.
"""
import glob
import os
import re
import subprocess
import sys
import tempfile
import time

top, build, kv_exe = sys.argv[1:4]
wine = [os.path.join(top, "tools", "wine")]
log_path = os.path.join(build, "modem-sim.log")
work = tempfile.mkdtemp(prefix="kv-wine-")

# The controls' centres in pixels at 96 DPI (15 twips a pixel), from the client area's corner.
NUMBER = (12 + 194, 72 + 10)
PORT = (220 + 30, 4 + 10)
DIAL = (4 + 42, 112 + 22)
HANG_UP = (109 + 42, 112 + 22)
HELP = (320 + 40, 112 + 22)
STATUS = (40, 164, 157, 21)  # lblStatus: left, top, width, height
LAMP = (316, 164, 89, 21)  # txtModemStatus

procs = []
failures = []


def check(ok, what):
    print(("ok   " if ok else "FAIL ") + what, flush=True)
    if not ok:
        failures.append(what)


def start(args, **kw):
    p = subprocess.Popen(args, **kw)
    procs.append(p)
    return p


def run(args, **kw):
    return subprocess.run(args, check=True, capture_output=True, text=True, **kw).stdout.strip()


def xdo(*args):
    return run(["xdotool", *args])


def events():
    with open(log_path, encoding="latin-1") as f:
        return [(float(t) * 1000.0, rest) for t, _, rest in
                (line.rstrip("\n").partition(" ") for line in f)]


def at(pattern, count=1, after=-1.0, timeout=0.0):
    """The time of the count-th log event matching pattern at or after `after`."""
    deadline = time.time() + timeout
    while True:
        hits = [t for t, e in events() if t >= after and re.match(pattern, e)]
        if len(hits) >= count:
            return hits[count - 1]
        if time.time() >= deadline:
            raise SystemExit("FAIL the modem never saw %r (x%d); its log:\n%s"
                             % (pattern, count, open(log_path).read()))
        time.sleep(0.05)


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


def cpu_seconds(pid):
    fields = open("/proc/%d/stat" % pid).read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def status_text(window, area=STATUS):
    """A label as an operator reads it: the screen, enlarged for OCR."""
    x, y = window_origin(window)
    left, top_, width, height = area
    shot = os.path.join(work, "status.png")
    run(["import", "-window", "root", "-crop", "%dx%d+%d+%d" % (width, height, x + left, y + top_),
         "-resize", "400%", "-colorspace", "Gray", shot])
    return run(["tesseract", shot, "-", "--psm", "7"])


def wait_for_status(window, text, timeout):
    deadline = time.time() + timeout
    seen = ""
    while time.time() < deadline:
        seen = status_text(window)
        if seen == text:
            return seen
        time.sleep(0.5)
    return seen


def dialog_text():
    """A message box's text, copied with Ctrl+C as a Windows user would."""
    dialog = run(["timeout", "20", "xdotool", "search", "--sync", "--name", "^Talvo Dialer$"]).split()[0]
    time.sleep(0.5)
    click(dialog, (20, 20))
    xdo("key", "ctrl+c")
    time.sleep(0.5)
    copied = run(["xclip", "-o", "-selection", "clipboard"])
    xdo("key", "Return")
    return copied


try:
    # Windows' serial driver lowers DTR at every close of a COM port; the simulated modem's line
    # does the same.
    sim = start([os.path.join(build, "modem-sim"), "--log", log_path, "--close-drops-dtr"],
                stdout=subprocess.PIPE)
    pty = sim.stdout.readline().decode().strip()
    # Wine's COM 1 is whatever device the registry names; the wine server reads it at start.
    run(wine + ["reg", "add", r"HKLM\Software\Wine\Ports", "/v", "COM1", "/d", pty, "/f"])
    subprocess.run(["/usr/lib/wine/wineserver", "-k"])
    subprocess.run(["/usr/lib/wine/wineserver", "-w"])

    kv = start(wine + [kv_exe], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
               cwd=os.path.dirname(kv_exe))
    window = xdo("search", "--sync", "--name", "^Talvo Dialer V1.03$").split()[0]
    time.sleep(2.0)

    type_into(window, NUMBER, "555-0101")
    click(window, DIAL)
    connect = at(r'tx "\\r\\nCONNECT 9600', timeout=30)
    f0 = at(r'rx "AT&F0\\r"')
    c1 = at(r'rx "AT&C1&D0\\r"', after=f0)
    dt = at(r'rx "ATDT555-0101\\r"', after=c1)
    check(f0 < c1 < dt < connect, "AT&F0, AT&C1&D0, ATDT555-0101 and CONNECT 9600 in that order")
    for name, a, b, nominal in (("AT&F0 -> AT&C1&D0", f0, c1, 1000), ("AT&C1&D0 -> ATDT", c1, dt, 2000)):
        check(nominal <= b - a <= nominal + 100,
              "%s: %.0f ms (%d, within 100 ms)" % (name, b - a, nominal))
    release = at(r"close$", after=connect, timeout=10)
    check(release - connect <= 1200,
          "the port closed %.0f ms after CONNECT 9600 (at most 1200)" % (release - connect))
    seen = wait_for_status(window, "OK to start Ampliview", 10)
    check(seen == "OK to start Ampliview", 'the window reads "%s"' % seen)

    click(window, HANG_UP)
    opened = at(r"open$", after=release, timeout=10)
    escape = at(r'rx "\+\+\+"', after=opened, timeout=10)
    ath = at(r'rx "ATH\\r"', after=escape, timeout=10)
    # The close let DTR fall; the modem kept the call, so the escape found it and answered OK.
    dropped = [e for t, e in events() if release <= t < opened and "NO CARRIER" in e]
    answer = [e for t, e in events() if escape < t < ath and e.startswith("tx ")]
    check(at(r"dtr off$", after=release) < opened and not dropped
          and answer == [r'tx "\r\nOK\r\n"'],
          "DTR fell at the release and the call stayed up until Hang Up (the escape: %s)" % answer)
    done = at(r"close$", after=ath, timeout=15)
    for name, a, b, nominal in (("open -> +++", opened, escape, 0),
                                ("+++ -> ATH", escape, ath, 3000),
                                ("ATH -> close", ath, done, 5000)):
        check(nominal <= b - a <= nominal + 100,
              "%s: %.0f ms (%d, within 100 ms)" % (name, b - a, nominal))
    seen = wait_for_status(window, "Offline - Ready to dial", 10)
    check(seen == "Offline - Ready to dial", 'after Hang Up the window reads "%s"' % seen)

    # The far end of COM 1 goes away in the middle of a wait, as a USB modem pulled out: the port
    # lets go of it, the window answers on a sleeping CPU, and Hang Up finds no COM 1.
    type_into(window, NUMBER, "555-0100")
    click(window, DIAL)
    at(r'rx "ATDT555-0100\\r"', after=done, timeout=10)
    time.sleep(2.0)
    sim.terminate()
    sim.wait(5)
    time.sleep(1.0)
    kv_exe_pid = int(run(["pgrep", "-f", "-n", "KV.exe"]))
    cpu0, wall0 = cpu_seconds(kv_exe_pid), time.time()
    before = status_text(window)
    time.sleep(5.0)
    cpu = (cpu_seconds(kv_exe_pid) - cpu0) / (time.time() - wall0)
    after = status_text(window)
    check(cpu < 0.02, "with COM 1 gone, KV.exe used %.2f %% of a core (under 2 %%)" % (100 * cpu))
    check(before != after and after.startswith("Waiting to Connect"),
          'the window went on counting down: "%s", then "%s"' % (before, after))
    lamp = status_text(window, LAMP)
    check(lamp == "Not Detected", 'the lamp reads "%s"' % lamp)
    click(window, HANG_UP)
    copied = dialog_text()
    check("You have selected an invalid COM port number." in copied,
          "Hang Up's escape finds no COM 1: %r" % copied)

    # COM 8 has no device in a fresh prefix.
    type_into(window, PORT, "COM 8")
    click(window, DIAL)
    copied = dialog_text()
    expected = ("You have selected an invalid COM port number. "
                "Select a valid COM port number and try again")
    check(expected in copied and "Talvo Dialer" in copied,
          "COM 8 gives the invalid-port dialog: %r" % copied)

    # There is no KV.hlp beside the program, so Help opens the HTML help without WinHelp. A new
    # window, as the dialogs of COM 8 may still be coming.
    kv.terminate()
    kv.wait(10)
    start(wine + [kv_exe], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
          cwd=os.path.dirname(kv_exe))
    time.sleep(1.0)
    window = xdo("search", "--sync", "--name", "^Talvo Dialer V1.03$").split()[0]
    time.sleep(2.0)
    click(window, HELP)
    viewer = subprocess.run(["timeout", "20", "xdotool", "search", "--sync", "--name",
                             "^Talvo Dialer Help$"], capture_output=True).returncode == 0
    winhelp = subprocess.run(["pgrep", "-f", "winhlp32"], capture_output=True).returncode == 0
    check(viewer and not winhelp, "Help opens the HTML help (viewer: %s, WinHelp started: %s)"
          % (viewer, winhelp))

    # The call log, where Windows keeps a user's local data.
    logs = glob.glob(os.path.join(os.environ["WINEPREFIX"],
                                  "drive_c/users/*/AppData/Local/Talvo Dialer/KV.log"))
    text = open(logs[0], encoding="utf-8").read() if logs else ""
    check("sent: AT&F0<CR>" in text and "<CR><LF>CONNECT 9600<CR><LF>" in text,
          "the call log %s holds AT&F0 and CONNECT 9600" % (logs or "(none)"))
finally:
    for p in reversed(procs):
        p.terminate()
    for p in procs:
        try:
            p.wait(5)
        except subprocess.TimeoutExpired:
            p.kill()

sys.exit(1 if failures else 0)
