"""Capture speed and memory of LxGetImage and FrameStream, each against its baseline in one run.

Every figure is printed with the baseline it is measured against, in the same run:

1. LxGetImage against a C++ loop doing the same documented work per call (a fresh buffer of the
   format's capacity, zero-filled, filled by the SDK), free run; the C++ loop keeps each frame
   until the next is in, as a Python loop does, and, as a second baseline, frees it at once.
2. FrameStream against C++ calling LxGetImage with one reused buffer, free run.
3. Four simulated cameras at 30 frames/s read by four threads: LxGetImage, FrameStream and C++
   threads side by side (frames/s per thread, frames dropped), with a 5 ms heartbeat thread
   whose worst delay is the measure of how long the interpreter lock was held.
4. Two cameras in free run read by two threads, against one camera in one thread: FrameStream,
   and C++ threads as the measure of how much of two cores the machine gives the run.
5. Memory: resident size over 10,000 frames, and what keeping 8 frames costs.

The single-camera rates alternate sides over several rounds and keep the best of each.

Run after tools/setup.sh:  .venv/bin/python bench/capture.py [--seconds S] [--rounds N]
                                                               [--threads-seconds S]
"""
import argparse
import json
import os
import subprocess
import sys
import tempfile
import threading
import time

import pylentrasdk as lx
from pylentrasdk import sim
from pylentrasdk.stream import FrameStream

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
F = lx.LX_IMAGE_FORMAT
SINGLE_CASES = [(F.LX_IMAGE_FORMAT_YUY2, 1920, 1080), (F.LX_IMAGE_FORMAT_NV12, 3840, 2160),
                (F.LX_IMAGE_FORMAT_BGRA, 3840, 2160)]
THREAD_CASE = (F.LX_IMAGE_FORMAT_YUY2, 1920, 1080)
MEMORY_CASE = (F.LX_IMAGE_FORMAT_NV12, 3840, 2160)


def build_direct():
    """Compiles the C++ baselines against the SDK library installed beside the binding."""
    package_dir = os.path.dirname(lx.__file__)
    out_dir = os.path.join(ROOT, "build", "bench")
    os.makedirs(out_dir, exist_ok=True)
    exe = os.path.join(out_dir, "capture_direct")
    source = os.path.join(HERE, "capture_direct.cpp")
    cmd = [os.environ.get("CXX", "c++"), "-O2", "-std=c++17", "-pthread",
           "-I", os.path.join(ROOT, "sdk", "include"), source,
           "-L", package_dir, "-l:libLentraSDK.so", "-Wl,-rpath," + package_dir, "-o", exe]
    subprocess.run(cmd, check=True)
    return exe


def run_direct(exe, args, env=None):
    out = subprocess.run([exe] + [str(a) for a in args], check=True, capture_output=True,
                         text=True, env=env).stdout.split()
    return out


def direct_single(exe, mode, case, seconds):
    fmt, width, height = case
    out = run_direct(exe, [mode, int(fmt), width, height, seconds])
    return dict(zip(out[::2], (float(v) for v in out[1::2])))


# --- rigs ---------------------------------------------------------------------------------------

def rig(cameras, case, framerate=30):
    fmt, width, height = case
    name = fmt.name.replace("LX_IMAGE_FORMAT_", "")
    return {"devices": [
        {"name": "Bench camera %d" % i, "interface": "USB", "product_type": "KAVL",
         "formats": [{"width": width, "height": height, "framerate": framerate, "format": name}]}
        for i in range(cameras)]}


def open_cameras(count, case):
    fmt, width, height = case
    _, names = lx.LxDiscoverCameraDevices()
    found = []
    for index in range(len(names)):
        cam = lx.LxInitialCameraDevice(index)
        if lx.LxOpen(cam) != 0:
            continue
        _, formats = lx.LxGetFormatList(cam)
        match = [f for f in formats if (f.format, f.width, f.height) == (fmt, width, height)]
        if match and len(found) < count:
            found.append((cam, match[0]))
        else:
            lx.LxClose(cam)
    if len(found) < count:
        raise SystemExit("the rig has only %d cameras with %s" % (len(found), case))
    return found


def close_cameras(cameras):
    for cam, _ in cameras:
        lx.LxClose(cam)


# --- single camera, free run ----------------------------------------------------------------------

