"""The simulated rig's trigger line: cameras in Sync expose on its ticks and report its clock,
cameras in Non Periodic make a frame per pulse, and the description's trigger keys."""
import ctypes
import glob
import json
import os
import threading
import time

import pytest

import pylentrasdk as lx
from pylentrasdk import sim

ISP = lx.LX_ISP_IMAGE_PROPERTIES
TRIGGER = ISP.ISP_IMAGE_TRIGGER_MODE
SYNC, PERIODIC, NON_PERIODIC = 1, 2, 3
SUCCESS, TIMEOUT = 0, -1
TICK = 1 / 30


def stereo(rate=None, jitter=None, devices=None):
    """The stereo sample rig, with the line's rate and jitter and the devices' trigger keys."""
    with open(sim.sample_path("stereo.json")) as f:
        rig = json.load(f)
    if rate is not None:
        rig["trigger"]["rate"] = rate
    if jitter is not None:
        rig["trigger"]["jitter"] = jitter
    for device, trigger in zip(rig["devices"], devices or []):
        device["trigger"] = trigger
    sim.load(rig)


def opened(*indices, mode=None, fmt="640x480:UYVY@30"):
    cameras = [lx.Camera(i) for i in indices]
    for cam in cameras:
        cam.format = fmt
        if mode is not None:
            cam.controls["trigger_mode"] = mode
    return cameras


def same_tick(a, b, tick=TICK):
    """A frame of each camera of one tick: read in turn, the one behind reading again (a late
    capture takes the latest tick)."""
    fa, fb = a.read(), b.read()
    while abs(fa.sensor_timestamp - fb.sensor_timestamp) > tick / 2:
        if fa.sensor_timestamp < fb.sensor_timestamp:
            fa = a.read()
        else:
            fb = b.read()
    return fa, fb


def _capture_function():
    folder = os.path.dirname(lx.pyLentraSDK.__file__)
    library = ctypes.CDLL(sorted(glob.glob(os.path.join(folder, "libLentraSDK.so*")))[0])
    library.lxsim_capture.restype = ctypes.c_int
    library.lxsim_capture.argtypes = [ctypes.c_int, ctypes.c_void_p,
                                      ctypes.POINTER(ctypes.c_int), ctypes.c_uint16]
    return library.lxsim_capture


# LxGetImage through ctypes, which lets go of the interpreter lock: a capture waits in one
# thread while another changes the camera.
_capture = _capture_function()


def capture_in_thread(index, timeout_ms):
    """Starts a capture of camera `index`; the returned function joins it and gives its result."""
    outcome = []

    def capture():
        data = (ctypes.c_uint8 * (640 * 480 * 2))()
        size = ctypes.c_int(len(data))
        outcome.append(_capture(index, data, ctypes.byref(size), timeout_ms))

    thread = threading.Thread(target=capture)
    thread.start()
    return lambda: (thread.join(), outcome[0])[1]


def wait_until_waiting(captures_before):
    """Until the capture started in a thread has called in, and a moment more for it to wait."""
    while sim.call_count("LxGetImage") == captures_before:
        time.sleep(0.001)
    time.sleep(0.05)


class TestSync:
    def test_cameras_expose_on_the_same_ticks_and_report_the_lines_clock(self):
        stereo()
        left, right = opened(0, 1, mode="Sync")
        with left, right:
            pairs = [same_tick(left, right) for _ in range(12)]
            stamps = [a.sensor_timestamp for a, _ in pairs]
            assert [b.sensor_timestamp for _, b in pairs] == stamps
            ticks = [(t - stamps[0]) / TICK for t in stamps]
            assert all(abs(t - round(t)) < 1e-3 for t in ticks), ticks  # on the line's ticks
            # One camera read on and on takes tick after tick.
            alone = [left.read().sensor_timestamp for _ in range(5)]
            assert all(abs(b - a - TICK) < 1e-4 for a, b in zip(alone, alone[1:])), alone
            # The line's clock counts from the rig's start, not from the streams' starts:
            # stopping and starting a stream goes on with it.
            left.stop()
            assert left.read().sensor_timestamp > alone[-1]

    def test_a_camera_slower_than_the_line_meets_it_on_every_nth_tick(self):
        stereo(rate=60)
        fast, slow = opened(0, 1, mode="Sync")
        fast.format = "640x480:UYVY@60"
        with fast, slow:
            for _ in range(6):  # every tick the slow camera takes, the fast one takes too
                fast_frame, slow_frame = same_tick(fast, slow, tick=1 / 60)
                assert fast_frame.sensor_timestamp == slow_frame.sensor_timestamp
            stamps = [slow.read().sensor_timestamp for _ in range(6)]
            assert all(abs(b - a - 2 / 60) < 1e-4 for a, b in zip(stamps, stamps[1:]))

    def test_a_capture_a_little_late_still_gets_every_tick_in_turn(self):
        stereo()
        (cam,) = opened(0, mode="Sync")
        with cam:
            first = cam.read()
            time.sleep(0.05)  # a tick and a half
            later = [cam.read() for _ in range(3)]
        assert [f.dropped for f in later] == [0, 0, 0]
        assert all(abs(f.sensor_timestamp - first.sensor_timestamp - (i + 1) * TICK) < 1e-4
                   for i, f in enumerate(later))

    def test_offsets_and_jitter_make_skew_within_their_bounds(self):
        stereo(jitter=0.002, devices=[{"offset": 0.005}, {"offset": 0.0, "jitter": 0}])
        late, exact = opened(0, 1, mode="Sync")
        with late, exact:
            skews = [a.sensor_timestamp - b.sensor_timestamp
                     for a, b in (same_tick(late, exact) for _ in range(15))]
        assert all(0.005 - 1e-5 <= s <= 0.007 + 1e-5 for s in skews), skews
        assert len({round(s, 6) for s in skews}) > 1  # the jitter changes tick by tick

    def test_a_reset_moves_one_cameras_zero_only(self):
        stereo()
        left, right = opened(0, 1, mode="Sync")
        with left, right:
            same_tick(left, right)
            assert lx.LxResetTimestamp(left.handle) == 0
            a, b = left.read(), right.read()
            assert 0 <= a.sensor_timestamp < 2 * TICK < b.sensor_timestamp

    def test_leaving_sync_while_streaming_the_timestamps_go_on(self):
        stereo()
        (cam,) = opened(0, mode="Sync")
        with cam:
            time.sleep(0.5)
            last = [cam.read().sensor_timestamp for _ in range(3)][-1]
            cam.controls["trigger_mode"] = "Periodic"
            # Not back to the time since the stream started, which the stream would take for a
            # stream restarted under it, refusing the frame.
            after = [cam.read().sensor_timestamp for _ in range(3)]
            assert last < after[0] < after[1] < after[2] < last + 0.2


