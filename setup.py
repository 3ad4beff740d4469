"""pip install --no-build-isolation .  builds the library with CMake and installs
_zelta, zelta_arrays, the zelta package and the `zelta` command.

The library (libzpk), its data files, headers and CMake package land in the
`zpk/` folder beside the modules: <site-packages>/zpk/lib/libzpk.so finds its
data in <site-packages>/zpk/share/zpk/, and the modules find the library
through their run path ($ORIGIN/zpk/lib).
"""
import os
import shutil
import subprocess
import sys

from setuptools import Distribution, setup
from setuptools.command.build_py import build_py

HERE = os.path.dirname(os.path.abspath(__file__))


def _version():
    with open(os.path.join(HERE, "CMakeLists.txt")) as f:
        for line in f:
            if line.startswith("project("):
                return line.split("VERSION")[1].split()[0]
    raise RuntimeError("no project version in CMakeLists.txt")


class BuildWithCMake(build_py):
    """Configures and builds the library and the modules, and installs them into the build folder."""

    def run(self):
        # Beside the project's other build folders, with their flags, so that a
        # compiler cache serves both.
        build = os.path.join(HERE, "build-pip")
        target = os.path.abspath(self.build_lib)
        jobs = str(os.cpu_count() or 1)
        configure = ["cmake", "-S", HERE, "-B", build, "-DCMAKE_BUILD_TYPE=RelWithDebInfo",
                     "-DPython3_EXECUTABLE=" + sys.executable, "-DZPK_BUILD_TESTS=OFF",
                     "-DZPK_BUILD_BENCHMARKS=OFF",
                     "-DCMAKE_INSTALL_PREFIX=" + target, "-DZPK_PYTHON_INSTALL_DIR=.",
                     "-DCMAKE_INSTALL_LIBDIR=zpk/lib", "-DCMAKE_INSTALL_DATADIR=zpk/share",
                     "-DCMAKE_INSTALL_INCLUDEDIR=zpk/include", "-DCMAKE_INSTALL_BINDIR=zpk/bin"]
        if shutil.which("ccache"):
            configure += ["-DCMAKE_CXX_COMPILER_LAUNCHER=ccache", "-DCMAKE_C_COMPILER_LAUNCHER=ccache"]
        subprocess.check_call(configure)
        subprocess.check_call(["cmake", "--build", build, "-j", jobs, "--target", "zpk", "zpkx",
                               "python_binding"])
        for component in ("Unspecified", "python"):
            subprocess.check_call(["cmake", "--install", build, "--component", component])
        super().run()


class BinaryDistribution(Distribution):
    def has_ext_modules(self):
        return True


setup(
    name="zelta",
    version=_version(),
    description="Thermodynamic and physical-property library: flashes, envelopes, properties",
    python_requires=">=3.8",
    packages=["zelta"],
    package_dir={"zelta": "binding/zelta"},
    cmdclass={"build_py": BuildWithCMake},
    distclass=BinaryDistribution,
    entry_points={"console_scripts": ["zelta = zelta.cli:main"]},
    zip_safe=False,
)
