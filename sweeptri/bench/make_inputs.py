#!/usr/bin/python3
"""Writes the benchmark point sets as pairs of .npy files NAME.x.npy and
NAME.y.npy (float64 vectors) into a directory.

Usage: make_inputs.py DIR [NAME ...]

Without names: every set of SETS, and with KY_BENCH_LARGE=1 in the
environment also the 10^7 sets of LARGE_SETS. uniform-1e8 (1.6 GB of input,
some 20 GB to triangulate) is written only when named.
"""
import os
import sys
from pathlib import Path

import numpy as np


def uniform(n, seed):
    r = np.random.default_rng(seed)
    return r.random(n), r.random(n)


def clusters(n, seed):
    # Gaussian clusters of different spreads around uniform centres.
    r = np.random.default_rng(seed)
    count = 50
    cx, cy = r.random(count), r.random(count)
    spread = 0.002 + 0.03 * r.random(count)
    c = r.integers(0, count, n)
    return cx[c] + spread[c] * r.standard_normal(n), cy[c] + spread[c] * r.standard_normal(n)


def grid(side, seed, angle=0.0):
    # Integer grid in random order; rotated by angle (radians) if given.
    r = np.random.default_rng(seed)
    i = r.permutation(side * side)
    x, y = (i % side).astype(float), (i // side).astype(float)
    if angle:
        c, s = np.cos(angle), np.sin(angle)
        x, y = c * x - s * y, s * x + c * y
    return x, y


def circle(n, seed, rings=1):
    # rings concentric circles of n / rings points each, in random order.
    r = np.random.default_rng(seed)
    per = n // rings
    t = np.tile(np.arange(per) * (2 * np.pi / per), rings)
    radius = np.repeat(1.0 + np.arange(rings), per)
    order = r.permutation(per * rings)
    return (radius * np.cos(t))[order], (radius * np.sin(t))[order]


def parabola(n, seed):
    r = np.random.default_rng(seed)
    x = (np.arange(n) - n // 2) / n
    order = r.permutation(n)
    return x[order], (x * x)[order]


def two_lines(n, seed):
    # Two parallel horizontal lines of n / 2 evenly spaced points each.
    r = np.random.default_rng(seed)
    half = n // 2
    x = np.tile(np.arange(half) / half, 2)
    y = np.repeat([0.0, 1.0], half)
    order = r.permutation(2 * half)
    return x[order], y[order]


SETS = {
    "uniform-1e5": lambda: uniform(100_000, 1),
    "uniform-1e6": lambda: uniform(1_000_000, 1),
    "clusters-1e5": lambda: clusters(100_000, 2),
    "clusters-1e6": lambda: clusters(1_000_000, 2),
    "grid-1000x1000": lambda: grid(1000, 3),
    "grid-317x317": lambda: grid(317, 3),
    "circle-20000": lambda: circle(20_000, 4),
    "circle-100000": lambda: circle(100_000, 4),
    "rings-50x400": lambda: circle(20_000, 5, rings=50),
    "rings-250x400": lambda: circle(100_000, 5, rings=250),
    "parabola-1e5": lambda: parabola(100_000, 6),
    "two-lines-1e5": lambda: two_lines(100_000, 7),
}

# Sets too large for a routine run.
LARGE_SETS = {
    "uniform-1e7": lambda: uniform(10_000_000, 1),
    "clusters-1e7": lambda: clusters(10_000_000, 2),
}
ON_REQUEST = {
    "uniform-1e8": lambda: uniform(100_000_000, 1),
}


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    out = Path(sys.argv[1])
    out.mkdir(parents=True, exist_ok=True)
    known = {**SETS, **LARGE_SETS, **ON_REQUEST}
    names = sys.argv[2:] or list(SETS) + (list(LARGE_SETS) if os.environ.get("KY_BENCH_LARGE") == "1" else [])
    for name in names:
        if name not in known:
            sys.exit(f"unknown point set {name}; known: {' '.join(known)}")
        x, y = known[name]()
        np.save(out / f"{name}.x.npy", np.ascontiguousarray(x, dtype=np.float64))
        np.save(out / f"{name}.y.npy", np.ascontiguousarray(y, dtype=np.float64))
        print(f"{name}: {len(x)} points")


if __name__ == "__main__":
    main()
