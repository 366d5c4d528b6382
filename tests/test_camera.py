"""The object-style camera layer (pylentrasdk.Camera) against the default simulated rig: picking
and opening cameras, formats, named controls, frames, threads, the IMU, settings files, and the
exceptions each bad input raises while leaving the camera as it was."""
import gc
import os
import threading
import time
import warnings

import pytest

import pylentrasdk as lx
from pylentrasdk import sim
from pylentrasdk.stream import FrameStream, StreamError

KAVL, KAVN, WEBCAM = 0, 1, 2


@pytest.fixture
def cam():
    with lx.Camera(KAVL) as camera:
        yield camera


# ---------------------------------------------------------------------------------------------
# Picking, opening, closing
# ---------------------------------------------------------------------------------------------
def test_cameras_are_picked_by_index_or_a_unique_part_of_their_name_and_nothing_is_opened():
    listed = lx.cameras()
    assert [(c.index, c.interface, c.product) for c in listed] == [
        (0, "USB", "KAVL"), (1, "MIPI_CSI2", "KAVN"), (2, "USB", "GENERIC_CAMERA")]
    for index in range(3):  # discovery opened none of them
        handle = lx.LxInitialCameraDevice(index)
        assert lx.LxOpen(handle) == 0
        lx.LxClose(handle)
    with lx.Camera("kavn") as by_name, lx.Camera(2) as by_index:
        assert (by_name.index, by_name.name) == (1, listed[1].name)
        assert by_index.name == "USB 2.0 HD Webcam"
        assert repr(by_name) == "<Camera 1 'KAVN AR0234 MIPI Camera' open>"


@pytest.mark.parametrize("picked, text", [
    (3, "no camera 3; the cameras are: 0 'KAVL"),
    (-1, "no camera -1"),
    ("Nikon", "no camera's name holds 'Nikon'"),
    ("USB", "'USB' is in the names of 2 cameras: 0 'KAVL AR0822 USB Camera', 2 'USB 2.0 HD"),
    ("", "an empty name picks no camera"),
])
def test_an_index_or_name_that_picks_no_single_camera_is_refused(picked, text):
    with pytest.raises(lx.CameraNotFoundError) as raised:
        lx.Camera(picked)
    assert text in str(raised.value)
    with pytest.raises(TypeError):
        lx.Camera(1.0)


def test_a_camera_open_elsewhere_is_busy_and_the_message_names_camera_call_and_status():
    handle = lx.LxInitialCameraDevice(KAVN)
    lx.LxOpen(handle)
    try:
        with pytest.raises(lx.CameraBusyError) as raised:
            lx.Camera(KAVN)
    finally:
        lx.LxClose(handle)
    error = raised.value
    assert (error.function, error.status, error.status_name) == ("LxOpen", -4, "LX_STATUS_BUSY")
    assert str(error).startswith("KAVN AR0234 MIPI Camera: LxOpen failed: LX_STATUS_BUSY (-4)")


def test_closing_stops_the_stream_closing_twice_does_nothing_and_a_closed_camera_says_so():
    camera = lx.Camera(KAVL)
    stream = camera.stream()
    camera.close()
    assert stream.closed and camera.closed
    camera.close()
    for use in (lambda: camera.controls, lambda: camera.formats, camera.capture,
                lambda: setattr(camera, "format", "640x480:YUY2")):
        with pytest.raises(lx.CameraClosedError, match="KAVL AR0822 USB Camera: the camera is "
                                                       "closed"):
            use()
    camera.open()
    assert camera.controls["brightness"] == 128
    camera.close()


def test_a_camera_dropped_open_is_closed_when_collected_with_a_resource_warning():
    camera = lx.Camera(KAVL)
    with pytest.warns(ResourceWarning, match="unclosed camera <Camera 0"):
        del camera
        gc.collect()
    # A stream keeps its camera while it is in use.
    stream = lx.Camera(KAVL).stream()
    gc.collect()
    assert stream.read().array.size > 0 and not stream.camera.closed
    with pytest.warns(ResourceWarning, match="unclosed camera <Camera 0"):
        del stream
        gc.collect()
    handle = lx.LxInitialCameraDevice(KAVL)
    assert lx.LxOpen(handle) == 0  # it was closed
    lx.LxClose(handle)


