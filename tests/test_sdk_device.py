"""The SDK's device functions against the simulated rig: opening, identity, formats, streaming
and capture (pacing, timeouts, buffer capacity, concurrent captures)."""
import ctypes
import glob
import os
import threading
import time

import pytest

import pylentrasdk as lx
from pylentrasdk import sim

F = lx.LX_IMAGE_FORMAT
INVALID_HANDLE, NOT_OPEN, BUSY, INVALID_ARGUMENT = -2, -3, -4, -5
NOT_SUPPORTED, NOT_STREAMING, STREAMING = -6, -7, -11
SUCCESS, TIMEOUT, OCCUPIED, OTHER_ERROR, CORRUPTED = 0, -1, -2, -3, -4

YUY2_64x48 = 64 * 48 * 2


def _library():
    folder = os.path.dirname(lx.pyLentraSDK.__file__)
    library = ctypes.CDLL(sorted(glob.glob(os.path.join(folder, "libLentraSDK.so*")))[0])
    library.lxsim_inject.restype = ctypes.c_int
    library.lxsim_inject.argtypes = [ctypes.c_char_p, ctypes.c_int, ctypes.c_char_p]
    library.lxsim_last_error.restype = ctypes.c_char_p
    library.lxsim_capture.restype = ctypes.c_int
    library.lxsim_capture.argtypes = [ctypes.c_int, ctypes.c_void_p, ctypes.POINTER(ctypes.c_int),
                                      ctypes.c_uint16]
    return library


# lxsim_capture is LxGetImage for the camera at an index, called through ctypes, which lets go
# of the interpreter lock: the only way to have two captures (or a capture and a stop) at once.
_lib = _library()


def capture(index, capacity, timeout_ms=3000, buffer=True, fill=0):
    """(result, size, bytes written) of one capture with a buffer of `capacity` bytes."""
    data = (ctypes.c_uint8 * max(capacity, 1))(*([fill] * max(capacity, 1)))
    size = ctypes.c_int(capacity)
    result = _lib.lxsim_capture(index, data if buffer else None, ctypes.byref(size), timeout_ms)
    return result, size.value, bytes(data)


def frame_number(data):
    return sim.read_frame_number(data[:YUY2_64x48], F.LX_IMAGE_FORMAT_YUY2, 64, 48)


def bench_rig(**camera):
    """One USB camera with small formats: 1 fps first (captures wait), then 10 and 30 fps."""
    device = {
        "name": "Bench",
        "formats": [
            {"width": 64, "height": 48, "framerate": 1, "format": "YUY2"},
            {"width": 64, "height": 48, "framerate": 10, "format": "YUY2"},
            {"width": 32, "height": 16, "framerate": 30, "format": "RGB"},
            {"width": 64, "height": 48, "framerate": 30, "format": "MJPG"},
        ],
    }
    device.update(camera)
    sim.load({"devices": [device]})
    cam = lx.LxInitialCameraDevice(0)
    assert lx.LxOpen(cam) == 0
    return cam


@pytest.fixture
def bench():
    """The bench camera, open and streaming its 1 fps format."""
    cam = bench_rig()
    assert lx.LxStartStreaming(cam) == 0
    return cam


def select(cam, position):
    status, formats = lx.LxGetFormatList(cam)
    assert status == 0 and lx.LxSetFormat(cam, formats[position]) == 0
    return formats[position]


def in_thread(function):
    """Starts `function` in a thread; returns (thread, results list)."""
    results = []
    thread = threading.Thread(target=lambda: results.append(function()), daemon=True)
    thread.start()
    return thread, results


def wait_until_called(name, before):
    """Waits until `name` has been entered more often than `before` (the other thread is in)."""
    while sim.call_count(name) <= before:
        time.sleep(0.005)


def default_camera(kind):
    index = {"kavl": 0, "kavn": 1, "webcam": 2}[kind]
    return lx.LxInitialCameraDevice(index), sim.default_description()["devices"][index]


