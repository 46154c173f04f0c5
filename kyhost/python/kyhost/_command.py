"""The kyhost command line from the Python package: the package's own
kyhost program, run in place of the Python process, so that its exit status,
signals and standard streams are the program's own.

This module imports nothing from the package, and nothing slow (not even
typing): the ``kyhost`` launcher that pip installs loads it by path, without
the numpy and scipy imports of ``import kyhost``.
"""
import os
import sys


def _is_launcher(path: str) -> bool:
    """Whether path is a Python script (the launcher pip installs, whose
    place in a venv, <venv>/bin, is also where an installed prefix keeps the
    program) or the script running now: running it would run this again."""
    try:
        with open(path, "rb") as file:
            first = file.readline(4096)
    except OSError:
        return True
    if first.startswith(b"#!") and b"python" in first:
        return True
    script = sys.argv[0] if sys.argv and sys.argv[0] else ""
    try:
        return bool(script) and os.path.samefile(path, script)
    except OSError:
        return False


def program() -> "str | None":
    """The kyhost program that belongs to this package: in a wheel beside
    the package's host libraries (bin/kyhost), in the build tree or an
    installed prefix where CMake put it. Never a launcher script (see
    _is_launcher)."""
    package = os.path.dirname(os.path.abspath(__file__))
    for relative in ("bin", "../../bin", "../../../../bin"):
        path = os.path.normpath(os.path.join(package, relative, "kyhost"))
        if os.path.isfile(path) and os.access(path, os.X_OK) and not _is_launcher(path):
            return path
    return None


def main(argv: "list[str] | None" = None) -> int:
    """Runs kyhost with argv (default: this process's arguments); returns
    only when it cannot be started."""
    arguments = sys.argv[1:] if argv is None else list(argv)
    path = program()
    if path is None:
        sys.stderr.write("kyhost: the package's kyhost program is missing from "
                         f"{os.path.dirname(os.path.abspath(__file__))}/bin (reinstall the package)\n")
        return 2
    sys.stdout.flush()
    sys.stderr.flush()
    try:
        os.execv(path, [path, *arguments])
    except OSError as error:
        sys.stderr.write(f"kyhost: cannot run {path}: {error.strerror}\n")
        return 2
    return 2  # not reached: execv returns only by raising
