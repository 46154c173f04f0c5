"""The interpolator objects keep the mesh of their first call: later calls
give the plug-in's answers bit for bit (NaN masks included), whatever the
caller does to its arrays afterwards, on any number of threads."""
import os
import pickle
import threading
import warnings

import numpy as np
import pytest

import kyhost
from conftest import random_points

NOT_DELAUNAY = "TRI is not a Delaunay triangulation: the natural-neighbor weights follow its rows and may not be Sibson's."


def data(n=4000, seed=70):
    x, y = random_points(n, seed)
    return np.column_stack([x, y]), np.sin(6 * x) * np.cos(4 * y) + x


def queries(count, seed, low=-0.1, high=1.1):
    rng = np.random.default_rng(seed)
    q = rng.uniform(low, high, (count, 2))
    q[:3] = [[np.nan, 0.5], [0.5, np.inf], [2.0, 2.0]]
    return q


def identical(a, b):
    assert a.shape == b.shape and a.dtype == b.dtype
    assert np.array_equal(a.view(np.uint8), b.view(np.uint8)) if a.dtype != complex else np.array_equal(a, b, True)


@pytest.mark.parametrize("method", ["linear", "natural"])
def test_later_calls_give_the_plugins_answers_bit_for_bit(method):
    points, values = data()
    kind = kyhost.LinearNDInterpolator if method == "linear" else kyhost.NaturalNeighborInterpolator
    several = np.stack([values, values ** 2, -values], axis=1)
    holes = values.copy()
    holes[::11] = np.nan
    for vals, fill in ((values, np.nan), (several, -3.0), (holes, np.nan), (holes, 0.0), (values + 2j * values, 1.0)):
        interpolator = kind(points, vals, fill_value=fill)
        assert interpolator.nbytes == 0
        for seed, shape in ((1, (3000,)), (2, (40, 70)), (3, (5,))):
            q = queries(int(np.prod(shape)), seed).reshape(shape + (2,))
            identical(interpolator(q), kyhost.griddata(points, vals, q, method=method, fill_value=fill))
        assert interpolator.nbytes > 0
        # The plug-in's own call on the same triangulation.
        if vals is values:
            t = interpolator.tri
            q = queries(2000, 4)
            ux, uy = t._used_coordinates()
            plugin = kyhost.trinterp(ux, uy, values, t._tri, q[:, 0], q[:, 1], method)
            identical(interpolator(q[:, 0], q[:, 1]), plugin.reshape(-1))
    # No queries, and a point of the data itself.
    assert interpolator(np.empty((0, 2))).shape == (0,)
    assert interpolator(points[7]) == (values + 2j * values)[7]


def test_rescale_merged_points_and_a_ready_triangulation():
    points, values = data(3000, 71)
    points = np.vstack([points * [1000.0, 0.001], points[:40] * [1000.0, 0.001]])  # repeats: the first kept
    values = np.concatenate([values, values[:40] + 1])
    q = queries(4000, 5) * [1000.0, 0.001]
    interpolator = kyhost.LinearNDInterpolator(points, values, rescale=True)
    for _ in range(3):
        identical(interpolator(q), kyhost.griddata(points, values, q, rescale=True))
    t = kyhost.Triangulation(np.random.default_rng(6).random((2000, 2)))
    v = np.arange(2000.0)
    on_t = kyhost.LinearNDInterpolator(t, v)
    for _ in range(2):
        identical(on_t(q / [1000.0, 0.001]), t.interpolate(v, q / [1000.0, 0.001]))


def test_the_object_keeps_copies_of_the_callers_arrays():
    points, values = data(3000, 72)
    q = queries(5000, 7)
    expected = kyhost.griddata(points, values, q)
    for form in ("array", "tuple"):
        p, v = points.copy(), values.copy()
        x, y = p[:, 0].copy(), p[:, 1].copy()
        before = kyhost.LinearNDInterpolator(p if form == "array" else (x, y), v)
        after = kyhost.LinearNDInterpolator(p if form == "array" else (x, y), v)
        identical(after(q), expected)  # prepared before the change
        p[:] = 0.5 - p
        x[:], y[:] = 0.5 - x, 0.5 - y
        v[:] = 7.0
        identical(before(q), expected)  # prepared after it
        identical(after(q), expected)
        assert np.array_equal(before.values[:, 0], values)


def test_pickled_objects_keep_their_mesh_anew():
    points, values = data(2000, 73)
    interpolator = kyhost.NaturalNeighborInterpolator(points, values)
    q = queries(3000, 8)
    first = interpolator(q)
    again = pickle.loads(pickle.dumps(interpolator))
    assert again.nbytes == 0
    identical(again(q), first)
    identical(again(q), first)


def test_a_triangulation_that_is_not_delaunay_warns_at_every_call():
    x, y = np.array([0.0, 1, 0, 0.8]), np.array([0.0, 0, 1, 0.8])
    tri = np.array([[1.0, 2, 3], [2, 4, 3]])
    kept = kyhost._kyhost._PreparedInterpolation()
    with pytest.raises(kyhost.CallError, match="The kept interpolation mesh is not prepared."):
        kept([0.5], [0.5])
    with pytest.raises(kyhost.CallError, match="TRI must contain whole numbers"):
        kept.prepare(x, y, np.ones(4), tri + 2, [0.5], [0.5], "natural")
    assert not kept.ready
    with warnings.catch_warnings(record=True) as caught:
        warnings.simplefilter("always")
        first = kept.prepare(x, y, [1.0, 2, 3, 4], tri, [0.5], [0.5], "natural")
        later = kept([0.5, 0.3], [0.5, 0.1])
        plugin = kyhost.trinterp(x, y, [1.0, 2, 3, 4], tri, [0.5, 0.3], [0.5, 0.1], "natural")
    texts = [str(w.message) for w in caught if issubclass(w.category, kyhost.KyWarning)]
    assert texts == [NOT_DELAUNAY] * 3
    assert kept.ready and first.shape == (1, 1)
    identical(later, plugin)
    with pytest.raises(kyhost.CallError, match="XI and YI must be the same size."):
        kept([0.5, 0.3], [0.5])
    with pytest.raises(kyhost.CallError, match="Not enough input arguments."):
        kept([0.5])


def test_threads_change_no_answer():
    points, values = data(20000, 74)
    q = queries(300000, 9)
    interpolator = kyhost.LinearNDInterpolator(points, values)
    natural = kyhost.NaturalNeighborInterpolator(points, values)
    interpolator(q[:10])
    natural(q[:10])
    every = {f: f(q) for f in (interpolator, natural)}
    allowed = os.sched_getaffinity(0)
    os.sched_setaffinity(0, {min(allowed)})
    try:
        for f, answers in every.items():
            identical(f(q), answers)
    finally:
        os.sched_setaffinity(0, allowed)
    # Python threads calling one object take turns and get the same answers.
    failures = []

    def work():
        try:
            for _ in range(3):
                identical(interpolator(q[:50000]), every[interpolator][:50000])
        except Exception as error:  # reported by the main thread
            failures.append(error)

    threads = [threading.Thread(target=work) for _ in range(3)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join(timeout=120)
    assert not any(thread.is_alive() for thread in threads) and failures == []
