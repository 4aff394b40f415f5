"""Builds the Python package's extension module with CMake.

The module is the library itself, compiled by the project's own CMake build
(the same sources and flags as every other build of it, position-independent)
and linked statically together with a small pybind11 layer: the installed
package needs nothing but numpy. The project's tests and benchmarks are not
configured. The package's metadata is in pyproject.toml.
"""
import os
import shutil
import subprocess
import sys
from pathlib import Path

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

ROOT = Path(__file__).resolve().parent


class CMakeExtension(Extension):
    def __init__(self, name: str, target: str) -> None:
        super().__init__(name, sources=[])
        self.target = target


class CMakeBuild(build_ext):
    def build_extension(self, ext: Extension) -> None:
        destination = Path(self.get_ext_fullpath(ext.name)).resolve()
        build_dir = Path(self.build_temp).resolve() / "cmake"
        module_dir = build_dir / "module"
        configure = [
            "cmake", "-S", str(ROOT), "-B", str(build_dir),
            "-DCMAKE_BUILD_TYPE=Release",
            "-DKSATFIT_PYTHON=ON",
            "-DKSATFIT_BUILD_TESTS=OFF",
            "-DKSATFIT_BUILD_BENCH=OFF",
            "-DKSATFIT_INSTALL=OFF",
            f"-DPython_EXECUTABLE={sys.executable}",
            f"-DCMAKE_LIBRARY_OUTPUT_DIRECTORY={module_dir}",
        ]
        try:  # pybind11's CMake files, where its Python package has them
            import pybind11

            configure.append(f"-Dpybind11_DIR={pybind11.get_cmake_dir()}")
        except ImportError:
            pass
        jobs = os.environ.get("CMAKE_BUILD_PARALLEL_LEVEL") or str(os.cpu_count() or 1)
        subprocess.run(configure, check=True)
        subprocess.run(["cmake", "--build", str(build_dir), "--target", ext.target,
                        "--parallel", jobs], check=True)
        built = [p for p in module_dir.glob(ext.target + ".*") if p.suffix == ".so"]
        if len(built) != 1:
            raise RuntimeError(f"expected one {ext.target} module in {module_dir}, found {built}")
        destination.parent.mkdir(parents=True, exist_ok=True)
        shutil.copyfile(built[0], destination)


setup(
    ext_modules=[CMakeExtension("ksatfit._ksatfit", target="_ksatfit")],
    cmdclass={"build_ext": CMakeBuild},
)
