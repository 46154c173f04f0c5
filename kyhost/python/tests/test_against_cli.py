"""The same data through kyhost.call and through the kyhost command line
give bit-identical results."""
import numpy as np
import scipy.sparse

import kyhost
from conftest import random_points


def cli_npy(run_kyhost, tmp_path, function, *arguments):
    out = tmp_path / "result.npy"
    status, _, stderr = run_kyhost("--out", str(out), function, *arguments)
    assert status == 0, stderr
    return np.load(out)


def save(tmp_path, name, array):
    path = tmp_path / (name + ".npy")
    np.save(path, array)
    return "npy:" + str(path)


def assert_bit_identical(ours, theirs):
    assert ours.dtype == theirs.dtype and ours.shape == theirs.shape
    assert ours.tobytes(order="F") == theirs.tobytes(order="F")


def test_sweeptri_and_nearwalk_match_the_command_line(run_kyhost, tmp_path):
    x, y = random_points(3000, seed=1)
    tri = kyhost.call("sweeptri", x, y)
    assert_bit_identical(tri, cli_npy(run_kyhost, tmp_path, "sweeptri", save(tmp_path, "x", x), save(tmp_path, "y", y)))

    order = np.lexsort((x, y))
    sorted_tri = kyhost.sweeptri(x[order], y[order], "sorted")
    assert_bit_identical(sorted_tri, cli_npy(run_kyhost, tmp_path, "sweeptri", save(tmp_path, "xs", x[order]),
                                             save(tmp_path, "ys", y[order]), "text:sorted"))

    rng = np.random.default_rng(2)
    xi, yi = rng.random((40, 25)), rng.random((40, 25))
    k = kyhost.call("nearwalk", x, y, tri, xi, yi)
    files = [save(tmp_path, name, a) for name, a in (("x", x), ("y", y), ("tri", tri), ("xi", xi), ("yi", yi))]
    assert_bit_identical(k, cli_npy(run_kyhost, tmp_path, "nearwalk", *files))


def test_nearwalk_with_a_neighbour_matrix_matches_the_command_line(run_kyhost, tmp_path):
    x, y = random_points(200, seed=3)
    tri = kyhost.sweeptri(x, y)
    rows = np.concatenate([tri[:, 0], tri[:, 1], tri[:, 2]]).astype(int) - 1
    cols = np.concatenate([tri[:, 1], tri[:, 2], tri[:, 0]]).astype(int) - 1
    s = scipy.sparse.csc_matrix((np.ones(rows.size), (rows, cols)), shape=(200, 200))
    path = tmp_path / "s.csv"
    coo = s.tocoo()
    path.write_text("200,200\n" + "".join(f"{i + 1},{j + 1},{v!r}\n" for i, j, v in zip(coo.row, coo.col, coo.data)))
    qx, qy = np.array([[0.25, 0.5, 0.75]]), np.array([[0.1, 0.9, 0.5]])
    k = kyhost.nearwalk(x, y, tri, qx, qy, s)
    files = [save(tmp_path, name, a) for name, a in (("x", x), ("y", y), ("tri", tri), ("xi", qx), ("yi", qy))]
    assert_bit_identical(k, cli_npy(run_kyhost, tmp_path, "nearwalk", *files, "sparse:" + str(path)))


def test_byteappend_matches_the_command_line(run_kyhost, tmp_path):
    data = np.arange(256, dtype=np.uint8).reshape(16, 16)  # C order: written column by column
    ours, theirs = tmp_path / "ours.bin", tmp_path / "theirs.bin"
    count = kyhost.byteappend(str(ours), data)
    assert_bit_identical(count, np.array([[256.0]]))
    assert_bit_identical(count, cli_npy(run_kyhost, tmp_path, "byteappend", "text:" + str(theirs),
                                        save(tmp_path, "data", data)))
    assert ours.read_bytes() == theirs.read_bytes() == data.tobytes(order="F")


def test_sparse_matches_the_command_line(run_kyhost, tmp_path):
    rng = np.random.default_rng(4)
    i = rng.integers(1, 30, size=(50, 4)).astype(float)
    j = rng.integers(1, 20, size=200).astype(float)
    s = kyhost.call("sparse", i, j, 2.5, 30, 20)
    assert isinstance(s, scipy.sparse.csc_matrix) and s.shape == (30, 20)
    status, stdout, stderr = run_kyhost("sparse", save(tmp_path, "i", i), save(tmp_path, "j", j),
                                        "num:2.5", "num:30", "num:20")
    assert status == 0, stderr
    lines = stdout.splitlines()
    assert lines[0] == "30,20"
    entries = [line.split(",") for line in lines[1:]]
    # Storage order: column by column, the same entries in the same places.
    coo_rows = np.array([int(e[0]) - 1 for e in entries])
    coo_cols = np.array([int(e[1]) - 1 for e in entries])
    values = np.array([float(e[2]) for e in entries])
    assert np.array_equal(s.indices, coo_rows)
    assert np.array_equal(np.repeat(np.arange(20), np.diff(s.indptr)), coo_cols)
    assert s.data.tobytes() == values.tobytes()
