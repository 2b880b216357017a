#!/usr/bin/env python3
"""Checks the download cache's folder and names against the environment and
Python's hashlib.

zol runs with XDG_CACHE_HOME set to a temporary folder (then unset and empty, with
HOME pointing at another one): system/options/cache must be $XDG_CACHE_HOME/zol/,
else $HOME/.cache/zol/. For generated urls (urls that differ only in letter case
among them), path-thru must be that folder, cache/, the first two digits and then
all 32 digits of hashlib.md5(url).hexdigest().upper(); each url gets its own file,
the folders are made on the way and no file is. exists-thru? of a local file must
leave the cache folder alone.

Usage: download_cache.py ZOL_BINARY [SEED]
"""
import hashlib
import os
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "support"))
from findings import Findings, arguments  # noqa: E402
from run_cases import console_lines  # noqa: E402


def run(zol, program, env):
    """Runs the program in the folder of its temporary cache, where it may write."""
    return subprocess.run([zol], input=program, capture_output=True, text=True, check=False,
                          env=env, cwd=os.path.dirname(env["HOME"]))


def main():
    zol, seed, rng = arguments()
    findings = Findings("download cache", seed)
    with tempfile.TemporaryDirectory() as tmp:
        xdg, home = os.path.join(tmp, "xdg"), os.path.join(tmp, "home")
        os.mkdir(home)
        base = {k: v for k, v in os.environ.items() if not k.startswith("ZOL_GC")}
        for xdg_value, want in ((xdg, xdg + "/zol/"), (None, home + "/.cache/zol/"),
                                ("", home + "/.cache/zol/")):
            env = dict(base, HOME=home)
            env.pop("XDG_CACHE_HOME", None)
            if xdg_value is not None:
                env["XDG_CACHE_HOME"] = xdg_value
            got = "\n".join(console_lines(run(zol, "print system/options/cache\n", env).stdout)).strip()
            findings.check(got == want, f"cache folder with XDG_CACHE_HOME={xdg_value!r}", got, want)

        env = dict(base, HOME=home, XDG_CACHE_HOME=xdg)
        urls = []
        for _ in range(40):
            path = "".join(rng.choice("abcXYZ019-_/") for _ in range(rng.randrange(1, 20)))
            url = f"http://{rng.choice(['example.com', 'Example.COM', 'h'])}/{path}"
            urls += [url, url.upper(), url.lower()]
        urls = list(dict.fromkeys(urls))
        program = "".join(f"print path-thru {u}\n" for u in urls)
        program += "write %local.txt {x} print exists-thru? %local.txt\n"
        program += "print exists-thru? %nothing.txt\n"
        result = run(zol, program, env)
        lines = console_lines(result.stdout)
        root = xdg + "/zol/cache/"
        for i, u in enumerate(urls):
            digits = hashlib.md5(u.encode()).hexdigest().upper()
            want = f"{root}{digits[:2]}/{digits}"
            got = lines[i] if i < len(lines) else "<missing>"
            findings.check(got == want, f"path-thru {u}", got, want)
            findings.check(os.path.isdir(root + digits[:2]) and not os.path.exists(want),
                           f"folders of {u}", os.listdir(root) if os.path.isdir(root) else None,
                           digits[:2])
        files = [f for _, _, names in os.walk(root) for f in names]
        findings.check(files == [], "no file made by path-thru", files, [])
        findings.check(lines[len(urls):] == ["true", "false"], "exists-thru? of local files",
                       lines[len(urls):], ["true", "false"])

        env = dict(base, HOME=home, XDG_CACHE_HOME=os.path.join(tmp, "untouched"))
        run(zol, "write %local.txt {x} print exists-thru? %local.txt\n", env)
        # The console keeps its configuration under the cache folder too; only the
        # download cache inside it must stay untouched.
        touched = os.path.exists(os.path.join(tmp, "untouched", "zol", "cache"))
        findings.check(not touched, "exists-thru? of a local file touches no cache", touched, False)
    return findings.close(result)


if __name__ == "__main__":
    sys.exit(main())
