#!/usr/bin/env python3
"""The update job's section of the results page (Markdown), from bench/run's
updates.tsv: round, road (entries or whole), seconds from the launcher's
start to the game's, bytes the server sent of the new version's package and
manifest, and the road the launcher's log named. The second argument is the
new package, whose size the bytes are compared with."""
import os
import statistics
import sys
from collections import defaultdict


def main():
    rows = defaultdict(list)
    took = defaultdict(set)
    for line in open(sys.argv[1]):
        f = line.rstrip("\n").split("\t")
        if len(f) < 5:
            continue
        rows[f[1]].append((int(f[0]), float(f[2]), int(f[3])))
        took[f[1]].add(f[4])
    package = os.path.getsize(sys.argv[2])
    print("\n## Update 105 -> 106 (about 5 % of the files changed)\n")
    print(f"The new package is {package / (1 << 20):.1f} MiB. Median of {max(len(v) for v in rows.values())} "
          "rounds, range in brackets; the bytes are what the server's access log counted.\n")
    print("| road | launcher start to game start, s | bytes fetched | share of the package | road the log named |")
    print("|---|---|---|---|---|")
    for road in ("entries", "whole"):
        if road not in rows:
            continue
        secs = [r[1] for r in rows[road]]
        sent = [r[2] for r in rows[road]]
        print(f"| {road} | {statistics.median(secs):.2f} [{min(secs):.2f}-{max(secs):.2f}] "
              f"| {statistics.median(sent):,.0f} [{min(sent):,}-{max(sent):,}] "
              f"| {statistics.median(sent) / package:.1%} | {', '.join(sorted(took[road]))} |")
    if "entries" in rows and "whole" in rows:
        by_round = {r[0]: r for r in rows["whole"]}
        time_ratio = [by_round[r[0]][1] / r[1] for r in rows["entries"] if r[0] in by_round and r[1]]
        byte_ratio = [by_round[r[0]][2] / r[2] for r in rows["entries"] if r[0] in by_round and r[2]]
        if time_ratio and byte_ratio:
            print(f"\nBy entries against the whole package, per round: {statistics.median(byte_ratio):.1f} times "
                  f"fewer bytes, {statistics.median(time_ratio):.1f} times less time to the game (medians).")


if __name__ == "__main__":
    main()
