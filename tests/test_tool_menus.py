"""The console tool's menus: prompts, the home menu, the camera list and camera menu, and
navigation between screens."""
import sys

import pytest

import pylentrasdk
from pylentrasdk import pylentractl
from conftest import BACK, CANCEL, OutOfAnswers, Raw, calls

NOWHERE = Raw("no such entry")
CAMERA_MENU = ["Device Information", "List Formats", "Image operations",
               " < Back to Device List", "exit"]


def exit_code(excinfo):
    return excinfo.value.code or 0


class TestOptionTerminal:
    @pytest.mark.parametrize("answer", ["a", CANCEL, RuntimeError("broken"), KeyboardInterrupt])
    def test_echo_is_restored_whatever_the_outcome(self, tool, prompter, monkeypatch, answer):
        restored = []
        monkeypatch.setattr(pylentractl.pyLentraCtl, "DisableEcho", lambda self: "saved")
        monkeypatch.setattr(pylentractl.pyLentraCtl, "EnableEcho",
                            lambda self, old: restored.append(old))
        prompter.script(answer)
        question = [pylentractl.inquirer.List("pyLentraCtl", choices=["a"])]
        try:
            tool.OptionTerminal(question)
        except (SystemExit, KeyboardInterrupt):
            pass
        assert restored == ["saved"]

    def test_no_answer_ends_the_tool(self, tool, prompter, capsys):
        prompter.script(CANCEL)
        with pytest.raises(SystemExit) as ended:
            tool.OptionTerminal([pylentractl.inquirer.List("pyLentraCtl", choices=["a"])])
        assert exit_code(ended) == 0
        assert capsys.readouterr().out == "Prompt cancelled or no selection. Exiting...\n"

    def test_prompt_error_returns_nothing(self, tool, prompter, capsys):
        prompter.script(RuntimeError("no terminal"))
        question = [pylentractl.inquirer.List("pyLentraCtl", choices=["a"])]
        assert tool.OptionTerminal(question) is None
        assert capsys.readouterr().out == "Error during prompt: no terminal\n"


class TestPromptErrorsInMenus:
    def test_menu_is_asked_again_after_an_error(self, tool, prompter, kavl_camera, capsys):
        prompter.script(RuntimeError("glitch"), "exit")
        closed = calls("LxClose")
        with pytest.raises(SystemExit) as ended:
            tool.CtlList(kavl_camera)
        assert exit_code(ended) == 0
        assert prompter.messages == ["Camera Control and Management Tool"] * 2
        assert "Error during prompt: glitch" in capsys.readouterr().out
        assert calls("LxClose") == closed + 1

    def test_repeated_errors_end_the_tool_with_a_failure(self, tool, prompter, kavl_camera, capsys):
        prompter.script(*[RuntimeError("dead terminal")] * 3)
        with pytest.raises(SystemExit) as ended:
            tool.CtlList(kavl_camera)
        assert exit_code(ended) == 1
        out = capsys.readouterr().out
        assert out.count("Error during prompt: dead terminal") == 3
        assert out.endswith("The prompt failed 3 times in a row. Exiting...\n")


class TestMain:
    def test_exit_from_the_home_menu(self, tool, prompter, clears):
        prompter.script("exit")
        closed = calls("LxClose")
        with pytest.raises(SystemExit) as ended:
            pylentractl.main()
        assert exit_code(ended) == 0
        home = prompter.asked[0]
        assert (home.name, home.message, home.choices, home.carousel) == \
            ("pyLentraCtl", "pyLentraCtl", ["Device List", "exit"], True)
        assert clears == ["clear", "clear"]
        assert calls("LxClose") == closed

    def test_ctrl_c_in_a_menu(self, tool, prompter, capsys):
        prompter.script("Device List", KeyboardInterrupt)
        with pytest.raises(SystemExit) as ended:
            pylentractl.main()
        assert exit_code(ended) == 0
        assert capsys.readouterr().out.endswith("\nPrompt cancelled. Exiting...\n")

    def test_end_of_typed_input_ends_the_tool(self, tool, prompter, typed, capsys):
        # Typed input that ends (Ctrl-D) while the tool waits for a format index.
        prompter.script("Device List", 0, "Image operations", "Save Image")
        typed("abc")
        with pytest.raises(SystemExit) as ended:
            pylentractl.main()
        assert exit_code(ended) == 0
        assert capsys.readouterr().out.endswith("\nPrompt cancelled. Exiting...\n")

    def test_returning_screens_lead_back_to_the_home_menu(self, tool, prompter):
        # An answer no entry matches ends the screen; the home menu is shown anew.
        prompter.script("Device List", 0, NOWHERE, "exit")
        with pytest.raises(SystemExit):
            pylentractl.main()
        assert prompter.messages == ["pyLentraCtl", "Cameras List",
                                     "Camera Control and Management Tool", "pyLentraCtl"]


