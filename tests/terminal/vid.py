#!/usr/bin/python3
"""Windows laid out from VID blocks on a real terminal: `view` of a block in a tmux
pane of 80x24 (harness/tui.py).

Usage: vid.py ZOL_BINARY EDIT_PROBE

- A text, a field and a button show at their layout offsets; a click on the
  button runs its actor, whose printed line stays outside the UI.
- A panel with two faces per row puts the third face under the first.
- A tab-panel shows its first tab and not the second.
- A text in a coloured panel is painted in the panel's colour.
"""
import os
import re
import shutil
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "harness"))
import tui  # noqa: E402
from tui import check, failures  # noqa: E402

ZOL = sys.argv[1]
def form_and_click():
    p = tui.Pane(ZOL)
    p.run_until_shown('view [text "Name:" field button "OK" [print "clicked-x"]]\n'
                      'print "VIEW-END"\n', "Name:")
    name, ok = p.find("Name:"), p.find("OK")
    # The text is at 1x1 and the button at 23x1 (text 10 + field 10 + spacing).
    check("the button is on the text's row", ok[1], name[1])
    check("the button is 22 columns right of the text", ok[0] - name[0], 22)
    p.click(ok[0], ok[1])
    p.wait_for(lambda: "clicked-x" in p.capture(), tui.WAIT)
    p.stable()
    lines = p.lines()
    printed = [i for i, line in enumerate(lines) if line.strip() == "clicked-x"]
    check("the actor's line is printed once, on a line of its own", len(printed), 1)
    ui_row = p.find("Name:")[1]
    check("the printed line is outside the UI", bool(printed) and printed[0] != ui_row, True)
    p.close()


def containers():
    p = tui.Pane(ZOL)
    p.run_until_shown(
        'view [panel 2 [text "AA" text "BB" text "CC"] '
        'tab-panel ["One" [text "first"] "Two" [text "second"]] '
        'panel 0.0.128 [text "colored"]]\n', "AA")
    p.wait_for(lambda: p.find("colored") is not None, tui.WAIT)
    aa, bb, cc = p.find("AA"), p.find("BB"), p.find("CC")
    check("divides 2: the second face on the first row", bb[1], aa[1])
    check("divides 2: the third face under the first", (cc[0], cc[1] > aa[1]), (aa[0], True))
    check("the first tab shows", p.find("first") is not None, True)
    check("the second tab is hidden", p.find("second"), None)
    # The text's cells carry the panel's background: the colour set before the
    # panel's first blank cell is the one in force where the text starts.
    row = [line for line in p.capture(True).split("\n") if "colored" in line]
    colours = re.findall(r"\x1b\[48;5;(\d+)m([^\x1b]*)", row[0]) if row else []
    painted = [c for c, text in colours if "colored" in text]
    check("the text is painted on the panel's colour (0.0.128 is entry 18)", painted, ["18"])
    p.close()


if shutil.which("tmux") is None:
    failures.append("tmux is not installed (tools/deps.sh installs it)")
else:
    form_and_click()
    containers()

tui.report()
