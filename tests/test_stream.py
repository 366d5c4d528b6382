"""pylentrasdk.stream: frames in pooled buffers, waits without the interpreter lock, errors as
exceptions."""
import os
import re
import subprocess
import sys
import signal
import threading
import time

import numpy as np
import pytest

import pylentrasdk as lx
from conftest import formats_of
from sanitizer import measures_memory
from pylentrasdk import sim
from pylentrasdk.formats import Format
from pylentrasdk.stream import (CaptureTimeoutError, FrameStream, PoolExhaustedError,
                                StreamClosedError, StreamError)
from pylentrasdk.testing import _pattern as pattern

F = lx.LX_IMAGE_FORMAT
NOT_STREAMING = lx.LxStatus.LX_STATUS_NOT_STREAMING


def rig_camera(framerate, pixel_format="YUY2", width=64, height=48):
    """Loads a rig of one camera with one format and returns it opened, with that format."""
    sim.load({"devices": [{"name": "Test camera", "formats": [
        {"width": width, "height": height, "framerate": framerate, "format": pixel_format}]}]})
    cam = lx.LxInitialCameraDevice(0)
    assert lx.LxOpen(cam) == 0
    return cam, formats_of(cam)[0]


@pytest.fixture
def fast():
    """A 64x48 YUY2 camera in free run."""
    cam, fmt = rig_camera(30)
    sim.set_pacing("free-run")
    return cam, fmt


@pytest.fixture
def slow():
    """A camera that makes one frame a second, in real time."""
    return rig_camera(1)


def stamped(frame, fmt):
    return sim.read_frame_number(frame.array, fmt)


def run_soon(action, delay=0.2):
    timer = threading.Timer(delay, action)
    timer.start()
    return timer


