"""Shared helpers: the kyhost program of the same build, and random points."""
import contextlib
import os
import pathlib
import subprocess
import warnings

import numpy as np
import pytest

import kyhost


def kyhost_program():
    if "KY_KYHOST" in os.environ:
        return os.environ["KY_KYHOST"]
    # Beside the module: build/<type>/python/kyhost/__init__.py -> build/<type>/bin/kyhost
    return str(pathlib.Path(kyhost.__file__).resolve().parent.parent.parent / "bin" / "kyhost")


@pytest.fixture
def run_kyhost():
    """Runs kyhost with the arguments; returns (status, stdout, stderr)."""
    program = kyhost_program()
    if not os.access(program, os.X_OK):
        pytest.skip("kyhost program not built: " + program)

    def run(*arguments):
        done = subprocess.run([program, *arguments], capture_output=True, text=True)
        return done.returncode, done.stdout, done.stderr

    return run


def random_points(n, seed):
    """n random points in general position in the unit square (doubles
    from integers on a large grid, so that none repeat)."""
    rng = np.random.default_rng(seed)
    grid = rng.choice(2**40, size=n, replace=False)
    x = (grid % 2**20) / 2.0**20 + rng.random(n) * 2.0**-21
    y = (grid // 2**20) / 2.0**20 + rng.random(n) * 2.0**-21
    return x, y


@contextlib.contextmanager
def no_ky_warning():
    """Fails on any warning a plug-in issues within the block (the objects
    do not pass on sweeptri's collinear warning: their rows are certified)."""
    with warnings.catch_warnings():
        warnings.simplefilter("error", kyhost.KyWarning)
        yield
