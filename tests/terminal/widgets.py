#!/usr/bin/python3
"""The terminal widgets by face type on a real terminal: one window of faces made
by hand (field, password field, button, check, radios, text lists, progress,
group boxes, an image), shown with `view` in a tmux pane of 80x24
(harness/tui.py). The faces' actors write what they hear to the pane's log file.

Usage: widgets.py ZOL_BINARY EDIT_PROBE

- A field 10 wide keeps 10 of 12 typed characters; backspace at the start does
  nothing; Ctrl+B, Ctrl+F and the arrows move the cursor; Enter leaves the text
  alone; `data` follows typing; a password field shows "*".
- A focused button is in reverse video; space clicks it once.
- Space and a click toggle a check box, one `change` each; a radio cannot be
  switched off; space on a radio sends one `change`.
- A text list of 5 entries in 3 rows scrolls down past its last row and back up,
  `select` (before `selected` changes) then `change`; no highlight without focus;
  a click below the last entry does nothing.
- A progress bar at 0.5, 12 wide; group boxes with square and round corners, the
  title one column right of the corner, the border colour in the escapes.
- An image face 4x2 of a 4x4 image: lower half blocks in true colour, 256 colours
  or palette colours as the terminal announces; a transparent upper pixel is a
  blank cell.
"""
import os
import re
import shutil
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "harness"))
import tui  # noqa: E402
from tui import check, failures  # noqa: E402

ZOL = sys.argv[1]
WINDOW = r"""
note: func [value] [write/append log-file append form reduce value newline]
on-change-note: make object! [on-change: func [f e] [note ["CHANGE" f/extra f/data]]]
img: make image! 4x4
repeat i 16 [poke img i pick [255.0.0 0.255.0 0.0.255 255.255.255] 1 + to integer! (i - 1) / 4]
poke img 9 0.0.255.255
fld: make face! [type: 'field offset: 1x5 size: 10x1 text: "" flags: [focusable]]
pwd: make face! [type: 'field offset: 13x5 size: 6x1 text: "pw" flags: [focusable password]]
btn: make face! [type: 'button offset: 1x7 size: 8x1 text: "go" flags: [focusable]
    actors: make object! [on-click: func [f e] [note ["CLICK"]]]]
chk: make face! [type: 'check offset: 1x9 size: 10x1 text: "chk" flags: [focusable] extra: 'chk
    actors: on-change-note]
r1: make face! [type: 'radio offset: 1x10 size: 10x1 text: "one" flags: [focusable] extra: 'r1
    actors: on-change-note]
r2: make face! [type: 'radio offset: 1x11 size: 10x1 text: "two" flags: [focusable] extra: 'r2
    actors: on-change-note]
lst: make face! [type: 'text-list offset: 22x5 size: 10x3 data: ["a" "b" "c" "d" "e"] flags: [focusable]
    actors: make object! [
        on-select: func [f e] [note ["SELECT" e/picked f/selected]]
        on-change: func [f e] [note ["LCHANGE" e/picked f/selected]]
    ]]
short: make face! [type: 'text-list offset: 22x9 size: 10x3 data: ["x" "y"] flags: [focusable]
    actors: make object! [on-select: func [f e] [note ["SHORT" e/picked]]]]
dump: make face! [type: 'button offset: 40x12 size: 6x1 text: "dump"
    actors: make object! [on-click: func [f e] [note ["DUMP" mold fld/text mold fld/data]]]]
w: make face! [
    type: 'window offset: 0x0 size: 60x14 pane: reduce [
        make face! [type: 'group-box offset: 0x0 size: 20x4 text: "Box"]
        make face! [type: 'group-box offset: 22x0 size: 10x3
            options: [border-corners: round border-color: 255.0.0]]
        fld pwd btn chk r1 r2 lst short dump
        make face! [type: 'progress offset: 35x5 size: 12x1 data: 0.5]
        make face! [type: 'base offset: 35x7 size: 4x2 image: img]
    ]
    actors: make object! [on-key: func [f e] [if e/key = #"~" [unview] none]]
]
view w
print "VIEW-END"
"""


