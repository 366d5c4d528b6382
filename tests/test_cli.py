"""lxctl: the commands' output, captures to files, controls, the IMU, route, sensor-config and
firmware files, and one-line refusals with their exit status."""
import io
import json
import os
import shutil
import subprocess
import sys

import numpy as np
import pytest
from PIL import Image

import pylentrasdk as lx
from pylentrasdk import cli, frames, sim

from conftest import formats_of

YUY2 = lx.LX_IMAGE_FORMAT.LX_IMAGE_FORMAT_YUY2
ISP = lx.LX_ISP_IMAGE_PROPERTIES
ROUTE_FILE = os.path.join(os.path.dirname(__file__), os.pardir, "sdk", "routes",
                          "second_camera.yaml")


@pytest.fixture
def run(capsys, monkeypatch, tmp_path):
    """run(*argv) -> (exit status, standard output, standard error), in tmp_path."""
    monkeypatch.chdir(tmp_path)
    sim.set_pacing("free-run")

    def run_lxctl(*argv):
        try:
            status = cli.main(list(argv))
        except SystemExit as ended:  # argparse's usage errors, --help and --version
            status = ended.code
        out, err = capsys.readouterr()
        return status, out, err

    return run_lxctl


def test_list_names_every_camera(run):
    status, out, err = run("list", "--json")
    assert (status, err) == (0, "")
    cameras = json.loads(out)
    assert [c["name"] for c in cameras] == list(lx.LxDiscoverCameraDevices()[1])
    assert cameras[0] == {"index": 0, "name": "KAVL AR0822 USB Camera", "interface": "USB",
                          "product": "KAVL"}
    assert run("list")[1].splitlines()[1] == "1: KAVN AR0234 MIPI Camera  (MIPI_CSI2, KAVN)"


def test_info_shows_what_the_camera_has(run):
    status, out, _ = run("info", "--json", "--device", "0")
    info = json.loads(out)
    assert status == 0
    assert info["lentra_camera"] is True and info["usb_speed"] == "SUPER"
    assert info["sensor_firmware"] and info["kavr_firmware"] is None
    # The options may stand before the command too.
    assert json.loads(run("--json", "-d", "2", "info")[1])["lentra_camera"] is False
    assert "KAVR firmware:" not in run("info")[1]
    # Discovery runs once on the way to a camera.
    sim.reset_call_counts()
    assert run("info")[0] == 0 and sim.call_count("LxDiscoverCameraDevices") == 1


def test_formats_are_numbered_as_capture_takes_them(run):
    listed = json.loads(run("formats", "--json")[1])
    cam = lx.LxInitialCameraDevice(0)
    assert lx.LxOpen(cam) == 0
    offered = formats_of(cam)  # without the camera's LX_IMAGE_FORMAT_NONE entry
    lx.LxClose(cam)
    assert [(f["width"], f["height"], f["fps"]) for f in listed] == \
        [(f.width, f.height, f.framerate) for f in offered]
    assert [f["index"] for f in listed] == list(range(len(offered)))
    status, out, _ = run("capture", "-f", "5", "-o", "x.raw", "--json")
    assert status == 0 and json.loads(out)["format"] == listed[5]


def test_capture_numbers_files_and_skips_frames(run, tmp_path):
    status, out, err = run("capture", "-f", "640x480:yuy2", "-o", "f{n}.raw", "-n", "3",
                           "--skip", "2")
    assert (status, err) == (0, "")
    assert out.splitlines() == ["f{}.raw (614400 bytes captured, 614400 bytes written)".format(n)
                                for n in (1, 2, 3)]
    numbers = [sim.read_frame_number(np.fromfile(str(tmp_path / "f{}.raw".format(n)), np.uint8),
                                     YUY2, 640, 480) for n in (1, 2, 3)]
    assert numbers == [2, 3, 4]


