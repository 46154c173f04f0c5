"""kyhost.Voronoi against scipy.spatial.Voronoi, against an exact oracle in
Python fractions on small and degenerate sets, and its clipped cells as a
coverage of the clip."""
import functools
import itertools
import math
from fractions import Fraction

import numpy as np
import pytest
import scipy.spatial

import kyhost

# sweeptri warns about collinear points on grids; the diagram does not depend on it.
pytestmark = pytest.mark.filterwarnings("ignore::kyhost.KyWarning")


# -- an exact oracle: empty circles through three points ----------------------
def _centre(a, b, c):
    ax, ay = map(Fraction, a)
    bx, by = Fraction(b[0]) - ax, Fraction(b[1]) - ay
    cx, cy = Fraction(c[0]) - ax, Fraction(c[1]) - ay
    d = 2 * (bx * cy - by * cx)
    if d == 0:
        return None
    b2, c2 = bx * bx + by * by, cx * cx + cy * cy
    return ax + (cy * b2 - by * c2) / d, ay + (bx * c2 - cx * b2) / d


def _angle_order(centre, members, points):
    def half(p):
        dx, dy = Fraction(points[p][0]) - centre[0], Fraction(points[p][1]) - centre[1]
        return (0 if (dy > 0 or (dy == 0 and dx > 0)) else 1), dx, dy

    def compare(p, q):
        hp, px, py = half(p)
        hq, qx, qy = half(q)
        if hp != hq:
            return hp - hq
        cross = px * qy - py * qx
        return -1 if cross > 0 else (1 if cross < 0 else 0)
    return sorted(members, key=functools.cmp_to_key(compare))


def exact_voronoi(points):
    """{frozenset(p, q): set of exact vertices (None for the end at infinity)}
    and the exact vertices."""
    n = len(points)
    circles = {}
    for a, b, c in itertools.combinations(range(n), 3):
        centre = _centre(points[a], points[b], points[c])
        if centre is None or centre in circles:
            continue
        r2 = (Fraction(points[a][0]) - centre[0]) ** 2 + (Fraction(points[a][1]) - centre[1]) ** 2
        on, empty = [], True
        for p in range(n):
            d2 = (Fraction(points[p][0]) - centre[0]) ** 2 + (Fraction(points[p][1]) - centre[1]) ** 2
            if d2 < r2:
                empty = False
                break
            if d2 == r2:
                on.append(p)
        if empty:
            circles[centre] = _angle_order(centre, on, points)
    ridges = {}
    for centre, ring in circles.items():
        for p, q in zip(ring, ring[1:] + ring[:1]):
            ridges.setdefault(frozenset((p, q)), []).append(centre)
    return {key: value + [None] * (2 - len(value)) for key, value in ridges.items()}, set(circles)


def _as_exact(v: kyhost.Voronoi):
    result = {}
    for (p, q), (a, b) in zip(v.ridge_points.tolist(), v.ridge_vertices):
        ends = [None if k < 0 else tuple(v.vertices[k]) for k in (a, b)]
        result[frozenset((p, q))] = ends
    return result


def _check_against_oracle(points):
    v = kyhost.Voronoi(np.asarray(points, dtype=float))
    ridges, vertices = exact_voronoi([tuple(map(float, p)) for p in points])
    assert len(v.vertices) == len(vertices)
    assert {tuple(x) for x in v.vertices.tolist()} == {(float(x), float(y)) for x, y in vertices}
    mine = _as_exact(v)
    assert set(mine) == set(ridges)
    for key, ends in ridges.items():
        expected = sorted([None if e is None else (float(e[0]), float(e[1])) for e in ends], key=str)
        assert sorted(mine[key], key=str) == expected
    return v


