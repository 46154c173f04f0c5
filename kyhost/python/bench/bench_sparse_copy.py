#!/usr/bin/python3
"""What reading a sparse layout from a copy costs a Python call: nearwalk
with a neighbour matrix S whose index arrays are writeable (copied before
the check, so that no other thread can change them under the call) against
the same S with read-only index arrays (read in place), on the same data in
the same run, alternating, with scipy's cKDTree query on the same queries
as the peer. Medians in milliseconds and the ratio copied / in place.

    PYTHONPATH=build/release/python /usr/bin/python3 kyhost/python/bench/bench_sparse_copy.py [--points N] [--repeat R]
"""
import argparse
import statistics
import time

import numpy as np
import scipy.sparse
import scipy.spatial

import kyhost


def alternating(runs, repeat):
    """Median seconds of each run, the runs taking turns."""
    times = [[] for _ in runs]
    for _ in range(repeat):
        for k, run in enumerate(runs):
            start = time.perf_counter()
            run()
            times[k].append(time.perf_counter() - start)
    return [statistics.median(t) for t in times]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--points", type=int, default=1_000_000)
    parser.add_argument("--repeat", type=int, default=9)
    args = parser.parse_args()
    rng = np.random.default_rng(5)
    x, y = rng.random(args.points), rng.random(args.points)
    t = kyhost.Triangulation(x, y)
    tri = np.asfortranarray(t.simplices + 1.0)
    frozen = t._neighbour_matrix()
    writeable = scipy.sparse.csc_matrix((frozen.data, frozen.indices.copy(), frozen.indptr.copy()), shape=frozen.shape)
    tree = scipy.spatial.cKDTree(np.column_stack((x, y)))
    print(f"{args.points} points, S with {frozen.nnz} entries; median of {args.repeat}, alternating")
    layout = kyhost._kyhost._sparse_layout_storage
    copied, in_place = alternating([lambda: layout(writeable), lambda: layout(frozen)], args.repeat)
    print(f"  the layout alone (conversion, copy, check): copied {copied * 1e3:.1f} ms, in place "
          f"{in_place * 1e3:.1f} ms; the copy {1e3 * (copied - in_place):.1f} ms")
    for count in (1_000, 1_000_000):
        # Queries in columns of a grid, as when gridding data: each walk
        # starts near its answer. 1000 of them cover a small box.
        side = int(round(count ** 0.5))
        extent = 1.0 if count >= 10**5 else 0.01
        gx, gy = np.meshgrid(0.5 + extent * (np.arange(side) / side - 0.5),
                             0.5 + extent * (np.arange(side) / side - 0.5))
        qx, qy = gx.ravel(order="F"), gy.ravel(order="F")
        copied, in_place, peer = alternating([
            lambda: kyhost.nearwalk(x, y, tri, qx, qy, writeable),
            lambda: kyhost.nearwalk(x, y, tri, qx, qy, frozen),
            lambda: tree.query(np.column_stack((qx, qy))),
        ], args.repeat)
        print(f"  {count:>9} queries: S copied {copied * 1e3:8.1f} ms, S in place {in_place * 1e3:8.1f} ms, "
              f"ratio {copied / in_place:.3f}; the copy {1e3 * (copied - in_place):.1f} ms; "
              f"cKDTree query {peer * 1e3:8.1f} ms (ratio to copied {peer / copied:.2f})")


if __name__ == "__main__":
    main()
