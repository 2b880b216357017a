#!/usr/bin/python3
"""The terminal UI engine on a real terminal: windows built by hand (harness/tui.py)
in tmux panes and on a pseudo-terminal.

Usage: tui.py ZOL_BINARY EDIT_PROBE

- Modes: the alternate screen, mouse reporting and the cursor during a view and
  after it, and the terminal's modes after the loop, after SIGTERM and after a
  fatal signal.
- Mouse reports sent as bytes: press, release, click, double click, wheel, over and
  away; a click on a child reaches awake once.
- Keys: a key-down actor answering `done`, a lone Escape, an arrow sent in two
  writes.
- Timers on measured time, also under a flood of mouse motion; resizes; printing
  from an actor; an idle view writes nothing; the set-up and tear-down bytes.
"""
import os
import re
import signal
import shutil
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "harness"))
import tui  # noqa: E402
from tui import check, failures  # noqa: E402

ZOL = sys.argv[1]
def raw_modes(stty):
    return bool(re.search(r"(^|\s)-icanon(\s|$)", stty)) and bool(re.search(r"(^|\s)-echo(\s|$)", stty))


# A window of 30x4 with a panel holding a button, a second button beside the panel.
WINDOW = tui.WINDOWS_PRELUDE + """
button: face [offset: 1x0 size: 8x1 text: "button" color: 200.0.0]
panel: face [offset: 2x1 size: 12x2 text: "panel" pane: reduce [button]]
other: face [offset: 16x1 size: 6x1 text: "other"]
w: face [type: 'window size: 30x4 flags: FLAGS pane: reduce [panel other]]
react: func [event] [
    if all [event/type = 'key event/key = #"q"] [close-view w]
    if all [event/type = 'key event/key = #"p"] [print "PRINTED"]
    if all [event/type = 'key-down event/key = #"x"] [return 'done]
    if all [event/type = 'key event/key = #"d"] [kept: event close-view other]
    none
]
EXTRA
run-view w
"""


def window(flags="none", extra=""):
    return WINDOW.replace("FLAGS", flags).replace("EXTRA", extra)


def start(flags="none", extra="", **kw):
    p = tui.Pane(ZOL, **kw)
    p.run_until_shown(window(flags, extra), "button")
    return p


def back_at_prompt(p):
    return p.back_at_prompt("LOOP-END")


def quit_view(p):
    """Ends the view with "q" and waits for the console's next prompt."""
    p.keys("q")
    p.wait_for(lambda: back_at_prompt(p), tui.WAIT)
    p.stable()


def motion(p, column, row, button=35):
    p.raw(b"\x1b[<%d;%d;%dM" % (button, column + 1, row + 1))


# --- modes ----------------------------------------------------------------------------------

def modes():
    for flags, alternate in (("none", "0"), ("'fullscreen", "1")):
        p = start(flags)
        f = p.flags()
        check("%s: alternate screen during" % flags, f["alternate_on"], alternate)
        check("%s: mouse reporting during" % flags, (f["mouse_any_flag"], f["mouse_sgr_flag"]), ("1", "1"))
        check("%s: cursor hidden during" % flags, f["cursor_flag"], "0")
        check("%s: raw modes during" % flags, raw_modes(p.stty()), True)
        quit_view(p)
        f = p.flags()
        check("%s: after" % flags, (f["alternate_on"], f["mouse_any_flag"], f["cursor_flag"]),
              ("0", "0", "1"))
        # Back at the prompt: the line editor's modes (reads wait for a byte), not
        # the UI's.
        check("%s: modes after" % flags, "min = 1;" in p.stty() and "min = 0;" not in p.stty(), True)
        p.close()

    # Two windows when the loop starts: it is still the outermost one.
    p = start("none", "show-by-hand face [type: 'window size: 5x1]")
    check("two windows: mouse reporting during", p.flags()["mouse_any_flag"], "1")
    quit_view(p)
    check("two windows: after", (p.flags()["mouse_any_flag"], p.flags()["cursor_flag"]), ("0", "1"))
    p.close()


# --- the mouse -----------------------------------------------------------------------------

