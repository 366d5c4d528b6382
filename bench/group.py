"""Cameras in step: a CameraGroup of MIPI cameras in Sync against one camera's frame rate.

A simulated rig of identical MIPI cameras (the stereo sample's camera, repeated) runs in real
time. First one camera streams alone in Sync for a while: the frames per second it delivers are
the baseline. Then every camera is read as one CameraGroup in Sync for the main run: complete sets
per second (and their ratio to the baseline: 1.0 means a set for every frame one camera
delivers), incomplete sets, frames dropped unmatched, the skew of the sets (the spread of the
cameras' timestamps, 0 on the simulated line without jitter) and the spread of the frames'
arrival on this side, both at the 50th and 99th percentiles.

Run after tools/setup.sh:  .venv/bin/python bench/group.py [--cameras N] [--seconds S]
                           [--format 1920x1080:UYVY@30] [--jitter SECONDS]
"""
import argparse
import copy
import json
import time

import pylentrasdk as lx
from pylentrasdk import sim


def rig(cameras, jitter):
    with open(sim.sample_path("stereo.json")) as f:
        stereo = json.load(f)
    model = stereo["devices"][0]
    devices = []
    for index in range(cameras):
        device = copy.deepcopy(model)
        device["name"] = "Bench MIPI Camera {}".format(index)
        device["path"] = "/dev/video{}".format(2 * index)
        device["hardware_id"] = "LX-KAVN-0234-{:06d}".format(200 + index)
        devices.append(device)
    return {"trigger": {"rate": 0, "jitter": jitter}, "devices": devices}


def percentile(values, share):
    ordered = sorted(values)
    if not ordered:
        return float("nan")
    return ordered[min(len(ordered) - 1, int(share * len(ordered)))]


def one_camera_rate(fmt, seconds):
    """Frames per second one camera in Sync delivers alone."""
    with lx.Camera(0) as cam:
        cam.format = fmt
        cam.controls["trigger_mode"] = "Sync"
        cam.read()  # the stream starts
        frames = 0
        start = time.perf_counter()
        while time.perf_counter() - start < seconds:
            cam.read()
            frames += 1
        return frames / (time.perf_counter() - start)


def group_run(cameras, fmt, seconds):
    skews, spreads = [], []
    with lx.CameraGroup(list(range(cameras)), sync=True) as group:
        group.format = fmt
        group.read(timeout=3.0)  # the streams start
        before = (group.sets, group.incomplete, group.dropped)
        start = time.perf_counter()
        while time.perf_counter() - start < seconds:
            frames = group.read(timeout=3.0)
            skews.append(frames.skew)
            arrivals = [frame.timestamp for frame in frames]
            spreads.append(max(arrivals) - min(arrivals))
        elapsed = time.perf_counter() - start
        sets = group.sets - before[0]
        incomplete = group.incomplete - before[1]
        dropped = group.dropped - before[2]
        skipped = group.skipped
    return len(skews) / elapsed, sets, incomplete, dropped, skipped, skews, spreads


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--cameras", type=int, default=4, help="cameras in the group (4)")
    parser.add_argument("--seconds", type=float, default=20.0, help="length of the group run (20)")
    parser.add_argument("--baseline-seconds", type=float, default=5.0,
                        help="length of the one-camera run (5)")
    parser.add_argument("--format", default="1920x1080:UYVY@30", help="the cameras' format")
    parser.add_argument("--jitter", type=float, default=0.0,
                        help="the trigger line's jitter in seconds (0)")
    args = parser.parse_args()

    sim.load(rig(args.cameras, args.jitter))
    baseline = one_camera_rate(args.format, args.baseline_seconds)
    print("one camera alone in Sync, {}: {:.2f} frames/s".format(args.format, baseline))
    rate, sets, incomplete, dropped, skipped, skews, spreads = group_run(
        args.cameras, args.format, args.seconds)
    print("{} cameras in Sync for {:.0f} s: {:.2f} sets/s read = {:.3f} x one camera's rate"
          .format(args.cameras, args.seconds, rate, rate / baseline))
    print("  sets made {}, incomplete {}, frames dropped unmatched {}, sets skipped {}".format(
        sets, incomplete, dropped, skipped))
    print("  skew (camera timestamps) p50 {:.3f} ms, p99 {:.3f} ms, most {:.3f} ms".format(
        percentile(skews, 0.5) * 1000, percentile(skews, 0.99) * 1000, max(skews) * 1000))
    print("  arrival spread on this side p50 {:.3f} ms, p99 {:.3f} ms".format(
        percentile(spreads, 0.5) * 1000, percentile(spreads, 0.99) * 1000))


if __name__ == "__main__":
    main()
