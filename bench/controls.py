"""Frame rate with every image control at a non-default value against the defaults, side by side.

One simulated KAVL camera streams in free-run pacing (frames as fast as the SDK makes them). For
each format the runs alternate between the controls at their defaults and every ISP control set
away from its default (brightness, contrast, saturation, gamma, white balance in manual mode,
exposure in manual mode with a longer time and more gain, flip, special effect, zoom, pan, tilt,
JPEG quality); the best rate of each side is kept. Steady frames re-use the prepared pattern, so
the two rates should be close; the ratio is printed.

Run after tools/setup.sh:  .venv/bin/python bench/controls.py [--seconds S] [--rounds N]
"""
import argparse
import sys
import time

import pylentrasdk as lx
from pylentrasdk import sim

ISP = lx.LX_ISP_IMAGE_PROPERTIES
CASES = [
    (lx.LX_IMAGE_FORMAT.LX_IMAGE_FORMAT_YUY2, 1920, 1080),
    (lx.LX_IMAGE_FORMAT.LX_IMAGE_FORMAT_MJPG, 3840, 2160),
]
NON_DEFAULT = [
    (ISP.ISP_IMAGE_BRIGHTNESS, 160),
    (ISP.ISP_IMAGE_CONTRAST, 150),
    (ISP.ISP_IMAGE_SATURATION, 90),
    (ISP.ISP_IMAGE_GAMMA, 180),
    (ISP.ISP_IMAGE_WHITEBALANCE_MODE, 0),
    (ISP.ISP_IMAGE_WHITEBALANCE_TEMPERATURE, 6000),
    (ISP.ISP_IMAGE_EXPOSURE_MODE, 0),
    (ISP.ISP_IMAGE_EXPOSURE_TIME, 15000),
    (ISP.ISP_IMAGE_EXPOSURE_GAIN, 2),
    (ISP.ISP_IMAGE_FLIP_MODE, 3),
    (ISP.ISP_IMAGE_SPECIAL_EFFECT_MODE, 4),
    (ISP.ISP_IMAGE_ZOOM, 250),
    (ISP.ISP_IMAGE_PAN, 40),
    (ISP.ISP_IMAGE_TILT, -30),
    (ISP.ISP_IMAGE_JPEG_QUALITY, 70),
]


def open_camera_with(fmt, width, height):
    _, names = lx.LxDiscoverCameraDevices()
    for index in range(len(names)):
        cam = lx.LxInitialCameraDevice(index)
        lx.LxOpen(cam)
        _, formats = lx.LxGetFormatList(cam)
        for record in formats:
            if (record.format, record.width, record.height) == (fmt, width, height):
                return cam, record
        lx.LxClose(cam)
    raise SystemExit("no simulated camera offers %s %dx%d" % (fmt.name, width, height))


def rate(cam, record, seconds):
    lx.LxSetFormat(cam, record)
    lx.LxStartStreaming(cam)
    success = lx.LX_CAPTURE_RESULT.LX_SUCCESS
    lx.LxGetImage(cam, 3000, record)  # warm-up: the one re-render a control change costs
    frames = 0
    start = time.perf_counter()
    while time.perf_counter() - start < seconds:
        if lx.LxGetImage(cam, 3000, record)[0] != success:
            raise SystemExit("capture failed")
        frames += 1
    elapsed = time.perf_counter() - start
    lx.LxStopStreaming(cam)
    return frames / elapsed


def set_controls(cam, values):
    if values is None:
        return lx.LxSetISPImageProcessingDefault(cam) == 0 or sys.exit("defaults refused")
    for prop, value in values:
        if lx.LxSetISPImageProcessing(cam, prop, value) != 0:
            raise SystemExit("%s refused %d" % (prop.name, value))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--seconds", type=float, default=2.0, help="length of one run")
    parser.add_argument("--rounds", type=int, default=3, help="alternating runs per side")
    args = parser.parse_args()
    sim.set_pacing("free-run")
    for fmt, width, height in CASES:
        cam, record = open_camera_with(fmt, width, height)
        best = {"defaults": 0.0, "controls set": 0.0}
        for _ in range(args.rounds):
            for side, values in (("defaults", None), ("controls set", NON_DEFAULT)):
                set_controls(cam, values)
                best[side] = max(best[side], rate(cam, record, args.seconds))
        lx.LxClose(cam)
        name = fmt.name.replace("LX_IMAGE_FORMAT_", "")
        print("%dx%d %s: defaults %.1f frames/s, controls set %.1f frames/s, ratio %.2f"
              % (width, height, name, best["defaults"], best["controls set"],
                 best["controls set"] / best["defaults"]))
        sys.stdout.flush()


if __name__ == "__main__":
    main()
