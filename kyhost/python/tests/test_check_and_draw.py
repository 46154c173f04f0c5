"""kyhost.check and kyhost.draw: the exact check and the picture from
Python, on grids (where the triangulation is not unique) and on a TRI broken
by hand."""
import numpy as np
import pytest

import kyhost

# Grids are cocircular everywhere: sweeptri says so with a warning.
pytestmark = pytest.mark.filterwarnings("ignore::kyhost.KyWarning")

def grid(n):
    x, y = np.meshgrid(np.arange(n, dtype=float), np.arange(n, dtype=float))
    return x.ravel(), y.ravel()


def test_grids_are_judged_by_the_exact_check():
    for n in (2, 5, 30):
        x, y = grid(n)
        t = kyhost.Triangulation(x, y)
        result = t.check()
        assert result.valid and result.is_triangulation and result.rows == 2 * (n - 1) ** 2, result.text
        assert kyhost.check(x, y, t.simplices, base=0).valid
        assert kyhost.check(x, y, kyhost.sweeptri(x, y)).valid  # 1-based float, as returned


def test_check_finds_a_broken_tri():
    x, y = grid(4)
    tri = kyhost.Triangulation(x, y).simplices.copy()
    tri[3] = tri[3, ::-1]  # against the other rows
    tri = tri[1:]  # a hole
    result = kyhost.check(x, y, tri, base=0)
    assert not result and not result.is_triangulation
    assert result.misoriented_rows == [2]
    assert result.area_comparison != 0
    assert 2 in result.offending_rows
    assert "FAIL" in str(result) and result.verdict.startswith("invalid")
    with pytest.raises(ValueError, match=r"tri must have shape \(m, 3\)"):
        kyhost.check(x, y, tri[:, :2], base=0)


def test_scipys_counter_clockwise_triangulation_checks_valid():
    spatial = pytest.importorskip("scipy.spatial")
    points = np.random.default_rng(3).random((400, 2))
    simplices = spatial.Delaunay(points).simplices
    result = kyhost.check(points[:, 0], points[:, 1], simplices, base=0)
    assert result.valid, result.text
    assert result.orientation == "counterclockwise" and result.misoriented_rows == []
    assert "the rows run counter-clockwise (either way is accepted)" in result.text
    assert kyhost.check(points[:, 0], points[:, 1], simplices, base=0, orientation="counterclockwise").valid
    strict = kyhost.check(points[:, 0], points[:, 1], simplices, base=0, orientation="clockwise")
    assert not strict and strict.misoriented_rows == list(range(len(simplices)))
    assert strict.counter_clockwise_rows == strict.misoriented_rows
    # sweeptri's clockwise rows pass "either" too, and say so.
    clockwise = kyhost.check(points[:, 0], points[:, 1], kyhost.sweeptri(points[:, 0], points[:, 1]))
    assert clockwise.valid and clockwise.orientation == "clockwise"
    with pytest.raises(ValueError, match="orientation must be 'clockwise', 'counterclockwise' or 'either'"):
        kyhost.check(points[:, 0], points[:, 1], simplices, base=0, orientation="ccw")


def test_the_text_counts_from_the_callers_base():
    x, y = grid(3)
    t = kyhost.Triangulation(x, y)
    tri = t.simplices.copy()
    tri[1, 2] = 9  # out of range for 9 points, 0-based
    zero = kyhost.check(x, y, tri, base=0)
    assert zero.bad_index_rows == [1]
    assert "not a whole number from 0 to 8: 1: row 1 (" in zero.text, zero.text
    one = kyhost.check(x, y, tri + 1, base=1)
    assert one.bad_index_rows == [1]
    assert "not a whole number from 1 to 9: 1: row 2 (" in one.text, one.text
    # The object's own check reports 0-based fields and text alike.
    assert "every index is a whole number from 0 to 8" in t.check().text


def test_draw_writes_a_png(tmp_path):
    x, y = grid(6)
    t = kyhost.Triangulation(x + 0.01 * np.sin(7 * y), y)
    path = tmp_path / "t.png"
    k = t.nearest([1.2, 3.3], [2.1, 4.4])
    verdict = kyhost.draw(t.points[:, 0], t.points[:, 1], t.simplices, path, base=0,
                          xi=[1.2, 3.3], yi=[2.1, 4.4], k=k)
    assert verdict.startswith("valid") and path.read_bytes()[:8] == b"\x89PNG\r\n\x1a\n"
    assert t.draw(tmp_path / "u.svg").startswith("valid")
    # sweeptri's rows turned counter-clockwise draw as valid by default, not
    # when clockwise is asked.
    px, py = t.points.T
    turned = kyhost.sweeptri(px, py)[:, ::-1]
    assert kyhost.draw(px, py, turned, tmp_path / "v.svg").startswith("valid")
    assert kyhost.draw(px, py, turned, tmp_path / "w.svg", orientation="clockwise").startswith("invalid")
    assert (tmp_path / "u.svg").read_text().lstrip().startswith("<?xml")
    with pytest.raises(ValueError, match="must end in .svg or .png"):
        t.draw(tmp_path / "u.txt")


def test_matplotlib_views():
    matplotlib = pytest.importorskip("matplotlib")
    matplotlib.use("Agg")
    x, y = grid(3)
    t = kyhost.Triangulation(x, y)
    assert t.to_matplotlib().triangles.shape == (8, 3)
    assert t.plot() is not None
