"""The SDK's enumerations as Python sees them: members, values, order, strictness, exports."""
import pytest

import pylentrasdk as lx
from pylentrasdk import pyLentraSDK

# name = value, in registration order.
ENUMERATIONS = {
    "LX_LOG_LEVEL": "LX_LOG_LEVEL_TRACE=0 LX_LOG_LEVEL_DEBUG=1 LX_LOG_LEVEL_INFO=2 "
    "LX_LOG_LEVEL_WARN=3 LX_LOG_LEVEL_ERROR=4 LX_LOG_LEVEL_CRITICAL=5 LX_LOG_LEVEL_OFF=6",
    "LX_CAMERA_PRODUCT_TYPE": "LXCAM_PRODUCT_TYPE_NONE_CAMERA=0 LXCAM_PRODUCT_TYPE_GENERIC_CAMERA=1 "
    "LXCAM_PRODUCT_TYPE_KAVR=2 LXCAM_PRODUCT_TYPE_KAVL=3 LXCAM_PRODUCT_TYPE_OV5640=4 "
    "LXCAM_PRODUCT_TYPE_KAVN=5 LXCAM_PRODUCT_TYPE_RECOVERY=6",
    "LX_CAPTURE_RESULT": "LX_SUCCESS=0 LX_TIMEOUT=-1 LX_CAM_OCCUPIED=-2 LX_BUFFER_CORRUPTED=-4 "
    "LX_OTHER_ERROR=-3",
    "LX_CAMERA_INTERFACE_TYPE": "INTERFACE_USB=0 INTERFACE_MIPI_CSI2=1 INTERFACE_ETHERNET=2",
    "LX_USB_DEVICE_SPEED": "USB_DEVICE_SPEED_LOW=0 USB_DEVICE_SPEED_FULL=1 USB_DEVICE_SPEED_HIGH=2 "
    "USB_DEVICE_SPEED_SUPER=3 USB_DEVICE_SPEED_SUPER_PLUS=4 USB_DEVICE_SPEED_UNKNOWN=5",
    "LX_IMAGE_FORMAT": "LX_IMAGE_FORMAT_MJPG=4 LX_IMAGE_FORMAT_UYVY=2 LX_IMAGE_FORMAT_YUY2=1 "
    "LX_IMAGE_FORMAT_NV12=3 LX_IMAGE_FORMAT_BGRA=5 LX_IMAGE_FORMAT_BGRX=6 LX_IMAGE_FORMAT_BGR=7 "
    "LX_IMAGE_FORMAT_RGB16=8 LX_IMAGE_FORMAT_RGB=9 LX_IMAGE_FORMAT_NONE=0",
    "LX_UVC_IMAGE_PROPERTIES": "UVC_IMAGE_BRIGHTNESS=0 UVC_IMAGE_CONTRAST=1 UVC_IMAGE_HUE=2 "
    "UVC_IMAGE_SATURATION=3 UVC_IMAGE_SHARPNESS=4 UVC_IMAGE_GAMMA=5 UVC_IMAGE_COLORENABLE=6 "
    "UVC_IMAGE_WHITEBALANCE=7 UVC_IMAGE_BACKLIGHT_COMPENSATION=8 UVC_IMAGE_GAIN=9 UVC_IMAGE_PAN=10 "
    "UVC_IMAGE_TILT=11 UVC_IMAGE_ROLL=12 UVC_IMAGE_ZOOM=13 UVC_IMAGE_EXPOSURE=14 UVC_IMAGE_IRIS=15 "
    "UVC_IMAGE_FOCUS=16 UVC_IMAGE_PROP_MAX=17",
    "LX_ISP_IMAGE_PROPERTIES": "ISP_IMAGE_BRIGHTNESS=0 ISP_IMAGE_CONTRAST=1 ISP_IMAGE_SATURATION=2 "
    "ISP_IMAGE_WHITEBALANCE_MODE=3 ISP_IMAGE_WHITEBALANCE_TEMPERATURE=4 ISP_IMAGE_EXPOSURE_MODE=5 "
    "ISP_IMAGE_EXPOSURE_TIME=6 ISP_IMAGE_EXPOSURE_MIN_TIME=7 ISP_IMAGE_EXPOSURE_MAX_TIME=8 "
    "ISP_IMAGE_EXPOSURE_GAIN=9 ISP_IMAGE_GAMMA=10 ISP_IMAGE_SHARPNESS=11 "
    "ISP_IMAGE_BACKLIGHT_COMPENSATION=12 ISP_IMAGE_SPECIAL_EFFECT_MODE=13 ISP_IMAGE_DENOISE=14 "
    "ISP_IMAGE_FLIP_MODE=15 ISP_IMAGE_PAN=16 ISP_IMAGE_TILT=17 ISP_IMAGE_ZOOM=18 "
    "ISP_IMAGE_FLICK_MODE=19 ISP_IMAGE_JPEG_QUALITY=20 ISP_IMAGE_TRIGGER_MODE=21 "
    "ISP_IMAGE_FLASH_MODE=22 ISP_IMAGE_EHDR_MODE=23 ISP_EHDR_EXPOSURE_MIN_NUMBER=24 "
    "ISP_EHDR_EXPOSURE_MAX_NUMBER=25 ISP_EHDR_RATIO_MIN=26 ISP_EHDR_RATIO_MAX=27 "
    "ISP_EHDR_ATM_WEIGHT=28 ISP_EHDR_ATM_MAX=29 ISP_IMAGE_IMU_MODE=30 ISP_IMAGE_PROP_MAX=31",
    "LX_FLASH_MODE": "ENABLE=0 DISABLE=1",
    "LX_OSP_PROFILE_FLAG": "ENABLED=1 ENABLED_AND_SAVE=2 DISABLED=0",
    "LX_FX3_FW_TARGET": "FW_TARGET_NONE=0 FW_TARGET_RAM=1 FW_TARGET_I2C=2 FW_TARGET_SPI=3",
    "LX_SENSOR_MODE": "STANDBY=0 WORK=1",
    "LX_UPGRADE_RESULT": "LX_UPGRADE_SUCCESS=0 LX_UPGRADE_OTHER_ERROR=-1 "
    "LX_UPGRADE_INVALID_FIRMWARE=-2 LX_UPGRADE_MCU_READ_FAIL=-3 LX_UPGRADE_MCU_MISMATCH=-4 "
    "LX_UPGRADE_BSL_SWITCH_FAIL=-5 LX_UPGRADE_INIT_FAIL=-6 LX_UPGRADE_ERASE_FAIL=-7 "
    "LX_UPGRADE_PROGRAM_FAIL=-8 LX_UPGRADE_VERIFY_FAIL=-9 LX_UPGRADE_RESET_FAIL=-10 "
    "LX_UPGRADE_START_APP_FAIL=-12",
    "LX_IMU_MODE": "DISABLE=0 ISPU=1 SELF_TEST=2",
    "LX_IMU_SELF_TEST_MODE": "NORMAL=0 POSITIVE=1 NEGATIVE=2 NOT_ALLOWED=3",
    "LX_DISTORTION_MODEL": "LX_DIST_NONE=0 LX_DIST_MODEL_RADTAN=1",
}
DOCUMENTED = {
    "LX_OSP_PROFILE_FLAG": "LX_OSP_PROFILE_FLAG enum for OSP profile flag",
    "LX_SENSOR_MODE": "LX_SENSOR_MODE enum for sensor mode",
}


