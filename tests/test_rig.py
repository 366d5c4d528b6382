"""The simulated rig: descriptions, their checking, LENTRASDK_SIM, and replacing the rig."""
import copy
import json
import os
import subprocess
import sys

import numpy as np
import pytest

import pylentrasdk as lx
from peak_memory import peak_growth
from sanitizer import measures_memory
from pylentrasdk import sim

F = lx.LX_IMAGE_FORMAT


NO_RIG = -14  # LX_STATUS_NO_RIG


def names():
    status, found = lx.LxDiscoverCameraDevices()
    assert status == 0
    return list(found)


def assert_no_rig(error):
    """A description failed to load for `error`: no cameras, and discovery says so."""
    status, found = lx.LxDiscoverCameraDevices()
    assert (status, list(found)) == (NO_RIG, [])
    assert lx.LxInitialCameraDevice(0) is None
    assert sim.load_error() == error


# A profile for small_rig's camera (a KAVL camera by default, with its family's ISP controls).
BENCH_PROFILE = ("profile: 1\nstreaming: {format: YUY2, width: 64, height: 48, framerate: 30}\n"
                 "image_processing:\n  ISP_IMAGE_BRIGHTNESS: 100\n...\n")


def small_rig(**device):
    """A one-camera rig; keyword arguments override the camera's entries."""
    camera = {
        "name": "Bench Camera",
        "formats": [{"width": 64, "height": 48, "framerate": 30, "format": "YUY2"}],
    }
    camera.update(device)
    return {"devices": [camera]}


class TestDefaultRig:
    def test_cameras_in_order(self):
        found = names()
        assert len(found) == 3 and "AR0822" in found[0]
        kinds = [lx.LxGetDeviceProductType(lx.LxInitialCameraDevice(i))[1] for i in range(3)]
        P = lx.LX_CAMERA_PRODUCT_TYPE
        assert kinds == [P.LXCAM_PRODUCT_TYPE_KAVL, P.LXCAM_PRODUCT_TYPE_KAVN,
                         P.LXCAM_PRODUCT_TYPE_GENERIC_CAMERA]

    def test_usb_camera_lists_a_format_without_frames_second(self):
        cam = lx.LxInitialCameraDevice(0)
        assert lx.LxOpen(cam) == 0
        status, formats = lx.LxGetFormatList(cam)
        assert status == 0 and formats[1].format == F.LX_IMAGE_FORMAT_NONE
        kinds = {f.format for f in formats}
        assert {F.LX_IMAGE_FORMAT_MJPG, F.LX_IMAGE_FORMAT_YUY2, F.LX_IMAGE_FORMAT_UYVY,
                F.LX_IMAGE_FORMAT_NV12} <= kinds
        assert (3840, 2160, 15) in {(f.width, f.height, f.framerate) for f in formats}

    def test_default_description_reloads_unchanged(self):
        description = sim.default_description()
        before = names()
        sim.load(description)
        assert names() == before


