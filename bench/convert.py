"""Speed of pylentrasdk.frames.to_rgb against OpenCV and against a copy of the same bytes, in one run.

For each of the nine pixel formats at 1920x1080 and 3840x2160 (frames of the simulated camera's
test pattern, MJPG as the SDK encodes it), prints the time of `to_rgb(out=)` on one thread
(`threads=1`) and on two (`threads=2`), of OpenCV on one thread and with its default thread count
(`cvtColor` with the matching code, `imdecode` for MJPG; a NumPy copy for RGB, which has no
conversion code), and of a one-thread copy of the same bytes (every byte of the frame read, a
picture-sized array written: the memory's speed, bench/copy_baseline.c, compiled here), with the
ratios ours / OpenCV on one thread, ours with 2 threads / OpenCV with its default, and ours on one
thread / the copy; and the largest difference between our picture and OpenCV's. The five are
timed in alternation, call after call, and each figure is the fastest of its calls: on a machine
shared with other work, the fastest call is the one least disturbed.

OpenCV (opencv-python-headless) is a development dependency (requirements-dev.txt; the tests
undistort frames with it), not a run-time one: it is installed into the running environment when
missing.

Run after tools/setup.sh:  .venv/bin/python bench/convert.py [--repeat N]
"""
import argparse
import ctypes
import importlib
import os
import subprocess
import sys
import tempfile
import time

import numpy as np

import pylentrasdk as lx
from pylentrasdk import _convert, frames, sim

HERE = os.path.dirname(os.path.abspath(__file__))
NAMES = ("YUY2", "UYVY", "NV12", "BGRA", "BGRX", "BGR", "RGB", "RGB16", "MJPG")
SIZES = ((1920, 1080), (3840, 2160))


def opencv():
    try:
        return importlib.import_module("cv2")
    except ImportError:
        print("Installing opencv-python-headless for the benchmark", file=sys.stderr)
        subprocess.run([sys.executable, "-m", "pip", "install", "-q", "--disable-pip-version-check",
                        "opencv-python-headless"], check=True)
        return importlib.import_module("cv2")


def copy_baseline(folder):
    """copy(frame, picture): the C copy of bench/copy_baseline.c, compiled into `folder`."""
    library = os.path.join(folder, "copy_baseline.so")
    subprocess.run([os.environ.get("CC", "cc"), "-O2", "-shared", "-fPIC",
                    os.path.join(HERE, "copy_baseline.c"), "-o", library], check=True)
    copy_frame = ctypes.CDLL(library).copy_frame
    copy_frame.restype = ctypes.c_uint8
    copy_frame.argtypes = [ctypes.c_void_p, ctypes.c_size_t, ctypes.c_void_p, ctypes.c_size_t]

    def copy(frame, picture):
        # ctypes releases the interpreter lock for the call, as the conversions do.
        return lambda: copy_frame(frame.ctypes.data, frame.nbytes, picture.ctypes.data, picture.nbytes)
    return copy


def captured_frames():
    """{(name, width, height): (frame, LxFormat)} from a camera offering every format and size."""
    sim.load({"devices": [{"name": "bench", "formats": [
        {"format": name, "width": w, "height": h} for name in NAMES for w, h in SIZES]}]})
    cam = lx.LxInitialCameraDevice(0)
    assert lx.LxOpen(cam) == 0
    taken = {}
    with sim.free_run():
        for fmt in lx.LxGetFormatList(cam)[1]:
            assert lx.LxSetFormat(cam, fmt) == 0 and lx.LxStartStreaming(cam) == 0
            result, frame = lx.LxGetImage(cam, 3000, fmt)
            assert result == lx.LX_CAPTURE_RESULT.LX_SUCCESS
            lx.LxStopStreaming(cam)
            taken[(frames.format_name(fmt.format), fmt.width, fmt.height)] = (frame, fmt)
    lx.LxClose(cam)
    sim.reset()
    return taken


