"""Recording speed: frames written and dropped, and the encoder's share of a core, against the
camera's own frame rate measured in the same run.

Two cases, each run twice side by side on simulated cameras in real-time pacing:

1. One 1920x1080 YUY2 camera at 30 frames/s, the whole process held to one core.
2. Four 1280x720 YUY2 cameras at 30 frames/s at once, on the machine's cores.

3. The encoder alone, on one core, fed 1080p YUY2 frames of the test pattern with noise added as
   a sensor's (the simulated cameras' pattern is far easier to encode than a real picture).

The baseline run takes every frame of each camera through a sink whose reader drops it: what the
cameras deliver, and what the process costs without encoding. The recording run writes each
camera to a .mkv file (libx264, the default settings unless --preset). Printed per case: frames
per second delivered by the cameras, written, and dropped; the process's CPU time as a share of
one core in both runs, and their difference, the encoder's share. The machine's load average is
printed too: other developers' work shares these cores.

Run after tools/setup.sh:  .venv/bin/python bench/record.py [--seconds S] [--preset NAME]
                                                             [--noise LEVELS]
"""
import argparse
import collections
import os
import resource
import tempfile
import threading
import time

import numpy

import pylentrasdk as lx
from pylentrasdk import sim
from pylentrasdk.camera.video_file import VideoFile


def rig(cameras, width, height):
    return {"devices": [
        {"name": "Bench camera %d" % i, "interface": "USB", "product_type": "KAVL",
         "formats": [{"width": width, "height": height, "framerate": 30, "format": "YUY2"}]}
        for i in range(cameras)]}


def cpu_seconds():
    usage = resource.getrusage(resource.RUSAGE_SELF)
    return usage.ru_utime + usage.ru_stime


def drain(sink, numbers):
    """The baseline's reader: takes every frame and lets it go, noting the first and last
    frame numbers (the frames the camera made meanwhile) and counting those it got."""
    for frame in sink:
        numbers[1] = frame.number
        numbers[2] += 1
        if numbers[0] is None:
            numbers[0] = frame.number
        del frame


def run_case(cameras, width, height, seconds, recording, folder, options):
    """(frames made per camera, frames written, frames dropped, CPU seconds, wall seconds)."""
    sim.load(rig(cameras, width, height))
    sim.set_pacing("realtime")
    opened = [lx.Camera(i) for i in range(cameras)]
    try:
        for cam in opened:
            cam.format = "{}x{}:YUY2@30".format(width, height)
            cam.read()  # streaming, before the clock starts
        numbers = [[None, None, 0] for _ in range(cameras)]
        started_cpu, started = cpu_seconds(), time.monotonic()
        if recording:
            records = [cam.record(os.path.join(folder, "%dx%d-camera%d.mkv" % (width, height, i)),
                                  options=options)
                       for i, cam in enumerate(opened)]
            time.sleep(seconds)
            for rec in records:
                rec.stop()
            made = [rec.frames + rec.dropped for rec in records]
            written = [rec.frames for rec in records]
            queued = [rec._sink.dropped for rec in records]  # the encoder's queue was full
            spans = [rec.seconds for rec in records]
            dropped = [rec.dropped for rec in records]
            sizes = [os.path.getsize(rec.path) for rec in records]
        else:
            sinks = [cam.sink(capacity=30) for cam in opened]
            readers = [threading.Thread(target=drain, args=(sink, numbers[i]))
                       for i, sink in enumerate(sinks)]
            for reader in readers:
                reader.start()
            time.sleep(seconds)
            for sink in sinks:
                sink.close()
            for reader in readers:
                reader.join()
            made = [last - first + 1 for first, last, _ in numbers]
            written = [0] * cameras
            dropped = [m - got for m, (_, _, got) in zip(made, numbers)]
            queued = [sink.dropped for sink in sinks]
            sizes = [0] * cameras
            spans = [seconds] * cameras
        cpu, wall = cpu_seconds() - started_cpu, time.monotonic() - started
    finally:
        for cam in opened:
            cam.close()
        sim.reset()
    return made, written, dropped, queued, sizes, spans, cpu, wall


