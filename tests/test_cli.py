"""lxctl: the commands' output, captures to files, and one-line refusals with their exit status."""
import json
import os
import subprocess
import sys

import numpy as np
import pytest
from PIL import Image

import pylentrasdk as lx
from pylentrasdk import cli, frames, sim

from conftest import formats_of

YUY2 = lx.LX_IMAGE_FORMAT.LX_IMAGE_FORMAT_YUY2


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
    assert out.splitlines() == ["f{}.raw (614400 bytes captured)".format(n) for n in (1, 2, 3)]
    numbers = [sim.read_frame_number(np.fromfile(str(tmp_path / "f{}.raw".format(n)), np.uint8),
                                     YUY2, 640, 480) for n in (1, 2, 3)]
    assert numbers == [2, 3, 4]


def test_capture_writes_pictures_and_jpegs(run, tmp_path):
    assert run("capture", "-f", "640x480:NV12", "-o", "frame.png")[0] == 0
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
    (["capture", "-f", "1920x1080", "-o", "x.raw"], 2, "give an index or WIDTHxHEIGHT:FOURCC"),
    (["capture", "-f", "0", "-o", "x.raw", "-n", "2"], 2, "the name needs {n}"),
    (["capture", "-f", "0", "-o", "x{m}.raw"], 2, "only {n} may stand in braces"),
    (["capture", "-f", "640x480:YUY2", "-o", "x.jpg"], 2, "only MJPG frames are JPEG files"),
    (["info", "-d", "7"], 1, "no camera 7: the cameras are 0 to 2"),
    (["capture", "-f", "99", "-o", "x.raw"], 1, "no format 99: the camera's formats are 0 to 15"),
    (["capture", "-f", "123x45:YUY2", "-o", "x.raw"], 1, "the camera has no 123x45:YUY2 format"),
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
    assert run("formats")[::2] == (1, "lxctl: LxOpen: LX_STATUS_BUSY (-4)\n")
    sim.inject("LxGetImage", result=lx.LX_CAPTURE_RESULT.LX_TIMEOUT, count=1)
    status, _, err = run("capture", "-f", "0", "-o", "f{n}.raw", "-n", "2")
    assert (status, err) == (1, "lxctl: LxGetImage: LX_TIMEOUT (-1)\n")
    assert os.listdir(str(tmp_path)) == []
    sim.inject("LxGetDeviceName", text=b"\xff")
    status, _, err = run("info")
    assert status == 1 and err.startswith("lxctl: the camera sent text that is not UTF-8")
    # The camera was stopped and closed on the way out: the next command opens it again.
    assert run("capture", "-f", "0", "-o", "f{n}.raw", "-n", "2")[0] == 0


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
