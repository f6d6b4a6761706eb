#!/usr/bin/env python3
"""Runs a command N times; prints the median wall time (s) and the peak
resident memory (MiB) of the slowest child, as 'median_s peak_mib'."""
import resource
import statistics
import subprocess
import sys
import time


def main() -> int:
    runs = int(sys.argv[1])
    cmd = sys.argv[2:]
    times = []
    peak_kib = 0
    for _ in range(runs):
        before = resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss
        start = time.monotonic()
        done = subprocess.run(cmd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        times.append(time.monotonic() - start)
        if done.returncode != 0:
            print(f"command failed ({done.returncode}): {' '.join(cmd)}", file=sys.stderr)
            return 1
        # ru_maxrss of children is the largest of any child so far.
        peak_kib = max(peak_kib, resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss, before)
    print(f"{statistics.median(times):.2f} {peak_kib / 1024:.0f}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
