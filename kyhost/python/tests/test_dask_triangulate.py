"""kyhost.dask.triangulate on a local cluster of two worker processes: the
row set of the in-memory object, as a dask array or a folder of parts."""
import numpy as np
import pytest

import kyhost
from conftest import random_points

da = pytest.importorskip("dask.array")
distributed = pytest.importorskip("distributed")


def row_set(rows):
    rows = np.asarray(rows, dtype=np.int64)
    k = np.argmin(rows, axis=1)
    return set(map(tuple, np.stack([rows[np.arange(len(rows)), (k + j) % 3] for j in range(3)], axis=1)))


@pytest.fixture(scope="module")
def client():
    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True, dashboard_address=None) as cluster:
        with distributed.Client(cluster) as c:
            yield c


def test_cluster_gives_the_objects_rows(client, tmp_path):
    x, y = random_points(60_000, 40)
    points = da.from_array(np.column_stack([x, y]), chunks=(7000, 2))
    expected = row_set(kyhost.Triangulation(x, y).simplices)

    rows = kyhost.dask.triangulate(points, tile_points=4096)
    assert rows.dtype == np.int64 and rows.shape[1] == 3
    computed = rows.compute()
    assert len(computed) == len(expected) and row_set(computed) == expected

    folder = kyhost.dask.triangulate(points, tile_points=4096, out=tmp_path / "parts")
    parts = sorted((tmp_path / "parts").glob("part-*.npy"))
    assert len(parts) >= 9  # at least 8 tiles and the seam
    assert folder == str(tmp_path / "parts")
    assert row_set(np.concatenate([np.load(p) for p in parts])) == expected

    # Seam rounds of one level of the split tree (16 tiles: 8 + 4 + 2 rounds
    # and the last): the same rows.
    folder = kyhost.dask.triangulate(points, tile_points=4096, out=tmp_path / "rounds", _levels_per_round=1)
    parts = sorted((tmp_path / "rounds").glob("part-*.npy"))
    tiles = len(parts) - 15
    assert tiles == 16
    assert row_set(np.concatenate([np.load(p) for p in parts])) == expected


def test_one_tile_and_bad_points(client):
    x, y = random_points(3000, 41)
    rows = kyhost.dask.triangulate(da.from_array(np.column_stack([x, y]), chunks=(1000, 2))).compute()
    assert row_set(rows) == row_set(kyhost.Triangulation(x, y).simplices)
    x[2500], y[2500] = x[12], y[12]
    with pytest.raises(ValueError, match="points 12 and 2500 are both at"):
        kyhost.dask.triangulate(da.from_array(np.column_stack([x, y]), chunks=(1000, 2))).compute()
    with pytest.raises(TypeError):
        kyhost.dask.triangulate(np.column_stack([x, y]))
