#!/usr/bin/python3
"""Checks money! arithmetic, comparison and text against Python's decimal module
on random amounts: sums, differences, products and quotients by decimal
factors (cut to 5 decimals, never rounded), remainders, quotients of two
amounts (a float!), rounding to a random scale in every mode, comparisons,
and the molded and formed texts. Results outside the 17 integer digits, and
non-zero products or quotients that cut to zero, must be errors.

Usage: money.py ZOL_BINARY [SEED]

Each case is one line of source that prints "R:" and its answer; an error
prints "R: E".
"""
import os
import random
import subprocess
import sys
from decimal import Decimal, ROUND_DOWN, localcontext

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "support"))
from findings import case_count  # noqa: E402

UNIT = Decimal("0.00001")
LIMIT = Decimal(10) ** 17
CASES = case_count(300)


def random_amount(rng: random.Random) -> Decimal:
    """An amount whose digits run from a random first place down to the
    hundred-thousandths, so small, large and mixed magnitudes all occur."""
    digits = rng.randint(1, 22)
    units = rng.randrange(10 ** (digits - 1), 10 ** digits) if rng.random() < 0.95 else 0
    value = Decimal(units).scaleb(-5)
    return -value if rng.random() < 0.5 else value


def random_factor(rng: random.Random) -> Decimal:
    """A decimal number that a float! literal holds exactly in its shortest
    digits: at most 15 significant digits and 5 decimals, at least 0.00001."""
    places = rng.randint(0, 5)
    digits = rng.randint(1, 15)
    units = rng.randrange(10 ** (digits - 1), 10 ** digits)
    value = Decimal(units).scaleb(-places)
    if value >= LIMIT:
        value = Decimal(units % 10 ** 12).scaleb(-places) or Decimal(1)
    return -value if rng.random() < 0.5 else value


def money_source(value: Decimal, code: str = "") -> str:
    sign = "-" if value < 0 else ""
    return "%s%s$%s" % (sign, code, format(abs(value), "f"))


def float_source(value: Decimal) -> str:
    text = format(value, "f")
    return text if "." in text else text + ".0"


def cut(value: Decimal) -> Decimal:
    return value.quantize(UNIT, rounding=ROUND_DOWN)


def mold_all(value: Decimal, code: str = "") -> str:
    sign = "-" if value < 0 else ""
    return "%s%s$%s" % (sign, code, format(abs(value).quantize(UNIT), "f"))


def form(value: Decimal, code: str = "") -> str:
    """Grouped in threes from the units, two decimals cut."""
    sign = "-" if value < 0 else ""
    whole, fraction = format(abs(value).quantize(UNIT), "f").split(".")
    groups = []
    while len(whole) > 3:
        groups.insert(0, whole[-3:])
        whole = whole[:-3]
    groups.insert(0, whole)
    return "%s%s$%s.%s" % (sign, code, "'".join(groups), fraction[:2])


def amount_result(exact: Decimal, code: str = "") -> str:
    """The answer to an operation that keeps 5 decimals."""
    kept = cut(exact)
    if abs(kept) >= LIMIT or (kept == 0 and exact != 0):
        return "E"
    return mold_all(kept, code)


