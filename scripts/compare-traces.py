#!/usr/bin/env python3
"""Compares two traces of `aquarium-headless trace` (CSV, same seed and steps).

Prints the first step where any number differs, and how far apart the two
runs are after that: for some steps, the largest difference of the
creature's position (tank units) and of its orientation quaternion.

    compare-traces.py linux.csv windows.csv
"""
import csv
import math
import sys


def rows(path):
    with open(path, newline="") as f:
        reader = csv.reader(f)
        header = next(reader)
        return header, [r for r in reader]


def main():
    if len(sys.argv) != 3:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    header, a = rows(sys.argv[1])
    header_b, b = rows(sys.argv[2])
    if header != header_b or len(a) != len(b):
        print("traces differ in shape", file=sys.stderr)
        return 2
    first = None
    for ra, rb in zip(a, b):
        if ra != rb:
            first = ra
            columns = [header[i] for i in range(len(ra)) if ra[i] != rb[i]]
            break
    if first is None:
        print(f"identical: {len(a)} rows")
        return 0
    print(f"first difference at step {first[0]} in {', '.join(columns)}")
    col = {name: i for i, name in enumerate(header)}
    marks = {int(r[0]) for r in a if int(r[0]) in (60, 300, 600, 1200, 1800, 3000, 4200, 6000)}
    print("step  position_diff  quaternion_diff")
    for ra, rb in zip(a, b):
        step = int(ra[0])
        if step not in marks:
            continue
        dp = math.dist([float(ra[col[c]]) for c in ("px", "py", "pz")],
                       [float(rb[col[c]]) for c in ("px", "py", "pz")])
        dq = math.dist([float(ra[col[c]]) for c in ("qw", "qx", "qy", "qz")],
                       [float(rb[col[c]]) for c in ("qw", "qx", "qy", "qz")])
        print(f"{step:5d}  {dp:13.3g}  {dq:15.3g}")
    return 1


if __name__ == "__main__":
    sys.exit(main())
