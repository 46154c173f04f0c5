"""nearest on dask arrays of queries: block by block, in this process and
on a local cluster of two worker processes."""
import numpy as np
import pytest

import kyhost
from conftest import random_points

da = pytest.importorskip("dask.array")


@pytest.fixture(scope="module")
def triangulation():
    x, y = random_points(2000, seed=50)
    return kyhost.Triangulation(x, y)


def queries():
    rng = np.random.default_rng(51)
    qx, qy = rng.uniform(-0.1, 1.1, size=(2, 40, 25))
    qx[3, 4] = np.nan
    return qx, qy


def test_dask_blocks_answer_as_numpy(triangulation):
    qx, qy = queries()
    index, distance = triangulation.nearest(da.from_array(qx, chunks=(10, 25)), da.from_array(qy, chunks=(10, 25)),
                                            return_distance=True)
    assert isinstance(index, da.Array) and index.shape == qx.shape
    expected_index, expected_distance = triangulation.nearest(qx, qy, return_distance=True)
    assert np.array_equal(distance.compute(), expected_distance)
    assert index.compute()[3, 4] == -1
    stacked = np.stack([qx, qy], axis=-1)
    got = triangulation.nearest(da.from_array(stacked, chunks=(20, 25, 2)), return_distance=True)[1]
    assert np.array_equal(got.compute(), triangulation.nearest(stacked, return_distance=True)[1])


def test_local_cluster_of_two_processes(triangulation):
    distributed = pytest.importorskip("distributed")
    qx, qy = queries()
    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True, dashboard_address=None,
                                  silence_logs=40) as cluster, distributed.Client(cluster) as client:
        index, distance = triangulation.nearest(da.from_array(qx, chunks=(10, 25)),
                                                da.from_array(qy, chunks=(10, 25)), return_distance=True)
        got_index, got_distance = client.compute([index, distance], sync=True, timeout=60)
    _, expected = triangulation.nearest(qx, qy, return_distance=True)
    # Exact ties may pick another point; the distances agree.
    assert np.array_equal(got_distance, expected)
    assert got_index.shape == qx.shape


def dask_forms(qx, qy):
    """The four calls: two arrays or one (..., 2) array, index alone or with
    distances. Each gives (dask answers, numpy answers), as tuples."""
    stacked = np.stack([qx, qy], axis=-1)
    two = (da.from_array(qx, chunks=(10, 25)), da.from_array(qy, chunks=(10, 25)))
    one = (da.from_array(stacked, chunks=(20, 25, 2)),)
    for arguments, plain in ((two, (qx, qy)), (one, (stacked,))):
        for with_distance in (False, True):
            yield arguments, plain, with_distance


def check_forms(triangulation, compute):
    qx, qy = queries()
    for arguments, plain, with_distance in dask_forms(qx, qy):
        got = triangulation.nearest(*arguments, return_distance=with_distance)
        expected = triangulation.nearest(*plain, return_distance=with_distance)
        got = got if with_distance else (got,)
        expected = expected if with_distance else (expected,)
        assert all(isinstance(part, da.Array) for part in got)
        assert got[0].dtype == np.intp
        answers = compute(list(got))
        # The points are in general position: no ties, the same indices.
        for answer, wanted in zip(answers, expected):
            assert answer.shape == qx.shape
            assert answer.dtype == wanted.dtype
            assert np.array_equal(answer, wanted)


@pytest.mark.parametrize("scheduler", ["threads", "sync"])
def test_every_form_in_this_process(triangulation, scheduler):
    import dask
    check_forms(triangulation, lambda parts: dask.compute(*parts, scheduler=scheduler))


def test_every_form_on_a_local_cluster(triangulation):
    distributed = pytest.importorskip("distributed")
    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True, dashboard_address=None,
                                  silence_logs=40) as cluster, distributed.Client(cluster) as client:
        check_forms(triangulation, lambda parts: client.compute(parts, sync=True, timeout=60))
