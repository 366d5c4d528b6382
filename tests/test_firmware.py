"""Firmware against the simulated rig: USB program mode, upgrades of the USB controller (each
target) and of the sensor with their progress, bad images, a failure injected at every stage, and
a progress callable that raises."""
import pytest

import pylentrasdk as lx
from pylentrasdk import sim

R = lx.LX_UPGRADE_RESULT
T = lx.LX_FX3_FW_TARGET
FAILED, BUSY, NOT_SUPPORTED, BAD_FILE, IO_ERROR, STREAMING, NO_DEVICE = -1, -4, -6, -9, -8, -11, -13

STAGE_RESULTS = {
    "read": R.LX_UPGRADE_MCU_READ_FAIL,
    "compare": R.LX_UPGRADE_MCU_MISMATCH,
    "switch": R.LX_UPGRADE_BSL_SWITCH_FAIL,
    "init": R.LX_UPGRADE_INIT_FAIL,
    "erase": R.LX_UPGRADE_ERASE_FAIL,
    "program": R.LX_UPGRADE_PROGRAM_FAIL,
    "verify": R.LX_UPGRADE_VERIFY_FAIL,
    "reset": R.LX_UPGRADE_RESET_FAIL,
    "start": R.LX_UPGRADE_START_APP_FAIL,
}
BROKEN_FIRMWARE = ["magic", "layout", "target", "version", "length", "crc", "truncated",
                   "trailing", "empty"]


def versions(cam):
    return lx.LxGetUSBFirmwareVersion(cam), lx.LxGetSensorFirmwareVersion(cam)


def sensor_image(tmp_path, **kwargs):
    return sim.write_firmware_image(str(tmp_path / "sensor.img"), "sensor", **kwargs)


def usb_image(tmp_path, version="3.3.0", **kwargs):
    return sim.write_firmware_image(str(tmp_path / "usb.img"), "usb", version, **kwargs)


def assert_rising_to_100(values):
    assert values[0] == 0 and values[-1] == 100
    assert all(a < b for a, b in zip(values, values[1:]))


class TestSensorUpgrade:
    def test_upgrade_reports_progress_and_changes_the_version(self, kavl_camera, tmp_path):
        seen = []
        result = lx.LxUpgradeSensorFW(kavl_camera, sensor_image(tmp_path, version="1.5.0"), seen.append)
        assert result == R.LX_UPGRADE_SUCCESS and result != 0
        assert_rising_to_100(seen)
        assert lx.LxGetSensorFirmwareVersion(kavl_camera) == (0, "1.5.0")

    def test_none_progress_is_no_progress(self, kavl_camera, tmp_path):
        assert lx.LxUpgradeSensorFW(kavl_camera, sensor_image(tmp_path), None) == R.LX_UPGRADE_SUCCESS

    @pytest.mark.parametrize("broken", BROKEN_FIRMWARE)
    def test_bad_images_are_refused_before_anything_changes(self, kavl_camera, tmp_path, broken):
        before = versions(kavl_camera)
        seen = []
        path = sensor_image(tmp_path, broken=broken)
        assert lx.LxUpgradeSensorFW(kavl_camera, path, seen.append) == R.LX_UPGRADE_INVALID_FIRMWARE
        assert seen == [] and versions(kavl_camera) == before

    def test_other_files_are_invalid_firmware(self, kavl_camera, tmp_path):
        garbage = tmp_path / "garbage.img"
        garbage.write_bytes(bytes(range(256)) * 8)
        for path in (str(garbage), str(tmp_path / "missing.img"), str(tmp_path), usb_image(tmp_path)):
            assert lx.LxUpgradeSensorFW(kavl_camera, path, None) == R.LX_UPGRADE_INVALID_FIRMWARE

    def test_an_image_for_another_sensor_is_a_mismatch(self, kavl_camera, tmp_path):
        path = sensor_image(tmp_path, version="9.9.9", device=0x0234)
        assert lx.LxUpgradeSensorFW(kavl_camera, path, None) == R.LX_UPGRADE_MCU_MISMATCH
        assert lx.LxGetSensorFirmwareVersion(kavl_camera) == (0, "1.4.0")
        path = sensor_image(tmp_path, version="1.6.0", device=2082)
        assert lx.LxUpgradeSensorFW(kavl_camera, path, None) == R.LX_UPGRADE_SUCCESS

    @pytest.mark.parametrize("stage", sorted(STAGE_RESULTS))
    def test_a_failure_at_any_stage_keeps_the_old_firmware(self, kavl_camera, tmp_path, stage):
        seen = []
        sim.inject("LxUpgradeSensorFW", fail_at=stage)
        assert lx.LxUpgradeSensorFW(kavl_camera, sensor_image(tmp_path), seen.append) == STAGE_RESULTS[stage]
        assert seen[0] == 0 and seen[-1] < 100
        assert lx.LxGetSensorFirmwareVersion(kavl_camera) == (0, "1.4.0")
        # The camera is not left busy: the next upgrade goes through.
        assert lx.LxUpgradeSensorFW(kavl_camera, sensor_image(tmp_path), None) == R.LX_UPGRADE_SUCCESS

    def test_a_raising_progress_stops_the_upgrade_and_reaches_the_caller(self, kavl_camera, tmp_path):
        calls = []

        def progress(value):
            calls.append(value)
            if value >= 50:
                raise KeyError("stop here")

        with pytest.raises(KeyError, match="stop here"):
            lx.LxUpgradeSensorFW(kavl_camera, sensor_image(tmp_path, version="2.0.0"), progress)
        assert calls[-1] >= 50 and calls[-1] < 100
        assert lx.LxGetSensorFirmwareVersion(kavl_camera) == (0, "1.4.0")
        assert lx.LxUpgradeSensorFW(kavl_camera, sensor_image(tmp_path), None) == R.LX_UPGRADE_SUCCESS

    def test_progress_may_call_the_sdk(self, kavl_camera, kavn_camera, tmp_path):
        answers = []

        def progress(value):
            answers.append((lx.LxGetFormatList(kavl_camera)[0], lx.LxGetFormatList(kavn_camera)[0]))

        lx.LxUpgradeSensorFW(kavl_camera, sensor_image(tmp_path), progress)
        # The camera being upgraded refuses (never a deadlock); the others answer.
        assert answers and set(answers) == {(BUSY, 0)}
        assert lx.LxGetFormatList(kavl_camera)[0] == 0

    def test_cameras_that_cannot_take_it(self, kavl_camera, kavn_camera, tmp_path):
        path = sensor_image(tmp_path)
        assert lx.LxUpgradeSensorFW(kavn_camera, path, None) == R.LX_UPGRADE_OTHER_ERROR
        assert lx.LxUpgradeSensorFW(None, path, None) == R.LX_UPGRADE_OTHER_ERROR
        assert lx.LxStartStreaming(kavl_camera) == 0
        assert lx.LxUpgradeSensorFW(kavl_camera, path, None) == R.LX_UPGRADE_OTHER_ERROR
        lx.LxStopStreaming(kavl_camera)
        assert lx.LxGetSensorFirmwareVersion(kavl_camera) == (0, "1.4.0")

    def test_injected_results_and_progress_skip_the_upgrade(self, kavl_camera, tmp_path):
        seen = []
        sim.inject("LxUpgradeSensorFW", result=R.LX_UPGRADE_VERIFY_FAIL, progress=[0, 7, 9])
        assert lx.LxUpgradeSensorFW(kavl_camera, "", seen.append) == R.LX_UPGRADE_VERIFY_FAIL
        assert seen == [0, 7, 9]