class TestHandles:
    CAMERA_FUNCTIONS = [
        "LxOpen", "LxClose", "LxStartStreaming", "LxStopStreaming", "LxResetUVC",
        "LxGetDeviceName", "LxGetDevicePath", "LxGetDeviceInterfaceType", "LxGetDeviceProductType",
        "LxGetHardwareID", "LxGetUSBDeviceSpeed", "LxGetFormatList", "LxGetUSBFirmwareVersion",
        "LxGetKAVRFirmwareVersion", "LxGetSensorFirmwareVersion", "LxIsLentraCamera",
    ]

    @pytest.mark.parametrize("name", CAMERA_FUNCTIONS)
    def test_empty_handle_is_answered_not_dereferenced(self, name):
        answer = getattr(lx, name)(None)
        status = answer[0] if isinstance(answer, tuple) else answer
        assert status == INVALID_HANDLE

    def test_empty_handle_for_set_format_and_capture(self):
        cam = lx.LxInitialCameraDevice(0)
        assert lx.LxOpen(cam) == 0
        status, formats = lx.LxGetFormatList(cam)
        assert lx.LxSetFormat(None, formats[0]) == INVALID_HANDLE
        result, frame = lx.LxGetImage(None, 1000, formats[0])
        assert result == lx.LX_OTHER_ERROR and frame.size == 0

    @pytest.mark.parametrize("index", [-1, 3, 2 ** 31 - 1, -2 ** 31])
    def test_no_camera_beyond_the_rig(self, index):
        assert lx.LxInitialCameraDevice(index) is None

    def test_every_index_gives_the_same_device(self):
        assert lx.LxOpen(lx.LxInitialCameraDevice(1)) == 0
        assert lx.LxOpen(lx.LxInitialCameraDevice(1)) == BUSY
        assert lx.LxClose(lx.LxInitialCameraDevice(1)) == 0


class TestOpenAndIdentity:
    def test_open_close_cycle(self):
        cam = lx.LxInitialCameraDevice(0)
        assert lx.LxClose(cam) == NOT_OPEN
        assert lx.LxOpen(cam) == 0
        assert lx.LxOpen(cam) == BUSY
        assert lx.LxClose(cam) == 0
        assert lx.LxClose(cam) == NOT_OPEN
        assert lx.LxOpen(cam) == 0

    @pytest.mark.parametrize("kind", ["kavl", "kavn", "webcam"])
    def test_identity_on_a_closed_camera(self, kind):
        cam, described = default_camera(kind)
        assert lx.LxGetDeviceName(cam) == (0, described["name"])
        assert lx.LxGetDevicePath(cam) == (0, described["path"])
        assert lx.LxGetHardwareID(cam) == (0, described["hardware_id"])
        assert lx.LxGetDeviceInterfaceType(cam)[0] == 0
        assert lx.LxGetDeviceProductType(cam)[0] == 0
        assert lx.LxIsLentraCamera(cam) == (0 if described["lentra"] else 1)

    @pytest.mark.parametrize("name", [
        "LxGetFormatList", "LxStartStreaming", "LxStopStreaming", "LxResetUVC",
        "LxGetUSBFirmwareVersion", "LxGetSensorFirmwareVersion",
    ])
    def test_everything_else_needs_open(self, name):
        answer = getattr(lx, name)(lx.LxInitialCameraDevice(0))
        assert (answer[0] if isinstance(answer, tuple) else answer) == NOT_OPEN

    def test_usb_speeds(self):
        assert lx.LxGetUSBDeviceSpeed(default_camera("kavl")[0]) == (0, lx.USB_DEVICE_SPEED_SUPER)
        assert lx.LxGetUSBDeviceSpeed(default_camera("webcam")[0]) == (0, lx.USB_DEVICE_SPEED_HIGH)
        assert lx.LxGetUSBDeviceSpeed(default_camera("kavn")[0])[0] == NOT_SUPPORTED