class TestNonPeriodic:
    def test_one_frame_per_pulse_and_none_without(self):
        stereo()
        (cam,) = opened(0, mode="Non Periodic")
        with cam:
            sim.trigger()  # before the camera streams: no frame
            cam.start()
            with pytest.raises(lx.CaptureTimeoutError):
                cam.read(timeout=0.2)
            frames = []
            for _ in range(5):
                sim.trigger()
                frames.append(cam.read(timeout=0.1))
            numbers = [sim.read_frame_number(f.array, cam.format_record) for f in frames]
            assert numbers == [0, 1, 2, 3, 4]
            assert len({f.sensor_timestamp for f in frames}) == 5
            with pytest.raises(lx.CaptureTimeoutError):
                cam.read(timeout=0.1)
            # Two pulses with nobody capturing: the second's frame, the first counted as
            # made and not taken.
            sim.trigger()
            sim.trigger()
            frame = cam.read(timeout=0.1)
            assert frame.dropped == 1 and frame.number == 6

    def test_a_pulses_frame_is_kept_for_a_while_only(self):
        stereo()
        (cam,) = opened(0, mode="Non Periodic")
        with cam:
            cam.start()
            sim.trigger()
            time.sleep(0.4)
            # Gone: not handed over 0.4 s after its timestamp (which a reader would take for a
            # stream restarted under it); counted as made.
            with pytest.raises(lx.CaptureTimeoutError):
                cam.read(timeout=0.1)
            sim.trigger()
            frame = cam.read(timeout=0.1)
            assert (frame.number, frame.dropped) == (1, 1)

    def test_back_in_periodic_mode_the_camera_goes_on_from_now(self):
        stereo()
        (cam,) = opened(0, mode="Non Periodic")
        with cam:
            cam.start()
            sim.trigger()
            cam.read(timeout=0.1)
            time.sleep(0.3)  # ten frame periods with no pulse: no frame was made
            cam.controls["trigger_mode"] = "Periodic"
            frame = cam.read()
            assert (frame.number, frame.dropped) == (1, 0)

    def test_a_waiting_capture_sees_a_pulse_and_a_mode_change(self):
        stereo()
        cam = lx.LxInitialCameraDevice(0)
        assert lx.LxOpen(cam) == 0
        assert lx.LxSetISPImageProcessing(cam, TRIGGER, NON_PERIODIC) == 0
        assert lx.LxStartStreaming(cam) == 0
        sim.reset_call_counts()
        try:
            result = capture_in_thread(0, 3000)
            wait_until_waiting(0)
            sim.trigger()
            assert result() == SUCCESS  # at the pulse, not after 3 s with LX_TIMEOUT
            result = capture_in_thread(0, 3000)
            wait_until_waiting(1)
            assert lx.LxSetISPImageProcessing(cam, TRIGGER, PERIODIC) == 0
            assert result() == SUCCESS
        finally:
            lx.LxClose(cam)


@pytest.mark.parametrize("trigger, device, message", [
    ({"rate": 0.5}, None, "trigger.rate: must be 0 (the first Sync camera's rate) or ticks "
                          "per second from 1 to 1000"),
    ({"jitter": 0.2}, None, "trigger.jitter: must be a number of seconds from 0 to 0.1"),
    ({"jitter": -0.001}, None, "trigger.jitter: must be a number of seconds from 0 to 0.1"),
    (None, {"offset": 0.5}, "devices[0].trigger.offset: must be a number of seconds from 0 to 0.1"),
    (None, {"delay": 0.01}, "devices[0].trigger.delay: unknown key"),
])
def test_the_trigger_keys_are_checked(trigger, device, message):
    rig = {"devices": [{"interface": "MIPI_CSI2", "product_type": "KAVN"}]}
    if trigger is not None:
        rig["trigger"] = trigger
    if device is not None:
        rig["devices"][0]["trigger"] = device
    with pytest.raises(lx.errors.SimError) as refused:
        sim.load(rig)
    assert str(refused.value) == message


def test_a_camera_without_a_trigger_mode_takes_no_trigger_keys():
    with pytest.raises(lx.errors.SimError) as refused:
        sim.load({"devices": [{"interface": "USB", "trigger": {"offset": 0.001}}]})
    assert str(refused.value) == ("devices[0].trigger: only a camera with "
                                  "ISP_IMAGE_TRIGGER_MODE follows the trigger line")
    sim.load({"trigger": {"rate": 29.97, "jitter": 0.1},
              "devices": [{"interface": "MIPI_CSI2", "product_type": "KAVN",
                           "trigger": {"offset": 0.1}}]})