class TestProgramMode:
    def test_program_mode_refuses_most_calls_until_closed(self, kavl_camera):
        assert lx.LxGotoUSBProgramMode(kavl_camera) == 0
        assert lx.LxStartStreaming(kavl_camera) == BUSY
        assert lx.LxGetFormatList(kavl_camera)[0] == BUSY
        assert lx.LxAP1302I2CRead(kavl_camera, 0) == (BUSY, 0)
        assert lx.LxGetDeviceName(kavl_camera)[0] == 0  # identity still answers
        assert lx.LxGetUSBFirmwareVersion(kavl_camera) == (0, "3.2.1")
        assert lx.LxClose(kavl_camera) == 0
        assert lx.LxOpen(kavl_camera) == 0
        assert lx.LxGetFormatList(kavl_camera)[0] == 0

    def test_only_an_idle_usb_camera_of_the_maker_enters_it(self, kavl_camera, kavn_camera, webcam):
        assert lx.LxGotoUSBProgramMode(kavn_camera) == NOT_SUPPORTED
        assert lx.LxGotoUSBProgramMode(webcam) == NOT_SUPPORTED
        assert lx.LxStartStreaming(kavl_camera) == 0
        assert lx.LxGotoUSBProgramMode(kavl_camera) == STREAMING
        lx.LxStopStreaming(kavl_camera)
        assert lx.LxGotoUSBProgramMode(None) == -2

    def test_the_sensor_cannot_be_upgraded_in_program_mode(self, kavl_camera, tmp_path):
        lx.LxGotoUSBProgramMode(kavl_camera)
        assert lx.LxUpgradeSensorFW(kavl_camera, sensor_image(tmp_path), None) == R.LX_UPGRADE_OTHER_ERROR


