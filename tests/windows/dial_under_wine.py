"""KV.exe dials and hangs up under Wine, then COM 1's device vanishes; see tests/windows/check.
python3 dial_under_wine.py TOP HOST_BUILD KV_EXE exits non-zero when a check fails."""
import glob
import os
import sys
import time

top, build, kv_exe = sys.argv[1:4]
sys.path.insert(0, os.path.join(top, "tools"))
from kv_session import (HANG_UP, QUIT, ModemLog, click, cpu_share, dial, newest_pid,  # noqa: E402
                        run, start_kv, start_modem_on_com1, stop_all, window_origin, xdo)
log = ModemLog(os.path.join(build, "modem-sim.log"))
SHOT = os.path.join(build, "wine-label.png")
STATUS = (40, 164, 157, 21)  # lblStatus: left, top, width, height
LAMP = (316, 164, 89, 21)  # txtModemStatus
failures = []


def check(ok, what):
    print(("ok   " if ok else "FAIL ") + what, flush=True)
    if not ok:
        failures.append(what)


def gap(name, a, b, nominal):
    check(nominal <= b - a <= nominal + 100,
          "%s: %.0f ms (%d, within 100 ms)" % (name, b - a, nominal))


def label(area=STATUS, until=None):
    """A label as an operator reads it, off the screen, enlarged for OCR; until it reads `until`,
    again for up to 10 s."""
    x, y = window_origin(window)
    crop = "%dx%d+%d+%d" % (area[2], area[3], x + area[0], y + area[1])
    for _ in range(20):
        run(["import", "-window", "root", "-crop", crop, "-resize", "400%", "-colorspace", "Gray",
             SHOT])
        seen = run(["tesseract", SHOT, "-", "--psm", "7"])
        if until in (None, seen):
            break
        time.sleep(0.5)
    return seen


try:
    sim = start_modem_on_com1(top, build, log.path)
    kv, window = start_kv(top, kv_exe)

    dial(window, "555-0101")
    connect = log.at(r'tx "\\r\\nCONNECT 9600', timeout=30)
    # Each command is looked for after the one before it, so a wrong order fails here.
    f0 = log.at(r'rx "AT&F0\\r"')
    c1 = log.at(r'rx "AT&C1&D0\\r"', after=f0)
    dt = log.at(r'rx "ATDT555-0101\\r"', after=c1)
    gap("AT&F0 -> AT&C1&D0", f0, c1, 1000)
    gap("AT&C1&D0 -> ATDT", c1, dt, 2000)
    release = log.at(r"close$", after=connect, timeout=10)
    check(release - connect <= 1200,
          "the port closed %.0f ms after CONNECT 9600 (at most 1200)" % (release - connect))
    seen = label(until="OK to start Ampliview")
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
    gap("open -> +++", opened, escape, 0)
    gap("+++ -> ATH", escape, ath, 3000)
    gap("ATH -> close", ath, done, 5000)
    seen = label(until="Offline - Ready to dial")
    check(seen == "Offline - Ready to dial", 'after Hang Up the window reads "%s"' % seen)

    # Quit while the modem dials, which ignores DTR here: the carriage return that abandons the dial
    # reaches COM 1 before the close, so the call that 555-0101 brings 5 s after ATDT never comes.
    dial(window, "555-0101")
    dt = log.at(r'rx "ATDT555-0101\\r"', after=done, timeout=10)
    time.sleep(1.0)
    click(window, QUIT)
    kv.wait(10)
    quit_close = log.at(r"close$", after=dt, timeout=10)
    time.sleep(6.0)
    after = [e for t, e in log.events() if t > dt]
    abandoned = r'rx "\r"' in after and after.index(r'rx "\r"') < after.index("close")
    check(abandoned and not any("CONNECT" in e for e in after),
          "Quit in the wait abandoned the dial before the close: %s" % after)
    kv, window = start_kv(top, kv_exe)

    # The far end of COM 1 goes away in the middle of a wait, as a USB modem pulled out: the port
    # lets go of it, the window answers on a sleeping CPU, and Hang Up finds no COM 1.
    dial(window, "555-0100")
    log.at(r'rx "ATDT555-0100\\r"', after=quit_close, timeout=10)
    time.sleep(2.0)
    sim.terminate()
    sim.wait(5)
    time.sleep(1.0)
    before = label()
    cpu = cpu_share(newest_pid("KV.exe"), 5.0)
    after = label()
    check(cpu < 0.02, "with COM 1 gone, KV.exe used %.2f %% of a core (under 2 %%)" % (100 * cpu))
    check(before != after and after.startswith("Waiting to Connect"),
          'the window went on counting down: "%s", then "%s"' % (before, after))
    lamp = label(LAMP)
    check(lamp == "Not Detected", 'the lamp reads "%s"' % lamp)
    # The message box's text, copied with Ctrl+C as a Windows user would.
    click(window, HANG_UP)
    box = run(["timeout", "20", "xdotool", "search", "--sync", "--name", "^Talvo Dialer$"])
    time.sleep(0.5)
    click(box.split()[0], (20, 20))
    xdo("key", "ctrl+c")
    time.sleep(0.5)
    copied = run(["xclip", "-o", "-selection", "clipboard"])
    invalid = ("You have selected an invalid COM port number. "
               "Select a valid COM port number and try again")
    check("Talvo Dialer" in copied and invalid in copied,
          "Hang Up's escape finds no COM 1: %r" % copied)
    # The call log, where Windows keeps a user's local data.
    logs = glob.glob(os.path.join(os.environ["WINEPREFIX"],
                                  "drive_c/users/*/AppData/Local/Talvo Dialer/KV.log"))
    text = open(logs[0], encoding="utf-8").read() if logs else ""
    check("sent: AT&F0<CR>" in text and "<CR><LF>CONNECT 9600<CR><LF>" in text,
          "the call log %s holds AT&F0 and CONNECT 9600" % (logs or "(none)"))
finally:
    stop_all()

sys.exit(1 if failures else 0)
