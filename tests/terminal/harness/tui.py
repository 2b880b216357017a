"""A harness for the terminal UI: zol in a tmux pane of a fixed size and
environment, Zol source run at its prompt, keys and raw bytes sent, the pane
polled until it is stable, captured with or without its escapes, and the pane's
flags (alternate screen, mouse reporting, cursor) and terminal modes read.

Also a pseudo-terminal runner for the exact bytes a session writes.

Windows are built by hand with WINDOWS_PRELUDE until faces exist: `face` makes an
object holding the facets the backend reads, `show-by-hand` gives a window and its
panes their widgets, and `system/view/awake` logs every event it hears as one line
"EV type offset key picked flags text" in the pane's log file (so that the pane
shows only the UI) and answers what `react` gives for it.
"""
import fcntl
import os
import re
import select
import struct
import subprocess
import sys
import tempfile
import termios
import time

# Generous: under the collector's stress mode start-up and evaluation are slow.
WAIT = 120

ENV = {"TERM": "xterm-256color", "LANG": "C.UTF-8", "COLORTERM": ""}

WINDOWS_PRELUDE = r"""
face: func [spec] [make object! append copy/deep [
    type: 'base offset: 0x0 size: 1x1 text: none image: none color: none menu: none
    data: none enabled?: true visible?: true selected: none flags: none options: none
    parent: none pane: [] state: none rate: none edge: none para: none font: none
    actors: none extra: none draw: none
] spec]
show-by-hand: func [window /local handle give] [
    give: func [f parent /local h] [
        f/state: reduce [h: system/view/platform/make-view f parent 0 none [1]]
        foreach child f/pane [give child h]
        h
    ]
    handle: give window none
    system/view/platform/show-window handle
    handle
]
react: func [event] [none]
system/view/awake: func [event arg1 arg2] [
    write/append log-file append form reduce [
        "EV" event/type event/offset mold event/key mold event/picked mold event/flags
        either object? event/face [event/face/text] ["-"]
    ] newline
    react event
]
run-view: func [window] [
    show-by-hand window
    system/view/platform/do-event-loop false
    print "LOOP-END"
]
close-view: func [window] [system/view/platform/destroy-view window false]
"""


class Pane:
    """zol in a tmux pane of its own server."""

    servers = 0

    def __init__(self, zol, columns=80, rows=24, env=None):
        Pane.servers += 1
        self.files = []
        self.socket = "zol-tui-test-%d-%d" % (os.getpid(), Pane.servers)
        environment = dict(ENV, **(env or {}))
        command = "env %s '%s'" % (" ".join("%s='%s'" % kv for kv in environment.items()), zol)
        self.tmux("new-session", "-d", "-s", "t", "-x", str(columns), "-y", str(rows), command)
        self.tmux("set-option", "-t", "t", "remain-on-exit", "on")
        self.wait_for(lambda: ">>" in self.capture(), WAIT)

    def tmux(self, *args):
        return subprocess.run(["tmux", "-L", self.socket, "-f", "/dev/null"] + list(args),
                              stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                              check=False).stdout.decode("utf-8", "replace")

    def run(self, source):
        """Types a command that runs the Zol source at the prompt."""
        if not hasattr(self, "log"):
            handle, self.log = tempfile.mkstemp(suffix=".log")
            os.close(handle)
            self.files.append(self.log)
        handle, path = tempfile.mkstemp(suffix=".zol")
        with os.fdopen(handle, "w") as f:
            f.write("log-file: %%%s\n" % self.log)
            f.write(source)
        self.files.append(path)
        self.tmux("send-keys", "-t", "t", "-l", "do to block! read %" + path)
        self.tmux("send-keys", "-t", "t", "Enter")

    def notes(self):
        """The lines the scripts wrote to their log file so far."""
        with open(self.log) as f:
            return [l.rstrip("\n") for l in f]

    def run_until_shown(self, source, text):
        """Runs the source and waits until the text is on the pane, the pane is still
        and the view reads its keys one by one. A view draws before its loop turns
        the terminal's line editing off, and on a loaded machine keys sent between
        the two would wait in the terminal's line buffer for an Enter."""
        self.run(source)
        self.wait_for(lambda: self.find(text) is not None, WAIT)
        self.stable()
        self.wait_for(lambda: re.search(r"(^|\s)-icanon(\s|$)", self.stty()) is not None, WAIT)

    def back_at_prompt(self, marker):
        """True once the marker, printed when a view ended, is followed by a prompt."""
        text = self.capture()
        return marker in text and ">>" in text[text.rfind(marker):]

    def keys(self, *keys):
        """tmux key names (Enter, Escape, Up ...) or literal text."""
        for k in keys:
            if k in ("Enter", "Escape", "Up", "Down", "Left", "Right", "BSpace", "Tab"):
                self.tmux("send-keys", "-t", "t", k)
            else:
                self.tmux("send-keys", "-t", "t", "-l", k)

    def raw(self, data):
        """Bytes as the terminal would send them (mouse reports, split sequences)."""
        self.tmux("send-keys", "-t", "t", "-H", *["%02x" % b for b in data])

    def click(self, column, row, button=0, times=1):
        """A press and a release at a 0-based cell, as SGR reports. Several clicks go
        in one write, so that a loaded machine cannot space them out."""
        press = b"\x1b[<%d;%d;%dM" % (button, column + 1, row + 1)
        self.raw((press + press[:-1] + b"m") * times)

    def capture(self, escapes=False):
        args = ["capture-pane", "-p", "-t", "t"] + (["-e"] if escapes else [])
        return self.tmux(*args)

    def lines(self):
        return self.capture().split("\n")

    def find(self, text):
        """The (column, row) of the text's last appearance, or None."""
        found = None
        for row, line in enumerate(self.lines()):
            column = line.find(text)
            if column >= 0:
                found = (column, row)
        return found

    def flags(self):
        names = ["alternate_on", "mouse_any_flag", "mouse_sgr_flag", "cursor_flag",
                 "pane_dead", "pane_pid"]
        values = self.tmux("display-message", "-p", "-t", "t",
                           " ".join("#{%s}" % n for n in names)).split()
        return dict(zip(names, values))

    def stty(self):
        tty = self.tmux("display-message", "-p", "-t", "t", "#{pane_tty}").strip()
        return subprocess.run(["stty", "-a", "-F", tty], stdout=subprocess.PIPE,
                              stderr=subprocess.DEVNULL, check=False).stdout.decode()

    def resize(self, columns, rows):
        self.tmux("resize-window", "-t", "t", "-x", str(columns), "-y", str(rows))

    def wait_for(self, ready, seconds=10):
        end = time.time() + seconds
        while time.time() < end:
            if ready():
                return True
            time.sleep(0.05)
        return False

    def stable(self, quiet=0.3, seconds=WAIT):
        """Waits until the pane has not changed for `quiet` seconds."""
        end = time.time() + seconds
        last, since = None, time.time()
        while time.time() < end:
            now = self.capture(True)
            if now != last:
                last, since = now, time.time()
            elif time.time() - since >= quiet:
                return now
            time.sleep(0.05)
        return last

    def events(self):
        """What awake heard so far, one "type offset key picked flags text" each."""
        with open(self.log) as f:
            return [l[3:].rstrip("\n") for l in f if l.startswith("EV ")]

    def wait_events(self, ready, seconds=WAIT):
        self.wait_for(lambda: ready(self.events()), seconds)
        return self.events()

    def close(self):
        self.tmux("kill-server")
        for path in self.files:
            os.unlink(path)


