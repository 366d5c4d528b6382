"""tools/wheel.sh builds a wheel that installs into a clean virtual environment and captures
there with every library it loads either inside the wheel or part of the base system."""
import os
import subprocess
import sys
import zipfile

import pytest

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

# What a manylinux wheel may take from the system; anything else must come from the wheel.
BASE_SYSTEM = ("linux-vdso", "ld-linux", "libc.so", "libm.so", "libdl.so", "libpthread.so",
               "librt.so", "libstdc++.so", "libgcc_s.so", "libz.so")

CAPTURE = """
import glob, os, subprocess, sys
import numpy as np
import pylentrasdk as lx
from pylentrasdk import frames
package = os.path.dirname(lx.__file__)
site = os.path.dirname(package)
cam = lx.LxInitialCameraDevice(0)
assert lx.LxOpen(cam) == 0
fmt = [f for f in lx.LxGetFormatList(cam)[1] if f.format == lx.LX_IMAGE_FORMAT.LX_IMAGE_FORMAT_MJPG][0]
assert lx.LxSetFormat(cam, fmt) == 0 and lx.LxStartStreaming(cam) == 0
result, frame = lx.LxGetImage(cam, 3000, fmt)
assert result == lx.LX_SUCCESS, result
frames.to_png(frame, fmt, "frame.png")
# libyuv (bundled) splits the YUY2 planes for JPEG
assert frames.to_jpeg(np.zeros(64 * 16 * 2, np.uint8), lx.LX_IMAGE_FORMAT.LX_IMAGE_FORMAT_YUY2, 80, 64, 16)
# Highway (bundled) chooses the SIMD kernels that convert YUY2 to RGB, here on two threads
assert frames.to_rgb(np.zeros(64 * 16 * 2, np.uint8), lx.LX_IMAGE_FORMAT.LX_IMAGE_FORMAT_YUY2, 64, 16,
                     threads=2).shape == (16, 64, 3)
for module in glob.glob(os.path.join(package, "*.so")):
    env = dict(os.environ)
    env.pop("LD_LIBRARY_PATH", None)
    for line in subprocess.check_output(["ldd", module], env=env, universal_newlines=True).splitlines():
        print(line.strip())
print("SITE", site)
"""


def built_wheel(folder):
    # Built by this test run's environment, for its interpreter (the suite runs on several).
    subprocess.run(["bash", os.path.join(ROOT, "tools", "wheel.sh"), str(folder)], check=True,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                   env=dict(os.environ, VENV=sys.prefix))
    wheels = [name for name in os.listdir(str(folder)) if name.endswith(".whl")]
    assert len(wheels) == 1 and "manylinux" in wheels[0], wheels
    return os.path.join(str(folder), wheels[0])


@pytest.mark.slow
def test_the_wheel_is_self_contained(tmp_path):
    pytest.importorskip("auditwheel")
    wheel = built_wheel(tmp_path / "dist")
    names = zipfile.ZipFile(wheel).namelist()
    package = [n for n in names if n.startswith("pylentrasdk/")]
    assert not [n for n in package if n.endswith(("CMakeLists.txt", ".cpp", ".h", ".c", ".cmake",
                                                  "pylentractl.py"))], package
    assert any(n.startswith("pylentrasdk.libs/libturbojpeg") for n in names)
    assert any(n.startswith("pylentrasdk.libs/libyuv") for n in names)
    assert any(n.startswith("pylentrasdk.libs/libhwy") for n in names)
    assert {"pylentrasdk/py.typed", "pylentrasdk/pyLentraSDK.pyi", "pylentrasdk/stream.pyi"} <= set(names)
    assert {"pylentrasdk/viewer/page/" + n for n in ("index.html", "viewer.css", "viewer.js")} \
        <= set(names)
    assert {"pylentrasdk/samples/second_camera.yaml", "pylentrasdk/samples/kavl_yuy2_1080p.yaml",
            "pylentrasdk/samples/default_rig.json"} <= set(names)

    venv = tmp_path / "venv"
    subprocess.run([sys.executable, "-m", "venv", str(venv)], check=True)
    python = str(venv / "bin" / "python")
    subprocess.run([python, "-m", "pip", "install", "-q", "--disable-pip-version-check", wheel],
                   check=True)
    ran = subprocess.run([python, "-c", CAPTURE], cwd=str(tmp_path), stdout=subprocess.PIPE,
                         universal_newlines=True, check=True)
    lines = ran.stdout.splitlines()
    site = lines[-1].split(" ", 1)[1]
    outside = [line for line in lines[:-1]
               if "=> " + site not in line and not line.startswith(BASE_SYSTEM)
               and not line.split(" ")[0].startswith(BASE_SYSTEM)
               and not line.startswith("/lib")]
    assert not outside, "libraries from outside the wheel:\n" + "\n".join(outside)
    assert (tmp_path / "frame.png").stat().st_size > 0

    listed = subprocess.run([str(venv / "bin" / "lxctl"), "list"], cwd=str(tmp_path),
                            stdout=subprocess.PIPE, universal_newlines=True, check=True)
    assert listed.stdout.startswith("0: ")
    # Installed without the viewer extra, `lxctl view` says how to get it.
    view = subprocess.run([str(venv / "bin" / "lxctl"), "view", "--no-browser"],
                          cwd=str(tmp_path), stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                          universal_newlines=True, timeout=60)
    assert view.returncode == 2 and "pip install pylentrasdk[viewer]" in view.stderr
