#!/usr/bin/python3
"""Checks `compress` and `decompress` of `zol` against Python's zlib and gzip
modules and the gzip(1) program, in both directions, over a random corpus: empty,
one byte, runs, text, random bytes, several MB, and more than 64 KB (so that zlib
at level 0 writes several stored blocks).

- Ours to theirs: our deflate, zlib and gzip outputs must decode with
  zlib.decompress(x, -15), zlib.decompress, gzip.decompress and `gzip -dc`.
- Theirs to ours: Python's zlib at levels 0 to 9, raw streams (wbits -15),
  gzip.compress with an mtime, `gzip -c file` (FNAME set), `gzip -n`, and headers
  made here with FEXTRA, FCOMMENT and FHCRC must decode to the original.
- Refused with "data not in correct format:": a preset dictionary, window code 8,
  a bad FCHECK, a wrong Adler-32, CRC-32 or ISIZE, reserved flag bits, truncated
  streams and concatenated gzip members.
- A string compresses as its UTF-8 bytes, an unknown method raises "invalid
  argument:" with the word, and decompress/size works with the exact, a smaller
  and a larger size.

Usage: compression.py ZOL_BINARY [SEED]
"""
import gzip
import os
import random
import re
import struct
import subprocess
import sys
import tempfile
import zlib

REFUSED = "data not in correct format:"
ANSWER = re.compile(r"^R(\d+):(?: (.*))?$")


def corpus(rng: random.Random):
    words = [b"deflate", b"stream", b"block", b"the", b"of", b"window", b"\n", b"zol", b"code"]
    def text(n):
        out = bytearray()
        while len(out) < n:
            out += rng.choice(words) + b" "
        return bytes(out[:n])
    return [
        b"",
        bytes([rng.randrange(256)]),
        b"a" * 300,
        bytes([0]) * 100_000,
        text(5_000),
        bytes(rng.randrange(256) for _ in range(3_000)),
        bytes(rng.randrange(256) for _ in range(70_000)),   # > 64 KB, incompressible
        text(3_000_000) + bytes(rng.randrange(256) for _ in range(200_000)),  # several MB
        "Grüße, ☺ and 𝄞".encode("utf-8") * 50,
    ]


def hexed(data: bytes) -> str:
    return "#{" + data.hex().upper() + "}"


class Program:
    """Zol source whose statements print one "R<n>: ..." line each, with what
    the Python side expects of each line."""

    def __init__(self):
        self.lines = []
        self.checks = []

    def add(self, zol_expression: str, check, label: str):
        n = len(self.checks)
        self.lines.append('r: try [%s] print ["R%d:" either equal? error! type? r '
                          '[either find form r "%s" ["REFUSED"] [form r]] [enbase/base r 16]]'
                          % (zol_expression, n, REFUSED))
        self.checks.append((check, label))

    def run(self, zol: str):
        run = subprocess.run([zol], input="\n".join(self.lines) + "\n", capture_output=True,
                             text=True, encoding="utf-8")
        answers = {}
        for line in run.stdout.splitlines():
            m = ANSWER.match(line)
            if m:
                answers[int(m.group(1))] = (m.group(2) or "").strip()
        return answers, run.stderr


def decoded_by(decoder, want: bytes):
    return lambda answer: answer != "REFUSED" and decoder(bytes.fromhex(answer)) == want


def equals(want: bytes):
    return lambda answer: answer == want.hex().upper()


def refused(answer: str):
    return answer == "REFUSED"


def gzip_tool(args, data: bytes) -> bytes:
    return subprocess.run(["gzip"] + args, input=data, capture_output=True, check=True).stdout


def gzip_file(data: bytes) -> bytes:
    with tempfile.TemporaryDirectory() as d:
        path = os.path.join(d, "named.txt")
        with open(path, "wb") as f:
            f.write(data)
        return subprocess.run(["gzip", "-c", path], capture_output=True, check=True).stdout


def gzip_header(flags: int, fields: bytes, data: bytes) -> bytes:
    raw = zlib.compressobj(6, zlib.DEFLATED, -15)
    body = raw.compress(data) + raw.flush()
    header = bytes([0x1F, 0x8B, 8, flags]) + struct.pack("<I", 1234567) + bytes([0, 3]) + fields
    if flags & 0x02:
        header += struct.pack("<H", zlib.crc32(header) & 0xFFFF)
    return header + body + struct.pack("<II", zlib.crc32(data), len(data) & 0xFFFFFFFF)


def zlib_with_header(cmf: int, flg: int, data: bytes) -> bytes:
    return bytes([cmf, flg]) + zlib.compress(data)[2:]


def fcheck(cmf: int, flg: int) -> int:
    flg &= 0xE0
    return flg | (31 - (cmf * 256 + flg) % 31) % 31