class TestFrames:
    EXPECTED = {
        F.LX_IMAGE_FORMAT_YUY2: lambda w, h: ((h, w, 2), np.uint8),
        F.LX_IMAGE_FORMAT_UYVY: lambda w, h: ((h, w, 2), np.uint8),
        F.LX_IMAGE_FORMAT_NV12: lambda w, h: ((h * 3 // 2, w), np.uint8),
        F.LX_IMAGE_FORMAT_BGRA: lambda w, h: ((h, w, 4), np.uint8),
        F.LX_IMAGE_FORMAT_BGRX: lambda w, h: ((h, w, 4), np.uint8),
        F.LX_IMAGE_FORMAT_BGR: lambda w, h: ((h, w, 3), np.uint8),
        F.LX_IMAGE_FORMAT_RGB: lambda w, h: ((h, w, 3), np.uint8),
        F.LX_IMAGE_FORMAT_RGB16: lambda w, h: ((h, w), np.dtype("<u2")),
    }

    def test_shape_and_bytes_per_format_match_lxgetimage(self, any_camera):
        # The smallest size of each pixel format: frame 0 of a stream, through the stream and
        # through LxGetImage, is the same bytes.
        sim.set_pacing("free-run")
        smallest = {}
        for f in formats_of(any_camera):
            if f.format not in smallest or f.width < smallest[f.format].width:
                smallest[f.format] = f
        for fmt in smallest.values():
            with FrameStream(any_camera, fmt) as stream:
                frame = stream.read()
            assert lx.LxSetFormat(any_camera, fmt) == 0 and lx.LxStartStreaming(any_camera) == 0
            result, flat = lx.LxGetImage(any_camera, 3000, fmt)
            assert result == lx.LX_SUCCESS and lx.LxStopStreaming(any_camera) == 0
            if fmt.format == F.LX_IMAGE_FORMAT_MJPG:
                assert frame.array.shape == flat.shape and frame.array.dtype == np.uint8
            else:
                shape, dtype = self.EXPECTED[fmt.format](fmt.width, fmt.height)
                assert frame.array.shape == shape and frame.array.dtype == dtype, fmt.format
            assert frame.array.tobytes() == flat.tobytes(), fmt.format

    def test_numbers_timestamps_and_no_drops_in_free_run(self, fast):
        cam, fmt = fast
        before = time.monotonic()
        with FrameStream(cam, fmt) as stream:
            frames = [frame for _, frame in zip(range(5), stream)]
            assert stream.frames == 5 and stream.dropped == 0
        assert [f.number for f in frames] == [stamped(f, fmt) for f in frames] == list(range(5))
        assert all(f.dropped == 0 for f in frames)
        times = [f.timestamp for f in frames]
        assert before <= times[0] and times == sorted(times) and times[-1] <= time.monotonic()

    def test_a_late_reader_sees_what_it_missed(self):
        cam, fmt = rig_camera(100)
        with FrameStream(cam, fmt) as stream:
            first = stream.read()
            time.sleep(0.1)  # about ten frame intervals
            later = stream.read()
        assert later.dropped >= 1 and later.number == first.number + later.dropped + 1
        assert later.number == stamped(later, fmt)

    # Whatever slows the camera below its format's rate, the numbers are the camera's own and
    # nothing it made on time counts as dropped.
    @pytest.mark.parametrize("slow_down", ["throughput", "frame-rate cap", "long exposure"])
    def test_numbers_follow_the_camera_whatever_paces_it(self, slow_down):
        cam, fmt = rig_camera(60, width=320, height=240)  # 153,600 bytes a frame
        if slow_down == "throughput":
            assert lx.LxSetThroughPut(cam, 3) == 0  # about 20 frames a second
        elif slow_down == "frame-rate cap":
            assert lx.LxSetMaxFPS(cam, 20) == 0
        else:
            time_control = lx.LX_ISP_IMAGE_PROPERTIES.ISP_IMAGE_EXPOSURE_TIME
            _, _, most, _, _ = lx.LxGetISPImageProcessingRange(cam, time_control)
            assert lx.LxSetISPImageProcessing(cam, time_control, most) == 0
        with FrameStream(cam, fmt) as stream:
            frames = [stream.read() for _ in range(8)]
            total = stream.dropped
        numbers = [f.number for f in frames]
        assert numbers == [stamped(f, fmt) for f in frames]
        # Read at once, frame after frame, so nothing is dropped unless this machine stalled for
        # a frame's time: then exactly the frames the camera made meanwhile.
        assert [f.dropped for f in frames] == [b - a - 1 for a, b in zip([-1] + numbers, numbers)]
        assert total == numbers[-1] - 7 and total <= 2

    def test_numbers_across_counter_wraps(self):
        # The camera's counter has 8 bits: a late read across more than 256 frames still gets
        # the frame's own number.
        sim.load({"devices": [{"product_type": "GENERIC", "frame_count_start": 250, "formats": [
            {"width": 64, "height": 48, "framerate": 240, "format": "YUY2"}]}]})
        cam = lx.LxInitialCameraDevice(0)
        assert lx.LxOpen(cam) == 0
        fmt = formats_of(cam)[0]
        with FrameStream(cam, fmt) as stream:
            frames = [stream.read() for _ in range(20)]
            time.sleep(1.5)  # about 360 frames
            frames.append(stream.read())
        assert [f.number for f in frames] == [stamped(f, fmt) for f in frames]
        assert frames[-1].dropped == frames[-1].number - frames[-2].number - 1 > 256

    def test_a_camera_slower_than_its_first_frames_is_no_counter_wrap(self):
        # The first frames come at 240 a second, then the camera is capped to one a second: a
        # second between frames is 240 of the first intervals, near a whole turn of the 8-bit
        # counter, but no more frames than the format's rate makes in that time can have
        # passed.
        sim.load({"devices": [{"product_type": "KAVL", "max_fps": 255, "frame_count_start": 250,
                               "formats": [
            {"width": 64, "height": 48, "framerate": 240, "format": "YUY2"}]}]})
        sim.set_pacing("realtime")
        cam = lx.LxInitialCameraDevice(0)
        assert lx.LxOpen(cam) == 0
        fmt = formats_of(cam)[0]
        with FrameStream(cam, fmt) as stream:
            frames = [stream.read() for _ in range(3)]
            assert lx.LxSetMaxFPS(cam, 1) == 0
            frames += [stream.read() for _ in range(2)]
        assert [f.number for f in frames] == [stamped(f, fmt) for f in frames]
        assert all(f.dropped <= 1 for f in frames[1:])


class TestPool:
    def test_kept_frames_never_change(self, fast):
        cam, fmt = fast
        with FrameStream(cam, fmt, buffers=2) as stream:
            kept = [stream.read() for _ in range(3)]
            copies = [f.array.copy() for f in kept]
            corner = kept[0].array[:8, :8]  # a view alone keeps the buffer too
            del kept[0]
            for _ in range(20):
                stream.read()
        for frame, copy in zip(kept, copies[1:]):
            assert np.array_equal(frame.array, copy)
        assert np.array_equal(corner, copies[0][:8, :8])

    def test_pool_grows_while_frames_are_kept_and_shrinks_after(self, fast):
        cam, fmt = fast
        with FrameStream(cam, fmt, buffers=2) as stream:
            kept = [stream.read() for _ in range(5)]
            assert stream.pool_size == 5 and stream.pool_free == 0
            assert len({f.array.ctypes.data for f in kept}) == 5
            del kept
            assert stream.pool_size == 2 and stream.pool_free == 2
            stream.read()
            assert stream.pool_size == 2

    def test_fixed_pool_refuses_when_every_buffer_is_held(self, fast):
        cam, fmt = fast
        with FrameStream(cam, fmt, buffers=2, fixed=True) as stream:
            kept = [stream.read(), stream.read()]
            with pytest.raises(PoolExhaustedError):
                stream.read()
            kept.pop()
            assert stream.read().array.shape == (fmt.height, fmt.width, 2)
            assert stream.pool_size == 2

    def test_mjpg_frames_are_copied_and_do_not_hold_buffers(self):
        cam, fmt = rig_camera(30, "MJPG")
        sim.set_pacing("free-run")
        with FrameStream(cam, fmt, buffers=1, fixed=True) as stream:
            kept = [stream.read() for _ in range(3)]
            assert stream.pool_free == 1
        assert all(f.array[:2].tolist() == [0xFF, 0xD8] for f in kept)


class TestWaiting:
    def test_other_threads_run_during_a_wait(self, slow):
        cam, fmt = slow
        ticks = []
        done = threading.Event()

        def other():
            while not done.is_set():
                ticks.append(None)  # Python work, which needs the interpreter lock
                time.sleep(0.001)

        with FrameStream(cam, fmt) as stream:
            stream.read()
            worker = threading.Thread(target=other)
            worker.start()
            before = len(ticks)
            stream.read()  # about a second's wait for the next frame
            during = len(ticks) - before
            done.set()
            worker.join()
        # Held through the wait, the lock would let the other thread tick once or twice at most.
        assert during > 20

    def test_time_out(self, slow):
        cam, fmt = slow
        with FrameStream(cam, fmt, timeout_ms=50) as stream:
            stream.read()
            with pytest.raises(CaptureTimeoutError) as caught:
                stream.read()
            with pytest.raises(TimeoutError):
                next(stream)
        error = caught.value
        assert isinstance(error, StreamError)
        assert (error.function, error.status_name, error.status) == ("LxGetImage", "LX_TIMEOUT", -1)

    @pytest.mark.parametrize("latest", [False, True])
    def test_a_read_that_waits_past_its_time_out(self, slow, latest):
        cam, fmt = slow
        with FrameStream(cam, fmt, latest=latest) as stream:
            stream.read()
            began = time.monotonic()
            with pytest.raises(CaptureTimeoutError):
                stream.read(timeout_ms=500)  # the next frame comes a second after the first
            assert 0.3 < time.monotonic() - began < 2.5

    @pytest.mark.parametrize("latest", [False, True])
    def test_an_early_time_out_is_the_sdks_verdict(self, slow, latest):
        # LX_TIMEOUT long before the wait step passed is the SDK saying no frame will come:
        # the reader hears it at once, even when it would wait for ever, and reads on after.
        cam, fmt = slow
        with FrameStream(cam, fmt, latest=latest, timeout_ms=None) as stream:
            first = stream.read()
            sim.inject("LxGetImage", result=lx.LX_TIMEOUT)
            with pytest.raises(CaptureTimeoutError) as caught:
                stream.read()
            assert stream.read(timeout_ms=2500).number > first.number
        error = caught.value
        assert (error.function, error.status_name, error.status) == ("LxGetImage", "LX_TIMEOUT", -1)
        assert str(error).startswith("LxGetImage failed: LX_TIMEOUT (-1): the SDK answered after")

    def test_close_during_a_wait_ends_read_and_iteration(self, slow):
        cam, fmt = slow
        stream = FrameStream(cam, fmt, timeout_ms=None)
        stream.read()
        closing = run_soon(stream.close)
        with pytest.raises(StreamClosedError):
            stream.read()
        assert stream.closed
        closing.join()  # close() returns once the camera has stopped streaming
        stream = FrameStream(cam, fmt, timeout_ms=None)
        run_soon(stream.close, 1.5)
        assert len(list(stream)) >= 1  # the loop ends when the stream is closed

    def test_stop_or_close_of_the_camera_during_a_wait(self, slow):
        cam, fmt = slow
        with FrameStream(cam, fmt) as stream:
            stream.read()
            run_soon(lambda: lx.LxStopStreaming(cam))
            with pytest.raises(StreamError) as stopped:
                stream.read()
        assert stopped.value.status_name == "LX_OTHER_ERROR"
        with FrameStream(cam, fmt) as stream:
            stream.read()
            run_soon(lambda: lx.LxClose(cam))
            with pytest.raises(StreamError, match="no longer open"):
                stream.read()
            with pytest.raises(StreamError, match="no longer open"):
                stream.read()

    def test_ctrl_c_during_a_wait_loses_no_frame(self, slow):
        cam, fmt = slow
        with FrameStream(cam, fmt, timeout_ms=None) as stream:
            assert stamped(stream.read(), fmt) == 0
            run_soon(lambda: os.kill(os.getpid(), signal.SIGINT))
            with pytest.raises(KeyboardInterrupt):
                stream.read()
            assert stamped(stream.read(), fmt) == 1

    def test_two_readers_at_once(self, slow):
        cam, fmt = slow
        errors = []

        def second_reader():
            try:
                stream.read()
            except StreamError as error:
                errors.append(error)

        with FrameStream(cam, fmt) as stream:
            stream.read()
            thread = threading.Thread(target=second_reader)
            run_soon(thread.start)
            stream.read()
            thread.join()
        assert len(errors) == 1 and "another thread" in str(errors[0])


class TestMetadata:
    KEYS = {"number", "timestamp", "sensor_timestamp", "exposure", "gain", "format", "dropped"}

    @pytest.mark.parametrize("latest", [False, True])
    def test_what_the_camera_reported_for_each_frame(self, latest):
        cam, fmt = rig_camera(30)  # real-time pacing
        with FrameStream(cam, fmt, latest=latest) as stream:
            frames = []
            for _ in range(3):
                frames.append(stream.read())
                time.sleep(0.001)  # a latest-frame read waits for the next frame
        for frame in frames:
            meta = frame.metadata
            assert self.KEYS <= set(meta)
            assert (meta["number"], meta["dropped"], meta["timestamp"]) == (
                frame.number, frame.dropped, frame.timestamp)
            assert (meta["sensor_timestamp"], meta["exposure"], meta["gain"]) == (
                frame.sensor_timestamp, frame.exposure, frame.gain)
            assert meta["format"] == Format.from_record(fmt) and frame.format.width == fmt.width
        # One Format for the whole stream.
        assert frames[0].metadata["format"] is frames[-1].metadata["format"]
        # The camera's clock runs at its frame rate: 1/30 s a frame, whatever was dropped.
        stamps = [f.sensor_timestamp for f in frames]
        assert stamps == sorted(stamps) and len(set(stamps)) == len(stamps)
        per_frame = (stamps[-1] - stamps[0]) / (frames[-1].number - frames[0].number)
        assert 0.7 / 30 < per_frame < 1.4 / 30

    @pytest.mark.parametrize("latest", [False, True])
    def test_exposure_and_gain_are_those_the_frame_was_made_with(self, kavl_camera, latest):
        # Auto exposure brings the level back to 100 % after the gain is raised to 4 times its
        # default, stepping with every frame: each frame's picture shows the exposure and gain
        # reported with it, not those of the frame after. Real-time pacing, so that a
        # latest-frame read too gets frames made while it converges.
        fmt = min(formats_of(kavl_camera, F.LX_IMAGE_FORMAT_YUY2), key=lambda f: f.width)
        isp = lx.LX_ISP_IMAGE_PROPERTIES
        assert lx.LxSetISPImageProcessing(kavl_camera, isp.ISP_IMAGE_EXPOSURE_MODE, 1) == 0
        _, _, _, _, exposure_default = lx.LxGetISPImageProcessingRange(
            kavl_camera, isp.ISP_IMAGE_EXPOSURE_TIME)
        _, _, _, _, gain_default = lx.LxGetISPImageProcessingRange(
            kavl_camera, isp.ISP_IMAGE_EXPOSURE_GAIN)
        assert lx.LxSetISPImageProcessing(kavl_camera, isp.ISP_IMAGE_EXPOSURE_GAIN,
                                          4 * gain_default) == 0
        with FrameStream(kavl_camera, fmt, latest=latest) as stream:
            frames = [stream.read() for _ in range(6)]
        assert len({f.exposure for f in frames}) >= 3  # still converging: frames differ
        for frame in frames:
            assert frame.gain == 4 * gain_default
            level = 100 * frame.exposure // exposure_default * 4
            expected = pattern.expected_frame("YUY2", fmt.width, fmt.height, frame.number,
                                              {"level": level})
            assert frame.array.tobytes() == expected.tobytes(), (frame.number, frame.exposure)

    def test_none_where_the_camera_reports_none(self, fast):
        cam, fmt = fast
        for function in ("LxGetTimestamp", "LxGetCurrentExposure", "LxGetCurrentGain"):
            sim.inject(function, status=lx.LxStatus.LX_STATUS_NOT_SUPPORTED, count=100)
        with FrameStream(cam, fmt) as stream:
            frame = stream.read()
        meta = frame.metadata
        assert (meta["sensor_timestamp"], meta["exposure"], meta["gain"]) == (None, None, None)
        assert repr(frame) == "<Frame 64x48:YUY2@30 number=0 dropped=0>"

    def test_reprs_say_what_frames_and_streams_hold(self, fast):
        cam, fmt = fast
        stream = FrameStream(cam, fmt, buffers=3)
        assert repr(stream) == "<FrameStream 64x48:YUY2@30 open buffers=3 frames=0 dropped=0>"
        frame = stream.read()
        assert re.fullmatch(r"<Frame 64x48:YUY2@30 number=0 dropped=0 sensor_timestamp=\d+\.\d{3}>",
                            repr(frame))
        stream.close()
        assert repr(stream) == "<FrameStream 64x48:YUY2@30 closed buffers=3 frames=1 dropped=0>"
        with FrameStream(cam, fmt, fixed=True, latest=True) as stream:
            assert repr(stream).startswith("<FrameStream 64x48:YUY2@30 open latest fixed buffers=4")


class TestLatest:
    def test_read_returns_the_newest_frame_and_counts_the_skipped(self):
        cam, fmt = rig_camera(100)
        with FrameStream(cam, fmt, latest=True) as stream:
            assert stream.latest
            first = stream.read()
            time.sleep(0.1)
            newest = stream.read()
        assert newest.dropped >= 1 and newest.number == first.number + newest.dropped + 1
        assert newest.number == stamped(newest, fmt)
        with pytest.raises(StreamClosedError):
            stream.read()

    def test_fixed_pool_refuses_when_every_buffer_is_held(self, fast):
        cam, fmt = fast
        with FrameStream(cam, fmt, buffers=2, fixed=True, latest=True) as stream:
            kept = [stream.read(), stream.read()]
            with pytest.raises(PoolExhaustedError):
                stream.read(timeout_ms=1000)
            del kept
            stream.read()

    def test_an_sdk_that_answers_time_outs_at_once_is_not_spun_on(self, fast):
        cam, fmt = fast
        sim.inject("LxGetImage", result=lx.LX_TIMEOUT, count=1000000)
        with FrameStream(cam, fmt, latest=True) as stream:
            sim.reset_call_counts()
            time.sleep(0.5)
            calls = sim.call_count("LxGetImage")
            with pytest.raises(CaptureTimeoutError):
                stream.read()
        assert calls < 50  # about one a wait step of 100 ms, not one a microsecond

    def test_a_capture_failure_reaches_the_reader(self, slow):
        cam, fmt = slow
        sim.inject("LxGetImage", result=lx.LX_CAM_OCCUPIED)
        with FrameStream(cam, fmt, latest=True) as stream:
            with pytest.raises(StreamError) as caught:
                stream.read()
        assert caught.value.status_name == "LX_CAM_OCCUPIED"


class TestBadInput:
    def test_camera_and_format(self, kavl_camera, kavn_camera):
        fmt = formats_of(kavl_camera, F.LX_IMAGE_FORMAT_YUY2)[0]
        with pytest.raises(TypeError):
            FrameStream(None, fmt)
        with pytest.raises(TypeError):
            FrameStream(kavl_camera, None)
        bgra = formats_of(kavn_camera, F.LX_IMAGE_FORMAT_BGRA)[0]
        with pytest.raises(StreamError) as lacking:
            FrameStream(kavl_camera, bgra)
        assert (lacking.value.function, lacking.value.status_name) == (
            "LxSetFormat", "LX_STATUS_INVALID_ARGUMENT")
        _, listed = lx.LxGetFormatList(kavl_camera)
        none = next(f for f in listed if f.format == F.LX_IMAGE_FORMAT_NONE)
        with pytest.raises(ValueError):
            FrameStream(kavl_camera, none)
        lx.LxClose(kavl_camera)
        with pytest.raises(StreamError) as closed:
            FrameStream(kavl_camera, fmt)
        assert closed.value.status_name == "LX_STATUS_NOT_OPEN" and closed.value.status == -3
        assert lx.LxOpen(kavl_camera) == 0

    @pytest.mark.parametrize("arguments", [{"buffers": 0}, {"buffers": -1}, {"buffers": 65},
                                           {"timeout_ms": -1}])
    def test_out_of_range_numbers(self, fast, arguments):
        cam, fmt = fast
        with pytest.raises(ValueError):
            FrameStream(cam, fmt, **arguments)
        with FrameStream(cam, fmt) as stream:  # nothing was started by the refused one
            assert stream.read(timeout_ms=1000).number == 0

    def test_use_after_close(self, fast):
        cam, fmt = fast
        stream = FrameStream(cam, fmt)
        stream.close()
        stream.close()
        with pytest.raises(StreamClosedError):
            stream.read()
        with pytest.raises(StreamClosedError):
            with stream:
                pass
        assert list(stream) == []

    @pytest.mark.parametrize("function, status, name", [
        ("LxSetFormat", -5, "LX_STATUS_INVALID_ARGUMENT"),
        ("LxStartStreaming", -4, "LX_STATUS_BUSY"),
    ])
    def test_start_faults(self, fast, function, status, name):
        cam, fmt = fast
        sim.inject(function, status=status)
        with pytest.raises(StreamError) as caught:
            FrameStream(cam, fmt)
        assert (caught.value.function, caught.value.status_name, caught.value.status) == (
            function, name, status)

    @pytest.mark.parametrize("result", [lx.LX_CAM_OCCUPIED, lx.LX_BUFFER_CORRUPTED, lx.LX_OTHER_ERROR])
    def test_capture_faults(self, fast, result):
        cam, fmt = fast
        with FrameStream(cam, fmt) as stream:
            sim.inject("LxGetImage", result=result)
            with pytest.raises(StreamError) as caught:
                stream.read()
            assert not isinstance(caught.value, TimeoutError)
            assert (caught.value.status_name, caught.value.status) == (result.name, int(result))
            assert stream.read().number == 0  # the failed call took no frame

    def test_injected_time_out_and_wrong_size(self, fast):
        cam, fmt = fast
        with FrameStream(cam, fmt) as stream:
            sim.inject("LxGetImage", result=lx.LX_TIMEOUT)
            with pytest.raises(CaptureTimeoutError):
                stream.read(timeout_ms=0)
            # A size that is not this format's frame is never shaped nor handed out.
            sim.inject("LxGetImage", result=lx.LX_SUCCESS, size=100)
            with pytest.raises(StreamError, match="100 bytes"):
                stream.read()
            assert stream.pool_free == stream.pool_size


# Run in a child process under an address-space limit: the stream must raise, never end the
# process, and leave the camera not streaming.
LIMITED_CHILD = r"""
import resource, sys
import pylentrasdk as lx
from pylentrasdk import sim
from pylentrasdk.formats import Format
from pylentrasdk.stream import FrameStream

width, height, headroom, latest = (int(a) for a in sys.argv[1:])
sim.load({"devices": [{"formats": [
    {"width": width, "height": height, "framerate": 30, "format": "BGRA"}]}]})
cam = lx.LxInitialCameraDevice(0)
lx.LxOpen(cam)
fmt = lx.LxGetFormatList(cam)[1][0]
with FrameStream(cam, fmt) as stream:  # warms up all but the buffer and the thread
    pass
vm = int(open("/proc/self/statm").read().split()[0]) * resource.getpagesize()
resource.setrlimit(resource.RLIMIT_AS, (vm + headroom, resource.RLIM_INFINITY))
try:
    stream = FrameStream(cam, fmt, latest=bool(latest))
    try:
        stream.read()
        print("read a frame")
    finally:
        stream.close()
except (MemoryError, RuntimeError) as error:
    print(type(error).__name__, error)
resource.setrlimit(resource.RLIMIT_AS, (resource.RLIM_INFINITY, resource.RLIM_INFINITY))
print("not streaming" if lx.LxStopStreaming(cam) == lx.LxStatus.LX_STATUS_NOT_STREAMING else "streaming")
"""


class TestFailuresUnderTheStream:
    def run_limited(self, width, height, headroom, latest):
        child = subprocess.run(
            [sys.executable, "-c", LIMITED_CHILD, str(width), str(height), str(headroom), str(latest)],
            capture_output=True, text=True, timeout=120, cwd="/")
        assert child.returncode == 0, child.stderr
        return child.stdout.splitlines()

    @measures_memory
    @pytest.mark.parametrize("latest", [0, 1])
    def test_no_memory_for_a_buffer_is_a_memory_error(self, latest):
        # 4096 x 4096 BGRA: a 64 MiB buffer under 24 MiB of room (a thread's stack fits).
        lines = self.run_limited(4096, 4096, 24 << 20, latest)
        assert lines[0].startswith("MemoryError") and lines[-1] == "not streaming", lines

    def test_a_thread_that_cannot_start_leaves_the_camera_stopped(self):
        lines = self.run_limited(64, 48, 1 << 20, 1)
        assert lines[0].startswith("RuntimeError") and lines[-1] == "not streaming", lines

    @pytest.mark.parametrize("latest", [False, True])
    def test_a_restart_in_another_format_is_refused(self, latest):
        # Other code stops the camera, sets a format of the same size and starts it again: the
        # stream must not hand out UYVY bytes as YUY2.
        sim.load({"devices": [{"formats": [
            {"width": 64, "height": 48, "framerate": 30, "format": "YUY2"},
            {"width": 64, "height": 48, "framerate": 30, "format": "UYVY"}]}]})
        cam = lx.LxInitialCameraDevice(0)
        assert lx.LxOpen(cam) == 0
        yuy2, uyvy = formats_of(cam)
        with FrameStream(cam, yuy2, latest=latest) as stream:
            stream.read()
            time.sleep(0.5)
            restarted = time.monotonic()
            assert lx.LxStopStreaming(cam) == 0
            assert lx.LxSetFormat(cam, uyvy) == 0 and lx.LxStartStreaming(cam) == 0
            time.sleep(0.1)
            errors = 0
            for _ in range(4):
                try:
                    frame = stream.read(timeout_ms=1000)
                except StreamError:
                    errors += 1
                else:  # only a frame the background thread took before the restart
                    assert latest and frame.timestamp < restarted
            assert errors >= 3
        assert lx.LxStopStreaming(cam) == NOT_STREAMING


LEFT_WAITING = """
import threading, time
import pylentrasdk as lx
from pylentrasdk import sim
from pylentrasdk.stream import FrameStream
sim.set_pacing("realtime")
cam = lx.LxInitialCameraDevice(0)
lx.LxOpen(cam)
lx.LxSetMaxFPS(cam, 1)
stream = FrameStream(cam, lx.LxGetFormatList(cam)[1][0], timeout_ms=None)
stream.read()

def read_for_ever():
    for frame in stream:
        pass

class SlowEnd:
    def __del__(self):
        time.sleep(0.5)  # the finalisation lasts past several of the reader's 100 ms waits


slow_end = SlowEnd()  # collected while the interpreter finalises
threading.Thread(target=read_for_ever, daemon=True).start()
time.sleep(0.2)  # the thread waits for a frame a second away when the program ends
"""


def test_a_thread_left_waiting_in_a_read_does_not_abort_the_exit(tmp_path):
    # The interpreter ends a daemon thread that takes its lock back during finalisation; inside
    # the stream's C++ read that aborted the process ("terminate called without an active
    # exception") before open streams were stopped at exit.
    script = tmp_path / "left_waiting.py"
    script.write_text(LEFT_WAITING)
    for _ in range(3):
        ended = subprocess.run([sys.executable, str(script)], capture_output=True, text=True,
                               timeout=60)
        assert (ended.returncode, ended.stderr) == (0, "")
