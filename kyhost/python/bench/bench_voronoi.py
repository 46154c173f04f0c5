#!/usr/bin/python3
"""kyhost.Voronoi against scipy.spatial.Voronoi, and Voronoi.cells(clip=box)
against GEOS (shapely 1.8's voronoi_diagram with the box as envelope, each
cell intersected with the box and matched to its point), on the same random
points in the same run. Medians of runs taken in turn, and the ratios.

"Everything" for kyhost is the diagram with regions and ridge_vertices made
as Python lists, as scipy's constructor makes them (scipy makes ridge_dict
only when it is first read, as kyhost does); "arrays"
is the diagram's vertices, ridge_points and point_region alone, from the
points (the triangulation included).

    PYTHONPATH=build/release/python /usr/bin/python3 kyhost/python/bench/bench_voronoi.py \\
        [--points 1000000] [--repeat 3] [--no-geos] [--grid 1000]

--grid N also counts the N x N integer grid's diagram (N = 1000: 998,001
vertices and 1,998,000 ridges expected).
"""
import argparse
import statistics
import time

import numpy as np
import scipy.spatial

import kyhost


def timed(function):
    start = time.perf_counter()
    result = function()
    return time.perf_counter() - start, result


def ours_everything(points):
    v = kyhost.Voronoi(points)
    v.regions, v.ridge_vertices  # noqa: B018 (made as scipy's constructor makes them)
    return v


def ours_arrays(points):
    v = kyhost.Voronoi(points)
    return v.vertices, v.ridge_points, v.point_region


def ours_box(points, box):
    return kyhost.Voronoi(points).cells(clip=box)


def geos_box(points, box):
    from shapely.geometry import MultiPoint, Point, box as make_box
    from shapely.ops import voronoi_diagram
    from shapely.strtree import STRtree
    envelope = make_box(*box)
    cells = voronoi_diagram(MultiPoint(points), envelope=envelope)
    clipped = [cell.intersection(envelope) for cell in cells.geoms]
    # Match each cell to its point (GEOS returns them in its own order).
    tree = STRtree(clipped)
    index = {id(c): k for k, c in enumerate(clipped)}
    matched = [None] * len(points)
    for p, xy in enumerate(points):
        point = Point(xy)
        for candidate in tree.query(point):
            if candidate.intersects(point):
                matched[p] = clipped[index[id(candidate)]]
                break
    return matched


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--points", type=int, default=1_000_000)
    parser.add_argument("--repeat", type=int, default=3)
    parser.add_argument("--no-geos", action="store_true")
    parser.add_argument("--grid", type=int, default=0)
    args = parser.parse_args()
    points = np.random.default_rng(1).random((args.points, 2))
    box = (0.0, 0.0, 1.0, 1.0)
    runs = {"ours everything": [], "scipy": [], "ours arrays": [], "ours cells(box)": [], "geos cells(box)": []}
    for _ in range(args.repeat):
        runs["ours everything"].append(timed(lambda: ours_everything(points))[0])
        runs["scipy"].append(timed(lambda: scipy.spatial.Voronoi(points))[0])
        runs["ours arrays"].append(timed(lambda: ours_arrays(points))[0])
        runs["ours cells(box)"].append(timed(lambda: ours_box(points, box))[0])
        if not args.no_geos:
            runs["geos cells(box)"].append(timed(lambda: geos_box(points, box))[0])
    median = {name: statistics.median(times) for name, times in runs.items() if times}
    for name, seconds in median.items():
        print(f"{name:18s} {seconds:8.3f} s (median of {args.repeat})")
    print(f"Voronoi everything / scipy: {median['ours everything'] / median['scipy']:.3f}")
    print(f"Voronoi arrays / scipy:     {median['ours arrays'] / median['scipy']:.3f}")
    if "geos cells(box)" in median:
        print(f"cells(box) / GEOS:          {median['ours cells(box)'] / median['geos cells(box)']:.3f}")
    if args.grid:
        n = args.grid
        grid = np.stack(np.meshgrid(np.arange(n, dtype=float), np.arange(n, dtype=float)), -1).reshape(-1, 2)
        seconds, v = timed(lambda: kyhost.Voronoi(grid))
        inner = [v.regions[j * n + i] for j in range(1, n - 1, max(1, n // 50)) for i in range(1, n - 1)]
        print(f"grid {n}x{n}: {len(v.vertices)} vertices (expected {(n - 1) ** 2}), {len(v.ridge_points)} ridges "
              f"(expected {2 * n * (n - 1)}), inner regions of 4 vertices: {all(len(r) == 4 for r in inner)}, "
              f"{seconds:.2f} s")


if __name__ == "__main__":
    main()