def test_capture_writes_pictures_and_jpegs(run, tmp_path):
    status, out, _ = run("capture", "-f", "640x480:NV12", "-o", "frame.png", "--json")
    # What was captured and what the file holds are told apart.
    assert status == 0 and json.loads(out)["files"] == [{
        "path": "frame.png", "captured_bytes": 640 * 480 * 3 // 2,
        "file_bytes": (tmp_path / "frame.png").stat().st_size}]
    with Image.open(str(tmp_path / "frame.png")) as image:
        assert (image.format, image.size) == ("PNG", (640, 480))
        picture = np.asarray(image)
    assert run("capture", "-f", "640x480:NV12", "-o", "frame.nv12")[0] == 0
    raw = np.fromfile(str(tmp_path / "frame.nv12"), np.uint8)
    # Each run streams anew from frame 0, so both files hold the same frame.
    np.testing.assert_array_equal(
        picture, frames.to_rgb(raw, lx.LX_IMAGE_FORMAT.LX_IMAGE_FORMAT_NV12, 640, 480))
    assert run("capture", "-f", "1280x720:MJPG@30", "-o", "frame.jpg")[0] == 0
    with Image.open(str(tmp_path / "frame.jpg")) as image:
        assert (image.format, image.size) == ("JPEG", (1280, 720))


@pytest.mark.parametrize("device, text, shape, dtype", [
    ("0", "640x480:YUY2", (480, 640, 2), np.uint8),
    ("1", "640x480:RGB16", (480, 640), np.dtype("<u2")),
    ("0", "640x480:MJPG", None, np.uint8),  # a JPEG's bytes, as many as it has
])
def test_capture_writes_npy_files_of_the_frames_array(run, tmp_path, device, text, shape, dtype):
    assert run("-d", device, "capture", "-f", text, "-o", "frame.npy")[0] == 0
    array = np.load(str(tmp_path / "frame.npy"))
    assert array.dtype == dtype and (shape is None or array.shape == shape)
    fmt = lx.Format.parse(text)
    assert sim.read_frame_number(array, fmt.pixel_format, fmt.width, fmt.height) == 0


def test_progress_is_shown_on_a_terminal_only(run, monkeypatch):
    assert run("capture", "-f", "0", "-o", "a{n}.raw", "-n", "2")[2] == ""
    monkeypatch.setattr(sys.stderr, "isatty", lambda: True)
    err = run("capture", "-f", "0", "-o", "b{n}.raw", "-n", "2", "--skip", "1")[2]
    assert "\rskipping frame 1/1" in err and "\rframe 2/2" in err and err.endswith("\r\x1b[K")


@pytest.mark.parametrize("argv, status, message", [
    (["bogus"], 2, "invalid choice: 'bogus'"),
    (["capture", "-o", "x.raw"], 2, "the following arguments are required: -f/--format"),
    (["capture", "-f", "0", "-o", "x.raw", "--skip", "-1"], 2, "-1 is out of range (>= 0)"),
    (["capture", "-f", "0", "-o", "x.raw", "-n", "lots"], 2, "'lots' is not a whole number"),
    (["capture", "-f", "0", "-o", "x.raw", "-n", "9" * 5000], 2, "(5000 digits) has too many"),
    (["capture", "-f", "1920x1080", "-o", "x.raw"], 2, "give an index or WIDTHxHEIGHT:FOURCC"),
    (["capture", "-f", "0", "-o", "x.raw", "-n", "2"], 2, "the name needs {n}"),
    (["capture", "-f", "0", "-o", "x{m}.raw"], 2, "only {n} may stand in braces"),
    (["capture", "-f", "640x480:YUY2", "-o", "x.jpg"], 2, "only MJPG frames are JPEG files"),
    (["info", "-d", "7"], 1, "no camera 7; the cameras are: 0 'KAVL AR0822 USB Camera', 1 "),
    (["capture", "-f", "99", "-o", "x.raw"], 1, "no format 99: the camera's formats are 0 to 15"),
    (["capture", "-f", "123x45:YUY2", "-o", "x.raw"], 1, "the camera has no 123x45:YUY2 format"),
    # 640x480 MJPG is offered at 30 frames/s only: the rate is part of the match.
    (["capture", "-f", "640x480:MJPG@60", "-o", "x.jpg"], 1,
     "the camera has no 640x480:MJPG@60 format"),
    (["capture", "-f", "0", "-o", "missing/x.png"], 1,
     "cannot write missing/x.png: No such file or directory"),
])
def test_bad_input_is_one_line_and_leaves_no_file(run, tmp_path, argv, status, message):
    ended, out, err = run(*argv)
    assert ended == status
    assert out == "" and err.count("\n") == 1 and message in err, err
    assert os.listdir(str(tmp_path)) == []


