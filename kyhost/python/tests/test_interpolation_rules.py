"""Rules every interpolator and griddata method share: zero points refused
alike, rescale=True without overflow, one rule for what lies inside the
hull (find_simplex and the interpolators), and no false collinear warning
from a certified triangulation."""
import warnings

import numpy as np
import pytest

import kyhost
from conftest import random_points

INTERPOLATORS = [kyhost.LinearNDInterpolator, kyhost.NaturalNeighborInterpolator, kyhost.NearestNDInterpolator]
METHODS = ["linear", "natural", "nearest"]


def test_zero_points_are_refused_alike():
    for points in (np.zeros((0, 2)), (np.zeros(0), np.zeros(0))):
        for kind in INTERPOLATORS:
            with pytest.raises(ValueError, match="no points to interpolate from"):
                kind(points, np.zeros(0))
        for method in METHODS:
            with pytest.raises(ValueError, match="no points to interpolate from"):
                kyhost.griddata(points, np.zeros(0), [[0.5, 0.5]], method=method)
    empty = kyhost.Triangulation(np.zeros((0, 2)))
    for method in ("linear", "natural"):
        with pytest.raises(ValueError, match="no points to interpolate from"):
            empty.interpolate(np.zeros(0), [0.5], [0.5], method=method)


def huge_points():
    rng = np.random.default_rng(80)
    corners = np.array([[-1.7e308, -1.7e308], [1.7e308, -1.7e308], [1.7e308, 1.7e308], [-1.7e308, 1.7e308]])
    inner = rng.uniform(-1.5, 1.5, size=(40, 2)) * 1e308
    points = np.vstack([corners, inner])
    values = 1 + points[:, 0] / 1.7e308 + 2 * (points[:, 1] / 1.7e308)
    return points, values


@pytest.mark.parametrize("method", METHODS)
def test_rescale_of_points_whose_range_overflows(method):
    points, values = huge_points()
    q = np.array([[0.0, 0.0], [1e308, -1e308], points[7]])
    with warnings.catch_warnings():
        warnings.simplefilter("error")  # no overflow warning either
        rescaled = kyhost.griddata(points, values, q, method=method, rescale=True)
    assert np.isfinite(rescaled).all()
    assert rescaled[2] == values[7]
    if method == "nearest":
        assert np.array_equal(rescaled, kyhost.griddata(points, values, q, method=method))
    else:  # the plane, reproduced
        assert np.allclose(rescaled, 1 + q[:, 0] / 1.7e308 + 2 * (q[:, 1] / 1.7e308), rtol=1e-12)
    kind = dict(zip(METHODS, INTERPOLATORS))[method]
    assert np.array_equal(kind(points, values, rescale=True)(q), rescaled)


def test_rescale_of_ordinary_points_is_unchanged_bit_for_bit():
    x, y = random_points(800, seed=81)
    x, y = 3e5 * x - 7, 2e-3 * y + 1
    values = np.cos(x / 1e5) * y
    q = np.column_stack([np.linspace(-7, 3e5, 97), np.linspace(1, 1.002, 97)])
    # scipy's rescaling as this package has always computed it.
    offset = np.array([x.mean(), y.mean()])
    scale = np.array([np.ptp(x), np.ptp(y)])
    sx, sy = (x - offset[0]) / scale[0], (y - offset[1]) / scale[1]
    sq = (q - offset) / scale
    for method in ("linear", "natural"):
        expected = kyhost.griddata((sx, sy), values, sq, method=method)
        assert np.array_equal(kyhost.griddata((x, y), values, q, method=method, rescale=True), expected,
                              equal_nan=True)
        interpolator = dict(zip(METHODS, INTERPOLATORS))[method]((x, y), values, rescale=True)
        assert np.array_equal(interpolator.offset, offset) and np.array_equal(interpolator.scale, scale)


def test_one_rule_for_inside_the_hull():
    """A point a hair outside a long hull edge: outside for find_simplex
    (by default) as for every interpolator; on the edge: inside for all."""
    points = np.array([[0.0, 0.0], [1e5, 0.0], [0.0, 1e5], [4e4, 3e4]])
    values = np.array([1.0, 2.0, 3.0, 4.0])
    t = kyhost.Triangulation(points)
    just_outside = np.array([[5e4, -6.5e-10]])  # barycentric weight about -6.5e-15
    on_edge = np.array([[5e4, 0.0]])
    assert t.find_simplex(just_outside)[0] == -1
    assert t.find_simplex(just_outside, bruteforce=True)[0] == -1
    assert t.find_simplex(on_edge)[0] >= 0
    # scipy's slack is there when asked for.
    assert t.find_simplex(just_outside, tol=1e-13)[0] >= 0
    for method in ("linear", "natural"):
        assert np.isnan(kyhost.griddata(points, values, just_outside, method=method)[0])
        assert np.isnan(t.interpolate(values, just_outside, method=method)[0])
        assert kyhost.griddata(points, values, on_edge, method=method)[0] == 1.5
    for kind in INTERPOLATORS[:2]:
        assert np.isnan(kind(points, values)(just_outside)[0])


def test_a_certified_triangulation_does_not_warn_of_collinear_points():
    x = np.array([0.0, 1.0, 2.0, 3.0, 1.5, 0.5])
    y = np.array([0.0, 0.0, 0.0, 0.0, 1.0, 2.0])
    with warnings.catch_warnings(record=True) as caught:
        warnings.simplefilter("always")
        kyhost.sweeptri(x, y)  # the plug-in keeps its warning
    assert [str(w.message) for w in caught] == ["Degenerate case: collinear points. Possible incorrect triangulation."]
    with warnings.catch_warnings():
        warnings.simplefilter("error")
        t = kyhost.Triangulation(x, y)
        kyhost.LinearNDInterpolator(np.column_stack([x, y]), x)([[1.0, 0.5]])
        kyhost.griddata((x, y), x, [[1.0, 0.5]], method="natural")
    assert t.check().valid and t.nsimplex == 5
