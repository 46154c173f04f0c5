#!/usr/bin/python3
"""griddata(method="nearest") and NearestNDInterpolator against scipy's on
the same data in the same run (random points in the unit square, queries on
a square grid over it): medians and ratios; and find_simplex on the same
grid, in grid order and shuffled, against scipy.spatial.Delaunay's.

    PYTHONPATH=build/release/python /usr/bin/python3 kyhost/python/bench/bench_nearest_interpolation.py \
        [--points N] [--queries Q] [--repeat R]
"""
import argparse
import statistics
import time

import numpy as np
import scipy.interpolate
import scipy.spatial

import kyhost


def timed(run, repeat):
    times, result = [], None
    for _ in range(repeat):
        start = time.perf_counter()
        result = run()
        times.append(time.perf_counter() - start)
    return statistics.median(times), result


def row(name, ours, theirs):
    print(f"{name:48s} kyhost {ours:8.3f} s   scipy {theirs:8.3f} s   ratio {ours / theirs:5.2f}x")


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--points", type=int, default=10**6)
    parser.add_argument("--queries", type=int, default=10**6, help="about this many, on a square grid")
    parser.add_argument("--repeat", type=int, default=3)
    parser.add_argument("--skip-find-simplex", action="store_true")
    options = parser.parse_args()
    rng = np.random.default_rng(20261208)
    points = rng.random((options.points, 2))
    values = rng.normal(size=options.points)
    side = int(round(options.queries ** 0.5))
    gx, gy = np.meshgrid(np.linspace(0, 1, side), np.linspace(0, 1, side))
    print(f"{options.points} points, {side}x{side} queries, medians of {options.repeat}")

    ours_time, ours = timed(lambda: kyhost.griddata(points, values, (gx, gy), method="nearest"), options.repeat)
    theirs_time, theirs = timed(lambda: scipy.interpolate.griddata(points, values, (gx, gy), method="nearest"),
                                options.repeat)
    assert np.array_equal(ours, theirs)
    row("griddata nearest (build and queries)", ours_time, theirs_time)

    ours_build, ours_object = timed(lambda: kyhost.NearestNDInterpolator(points, values), options.repeat)
    theirs_build, theirs_object = timed(lambda: scipy.interpolate.NearestNDInterpolator(points, values),
                                        options.repeat)
    row("NearestNDInterpolator construction", ours_build, theirs_build)
    ours_call, _ = timed(lambda: ours_object(gx, gy), options.repeat)
    theirs_call, _ = timed(lambda: theirs_object(gx, gy), options.repeat)
    row("NearestNDInterpolator call", ours_call, theirs_call)

    if options.skip_find_simplex:
        return
    ours_tri = kyhost.Triangulation(points)
    theirs_tri = scipy.spatial.Delaunay(points)
    grid = np.column_stack([gx.ravel(), gy.ravel()])
    shuffled = grid[rng.permutation(grid.shape[0])]
    ours_tri.find_simplex(grid[:10])  # point location built outside the timing
    for name, q in (("find_simplex, queries in grid order", grid), ("find_simplex, queries shuffled", shuffled)):
        ours_time, _ = timed(lambda: ours_tri.find_simplex(q), options.repeat)
        theirs_time, _ = timed(lambda: theirs_tri.find_simplex(q), options.repeat)
        row(name, ours_time, theirs_time)


if __name__ == "__main__":
    main()
