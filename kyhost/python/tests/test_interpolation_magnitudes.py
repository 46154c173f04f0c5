"""Interpolation at any magnitude: small clusters beside far points, through
every way in (the plug-in's call, Triangulation.interpolate, griddata, the
interpolator objects and the kyhost command line), and random sets from
1e-300 to 1e300 judged in exact rational arithmetic."""
import warnings
from fractions import Fraction

import numpy as np
import pytest

import kyhost


def grid_beside_far_points():
    """A 3x3 grid of spacing 1e-300 and two points 1e300 away."""
    s = 1e-300
    gx, gy = np.meshgrid([-s, 0.0, s], [-s, 0.0, s])
    x = np.append(gx.ravel(), [-1e300, 1e300])
    y = np.append(gy.ravel(), [1e300, 1e300])
    return s, x, y, np.array([0.0, 0.5 * s, 0.5 * s]), np.array([0.0, 0.0, -0.5 * s]), [1.0, 1.5, 0.5]


def square_beside_unit_points(s):
    """A square of side s, a fifth point beside it, and two points at (-1, 1), (1, 1)."""
    x = np.array([0.0, s, 0.0, s, 2 * s, -1.0, 1.0])
    y = np.array([0.0, 0.0, s, s, 0.5 * s, 1.0, 1.0])
    return s, x, y, np.array([0.25, 0.5, 0.75]) * s, np.array([0.25, 0.5, 0.1]) * s, [1.75, 2.5, 1.95]


CASES = {
    "grid at 1e-300": grid_beside_far_points(),
    "square at 1e-160": square_beside_unit_points(1e-160),
    "square at 1e-165": square_beside_unit_points(1e-165),
    "square at 1e-300": square_beside_unit_points(1e-300),
}


def plane(s, x, y):
    """z = 1 + x/s + 2y/s where it is finite, 0 elsewhere (the far points)."""
    with np.errstate(over="ignore", invalid="ignore"):
        z = 1 + x / s + 2 * y / s
    return np.where(np.isfinite(z), z, 0.0)


def answers_every_way(x, y, z, qx, qy, method, run_kyhost, tmp_path):
    """The answers at (qx, qy) from each way into the plug-in, by name."""
    points = np.column_stack([x, y])
    t = kyhost.Triangulation(x, y)
    tri = (t.simplices + 1).astype(float)
    kind = kyhost.LinearNDInterpolator if method == "linear" else kyhost.NaturalNeighborInterpolator
    interpolator = kind(points, z)
    answers = {
        "trinterp": np.ravel(kyhost.trinterp(x, y, z, tri, qx, qy, method)),
        "Triangulation.interpolate": t.interpolate(z, qx, qy, method=method),
        "griddata": kyhost.griddata(points, z, (qx, qy), method=method),
        "interpolator, first call": interpolator(qx, qy),
        "interpolator, kept mesh": interpolator(qx, qy),
    }
    if run_kyhost is not None:
        files = []
        for name, array in (("x", x), ("y", y), ("z", z), ("tri", tri), ("xi", qx), ("yi", qy)):
            np.save(tmp_path / (name + ".npy"), array)
            files.append("npy:" + str(tmp_path / (name + ".npy")))
        out = tmp_path / "zi.npy"
        status, _, stderr = run_kyhost("--out", str(out), "trinterp", *files, "text:" + method)
        assert status == 0, stderr
        answers["kyhost trinterp"] = np.ravel(np.load(out))
    return answers


@pytest.mark.parametrize("method", ["linear", "natural"])
@pytest.mark.parametrize("case", list(CASES))
def test_small_clusters_beside_far_points(case, method, run_kyhost, tmp_path):
    s, x, y, qx, qy, expected = CASES[case]
    z = plane(s, x, y)
    assert kyhost.Triangulation(x, y).check().valid
    with warnings.catch_warnings():
        # The rows are Delaunay: no warning that they are not.
        warnings.filterwarnings("error", "TRI is not a Delaunay", kyhost.KyWarning)
        answers = answers_every_way(x, y, z, qx, qy, method, run_kyhost, tmp_path)
    for way, got in answers.items():
        np.testing.assert_allclose(got, expected, rtol=1e-12, err_msg=f"{case}, {method}, {way}")
    # Every data point gives its own value.
    for way, got in answers_every_way(x, y, z, x, y, method, None, tmp_path).items():
        assert np.array_equal(got, z), f"{case}, {method}, {way}"


def test_random_cluster_beside_points_at_1e300():
    rng = np.random.default_rng(320)
    s = 1e-10
    x = np.append(rng.uniform(0, s, 30), [-1e300, 1e300, 0.0])
    y = np.append(rng.uniform(0, s, 30), [-1e300, -1e300, 1e300])
    z = np.append(1 + x[:30] / s + 2 * y[:30] / s, [0.0, 0.0, 0.0])
    qx, qy = rng.uniform(0, s, (2, 200))
    t = kyhost.Triangulation(x, y)
    for method in ("linear", "natural"):
        assert np.isfinite(t.interpolate(z, qx, qy, method=method)).all(), method
        assert np.isfinite(kyhost.griddata(np.column_stack([x, y]), z, (qx, qy), method=method)).all(), method
        assert np.array_equal(t.interpolate(z, x, y, method=method), z), method
    exact = [exact_linear(x, y, z, t.simplices, a, b) for a, b in zip(qx, qy)]
    got = t.interpolate(z, qx, qy)
    for q, value in enumerate(exact):
        assert abs(got[q] - value) <= 1e-12 * 4, q


