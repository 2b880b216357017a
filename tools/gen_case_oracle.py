#!/usr/bin/env python3
"""Writes tests/data/case_oracle.txt: Python's own upper and lower case of every
code point, the reference the case-mapping tables are tested against.

One line per code point whose str.upper() or str.lower() differs from itself:
    <code point> <upper> <lower>
in hexadecimal, where '=' means unchanged and '*' a result of several code points
(outside what one-to-one tables can hold, so not compared). Code points not
listed map to themselves both ways.

Usage: tools/gen_case_oracle.py [output]
"""
import os
import sys
import unicodedata

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
DEFAULT_OUTPUT = os.path.join(ROOT, "tests", "data", "case_oracle.txt")


def describe(char, mapped):
    if mapped == char:
        return "="
    if len(mapped) != 1:
        return "*"
    return f"{ord(mapped):X}"


def main():
    target = sys.argv[1] if len(sys.argv) > 1 else DEFAULT_OUTPUT
    lines = [f"# Python {sys.version.split()[0]}, Unicode {unicodedata.unidata_version}"]
    for cp in range(0x110000):
        if 0xD800 <= cp <= 0xDFFF:
            continue
        char = chr(cp)
        upper, lower = describe(char, char.upper()), describe(char, char.lower())
        if upper != "=" or lower != "=":
            lines.append(f"{cp:X} {upper} {lower}")
    os.makedirs(os.path.dirname(target), exist_ok=True)
    with open(target, "w", encoding="ascii") as f:
        f.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    main()
