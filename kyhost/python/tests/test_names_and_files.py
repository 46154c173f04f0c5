"""Names and paths with a NUL byte are refused before anything uses them
(a C function would end them there and use another name or file), and a
picture that cannot be written completely is removed and reported."""
import os
import pathlib
import subprocess
import sys
import textwrap

import numpy as np
import pytest

import kyhost

SQUARE = (np.array([0.0, 1.0, 0.0, 1.0]), np.array([0.0, 0.0, 1.0, 1.0]))


def test_a_nul_byte_in_a_name_or_path_is_refused(tmp_path):
    x, y = SQUARE
    tri = kyhost.sweeptri(x, y)
    data = np.ones(3, np.uint8)
    with pytest.raises(ValueError, match="the function name contains a NUL byte"):
        kyhost.call("sweeptri\0anything", x, y)
    with pytest.raises(ValueError, match="the function name contains a NUL byte"):
        kyhost.call(kyhost.plugin_directory() + "/sweeptri.so\0x", x, y)
    for name in (str(tmp_path / "out\0.bin"), os.fsencode(tmp_path / "out\0.bin")):
        with pytest.raises(ValueError, match="the file name contains a NUL byte"):
            kyhost.byteappend(name, data)
    # Through the generic call the plug-in refuses it itself.
    with pytest.raises(kyhost.CallError, match="FILENAME must not contain NUL characters"):
        kyhost.call("byteappend", str(tmp_path / "out\0.bin"), data)
    with pytest.raises(ValueError, match="the picture path contains a NUL byte"):
        kyhost.draw(x, y, tri, str(tmp_path / "pic\0.svg"))
    for option in ("title", "xlabel", "ylabel"):
        with pytest.raises(ValueError, match="contains a NUL byte"):
            kyhost.draw(x, y, tri, str(tmp_path / "pic.svg"), **{option: "a\0b"})
    with pytest.raises(kyhost.CallError, match="Third input parameter must be the string 'sorted'"):
        kyhost.sweeptri(x, y, "sorted\0")
    assert sorted(os.listdir(tmp_path)) == []


FULL_PLACE = """
    import resource, signal
    import numpy as np
    import kyhost
    # A file size limit (its signal ignored) makes writes fail part-way,
    # as a full disk does.
    signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
    resource.setrlimit(resource.RLIMIT_FSIZE, (4096, 4096))
    rng = np.random.default_rng(3)
    x, y = rng.random(400), rng.random(400)
    tri = kyhost.sweeptri(x, y)
    for name in ("cut.svg", "cut.png"):
        try:
            kyhost.draw(x, y, tri, name)
            print(name, "written")
        except RuntimeError as error:
            print(name, "error:", error)
"""


def test_a_picture_that_cannot_be_written_completely_is_removed(tmp_path):
    package_parent = str(pathlib.Path(kyhost.__file__).resolve().parent.parent)
    done = subprocess.run([sys.executable, "-c", textwrap.dedent(FULL_PLACE)], capture_output=True, text=True,
                          cwd=tmp_path, env=dict(os.environ, PYTHONPATH=package_parent), timeout=120)
    assert done.returncode == 0, done.stderr
    assert done.stdout.splitlines() == [f"{name} error: cannot write picture {name}: File too large"
                                        for name in ("cut.svg", "cut.png")]
    assert os.listdir(tmp_path) == []
