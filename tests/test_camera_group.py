"""pylentrasdk.CameraGroup: frames of several cameras matched into complete sets by their clocks,
bounded in memory, with the failures of one camera named."""
import json
import threading
import time

import pytest

import pylentrasdk as lx
from pylentrasdk import sim

TICK = 1 / 30


def stereo(jitter=None):
    with open(sim.sample_path("stereo.json")) as f:
        rig = json.load(f)
    if jitter is not None:
        rig["trigger"]["jitter"] = jitter
    sim.load(rig)


class TestSync:
    def test_sets_are_complete_of_one_tick_each(self):
        stereo()
        with lx.CameraGroup([0, 1], sync=True) as group:
            group.format = "640x480:UYVY@30"
            sets = [group.read(timeout=1.0) for _ in range(60)]
            assert group.incomplete == 0 and group.sets >= 60
        for frames in sets:
            assert len(frames) == 2 and frames.skew == 0.0 and frames.skews == (0.0, 0.0)
            left, right = frames
            assert left.sensor_timestamp == right.sensor_timestamp == frames.time
        steps = [b.time - a.time for a, b in zip(sets, sets[1:])]
        assert all(abs(step - TICK) < 1e-4 for step in steps), steps
        assert [s.number for s in sets] == list(range(1, 61))

    def test_the_cameras_are_read_beside_the_group(self):
        # A viewer or a recording reads the cameras too: the group still gets every frame.
        stereo()
        with lx.CameraGroup([0, 1]) as group:
            group.read(timeout=1.0)
            for _ in range(10):
                direct = group[0].read(timeout=1.0)
                frames = group.read(timeout=1.0)
                assert frames.skew == 0.0
            assert direct.array.flags.writeable is False  # shared: read-only
            assert group.incomplete == 0

    def test_skew_follows_the_lines_jitter(self):
        stereo(jitter=0.002)
        with lx.CameraGroup(["Left", "Right"]) as group:
            skews = [group.read(timeout=1.0).skew for _ in range(20)]
        assert 0 < max(skews) <= 0.002 + 1e-6

    def test_the_modes_are_put_back_and_a_usb_camera_is_matched_by_its_clock(self):
        # The default rig: a USB camera without a trigger mode, a MIPI camera with one.
        with lx.Camera(1) as mipi:
            mipi.controls["trigger_mode"] = "Periodic"
        with lx.CameraGroup([0, 1], sync=True) as group:
            assert "trigger_mode" not in group[0].controls
            assert group[1].controls["trigger_mode"] == 1
            frames = group.read(timeout=1.0)
            # Two clocks: the USB camera's own and the line's. The set's times are on the first
            # camera's clock, the MIPI camera's put there by the clocks' offset, and the skew
            # is the difference of those, not of the raw timestamps.
            assert frames.times[0] == frames[0].sensor_timestamp
            assert frames.skew == abs(frames.times[1] - frames.times[0]) <= group.max_skew
            assert "0 'KAVL AR0822 USB Camera' (own clock), 1 'KAVN AR0234 MIPI Camera' (line)" \
                in repr(group)
            assert group.clocks == ("own", "line")
        with lx.Camera(1) as mipi:
            assert mipi.controls["trigger_mode"] == 2

    def test_cameras_on_two_clocks_are_matched_by_time_not_by_raw_timestamp(self):
        # The left camera reports the line's clock, which counts from the rig's start; the right
        # one its own, which counts from its stream's start, half a second later. Their raw
        # timestamps are half a second apart for frames of one moment.
        stereo()
        time.sleep(0.5)
        left, right = lx.Camera(0), lx.Camera(1)
        with left, right:
            left.controls["trigger_mode"] = "Sync"
            with lx.CameraGroup([left, right], sync=False) as group:
                assert group.clocks == ("line", "own")
                sets = [group.read(timeout=1.0) for _ in range(10)]
            assert not left.closed and not right.closed  # given open, left open
        for frames in sets:
            assert frames.times[0] == frames[0].sensor_timestamp
            assert frames[0].sensor_timestamp - frames[1].sensor_timestamp > 0.4
            assert frames.skew <= group.max_skew

    def test_a_camera_whose_stream_restarts_is_timed_by_its_new_clock(self):
        stereo()
        with lx.CameraGroup([0, 1], sync=False) as group:
            assert group.clocks == ("own", "own")
            for _ in range(5):
                group.read(timeout=1.0)
            time.sleep(0.5)
            # Stopped from outside: the group's reader starts it again, and its timestamps
            # count from 0 once more, half a second behind the other camera's.
            group[1].stop()
            # Past the sets made before the stop (as many as `depth` wait to be read).
            sets = [group.read(timeout=1.0) for _ in range(12)]
            assert all(frames.skew <= group.max_skew for frames in sets)


