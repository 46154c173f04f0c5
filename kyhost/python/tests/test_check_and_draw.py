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
        assert kyhost.check(x, y, t.simplices[:, ::-1], base=0).valid  # clockwise rows
        assert kyhost.check(x, y, kyhost.sweeptri(x, y)).valid  # 1-based float, as returned


def test_check_finds_a_broken_tri():
    x, y = grid(4)
    tri = kyhost.Triangulation(x, y).simplices[:, ::-1].copy()  # clockwise rows
    tri[3] = tri[3, ::-1]  # counter-clockwise
    tri = tri[1:]  # a hole
    result = kyhost.check(x, y, tri, base=0)
    assert not result and not result.is_triangulation
    assert result.counter_clockwise_rows == [2]
    assert result.area_comparison != 0
    assert 2 in result.offending_rows
    assert "FAIL" in str(result) and result.verdict.startswith("invalid")
    with pytest.raises(ValueError, match=r"tri must have shape \(m, 3\)"):
        kyhost.check(x, y, tri[:, :2], base=0)


def test_draw_writes_a_png(tmp_path):
    x, y = grid(6)
    t = kyhost.Triangulation(x + 0.01 * np.sin(7 * y), y)
    path = tmp_path / "t.png"
    k = t.nearest([1.2, 3.3], [2.1, 4.4])
    verdict = kyhost.draw(t.points[:, 0], t.points[:, 1], t.simplices[:, ::-1], path, base=0,
                          xi=[1.2, 3.3], yi=[2.1, 4.4], k=k)
    assert verdict.startswith("valid") and path.read_bytes()[:8] == b"\x89PNG\r\n\x1a\n"
    assert t.draw(tmp_path / "u.svg").startswith("valid")
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