def test_refusals_name_the_status(run, tmp_path):
    sim.inject("LxOpen", status=lx.LxStatus.LX_STATUS_BUSY)
    assert run("formats")[::2] == (1, "lxctl: KAVL AR0822 USB Camera: LxOpen failed: "
                                      "LX_STATUS_BUSY (-4): it is open elsewhere, in this "
                                      "process or another\n")
    sim.inject("LxGetImage", result=lx.LX_CAPTURE_RESULT.LX_TIMEOUT, count=1)
    status, _, err = run("capture", "-f", "0", "-o", "f{n}.raw", "-n", "2")
    assert status == 1 and err.count("\n") == 1
    assert err.startswith("lxctl: KAVL AR0822 USB Camera: LxGetImage failed: LX_TIMEOUT (-1)")
    assert os.listdir(str(tmp_path)) == []
    sim.inject("LxGetHardwareID", text=b"\xff")
    status, _, err = run("info")
    assert status == 1 and err.startswith("lxctl: the camera sent text that is not UTF-8")
    # The camera was stopped and closed on the way out: the next command opens it again.
    assert run("capture", "-f", "0", "-o", "f{n}.raw", "-n", "2")[0] == 0


def isp_value(index, prop):
    cam = lx.LxInitialCameraDevice(index)
    assert lx.LxOpen(cam) == 0
    try:
        return lx.LxGetISPImageProcessing(cam, prop)[1]
    finally:
        lx.LxClose(cam)


