#!/usr/bin/python3
"""Triangulation.query_ball_point, query_pairs and count_neighbors against
scipy.spatial.cKDTree's on the same data in the same run (random points in
the unit square; radii giving about --neighbours points per ball); the
structures are built first and not timed. Medians and ratios, one thread
each unless --workers.

    PYTHONPATH=build/release/python /usr/bin/python3 kyhost/python/bench/bench_radius_queries.py \
        [--points N] [--queries Q] [--neighbours K] [--repeat R] [--workers W]
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


def row(name, ours, theirs):
    print(f"{name:44s} kyhost {ours:7.3f} s   cKDTree {theirs:7.3f} s   ratio {ours / theirs:5.2f}x")


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--points", type=int, default=10**6)
    parser.add_argument("--queries", type=int, default=10**6)
    parser.add_argument("--neighbours", type=float, default=10)
    parser.add_argument("--repeat", type=int, default=3)
    parser.add_argument("--workers", type=int, default=1)
    options = parser.parse_args()
    rng = np.random.default_rng(20261208)
    points = rng.random((options.points, 2))
    queries = rng.random((options.queries, 2))
    r = float(np.sqrt(options.neighbours / (np.pi * options.points)))
    ours, theirs = kyhost.Triangulation(points), scipy.spatial.cKDTree(points)
    ours.query_ball_point(queries[:10], r)  # builds the search structures
    w = options.workers
    print(f"{options.points} points, {options.queries} queries, r = {r:.3g} (about {options.neighbours:g} "
          f"points per ball), workers={w}, medians of {options.repeat}")

    t_ours, a = timed(lambda: ours.query_ball_point(queries, r, workers=w), options.repeat)
    t_theirs, b = timed(lambda: theirs.query_ball_point(queries, r, workers=w), options.repeat)
    assert all(x == sorted(y) for x, y in zip(a[:1000], b[:1000]))
    row("query_ball_point (lists)", t_ours, t_theirs)
    t_ours, a = timed(lambda: ours.query_ball_point(queries, r, workers=w, return_length=True), options.repeat)
    t_theirs, b = timed(lambda: theirs.query_ball_point(queries, r, workers=w, return_length=True), options.repeat)
    assert (a == b).all()
    row("query_ball_point (return_length)", t_ours, t_theirs)

    t_ours, a = timed(lambda: ours.query_pairs(r, output_type="ndarray", workers=w), options.repeat)
    t_theirs, b = timed(lambda: theirs.query_pairs(r, output_type="ndarray"), options.repeat)
    assert a.shape == b.shape
    row("query_pairs (ndarray)", t_ours, t_theirs)
    t_ours, a = timed(lambda: ours.query_pairs(r, workers=w), options.repeat)
    t_theirs, b = timed(lambda: theirs.query_pairs(r), options.repeat)
    assert len(a) == len(b)
    row("query_pairs (set)", t_ours, t_theirs)

    other = kyhost.Triangulation(queries)
    other_tree = scipy.spatial.cKDTree(queries)
    t_ours, a = timed(lambda: ours.count_neighbors(other, r, workers=w), options.repeat)
    t_theirs, b = timed(lambda: theirs.count_neighbors(other_tree, r), options.repeat)
    assert a == b
    row("count_neighbors", t_ours, t_theirs)


if __name__ == "__main__":
    main()
