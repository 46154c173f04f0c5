"""The compiled part of the Python package kyhost, built by CMake.

build_ext configures this project (Release, with ccache when it is found),
builds only the targets the package needs (the module, the host libraries
and the plug-ins) and installs the CMake component python_wheel into the
package directory: kyhost/_kyhost*.so, kyhost/lib/ and
kyhost/lib/kyhost/plugins/, all found through $ORIGIN-relative run paths.

KY_CMAKE_BUILD_DIR chooses the CMake build directory (default: under
build/ in the source tree), so that repeated builds reuse it.
"""
import os
import pathlib
import re
import shutil
import subprocess
import sys

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

HERE = pathlib.Path(__file__).resolve().parent


def project_version():
    text = (HERE / "CMakeLists.txt").read_text()
    return re.search(r"project\([^)]*VERSION\s+([0-9.]+)", text).group(1)


class CMakeBuild(build_ext):
    def build_extension(self, ext):
        package_dir = pathlib.Path(self.get_ext_fullpath(ext.name)).resolve().parent
        prefix = package_dir.parent
        build_dir = pathlib.Path(os.environ.get("KY_CMAKE_BUILD_DIR", HERE / "build" / "python-wheel"))
        configure = ["cmake", "-S", str(HERE), "-B", str(build_dir), "-G", "Ninja",
                     "-DCMAKE_BUILD_TYPE=Release", f"-DPython_EXECUTABLE={sys.executable}",
                     f"-DPYTHON_EXECUTABLE={sys.executable}"]
        if shutil.which("ccache"):
            configure += ["-DCMAKE_CXX_COMPILER_LAUNCHER=ccache", "-DCMAKE_C_COMPILER_LAUNCHER=ccache"]
        jobs = os.environ.get("KY_BUILD_JOBS", "2")
        subprocess.run(configure, check=True)
        subprocess.run(["cmake", "--build", str(build_dir), "-j", jobs, "--target",
                        "kyhost_python", "sweeptri", "nearwalk", "byteappend", "trinterp"], check=True)
        subprocess.run(["cmake", "--install", str(build_dir), "--component", "python_wheel",
                        "--prefix", str(prefix)], check=True)
        built = sorted(package_dir.glob("_kyhost*.so"))
        if not built:
            raise RuntimeError(f"the CMake build made no kyhost/_kyhost*.so in {package_dir}")
        target = pathlib.Path(self.get_ext_fullpath(ext.name))
        if built[0].resolve() != target.resolve():
            shutil.copy2(built[0], target)


setup(
    version=project_version(),
    ext_modules=[Extension("kyhost._kyhost", sources=[])],
    cmdclass={"build_ext": CMakeBuild},
)