class TestControls:
    @pytest.mark.parametrize("device", [0, 1, 2])
    def test_controls_are_the_camera_layers_with_their_ranges(self, run, device):
        listed = json.loads(run("controls", "--json", "-d", str(device))[1])
        with lx.Camera(device) as camera:
            names = list(camera.controls)
        # One table, one spelling: the names Camera.controls gives, in its order.
        assert [c["name"] for c in listed] == names
        by_name = {c["name"]: c for c in listed}
        if device == 2:
            # The plain webcam answers through UVC.
            assert by_name["brightness"] == {
                "name": "brightness", "value": 0, "min": -64, "max": 64, "step": 1,
                "default": 0, "read_only": False, "labels": None}
            assert "noise" not in by_name and "hue" in by_name
            return
        assert by_name["brightness"] == {"name": "brightness", "value": 128, "min": 0,
                                         "max": 255, "step": 1, "default": 128,
                                         "read_only": False, "labels": None}
        assert by_name["flip_mode"]["labels"] == {"0": "Normal", "1": "H-Mirror",
                                                  "2": "V-Mirror", "3": "Rotate-180"}
        assert by_name["white_balance_temperature"]["step"] == 100
        assert by_name["exposure_max_time"]["read_only"] is True
        assert (by_name["max_fps"]["min"], by_name["max_fps"]["max"]) == (1, 120)
        assert ("trigger_mode" in by_name) == (device == 1)
        assert "flash_mode" in by_name or device == 1

    def test_choice_controls_show_their_labels_as_the_tool_does(self, run):
        lines = run("controls")[1].splitlines()
        flip = next(i for i, line in enumerate(lines) if line.startswith("flip_mode "))
        assert lines[flip + 1] == " " * 26 + "Normal(0), H-Mirror(1), V-Mirror(2), Rotate-180(3)"
        assert lines[flip + 2].startswith("pan_target ")
        assert "flip_mode" not in run("controls", "-d", "2")[1]  # the webcam has none

    def test_webcam_controls_are_read_and_set_through_uvc(self, run):
        uvc = lx.LX_UVC_IMAGE_PROPERTIES
        cam = lx.LxInitialCameraDevice(2)
        assert lx.LxOpen(cam) == 0
        # Its auxiliary integer is the camera's: a write keeps it.
        assert lx.LxSetUVCImageProcessing(cam, uvc.UVC_IMAGE_BRIGHTNESS, 5, 7) == 0
        lx.LxClose(cam)
        assert run("-d", "2", "get", "brightness", "HUE")[:2] == (0, "brightness: 5\nhue: 0\n")
        status, out, err = run("-d", "2", "set", "brightness=-64", "white_balance_temperature=5005",
                               "hue=-3")
        assert (status, err) == (0, "")
        assert out == "brightness: -64\nwhite_balance_temperature: 5010\nhue: -3\n"
        assert lx.LxOpen(cam) == 0
        assert lx.LxGetUVCImageProcessing(cam, uvc.UVC_IMAGE_BRIGHTNESS) == (0, -64, 7)
        assert lx.LxGetUVCImageProcessing(cam, uvc.UVC_IMAGE_HUE) == (0, -3, 0)
        lx.LxClose(cam)
        webcam = "lxctl: USB 2.0 HD Webcam: "
        assert run("-d", "2", "set", "brightness=65")[::2] == (
            1, webcam + "brightness: 65 is out of range: -64 to 64\n")
        status, _, err = run("-d", "2", "get", "zoom_target")
        assert status == 1 and err.startswith(webcam + "no control 'zoom_target'; it has ")
        # A failed UVC reading other than "not supported" is named, not hidden.
        sim.inject("LxGetUVCImageProcessingRange", status=lx.LxStatus.LX_STATUS_IO_ERROR)
        assert run("-d", "2", "get", "contrast")[::2] == (
            1, webcam + "LxGetUVCImageProcessingRange failed: LX_STATUS_IO_ERROR (-8)\n")
        sim.inject("LxSetUVCImageProcessing", status=lx.LxStatus.LX_STATUS_READ_ONLY)
        assert run("-d", "2", "set", "gamma=90")[::2] == (
            1, webcam + "LxSetUVCImageProcessing failed: LX_STATUS_READ_ONLY (-10): gamma=90\n")

    def test_capture_sets_controls_first(self, run, tmp_path):
        def mean_luma(name):
            return np.fromfile(str(tmp_path / name), np.uint8)[0::2].mean()

        assert run("capture", "-f", "640x480:YUY2", "-o", "plain.raw")[0] == 0
        status, out, err = run("capture", "-f", "640x480:YUY2", "-o", "bright.raw", "--json",
                               "--set", "brightness=228", "contrast=128")
        assert (status, err) == (0, "")
        assert json.loads(out)["controls"] == {"brightness": 228, "contrast": 128}
        assert mean_luma("bright.raw") > mean_luma("plain.raw") + 50
        status, out, _ = run("-d", "2", "capture", "-f", "0", "-o", "web.raw",
                             "--set", "brightness=60")
        assert status == 0 and out.startswith("brightness: 60\nweb.raw (")
        # A value out of range: nothing set, nothing captured.
        assert run("capture", "-f", "0", "-o", "none.raw", "--set", "brightness=256")[::2] == (
            1, "lxctl: KAVL AR0822 USB Camera: brightness: 256 is out of range: 0 to 255\n")
        assert not (tmp_path / "none.raw").exists()
        assert sim.call_count("LxGetImage") == 3 and sim.call_count("LxSetISPImageProcessing") == 2

    def test_get_and_set_take_names_in_any_case_and_answer_in_one_spelling(self, run):
        status, out, err = run("set", "brightness=200", "CONTRAST=90", "pan_target=-10",
                               "White_Balance_Temperature=5050", "max_fps=30")
        assert (status, err) == (0, "")
        # What the camera holds afterwards: it rounds the temperature to its step of 100.
        assert out.splitlines() == ["brightness: 200", "contrast: 90", "pan_target: -10",
                                    "white_balance_temperature: 5100", "max_fps: 30"]
        assert isp_value(0, ISP.ISP_IMAGE_BRIGHTNESS) == 200
        status, out, _ = run("get", "--json", "contrast", "max_FPS", "Pan_target")
        assert json.loads(out) == {"contrast": 90, "max_fps": 30, "pan_target": -10}
        assert json.loads(run("--json", "get", "brightness")[1]) == {"brightness": 200}
        assert run("get", "-d", "1", "trigger_MODE")[1] == "trigger_mode: 0\n"

    @pytest.mark.parametrize("second, status, message", [
        ("contrast=256", 1, "contrast: 256 is out of range: 0 to 255"),
        ("max_fps=0", 1, "max_fps: 0 is out of range: 1 to 120"),
        ("exposure_max_time=5", 1, "exposure_max_time is read-only"),
        ("trigger_mode=1", 1, "no control 'trigger_mode'"),
        ("Brightness=7", 2, "brightness is given twice"),
        ("contrast=9x", 2, "the value '9x' is not a whole number"),
        ("contrast", 2, "'contrast' is not NAME=VALUE"),
        # Beyond what int() reads from text: still answered with the control and its range.
        ("contrast=" + "9" * 5000, 1, "contrast: 999999999999...(5000 digits) is out of range: "
                                      "0 to 255"),
        ("contrast=-" + "0" * 5000 + "1", 1, "contrast: -1 is out of range: 0 to 255"),
    ])
    def test_set_writes_nothing_when_any_pair_is_wrong(self, run, second, status, message):
        ended, out, err = run("set", "brightness=200", second)
        assert (ended, out) == (status, "")
        assert err.count("\n") == 1 and message in err, err
        assert sim.call_count("LxSetISPImageProcessing") == 0
        assert isp_value(0, ISP.ISP_IMAGE_BRIGHTNESS) == 128

    def test_a_refused_write_puts_back_what_the_command_line_wrote_before_it(self, run):
        status, _, err = run("-d", "2", "set", "noise=1")
        assert status == 1 and "no control 'noise'" in err
        sim.inject("LxSetMaxFPS", status=lx.LxStatus.LX_STATUS_BUSY)
        status, out, err = run("set", "brightness=200", "max_fps=30")
        assert (status, out) == (1, "")
        assert err == ("lxctl: KAVL AR0822 USB Camera: LxSetMaxFPS failed: LX_STATUS_BUSY (-4): "
                       "max_fps=30\n")
        # The whole line is one change: brightness, written first, was put back.
        assert sim.call_count("LxSetISPImageProcessing") == 2
        assert isp_value(0, ISP.ISP_IMAGE_BRIGHTNESS) == 128