class TestFirmwareAndSupport:
    FIRMWARE = {"usb": "LxGetUSBFirmwareVersion", "kavr": "LxGetKAVRFirmwareVersion",
                "sensor": "LxGetSensorFirmwareVersion"}

    @pytest.mark.parametrize("kind", ["kavl", "kavn", "webcam"])
    def test_each_camera_answers_only_the_firmware_it_has(self, kind):
        cam, described = default_camera(kind)
        assert lx.LxOpen(cam) == 0
        has = described.get("firmware", {})
        for key, name in self.FIRMWARE.items():
            expected = (0, has[key]) if key in has else (NOT_SUPPORTED, "")
            assert getattr(lx, name)(cam) == expected, name

    def test_reset_uvc_is_for_usb_cameras(self):
        cam, _ = default_camera("kavn")
        assert lx.LxOpen(cam) == 0
        assert lx.LxResetUVC(cam) == NOT_SUPPORTED


class TestSetFormat:
    def test_every_listed_format_with_frames_is_accepted(self):
        cam, _ = default_camera("kavl")
        assert lx.LxOpen(cam) == 0
        status, formats = lx.LxGetFormatList(cam)
        for f in formats:
            expected = INVALID_ARGUMENT if f.format == F.LX_IMAGE_FORMAT_NONE else 0
            assert lx.LxSetFormat(cam, f) == expected

    def test_records_that_are_not_the_cameras_are_refused(self):
        kavl, _ = default_camera("kavl")
        kavn, _ = default_camera("kavn")
        assert lx.LxOpen(kavl) == 0 and lx.LxOpen(kavn) == 0
        foreign = lx.LxGetFormatList(kavn)[1]
        assert lx.LxSetFormat(kavl, foreign[0]) == INVALID_ARGUMENT  # same index, other format
        assert lx.LxSetFormat(kavl, foreign[-1]) == INVALID_ARGUMENT
        sim.inject("LxGetFormatList", value=[
            {"width": 640, "height": 480, "framerate": 30, "format": "MJPG", "index": 999}])
        beyond = lx.LxGetFormatList(kavl)[1][0]
        assert lx.LxSetFormat(kavl, beyond) == INVALID_ARGUMENT

    def test_not_while_streaming(self, bench):
        formats = lx.LxGetFormatList(bench)[1]
        assert lx.LxSetFormat(bench, formats[1]) == STREAMING
        assert lx.LxStopStreaming(bench) == 0
        assert lx.LxSetFormat(bench, formats[1]) == 0

    def test_each_opening_starts_from_the_first_format_with_frames(self):
        cam = bench_rig(formats=[
            {"format": "NONE"},
            {"width": 64, "height": 48, "framerate": 30, "format": "YUY2"},
            {"width": 32, "height": 16, "framerate": 30, "format": "RGB"},
        ])
        sim.set_pacing("free-run")
        assert lx.LxStartStreaming(cam) == 0
        assert capture(0, 10000)[1] == YUY2_64x48
        assert lx.LxStopStreaming(cam) == 0
        select(cam, 2)
        assert lx.LxStartStreaming(cam) == 0
        assert capture(0, 10000)[1] == 32 * 16 * 3
        assert lx.LxClose(cam) == 0 and lx.LxOpen(cam) == 0
        assert lx.LxStartStreaming(cam) == 0
        assert capture(0, 10000)[1] == YUY2_64x48