# ---------------------------------------------------------------------------------------------
# Formats
# ---------------------------------------------------------------------------------------------
def test_format_texts_parse_print_and_equal_the_records_they_name(cam):
    fmt = lx.Format.parse(" 1280x720:yuy2@30 ")
    assert (fmt.width, fmt.height, fmt.fourcc, fmt.fps) == (1280, 720, "YUY2", 30)
    assert (str(fmt), repr(fmt)) == ("1280x720:YUY2@30", "Format(1280x720 YUY2 @30)")
    assert lx.Format.parse(str(fmt)) == fmt and hash(lx.Format.parse(str(fmt))) == hash(fmt)
    record = next(r for r in lx.LxGetFormatList(cam.handle)[1] if fmt == r)
    assert fmt == record and record == fmt and fmt == "1280x720:YUY2@30"
    anyrate = lx.Format.parse("1280x720:YUY2")
    assert anyrate != record and anyrate.matches(record) and not fmt.matches("1280x720:YUY2@15")
    for text in ("1280x720", "1280x720:YUY2@", "x720:YUY2", "1280x720:ABCD", "0x720:YUY2",
                 "70000x720:YUY2", "1280x720:YUY2@0"):
        with pytest.raises(ValueError):
            lx.Format.parse(text)


def test_the_format_is_chosen_by_text_format_or_record_and_a_missing_one_changes_nothing(cam):
    assert cam.formats[:2] == ["640x480:MJPG@30", "1280x720:MJPG@30"]
    assert cam.format == "640x480:MJPG@30"  # the camera starts in its first format
    cam.format = "1920x1080:NV12"
    assert cam.format == lx.Format(1920, 1080, "NV12", 30)
    record = lx.LxGetFormatList(cam.handle)[1][6]
    cam.format = record
    assert cam.format == record
    for wrong, error in (("640x480:BGRA", lx.ControlValueError), ("640x480:YUY2@60",
                         lx.ControlValueError), ("garbage", lx.ControlValueError), (7, TypeError)):
        with pytest.raises(error):
            cam.format = wrong
        assert cam.format == record
    assert cam.capture().array.shape == (720, 1280, 2)
    with cam.stream() as frames:
        cam.format = "1280x720:YUY2"  # the one it streams in: nothing to change
        # Another one: the stream goes on in it, frames numbered from the new start.
        cam.format = "640x480:YUY2"
        frame = next(frames)
        assert frame.array.shape == (480, 640, 2) and cam.format == "640x480:YUY2@30"
        assert sim.read_frame_number(frame.array, lx.LX_IMAGE_FORMAT.LX_IMAGE_FORMAT_YUY2,
                                     640, 480) == frame.number


# ---------------------------------------------------------------------------------------------
# Controls
# ---------------------------------------------------------------------------------------------
def test_each_camera_offers_the_controls_it_has_uvc_ones_where_it_has_no_isp_twin():
    with lx.Camera(KAVL) as kavl, lx.Camera(KAVN) as kavn, lx.Camera(WEBCAM) as webcam:
        kavl_names, kavn_names = list(kavl.controls), list(kavn.controls)
        assert kavl_names[:3] == ["brightness", "contrast", "saturation"]
        assert kavl_names[21:24] == ["throughput", "max_fps", "ehdr_mode"]
        assert "flash_mode" in kavl_names and "trigger_mode" not in kavl_names
        assert "trigger_mode" in kavn_names and "ehdr_mode" not in kavn_names
        assert len(set(kavl_names)) == len(kavl_names)  # no UVC view listed twice
        assert list(webcam.controls) == [
            "brightness", "contrast", "hue", "saturation", "sharpness", "gamma",
            "white_balance_temperature", "backlight", "exposure_gain", "exposure_time"]
        webcam.controls["Brightness"] = -20
        assert webcam.controls["brightness"] == -20
        assert lx.LxGetUVCImageProcessing(webcam.handle, lx.UVC_IMAGE_BRIGHTNESS)[1] == -20
        assert webcam.controls.info("brightness")[1:6] == (-64, 64, 1, 0, False)
    # A reading that fails otherwise than "not supported" is named, not taken for a lack.
    sim.inject("LxGetUVCImageProcessingRange", status=lx.LxStatus.LX_STATUS_IO_ERROR)
    with lx.Camera(WEBCAM) as webcam:
        with pytest.raises(lx.LentraError, match="LxGetUVCImageProcessingRange failed: "
                                                 "LX_STATUS_IO_ERROR"):
            list(webcam.controls)
        assert "brightness" in webcam.controls  # the next look finds it


def test_controls_are_read_and_set_by_name_value_or_label(cam):
    controls = cam.controls
    controls["brightness"] = 200
    assert controls["brightness"] == 200
    assert lx.LxGetISPImageProcessing(cam.handle, lx.ISP_IMAGE_BRIGHTNESS)[1] == 200
    info = controls.info("flip_mode")
    assert info.labels == {0: "Normal", 1: "H-Mirror", 2: "V-Mirror", 3: "Rotate-180"}
    controls["flip_mode"] = "v-mirror"
    assert controls["flip_mode"] == 2
    controls["max_fps"] = 15
    assert lx.LxGetMaxFPS(cam.handle) == (0, 15)
    assert controls.info("throughput")[1:6] == (10, 1000, 1, None, False)
    assert controls.info("exposure_min_time").read_only


