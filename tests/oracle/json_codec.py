#!/usr/bin/env python3
"""Checks load-json and to-json against Python's json module on generated documents.

Each document (nested objects and arrays; names that are words, that are not, and
that differ only in letter case, never repeated in one object; 32-bit integers;
floats; strings with escapes, control characters and text beyond ASCII) is written
to a file. One Zol program reads every file and writes four texts for each:
to-json of load-json (compact, /pretty "  " and /ascii) and the same of the
document's float-free twin. Then:
  - json.loads of the round trip equals json.loads of the document;
  - on float-free data, compact to-json equals json.dumps with separators (',', ':')
    and ensure_ascii=False, /pretty "  " equals indent=2, and /ascii equals
    ensure_ascii=True, Python's \\u escapes upper-cased (to-json writes upper-case
    hex digits).

Usage: json_codec.py ZOL_BINARY [SEED]
"""
import json
import os
import re
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "support"))
from findings import Findings, arguments, case_count, read_file  # noqa: E402

NAMES = ["a", "A", "b", "name", "Name", "NAME", "x-y", "é", "É", "1a", "a b", "a/b", "",
         " ", "it's", "#h", "a:b", "k\"q", "tab\tname", "漢字", "😀", "_", "-", "?x", "a.b"]
CHARS = list("abcXYZ 019") + ["\"", "\\", "/", "\n", "\r", "\t", "\b", "\f", "\x00", "\x01",
                             "\x1f", "\x7f", "é", "ß", "漢", "😀", "\u2028", "\uffff", "{", "["]


def text(rng):
    return "".join(rng.choice(CHARS) for _ in range(rng.randrange(0, 12)))


def number(rng, floats):
    if floats and rng.random() < 0.4:
        kind = rng.randrange(4)
        if kind == 0:
            return rng.uniform(-1000, 1000)
        if kind == 1:
            return rng.uniform(-1, 1) * 10 ** rng.randrange(-30, 30)
        if kind == 2:
            return float(rng.randrange(-10 ** 6, 10 ** 6)) / 8
        return rng.choice([0.5, -0.25, 1e300, 2.5e-300, 123456.789])
    return rng.choice([rng.randrange(-2 ** 31, 2 ** 31), rng.randrange(-100, 100), 0,
                       2 ** 31 - 1, -2 ** 31])


def value(rng, depth, floats):
    roll = rng.random()
    if depth < 4 and roll < 0.25:
        names = rng.sample(NAMES, rng.randrange(0, 6))
        return {n: value(rng, depth + 1, floats) for n in names}
    if depth < 4 and roll < 0.45:
        return [value(rng, depth + 1, floats) for _ in range(rng.randrange(0, 6))]
    if roll < 0.7:
        return text(rng)
    if roll < 0.9:
        return number(rng, floats)
    return rng.choice([True, False, None])


def without_floats(v):
    if isinstance(v, dict):
        return {k: without_floats(x) for k, x in v.items()}
    if isinstance(v, list):
        return [without_floats(x) for x in v]
    if isinstance(v, float):
        return int(v) if abs(v) < 2 ** 31 else 7
    return v


def upper_hex(s):
    """Python's text with upper-case \\u digits, and DEL as it is: to-json copies
    DEL unchanged even with /ascii."""
    s = re.sub(r"\\u([0-9a-f]{4})", lambda m: "\\u" + m.group(1).upper(), s)
    return s.replace("\\u007F", "\x7f")


def main():
    zol, seed, rng = arguments()
    docs = []
    for i in range(case_count(150)):
        v = value(rng, 0, True)
        # The document itself comes in both layouts, so white space is read too.
        doc = json.dumps(v, ensure_ascii=rng.random() < 0.5,
                         indent=rng.choice([None, 1, "\t"]))
        docs.append((doc, without_floats(v)))
    findings = Findings("json", seed)
    with tempfile.TemporaryDirectory() as tmp:
        program = []
        for i, (doc, plain) in enumerate(docs):
            for name, text_ in ((f"d{i}", doc), (f"p{i}", json.dumps(plain))):
                with open(os.path.join(tmp, name), "w", encoding="utf-8") as f:
                    f.write(text_)
                program.append(
                    f"v: load-json read %{name} "
                    f"write %{name}.c to-json v write %{name}.p to-json/pretty v \"  \" "
                    f"write %{name}.a to-json/ascii v")
        run = subprocess.run([zol], input="\n".join(program) + "\n", cwd=tmp,
                             capture_output=True, text=True, check=False)

        def out(name):
            return read_file(tmp, name) or "<missing>"

        check = findings.check
        for i, (doc, plain) in enumerate(docs):
            round_trip = out(f"d{i}.c")
            try:
                same = json.loads(round_trip) == json.loads(doc)
            except ValueError:
                same = False
            check(same, f"doc {i} round trip", round_trip, doc)
            compact = json.dumps(plain, separators=(",", ":"), ensure_ascii=False)
            check(out(f"p{i}.c") == upper_hex(compact), f"doc {i} compact", out(f"p{i}.c"), compact)
            pretty = json.dumps(plain, indent=2, ensure_ascii=False)
            check(out(f"p{i}.p") == upper_hex(pretty), f"doc {i} pretty", out(f"p{i}.p"), pretty)
            ascii_ = upper_hex(json.dumps(plain, separators=(",", ":"), ensure_ascii=True))
            check(out(f"p{i}.a") == ascii_, f"doc {i} ascii", out(f"p{i}.a"), ascii_)
    return findings.close(run)


if __name__ == "__main__":
    sys.exit(main())
