"""pylentrasdk.sim: rigs, faults, pacing, call counts and frame numbers."""
import json
import os

import numpy as np
import pytest

import pylentrasdk as lx
from conftest import formats_of
from pylentrasdk import sim

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
ONE_CAMERA = {
    "devices": [
        {
            "name": "Bench camera",
            "product_type": "KAVL",
            "formats": [{"width": 640, "height": 480, "framerate": 30, "format": "YUY2"}],
        }
    ]
}


def names():
    status, found = lx.LxDiscoverCameraDevices()
    assert status == 0
    return list(found)


class TestRigs:
    def test_default_description_is_the_default_rig(self):
        rig = sim.default_description()
        assert [d["name"] for d in rig["devices"]] == names()
        rig["devices"].clear()
        assert sim.default_description()["devices"]  # a fresh copy each call

    @pytest.mark.parametrize("form", [dict, json.dumps, lambda d: json.dumps(d).encode()])
    def test_load(self, form):
        sim.load(form(ONE_CAMERA))
        assert names() == ["Bench camera"]

    def test_load_file(self, tmp_path):
        path = tmp_path / "rig.json"
        path.write_text(json.dumps(ONE_CAMERA))
        sim.load_file(path)
        assert names() == ["Bench camera"]
        with pytest.raises(sim.SimError):
            sim.load_file(tmp_path / "missing.json")

    @pytest.mark.parametrize(
        "description",
        ["{not json", {"devices": [{"formats": [{"width": 641, "format": "YUY2"}]}]},
         {"devices": [{"product_type": "TOASTER"}]}],
    )
    def test_bad_description_leaves_no_cameras(self, description):
        with pytest.raises(sim.SimError) as error:
            sim.load(description)
        assert str(error.value) and sim.load_error() == str(error.value)
        assert lx.LxDiscoverCameraDevices()[0] == -14  # LX_STATUS_NO_RIG
        sim.reset()
        assert sim.load_error() is None and len(names()) == 3

    @pytest.mark.parametrize("load, arg", [(sim.load, '{"devices": []}\0{"devices": 5}'),
                                           (sim.load_file, "rig.json\0.evil")])
    def test_texts_with_nul_are_refused(self, load, arg):
        # A C string would end at the NUL: another description or file than the one given.
        with pytest.raises(ValueError, match="NUL"):
            load(arg)
    def test_handles_of_a_replaced_rig_answer_with_a_status(self, kavl_camera):
        fmt = lx.LxGetFormatList(kavl_camera)[1][0]
        assert lx.LxSetFormat(kavl_camera, fmt) == 0 and lx.LxStartStreaming(kavl_camera) == 0
        sim.load(ONE_CAMERA)
        assert lx.LxInitialCameraDevice(0) is not kavl_camera
        # A thread left holding the old camera reaches neither the new rig's call counts nor
        # the faults injected for it.
        sim.reset_call_counts()
        sim.inject("LxGetDeviceName", status=-5)
        sim.inject("LxGetImage", result=lx.LX_TIMEOUT)
        assert lx.LxGetDeviceName(kavl_camera)[0] == lx.LxStatus.LX_STATUS_INVALID_HANDLE
        assert lx.LxGetImage(kavl_camera, 100, fmt)[0] == lx.LX_OTHER_ERROR
        assert sim.call_count("LxGetDeviceName") == sim.call_count("LxGetImage") == 0
        cam = lx.LxInitialCameraDevice(0)
        assert lx.LxOpen(cam) == 0 and lx.LxGetDeviceName(cam)[0] == -5

    def test_reset_restores_the_default_rig(self):
        default = names()
        sim.load(ONE_CAMERA)
        sim.inject("LxOpen", status=-1, count=5)
        sim.set_pacing("free-run")
        sim.reset()
        assert names() == default
        assert sim.call_count("LxOpen") == 0 and sim.get_pacing() == "realtime"
        assert lx.LxOpen(lx.LxInitialCameraDevice(0)) == 0


def test_sample_files_are_installed_and_usable(kavl_camera):
    # The installed copies, not the repository's: examples name them from any folder.
    path = sim.sample_path("default_rig.json")
    assert not path.startswith(os.path.join(ROOT, "sdk"))
    with open(path, encoding="utf-8") as f:
        assert json.load(f) == sim.default_description()
    assert lx.LxLoadProfileConfig(kavl_camera, sim.sample_path("kavl_yuy2_1080p.yaml")) == 0
    assert lx.LxLoadRouteYaml(sim.sample_path("second_camera.yaml")) is not None
    with pytest.raises(ValueError, match="second_camera.yaml"):
        sim.sample_path("missing.yaml")