def build(rng: random.Random, items):
    p = Program()
    for i, data in enumerate(items):
        name = "item %d (%d bytes)" % (i, len(data))
        p.lines.append("d: " + hexed(data) + " ()")
        # Ours to theirs.
        p.add("compress d 'deflate", decoded_by(lambda x: zlib.decompress(x, -15), data), name + " deflate")
        p.add("compress d 'zlib", decoded_by(zlib.decompress, data), name + " zlib")
        p.add("compress d 'gzip", decoded_by(gzip.decompress, data), name + " gzip")
        p.add("compress d 'gzip", decoded_by(lambda x: gzip_tool(["-dc"], x), data), name + " gzip -dc")
        # Theirs to ours.
        streams = [("zlib level %d" % level, zlib.compress(data, level), "zlib") for level in range(10)]
        raw = zlib.compressobj(rng.randrange(10), zlib.DEFLATED, -15)
        streams.append(("raw stream", raw.compress(data) + raw.flush(), "deflate"))
        streams.append(("gzip.compress with mtime", gzip.compress(data, mtime=1234567890), "gzip"))
        streams.append(("gzip -c file", gzip_file(data), "gzip"))
        streams.append(("gzip -n", gzip_tool(["-n", "-c"], data), "gzip"))
        streams.append(("FEXTRA FCOMMENT FHCRC", gzip_header(0x04 | 0x10 | 0x02,
                        struct.pack("<H", 5) + b"ab\x00cd" + b"a comment\x00", data), "gzip"))
        for label, stream, method in streams:
            p.lines.append("s: " + hexed(stream) + " ()")
            p.add("decompress s '%s" % method, equals(data), "%s %s" % (name, label))
    return p


def add_refusals(p: Program, rng: random.Random):
    data = b"refused streams say so, refused streams say so " * 20
    z = zlib.compress(data)
    g = gzip.compress(data, mtime=0)
    dictionary = zlib.compressobj(zdict=b"refused streams")
    fdict = dictionary.compress(data) + dictionary.flush()
    cases = [
        ("preset dictionary", fdict, "zlib"),
        ("window code 8", zlib_with_header(0x88, fcheck(0x88, 0), data), "zlib"),
        ("bad FCHECK", bytes([z[0], z[1] ^ 1]) + z[2:], "zlib"),
        ("wrong Adler-32", z[:-1] + bytes([z[-1] ^ 0xFF]), "zlib"),
        ("wrong CRC-32", g[:-8] + bytes([g[-8] ^ 1]) + g[-7:], "gzip"),
        ("wrong ISIZE", g[:-4] + struct.pack("<I", len(data) - 1), "gzip"),
        ("reserved flag bits", g[:3] + bytes([0x20]) + g[4:], "gzip"),
        ("concatenated members", g + gzip.compress(b"second", mtime=0), "gzip"),
        ("member followed by a prefix of it", g + gzip.compress(data[:10], mtime=0), "gzip"),
    ]
    for cut in sorted({1, 5, len(z) // 2, len(z) - 5, len(z) - 1}):
        cases.append(("zlib cut to %d bytes" % cut, z[:cut], "zlib"))
    for cut in sorted({10, 19, len(g) // 2, len(g) - 1}):
        cases.append(("gzip cut to %d bytes" % cut, g[:cut], "gzip"))
    raw = zlib.compressobj(9, zlib.DEFLATED, -15)
    r = raw.compress(data) + raw.flush()
    cases.append(("raw stream cut inside its block", r[: len(r) // 2], "deflate"))
    for label, stream, method in cases:
        p.lines.append("s: " + hexed(stream) + " ()")
        p.add("decompress s '%s" % method, refused, "refused: " + label)


def add_natives(p: Program):
    text = "Grüße ☺ text, text, text"
    utf8 = text.encode("utf-8")
    p.lines.append('t: "%s" ()' % text)
    p.add("compress t 'zlib", decoded_by(zlib.decompress, utf8), "string as UTF-8")
    p.add("compress \"x\" 'lzw", lambda a: a.startswith("*** Script Error: invalid argument: lzw"),
          "unknown method")
    z = zlib.compress(utf8 * 10)
    p.lines.append("s: " + hexed(z) + " ()")
    for size in (len(utf8) * 10, 3, len(utf8) * 10 + 1000):
        p.add("decompress/size s 'zlib %d" % size, equals(utf8 * 10), "/size %d" % size)


def main() -> int:
    zol = sys.argv[1]
    seed = int(sys.argv[2]) if len(sys.argv) > 2 else random.SystemRandom().randrange(1 << 30)
    rng = random.Random(seed)
    p = build(rng, corpus(rng))
    add_refusals(p, rng)
    add_natives(p)
    answers, stderr = p.run(zol)
    failures = 0
    for n, (check, label) in enumerate(p.checks):
        answer = answers.get(n)
        ok = answer is not None
        if ok:
            try:
                ok = check(answer)
            except Exception as e:  # a decoder that refuses our bytes
                ok = False
                answer = "%s (%s)" % (answer[:60], e)
        if not ok:
            failures += 1
            if failures <= 10:
                shown = "no answer" if answer is None else answer[:120]
                print("seed %d: %s: %s" % (seed, label, shown))
    if len(answers) != len(p.checks):
        print("stderr: " + stderr[-2000:])
    print("seed %d: %d checks, %d failures" % (seed, len(p.checks), failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
