#!/usr/bin/python3
"""Whole-process benchmark: `kyhost nearwalk` against nanoflann's KD-tree.

For each data family it writes X.npy and Y.npy (1-D float64), triangulates
them once with `kyhost sweeptri` (TRI.npy), writes a column-major query grid
(XI.npy, YI.npy, Fortran order), then runs

    kyhost nearwalk npy:X.npy npy:Y.npy npy:TRI.npy npy:XI.npy npy:YI.npy --out K.npy
    nearwalk_kd_tree_process X.npy Y.npy XI.npy YI.npy P.npy

alternately, each as a fresh process, and prints for each the median wall,
user and system seconds, page faults (minor + major) and peak resident
memory (from /usr/bin/time) in MB and bytes per data point, then the ratio
of each kyhost median to nanoflann's (below 1: kyhost spends less). It also
counts the queries whose nearwalk answer is farther than nanoflann's.

Usage: whole_process_bench.py [--bin DIR] [--points N[,N...]] [--grid SIDE]
                              [--runs R] [--families a,b,...] [--work DIR]
DIR is the build's bin/ (default: build/bench/bin beside this checkout).
--points defaults to 1000000; KY_BENCH_LARGE=1 in the environment adds
10000000 (not for routine runs: some 4 GB and minutes per family).
"""
import argparse
import os
import statistics
import subprocess
import sys
import tempfile
import time

import numpy as np

FAMILIES = ("uniform", "grid", "clusters")


def data_points(family, n, rng):
    if family == "uniform":
        return rng.random(n), rng.random(n)
    if family == "grid":
        # An integer grid of about n points in shuffled order.
        side = int(round(n ** 0.5))
        i, j = np.meshgrid(np.arange(side, dtype=float), np.arange(side, dtype=float))
        order = rng.permutation(side * side)
        return i.ravel()[order], j.ravel()[order]
    if family == "clusters":
        # 100 Gaussian clusters of different spreads.
        centres = rng.random((100, 2))
        spreads = 0.002 + 0.02 * rng.random(100)
        which = rng.integers(0, 100, n)
        x = centres[which, 0] + spreads[which] * rng.standard_normal(n)
        y = centres[which, 1] + spreads[which] * rng.standard_normal(n)
        # Drop repeated points, which a triangulation refuses.
        _, unique = np.unique(np.stack([x, y], axis=1), axis=0, return_index=True)
        unique.sort()
        return x[unique], y[unique]
    raise SystemExit(f"unknown family {family!r}")


FIGURES = ("wall s", "user s", "sys s", "faults", "peak B")


def run(command, work):
    """Wall, user and system seconds, page faults and peak resident bytes of
    one process, as a tuple in the order of FIGURES.

    The figures come from /usr/bin/time, whose own small child is the one
    that runs the command: a child forked straight from this Python process
    would report Python's resident size when that is larger.
    """
    report = os.path.join(work, "figures.txt")
    start = time.perf_counter()
    result = subprocess.run(["/usr/bin/time", "-f", "%U %S %R %F %M", "-o", report] + command,
                            stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    seconds = time.perf_counter() - start
    if result.returncode != 0:
        raise SystemExit(f"{' '.join(command)} failed ({result.returncode}): {result.stderr.decode()}")
    with open(report) as f:
        user, system, minor, major, kilobytes = f.read().split()[-5:]
    return seconds, float(user), float(system), int(minor) + int(major), int(kilobytes) * 1024


def report_line(label, figures, n):
    wall, user, system, faults, peak = figures
    return (f"  {label:10} {wall:8.3f} {user:8.3f} {system:8.3f} {faults:8.0f} "
            f"{peak / 1e6:8.0f} MB {peak / n:7.0f} B/point")


def farther(x, y, xi, yi, k, p):
    a = k.astype(np.int64) - 1
    b = p.astype(np.int64) - 1
    da = (x[a] - xi) ** 2 + (y[a] - yi) ** 2
    db = (x[b] - xi) ** 2 + (y[b] - yi) ** 2
    return int(np.count_nonzero(da > db))


def bench(family, points, args, work):
    rng = np.random.default_rng(20261207)
    x, y = data_points(family, points, rng)
    n = x.size
    paths = {name: os.path.join(work, f"{family}-{name}.npy") for name in ("X", "Y", "TRI", "XI", "YI", "K", "P")}
    np.save(paths["X"], x)
    np.save(paths["Y"], y)
    # Column-major grid over the bounding box: XI varies along rows, YI
    # down columns, so consecutive queries (column-major) are neighbours.
    gx = np.linspace(x.min(), x.max(), args.grid)
    gy = np.linspace(y.min(), y.max(), args.grid)
    xi, yi = np.meshgrid(gx, gy)
    np.save(paths["XI"], np.asfortranarray(xi))
    np.save(paths["YI"], np.asfortranarray(yi))
    kyhost = os.path.join(args.bin, "kyhost")
    peer = os.path.join(args.bin, "nearwalk_kd_tree_process")
    run([kyhost, "sweeptri", f"npy:{paths['X']}", f"npy:{paths['Y']}", "--out", paths["TRI"]], work)

    nearwalk = [kyhost, "nearwalk"] + [f"npy:{paths[a]}" for a in ("X", "Y", "TRI", "XI", "YI")] + ["--out", paths["K"]]
    kd = [peer, paths["X"], paths["Y"], paths["XI"], paths["YI"], paths["P"]]
    ours, theirs = [], []
    for _ in range(args.runs):
        ours.append(run(nearwalk, work))
        theirs.append(run(kd, work))
    ours_m = [statistics.median(run[i] for run in ours) for i in range(len(FIGURES))]
    theirs_m = [statistics.median(run[i] for run in theirs) for i in range(len(FIGURES))]
    worse = farther(x, y, xi, yi, np.load(paths["K"]), np.load(paths["P"]))
    print(f"{family} n={n} queries={xi.size}, farther answers {worse}")
    print(f"  {'':10} {'wall s':>8} {'user s':>8} {'sys s':>8} {'faults':>8} {'peak':>11}")
    print(report_line("nearwalk", ours_m, n))
    print(report_line("nanoflann", theirs_m, n))
    ratios = "".join(f" {a / b if b else 0:8.2f}" for a, b in zip(ours_m, theirs_m))
    print(f"  {'ratio':10}{ratios}", flush=True)
    for path in paths.values():
        os.remove(path)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--bin", default=os.path.join(here, "..", "..", "build", "bench", "bin"))
    parser.add_argument("--points", default=None, help="data point counts, comma-separated")
    parser.add_argument("--grid", type=int, default=1000)
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--families", default=",".join(FAMILIES))
    parser.add_argument("--work", default=None, help="directory for the data files (default: a temporary one)")
    args = parser.parse_args()
    if args.points is None:
        args.points = "1000000" + (",10000000" if os.environ.get("KY_BENCH_LARGE") == "1" else "")
    print(f"median of {args.runs} alternating runs, {args.grid} x {args.grid} query grid in column-major order")
    with tempfile.TemporaryDirectory(dir=args.work) as work:
        for points in (int(p) for p in args.points.split(",")):
            for family in args.families.split(","):
                bench(family, points, args, work)


if __name__ == "__main__":
    sys.exit(main())