def getimage_rate(case, seconds):
    sim.reset()
    sim.set_pacing("free-run")
    [(cam, fmt)] = open_cameras(1, case)
    lx.LxSetFormat(cam, fmt)
    lx.LxStartStreaming(cam)
    lx.LxGetImage(cam, 3000, fmt)  # warm-up: the generator prepares its pattern
    frames = 0
    start = time.perf_counter()
    while time.perf_counter() - start < seconds:
        result, image = lx.LxGetImage(cam, 3000, fmt)
        if result != lx.LX_SUCCESS:
            raise SystemExit("capture failed: %s" % result)
        frames += 1
    rate = frames / (time.perf_counter() - start)
    lx.LxStopStreaming(cam)
    close_cameras([(cam, fmt)])
    return rate


def stream_rate(case, seconds, drop_each):
    """FrameStream in a for loop. drop_each: the loop body ends with `del frame`, so the frame's
    buffer is back in the pool before the next wait and the same buffer is reused every time;
    otherwise the loop variable keeps the previous frame through the wait and two buffers take
    turns."""
    sim.reset()
    sim.set_pacing("free-run")
    [(cam, fmt)] = open_cameras(1, case)
    with FrameStream(cam, fmt) as stream:
        stream.read()  # warm-up
        frames = 0
        start = time.perf_counter()
        for frame in stream:
            frames += 1
            if time.perf_counter() - start >= seconds:
                break
            if drop_each:
                del frame
        rate = frames / (time.perf_counter() - start)
    close_cameras([(cam, fmt)])
    return rate


def case_name(case):
    fmt, width, height = case
    return "%dx%d %s" % (width, height, fmt.name.replace("LX_IMAGE_FORMAT_", ""))


def single_camera(exe, seconds, rounds):
    print("Single camera, free run (best of %d alternating %.1f s runs)" % (rounds, seconds))
    for case in SINGLE_CASES:
        best = {"fresh": 0.0, "fresh-dropped": 0.0, "getimage": 0.0, "reused": 0.0, "stream": 0.0,
                "loop": 0.0}
        for _ in range(rounds):
            for mode in ("fresh", "fresh-dropped"):
                rate = direct_single(exe, mode, case, seconds)["frames_per_second"]
                best[mode] = max(best[mode], rate)
            best["getimage"] = max(best["getimage"], getimage_rate(case, seconds))
            best["reused"] = max(best["reused"], direct_single(exe, "reused", case, seconds)["frames_per_second"])
            best["stream"] = max(best["stream"], stream_rate(case, seconds, True))
            best["loop"] = max(best["loop"], stream_rate(case, seconds, False))
        print("  %s" % case_name(case))
        print("    LxGetImage %7.1f /s against C++ fresh zero-filled buffer, kept until the next "
              "frame %7.1f /s, freed at once %7.1f /s: ratios %.2f, %.2f"
              % (best["getimage"], best["fresh"], best["fresh-dropped"],
                 best["getimage"] / best["fresh"], best["getimage"] / best["fresh-dropped"]))
        print("    FrameStream, del frame in the loop %7.1f /s, plain loop %7.1f /s, against C++ "
              "reused buffer %7.1f /s: ratios %.2f, %.2f"
              % (best["stream"], best["loop"], best["reused"], best["stream"] / best["reused"],
                 best["loop"] / best["reused"]))
        sys.stdout.flush()


# --- several cameras, several threads -------------------------------------------------------------

class Heartbeat:
    """A thread that sleeps 5 ms at a time and records how late it wakes."""

    def __init__(self, period=0.005):
        self.period = period
        self.worst = 0.0
        self._stop = threading.Event()
        self._thread = threading.Thread(target=self._run, daemon=True)

    def _run(self):
        while not self._stop.is_set():
            before = time.perf_counter()
            time.sleep(self.period)
            self.worst = max(self.worst, time.perf_counter() - before - self.period)

    def __enter__(self):
        self._thread.start()
        return self

    def __exit__(self, *exc):
        self._stop.set()
        self._thread.join()


def threaded_run(reader, cameras, seconds):
    """Runs reader(cam, fmt, seconds) in one thread per camera with a heartbeat beside them;
    returns ([(frames per second, frames dropped)] per thread, worst heartbeat delay)."""
    results = [None] * len(cameras)

    def work(i):
        results[i] = reader(cameras[i][0], cameras[i][1], seconds)

    threads = [threading.Thread(target=work, args=(i,)) for i in range(len(cameras))]
    with Heartbeat() as heartbeat:
        for t in threads:
            t.start()
        for t in threads:
            t.join()
    return results, heartbeat.worst