def take_notes(p, count):
    """Waits for `count` new notes after those already read, then answers them."""
    seen = getattr(p, "seen", 0)
    p.wait_for(lambda: len(p.notes()) >= seen + count, tui.WAIT)
    p.stable()
    got = p.notes()[seen:]
    p.seen = len(p.notes())
    return got


def cursor_x(p):
    return int(p.tmux("display-message", "-p", "-t", "t", "#{cursor_x}").strip())


def settled(p, get, want):
    """What get() answers once it answers want, or when the wait is over: under the
    collector's stress mode keys take long, and the pane may stand still between."""
    p.wait_for(lambda: get() == want, tui.WAIT)
    return get()


def barrier(p, left, top):
    """Clicks the dump button and waits for its note: every input sent before it has
    been handled by then."""
    seen = getattr(p, "seen", 0)
    p.click(left + 41, top + 12)
    p.wait_for(lambda: any(n.startswith("DUMP") for n in p.notes()[seen:]), tui.WAIT)
    return take_notes(p, 0)


def start(env=None):
    p = tui.Pane(ZOL, env=env)
    p.run_until_shown(WINDOW, "dump")
    return p


def image_cells(p):
    """The escapes and characters of the image face's two rows."""
    text = p.capture(True)
    rows = [l for l in text.split("\n") if "\u2584" in l]
    return rows


