"""Sparse neighbour matrices: a malformed layout is refused before anything
reads it by its own numbers, and the caller's matrix is used exactly as
stored and never changed."""
import numpy as np
import pytest
import scipy.sparse

import kyhost
from test_against_cli import cli_npy, save

SQUARE_X = np.array([0.0, 1.0, 0.0, 1.0])
SQUARE_Y = np.array([0.0, 0.0, 1.0, 1.0])
QUERIES = (np.array([0.9, 0.1]), np.array([0.2, 0.8]))


def every_other_point():
    """A well-formed 4-by-4 CSC matrix: every point a neighbour of every other."""
    return scipy.sparse.csc_matrix(np.ones((4, 4)) - np.eye(4))


def snapshot(s):
    return {name: (getattr(s, name), getattr(s, name).copy()) for name in ("indptr", "indices", "data")}


def assert_unchanged(s, before):
    for name, (array, values) in before.items():
        assert getattr(s, name) is array, name + " was replaced"
        assert np.array_equal(array, values) and array.dtype == values.dtype, name + " was changed"


def malformed(indptr=None, indices=None, data=None, fmt="csc"):
    s = every_other_point() if fmt == "csc" else every_other_point().tocsr()
    if indptr is not None:
        s.indptr = np.array(indptr, dtype=np.int32)
    if indices is not None:
        s.indices = indices if isinstance(indices, np.ndarray) else np.array(indices, dtype=np.int32)
    if data is not None:
        s.data = np.array(data, dtype=np.float64)
    return s


@pytest.mark.parametrize("s, reason", [
    (malformed(indptr=[0, 3, 6]), "3 column starts; 4 columns need 5"),
    (malformed(indptr=[0, 5, 1, 1, 2]), "must not decrease"),
    (malformed(indptr=[1, 3, 6, 9, 12]), "begin at 0"),
    (malformed(indptr=[0, 3, 6, 9, 40]), "past the 12 row indices"),
    (malformed(data=np.ones(11)), "11 values for 12 row indices"),
    (malformed(indices=[1, 2, 3, 0, 2, 3, 0, 1, 3, 0, 1, 7]), "row index 7 is outside 0 to 3"),
    (malformed(indices=[1, 2, 3, 0, 2, 3, 0, 1, 3, 0, 1, -1]), "row index -1 is outside"),
    (malformed(indices=np.array([1, 2, 3, 0, 2, 3, 0, 1, 3, 0, 1, 2**40])), "must lie in 0 to 2^31-1"),
    (malformed(indptr=[0, 5, 1, 1, 2], fmt="csr"), "must not decrease"),
    (malformed(indptr=[0, 3, 6, 9, 40], fmt="csr"), "past the 12 row indices"),
])
def test_malformed_layouts_are_refused_and_left_alone(s, reason):
    before = snapshot(s)
    x, y = SQUARE_X, SQUARE_Y
    tri = kyhost.sweeptri(x, y)
    with pytest.raises(ValueError, match=reason.replace("^", r"\^")):
        kyhost.nearwalk(x, y, tri, *QUERIES, s)
    assert_unchanged(s, before)


def test_coo_entries_outside_the_shape_are_refused():
    tri = kyhost.sweeptri(SQUARE_X, SQUARE_Y)
    for rows in ([0, 1, 4], [0, -1, 2]):
        s = scipy.sparse.coo_matrix(([1.0, 1.0, 1.0], ([0, 1, 2], [1, 2, 3])), shape=(4, 4))
        s.row = np.array(rows, dtype=np.int32)
        with pytest.raises(ValueError, match="outside its shape"):
            kyhost.nearwalk(SQUARE_X, SQUARE_Y, tri, *QUERIES, s)


def test_unsorted_and_repeated_rows_are_used_as_given(run_kyhost, tmp_path):
    # Column 1 holds rows 3, 2, 1, 1 (1-based), as stored; the other columns
    # are complete.
    indptr = np.array([0, 4, 7, 10, 13], dtype=np.int32)
    indices = np.array([2, 1, 0, 0, 0, 2, 3, 0, 1, 3, 0, 1, 2], dtype=np.int32)
    s = scipy.sparse.csc_matrix((np.ones(13), indices.copy(), indptr.copy()), shape=(4, 4))
    before = snapshot(s)
    tri = kyhost.sweeptri(SQUARE_X, SQUARE_Y)
    k = kyhost.nearwalk(SQUARE_X, SQUARE_Y, tri, *QUERIES, s)
    assert_unchanged(s, before)
    assert np.array_equal(s.indices, indices)

    # The same entries, in the same order, from a sparse: file.
    path = tmp_path / "s.csv"
    column = np.repeat(np.arange(4), np.diff(indptr))
    path.write_text("4,4\n" + "".join(f"{i + 1},{j + 1}\n" for i, j in zip(indices, column)))
    files = [save(tmp_path, name, a) for name, a in
             (("x", SQUARE_X), ("y", SQUARE_Y), ("tri", tri), ("xi", QUERIES[0]), ("yi", QUERIES[1]))]
    theirs = cli_npy(run_kyhost, tmp_path, "nearwalk", *files, "sparse:" + str(path))
    assert k.tobytes() == theirs.tobytes() and k.shape == theirs.shape