class TestUsbControllerUpgrade:
    @pytest.mark.parametrize("target", [T.FW_TARGET_I2C, T.FW_TARGET_SPI])
    def test_stored_targets_keep_the_new_firmware(self, kavl_camera, tmp_path, target):
        assert lx.LxGotoUSBProgramMode(kavl_camera) == 0
        seen = []
        assert lx.LxUpgradeFX3FW(target, usb_image(tmp_path), seen.append) == 0
        assert_rising_to_100(seen)
        # The upgrade ended program mode.
        assert lx.LxGetFormatList(kavl_camera)[0] == 0
        assert lx.LxGetUSBFirmwareVersion(kavl_camera) == (0, "3.3.0")
        lx.LxClose(kavl_camera)
        lx.LxOpen(kavl_camera)
        assert lx.LxGetUSBFirmwareVersion(kavl_camera) == (0, "3.3.0")

    def test_ram_firmware_runs_until_the_camera_is_closed(self, kavl_camera, tmp_path):
        lx.LxGotoUSBProgramMode(kavl_camera)
        seen = []
        assert lx.LxUpgradeFX3FW(T.FW_TARGET_RAM, usb_image(tmp_path, "9.0.0-ram"), seen.append) == 0
        assert_rising_to_100(seen)
        assert lx.LxGetUSBFirmwareVersion(kavl_camera) == (0, "9.0.0-ram")
        lx.LxClose(kavl_camera)
        lx.LxOpen(kavl_camera)
        assert lx.LxGetUSBFirmwareVersion(kavl_camera) == (0, "3.2.1")

    def test_it_needs_a_camera_in_program_mode(self, kavl_camera, tmp_path):
        assert lx.LxUpgradeFX3FW(T.FW_TARGET_SPI, usb_image(tmp_path), None) == NO_DEVICE
        assert lx.LxGetUSBFirmwareVersion(kavl_camera) == (0, "3.2.1")

    @pytest.mark.parametrize("broken", BROKEN_FIRMWARE)
    def test_bad_images_leave_the_camera_waiting(self, kavl_camera, tmp_path, broken):
        lx.LxGotoUSBProgramMode(kavl_camera)
        seen = []
        status = lx.LxUpgradeFX3FW(T.FW_TARGET_I2C, usb_image(tmp_path, broken=broken), seen.append)
        assert status == BAD_FILE and seen == []
        assert lx.LxGetUSBFirmwareVersion(kavl_camera) == (0, "3.2.1")
        assert lx.LxGetFormatList(kavl_camera)[0] == BUSY  # still in program mode

    def test_other_files_and_targets(self, kavl_camera, tmp_path):
        lx.LxGotoUSBProgramMode(kavl_camera)
        assert lx.LxUpgradeFX3FW(T.FW_TARGET_RAM, str(tmp_path / "missing"), None) == IO_ERROR
        assert lx.LxUpgradeFX3FW(T.FW_TARGET_RAM, sensor_image(tmp_path), None) == BAD_FILE
        assert lx.LxUpgradeFX3FW(T.FW_TARGET_NONE, usb_image(tmp_path), None) == -5
        assert lx.LxGetUSBFirmwareVersion(kavl_camera) == (0, "3.2.1")

    @pytest.mark.parametrize("stage", ["erase", "program", "verify", "reset", "start"])
    def test_a_failure_at_any_stage_keeps_the_old_firmware(self, kavl_camera, tmp_path, stage):
        lx.LxGotoUSBProgramMode(kavl_camera)
        sim.inject("LxUpgradeFX3FW", fail_at=stage)
        assert lx.LxUpgradeFX3FW(T.FW_TARGET_SPI, usb_image(tmp_path), None) == FAILED
        assert lx.LxGetUSBFirmwareVersion(kavl_camera) == (0, "3.2.1")

    def test_a_raising_progress_reaches_the_caller(self, kavl_camera, tmp_path):
        lx.LxGotoUSBProgramMode(kavl_camera)

        def progress(value):
            raise ValueError(value)

        with pytest.raises(ValueError):
            lx.LxUpgradeFX3FW(T.FW_TARGET_I2C, usb_image(tmp_path), progress)
        assert lx.LxGetUSBFirmwareVersion(kavl_camera) == (0, "3.2.1")
        # The controller restarted its old firmware: the camera works again.
        assert lx.LxGetFormatList(kavl_camera)[0] == 0

    def test_argument_conversion(self, tmp_path):
        path = usb_image(tmp_path)
        with pytest.raises(TypeError):
            lx.LxUpgradeFX3FW(T.FW_TARGET_RAM, path, 5)
        with pytest.raises(TypeError):
            lx.LxUpgradeFX3FW(1, path, print)
        sim.reset_call_counts()
        with pytest.raises(RuntimeError, match="^$"):
            lx.LxUpgradeFX3FW(None, path, print)
        assert sim.call_count("LxUpgradeFX3FW") == 0
        with pytest.raises(TypeError):
            lx.LxUpgradeSensorFW(None, path, "progress")

    def test_garbage_answers_an_int(self, tmp_path):
        garbage = tmp_path / "garbage"
        garbage.write_bytes(b"\x00\x01" * 100)
        assert isinstance(lx.LxUpgradeFX3FW(T.FW_TARGET_RAM, str(garbage), print), int)
