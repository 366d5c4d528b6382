"""Helpers for driving the console tool object directly: scripted menu answers, typed lines and
cameras of the simulated rig opened by kind."""
import io
import os
import sys

import inquirer
import pytest

import pylentrasdk
import pylentrasdk.sim
from pylentrasdk import pylentractl

KAVL = pylentrasdk.LX_CAMERA_PRODUCT_TYPE.LXCAM_PRODUCT_TYPE_KAVL
KAVN = pylentrasdk.LX_CAMERA_PRODUCT_TYPE.LXCAM_PRODUCT_TYPE_KAVN
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
def tool(prompter, clears, typed):
    yield pylentractl.pyLentraCtl(pylentractl.main)
    pylentrasdk.sim.reset()


def open_camera(wanted):
    """Opens the first camera of the rig for which wanted(cam) holds; returns it (or skips)."""
    status, names = pylentrasdk.LxDiscoverCameraDevices()
    for index in range(len(names)):
        cam = pylentrasdk.LxInitialCameraDevice(index)
        if cam is None:
            continue
        pylentrasdk.LxOpen(cam)
        if wanted(cam):
            return cam
        pylentrasdk.LxClose(cam)
    pytest.skip("the simulated rig has no such camera")


def product_is(kind):
    return lambda cam: pylentrasdk.LxGetDeviceProductType(cam)[1] == kind


def is_generic(cam):
    return pylentrasdk.LxIsLentraCamera(cam) != 0


@pytest.fixture
def usb_cam():
    return open_camera(product_is(KAVL))


@pytest.fixture
def mipi_cam():
    return open_camera(product_is(KAVN))


@pytest.fixture
def generic_cam():
    return open_camera(is_generic)


def calls(name):
    return pylentrasdk.sim.call_count(name)