def report(title, cameras, width, height, seconds, folder, options, cores):
    print("{}: {} camera(s) {}x{} YUY2 @30, {:g} s, on {} core(s)".format(
        title, cameras, width, height, seconds, cores))
    made, _, base_dropped, base_queued, _, _, base_cpu, base_wall = run_case(
        cameras, width, height, seconds, False, folder, options)
    rec_made, written, dropped, queued, sizes, spans, rec_cpu, rec_wall = run_case(
        cameras, width, height, seconds, True, folder, options)
    camera_rate = sum(made) / base_wall / cameras
    written_rate = sum(w / s for w, s in zip(written, spans)) / cameras  # over the files' time
    base_share, rec_share = base_cpu / base_wall, rec_cpu / rec_wall
    print("  baseline, frames read and let go: {:5.1f} frames/s a camera; of {} made, {} not "
          "delivered, {} not queued; the process {:.2f} of a core".format(
              camera_rate, sum(made), sum(base_dropped), sum(base_queued), base_share))
    print("  recording: {:5.1f} frames/s a camera written over each file's time; of {} made, "
          "{} written, {} dropped ({} by the encoder's queue, the others not delivered); the "
          "process {:.2f} of a core; files {:.2f} MB/s".format(
              written_rate, sum(rec_made), sum(written), sum(dropped), sum(queued), rec_share,
              sum(sizes) / rec_wall / 1e6))
    print("  written rate / the camera's rate: {:.3f}; the encoder's share of a core: {:.2f} "
          "({:.2f} a camera)".format(written_rate / camera_rate, rec_share - base_share,
                                     (rec_share - base_share) / cameras))


def encoder_alone(seconds, folder, options, sigma):
    """Frames per second the encoder takes on one core from noisy 1080p frames, against 30."""
    with lx.Camera(0) as cam:
        cam.format = "1920x1080:YUY2@30"
        picture = cam.read().array.astype(numpy.int16)
    noise = numpy.random.default_rng(1)
    Frame = collections.namedtuple("Frame", "array")
    frames = [Frame(numpy.clip(picture + noise.normal(0, sigma, picture.shape), 0, 255)
                    .astype(numpy.uint8)) for _ in range(15)]
    video = VideoFile(os.path.join(folder, "noisy.mkv"), lx.Format(1920, 1080, "YUY2", 30),
                      options=options)
    count, started_cpu, started = 0, cpu_seconds(), time.monotonic()
    while time.monotonic() - started < seconds:
        for packet in video.encode(frames[count % len(frames)], count * 33):
            video.write(packet)
        count += 1
    for packet in video.flush():
        video.write(packet)
    cpu, wall = cpu_seconds() - started_cpu, time.monotonic() - started
    video.close()
    print("Encoder alone, 1920x1080 YUY2, noise of {:g} levels, one core: {:.1f} frames/s on "
          "the clock, "
          "{:.1f} frames per CPU second: {:.2f} times the camera's 30; {:.2f} MB/s at 30 "
          "frames/s".format(sigma, count / wall, count / cpu, count / cpu / 30,
                            os.path.getsize(video.path) / count * 30 / 1e6))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--seconds", type=float, default=20.0)
    parser.add_argument("--preset", help="libx264's preset instead of the default")
    parser.add_argument("--noise", type=float, default=2.0,
                        help="the noise's standard deviation in the encoder's frames (2 levels)")
    args = parser.parse_args()
    options = {"preset": args.preset} if args.preset else None
    every = sorted(os.sched_getaffinity(0))
    print("Machine: {} cores; load average before: {:.1f} {:.1f} {:.1f}".format(
        len(every), *os.getloadavg()))
    with tempfile.TemporaryDirectory() as folder:
        os.sched_setaffinity(0, {every[0]})
        try:
            report("1080p30, one core", 1, 1920, 1080, args.seconds, folder, options, 1)
            encoder_alone(min(args.seconds, 10.0), folder, options, args.noise)
        finally:
            os.sched_setaffinity(0, set(every))
        report("Four 720p30 cameras", 4, 1280, 720, args.seconds, folder, options, len(every))
    print("Load average after: {:.1f} {:.1f} {:.1f}".format(*os.getloadavg()))


if __name__ == "__main__":
    main()
