#!/usr/bin/python3
"""Triangulation(p, workers=2) against workers=1 (and the single sweep) on
the benchmark families at 10^6 points: medians of alternating runs of the
whole call with .simplices read, wall, user and system time, the ratio
workers=2 / workers=1, the share of points left to the seams, and whether
the rows pass kyhost.check.

    PYTHONPATH=build/release/python /usr/bin/python3 kyhost/python/bench/tiled_families_bench.py \\
        [--repeat 5] [FAMILY ...]

The families are those of sweeptri/bench/make_inputs.py (the 10^6 sets).
The load average is printed before and after: figures taken at a load
above about 0.3 are not comparable.
"""
import argparse
import os
import pathlib
import statistics
import sys

import numpy as np

import kyhost
from kyhost import _triangulation

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[3] / "sweeptri" / "bench"))
import make_inputs  # noqa: E402
from tiled_bench import timed  # noqa: E402  (this folder is on the path when the script runs)

FAMILIES = ["uniform-1e6", "clusters-1e6", "grid-1000x1000", "tilted-grid-1000x1000", "heavy-tailed-1e6",
            "far-outliers-1e6", "clipped-edge-1e6", "horizontal-line-1e6", "lognormal-1e6", "exponential-1e6",
            "one-far-x-1e6"]


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--repeat", type=int, default=5)
    parser.add_argument("families", nargs="*", default=FAMILIES)
    options = parser.parse_args()
    known = {**make_inputs.SETS, **make_inputs.HARD_SETS}
    print(f"{options.repeat} alternating runs; load average {os.getloadavg()}")
    print(f"{'family':24s} {'seams':>7s} {'tiles':>5s} valid  {'sweep':>7s} {'w=1':>7s} {'w=2':>7s}  "
          f"w2/w1  (user, sys of w=2)")
    for name in options.families:
        x, y = known[name]()
        points = np.column_stack((x, y))
        _, info = kyhost._kyhost._triangulate_tiled(np.ascontiguousarray(x), np.ascontiguousarray(y), 2,
                                                    _triangulation._TILE_POINTS)
        tiled = kyhost.Triangulation(points, workers=2, merge_duplicates=True)
        valid = kyhost.check(tiled.points[:, 0], tiled.points[:, 1], tiled.simplices, base=0,
                             orientation="counterclockwise").valid
        variants = {"sweep": {}, "w=1": {"workers": 1}, "w=2": {"workers": 2}}
        times = {k: [] for k in variants}
        for _ in range(options.repeat):
            for k, keywords in variants.items():
                times[k].append(timed(lambda: kyhost.Triangulation(points, merge_duplicates=True, **keywords).simplices))
        med = {k: [statistics.median(t[i] for t in runs) for i in range(3)] for k, runs in times.items()}
        print(f"{name:24s} {info['seam_points'] / len(x):7.4f} {info['tiles']:5d} {str(valid):5s}  "
              f"{med['sweep'][0]:7.3f} {med['w=1'][0]:7.3f} {med['w=2'][0]:7.3f}  {med['w=2'][0] / med['w=1'][0]:.3f}"
              f"  ({med['w=2'][1]:.2f}, {med['w=2'][2]:.2f})", flush=True)
    print(f"load average after {os.getloadavg()}")


if __name__ == "__main__":
    main()