@pytest.mark.parametrize("family", ["random", "integers", "grid", "circle", "two circles", "hull line"])
def test_matches_the_exact_oracle_on_small_and_degenerate_sets(family):
    rng = np.random.default_rng(4)
    if family == "random":
        points = rng.random((40, 2)) * 1e-3 + 7.0
    elif family == "integers":  # many cocircular quadruples
        points = np.unique(rng.integers(0, 6, (30, 2)), axis=0)
    elif family == "grid":
        points = np.array([(i, j) for i in range(6) for j in range(5)], dtype=float) * 0.1
    elif family == "circle":
        points = [(a, b) for a in range(-5, 6) for b in range(-5, 6) if a * a + b * b == 25]
        points = np.array(points + [(0, 0)], dtype=float)
    elif family == "two circles":
        ring = [(a, b) for a in range(-5, 6) for b in range(-5, 6) if a * a + b * b == 25]
        points = np.array(ring + [(a + 20, b) for a, b in ring], dtype=float)
    else:  # points along the hull's edges
        points = np.array([(i, 0) for i in range(6)] + [(i, 4) for i in range(6)] + [(2.5, 2)], dtype=float)
    _check_against_oracle(points)


def test_twelve_points_on_a_circle_give_one_vertex_and_twelve_rays():
    points = np.array([(a, b) for a in range(-5, 6) for b in range(-5, 6) if a * a + b * b == 25], dtype=float)
    v = kyhost.Voronoi(points)
    assert v.vertices.tolist() == [[0.0, 0.0]]
    assert sorted(v.ridge_vertices) == [[-1, 0]] * 12
    assert all(region == [-1, 0] for region in v.regions)


@pytest.mark.parametrize("side", [100])
def test_integer_grid_counts(side):
    xy = np.array([(i, j) for j in range(side) for i in range(side)], dtype=float)
    v = kyhost.Voronoi(xy)
    assert len(v.vertices) == (side - 1) ** 2
    assert len(v.ridge_points) == 2 * side * (side - 1)
    inner = [(i, j) for j in range(1, side - 1) for i in range(1, side - 1)]
    assert all(len(v.regions[v.point_region[j * side + i]]) == 4 for i, j in inner)
    assert all(v.regions[p][0] == -1 for p in range(side))  # the bottom row is unbounded
    # Unit squares from a box through the vertices.
    areas = v.areas(clip=(10.5, 20.5, 60.5, 70.5))
    assert sorted(set(areas.tolist())) == [0.0, 1.0] and areas.sum() == 2500.0


def test_against_scipy_on_random_points():
    rng = np.random.default_rng(1)
    points = rng.random((10_000, 2)) * [3.0, 2.0] - 1.0
    mine, theirs = kyhost.Voronoi(points), scipy.spatial.Voronoi(points)
    ours = {frozenset(r): k for k, r in enumerate(mine.ridge_points.tolist())}
    assert set(ours) == {frozenset(r) for r in theirs.ridge_points.tolist()}
    diagonal = math.hypot(3.0, 2.0)
    for k, (p, q) in enumerate(theirs.ridge_points.tolist()):
        a = sorted(theirs.ridge_vertices[k])
        b = mine.ridge_vertices[ours[frozenset((p, q))]]
        assert (np.array(a) < 0).sum() == (np.array(b) < 0).sum()
        va = np.sort([theirs.vertices[i] for i in a if i >= 0], axis=0)
        vb = np.sort([mine.vertices[i] for i in b if i >= 0], axis=0)
        assert np.abs(va - vb).max(initial=0.0) <= 1e-9 * diagonal
    # Each region counter-clockwise around its point.
    for p in range(0, 10_000, 97):
        region = mine.regions[mine.point_region[p]]
        if -1 in region:
            continue
        ring = mine.vertices[region] - points[p]
        assert np.all(ring[:, 0] * np.roll(ring[:, 1], -1) - ring[:, 1] * np.roll(ring[:, 0], -1) > 0)


def test_vertices_are_the_rounded_exact_centres_at_extreme_magnitudes():
    rng = np.random.default_rng(2)
    for scale in (1e-300, 1e300, 1.0):
        points = rng.random((25, 2)) * scale
        v = _check_against_oracle(points)
        assert np.isfinite(v.vertices).all() or scale == 1e300


