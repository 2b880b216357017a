"""The loop every oracle shares: one Zol program that prints the mold of each
case's expression, run once, each printed line judged against the case's expected
value, the differences listed and the exit status set.

The scripts in the folder above import it; it is not a test itself (the test list
takes only that folder's own scripts).
"""
import subprocess
import sys


def run_cases(zol, cases, agrees, env=None):
    """cases: (Zol expression, expected) pairs; agrees(line, expected) judges one
    printed line. Exits 1 when any case differs or zol fails."""
    program = "\n".join(f"print mold {expr}" for expr, _ in cases) + "\n"
    run = subprocess.run([zol], input=program, capture_output=True, text=True, check=False,
                         env=env)
    got = console_lines(run.stdout)
    failures = 0
    for i, (expr, want) in enumerate(cases):
        line = got[i] if i < len(got) else "<missing>"
        try:
            ok = agrees(line, want)
        except ValueError:
            ok = False
        if not ok:
            failures += 1
            print(f"{expr}: zol {line}, python {want!r}")
    if run.returncode != 0 or failures:
        print(f"{failures} of {len(cases)} differ; exit status {run.returncode}")
        sys.exit(1)
    print(f"{len(cases)} results agree")


def console_lines(stdout):
    """The lines a piped console printed, without its three-line banner."""
    lines = stdout.splitlines()
    return lines[3:] if lines and lines[0].startswith("--== Zol") else lines