class TestIncompleteSets:
    def test_missed_ticks_are_counted_and_never_handed_out(self):
        stereo()
        with lx.CameraGroup([0, 1]) as group:
            group.read(timeout=1.0)
            # Capped at 10 frames a second, the right camera takes every third tick of the
            # 30 ticks a second line: the left camera's other frames have no partner.
            group[1].controls["max_fps"] = 10
            sets = [group.read(timeout=1.0) for _ in range(8)]
            assert group.incomplete >= 10 and group.dropped >= 10
        assert all(frames.skew == 0.0 for frames in sets)  # both frames of one tick
        steps = [b.time - a.time for a, b in zip(sets[2:], sets[3:])]
        assert all(abs(step - 3 * TICK) < 1e-4 for step in steps), steps

    def test_frames_too_far_apart_make_no_set(self):
        # The right camera exposes 15 ms after each tick: never within 5 ms of the left one.
        with open(sim.sample_path("stereo.json")) as f:
            rig = json.load(f)
        rig["devices"][1]["trigger"] = {"offset": 0.015}
        sim.load(rig)
        with lx.CameraGroup([0, 1], max_skew=0.005) as group:
            with pytest.raises(lx.CaptureTimeoutError) as timed_out:
                group.read(timeout=0.5)
            assert group.sets == 0 and group.incomplete > 5
        assert str(timed_out.value) == ("no complete set of frames within 0.5 s: the cameras' "
                                        "frames were not within 5.000 ms of each other")

    def test_frames_of_a_silent_camera_do_not_pile_up(self):
        stereo()
        with lx.CameraGroup([0, 1], sync=False, depth=3) as group:
            group[1].controls["trigger_mode"] = "Non Periodic"  # no pulse: no frame
            group.start()
            deadline = time.monotonic() + 10
            while group.dropped < 15 and time.monotonic() < deadline:
                time.sleep(0.05)
            # Camera 0 goes on: all its frames but the last three are dropped, counted.
            assert group.dropped >= 15 and group.sets == 0
            with pytest.raises(lx.CaptureTimeoutError) as timed_out:
                group.read(timeout=0.1)
        assert str(timed_out.value) == ("no complete set of frames within 0.1 s: no frame from "
                                        "camera 1 ('KAVN AR0234 Stereo Right')")


class TestTrigger:
    def test_one_set_per_pulse(self):
        stereo()
        with lx.CameraGroup([0, 1], sync=False) as group:
            for camera in group.cameras:
                camera.controls["trigger_mode"] = "Non Periodic"
            group.start()
            with pytest.raises(lx.CaptureTimeoutError):
                group.read(timeout=0.2)
            sets = []
            for _ in range(5):
                sim.trigger()
                sets.append(group.read(timeout=0.5))
        assert [s.skew for s in sets] == [0.0] * 5
        assert len({s.time for s in sets}) == 5
        assert [[f.number for f in s] for s in sets] == [[n, n] for n in range(5)]


