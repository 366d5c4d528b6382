"""Speed of pylentrasdk.frames.to_rgb against OpenCV on the same frames, in one run.

For each of the nine pixel formats at 1920x1080 and 3840x2160 (frames of the simulated camera's
test pattern, MJPG as the SDK encodes it), prints the time of `to_rgb` with `out=`, of `to_rgb`
without it, and of OpenCV limited to one thread (`cvtColor` with the matching code, `imdecode`
for MJPG; a NumPy copy for RGB, which has no conversion code), the ratio of each to OpenCV's, and
the largest difference between our picture and OpenCV's. The three are timed in alternation,
call after call, and each figure is the fastest of its calls: on a machine shared with other
work, the fastest call is the one least disturbed.

OpenCV (opencv-python-headless) is a development dependency (requirements-dev.txt; the tests
undistort frames with it), not a run-time one: it is installed into the running environment when
missing.

Run after tools/setup.sh:  .venv/bin/python bench/convert.py [--repeat N]
"""
import argparse
import importlib
import subprocess
import sys
import time

import numpy as np

import pylentrasdk as lx
from pylentrasdk import frames, sim

F = lx.LX_IMAGE_FORMAT
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


def opencv_call(cv2, name, frame, width, height):
    """OpenCV's conversion of the frame to RGB, as a function of no arguments."""
    codes = {"YUY2": (cv2.COLOR_YUV2RGB_YUY2, (height, width, 2)),
             "UYVY": (cv2.COLOR_YUV2RGB_UYVY, (height, width, 2)),
             "NV12": (cv2.COLOR_YUV2RGB_NV12, (height * 3 // 2, width)),
             "BGRA": (cv2.COLOR_BGRA2RGB, (height, width, 4)),
             "BGRX": (cv2.COLOR_BGRA2RGB, (height, width, 4)),
             "BGR": (cv2.COLOR_BGR2RGB, (height, width, 3)),
             "RGB16": (cv2.COLOR_BGR5652RGB, (height, width, 2))}
    if name == "MJPG":
        return lambda: cv2.imdecode(frame, cv2.IMREAD_COLOR)[..., ::-1]
    if name == "RGB":
        shaped = frame.reshape(height, width, 3)
        return shaped.copy
    code, shape = codes[name]
    shaped = frame.reshape(shape)
    return lambda: cv2.cvtColor(shaped, code)


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
    cv2.setNumThreads(1)
    taken = captured_frames()
    print("OpenCV {}, one thread; fastest of {} calls each".format(cv2.__version__, args.repeat))
    print()
    print("| Frame | `to_rgb(out=)` | `to_rgb` | OpenCV | ratio with `out=` | ratio without "
          "| largest difference |")
    print("|---|---|---|---|---|---|---|")
    for width, height in SIZES:
        for name in NAMES:
            frame, fmt = taken[(name, width, height)]
            out = np.empty((height, width, 3), np.uint8)
            reference = opencv_call(cv2, name, frame, width, height)
            ours_out, ours_new, theirs = fastest_ms(
                [lambda f=frame, m=fmt, o=out: frames.to_rgb(f, m, out=o),
                 lambda f=frame, m=fmt: frames.to_rgb(f, m), reference], args.repeat)
            difference = np.abs(frames.to_rgb(frame, fmt).astype(int) - reference()).max()
            print("| {}x{} {} | {:.2f} ms | {:.2f} ms | {:.2f} ms | {:.2f}x | {:.2f}x | {} |".format(
                width, height, name, ours_out, ours_new, theirs, ours_out / theirs,
                ours_new / theirs, difference))


if __name__ == "__main__":
    main()
