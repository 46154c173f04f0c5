#!/usr/bin/python3
"""Interpolation from Python against scipy.interpolate, in the same run:

- griddata(points, values, (XI, YI)), "linear": kyhost against scipy,
  triangulation included (10^6 points onto a 1000 x 1000 grid by default);
- LinearNDInterpolator: building it (the triangulation), its first call
  on the grid (scipy's works out the simplices' transforms then) and a
  later call, timed apart;
- kyhost's "natural" griddata and NaturalNeighborInterpolator call (scipy
  has no natural-neighbour interpolation);

each kyhost figure on all the processors the process may use and on one
(os.sched_setaffinity), medians of runs taken in turn, with the ratios to
scipy and the largest difference of the answers.

    PYTHONPATH=build/release/python /usr/bin/python3 trinterp/bench/python_bench.py [--points N] [--grid SIDE] [--runs R]
"""
import argparse
import contextlib
import os
import statistics
import time

import numpy as np
import scipy.interpolate

import kyhost


@contextlib.contextmanager
def one_processor():
    allowed = os.sched_getaffinity(0)
    os.sched_setaffinity(0, {min(allowed)})
    try:
        yield
    finally:
        os.sched_setaffinity(0, allowed)


def timed(run):
    start = time.perf_counter()
    result = run()
    return time.perf_counter() - start, result


def compare(label, contenders, runs, peer=None):
    """Runs each contender in turn, runs times; prints medians and the ratio
    of each to its peer. contenders: name -> (function, on one processor);
    peer: one contender's name for all, or a dict name -> peer name."""
    times = {name: [] for name in contenders}
    results = {}
    for _ in range(runs):
        for name, (run, single) in contenders.items():
            with one_processor() if single else contextlib.nullcontext():
                seconds, results[name] = timed(run)
            times[name].append(seconds)
    medians = {name: statistics.median(t) for name, t in times.items()}
    print(label)
    peers = peer if isinstance(peer, dict) else {name: peer for name in medians if peer and name != peer}
    for name, median in medians.items():
        ratio = f"  {median / medians[peers[name]]:.3f}x {peers[name]}" if name in peers else ""
        print(f"  {name:40} {median:8.3f} s{ratio}", flush=True)
    return results


def difference(a, b):
    same = np.array_equal(np.isnan(a), np.isnan(b))
    return f"largest difference {np.nanmax(np.abs(a - b)):.3g}, NaN masks {'agree' if same else 'DIFFER'}"


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--points", type=int, default=10**6)
    parser.add_argument("--natural-points", type=int, default=10**5)
    parser.add_argument("--grid", type=int, default=1000)
    parser.add_argument("--runs", type=int, default=3)
    options = parser.parse_args()
    rng = np.random.default_rng(20261207)
    points = rng.random((options.points, 2))
    values = np.sin(3 * points[:, 0]) * np.cos(2 * points[:, 1])
    xi, yi = np.meshgrid(np.linspace(0, 1, options.grid), np.linspace(0, 1, options.grid))
    print(f"{options.points} points onto a {options.grid} x {options.grid} grid; medians of {options.runs} runs "
          f"taken in turn; {len(os.sched_getaffinity(0))} processors")

    results = compare("griddata, linear (triangulation included)", {
        "scipy.interpolate.griddata": (lambda: scipy.interpolate.griddata(points, values, (xi, yi)), False),
        "kyhost.griddata": (lambda: kyhost.griddata(points, values, (xi, yi)), False),
        "kyhost.griddata, one processor": (lambda: kyhost.griddata(points, values, (xi, yi)), True),
    }, options.runs, peer="scipy.interpolate.griddata")
    print("  " + difference(results["kyhost.griddata"], results["scipy.interpolate.griddata"]))

    # Building an interpolator, its first call and a later one, each run
    # with fresh objects (scipy works out its simplices' transforms on the
    # first call and keeps them).
    objects = {}

    def build(name, make):
        objects[name] = make()
        return objects[name]

    compare("LinearNDInterpolator(points, values): the build", {
        "scipy.interpolate.LinearNDInterpolator": (
            lambda: build("scipy", lambda: scipy.interpolate.LinearNDInterpolator(points, values)), False),
        "kyhost.LinearNDInterpolator": (lambda: build("kyhost", lambda: kyhost.LinearNDInterpolator(points, values)),
                                        False),
        "(then the first call) scipy": (lambda: objects["scipy"](xi, yi), False),
        "(then the first call) kyhost": (lambda: objects["kyhost"](xi, yi), False),
    }, options.runs, peer={"kyhost.LinearNDInterpolator": "scipy.interpolate.LinearNDInterpolator",
                           "(then the first call) kyhost": "(then the first call) scipy"})
    results = compare("LinearNDInterpolator: a later call on the grid", {
        "scipy": (lambda: objects["scipy"](xi, yi), False),
        "kyhost": (lambda: objects["kyhost"](xi, yi), False),
        "kyhost, one processor": (lambda: objects["kyhost"](xi, yi), True),
    }, options.runs, peer="scipy")
    print("  " + difference(results["kyhost"], results["scipy"]))

    few = points[:options.natural_points]
    few_values = values[:options.natural_points]
    natural = kyhost.NaturalNeighborInterpolator(few, few_values)
    compare(f"natural, {options.natural_points} points (scipy has none)", {
        "kyhost.griddata natural": (lambda: kyhost.griddata(few, few_values, (xi, yi), method="natural"), False),
        "kyhost.griddata natural, one proc.": (lambda: kyhost.griddata(few, few_values, (xi, yi), method="natural"),
                                               True),
        "NaturalNeighborInterpolator call": (lambda: natural(xi, yi), False),
        "NaturalNeighborInterpolator, one": (lambda: natural(xi, yi), True),
    }, options.runs)


if __name__ == "__main__":
    main()
