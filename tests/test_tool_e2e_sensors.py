"""The console tool's media-route and IMU screens in a real pseudo-terminal."""
import re

import pytest

from tool_terminal import ToolTerminal

pytest.importorskip("termios")

BACK = " < Back to Camera Control and Management Tool"
BACK_TO_IMU = " < Back to IMU Operations"


@pytest.fixture
def term(tmp_path):
    terminal = ToolTerminal(cwd=str(tmp_path))
    yield terminal
    terminal.close()


def open_camera(term, family):
    term.wait_for("[?] pyLentraCtl:")
    term.choose("Device List")
    term.wait_for("[?] Cameras List:")
    name = next(entry for entry in term.menu_entries() if family in entry)
    term.choose(name)
    term.wait_for("[?] Camera Control and Management Tool:")


def test_media_routes_and_the_way_home(term):
    term.wait_for("[?] pyLentraCtl:")
    assert term.menu_entries() == ["Device List", "Media Route", "exit"]
    term.choose("Media Route")
    term.wait_for("[?] Media Route Operations:")
    term.choose("Reset Active Routes")
    term.wait_for("[?] Reset Active Routes:")
    assert "Active routes have been reset. Route configuration required before device operation." \
        in term.text()
    term.choose("< Back to Media Route Operations")
    term.wait_for("[?] Media Route Operations:")
    term.choose("Activate YAML routes")
    term.wait_for("Enter the File Path (e.g: routes.yaml):")
    term.type_line("missing.yaml")
    term.wait_for("[?] Activate YAML routes:")
    assert "Failed to load the routes from YAML file" in term.text()
    term.choose("< Back to Media Route Operations")
    term.wait_for("[?] Media Route Operations:")
    term.choose("< Back to Home menu")
    term.wait_for("[?] pyLentraCtl:")
    assert term.menu_entries() == ["Device List", "Media Route", "exit"]
    term.choose("exit")
    assert term.finish() == 0


def test_imu_screens(term):
    open_camera(term, "KAVN")
    entries = term.menu_entries()
    # The KAVN camera's IMU entry comes right after the sensor-config one, before the ways out.
    assert entries[-4:] == ["Sensor config operations", "IMU operations", " < Back to Device List", "exit"]
    term.choose("IMU operations")
    for mode in ("Self-Test", "ISPU"):
        term.wait_for("[?] IMU Operations:")
        term.choose("Enable IMU")
        term.wait_for("[?] Select a mode to enable:")
        term.choose(mode)
        term.wait_for("Success to enable IMU " + mode + " mode")
        term.choose(BACK_TO_IMU)
    term.wait_for("[?] IMU Operations:")
    term.choose("IMU Acc data")
    term.wait_for("[?] Select a mode to retrieve:")
    term.choose("Normal")
    term.wait_for("Success to get IMU Accelerometer Normal data:")
    assert re.search(r"^ \(-?\d+\.\d\d, -?\d+\.\d\d, -?\d+\.\d\d\)$", term.text(), re.M)
    term.choose(BACK_TO_IMU)
    term.wait_for("[?] IMU Operations:")
    term.choose("IMU ISPU data")
    term.wait_for("Time (s):")
    for pattern in (r"^Success to get ISPU data:$", r"^Data: \(-?\d+\.\d\d, -?\d+\.\d\d, -?\d+\.\d\d\)$",
                    r"^Scalar: -?\d+\.\d\d$", r"^Yaw: 30\.\d\d$|^Yaw: 29\.9\d$", r"^Pitch: -?\d+\.\d\d$",
                    r"^Roll: -?\d+\.\d\d$", r"^Temperature \(degC\): \d+\.\d\d$", r"^Time \(s\): \d+\.\d\d$"):
        assert re.search(pattern, term.text(), re.M), pattern
    term.choose(BACK_TO_IMU)
    term.wait_for("[?] IMU Operations:")
    term.choose(BACK)
    term.wait_for("[?] Camera Control and Management Tool:")
    term.choose("exit")
    assert term.finish() == 0

