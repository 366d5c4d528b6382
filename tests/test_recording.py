"""Recordings of a camera's stream into video files, each file decoded with PyAV: the frames in
the file are those the camera delivered (MJPG byte for byte, H.264 close to the picture), in
order, with the camera's timestamps and gaps where frames were lost; the pre-trigger buffer;
files never overwritten; a killed recording, a full disk and a format change mid-way."""
import collections
import os
import signal
import subprocess
import sys
import textwrap
import time

import av
import numpy
import pytest

import pylentrasdk as lx
from pylentrasdk import sim
from pylentrasdk.camera import video_file
from pylentrasdk.camera.recording import Recording
from pylentrasdk.camera.sinks import FrameSink

KAVL, KAVN = 0, 1


def decoded(path):
    """(pictures as RGB arrays, their times in seconds, packets' bytes) of the file's video."""
    with av.open(path) as container:
        stream = container.streams.video[0]
        packets = [bytes(p) for p in container.demux(stream) if p.size]
    with av.open(path) as container:
        pictures = [(f.to_ndarray(format="rgb24"), float(f.time)) for f in container.decode(video=0)]
    return [p for p, _ in pictures], [t for _, t in pictures], packets


def psnr(a, b):
    error = numpy.mean((a.astype(float) - b.astype(float)) ** 2)
    return 10 * numpy.log10(255.0 ** 2 / error)


def record_until_stopped(cam, path, seconds, **keywords):
    """Records for `seconds` beside a sink that gets every frame, then stops the camera's stream,
    which ends both at the same frame: the recording holds the last rec.frames of the sink's."""
    with cam.sink(capacity=200) as everything:
        rec = cam.record(path, **keywords)
        time.sleep(seconds)
        cam.stop()
        rec.stop()
        frames = list(everything)
    return rec, frames


@pytest.mark.parametrize("camera, fmt, name", [
    (KAVL, "640x480:YUY2@30", "run.mkv"), (KAVL, "640x480:UYVY@30", "run.mp4"),
    (KAVL, "640x480:NV12@30", "run.avi"), (KAVN, "640x480:BGRX@30", "run.mkv"),
    (KAVN, "640x480:RGB16@30", "run.mp4"),
])
def test_raw_frames_are_encoded_with_the_cameras_timestamps(tmp_path, camera, fmt, name):
    with lx.Camera(camera) as cam:
        cam.format = fmt
        rec, frames = record_until_stopped(cam, str(tmp_path / name), 0.7)
    pictures, times, _ = decoded(rec.path)
    assert len(pictures) == rec.frames >= 10
    assert rec.codec == "libx264" and rec.error is None
    recorded = frames[-rec.frames:]
    # A busy machine may make the stream miss frames: both sinks miss them, and they are the
    # recording's drops.
    assert rec.dropped == sum(f.dropped for f in recorded[1:])
    stamps = [f.sensor_timestamp - recorded[0].sensor_timestamp for f in recorded]
    # The camera's clock, to a tick of the file. An AVI file's tick is a frame: its times are
    # frame places, which a camera time half a frame off its pace rounds to the next place (and
    # a reader of AVI, which keeps no times of its own, may start it a frame late).
    tick = 1 / 30 if name.endswith(".avi") else 1 / 1000
    near = tick + 0.001 if name.endswith(".avi") else tick / 2 + 0.001
    assert [t - times[0] for t in times] == pytest.approx(stamps, abs=near)
    # Its length ends a frame after the last frame's time, which in AVI may be a place late too.
    assert rec.seconds == pytest.approx(stamps[-1] + 1 / 30, abs=near)
    assert psnr(pictures[-1], recorded[-1].to_rgb()) >= 25


@pytest.mark.parametrize("name", ["run.mkv", "run.mp4", "run.avi"])
def test_mjpg_frames_are_written_as_they_are(tmp_path, name):
    with lx.Camera(KAVL) as cam:
        cam.format = "640x480:MJPG@30"
        rec, frames = record_until_stopped(cam, str(tmp_path / name), 0.5)
    pictures, times, packets = decoded(rec.path)
    assert rec.codec == "mjpeg" and len(pictures) == rec.frames >= 8
    assert packets == [f.array.tobytes() for f in frames[-rec.frames:]]
    assert times == sorted(set(times))


