#!/usr/bin/env python3
"""Checks the library's radian helpers (cos sin tan acos asin atan atan2 sqrt)
against Python's math module on a table of values.

Both sides call the platform's C functions, so each molded result must read back
as the very double Python gives (NaN for NaN). sqrt of an integer must still be a
float.

Usage: radian_helpers.py ZOL_BINARY
"""
import math
import subprocess
import sys

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


def main():
    zol = sys.argv[1]
    all_cases = cases()
    program = "\n".join(f"print mold {expr}" for expr, _ in all_cases) + "\n"
    run = subprocess.run([zol], input=program, capture_output=True, text=True, check=False)
    got = run.stdout.splitlines()
    failures = 0
    for i, (expr, want) in enumerate(all_cases):
        line = got[i] if i < len(got) else "<missing>"
        if math.isnan(want):
            ok = line == "1.#NaN"
        else:
            try:
                ok = "." in line and float(line) == want
            except ValueError:
                ok = False
        if not ok:
            failures += 1
            print(f"{expr}: zol {line}, python {want!r}")
    if run.returncode != 0 or failures:
        print(f"{failures} of {len(all_cases)} differ; exit status {run.returncode}")
        sys.exit(1)
    print(f"{len(all_cases)} results agree")


if __name__ == "__main__":
    main()
