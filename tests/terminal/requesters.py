#!/usr/bin/python3
"""The file and directory requesters on a real terminal: each is opened in a
temporary folder holding a sub-folder and two files, in a tmux pane of 80x40
(harness/tui.py; the requester's lists are 20 rows high). What a requester
answers is written to the pane's log file.

Usage: requesters.py ZOL_BINARY EDIT_PROBE

- request-file/title/filter: the title shown, the folders with %../ first, only
  the files the filter keeps, the focused frame's border white and the other's
  grey; Enter on a folder moves into it and %../ back out; a typed name is
  answered as a full path.
- request-dir: Cancel answers none.
"""
import os
import shutil
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "harness"))
import tui  # noqa: E402
from tui import check, failures  # noqa: E402

ZOL = sys.argv[1]
def settled(p, get, want):
    p.wait_for(lambda: get() == want, tui.WAIT)
    return get()


def answers(p):
    p.wait_for(lambda: p.back_at_prompt("REQ-END"), tui.WAIT)
    with open(p.log) as f:
        return [l.rstrip("\n") for l in f]


def file_session(folder):
    p = tui.Pane(ZOL, rows=40)
    p.run_until_shown('change-dir %%%s/\nr: request-file/title/filter "Pick one" ["Text" %%.txt]\n'
                      'write/append log-file append mold r newline\nprint "REQ-END"\n' % folder, " Open ")
    text = p.capture()
    check("the title shown", "Pick one" in text, True)
    check("the folder shown", folder + "/" in text, True)
    left, top = p.find("Folders")
    row = lambda n: p.lines()[top + n]
    check("folders, %../ first", (row(1)[left - 1:left + 3], row(2)[left - 1:left + 3]), ("../ ", "sub/"))
    check("the filter keeps a.txt only", ("a.txt" in text, "b.log" in text), (True, False))
    escaped = p.capture(True)
    check("the focused frame white, the other grey",
          ("38;5;231m╭\x1b[39m Folders" in escaped, "38;5;238m╭\x1b[39m Files" in escaped), (True, True))
    p.keys("Down", "Enter")
    check("Enter moves into a folder", settled(p, lambda: folder + "/sub/" in p.capture(), True), True)
    p.keys("Enter")
    check("../ moves back out", settled(p, lambda: folder + "/sub/" in p.capture(), False), False)
    name_at = p.find("Selected:")
    p.click(name_at[0] + 11, name_at[1])
    p.keys("new.txt")
    p.stable()
    open_at = p.find(" Open ")
    p.click(open_at[0] + 2, open_at[1])
    check("a typed name answered as a full path", answers(p), ["%" + folder + "/new.txt"])
    p.close()


def dir_session(folder):
    p = tui.Pane(ZOL, rows=40)
    p.run_until_shown('change-dir %%%s/\nr: request-dir\nwrite/append log-file append mold r newline\n'
                      'print "REQ-END"\n' % folder, "Cancel")
    cancel_at = p.find("Cancel")
    p.click(cancel_at[0] + 1, cancel_at[1])
    check("request-dir: Cancel answers none", answers(p), ["none"])
    p.close()


if shutil.which("tmux") is None:
    failures.append("tmux is not installed (tools/deps.sh installs it)")
else:
    folder = os.path.realpath(tempfile.mkdtemp())
    os.mkdir(os.path.join(folder, "sub"))
    for name in ("a.txt", "b.log"):
        open(os.path.join(folder, name), "w").close()
    try:
        file_session(folder)
        dir_session(folder)
    finally:
        shutil.rmtree(folder)

tui.report()