class TestImu:
    def test_one_reading(self, run):
        status, out, err = run("imu", "--json", "-d", "1")
        reading = json.loads(out)
        assert (status, err, list(reading)) == (
            0, "", ["accelerometer", "gyroscope", "temperature", "sensor_time"])
        assert len(reading["accelerometer"]) == len(reading["gyroscope"]) == 3
        assert 9 < reading["accelerometer"][2] < 10.5  # gravity, the camera level
        assert reading["temperature"] == 32.5
        with_orientation = json.loads(run("imu", "--json", "-d", "1", "--orientation")[1])
        angles = with_orientation["orientation"]
        assert sorted(angles) == ["pitch", "roll", "w", "x", "y", "yaw", "z"]
        assert abs(angles["x"] ** 2 + angles["y"] ** 2 + angles["z"] ** 2 + angles["w"] ** 2
                   - 1) < 1e-4

    def test_cameras_without_an_imu_and_failed_readings(self, run):
        assert run("imu")[::2] == (1, "lxctl: camera 0 has no IMU\n")
        sim.inject("LxGetIMUGyrData", status=lx.LxStatus.LX_STATUS_IO_ERROR)
        assert run("imu", "-d", "1")[::2] == (
            1, "lxctl: KAVN AR0234 MIPI Camera: LxGetIMUGyrData failed: LX_STATUS_IO_ERROR (-8)\n")