def rounded(value: Decimal, scale: Decimal, mode: str) -> str:
    """Rounding of the magnitude to a multiple of the scale: a half is half
    the scale, /even looks at the parity of the multiple below."""
    scale = abs(scale)
    if value == 0 or scale == 0:
        return mold_all(value)
    magnitude = abs(value)
    negative = value < 0
    below = magnitude % scale
    if below == 0:
        return mold_all(value)
    above = scale - below
    lower = magnitude - below
    lower_even = (magnitude // scale) % 2 == 0
    if mode == "down":
        up = False
    elif mode == "floor":
        up = negative
    elif mode == "ceiling":
        up = not negative
    elif below != above:
        up = below > above
    elif mode == "even":
        up = not lower_even
    elif mode == "half-down":
        up = False
    elif mode == "half-ceiling":
        up = not negative
    else:
        up = True
    result = magnitude + above if up else lower
    if result >= LIMIT:
        return "E"
    return mold_all(-result if negative else result)


def cases(rng: random.Random):
    """(source, expected) pairs."""
    modes = ["", "even", "down", "half-down", "floor", "ceiling", "half-ceiling"]
    for _ in range(CASES):
        a, b = random_amount(rng), random_amount(rng)
        code = rng.choice(["", "", "USD"])
        sa, sb = money_source(a, code), money_source(b, code if rng.random() < 0.5 else "")
        f = random_factor(rng)
        n = rng.randint(-2 ** 31, 2 ** 31 - 1)
        yield "%s + %s" % (sa, sb), amount_result(a + b, code)
        yield "%s - %s" % (sa, sb), amount_result(a - b, code)
        yield "%s * %s" % (sa, float_source(f)), amount_result(a * f, code)
        yield "%s * %d" % (sa, n), amount_result(a * n, code)
        yield "%s / %s" % (sa, float_source(f)), amount_result(a / f, code)
        if n != 0:
            yield "%s / %d" % (sa, n), amount_result(a / n, code)
        if b != 0:
            rest = abs(a) % abs(b)
            yield "remainder %s %s" % (sa, sb), mold_all(-rest if a < 0 and rest else rest, code)
            quotient = cut(a / b)
            fits = abs(quotient) < LIMIT and (quotient != 0 or a == 0)
            yield "%s / %s" % (sa, sb), ("F", quotient) if fits else "E"
        yield "reduce [%s < %s %s = %s %s >= %s]" % (sa, sb, sa, sb, sa, sb), \
            "[%s]" % " ".join("#(%s)" % str(x).lower() for x in (a < b, a == b, a >= b))
        yield "form %s" % sa, '"%s"' % form(a, code)
        mode = rng.choice(modes)
        scale = random_amount(rng) if rng.random() < 0.7 else Decimal(rng.randint(1, 1000))
        value = a
        if rng.random() < 0.3 and scale != 0:
            # An exact half of the scale above a multiple of it, when there is one.
            step = abs(scale)
            half = step / 2
            if cut(half) == half:
                multiple = rng.randint(0, 10 ** rng.randint(0, 6))
                value = (multiple * step + half).copy_sign(a)
                if abs(value) >= LIMIT:
                    value = a
        refinement = "/" + mode if mode else ""
        as_integer = scale == scale.to_integral() and abs(scale) < 2 ** 31 and rng.random() < 0.5
        scale_source = str(int(scale)) if as_integer else money_source(scale)
        yield "round%s/to %s %s" % (refinement, money_source(value), scale_source), \
            rounded(value, scale, mode)


def main() -> int:
    zol = sys.argv[1]
    seed = int(sys.argv[2]) if len(sys.argv) > 2 else random.SystemRandom().randrange(1 << 30)
    rng = random.Random(seed)
    with localcontext() as context:
        context.prec = 80
        table = list(cases(rng))
    program = ['r: try [%s] print ["R:" either error! = type? r ["E"] [mold/all r]]' % source
               for source, _ in table]
    run = subprocess.run([zol], input="\n".join(program) + "\n", capture_output=True,
                         text=True, encoding="utf-8")
    got = [line[3:] for line in run.stdout.splitlines() if line.startswith("R: ")]
    if len(got) != len(table):
        print("seed %d: %d results for %d cases; stderr: %s"
              % (seed, len(got), len(table), run.stderr[-2000:]))
        return 1
    failures = 0
    for (source, expected), answer in zip(table, got):
        if isinstance(expected, tuple):   # a float!: the cut quotient, read back
            ok = answer != "E" and float(answer) == float(expected[1])
        else:
            ok = answer == expected
        if not ok:
            failures += 1
            if failures <= 20:
                print("seed %d: %s gave %s, expected %s" % (seed, source, answer, expected))
    print("seed %d: %d cases, %d mismatches" % (seed, len(table), failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