class TestFaults:
    def test_count_withdraw_and_clear(self, kavl_camera):
        sim.inject("LxGetDeviceName", status=-3, text="x", count=2)
        assert [lx.LxGetDeviceName(kavl_camera)[0] for _ in range(3)][:2] == [-3, -3]
        assert lx.LxGetDeviceName(kavl_camera)[0] == 0
        first, second = (sim.inject("LxGetDeviceName", status=s) for s in (-3, -4))
        sim.withdraw(first)                     # the other stays
        assert lx.LxGetDeviceName(kavl_camera)[0] == -4
        sim.inject("LxGetDeviceName", status=-5)
        sim.withdraw(second)                    # used up already: nothing to drop
        assert lx.LxGetDeviceName(kavl_camera)[0] == -5
        sim.inject("LxGetDeviceName", status=-3, count=10)
        sim.clear_faults()
        assert lx.LxGetDeviceName(kavl_camera)[0] == 0

    def test_members_and_arrays_are_sent_as_numbers(self, kavl_camera):
        sim.inject("LxGetDeviceInterfaceType", value=lx.INTERFACE_ETHERNET, status=np.int32(0))
        assert lx.LxGetDeviceInterfaceType(kavl_camera) == (0, lx.INTERFACE_ETHERNET)

    @pytest.mark.parametrize(
        "function, keywords, error, message",
        [
            ("LxNoSuchFunction", {}, sim.SimError, 'no SDK function is named "LxNoSuchFunction"'),
            ("LxGetDeviceName", {"text": 5}, TypeError, "text must be str or bytes"),
            (b"LxOpen", {"count": "x"}, TypeError, "count must be an int"),
            # ctypes would wrap these into the C int: 2**32 + 1 became 1.
            ("LxOpen", {"count": 2**32 + 1}, ValueError, "count must be from 1 to 2147483647"),
            ("LxOpen", {"count": 0}, ValueError, "count must be from 1"),
            ("LxOpen", {"status": 1.5}, TypeError, "status must be an int"),
            ("LxOpen\0", {}, ValueError, "NUL"),
            # A value of another shape than the function's output used to become an empty
            # success.
            ("LxDiscoverCameraDevices", {"value": [1, 2, 3]}, sim.SimError,
             "value: LxDiscoverCameraDevices hands back a list of texts"),
            ("LxGetDeviceName", {"value": 123}, sim.SimError,
             "value: LxGetDeviceName hands back a text"),
            ("LxGetDeviceInterfaceType", {"value": 1e300}, sim.SimError,
             "value: must be a whole number within 64 bits"),
            ("LxGetDeviceInterfaceType", {"value": 1.5}, sim.SimError,
             "value: must be a whole number within 64 bits"),
            ("LxOpen", {"value": 1}, sim.SimError, "value: LxOpen hands back no value"),
            ("LxGetFormatList", {"value": [{"width": 1e300}]}, sim.SimError,
             "value: fields must be finite numbers within float range"),
            # A success must say how many bytes it received, or the whole buffer passes for
            # a frame.
            ("LxGetImage", {"result": 0}, sim.SimError,
             "size: a successful capture must say how many bytes it received"),
            ("LxGetImage", {}, sim.SimError, "size: a successful capture"),
        ],
    )
    def test_refused_injections(self, function, keywords, error, message):
        with pytest.raises(error) as refused:
            sim.inject(function, **keywords)
        assert message in str(refused.value)
        sim.reset_call_counts()
        assert sim.call_count("LxOpen") == 0  # nothing was queued
        assert lx.LxOpen(lx.LxInitialCameraDevice(0)) == 0

    def test_accepted_shapes(self, kavl_camera):
        sim.inject("LxGetDeviceInterfaceType", value=2**40 + 1)  # wraps into the output
        assert lx.LxGetDeviceInterfaceType(kavl_camera)[0] == 0
        sim.inject("LxDiscoverCameraDevices", value=[])
        status, found = lx.LxDiscoverCameraDevices()
        assert (status, list(found)) == (0, [])
        sim.inject("LxGetImage", result=lx.LX_TIMEOUT)  # a failure needs no size
        sim.inject("LxGetImage", result=lx.LX_SUCCESS, size=0)

    def test_call_counts(self, kavl_camera):
        sim.reset_call_counts()
        lx.LxGetDeviceName(kavl_camera)
        sim.inject("LxGetDeviceName", status=-1)
        lx.LxGetDeviceName(kavl_camera)
        assert sim.call_count("LxGetDeviceName") == 2
        assert sim.call_count("LxGetDevicePath") == 0
        with pytest.raises(sim.SimError, match="LxOpne"):
            sim.call_count("LxOpne")
        # The message is this call's, not left over from the last refused request.
        with pytest.raises(sim.SimError):
            sim.inject("LxGetDeviceName", value=123)
        with pytest.raises(sim.SimError) as refused:
            sim.call_count("LxNoSuchFunction")
        assert str(refused.value) == "no SDK function is named 'LxNoSuchFunction'"


class TestPacing:
    def test_modes(self):
        assert sim.get_pacing() == "realtime"
        sim.set_pacing("free-run")
        assert sim.get_pacing() == "free-run"
        with pytest.raises(ValueError):
            sim.set_pacing("fast")
        assert sim.get_pacing() == "free-run"

    def test_free_run_restores_the_previous_mode(self):
        with sim.free_run():
            assert sim.get_pacing() == "free-run"
        assert sim.get_pacing() == "realtime"
        with pytest.raises(KeyError):
            with sim.free_run():
                raise KeyError
        assert sim.get_pacing() == "realtime"


class TestFrameNumbers:
    def test_read_back_from_every_format(self, any_camera):
        for fmt in formats_of(any_camera):
            assert lx.LxSetFormat(any_camera, fmt) == 0
            assert lx.LxStartStreaming(any_camera) == 0
            with sim.free_run():
                result, frame = lx.LxGetImage(any_camera, 3000, fmt)
            assert result == lx.LX_SUCCESS
            by_record = sim.read_frame_number(frame, fmt)
            assert by_record is not None, fmt.format
            assert sim.read_frame_number(bytes(frame), fmt.format, fmt.width, fmt.height) == by_record
            assert lx.LxStopStreaming(any_camera) == 0

    def test_unreadable_frames(self):
        yuy2 = lx.LX_IMAGE_FORMAT.LX_IMAGE_FORMAT_YUY2
        assert sim.read_frame_number(b"", yuy2, 640, 480) is None
        assert sim.read_frame_number(np.zeros(10, np.uint8), yuy2, 640, 480) is None
        with pytest.raises(TypeError):
            sim.read_frame_number(b"", yuy2)
        with pytest.raises(TypeError):
            sim.read_frame_number(b"", 1, 640, 480)