class TestDescriptions:
    def test_loaded_rig_replaces_the_cameras(self):
        sim.load({"devices": [{"name": "One"}, {"name": "Two", "interface": "MIPI_CSI2"}]})
        assert names() == ["One", "Two"]
        cam = lx.LxInitialCameraDevice(1)
        assert lx.LxGetDeviceInterfaceType(cam) == (0, lx.INTERFACE_MIPI_CSI2)
        assert lx.LxInitialCameraDevice(2) is None

    def test_missing_keys_take_their_defaults(self):
        sim.load({"devices": [{"formats": [{}, {"format": "NONE"}]}]})
        cam = lx.LxInitialCameraDevice(0)
        assert lx.LxGetDeviceName(cam) == (0, "Simulated Camera 0")
        assert lx.LxGetDevicePath(cam) == (0, "/dev/video0")
        assert lx.LxGetDeviceProductType(cam) == (0, lx.LXCAM_PRODUCT_TYPE_KAVL)
        assert lx.LxGetUSBDeviceSpeed(cam) == (0, lx.USB_DEVICE_SPEED_SUPER)
        assert lx.LxIsLentraCamera(cam) == 0
        assert lx.LxOpen(cam) == 0
        status, formats = lx.LxGetFormatList(cam)
        assert [(f.width, f.height, f.framerate, f.format) for f in formats] == [
            (640, 480, 30, F.LX_IMAGE_FORMAT_MJPG), (0, 0, 0, F.LX_IMAGE_FORMAT_NONE)]

    # A control entry's left-out keys, as rig-description.md's table gives them: range 0..100,
    # step 1, default min (never max), value default, writable. Each row: the entry, then
    # (min, max, step, default) and (value, read-only flag) read back.
    CONTROL_DEFAULTS = [
        ({}, (0, 100, 1, 0), (0, 0)),
        ({"min": 10, "max": 20}, (10, 20, 1, 10), (10, 0)),
        ({"min": -50, "max": -5}, (-50, -5, 1, -50), (-50, 0)),
        ({"max": 7}, (0, 7, 1, 0), (0, 0)),
        ({"min": 1, "max": 9, "step": 2}, (1, 9, 2, 1), (1, 0)),
        ({"min": -5, "max": 5, "default": 3}, (-5, 5, 1, 3), (3, 0)),
        ({"min": 2, "max": 8, "value": 6}, (2, 8, 1, 2), (6, 0)),
        ({"read_only": True}, (0, 100, 1, 0), (0, 1)),
    ]

    @pytest.mark.parametrize("entry, limits, reading", CONTROL_DEFAULTS)
    def test_control_entries_take_their_documented_defaults(self, entry, limits, reading):
        ISP, UVC = lx.LX_ISP_IMAGE_PROPERTIES, lx.LX_UVC_IMAGE_PROPERTIES
        sim.load(small_rig(isp_controls={"ISP_IMAGE_GAMMA": entry},
                           uvc_controls={"UVC_IMAGE_FOCUS": entry}))
        cam = lx.LxInitialCameraDevice(0)
        assert lx.LxOpen(cam) == 0
        assert lx.LxGetISPImageProcessingRange(cam, ISP.ISP_IMAGE_GAMMA) == (0,) + limits
        assert lx.LxGetISPImageProcessing(cam, ISP.ISP_IMAGE_GAMMA) == (0,) + reading
        assert lx.LxGetUVCImageProcessingRange(cam, UVC.UVC_IMAGE_FOCUS) == (0,) + limits
        assert lx.LxGetUVCImageProcessing(cam, UVC.UVC_IMAGE_FOCUS)[:2] == (0, reading[0])
        # Back to the default, whatever was set.
        if not reading[1]:
            assert lx.LxSetISPImageProcessing(cam, ISP.ISP_IMAGE_GAMMA, limits[1]) == 0
        assert lx.LxSetISPImageProcessingDefault(cam) == 0
        assert lx.LxGetISPImageProcessing(cam, ISP.ISP_IMAGE_GAMMA)[1] == limits[3]

    def test_family_defaults_of_a_kavl_camera(self):
        sim.load(small_rig())
        cam = lx.LxInitialCameraDevice(0)
        assert lx.LxOpen(cam) == 0
        assert (lx.LxGetMaxFPS(cam), lx.LxGetThroughPut(cam)) == ((0, 60), (0, 500))
        assert lx.LxGetOSPProfileFlag(cam) == (0, lx.LX_OSP_PROFILE_FLAG.DISABLED)
        assert lx.LxGetOSPProfileConfig(cam) == (0, "")

    def test_generic_cameras_are_not_the_makers_by_default(self):
        sim.load({"devices": [{"product_type": "GENERIC"}]})
        assert lx.LxIsLentraCamera(lx.LxInitialCameraDevice(0)) == 1

    def test_empty_rig(self):
        sim.load({})
        assert names() == []
        assert lx.LxInitialCameraDevice(0) is None

    def test_load_file(self, tmp_path):
        path = tmp_path / "rig.json"
        path.write_text(json.dumps(small_rig(name="From File")))
        sim.load_file(str(path))
        assert names() == ["From File"]

    def test_unreadable_and_malformed_files(self, tmp_path):
        missing = tmp_path / "missing.json"
        with pytest.raises(sim.SimError, match="missing.json: cannot read the file"):
            sim.load_file(str(missing))
        broken = tmp_path / "broken.json"
        broken.write_text('{"devices": [{"name": 5}]}')
        with pytest.raises(sim.SimError) as refused:
            sim.load_file(str(broken))
        assert str(refused.value) == "{}: devices[0].name: must be a text".format(broken)
        assert_no_rig(str(refused.value))


