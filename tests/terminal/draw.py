#!/usr/bin/python3
"""Draw blocks on a real terminal: a window shown with `view` in a tmux pane of
80x24 (harness/tui.py).

Usage: draw.py ZOL_BINARY EDIT_PROBE

- A 6x5 base face at 10x5 whose draw block is
  [pen 255.0.0 box 0x0 3x2 line 0x3 3x3] shows the box and the line inside the
  face, from its corner, in colour 196.
- `draw` on an image from an actor while the view is up leaves every cell of the
  pane as it was (only the label the actor changes afterwards differs).
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
note: func [text] [write/append log-file append copy text newline]
label: make face! [type: 'text offset: 0x0 size: 12x1 text: "label-one"]
drawn: make face! [
    type: 'base offset: 10x5 size: 6x5
    draw: [pen 255.0.0 box 0x0 3x2 line 0x3 3x3]
]
w: make face! [
    type: 'window offset: 0x0 size: 30x11 pane: reduce [label drawn]
    actors: make object! [
        on-key: func [f e] [
            switch e/key [
                #"d" [
                    draw 40x20 [
                        pen 0.255.0 fill-pen 0.0.255 line 0x0 79x0 box 0x0 70x20
                        triangle 0x0 40x0 0x20 circle 5x5 3 ellipse 0x0 30x10
                        text 0x0 "IMAGE-TEXT"
                    ]
                    label/text: "label-two"
                    note "DRAWN"
                ]
                #"u" [unview]
            ]
            none
        ]
    ]
]
view w
print "VIEW-END"
"""


def session():
    p = tui.Pane(ZOL)
    p.run_until_shown(WINDOW, "label-one")
    _, label_row = p.find("label-one")
    box = p.find("┌──┐")
    check("the box's top stands at the face's corner", box, (10, label_row + 5))
    if box is not None:
        check("the box's bottom", p.find("└──┘"), (10, box[1] + 2))
        check("the line, three rows below the box's top", p.find("████"), (10, box[1] + 3))
        coloured = [l for l in p.capture(escapes=True).split("\n") if "┌──┐" in l]
        check("the box is in colour 196",
              bool(coloured) and re.search(r"\x1b\[[0-9;]*38;5;196[0-9;]*m┌", coloured[0]) is not None,
              True)

    before = p.capture(escapes=True)
    p.keys("d")
    p.wait_for(lambda: "DRAWN" in p.notes() and p.find("label-two") is not None, tui.WAIT)
    p.stable()
    after = p.capture(escapes=True)
    check("drawing on an image leaves the screen alone", after, before.replace("label-one", "label-two"))

    p.keys("u")
    p.wait_for(lambda: p.back_at_prompt("VIEW-END"), tui.WAIT)
    p.close()


if shutil.which("tmux") is None:
    failures.append("tmux is not installed (tools/deps.sh installs it)")
else:
    session()

tui.report()
