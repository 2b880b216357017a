#!/usr/bin/env python3
"""Checks decode-url against Python's urllib.parse.urlsplit on generated urls.

Each url is built from random parts: a scheme, an optional user-info, a host (a
name, an IPv4 address or a bracketed IPv6 literal), an optional port, a path of
segments with percent escapes, an optional query and fragment. decode-url's
scheme, host, port, path (directory and target joined), query and fragment must
agree with urlsplit's, percent escapes decoded on both sides. encode-url of the
result must give the url back for urls without escapes.

Usage: url_parts.py ZOL_BINARY [SEED]
"""
import json
import os
import subprocess
import sys
from urllib.parse import unquote, urlsplit

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "support"))
from findings import Findings, arguments, case_count  # noqa: E402
from run_cases import console_lines  # noqa: E402

PCHAR = "abcxyzABC019-._~!$&'()*+,;=:@"
# No %2F: a decoded slash moves the split between directory and target.
ESCAPES = ["%41", "%C3%A9", "%20", "%e6%bc%a2", "%25"]


def word(rng, alphabet, low, high):
    return "".join(rng.choice(alphabet) for _ in range(rng.randrange(low, high)))


def segment(rng, escapes):
    parts = [word(rng, PCHAR.replace(":", "").replace("@", ""), 0, 4)]
    if escapes and rng.random() < 0.5:
        parts.append(rng.choice(ESCAPES))
    parts.append(word(rng, PCHAR, 0, 3))
    text = "".join(parts)
    # A segment of dots names a directory to split-path, not a target.
    return text + "a" if text.strip(".") == "" and text else text


def url(rng, escapes):
    scheme = rng.choice("abhz") + word(rng, "abcz09+-.", 0, 6)
    host = rng.choice([
        word(rng, "abcdefxyz0123-.", 1, 12),
        ".".join(str(rng.randrange(256)) for _ in range(4)),
        "[::1]", "[fe80::a:1]", "[2001:db8::7]",
    ])
    authority = host
    if rng.random() < 0.3:
        authority = word(rng, "abcu019-._~!$&'()*+,;=:", 0, 6) + "@" + authority
    if rng.random() < 0.5:
        authority += ":" + str(rng.randrange(1, 65536))
    path = "".join("/" + segment(rng, escapes) for _ in range(rng.randrange(0, 4)))
    text = f"{scheme}://{authority}{path}"
    if rng.random() < 0.4:
        text += "?" + word(rng, PCHAR + "/?", 0, 8) + (rng.choice(ESCAPES) if escapes else "")
    if rng.random() < 0.4:
        text += "#" + word(rng, PCHAR + "/?", 0, 8)
    return text


def main():
    zol, seed, rng = arguments()
    urls = [(url(rng, i % 2 == 0), i % 2 == 0) for i in range(case_count(400))]
    program = []
    for text, _ in urls:
        program.append(
            f'o: decode-url "{text}" print to-json either o [reduce [form o/scheme o/host o/port '
            f'rejoin [any [o/path ""] any [o/target ""]] o/query o/fragment form encode-url o]] [none]')
    run = subprocess.run([zol], input="\n".join(program) + "\n", capture_output=True,
                         text=True, check=False)
    got = console_lines(run.stdout)
    findings = Findings("urls", seed)
    for i, (text, escaped) in enumerate(urls):
        parts = urlsplit(text)
        netloc = parts.netloc.rpartition("@")[2]
        host = netloc.rsplit(":", 1)[0] if not netloc.endswith("]") else netloc
        has_query = "?" in text.partition("#")[0]
        want = [parts.scheme, unquote(host), parts.port, unquote(parts.path),
                unquote(parts.query) if has_query else None,
                unquote(parts.fragment) if "#" in text else None]
        try:
            line = json.loads(got[i])
            ok = line is not None and line[:6] == want and (escaped or line[6] == text)
        except (IndexError, ValueError, TypeError):
            line, ok = got[i] if i < len(got) else "<missing>", False
        findings.check(ok, text, line, want)
    return findings.close(run)


if __name__ == "__main__":
    sys.exit(main())