def mouse():
    p = start("'fullscreen")
    column, row = p.find("button")
    p.click(column + 1, row)
    got = p.wait_events(lambda e: any(x.startswith("click") for x in e))
    check("press, release, click once each, to the button's face",
          [e for e in got if e.split()[0] in ("down", "up", "click", "dbl-click")],
          ["down 1x0 #\"^@\" 0 [] button", "up 1x0 #\"^@\" 0 [] button",
           "click 1x0 #\"^@\" 0 [] button"])
    time.sleep(0.6)
    before = len(p.events())
    p.click(column, row, times=2)
    got = p.wait_events(lambda e: any(x.startswith("dbl-click") for x in e[before:]), tui.WAIT)[before:]
    check("a second release within 500 ms adds dbl-click",
          [e.split()[0] for e in got if e.split()[0] in ("click", "dbl-click")],
          ["click", "click", "dbl-click"])
    time.sleep(0.6)
    before = len(p.events())
    p.click(column, row)
    time.sleep(0.7)
    p.click(column, row)
    got = p.wait_events(lambda e: len([x for x in e[before:] if x.startswith("click")]) == 2, tui.WAIT)
    check("releases 700 ms apart are two clicks",
          [e.split()[0] for e in got[before:] if "click" in e.split()[0]], ["click", "click"])

    before = len(p.events())
    p.raw(b"\x1b[<64;%d;%dM" % (column + 1, row + 1))
    p.raw(b"\x1b[<65;%d;%dM" % (column + 1, row + 1))
    p.raw(b"\x1b[<80;%d;%dM" % (column + 1, row + 1))
    got = p.wait_events(lambda e: len([x for x in e[before:] if x.startswith("wheel")]) == 3, tui.WAIT)
    check("wheel steps", [e for e in got[before:] if e.startswith("wheel")],
          ['wheel 0x0 #"^@" 1.0 [] button', 'wheel 0x0 #"^@" -1.0 [] button',
           'wheel 0x0 #"^@" 1.0 [control] button'])

    # Over the other button, then away from it to its sibling panel.
    ocolumn, orow = p.find("other")
    before = len(p.events())
    motion(p, ocolumn, orow)
    motion(p, ocolumn - 3, orow)
    got = p.wait_events(lambda e: any("[away]" in x for x in e[before:]), tui.WAIT)[before:]
    overs = [e for e in got if e.startswith("over")]
    check("over the other button", any(e.endswith(" other") and "[away]" not in e for e in overs), True)
    check("away from it", any(e.endswith(" other") and "[away]" in e for e in overs), True)
    quit_view(p)
    p.close()


# --- keys -----------------------------------------------------------------------------------

def keys():
    p = start()
    p.keys("x", "y")
    got = p.wait_events(lambda e: any(x.startswith("key #\"y\"") or x.startswith("key 0x0 #\"y\"") for x in e))
    typed = [e.split()[0] + " " + e.split()[2] for e in got if e.startswith("key")]
    check("a key-down answering done stops the key",
          typed, ['key-down #"x"', 'key-down #"y"', 'key #"y"'])
    before = len(p.events())
    # Split inside the sequence, where the decoder waits however long the gap: a
    # split just after the ESC holds only for a gap under the Escape key's wait,
    # which a loaded machine may not keep (the unit tests time that case).
    p.raw(b"\x1b[")
    time.sleep(0.01)
    p.raw(b"A")
    got = p.wait_events(lambda e: len(e) > before + 1, tui.WAIT)[before:]
    check("an arrow sent in two writes", [e.split()[2] for e in got if e.startswith("key")],
          ["up", "up"])
    before = len(p.events())
    p.raw(b"\x1b")
    got = p.wait_events(lambda e: len(e) > before + 1, tui.WAIT)[before:]
    check("a lone Escape", [e.split()[2] for e in got if e.startswith("key")],
          ['#"^["', '#"^["'])

    # Destroying a face that is not a window leaves the view running.
    p.keys("d")
    p.wait_for(lambda: p.find("other") is None, tui.WAIT)
    before = len(p.events())
    p.keys("z")
    got = p.wait_events(lambda e: len(e) > before + 1, tui.WAIT)
    check("the view runs on after a panel's child is destroyed", "LOOP-END" in p.capture(), False)
    check("keys still arrive", any('#"z"' in e for e in got[before:]), True)

    # Printing from an actor: the text stands above the UI, which is drawn again.
    p.keys("p")
    p.wait_for(lambda: p.find("PRINTED") is not None, tui.WAIT)
    p.stable()
    printed, button = p.find("PRINTED"), p.find("button")
    check("printed text above the UI", printed is not None and button is not None and printed[1] < button[1], True)
    quit_view(p)
    # An event kept past its dispatch still knows its type; the fields its dispatch
    # held read none.
    p.keys("print mold reduce [kept/type kept/face kept/offset kept/key]", "Enter")
    p.wait_for(lambda: "[key none none none]" in p.capture(), tui.WAIT)
    check("an event kept past its dispatch", "[key none none none]" in p.capture(), True)
    p.close()


