"""How Python values become host arrays and results come back."""
import sys

import numpy as np
import scipy.sparse

import kyhost

UNIT_SQUARE = (np.array([0.0, 1.0, 0.0, 1.0]), np.array([0.0, 0.0, 1.0, 1.0]))


def storage(value):
    address, rows, columns = kyhost._input_storage(value)
    return address, (rows, columns)


def test_column_major_inputs_are_read_in_place():
    fortran = np.asfortranarray(np.random.default_rng(0).random((300, 7)))
    assert storage(fortran) == (fortran.ctypes.data, (300, 7))
    vector = np.arange(5.0)
    assert storage(vector) == (vector.ctypes.data, (1, 5))
    column = fortran[:, 2]  # one column of a Fortran array is contiguous
    assert storage(column) == (column.ctypes.data, (1, 300))
    data = np.asfortranarray(np.arange(12, dtype=np.uint8).reshape(3, 4))
    assert storage(data) == (data.ctypes.data, (3, 4))


def test_other_layouts_are_copied_in_column_major_order():
    c_order = np.arange(12.0).reshape(3, 4)
    address, shape = storage(c_order)
    assert address != c_order.ctypes.data and shape == (3, 4)
    # The copy keeps the values: the host sees element (i, j) at i + j*m.
    k = kyhost.nearwalk(*UNIT_SQUARE, kyhost.sweeptri(*UNIT_SQUARE), np.array([[0.9, 0.1], [0.1, 0.9]]),
                        np.array([[0.1, 0.9], [0.1, 0.9]]))
    assert k.tolist() == [[2.0, 3.0], [1.0, 4.0]]
    strided = np.arange(20.0)[::2]
    assert storage(strided)[1] == (1, 10)
    cube = np.arange(24.0).reshape(2, 3, 4)
    assert storage(cube)[1] == (2, 12)
    big_endian = UNIT_SQUARE[0].astype(">f8")
    assert kyhost.sweeptri(big_endian, UNIT_SQUARE[1]).tolist() == kyhost.sweeptri(*UNIT_SQUARE).tolist()
    assert storage(np.float64(3.0))[1] == (1, 1)


def test_numeric_results_are_column_major_views_kept_alive_by_the_array():
    tri = kyhost.sweeptri(*UNIT_SQUARE)
    assert tri.dtype == np.float64 and tri.ndim == 2 and tri.flags.f_contiguous
    assert tri.flags.owndata is False and tri.base is not None
    assert tri.tolist() == [[1.0, 4.0, 2.0], [3.0, 4.0, 1.0]]
    view = tri[:, 0]
    del tri
    assert view.tolist() == [1.0, 3.0]
    assert sys.getrefcount(view.base) >= 2


def test_text_uint8_and_sparse_round_trip(tmp_path):
    path = tmp_path / "é.bin"  # a name that is not ASCII
    assert kyhost.byteappend(path, np.frombuffer(b"Hi", dtype=np.uint8)).tolist() == [[2.0]]
    assert path.read_bytes() == b"Hi"

    s = kyhost.sparse([1, 3, 3], [2, 1, 1], 1.5, 3, 2)
    assert isinstance(s, scipy.sparse.csc_matrix) and s.shape == (3, 2)
    assert s.toarray().tolist() == [[0.0, 1.5], [0.0, 0.0], [3.0, 0.0]]

    x = np.array([0.0, 1.0, 0.0, 1.0])
    y = np.array([0.0, 0.0, 1.0, 1.0])
    tri = kyhost.sweeptri(x, y)
    neighbours = scipy.sparse.coo_matrix(np.ones((4, 4)) - np.eye(4))  # every point a neighbour of every other
    queries = (np.array([0.9, 0.1]), np.array([0.2, 0.8]))
    for s in (neighbours, neighbours.tocsr(), neighbours.tocsc().astype(np.float32), neighbours.astype(bool)):
        assert kyhost.nearwalk(x, y, tri, *queries, s).tolist() == [[2.0, 3.0]]


def test_nargout():
    assert kyhost.call("sweeptri", *UNIT_SQUARE, nargout=0).shape == (2, 3)
    results = kyhost.call("sparse", [1.0], [1.0], 1.0, 1.0, 1.0, nargout=1)
    assert results.shape == (1, 1)
