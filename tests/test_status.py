"""Named statuses: pylentrasdk.LxStatus from the header's one list of codes, and the one text of
a failed call."""
import subprocess
import sys

import pytest

import pylentrasdk as lx
from conftest import formats_of
from pylentrasdk import LxStatus, _tables, errors, sim, status_name
from pylentrasdk.stream import FrameStream, StreamError


def library_name(code):
    name = sim._lib.lxsim_status_name(int(code))
    return None if name is None else name.decode()


def test_every_member_has_the_librarys_name_for_its_code():
    assert [(m.name, library_name(m)) for m in LxStatus] == [(m.name, m.name) for m in LxStatus]


def test_every_code_the_library_names_is_a_member():
    named = {code for code in range(-1000, 1000) if library_name(code) is not None}
    assert named == {int(m) for m in LxStatus}


def test_the_header_list_gives_names_values_and_meanings():
    codes = {c.name: (c.value, c.meaning) for c in _tables.status_codes}
    assert codes["LX_STATUS_OK"][0] == 0 and codes["LX_STATUS_NO_RIG"][0] == -14
    assert codes["LX_STATUS_NOT_OPEN"][1] == "the camera has not been opened"
    assert all(meaning for _, meaning in codes.values())
    assert [(m.name, int(m)) for m in LxStatus] == [(c.name, c.value) for c in _tables.status_codes]


def test_statuses_compare_with_what_the_binding_returns():
    assert lx.LxOpen(None) == LxStatus.LX_STATUS_INVALID_HANDLE
    assert status_name(lx.LxGetDeviceName(None)[0]) == "LX_STATUS_INVALID_HANDLE"


def test_names_of_other_results():
    assert status_name(lx.LX_CAPTURE_RESULT.LX_TIMEOUT) == "LX_TIMEOUT"
    assert status_name(LxStatus.LX_STATUS_BUSY) == "LX_STATUS_BUSY"
    assert status_name(-99) == "status -99"


# A build against an SDK header without the list of codes: no names, and nothing fails to load.
NO_LIST = r"""
import importlib
import pylentrasdk
from pylentrasdk import _tables, errors, status
_tables.status_codes = ()
importlib.reload(status)
importlib.reload(errors)
print(len(status.LxStatus), status.status_name(-3), errors.error_class(-4).__name__)
"""


def test_a_header_without_the_list_names_codes_by_number():
    ran = subprocess.run([sys.executable, "-c", NO_LIST], capture_output=True, text=True,
                         cwd="/", timeout=60)
    assert ran.stdout.split() == ["0", "status", "-3", "LentraError"], ran.stderr


class TestFailureMessage:
    def test_the_text_of_a_failed_call(self):
        assert errors.failure_message("LxOpen", -4) == "LxOpen failed: LX_STATUS_BUSY (-4)"
        assert errors.failure_message("LxSetFormat", -11, "KAVL", "stop it first") == (
            "KAVL: LxSetFormat failed: LX_STATUS_STREAMING (-11): stop it first")
        assert errors.failure_message("LxGetImage", lx.LX_CAPTURE_RESULT.LX_TIMEOUT) == (
            "LxGetImage failed: LX_TIMEOUT (-1)")
        with pytest.raises(errors.CameraBusyError, match=r"^LxOpen failed: LX_STATUS_BUSY \(-4\)$"):
            errors.raise_for_status(-4, "LxOpen")

    def test_the_stream_takes_its_text_from_it(self, kavl_camera, monkeypatch):
        monkeypatch.setattr(errors, "failure_message",
                            lambda function, status, subject=None, detail=None: "one text")
        fmt = formats_of(kavl_camera, lx.LX_IMAGE_FORMAT.LX_IMAGE_FORMAT_YUY2)[0]
        lx.LxClose(kavl_camera)
        with pytest.raises(StreamError, match="^one text$") as caught:
            FrameStream(kavl_camera, fmt)
        assert (caught.value.function, caught.value.status) == ("LxSetFormat", -3)
        assert lx.LxOpen(kavl_camera) == 0
