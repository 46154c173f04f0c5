"""python -m kyhost and the launcher pip installs as kyhost: both run the
kyhost program that belongs to the package, with its arguments, output and
exit status unchanged."""
import os
import pathlib
import subprocess
import sys

import kyhost
from kyhost import _command
from conftest import kyhost_program

LAUNCHER = pathlib.Path(__file__).resolve().parents[1] / "scripts" / "kyhost"


def run(*command):
    env = dict(os.environ, PYTHONPATH=str(pathlib.Path(kyhost.__file__).resolve().parent.parent))
    return subprocess.run([str(part) for part in command], capture_output=True, text=True, env=env)


def test_python_m_kyhost_and_the_launcher_run_the_packages_program():
    assert pathlib.Path(_command.program()).resolve() == pathlib.Path(kyhost_program()).resolve()
    expected = subprocess.run([kyhost_program(), "--version"], capture_output=True, text=True).stdout
    for command in ([sys.executable, "-m", "kyhost"], [sys.executable, LAUNCHER]):
        done = run(*command, "--version")
        assert (done.returncode, done.stdout, done.stderr) == (0, expected, ""), command
        done = run(*command, "sweeptri", "num:0,1,0", "num:0,0,1")
        assert (done.returncode, done.stdout) == (0, "3,2,1\n"), done.stderr
        # Exit statuses and standard error are the program's own.
        done = run(*command, "check", "num:0,1,0", "num:0,0,1", "num:1,2,3")
        assert done.returncode == 1 and "FAIL  rows counter-clockwise" in done.stdout
        done = run(*command, "nosuchplugin")
        assert done.returncode == 2 and "unknown function 'nosuchplugin'" in done.stderr


def test_a_missing_program_is_an_error_not_a_silent_success(monkeypatch, capsys):
    monkeypatch.setattr(_command, "program", lambda: None)
    assert _command.main(["--version"]) == 2
    assert "kyhost program is missing" in capsys.readouterr().err


def test_the_launcher_never_runs_itself_when_the_program_is_missing(tmp_path):
    """A venv whose package lost bin/kyhost: <venv>/bin/kyhost, where an
    installed prefix keeps the program, is the launcher itself. It must say
    to reinstall and fail, not run itself again and again."""
    import shutil
    site = tmp_path / "venv" / "lib" / "python3" / "site-packages"
    (site / "kyhost").mkdir(parents=True)
    (site / "kyhost" / "__init__.py").write_text("")
    shutil.copy(pathlib.Path(_command.__file__), site / "kyhost" / "_command.py")
    launcher = tmp_path / "venv" / "bin" / "kyhost"
    launcher.parent.mkdir()
    launcher.write_text(f"#!{sys.executable}\n" + LAUNCHER.read_text().split("\n", 1)[1])
    launcher.chmod(0o755)
    env = dict(os.environ, PYTHONPATH=str(site))
    for command in ([launcher, "--version"], [sys.executable, launcher, "--version"]):
        done = subprocess.run([str(part) for part in command], capture_output=True, text=True, env=env, timeout=60)
        assert done.returncode == 2, (command, done.stdout, done.stderr)
        assert "missing" in done.stderr and "reinstall" in done.stderr
