#!/usr/bin/env python3
"""Checks load-csv and to-csv against Python's csv module, both ways.

Generated tables (fields with commas, quotes, spaces, LF, CR, text beyond ASCII and
empty fields; every row of a table the same length) are written with
csv.writer(lineterminator='\\n'). That writer leaves a field whose only special
character is a CR unquoted, which no reader can tell from a line end (Python's own
reader splits it too), so the tables given to it have an LF beside every CR; the
tables to-csv writes keep their bare CRs. One Zol program reads each file with
load-csv and writes what it got as JSON (to-json), and writes the rows back with
to-csv.
Python then checks that load-csv gave the rows it wrote, and that csv.reader reads
the to-csv text back to the same strings. The column names of load-csv/as-columns
are checked against the bijective base-26 numbering (A..Z, AA, ...).

Usage: csv_codec.py ZOL_BINARY [SEED]
"""
import csv
import io
import json
import os
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "support"))
from findings import Findings, arguments, case_count, read_file  # noqa: E402

PIECES = ["a", "b c", ",", '"', '""', " ", "\n", "\r", "\r\n", "é", "漢字", "😀", "x,y", "'", ";",
          "\t", "0", "-1.5", "", "end "]


def field(rng):
    return "".join(rng.choice(PIECES) for _ in range(rng.randrange(0, 5)))


def quotable(rows):
    """The rows with an LF added to each field holding a CR and nothing else that
    csv.writer quotes."""
    def fix(f):
        return f + "\n" if "\r" in f and not any(c in f for c in ',"\n') else f
    return [[fix(f) for f in row] for row in rows]


def column_name(n):
    name = ""
    while n:
        n, r = divmod(n - 1, 26)
        name = chr(65 + r) + name
    return name


def main():
    zol, seed, rng = arguments()
    tables = []
    for _ in range(case_count(120)):
        width = rng.randrange(1, 6)
        rows = [[field(rng) for _ in range(width)] for _ in range(rng.randrange(1, 8))]
        # A row of one empty field is written as "" and reads back as one field.
        tables.append(rows)
    columns = 800
    findings = Findings("csv", seed)
    with tempfile.TemporaryDirectory() as tmp:
        program = []
        for i, rows in enumerate(tables):
            with open(os.path.join(tmp, f"t{i}.csv"), "w", encoding="utf-8", newline="") as f:
                csv.writer(f, lineterminator="\n").writerows(quotable(rows))
            program.append(f"write %t{i}.json to-json load-csv read %t{i}.csv")
            with open(os.path.join(tmp, f"r{i}.json"), "w", encoding="utf-8") as f:
                json.dump(rows, f)
            program.append(f"write %r{i}.csv to-csv load-json read %r{i}.json")
        program.append("write %columns.json to-json keys-of load-csv/as-columns "
                       f"append/dup copy \"0\" \",0\" {columns - 1}")
        run = subprocess.run([zol], input="\n".join(program) + "\n", cwd=tmp,
                             capture_output=True, text=True, check=False)

        def read(name):
            return read_file(tmp, name)

        check = findings.check
        for i, rows in enumerate(tables):
            loaded = read(f"t{i}.json")
            check(loaded is not None and json.loads(loaded) == quotable(rows),
                  f"load-csv of table {i}", loaded, quotable(rows))
            written = read(f"r{i}.csv")
            # csv.reader gives [] for an empty line, the one row of one empty field
            # that to-csv writes without quotes (and load-csv reads back as such).
            back = [row or [""] for row in csv.reader(io.StringIO(written or ""))]
            check(written is not None and back == rows, f"to-csv of table {i}", written, rows)
        names = read("columns.json")
        want = [column_name(n) for n in range(1, columns + 1)]
        check(names is not None and json.loads(names) == want, "column names", names, want[:30])
    return findings.close(run)


if __name__ == "__main__":
    sys.exit(main())
