#!/usr/bin/python3
"""One whole process as a user runs it: points and queries from .npy files,
the k nearest points of each query by kyhost.Triangulation.query or by
scipy.spatial.cKDTree.query (--peer), the answers written to an .npy file.
For timing the whole process (with /usr/bin/time -v: wall time, page faults,
peak memory) beside its peer's.

    /usr/bin/python3 kyhost/python/bench/whole_query.py --make DIR [--points N] [--queries Q]
    PYTHONPATH=build/release/python /usr/bin/time -v /usr/bin/python3 kyhost/python/bench/whole_query.py DIR [--k K] [--peer]
"""
import argparse
import pathlib

import numpy as np


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("directory", type=pathlib.Path)
    parser.add_argument("--make", action="store_true", help="write points.npy and queries.npy and stop")
    parser.add_argument("--points", type=int, default=10**6)
    parser.add_argument("--queries", type=int, default=10**6)
    parser.add_argument("--k", type=int, default=1)
    parser.add_argument("--peer", action="store_true", help="cKDTree instead of kyhost.Triangulation")
    options = parser.parse_args()
    if options.make:
        rng = np.random.default_rng(3)
        options.directory.mkdir(parents=True, exist_ok=True)
        np.save(options.directory / "points.npy", rng.random((options.points, 2)))
        np.save(options.directory / "queries.npy", rng.random((options.queries, 2)))
        return
    points = np.load(options.directory / "points.npy")
    queries = np.load(options.directory / "queries.npy")
    if options.peer:
        import scipy.spatial
        _, index = scipy.spatial.cKDTree(points).query(queries, options.k)
    else:
        import kyhost
        _, index = kyhost.Triangulation(points).query(queries, options.k)
    np.save(options.directory / ("peer.npy" if options.peer else "answers.npy"), index)


if __name__ == "__main__":
    main()