def test_lost_frames_are_gaps_in_time_and_counted(tmp_path, monkeypatch):
    with lx.Camera(KAVL) as cam:
        cam.format = "640x480:YUY2@30"
        with cam.record(str(tmp_path / "gap.mkv")) as rec:
            time.sleep(0.3)
            with cam._lock:  # the stream's frames wait for the lock: the camera's go on
                time.sleep(0.1)
            time.sleep(0.3)
    times = numpy.array(decoded(rec.path)[1]) * 30  # in frames
    assert len(times) == rec.frames and rec.dropped >= 1 and max(numpy.diff(times)) > 1.5
    # Each lost frame is a frame's time in the file (within the camera's jitter).
    assert abs(times[-1] - times[0] - (rec.frames - 1 + rec.dropped)) < 0.9

    # An encoder slower than the camera: its queue overflows, the frames it missed are counted
    # and the queue (the memory held) stays bounded.
    encoded, encode = [], video_file.VideoFile.encode

    def slow(self, frame, pts):
        encoded.append(frame.number)
        time.sleep(0.02)
        return encode(self, frame, pts)

    monkeypatch.setattr(video_file.VideoFile, "encode", slow)
    with lx.Camera(KAVL) as cam, sim.free_run():
        cam.format = "640x480:YUY2@30"
        with cam.record(str(tmp_path / "slow.mkv")) as rec:
            time.sleep(0.5)
            assert rec._sink.pending <= rec._sink.capacity
    assert rec.dropped > 0 and len(decoded(rec.path)[0]) == rec.frames == len(encoded)
    assert rec.frames + rec.dropped == encoded[-1] - encoded[0] + 1


class Source:
    """A camera as a recording sees it, whose frames are made here: their camera clock
    (`sensor_timestamp`) differs from the time they arrive, as a camera's may."""

    name, format = "made", lx.Format(64, 48, "YUY2", 30)

    def __init__(self, frames):
        self.frames = frames

    def sink(self, capacity=8):
        sink = FrameSink(None, self, capacity)
        for frame in self.frames:
            sink.offer(frame)
        sink.end(lx.StreamClosedError("stopped"))
        return sink


def test_the_files_times_are_the_cameras_clock_not_the_arrival(tmp_path):
    Made = collections.namedtuple("Made", "array number sensor_timestamp timestamp format")
    picture = numpy.full((48, 64, 2), 128, numpy.uint8)
    # Frames 0, 1 and 4 (two lost), all arriving at once: a burst after a stall.
    frames = [Made(picture, n, 5.0 + n / 30, 100.0, Source.format) for n in (0, 1, 4)]
    rec = Recording(Source(frames), str(tmp_path / "clock.mkv"))
    rec.stop()
    assert decoded(rec.path)[1] == [0.0, 0.033, 0.133] and rec.dropped == 2


def test_a_stream_that_keeps_failing_ends_the_recording_with_its_failure(tmp_path):
    with lx.Camera(KAVL) as cam:
        cam.format = "640x480:YUY2@30"
        rec = cam.record(str(tmp_path / "reset.mp4"))
        time.sleep(0.4)
        lx.LxResetTimestamp(cam.handle)  # the stream refuses every frame after this
        time.sleep(3.0)
        assert not rec.recording
        with pytest.raises(lx.RecordingError, match="stream failed: KAVL AR0822 USB Camera: "
                                                    "streaming was stopped and started again"):
            rec.stop()
        with pytest.raises(lx.StreamError, match="refused"):
            cam.read()  # a reader is told too
    assert rec.frames == len(decoded(rec.path)[0]) >= 6


def test_the_pre_trigger_buffer(tmp_path):
    path = tmp_path / "event.mkv"
    with lx.Camera(KAVL) as cam:
        cam.format = "640x480:YUY2@30"
        rec = cam.record(str(path), pre_seconds=0.5)
        with rec:
            time.sleep(1.5)
            assert (rec.frames, rec.triggered, path.stat().st_size) == (0, False, 0)
            kept = [packet for run in rec._kept for packet, _ in run]
            assert kept[0].is_keyframe and sum(p.size for p in kept) < 640 * 480 * 2
            rec.trigger()
            rec.trigger()  # harmless
            time.sleep(0.5)
    pictures, times, _ = decoded(rec.path)
    assert len(pictures) == rec.frames and times == sorted(set(times)) and times[0] == 0
    # At least the half second before the trigger, from a key frame (one a second), and the
    # half second after it.
    assert 1.0 <= rec.seconds <= 2.1
    with av.open(rec.path) as container:
        assert next(container.demux(video=0)).is_keyframe

    # Never triggered: nothing written, no file left.
    with lx.Camera(KAVL) as cam:
        with cam.record(str(tmp_path / "quiet.mkv"), pre_seconds=1.0) as rec:
            time.sleep(0.3)
    assert rec.frames == 0 and not os.path.exists(rec.path)


