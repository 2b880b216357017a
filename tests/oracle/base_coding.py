#!/usr/bin/env python3
"""Checks zol's base-64 and base-16 coding against Python's base64 module.

A random corpus of byte strings (every length up to 70, then some long ones,
with runs of zero and 0xFF bytes mixed in) is written as binary literals into
one Zol program that prints enbase of each in both bases and the hex of debase
of Python's text (the mold, with its line breaks removed). Every printed line
must be what Python gives for the same bytes.

Usage: base_coding.py ZOL_BINARY [SEED]
"""
import base64
import random
import subprocess
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "support"))
from run_cases import console_lines  # noqa: E402


def corpus(rng):
    samples = [bytes(rng.randrange(256) for _ in range(n)) for n in range(71)]
    samples += [bytes(rng.randrange(256) for _ in range(rng.randrange(100, 3000)))
                for _ in range(20)]
    samples += [b"\x00" * 5, b"\xff" * 7, b"\x00\xff" * 9]
    return samples


def main():
    zol = sys.argv[1]
    seed = int(sys.argv[2]) if len(sys.argv) > 2 else 19
    rng = random.Random(seed)
    program, expected = [], []
    for data in corpus(rng):
        literal = "#{" + data.hex() + "}"
        b64 = base64.b64encode(data).decode()
        b16 = base64.b16encode(data).decode()
        program.append(f"print enbase {literal}")
        expected.append(b64)
        program.append(f"print enbase/base {literal} 16")
        expected.append(b16)
        program.append(f'print enbase/base debase "{b64}" 16')
        expected.append(b16)
        program.append(f'print enbase debase/base "{b16.lower()}" 16')
        expected.append(b64)
    run = subprocess.run([zol], input="\n".join(program) + "\n", capture_output=True,
                         text=True, check=False)
    got = console_lines(run.stdout)
    failures = 0
    for i, want in enumerate(expected):
        line = got[i] if i < len(got) else "<missing>"
        if line != want:
            failures += 1
            if failures <= 5:
                print(f"FAILED (seed {seed}): {program[i][:80]}\n  got  {line[:80]}\n  want {want[:80]}")
    print(f"base coding: {len(expected) - failures} agree with Python, {failures} differ")
    return 1 if failures or run.returncode != 0 else 0


if __name__ == "__main__":
    sys.exit(main())
