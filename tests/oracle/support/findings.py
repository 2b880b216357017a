"""What the oracles that compare many generated cases share: a tally of the cases
that differ (the first few printed with the seed), files read back from the run's
folder, and the closing line and exit status.

The scripts in the folder above import it; it is not a test itself.
"""
import os
import random
import sys

SHOWN = 8


class Findings:
    def __init__(self, name, seed):
        self.name, self.seed = name, seed
        self.cases = self.failures = 0

    def check(self, ok, what, got, want):
        """Counts one case; prints it when it differs (the first few only)."""
        self.cases += 1
        if not ok:
            self.failures += 1
            if self.failures <= SHOWN:
                print(f"FAILED (seed {self.seed}) {what}:\n  zol    {got!r:.300}\n  python {want!r:.300}")

    def close(self, run):
        """Prints the closing line; the exit status: 1 when a case differs or zol failed."""
        if run.returncode != 0:
            print(run.stdout[-2000:], run.stderr[-2000:])
        print(f"{self.name}: {self.cases - self.failures} agree with Python, {self.failures} differ")
        return 1 if self.failures or run.returncode != 0 else 0


def case_count(count):
    """How many random cases to make: all of them, or a quarter under the
    collector's stress mode. A stressed run looks for memory faults (a moving
    collection at almost every allocation); a quarter of the cases, of every kind,
    finds those as well and takes a quarter of the time. The unstressed runs
    check every case against Python."""
    stress = os.environ.get("ZOL_GC_STRESS", "")
    return count if stress in ("", "0") else max(1, count // 4)


def arguments(default_seed=35):
    """The zol binary and the seed from the command line, and a generator on it."""
    zol = sys.argv[1]
    seed = int(sys.argv[2]) if len(sys.argv) > 2 else default_seed
    return zol, seed, random.Random(seed)


def read_file(folder, name):
    """A file the Zol program wrote, as text (line ends kept), or None."""
    try:
        with open(os.path.join(folder, name), encoding="utf-8", newline="") as f:
            return f.read()
    except OSError:
        return None