def members(name):
    return [(m, int(v)) for m, v in (pair.split("=") for pair in ENUMERATIONS[name].split())]


@pytest.mark.parametrize("name", ENUMERATIONS)
def test_members_values_and_order(name):
    enum = getattr(lx, name)
    assert [(m, int(v)) for m, v in enum.__members__.items()] == members(name)
    for member, value in members(name):
        item = getattr(enum, member)
        assert (item.name, item.value, int(item)) == (member, value, value)
        assert type(item) is enum


@pytest.mark.parametrize("name", ENUMERATIONS)
def test_docstrings(name):
    doc = getattr(lx, name).__doc__
    if name in DOCUMENTED:
        assert doc.startswith(DOCUMENTED[name])
    else:
        assert "enum for" not in doc
    assert "DISABLED" in lx.LX_OSP_PROFILE_FLAG.__doc__  # the member list follows


def test_exports_follow_registration_order():
    # Every member is a module attribute; a later enumeration's member wins a shared name.
    owner = {}
    for name in ENUMERATIONS:
        for member, _ in members(name):
            owner[member] = name
    for member, name in owner.items():
        assert getattr(pyLentraSDK, member) is not None
        assert type(getattr(lx, member)) is getattr(lx, name), member
    assert lx.DISABLE == lx.LX_IMU_MODE.DISABLE and lx.DISABLE.value == 0
    assert lx.LX_FLASH_MODE.DISABLE.value == 1


class TestStrictness:
    def test_members_never_equal_plain_ints(self):
        assert (lx.LX_SUCCESS == 0) is False
        assert (0 == lx.LX_SUCCESS) is False
        assert lx.LX_SUCCESS != 0
        assert int(lx.LX_SUCCESS) == 0 and lx.LX_SUCCESS.value == 0

    def test_members_of_different_enumerations_differ_at_equal_values(self):
        assert lx.LX_IMU_MODE.DISABLE != lx.LX_FLASH_MODE.ENABLE
        assert lx.LX_SUCCESS != lx.LX_UPGRADE_RESULT.LX_UPGRADE_SUCCESS
        assert lx.LX_SUCCESS == lx.LX_CAPTURE_RESULT(0)

    @pytest.mark.parametrize(
        "operation",
        [
            lambda a, b: a < b,
            lambda a, b: a >= b,
            lambda a, b: a & b,
            lambda a, b: a | b,
            lambda a, b: a + b,
        ],
    )
    def test_no_ordering_or_arithmetic(self, operation):
        with pytest.raises(TypeError):
            operation(lx.LX_TIMEOUT, lx.LX_SUCCESS)

    def test_hash_index_and_construction(self):
        assert {lx.LX_SUCCESS: "ok"}[lx.LX_CAPTURE_RESULT(0)] == "ok"
        assert [10, 20, 30][lx.LX_FLASH_MODE.DISABLE] == 20
        unknown = lx.LX_LOG_LEVEL(9)
        assert type(unknown) is lx.LX_LOG_LEVEL
        assert (unknown.value, unknown.name) == (9, "???")
        assert lx.LX_UPGRADE_RESULT(-11).name == "???"  # the gap before START_APP_FAIL
