#!/usr/bin/python3
"""The View engine on a real terminal: a window of faces made by hand, shown with
`view`, in a tmux pane of 80x24 (harness/tui.py).

Usage: view.py ZOL_BINARY EDIT_PROBE

- A click on a button without an actor, in a panel with `on-click`, runs the
  panel's actor once.
- An actor that replaces a panel's pane shows the new faces; the view keeps running.
- A timer actor's text change shows, with automatic sync and under `do-no-sync`
  followed by `show`.
- An actor error prints below the UI, which keeps answering; `unview` returns to
  the prompt with the terminal restored.
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
ticks: 0
btn: make face! [type: 'button offset: 1x0 size: 8x1 text: "button"]
pnl: make face! [
    type: 'panel offset: 2x1 size: 20x2 pane: reduce [btn]
    actors: make object! [on-click: func [f e] [note "PANEL-CLICK" none]]
]
clock: make face! [
    type: 'text offset: 30x1 size: 12x1 text: "clock" rate: 5
    actors: make object! [
        ; Two changes, then the pane stays still for the harness to see it settle.
        on-time: func [f e] [
            ticks: ticks + 1
            if ticks <= 2 [either SYNCED [f/text: rejoin ["tick-" ticks]] [
                do-no-sync [f/text: rejoin ["tick-" ticks]]
                show f
            ]]
        ]
    ]
]
w: make face! [
    type: 'window offset: 0x0 size: 50x5 pane: reduce [pnl clock]
    actors: make object! [
        on-key: func [f e] [
            switch e/key [
                #"r" [pnl/pane: reduce [make face! [type: 'text offset: 0x0 size: 10x1 text: "new-face"]]]
                #"e" [1 / 0]
                #"p" [note "KEY-P"]
                #"u" [unview]
            ]
            none
        ]
    ]
]
view w
print "VIEW-END"
"""


def start(synced):
    p = tui.Pane(ZOL)
    p.run_until_shown(WINDOW.replace("SYNCED", "true" if synced else "false"), "button")
    return p


def back_at_prompt(p):
    return p.back_at_prompt("VIEW-END")


def session(synced):
    mode = "auto-sync" if synced else "do-no-sync"
    p = start(synced)
    column, row = p.find("button")
    p.click(column + 1, row)
    p.wait_for(lambda: "PANEL-CLICK" in p.notes(), tui.WAIT)
    p.stable()
    check("%s: the panel's actor hears the button's click once" % mode, p.notes().count("PANEL-CLICK"), 1)

    p.wait_for(lambda: re.search(r"tick-\d", p.capture()) is not None, tui.WAIT)
    check("%s: the timer's text shows" % mode, re.search(r"tick-\d", p.capture()) is not None, True)

    p.keys("r")
    p.wait_for(lambda: p.find("new-face") is not None, tui.WAIT)
    check("%s: the replaced pane shows" % mode, (p.find("new-face") is not None, p.find("button")),
          (True, None))

    p.keys("e")
    p.wait_for(lambda: "divide by zero" in p.capture(), tui.WAIT)
    check("%s: an actor's error is printed" % mode, "divide by zero" in p.capture(), True)
    p.keys("p")
    p.wait_for(lambda: "KEY-P" in p.notes(), tui.WAIT)
    check("%s: the view answers after the error" % mode, "KEY-P" in p.notes(), True)

    p.keys("u")
    p.wait_for(lambda: back_at_prompt(p), tui.WAIT)
    p.stable()
    check("%s: unview returns to the prompt" % mode, back_at_prompt(p), True)
    f = p.flags()
    check("%s: terminal restored" % mode, (f["mouse_any_flag"], f["cursor_flag"]), ("0", "1"))
    p.close()


if shutil.which("tmux") is None:
    failures.append("tmux is not installed (tools/deps.sh installs it)")
else:
    session(True)
    session(False)

tui.report()
