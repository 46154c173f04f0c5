"""Interpolation through the trinterp plug-in: griddata and the interpolator
objects against scipy.interpolate, Triangulation.interpolate, the plug-in's
own call, and every refusal."""
import pickle
import warnings

import numpy as np
import pytest
import scipy.interpolate

import kyhost
from conftest import no_ky_warning, random_points

NOT_DELAUNAY = "TRI is not a Delaunay triangulation: the natural-neighbor weights follow its rows and may not be Sibson's."


def data(n=3000, seed=40):
    x, y = random_points(n, seed)
    points = np.column_stack([x, y])
    values = np.sin(6 * x) * np.cos(4 * y) + x
    return points, values


def grid(count=120, low=-0.1, high=1.1):
    return np.meshgrid(np.linspace(low, high, count), np.linspace(low, high, count + 7))


def same_with_nan(a, b, tolerance=1e-12):
    assert a.shape == b.shape
    assert np.array_equal(np.isnan(a), np.isnan(b))
    assert np.nanmax(np.abs(a - b)) <= tolerance


def test_linear_griddata_equals_scipys_with_the_same_nan_mask():
    points, values = data()
    xi, yi = grid()
    ours = kyhost.griddata(points, values, (xi, yi))
    same_with_nan(ours, scipy.interpolate.griddata(points, values, (xi, yi)))
    assert np.isnan(ours).any() and not np.isnan(ours).all()
    # Queries as an (m, 2) array, values with trailing dimensions, complex.
    flat = np.column_stack([xi.ravel(), yi.ravel()])
    several = np.stack([values, 2 * values, values ** 2], axis=1).reshape(-1, 3, 1)
    same_with_nan(kyhost.griddata(points, several, flat), scipy.interpolate.griddata(points, several, flat))
    complex_values = values + 1j * values ** 2
    ours = kyhost.griddata(points, complex_values, flat)
    theirs = scipy.interpolate.griddata(points, complex_values, flat)
    same_with_nan(ours.real, theirs.real)
    same_with_nan(ours.imag, theirs.imag)


def test_fill_value_and_rescale_as_scipy():
    points, values = data(800, 41)
    points = points * [1000.0, 0.001]  # very different ranges: rescale matters
    xi = np.column_stack([np.linspace(-50, 1050, 900), np.linspace(-0.00005, 0.00105, 900)])
    for rescale in (False, True):
        ours = kyhost.griddata(points, values, xi, fill_value=-7.0, rescale=rescale)
        theirs = scipy.interpolate.griddata(points, values, xi, fill_value=-7.0, rescale=rescale)
        assert np.array_equal(ours == -7.0, theirs == -7.0)
        assert np.abs(ours - theirs).max() <= 1e-11
    # NaN values inside stay NaN; only queries outside are filled.
    holes = values.copy()
    holes[::7] = np.nan
    ours = kyhost.griddata(points, holes, xi, fill_value=-7.0)
    theirs = scipy.interpolate.griddata(points, holes, xi, fill_value=-7.0)
    assert np.array_equal(np.isnan(ours), np.isnan(theirs))
    assert np.array_equal(ours == -7.0, theirs == -7.0)


def test_the_interpolator_objects_keep_their_triangulation():
    points, values = data(2000, 42)
    xi, yi = grid(60)
    ours = kyhost.LinearNDInterpolator(points, values)
    theirs = scipy.interpolate.LinearNDInterpolator(points, values)
    same_with_nan(ours(xi, yi), theirs(xi, yi))
    same_with_nan(ours((xi, yi)), theirs((xi, yi)))
    same_with_nan(ours(np.dstack([xi, yi])), theirs(np.dstack([xi, yi])))
    assert ours(0.5, 0.5).shape == theirs(0.5, 0.5).shape
    assert ours([0.5, 0.5]).shape == theirs([0.5, 0.5]).shape == (1,)
    # A ready Triangulation is used as it is; the object pickles.
    t = kyhost.Triangulation(points)
    again = pickle.loads(pickle.dumps(kyhost.LinearNDInterpolator(t, values)))
    assert again.tri.nsimplex == t.nsimplex
    same_with_nan(again(xi, yi), theirs(xi, yi))
    with pytest.raises(ValueError, match="rescale"):
        kyhost.LinearNDInterpolator(t, values, rescale=True)
    natural = kyhost.NaturalNeighborInterpolator(points, values, fill_value=0.0)
    assert np.array_equal(natural(xi, yi), kyhost.griddata(points, values, (xi, yi), method="natural", fill_value=0.0))


