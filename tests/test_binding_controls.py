"""The Python shape of the image-processing and stream-control functions, with the SDK's answers
injected through pylentrasdk.sim."""
import re

import numpy as np
import pytest

import pylentrasdk as lx
from pylentrasdk import sim

ISP = lx.LX_ISP_IMAGE_PROPERTIES
UVC = lx.LX_UVC_IMAGE_PROPERTIES
FLAG = lx.LX_OSP_PROFILE_FLAG

REGISTERED = [
    "LxSetUVCImageProcessing", "LxGetUVCImageProcessing", "LxGetUVCImageProcessingRange",
    "LxSetISPImageProcessing", "LxSetISPImageProcessingDefault", "LxGetISPImageProcessing",
    "LxGetISPImageProcessingRange", "LxGetCurrentGain", "LxGetCurrentExposure", "LxGetMaxFPS",
    "LxSetMaxFPS", "LxGetThroughPut", "LxSetThroughPut", "LxGetOSPProfileFlag",
    "LxSetOSPProfileFlag", "LxGetOSPProfileConfig", "LxLoadProfileConfig",
    "LxActivateProfileStreaming", "LxActivateProfileImageProcessing", "LxGetTimestamp",
    "LxResetTimestamp", "LxGetFrameCount", "LxResetFrameCount",
]


def test_functions_are_registered_in_order_with_their_docstrings():
    names = [n for n in vars(lx.pyLentraSDK) if n in REGISTERED]
    assert names == REGISTERED
    assert lx.LxGetTimestamp.__doc__.splitlines()[-1] == "Get Timestamp"
    assert lx.LxSetISPImageProcessingDefault.__doc__.splitlines()[-1] == \
        "Set ISP image processing to default"


class TestIspGetters:
    @pytest.mark.parametrize("status", [-5, -1, -100])
    def test_a_negative_status_becomes_minus_one_and_zeros(self, status):
        sim.inject("LxGetISPImageProcessing", status=status, value=[10, 1])
        assert lx.LxGetISPImageProcessing(None, ISP.ISP_IMAGE_BRIGHTNESS) == (-1, 0, 0)
        sim.inject("LxGetISPImageProcessingRange", status=status, value=[1, 2, 3, 4])
        assert lx.LxGetISPImageProcessingRange(None, ISP.ISP_IMAGE_BRIGHTNESS) == \
            (-1, 0, 0, 0, 0)

    def test_zero_or_positive_becomes_zero_with_the_values(self):
        sim.inject("LxGetISPImageProcessing", status=1, value=[10, 0])
        assert lx.LxGetISPImageProcessing(None, ISP.ISP_IMAGE_BRIGHTNESS) == (0, 10, 0)
        sim.inject("LxGetISPImageProcessingRange", status=0, value=[-3, 7, 2, 5])
        assert lx.LxGetISPImageProcessingRange(None, ISP.ISP_IMAGE_GAMMA) == (0, -3, 7, 2, 5)


def test_uvc_getters_pass_the_status_through():
    sim.inject("LxGetUVCImageProcessing", status=-5, value=[10, 1])
    assert lx.LxGetUVCImageProcessing(None, UVC.UVC_IMAGE_GAIN) == (-5, 10, 1)
    sim.inject("LxGetUVCImageProcessingRange", status=3, value=[1, 2, 3, 4])
    assert lx.LxGetUVCImageProcessingRange(None, UVC.UVC_IMAGE_GAIN) == (3, 1, 2, 3, 4)


@pytest.mark.parametrize("function, reported, expected", [
    ("LxGetCurrentExposure", 2 ** 31 + 5, -2 ** 31 + 5),
    ("LxGetCurrentExposure", 500, 500),
    ("LxGetCurrentExposure", 2 ** 32 - 1, -1),
    ("LxGetCurrentGain", 200, 200),
    ("LxGetMaxFPS", 255, 255),
    ("LxGetThroughPut", 65535, 65535),
    ("LxGetFrameCount", 255, 255),
])
def test_numeric_widths(function, reported, expected):
    sim.inject(function, value=reported)
    assert getattr(lx, function)(None) == (0, expected)


def test_timestamp_is_the_float32_widened():
    sim.inject("LxGetTimestamp", value=0.1)
    status, stamp = lx.LxGetTimestamp(None)
    assert (status, stamp) == (0, 0.10000000149011612)
    assert type(stamp) is float and float(np.float32(stamp)) == stamp


