"""pip builds of the source tree, offline, with Debian's setuptools and the
system's numpy/scipy: a wheel installed into a fresh venv, and pip install
of the tree itself; each then used from outside the tree, the kyhost command
included. Slow the first time: a CMake build of the package's targets (with
ccache when it is installed) in KY_WHEEL_BUILD_DIR, which ctest keeps in its
build tree, so that later runs only relink; both tests share it."""
import os
import pathlib
import subprocess

import pytest

SOURCE = pathlib.Path(__file__).resolve().parents[3]

# Run from outside the tree, with the venv's interpreter.
SMOKE_TEST = (
    "import pathlib, numpy as np, kyhost\n"
    "package = pathlib.Path(kyhost.__file__).parent\n"
    "assert 'site-packages' in str(package), package\n"
    "assert (package / 'py.typed').exists() and (package / '__init__.pyi').exists()\n"
    "assert pathlib.Path(kyhost.plugin_directory()).resolve() == (package / 'lib/kyhost/plugins').resolve()\n"
    "t = kyhost.Triangulation([[0, 0], [1, 0], [0, 1], [1, 1]])\n"
    "assert t.nearest([0.9], [0.8]).tolist() == [3]\n"
    "assert kyhost.check(*t.points.T, t.simplices, base=0).valid\n"
    "p = np.random.default_rng(1).random((3000, 2))\n"
    "_, info = kyhost._kyhost._triangulate_tiled(p[:, 0].copy(), p[:, 1].copy(), 2, 500)\n"
    "assert info['sweep_build'] == 'static-tls', info\n"
    "print(kyhost.__version__)\n")


@pytest.fixture
def environment(tmp_path):
    pytest.importorskip("venv")
    pytest.importorskip("ensurepip", reason="python3-venv is needed to make a venv with pip")
    build = os.environ.get("KY_WHEEL_BUILD_DIR", str(tmp_path / "build"))
    env = dict(os.environ, KY_CMAKE_BUILD_DIR=build, PIP_NO_INDEX="1", PIP_DISABLE_PIP_VERSION_CHECK="1",
               KY_BUILD_PROGRESS="0")
    for name in ("PYTHONPATH", "KYHOST_PATH"):
        env.pop(name, None)
    return env


def make_venv(path):
    subprocess.run(["/usr/bin/python3", "-m", "venv", "--system-site-packages", str(path)], check=True)
    return path


def run(command, env, cwd):
    return subprocess.run([str(part) for part in command], env=env, cwd=cwd, capture_output=True, text=True)


def check_installed(venv, env, cwd):
    """The package, the kyhost command and python -m kyhost, from the venv."""
    done = run([venv / "bin" / "python", "-c", SMOKE_TEST], env, cwd)
    assert done.returncode == 0, done.stderr
    version = done.stdout.strip()
    for command in ([venv / "bin" / "kyhost", "--version"], [venv / "bin" / "python", "-m", "kyhost", "--version"]):
        done = run(command, env, cwd)
        assert (done.returncode, done.stdout) == (0, f"kyhost {version}\n"), (command, done.stderr)
    # The command line's own plug-ins, and its exit status passed on.
    done = run([venv / "bin" / "kyhost", "sweeptri", "num:0,1,0", "num:0,0,1"], env, cwd)
    assert (done.returncode, done.stdout) == (0, "3,2,1\n"), done.stderr
    done = run([venv / "bin" / "python", "-m", "kyhost", "check", "num:0,1,0", "num:0,0,1", "num:1,2,3"], env, cwd)
    assert done.returncode == 1 and "FAIL  rows counter-clockwise: 1" in done.stdout, done.stdout + done.stderr
    # Nothing in the installed binaries refers to the build directory.
    for binary in (venv / "lib").rglob("kyhost/**/*"):
        if binary.is_file() and (binary.suffix == ".so" or binary.name == "kyhost"):
            dynamic = subprocess.run(["readelf", "-d", str(binary)], capture_output=True, text=True).stdout
            assert env["KY_CMAKE_BUILD_DIR"] not in dynamic, binary


def test_wheel_installs_into_a_fresh_venv(tmp_path, environment):
    dist = tmp_path / "dist"
    built = run(["/usr/bin/python3", "-m", "pip", "wheel", "-v", "--no-build-isolation", "--no-deps", "-w", dist,
                 SOURCE], environment, tmp_path)
    assert built.returncode == 0, built.stdout[-3000:] + built.stderr[-3000:]
    # The build says what it does, stage by stage (pip -v shows it on standard error).
    for stage in ("kyhost build: configuring with CMake", "kyhost build: building the package's targets",
                  "kyhost build: built in"):
        assert stage in built.stdout + built.stderr, built.stderr[-3000:]
    # The package's build leaves the unit tests (and GoogleTest) out.
    cache = (pathlib.Path(environment["KY_CMAKE_BUILD_DIR"]) / "CMakeCache.txt").read_text()
    assert "KY_BUILD_TESTS:BOOL=OFF" in cache
    wheels = list(dist.glob("kyhost-*.whl"))
    assert len(wheels) == 1, wheels
    venv = make_venv(tmp_path / "fresh")
    installed = run([venv / "bin" / "pip", "install", wheels[0]], environment, tmp_path)
    assert installed.returncode == 0, installed.stdout[-3000:] + installed.stderr[-3000:]
    check_installed(venv, environment, tmp_path)


def test_pip_install_of_the_source_tree(tmp_path, environment):
    venv = make_venv(tmp_path / "v")
    done = run([venv / "bin" / "pip", "install", "--no-build-isolation", SOURCE], environment, tmp_path)
    assert done.returncode == 0, done.stdout[-3000:] + done.stderr[-3000:]
    check_installed(venv, environment, tmp_path)


def test_package_build_needs_no_test_framework(tmp_path):
    """Configured as setup.py does, on a machine without GoogleTest: no test
    program is left among the targets."""
    build = tmp_path / "build"
    done = run(["cmake", "-S", SOURCE, "-B", build, "-G", "Ninja", "-DCMAKE_BUILD_TYPE=Release",
                "-DKY_BUILD_TESTS=OFF", "-DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON"], os.environ, tmp_path)
    assert done.returncode == 0, done.stdout[-3000:] + done.stderr[-3000:]
    targets = run(["ninja", "-C", build, "-t", "targets", "all"], os.environ, tmp_path)
    assert targets.returncode == 0, targets.stderr
    programs = [line.split(":")[0] for line in targets.stdout.splitlines() if line.startswith("bin/")]
    assert "bin/kyhost" in programs
    assert [name for name in programs if name.endswith(("_tests", "_fuzzer"))] == []