def sleeper(cam, fmt, seconds):
    """The heartbeat's baseline: a thread that wakes 30 times a second and does nothing, so the
    worst delay shows what the machine's scheduler alone costs."""
    start = time.perf_counter()
    while time.perf_counter() - start < seconds:
        time.sleep(1 / 30)
    return 0.0, 0


def getimage_reader(cam, fmt, seconds):
    lx.LxSetFormat(cam, fmt)
    lx.LxStartStreaming(cam)
    frames = dropped = 0
    previous = None
    start = time.perf_counter()
    while time.perf_counter() - start < seconds:
        result, image = lx.LxGetImage(cam, 3000, fmt)
        if result != lx.LX_SUCCESS:
            continue
        number = sim.read_frame_number(image, fmt)
        if previous is not None and number > previous + 1:
            dropped += number - previous - 1
        previous = number
        frames += 1
    rate = frames / (time.perf_counter() - start)
    lx.LxStopStreaming(cam)
    return rate, dropped


def stream_reader(cam, fmt, seconds):
    frames = dropped = 0
    previous = None
    with FrameStream(cam, fmt) as stream:
        start = time.perf_counter()
        for frame in stream:
            # The number stamped into the frame, not the stream's own estimate.
            number = sim.read_frame_number(frame.array, fmt)
            if previous is not None and number > previous + 1:
                dropped += number - previous - 1
            previous = number
            frames += 1
            if time.perf_counter() - start >= seconds:
                break
        rate = frames / (time.perf_counter() - start)
    return rate, dropped


def describe_threads(results):
    rates = ", ".join("%.1f" % rate for rate, _ in results)
    return "%s frames/s per thread, %d dropped" % (rates, sum(d for _, d in results))


def four_cameras(exe, seconds):
    count = 4
    description = rig(count, THREAD_CASE)
    print("Four cameras at 30 frames/s (%s), four threads, %.0f s each, 5 ms heartbeat beside"
          % (case_name(THREAD_CASE), seconds))
    with tempfile.NamedTemporaryFile("w", suffix=".json", delete=False) as f:
        json.dump(description, f)
    try:
        env = dict(os.environ, LENTRASDK_SIM=f.name)
        fmt, width, height = THREAD_CASE
        out = run_direct(exe, ["threads", int(fmt), width, height, seconds, count, 0], env=env)
        direct = [float(v) for v in out[1:1 + count]]
        print("  C++ direct:   %s frames/s per thread, %s dropped"
              % (", ".join("%.1f" % r for r in direct), out[-1]))
    finally:
        os.unlink(f.name)
    sleepers, worst = threaded_run(sleeper, [(None, None)] * count, seconds)
    print("  Baseline:     four threads only sleeping 33 ms at a time; heartbeat worst delay %.1f ms"
          % (worst * 1e3))
    for name, reader in (("LxGetImage: ", getimage_reader), ("FrameStream:", stream_reader)):
        sim.reset()
        sim.load(description)
        cameras = open_cameras(count, THREAD_CASE)
        results, worst = threaded_run(reader, cameras, seconds)
        close_cameras(cameras)
        print("  %s %s; heartbeat worst delay %.1f ms" % (name, describe_threads(results), worst * 1e3))
        sys.stdout.flush()


def two_cameras(exe, seconds, rounds):
    description = rig(2, THREAD_CASE)
    fmt, width, height = THREAD_CASE
    with tempfile.NamedTemporaryFile("w", suffix=".json", delete=False) as f:
        json.dump(description, f)
    env = dict(os.environ, LENTRASDK_SIM=f.name)

    def direct(count):
        out = run_direct(exe, ["threads", int(fmt), width, height, seconds, count, 1], env=env)
        return sum(float(v) for v in out[1:1 + count])

    def counted(cam, fmt, run_seconds):
        frames = 0
        with FrameStream(cam, fmt) as stream:
            start = time.perf_counter()
            for frame in stream:
                frames += 1
                if time.perf_counter() - start >= run_seconds:
                    break
                del frame
        return frames / (time.perf_counter() - start), 0

    sim.reset()
    sim.load(description)
    sim.set_pacing("free-run")
    cameras = open_cameras(2, THREAD_CASE)
    best = {"one": 0.0, "two": 0.0, "direct one": 0.0, "direct two": 0.0}
    try:
        for _ in range(rounds):
            best["direct one"] = max(best["direct one"], direct(1))
            best["direct two"] = max(best["direct two"], direct(2))
            best["one"] = max(best["one"], threaded_run(counted, cameras[:1], seconds)[0][0][0])
            best["two"] = max(best["two"], sum(r for r, _ in threaded_run(counted, cameras, seconds)[0]))
    finally:
        os.unlink(f.name)
    close_cameras(cameras)
    print("Two cameras in free run, two threads (%s), against one camera in one thread:"
          % case_name(THREAD_CASE))
    print("  FrameStream %.1f frames/s against %.1f: %.2fx | C++ direct %.1f against %.1f: %.2fx "
          "(what this machine gives two threads now)"
          % (best["two"], best["one"], best["two"] / best["one"], best["direct two"],
             best["direct one"], best["direct two"] / best["direct one"]))