class TestStreaming:
    def test_states(self):
        cam = bench_rig()
        assert lx.LxStopStreaming(cam) == NOT_STREAMING
        assert lx.LxStartStreaming(cam) == 0
        assert lx.LxStartStreaming(cam) == 0
        assert lx.LxStopStreaming(cam) == 0
        assert lx.LxStopStreaming(cam) == NOT_STREAMING

    def test_reset_uvc_stops_the_stream_and_keeps_the_camera_open(self, bench):
        assert lx.LxResetUVC(bench) == 0
        assert lx.LxStopStreaming(bench) == NOT_STREAMING
        assert lx.LxGetFormatList(bench)[0] == 0

    def test_close_stops_the_stream(self, bench):
        assert lx.LxClose(bench) == 0 and lx.LxOpen(bench) == 0
        assert capture(0, YUY2_64x48)[0] == OTHER_ERROR
        assert lx.LxStopStreaming(bench) == NOT_STREAMING

    def test_a_camera_without_frame_formats_cannot_stream(self):
        cam = bench_rig(formats=[{"format": "NONE"}])
        assert lx.LxStartStreaming(cam) == NOT_SUPPORTED

    def test_each_stream_numbers_its_frames_from_zero(self, bench):
        sim.set_pacing("free-run")
        numbers = [frame_number(capture(0, YUY2_64x48)[2]) for _ in range(4)]
        assert numbers == [0, 1, 2, 3]
        assert lx.LxStopStreaming(bench) == 0 and lx.LxStartStreaming(bench) == 0
        assert frame_number(capture(0, YUY2_64x48)[2]) == 0


class TestCaptureFailures:
    def test_refused_at_once_when_not_streaming(self):
        bench_rig()  # open, not streaming
        thread, results = in_thread(lambda: capture(0, YUY2_64x48, timeout_ms=65535))
        thread.join(30)  # a capture that waited for its timeout would still be running
        assert not thread.is_alive() and results[0][0] == OTHER_ERROR

    def test_arguments_that_cannot_capture(self, bench):
        assert capture(5, YUY2_64x48)[0] == OTHER_ERROR  # no camera: an empty handle
        assert capture(0, YUY2_64x48, buffer=False)[0] == OTHER_ERROR
        assert capture(0, -1)[0] == OTHER_ERROR
        assert lx.LxClose(bench) == 0
        assert capture(0, YUY2_64x48)[0] == OTHER_ERROR

    def test_a_frame_larger_than_the_buffer_is_not_written(self, bench):
        result, size, data = capture(0, YUY2_64x48 - 1, fill=0xAB)
        assert (result, size) == (CORRUPTED, 0)
        assert set(data) == {0xAB}

    def test_jpeg_larger_than_the_buffer_is_not_written(self, bench):
        assert lx.LxStopStreaming(bench) == 0
        select(bench, 3)
        assert lx.LxStartStreaming(bench) == 0
        result, size, data = capture(0, 100, fill=0xAB)
        assert (result, size) == (CORRUPTED, 0) and set(data) == {0xAB}

    def test_zero_size_means_capacity_unknown(self, bench):
        sim.set_pacing("free-run")
        data = (ctypes.c_uint8 * YUY2_64x48)()
        size = ctypes.c_int(0)
        assert _lib.lxsim_capture(0, data, ctypes.byref(size), 1000) == SUCCESS
        assert size.value == YUY2_64x48
        assert frame_number(bytes(data)) == 0

    def test_exact_capacity_is_enough(self, bench):
        result, size, data = capture(0, YUY2_64x48)
        assert (result, size) == (SUCCESS, YUY2_64x48)


