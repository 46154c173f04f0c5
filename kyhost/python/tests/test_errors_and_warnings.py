"""Errors raise CallError with the plug-in's text, warnings arrive as
KyWarning once per call, and failing calls leave nothing behind."""
import gc
import pathlib
import sys
import warnings

import numpy as np
import pytest

import kyhost


def test_errors_raise_call_error_with_the_exact_text(tmp_path):
    cases = [
        (lambda: kyhost.sweeptri([1.0], [1.0, 2.0]), "X and Y must be the same size."),
        (lambda: kyhost.sweeptri([0.0, 1.0, 0.0], [0.0, 0.0, 1.0], "unsorted"),
         "Third input parameter must be the string 'sorted'"),
        (lambda: kyhost.sweeptri([0.0, 0.0, 1.0], [0.0, 0.0, 1.0]), "x-y data must be unique"),
        (lambda: kyhost.call("sweeptri", [0.0], [0.0], nargout=2), "Too many output arguments."),
        (lambda: kyhost.call("nearwalk", [0.0], [0.0], [1.0, 1.0, 1.0], [0.0]), "Not enough input arguments."),
        (lambda: kyhost.byteappend(str(tmp_path / "x.bin"), np.ones(3)), "Class of data array must be uint8"),
        (lambda: kyhost.byteappend(str(tmp_path / "no" / "x.bin"), np.ones(3, np.uint8)), "No such file or directory"),
    ]
    for run, text in cases:
        with pytest.raises(kyhost.CallError) as raised:
            run()
        assert str(raised.value) == text
    assert issubclass(kyhost.CallError, RuntimeError)


def test_lookup_and_argument_mistakes_are_python_errors():
    with pytest.raises(ValueError, match="unknown function 'nosuchplugin'"):
        kyhost.call("nosuchplugin")
    with pytest.raises(ValueError, match="no such file"):
        kyhost.call("/nonexistent/plugin.so")
    with pytest.raises(TypeError, match="float64 or uint8"):
        kyhost.sweeptri(np.zeros(3, np.float32), np.zeros(3))
    with pytest.raises(TypeError, match="cannot pass"):
        kyhost.sweeptri(None, np.zeros(3))
    with pytest.raises(ValueError, match="nargout"):
        kyhost.call("sweeptri", [0.0], [0.0], nargout=-1)


def test_plugins_are_found_by_path_and_along_kyhost_path(tmp_path, monkeypatch):
    library = kyhost.plugin_directory() + "/sweeptri.so"
    assert kyhost.call(library, [0.0, 1.0, 0.0], [0.0, 0.0, 1.0]).shape == (1, 3)
    assert kyhost.call(pathlib.Path(library), [0.0, 1.0, 0.0], [0.0, 0.0, 1.0]).shape == (1, 3)
    copy = tmp_path / "sweeptri_copy.so"
    copy.write_bytes(open(library, "rb").read())
    monkeypatch.setenv("KYHOST_PATH", "/nonexistent:" + str(tmp_path))
    assert kyhost.call("sweeptri_copy", [0.0, 1.0, 0.0], [0.0, 0.0, 1.0]).shape == (1, 3)


def test_a_warning_is_issued_once_per_call_as_ky_warning():
    collinear = ([0.0, 1.0, 2.0, 3.0], [0.0, 0.0, 0.0, 0.0])
    for _ in range(3):
        with warnings.catch_warnings(record=True) as caught:
            warnings.simplefilter("always")
            tri = kyhost.sweeptri(*collinear)
        assert tri.shape == (0, 3)
        assert [(w.category, str(w.message)) for w in caught] == [
            (kyhost.KyWarning, "Degenerate case: collinear points. Possible incorrect triangulation.")]
        assert caught[0].filename == __file__  # issued at the caller's line
    assert issubclass(kyhost.KyWarning, UserWarning)


def test_a_warning_filter_that_raises_stops_the_call():
    with warnings.catch_warnings():
        warnings.simplefilter("error", kyhost.KyWarning)
        with pytest.raises(kyhost.KyWarning, match="collinear"):
            kyhost.sweeptri([0.0, 1.0, 2.0], [0.0, 0.0, 0.0])
    # The module is usable afterwards.
    assert kyhost.sweeptri([0.0, 1.0, 0.0], [0.0, 0.0, 1.0]).shape == (1, 3)


def test_a_call_from_a_warning_handler_is_refused():
    def handler(message, category, filename, lineno, file=None, line=None):
        kyhost.sweeptri([0.0, 1.0, 0.0], [0.0, 0.0, 1.0])

    with warnings.catch_warnings():
        warnings.simplefilter("always")
        warnings.showwarning = handler
        with pytest.raises(RuntimeError, match="another call runs on this thread"):
            kyhost.sweeptri([0.0, 1.0, 2.0], [0.0, 0.0, 0.0])


def resident_bytes():
    with open("/proc/self/statm") as statm:
        return int(statm.read().split()[1]) * 4096


def test_memory_does_not_grow_over_a_thousand_failing_calls():
    n = 20000
    x = np.arange(n, dtype=float)
    y = np.zeros(n)
    x[-1], y[-1] = x[0], y[0]  # one repeated point: fails after the sites are built
    tri = np.array([[1.0, 2.0, 3.0 * n]])  # outside the range: fails after the neighbour matrix

    def fail_both():
        with pytest.raises(kyhost.CallError, match="unique"):
            kyhost.sweeptri(x, y)
        with pytest.raises(kyhost.CallError, match="is not a whole number"):
            kyhost.nearwalk(x, y, tri, x[:10], y[:10])

    for _ in range(50):
        fail_both()
    gc.collect()
    before = resident_bytes()
    references = sys.getrefcount(x), sys.getrefcount(tri)
    for _ in range(1000):
        fail_both()
    gc.collect()
    growth = resident_bytes() - before
    assert growth < 2 * 2**20, f"resident size grew by {growth} bytes"
    assert (sys.getrefcount(x), sys.getrefcount(tri)) == references
