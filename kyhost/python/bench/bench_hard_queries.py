#!/usr/bin/python3
"""Queries that were costly, against scipy.spatial.cKDTree on the same data
in the same run: time of queries far outside the points against queries
inside (nearest, query(k=4), and the nearwalk plug-in's own walk), and the
peak memory of one query with a large k. Medians; ratios printed.

    PYTHONPATH=build/release/python /usr/bin/python3 kyhost/python/bench/bench_hard_queries.py [--sizes 2000,20000]
        [--queries Q] [--repeat R] [--memory-k 1000,100000] [--memory-points N]

Memory is each call's peak resident size above the size before it (Linux's
VmHWM, reset through /proc/self/clear_refs), in a fresh process per call,
the answer arrays included.
"""
import argparse
import os
import statistics
import subprocess
import sys
import textwrap
import time

import numpy as np
import scipy.spatial

import kyhost


def per_query(run, count, repeat):
    """Median microseconds per query of run() over repeat runs."""
    times = []
    for _ in range(repeat):
        start = time.perf_counter()
        run()
        times.append(time.perf_counter() - start)
    return statistics.median(times) / count * 1e6


def far_and_inside(sizes, queries, repeat):
    print(f"{'n':>7} {'where':>7} {'nearest':>9} {'query k=4':>10} {'cKDTree k=4':>12} {'nearwalk':>9}   (us per query)")
    for n in sizes:
        rng = np.random.default_rng(n)
        points = rng.random((n, 2))
        ours, tree = kyhost.Triangulation(points), scipy.spatial.cKDTree(points)
        tri = (ours.simplices + 1).astype(np.float64)
        neighbours = ours._neighbour_matrix()  # as nearest(keep_order=True) passes it
        inside = rng.random((queries, 2))
        rows = {"inside": inside}
        for far in (1e16, 1e300):
            rows[f"{far:.0e}"] = np.column_stack([np.full(queries, far), rng.uniform(-1, 2, queries)])
        times = {}
        for where, q in rows.items():
            # nearwalk walks each query from the answer before it, and far
            # ones across the set: 200 queries, with the call's overhead.
            walked = q[:200]
            times[where] = (
                per_query(lambda: ours.nearest(q), queries, repeat),
                per_query(lambda: ours.query(q, 4), queries, repeat),
                per_query(lambda: tree.query(q, 4), queries, repeat),
                per_query(lambda: kyhost.nearwalk(points[:, 0], points[:, 1], tri, walked[:, 0], walked[:, 1],
                                                  neighbours), len(walked), repeat),
            )
        for where, t in times.items():
            print(f"{n:>7} {where:>7} {t[0]:>9.3f} {t[1]:>10.3f} {t[2]:>12.3f} {t[3]:>9.2f}")
        for where, t in times.items():
            if where != "inside":
                base = times["inside"]
                print(f"{'':>7} {where:>7} far/inside: nearest {t[0] / base[0]:.2f}x, query(k=4) {t[1] / base[1]:.2f}x"
                      f" (cKDTree {t[2] / base[2]:.2f}x), nearwalk {t[3] / base[3]:.0f}x;"
                      f" query(k=4) against cKDTree {t[1] / t[2]:.2f}x")


MEMORY_SCRIPT = textwrap.dedent("""
    import sys, numpy as np

    def status(field):
        with open("/proc/self/status") as lines:
            return next(int(line.split()[1]) for line in lines if line.startswith(field))

    n, k, peer = int(sys.argv[1]), int(sys.argv[2]), sys.argv[3] == "peer"
    points = np.random.default_rng(5).random((n, 2))
    if peer:
        import scipy.spatial
        tree = scipy.spatial.cKDTree(points)
    else:
        import kyhost
        tree = kyhost.Triangulation(points)
        tree.query(points[:2], 2)  # builds the search structures
    # The peak resident size from here on: reset it to the current size.
    with open("/proc/self/clear_refs", "w") as clear:
        clear.write("5")
    before = status("VmRSS:")
    d, i = tree.query(points[:1], k)
    print((status("VmHWM:") - before) / 1024)
""")


def memory(ks, n):
    print(f"\npeak memory growth of one query, n = {n} (MB)")
    print(f"{'k':>8} {'kyhost':>9} {'cKDTree':>9} {'ratio':>7}")
    for k in ks:
        grown = [float(subprocess.run([sys.executable, "-c", MEMORY_SCRIPT, str(n), str(k), who], check=True,
                                      capture_output=True, text=True, env=os.environ).stdout)
                 for who in ("ours", "peer")]
        print(f"{k:>8} {grown[0]:>9.1f} {grown[1]:>9.1f} {grown[0] / max(grown[1], 0.1):>7.2f}")


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--sizes", default="2000,20000,200000")
    parser.add_argument("--queries", type=int, default=20000)
    parser.add_argument("--repeat", type=int, default=5)
    parser.add_argument("--memory-k", default="1000,10000,100000")
    parser.add_argument("--memory-points", type=int, default=100000)
    options = parser.parse_args()
    far_and_inside([int(s) for s in options.sizes.split(",")], options.queries, options.repeat)
    memory([int(k) for k in options.memory_k.split(",")], options.memory_points)


if __name__ == "__main__":
    main()