class TestPacing:
    def test_timeout_when_the_next_frame_is_later(self, bench):
        assert capture(0, YUY2_64x48)[0] == SUCCESS  # frame 0 is due at the start
        assert capture(0, YUY2_64x48, timeout_ms=0)[0] == TIMEOUT
        assert capture(0, YUY2_64x48, timeout_ms=50)[0] == TIMEOUT
        result, size, data = capture(0, YUY2_64x48, timeout_ms=3000)
        assert result == SUCCESS and frame_number(data) == 1

    def test_max_fps_caps_the_format_rate(self):
        cam = bench_rig(max_fps=1)
        select(cam, 2)  # 30 fps, capped to 1
        assert lx.LxStartStreaming(cam) == 0
        assert capture(0, 10000)[0] == SUCCESS
        assert capture(0, 10000, timeout_ms=100)[0] == TIMEOUT

    def test_a_late_caller_gets_the_current_frame(self, bench):
        assert lx.LxStopStreaming(bench) == 0
        select(bench, 1)  # 10 fps
        assert lx.LxStartStreaming(bench) == 0
        assert frame_number(capture(0, YUY2_64x48)[2]) == 0
        time.sleep(0.35)  # at least three frame periods go by
        result, size, data = capture(0, YUY2_64x48)
        assert result == SUCCESS and frame_number(data) >= 3

    def test_free_run_numbers_are_consecutive(self, bench):
        sim.set_pacing("free-run")
        assert [frame_number(capture(0, YUY2_64x48)[2]) for _ in range(5)] == [0, 1, 2, 3, 4]


class TestConcurrentCaptures:
    def test_one_capture_at_a_time(self, bench):
        assert capture(0, YUY2_64x48)[0] == SUCCESS
        before = sim.call_count("LxGetImage")
        thread, results = in_thread(lambda: capture(0, YUY2_64x48, timeout_ms=5000))
        wait_until_called("LxGetImage", before)
        time.sleep(0.05)
        second = capture(0, YUY2_64x48, timeout_ms=5000)
        thread.join(30)
        # Whichever came first waits for frame 1; the other finds the camera occupied.
        assert sorted([results[0][0], second[0]]) == sorted([SUCCESS, OCCUPIED])

    @pytest.mark.parametrize("interrupt", [
        lambda cam: lx.LxStopStreaming(cam),
        lambda cam: lx.LxClose(cam),
        lambda cam: lx.LxResetUVC(cam),
        lambda cam: sim.load({"devices": []}),
    ], ids=["stop", "close", "reset-uvc", "replace-rig"])
    def test_ending_the_stream_ends_a_wait(self, bench, interrupt):
        # The waiting capture must be woken by the end of the stream, not find it ended when
        # it wakes for the next frame slot, a second after the stream started.
        assert lx.LxStopStreaming(bench) == 0
        next_slot = time.monotonic() + 1.0  # the stream starts after this
        assert lx.LxStartStreaming(bench) == 0
        assert capture(0, YUY2_64x48)[0] == SUCCESS
        before = sim.call_count("LxGetImage")
        thread, results = in_thread(lambda: capture(0, YUY2_64x48, timeout_ms=30000))
        wait_until_called("LxGetImage", before)
        time.sleep(0.05)
        interrupt(bench)
        thread.join(max(0.0, next_slot - time.monotonic() - 0.1))
        woken = not thread.is_alive()
        thread.join(20)
        assert woken, "the wait went on until the next frame slot"
        assert results[0][0] == OTHER_ERROR

    def test_other_calls_go_on_during_a_wait(self, bench):
        assert capture(0, YUY2_64x48)[0] == SUCCESS
        before = sim.call_count("LxGetImage")
        thread, results = in_thread(lambda: capture(0, YUY2_64x48, timeout_ms=5000))
        wait_until_called("LxGetImage", before)
        time.sleep(0.05)
        assert lx.LxGetDeviceName(bench) == (0, "Bench")
        assert lx.LxGetFormatList(bench)[0] == 0
        # Had these calls waited for the camera's lock, the capture would be over by now.
        assert thread.is_alive()
        thread.join(30)
        assert results[0][0] == SUCCESS

    def test_other_calls_go_on_while_a_frame_is_made(self):
        # Making a 4K JPEG takes tens of milliseconds. A capture holds the camera's lock only to
        # take its frame slot and settings, so a control call made while the frame is being made
        # answers at once; held through the making, the lock would keep the call waiting for
        # the rest of the frame. The median of five rounds rules out a stall of the machine.
        cam = bench_rig(formats=[{"width": 3840, "height": 2160, "framerate": 30, "format": "MJPG"}])
        assert lx.LxStartStreaming(cam) == 0
        sim.set_pacing("free-run")
        data = (ctypes.c_uint8 * (3840 * 2160 * 3))()
        brightness = lx.LX_ISP_IMAGE_PROPERTIES.ISP_IMAGE_BRIGHTNESS
        waits, captures = [], []
        for _ in range(5):
            before = sim.call_count("LxGetImage")
            size = ctypes.c_int(len(data))
            began = time.monotonic()
            thread, results = in_thread(
                lambda size=size: _lib.lxsim_capture(0, data, ctypes.byref(size), 3000))
            wait_until_called("LxGetImage", before)
            time.sleep(0.002)  # into the making of the frame
            start = time.monotonic()
            assert lx.LxGetISPImageProcessing(cam, brightness)[0] == 0
            waits.append(time.monotonic() - start)
            thread.join(30)
            captures.append(time.monotonic() - began)
            assert results == [SUCCESS]
        waits.sort()
        captures.sort()
        assert captures[2] > 0.01, "the frames were made too fast to tell"
        assert waits[2] < min(0.01, captures[2] / 4), (waits, captures)