def test_natural_reproduces_linear_functions_and_data_values():
    points, _ = data(2500, 43)
    linear = 3 * points[:, 0] - 2 * points[:, 1] + 0.25
    xi, yi = grid(100, 0, 1)
    ours = kyhost.griddata(points, linear, (xi, yi), method="natural")
    inside = ~np.isnan(ours)
    assert inside.mean() > 0.9
    assert np.abs(ours[inside] - (3 * xi - 2 * yi + 0.25)[inside]).max() <= 1e-14
    values = np.random.default_rng(44).normal(size=len(points))
    for method in ("linear", "natural"):
        assert np.array_equal(kyhost.griddata(points, values, points, method=method), values)


def test_triangulation_interpolate_uses_the_values_of_the_points_it_kept():
    x = np.array([0.0, 1, 0, 1, 1, 0.5])
    y = np.array([0.0, 0, 1, 1, 1, 0.5])  # point 4 repeats point 3
    with no_ky_warning():  # the square's corners and centre: the sweep meets collinear points
        t = kyhost.Triangulation(x, y, merge_duplicates=True)
    values = np.array([0.0, 1, 2, 3, 99, 1.5])
    for method in ("linear", "natural"):
        z = t.interpolate(values, [1, 0.5, 2, np.nan], [1, 0.5, 2, 0.5], method=method)
        assert z[0] == 3 and z[1] == 1.5 and np.isnan(z[2]) and np.isnan(z[3])
    # xi alone of shape (..., 2); fill_value outside; trailing value axes.
    q = np.array([[[0.25, 0.25], [3, 3]]])
    z = t.interpolate(np.column_stack([values, -values]), q, fill_value=5.0)
    assert z.shape == (1, 2, 2)
    assert np.allclose(z[0, 0], [0.75, -0.75]) and np.array_equal(z[0, 1], [5.0, 5.0])
    # No simplices: nothing is inside.
    with no_ky_warning():
        line = kyhost.Triangulation([0, 1, 2], [0, 0, 0])
    assert np.isnan(line.interpolate([1.0, 2, 3], [1], [0])).all()
    assert line.interpolate([1.0, 2, 3], [1], [0], fill_value=0.0).tolist() == [0.0]


def test_repeated_points_are_merged_the_first_giving_the_value():
    points, values = data(400, 49)
    repeated = np.vstack([points, points[:50]])
    doubled = np.concatenate([values, values[:50] + 100])  # the repeats' values are not used
    xi, yi = grid(40)
    for method in ("linear", "natural", "nearest"):
        assert np.array_equal(kyhost.griddata(repeated, doubled, (xi, yi), method=method),
                              kyhost.griddata(points, values, (xi, yi), method=method), equal_nan=True)


def test_nearest_is_the_nearest_points_value():
    points, values = data(1000, 45)
    xi = np.random.default_rng(46).uniform(-0.5, 1.5, size=(500, 2))
    assert np.array_equal(kyhost.griddata(points, values, xi, method="nearest"),
                          scipy.interpolate.griddata(points, values, xi, method="nearest"))
    xi[3] = [np.nan, 0.5]
    answers = kyhost.griddata(points, values, xi, method="nearest")
    assert np.isnan(answers[3]) and not np.isnan(np.delete(answers, 3)).any()


def test_refusals_name_what_is_offered():
    points, values = data(50, 47)
    with pytest.raises(ValueError, match="'cubic' is offered by griddata.*'linear' or 'natural'"):
        kyhost.Triangulation(points).interpolate(values, points, method="cubic")
    with pytest.raises(ValueError, match="unknown interpolation method 'spline'"):
        kyhost.griddata(points, values, points, method="spline")
    with pytest.raises(ValueError, match="'linear' or 'natural'"):
        kyhost.Triangulation(points).interpolate(values, points, method="nearest")
    with pytest.raises(ValueError, match=r"shape \(n, 2\)"):
        kyhost.griddata(np.column_stack([points, points[:, 0]]), values, points)
    with pytest.raises(ValueError, match=r"one entry per point, shape \(50, ...\)"):
        kyhost.griddata(points, values[:-1], points)
    with pytest.raises(ValueError, match="must be finite"):
        kyhost.griddata(np.vstack([points, [np.nan, 0]]), np.append(values, 0), points)
    with pytest.raises(TypeError, match="must hold numbers"):
        kyhost.griddata(points, np.array(["a"] * 50), points)
    with pytest.raises(ValueError, match="length must be even"):
        kyhost.LinearNDInterpolator(points, values)([0.5, 0.5, 0.5])


