#!/usr/bin/python3
"""The line editor and the console driver on a real terminal, and the driver and
output layer through pipes.

Usage: line_editor.py ZOL_BINARY EDIT_PROBE

- Keys go to `zol` through a pseudo-terminal; the checks are mostly on the "=="
  lines of what the keys made, on the exit status and on the terminal's modes
  after it ended. The harness answers the editor's cursor-column query.
- Screen layout at a narrow width is read from tmux (cursor position and pane
  text), running the edit probe, which takes the prompt and the hidden flag.
- Pipes: the bytes written and the status for redirected input.
"""
import fcntl
import os
import select
import shutil
import struct
import subprocess
import sys
import tempfile
import termios
import time

ZOL, PROBE = sys.argv[1], sys.argv[2]
failures = []


def check(name, got, want):
    if got != want:
        failures.append("%s: got %r, want %r" % (name, got, want))


# --- pseudo-terminal ----------------------------------------------------------

KEYS = {"Enter": b"\r", "Left": b"\x1b[D", "Right": b"\x1b[C", "Up": b"\x1b[A",
        "Down": b"\x1b[B", "Home": b"\x1b[H", "End": b"\x1b[F", "Delete": b"\x1b[3~",
        "Home~": b"\x1b[1~", "End~": b"\x1bOF", "Tab": b"\t", "Esc": b"\x1b",
        "BS": b"\x7f", "PgUp": b"\x1b[5~", "F5": b"\x1b[15~"}
for letter in "ABCDEFKNP":
    KEYS["C-" + letter] = bytes([ord(letter) - 64])


def key_bytes(k):
    return KEYS.get(k, k.encode() if isinstance(k, str) else k)


# Keys that end an edit. The terminal is out of raw mode until the next edit
# starts (a Ctrl+C typed then would be a signal), so the key after one of these
# waits for the next edit's cursor query. "Tab!" is a Tab whose completion offers
# several candidates, which also ends the edit; "C-D!" is a Ctrl+D on an empty
# line, which ends it too (elsewhere Ctrl+D deletes a character and the edit goes
# on). An ending key sent under a plain name leaves the harness believing the
# edit still runs, so `finish` would not wait for the exit and its Ctrl+C would
# reach a console still shutting down as SIGINT (status -2 on slow builds).
ENDING = {"Enter", "Esc", "C-C", "Tab!", "C-D!"}
KEYS["Tab!"] = b"\t"
KEYS["C-D!"] = b"\x04"
# Generous: under the collector's stress mode start-up and evaluation are slow.
WAIT = 120


# Every session gets a cache folder of its own, so that the history one session
# saves never reaches the next.
CACHES = tempfile.TemporaryDirectory(prefix="zol-editor-cache-")


class Pty:
    """zol on a pseudo-terminal of the given width."""
    sessions = 0

    def __init__(self, argv, columns=80, cache=None):
        Pty.sessions += 1
        self.cache = cache or os.path.join(CACHES.name, str(Pty.sessions))
        self.master, slave = os.openpty()
        fcntl.ioctl(slave, termios.TIOCSWINSZ, struct.pack("HHHH", 24, columns, 0, 0))
        self.modes_before = termios.tcgetattr(slave)
        self.slave = slave
        self.proc = subprocess.Popen(argv, stdin=slave, stdout=slave, stderr=slave,
                                     start_new_session=True,
                                     env=dict(os.environ, XDG_CACHE_HOME=self.cache),
                                     preexec_fn=lambda: fcntl.ioctl(0, termios.TIOCSCTTY, 0))
        self.out = b""
        self.edits = 0      # cursor queries answered: edits started
        self.ended = 0      # ending keys sent

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
            if not data:
                return
            self.out += data
            for _ in range(data.count(b"\x1b[6n")):
                os.write(self.master, b"\x1b[1;1R")
                self.edits += 1

    def editing(self):
        return self.edits > self.ended

    def keys(self, *keys):
        for k in keys:
            self.pump(WAIT, self.editing)
            os.write(self.master, key_bytes(k))
            self.ended += k in ENDING
            self.pump(0.05)
        self.pump(WAIT, lambda: self.editing() or self.proc.poll() is not None)
        self.pump(0.1)

    def finish(self):
        """Ends the session with Ctrl+C when it has not ended; answers the status."""
        self.pump(WAIT, lambda: self.editing() or self.proc.poll() is not None)
        if self.proc.poll() is None:
            os.write(self.master, b"\x03")
        try:
            status = self.proc.wait(timeout=WAIT)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            status = "hung"
        self.pump(0.1)
        self.modes_after = termios.tcgetattr(self.slave)
        os.close(self.master)
        os.close(self.slave)
        return status

    def results(self):
        text = self.out.decode("utf-8", "replace").replace("\r", "")
        return [line for line in text.split("\n") if line.startswith("==")]