def test_flag_comes_back_as_a_strict_member():
    sim.inject("LxGetOSPProfileFlag", value=1)
    status, flag = lx.LxGetOSPProfileFlag(None)
    assert flag == FLAG.ENABLED and flag != 1
    sim.inject("LxGetOSPProfileFlag", status=-6, value=7)
    status, flag = lx.LxGetOSPProfileFlag(None)
    assert status == -6 and isinstance(flag, FLAG) and int(flag) == 7


def test_profile_config_text():
    sim.inject("LxGetOSPProfileConfig", status=-6)
    assert lx.LxGetOSPProfileConfig(None) == (-6, "")
    sim.inject("LxGetOSPProfileConfig", text="name: Straße")
    assert lx.LxGetOSPProfileConfig(None) == (0, "name: Straße")
    sim.inject("LxGetOSPProfileConfig", text=b"\xff\xfe")
    with pytest.raises(UnicodeDecodeError):
        lx.LxGetOSPProfileConfig(None)


class TestArguments:
    def test_out_of_width_values_raise_type_error_before_the_sdk(self, kavl_camera):
        before = sim.call_count("LxSetMaxFPS")
        for call in (lambda: lx.LxSetMaxFPS(kavl_camera, 256),
                     lambda: lx.LxSetMaxFPS(kavl_camera, -1),
                     lambda: lx.LxSetMaxFPS(kavl_camera, 7.5),
                     lambda: lx.LxSetThroughPut(kavl_camera, 65536),
                     lambda: lx.LxSetISPImageProcessing(kavl_camera, 0, 5),
                     lambda: lx.LxSetOSPProfileFlag(kavl_camera, 1),
                     lambda: lx.LxSetUVCImageProcessing(kavl_camera, UVC.UVC_IMAGE_GAIN,
                                                        2 ** 31, 0)):
            with pytest.raises(TypeError):
                call()
        assert sim.call_count("LxSetMaxFPS") == before
        assert lx.LxSetMaxFPS(kavl_camera, 255) == 0
        assert lx.LxSetUVCImageProcessing(kavl_camera, UVC.UVC_IMAGE_GAIN, 2 ** 31 - 1, 0) == -5

    def test_none_for_a_member_or_the_intrinsics_record_raises_an_empty_runtime_error(self, kavl_camera):
        # Every function whose signature names an enumeration or LxIntrinsics, read from the
        # module, so that one added later is covered too. With valid arguments the call reaches
        # the SDK (which shows the arguments built here are right); with None in place of one
        # of those it must not.
        def valid(kind):
            if kind == "LxCamera":
                return kavl_camera
            if kind == "LxIntrinsics":
                return lx.LxIntrinsics()
            if kind == "LX_LOG_LEVEL":
                return lx.LX_LOG_LEVEL.LX_LOG_LEVEL_WARN  # the library's own start level
            if kind.startswith("LX_"):
                return next(iter(getattr(lx, kind).__members__.values()))
            return {"str": "no-such-file", "Callable": None}.get(kind, 0)

        checked = 0
        for name in dir(lx.pyLentraSDK):
            function = getattr(lx.pyLentraSDK, name)
            if not callable(function) or isinstance(function, type) or not function.__doc__:
                continue
            parameters = re.findall(r"arg\d+: ([\w.]+)", function.__doc__.splitlines()[0])
            kinds = [p.rsplit(".", 1)[-1] for p in parameters]
            if not any(k == "LxIntrinsics" or k.startswith("LX_") for k in kinds):
                continue
            arguments = [valid(k) for k in kinds]
            before = sim.call_count(name)
            function(*arguments)
            assert sim.call_count(name) == before + 1, name
            for i, kind in enumerate(kinds):
                if kind == "LxIntrinsics" or kind.startswith("LX_"):
                    with pytest.raises(RuntimeError) as raised:
                        function(*arguments[:i], None, *arguments[i + 1:])
                    assert type(raised.value) is RuntimeError and str(raised.value) == "", name
                    assert sim.call_count(name) == before + 1, name
                    checked += 1
        assert checked == 14

    def test_none_for_the_camera_reaches_the_sdk(self):
        assert lx.LxSetISPImageProcessingDefault(None) == -2
        assert lx.LxGetTimestamp(None)[0] == -2