def test_the_plugins_own_call_its_messages_and_its_warning():
    x, y = np.array([0.0, 1, 0, 1]), np.array([0.0, 0, 1, 1])
    tri = np.array([[1.0, 4, 2], [3, 4, 1]])
    assert kyhost.trinterp(x, y, [0.0, 1, 2, 3], tri, [0.5], [0.5]).tolist() == [[1.5]]
    with pytest.raises(kyhost.CallError, match="TRI must contain whole numbers from 1 to the length of X and Y."):
        kyhost.trinterp(x, y, [0.0, 1, 2, 3], tri + 1, [0.5], [0.5])
    with pytest.raises(kyhost.CallError, match="METHOD must be 'linear' or 'natural'."):
        kyhost.trinterp(x, y, [0.0, 1, 2, 3], tri, [0.5], [0.5], "cubic")
    # A square with one corner pulled in: the diagonal from (1, 0) to (0, 1)
    # is not Delaunay, the other one is.
    x4, y4 = np.array([0.0, 1, 0, 0.8]), np.array([0.0, 0, 1, 0.8])
    with warnings.catch_warnings(record=True) as caught:
        warnings.simplefilter("always")
        good = kyhost.trinterp(x4, y4, np.ones(4), np.array([[1.0, 2, 4], [1, 4, 3]]), [0.5], [0.5], "natural")
        bad = kyhost.trinterp(x4, y4, np.ones(4), np.array([[1.0, 2, 3], [2, 4, 3]]), [0.5], [0.5], "natural")
        kyhost.trinterp(x4, y4, np.ones(4), np.array([[1.0, 2, 3], [2, 4, 3]]), [0.5], [0.5])  # linear: no check
    assert good.tolist() == [[1.0]] and abs(bad[0, 0] - 1.0) < 1e-15
    texts = [str(w.message) for w in caught if issubclass(w.category, kyhost.KyWarning)]
    assert texts == [NOT_DELAUNAY]


def test_the_command_line_answers_as_python_does(run_kyhost, tmp_path):
    # A headed CSV of stations and a grid as two CSV matrices, as in the README.
    rng = np.random.default_rng(48)
    x, y = np.round(rng.random(200) * 10, 4), np.round(rng.random(200) * 6, 4)
    temp = np.round(12 + 4 * np.sin(x / 1.5) * np.cos(y / 2), 2)
    stations = tmp_path / "stations.csv"
    stations.write_text("station,lon,lat,temp\n" + "".join(f"S{i},{a!r},{b!r},{c!r}\n" for i, (a, b, c) in
                                                          enumerate(zip(x, y, temp))))
    gx, gy = np.meshgrid(np.linspace(0, 10, 41), np.linspace(0, 6, 25))
    np.savetxt(tmp_path / "gx.csv", gx, delimiter=",", fmt="%r")
    np.savetxt(tmp_path / "gy.csv", gy, delimiter=",", fmt="%r")
    columns = [f"csv:{stations}#{name}" for name in ("lon", "lat")]
    status, _, stderr = run_kyhost("sweeptri", *columns, "--out", str(tmp_path / "tri.npy"))
    assert status == 0, stderr
    for method in ("linear", "natural"):
        out = tmp_path / f"{method}.npy"
        status, _, stderr = run_kyhost("trinterp", *columns, f"csv:{stations}#temp", f"npy:{tmp_path / 'tri.npy'}",
                                       f"csv:{tmp_path / 'gx.csv'}", f"csv:{tmp_path / 'gy.csv'}", f"text:{method}",
                                       "--out", str(out))
        assert status == 0, stderr
        from_cli = np.load(out)
        assert from_cli.shape == gx.shape
        from_python = kyhost.griddata(np.column_stack([x, y]), temp, (gx, gy), method=method)
        assert from_cli.tobytes() == np.ascontiguousarray(from_python).tobytes()
