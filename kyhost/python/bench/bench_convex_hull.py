#!/usr/bin/python3
"""kyhost.ConvexHull against scipy.spatial.ConvexHull on the same points in
the same run (uniform in the unit square, and Gaussian): medians and ratios.

    PYTHONPATH=build/release/python /usr/bin/python3 kyhost/python/bench/bench_convex_hull.py \
        [--points N] [--repeat R]
"""
import argparse
import statistics
import time

import numpy as np
import scipy.spatial

import kyhost


def timed(run, repeat):
    times, result = [], None
    for _ in range(repeat):
        start = time.perf_counter()
        result = run()
        times.append(time.perf_counter() - start)
    return statistics.median(times), result


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--points", type=int, default=10**6)
    parser.add_argument("--repeat", type=int, default=5)
    options = parser.parse_args()
    rng = np.random.default_rng(20261208)
    print(f"{options.points} points, medians of {options.repeat}")
    for name, points in (("uniform", rng.random((options.points, 2))),
                         ("gaussian", rng.normal(size=(options.points, 2)))):
        ours_time, ours = timed(lambda: kyhost.ConvexHull(points), options.repeat)
        theirs_time, theirs = timed(lambda: scipy.spatial.ConvexHull(points), options.repeat)
        assert sorted(ours.vertices) == sorted(theirs.vertices)
        print(f"ConvexHull {name:10s} kyhost {ours_time:7.4f} s   scipy {theirs_time:7.4f} s   "
              f"ratio {ours_time / theirs_time:5.2f}x   ({ours.vertices.size} vertices)")


if __name__ == "__main__":
    main()
