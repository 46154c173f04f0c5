#!/usr/bin/python3
"""sweeptri and nearwalk called from Python against scipy.spatial on the same
data in the same run: medians, ratios, and the module's own share of a call.

    PYTHONPATH=build/release/python /usr/bin/python3 kyhost/python/bench/bench_python.py [--points N] [--repeat R]

The module's own overhead is the call's time seen from Python minus the time
the host spent in the call (argument conversion, lookup, result hand-over).
"""
import argparse
import statistics
import time

import numpy as np
import scipy.spatial

import kyhost


def timed(run, repeat):
    """Median wall time of run() over repeat runs, and the last result."""
    times = []
    result = None
    for _ in range(repeat):
        start = time.perf_counter()
        result = run()
        times.append(time.perf_counter() - start)
    return statistics.median(times), result


def module_share(run, repeat):
    """Median of (time seen from Python - time inside the host) and its
    share of the time seen from Python."""
    overheads, shares = [], []
    for _ in range(repeat):
        start = time.perf_counter()
        run()
        total = time.perf_counter() - start
        overhead = total - kyhost._last_call_seconds()
        overheads.append(overhead)
        shares.append(overhead / total)
    return statistics.median(overheads), statistics.median(shares)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--points", type=int, default=10**6)
    parser.add_argument("--queries", type=int, default=10**6, help="about this many, on a square grid")
    parser.add_argument("--repeat", type=int, default=3)
    options = parser.parse_args()
    n, repeat = options.points, options.repeat

    rng = np.random.default_rng(20261207)
    points = np.asfortranarray(rng.random((n, 2)))  # columns X and Y, each contiguous
    x, y = points[:, 0], points[:, 1]
    # Queries on a square grid, column by column, as a user scanning a
    # region asks them: consecutive queries are neighbours.
    side = int(round(options.queries ** 0.5))
    axis = np.linspace(0.0, 1.0, side)
    xi, yi = (np.asfortranarray(a) for a in np.meshgrid(axis, axis))
    queries = np.column_stack([xi.ravel(order="F"), yi.ravel(order="F")])
    print(f"{n} random points, {side}-by-{side} query grid, median of {repeat} runs")

    kyhost.sweeptri(x, y)  # load the plug-in, warm the host's memory
    ours, tri = timed(lambda: kyhost.sweeptri(x, y), repeat)
    theirs, delaunay = timed(lambda: scipy.spatial.Delaunay(points), repeat)
    print(f"sweeptri          {ours:9.4f} s   {tri.shape[0]} triangles")
    print(f"scipy Delaunay    {theirs:9.4f} s   {delaunay.simplices.shape[0]} triangles")
    print(f"ratio sweeptri / Delaunay: {ours / theirs:.3f} (target at most 0.1)")

    overhead, share = module_share(lambda: kyhost.sweeptri(x, y), repeat)
    print(f"module overhead, sweeptri, columns read in place: {overhead * 1e3:.3f} ms = {share * 100:.3f}% of the "
          f"call (target under 2%)")
    c_order = np.ascontiguousarray(points)
    overhead, share = module_share(lambda: kyhost.sweeptri(c_order[:, 0], c_order[:, 1]), repeat)
    print(f"module overhead, sweeptri, strided columns copied: {overhead * 1e3:.3f} ms = {share * 100:.3f}% of the "
          f"call")

    kyhost.nearwalk(x, y, tri, xi, yi)
    ours, found = timed(lambda: kyhost.nearwalk(x, y, tri, xi, yi), repeat)
    theirs, (_, nearest) = timed(lambda: scipy.spatial.cKDTree(points).query(queries), repeat)
    print(f"nearwalk          {ours:9.4f} s   (neighbour matrix included)")
    print(f"cKDTree build+query {theirs:7.4f} s")
    print(f"ratio nearwalk / cKDTree: {ours / theirs:.3f}")
    overhead, share = module_share(lambda: kyhost.nearwalk(x, y, tri, xi, yi), repeat)
    print(f"module overhead, nearwalk: {overhead * 1e3:.3f} ms = {share * 100:.3f}% of the call (target under 2%)")

    k = found.ravel(order="F").astype(np.int64) - 1
    qx, qy = queries[:, 0], queries[:, 1]
    same = np.array_equal((x[k] - qx) ** 2 + (y[k] - qy) ** 2, (x[nearest] - qx) ** 2 + (y[nearest] - qy) ** 2)
    print(f"every nearwalk answer as near as cKDTree's: {same}")


if __name__ == "__main__":
    main()
