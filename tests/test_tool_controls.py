"""The console tool's Camera Control, OSP profile and timestamp screens."""
import sys

import pytest

import pylentrasdk
from pylentrasdk import LX_ISP_IMAGE_PROPERTIES as ISP, LX_OSP_PROFILE_FLAG as FLAG
from conftest import BACK, OutOfAnswers, calls
from tool_terminal import ToolTerminal

MODE_BAR = " " * 39 + " | " + " " * 6


def lines(capsys):
    return capsys.readouterr().out.splitlines()


def listing(tool, cam, capsys):
    controls = tool._ControlTable(cam)
    tool.GetAllControl(cam, controls)
    return controls, lines(capsys)


class TestControlTable:
    def test_kavl_cameraera_with_ehdr_sensor(self, tool, kavl_camera):
        names = list(tool._ControlTable(kavl_camera))
        assert len(names) == 30 and names[0] == "Brightness"
        assert names[21:24] == ["Throughput", "Max_FPS", "eHDR_Mode"] and names[-1] == "eHDR_Atm_Max"

    def test_kavn_cameraera_gets_trigger_mode_and_ehdr_needs_the_family(self, tool, kavn_camera):
        pylentrasdk.sim.inject("LxGetDeviceName", text="KAVN AR0822 MIPI")
        names = list(tool._ControlTable(kavn_camera))
        assert names[23] == "Trigger_mode" and names[24:] [0] == "eHDR_Mode" and len(names) == 31
        pylentrasdk.sim.inject("LxGetDeviceProductType", value=int(
            pylentrasdk.LX_CAMERA_PRODUCT_TYPE.LXCAM_PRODUCT_TYPE_OV5640))
        pylentrasdk.sim.inject("LxGetDeviceName", text="AR0821")
        assert list(tool._ControlTable(kavn_camera))[-1] == "Trigger_mode"

    def test_failed_queries_leave_the_optional_entries_out(self, tool, kavl_camera):
        pylentrasdk.sim.inject("LxGetDeviceName", status=-1, text="AR0822")
        assert len(tool._ControlTable(kavl_camera)) == 23


class TestListing:
    def test_rows_mode_lines_and_read_only(self, tool, kavl_camera, capsys):
        controls, out = listing(tool, kavl_camera, capsys)
        assert out[:2] == ["Available controls:", "=" * 61]
        assert out[2] == "[ 0] Brightness                     128 |        0 - 255     "
        assert "[21] Throughput                     500 |    10.00 - 1000.00 " in out
        assert "[22] Max_FPS                         60 |        1 - 120     " in out
        at = out.index("[ 7] White_Balance_Mode               1 |        0 - 1       ")
        assert out[at + 1] == MODE_BAR + " Manual Temperature(0), Auto(1)"
        at = out.index("Exposure_Max_Time control is read-only")
        assert out[at + 1] == "[13] Exposure_Max_Time            33000 |        1 - 33000    (Read-only)"
        assert out[-2:] == ["[28] eHDR_Atm_Weight                 50 |        0 - 100     ",
                            "[29] eHDR_Atm_Max                   200 |        0 - 255     "]
        # The bar of a mode line stands under the bar of a row.
        assert out[2].index("|") == (MODE_BAR + "x").index("|")

    def test_a_failed_reading_keeps_the_positions(self, tool, kavl_camera, capsys):
        controls = tool._ControlTable(kavl_camera)
        pylentrasdk.sim.inject("LxGetISPImageProcessing", status=-3)
        tool.GetAllControl(kavl_camera, controls)
        out = lines(capsys)
        assert out[2] == "Failed to get [0]: Brightness"
        assert out[3].startswith("[ 1] Contrast ")

    def test_single_view(self, tool, prompter, kavl_camera, typed, capsys):
        controls = tool._ControlTable(kavl_camera)
        typed("x", "40", "13")
        with pytest.raises(OutOfAnswers):
            tool.GetSpecificControl(kavl_camera, controls)
        out = lines(capsys)
        assert "[29] eHDR_Atm_Max" in out
        assert out[-3].endswith("Name                         Value |    Range")
        assert out[-2:] == [
                            "Exposure_Max_Time control is read-only",
                            "Exposure_Max_Time            33000 |        1 - 33000    (Read-only)"]
        assert prompter.asked[-1].choices == [" < Back to Get Controls Menu",
                                              " << Back to Camera Control Menu", "exit"]


