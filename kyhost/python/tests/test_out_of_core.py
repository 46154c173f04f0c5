"""kyhost triangulate and kyhost.triangulate_to_file: the out-of-core run on
2x10^5 points in many tiles against the in-memory object and kyhost check,
resumption after a stopped run, refusals and the partial file."""
import os
import signal
import subprocess
import time

import numpy as np
import pytest

import kyhost
from conftest import kyhost_program, random_points


def row_set(rows):
    rows = np.asarray(rows, dtype=np.int64)
    # Each row rotated to start at its smallest corner: keeps the orientation.
    k = np.argmin(rows, axis=1)
    rotated = np.stack([rows[np.arange(len(rows)), (k + j) % 3] for j in range(3)], axis=1)
    return set(map(tuple, rotated))


@pytest.fixture(scope="module")
def points(tmp_path_factory):
    folder = tmp_path_factory.mktemp("points")
    x, y = random_points(200_000, 30)
    np.save(folder / "x.npy", x)
    np.save(folder / "y.npy", y)
    return x, y, folder


def test_command_writes_the_objects_triangles_in_16_tiles_or_more(points, run_kyhost, tmp_path):
    x, y, folder = points
    out = tmp_path / "tri.npy"
    status, _, err = run_kyhost("triangulate", f"npy:{folder / 'x.npy'}", f"npy:{folder / 'y.npy'}", "--out", str(out),
                                "--tile-points", "8192", "--workers", "2", "--progress-seconds", "0.2")
    assert status == 0, err
    assert "tiles done" in err  # progress also when standard error is a pipe
    tiles = int(err.split(" tiles of about")[0].rsplit(" ", 1)[1])
    assert tiles >= 16
    tri = np.load(out)
    assert tri.dtype == np.float64 and tri.shape[1] == 3 and tri.min() == 1
    expected = kyhost.Triangulation(x, y).simplices[:, [0, 2, 1]]  # clockwise
    assert row_set(tri.astype(np.int64) - 1) == row_set(expected)
    status, report, err = run_kyhost("check", f"npy:{folder / 'x.npy'}", f"npy:{folder / 'y.npy'}", f"npy:{out}",
                                     "--memory-limit", "512M")
    assert status == 0, report + err
    assert sorted(os.listdir(tmp_path)) == ["tri.npy"]


def test_function_matches_the_command_byte_for_byte(points, run_kyhost, tmp_path):
    x, y, folder = points
    report = kyhost.triangulate_to_file(x, y, tmp_path / "py.npy", tile_points=8192, index="int32", base=0,
                                        orientation="counterclockwise", workers=1)
    status, _, err = run_kyhost("triangulate", f"npy:{folder / 'x.npy'}", f"npy:{folder / 'y.npy'}", "--out",
                                str(tmp_path / "cli.npy"), "--tile-points", "8192", "--index", "int32", "--base", "0",
                                "--orientation", "counterclockwise", "--workers", "2")
    assert status == 0, err
    assert (tmp_path / "py.npy").read_bytes() == (tmp_path / "cli.npy").read_bytes()
    tri = np.load(tmp_path / "py.npy")
    assert tri.dtype == np.int32 and len(tri) == report["rows"] and report["tiles"] >= 16
    assert row_set(tri) == row_set(kyhost.Triangulation(x, y).simplices)
    # Paths are memory-mapped and give the same rows.
    kyhost.triangulate_to_file(folder / "x.npy", folder / "y.npy", tmp_path / "mapped.npy", tile_points=8192,
                               index="int32", base=0, orientation="counterclockwise")
    assert (tmp_path / "mapped.npy").read_bytes() == (tmp_path / "py.npy").read_bytes()


def test_a_stopped_run_leaves_no_complete_file_and_resumes(points, tmp_path):
    x, y, folder = points
    out = tmp_path / "tri.npy"
    command = [kyhost_program(), "triangulate", f"npy:{folder / 'x.npy'}", f"npy:{folder / 'y.npy'}", "--out", str(out),
               "--tile-points", "2048", "--index", "int64", "--base", "0"]
    run = subprocess.Popen(command, stderr=subprocess.PIPE, text=True)
    scratch = tmp_path / "tri.npy.scratch"
    deadline = time.monotonic() + 60
    while not (scratch.exists() and any(scratch.glob("tile-*.done"))) and time.monotonic() < deadline:
        time.sleep(0.01)
    run.send_signal(signal.SIGKILL)
    run.wait()
    if out.exists():
        pytest.skip("the run finished before it could be stopped")
    partial = tmp_path / "tri.npy.partial"
    if partial.exists():
        with pytest.raises(ValueError):
            np.load(partial)
    done = subprocess.run(command + ["--resume"], capture_output=True, text=True)
    assert done.returncode == 0, done.stderr
    assert "resumed)" in done.stderr and "(0 resumed)" not in done.stderr
    reference = kyhost.triangulate_to_file(x, y, tmp_path / "whole.npy", tile_points=2048, index="int64", base=0)
    assert out.read_bytes() == (tmp_path / "whole.npy").read_bytes()
    assert reference["tiles_resumed"] == 0
    assert not scratch.exists() and not partial.exists()


def test_refusals_exit_2_with_figures_and_leave_nothing(points, run_kyhost, tmp_path):
    _, _, folder = points
    x, y = f"npy:{folder / 'x.npy'}", f"npy:{folder / 'y.npy'}"
    out = str(tmp_path / "tri.npy")
    status, _, err = run_kyhost("triangulate", x, y, "--out", out, "--memory-limit", "1M")
    assert status == 2 and "too small" in err and "MiB" in err
    status, _, err = run_kyhost("triangulate", x, f"npy:{tmp_path / 'missing.npy'}", "--out", out)
    assert status == 2 and "missing.npy" in err
    status, _, err = run_kyhost("triangulate", x, "csv:1,2", "--out", out)
    assert status == 2 and "npy:PATH" in err
    status, _, err = run_kyhost("triangulate", x, y, "--out", out, "--tile-points", str(1 << 19), "--memory-limit", "64M")
    assert status == 2 and "the memory limit is 64.0 MiB" in err
    assert os.listdir(tmp_path) == []


def test_function_refuses_bad_points_and_options(tmp_path):
    x, y = random_points(5000, 31)
    with pytest.raises(ValueError, match="points 10 and 4000 are both at"):
        xs, ys = x.copy(), y.copy()
        xs[4000], ys[4000] = xs[10], ys[10]
        kyhost.triangulate_to_file(xs, ys, tmp_path / "tri.npy")
    with pytest.raises(ValueError, match="point 7 is not finite"):
        xs = x.copy()
        xs[7] = np.inf
        kyhost.triangulate_to_file(xs, y, tmp_path / "tri.npy")
    for bad in ({"memory_limit": "lots"}, {"index": "int16"}, {"base": 2}, {"orientation": "up"}, {"workers": 0}):
        with pytest.raises(ValueError):
            kyhost.triangulate_to_file(x, y, tmp_path / "tri.npy", **bad)
    assert os.listdir(tmp_path) == []
