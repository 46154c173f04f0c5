"""Draws a grid of interpolated values as filled contours, with the data
points on top, into a PNG or SVG file:

    python3 plot_grid.py POINTS.csv XCOLUMN YCOLUMN GX.csv GY.csv GRID.npy OUT.png [TITLE]

POINTS.csv is a headed CSV holding the data points (their coordinates in
the columns named XCOLUMN and YCOLUMN); GX.csv and GY.csv the grid's x and y
as matrices; GRID.npy the interpolated values, shaped as GX (NaN outside the
data's hull is left blank).
"""
import csv
import sys

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402
import numpy as np  # noqa: E402


def main(arguments):
    if len(arguments) not in (7, 8):
        sys.exit(__doc__)
    points_csv, x_column, y_column, gx_csv, gy_csv, grid_npy, out = arguments[:7]
    title = arguments[7] if len(arguments) == 8 else ""
    with open(points_csv, newline="") as file:
        rows = list(csv.DictReader(file))
    x = np.array([float(row[x_column]) for row in rows])
    y = np.array([float(row[y_column]) for row in rows])
    gx = np.loadtxt(gx_csv, delimiter=",", ndmin=2)
    gy = np.loadtxt(gy_csv, delimiter=",", ndmin=2)
    grid = np.load(grid_npy)
    if grid.shape != gx.shape or gy.shape != gx.shape:
        sys.exit(f"GX {gx.shape}, GY {gy.shape} and GRID {grid.shape} must have one shape")
    figure, axes = plt.subplots(figsize=(8, 5), dpi=120)
    filled = axes.contourf(gx, gy, np.ma.masked_invalid(grid), levels=16, cmap="viridis")
    axes.contour(gx, gy, np.ma.masked_invalid(grid), levels=filled.levels, colors="white", linewidths=0.3)
    axes.plot(x, y, "o", markersize=2.5, color="black", label=f"{len(x)} data points")
    figure.colorbar(filled, ax=axes)
    axes.set_xlabel(x_column)
    axes.set_ylabel(y_column)
    axes.set_aspect("equal")
    axes.legend(loc="upper right", fontsize="small")
    if title:
        axes.set_title(title)
    figure.tight_layout()
    figure.savefig(out)
    print(f"picture: {out}")


if __name__ == "__main__":
    main(sys.argv[1:])
