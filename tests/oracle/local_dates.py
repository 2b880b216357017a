#!/usr/bin/env python3
"""Checks to-UTC-date and to-local-date under a daylight-saving zone written as a
POSIX rule (no zone database needed) against Python's datetime.astimezone under
the same TZ. A January date must take the winter offset and a July date the
summer one, whenever the program runs; the moment itself never changes.

Usage: local_dates.py ZOL_BINARY
"""
import datetime
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "support"))
from run_cases import run_cases  # noqa: E402
import time

TZ = "CET-1CEST,M3.5.0,M10.5.0/3"
MOMENTS = [  # (year, month, day, hour, minute, offset minutes of the given date)
    (2026, 1, 15, 12, 0, 0), (2026, 7, 15, 12, 0, 0), (2026, 1, 15, 23, 30, -300),
    (2026, 7, 1, 0, 15, 330), (2026, 3, 29, 0, 59, 0), (2026, 3, 29, 1, 0, 0),
    (2026, 10, 25, 0, 59, 0), (2026, 10, 25, 1, 0, 0), (2001, 12, 31, 23, 0, 60),
]


def zol_zone(minutes, hour_digits=1):
    sign = "-" if minutes < 0 else "+"
    return f"{sign}{abs(minutes) // 60:0{hour_digits}d}:{abs(minutes) % 60:02d}"


def zol_date(d):
    text = f"{d.day}-{d.strftime('%b')}-{d.year}/{d.hour}:{d.minute:02d}:{d.second:02d}"
    offset = int(d.utcoffset().total_seconds()) // 60
    return text if offset == 0 else text + zol_zone(offset, 2)


def main():
    os.environ["TZ"] = TZ
    time.tzset()
    cases = []
    for y, mo, d, h, mi, off in MOMENTS:
        given = datetime.datetime(y, mo, d, h, mi, tzinfo=datetime.timezone(datetime.timedelta(minutes=off)))
        source = f"{d}-{given.strftime('%b')}-{y}/{h}:{mi:02d}{zol_zone(off) if off else ''}"
        cases.append((f"to-local-date {source}", zol_date(given.astimezone())))
        cases.append((f"to-UTC-date {source}", zol_date(given.astimezone(datetime.timezone.utc))))
    run_cases(sys.argv[1], cases, lambda line, want: line == want, env=dict(os.environ))

if __name__ == "__main__":
    main()
