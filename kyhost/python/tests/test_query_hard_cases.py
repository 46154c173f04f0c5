"""Triangulation.query and nearest where rounding, range, size or distance
make the search hard, against scipy.spatial.cKDTree: many points tied within
rounding, a coordinate far below the others, k as large as the set, queries
far outside the points; and the norms p = 1, 2, inf with eps."""
import os
import subprocess
import sys
import textwrap

import numpy as np
import pytest
import scipy.spatial

import kyhost
from conftest import random_points


def computed(points, queries, p=2):
    """Each query's distance to every point as cKDTree computes it, in the
    coordinates as given: shape (queries, points)."""
    d = np.abs(points[None, :, :] - queries[:, None, :])
    if p == 1:
        return d[..., 0] + d[..., 1]
    if p == np.inf:
        return np.maximum(d[..., 0], d[..., 1])
    return np.sqrt(d[..., 0] * d[..., 0] + d[..., 1] * d[..., 1])


def expect_agrees(ours, theirs, points, queries, p=2, slack=0.0, ranks=False):
    """Same distances as cKDTree; indices that differ only between points
    at the same reported distance; no point left out that is nearer than
    the last one reported. With slack (queries chosen by exact distances),
    the distances agree within that relative rounding, and a point left out
    is no nearer than that. ranks: k was a list of ranks."""
    (d, i), (td, ti) = ours, theirs
    assert d.shape == td.shape and i.shape == ti.shape
    if slack:
        assert np.allclose(d, td, rtol=slack, atol=0)
    else:
        assert np.array_equal(d, td)
    every = computed(points, queries.reshape(-1, 2), p)
    d, i = d.reshape(len(every), -1), i.reshape(len(every), -1)
    for row, (distances, indices) in enumerate(zip(d, i)):
        found = indices < len(points)
        assert np.array_equal(every[row, indices[found]], distances[found])
        assert len(set(indices[found].tolist())) == found.sum()
        if found.all() and not ranks:
            nearer = np.flatnonzero(every[row] < distances[-1] * (1 - slack))
            assert len(nearer) <= found.sum() - 1 and np.isin(nearer, indices).all()


def test_many_points_tied_within_rounding():
    # 199 points on the unit circle and its centre: from the centre, the
    # circle's computed distances lie within rounding of one another.
    angle = 2 * np.pi * np.arange(199) / 199
    points = np.vstack([np.column_stack([np.cos(angle), np.sin(angle)]), [[0.0, 0.0]]])
    ours, tree = kyhost.Triangulation(points), scipy.spatial.cKDTree(points)
    centre = np.zeros((1, 2))
    for k in (2, 6, 50, 200):
        expect_agrees(ours.query(centre, k), tree.query(centre, k), points, centre)
    # Near the centre too, and off it by far less than the rounding spread.
    near = np.random.default_rng(5).normal(scale=1e-15, size=(200, 2))
    expect_agrees(ours.query(near, 6), tree.query(near, 6), points, near)
    assert np.array_equal(ours.query(near)[0], tree.query(near)[0])


@pytest.mark.parametrize("tiny", [1e-300, 5e-324])
def test_one_tiny_coordinate_keeps_computed_distances(tiny):
    x, y = random_points(1000, 81)
    points = np.vstack([np.column_stack([x, y]), [[tiny, 0.5]]])
    ours, tree = kyhost.Triangulation(points), scipy.spatial.cKDTree(points)
    queries = np.random.default_rng(82).random((10000, 2))
    d, i = ours.query(queries, 3)
    td, ti = tree.query(queries, 3)
    assert np.array_equal(d, td)
    assert np.array_equal(ours.nearest(queries, return_distance=True)[1], td[:, 0])
    # Where the distance itself overflows, the exact one is reported.
    far = kyhost.Triangulation(np.vstack([points, [[1e300, 1e300], [-1e300, 1e300]]]))
    d, i = far.query([[-1e300, -1e300]], 2)
    assert np.isfinite(d).all() and d[0, 0] == np.hypot(1e300, 1e300)


def test_memory_follows_the_queries_in_flight():
    # One query with k as large as the set: cKDTree's peak is a few times the
    # answer (16 bytes a neighbour); the search must not keep room for 2048
    # queries of k neighbours each (here 655 MB).
    script = textwrap.dedent("""
        import numpy as np, kyhost

        def status(field):
            with open("/proc/self/status") as lines:
                return next(int(line.split()[1]) for line in lines if line.startswith(field))

        points = np.random.default_rng(1).random((20000, 2))
        t = kyhost.Triangulation(points)
        t.query(points[:3], 2)
        with open("/proc/self/clear_refs", "w") as clear:
            clear.write("5")  # the peak resident size starts again from the current one
        before = status("VmRSS:")
        d, i = t.query(points[:1], 20000)
        d, i = t.query(points[:4], 20000, workers=2)
        assert (i[:, -1] < 20000).all()
        print((status("VmHWM:") - before) * 1024)
    """)
    grown = int(subprocess.run([sys.executable, "-c", script], check=True, capture_output=True, text=True,
                               env=os.environ).stdout)
    assert grown < 120e6, f"peak memory grew by {grown / 1e6:.0f} MB"