def test_triangulation_voronoi_is_the_same_diagram_and_arrays_are_read_only():
    rng = np.random.default_rng(3)
    points = rng.random((500, 2))
    t = kyhost.Triangulation(points)
    a, b = t.voronoi(), kyhost.Voronoi(points)
    assert np.array_equal(a.vertices, b.vertices) and np.array_equal(a.ridge_points, b.ridge_points)
    assert a.regions == b.regions and a.ridge_dict == b.ridge_dict and a.npoints == 500
    assert np.array_equal(a.min_bound, points.min(axis=0)) and np.array_equal(a.point_region, np.arange(500))
    for array in (a.vertices, a.ridge_points, a.point_region, a.points):
        with pytest.raises(ValueError):
            array[0] = 0


def test_refused_options_duplicates_and_bad_clips():
    points = np.array([[0, 0], [1, 0], [0, 1], [1, 1], [0.5, 0.4]])
    for option in ({"furthest_site": True}, {"incremental": True}, {"qhull_options": "Qbb"}):
        with pytest.raises(ValueError, match="not supported"):
            kyhost.Voronoi(points, **option)
    with pytest.raises(ValueError, match="points 1 and 5"):
        kyhost.Voronoi(np.vstack((points, [[1, 0]])))
    with pytest.raises(ValueError, match="not finite"):
        kyhost.Voronoi(np.vstack((points, [[np.nan, 0]])))
    v = kyhost.Voronoi(points)
    with pytest.raises(ValueError, match="empty"):
        v.cells(clip=(0, 0, 0, 1))
    with pytest.raises(ValueError, match="not valid"):
        v.cells(clip=np.array([[0, 0], [1, 1], [1, 0], [0, 1]]))  # self-intersecting
    with pytest.raises(ValueError, match="not valid"):
        v.cells(clip=(np.array([[0, 0], [2, 0], [2, 2], [0, 2]]), [np.array([[1, 1], [3, 1], [3, 1.5]])]))
    with pytest.raises(ValueError, match="at least 3"):
        v.cells(clip=np.array([[0, 0], [1, 1]]))
    with pytest.raises(ValueError, match="finite"):
        v.cells(clip=(0, 0, np.nan, 1))
    with pytest.raises(ValueError):
        v.cells(clip="box")


def test_merged_repeats_get_empty_regions_and_cells():
    points = np.array([[0, 0], [1, 0], [0, 1], [1, 0], [1, 1]], dtype=float)
    v = kyhost.Voronoi(points, merge_duplicates=True)
    assert v.regions[v.point_region[3]] == [] and v.regions[v.point_region[1]] != []
    assert 3 not in v.ridge_points
    cells = v.cells(clip=(-1, -1, 2, 2))
    assert cells[3] == [] and math.isclose(math.fsum(v.areas(clip=(-1, -1, 2, 2))), 9.0, rel_tol=1e-15)


def _coverage(v, clip, area):
    cells = v.cells(clip=clip)
    areas = v.areas(clip=clip)
    assert math.isclose(math.fsum(areas), area, rel_tol=1e-12)
    corners = {}
    for p, cell in enumerate(cells):
        for exterior, holes in cell:
            assert holes == []
            rel = exterior - v.points[p]
            twice = rel[:, 0] * np.roll(rel[:, 1], -1) - rel[:, 1] * np.roll(rel[:, 0], -1)
            assert twice.sum() > 0  # counter-clockwise
            for corner in map(tuple, exterior.tolist()):
                corners[corner] = corners.get(corner, 0) + 1
    return cells, areas, corners


def test_box_cells_cover_the_box_and_hold_their_points():
    rng = np.random.default_rng(5)
    for offset in (0.0, 1e6):
        points = rng.random((3000, 2)) * 10 + offset
        v = kyhost.Voronoi(points)
        box = (offset + 1, offset + 2, offset + 9, offset + 7)
        cells, _, corners = _coverage(v, box, 8.0 * 5.0)
        inside = ((points[:, 0] >= box[0]) & (points[:, 0] <= box[2]) & (points[:, 1] >= box[1])
                  & (points[:, 1] <= box[3]))
        from shapely.geometry import Point, Polygon
        for p in np.flatnonzero(inside)[::17]:
            assert Polygon(cells[p][0][0]).buffer(1e-9 * (1 + offset)).contains(Point(points[p]))
        # A corner strictly inside the box belongs to three cells or more.
        for (x, y), uses in corners.items():
            on_side = x in (box[0], box[2]) or y in (box[1], box[3])
            assert uses >= (1 if on_side else 3)