class TestInjectedAnswers:
    def test_faults_queue_in_order_then_the_real_answer_returns(self):
        cam = lx.LxInitialCameraDevice(0)
        sim.inject("LxOpen", status=-8, count=2)
        sim.inject("LxOpen", status=-9)
        assert [lx.LxOpen(cam) for _ in range(4)] == [-8, -8, -9, 0]

    def test_a_fault_answers_before_the_handle_is_looked_at(self):
        sim.inject("LxGetDeviceName", text="Ghost")
        assert lx.LxGetDeviceName(None) == (0, "Ghost")

    def test_outputs_the_fault_leaves_out_are_untouched(self):
        sim.inject("LxGetDeviceName", status=-1)
        assert lx.LxGetDeviceName(lx.LxInitialCameraDevice(0)) == (-1, "")

    def test_values_that_are_no_member(self):
        sim.inject("LxGetDeviceInterfaceType", value=7)
        status, kind = lx.LxGetDeviceInterfaceType(lx.LxInitialCameraDevice(0))
        assert status == 0 and int(kind) == 7

    def test_names_and_formats_replace_the_lists(self):
        sim.inject("LxDiscoverCameraDevices", value=["A", "B"], status=-1)
        status, names = lx.LxDiscoverCameraDevices()
        assert status == -1 and list(names) == ["A", "B"]
        sim.inject("LxGetFormatList", value=[])
        assert lx.LxGetFormatList(None) == (0, [])

    def test_capture_reports_the_given_size_and_writes_nothing(self, bench):
        fmt = lx.LxGetFormatList(bench)[1][0]
        sim.inject("LxGetImage", result=int(lx.LX_SUCCESS), size=16)
        result, frame = lx.LxGetImage(bench, 1000, fmt)
        assert result == lx.LX_SUCCESS and frame.tolist() == [0] * 16
        sim.inject("LxGetImage", result=int(lx.LX_TIMEOUT))
        result, frame = lx.LxGetImage(bench, 1000, fmt)
        assert result == lx.LX_TIMEOUT and frame.size == 0

    @pytest.mark.parametrize("function, count, fault, message", [
        ("LxOpen", 1, '{"throw": "x"}', "throw: LxOpen does not throw; only the route functions do"),
        ("LxOpen", 1, '{"statu": 1}', "statu: unknown key"),
        ("LxOpen", 1, '{"status": "bad"}', "status: must be an integer from -2147483648 to 2147483647"),
        ("LxOpen", 1, '{"status": ', "not valid JSON: "),
        ("LxOpen", 0, '{}', "count: must be at least 1"),
        ("LxGetFormatList", 1, '{"value": [{"widht": 5}]}', "value[0].widht: is not a field of any record"),
        ("LxGetFormatList", 1, '{"value": [1, "a"]}',
         "value: a list must hold only numbers, only texts or only objects"),
        ("LxNoSuchFunction", 1, '{}', 'no SDK function is named "LxNoSuchFunction"'),
    ])
    def test_malformed_faults_are_refused(self, function, count, fault, message):
        assert _lib.lxsim_inject(function.encode(), count, fault.encode()) == INVALID_ARGUMENT
        assert _lib.lxsim_last_error().decode().startswith(message)
        assert lx.LxOpen(lx.LxInitialCameraDevice(0)) == 0  # nothing was queued


