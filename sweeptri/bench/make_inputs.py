#!/usr/bin/python3
"""Writes the benchmark point sets as pairs of .npy files NAME.x.npy and
NAME.y.npy (float64 vectors) into a directory.

Usage: make_inputs.py DIR [NAME ...]

Without names: every set of SETS and HARD_SETS, and with KY_BENCH_LARGE=1 in the
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


def clipped_edge(n, seed):
    # Half the points on the left edge x = 0 (as after clipping to a box),
    # half uniform in the unit square.
    r = np.random.default_rng(seed)
    half = n // 2
    x = np.concatenate((np.zeros(half), r.random(n - half)))
    y = r.random(n)
    order = r.permutation(n)
    return x[order], y[order]


def random_circle(n, seed):
    # Points at uniformly random angles on the unit circle.
    r = np.random.default_rng(seed)
    t = r.random(n) * (2 * np.pi)
    return np.cos(t), np.sin(t)


def far_outliers(n, seed, count=10, reach=1e6):
    # Uniform points in the unit square plus a few far outliers.
    r = np.random.default_rng(seed)
    x, y = r.random(n - count), r.random(n - count)
    ox, oy = r.uniform(-reach, reach, count), r.uniform(-reach, reach, count)
    return np.concatenate((x, ox)), np.concatenate((y, oy))


def horizontal_line(n, seed):
    # Half the points on the line y = 0.5, half uniform in the unit square.
    r = np.random.default_rng(seed)
    half = n // 2
    x = r.random(n)
    y = np.concatenate((np.full(half, 0.5), r.random(n - half)))
    order = r.permutation(n)
    return x[order], y[order]


def lognormal(n, seed, sigma=5.0):
    # Both coordinates lognormal: points crowd near the origin, with tails
    # over many orders of magnitude.
    r = np.random.default_rng(seed)
    return r.lognormal(0.0, sigma, n), r.lognormal(0.0, sigma, n)


def exponential(n, seed, rate=100.0):
    # Both coordinates exp(rate * u), u uniform.
    r = np.random.default_rng(seed)
    return np.exp(rate * r.random(n)), np.exp(rate * r.random(n))


def one_far_x(n, seed, far=1e15):
    # Uniform points plus one point far out in x.
    r = np.random.default_rng(seed)
    x, y = r.random(n), r.random(n)
    x[n // 2] = far
    return x, y


def heavy_tailed(n, seed):
    # Angle uniform, radius sqrt(1 / (1 - s)^2 - 1) with s uniform in
    # [0, 1): a standard heavy-tailed benchmark distribution.
    r = np.random.default_rng(seed)
    t = r.random(n) * (2 * np.pi)
    s = r.random(n)
    radius = np.sqrt(1.0 / (1.0 - s) ** 2 - 1.0)
    return radius * np.cos(t), radius * np.sin(t)


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

# The shapes on which a search of the beach line from its hash slots alone
# walks far: crowded x, far outliers, heavy tails, circles, tilted grids.
HARD_SETS = {}
for size, label in ((100_000, "1e5"), (1_000_000, "1e6")):
    HARD_SETS.update({
        f"clipped-edge-{label}": (lambda n: lambda: clipped_edge(n, 11))(size),
        f"far-outliers-{label}": (lambda n: lambda: far_outliers(n, 12))(size),
        f"horizontal-line-{label}": (lambda n: lambda: horizontal_line(n, 13))(size),
        f"lognormal-{label}": (lambda n: lambda: lognormal(n, 14))(size),
        f"exponential-{label}": (lambda n: lambda: exponential(n, 15))(size),
        f"one-far-x-{label}": (lambda n: lambda: one_far_x(n, 16))(size),
        f"heavy-tailed-{label}": (lambda n: lambda: heavy_tailed(n, 17))(size),
    })
HARD_SETS.update({
    "random-circle-1e5": lambda: random_circle(100_000, 18),
    "tilted-grid-317x317": lambda: grid(317, 19, angle=np.pi / 6),
    "tilted-grid-1000x1000": lambda: grid(1000, 19, angle=np.pi / 6),
})

# Sets too large for a routine run.
LARGE_SETS = {
    "uniform-1e7": lambda: uniform(10_000_000, 1),
    "heavy-tailed-1e7": lambda: heavy_tailed(10_000_000, 17),
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
    known = {**SETS, **HARD_SETS, **LARGE_SETS, **ON_REQUEST}
    names = sys.argv[2:] or list(SETS) + list(HARD_SETS) + (list(LARGE_SETS) if os.environ.get("KY_BENCH_LARGE") == "1" else [])
    for name in names:
        if name not in known:
            sys.exit(f"unknown point set {name}; known: {' '.join(known)}")
        x, y = known[name]()
        np.save(out / f"{name}.x.npy", np.ascontiguousarray(x, dtype=np.float64))
        np.save(out / f"{name}.y.npy", np.ascontiguousarray(y, dtype=np.float64))
        print(f"{name}: {len(x)} points")


if __name__ == "__main__":
    main()