def last_result(keys, columns=80):
    p = Pty([ZOL], columns)
    p.keys(*keys)
    p.finish()
    found = p.results()
    return found[-1] if found else None


# --- the keys and their Ctrl forms --------------------------------------------------

EDITS = [
    (["12", "Left", "3", "Enter"], "== 132"),
    (["12", "C-B", "3", "Enter"], "== 132"),
    (["12", "Left", "Left", "Right", "3", "Enter"], "== 132"),
    (["12", "C-B", "C-B", "C-F", "3", "Enter"], "== 132"),
    (["23", "Home", "1", "Enter"], "== 123"),
    (["23", "Home~", "1", "Enter"], "== 123"),
    (["23", "C-A", "1", "Enter"], "== 123"),
    (["12", "Home", "End", "3", "Enter"], "== 123"),
    (["12", "Home", "End~", "3", "Enter"], "== 123"),
    (["12", "C-A", "C-E", "3", "Enter"], "== 123"),
    (["123", "Left", "BS", "Enter"], "== 13"),
    (["123", "BS", "4", "Enter"], "== 124"),
    (["123", "Home", "Delete", "Enter"], "== 23"),
    (["123", "Home", "C-D", "Enter"], "== 23"),
    (["12", "C-D", "3", "Enter"], "== 123"),          # at the end of a line: nothing
    (["1234", "Left", "Left", "C-K", "Enter"], "== 12"),
    (["12", "PgUp", "F5", "3", "Enter"], "== 123"),    # keys without an action
    (["length? \"a", "Tab", "b\"", "Enter"], "== 3"),  # no completion: a Tab is typed
    (["\"√Ω中\"", "Left", "Left", "x", "Enter"], '== "√Ωx中"'),
    (["1 + ", "Esc", "2", "Enter"], "== 2"),            # Escape drops the command
    (["length? [1", "Enter", "2]", "Enter"], "== 2"),    # a continued command
]
for keys, want in EDITS:
    check("keys %r" % keys, last_result(keys), want)

# A Tab shows as four spaces; Escape prints the console's "(escape)".
p = Pty([ZOL])
p.keys("\"a", "Tab", "b\"", "Enter", "1", "Esc")
p.finish()
check("tab shown", b"a    b" in p.out, True)
check("escape shown", b"(escape)" in p.out, True)

# --- completion: Tab calls complete-input when it holds a function ------------------

COMPLETIONS = [
    # one candidate: the line becomes it, the cursor at the candidate's index
    ('complete-input: func [s f] [reduce [skip "1 + 4" 5]]', ["Tab", "1", "Enter"], "== 42"),
    ('complete-input: func [s f] [reduce ["2 + 4"]]', ["Tab", "1", "Enter"], "== 16"),
    # the function sees the line at the cursor
    ('complete-input: func [s f] [reduce [append copy "1 + " length? s]]',
     ["abcd", "Left", "Tab", "End", "0", "Enter"], "== 11"),
    # several: the candidates are shown, the next edit starts with the first
    ('complete-input: func [s f] [reduce [skip "10 + 5" 6 "alpha" "beta"]]',
     ["Tab!", "0", "Enter"], "== 60"),
    # not a function: the Tab is typed
    ("complete-input: 5", ["length? \"", "Tab", "\"", "Enter"], "== 1"),
]
for definition, keys, want in COMPLETIONS:
    check("completion %r %r" % (definition, keys), last_result([definition, "Enter"] + keys), want)

p = Pty([ZOL])
p.keys('complete-input: func [s f] [reduce ["x" "alpha" "beta"]]', "Enter", "Tab!")
p.finish()
check("candidates shown", b"alpha beta " in p.out, True)

# --- history --------------------------------------------------------------------------

HISTORY = [
    (["10", "20"], ["Up"], "== 20"),
    (["10", "20"], ["Up", "Up"], "== 10"),
    (["10", "20"], ["Up", "Up", "Down"], "== 10"),
    (["10", "20"], ["Up", "Up", "Down", "Down"], "== 20"),
    (["10", "20"], ["C-P", "C-P", "C-N", "C-N"], "== 20"),
    (["10", "20"], ["Up", "Up", "Down", "Down", "Down", "5"], "== 5"),
    (["10", "20"], ["Up", "Up", "Up", "5"], "== 5"),     # past the oldest: empty
    (["10", "20"], ["Down", "5"], "== 5"),               # Down before any Up: empty
    ([], ["Up", "5"], "== 5"),                           # no history
    (["10", "10"], ["Up", "Up", "5"], "== 5"),           # the same line stored once
    (['"x"', '"X"'], ["Up", "Up"], '== "x"'),            # letter case counts
    (["10", ""], ["Up"], "== 10"),                       # empty lines are not stored
    (["10"], ["Up", "Left", "5"], "== 150"),
]
for lines, keys, want in HISTORY:
    typed = []
    for line in lines:
        typed += [line, "Enter"]
    check("history %r %r" % (lines, keys), last_result(typed + keys + ["Enter"]), want)