@pytest.mark.parametrize("name, value, error, text", [
    ("brightness", 256, lx.ControlValueError, "brightness: 256 is out of range: 0 to 255"),
    ("throughput", 5, lx.ControlValueError, "throughput: 5 is out of range: 10 to 1000"),
    ("exposure_min_time", 5, lx.ControlValueError, "exposure_min_time is read-only"),
    ("flip_mode", "Sideways", lx.ControlValueError, "'Sideways' is none of its choices"),
    ("brightness", "bright", TypeError, "takes a whole number, not 'bright'"),
    ("brightness", 12.0, TypeError, "takes a whole number, not 12.0"),
    ("brightness", True, TypeError, "not a bool"),
    ("loudness", 3, KeyError, "no control 'loudness'; it has brightness, contrast"),
])
def test_a_bad_name_or_value_raises_its_exception_and_changes_nothing(cam, name, value, error,
                                                                      text):
    before = dict(cam.controls)
    with pytest.raises(error) as raised:
        cam.controls.update({"contrast": 10, name: value})
    assert isinstance(raised.value, lx.ControlValueError)
    assert str(raised.value).startswith("KAVL AR0822 USB Camera: ") and text in str(raised.value)
    assert dict(cam.controls) == before
    assert cam.controls.get("loudness") is None and "loudness" not in cam.controls


def test_a_write_the_camera_refuses_puts_back_what_was_written_before_it(cam):
    sim.inject("LxSetMaxFPS", status=lx.LxStatus.LX_STATUS_BUSY)
    with pytest.raises(lx.CameraBusyError) as raised:
        cam.controls.update(brightness=10, max_fps=20)
    assert raised.value.function == "LxSetMaxFPS" and "max_fps=20" in str(raised.value)
    assert (cam.controls["brightness"], cam.controls["max_fps"]) == (128, 60)


# ---------------------------------------------------------------------------------------------
# Frames, errors and threads
# ---------------------------------------------------------------------------------------------
def test_capture_gives_a_frame_and_a_time_out_is_a_timeout_error_naming_the_camera(cam):
    cam.format = "640x480:UYVY"
    frame = cam.capture(timeout=3.0)
    assert frame.array.shape == (480, 640, 2) and frame.number == 0
    sim.inject("LxGetImage", result=lx.LX_TIMEOUT, count=10 ** 8)
    with pytest.raises(lx.CaptureTimeoutError) as raised:
        cam.capture(timeout=0.2)
    error = raised.value
    assert isinstance(error, TimeoutError) and isinstance(error, lx.LentraError)
    assert (error.function, error.status_name) == ("LxGetImage", "LX_TIMEOUT")
    assert str(error).startswith("KAVL AR0822 USB Camera: LxGetImage failed: LX_TIMEOUT (-1)")
    sim.clear_faults()
    with cam.stream() as frames:
        first = next(frames)
        assert cam.capture().number > first.number  # the same running stream


def test_the_stream_modules_exceptions_are_lentra_errors_and_name_the_camera(cam):
    from pylentrasdk import stream

    for name in ("StreamError", "CaptureTimeoutError", "StreamClosedError", "PoolExhaustedError"):
        assert issubclass(getattr(stream, name), lx.LentraError)
    assert issubclass(StreamError, RuntimeError)
    # Streaming started behind the camera object's back: its own stream cannot start.
    raw = FrameStream(cam.handle, lx.LxGetFormatList(cam.handle)[1][0])
    try:
        with pytest.raises(lx.LentraError) as raised:
            cam.stream()
    finally:
        raw.close()
    assert isinstance(raised.value, StreamError)
    assert str(raised.value).startswith("KAVL AR0822 USB Camera: LxSetFormat failed: ")
    assert raised.value.status_name == "LX_STATUS_STREAMING"