class TestFiles:
    def test_routes_activate_and_reset(self, run, tmp_path):
        assert sim.active_routes() and ("ar0234 3-0010", 0, "csi2-receiver-1", 0) \
            not in sim.active_routes()
        assert run("routes", "activate", ROUTE_FILE)[0] == 0
        assert ("ar0234 3-0010", 0, "csi2-receiver-1", 0) in sim.active_routes()
        assert run("routes", "reset", "--json")[:2] == (0, '{\n  "reset": true\n}\n')
        assert sim.active_routes() == []
        (tmp_path / "bad.yaml").write_text("routes: [")
        status, _, err = run("routes", "activate", "bad.yaml")
        assert status == 1 and err.startswith("lxctl: bad.yaml: LxLoadRouteYaml could not load")
        sim.inject("LxResetActiveRoutes", throw="no media controller")
        assert run("routes", "reset")[::2] == (
            1, "lxctl: LxResetActiveRoutes: this platform has no media route management\n")

    def test_a_refused_activation_is_a_refusal(self, run):
        sim.inject("LxActivateYamlRoutes", status=lx.LxStatus.LX_STATUS_BUSY)
        status, out, err = run("routes", "activate", ROUTE_FILE)
        assert (status, out) == (1, "")
        assert err.startswith("lxctl: ") and err.endswith(
            "second_camera.yaml: LxActivateYamlRoutes failed: LX_STATUS_BUSY (-4)\n")
        assert ("ar0234 3-0010", 0, "csi2-receiver-1", 0) not in sim.active_routes()

    def test_sensor_config_export_and_decode(self, run, tmp_path):
        status, out, _ = run("sensor-config", "export", "config.bin", "--json")
        size = (tmp_path / "config.bin").stat().st_size
        assert status == 0 and json.loads(out) == {"path": "config.bin", "bytes": size}
        assert (tmp_path / "config.bin").read_bytes()[:8] == b"LXSENCFG"
        status, out, _ = run("sensor-config", "decode", "config.bin")
        assert status == 0 and json.loads(out)["device_name"] == "KAVL AR0822 USB Camera"
        assert run("sensor-config", "decode", "config.bin", "config.json")[0] == 0
        assert json.loads((tmp_path / "config.json").read_text()) == json.loads(out)
        (tmp_path / "cut.bin").write_bytes((tmp_path / "config.bin").read_bytes()[:-1])
        status, out, err = run("sensor-config", "decode", "cut.bin", "cut.json")
        assert (status, out) == (1, "")
        assert err == "lxctl: cut.bin: LxDecodeSensorConfig failed: LX_STATUS_BAD_FILE (-9)\n"
        assert not (tmp_path / "cut.json").exists()

    def test_firmware_upgrades_with_a_progress_bar(self, run, tmp_path, monkeypatch):
        sim.write_firmware_image(str(tmp_path / "sensor.img"), "sensor", "1.5.0")
        sim.write_firmware_image(str(tmp_path / "usb.img"), "usb", "3.3.0")
        sim.inject("LxUpgradeSensorFW", fail_at="verify")
        status, _, err = run("firmware", "sensor", "sensor.img")
        assert (status, err) == (
            1, "lxctl: sensor.img: LxUpgradeSensorFW failed: LX_UPGRADE_VERIFY_FAIL ({})\n".format(
                int(lx.LX_UPGRADE_RESULT.LX_UPGRADE_VERIFY_FAIL)))
        monkeypatch.setattr(sys.stderr, "isatty", lambda: True)
        status, out, err = run("firmware", "sensor", "sensor.img")
        assert (status, out) == (0, "sensor firmware is now 1.5.0 (from sensor.img)\n")
        assert "\rupgrading [" + "." * 30 + "]   0%" in err
        assert "\rupgrading [" + "#" * 30 + "] 100%" in err and err.endswith("\r\x1b[K")
        status, out, _ = run("firmware", "usb", "usb.img", "--store", "i2c", "--json")
        assert json.loads(out) == {"target": "usb", "image": "usb.img", "version": "3.3.0"}
        assert run("firmware", "usb", "sensor.img")[::2] == (
            1, "lxctl: sensor.img: LxUpgradeFX3FW failed: LX_STATUS_BAD_FILE (-9)\n")


@pytest.mark.parametrize("argv, status, message", [
    (["routes", "activate"], 2, "routes activate: name the route file"),
    (["routes", "reset", "x.yaml"], 2, "routes reset takes no file"),
    (["routes", "activate", "missing.yaml"], 1, "cannot read missing.yaml: No such file"),
    (["sensor-config", "decode", "missing.bin"], 1, "cannot read missing.bin: No such file"),
    (["sensor-config", "export", "a.bin", "b.bin"], 2, "sensor-config export takes one file"),
    (["sensor-config", "export", "missing/c.bin"], 1, "cannot write missing/c.bin: No such"),
    (["sensor-config", "export", ""], 2, "the output file name is empty"),
    (["-d", "2", "sensor-config", "export", "c.bin"], 1, "LX_STATUS_NOT_SUPPORTED (-6)"),
    (["firmware", "sensor", "missing.img"], 1, "cannot read missing.img: No such file"),
    (["firmware", "sensor", ".", "--store", "ram"], 2, "--store is for the USB controller"),
    (["get", "nosuch"], 1, "no control 'nosuch'"),
])
def test_bad_input_to_the_file_commands(run, tmp_path, argv, status, message):
    ended, out, err = run(*argv)
    assert ended == status
    assert out == "" and err.count("\n") == 1 and message in err, err
    assert os.listdir(str(tmp_path)) == []


def test_a_reader_that_stops_early_gets_no_traceback(run, monkeypatch):
    class ClosedPipe(io.StringIO):
        def write(self, text):
            raise BrokenPipeError(32, "Broken pipe")

    monkeypatch.setattr(sys, "stdout", ClosedPipe())
    assert run("controls") == (141, "", "")


