#!/usr/bin/env python3
"""Checks the library's radian helpers (cos sin tan acos asin atan atan2 sqrt)
against Python's math module on a table of values.

Both sides call the platform's C functions, so each molded result must read back
as the very double Python gives (NaN for NaN). sqrt of an integer must still be a
float.

Usage: radian_helpers.py ZOL_BINARY
"""
import math
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "support"))
from run_cases import run_cases  # noqa: E402

ANGLES = [0.0, 0.5, -0.5, 1.0, 2.0, -3.0, 0.1, 1e-9, 100.0, math.pi / 4, math.pi / 3]
UNIT = [0.0, 0.5, -0.5, 1.0, -1.0, 0.25, 2.0]
PAIRS = [(1, 0), (0, 1), (-1, 0), (0, -1), (1.5, -2.5), (-0.0, -1.0), (3, 4)]
ROOTS = [4, 2, 0, 1e10, 0.25, -1.0]


def zol_number(x):
    return repr(x) if isinstance(x, float) else str(x)


def cases():
    out = []
    for fn, py in [("cos", math.cos), ("sin", math.sin), ("tan", math.tan), ("atan", math.atan)]:
        out += [(f"{fn} {zol_number(x)}", py(x)) for x in ANGLES]
    for fn, py in [("acos", math.acos), ("asin", math.asin)]:
        out += [(f"{fn} {zol_number(x)}", py(x) if abs(x) <= 1 else math.nan) for x in UNIT]
    out += [(f"atan2 {zol_number(y)} {zol_number(x)}", math.atan2(y, x)) for y, x in PAIRS]
    out += [(f"sqrt {zol_number(x)}", math.sqrt(x) if x >= 0 else math.nan) for x in ROOTS]
    return out


def agrees(line, want):
    if math.isnan(want):
        return line == "1.#NaN"
    return "." in line and float(line) == want


def main():
    run_cases(sys.argv[1], cases(), agrees)

if __name__ == "__main__":
    main()
