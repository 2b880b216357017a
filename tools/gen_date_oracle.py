#!/usr/bin/env python3
"""Writes tests/data/date_oracle.txt: calendar facts computed by Python's datetime,
which the date! unit test compares with what Zol computes for the same dates.

Each line is: kind, a Zol expression, the expected mold, separated by " | ".
The set is random but seeded, so the file only changes when this script does.
"""
import datetime
import random
import sys

MONTHS = ["Jan", "Feb", "Mar", "Apr", "May", "Jun",
          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"]
EPOCH = datetime.datetime(1970, 1, 1, tzinfo=datetime.timezone.utc)


def text(d):
    return f"{d.day}-{MONTHS[d.month - 1]}-{d.year:04d}" if d.year < 100 else \
        f"{d.day}-{MONTHS[d.month - 1]}-{d.year}"


def random_date(rng, low=1, high=9999):
    start = datetime.date(low, 1, 1).toordinal()
    end = datetime.date(high, 12, 31).toordinal()
    return datetime.date.fromordinal(rng.randint(start, end))


def cases(rng):
    for _ in range(200):
        a, b = random_date(rng), random_date(rng)
        yield "days", f"{text(a)} - {text(b)}", str((a - b).days)
    for _ in range(200):
        d = random_date(rng)
        yield "weekday", f"pick {text(d)} 10", str(d.isoweekday())
        yield "isoweek", f"pick {text(d)} 14", str(d.isocalendar()[1])
        yield "yearday", f"pick {text(d)} 11", str(d.timetuple().tm_yday)
    for _ in range(200):
        d = random_date(rng, 1, 5000)
        n = rng.randint(0, 400 * 366)
        yield "add", f"{text(d)} + {n}", text(d + datetime.timedelta(days=n))
    for _ in range(200):
        moment = EPOCH + datetime.timedelta(seconds=rng.randint(-2**31, 2**31 - 1))
        seconds = int((moment - EPOCH).total_seconds())
        clock = f"{moment.hour}:{moment.minute:02d}:{moment.second:02d}"
        yield "epoch", f"to integer! {text(moment.date())}/{clock}", str(seconds)
        yield "from-epoch", f"to date! {seconds}", f"{text(moment.date())}/{clock}"


def main():
    rng = random.Random(22)
    out = [f"# Python {sys.version.split()[0]}, datetime; kind | expression | mold"]
    out += [" | ".join(c) for c in cases(rng)]
    with open(sys.argv[1] if len(sys.argv) > 1 else "tests/data/date_oracle.txt", "w") as f:
        f.write("\n".join(out) + "\n")


if __name__ == "__main__":
    main()
