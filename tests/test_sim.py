"""pylentrasdk.sim: rigs, faults, pacing, call counts and frame numbers."""
import json

import numpy as np
import pytest

import pylentrasdk as lx
from conftest import formats_of
from pylentrasdk import sim

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
    def test_bad_description_keeps_the_rig(self, description):
        before = names()
        with pytest.raises(sim.SimError) as error:
            sim.load(description)
        assert str(error.value)
        assert names() == before

    def test_handles_of_a_replaced_rig_answer_with_a_status(self, kavl_camera):
        sim.load(ONE_CAMERA)
        assert lx.LxGetDeviceName(kavl_camera)[0] < 0
        assert lx.LxInitialCameraDevice(0) is not kavl_camera

    def test_reset_restores_the_default_rig(self):
        default = names()
        sim.load(ONE_CAMERA)
        sim.inject("LxOpen", status=-1, count=5)
        sim.set_pacing("free-run")
        sim.reset()
        assert names() == default
        assert sim.call_count("LxOpen") == 0 and sim.get_pacing() == "realtime"
        assert lx.LxOpen(lx.LxInitialCameraDevice(0)) == 0


class TestFaults:
    def test_count_and_clear(self, kavl_camera):
        sim.inject("LxGetDeviceName", status=-3, text="x", count=2)
        assert [lx.LxGetDeviceName(kavl_camera)[0] for _ in range(3)][:2] == [-3, -3]
        assert lx.LxGetDeviceName(kavl_camera)[0] == 0
        sim.inject("LxGetDeviceName", status=-3, count=10)
        sim.clear_faults()
        assert lx.LxGetDeviceName(kavl_camera)[0] == 0

    def test_members_and_arrays_are_sent_as_numbers(self, kavl_camera):
        sim.inject("LxGetDeviceInterfaceType", value=lx.INTERFACE_ETHERNET, status=np.int32(0))
        assert lx.LxGetDeviceInterfaceType(kavl_camera) == (0, lx.INTERFACE_ETHERNET)

    @pytest.mark.parametrize(
        "function, keywords, error",
        [
            ("LxNoSuchFunction", {}, sim.SimError),
            ("LxGetDeviceName", {"text": 5}, TypeError),
            (b"LxOpen", {"count": "x"}, ValueError),
        ],
    )
    def test_refused_injections(self, function, keywords, error):
        with pytest.raises(error):
            sim.inject(function, **keywords)

    def test_call_counts(self, kavl_camera):
        sim.reset_call_counts()
        lx.LxGetDeviceName(kavl_camera)
        sim.inject("LxGetDeviceName", status=-1)
        lx.LxGetDeviceName(kavl_camera)
        assert sim.call_count("LxGetDeviceName") == 2
        assert sim.call_count("LxGetDevicePath") == 0
        with pytest.raises(sim.SimError):
            sim.call_count("LxNoSuchFunction")


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