MIPI = {"interface": "MIPI_CSI2", "product_type": "KAVN"}
MALFORMED = [
    (small_rig(formats=[{"width": 15}]),
     "devices[0].formats[0].width: must be an even integer from 16 to 8192"),
    (small_rig(formats=[{"width": 8194}]),
     "devices[0].formats[0].width: must be an even integer from 16 to 8192"),
    (small_rig(formats=[{"height": 47, "format": "NV12"}]),
     "devices[0].formats[0].height: must be even for NV12"),
    (small_rig(formats=[{"framerate": 0}]),
     "devices[0].formats[0].framerate: must be an integer from 1 to 1000"),
    (small_rig(formats=[{"format": "H264"}]),
     'devices[0].formats[0].format: must be one of "MJPG", "YUY2", "UYVY", "NV12", "BGRA", '
     '"BGRX", "BGR", "RGB16", "RGB" or "NONE"'),
    (small_rig(nmae="typo"), "devices[0].nmae: unknown key"),
    (small_rig(interface="USB3"),
     'devices[0].interface: must be one of "USB", "MIPI_CSI2" or "ETHERNET"'),
    (small_rig(name=""), "devices[0].name: must not be empty"),
    (small_rig(lentra="yes"), "devices[0].lentra: must be true or false"),
    (small_rig(usb_speed="SUPER", **MIPI), "devices[0].usb_speed: only a USB camera has a USB speed"),
    (small_rig(firmware={"usb": "1.0"}, **MIPI),
     "devices[0].firmware.usb: only a USB camera has USB firmware"),
    (small_rig(firmware={"sensor": "1.0"}, **MIPI),
     "devices[0].firmware.sensor: only a KAVL camera has sensor firmware"),
    (small_rig(firmware={"kavr": "1.0"}), "devices[0].firmware.kavr: only a KAVR or KAVN camera has KAVR firmware"),
    (small_rig(product_type="GENERIC", firmware={"usb": "1.0"}),
     "devices[0].firmware.usb: only the maker's cameras have firmware versions"),
    (small_rig(isp_controls={"ISP_IMAGE_BRIGHTNES": {}}),
     "devices[0].isp_controls.ISP_IMAGE_BRIGHTNES: not a control name of this kind"),
    (small_rig(uvc_controls={"ISP_IMAGE_BRIGHTNESS": {}}),
     "devices[0].uvc_controls.ISP_IMAGE_BRIGHTNESS: not a control name of this kind"),
    (small_rig(isp_controls={"ISP_IMAGE_GAMMA": {"min": 100, "max": 300, "default": 50}}),
     "devices[0].isp_controls.ISP_IMAGE_GAMMA.default: must be an integer from 100 to 300"),
    (small_rig(isp_controls={"ISP_IMAGE_ZOOM": {"min": 5, "max": 1}}),
     "devices[0].isp_controls.ISP_IMAGE_ZOOM.max: must not be below min"),
    (small_rig(isp_controls={"ISP_IMAGE_ZOOM": {"step": 0}}),
     "devices[0].isp_controls.ISP_IMAGE_ZOOM.step: must be an integer from 1 to 2147483647"),
    (small_rig(max_fps=0), "devices[0].max_fps: must be an integer from 1 to 255"),
    (small_rig(current_exposure=2 ** 32), "devices[0].current_exposure: must be an integer from 0 to 4294967295"),
    (small_rig(header_version=1), "devices[0].header_version: must be 0 (no boot data), 2 or 3"),
    (small_rig(boot_data={"product_name": "x"}), "devices[0].boot_data: needs header_version 2 or 3"),
    (small_rig(header_version=3, boot_data={"lens_id": "xyz0"}),
     "devices[0].boot_data.lens_id: must be a hexadecimal text of at most 16 bytes"),
    (small_rig(imu={"accelerometer": {"bias": [1, 2]}}),
     "devices[0].imu.accelerometer.bias: must be a list of 3 numbers"),
    (small_rig(imu={"orientation": {"pitch": 91}}), "devices[0].imu.orientation.pitch: must be a number from -90 to 90"),
    (small_rig(imu={"gyroscope": {"noise": -1}}), "devices[0].imu.gyroscope.noise: must be a number of at least 0"),
    (small_rig(imu={"tick": 0}), "devices[0].imu.tick: must be a number above 0"),
    (small_rig(sensor_work_mode="WORK"), "devices[0].sensor_work_mode: must be true or false"),
    (small_rig(registers={"ap1302": {"0x10000": 1}}),
     "devices[0].registers.ap1302.0x10000: must be a decimal or 0x-prefixed hexadecimal number up to 65535"),
    (small_rig(registers={"i2c": [{"address": 0x78}]}),
     "devices[0].registers.i2c[0].address: must be a 7-bit device address from 8 to 119 (0x08 to 0x77)"),
    (small_rig(registers={"i2c": [{"address": 0x48}, {"address": 0x48}]}),
     "devices[0].registers.i2c[1].address: another device has that address"),
    (small_rig(registers={"i2c": [{"address": 0x50, "registers": {"0x100": 1}}]}),
     "devices[0].registers.i2c[0].registers.0x100: must be a decimal or 0x-prefixed hexadecimal number up to 255"),
    (small_rig(isp_controls={}, registers={"ap1302": {"0x5000": {"mirrors": "ISP_IMAGE_GAMMA"}}}),
     "devices[0].registers.ap1302.0x5000.mirrors: names an ISP control the device lacks"),
    (small_rig(registers={"sensor": {"0": {"0x10": {"mirrors": "ISP_IMAGE_GAMMA"}}}}),
     "devices[0].registers.sensor.0.0x10.mirrors: only image signal processor registers mirror controls"),
    (small_rig(intrinsics={"coeffs": [0, 0, 0, 0]}), "devices[0].intrinsics.coeffs: must be a list of 5 numbers"),
    (small_rig(osp_profile={"flag": "ENABLE_AND_SAVE"}),
     'devices[0].osp_profile.flag: must be one of "DISABLED", "ENABLED" or "ENABLED_AND_SAVE"'),
    # An embedded profile is checked as a loaded file is, against the camera it sits in, and
    # its message goes on into the profile's own path.
    (small_rig(osp_profile={"config": BENCH_PROFILE.replace("BRIGHTNESS: 100", "BRIGHTNESS: 999")}),
     "devices[0].osp_profile.config.image_processing.ISP_IMAGE_BRIGHTNESS: must be from 0 to 255"),
    (small_rig(osp_profile={"config": BENCH_PROFILE.replace("BRIGHTNESS", "TRIGGER_MODE")}),
     "devices[0].osp_profile.config.image_processing.ISP_IMAGE_TRIGGER_MODE: the camera has no such control"),
    (small_rig(osp_profile={"config": BENCH_PROFILE.replace("width: 64", "width: 640")}),
     "devices[0].osp_profile.config.streaming: the camera lists no such format"),
    (small_rig(osp_profile={"config": BENCH_PROFILE.replace("width: 64", "width: wide")}),
     "devices[0].osp_profile.config.streaming.width: must be an integer from 1 to 65535"),
    (small_rig(osp_profile={"config": "profile: 1\n" + BENCH_PROFILE}),
     "devices[0].osp_profile.config.profile: is given twice"),
    (small_rig(osp_profile={"config": BENCH_PROFILE.replace("image_processing", "streaming: {}\nimage_processing")}),
     "devices[0].osp_profile.config.streaming: is given twice"),
    (small_rig(osp_profile={"config": BENCH_PROFILE.replace("width: 64", "width: 64, width: 64")}),
     "devices[0].osp_profile.config.streaming.width: is given twice"),
    (small_rig(osp_profile={"config": BENCH_PROFILE[:-4]}),
     'devices[0].osp_profile.config: does not end with the line "..." (cut short?)'),
    ({"devices": [{"name": "fine"}, {"formats": {}}]}, "devices[1].formats: must be a list"),
    ({"devices": [{"name": "fine"}, 7]}, "devices[1]: must be an object"),
    ({"platform": {"media_graph": {"entities": [{"name": "a"}],
                                    "links": [{"source": "a", "sink": "b"}]}}},
     "platform.media_graph.links[0].sink: names no entity of the graph"),
    ({"platform": {"media_graph": {"entities": [{"name": "a", "pads": 2}, {"name": "b"}],
                                    "links": [{"source": "a", "source_pad": 2, "sink": "b"}]}}},
     "platform.media_graph.links[0].source_pad: is beyond the entity's pads"),
    ({"platform": {"media_graph": {"entities": [{"name": "a"}, {"name": "a"}]}}},
     "platform.media_graph.entities[1].name: names another entity already"),
    ([], "the description: must be an object"),
    (small_rig(formats=[{"format": "NONE", "width": 65535, "height": 10922}]),
     "devices[0].formats[0].width: must be 0: a NONE entry carries no frames"),
    (small_rig(formats=[{"format": "NONE", "height": 1}]),
     "devices[0].formats[0].height: must be 0: a NONE entry carries no frames"),
    (small_rig(header_version=3, boot_data={"lens_id": "zz"}),
     "devices[0].boot_data.lens_id: must be a hexadecimal text of at most 16 bytes"),
]


