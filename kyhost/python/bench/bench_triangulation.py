#!/usr/bin/python3
"""kyhost.Triangulation against scipy.spatial in the same run, and the two
ratios that matter to a scipy user:

1. nearest on an existing object, N points and Q queries in random order,
   against the query of an existing cKDTree (workers=1); also object
   construction plus query against tree build plus query;
2. building the object plus neighbors plus find_simplex for F queries,
   against scipy.spatial.Delaunay doing the same.

    PYTHONPATH=build/release/python /usr/bin/python3 kyhost/python/bench/bench_triangulation.py \\
        [--points 1000000] [--queries 1000000] [--located 100000] [--repeat 3]

Times are medians of --repeat runs; the load average is printed too, as the
machine may be shared.
"""
import argparse
import os
import statistics
import time

import numpy as np
import scipy.spatial

import kyhost


def median_time(run, repeat):
    times, result = [], None
    for _ in range(repeat):
        start = time.perf_counter()
        result = run()
        times.append(time.perf_counter() - start)
    return statistics.median(times), result


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--points", type=int, default=10**6)
    parser.add_argument("--queries", type=int, default=10**6)
    parser.add_argument("--located", type=int, default=10**5)
    parser.add_argument("--repeat", type=int, default=3)
    parser.add_argument("--seed", type=int, default=20261207)
    options = parser.parse_args()
    rng = np.random.default_rng(options.seed)
    points = rng.random((options.points, 2))
    queries = rng.random((options.queries, 2))  # random order
    located = rng.random((options.located, 2))
    print(f"{options.points} points, {options.queries} random-order queries, {options.located} located; "
          f"load average {os.getloadavg()[0]:.2f}")

    # 1. Nearest points.
    build_ours, ours = median_time(lambda: kyhost.Triangulation(points), options.repeat)
    ours.nearest(queries[:10, 0], queries[:10, 1])  # the neighbour matrix, built once per object
    query_ours, found = median_time(lambda: ours.nearest(queries[:, 0], queries[:, 1]), options.repeat)
    build_tree, tree = median_time(lambda: scipy.spatial.cKDTree(points), options.repeat)
    query_tree, (_, expected) = median_time(lambda: tree.query(queries, workers=1), options.repeat)
    differ = np.count_nonzero(found != expected)
    print(f"nearest: object {query_ours:.3f} s, cKDTree query {query_tree:.3f} s "
          f"({differ} answers differ, ties)")
    print(f"  ratio nearest / cKDTree query: {query_ours / query_tree:.2f}  (target <= 1.0)")
    cold, _ = median_time(lambda: kyhost.Triangulation(points).nearest(queries[:, 0], queries[:, 1]), 1)
    print(f"  construction + first query {cold:.3f} s vs tree build + query {build_tree + query_tree:.3f} s: "
          f"ratio {cold / (build_tree + query_tree):.2f} (object build alone {build_ours:.3f} s)")

    # 2. Construction + neighbours + point location.
    def ours_locate():
        t = kyhost.Triangulation(points)
        t.neighbors
        return t.find_simplex(located)

    def scipy_locate():
        d = scipy.spatial.Delaunay(points)
        d.neighbors
        return d.find_simplex(located)

    time_ours, simplex = median_time(ours_locate, options.repeat)
    time_scipy, theirs = median_time(scipy_locate, options.repeat)
    assert np.array_equal(simplex < 0, theirs < 0)
    print(f"build + neighbors + find_simplex: object {time_ours:.3f} s, scipy Delaunay {time_scipy:.3f} s")
    print(f"  ratio object / Delaunay: {time_ours / time_scipy:.2f}  (target <= 0.5)")
    print(f"load average at the end {os.getloadavg()[0]:.2f}")


if __name__ == "__main__":
    main()
