#!/usr/bin/python3
"""Triangulation(p) (one sweep) against Triangulation(p, workers=1) and
Triangulation(p, workers=2) on uniform points: the whole call with
.simplices read, medians of alternating runs, wall, user and system time,
the ratios to the single sweep, and the share of points left to the seams.

    PYTHONPATH=build/release/python /usr/bin/python3 kyhost/python/bench/tiled_bench.py \\
        [--points 10000000] [--repeat 5]

(--points 1000000 for a quick run.) The load average is printed before and
after: figures taken at a load above about 0.3 are not comparable.
"""
import argparse
import os
import resource
import statistics
import time

import numpy as np

import kyhost


def timed(job):
    before = resource.getrusage(resource.RUSAGE_SELF)
    start = time.perf_counter()
    job()
    wall = time.perf_counter() - start
    after = resource.getrusage(resource.RUSAGE_SELF)
    return wall, after.ru_utime - before.ru_utime, after.ru_stime - before.ru_stime


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--points", type=int, default=10**7)
    parser.add_argument("--repeat", type=int, default=5)
    parser.add_argument("--seed", type=int, default=1)
    options = parser.parse_args()
    points = np.random.default_rng(options.seed).random((options.points, 2))
    variants = {"single sweep": {}, "workers=1": {"workers": 1}, "workers=2": {"workers": 2}}
    print(f"{options.points} uniform points, {options.repeat} alternating runs; load average {os.getloadavg()}")
    _, info = kyhost._kyhost._triangulate_tiled(points[:, 0].copy(), points[:, 1].copy(), 1)
    print(f"tiles {info['tiles']}, seam points {info['seam_points']} "
          f"(unfinished fraction {info['seam_points'] / options.points:.4f}), fell back {info['fell_back']}, "
          f"tile triangulator {info['triangulator']}")
    times = {name: [] for name in variants}
    for _ in range(options.repeat):
        for name, keywords in variants.items():
            times[name].append(timed(lambda: kyhost.Triangulation(points, **keywords).simplices))
    base = statistics.median(t[0] for t in times["single sweep"])
    for name, runs in times.items():
        wall, user, system = (statistics.median(t[k] for t in runs) for k in range(3))
        print(f"{name:13s} wall {wall:8.3f} s  user {user:8.3f} s  sys {system:6.3f} s  ratio {wall / base:.3f}")
    print(f"load average after {os.getloadavg()}")


if __name__ == "__main__":
    main()