# -- random sets judged exactly ------------------------------------------------

def orientation(a, b, c):
    return (b[0] - a[0]) * (c[1] - a[1]) - (b[1] - a[1]) * (c[0] - a[0])


def exact_weights(corners, q):
    """Barycentric weights of q in the triangle, or None when q lies outside."""
    whole = orientation(*corners)
    if whole == 0:
        return None
    a, b, c = corners
    parts = [orientation(q, b, c), orientation(a, q, c), orientation(a, b, q)]
    if whole < 0:
        whole, parts = -whole, [-p for p in parts]
    return None if min(parts) < 0 else [p / whole for p in parts]


def holding_weights(x, y, simplices, qx, qy):
    """(corners, exact weights) of a row holding the query, or None."""
    q = (Fraction(qx), Fraction(qy))
    for row in simplices:
        corners = [(Fraction(x[k]), Fraction(y[k])) for k in row]
        weights = exact_weights(corners, q)
        if weights is not None:
            return row, weights
    return None


def exact_linear(x, y, z, simplices, qx, qy):
    found = holding_weights(x, y, simplices, qx, qy)
    if found is None:
        return None
    row, weights = found
    return sum(w * Fraction(z[k]) for k, w in zip(row, weights))


def random_set(rng):
    """A cluster of 4 to 12 points of size s (1e-300 to 1e280) at an offset
    of 0, 1e10 or 1e12 times s, beside two to four points 1e20 to 1e280
    times further out; and queries in the cluster's box."""
    exponent = rng.integers(-300, 260)
    s = 10.0 ** exponent
    offset = rng.choice([0.0, 1e10, 1e12]) * s
    n = rng.integers(4, 13)
    cx = offset + s * rng.random(n)
    cy = offset + s * rng.random(n)
    far = 10.0 ** rng.integers(20, min(281, 300 - exponent))
    angles = rng.random(rng.integers(2, 5)) * 2 * np.pi
    x = np.append(cx, offset + s * far * np.cos(angles))
    y = np.append(cy, offset + s * far * np.sin(angles))
    qx = offset + s * rng.uniform(-0.1, 1.1, 12)
    qy = offset + s * rng.uniform(-0.1, 1.1, 12)
    return s, offset, x, y, qx, qy


def far_enough(answer, exact, scale):
    return abs(Fraction(answer) - exact) > Fraction(2.0 ** -40) * scale


@pytest.mark.parametrize("batch", range(6))
def test_random_sets_at_any_magnitude_against_exact_arithmetic(batch):
    rng = np.random.default_rng(3200 + batch)
    for trial in range(50):
        s, offset, x, y, qx, qy = random_set(rng)
        where = f"batch {batch}, set {trial}, s={s!r}, offset={offset!r}"
        t = kyhost.Triangulation(x, y, merge_duplicates=True)
        x, y = t.points[:, 0].copy(), t.points[:, 1].copy()
        simplices = t.simplices
        # Linear: any values, judged by the exact barycentric weights.
        z = rng.uniform(-1, 1, x.size)
        got = t.interpolate(z, qx, qy)
        for q in range(qx.size):
            exact = exact_linear(x, y, z, simplices, qx[q], qy[q])
            if exact is None:
                assert np.isnan(got[q]), f"{where}, query {q} is outside"
                continue
            assert not far_enough(got[q], exact, 4), f"{where}, query {q}: {got[q]!r} against {float(exact)!r}"
        # Natural: the coordinates reproduce linear functions exactly, and
        # x / s, y / s (scaled by a power of two) are exact at the points.
        power = 2.0 ** -np.frexp(s)[1]
        planes = np.column_stack([x * power, y * power])
        natural = kyhost.Triangulation(x, y).interpolate(planes, qx, qy, method="natural")
        for q in range(qx.size):
            if holding_weights(x, y, simplices, qx[q], qy[q]) is None:
                assert np.isnan(natural[q]).all(), f"{where}, query {q} is outside"
                continue
            for column, coordinate in enumerate((qx[q], qy[q])):
                exact = Fraction(coordinate) * Fraction(power)
                scale = Fraction((abs(offset) + 2 * s) * power)
                assert not far_enough(natural[q, column], exact, scale), \
                    f"{where}, query {q}, column {column}: {natural[q, column]!r} against {float(exact)!r}"
        # At the points, their own values, for both methods.
        for method in ("linear", "natural"):
            assert np.array_equal(t.interpolate(z, x, y, method=method), z), f"{where}, {method}"