def test_runs_as_a_module_and_as_a_script(tmp_path):
    # Started outside the source folder, whose pylentrasdk has no compiled module.
    ran = subprocess.run([sys.executable, "-m", "pylentrasdk.cli", "--version"], cwd=str(tmp_path),
                         stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                         universal_newlines=True, check=False)
    assert (ran.returncode, ran.stdout) == (0, "lxctl (pylentrasdk {})\n".format(lx.__version__))
    script = os.path.join(os.path.dirname(sys.executable), "lxctl")
    ran = subprocess.run([script, "list"], stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                         universal_newlines=True, check=False)
    assert ran.returncode == 0 and ran.stdout.startswith("0: KAVL AR0822 USB Camera")


def lxctl_process(*argv, cwd, timeout=60):
    """lxctl in a process of its own: (exit status, standard output, standard error). A run
    that hangs is killed after `timeout` seconds and fails the test."""
    ran = subprocess.run([sys.executable, "-m", "pylentrasdk.cli"] + list(argv), cwd=str(cwd),
                         stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                         timeout=timeout, check=False)
    return ran.returncode, ran.stdout, ran.stderr


class TestOddFiles:
    @pytest.mark.parametrize("argv, message", [
        (["routes", "activate", "pipe"], b"cannot read pipe: not a regular file"),
        (["sensor-config", "decode", "pipe"], b"cannot read pipe: not a regular file"),
        (["firmware", "sensor", "pipe"], b"cannot read pipe: not a regular file"),
        (["sensor-config", "decode", "folder"], b"cannot read folder: Is a directory"),
    ])
    def test_a_fifo_or_a_folder_is_refused_without_waiting(self, tmp_path, argv, message):
        os.mkfifo(str(tmp_path / "pipe"))
        (tmp_path / "folder").mkdir()
        status, out, err = lxctl_process(*argv, cwd=tmp_path, timeout=30)
        assert (status, out) == (1, b"")
        assert err == b"lxctl: " + message + b"\n"

    def test_a_line_break_in_a_file_name_stays_on_its_line(self, run, tmp_path):
        status, out, err = run("capture", "-f", "0", "-o", "two\nlines.raw")
        assert (status, err) == (0, "")
        assert out.startswith("two\\nlines.raw (") and out.count("\n") == 1
        assert (tmp_path / "two\nlines.raw").exists()
        status, _, err = run("routes", "activate", "no\nsuch.yaml")
        assert status == 1 and err == "lxctl: cannot read no\\nsuch.yaml: No such file or " \
                                      "directory\n"

    def test_names_that_are_not_utf8_reach_the_sdk(self, run, tmp_path):
        name = os.fsdecode  # as Python hands such a name from the command line
        shutil.copy(ROUTE_FILE, str(tmp_path / name(b"\xff\xfe.route.yaml")))
        status, out, err = run("routes", "activate", name(b"\xff\xfe.route.yaml"))
        assert (status, err) == (0, "")
        assert out == "activated the routes of \\udcff\\udcfe.route.yaml\n"
        assert run("sensor-config", "export", name(b"\xfe.bin"))[0] == 0
        assert run("sensor-config", "decode", name(b"\xfe.bin"), name(b"\xfd.json"))[0] == 0
        decoded = json.loads((tmp_path / name(b"\xfd.json")).read_text())
        assert json.loads(run("sensor-config", "decode", name(b"\xfe.bin"))[1]) == decoded
        sim.write_firmware_image(str(tmp_path / "sensor.img"), "sensor", "1.5.0")
        os.rename(str(tmp_path / "sensor.img"), str(tmp_path / name(b"\xff.img")))
        assert run("firmware", "sensor", name(b"\xff.img"))[0] == 0
        status, out, _ = run("capture", "-f", "0", "-o", name(b"\xfc{n}.png"), "--json")
        assert status == 0 and json.loads(out)["files"][0]["path"] == name(b"\xfc1.png")
        # A refusal naming such a file is one line too.
        status, out, err = run("sensor-config", "decode", name(b"\xfb.bin"))
        assert (status, out) == (1, "")
        assert err == "lxctl: cannot read \\udcfb.bin: No such file or directory\n"
