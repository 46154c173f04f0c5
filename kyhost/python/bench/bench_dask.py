#!/usr/bin/python3
"""Triangulation.nearest on a dask array of queries against the same
map_blocks over a cKDTree, on a local cluster of two worker processes (one
thread each): both send their object to each worker once (a delayed object
in the graph) and return indices and distances from one pass over the
blocks. Medians of runs taken in turn, and the ratio ours / cKDTree's.

    PYTHONPATH=build/release/python /usr/bin/python3 kyhost/python/bench/bench_dask.py \\
        [--points 1000000] [--queries 1000000] [--chunk 100000] [--repeat 5]
"""
import argparse
import os
import statistics
import time

import dask
import dask.array as da
import distributed
import numpy as np
import scipy.spatial

import kyhost


def tree_block(block, tree):
    distance, index = tree.query(block)
    return np.stack((index.astype(np.float64), distance))


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--points", type=int, default=10**6)
    parser.add_argument("--queries", type=int, default=10**6)
    parser.add_argument("--chunk", type=int, default=10**5)
    parser.add_argument("--repeat", type=int, default=5)
    options = parser.parse_args()
    rng = np.random.default_rng(11)
    points = rng.random((options.points, 2))
    queries = da.from_array(rng.random((options.queries, 2)), chunks=(options.chunk, 2))
    ours = kyhost.Triangulation(points)
    tree = scipy.spatial.cKDTree(points)
    print(f"{options.points} points, {options.queries} queries in blocks of {options.chunk}; "
          f"load average {os.getloadavg()[0]:.2f}")
    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True, dashboard_address=None,
                                  silence_logs=40) as cluster, distributed.Client(cluster) as client:
        def run_ours():
            index, distance = ours.nearest(queries, return_distance=True)
            return client.compute([index, distance], sync=True)

        def run_tree():
            both = da.map_blocks(tree_block, queries, dask.delayed(tree, pure=True), drop_axis=1, new_axis=0,
                                 chunks=((2,), queries.chunks[0]), dtype=np.float64)
            return client.compute([both[0].astype(np.intp), both[1]], sync=True)

        mine, peers = [], []
        for _ in range(options.repeat):
            start = time.perf_counter()
            index, distance = run_ours()
            mine.append(time.perf_counter() - start)
            start = time.perf_counter()
            tree_index, tree_distance = run_tree()
            peers.append(time.perf_counter() - start)
        assert np.array_equal(distance, tree_distance)
    a, b = statistics.median(mine), statistics.median(peers)
    print(f"nearest on dask blocks {a:.3f} s, cKDTree map_blocks {b:.3f} s: ratio {a / b:.2f} (target <= 1.0)")
    print(f"load average at the end {os.getloadavg()[0]:.2f}")


if __name__ == "__main__":
    main()