def opencv_call(cv2, name, frame, width, height, threads, out):
    """OpenCV's conversion of the frame to RGB on `threads` threads into `out` (MJPG into an
    array of its own), as a function of no arguments."""
    codes = {"YUY2": (cv2.COLOR_YUV2RGB_YUY2, (height, width, 2)),
             "UYVY": (cv2.COLOR_YUV2RGB_UYVY, (height, width, 2)),
             "NV12": (cv2.COLOR_YUV2RGB_NV12, (height * 3 // 2, width)),
             "BGRA": (cv2.COLOR_BGRA2RGB, (height, width, 4)),
             "BGRX": (cv2.COLOR_BGRA2RGB, (height, width, 4)),
             "BGR": (cv2.COLOR_BGR2RGB, (height, width, 3)),
             "RGB16": (cv2.COLOR_BGR5652RGB, (height, width, 2))}
    if name == "MJPG":
        def call():
            cv2.setNumThreads(threads)
            return cv2.imdecode(frame, cv2.IMREAD_COLOR)[..., ::-1]
        return call
    if name == "RGB":
        shaped = frame.reshape(height, width, 3)
        return lambda: np.copyto(out, shaped) or out
    code, shape = codes[name]
    shaped = frame.reshape(shape)

    def convert():
        cv2.setNumThreads(threads)
        return cv2.cvtColor(shaped, code, dst=out)
    return convert


def fastest_ms(calls, repeat):
    """The fastest time of each call, in milliseconds, timed in alternation after a warm-up."""
    best = [float("inf")] * len(calls)
    for call in calls:
        call()
    for _ in range(repeat):
        for i, call in enumerate(calls):
            start = time.perf_counter()
            call()
            best[i] = min(best[i], time.perf_counter() - start)
    return [b * 1000 for b in best]


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--repeat", type=int, default=30, help="calls timed per figure")
    args = parser.parse_args()
    cv2 = opencv()
    default_threads = cv2.getNumThreads()
    taken = captured_frames()
    with tempfile.TemporaryDirectory() as folder:
        copy = copy_baseline(folder)
        print("OpenCV {} (default {} threads); our kernels: {} of {}; {} cores; fastest of {} calls"
              .format(cv2.__version__, default_threads, _convert._simd_target(),
                      ", ".join(_convert._simd_targets()), os.cpu_count(), args.repeat))
        print()
        print("| Frame | ours, 1 thread | OpenCV, 1 thread | ours, 2 threads | OpenCV, {} threads "
              "| copy, 1 thread | ours / OpenCV (1) | ours / OpenCV (2) | ours (1) / copy "
              "| largest difference |".format(default_threads))
        print("|---|---|---|---|---|---|---|---|---|---|")
        for width, height in SIZES:
            for name in NAMES:
                frame, fmt = taken[(name, width, height)]
                # Every call writes the same array (OpenCV's imdecode excepted), so that all meet
                # the same memory: its pages, and what of it the caches hold.
                out = np.empty((height, width, 3), np.uint8)
                theirs_1 = opencv_call(cv2, name, frame, width, height, 1, out)
                theirs_n = opencv_call(cv2, name, frame, width, height, default_threads, out)
                copied, ours_1, cv_1, ours_2, cv_n = fastest_ms(
                    [copy(frame, out),
                     lambda f=frame, m=fmt, o=out: frames.to_rgb(f, m, out=o, threads=1), theirs_1,
                     lambda f=frame, m=fmt, o=out: frames.to_rgb(f, m, out=o, threads=2), theirs_n],
                    args.repeat)
                difference = np.abs(frames.to_rgb(frame, fmt).astype(int)
                                    - theirs_1().astype(int)).max()
                print("| {}x{} {} | {:.2f} ms | {:.2f} ms | {:.2f} ms | {:.2f} ms | {:.2f} ms "
                      "| {:.2f}x | {:.2f}x | {:.2f}x | {} |".format(
                          width, height, name, ours_1, cv_1, ours_2, cv_n, copied, ours_1 / cv_1,
                          ours_2 / cv_n, ours_1 / copied, difference))
        cv2.setNumThreads(default_threads)


if __name__ == "__main__":
    main()
