#!/usr/bin/python3
"""kyhost.dask.triangulate on a local cluster of two worker processes (one
thread each, memory_limit per worker): uniform points stored as one (n, 2)
.npy file and read by the workers in chunks, the rows written by the workers
as .npy parts. Prints the wall time, each worker's VmHWM (read through
client.run afterwards), worker restarts and tasks that erred or were
rescheduled, the client's VmHWM before and after, and whether the parts hold
the same rows as the in-memory Triangulation (an order-free hash of the
sorted rows, computed after the dask run so that it does not count towards
the client's memory).

    PYTHONPATH=build/release/python /usr/bin/python3 kyhost/python/bench/bench_dask_triangulate.py \\
        [--points 30000000] [--chunk 2000000] [--memory-limit 3GB] [--folder DIR]
"""
import argparse
import os
import pathlib
import tempfile
import time

import dask
import dask.array as da
import distributed
import numpy as np

import kyhost


def vm_hwm_kb():
    for line in open("/proc/self/status"):
        if line.startswith("VmHWM:"):
            return int(line.split()[1])
    return -1


def load_rows(path, start, stop):
    return np.array(np.load(path, mmap_mode="r")[start:stop])


def row_hash(rows):
    """An order-free hash of a set of triangles (each row's corners sorted)."""
    r = np.sort(np.asarray(rows, dtype=np.uint64), axis=1)
    h = (r[:, 0] * np.uint64(0x9E3779B97F4A7C15)) ^ (r[:, 1] * np.uint64(0xC2B2AE3D27D4EB4F)) ^ \
        (r[:, 2] * np.uint64(0x165667B19E3779F9))
    h ^= h >> np.uint64(29)
    h *= np.uint64(0xBF58476D1CE4E5B9)
    return int(r.shape[0]), int(h.sum(dtype=np.uint64))


def scheduler_counts(dask_scheduler):
    erred = rescheduled = 0
    for entry in dask_scheduler.transition_log:
        start, finish = entry[1], entry[2]
        erred += finish == "erred"
        rescheduled += start == "processing" and finish in ("released", "waiting")
    return erred, rescheduled


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--points", type=int, default=30_000_000)
    parser.add_argument("--chunk", type=int, default=2_000_000)
    parser.add_argument("--memory-limit", default="3GB")
    parser.add_argument("--folder", default=None)
    options = parser.parse_args()
    folder = pathlib.Path(options.folder or tempfile.mkdtemp(prefix="kyhost-dask-bench-"))
    folder.mkdir(parents=True, exist_ok=True)
    path = str(folder / "points.npy")
    n = options.points
    rng = np.random.default_rng(1)
    points = np.lib.format.open_memmap(path, mode="w+", dtype=np.float64, shape=(n, 2))
    for start in range(0, n, options.chunk):
        stop = min(n, start + options.chunk)
        points[start:stop] = rng.random((stop - start, 2))
    points.flush()
    del points
    client_start = vm_hwm_kb()
    print(f"{n} uniform points in {path}; load average {os.getloadavg()}; client VmHWM at start {client_start / 1024:.0f} MB")

    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True, memory_limit=options.memory_limit,
                                  dashboard_address=None) as cluster, distributed.Client(cluster) as client:
        pids = client.run(os.getpid)
        blocks = [da.from_delayed(dask.delayed(load_rows, pure=True)(path, s, min(n, s + options.chunk)),
                                  shape=(min(n, s + options.chunk) - s, 2), dtype=np.float64)
                  for s in range(0, n, options.chunk)]
        array = da.concatenate(blocks, axis=0)
        parts = folder / "parts"
        started = time.perf_counter()
        kyhost.dask.triangulate(array, out=str(parts))
        wall = time.perf_counter() - started
        hwm = client.run(vm_hwm_kb)
        restarts = sum(1 for address, pid in client.run(os.getpid).items() if pids.get(address) != pid) + \
            abs(len(pids) - len(client.scheduler_info()["workers"]))
        erred, rescheduled = client.run_on_scheduler(scheduler_counts)
    client_end = vm_hwm_kb()
    print(f"dask.triangulate wall {wall:.1f} s")
    for address, kb in sorted(hwm.items()):
        print(f"worker {address}: VmHWM {kb / 1024:.0f} MB")
    print(f"worker restarts {restarts}, erred transitions {erred}, rescheduled {rescheduled}")
    print(f"client VmHWM after {client_end / 1024:.0f} MB (+{(client_end - client_start) / 1024:.0f} MB)")

    count, digest = 0, 0
    for part in sorted(parts.glob("part-*.npy")):
        c, h = row_hash(np.load(part))
        count, digest = count + c, (digest + h) % (1 << 64)
    xy = np.load(path, mmap_mode="r")
    memory = kyhost.Triangulation(np.ascontiguousarray(xy[:, 0]), np.ascontiguousarray(xy[:, 1]))
    mc, mh = row_hash(memory.simplices)
    print(f"rows: dask {count}, in memory {mc}; same row set: {count == mc and digest == mh % (1 << 64)}")


if __name__ == "__main__":
    main()