class TestFailures:
    def test_a_camera_closed_behind_the_groups_back_is_named(self):
        stereo()
        with lx.CameraGroup([0, 1]) as group:
            group.read(timeout=1.0)
            lx.LxClose(group[1].handle)  # as if unplugged: every capture fails from now on
            with pytest.raises(lx.StreamError) as failed:
                for _ in range(12):  # past the sets made before (as many as depth wait)
                    group.read(timeout=5.0)
            assert str(failed.value).startswith(
                "camera 1 of the group, KAVN AR0234 Stereo Right: LxGetImage failed")
            assert failed.value.function == "LxGetImage"
            with pytest.raises(lx.StreamError):  # and on every read after
                group.read(timeout=1.0)

    def test_a_camera_that_keeps_failing_is_raised_naming_it(self):
        stereo()
        with lx.CameraGroup([0, 1]) as group:
            group.read(timeout=1.0)
            # Every capture fails from now on (one failed capture alone is a missed frame).
            sim.inject("LxGetImage", result=lx.LX_CAPTURE_RESULT.LX_OTHER_ERROR, count=10**6)
            with pytest.raises(lx.StreamError) as failed:
                for _ in range(12):
                    group.read(timeout=5.0)
        message = str(failed.value)
        assert "LX_OTHER_ERROR" in message
        assert message.startswith(("camera 0 of the group, KAVN AR0234 Stereo Left: ",
                                   "camera 1 of the group, KAVN AR0234 Stereo Right: "))

    def test_close_ends_a_read_waiting_in_another_thread_and_the_iteration(self):
        stereo()
        group = lx.CameraGroup([0, 1], sync=False)
        for camera in group.cameras:
            camera.controls["trigger_mode"] = "Non Periodic"
        ended = []

        def iterate():
            ended.append(list(group))  # no pulse: waits until closed

        thread = threading.Thread(target=iterate)
        thread.start()
        time.sleep(0.2)
        group.close()
        thread.join(5)
        assert ended == [[]] and group.closed
        # Owned cameras are closed, and their trigger modes (not changed by the group) kept.
        assert all(camera.closed for camera in group.cameras)
        with pytest.raises(lx.StreamClosedError):
            group.read()

    def test_refusals(self):
        stereo()
        with pytest.raises(ValueError, match="at least one camera"):
            lx.CameraGroup([])
        with lx.Camera(0) as cam:
            with pytest.raises(ValueError, match="given twice"):
                lx.CameraGroup([cam, cam])
            with pytest.raises(lx.CameraBusyError):
                lx.CameraGroup([1, 0])  # camera 0 is open here already
            with lx.Camera(1) as other:  # the group opened camera 1 and closed it again
                assert other.controls["trigger_mode"] == 0
        with lx.CameraGroup([0, 1]) as group:
            group[0].format = "1280x720:UYVY@30"
            assert group.format is None  # they differ
            group.format = "1280x720:UYVY"
            assert str(group.format) == "1280x720:UYVY@30"
        sim.reset()  # the default rig: the USB camera has YUY2 formats, the MIPI camera none
        with lx.CameraGroup([0, 1]) as group:
            before = group[0].format
            with pytest.raises(lx.ControlValueError) as refused:
                group.format = "1920x1080:YUY2"
            assert str(refused.value) == ("camera 1 ('KAVN AR0234 MIPI Camera') has no format "
                                          "1920x1080:YUY2")
            assert group[0].format == before  # no camera was changed


def test_what_sets_and_groups_print():
    stereo()
    with lx.CameraGroup([0, 1]) as group:
        assert repr(group) == (
            "<CameraGroup stopped, sync: 0 'KAVN AR0234 Stereo Left', 1 'KAVN AR0234 Stereo "
            "Right'; 0 sets, 0 incomplete, 0 dropped, 0 skipped; max skew 16.667 ms>")
        frames = group.read(timeout=1.0)
        assert repr(frames) == (
            "<FrameSet #{} at {:.6f} s, skew 0.000 ms: 'KAVN AR0234 Stereo Left' #{}, "
            "'KAVN AR0234 Stereo Right' #{}>".format(frames.number, frames.time,
                                                     frames[0].number, frames[1].number))
        assert repr(group).startswith("<CameraGroup running, sync: 0 'KAVN AR0234 Stereo Left' "
                                      "(line), 1 'KAVN AR0234 Stereo Right' (line); ")
    assert repr(group).startswith("<CameraGroup closed, sync: ")
