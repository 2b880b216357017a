#!/usr/bin/python3
"""Keys through the terminal widgets, driven through tmux (tests/terminal/harness):
1 000 Down keys through a text list of 100 000 entries, and 1 000 keys typed into
a field beside an image face showing a 4000x3000 image. Prints the time per key:
from the first key sent until the pane shows the effect of the last one, so it
includes tmux's own delivery.

Usage: bench/widget-keys.py [ZOL_BINARY]   (default ./build-bench/zol)
"""
import os
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "terminal", "harness"))
import tui  # noqa: E402

ZOL = sys.argv[1] if len(sys.argv) > 1 else os.path.join(HERE, "..", "build-bench", "zol")
KEYS = 1000

LIST = r"""
entries: make block! 100000
repeat i 100000 [append entries rejoin ["e" i]]
lst: make face! [type: 'text-list offset: 0x0 size: 20x10 data: entries flags: [focusable]]
view make face! [type: 'window size: 30x10 pane: reduce [lst]]
"""

FIELD = r"""
img: make image! reduce [4000x3000 10.200.30]
fld: make face! [type: 'field offset: 0x0 size: 20x1 text: "" flags: [focusable]]
pic: make face! [type: 'base offset: 0x2 size: 60x20 image: img]
view make face! [type: 'window size: 60x22 pane: reduce [fld pic]]
"""


def per_key(p, send, done):
    start = time.time()
    send()
    p.wait_for(done, 600)
    return (time.time() - start) * 1000.0 / KEYS


def text_list():
    p = tui.Pane(ZOL, env={"COLORTERM": "truecolor"})
    p.run_until_shown(LIST, "e10")
    ms = per_key(p, lambda: p.tmux("send-keys", "-t", "t", "-N", str(KEYS), "Down"),
                 lambda: p.find("e%d" % (KEYS + 1)) is not None)
    p.close()
    return ms


def field_beside_image():
    p = tui.Pane(ZOL, env={"COLORTERM": "truecolor"})
    p.run_until_shown(FIELD, "\u2584")

    def send():
        # Pairs of a character and a backspace, then a last visible mark, in one
        # tmux command so that tmux's own start-up is not counted per key.
        p.tmux("send-keys", "-t", "t", *(["a", "BSpace"] * (KEYS // 2 - 1) + ["a", "Z"]))

    ms = per_key(p, send, lambda: p.find("aZ") is not None)
    p.close()
    return ms


print("text list, 100 000 entries: %.2f ms per Down key" % text_list())
print("field beside a 4000x3000 image: %.2f ms per key" % field_beside_image())
