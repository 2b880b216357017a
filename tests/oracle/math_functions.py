#!/usr/bin/env python3
"""Checks zol's logarithms, roots and angle functions against Python's math module.

A random corpus of arguments (integers, wide-ranging floats, and whole degrees,
where the degree functions are expected to be exact at the multiples of 30 and
45) is written into one Zol program that prints the mold of each result. Zol
molds a float with the digits needed to read it back, so each printed line is
read as a float and must be the value Python gives, to within one unit in the
last place (the platform's functions may round the last bit either way); at the
multiples of 30 and 45 degrees, and for the NaN and infinite results, exactly.

Usage: math_functions.py ZOL_BINARY [SEED]
"""
import math
import os
import random
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "support"))
from run_cases import run_cases  # noqa: E402

EXACT_SINES = {0: 0.0, 30: 0.5, 90: 1.0, 150: 0.5, 180: 0.0, 210: -0.5, 270: -1.0, 330: -0.5}


def sine_of_degrees(degrees, quarter_turns=0):
    """The sine of whole degrees (plus quarter turns), reduced exactly to an angle
    within 45 degrees of a quadrant point first, so that Python's answer does not
    carry the error of a large angle in radians."""
    r = degrees % 360
    q = round(r / 90)
    e = math.radians(r - 90 * q)
    return [math.sin(e), math.cos(e), -math.sin(e), -math.cos(e)][(q + quarter_turns) % 4]


def cases(rng):
    """(zol expression, expected float, exact?) triples."""
    out = []
    positives = [rng.uniform(1e-6, 1e6) for _ in range(60)] + [rng.randrange(1, 10**6) for _ in range(20)]
    for x in positives:
        out.append((f"log-2 {x!r}", math.log(x) / math.log(2), False))
        out.append((f"log-10 {x!r}", math.log10(x), False))
        out.append((f"log-e {x!r}", math.log(x), False))
        out.append((f"square-root {x!r}", math.sqrt(x), False))
    for x in [rng.uniform(-50, 50) for _ in range(40)]:
        out.append((f"exp {x!r}", math.e ** x, False))
    for x in [rng.uniform(-1, 1) for _ in range(40)]:
        out.append((f"arcsine/radians {x!r}", math.asin(x), False))
        out.append((f"arccosine/radians {x!r}", math.acos(x), False))
        out.append((f"arctangent/radians {x * 100!r}", math.atan(x * 100), False))
        out.append((f"arctangent2/radians {x!r} {x - 0.3!r}", math.atan2(x, x - 0.3), False))
    for x in [rng.uniform(-10, 10) for _ in range(40)]:
        out.append((f"sine/radians {x!r}", math.sin(x), False))
        out.append((f"cosine/radians {x!r}", math.cos(x), False))
    for d in [rng.choice([7, 11, 13, 17, 23, 37, 41, 53, 67, 71, 83, 89]) + 90 * rng.randrange(-4, 4)
              for _ in range(40)]:
        out.append((f"sine {d}", sine_of_degrees(d), False))
        out.append((f"cosine {d}", sine_of_degrees(d, 1), False))
    for turns in range(-2, 3):
        for d, s in EXACT_SINES.items():
            out.append((f"sine {d + 360 * turns}", s, True))
            out.append((f"cosine {d + 90 + 360 * turns}", -s if s else 0.0, True))
        for d, t in [(45, 1.0), (135, -1.0), (225, 1.0), (315, -1.0), (0, 0.0), (180, 0.0)]:
            out.append((f"tangent {d + 360 * turns}", t, True))
    out += [("square-root -1", math.nan, True), ("log-e 0", -math.inf, True),
            ("tangent 90", math.inf, True), ("tangent -90", -math.inf, True)]
    return out


def zol_float(text):
    return {"1.#NaN": math.nan, "1.#INF": math.inf, "-1.#INF": -math.inf}.get(text) or float(text)


def agrees(got, want, exact):
    if math.isnan(want):
        return math.isnan(got)
    if exact or math.isinf(want):
        return got == want
    return got == want or abs(got - want) <= math.ulp(want)


def main():
    seed = int(sys.argv[2]) if len(sys.argv) > 2 else 23
    all_cases = [(expr, (want, exact)) for expr, want, exact in cases(random.Random(seed))]
    run_cases(sys.argv[1], all_cases, lambda line, want: agrees(zol_float(line), *want))

if __name__ == "__main__":
    main()