class Pty:
    """zol on a pseudo-terminal: every byte it writes, and its modes after."""

    def __init__(self, zol, columns=80, rows=24, env=None):
        self.master, self.slave = os.openpty()
        fcntl.ioctl(self.slave, termios.TIOCSWINSZ, struct.pack("HHHH", rows, columns, 0, 0))
        self.modes_before = termios.tcgetattr(self.slave)
        environment = dict(os.environ, **ENV, **(env or {}))
        self.proc = subprocess.Popen([zol], stdin=self.slave, stdout=self.slave,
                                     stderr=self.slave, env=environment,
                                     start_new_session=True,
                                     preexec_fn=lambda: fcntl.ioctl(0, termios.TIOCSCTTY, 0))
        self.out = b""
        self.answer_reports = True

    def pump(self, seconds, until=lambda: False):
        end = time.time() + seconds
        while time.time() < end and not until():
            ready, _, _ = select.select([self.master], [], [], 0.02)
            if not ready:
                if self.proc.poll() is not None:
                    return
                continue
            try:
                data = os.read(self.master, 65536)
            except OSError:
                return
            self.out += data
            if self.answer_reports:
                for _ in range(data.count(b"\x1b[6n")):
                    os.write(self.master, b"\x1b[1;1R")

    def send(self, data):
        os.write(self.master, data)

    def run(self, source):
        """Runs the Zol source at the prompt, once the prompt is there."""
        self.pump(WAIT, lambda: b">> " in self.out)
        handle, path = tempfile.mkstemp(suffix=".zol")
        with os.fdopen(handle, "w") as f:
            f.write(source)
        self.send(b"do to block! read %" + path.encode() + b"\r")
        self.path = path

    def finish(self):
        os.write(self.master, b"q\r")
        self.pump(WAIT, lambda: self.proc.poll() is not None)
        if self.proc.poll() is None:
            self.proc.kill()
        self.modes_after = termios.tcgetattr(self.slave)
        if getattr(self, "path", None):
            os.unlink(self.path)
        os.close(self.master)
        os.close(self.slave)
        return self.proc.wait()


# Checks shared by the terminal scripts: a mismatch is recorded and the script goes
# on, so one run lists every failure; `report` prints them and ends the script.
failures = []


def check(name, got, want):
    if got != want:
        failures.append("%s: got %r, want %r" % (name, got, want))


def report():
    for f in failures:
        print("FAIL", f)
    print("%d failures" % len(failures))
    sys.exit(1 if failures else 0)
