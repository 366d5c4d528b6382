"""Files the SDK writes and paths it takes: a write that fails before its file is put in place
keeps the file that was there and leaves no temporary file; a path holding a NUL byte is an
invalid argument for every function that takes one."""
import errno
import os
import re
import subprocess
import sys

import numpy
import pytest

import pylentrasdk as lx
from pylentrasdk import frames, sim

INVALID_ARGUMENT, IO_ERROR = -5, -8
PREVIOUS = b"the file that was there\n"
EXAMPLE_PROFILE = os.path.join(os.path.dirname(__file__), "..", "sdk", "profiles",
                               "kavl_default.yaml")
EXAMPLE_ROUTE = os.path.join(os.path.dirname(__file__), "..", "sdk", "routes", "second_camera.yaml")


@pytest.fixture
def sensor_bin(kavl_camera, tmp_path):
    """A valid sensor-config binary, in a folder of its own."""
    folder = tmp_path / "source"
    folder.mkdir()
    path = folder / "sensor.bin"
    assert lx.LxExportSensorConfig(kavl_camera, str(path)) == 0
    return str(path)


# Every file the SDK writes: name -> write(camera, sensor-config binary, target) -> status.
WRITERS = {
    "sensor-config binary": lambda cam, source, target: lx.LxExportSensorConfig(cam, target),
    "sensor-config JSON": lambda cam, source, target: lx.LxDecodeSensorConfig(source, target),
}


@pytest.mark.parametrize("writer", sorted(WRITERS))
class TestAtomicWrites:
    def test_a_failure_before_the_rename_keeps_the_previous_file(self, writer, kavl_camera,
                                                                  sensor_bin, tmp_path):
        write = WRITERS[writer]
        target = tmp_path / "out"
        target.write_bytes(PREVIOUS)
        sim.fail_file_writes(1)
        assert write(kavl_camera, sensor_bin, str(target)) == IO_ERROR
        assert target.read_bytes() == PREVIOUS
        assert sorted(os.listdir(str(tmp_path))) == ["out", "source"]  # no temporary file
        # The failure asked for is used up: the next write goes through.
        assert write(kavl_camera, sensor_bin, str(target)) == 0
        assert target.read_bytes() != PREVIOUS
        assert sorted(os.listdir(str(tmp_path))) == ["out", "source"]

    @pytest.mark.skipif(os.geteuid() == 0, reason="root writes into a read-only folder")
    def test_a_read_only_folder_keeps_the_previous_file(self, writer, kavl_camera, sensor_bin,
                                                        tmp_path):
        folder = tmp_path / "read-only"
        folder.mkdir()
        target = folder / "out"
        target.write_bytes(PREVIOUS)
        folder.chmod(0o555)
        try:
            assert WRITERS[writer](kavl_camera, sensor_bin, str(target)) == IO_ERROR
            assert os.listdir(str(folder)) == ["out"]
        finally:
            folder.chmod(0o755)
        assert target.read_bytes() == PREVIOUS

    def test_a_folder_that_is_a_file_is_refused(self, writer, kavl_camera, sensor_bin, tmp_path):
        # Where permissions do not stop the writer (as root), a parent that is a regular file
        # stops it at the same step: the temporary file cannot be made.
        parent = tmp_path / "plain"
        parent.write_bytes(PREVIOUS)
        assert WRITERS[writer](kavl_camera, sensor_bin, str(parent / "out")) == IO_ERROR
        assert parent.read_bytes() == PREVIOUS
        assert sorted(os.listdir(str(tmp_path))) == ["plain", "source"]


def test_a_png_that_cannot_be_put_in_place_keeps_the_previous_file(kavl_camera, tmp_path,
                                                                     monkeypatch):
    fmt = min((f for f in lx.LxGetFormatList(kavl_camera)[1]
               if f.format == lx.LX_IMAGE_FORMAT.LX_IMAGE_FORMAT_YUY2),
              key=lambda f: f.width * f.height)
    frame = numpy.zeros(fmt.width * fmt.height * 2, dtype=numpy.uint8)
    target = tmp_path / "frame.png"
    target.write_bytes(PREVIOUS)

    def full_disk(source, destination, **dir_fds):
        raise OSError(errno.ENOSPC, "No space left on device")

    monkeypatch.setattr(os, "rename", full_disk)
    with pytest.raises(OSError):
        frames.to_png(frame, fmt, str(target))
    assert target.read_bytes() == PREVIOUS
    assert os.listdir(str(tmp_path)) == ["frame.png"]


# Every path argument of the module: function -> call(cameras, a valid file of its kind with a
# NUL byte and more after it, a folder to write into) -> what it answers. The part before the NUL
# byte names a usable file, so nothing but the NUL check can refuse it.
def _nul(path):
    return path + "\0.evil"