class TestSetting:
    def test_read_only_is_refused_and_the_index_asked_again(self, tool, prompter, kavl_camera,
                                                            typed, clears, capsys):
        controls = tool._ControlTable(kavl_camera)
        typed("13", "0", "255")
        with pytest.raises(OutOfAnswers):
            tool.SetControl(kavl_camera, controls)
        out = lines(capsys)
        # Typed lines end the prompts' lines in a terminal; here the message follows the prompt.
        refused = [n for n, line in enumerate(out)
                   if line.endswith("Enter a property index: Exposure_Max_Time control is read-only")]
        assert len(refused) == 1 and out[refused[0] + 1] == "Available controls:"
        assert out[-1].endswith("Set Successfully!")
        assert pylentrasdk.LxGetISPImageProcessing(kavl_camera, ISP.ISP_IMAGE_BRIGHTNESS)[1] == 255
        assert pylentrasdk.LxGetISPImageProcessing(kavl_camera, ISP.ISP_IMAGE_EXPOSURE_MAX_TIME)[1] \
            == 33000

    def test_failed_write_and_stream_settings(self, tool, prompter, kavl_camera, typed, capsys):
        controls = tool._ControlTable(kavl_camera)
        pylentrasdk.sim.inject("LxSetISPImageProcessing", status=-1)
        typed("0", "3")
        with pytest.raises(OutOfAnswers):
            tool.SetControl(kavl_camera, controls)
        assert lines(capsys)[-1].endswith("Enter a value: Fail to set Brightness")
        typed("21", "1001", "1000")
        with pytest.raises(OutOfAnswers):
            tool.SetControl(kavl_camera, controls)
        out = lines(capsys)
        assert "(Range of Throughput: 10.0-1000.0)" in out
        assert out[-1].endswith("Enter a value: ")  # nothing printed after setting
        assert pylentrasdk.LxGetThroughPut(kavl_camera) == (0, 1000)
        assert prompter.asked[-1].choices == [" < Back to Camera Control Menu", "exit"]

    def test_restarts_do_not_deepen_the_stack(self, tool, prompter, kavl_camera, typed,
                                              monkeypatch):
        controls = tool._ControlTable(kavl_camera)
        monkeypatch.setattr(sys.modules["builtins"], "print", lambda *a, **k: None)
        typed(*(["12"] * 200 + ["0", "1"]))
        depths = []
        original = tool.GetAllControl

        def recording(cam, table):
            depths.append(len(__import__("inspect").stack(0)))
            return original(cam, table)

        monkeypatch.setattr(tool, "GetAllControl", recording)
        with pytest.raises(OutOfAnswers):
            tool.SetControl(kavl_camera, controls)
        assert len(depths) == 201 and depths[-1] == depths[1]


class TestOsp:
    def test_set_then_get(self, tool, prompter, kavl_camera, capsys):
        prompter.script("ENABLE_AND_SAVE", " < Back to OSP Profile Management", "Get OSP Flag")
        with pytest.raises(OutOfAnswers):
            tool.SetOSPFlag(kavl_camera, tool._OSPLabels())
        assert prompter.asked[0].name == "setOSP"
        assert prompter.asked[0].choices == ["DISABLED", "ENABLED", "ENABLE_AND_SAVE"]
        assert pylentrasdk.LxGetOSPProfileFlag(kavl_camera) == (0, FLAG.ENABLED_AND_SAVE)
        assert lines(capsys) == ["Set OSP Profile Successful!", "OSP Profile Flag:  ENABLE_AND_SAVE"]

    def test_failures_are_not_reported_as_success(self, tool, prompter, kavl_camera, capsys):
        pylentrasdk.sim.inject("LxSetOSPProfileFlag", status=-6)
        prompter.script("ENABLED")
        with pytest.raises(OutOfAnswers):
            tool.SetOSPFlag(kavl_camera, tool._OSPLabels())
        pylentrasdk.sim.inject("LxGetOSPProfileFlag", status=-6, value=1)
        with pytest.raises(OutOfAnswers):
            tool.GetOSPFlag(kavl_camera, tool._OSPLabels())
        pylentrasdk.sim.inject("LxGetOSPProfileFlag", value=9)
        with pytest.raises(OutOfAnswers):
            tool.GetOSPFlag(kavl_camera, tool._OSPLabels())
        assert lines(capsys) == ["Fail to set OSP Profile Flag ENABLED",
                                 "OSP Profile Flag:  UNKNOWN", "OSP Profile Flag:  UNKNOWN"]


