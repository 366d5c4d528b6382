"""The installed console tool in a real pseudo-terminal, driven with keys like a person would."""
import os
import re
import subprocess
import sys

import pytest

import pylentrasdk
from pylentrasdk import LX_IMAGE_FORMAT
from tool_terminal import ToolTerminal

pytest.importorskip("termios")

CAMERA_MENU = ["Device Information", "Camera Control", "List Formats", "Image operations",
               "OSP Profile management", "Timestamp operations", "Sensor config operations",
               " < Back to Device List", "exit"]
BACK = " < Back to Camera Control and Management Tool"

# The tool runs under a shell that reports its exit status and the terminal's settings after
# it ends; the trap keeps the shell itself alive through Ctrl-C.
SHELL_SCRIPT = 'trap : INT; "$0" -m pylentrasdk; echo "STATUS=$?"; stty -a; echo DONE'


@pytest.fixture
def terminal(tmp_path):
    started = []

    def start():
        term = ToolTerminal(["sh", "-c", SHELL_SCRIPT, sys.executable], cwd=str(tmp_path))
        started.append(term)
        return term

    yield start
    for term in started:
        term.close()


def ended(term):
    """Waits for the end; returns the tool's exit status and whether echo was on afterwards."""
    term.wait_for("DONE")
    text = term.text().replace("\n", " ")
    status = int(re.search(r"STATUS=(\d+)", text).group(1))
    term.finish()
    return status, " echo " in text and " -echo " not in text


def cameras():
    status, names = pylentrasdk.LxDiscoverCameraDevices()
    kinds = {}
    for index, name in enumerate(names):
        cam = pylentrasdk.LxInitialCameraDevice(index)
        kinds[pylentrasdk.LxGetDeviceProductType(cam)[1].name] = name
    return list(names), kinds


def smallest(member):
    """The USB camera's smallest format of a pixel format, with its index in the tool's list."""
    names, kinds = cameras()
    cam = pylentrasdk.LxInitialCameraDevice(names.index(kinds["LXCAM_PRODUCT_TYPE_KAVL"]))
    pylentrasdk.LxOpen(cam)
    status, records = pylentrasdk.LxGetFormatList(cam)
    pylentrasdk.LxClose(cam)
    listed = [r for r in records if r.format != LX_IMAGE_FORMAT.LX_IMAGE_FORMAT_NONE]
    index = min((r.width * r.height, i) for i, r in enumerate(listed) if r.format == member)[1]
    return index, listed[index]


def test_walk_through_the_menus(terminal):
    names, kinds = cameras()
    usb = kinds["LXCAM_PRODUCT_TYPE_KAVL"]
    term = terminal()
    term.wait_for("[?] pyLentraCtl:")
    assert term.menu_entries() == ["Device List", "Media Route", "exit"]

    term.choose("Device List")
    term.wait_for("[?] Cameras List:")
    assert term.menu_entries() == names

    term.choose(usb)
    term.wait_for("[?] Camera Control and Management Tool:")
    assert term.menu_entries() == CAMERA_MENU

    term.choose("Device Information")
    term.wait_for("Device Information:")
    term.wait_for(BACK)
    assert "Device Name:  " + usb in term.text()
    assert "Interface Type:  USB" in term.text()
    term.choose(BACK)

    term.choose("List Formats")
    term.wait_for("[?] Format List:")
    assert re.search(r"\[ 0\]: +\d+ x +\d+ +\w+ +\d+fps", term.text())
    term.choose(BACK)

    term.choose(" < Back to Device List")
    term.wait_for("[?] Cameras List:")
    term.choose(usb)
    term.choose("exit")
    assert ended(term) == (0, True)


