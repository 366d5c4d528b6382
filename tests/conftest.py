"""Shared fixtures: every test starts on the default simulated rig; opened cameras of each kind
the default rig offers; the console tool object driven with scripted menu answers and typed
lines."""
import io
import os
import signal
import sys

import inquirer
import pytest

import pylentrasdk as lx
from pylentrasdk import pylentractl, sim

# A shell starts a command put in the background (`cmd &`) with Ctrl-C ignored, and the
# programs it starts inherit that; the tests of Ctrl-C, in this process and in the programs they
# start, need it as a terminal gives it.
if signal.getsignal(signal.SIGINT) is signal.SIG_IGN:
    signal.signal(signal.SIGINT, signal.default_int_handler)


@pytest.fixture(autouse=True)
def fresh_rig():
    """Faults, loaded rigs, pacing and call counts never leak from one test into the next."""
    yield
    sim.reset()


def _open_first(wanted):
    status, names = lx.LxDiscoverCameraDevices()
    assert status == 0
    for index in range(len(names)):
        cam = lx.LxInitialCameraDevice(index)
        assert cam is not None
        if lx.LxOpen(cam) != 0:
            continue  # already opened by another fixture of the same test
        if wanted(cam):
            return cam
        lx.LxClose(cam)
    raise AssertionError("the default rig lacks a camera this test needs")


def _product(kind):
    return lambda cam: lx.LxGetDeviceProductType(cam) == (0, kind)


@pytest.fixture
def kavl_camera():
    """The USB 3 camera of the KAVL family, opened."""
    cam = _open_first(_product(lx.LX_CAMERA_PRODUCT_TYPE.LXCAM_PRODUCT_TYPE_KAVL))
    yield cam
    lx.LxClose(cam)


@pytest.fixture
def kavn_camera():
    """The MIPI CSI-2 camera of the KAVN family, opened."""
    cam = _open_first(_product(lx.LX_CAMERA_PRODUCT_TYPE.LXCAM_PRODUCT_TYPE_KAVN))
    yield cam
    lx.LxClose(cam)


@pytest.fixture
def webcam():
    """The plain UVC webcam that is not one of the maker's cameras, opened."""
    cam = _open_first(lambda cam: lx.LxIsLentraCamera(cam) != 0)
    yield cam
    lx.LxClose(cam)


@pytest.fixture(params=["kavl_camera", "kavn_camera", "webcam"])
def any_camera(request):
    """Each camera of the default rig in turn."""
    return request.getfixturevalue(request.param)


def formats_of(cam, *pixel_formats):
    """The camera's formats that carry frames (optionally only the given pixel formats)."""
    status, formats = lx.LxGetFormatList(cam)
    assert status == 0
    none = lx.LX_IMAGE_FORMAT.LX_IMAGE_FORMAT_NONE
    return [
        f
        for f in formats
        if f.format != none and (not pixel_formats or f.format in pixel_formats)
    ]


def made_formats(*sizes):
    """LxFormat records of any size, which Python cannot construct: the SDK hands them back
    from an injected format list. Each entry is (width, height, LX_IMAGE_FORMAT member)."""
    sim.inject(
        "LxGetFormatList",
        value=[
            {"width": w, "height": h, "framerate": 30, "format": int(f), "index": i}
            for i, (w, h, f) in enumerate(sizes)
        ],
    )
    status, formats = lx.LxGetFormatList(None)
    assert status == 0 and len(formats) == len(sizes)
    return formats


def calls(name):
    return sim.call_count(name)


# ---------------------------------------------------------------------------------------------
# The console tool
# ---------------------------------------------------------------------------------------------
BACK = " < Back to Camera Control and Management Tool"


class OutOfAnswers(BaseException):
    """The tool asked a menu question after the script ran out: the test stops it there.

    A BaseException, so the tool's own error handling of prompts does not swallow it."""


class Asked:
    def __init__(self, question, theme):
        self.name = question.name
        self.message = question.message
        self.choices = [str(choice) for choice in question.choices]
        self.values = [getattr(choice, "value", choice) for choice in question.choices]
        self.carousel = question.carousel
        self.theme = theme


CANCEL = object()  # the user gave no answer (Ctrl-C inside the menu)


class Raw:
    """An answer handed back as it is, whether offered or not."""

    def __init__(self, value):
        self.value = value


class Prompter:
    """Stands in for inquirer.prompt. Each scripted answer is the text of an entry (or its
    position as an int), CANCEL, Raw(anything), or an exception (class or object) to raise
    from the prompt."""

    def __init__(self, answers=()):
        self.answers = list(answers)
        self.asked = []

    def script(self, *answers):
        self.answers.extend(answers)

    def __call__(self, questions, theme=None):
        assert len(questions) == 1
        asked = Asked(questions[0], theme)
        self.asked.append(asked)
        if not self.answers:
            raise OutOfAnswers(asked.message)
        answer = self.answers.pop(0)
        if answer is CANCEL:
            return {}
        if isinstance(answer, Raw):
            return {asked.name: answer.value}
        if isinstance(answer, BaseException) or (isinstance(answer, type)
                                                 and issubclass(answer, BaseException)):
            raise answer
        if isinstance(answer, int):
            position = answer
        else:
            assert answer in asked.choices, "%r is not offered: %r" % (answer, asked.choices)
            position = asked.choices.index(answer)
        return {asked.name: asked.values[position]}

    @property
    def messages(self):
        return [asked.message for asked in self.asked]


@pytest.fixture
def prompter(monkeypatch):
    fake = Prompter()
    monkeypatch.setattr(inquirer, "prompt", fake)
    return fake


@pytest.fixture
def clears(monkeypatch):
    """The shell commands the tool ran (it only clears the screen); nothing is really run."""
    commands = []

    def system(command):
        commands.append(command)
        return 0

    monkeypatch.setattr(os, "system", system)
    return commands


@pytest.fixture
def typed(monkeypatch):
    """typed("line", ...) makes these lines the rest of standard input."""

    def feed(*lines):
        monkeypatch.setattr(sys, "stdin", io.StringIO("".join(line + "\n" for line in lines)))

    feed()
    return feed


@pytest.fixture
def tool(prompter, clears, typed, monkeypatch):
    """The console tool object, with its prompts, screen clearing and typed input scripted.
    Standard input is scripted, so the tool is told it has its terminal."""
    monkeypatch.setattr(pylentractl, "_hasTerminal", lambda: True)
    return pylentractl.pyLentraCtl(pylentractl.main)
