"""Capture rate of LxGetImage from Python against direct C++ calls, side by side.

Both sides stream the same simulated camera format in free-run pacing (frames as fast as the SDK
makes them) for the same time; the runs alternate and the best rate of each side is kept. Prints
both rates, their ratio, and the machine's memcpy bandwidth as the physical reference.

Run after tools/setup.sh:  .venv/bin/python bench/capture.py [--seconds S] [--rounds N]
"""
import argparse
import os
import subprocess
import sys
import time

import pylentrasdk
from pylentrasdk import sim

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
CASES = [
    (pylentrasdk.LX_IMAGE_FORMAT.LX_IMAGE_FORMAT_YUY2, 1920, 1080),
    (pylentrasdk.LX_IMAGE_FORMAT.LX_IMAGE_FORMAT_BGRA, 3840, 2160),
]


def build_direct():
    """Compiles the C++ baseline against the SDK library installed beside the binding."""
    package_dir = os.path.dirname(pylentrasdk.__file__)
    out_dir = os.path.join(ROOT, "build", "bench")
    os.makedirs(out_dir, exist_ok=True)
    exe = os.path.join(out_dir, "capture_direct")
    source = os.path.join(HERE, "capture_direct.cpp")
    cmd = [os.environ.get("CXX", "c++"), "-O2", "-std=c++17",
           "-I", os.path.join(ROOT, "sdk", "include"), source,
           "-L", package_dir, "-l:libLentraSDK.so", "-Wl,-rpath," + package_dir, "-o", exe]
    subprocess.run(cmd, check=True)
    return exe


def direct_rate(exe, fmt, width, height, seconds):
    out = subprocess.run([exe, str(int(fmt)), str(width), str(height), str(seconds)],
                         check=True, capture_output=True, text=True).stdout.split()
    fields = dict(zip(out[::2], out[1::2]))
    return float(fields["frames_per_second"]), float(fields["memcpy_bytes_per_second"])


def open_camera_with(fmt, width, height):
    _, names = pylentrasdk.LxDiscoverCameraDevices()
    for index in range(len(names)):
        cam = pylentrasdk.LxInitialCameraDevice(index)
        pylentrasdk.LxOpen(cam)
        _, formats = pylentrasdk.LxGetFormatList(cam)
        for record in formats:
            if (record.format, record.width, record.height) == (fmt, width, height):
                return cam, record
        pylentrasdk.LxClose(cam)
    raise SystemExit("no simulated camera offers %s %dx%d" % (fmt.name, width, height))


def python_rate(fmt, width, height, seconds):
    cam, record = open_camera_with(fmt, width, height)
    sim.set_pacing("free-run")
    pylentrasdk.LxSetFormat(cam, record)
    pylentrasdk.LxStartStreaming(cam)
    success = pylentrasdk.LX_CAPTURE_RESULT.LX_SUCCESS
    pylentrasdk.LxGetImage(cam, 3000, record)  # warm-up: the generator prepares its pattern
    frames = 0
    start = time.perf_counter()
    while time.perf_counter() - start < seconds:
        result, image = pylentrasdk.LxGetImage(cam, 3000, record)
        if result != success:
            raise SystemExit("capture failed: %s" % result)
        frames += 1
    rate = frames / (time.perf_counter() - start)
    pylentrasdk.LxStopStreaming(cam)
    pylentrasdk.LxClose(cam)
    return rate, image.nbytes


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--seconds", type=float, default=2.0, help="length of one run")
    parser.add_argument("--rounds", type=int, default=3, help="alternating runs per side")
    args = parser.parse_args()
    exe = build_direct()
    for fmt, width, height in CASES:
        best_direct = best_python = memcpy = 0.0
        frame_bytes = 0
        for _ in range(args.rounds):
            rate, bandwidth = direct_rate(exe, fmt, width, height, args.seconds)
            best_direct = max(best_direct, rate)
            memcpy = max(memcpy, bandwidth)
            rate, frame_bytes = python_rate(fmt, width, height, args.seconds)
            best_python = max(best_python, rate)
        name = fmt.name.replace("LX_IMAGE_FORMAT_", "")
        print("%dx%d %s (%.1f MB a frame): C++ direct %.1f frames/s, Python %.1f frames/s, "
              "ratio %.2f; memcpy %.1f GB/s = %.0f frames/s of this size"
              % (width, height, name, frame_bytes / 1e6, best_direct, best_python,
                 best_python / best_direct, memcpy / 1e9, memcpy / frame_bytes))
        sys.stdout.flush()


if __name__ == "__main__":
    main()
