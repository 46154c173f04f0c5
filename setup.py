"""The compiled part of the Python package kyhost, built by CMake.

build_ext configures this project (Release, with ccache when it is found),
builds only the target kyhost_product (the module, the host libraries, the
plug-ins and the kyhost program) and installs the CMake component
python_wheel into the package directory: kyhost/_kyhost*.so, kyhost/lib/,
kyhost/lib/kyhost/plugins/ and kyhost/bin/kyhost, all found through
$ORIGIN-relative run paths. The script kyhost (kyhost/python/scripts) is the
command pip puts on PATH; it runs kyhost/bin/kyhost, as python -m kyhost does.

Progress: every line of CMake's output goes to standard output, which pip
shows with -v (and in its log when the build fails); pip captures it
otherwise, so each stage and each build step is also written to the
terminal, when there is one (KY_BUILD_PROGRESS=0 turns that off).

KY_CMAKE_BUILD_DIR chooses the CMake build directory (default: under
build/ in the source tree), so that repeated builds reuse it; KY_BUILD_JOBS
the number of parallel jobs (default: the processor count).
"""
import os
import pathlib
import re
import shutil
import subprocess
import sys
import time

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

HERE = pathlib.Path(__file__).resolve().parent


def project_version():
    text = (HERE / "CMakeLists.txt").read_text()
    return re.search(r"project\([^)]*VERSION\s+([0-9.]+)", text).group(1)


class Progress:
    """The build's output, and a short account of it on the terminal."""

    # "[12/68] Building CXX object kyhost/inspect/CMakeFiles/kyhost_inspect.dir/check_report.cpp.o"
    STEP = re.compile(r"^\[(\d+)/(\d+)\] (.*)$")
    OBJECT = re.compile(r"^Building \w+ object (.*?)/?CMakeFiles/[^/]+\.dir/(.*)\.o$")

    def __init__(self):
        self.started = time.monotonic()
        self.terminal = None
        if os.environ.get("KY_BUILD_PROGRESS", "1") != "0" and not sys.stdout.isatty():
            try:
                self.terminal = open("/dev/tty", "w", buffering=1)
            except OSError:
                self.terminal = None
        # pip's spinner stands at the end of its line: start below it.
        self.pending = "\n"

    def show(self, text):
        if self.terminal is None:
            return
        try:
            # "\r": over the spinner character pip writes between our lines.
            self.terminal.write(f"{self.pending}\rkyhost build: {text}\n")
            self.pending = ""
        except OSError:
            self.terminal = None

    def stage(self, text):
        print(f"kyhost build: {text}", flush=True)
        self.show(text)

    def line(self, text):
        sys.stdout.write(text)
        sys.stdout.flush()
        step = self.STEP.match(text.rstrip("\n"))
        if step:
            done, total, what = step.groups()
            built = self.OBJECT.match(what)
            self.show(f"[{done}/{total}] " + (f"compiling {built.group(1)}/{built.group(2)}" if built else what))

    def run(self, command, env=None):
        """Runs command with its output passed on line by line; raises
        CalledProcessError when it fails."""
        process = subprocess.Popen(command, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True,
                                   errors="replace", bufsize=1, env=env)
        with process:
            for text in process.stdout:
                self.line(text)
        if process.returncode != 0:
            self.show(f"failed: {' '.join(command)} (exit status {process.returncode}); "
                      "pip shows the output, or run pip with -v")
            raise subprocess.CalledProcessError(process.returncode, command)

    def elapsed(self):
        seconds = int(time.monotonic() - self.started)
        return f"{seconds // 60} min {seconds % 60:02d} s" if seconds >= 60 else f"{seconds} s"


class CMakeBuild(build_ext):
    def build_extension(self, ext):
        package_dir = pathlib.Path(self.get_ext_fullpath(ext.name)).resolve().parent
        prefix = package_dir.parent
        build_dir = pathlib.Path(os.environ.get("KY_CMAKE_BUILD_DIR", HERE / "build" / "python-wheel"))
        configure = ["cmake", "-S", str(HERE), "-B", str(build_dir), "-G", "Ninja",
                     "-DCMAKE_BUILD_TYPE=Release", "-DKY_BUILD_TESTS=OFF", f"-DPython_EXECUTABLE={sys.executable}",
                     f"-DPYTHON_EXECUTABLE={sys.executable}"]
        launcher = ""
        if shutil.which("ccache"):
            configure += ["-DCMAKE_CXX_COMPILER_LAUNCHER=ccache", "-DCMAKE_C_COMPILER_LAUNCHER=ccache"]
            launcher = ", with ccache"
        jobs = os.environ.get("KY_BUILD_JOBS") or os.environ.get("CMAKE_BUILD_PARALLEL_LEVEL") or str(os.cpu_count() or 2)

        progress = Progress()
        progress.stage(f"configuring with CMake in {build_dir}")
        progress.run(configure)
        progress.stage(f"building the package's targets ({jobs} jobs{launcher})")
        progress.run(["cmake", "--build", str(build_dir), "-j", jobs, "--target", "kyhost_product"],
                     # ccache's depend mode takes the headers a file uses from
                     # the compiler's own dependency list: a file not yet in
                     # the cache is compiled without first being run through
                     # the preprocessor (CGAL's headers make that a second or
                     # two each). Files already cached are found as before.
                     env=dict(os.environ, CCACHE_DEPEND=os.environ.get("CCACHE_DEPEND", "1")))
        progress.stage("installing them into the package")
        progress.run(["cmake", "--install", str(build_dir), "--component", "python_wheel", "--prefix", str(prefix)])
        built = sorted(package_dir.glob("_kyhost.*.so"))
        if not built:
            raise RuntimeError(f"the CMake build made no kyhost/_kyhost.*.so in {package_dir}")
        if not (package_dir / "bin" / "kyhost").is_file():
            raise RuntimeError(f"the CMake build made no kyhost/bin/kyhost in {package_dir}")
        target = pathlib.Path(self.get_ext_fullpath(ext.name))
        if built[0].resolve() != target.resolve():
            shutil.copy2(built[0], target)
        progress.stage(f"built in {progress.elapsed()}")


setup(
    version=project_version(),
    ext_modules=[Extension("kyhost._kyhost", sources=[])],
    cmdclass={"build_ext": CMakeBuild},
    scripts=["kyhost/python/scripts/kyhost"],
)
