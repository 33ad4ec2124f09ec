"""Builds the korvexmodules package for pip with the project's own CMake build.

The build configures the source tree in Release, builds the target "korvexmodules" and installs
the CMake component "python" (the package folder, with the korvex libraries it links) into the
folder setuptools packs into the wheel. Environment: KORVEX_BUILD_JOBS (default 2) sets the
parallel build jobs, KORVEX_CMAKE_ARGS adds configure options. The wheel is built for any
x86-64 machine (no -march=native); pass KORVEX_CMAKE_ARGS=-DKORVEX_NATIVE=ON to tune it for
the building machine.
"""

import os
import re
import shlex
import subprocess
import sys
from pathlib import Path

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

SOURCE_DIR = Path(__file__).resolve().parent


def project_version():
    text = (SOURCE_DIR / "CMakeLists.txt").read_text()
    return re.search(r"project\(korvex VERSION ([0-9.]+)", text).group(1)


class CMakeBuild(build_ext):
    def build_extension(self, ext):
        build_dir = Path(self.build_temp).resolve() / "cmake"
        package_root = Path(self.build_lib).resolve()
        jobs = os.environ.get("KORVEX_BUILD_JOBS", "2")
        configure = [
            "cmake", "-S", str(SOURCE_DIR), "-B", str(build_dir),
            "-DCMAKE_BUILD_TYPE=Release",
            f"-DPython3_EXECUTABLE={sys.executable}",
            "-DKORVEX_BUILD_EXAMPLES=OFF",
            "-DKORVEX_NATIVE=OFF",
            "-DKORVEX_PYTHON_BUNDLE_LIBS=ON",
            "-DKORVEX_PYTHON_INSTALL_DIR=.",
        ] + shlex.split(os.environ.get("KORVEX_CMAKE_ARGS", ""))
        subprocess.run(configure, check=True)
        subprocess.run(["cmake", "--build", str(build_dir), "--target", "korvexmodules",
                        "-j", jobs], check=True)
        subprocess.run(["cmake", "--install", str(build_dir), "--component", "python",
                        "--prefix", str(package_root)], check=True)


setup(
    version=project_version(),
    ext_modules=[Extension("korvexmodules.Math", sources=[])],
    cmdclass={"build_ext": CMakeBuild},
)
