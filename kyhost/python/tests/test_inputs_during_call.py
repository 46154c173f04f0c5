"""A call reads only memory that is its own or that it guards: a mapped
array whose file is truncated during the call, a sparse layout rewritten
while the call runs, and an input changed by a warning handler end the call
with an error (or do not affect it), never with a crash or a silently wrong
result."""
import os
import pathlib
import subprocess
import sys
import textwrap
import warnings

import numpy as np
import pytest
import scipy.sparse

import kyhost

NOT_CONVERGED = "One or more points did not converge."


def run_isolated(script, cwd):
    """Runs the script in a fresh interpreter (a crash must not take the
    test run with it); returns (status, stdout, stderr)."""
    package_parent = str(pathlib.Path(kyhost.__file__).resolve().parent.parent)
    env = dict(os.environ, PYTHONPATH=package_parent)
    done = subprocess.run([sys.executable, "-c", textwrap.dedent(script)], capture_output=True, text=True,
                          cwd=cwd, env=env, timeout=120)
    return done.returncode, done.stdout, done.stderr


# A search whose first walk spends its whole budget, so that the warning
# comes while the call still has queries to read: every point lists every
# point three times as its neighbours.
EXHAUSTING_SEARCH = """
    import numpy as np
    import scipy.sparse
    import warnings
    import kyhost
    n = 40
    x = np.cos(np.arange(n) * 2.4) * np.arange(1, n + 1)
    y = np.sin(np.arange(n) * 2.4) * np.arange(1, n + 1)
    rows = np.tile(np.arange(n, dtype=np.int32), 3 * n)
    cols = np.repeat(np.arange(n, dtype=np.int32), 3 * n)
    order = np.argsort(cols, kind="stable")
    S = scipy.sparse.csc_matrix((np.ones(rows.size), rows[order], np.arange(0, rows.size + 1, 3 * n, dtype=np.int32)),
                                shape=(n, n))
    tri = np.array([[1.0, 2.0, 3.0]])
    qx = np.linspace(-30, 30, 5000)
    qy = np.linspace(30, -30, 5000)
"""


def test_a_mapped_array_truncated_during_a_call_ends_it_with_an_error(tmp_path):
    status, out, err = run_isolated(EXHAUSTING_SEARCH + """
    import os
    np.save("qx.npy", qx)
    np.save("qy.npy", qy)
    XI = np.load("qx.npy", mmap_mode="r")
    YI = np.load("qy.npy", mmap_mode="r")
    assert kyhost._input_storage(XI)[0] == XI.ctypes.data  # read in place

    def truncate(message, *rest, **named):
        os.truncate("qx.npy", 0)

    warnings.showwarning = truncate
    warnings.simplefilter("always")
    try:
        kyhost.nearwalk(x, y, tri, XI, YI, S)
        print("no error")
    except RuntimeError as error:
        print("error:", error)
    """, tmp_path)
    assert status == 0, err
    assert out.startswith("error: kyhost: input 4 became unreadable while the call read it"), out
    assert "the file its memory is mapped from shrank" in out


def test_a_sparse_layout_rewritten_during_a_call_does_not_affect_it(tmp_path):
    status, out, err = run_isolated(EXHAUSTING_SEARCH + """
    with warnings.catch_warnings():
        warnings.simplefilter("ignore")
        expected = kyhost.nearwalk(x, y, tri, qx, qy, S.copy())

    def scribble(message, *rest, **named):
        S.indptr[1:] = 2**30  # far past the row indices
        S.indices[:] = -5

    warnings.showwarning = scribble
    warnings.simplefilter("always")
    found = kyhost.nearwalk(x, y, tri, qx, qy, S)
    print("same" if np.array_equal(found, expected) else "differ")
    """, tmp_path)
    assert status == 0, err
    assert out.strip() == "same"


def test_a_sparse_layout_is_read_from_a_copy_unless_nothing_can_change_it():
    layout = kyhost._kyhost._sparse_layout_storage
    s = scipy.sparse.csc_matrix(np.ones((4, 4)) - np.eye(4))
    assert s.indptr.dtype == np.int32  # nothing but the copy makes it differ
    assert not set(layout(s)) & {s.indptr.ctypes.data, s.indices.ctypes.data}
    # A read-only view of writeable memory can still change: copied.
    view = s.indices.view()
    view.flags.writeable = False
    s.indices = view
    assert layout(s)[1] != s.indices.ctypes.data
    # Read-only all the way down: read in place.
    for index in (s.indptr, s.indices.base, s.indices):
        index.flags.writeable = False
    assert layout(s) == (s.indptr.ctypes.data, s.indices.ctypes.data)
    # The Triangulation object's own matrix is such a one.
    t = kyhost.Triangulation(np.array([0.0, 1, 0, 1, 0.4]), np.array([0.0, 0, 1, 1, 0.6]))
    own = t._neighbour_matrix()
    assert layout(own) == (own.indptr.ctypes.data, own.indices.ctypes.data)


def collinear_start():
    """Points whose sweep warns of collinear points, in a column-major
    array that the call reads in place."""
    x = np.array([0.0, 1.0, 2.0, 3.0, 1.5, 0.5])
    y = np.array([0.0, 0.0, 0.0, 0.0, 1.0, 2.0])
    assert kyhost._input_storage(x)[0] == x.ctypes.data
    return x, y


def test_an_input_changed_by_a_warning_handler_stops_the_call():
    x, y = collinear_start()

    def move_a_point(message, *rest, **named):
        x[4] = -7.0

    with warnings.catch_warnings():
        warnings.simplefilter("always")
        warnings.showwarning = move_a_point
        with pytest.raises(kyhost.CallError, match="An input the call reads in place changed while the warning "
                                                   "was handled"):
            kyhost.sweeptri(x, y)


def test_a_warning_handler_that_changes_nothing_lets_the_call_finish():
    x, y = collinear_start()
    seen = []
    with warnings.catch_warnings():
        warnings.simplefilter("always")
        warnings.showwarning = lambda message, *rest, **named: seen.append((str(message), x.sum()))
        tri = kyhost.sweeptri(x, y)
    assert seen == [("Degenerate case: collinear points. Possible incorrect triangulation.", x.sum())]
    assert tri.shape == (5, 3)
