"""pip install of the source tree into a temporary venv (offline, with
Debian's setuptools and the system's numpy/scipy), then an import from
outside the tree. Slow the first time: a CMake build of the package's
targets (with ccache when it is installed) in KY_WHEEL_BUILD_DIR, which
ctest keeps in its build tree so that later runs only relink."""
import os
import pathlib
import subprocess
import sys

import pytest

SOURCE = pathlib.Path(__file__).resolve().parents[3]


def test_pip_install_into_a_venv(tmp_path):
    pytest.importorskip("venv")
    pytest.importorskip("ensurepip", reason="python3-venv is needed to make a venv with pip")
    venv = tmp_path / "v"
    subprocess.run(["/usr/bin/python3", "-m", "venv", "--system-site-packages", str(venv)], check=True)
    build = os.environ.get("KY_WHEEL_BUILD_DIR", str(tmp_path / "build"))
    env = dict(os.environ, KY_CMAKE_BUILD_DIR=build, PIP_NO_INDEX="1",
               PIP_DISABLE_PIP_VERSION_CHECK="1")
    env.pop("PYTHONPATH", None)
    env.pop("KYHOST_PATH", None)
    done = subprocess.run([str(venv / "bin" / "pip"), "install", "--no-build-isolation", str(SOURCE)],
                          env=env, capture_output=True, text=True)
    assert done.returncode == 0, done.stdout[-3000:] + done.stderr[-3000:]
    script = (
        "import pathlib, numpy as np, kyhost\n"
        "package = pathlib.Path(kyhost.__file__).parent\n"
        "assert 'site-packages' in str(package), package\n"
        "assert (package / 'py.typed').exists() and (package / '__init__.pyi').exists()\n"
        "assert pathlib.Path(kyhost.plugin_directory()).resolve() == (package / 'lib/kyhost/plugins').resolve()\n"
        "t = kyhost.Triangulation([[0, 0], [1, 0], [0, 1], [1, 1]])\n"
        "assert t.nearest([0.9], [0.8]).tolist() == [3]\n"
        "assert kyhost.check(*t.points.T, t.simplices, base=0).valid\n"
        "print(kyhost.__version__)\n")
    run = subprocess.run([str(venv / "bin" / "python"), "-c", script], cwd=tmp_path, env=env,
                         capture_output=True, text=True)
    assert run.returncode == 0, run.stderr
    # Nothing in the installed binaries refers to the build directory.
    for binary in (venv / "lib").rglob("*.so"):
        if "kyhost" in str(binary):
            dynamic = subprocess.run(["readelf", "-d", str(binary)], capture_output=True, text=True).stdout
            assert build not in dynamic, binary
