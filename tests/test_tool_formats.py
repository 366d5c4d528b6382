"""The console tool's device information screen, format lines and format choice."""
import pytest

import pylentrasdk
from pylentrasdk import LX_IMAGE_FORMAT
from conftest import BACK, OutOfAnswers, calls

F = LX_IMAGE_FORMAT


def fmt(width, height, framerate, member):
    value = member if isinstance(member, int) else member.value
    return {"width": width, "height": height, "framerate": framerate, "format": value, "index": 1}


def offer(*formats):
    pylentrasdk.sim.inject("LxGetFormatList", value=list(formats))


def printed_lines(capsys):
    return capsys.readouterr().out.splitlines()


class TestFormatLines:
    def test_layout_none_skipped_and_unknown_values(self, tool, kavl_camera, capsys):
        offer(fmt(1920, 1080, 30, F.LX_IMAGE_FORMAT_UYVY),
              fmt(640, 480, 30, F.LX_IMAGE_FORMAT_NONE),
              fmt(640, 480, 120, F.LX_IMAGE_FORMAT_RGB16),
              fmt(65535, 10000, 5, F.LX_IMAGE_FORMAT_MJPG),
              fmt(8, 6, 1000, 42))
        formatList, formats = tool.GetFormatList(kavl_camera)
        assert formats == [
            "[ 0]:  1920 x 1080  UYVY   30fps",
            "[ 1]:   640 x  480 RGB16  120fps",
            "[ 2]: 65535 x 10000  MJPG    5fps",
            "[ 3]:     8 x    6 UNKNOWN 1000fps",
        ]
        assert printed_lines(capsys) == formats
        assert [(r.width, r.framerate) for r in formatList] == \
            [(1920, 30), (640, 120), (65535, 5), (8, 1000)]

    def test_only_none_formats_give_empty_lists(self, tool, kavl_camera, capsys):
        offer(fmt(640, 480, 30, F.LX_IMAGE_FORMAT_NONE))
        assert tool.GetFormatList(kavl_camera) == ([], [])
        assert capsys.readouterr().out == ""

    def test_format_texts(self, tool):
        texts = {member: tool.FormattoStr(member) for member in F.__members__.values()}
        assert texts == {
            F.LX_IMAGE_FORMAT_MJPG: "MJPG", F.LX_IMAGE_FORMAT_UYVY: "UYVY",
            F.LX_IMAGE_FORMAT_YUY2: "YUY2", F.LX_IMAGE_FORMAT_NV12: "NV12",
            F.LX_IMAGE_FORMAT_BGRA: "BGRA", F.LX_IMAGE_FORMAT_BGRX: "BGRX",
            F.LX_IMAGE_FORMAT_BGR: "BGR", F.LX_IMAGE_FORMAT_RGB16: "RGB16",
            F.LX_IMAGE_FORMAT_RGB: "RGB", F.LX_IMAGE_FORMAT_NONE: "UNKNOWN"}
        assert tool.FormattoStr(F(42)) == "UNKNOWN"

    def test_format_list_screen(self, tool, prompter, kavl_camera, capsys):
        prompter.script(BACK)
        with pytest.raises(OutOfAnswers):
            tool.FormatList(kavl_camera)
        listed = prompter.asked[0]
        assert (listed.message, listed.choices) == ("Format List", [BACK, "exit"])
        assert prompter.asked[1].message == "Camera Control and Management Tool"
        assert capsys.readouterr().out.startswith("[ 0]: ")


