#!/usr/bin/env python3
"""Prints a short timing summary of the build that just ran: wall time, the steps ninja ran, their
summed time and the slowest ones, read from the build directory's .ninja_log entries after line
FIRST (the log's length before the build).

usage: build_summary.py BUILD_DIR FIRST_LINE WALL_SECONDS JOBS
"""
import sys


def main():
    build, first, wall, jobs = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), sys.argv[4]
    steps = {}
    try:
        with open(f"{build}/.ninja_log", encoding="utf-8") as log:
            lines = log.readlines()
    except OSError:
        lines = []
    if first > len(lines):  # ninja rewrote (compacted) the log: count it all
        first = 0
    for line in lines[first:]:
        fields = line.rstrip("\n").split("\t")
        if line.startswith("#") or len(fields) != 5:
            continue
        start, end, _, output, command = fields
        # A step with several outputs has a line for each: one step per command and start.
        steps[(command, start)] = (output, (int(end) - int(start)) / 1000.0)
    total = sum(sec for _, sec in steps.values())
    print(f"build time: {wall} s ({build}, {jobs} jobs): {len(steps)} steps, {total:.0f} s of work")
    slowest = sorted(steps.values(), key=lambda s: -s[1])[:5]
    if slowest:
        print("  slowest: " + ", ".join(f"{name.split('/')[-1]} {sec:.1f} s" for name, sec in slowest))


if __name__ == "__main__":
    main()