# --- the console on a terminal ---------------------------------------------------------

# A continued command prompts with its innermost open delimiter.
# Ctrl+C in a continued command only adds "q" to it, so each command is closed.
for opener, closer, prompt in [("[", "]", b"[    "), ("{", "}", b"{    "), ("<a", ">", b"<    ")]:
    p = Pty([ZOL])
    p.keys(opener, "Enter", closer, "Enter")
    p.finish()
    check("prompt after %r" % opener, prompt in p.out, True)

# Tab completes a word of the global context: "pri" lists prin and print and the
# next edit starts with their common part.
p = Pty([ZOL])
p.keys("pri", "Tab!", "t 6 * 7", "Enter")
p.finish()
text = p.out.decode("utf-8", "replace")
check("word candidates listed", "prin " in text and "print " in text, True)
check("word completed", "\n42" in text.replace("\r", ""), True)

# The history is kept in the configuration and recalled by the next session.
first = Pty([ZOL])
first.keys("6 * 7", "Enter", "q", "Enter")
first.finish()
second = Pty([ZOL], cache=first.cache)
second.keys("Up", "Up", "Enter")   # the newest line is the "q" that ended it
second.finish()
check("history of an earlier session", second.results(), ["== 42"])

# ask/hide shows a star for each character and keeps the line out of the history.
p = Pty([ZOL])
# The second Up recalls the ask itself (the answer is not in the history), so the
# session answers it once more; otherwise the final Ctrl+C would be that answer
# ("q") and the console would wait at its prompt.
p.keys('x: ask/hide "pw: "', "Enter", "abc", "Enter", "x", "Enter", "Up", "Up", "Enter",
       "def", "Enter")
check("the session ends", p.finish(), 0)
check("hidden input shown as stars", b"pw: ***" in p.out, True)
check("hidden input returned", p.results()[:2], ['== "abc"', '== "abc"'])
check("hidden input not in the history", b"abc\r\n" in p.out.split(b"pw: ***", 1)[1], False)

# input shows no prompt at all.
p = Pty([ZOL])
p.keys("input", "Enter", "typed", "Enter")
p.finish()
check("input without a prompt", p.results(), ['== "typed"'])

# A prompt that fails is reported and replaced by the default one.
p = Pty([ZOL])
p.keys("system/console/prompt: does [1 / 0] ()", "Enter", "1", "Enter")
p.finish()
text = p.out.decode("utf-8", "replace")
check("faulty prompt reported", "*** Where: system/console/prompt" in text, True)
check("default prompt back", text.rstrip().endswith(">>"), True)

# --- endings: status 0 and the terminal's modes restored ------------------------------------

for name, keys in [("Ctrl+C", ["1 + 2", "C-C"]), ("Ctrl+D", ["C-D!"]), ("q", ["q", "Enter"])]:
    p = Pty([ZOL])
    p.keys(*keys)
    # The key itself ends the session; the Ctrl+C of `finish` would hide a miss.
    check(name + " ends the session", p.proc.poll() is not None, True)
    status = p.finish()
    check(name + " status", status, 0)
    check(name + " modes restored", p.modes_after, p.modes_before)
    check(name + " evaluates nothing", p.results(), [])

# Output to a terminal: colour sequences become standard ones, the text is whole.
p = Pty([ZOL])
p.keys('print "^[[1;31mx^[[22my^[[0m"', "Enter")
p.finish()
check("colours on a terminal", b"\x1b[0;91mx\x1b[0;31my\x1b[0m" in p.out, True)

# --- pipes ----------------------------------------------------------------------------

PIPES = [
    (b'print "a"\n', b"a\n"),
    (b'prin "a" prin "b"\n', b"ab"),
    (b'print "^[[31mx^[[0m"\n', b"\x1b[31mx\x1b[0m\n"),   # escapes cross untouched
    (b"1 + 2\r\n", b"== 3\n"),                            # the carriage return stays
    (b"print 3", b"3\n"),                                 # no final line feed
    (b"", b""),
    (b'print "\x80\xff"\n', "\ufffd\ufffd\n".encode()),
    (b'print "\xe4\xb8"\n', "\ufffd\n".encode()),         # cut-off sequence
    (b"q\nprint 1\n", b""),
]
def piped(**stdin):
    try:
        r = subprocess.run([ZOL], stdout=subprocess.PIPE, timeout=WAIT, **stdin)
        return r.stdout, r.returncode
    except subprocess.TimeoutExpired:
        return "hung"


