"""pylentrasdk.testing's helpers, used in this suite as a user would (the plugin is loaded here
too): expected frames under the camera's controls, frame numbers, and lentra_inject."""
import numpy as np
import pytest

import pylentrasdk as lx
from pylentrasdk import sim
from pylentrasdk.stream import FrameStream
from pylentrasdk.testing import expected_frame, frame_number

ISP = lx.LX_ISP_IMAGE_PROPERTIES
UVC = lx.LX_UVC_IMAGE_PROPERTIES


def format_640(cam, name):
    formats = lx.LxGetFormatList(cam)[1]
    wanted = getattr(lx.LX_IMAGE_FORMAT, "LX_IMAGE_FORMAT_" + name)
    return next(f for f in formats if f.format == wanted and f.width == 640)


# Controls away from their defaults, on each kind of camera: (camera, settings, formats).
# Defaults: brightness, contrast, saturation 128, gamma 220, exposure time 10000, white balance
# 5000 (ISP); webcam brightness 0, contrast 32, gain 0, exposure 156, white balance 4600 (UVC).
CONTROLLED = [
    ("KAVL", [(ISP.ISP_IMAGE_BRIGHTNESS, 100), (ISP.ISP_IMAGE_CONTRAST, 100),
              (ISP.ISP_IMAGE_WHITEBALANCE_MODE, 0), (ISP.ISP_IMAGE_WHITEBALANCE_TEMPERATURE, 5500),
              (ISP.ISP_IMAGE_EXPOSURE_MODE, 0), (ISP.ISP_IMAGE_EXPOSURE_TIME, 15000),
              (ISP.ISP_IMAGE_GAMMA, 250), (ISP.ISP_IMAGE_FLIP_MODE, 1)],
     ["YUY2", "UYVY", "NV12"]),
    ("KAVN", [(ISP.ISP_IMAGE_SATURATION, 200), (ISP.ISP_IMAGE_FLIP_MODE, 2),
              (ISP.ISP_IMAGE_SPECIAL_EFFECT_MODE, 3), (ISP.ISP_IMAGE_ZOOM, 250),
              (ISP.ISP_IMAGE_PAN, -40), (ISP.ISP_IMAGE_TILT, -30),
              (ISP.ISP_IMAGE_EXPOSURE_MODE, 0), (ISP.ISP_IMAGE_EXPOSURE_GAIN, 2),
              (ISP.ISP_IMAGE_WHITEBALANCE_TEMPERATURE, 6000)],  # in auto white balance: no cast
     ["BGRA", "BGRX", "BGR", "RGB", "RGB16", "UYVY"]),
    ("Webcam", [(UVC.UVC_IMAGE_BRIGHTNESS, -20), (UVC.UVC_IMAGE_CONTRAST, 40),
                (UVC.UVC_IMAGE_GAIN, 30), (UVC.UVC_IMAGE_EXPOSURE, 120),
                (UVC.UVC_IMAGE_WHITEBALANCE, 4010), (UVC.UVC_IMAGE_GAMMA, 150)],
     ["YUY2"]),
]


@pytest.mark.parametrize("camera, settings, names", CONTROLLED, ids=[c[0] for c in CONTROLLED])
def test_expected_frames_follow_the_cameras_controls_exactly(lentra_rig, camera, settings, names):
    cam = lentra_rig.open(camera)
    for prop, value in settings:
        if isinstance(prop, UVC):
            assert lx.LxSetUVCImageProcessing(cam, prop, value, 0) == 0
        else:
            assert lx.LxSetISPImageProcessing(cam, prop, value) == 0
    for name in names:
        fmt = format_640(cam, name)
        assert lx.LxSetFormat(cam, fmt) == 0 and lx.LxStartStreaming(cam) == 0
        for _ in range(2):
            result, frame = lx.LxGetImage(cam, 3000, fmt)
            assert result == lx.LX_SUCCESS
            number = frame_number(frame, fmt)
            expected = expected_frame(fmt, number, cam)
            assert expected.dtype == np.uint8 and expected.shape == frame.shape
            wrong = np.flatnonzero(frame != expected)
            assert wrong.size == 0, "{}: {} bytes differ".format(name, wrong.size)
            assert not np.array_equal(frame, expected_frame(fmt, number))  # at the defaults
        assert lx.LxStopStreaming(cam) == 0