def test_hull_clip_with_points_on_hull_edges_and_a_hull_of_no_area():
    side = 8
    grid = np.array([(i, j) for j in range(side) for i in range(side)], dtype=float)
    v = kyhost.Voronoi(grid)
    areas = v.areas()  # the hull: the square [0, 7]^2
    corners_of_square = {0, side - 1, side * (side - 1), side * side - 1}
    for p, area in enumerate(areas.tolist()):
        i, j = p % side, p // side
        edges = (i in (0, side - 1)) + (j in (0, side - 1))
        assert area == (0.25 if p in corners_of_square else 0.5 if edges else 1.0)
    line = kyhost.Voronoi(np.array([[0.0, 0.0], [1.0, 1.0], [3.0, 3.0]]))
    assert line.areas().tolist() == [0.0, 0.0, 0.0] and line.cells() == [[], [], []]
    assert line.ridge_vertices == [[-1, -1], [-1, -1]] and line.regions == [[-1]] * 3
    # Strips of a box.
    strips = line.areas(clip=(-1, -1, 4, 4))
    assert math.isclose(math.fsum(strips), 25.0, rel_tol=1e-14) and (strips > 0).all()
    single = kyhost.Voronoi(np.array([[0.5, 0.5]]))
    assert single.areas(clip=(0, 0, 2, 1)).tolist() == [2.0] and single.ridge_points.shape == (0, 2)


def test_convex_polygon_clip_and_shapely():
    rng = np.random.default_rng(6)
    points = rng.random((400, 2))
    v = kyhost.Voronoi(points)
    angles = np.linspace(0, 2 * np.pi, 40, endpoint=False)
    octagon = np.column_stack((0.5 + 0.4 * np.cos(angles), 0.5 + 0.4 * np.sin(angles)))
    polygon_area = 0.5 * abs(np.dot(octagon[:, 0], np.roll(octagon[:, 1], -1))
                             - np.dot(octagon[:, 1], np.roll(octagon[:, 0], -1)))
    _coverage(v, octagon, polygon_area)
    _coverage(v, octagon[::-1], polygon_area)  # either orientation
    from shapely.ops import unary_union
    shapes = v.to_shapely(clip=(0, 0, 1, 1))
    assert len(shapes) == 400 and all(s.is_valid for s in shapes)
    assert math.isclose(unary_union(shapes).area, 1.0, rel_tol=1e-12)
    assert math.isclose(math.fsum(s.area for s in shapes), 1.0, rel_tol=1e-12)


