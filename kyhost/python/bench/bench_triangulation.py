#!/usr/bin/python3
"""kyhost.Triangulation against scipy.spatial in the same run, each figure a
median of runs taken in turn with its peer's, and the ratio ours / peer's:

- query: query(k=1) and query(k=8) on an existing object against an existing
  cKDTree's query, one thread (workers=1) and all (workers=-1);
  nearest(keep_order=True) against the default order;
- shapes: nearest against cKDTree where the spread of the points matters
  (one query at 1e15, lognormal sigma 5 points and queries, a grid with
  ties everywhere, points in convex position) and find_simplex there;
- locate: find_simplex against scipy.spatial.Delaunay's (random order),
  and bruteforce=True against scipy's bruteforce;
- cold: object construction plus first query against tree construction plus
  query, and construction plus neighbors plus find_simplex against
  scipy.spatial.Delaunay doing the same.

    PYTHONPATH=build/release/python /usr/bin/python3 kyhost/python/bench/bench_triangulation.py \\
        [--points 1000000] [--queries 1000000] [--repeat 5] [--sections query,shapes,locate,cold]

The load average is printed before and after: the machine may be shared.
"""
import argparse
import os
import statistics
import time
import warnings

import numpy as np
import scipy.spatial

import kyhost


def in_turn(ours, theirs, repeat):
    """Runs ours() and theirs() alternately; medians of both and their ratio."""
    mine, peers = [], []
    for _ in range(repeat):
        start = time.perf_counter()
        ours()
        mine.append(time.perf_counter() - start)
        start = time.perf_counter()
        theirs()
        peers.append(time.perf_counter() - start)
    a, b = statistics.median(mine), statistics.median(peers)
    return a, b, a / b


def report(label, figures, target=None):
    a, b, ratio = figures
    goal = f"  (target <= {target})" if target is not None else ""
    print(f"  {label:<58} {a:8.3f} s vs {b:8.3f} s  ratio {ratio:5.2f}{goal}", flush=True)