class TestLibrary:
    def run(self, code, tmp_path):
        import subprocess
        import sys
        done = subprocess.run([sys.executable, "-c", code], cwd=str(tmp_path), timeout=120,
                              capture_output=True, text=True)
        assert done.returncode == 0, done.stderr
        return done

    def test_greeting(self, tmp_path):
        done = self.run("import pylentrasdk as lx; lx.HelloLentraSDK()", tmp_path)
        assert done.stdout == "Hello LentraSDK 1.0.0\n"

    def test_log_file_and_level(self, tmp_path):
        log = tmp_path / "sdk.log"
        log.write_text("kept\n")
        code = (
            "import pylentrasdk as lx\n"
            "cam = lx.LxInitialCameraDevice(0)\n"
            "assert lx.LxClose(cam) == -3\n"                      # logged at debug: not shown
            "assert lx.LxSetLogFile({log!r}) == 0\n"
            "assert lx.LxClose(cam) == -3\n"                      # still below the level
            "lx.LxSetLogLevel(lx.LX_LOG_LEVEL.LX_LOG_LEVEL_DEBUG)\n"
            "assert lx.LxOpen(cam) == 0 and lx.LxOpen(cam) == -4\n"
            "assert lx.LxSetLogFile({bad!r}) == -8\n"
        ).format(log=str(log), bad=str(log / "x.log"))  # under a file: no folder can be made
        done = self.run(code, tmp_path)
        assert done.stderr == ""  # ordinary failures stay off the screen
        lines = log.read_text().splitlines()
        assert lines[0] == "kept"  # the log appends
        assert len(lines) == 3
        assert "LxOpen" in lines[1] and "LX_STATUS_BUSY" in lines[1]
        assert "LxSetLogFile" in lines[2] and "LX_STATUS_IO_ERROR" in lines[2]  # log stayed put

    @pytest.mark.parametrize("target, status", [
        ("logs/target.log\0.evil", INVALID_ARGUMENT),  # the OS would open logs/target.log
        ("", INVALID_ARGUMENT),
        ("missing/sdk.log", -8),  # a missing folder is not made
        ("folder", -8),
        ("fifo", -8),  # opening it would wait for a reader for good
    ], ids=["nul", "empty", "missing-folder", "folder", "fifo"])
    def test_refused_log_files(self, tmp_path, target, status):
        (tmp_path / "logs").mkdir()
        (tmp_path / "folder").mkdir()
        os.mkfifo(str(tmp_path / "fifo"))
        code = (
            "import pylentrasdk as lx\n"
            "lx.LxSetLogLevel(lx.LX_LOG_LEVEL.LX_LOG_LEVEL_DEBUG)\n"
            "assert lx.LxSetLogFile('kept.log') == 0\n"
            "assert lx.LxSetLogFile({target!r}) == {status}\n"
        ).format(target=target, status=status)
        self.run(code, tmp_path)
        assert sorted(os.listdir(str(tmp_path))) == ["fifo", "folder", "kept.log", "logs"]
        assert os.listdir(str(tmp_path / "logs")) == []
        assert "LxSetLogFile" in (tmp_path / "kept.log").read_text()  # the log stayed put