class TestTimestamp:
    def test_menu_warns_every_time(self, tool, prompter, kavl_camera, capsys):
        prompter.script("Reset FrameCount", " < Back to Timestamp Operations")
        with pytest.raises(OutOfAnswers):
            tool.Timestamp(kavl_camera)
        warning = "[!] The reset functions must be used when the camera is streaming."
        assert lines(capsys) == [warning, warning]
        assert calls("LxResetFrameCount") == 1

    def test_readings_and_failed_readings(self, tool, prompter, kavl_camera, capsys):
        pylentrasdk.sim.inject("LxGetTimestamp", value=0.1)
        pylentrasdk.sim.inject("LxGetFrameCount", status=-3, value=7)
        for screen in (tool.GetTimestamp, tool.GetFrameCount):
            with pytest.raises(OutOfAnswers):
                screen(kavl_camera)
        assert lines(capsys) == ["Timestamp: 0.10000000149011612", "", "Failed to get FrameCount"]
        assert prompter.asked[-1].choices == [" < Back to Timestamp Operations", "exit"]


# --- in a real terminal ---------------------------------------------------------------------


@pytest.fixture
def term(tmp_path):
    pytest.importorskip("termios")
    terminal = ToolTerminal(cwd=str(tmp_path), lines=60, columns=120)
    yield terminal
    terminal.close()


def open_kavl_cameraera(term):
    status, names = pylentrasdk.LxDiscoverCameraDevices()
    term.choose("Device List")
    term.choose(names[0])
    term.wait_for("[?] Camera Control and Management Tool:")


def test_terminal_listing_and_setting(term):
    open_kavl_cameraera(term)
    assert term.menu_entries()[:4] == ["Device Information", "Camera Control", "List Formats",
                                       "Image operations"]
    term.choose("Camera Control")
    term.choose("Get Controls")
    term.choose("Get all controls value")
    term.wait_for("[29] eHDR_Atm_Max")
    assert "[ 0] Brightness                     128 |        0 - 255" in term.text()
    term.choose(" << Back to Camera Control Menu")
    term.choose("Set Controls")
    term.wait_for("Enter a property index:")
    term.type_line("13")
    term.wait_for("Exposure_Max_Time control is read-only")
    term.wait_for(lambda text: text.count("Enter a property index:") == 1
                  and "Exposure_Max_Time control is read-only" in text)
    term.type_line("0")
    term.wait_for("Enter a value:")
    term.type_line("256")
    term.wait_for("The value is out of range. Brightness Range: 0-255")
    term.type_line("7.5")
    term.wait_for("The input must be a number.")
    term.type_line("255")
    term.wait_for("Set Successfully!")
    term.choose(" < Back to Camera Control Menu")
    term.choose("Get Controls")
    term.choose("Get specific control value")
    term.wait_for("Enter a property index:")
    term.type_line("0")
    term.wait_for("Brightness                     255 |        0 - 255")
    term.choose("exit")
    assert term.finish() == 0


def test_terminal_osp_and_timestamp(term):
    open_kavl_cameraera(term)
    term.choose("OSP Profile management")
    term.choose("Set OSP Flag")
    term.choose("ENABLE_AND_SAVE")
    term.wait_for("Set OSP Profile Successful!")
    # The flag's question stays on screen above the closing menu, cursor mark and all: the
    # closing menu's cursor is on its first entry, the way back.
    term.wait_for("[?] OSP Profile Management:")
    term.pump(0.3)
    term.press("enter")
    term.wait_for("Get OSP Flag")
    term.choose("Get OSP Flag")
    term.wait_for("OSP Profile Flag:  ENABLE_AND_SAVE")
    term.choose(" < Back to OSP Profile Management")
    term.choose(BACK)
    term.choose("Timestamp operations")
    term.wait_for("[!] The reset functions must be used when the camera is streaming.")
    term.choose("Get FrameCount")
    term.wait_for("FrameCount: 0")
    term.choose("exit")
    assert term.finish() == 0