def test_frame_numbers_of_stream_frames_and_what_has_none(lentra_camera):
    fmt = format_640(lentra_camera, "NV12")
    with FrameStream(lentra_camera, fmt) as stream:
        numbers = [frame_number(next(stream), fmt) for _ in range(3)]
    assert numbers == [numbers[0], numbers[0] + 1, numbers[0] + 2]
    with pytest.raises(ValueError, match="no frame number"):
        frame_number(np.zeros(640 * 480 * 3 // 2, np.uint8), fmt)
    with pytest.raises(TypeError, match="LxFormat"):
        frame_number(np.zeros(10, np.uint8), fmt.format)


def test_helpers_take_the_camera_layers_formats_frames_and_cameras(lentra_rig):
    with lx.Camera("KAVN") as cam:
        cam.controls["saturation"] = 200
        for text in ("640x480:RGB16", "640x480:UYVY"):
            cam.format = text
            frame = cam.read()
            fmt = lx.Format.parse(text)
            number = frame_number(frame)
            assert number == frame.number == frame_number(frame.array, fmt)
            expected = expected_frame(frame, camera=cam)
            assert expected.dtype == frame.array.dtype and np.array_equal(frame.array, expected)
            assert not np.array_equal(frame.array, expected_frame(frame))  # at the defaults
            assert np.array_equal(expected_frame(fmt, number, cam.handle),
                                  expected_frame(frame.format, number, cam))
        with pytest.raises(TypeError, match="brings its own number"):
            expected_frame(frame, number)
        with pytest.raises(TypeError, match="needs the frame's number"):
            expected_frame(fmt)
        with pytest.raises(TypeError, match="fmt, the LxFormat or Format .* is needed"):
            frame_number(frame.array)
        with pytest.raises(ValueError, match="MJPG"):
            expected_frame(lx.Format.parse("640x480:MJPG"), 0)
    with pytest.raises(lx.CameraClosedError):
        expected_frame(frame, camera=cam)


def test_expected_frame_refuses_what_it_cannot_know(lentra_camera):
    formats = lx.LxGetFormatList(lentra_camera)[1]
    mjpg = next(f for f in formats if f.format == lx.LX_IMAGE_FORMAT.LX_IMAGE_FORMAT_MJPG)
    none = next(f for f in formats if f.format == lx.LX_IMAGE_FORMAT.LX_IMAGE_FORMAT_NONE)
    with pytest.raises(ValueError, match="MJPG frames are not byte-exact"):
        expected_frame(mjpg, 0)
    with pytest.raises(ValueError, match="no picture"):
        expected_frame(none, 0)
    fmt = format_640(lentra_camera, "YUY2")
    for number in (-1, 2**32):
        with pytest.raises(ValueError, match="32-bit"):
            expected_frame(fmt, number)
    assert np.array_equal(expected_frame(fmt, np.uint32(7)), expected_frame(fmt, 7))
    # A control that answers while its range does not: its default, and so the frame, is unknown.
    sim.inject("LxGetISPImageProcessingRange", status=-1)
    with pytest.raises(RuntimeError, match="LxGetISPImageProcessingRange gave no range"):
        expected_frame(fmt, 0, lentra_camera)
    lx.LxClose(lentra_camera)
    with pytest.raises(RuntimeError, match="LX_STATUS_NOT_OPEN"):
        expected_frame(fmt, 0, lentra_camera)


def test_inject_refuses_unknown_names_at_once_with_the_known_ones(lentra_inject):
    known = r"did you mean LxGetImage .*the known names: .*LxGetFormatList, "
    with pytest.raises(ValueError, match=known):
        lentra_inject("LxGetImag", result="LX_TIMEOUT")
    with pytest.raises(ValueError, match="'LX_CORRUPTED' is not one of LX_SUCCESS, LX_TIMEOUT"):
        lentra_inject("LxGetImage", result="LX_CORRUPTED")
    with pytest.raises(ValueError, match="LX_CAPTURE_RESULT member, not LX_UPGRADE_RESULT"):
        lentra_inject("LxGetImage", result=lx.LX_UPGRADE_RESULT.LX_UPGRADE_SUCCESS, size=1)
    with pytest.raises(ValueError, match="LxOpen answers a status"):
        lentra_inject("LxOpen", result="LX_TIMEOUT")
    with pytest.raises(ValueError, match="LX_STATUS_OK, LX_STATUS_FAILED"):
        lentra_inject("LxOpen", status="LX_STATUS_BUSSY")
    with pytest.raises(sim.SimError, match="hands back a text"):
        lentra_inject("LxGetDeviceName", value=3)
    assert sum(sim.call_count(name) for name in ("LxGetImage", "LxOpen")) == 0
    lentra_inject("LxOpen", status="LX_STATUS_BUSY")
    assert lx.LxOpen(lx.LxInitialCameraDevice(0)) == lx.LxStatus.LX_STATUS_BUSY


def test_a_with_block_withdraws_its_own_fault_and_keeps_the_others(lentra_camera, lentra_inject):
    def name_status():
        return lx.LxGetDeviceName(lentra_camera)[0]

    lentra_inject("LxGetDeviceName", status=-8, count=3)
    lentra_inject("LxGetHardwareID", status=-1)
    assert name_status() == -8                                    # 2 left
    with lentra_inject("LxGetDeviceName", status=-5, count=4) as block:
        assert block.function == "LxGetDeviceName"
        assert name_status() == -8                                # first in, first used: 1 left
        with lentra_inject("LxGetDeviceName", status=-13):
            pass                                                  # never reached: withdrawn
    assert [name_status() for _ in range(3)] == [-8, 0, 0]        # the block's -5s are gone
    assert lx.LxGetHardwareID(lentra_camera)[0] == -1             # another function's stays
    with lentra_inject("LxGetDeviceName", status=-5, count=2):
        assert name_status() == -5
    assert name_status() == 0
    # A fault used up before the call counts were reset stays used up.
    lentra_inject("LxGetHardwareID", status=-1)
    assert lx.LxGetHardwareID(lentra_camera)[0] == -1
    sim.reset_call_counts()
    with lentra_inject("LxGetDeviceName", status=-5):
        pass
    assert lx.LxGetHardwareID(lentra_camera)[0] == 0
