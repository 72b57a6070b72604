"""Builds the extension module `veltrane._native` with CMake and puts it into the package."""

import os
import re
import shutil
import subprocess
import sys

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

ROOT = os.path.dirname(os.path.abspath(__file__))


def project_version():
    """The version of project() in CMakeLists.txt, the one source of the version text."""
    with open(os.path.join(ROOT, "CMakeLists.txt"), encoding="utf-8") as cmake_lists:
        match = re.search(r"^project\(\s*veltrane\s+VERSION\s+([0-9][0-9.]*)", cmake_lists.read(),
                          re.MULTILINE)
    if match is None:
        raise RuntimeError("CMakeLists.txt names no project version")
    return match.group(1)


class CMakeBuild(build_ext):
    """Configures and builds the CMake target of the module, then copies it in place."""

    def build_extension(self, ext):
        build_dir = os.path.join(ROOT, "build", "python")
        subprocess.check_call([
            "cmake", "-S", ROOT, "-B", build_dir, "-G", "Ninja",
            "-DCMAKE_BUILD_TYPE=Release",
            "-DVELTRANE_TESTS=OFF", "-DVELTRANE_BENCH=OFF",
            f"-DPython3_EXECUTABLE={sys.executable}",
        ])
        subprocess.check_call(["cmake", "--build", build_dir, "--target", "veltrane_python"])
        built = os.path.join(build_dir, "python", "veltrane", "_native.abi3.so")
        target = self.get_ext_fullpath(ext.name)
        os.makedirs(os.path.dirname(target), exist_ok=True)
        shutil.copyfile(built, target)


setup(
    version=project_version(),
    ext_modules=[Extension("veltrane._native", sources=[], py_limited_api=True)],
    cmdclass={"build_ext": CMakeBuild},
)