def test_a_control_set_is_not_held_up_by_a_frame_awaited_in_another_thread(cam):
    sim.set_pacing("realtime")
    cam.controls["max_fps"] = 2  # a frame every 500 ms
    cam.format = "640x480:YUY2"
    waits = []

    def set_controls():
        time.sleep(0.1)  # the reader is waiting for its frame by now
        for value in range(10, 20):
            started = time.monotonic()
            cam.controls["brightness"] = value
            waits.append(time.monotonic() - started)

    def capture_waiting():
        # A started stream's first frame comes at once; make the capture wait 0.6 s instead.
        sim.inject("LxGetImage", result=lx.LX_TIMEOUT, count=10 ** 8)
        with pytest.raises(lx.CaptureTimeoutError):
            cam.capture(timeout=0.6)
        sim.clear_faults()

    def read_second_frame():
        with cam.stream() as stream:
            stream.read()
            stream.read()  # 500 ms later

    for read in (capture_waiting, read_second_frame):
        waits.clear()
        setter = threading.Thread(target=set_controls)
        setter.start()
        read()
        setter.join()
        assert len(waits) == 10 and max(waits) < 0.1, waits


# ---------------------------------------------------------------------------------------------
# IMU
# ---------------------------------------------------------------------------------------------
def test_the_imu_reads_gravity_and_a_camera_without_one_says_so():
    with lx.Camera(KAVN) as kavn, lx.Camera(WEBCAM) as webcam:
        reading = kavn.imu.read()
        assert 9.0 < sum(v * v for v in reading.acceleration) ** 0.5 < 10.6
        assert repr(reading).startswith("ImuReading(acceleration=ImuVector(x=")
        assert 0 < kavn.imu.temperature < 80
        with pytest.raises(lx.NotSupportedError, match="USB 2.0 HD Webcam: the camera has no "
                                                        "IMU"):
            print(webcam.imu)


def test_an_imu_reading_carries_the_imus_time_and_the_hosts():
    with lx.Camera(KAVN) as kavn:
        before = time.monotonic()
        reading = kavn.imu.read()
        after = time.monotonic()
        later = kavn.imu.sensor_time
    assert reading[:3] == (reading.acceleration, reading.angular_rate, reading.temperature)
    assert before <= reading.host_time <= after
    # The IMU's clock counts from its start, when the camera opened.
    assert 0 < reading.sensor_time <= later <= reading.sensor_time + (after - before) + 0.1


# ---------------------------------------------------------------------------------------------
# A notebook's picture of a camera
# ---------------------------------------------------------------------------------------------
def test_a_notebook_shows_name_format_and_controls_escaped():
    description = sim.default_description()
    description["devices"][KAVN]["name"] = "KAVN <i>&</i>"
    sim.load(description)
    cam = lx.Camera(KAVN)
    cam.format = "640x480:BGR"
    page = cam._repr_html_()
    assert "<b>KAVN &lt;i&gt;&amp;&lt;/i&gt;</b> (camera 1): 640x480:BGR@30" in page
    assert "<i>" not in page
    assert page.count("<td>") == 4 * len(cam.controls)
    assert "<tr><td>flip_mode</td><td>0 (Normal)</td><td>0 to 3</td><td>0</td></tr>" in page
    cam.close()
    assert cam._repr_html_() == "<p><b>KAVN &lt;i&gt;&amp;&lt;/i&gt;</b> (camera 1): closed</p>"


# ---------------------------------------------------------------------------------------------
# Settings files
# ---------------------------------------------------------------------------------------------
def test_settings_saved_and_loaded_give_back_the_format_and_every_settable_control(cam, tmp_path):
    cam.format = "1280x720:NV12"
    cam.controls.update(brightness=77, flip_mode=3, max_fps=24, throughput=400)
    path = tmp_path / "cam.yaml"
    cam.settings.save(path)
    import yaml

    saved = yaml.safe_load(path.read_text())
    assert saved["format"] == "1280x720:NV12@30" and saved["controls"]["throughput"] == 400
    assert "exposure_min_time" not in saved["controls"]  # read-only
    cam.format = "640x480:MJPG"
    cam.controls.update(brightness=1, flip_mode=0, max_fps=60, throughput=1000)
    cam.settings.load(path)
    assert cam.format == "1280x720:NV12@30"
    assert {k: cam.controls[k] for k in ("brightness", "flip_mode", "max_fps", "throughput")} == \
        {"brightness": 77, "flip_mode": 3, "max_fps": 24, "throughput": 400}


