"""The console tool's IMU menu and its five operations."""
import pytest

import pylentrasdk
from pylentrasdk import sim
from conftest import BACK, OutOfAnswers, calls

IMU_MENU = ["Enable IMU", "Reboot IMU", "IMU Acc data", "IMU Gyr data", "IMU ISPU data", BACK, "exit"]
CLOSING = ("", [" < Back to IMU Operations", "exit"])


class TestMenu:
    def test_entries_and_where_they_lead(self, tool, prompter, kavn_camera):
        prompter.script("IMU Acc data", "Normal", " < Back to IMU Operations", BACK)
        with pytest.raises(OutOfAnswers):
            tool.IMUData(kavn_camera)
        first = prompter.asked[0]
        assert (first.name, first.message, first.choices, first.carousel) == \
            ("pyLentraCtl", "IMU Operations:", IMU_MENU, True)
        assert prompter.asked[1].name == "AccMode"
        assert prompter.messages[2:] == ["", "IMU Operations:", "Camera Control and Management Tool"]

class TestModes:
    @pytest.mark.parametrize("screen, name, message, text", [
        ("EnableIMU", "EnableMode", "Select a mode to enable:", "Success to enable IMU "),
        ("RebootIMU", "RebootMode", "Select a mode to reboot:", "Success to reboot IMU ")])
    def test_success_lines(self, tool, prompter, kavn_camera, capsys, screen, name, message, text):
        prompter.script("ISPU")
        with pytest.raises(OutOfAnswers):
            getattr(tool, screen)(kavn_camera)
        asked = prompter.asked[0]
        assert (asked.name, asked.message, asked.choices) == (name, message, ["Self-Test", "ISPU"])
        assert (prompter.asked[1].message, prompter.asked[1].choices) == CLOSING
        assert capsys.readouterr().out == text + "ISPU mode\n"
        assert pylentrasdk.LxGetISPUData(kavn_camera)[0] == 0

    def test_a_failed_enable_prints_nothing(self, tool, prompter, kavl_camera, capsys):
        prompter.script("Self-Test")
        with pytest.raises(OutOfAnswers):
            tool.EnableIMU(kavl_camera)
        assert capsys.readouterr().out == ""


class TestSamples:
    def test_three_values_with_two_decimals(self, tool, prompter, kavn_camera, capsys):
        sim.inject("LxGetIMUAccData", value=[1.005, -0.5, 9.8149])
        prompter.script("Positive")
        with pytest.raises(OutOfAnswers):
            tool.IMUAcc(kavn_camera)
        assert capsys.readouterr().out == \
            "Success to get IMU Accelerometer Positive data:\n (1.00, -0.50, 9.81)\n\n"

    @pytest.mark.parametrize("values", [[], [1.0, 2.0]])
    def test_success_with_fewer_than_three_values_is_a_failure(self, tool, prompter, kavn_camera,
                                                               capsys, values):
        sim.inject("LxGetIMUGyrData", value=values)
        prompter.script("Negative")
        with pytest.raises(OutOfAnswers):
            tool.IMUGyr(kavn_camera)
        assert capsys.readouterr().out == "Failed to get IMU Gyroscope Negative data\n\n"
        assert prompter.asked[-1].choices == CLOSING[1]


class TestIspu:
    def test_all_lines(self, tool, prompter, kavn_camera, capsys):
        sim.inject("LxGetISPUData", value={"x": 0.1, "y": -0.2, "z": 0.3, "w": 0.927,
                                           "yaw": 30.004, "pitch": -10.0, "roll": 5.5})
        sim.inject("LxGetIMUTemperature", value=33.333)
        sim.inject("LxGetIMUSensorTime", value=12.5)
        with pytest.raises(OutOfAnswers):
            tool.IMUIspu(kavn_camera)
        assert capsys.readouterr().out == (
            "Success to get ISPU data:\nData: (0.10, -0.20, 0.30)\nScalar: 0.93\nYaw: 30.00\n"
            "Pitch: -10.00\nRoll: 5.50\nTemperature (degC): 33.33\nTime (s): 12.50\n\n")
        assert (prompter.asked[0].message, prompter.asked[0].choices) == CLOSING

    def test_each_part_fails_on_its_own(self, tool, prompter, kavn_camera, capsys):
        # Outside ISPU mode the orientation fails; temperature and time still show.
        with pytest.raises(OutOfAnswers):
            tool.IMUIspu(kavn_camera)
        out = capsys.readouterr().out
        assert out.startswith("Failed to get ISPU data\nTemperature (degC): ")
        sim.inject("LxGetIMUTemperature", status=-1)
        sim.inject("LxGetIMUSensorTime", status=-1)
        with pytest.raises(OutOfAnswers):
            tool.IMUIspu(kavn_camera)
        assert capsys.readouterr().out == (
            "Failed to get ISPU data\n\nFailed to get IMU sensor temperature\n\n"
            "\nFailed to get IMU sensor Time\n\n")
        assert calls("LxGetIMUSensorTime") == 2