NUL_CALLS = {
    "LxSetLogFile": lambda c, f, out: lx.LxSetLogFile(_nul(os.path.join(out, "sdk.log"))),
    "LxUpgradeFX3FW": lambda c, f, out: lx.LxUpgradeFX3FW(
        lx.LX_FX3_FW_TARGET.FW_TARGET_RAM, _nul(f["usb firmware"]), None),
    "LxUpgradeSensorFW": lambda c, f, out: lx.LxUpgradeSensorFW(
        c, _nul(f["sensor firmware"]), None),
    "LxGetBootdataHeaderV2FromFile": lambda c, f, out: lx.LxGetBootdataHeaderV2FromFile(
        _nul(f["boot data v2"]))[0],
    "LxGetBootdataHeaderV3FromFile": lambda c, f, out: lx.LxGetBootdataHeaderV3FromFile(
        _nul(f["boot data v3"]))[0],
    "LxFlashProductInfo": lambda c, f, out: lx.LxFlashProductInfo(c, _nul(f["boot data v3"])),
    "LxLoadProfileConfig": lambda c, f, out: lx.LxLoadProfileConfig(c, _nul(EXAMPLE_PROFILE)),
    "LxExportSensorConfig": lambda c, f, out: lx.LxExportSensorConfig(
        c, _nul(os.path.join(out, "sensor.bin"))),
    "LxDecodeSensorConfig": lambda c, f, out: lx.LxDecodeSensorConfig(
        _nul(f["sensor config"]), os.path.join(out, "sensor.json")),
    "LxDecodeSensorConfig json_path": lambda c, f, out: lx.LxDecodeSensorConfig(
        f["sensor config"], _nul(os.path.join(out, "sensor.json"))),
    "LxLoadRouteYaml": lambda c, f, out: lx.LxLoadRouteYaml(_nul(EXAMPLE_ROUTE)),
}
NUL_ANSWERS = {
    "LxUpgradeSensorFW": lx.LX_UPGRADE_RESULT.LX_UPGRADE_INVALID_FIRMWARE,
    "LxLoadRouteYaml": None,  # the empty route handle
}


@pytest.fixture
def valid_files(sensor_bin, tmp_path):
    folder = tmp_path / "inputs"
    folder.mkdir()
    return {
        "usb firmware": sim.write_firmware_image(str(folder / "usb.img"), "usb", "3.3.0"),
        "sensor firmware": sim.write_firmware_image(str(folder / "sensor.img"), "sensor"),
        "boot data v2": sim.write_boot_data_image(str(folder / "v2.bin"), 2),
        "boot data v3": sim.write_boot_data_image(str(folder / "v3.bin"), 3),
        "sensor config": sensor_bin,
    }


@pytest.mark.parametrize("case", sorted(NUL_CALLS))
def test_a_path_holding_a_nul_byte_is_an_invalid_argument(case, kavl_camera, valid_files,
                                                          tmp_path):
    out = tmp_path / "out"
    out.mkdir()
    if case == "LxUpgradeFX3FW":
        assert lx.LxGotoUSBProgramMode(kavl_camera) == 0  # the camera waits for an upgrade
    before = (lx.LxGetUSBFirmwareVersion(kavl_camera), lx.LxGetSensorFirmwareVersion(kavl_camera),
              lx.LxGetOSPProfileConfig(kavl_camera))
    answer = NUL_CALLS[case](kavl_camera, valid_files, str(out))
    assert answer == NUL_ANSWERS.get(case.split()[0], INVALID_ARGUMENT)
    assert os.listdir(str(out)) == []
    if case != "LxUpgradeFX3FW":  # program mode answers BUSY to most calls
        assert (lx.LxGetUSBFirmwareVersion(kavl_camera), lx.LxGetSensorFirmwareVersion(kavl_camera),
                lx.LxGetOSPProfileConfig(kavl_camera)) == before


def test_every_path_argument_has_a_nul_case():
    # A function that takes text takes a path: one added later needs its case above.
    module = lx.pyLentraSDK
    taking_text = set()
    for name in dir(module):
        doc = getattr(getattr(module, name), "__doc__", None) or ""
        first = doc.splitlines()[0] if doc else ""
        if first.startswith(name + "(") and re.search(r"\(.*\bstr\b.*\) ->", first):
            taking_text.add(name)
    assert taking_text == {case.split()[0] for case in NUL_CALLS}


def test_the_log_tells_a_nul_byte_from_an_unreadable_file(tmp_path):
    # LxLoadRouteYaml and LxUpgradeSensorFW answer a file they cannot read as they answer a NUL
    # byte; the log says which. In a process of its own, as the log is the library's.
    log = tmp_path / "sdk.log"
    code = (
        "import pylentrasdk as lx\n"
        "lx.LxSetLogLevel(lx.LX_LOG_LEVEL.LX_LOG_LEVEL_DEBUG)\n"
        "assert lx.LxSetLogFile({log!r}) == 0\n"
        "assert lx.LxLoadRouteYaml({route!r}) is None\n"
        "cam = lx.LxInitialCameraDevice(0)\n"
        "assert lx.LxOpen(cam) == 0\n"
        "lx.LxUpgradeSensorFW(cam, {route!r}, None)\n"
    ).format(log=str(log), route=_nul(EXAMPLE_ROUTE))
    done = subprocess.run([sys.executable, "-c", code], cwd=str(tmp_path), timeout=120,
                          capture_output=True, text=True)
    assert done.returncode == 0, done.stderr
    lines = log.read_text().splitlines()
    for function in ("LxLoadRouteYaml", "LxUpgradeSensorFW"):
        said = [line for line in lines if function in line]
        assert said and "NUL byte" in said[0] and "LX_STATUS_INVALID_ARGUMENT" in said[0], lines
