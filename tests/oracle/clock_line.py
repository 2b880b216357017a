#!/usr/bin/env python3
"""Checks the line clock prints: the time per run shortened to three digits (never
cutting the digits before the point), "ms" or "μs" (U+03BC, UTF-8) with a tab,
and the code molded flat and cut to 70 characters; /times 0 still runs the code
once. The figures vary, so the layout is checked, and Python's own mold of the
code is the reference for the cut.

Usage: clock_line.py ZOL_BINARY
"""
import re
import subprocess
import sys

LONG = "[n: n + 1 " + " ".join(f"x{i}: {i}" for i in range(30)) + "]"
PROGRAM = f"""n: 0
clock/times [n: n + 1] 0
print n
clock/times [loop 20000 [n: n + 1]] 2
clock {LONG}
print "done"
"""


def shortened(text):
    """The number keeps at most three digits, but all those before the point."""
    whole, _, fraction = text.partition(".")
    return len(whole) >= 3 and not fraction or len(whole) + len(fraction) <= 3


def main():
    run = subprocess.run([sys.argv[1]], input=PROGRAM.encode(), capture_output=True, check=False)
    lines = run.stdout.decode("utf-8").splitlines()
    failures = []
    clock_lines = [l for l in lines if "s\t" in l]
    if len(clock_lines) != 3:
        failures.append(f"three clock lines expected, got {lines!r}")
    codes = ["[n: n + 1]", "[loop 20000 [n: n + 1]]", " ".join(LONG.split())[:70]]
    for line, code in zip(clock_lines, codes):
        m = re.fullmatch(r"(\S+) (ms|\u03bcs)\t(.*)", line)
        if not m or not shortened(m.group(1)) or m.group(3) != code:
            failures.append(f"layout: {line!r} (code expected {code!r})")
    if "1" not in lines:
        failures.append(f"/times 0 should run the code once: {lines!r}")
    if "done" not in lines:
        failures.append(f"the program stopped early: {lines!r}")
    if run.returncode != 0 or failures:
        print("\n".join(failures) or f"unexpected output: {lines!r}")
        sys.exit(1)
    print("clock lines agree")


if __name__ == "__main__":
    main()
