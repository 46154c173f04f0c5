#!/usr/bin/python3
"""Interpolation from Python against scipy.interpolate, in the same run:

- griddata(points, values, (XI, YI)), "linear": kyhost against scipy,
  triangulation included (10^6 points onto a 1000 x 1000 grid by default);
- LinearNDInterpolator: building it (the triangulation), its first call
  on the grid (scipy's works out the simplices' transforms then) and a
  later call, timed apart;
- kyhost's "natural" griddata and NaturalNeighborInterpolator call (scipy
  has no natural-neighbour interpolation);
- the memory an interpolator holds after its first call: the growth of the
  resident set of a fresh process that builds it and calls it once, for
  each library, and what kyhost's object keeps for its later calls;

each kyhost figure on all the processors the process may use and on one
(os.sched_setaffinity), medians of runs taken in turn, with the ratios to
scipy and the largest difference of the answers.

    PYTHONPATH=build/release/python /usr/bin/python3 trinterp/bench/python_bench.py [--points N] [--grid SIDE] [--runs R]
        [--only griddata,interpolator,natural,memory]
"""
import argparse
import contextlib
import os
import statistics
import subprocess
import sys
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


def data(options):
    rng = np.random.default_rng(20261207)
    points = rng.random((options.points, 2))
    values = np.sin(3 * points[:, 0]) * np.cos(2 * points[:, 1])
    xi, yi = np.meshgrid(np.linspace(0, 1, options.grid), np.linspace(0, 1, options.grid))
    return points, values, xi, yi


def resident_bytes() -> int:
    with open("/proc/self/statm") as statm:
        return int(statm.read().split()[1]) * os.sysconf("SC_PAGE_SIZE")


def memory_of(library, options):
    """In a fresh process: the growth of the resident set from before the
    interpolator is built to after its first call (the data, the grid and
    the answers excluded), and for kyhost what its object keeps."""
    points, values, xi, yi = data(options)
    module = kyhost if library == "kyhost" else scipy.interpolate
    answers = np.empty_like(xi)  # made resident before the count
    answers[...] = 0
    before = resident_bytes()
    interpolator = module.LinearNDInterpolator(points, values)
    answers[...] = interpolator(xi, yi)
    del answers
    grown = resident_bytes() - before
    kept = ""
    if library == "kyhost":
        held = sum(v.nbytes for v in vars(interpolator.tri).values() if isinstance(v, np.ndarray))
        kept = (f", of which the kept mesh {interpolator.nbytes / 1e6:.0f} MB, the triangulation's arrays "
                f"{held / 1e6:.0f} MB, the values {interpolator.values.nbytes / 1e6:.0f} MB")
    print(f"  {library:8} resident set grown by {grown / 1e6:.0f} MB{kept}", flush=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--points", type=int, default=10**6)
    parser.add_argument("--natural-points", type=int, default=10**5)
    parser.add_argument("--grid", type=int, default=1000)
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--only", default="griddata,interpolator,natural,memory",
                        help="the parts to run, separated by commas")
    parser.add_argument("--memory-of", choices=["kyhost", "scipy"], help=argparse.SUPPRESS)
    options = parser.parse_args()
    if options.memory_of:
        memory_of(options.memory_of, options)
        return
    parts = set(options.only.split(","))
    points, values, xi, yi = data(options)
    print(f"{options.points} points onto a {options.grid} x {options.grid} grid; medians of {options.runs} runs "
          f"taken in turn; {len(os.sched_getaffinity(0))} processors")
    if "griddata" in parts:
        griddata(points, values, xi, yi, options)
    if "interpolator" in parts:
        interpolator(points, values, xi, yi, options)
    if "natural" in parts:
        natural(points, values, xi, yi, options)
    if "memory" in parts:
        print("LinearNDInterpolator: memory after the first call")
        for library in ("scipy", "kyhost"):
            subprocess.run([sys.executable, __file__, "--memory-of", library, "--points", str(options.points),
                            "--grid", str(options.grid)], check=True)


def griddata(points, values, xi, yi, options):
    results = compare("griddata, linear (triangulation included)", {
        "scipy.interpolate.griddata": (lambda: scipy.interpolate.griddata(points, values, (xi, yi)), False),
        "kyhost.griddata": (lambda: kyhost.griddata(points, values, (xi, yi)), False),
        "kyhost.griddata, one processor": (lambda: kyhost.griddata(points, values, (xi, yi)), True),
    }, options.runs, peer="scipy.interpolate.griddata")
    print("  " + difference(results["kyhost.griddata"], results["scipy.interpolate.griddata"]))


def interpolator(points, values, xi, yi, options):
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


def natural(points, values, xi, yi, options):
    few = points[:options.natural_points]
    few_values = values[:options.natural_points]
    natural = kyhost.NaturalNeighborInterpolator(few, few_values)
    natural(0.5, 0.5)  # the first call keeps the mesh: the calls below are later calls
    compare(f"natural, {options.natural_points} points (scipy has none)", {
        "kyhost.griddata natural": (lambda: kyhost.griddata(few, few_values, (xi, yi), method="natural"), False),
        "kyhost.griddata natural, one proc.": (lambda: kyhost.griddata(few, few_values, (xi, yi), method="natural"),
                                               True),
        "NaturalNeighborInterpolator call": (lambda: natural(xi, yi), False),
        "NaturalNeighborInterpolator, one": (lambda: natural(xi, yi), True),
    }, options.runs)


if __name__ == "__main__":
    main()