class TestDeviceList:
    def test_cameras_of_the_same_name_open_the_one_picked(self, tool, prompter, monkeypatch):
        pylentrasdk.sim.inject("LxDiscoverCameraDevices", value=["Twin", "Twin"])
        opened = []
        original = pylentrasdk.LxInitialCameraDevice
        monkeypatch.setattr(pylentrasdk, "LxInitialCameraDevice",
                            lambda index: opened.append(index) or original(index))
        prompter.script(1)
        before = calls("LxOpen")
        with pytest.raises(OutOfAnswers):
            tool.GetDeviceList()
        assert [(a.message, a.choices) for a in prompter.asked] == [
            ("Cameras List", ["Twin", "Twin"]), ("Camera Control and Management Tool", CAMERA_MENU)]
        assert opened == [1]
        assert calls("LxOpen") == before + 1

    @pytest.mark.parametrize("status", [0, -1])
    def test_no_camera(self, tool, prompter, status):
        pylentrasdk.sim.inject("LxDiscoverCameraDevices", status=status, value=[])
        prompter.script("exit")
        with pytest.raises(SystemExit) as ended:
            tool.GetDeviceList()
        assert exit_code(ended) == 0
        assert [(a.message, a.choices) for a in prompter.asked] == \
            [("No Camera detected! Please exit.", ["exit"])]

    def test_back_to_device_list_closes_before_discovering(self, tool, prompter, kavl_camera,
                                                           monkeypatch):
        events = []
        for name in ("LxClose", "LxDiscoverCameraDevices"):
            original = getattr(pylentrasdk, name)
            monkeypatch.setattr(pylentrasdk, name,
                                lambda *a, _n=name, _o=original: events.append(_n) or _o(*a))
        prompter.script(" < Back to Device List")
        with pytest.raises(OutOfAnswers):
            tool.CtlList(kavl_camera)
        assert events == ["LxClose", "LxDiscoverCameraDevices"]
        assert prompter.messages[-1] == "Cameras List"


@pytest.mark.parametrize("camera", ["kavl_camera", "kavn_camera", "webcam"])
def test_camera_menu_entries(tool, prompter, request, camera):
    cam = request.getfixturevalue(camera)
    with pytest.raises(OutOfAnswers):
        tool.CtlList(cam)
    assert prompter.asked[0].message == "Camera Control and Management Tool"
    assert prompter.asked[0].choices == CAMERA_MENU


@pytest.mark.parametrize("menu, screen", [
    ("Device Information", "DeviceInfo"), ("List Formats", "FormatList"),
    ("Image operations", "ImageOperation")])
def test_operation_screens_exit_closes_the_camera(tool, prompter, kavl_camera, clears, menu, screen):
    prompter.script(menu, "exit")
    closed = calls("LxClose")
    with pytest.raises(SystemExit) as ended:
        tool.CtlList(kavl_camera)
    assert exit_code(ended) == 0
    assert calls("LxClose") == closed + 1
    assert clears[-1] == "clear"
    assert prompter.asked[1].choices[-2:] == [BACK, "exit"]


def headroom():
    """How many more nested calls fit under the recursion limit from here."""
    def down(depth):
        try:
            return down(depth + 1)
        except RecursionError:
            return depth
    return down(0)


class RecordingPrompter:
    def __init__(self, inner):
        self.inner = inner
        self.headrooms = []

    def __call__(self, questions, theme=None):
        self.headrooms.append(headroom())
        return self.inner(questions, theme)


class TestNavigation:
    def test_moving_between_screens_keeps_the_stack_flat(self, tool, prompter, kavl_camera,
                                                          monkeypatch, capsys):
        recording = RecordingPrompter(prompter)
        monkeypatch.setattr(pylentractl.inquirer, "prompt", recording)
        for _ in range(2500):
            prompter.script("Device Information", BACK)
        prompter.script("exit")
        limit = sys.getrecursionlimit()
        sys.setrecursionlimit(200)
        try:
            with pytest.raises(SystemExit) as ended:
                tool.CtlList(kavl_camera)
        finally:
            sys.setrecursionlimit(limit)
        assert exit_code(ended) == 0
        assert len(prompter.asked) == 5001
        assert "Error during prompt" not in capsys.readouterr().out
        assert min(recording.headrooms) == max(recording.headrooms)

    def test_screen_named_but_not_returned_is_still_shown(self, tool, prompter, kavl_camera):
        class Tool(pylentractl.pyLentraCtl):
            @pylentractl._screen
            def Detour(self, cam):
                self.CtlList(cam)

        prompter.script(NOWHERE)
        assert Tool(pylentractl.main).Detour(kavl_camera) is None
        assert prompter.messages == ["Camera Control and Management Tool"]

    def test_main_called_back_from_a_screen_shows_the_home_menu(self, tool, prompter):
        class Tool(pylentractl.pyLentraCtl):
            @pylentractl._screen
            def GoHome(self):
                return self.mainCallback()

        prompter.script("exit")
        with pytest.raises(SystemExit):
            Tool(pylentractl.main).GoHome()
        assert prompter.messages == ["pyLentraCtl"]
