"""Records the interpolation answers on a corpus of ordinary random sets, or
compares them with a recording bit for bit: a change to the weights'
arithmetic must leave ordinary answers as they were.

    PYTHONPATH=build/release/python python3 trinterp/bench/interpolation_corpus.py record before.npz
    PYTHONPATH=build/release/python python3 trinterp/bench/interpolation_corpus.py compare before.npz

The corpus: uniform, clustered, jittered-grid and thin sets of 10 to 3000
points, at scales 1e-6 to 1e6 and offsets up to 1e4, with queries inside,
outside, on the points and on the sides' midpoints, for both methods,
through the plug-in's call and through an interpolator's kept mesh."""
import sys

import numpy as np

import kyhost


def point_sets(rng):
    for n in (10, 30, 100, 300, 1000, 3000):
        for kind in ("uniform", "clustered", "grid", "thin"):
            for scale, offset in ((1.0, 0.0), (1e-6, 0.0), (1e6, 1e4), (1e-3, 1e4 * 1e-3)):
                if kind == "uniform":
                    x, y = rng.random((2, n))
                elif kind == "clustered":
                    centres = rng.random((2, 5))
                    pick = rng.integers(0, 5, n)
                    x, y = centres[:, pick] + 0.02 * rng.standard_normal((2, n))
                elif kind == "grid":
                    side = int(np.ceil(np.sqrt(n)))
                    gx, gy = np.meshgrid(np.arange(side), np.arange(side))
                    x = gx.ravel()[:n] / side + 1e-3 * rng.random(n)
                    y = gy.ravel()[:n] / side + 1e-3 * rng.random(n)
                else:
                    x, y = rng.random(n), 1e-3 * rng.random(n)
                yield f"{kind}-{n}-{scale:g}-{offset:g}", offset + scale * x, offset + scale * y


def queries(rng, x, y, tri):
    lowx, highx, lowy, highy = x.min(), x.max(), y.min(), y.max()
    qx = rng.uniform(lowx - 0.05 * (highx - lowx), highx + 0.05 * (highx - lowx), 500)
    qy = rng.uniform(lowy - 0.05 * (highy - lowy), highy + 0.05 * (highy - lowy), 500)
    rows = tri.astype(int)[:50] - 1
    midx = 0.5 * (x[rows[:, 0]] + x[rows[:, 1]])
    midy = 0.5 * (y[rows[:, 0]] + y[rows[:, 1]])
    return np.concatenate([qx, x[:50], midx]), np.concatenate([qy, y[:50], midy])


def answers():
    rng = np.random.default_rng(2032)
    out = {}
    for name, x, y in point_sets(rng):
        tri = kyhost.sweeptri(x, y)
        qx, qy = queries(rng, x, y, tri)
        z = np.asfortranarray(np.column_stack([np.sin(3 * x / x.max()) + y / y.max(), rng.standard_normal(x.size)]))
        for method in ("linear", "natural"):
            out[f"{name}-{method}"] = np.asarray(kyhost.trinterp(x, y, z, tri, qx, qy, method))
            kind = kyhost.LinearNDInterpolator if method == "linear" else kyhost.NaturalNeighborInterpolator
            interpolator = kind(kyhost.Triangulation(x, y), z[:, 0])
            interpolator(qx[:10], qy[:10])
            out[f"{name}-{method}-kept"] = interpolator(qx, qy)
    return out


def main(argv):
    if len(argv) != 3 or argv[1] not in ("record", "compare"):
        print(__doc__)
        return 2
    now = answers()
    if argv[1] == "record":
        np.savez_compressed(argv[2], **now)
        print(f"recorded {len(now)} answer sets, {sum(a.size for a in now.values())} answers")
        return 0
    before = np.load(argv[2])
    differing = [key for key in now if key not in before or now[key].tobytes() != before[key].tobytes()]
    total = sum(a.size for a in now.values())
    print(f"{len(now)} answer sets, {total} answers; {len(differing)} sets differ")
    for key in differing[:20]:
        print("  differs:", key)
    return 1 if differing else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