class TestSetFormat:
    @pytest.fixture
    def applied(self, monkeypatch):
        records = []
        original = pylentrasdk.LxSetFormat
        monkeypatch.setattr(pylentrasdk, "LxSetFormat",
                            lambda cam, record: records.append(record) or original(cam, record))
        return records

    def test_index_counts_only_the_listed_formats(self, tool, kavl_camera, typed, applied, capsys):
        offer(fmt(640, 480, 30, F.LX_IMAGE_FORMAT_YUY2),
              fmt(640, 480, 30, F.LX_IMAGE_FORMAT_NONE),
              fmt(1280, 720, 30, F.LX_IMAGE_FORMAT_UYVY))
        formatList, formats = tool.GetFormatList(kavl_camera)
        capsys.readouterr()
        pylentrasdk.sim.inject("LxSetFormat", status=0)  # the camera does not offer these
        typed("1")
        result, record = tool.SetFormat(kavl_camera, formatList, formats)
        assert applied == [record] and record is formatList[1]
        assert (record.width, record.format) == (1280, F.LX_IMAGE_FORMAT_UYVY)
        assert result == 0
        assert capsys.readouterr().out.endswith(
            "Set Format Success: \n [ 1]:  1280 x  720  UYVY   30fps\n")

    def test_failure_is_reported_and_returned(self, tool, kavl_camera, typed, capsys):
        formatList, formats = tool.GetFormatList(kavl_camera)
        pylentrasdk.sim.inject("LxSetFormat", status=-5)
        typed("0")
        result, record = tool.SetFormat(kavl_camera, formatList, formats)
        assert result == -5 and record is formatList[0]
        assert capsys.readouterr().out.endswith("Fail to Set Format.\n\n")

    def test_nothing_to_choose_applies_nothing(self, tool, kavl_camera, typed, capsys):
        before = calls("LxSetFormat")
        result, record = tool.SetFormat(kavl_camera, [], [])
        assert result != 0 and record is None
        assert calls("LxSetFormat") == before
        assert "There is nothing to choose from." in capsys.readouterr().out


class TestDeviceInfo:
    def show(self, tool, prompter, cam, capsys):
        prompter.script(BACK)
        with pytest.raises(OutOfAnswers):
            tool.DeviceInfo(cam)
        assert (prompter.asked[0].message, prompter.asked[0].choices) == ("", [BACK, "exit"])
        assert prompter.asked[1].message == "Camera Control and Management Tool"
        return printed_lines(capsys)

    def test_usb_camera(self, tool, prompter, kavl_camera, capsys):
        name = pylentrasdk.LxGetDeviceName(kavl_camera)[1]
        hardware = pylentrasdk.LxGetHardwareID(kavl_camera)[1]
        usb = pylentrasdk.LxGetUSBFirmwareVersion(kavl_camera)[1]
        sensor = pylentrasdk.LxGetSensorFirmwareVersion(kavl_camera)[1]
        assert self.show(tool, prompter, kavl_camera, capsys) == [
            "Device Information:",
            "Device Name:  " + name,
            "HardWareID:  " + hardware,
            "Interface Type:  USB",
            "USB Firmware:  " + usb,
            "Sensor Firmware:  " + sensor,
        ]

    def test_mipi_camera(self, tool, prompter, kavn_camera, capsys):
        name = pylentrasdk.LxGetDeviceName(kavn_camera)[1]
        firmware = pylentrasdk.LxGetKAVRFirmwareVersion(kavn_camera)[1]
        assert self.show(tool, prompter, kavn_camera, capsys) == [
            "Device Information:",
            "Device Name:  " + name,
            "Interface Type:  Sensor",
            "Sensor Firmware:  " + firmware,
        ]

    def test_camera_of_another_maker_shows_its_name_only(self, tool, prompter, webcam,
                                                          capsys):
        name = pylentrasdk.LxGetDeviceName(webcam)[1]
        assert self.show(tool, prompter, webcam, capsys) == \
            ["Device Information:", "Device Name:  " + name]

    def test_unknown_interface_and_other_product_type(self, tool, prompter, webcam, capsys):
        pylentrasdk.sim.inject("LxIsLentraCamera", status=0)
        pylentrasdk.sim.inject("LxGetDeviceInterfaceType", value=2)
        pylentrasdk.sim.inject("LxGetDeviceProductType", value=4)
        lines = self.show(tool, prompter, webcam, capsys)
        assert lines[2:] == ["Interface Type:  Unknown"]