class TestMalformedDescriptions:
    @pytest.mark.parametrize("description, message", MALFORMED)
    def test_refused_whole_with_one_message(self, description, message):
        sim.load(small_rig(name="Kept"))
        with pytest.raises(sim.SimError) as refused:
            sim.load(description)
        assert str(refused.value) == message
        assert_no_rig(message)
        sim.load(small_rig(name="Kept"))  # a good description brings cameras back
        assert names() == ["Kept"] and sim.load_error() is None

    @pytest.mark.parametrize("description, message", [
        # Keys are escaped and cut; the parser's context too.
        ('{"devices": [{"na\\nme": 1}]}', "devices[0].na\\nme: unknown key"),
        ('{"' + "k" * 100000 + '": 1}', "k" * 61 + "...: unknown key"),
        (b'{"\xff\xfe": 1}', "not valid JSON: "),
        ('{"a\\u0001b": 1}', "a\\x01b: unknown key"),
        ('{"devices": [{"name": "x\n', "not valid JSON: "),
        ('{"devices": [' + '{"name": "a"}, ' * 20000 + '"x"]}', "devices[20000]: must be an object"),
        (b"\xff" * 100000, "not valid JSON: "),
    ], ids=["newline-in-key", "long-key", "invalid-utf8-key", "control-in-key", "newline-in-json",
            "many-entries", "binary"])
    def test_messages_are_one_short_printable_line(self, description, message):
        with pytest.raises(sim.SimError) as refused:
            sim.load(description)
        text = str(refused.value)
        assert text.startswith(message)
        assert len(text.encode()) <= 512 and text.isprintable()

    @pytest.mark.parametrize("text, message", [
        # A JSON parser keeps the last of two equal keys: the full rig would silently go.
        (json.dumps(small_rig())[:-1] + ', "devices": []}', "devices: is given twice"),
        ('{"devices": [{"name": "a"}, {"name": "b", "formats": [], "name": "c"}]}',
         "devices[1].name: is given twice"),
        ('{"devices": [{"formats": [{"width": 64}, [], {"width": 64, "width": 80}]}]}',
         "devices[0].formats[2].width: is given twice"),
        ('{"comment": ' + "[" * 40 + "]" * 40 + "}", "comment" + "[0]" * 31 + ": nested deeper than 32 levels"),
        ('{"comment": [' + "0," * 50000 + "0]}", "comment[49998]: more than 50000 values"),
        ('{"comment": "' + "x" * (1 << 20) + '"}', "the description is larger than 1048576 bytes"),
    ], ids=["top-level", "in-a-device", "in-a-list", "depth", "values", "size"])
    def test_duplicate_keys_and_limits(self, text, message):
        with pytest.raises(sim.SimError) as refused:
            sim.load(text)
        assert str(refused.value) == message
        assert_no_rig(message)

    # The largest description the cap allows, of each shape that a parse could amplify, takes
    # at most eight times its size in memory (plus a fixed base) to read.
    @measures_memory
    @pytest.mark.parametrize("shape", ["lists", "numbers", "keys", "text"])
    def test_memory_is_bounded_by_the_input(self, tmp_path, shape):
        size = 1 << 20
        body = {"lists": "[],", "numbers": "0,", "keys": None, "text": None}[shape]
        if body:
            text = '{"comment": [' + body * ((size - 20) // len(body)) + "0]}"
        elif shape == "keys":
            keys = "{" + "".join('"%05x":0,' % i for i in range(49990))
            text = keys + '"comment": "' + "x" * (size - len(keys) - 20) + '"}'
        else:
            text = '{"comment": "' + "x" * (size - 20) + '"}'
        assert len(text) <= size
        path = tmp_path / "rig.json"
        path.write_text(text)
        growth = peak_growth(
            "from pylentrasdk import sim",
            "try:\n    sim.load_file(%r)\nexcept sim.SimError:\n    pass" % str(path))
        assert growth <= 8 * len(text) + (8 << 20), growth

    def test_boot_data_without_ids(self):
        # A header without fuse or lens id copied from no bytes at all (a null pointer).
        sim.load({"devices": [{"header_version": 3}]})
        assert names() == ["Simulated Camera 0"]

    def test_not_json(self):
        with pytest.raises(sim.SimError, match="^not valid JSON: ") as refused:
            sim.load('{"devices": [')
        assert_no_rig(str(refused.value))

    def test_the_default_description_is_itself_valid(self):
        # Every entry of the embedded rig passes the same checks as a user's description.
        description = copy.deepcopy(sim.default_description())
        sim.load(json.dumps(description))
        assert len(names()) == 3


class TestControlsShapeFrames:
    """Control values given in a description change the frames (brightness, saturation, flip)."""

    FORMAT = {"width": 64, "height": 48, "framerate": 30, "format": "YUY2"}

    def frame(self, **controls):
        isp = {
            "ISP_IMAGE_BRIGHTNESS": {"min": 0, "max": 255, "default": 128},
            "ISP_IMAGE_SATURATION": {"min": 0, "max": 255, "default": 128},
            "ISP_IMAGE_FLIP_MODE": {"min": 0, "max": 3, "default": 0},
        }
        for name, value in controls.items():
            isp[name]["value"] = value
        sim.load(small_rig(formats=[self.FORMAT], isp_controls=isp))
        cam = lx.LxInitialCameraDevice(0)
        assert lx.LxOpen(cam) == 0 and lx.LxStartStreaming(cam) == 0
        status, formats = lx.LxGetFormatList(cam)
        with sim.free_run():
            result, frame = lx.LxGetImage(cam, 1000, formats[0])
        assert result == lx.LX_SUCCESS
        return frame

    def test_brightness_raises_luma(self):
        neutral = self.frame()[0::2].astype(int).mean()
        brighter = self.frame(ISP_IMAGE_BRIGHTNESS=200)[0::2].astype(int).mean()
        assert brighter > neutral + 20

    def test_saturation_zero_gives_neutral_chroma(self):
        chroma = self.frame(ISP_IMAGE_SATURATION=0)[1::2]
        assert np.all(np.abs(chroma.astype(int) - 128) <= 1)

    def test_flip_changes_the_picture(self):
        assert not np.array_equal(self.frame(), self.frame(ISP_IMAGE_FLIP_MODE=1))


class TestReplacingTheRig:
    @pytest.mark.parametrize("replace", [
        lambda: sim.load(small_rig()),
        lambda: sim.reset(),
    ], ids=["load", "reset"])
    def test_old_handles_answer_as_invalid(self, replace):
        old = lx.LxInitialCameraDevice(0)
        assert lx.LxOpen(old) == 0 and lx.LxStartStreaming(old) == 0
        status, formats = lx.LxGetFormatList(old)
        replace()
        assert lx.LxGetDeviceName(old) == (lx_invalid(), "")
        assert lx.LxOpen(old) == lx_invalid()
        assert lx.LxClose(old) == lx_invalid()
        assert lx.LxStopStreaming(old) == lx_invalid()
        assert lx.LxIsLentraCamera(old) == lx_invalid()
        result, frame = lx.LxGetImage(old, 100, formats[0])
        assert result == lx.LX_OTHER_ERROR and frame.size == 0
        # The new rig's camera at that index is a different, closed device.
        new = lx.LxInitialCameraDevice(0)
        assert lx.LxOpen(new) == 0

    def test_a_refused_description_detaches_the_cameras(self):
        # No camera of the rig before goes on as if the refused description had not been given.
        cam = lx.LxInitialCameraDevice(0)
        assert lx.LxOpen(cam) == 0
        with pytest.raises(sim.SimError):
            sim.load(small_rig(max_fps=1000))
        assert lx.LxClose(cam) == lx_invalid()


def lx_invalid():
    return -2  # LX_STATUS_INVALID_HANDLE


def discover_in_subprocess(env_value, tmp_path):
    """Runs discovery twice, a reset and discovery again in a fresh interpreter with
    LENTRASDK_SIM set; returns ([(status, names)] per discovery, load error, stderr)."""
    env = dict(os.environ, LENTRASDK_SIM=env_value)
    code = (
        "import json, pylentrasdk as lx\n"
        "from pylentrasdk import sim\n"
        "found = [lx.LxDiscoverCameraDevices() for _ in range(2)]\n"
        "sim.reset()\n"
        "found.append(lx.LxDiscoverCameraDevices())\n"
        "print(json.dumps([[[s, list(n)] for s, n in found], sim.load_error()]))\n"
    )
    done = subprocess.run([sys.executable, "-c", code], env=env, cwd=str(tmp_path),
                          capture_output=True, text=True, timeout=120)
    assert done.returncode == 0, done.stderr
    found, error = json.loads(done.stdout)
    return [tuple(f) for f in found], error, done.stderr


def error_lines(stderr):
    return [line for line in stderr.splitlines() if "[error]" in line]


class TestEnvironment:
    def test_description_file_replaces_the_default_rig(self, tmp_path):
        path = tmp_path / "rig.json"
        path.write_text(json.dumps({"devices": [{"name": "Env A"}, {"name": "Env B"}]}))
        found, error, err = discover_in_subprocess(str(path), tmp_path)
        assert found == [(0, ["Env A", "Env B"])] * 3 and error is None and err == ""

    def test_malformed_file_leaves_no_cameras(self, tmp_path):
        # Never the default rig in place of the one described: no cameras, and every
        # discovery says why in the log, at error level.
        path = tmp_path / "rig.json"
        path.write_text(json.dumps(small_rig(formats=[{"width": 17}])))
        found, error, err = discover_in_subprocess(str(path), tmp_path)
        assert found == [(NO_RIG, [])] * 3
        assert error == ("LENTRASDK_SIM={}: devices[0].formats[0].width: must be an even "
                         "integer from 16 to 8192".format(path))
        lines = error_lines(err)
        assert len(lines) == 3
        assert all(line.endswith("LxDiscoverCameraDevices: no cameras: the rig description "
                                 "failed to load: " + error) for line in lines)

    @pytest.mark.parametrize("kind, reason", [
        ("missing", "cannot read the file (No such file or directory)"),
        ("folder", "is a folder, not a file"),
        ("fifo", "is not a regular file"),  # would block the first call for good
        ("/dev/zero", "is not a regular file"),  # would be read until memory runs out
        ("too-large", "the file is larger than 1048576 bytes"),
    ])
    def test_unreadable_file_leaves_no_cameras(self, tmp_path, kind, reason):
        path = {"missing": str(tmp_path / "nowhere.json"), "folder": str(tmp_path),
                "fifo": str(tmp_path / "fifo"), "/dev/zero": "/dev/zero",
                "too-large": str(tmp_path / "large.json")}[kind]
        if kind == "fifo":
            os.mkfifo(path)
        if kind == "too-large":
            with open(path, "wb") as f:
                f.truncate((1 << 20) + 1)  # sparse: no disk space needed
        found, error, err = discover_in_subprocess(path, tmp_path)
        assert found == [(NO_RIG, [])] * 3
        assert error == "LENTRASDK_SIM={}: {}".format(path, reason)
        assert len(error_lines(err)) == 3
