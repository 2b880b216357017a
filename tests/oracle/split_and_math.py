#!/usr/bin/env python3
"""Checks split and math against Python on generated input.

split: random texts over a small alphabet rich in delimiters, cut with delimiters
of one and several characters (against str.split) and with a bitset (against
re.split of the same character class). math: random expressions of small
non-negative integers with + - * ** and parens, against Python's eval, wherever
the result is an integer that fits 32 bits. A power's exponent is a literal of at
most 3 and is not itself raised, and a paren's value stays below 1000, so that
no partial result leaves 64 bits.

Usage: split_and_math.py ZOL_BINARY [SEED]
"""
import os
import random
import re
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "support"))
from findings import case_count  # noqa: E402
from run_cases import run_cases  # noqa: E402

ALPHABET = "ab,;:"
STRING_DELIMITERS = [",", ";", ":", "::", ",;", "ab", "a:b"]
CLASSES = [",;", ":", "b,"]


def zol_string(text):
    return '"' + text + '"'


def zol_block_of_strings(pieces):
    return "[" + " ".join(zol_string(p) for p in pieces) + "]"


def split_cases(rng):
    cases = []
    for _ in range(case_count(300)):
        text = "".join(rng.choice(ALPHABET) for _ in range(rng.randint(0, 14)))
        dlm = rng.choice(STRING_DELIMITERS)
        cases.append((f"split {zol_string(text)} {zol_string(dlm)}",
                      zol_block_of_strings(text.split(dlm))))
        chars = rng.choice(CLASSES)
        if len(dlm) == 1:
            cases.append((f"split {zol_string(text)} #\"{dlm}\"",
                          zol_block_of_strings(text.split(dlm))))
        cases.append((f"split {zol_string(text)} charset {zol_string(chars)}",
                      zol_block_of_strings(re.split("[" + re.escape(chars) + "]", text))))
    return cases


def operand(rng, depth):
    if depth > 0 and rng.random() < 0.3:
        inner = expression(rng, depth - 1)
        # A paren stays below 1000, so that its cube times a few more stays
        # inside 64 bits.
        if abs(eval(inner)) < 1000:
            return "(" + inner + ")"
    return str(rng.randint(0, 9))


def expression(rng, depth):
    parts = [operand(rng, depth)]
    for _ in range(rng.randint(0, 4)):
        op = rng.choice(["+", "-", "*", "**"])
        # No power of a power: the exponent stays a small literal.
        if op == "**" and parts[-2:-1] == ["**"]:
            op = "*"
        parts.append(op)
        parts.append(str(rng.randint(0, 3)) if op == "**" else operand(rng, depth))
    return " ".join(parts)


def math_cases(rng):
    cases = []
    while len(cases) < case_count(400):
        text = expression(rng, 2)
        want = eval(text)  # the generator writes only digits, operators and parens
        if isinstance(want, int) and -2**31 <= want < 2**31:
            cases.append((f"math [{text}]", str(want)))
    return cases


def main():
    rng = random.Random(int(sys.argv[2]) if len(sys.argv) > 2 else 34)
    run_cases(sys.argv[1], split_cases(rng) + math_cases(rng), lambda line, want: line == want)

if __name__ == "__main__":
    main()
