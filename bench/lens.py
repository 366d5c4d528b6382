"""What the simulated lens costs: frames of a camera with "lens_distortion" against the same
camera without it, in one run.

Two cameras of one rig differ only in the key. For each format:

1. per frame: a FrameStream in free run (one reused buffer) reads frames from each camera in
   turn, over several rounds; the best time per frame of each is kept, and the ratio and the
   difference (what the lens adds to a frame) are printed;
2. a change of look: LxGetImage of the first frame after a brightness step, which makes both
   cameras prepare the format again (the lens camera draws its background through the remap it
   keeps), the best of a few, with the same ratio and difference;
3. a new calibration: the same after LxWriteIntrinsics of another calibration (the lens camera
   solves its remap again; the other draws as before).

Run after tools/setup.sh:  .venv/bin/python bench/lens.py [--frames N] [--rounds N]
"""
import argparse
import itertools
import time

import pylentrasdk as lx
from pylentrasdk import sim
from pylentrasdk.stream import FrameStream

CASES = ["640x480:YUY2", "1920x1080:YUY2", "1920x1080:NV12", "1920x1080:BGRA",
         "1920x1080:MJPG", "3840x2160:YUY2"]
CALIBRATION = {"width": 1920, "height": 1080, "fx": 1400.5, "fy": 1401.25, "cx": 960.0,
               "cy": 540.0, "model": "RADTAN", "coeffs": [-0.12, 0.05, 0.001, -0.0005, 0.0]}
BRIGHTNESS = lx.LX_ISP_IMAGE_PROPERTIES.ISP_IMAGE_BRIGHTNESS


def rig():
    formats = []
    for text in CASES:
        fmt = lx.Format.parse(text)
        formats.append({"format": fmt.fourcc, "width": fmt.width, "height": fmt.height})
    camera = {"product_type": "KAVN", "interface": "MIPI_CSI2", "formats": formats,
              "intrinsics": CALIBRATION}
    return {"devices": [dict(camera, name="plain"), dict(camera, name="lens",
                                                         lens_distortion=True)]}


def record_of(handle, text):
    wanted = lx.Format.parse(text)
    return next(r for r in lx.LxGetFormatList(handle)[1] if wanted.matches(r))


def per_frame(handle, record, frames):
    with FrameStream(handle, record, buffers=1) as stream:
        stream.read()  # prepared before the clock starts
        start = time.perf_counter()
        for _ in range(frames):
            stream.read()
        return (time.perf_counter() - start) / frames


def first_frame_time(handle, record):
    """Seconds from starting the stream to its first frame (the frame's preparation)."""
    assert lx.LxSetFormat(handle, record) == 0 and lx.LxStartStreaming(handle) == 0
    try:
        start = time.perf_counter()
        result, _ = lx.LxGetImage(handle, 3000, record)
        took = time.perf_counter() - start
    finally:
        lx.LxStopStreaming(handle)
    assert result == lx.LX_CAPTURE_RESULT.LX_SUCCESS
    return took


def preparing(handle, record, brightness):
    assert lx.LxSetISPImageProcessing(handle, BRIGHTNESS, brightness) == 0
    return first_frame_time(handle, record)


def recalibrated(handle, record, step):
    calibration = lx.LxGetIntrinsics(handle)[1]
    calibration.coeffs = [-0.12 - 1e-4 * (step % 100), 0.05, 0.001, -0.0005, 0.0]
    assert lx.LxWriteIntrinsics(handle, calibration) == 0
    return first_frame_time(handle, record)


def line(label, plain, lens):
    return "{:<16} {:<12} {:>10.3f} ms {:>10.3f} ms {:>7.2f}x {:>+10.3f} ms".format(
        "", label, plain * 1e3, lens * 1e3, lens / plain, (lens - plain) * 1e3)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--frames", type=int, default=60, help="frames per round (60)")
    parser.add_argument("--rounds", type=int, default=5, help="rounds per camera (5)")
    args = parser.parse_args()

    sim.load(rig())
    sim.set_pacing("free-run")
    handles = [lx.LxInitialCameraDevice(i) for i in (0, 1)]
    for handle in handles:
        assert lx.LxOpen(handle) == 0
    print("{:<16} {:<12} {:>13} {:>13} {:>8} {:>13}".format(
        "format", "", "without lens", "with lens", "ratio", "lens adds"))
    steps = itertools.count()
    try:
        for text in CASES:
            records = [record_of(h, text) for h in handles]
            frame = [float("inf")] * 2
            prepare = [float("inf")] * 2
            solve = [float("inf")] * 2
            for round_ in range(args.rounds):
                for side in (0, 1) if round_ % 2 == 0 else (1, 0):
                    frame[side] = min(frame[side],
                                      per_frame(handles[side], records[side], args.frames))
                    # A brightness this camera has not had just before: the look changes.
                    prepare[side] = min(prepare[side], preparing(
                        handles[side], records[side], 10 + next(steps) % 100))
                    solve[side] = min(solve[side], recalibrated(handles[side], records[side],
                                                                next(steps)))
            print(text)
            print(line("per frame", *frame))
            print(line("look change", *prepare))
            print(line("calibration", *solve))
    finally:
        for handle in handles:
            lx.LxClose(handle)
        sim.reset()


if __name__ == "__main__":
    main()
