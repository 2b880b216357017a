#!/usr/bin/python3
"""The file and directory requesters on a real terminal: each is opened in a
temporary folder holding a sub-folder and two files, in a tmux pane
(harness/tui.py). What a requester answers is written to the pane's log file.

Usage: requesters.py ZOL_BINARY EDIT_PROBE

- request-file/title/filter in 80x40, room for the lists' full 20 rows: the title
  shown, the folders with %../ first, only the files the filter keeps, the focused
  frame's border white and the other's grey; Enter on a folder moves into it and
  %../ back out; a typed name is answered as a full path.
- request-file in 80x24: the lists give up the rows the window would lack, so the
  name field and the buttons are on the screen; a file is picked with the keys
  alone (Right, Down, Enter, then Tab to Open and Enter).
- request-dir in 80x40: Cancel answers none.
- request-dir in 50x20: the rows narrow to the screen; a folder is picked with the
  keys alone.
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


def list_rows(p):
    """The rows of the Folders list: those between its frame's top and bottom."""
    left, top = p.find("Folders")
    lines = p.lines()
    corner = left - 2
    bottom = next((n for n in range(top + 1, len(lines)) if lines[n][corner:corner + 1] == "╰"), None)
    return None if bottom is None else bottom - top - 1


def whole_window_shown(p, buttons):
    """The name field and every button on the pane, below the lists' frames."""
    text = p.capture()
    frames_closed = list_rows(p) is not None
    return frames_closed and "Selected:" in text and all(b in text for b in buttons)


def pick_with_keys(p, where, keys, name_shown):
    """Keys that move to an entry and take it into the name field, then Tab to the
    first button and Enter on it."""
    p.keys(*keys)
    name_line = lambda: next((l for l in p.lines() if "Selected:" in l), "")
    check(where + ": the entry taken into the name field",
          settled(p, lambda: name_shown in name_line(), True), True)
    p.keys("Tab", "Tab", "Enter")


def file_session(folder):
    p = tui.Pane(ZOL, rows=40)
    p.run_until_shown('change-dir %%%s/\nr: request-file/title/filter "Pick one" ["Text" %%.txt]\n'
                      'write/append log-file append mold r newline\nprint "REQ-END"\n' % folder, " Open ")
    text = p.capture()
    check("the title shown", "Pick one" in text, True)
    check("lists of full height where the screen has room", list_rows(p), 20)
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


def small_file_session(folder):
    p = tui.Pane(ZOL, rows=24)
    p.run_until_shown('change-dir %%%s/\nr: request-file\n'
                      'write/append log-file append mold r newline\nprint "REQ-END"\n' % folder, " Open ")
    check("80x24: the name field and the buttons on the screen",
          whole_window_shown(p, (" Open ", " Cancel")), True)
    # 24 rows less the 14 that the title, the path, the frames, the name field, the
    # buttons and their gaps take.
    check("80x24: the lists as tall as the screen leaves them", list_rows(p), 10)
    pick_with_keys(p, "80x24", ("Right", "Down", "Enter"), "b.log")
    check("80x24: a file picked with the keys", answers(p), ["%" + folder + "/b.log"])
    p.close()


def narrow_dir_session(folder):
    p = tui.Pane(ZOL, columns=50, rows=20)
    p.run_until_shown('change-dir %%%s/\nr: request-dir\nwrite/append log-file append mold r newline\n'
                      'print "REQ-END"\n' % folder, "Cancel")
    check("50x20: the name field and the buttons on the screen",
          whole_window_shown(p, (" OK ", " Cancel")), True)
    check("50x20: the frames end inside the screen",
          [l.rstrip()[-1:] for l in p.lines() if "╭" in l], ["╮", "╮"])
    pick_with_keys(p, "50x20", ("Down", "Enter"), "sub/")
    check("50x20: a folder picked with the keys", answers(p), ["%" + folder + "/sub/"])
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
        small_file_session(folder)
        dir_session(folder)
        narrow_dir_session(folder)
    finally:
        shutil.rmtree(folder)

tui.report()