def test_save_raw_and_jpeg_frames(terminal, tmp_path):
    names, kinds = cameras()
    usb = kinds["LXCAM_PRODUCT_TYPE_KAVL"]
    raw_index, raw = smallest(LX_IMAGE_FORMAT.LX_IMAGE_FORMAT_YUY2)
    jpeg_index, jpeg = smallest(LX_IMAGE_FORMAT.LX_IMAGE_FORMAT_MJPG)
    term = terminal()
    term.choose("Device List")
    term.choose(usb)

    term.choose("Image operations")
    term.choose("Save Image")
    term.wait_for("Choose a format index:")
    term.type_line(str(raw_index))
    term.wait_for("Enter the File Path")
    term.type_line("frame.raw")
    term.wait_for("to skip:")
    term.type_line("1")
    term.wait_for("to save:")
    term.type_line("2")
    term.wait_for("Save the image to frame_2.raw")
    term.choose(" << Back to Camera Control and Management Tool")

    term.choose("Image operations")
    term.choose("Save Image")
    term.wait_for("Choose a format index:")
    term.type_line(str(jpeg_index))
    term.wait_for("Valid extension: npy, raw, jpg, jpeg")
    term.type_line("picture.jpg")
    term.type_line("0")
    term.type_line("1")
    term.wait_for("Save the image to picture.jpg")
    term.choose("exit")
    assert ended(term) == (0, True)

    for name in ("frame_1.raw", "frame_2.raw"):
        assert (tmp_path / name).stat().st_size == raw.width * raw.height * 2
    Image = pytest.importorskip("PIL.Image")
    with Image.open(tmp_path / "picture.jpg") as picture:
        assert picture.format == "JPEG"
        assert picture.size == (jpeg.width, jpeg.height)


@pytest.mark.parametrize("where", ["menu", "typed input"])
def test_ctrl_c_ends_the_tool_cleanly(terminal, where):
    names, kinds = cameras()
    term = terminal()
    term.choose("Device List")
    if where == "typed input":
        term.choose(kinds["LXCAM_PRODUCT_TYPE_KAVL"])
        term.choose("Image operations")
        term.choose("Save Image")
        term.wait_for("Choose a format index:")
    else:
        term.wait_for("[?] Cameras List:")
    term.press("ctrl-c")
    status, echo = ended(term)
    assert (status, echo) == (0, True)
    assert "Exiting..." in term.text()


def test_without_a_terminal_the_tool_says_so_and_asks_nothing(tmp_path):
    ran = subprocess.run([sys.executable, "-m", "pylentrasdk"], cwd=str(tmp_path),
                         stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                         universal_newlines=True, timeout=60, check=False)
    assert (ran.returncode, ran.stdout, ran.stderr) == \
        (2, "", "pylentractl needs an interactive terminal\n")


class TestRigThatDidNotLoad:
    """A description named in LENTRASDK_SIM that fails to load leaves no cameras; the tool says
    only that, and clears the screen, so its launcher tells why on standard error."""

    REASON = "not valid JSON"

    @pytest.fixture
    def broken_rig(self, tmp_path):
        path = tmp_path / "rig.json"
        path.write_text('{"devices": [')
        return {"LENTRASDK_SIM": str(path)}

    def test_the_reason_stays_on_screen_after_the_tool(self, broken_rig, tmp_path):
        # Started as users start it: the installed command (tools/run.sh runs it too).
        command = os.path.join(os.path.dirname(sys.executable), "pylentractl")
        term = ToolTerminal(["sh", "-c", '"$0"; echo "STATUS=$?"; echo DONE', command],
                            env=broken_rig, cwd=str(tmp_path))
        try:
            term.choose("Device List")
            term.wait_for("No Camera detected! Please exit.")
            assert self.REASON not in term.text()  # the tool's own screen is unchanged
            term.choose("exit")
            term.wait_for("DONE")
            text = term.text()
        finally:
            term.close()
        assert "STATUS=0" in text
        assert "no cameras: LENTRASDK_SIM={}: {}".format(broken_rig["LENTRASDK_SIM"],
                                                        self.REASON) in text.replace("\n", "")

    def test_without_a_terminal_the_reason_comes_first(self, broken_rig, tmp_path):
        ran = subprocess.run([sys.executable, "-m", "pylentrasdk"], cwd=str(tmp_path),
                             env=dict(os.environ, **broken_rig), stdin=subprocess.DEVNULL,
                             stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                             universal_newlines=True, timeout=60, check=False)
        lines = ran.stderr.splitlines()
        assert ran.returncode == 2 and len(lines) == 2
        assert lines[0].startswith("pylentractl: ") and self.REASON in lines[0]
        assert lines[1] == "pylentractl needs an interactive terminal"
