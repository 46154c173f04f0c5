#!/usr/bin/python3
"""Whole-process benchmark: `kyhost sweeptri` then `kyhost trinterp ...
text:natural` against CGAL's natural-neighbour interpolation.

For each data family (those of nearwalk/bench/whole_process_bench.py) it
writes X.npy, Y.npy and Z.npy (1-D float64) and a query grid over the
points' bounding box (XI.npy, YI.npy, Fortran order), then runs, each as
fresh processes and in turn,

    kyhost sweeptri npy:X.npy npy:Y.npy --out TRI.npy
    kyhost trinterp npy:X.npy npy:Y.npy npy:Z.npy npy:TRI.npy npy:XI.npy npy:YI.npy text:natural --out ZI.npy
    (the same two under `taskset -c 0`: one processor, so one thread)
    trinterp_cgal_process X.npy Y.npy Z.npy XI.npy YI.npy P.npy

and prints the median wall, user and system seconds, page faults and peak
resident memory (from /usr/bin/time; the two kyhost processes summed, peak
the larger), then the ratio of each kyhost median to CGAL's. It also
prints the largest difference between the answers and whether their NaN
masks agree.

Usage: whole_process_bench.py [--bin DIR] [--points N] [--grid SIDE]
                              [--runs R] [--families a,b,...] [--work DIR]
"""
import argparse
import importlib.util
import os
import statistics
import sys
import tempfile

import numpy as np

HERE = os.path.dirname(os.path.abspath(__file__))
# The data families, the process runner and the report line are nearwalk's.
_spec = importlib.util.spec_from_file_location(
    "nearwalk_whole_process", os.path.join(HERE, "..", "..", "nearwalk", "bench", "whole_process_bench.py"))
nearwalk_bench = importlib.util.module_from_spec(_spec)
_spec.loader.exec_module(nearwalk_bench)


def summed(first, second):
    """Two processes one after the other: times and faults add up, the peak
    is the larger."""
    return tuple(a + b for a, b in zip(first[:4], second[:4])) + (max(first[4], second[4]),)


def bench(family, points, args, work):
    rng = np.random.default_rng(20261207)
    x, y = nearwalk_bench.data_points(family, points, rng)
    n = x.size
    paths = {name: os.path.join(work, f"{family}-{name}.npy") for name in ("X", "Y", "Z", "TRI", "XI", "YI", "ZI", "P")}
    np.save(paths["X"], x)
    np.save(paths["Y"], y)
    z = np.sin(3 * (x - x.min()) / np.ptp(x)) * np.cos(2 * (y - y.min()) / np.ptp(y))
    np.save(paths["Z"], z)
    xi, yi = np.meshgrid(np.linspace(x.min(), x.max(), args.grid), np.linspace(y.min(), y.max(), args.grid))
    np.save(paths["XI"], np.asfortranarray(xi))
    np.save(paths["YI"], np.asfortranarray(yi))
    kyhost = os.path.join(args.bin, "kyhost")
    sweeptri = [kyhost, "sweeptri", f"npy:{paths['X']}", f"npy:{paths['Y']}", "--out", paths["TRI"]]
    trinterp = ([kyhost, "trinterp"] + [f"npy:{paths[a]}" for a in ("X", "Y", "Z", "TRI", "XI", "YI")] +
                ["text:natural", "--out", paths["ZI"]])
    one = ["taskset", "-c", str(min(os.sched_getaffinity(0)))]
    cgal = [os.path.join(args.bin, "trinterp_cgal_process")] + [paths[a] for a in ("X", "Y", "Z", "XI", "YI", "P")]
    run = nearwalk_bench.run
    ours, ours_one, theirs = [], [], []
    for _ in range(args.runs):
        ours.append(summed(run(sweeptri, work), run(trinterp, work)))
        theirs.append(run(cgal, work))
        ours_one.append(summed(run(one + sweeptri, work), run(one + trinterp, work)))
    medians = [[statistics.median(r[i] for r in runs) for i in range(len(nearwalk_bench.FIGURES))]
               for runs in (ours, ours_one, theirs)]
    a, b = np.load(paths["ZI"]), np.load(paths["P"])
    same_mask = np.array_equal(np.isnan(a), np.isnan(b))
    largest = np.nanmax(np.abs(a - b)) if same_mask else float("nan")
    print(f"{family} n={n} queries={xi.size}: largest difference {largest:.3g}, NaN masks "
          f"{'agree' if same_mask else 'DIFFER'}")
    print(f"  {'':10} {'wall s':>8} {'user s':>8} {'sys s':>8} {'faults':>8} {'peak':>11}")
    for label, m in zip(("kyhost", "kyhost 1", "CGAL"), medians):
        print(nearwalk_bench.report_line(label, m, n))
    for label, m in zip(("ratio", "ratio 1"), medians[:2]):
        ratios = "".join(f" {p / q if q else 0:8.2f}" for p, q in zip(m, medians[2]))
        print(f"  {label:10}{ratios}", flush=True)
    for path in paths.values():
        os.remove(path)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--bin", default=os.path.join(HERE, "..", "..", "build", "bench", "bin"))
    parser.add_argument("--points", type=int, default=100000)
    parser.add_argument("--grid", type=int, default=1000)
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--families", default=",".join(nearwalk_bench.FAMILIES))
    parser.add_argument("--work", default=None, help="directory for the data files (default: a temporary one)")
    args = parser.parse_args()
    print(f"median of {args.runs} runs taken in turn, {args.grid} x {args.grid} query grid; "
          "'kyhost 1' runs on one processor")
    with tempfile.TemporaryDirectory(dir=args.work) as work:
        for family in args.families.split(","):
            bench(family, args.points, args, work)


if __name__ == "__main__":
    sys.exit(main())