def main_session():
    p = start({"COLORTERM": "truecolor"})
    left, top = p.find("Box")
    left -= 1   # the title stands one column right of the corner
    lines = p.lines()
    check("group-box: the title one column right of the corner", lines[top][left:left + 5], "┌Box─")
    check("group-box: square corners", (lines[top][left + 19], lines[top + 3][left], lines[top + 3][left + 19]),
          ("┐", "└", "┘"))
    check("group-box: sides", (lines[top + 1][left], lines[top + 3][left + 1]), ("│", "─"))
    check("group-box: round corners", (lines[top][left + 22], lines[top][left + 31], lines[top + 2][left + 22],
                                       lines[top + 2][left + 31]), ("╭", "╮", "╰", "╯"))
    escaped = p.capture(True)
    check("group-box: the border colour shows", re.search(r"\x1b\[[0-9;]*38;5;196[0-9;]*m╭", escaped) is not None,
          True)
    check("progress at 0.5, 12 wide", "[#####     ]" in lines[top + 5], True)
    check("password field masked", lines[top + 5][left + 13:left + 15], "**")
    check("no highlight without focus", re.search(r"\x1b\[7ma", escaped) is None, True)

    # The field has the focus.
    p.keys("123")
    check("field: data follows typing", barrier(p, left, top), ['DUMP "123" 123'])
    p.keys("456789012")
    check("field: 12 typed characters keep 10", barrier(p, left, top), ['DUMP "1234567890" 1234567890'])
    check("field: the text shown", p.lines()[top + 5][left + 1:left + 12], "1234567890 ")
    check("field: the cursor after the text", settled(p, lambda: cursor_x(p), left + 11), left + 11)
    moves = [("C-b", left + 10), ("Left", left + 9), ("C-f", left + 10), ("Right", left + 11)]
    for key, want in moves:
        p.tmux("send-keys", "-t", "t", key)
        check("field: %s moves the cursor" % key, settled(p, lambda: cursor_x(p), want), want)
    for _ in range(12):
        p.tmux("send-keys", "-t", "t", "C-b")
    p.keys("BSpace")
    check("field: the cursor at the start", settled(p, lambda: cursor_x(p), left + 1), left + 1)
    p.keys("Enter", "Tab")
    check("field: backspace at the start, Enter and Tab leave the text", barrier(p, left, top),
          ['DUMP "1234567890" 1234567890'])
    # Tab hands the focus on to the password field; its caret stands after "pw".
    check("field: Tab moves the focus on", settled(p, lambda: cursor_x(p), left + 15), left + 15)

    # The button: a click focuses it (and clicks), then it is reversed; space clicks once.
    p.click(left + 2, top + 7)
    check("button: a click", take_notes(p, 1), ["CLICK"])
    reversed_go = lambda: re.search(r"\x1b\[[0-9;]*7[0-9;]*m *go", p.capture(True)) is not None
    check("button: reversed when focused", settled(p, reversed_go, True), True)
    p.keys(" ")
    check("button: space clicks once", take_notes(p, 1), ["CLICK"])

    # Check and radios.
    p.click(left + 2, top + 9)
    check("check: a click toggles it on", take_notes(p, 1), ["CHANGE chk true"])
    # The glyphs' widths as our table gives them: what follows on the row stays put.
    for glyph, row, entry in (("🞕 chk", top + 9, "x"), ("○ one", top + 10, "y")):
        line = lambda: p.lines()[row]
        check("width of %r as tmux shows it" % glyph[0],
              settled(p, lambda: (line().find(glyph), line().find(entry)), (left + 1, left + 22)),
              (left + 1, left + 22))
    p.keys(" ")
    check("check: space toggles it off", take_notes(p, 1), ["CHANGE chk false"])

    def radios():
        return (p.lines()[top + 10][left + 1:left + 6], p.lines()[top + 11][left + 1:left + 6])

    p.click(left + 2, top + 10)
    check("radio: a click sets it", settled(p, radios, ("◉ one", "○ two")), ("◉ one", "○ two"))
    check("radio: a click sends one change", take_notes(p, 1), ["CHANGE r1 true"])
    p.keys(" ")
    check("radio: space sends one change", take_notes(p, 1), ["CHANGE r1 true"])
    p.click(left + 2, top + 11)
    check("radio: a sibling clears it", settled(p, radios, ("○ one", "◉ two")), ("○ one", "◉ two"))
    p.click(left + 2, top + 11)
    barrier(p, left, top)
    check("radio: cannot be switched off", radios(), ("○ one", "◉ two"))

    # The text list: a click on its first row focuses it.
    p.click(left + 22, top + 5)
    barrier(p, left, top)

    def rows():
        return [l[left + 22:left + 23] for l in p.lines()[top + 5:top + 8]]

    p.keys("Down", "Down", "Down", "Down")
    check("text list: Down past the last row scrolls", settled(p, rows, ["c", "d", "e"]), ["c", "d", "e"])
    check("text list: select before change", take_notes(p, 8)[-2:], ["SELECT 5 4", "LCHANGE 5 5"])
    p.keys("Up", "Up", "Up", "Up")
    check("text list: Up scrolls back", settled(p, rows, ["a", "b", "c"]), ["a", "b", "c"])
    take_notes(p, 8)
    p.click(left + 22, top + 9)
    p.click(left + 22, top + 11)
    check("text list: a click below the last entry does nothing",
          [n for n in barrier(p, left, top) if n.startswith("SHORT")], ["SHORT 1"])

    p.keys("~")
    p.wait_for(lambda: p.back_at_prompt("VIEW-END"), tui.WAIT)
    p.close()


def image_session(env, pattern, name):
    p = start(env)
    rows = image_cells(p)
    check("image %s: two rows of half blocks" % name, len(rows), 2)
    if len(rows) == 2:
        check("image %s: colour codes" % name, re.search(pattern, rows[0]) is not None, True)
        # The second row's first cell has a transparent upper pixel: a blank.
        blocks = rows[1].count("\u2584")
        check("image %s: a transparent upper pixel is blank" % name, blocks, 3)
    p.keys("~")
    p.wait_for(lambda: p.back_at_prompt("VIEW-END"), tui.WAIT)
    p.close()


if shutil.which("tmux") is None:
    failures.append("tmux is not installed (tools/deps.sh installs it)")
else:
    main_session()
    image_session({"COLORTERM": "truecolor"}, r"38;2;0;255;0.*48;2;255;0;0|48;2;255;0;0.*38;2;0;255;0",
                  "true colour")
    image_session({"TERM": "tmux-256color", "COLORTERM": ""}, r"38;5;\d+.*48;5;\d+|48;5;\d+.*38;5;\d+",
                  "256 colours")
    image_session({"TERM": "screen", "COLORTERM": ""}, r"\x1b\[[0-9;]*(3[0-7]|9[0-7])[;m]", "palette")

tui.report()