def test_what_is_refused_before_anything_is_recorded(tmp_path, monkeypatch):
    existing = tmp_path / "there.mkv"
    existing.write_bytes(b"keep me")
    (tmp_path / "link.mkv").symlink_to(tmp_path / "nowhere.mkv")
    with lx.Camera(KAVL) as cam:
        for path in (existing, tmp_path / "link.mkv", tmp_path / "dir.mkv"):
            if path.name == "dir.mkv":
                path.mkdir()
            with pytest.raises(FileExistsError, match="never replaces a file"):
                cam.record(str(path))
        assert existing.read_bytes() == b"keep me" and not (tmp_path / "nowhere.mkv").exists()
        with pytest.raises(ValueError, match=r"a \.mkv, \.mp4, \.avi file, not '\.mov'"):
            cam.record(str(tmp_path / "a.mov"))
        cam.format = "640x480:YUY2@30"
        refused = [({"codec": "nonesuch"}, "no encoder"), ({"pre_seconds": -1}, "pre_seconds")]
        import av

        if hasattr(av.codec.context.CodecContext, "supported_options"):
            # PyAV 16 on lists an encoder's options (the newest PyAV for Python 3.9 is 15).
            refused += [({"options": {"presett": "fast"}}, "no option presett"),
                        ({"codec": "mpeg4", "crf": 20}, "takes no crf")]
        for keywords, message in refused:
            with pytest.raises(ValueError, match=message):
                cam.record(str(tmp_path / "b.mkv"), **keywords)
        cam.format = "640x480:MJPG@30"
        with pytest.raises(ValueError, match="as they are"):
            cam.record(str(tmp_path / "b.mkv"), crf=20)
        # Without PyAV: how to install it.
        monkeypatch.setitem(sys.modules, "av", None)
        with pytest.raises(ImportError, match=r"pip install pylentrasdk\[video\]"):
            cam.record(str(tmp_path / "b.mkv"))
    assert sorted(os.listdir(tmp_path)) == ["dir.mkv", "link.mkv", "there.mkv"]


def test_importing_the_package_does_not_import_pyav(tmp_path):
    code = "import sys, pylentrasdk as lx; lx.Camera(0).close(); print('av' in sys.modules)"
    assert subprocess.run([sys.executable, "-c", code], stdout=subprocess.PIPE, cwd=tmp_path,
                          universal_newlines=True, check=True).stdout == "False\n"


def test_a_format_change_or_a_closed_camera_ends_the_recording(tmp_path):
    with lx.Camera(KAVL) as cam:
        cam.format = "640x480:YUY2@30"
        rec = cam.record(str(tmp_path / "change.mkv"))
        time.sleep(0.3)
        cam.format = "1280x720:YUY2@30"
        time.sleep(0.3)
        with pytest.raises(lx.RecordingError, match="format changed to 1280x720:YUY2@30"):
            rec.stop()
        rec.stop()  # raised once
        assert rec.frames == len(decoded(rec.path)[0]) > 0

        rec = cam.record(str(tmp_path / "closed.mkv"))
        time.sleep(0.3)
    rec.stop()  # the camera's close ended it: no error
    assert rec.error is None and rec.frames == len(decoded(rec.path)[0]) > 0


# A recording in a process of its own: it prints rec.frames as it goes.
RECORDER = textwrap.dedent("""
    import resource, signal, sys, time
    import pylentrasdk as lx
    path, fmt, limit = sys.argv[1], sys.argv[2], int(sys.argv[3])
    if limit:
        signal.signal(signal.SIGXFSZ, signal.SIG_IGN)  # a write past the limit fails: EFBIG
        resource.setrlimit(resource.RLIMIT_FSIZE, (limit, resource.RLIM_INFINITY))
    with lx.Camera(0) as cam:
        cam.format = fmt
        try:
            with cam.record(path) as rec:
                while rec.recording:
                    print(rec.frames, flush=True)
                    time.sleep(0.05)
        except lx.RecordingError as error:
            print(error, flush=True)
""")


@pytest.mark.parametrize("name", ["killed.mkv", "killed.mp4"])
def test_a_killed_recording_plays_up_to_its_last_frames(tmp_path, name):
    path = str(tmp_path / name)
    child = subprocess.Popen([sys.executable, "-c", RECORDER, path, "640x480:YUY2@30", "0"],
                             stdout=subprocess.PIPE, universal_newlines=True, cwd=tmp_path)
    written = 0
    while written < 30:
        written = int(child.stdout.readline())
    child.send_signal(signal.SIGKILL)
    child.wait()
    child.stdout.close()
    count = 0
    with av.open(path) as container:
        try:
            for _ in container.decode(video=0):
                count += 1
        except av.FFmpegError:
            pass  # the frame cut short by the kill
    assert count >= written - 5


@pytest.mark.parametrize("name", ["full.mkv", "full.mp4"])
def test_a_full_disk_ends_the_recording_with_an_error_naming_the_file(tmp_path, name):
    path = str(tmp_path / name)
    ran = subprocess.run([sys.executable, "-c", RECORDER, path, "640x480:MJPG@30", "300000"],
                         stdout=subprocess.PIPE, universal_newlines=True, timeout=60, check=True,
                         cwd=tmp_path)
    said = ran.stdout.splitlines()[-1]
    assert said.startswith(path + ": writing the file failed: File too large")
    with av.open(path) as container:
        count = 0
        try:
            for _ in container.decode(video=0):
                count += 1
        except av.FFmpegError:
            pass
    assert count >= 5  # what was written plays