@pytest.mark.parametrize("text, message", [
    ("", "the file is empty"),
    ("controls: [1, 2\n", "not YAML"),
    ("- brightness\n", "line 1: a mapping of names to values, not a list"),
    ("format: 640x480:YUY2\nlens: 50mm\n", "line 2: lens: unknown key"),
    ("controls:\n  brightness: 10\n  loudness: 3\n", "line 3: controls.loudness: the camera has "
                                                     "no such control"),
    ("controls:\n  brightness: 10\n  contrast: 999\n", "line 3: controls.contrast: 999 is out "
                                                       "of range: 0 to 255"),
    ("controls:\n  exposure_max_time: 10\n", "line 2: controls.exposure_max_time is read-only"),
    ("controls:\n  brightness: 10\n  brightness: 11\n", "line 3: controls.brightness is given "
                                                        "twice"),
    ("controls:\n  brightness: [10]\n", "line 2: controls.brightness: a single value"),
    ("format: 640x480:BGRA\ncontrols:\n  brightness: 10\n", "line 1: format: the camera has no "
                                                            "format 640x480:BGRA"),
    ("format: 1280\n", "line 1: format: a format such as 1280x720:YUY2@30, not 1280"),
    ("controls:\n  brightness: !!python/object:os.system echo\n", "could not determine a "
                                                                 "constructor"),
    # A good format with a bad control: the format is not set either.
    ("format: 1280x720:YUY2\ncontrols:\n  contrast: 999\n", "line 3: controls.contrast: 999"),
    # The same control twice in different case.
    ("controls:\n  brightness: 10\n  Brightness: 11\n", "line 3: controls.Brightness: "
                                                        "brightness is given twice"),
    # What Python refuses to build, or cannot nest so deep, is refused with its line.
    ("controls:\n  brightness: " + "9" * 5000 + "\n", "line 2: controls.brightness: "),
    ("controls:\n  brightness: " + "[" * 5000 + "]" * 5000 + "\n", "line 2: nested deeper"),
])
def test_a_settings_file_that_cannot_be_applied_whole_changes_nothing(cam, tmp_path, text,
                                                                      message):
    path = tmp_path / "bad.yaml"
    path.write_text(text)
    before, fmt = dict(cam.controls), cam.format
    calls = sim.call_count("LxSetISPImageProcessing"), sim.call_count("LxSetFormat")
    with pytest.raises(lx.ControlValueError) as raised:
        cam.settings.load(path)
    assert str(raised.value).startswith(str(path)) and message in str(raised.value)
    assert dict(cam.controls) == before and cam.format == fmt
    # Nothing was asked of the SDK: no write was tried and undone.
    assert (sim.call_count("LxSetISPImageProcessing"), sim.call_count("LxSetFormat")) == calls


def test_a_read_only_choice_control_refuses_its_labels_before_the_sdk_is_asked():
    rig = sim.default_description()
    rig["devices"][KAVL]["isp_controls"]["ISP_IMAGE_FLIP_MODE"]["read_only"] = True
    sim.load(rig)
    with lx.Camera(KAVL) as cam:
        attempts = (lambda: cam.controls.__setitem__("flip_mode", "H-Mirror"),
                    lambda: cam.controls.update(brightness=10, flip_mode="H-Mirror"),
                    lambda: cam.settings.apply_text("controls:\n  brightness: 10\n"
                                                    "  flip_mode: H-Mirror\n"))
        for attempt in attempts:
            with pytest.raises(lx.ControlValueError, match="flip_mode is read-only"):
                attempt()
        assert sim.call_count("LxSetISPImageProcessing") == 0
        assert cam.controls["brightness"] == 128


def test_warnings_stay_quiet_for_cameras_that_are_closed():
    with warnings.catch_warnings():
        warnings.simplefilter("error")
        with lx.Camera(KAVL):
            pass
        gc.collect()


@pytest.mark.parametrize("swapped", [False, True])
def test_a_settings_file_that_is_no_regular_file_or_too_large_is_refused_unread(
        cam, tmp_path, monkeypatch, swapped):
    fifo = tmp_path / "fifo.yaml"
    os.mkfifo(str(fifo))
    if swapped:
        # A FIFO put in place of a settings file after any look at the path and before the
        # open: whatever a look at the name says, the opened file is what counts.
        regular = os.stat(__file__)
        real_stat = os.stat
        monkeypatch.setattr(os, "stat", lambda path, *a, **k: regular if str(path) == str(fifo)
                            else real_stat(path, *a, **k))
    raised = []

    def load():
        try:
            cam.settings.load(fifo)  # opening it would wait for a writer for ever
        except lx.ControlValueError as error:
            raised.append(str(error))

    loader = threading.Thread(target=load, daemon=True)
    loader.start()
    loader.join(5)
    if loader.is_alive():
        with open(str(fifo), "wb"):  # lets the stuck open return, so the test can end
            pass
    assert raised and raised[0].endswith("fifo.yaml: not a regular file")
    large = tmp_path / "large.yaml"
    large.write_text("controls:\n" + "  # padding\n" * 100000)
    with pytest.raises(lx.ControlValueError, match="too large for a settings file"):
        cam.settings.load(large)