# The loop prints its banner first, whatever comes on standard input.
BANNER = b"--== Zol 0.1.0 ==-- \nType HELP for starting information. \n\n"
for given, want in PIPES:
    check("pipe %r" % given, piped(input=given), (BANNER + want, 0))
check("/dev/null", piped(stdin=subprocess.DEVNULL), (BANNER, 0))

# --- the screen at a narrow width, through tmux --------------------------------------------


class Tmux:
    sessions = 0

    def __init__(self, argv, columns, rows=10):
        # A server of its own each time: a server being killed may still hold
        # the socket when the next one starts.
        Tmux.sessions += 1
        self.socket = "zol-editor-test-%d-%d" % (os.getpid(), Tmux.sessions)
        self.run("new-session", "-d", "-s", "t", "-x", str(columns), "-y", str(rows),
                 " ".join("'%s'" % a for a in argv))
        self.wait_for(lambda: self.pane().strip() != "", WAIT)

    def run(self, *args):
        return subprocess.run(["tmux", "-L", self.socket, "-f", "/dev/null"] + list(args),
                              stdout=subprocess.PIPE, check=False).stdout.decode()

    def pane(self):
        return self.run("capture-pane", "-p", "-t", "t")

    def cursor(self):
        x, y = self.run("display-message", "-p", "-t", "t", "#{cursor_x} #{cursor_y}").split()
        return int(x), int(y)

    def wait_for(self, ready, seconds=3):
        end = time.time() + seconds
        while time.time() < end and not ready():
            time.sleep(0.05)

    def type(self, *keys):
        for k in keys:
            if k in ("Left", "Enter", "BSpace"):
                self.run("send-keys", "-t", "t", k)
            else:
                self.run("send-keys", "-t", "t", "-l", k)
            time.sleep(0.1)
        time.sleep(0.2)

    def close(self):
        self.run("kill-server")


if shutil.which("tmux") is None:
    failures.append("tmux is not installed (tools/deps.sh installs it)")
else:
    # Steps of keys, each followed by the cursor (column, row) and the pane's first
    # rows it should show (None: not looked at).
    SCREENS = [
        ("a line ending exactly at the edge puts the cursor on the next row",
         [">> "], [("a" * 16, (19, 0), None), ("b", (0, 1), None), ("c", (1, 1), None)]),
        ("a wide character that would start in the last column moves down",
         [">> "], [("a" * 16 + "中b", (3, 1), [">> " + "a" * 16, "中b"]),
                   ("Left", (2, 1), None), ("Left", (0, 1), None)]),
        ("a narrow character in the last column keeps the cursor there",
         [">> "], [("a" * 16 + "Ω", (0, 1), None), ("Left", (19, 0), None)]),
        ("a colour sequence in the prompt takes no columns",
         ["\\e[31m>> \\e[0m"], [("ab", (5, 0), [">> ab"]), ("Left", (4, 0), None)]),
        ("hidden input shows stars",
         ["pw: ", "1"], [("secret", (10, 0), ["pw: ******"])]),
    ]
    for name, args, steps in SCREENS:
        t = Tmux([PROBE] + args, 20)
        for keys, cursor, rows in steps:
            t.type(keys)
            t.wait_for(lambda: t.cursor() == cursor, 10)
            check(name + " after %r" % keys, t.cursor(), cursor)
            if rows is not None:
                check(name + " shows", [r.rstrip() for r in t.pane().split("\n")[:len(rows)]], rows)
        t.close()

    # Hidden input: the line holds what was typed.
    t = Tmux([PROBE, "pw: ", "1"], 20)
    t.type("secret", "Enter")
    t.wait_for(lambda: "<<secret>>" in t.pane(), WAIT)
    check("hidden line", "<<secret>>" in t.pane(), True)
    t.close()

    # A resize is taken at the next key.
    t = Tmux([PROBE, ">> "], 40)
    t.type("a" * 10)
    t.run("resize-window", "-t", "t", "-x", "20")
    time.sleep(0.3)
    t.type("b" * 15)
    t.wait_for(lambda: t.cursor() == ((3 + 25) % 20, 1), 10)
    check("after a resize", t.cursor(), ((3 + 25) % 20, 1))
    t.close()

for f in failures:
    print("FAILED", f)
print("%s" % ("all passed" if not failures else "%d failed" % len(failures)))
sys.exit(1 if failures else 0)