@pytest.mark.parametrize("far", [1e16, 1e150, -3e12, 1e300])
def test_queries_far_outside(far):
    x, y = random_points(2000, 83)
    points = np.column_stack([x, y])
    ours, tree = kyhost.Triangulation(points), scipy.spatial.cKDTree(points)
    rng = np.random.default_rng(84)
    queries = np.column_stack([np.full(300, far), rng.uniform(-2, 3, 300)])
    queries = np.vstack([queries, queries[:, ::-1], -queries, rng.uniform(-abs(far), abs(far), (300, 2))])
    index, distance = ours.nearest(queries, return_distance=True)
    if far < 1e200:
        # Exact distances choose the points (rounding spans the whole set):
        # distances may be a rounding above cKDTree's.
        slack = 2.0**-50 if abs(far) > 2**30 else 0.0
        for k in (1, 4):
            expect_agrees(ours.query(queries, k), tree.query(queries, k), points, queries, slack=slack)
        assert np.allclose(distance, tree.query(queries)[0], rtol=slack, atol=0)
    else:
        # Squared distances overflow: cKDTree says inf; the exact distances
        # are reported.
        every = np.hypot(points[None, :, 0] - queries[:, None, 0], points[None, :, 1] - queries[:, None, 1])
        assert np.array_equal(distance, every[np.arange(len(queries)), index])
        assert (distance <= every.min(axis=1) * (1 + 2**-50)).all()
        d, i = ours.query(queries, 4)
        assert np.array_equal(d[:, 0], distance) and (np.diff(d, axis=1) >= 0).all()
        assert (d[:, 3] <= np.sort(every, axis=1)[:, 3] * (1 + 2**-50)).all()


@pytest.mark.parametrize("p", [1, 2, np.inf])
def test_norms_and_eps_as_ckdtree(p):
    x, y = random_points(3000, 85)
    points = np.column_stack([x, y])
    ours, tree = kyhost.Triangulation(points), scipy.spatial.cKDTree(points)
    queries = np.random.default_rng(86).uniform(-0.3, 1.3, (2000, 2))
    for k, bound in ((1, np.inf), (7, np.inf), (5, 0.03), ([2, 9], 0.1)):
        expected = tree.query(queries, k, p=p, distance_upper_bound=bound)
        answer = ours.query(queries, k, p=p, distance_upper_bound=bound)
        expect_agrees(answer, expected, points, queries, p, ranks=isinstance(k, list))
        # eps > 0 may answer approximately; these answers are exact.
        assert all(np.array_equal(a, b) for a, b in
                   zip(ours.query(queries, k, p=p, eps=0.5, distance_upper_bound=bound), answer))
    assert ours.query([0.5, 0.5], p=float(p)) == tree.query([0.5, 0.5], p=p)


def test_norms_with_merged_repeats_on_a_line_and_at_any_magnitude():
    rng = np.random.default_rng(87)
    base = rng.random((300, 2))
    points = np.vstack([base, base[::5]])
    ours = kyhost.Triangulation(points, merge_duplicates=True)
    tree = scipy.spatial.cKDTree(points)
    queries = rng.random((300, 2))
    t = np.sort(rng.random(200))
    line = np.column_stack([t, 1 - 3 * t])
    on_line = kyhost.Triangulation(line)  # no triangle, rightly: no collinear warning
    wide = np.vstack([rng.random((300, 2)) * 10.0 ** rng.integers(-300, 300, (300, 1)), [[1e-300, 0.5]]])
    for p in (1, np.inf):
        expect_agrees(ours.query(queries, 6, p=p), tree.query(queries, 6, p=p), points, queries, p)
        expect_agrees(on_line.query(queries, 3, p=p), scipy.spatial.cKDTree(line).query(queries, 3, p=p), line,
                      queries, p)
        expect_agrees(kyhost.Triangulation(wide).query(queries, 3, p=p),
                      scipy.spatial.cKDTree(wide).query(queries, 3, p=p), wide, queries, p)


@pytest.mark.parametrize("arguments, message", [
    (dict(p=3), r"p must be 1, 2 or inf"),
    (dict(p=0.5), r"p must be 1, 2 or inf"),
    (dict(p=np.nan), r"p must be 1, 2 or inf"),
    (dict(eps=-1), r"eps must be a non-negative number"),
    (dict(eps=np.nan), r"eps must be a non-negative number"),
])
def test_norms_refused(arguments, message):
    with pytest.raises(ValueError, match=message):
        kyhost.Triangulation(np.random.default_rng(1).random((10, 2))).query([0.5, 0.5], 2, **arguments)