# --- timers and resizes -----------------------------------------------------------------------

# Counting ticks measures the loop's timing, so the binary runs without the
# collector's test modes here: in a stressed sanitizer build a tick's handling
# alone can take longer than the tick.
UNSTRESSED = {"ZOL_GC_STRESS": "0", "ZOL_GC_RANDOM": "0"}


def timers():
    for flood in (False, True):
        p = start("none", "append w/pane ticker: face [offset: 0x3 size: 1x1 rate: 4]", env=UNSTRESSED)
        start_count = len([e for e in p.events() if e.startswith("time")])
        end = time.time() + 2.0
        i = 0
        while time.time() < end:
            if flood:
                motion(p, i % 30, 1)
                i += 1
            time.sleep(0.005 if flood else 0.05)
        count = len([e for e in p.events() if e.startswith("time")]) - start_count
        check("rate 4 in 2 s%s" % (" under motion" if flood else ""), 7 <= count <= 9, True)
        quit_view(p)
        p.close()


def resizes():
    p = start("'fullscreen")
    p.resize(100, 30)
    got = p.wait_events(lambda e: any(x.startswith("resize") for x in e), tui.WAIT)
    check("a resize event", any(x.startswith("resize") for x in got), True)
    quit_view(p)
    p.keys("print system/view/screens/1/size", "Enter")
    p.wait_for(lambda: "100x30" in p.capture(), tui.WAIT)
    check("screen size after a resize", "100x30" in p.capture(), True)
    p.close()


# --- bytes on a pseudo-terminal -----------------------------------------------------------------

MOUSE_ON = b"\x1b[?1000h\x1b[?1003h\x1b[?1015h\x1b[?1006h"
MOUSE_OFF = b"\x1b[?1000l\x1b[?1003l\x1b[?1015l\x1b[?1006l"


RESTORE = b"\x1b[0m" + MOUSE_OFF


def pty_session(flags):
    p = tui.Pty(ZOL)
    p.run("log-file: %/dev/null\n" + window(flags))
    p.pump(tui.WAIT, lambda: b"button" in p.out)
    p.pump(0.5)
    # What the UI writes starts after the echo of the command that ran it.
    at = p.out.find(p.path.encode())
    return p, p.out.find(b"\n", at) + 1


def pty_bytes():
    for flags, setup, teardown in (
            ("none", b"\x1b[6n" + MOUSE_ON + b"\x1b[?25l\r\x1b[0J",
             b"\r\n" + MOUSE_OFF + b"\x1b[?25h"),
            ("'fullscreen", b"\x1b[?1049h\x1b[2J" + MOUSE_ON + b"\x1b[?25l\x1b[H",
             MOUSE_OFF + b"\x1b[?1049l\x1b[?25h")):
        p, start_at = pty_session(flags)
        check("%s: set-up bytes" % flags, p.out[start_at:start_at + len(setup)], setup)
        settled = len(p.out)
        p.pump(1.0)
        check("%s: an idle view writes nothing" % flags, p.out[settled:], b"")
        p.send(b"q")
        p.pump(tui.WAIT, lambda: b"LOOP-END" in p.out)
        got = p.out[:p.out.find(b"LOOP-END")]
        check("%s: tear-down bytes" % flags, got[len(got) - len(teardown):], teardown)
        p.finish()
        check("%s: terminal modes after" % flags, p.modes_after, p.modes_before)

    # Ended by a signal: the screen and the modes are restored on the way out.
    for sig in (signal.SIGTERM, signal.SIGHUP, signal.SIGSEGV):
        p, _ = pty_session("'fullscreen")
        settled = len(p.out)
        os.kill(p.proc.pid, sig)
        p.pump(tui.WAIT, lambda: p.proc.poll() is not None)
        p.pump(0.5)   # what it wrote before it ended
        check("%s: screen restored" % sig.name, RESTORE + b"\x1b[?1049l\x1b[?25h" in p.out[settled:], True)
        p.finish()
        check("%s: terminal modes restored" % sig.name, p.modes_after, p.modes_before)


if shutil.which("tmux") is None:
    failures.append("tmux is not installed (tools/deps.sh installs it)")
else:
    modes()
    mouse()
    keys()
    timers()
    resizes()
pty_bytes()

tui.report()
