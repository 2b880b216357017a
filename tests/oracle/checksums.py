#!/usr/bin/python3
"""Checks the checksums that `zol` computes against Python's zlib (and a plain
Internet checksum written here) over a random corpus of strings: empty, short,
every kind of character from NUL to the astral planes, and longer than 1 MB.

Usage: checksums.py ZOL_BINARY [SEED]

Strings reach zol as source text with every character outside printable ASCII
written as a ^(hex) escape, so the corpus is exactly what Python encodes.
The digests and HMAC answer binary! values, which zol does not have yet; their
bytes are checked against published vectors in the unit tests instead.
"""
import random
import subprocess
import sys
import zlib


def tcp(data: bytes) -> int:
    if len(data) % 2:
        data += b"\0"
    total = sum(int.from_bytes(data[i:i + 2], "big") for i in range(0, len(data), 2))
    while total >> 16:
        total = (total & 0xFFFF) + (total >> 16)
    return ~total & 0xFFFF


def signed32(v: int) -> int:
    return v - (1 << 32) if v >= 1 << 31 else v


def literal(text: str) -> str:
    out = []
    for ch in text:
        if " " <= ch <= "~" and ch not in '"^':
            out.append(ch)
        else:
            out.append("^(%X)" % ord(ch))
    return '"' + "".join(out) + '"'


def random_text(rng: random.Random, length: int) -> str:
    pools = [
        lambda: chr(rng.randrange(0x20, 0x7F)),
        lambda: chr(rng.randrange(0, 0x20)),
        lambda: chr(rng.randrange(0x80, 0x800)),
        lambda: chr(rng.choice([rng.randrange(0x800, 0xD800), rng.randrange(0xE000, 0x10000)])),
        lambda: chr(rng.randrange(0x10000, 0x110000)),
    ]
    mix = rng.choice([[0], [0, 1], [0, 2, 3], [0, 1, 2, 3, 4], [4]])
    return "".join(pools[rng.choice(mix)]() for _ in range(length))


def corpus(rng: random.Random):
    texts = ["", "a", "abc", "123456789", "^", '"', "\0", "\0" * 7]
    texts += [random_text(rng, rng.randrange(1, 40)) for _ in range(120)]
    texts += [random_text(rng, rng.randrange(40, 20000)) for _ in range(30)]
    # Over 1 MB of UTF-8: a plain run and a mixed one.
    texts.append("".join(chr(rng.randrange(0x20, 0x7F)) for _ in range(1_100_000)))
    texts.append(random_text(rng, 400_000))
    return texts


def main() -> int:
    zol = sys.argv[1]
    seed = int(sys.argv[2]) if len(sys.argv) > 2 else random.SystemRandom().randrange(1 << 30)
    rng = random.Random(seed)
    texts = corpus(rng)
    program = []
    for t in texts:
        program.append("s: " + literal(t) + " ()")
        program.append("print [\"R:\" checksum s 'crc32 checksum s 'adler32 checksum s 'tcp]")
    run = subprocess.run([zol], input="\n".join(program) + "\n", capture_output=True,
                         text=True, encoding="utf-8")
    got = [line[3:].split() for line in run.stdout.splitlines() if line.startswith("R: ")]
    failures = 0
    if len(got) != len(texts):
        print("seed %d: %d results for %d texts; stderr: %s"
              % (seed, len(got), len(texts), run.stderr[-2000:]))
        return 1
    for t, answer in zip(texts, got):
        data = t.encode("utf-8")
        want = [str(signed32(zlib.crc32(data))), str(signed32(zlib.adler32(data))), str(tcp(data))]
        if answer != want:
            failures += 1
            if failures <= 5:
                print("seed %d: text of %d bytes %r...: zol %s, python %s"
                      % (seed, len(data), t[:20], answer, want))
    print("seed %d: %d texts, %d mismatches" % (seed, len(texts), failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