def test_polygon_with_holes_and_concave_clips_are_covered():
    from shapely.geometry import Point
    from shapely.geometry import Polygon as ShapelyPolygon
    from shapely.ops import unary_union
    rng = np.random.default_rng(7)
    points = rng.random((600, 2)) * 4
    v = kyhost.Voronoi(points)
    outer = np.array([[0.2, 0.2], [3.8, 0.2], [3.8, 3.8], [2.0, 2.1], [0.2, 3.8]])  # concave
    hole = np.array([[1.0, 1.0], [1.0, 1.6], [2.6, 1.6], [2.6, 1.0]])
    for clip in (outer, (outer, [hole]), (outer[::-1], [hole[::-1]])):
        shape = ShapelyPolygon(*clip) if isinstance(clip, tuple) else ShapelyPolygon(clip)
        cells, areas = v.cells(clip=clip), v.areas(clip=clip)
        assert math.isclose(math.fsum(areas), shape.area, rel_tol=1e-12)
        pieces = [ShapelyPolygon(e, h) for cell in cells for e, h in cell]
        assert all(p.is_valid for p in pieces)
        assert math.isclose(unary_union(pieces).area, shape.area, rel_tol=1e-12)
        for p, cell in enumerate(cells):
            for exterior, holes in cell:
                assert ShapelyPolygon(exterior).exterior.is_ccw and all(not ShapelyPolygon(h).exterior.is_ccw
                                                                        for h in holes)
            if shape.contains(Point(points[p])):
                assert any(ShapelyPolygon(e, h).buffer(1e-12).contains(Point(points[p])) for e, h in cell)
    # A hole that cuts one cell in two gives it two pieces.
    two = kyhost.Voronoi(np.array([[0.0, 0.0], [10.0, 0.0]]))
    box_with_bar = (np.array([[-1, -1], [4, -1], [4, 1], [-1, 1]]), [np.array([[0.5, -1.0], [0.5, 1.0], [1.0, 0.0]])])
    with pytest.raises(ValueError, match="not valid"):
        two.cells(clip=box_with_bar)  # a hole touching the exterior along an edge
    u_shape = np.array([[-1, -1], [4, -1], [4, 1], [3, 1], [3, -0.5], [0, -0.5], [0, 1], [-1, 1]], dtype=float)
    band = kyhost.Voronoi(np.array([[1.5, 5.0], [1.5, -4.0]]))  # the bisector y = 0.5 crosses both arms
    cells = band.cells(clip=u_shape)
    assert math.isclose(math.fsum(band.areas(clip=u_shape)), ShapelyPolygon(u_shape).area, rel_tol=1e-12)
    assert [len(c) for c in cells] == [2, 1]
    assert math.isclose(band.areas(clip=u_shape)[0], 2 * 0.5, rel_tol=1e-15)


# -- kyhost voronoi on the command line -----------------------------------------
def _cells_of_feature(geometry):
    if geometry is None:
        return []
    polygons = [geometry["coordinates"]] if geometry["type"] == "Polygon" else geometry["coordinates"]
    for polygon in polygons:
        for ring in polygon:
            assert ring[0] == ring[-1]  # closed
    return [(np.array(p[0][:-1]), [np.array(h[:-1]) for h in p[1:]]) for p in polygons]


def _same_ring(a, b):
    """The same corners in the same cyclic order (the first may differ)."""
    if a.shape != b.shape:
        return False
    start = np.flatnonzero((b == a[0]).all(axis=1))
    return start.size == 1 and np.array_equal(np.roll(b, -int(start[0]), axis=0), a)


def test_command_line_writes_the_same_cells_as_geojson_and_csv(run_kyhost, tmp_path):
    import json
    rng = np.random.default_rng(8)
    points = rng.random((300, 2)) * 2
    np.save(tmp_path / "x.npy", points[:, 0])
    np.save(tmp_path / "y.npy", points[:, 1])
    (tmp_path / "poly.csv").write_text("x,y\n0.1,0.1\n1.9,0.1\n1.9,1.9\n1.0,1.2\n0.1,1.9\n0.1,0.1\n\n"
                                       "0.5,0.5\n0.5,0.8\n0.9,0.8\n0.9,0.5\n")
    v = kyhost.Voronoi(points)
    hole = np.array([[0.5, 0.5], [0.5, 0.8], [0.9, 0.8], [0.9, 0.5]])
    polygon = (np.array([[0.1, 0.1], [1.9, 0.1], [1.9, 1.9], [1.0, 1.2], [0.1, 1.9]]), [hole])
    for option, clip in (("box:0.25,0.5,1.5,1.75", (0.25, 0.5, 1.5, 1.75)), ("hull", "hull"),
                         ("csv:" + str(tmp_path / "poly.csv"), polygon)):
        out = tmp_path / "cells.geojson"
        status, _, err = run_kyhost("voronoi", f"npy:{tmp_path / 'x.npy'}", f"npy:{tmp_path / 'y.npy'}",
                                    "--clip", option, "--out", str(out))
        assert status == 0, err
        features = json.loads(out.read_text())["features"]
        assert [f["properties"] for f in features] == [{"index": i + 1, "base": 1} for i in range(300)]
        expected = v.cells(clip=clip)
        for feature, cell in zip(features, expected):
            got = _cells_of_feature(feature["geometry"])
            assert len(got) == len(cell)
            for (e1, h1), (e2, h2) in zip(got, cell):
                assert _same_ring(e1, e2) and len(h1) == len(h2)  # the same doubles, read back
        status, _, err = run_kyhost("voronoi", f"npy:{tmp_path / 'x.npy'}", f"npy:{tmp_path / 'y.npy'}",
                                    "--clip", option, "--out", str(tmp_path / "cells.csv"))
        assert status == 0, err
        rows = np.loadtxt(tmp_path / "cells.csv", delimiter=",", skiprows=1, ndmin=2)
        exterior_corners = sum(len(e) for cell in expected for e, _ in cell)
        assert (rows[:, 2] == 0).sum() == exterior_corners
        first = rows[(rows[:, 0] == rows[0, 0]) & (rows[:, 1] == 0) & (rows[:, 2] == 0)]
        assert _same_ring(first[:, 4:], expected[int(rows[0, 0]) - 1][0][0])