# --- memory ------------------------------------------------------------------------------------

def resident_bytes():
    with open("/proc/self/statm") as f:
        return int(f.read().split()[1]) * os.sysconf("SC_PAGE_SIZE")


def started_camera(case):
    sim.reset()
    sim.set_pacing("free-run")
    [(cam, fmt)] = open_cameras(1, case)
    return cam, fmt


def measure_memory(what):
    """One memory measurement, in a process of its own (bench/capture.py --memory WHAT), so that
    memory freed by an earlier measurement does not hide the next one's growth. Prints bytes."""
    if what.startswith("keep-"):
        cam, fmt = started_camera(MEMORY_CASE)
        if what == "keep-getimage":
            lx.LxSetFormat(cam, fmt)
            lx.LxStartStreaming(cam)
            lx.LxGetImage(cam, 3000, fmt)
            before = resident_bytes()
            kept = [lx.LxGetImage(cam, 3000, fmt)[1] for _ in range(8)]
        else:
            stream = FrameStream(cam, fmt)
            stream.read()
            before = resident_bytes()
            kept = [stream.read() for _ in range(8)]
        print(resident_bytes() - before)
        del kept
    else:
        cam, fmt = started_camera(THREAD_CASE)
        if what == "flat-getimage":
            lx.LxSetFormat(cam, fmt)
            lx.LxStartStreaming(cam)
            frames = (lx.LxGetImage(cam, 3000, fmt) for _ in range(10000))
        else:
            stream = FrameStream(cam, fmt)
            frames = (stream.read() for _ in range(10000))
        for n, _ in enumerate(frames):
            if n == 999:
                at_1000 = resident_bytes()
        print(at_1000, resident_bytes())


def memory():
    def child(what):
        out = subprocess.run([sys.executable, os.path.abspath(__file__), "--memory", what],
                             check=True, capture_output=True, text=True).stdout.split()
        return [int(v) / 1e6 for v in out]

    fmt, width, height = MEMORY_CASE
    frame_mb = width * height * 1.5 / 1e6
    capacity_mb = width * height * 3 / 1e6
    print("Keeping 8 frames of %s (%.1f MB a frame; LxGetImage's capacity %.1f MB): resident size "
          "grew by %.1f MB with LxGetImage, %.1f MB with FrameStream, against 8 frames = %.1f MB "
          "and 8 capacities = %.1f MB"
          % (case_name(MEMORY_CASE), frame_mb, capacity_mb, child("keep-getimage")[0],
             child("keep-stream")[0], 8 * frame_mb, 8 * capacity_mb))
    getimage = child("flat-getimage")
    streamed = child("flat-stream")
    print("Resident size over 10,000 frames of %s: LxGetImage %.1f MB after 1,000 frames, %.1f MB "
          "after 10,000; FrameStream %.1f MB after 1,000, %.1f MB after 10,000"
          % ((case_name(THREAD_CASE),) + tuple(getimage + streamed)))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--seconds", type=float, default=1.0, help="length of one single-camera run")
    parser.add_argument("--rounds", type=int, default=5, help="alternating runs per side")
    parser.add_argument("--threads-seconds", type=float, default=20.0,
                        help="length of each four-camera run")
    parser.add_argument("--memory", help=argparse.SUPPRESS)  # one measurement, in a child
    args = parser.parse_args()
    if args.memory:
        measure_memory(args.memory)
        return
    exe = build_direct()
    single_camera(exe, args.seconds, args.rounds)
    four_cameras(exe, args.threads_seconds)
    two_cameras(exe, args.seconds, args.rounds)
    memory()
    sim.reset()


if __name__ == "__main__":
    main()