def query_section(points, queries, repeat):
    print("query on an existing object against an existing cKDTree:")
    ours = kyhost.Triangulation(points)
    ours.query(queries[:10])  # the search index, built once per object
    tree = scipy.spatial.cKDTree(points)
    for workers in (1, -1):
        report(f"query(k=1, workers={workers}) / cKDTree",
               in_turn(lambda: ours.query(queries, workers=workers), lambda: tree.query(queries, workers=workers),
                       repeat), 0.3 if workers == 1 else None)
        report(f"query(k=8, workers={workers}) / cKDTree",
               in_turn(lambda: ours.query(queries, 8, workers=workers),
                       lambda: tree.query(queries, 8, workers=workers), repeat), 1.0 if workers == 1 else None)
    report("nearest(keep_order=True) / nearest()",
           in_turn(lambda: ours.nearest(queries, keep_order=True), lambda: ours.nearest(queries), repeat))
    side = int(np.sqrt(len(points)))
    gx, gy = np.meshgrid(np.arange(side, dtype=float), np.arange(side, dtype=float))
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", kyhost.KyWarning)
        grid = kyhost.Triangulation(gx.ravel(), gy.ravel())
    rng = np.random.default_rng(5)
    tied = rng.integers(0, 2 * side, size=(len(queries) // 10, 2)) / 2.0  # ties between 2 or 4 points
    grid.nearest(tied[:10])
    report(f"grid {side}x{side}, half-step queries: keep_order=True / default",
           in_turn(lambda: grid.nearest(tied, keep_order=True), lambda: grid.nearest(tied), repeat))


def shapes_section(n, q, repeat):
    print("nearest against cKDTree query, and find_simplex against Delaunay's, on shaped sets:")
    rng = np.random.default_rng(7)
    uniform = rng.random((n, 2))
    far = rng.random((q, 2))
    far[0] = 1e15
    t = np.linspace(-1, 1, n // 100)
    arc = np.linspace(1, 2, n // 10)
    shapes = {
        "uniform points, one query at 1e15": (uniform, far),
        "lognormal sigma 5 points and queries": (rng.lognormal(0, 5, (n, 2)), rng.lognormal(0, 5, (q, 2))),
        f"{n // 100} points on y = x^2, {q // 100} queries": (np.column_stack([t, t * t]),
                                                             np.column_stack([rng.uniform(-1, 1, q // 100),
                                                                              rng.uniform(0, 1, q // 100)])),
        f"{n // 10} points on y = x^2, x in [1, 2] (a fan)": (np.column_stack([arc, arc * arc]),
                                                             np.column_stack([rng.uniform(1, 2, q // 10),
                                                                              rng.uniform(1, 4, q // 10)])),
    }
    for label, (data, queries) in shapes.items():
        with warnings.catch_warnings():
            warnings.simplefilter("ignore", kyhost.KyWarning)  # sweeptri's note on cocircular points
            ours = kyhost.Triangulation(data)
        ours.nearest(queries[:10])
        tree = scipy.spatial.cKDTree(data)
        # cKDTree is slow on points along a curve: one run of it there.
        report(f"{label}: nearest / cKDTree", in_turn(lambda: ours.nearest(queries), lambda: tree.query(queries),
                                                      repeat if "x^2" not in label else 1))
        if len(data) <= 10**4:
            delaunay = scipy.spatial.Delaunay(data)
            ours.find_simplex(queries[:10])
            report(f"{label}: find_simplex / Delaunay",
                   in_turn(lambda: ours.find_simplex(queries), lambda: delaunay.find_simplex(queries), repeat))
        else:
            ours.find_simplex(queries[:10])
            start = time.perf_counter()
            ours.find_simplex(queries)
            print(f"  {label}: find_simplex {time.perf_counter() - start:.3f} s")


def locate_section(points, queries, repeat):
    print("find_simplex against scipy.spatial.Delaunay (both built already):")
    ours = kyhost.Triangulation(points)
    ours.find_simplex(queries[:10])
    delaunay = scipy.spatial.Delaunay(points)
    located = queries[: max(len(queries) // 10, 1)]
    report(f"find_simplex, {len(located)} random-order queries / Delaunay",
           in_turn(lambda: ours.find_simplex(located), lambda: delaunay.find_simplex(located), repeat))
    few = queries[:20]
    report(f"find_simplex(bruteforce=True), {len(few)} queries / Delaunay's",
           in_turn(lambda: ours.find_simplex(few, bruteforce=True), lambda: delaunay.find_simplex(few, bruteforce=True),
                   max(repeat // 2, 1)), 1.0)


def cold_section(points, queries, repeat):
    print("from nothing to answers:")
    report("Triangulation + query / cKDTree + query",
           in_turn(lambda: kyhost.Triangulation(points).query(queries),
                   lambda: scipy.spatial.cKDTree(points).query(queries), repeat))
    located = queries[: max(len(queries) // 10, 1)]

    def ours():
        t = kyhost.Triangulation(points)
        t.neighbors
        return t.find_simplex(located)

    def theirs():
        d = scipy.spatial.Delaunay(points)
        d.neighbors
        return d.find_simplex(located)

    report(f"Triangulation + neighbors + find_simplex({len(located)}) / Delaunay", in_turn(ours, theirs, 1), 0.5)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--points", type=int, default=10**6)
    parser.add_argument("--queries", type=int, default=10**6)
    parser.add_argument("--repeat", type=int, default=5)
    parser.add_argument("--seed", type=int, default=20261207)
    parser.add_argument("--sections", default="query,shapes,locate,cold")
    options = parser.parse_args()
    rng = np.random.default_rng(options.seed)
    points = rng.random((options.points, 2))
    queries = rng.random((options.queries, 2))  # random order
    print(f"{options.points} points, {options.queries} random-order queries, {os.cpu_count()} processors; "
          f"load average {os.getloadavg()[0]:.2f}")
    sections = options.sections.split(",")
    if "query" in sections:
        query_section(points, queries, options.repeat)
    if "shapes" in sections:
        shapes_section(options.points, options.queries, options.repeat)
    if "locate" in sections:
        locate_section(points, queries, options.repeat)
    if "cold" in sections:
        cold_section(points, queries, options.repeat)
    print(f"load average at the end {os.getloadavg()[0]:.2f}")


if __name__ == "__main__":
    main()
