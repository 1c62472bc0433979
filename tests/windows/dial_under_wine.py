"""KV.exe under Wine dials the simulated modem through Wine's COM 1, clicked as an operator would.

python3 dial_under_wine.py TOP HOST_BUILD KV_EXE: DISPLAY (Xvfb) and WINEPREFIX (throw-away) are
set by tests/windows/check. Exits non-zero with the reason when a check fails.
"""
import glob
import os
import subprocess
import sys
import tempfile
import time

top, build, kv_exe = sys.argv[1:4]
sys.path.insert(0, os.path.join(top, "tools"))
from kv_session import (DIAL, HANG_UP, HELP, PORT, ModemLog, click, cpu_share, dial,  # noqa: E402
                        newest_pid, run, start_kv, start_modem_on_com1, stop_all, type_into,
                        window_origin, xdo)
log = ModemLog(os.path.join(build, "modem-sim.log"))
work = tempfile.mkdtemp(prefix="kv-wine-")

STATUS = (40, 164, 157, 21)  # lblStatus: left, top, width, height
LAMP = (316, 164, 89, 21)  # txtModemStatus

failures = []


def check(ok, what):
    print(("ok   " if ok else "FAIL ") + what, flush=True)
    if not ok:
        failures.append(what)


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
    sim = start_modem_on_com1(top, build, log.path)
    kv, window = start_kv(top, kv_exe)

    dial(window, "555-0101")
    connect = log.at(r'tx "\\r\\nCONNECT 9600', timeout=30)
    f0 = log.at(r'rx "AT&F0\\r"')
    c1 = log.at(r'rx "AT&C1&D0\\r"', after=f0)
    dt = log.at(r'rx "ATDT555-0101\\r"', after=c1)
    check(f0 < c1 < dt < connect, "AT&F0, AT&C1&D0, ATDT555-0101 and CONNECT 9600 in that order")
    for name, a, b, nominal in (("AT&F0 -> AT&C1&D0", f0, c1, 1000), ("AT&C1&D0 -> ATDT", c1, dt, 2000)):
        check(nominal <= b - a <= nominal + 100,
              "%s: %.0f ms (%d, within 100 ms)" % (name, b - a, nominal))
    release = log.at(r"close$", after=connect, timeout=10)
    check(release - connect <= 1200,
          "the port closed %.0f ms after CONNECT 9600 (at most 1200)" % (release - connect))
    seen = wait_for_status(window, "OK to start Ampliview", 10)
    check(seen == "OK to start Ampliview", 'the window reads "%s"' % seen)

    click(window, HANG_UP)
    opened = log.at(r"open$", after=release, timeout=10)
    escape = log.at(r'rx "\+\+\+"', after=opened, timeout=10)
    ath = log.at(r'rx "ATH\\r"', after=escape, timeout=10)
    # The close let DTR fall; the modem kept the call, so the escape found it and answered OK.
    dropped = [e for t, e in log.events() if release <= t < opened and "NO CARRIER" in e]
    answer = [e for t, e in log.events() if escape < t < ath and e.startswith("tx ")]
    check(log.at(r"dtr off$", after=release) < opened and not dropped
          and answer == [r'tx "\r\nOK\r\n"'],
          "DTR fell at the release and the call stayed up until Hang Up (the escape: %s)" % answer)
    done = log.at(r"close$", after=ath, timeout=15)
    for name, a, b, nominal in (("open -> +++", opened, escape, 0),
                                ("+++ -> ATH", escape, ath, 3000),
                                ("ATH -> close", ath, done, 5000)):
        check(nominal <= b - a <= nominal + 100,
              "%s: %.0f ms (%d, within 100 ms)" % (name, b - a, nominal))
    seen = wait_for_status(window, "Offline - Ready to dial", 10)
    check(seen == "Offline - Ready to dial", 'after Hang Up the window reads "%s"' % seen)

    # The far end of COM 1 goes away in the middle of a wait, as a USB modem pulled out: the port
    # lets go of it, the window answers on a sleeping CPU, and Hang Up finds no COM 1.
    dial(window, "555-0100")
    log.at(r'rx "ATDT555-0100\\r"', after=done, timeout=10)
    time.sleep(2.0)
    sim.terminate()
    sim.wait(5)
    time.sleep(1.0)
    before = status_text(window)
    cpu = cpu_share(newest_pid("KV.exe"), 5.0)
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
    time.sleep(1.0)
    kv, window = start_kv(top, kv_exe)
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
    stop_all()

sys.exit(1 if failures else 0)
