"""The Python module quorvane as a pip package, built by CMake for the interpreter that runs pip.

    python3 -m pip install . --no-build-isolation

configures a Release tree of its own under build-pip/ (kept, so that installing again only
compiles what changed) and builds there the module and the overlay module it loads to paint
pictures and read SVG drawings. QUORVANE_CMAKE_BUILD_DIR names a tree already configured
instead (CI's build/), where only those two targets are brought up to date.

The package is the folder quorvane/ holding the extension as its __init__, so that
`import quorvane` and every name stay those of the module the Debian package installs, with
the overlay module, the type stubs and py.typed beside it. Nothing is downloaded: setuptools,
CMake, pybind11, NumPy and the project's libraries come from the system.
"""
import os
import pathlib
import re
import shutil
import subprocess
import sys
import sysconfig

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

ROOT = pathlib.Path(__file__).resolve().parent
STUBS = ROOT / "src" / "python" / "quorvane.pyi"
# Written by src/python/CMakeLists.txt at the top of the tree.
MANIFEST = "python-package.txt"
TARGETS = ["qv_python", "qv_cli_overlay"]


def project_version():
    text = (ROOT / "CMakeLists.txt").read_text(encoding="utf-8")
    return re.search(r"project\(Quorvane VERSION ([0-9.]+)", text).group(1)


def run(command):
    print("+", " ".join(map(str, command)), flush=True)
    subprocess.run(list(map(str, command)), check=True)


class CMakeBuild(build_ext):
    """Builds the extension and its overlay module with CMake and lays out the package."""

    def build_extension(self, ext):
        tree = os.environ.get("QUORVANE_CMAKE_BUILD_DIR")
        if tree:
            tree = pathlib.Path(tree).resolve()
            if not (tree / "CMakeCache.txt").is_file():
                sys.exit(f"QUORVANE_CMAKE_BUILD_DIR={tree} is no configured CMake tree")
        else:
            tree = pathlib.Path(self.build_temp).resolve() / "cmake"
            self.configure(tree)
        # Written when the tree is configured, so it says before building whether the tree
        # builds a module, and for which Python.
        manifest = tree / MANIFEST
        if not manifest.is_file():
            sys.exit(
                f"{tree} builds no Python module: CMake did not find Python 3 with its headers and "
                "NumPy, or pybind11 (Debian: pybind11-dev python3-dev python3-numpy), or the tree "
                "was configured with -DQV_BUILD_PYTHON=OFF; see its configure output"
            )
        interpreter, module, overlay = manifest.read_text(encoding="utf-8").splitlines()[:3]
        # A module built for another Python would install but never import.
        suffix = sysconfig.get_config_var("EXT_SUFFIX")
        if not module.endswith(suffix):
            sys.exit(
                f"{module} is built for {interpreter}, not for this Python ({sys.executable}, "
                f"modules *{suffix}): configure {tree} with -DPython3_EXECUTABLE={sys.executable}"
            )
        jobs = os.environ.get("CMAKE_BUILD_PARALLEL_LEVEL") or str(os.cpu_count() or 1)
        run(["cmake", "--build", tree, "--target", *TARGETS, "--parallel", jobs])

        # The extension as the package's __init__: Python imports a package whose __init__ is
        # an extension, under the package's name, which is the module's own.
        target = pathlib.Path(self.get_ext_fullpath(ext.name))
        package = target.parent
        package.mkdir(parents=True, exist_ok=True)
        shutil.copyfile(module, target)
        # The extension looks for the overlay module in its own folder first.
        shutil.copyfile(overlay, package / pathlib.Path(overlay).name)
        shutil.copyfile(STUBS, package / "__init__.pyi")
        (package / "py.typed").write_text("")

    def configure(self, tree):
        generator = ["-G", "Ninja"] if shutil.which("ninja") else []
        run([
            "cmake", "-S", ROOT, "-B", tree, *generator,
            "-DCMAKE_BUILD_TYPE=Release",
            f"-DPython3_EXECUTABLE={sys.executable}",
            "-DQV_BUILD_PYTHON=ON",
            "-DQV_BUILD_TESTS=OFF",
            "-DQV_BUILD_BENCH=OFF",
        ])

    def get_outputs(self):
        package = pathlib.Path(self.build_lib) / "quorvane"
        return super().get_outputs() + [
            str(package / name) for name in ("quorvane-cli-overlay.so", "__init__.pyi", "py.typed")
        ]


setup(
    version=project_version(),
    ext_modules=[Extension("quorvane.__init__", sources=[])],
    cmdclass={"build_ext": CMakeBuild},
    # The setuptools build beside CMake's trees (build*/), not inside build/, which CMake owns.
    options={"build": {"build_base": "build-pip"}, "egg_info": {"egg_base": "build-pip"}},
)