def test_command_line_refuses_bad_input_and_keeps_the_old_file(run_kyhost, tmp_path):
    np.save(tmp_path / "x.npy", np.array([0.0, 1.0, 0.0, 1.0]))
    np.save(tmp_path / "y.npy", np.array([0.0, 0.0, 1.0, 0.0]))
    np.save(tmp_path / "bad.npy", np.array([0.0, 1.0, np.nan, 2.0]))
    (tmp_path / "cross.csv").write_text("0,0\n1,1\n1,0\n0,1\n")
    out = tmp_path / "cells.geojson"
    out.write_text("old")
    x, y = f"npy:{tmp_path / 'x.npy'}", f"npy:{tmp_path / 'y.npy'}"
    status, _, err = run_kyhost("voronoi", x, y, "--out", str(out))
    assert status == 2 and "points 2 and 4 are both at (1, 0)" in err
    status, _, err = run_kyhost("voronoi", f"npy:{tmp_path / 'bad.npy'}", y, "--out", str(out))
    assert status == 2 and "point 3 is not finite" in err
    np.save(tmp_path / "y.npy", np.array([0.0, 0.0, 1.0, 1.0]))
    status, _, err = run_kyhost("voronoi", x, y, "--clip", f"csv:{tmp_path / 'cross.csv'}", "--out", str(out))
    assert status == 2 and "not valid" in err
    status, _, err = run_kyhost("voronoi", x, y, "--clip", "box:0,0,0,1", "--out", str(out))
    assert status == 2 and "empty" in err
    status, _, err = run_kyhost("voronoi", x, y, "--out", str(tmp_path / "cells.txt"))
    assert status == 2 and ".geojson" in err
    assert out.read_text() == "old" and sorted(p.name for p in tmp_path.iterdir() if ".part" in p.name) == []
    # Points on one line: a hull of no area gives null cells; a box gives strips.
    np.save(tmp_path / "y.npy", np.array([0.0, 1.0, 0.0, 1.0]) * 0)
    np.save(tmp_path / "x.npy", np.array([0.0, 1.0, 2.0, 3.0]))
    status, _, err = run_kyhost("voronoi", x, y, "--out", str(out))
    import json
    assert status == 0, err
    assert [f["geometry"] for f in json.loads(out.read_text())["features"]] == [None] * 4
    status, _, err = run_kyhost("voronoi", x, y, "--clip", "box:-1,-1,4,1", "--out", str(out))
    assert status == 0, err
    assert [f["geometry"]["coordinates"][0][0] for f in json.loads(out.read_text())["features"]][0] == [-1, -1]


def test_plot_draws_finite_ridges_solid_and_rays_dashed():
    import matplotlib
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt
    points = np.array([(a, b) for a in range(-5, 6) for b in range(-5, 6) if a * a + b * b == 25] + [(0, 0)],
                      dtype=float)
    v = kyhost.Voronoi(points)
    figure, ax = plt.subplots()
    assert v.plot(ax) is ax
    solid, dashed = ax.collections[-2], ax.collections[-1]
    finite = sum(1 for a, _ in v.ridge_vertices if a >= 0)
    assert len(solid.get_segments()) == finite and len(dashed.get_segments()) == len(v.ridge_vertices) - finite
    plt.close(figure)
