"""
Python bindings for LentraSDK
"""
# Made with pybind11-stubgen from the built module, then given what the C++ types cannot say:
# handles and boot-data headers that may be None, the enumeration of LxFormat.format and
# LxIntrinsics.model, positional-only arguments. tests/test_stubs.py checks it against the module.
from __future__ import annotations
import collections.abc
import numpy
import numpy.typing
import typing

# pybind11 makes its classes with a metaclass of its own; declared here (it has no stub) so
# that the stubs describe the classes as they are.
@typing.type_check_only
class _Pybind11Type(type): ...

class LxStringList(metaclass=_Pybind11Type):
    __hash__: typing.ClassVar[None]  # type: ignore[assignment]
    def __bool__(self) -> bool:
        """
        Check whether the list is nonempty
        """
    def __contains__(self, x: str) -> bool:
        """
        Return true the container contains ``x``
        """
    @typing.overload
    def __delitem__(self, arg0: typing.SupportsInt | typing.SupportsIndex) -> None:
        """
        Delete the list elements at index ``i``
        """
    @typing.overload
    def __delitem__(self, arg0: slice) -> None:
        """
        Delete list elements using a slice object
        """
    def __eq__(self, other: object) -> bool:
        ...
    @typing.overload
    def __getitem__(self, s: slice) -> LxStringList:
        """
        Retrieve list elements using a slice object
        """
    @typing.overload
    def __getitem__(self, arg0: typing.SupportsInt | typing.SupportsIndex) -> str:
        ...
    @typing.overload
    def __init__(self) -> None:
        ...
    @typing.overload
    def __init__(self, arg0: LxStringList) -> None:
        """
        Copy constructor
        """
    @typing.overload
    def __init__(self, arg0: collections.abc.Iterable[str]) -> None:
        ...
    def __iter__(self) -> collections.abc.Iterator[str]:
        ...
    def __len__(self) -> int:
        ...
    def __ne__(self, other: object) -> bool:
        ...
    def __repr__(self) -> str:
        """
        Return the canonical string representation of this list.
        """
    @typing.overload
    def __setitem__(self, arg0: typing.SupportsInt | typing.SupportsIndex, arg1: str) -> None:
        ...
    @typing.overload
    def __setitem__(self, arg0: slice, arg1: LxStringList) -> None:
        """
        Assign list elements using a slice object
        """
    def append(self, x: str) -> None:
        """
        Add an item to the end of the list
        """
    def clear(self) -> None:
        """
        Clear the contents
        """
    def count(self, x: str) -> int:
        """
        Return the number of times ``x`` appears in the list
        """
    @typing.overload
    def extend(self, L: LxStringList) -> None:
        """
        Extend the list by appending all the items in the given list
        """
    @typing.overload
    def extend(self, L: collections.abc.Iterable[str]) -> None:
        """
        Extend the list by appending all the items in the given list
        """
    def insert(self, i: typing.SupportsInt | typing.SupportsIndex, x: str) -> None:
        """
        Insert an item at a given position.
        """
    @typing.overload
    def pop(self) -> str:
        """
        Remove and return the last item
        """
    @typing.overload
    def pop(self, i: typing.SupportsInt | typing.SupportsIndex) -> str:
        """
        Remove and return the item at index ``i``
        """
    def remove(self, x: str) -> None:
        """
        Remove the first item from the list whose value is x. It is an error if there is no such item.
        """
class LX_LOG_LEVEL(metaclass=_Pybind11Type):
    """
    Members:

      LX_LOG_LEVEL_TRACE

      LX_LOG_LEVEL_DEBUG

      LX_LOG_LEVEL_INFO

      LX_LOG_LEVEL_WARN

      LX_LOG_LEVEL_ERROR

      LX_LOG_LEVEL_CRITICAL

      LX_LOG_LEVEL_OFF
    """
    LX_LOG_LEVEL_CRITICAL: typing.ClassVar[LX_LOG_LEVEL]
    LX_LOG_LEVEL_DEBUG: typing.ClassVar[LX_LOG_LEVEL]
    LX_LOG_LEVEL_ERROR: typing.ClassVar[LX_LOG_LEVEL]
    LX_LOG_LEVEL_INFO: typing.ClassVar[LX_LOG_LEVEL]
    LX_LOG_LEVEL_OFF: typing.ClassVar[LX_LOG_LEVEL]
    LX_LOG_LEVEL_TRACE: typing.ClassVar[LX_LOG_LEVEL]
    LX_LOG_LEVEL_WARN: typing.ClassVar[LX_LOG_LEVEL]
    __members__: typing.ClassVar[dict[str, LX_LOG_LEVEL]]
    def __eq__(self, other: object) -> bool:
        ...
    def __getstate__(self) -> int:
        ...
    def __hash__(self) -> int:
        ...
    def __index__(self) -> int:
        ...
    def __init__(self, value: typing.SupportsInt | typing.SupportsIndex) -> None:
        ...
    def __int__(self) -> int:
        ...
    def __ne__(self, other: object) -> bool:
        ...
    def __repr__(self) -> str:
        ...
    def __setstate__(self, state: typing.SupportsInt | typing.SupportsIndex) -> None:
        ...
    def __str__(self) -> str:
        ...
    @property
    def name(self) -> str:
        ...
    @property
    def value(self) -> int:
        ...
class LX_CAMERA_PRODUCT_TYPE(metaclass=_Pybind11Type):
    """
    Members:

      LXCAM_PRODUCT_TYPE_NONE_CAMERA

      LXCAM_PRODUCT_TYPE_GENERIC_CAMERA

      LXCAM_PRODUCT_TYPE_KAVR

      LXCAM_PRODUCT_TYPE_KAVL

      LXCAM_PRODUCT_TYPE_OV5640

      LXCAM_PRODUCT_TYPE_KAVN

      LXCAM_PRODUCT_TYPE_RECOVERY
    """
    LXCAM_PRODUCT_TYPE_GENERIC_CAMERA: typing.ClassVar[LX_CAMERA_PRODUCT_TYPE]
    LXCAM_PRODUCT_TYPE_KAVL: typing.ClassVar[LX_CAMERA_PRODUCT_TYPE]
    LXCAM_PRODUCT_TYPE_KAVN: typing.ClassVar[LX_CAMERA_PRODUCT_TYPE]
    LXCAM_PRODUCT_TYPE_KAVR: typing.ClassVar[LX_CAMERA_PRODUCT_TYPE]
    LXCAM_PRODUCT_TYPE_NONE_CAMERA: typing.ClassVar[LX_CAMERA_PRODUCT_TYPE]
    LXCAM_PRODUCT_TYPE_OV5640: typing.ClassVar[LX_CAMERA_PRODUCT_TYPE]
    LXCAM_PRODUCT_TYPE_RECOVERY: typing.ClassVar[LX_CAMERA_PRODUCT_TYPE]
    __members__: typing.ClassVar[dict[str, LX_CAMERA_PRODUCT_TYPE]]
    def __eq__(self, other: object) -> bool:
        ...
    def __getstate__(self) -> int:
        ...
    def __hash__(self) -> int:
        ...
    def __index__(self) -> int:
        ...
    def __init__(self, value: typing.SupportsInt | typing.SupportsIndex) -> None:
        ...
    def __int__(self) -> int:
        ...
    def __ne__(self, other: object) -> bool:
        ...
    def __repr__(self) -> str:
        ...
    def __setstate__(self, state: typing.SupportsInt | typing.SupportsIndex) -> None:
        ...
    def __str__(self) -> str:
        ...
    @property
    def name(self) -> str:
        ...
    @property
    def value(self) -> int:
        ...
class LX_CAPTURE_RESULT(metaclass=_Pybind11Type):
    """
    Members:

      LX_SUCCESS

      LX_TIMEOUT

      LX_CAM_OCCUPIED

      LX_BUFFER_CORRUPTED

      LX_OTHER_ERROR
    """
    LX_BUFFER_CORRUPTED: typing.ClassVar[LX_CAPTURE_RESULT]
    LX_CAM_OCCUPIED: typing.ClassVar[LX_CAPTURE_RESULT]
    LX_OTHER_ERROR: typing.ClassVar[LX_CAPTURE_RESULT]
    LX_SUCCESS: typing.ClassVar[LX_CAPTURE_RESULT]
    LX_TIMEOUT: typing.ClassVar[LX_CAPTURE_RESULT]
    __members__: typing.ClassVar[dict[str, LX_CAPTURE_RESULT]]
    def __eq__(self, other: object) -> bool:
        ...
    def __getstate__(self) -> int:
        ...
    def __hash__(self) -> int:
        ...
    def __index__(self) -> int:
        ...
    def __init__(self, value: typing.SupportsInt | typing.SupportsIndex) -> None:
        ...
    def __int__(self) -> int:
        ...
    def __ne__(self, other: object) -> bool:
        ...
    def __repr__(self) -> str:
        ...
    def __setstate__(self, state: typing.SupportsInt | typing.SupportsIndex) -> None:
        ...
    def __str__(self) -> str:
        ...
    @property
    def name(self) -> str:
        ...
    @property
    def value(self) -> int:
        ...
class LX_CAMERA_INTERFACE_TYPE(metaclass=_Pybind11Type):
    """
    Members:

      INTERFACE_USB

      INTERFACE_MIPI_CSI2

      INTERFACE_ETHERNET
    """
    INTERFACE_ETHERNET: typing.ClassVar[LX_CAMERA_INTERFACE_TYPE]
    INTERFACE_MIPI_CSI2: typing.ClassVar[LX_CAMERA_INTERFACE_TYPE]
    INTERFACE_USB: typing.ClassVar[LX_CAMERA_INTERFACE_TYPE]
    __members__: typing.ClassVar[dict[str, LX_CAMERA_INTERFACE_TYPE]]
    def __eq__(self, other: object) -> bool:
        ...
    def __getstate__(self) -> int:
        ...
    def __hash__(self) -> int:
        ...
    def __index__(self) -> int:
        ...
    def __init__(self, value: typing.SupportsInt | typing.SupportsIndex) -> None:
        ...
    def __int__(self) -> int:
        ...
    def __ne__(self, other: object) -> bool:
        ...
    def __repr__(self) -> str:
        ...
    def __setstate__(self, state: typing.SupportsInt | typing.SupportsIndex) -> None:
        ...
    def __str__(self) -> str:
        ...
    @property
    def name(self) -> str:
        ...
    @property
    def value(self) -> int:
        ...
class LX_USB_DEVICE_SPEED(metaclass=_Pybind11Type):
    """
    Members:

      USB_DEVICE_SPEED_LOW

      USB_DEVICE_SPEED_FULL

      USB_DEVICE_SPEED_HIGH

      USB_DEVICE_SPEED_SUPER

      USB_DEVICE_SPEED_SUPER_PLUS

      USB_DEVICE_SPEED_UNKNOWN
    """
    USB_DEVICE_SPEED_FULL: typing.ClassVar[LX_USB_DEVICE_SPEED]
    USB_DEVICE_SPEED_HIGH: typing.ClassVar[LX_USB_DEVICE_SPEED]
    USB_DEVICE_SPEED_LOW: typing.ClassVar[LX_USB_DEVICE_SPEED]
    USB_DEVICE_SPEED_SUPER: typing.ClassVar[LX_USB_DEVICE_SPEED]
    USB_DEVICE_SPEED_SUPER_PLUS: typing.ClassVar[LX_USB_DEVICE_SPEED]
    USB_DEVICE_SPEED_UNKNOWN: typing.ClassVar[LX_USB_DEVICE_SPEED]
    __members__: typing.ClassVar[dict[str, LX_USB_DEVICE_SPEED]]
    def __eq__(self, other: object) -> bool:
        ...
    def __getstate__(self) -> int:
        ...
    def __hash__(self) -> int:
        ...
    def __index__(self) -> int:
        ...
    def __init__(self, value: typing.SupportsInt | typing.SupportsIndex) -> None:
        ...
    def __int__(self) -> int:
        ...
    def __ne__(self, other: object) -> bool:
        ...
    def __repr__(self) -> str:
        ...
    def __setstate__(self, state: typing.SupportsInt | typing.SupportsIndex) -> None:
        ...
    def __str__(self) -> str:
        ...
    @property
    def name(self) -> str:
        ...
    @property
    def value(self) -> int:
        ...
class LxFormat(metaclass=_Pybind11Type):
    @property
    def format(self) -> LX_IMAGE_FORMAT:
        ...
    @property
    def framerate(self) -> int:
        ...
    @property
    def height(self) -> int:
        ...
    @property
    def width(self) -> int:
        ...
class LX_IMAGE_FORMAT(metaclass=_Pybind11Type):
    """
    Members:

      LX_IMAGE_FORMAT_MJPG

      LX_IMAGE_FORMAT_UYVY

      LX_IMAGE_FORMAT_YUY2

      LX_IMAGE_FORMAT_NV12

      LX_IMAGE_FORMAT_BGRA

      LX_IMAGE_FORMAT_BGRX

      LX_IMAGE_FORMAT_BGR

      LX_IMAGE_FORMAT_RGB16

      LX_IMAGE_FORMAT_RGB

      LX_IMAGE_FORMAT_NONE
    """
    LX_IMAGE_FORMAT_BGR: typing.ClassVar[LX_IMAGE_FORMAT]
    LX_IMAGE_FORMAT_BGRA: typing.ClassVar[LX_IMAGE_FORMAT]
    LX_IMAGE_FORMAT_BGRX: typing.ClassVar[LX_IMAGE_FORMAT]
    LX_IMAGE_FORMAT_MJPG: typing.ClassVar[LX_IMAGE_FORMAT]
    LX_IMAGE_FORMAT_NONE: typing.ClassVar[LX_IMAGE_FORMAT]
    LX_IMAGE_FORMAT_NV12: typing.ClassVar[LX_IMAGE_FORMAT]
    LX_IMAGE_FORMAT_RGB: typing.ClassVar[LX_IMAGE_FORMAT]
    LX_IMAGE_FORMAT_RGB16: typing.ClassVar[LX_IMAGE_FORMAT]
    LX_IMAGE_FORMAT_UYVY: typing.ClassVar[LX_IMAGE_FORMAT]
    LX_IMAGE_FORMAT_YUY2: typing.ClassVar[LX_IMAGE_FORMAT]
    __members__: typing.ClassVar[dict[str, LX_IMAGE_FORMAT]]
    def __eq__(self, other: object) -> bool:
        ...
    def __getstate__(self) -> int:
        ...
    def __hash__(self) -> int:
        ...
    def __index__(self) -> int:
        ...
    def __init__(self, value: typing.SupportsInt | typing.SupportsIndex) -> None:
        ...
    def __int__(self) -> int:
        ...
    def __ne__(self, other: object) -> bool:
        ...
    def __repr__(self) -> str:
        ...
    def __setstate__(self, state: typing.SupportsInt | typing.SupportsIndex) -> None:
        ...
    def __str__(self) -> str:
        ...
    @property
    def name(self) -> str:
        ...
    @property
    def value(self) -> int:
        ...
class LxHeaderV2(metaclass=_Pybind11Type):
    @property
    def contentOffset(self) -> int:
        ...
    @property
    def headerVersion(self) -> int:
        ...
    @property
    def productName(self) -> str:
        ...
    @property
    def productVersion(self) -> int:
        ...
class LxHeaderV3(metaclass=_Pybind11Type):
    @property
    def contentChecksum(self) -> int:
        ...
    @property
    def contentLen(self) -> int:
        ...
    @property
    def contentOffset(self) -> int:
        ...
    @property
    def customNumber(self) -> int:
        ...
    @property
    def fixChecksum(self) -> int:
        ...
    @property
    def headerVersion(self) -> int:
        ...
    @property
    def lensId(self) -> bytes:
        ...
    @property
    def mipiDatarate(self) -> int:
        ...
    @property
    def productName(self) -> str:
        ...
    @property
    def qrFwVersion(self) -> str:
        ...
    @property
    def recordDay(self) -> int:
        ...
    @property
    def recordHour(self) -> int:
        ...
    @property
    def recordMinute(self) -> int:
        ...
    @property
    def recordMonth(self) -> int:
        ...
    @property
    def recordSecond(self) -> int:
        ...
    @property
    def recordYear(self) -> int:
        ...
    @property
    def sensorFuseId(self) -> bytes:
        ...
    @property
    def sensorType(self) -> int:
        ...
    @property
    def totalChecksum(self) -> int:
        ...
    @property
    def vendorFwVersion(self) -> int:
        ...
class LX_UVC_IMAGE_PROPERTIES(metaclass=_Pybind11Type):
    """
    Members:

      UVC_IMAGE_BRIGHTNESS

      UVC_IMAGE_CONTRAST

      UVC_IMAGE_HUE

      UVC_IMAGE_SATURATION

      UVC_IMAGE_SHARPNESS

      UVC_IMAGE_GAMMA

      UVC_IMAGE_COLORENABLE

      UVC_IMAGE_WHITEBALANCE

      UVC_IMAGE_BACKLIGHT_COMPENSATION

      UVC_IMAGE_GAIN

      UVC_IMAGE_PAN

      UVC_IMAGE_TILT

      UVC_IMAGE_ROLL

      UVC_IMAGE_ZOOM

      UVC_IMAGE_EXPOSURE

      UVC_IMAGE_IRIS

      UVC_IMAGE_FOCUS

      UVC_IMAGE_PROP_MAX
    """
    UVC_IMAGE_BACKLIGHT_COMPENSATION: typing.ClassVar[LX_UVC_IMAGE_PROPERTIES]
    UVC_IMAGE_BRIGHTNESS: typing.ClassVar[LX_UVC_IMAGE_PROPERTIES]
    UVC_IMAGE_COLORENABLE: typing.ClassVar[LX_UVC_IMAGE_PROPERTIES]
    UVC_IMAGE_CONTRAST: typing.ClassVar[LX_UVC_IMAGE_PROPERTIES]
    UVC_IMAGE_EXPOSURE: typing.ClassVar[LX_UVC_IMAGE_PROPERTIES]
    UVC_IMAGE_FOCUS: typing.ClassVar[LX_UVC_IMAGE_PROPERTIES]
    UVC_IMAGE_GAIN: typing.ClassVar[LX_UVC_IMAGE_PROPERTIES]
    UVC_IMAGE_GAMMA: typing.ClassVar[LX_UVC_IMAGE_PROPERTIES]
    UVC_IMAGE_HUE: typing.ClassVar[LX_UVC_IMAGE_PROPERTIES]
    UVC_IMAGE_IRIS: typing.ClassVar[LX_UVC_IMAGE_PROPERTIES]
    UVC_IMAGE_PAN: typing.ClassVar[LX_UVC_IMAGE_PROPERTIES]
    UVC_IMAGE_PROP_MAX: typing.ClassVar[LX_UVC_IMAGE_PROPERTIES]
    UVC_IMAGE_ROLL: typing.ClassVar[LX_UVC_IMAGE_PROPERTIES]
    UVC_IMAGE_SATURATION: typing.ClassVar[LX_UVC_IMAGE_PROPERTIES]
    UVC_IMAGE_SHARPNESS: typing.ClassVar[LX_UVC_IMAGE_PROPERTIES]
    UVC_IMAGE_TILT: typing.ClassVar[LX_UVC_IMAGE_PROPERTIES]
    UVC_IMAGE_WHITEBALANCE: typing.ClassVar[LX_UVC_IMAGE_PROPERTIES]
    UVC_IMAGE_ZOOM: typing.ClassVar[LX_UVC_IMAGE_PROPERTIES]
    __members__: typing.ClassVar[dict[str, LX_UVC_IMAGE_PROPERTIES]]
    def __eq__(self, other: object) -> bool:
        ...
    def __getstate__(self) -> int:
        ...
    def __hash__(self) -> int:
        ...
    def __index__(self) -> int:
        ...
    def __init__(self, value: typing.SupportsInt | typing.SupportsIndex) -> None:
        ...
    def __int__(self) -> int:
        ...
    def __ne__(self, other: object) -> bool:
        ...
    def __repr__(self) -> str:
        ...
    def __setstate__(self, state: typing.SupportsInt | typing.SupportsIndex) -> None:
        ...
    def __str__(self) -> str:
        ...
    @property
    def name(self) -> str:
        ...
    @property
    def value(self) -> int:
        ...
class LX_ISP_IMAGE_PROPERTIES(metaclass=_Pybind11Type):
    """
    Members:

      ISP_IMAGE_BRIGHTNESS

      ISP_IMAGE_CONTRAST

      ISP_IMAGE_SATURATION

      ISP_IMAGE_WHITEBALANCE_MODE

      ISP_IMAGE_WHITEBALANCE_TEMPERATURE

      ISP_IMAGE_EXPOSURE_MODE

      ISP_IMAGE_EXPOSURE_TIME

      ISP_IMAGE_EXPOSURE_MIN_TIME

      ISP_IMAGE_EXPOSURE_MAX_TIME

      ISP_IMAGE_EXPOSURE_GAIN

      ISP_IMAGE_GAMMA

      ISP_IMAGE_SHARPNESS

      ISP_IMAGE_BACKLIGHT_COMPENSATION

      ISP_IMAGE_SPECIAL_EFFECT_MODE

      ISP_IMAGE_DENOISE

      ISP_IMAGE_FLIP_MODE

      ISP_IMAGE_PAN

      ISP_IMAGE_TILT

      ISP_IMAGE_ZOOM

      ISP_IMAGE_FLICK_MODE

      ISP_IMAGE_JPEG_QUALITY

      ISP_IMAGE_TRIGGER_MODE

      ISP_IMAGE_FLASH_MODE

      ISP_IMAGE_EHDR_MODE

      ISP_EHDR_EXPOSURE_MIN_NUMBER

      ISP_EHDR_EXPOSURE_MAX_NUMBER

      ISP_EHDR_RATIO_MIN

      ISP_EHDR_RATIO_MAX

      ISP_EHDR_ATM_WEIGHT

      ISP_EHDR_ATM_MAX

      ISP_IMAGE_IMU_MODE

      ISP_IMAGE_PROP_MAX
    """
    ISP_EHDR_ATM_MAX: typing.ClassVar[LX_ISP_IMAGE_PROPERTIES]
    ISP_EHDR_ATM_WEIGHT: typing.ClassVar[LX_ISP_IMAGE_PROPERTIES]
    ISP_EHDR_EXPOSURE_MAX_NUMBER: typing.ClassVar[LX_ISP_IMAGE_PROPERTIES]
    ISP_EHDR_EXPOSURE_MIN_NUMBER: typing.ClassVar[LX_ISP_IMAGE_PROPERTIES]
    ISP_EHDR_RATIO_MAX: typing.ClassVar[LX_ISP_IMAGE_PROPERTIES]
    ISP_EHDR_RATIO_MIN: typing.ClassVar[LX_ISP_IMAGE_PROPERTIES]
    ISP_IMAGE_BACKLIGHT_COMPENSATION: typing.ClassVar[LX_ISP_IMAGE_PROPERTIES]
    ISP_IMAGE_BRIGHTNESS: typing.ClassVar[LX_ISP_IMAGE_PROPERTIES]
    ISP_IMAGE_CONTRAST: typing.ClassVar[LX_ISP_IMAGE_PROPERTIES]
    ISP_IMAGE_DENOISE: typing.ClassVar[LX_ISP_IMAGE_PROPERTIES]
    ISP_IMAGE_EHDR_MODE: typing.ClassVar[LX_ISP_IMAGE_PROPERTIES]
    ISP_IMAGE_EXPOSURE_GAIN: typing.ClassVar[LX_ISP_IMAGE_PROPERTIES]
    ISP_IMAGE_EXPOSURE_MAX_TIME: typing.ClassVar[LX_ISP_IMAGE_PROPERTIES]
    ISP_IMAGE_EXPOSURE_MIN_TIME: typing.ClassVar[LX_ISP_IMAGE_PROPERTIES]
    ISP_IMAGE_EXPOSURE_MODE: typing.ClassVar[LX_ISP_IMAGE_PROPERTIES]
    ISP_IMAGE_EXPOSURE_TIME: typing.ClassVar[LX_ISP_IMAGE_PROPERTIES]
    ISP_IMAGE_FLASH_MODE: typing.ClassVar[LX_ISP_IMAGE_PROPERTIES]
    ISP_IMAGE_FLICK_MODE: typing.ClassVar[LX_ISP_IMAGE_PROPERTIES]
    ISP_IMAGE_FLIP_MODE: typing.ClassVar[LX_ISP_IMAGE_PROPERTIES]
    ISP_IMAGE_GAMMA: typing.ClassVar[LX_ISP_IMAGE_PROPERTIES]
    ISP_IMAGE_IMU_MODE: typing.ClassVar[LX_ISP_IMAGE_PROPERTIES]
    ISP_IMAGE_JPEG_QUALITY: typing.ClassVar[LX_ISP_IMAGE_PROPERTIES]
    ISP_IMAGE_PAN: typing.ClassVar[LX_ISP_IMAGE_PROPERTIES]
    ISP_IMAGE_PROP_MAX: typing.ClassVar[LX_ISP_IMAGE_PROPERTIES]
    ISP_IMAGE_SATURATION: typing.ClassVar[LX_ISP_IMAGE_PROPERTIES]
    ISP_IMAGE_SHARPNESS: typing.ClassVar[LX_ISP_IMAGE_PROPERTIES]
    ISP_IMAGE_SPECIAL_EFFECT_MODE: typing.ClassVar[LX_ISP_IMAGE_PROPERTIES]
    ISP_IMAGE_TILT: typing.ClassVar[LX_ISP_IMAGE_PROPERTIES]
    ISP_IMAGE_TRIGGER_MODE: typing.ClassVar[LX_ISP_IMAGE_PROPERTIES]
    ISP_IMAGE_WHITEBALANCE_MODE: typing.ClassVar[LX_ISP_IMAGE_PROPERTIES]
    ISP_IMAGE_WHITEBALANCE_TEMPERATURE: typing.ClassVar[LX_ISP_IMAGE_PROPERTIES]
    ISP_IMAGE_ZOOM: typing.ClassVar[LX_ISP_IMAGE_PROPERTIES]
    __members__: typing.ClassVar[dict[str, LX_ISP_IMAGE_PROPERTIES]]
    def __eq__(self, other: object) -> bool:
        ...
    def __getstate__(self) -> int:
        ...
    def __hash__(self) -> int:
        ...
    def __index__(self) -> int:
        ...
    def __init__(self, value: typing.SupportsInt | typing.SupportsIndex) -> None:
        ...
    def __int__(self) -> int:
        ...
    def __ne__(self, other: object) -> bool:
        ...
    def __repr__(self) -> str:
        ...
    def __setstate__(self, state: typing.SupportsInt | typing.SupportsIndex) -> None:
        ...
    def __str__(self) -> str:
        ...
    @property
    def name(self) -> str:
        ...
    @property
    def value(self) -> int:
        ...
class LX_FLASH_MODE(metaclass=_Pybind11Type):
    """
    Members:

      ENABLE

      DISABLE
    """
    DISABLE: typing.ClassVar[LX_FLASH_MODE]
    ENABLE: typing.ClassVar[LX_FLASH_MODE]
    __members__: typing.ClassVar[dict[str, LX_FLASH_MODE]]
    def __eq__(self, other: object) -> bool:
        ...
    def __getstate__(self) -> int:
        ...
    def __hash__(self) -> int:
        ...
    def __index__(self) -> int:
        ...
    def __init__(self, value: typing.SupportsInt | typing.SupportsIndex) -> None:
        ...
    def __int__(self) -> int:
        ...
    def __ne__(self, other: object) -> bool:
        ...
    def __repr__(self) -> str:
        ...
    def __setstate__(self, state: typing.SupportsInt | typing.SupportsIndex) -> None:
        ...
    def __str__(self) -> str:
        ...
    @property
    def name(self) -> str:
        ...
    @property
    def value(self) -> int:
        ...
class LX_OSP_PROFILE_FLAG(metaclass=_Pybind11Type):
    """
    LX_OSP_PROFILE_FLAG enum for OSP profile flag

    Members:

      ENABLED

      ENABLED_AND_SAVE

      DISABLED
    """
    DISABLED: typing.ClassVar[LX_OSP_PROFILE_FLAG]
    ENABLED: typing.ClassVar[LX_OSP_PROFILE_FLAG]
    ENABLED_AND_SAVE: typing.ClassVar[LX_OSP_PROFILE_FLAG]
    __members__: typing.ClassVar[dict[str, LX_OSP_PROFILE_FLAG]]
    def __eq__(self, other: object) -> bool:
        ...
    def __getstate__(self) -> int:
        ...
    def __hash__(self) -> int:
        ...
    def __index__(self) -> int:
        ...
    def __init__(self, value: typing.SupportsInt | typing.SupportsIndex) -> None:
        ...
    def __int__(self) -> int:
        ...
    def __ne__(self, other: object) -> bool:
        ...
    def __repr__(self) -> str:
        ...
    def __setstate__(self, state: typing.SupportsInt | typing.SupportsIndex) -> None:
        ...
    def __str__(self) -> str:
        ...
    @property
    def name(self) -> str:
        ...
    @property
    def value(self) -> int:
        ...
class LX_FX3_FW_TARGET(metaclass=_Pybind11Type):
    """
    Members:

      FW_TARGET_NONE

      FW_TARGET_RAM

      FW_TARGET_I2C

      FW_TARGET_SPI
    """
    FW_TARGET_I2C: typing.ClassVar[LX_FX3_FW_TARGET]
    FW_TARGET_NONE: typing.ClassVar[LX_FX3_FW_TARGET]
    FW_TARGET_RAM: typing.ClassVar[LX_FX3_FW_TARGET]
    FW_TARGET_SPI: typing.ClassVar[LX_FX3_FW_TARGET]
    __members__: typing.ClassVar[dict[str, LX_FX3_FW_TARGET]]
    def __eq__(self, other: object) -> bool:
        ...
    def __getstate__(self) -> int:
        ...
    def __hash__(self) -> int:
        ...
    def __index__(self) -> int:
        ...
    def __init__(self, value: typing.SupportsInt | typing.SupportsIndex) -> None:
        ...
    def __int__(self) -> int:
        ...
    def __ne__(self, other: object) -> bool:
        ...
    def __repr__(self) -> str:
        ...
    def __setstate__(self, state: typing.SupportsInt | typing.SupportsIndex) -> None:
        ...
    def __str__(self) -> str:
        ...
    @property
    def name(self) -> str:
        ...
    @property
    def value(self) -> int:
        ...
class LX_SENSOR_MODE(metaclass=_Pybind11Type):
    """
    LX_SENSOR_MODE enum for sensor mode

    Members:

      STANDBY

      WORK
    """
    STANDBY: typing.ClassVar[LX_SENSOR_MODE]
    WORK: typing.ClassVar[LX_SENSOR_MODE]
    __members__: typing.ClassVar[dict[str, LX_SENSOR_MODE]]
    def __eq__(self, other: object) -> bool:
        ...
    def __getstate__(self) -> int:
        ...
    def __hash__(self) -> int:
        ...
    def __index__(self) -> int:
        ...
    def __init__(self, value: typing.SupportsInt | typing.SupportsIndex) -> None:
        ...
    def __int__(self) -> int:
        ...
    def __ne__(self, other: object) -> bool:
        ...
    def __repr__(self) -> str:
        ...
    def __setstate__(self, state: typing.SupportsInt | typing.SupportsIndex) -> None:
        ...
    def __str__(self) -> str:
        ...
    @property
    def name(self) -> str:
        ...
    @property
    def value(self) -> int:
        ...
class LX_UPGRADE_RESULT(metaclass=_Pybind11Type):
    """
    Members:

      LX_UPGRADE_SUCCESS

      LX_UPGRADE_OTHER_ERROR

      LX_UPGRADE_INVALID_FIRMWARE

      LX_UPGRADE_MCU_READ_FAIL

      LX_UPGRADE_MCU_MISMATCH

      LX_UPGRADE_BSL_SWITCH_FAIL

      LX_UPGRADE_INIT_FAIL

      LX_UPGRADE_ERASE_FAIL

      LX_UPGRADE_PROGRAM_FAIL

      LX_UPGRADE_VERIFY_FAIL

      LX_UPGRADE_RESET_FAIL

      LX_UPGRADE_START_APP_FAIL
    """
    LX_UPGRADE_BSL_SWITCH_FAIL: typing.ClassVar[LX_UPGRADE_RESULT]
    LX_UPGRADE_ERASE_FAIL: typing.ClassVar[LX_UPGRADE_RESULT]
    LX_UPGRADE_INIT_FAIL: typing.ClassVar[LX_UPGRADE_RESULT]
    LX_UPGRADE_INVALID_FIRMWARE: typing.ClassVar[LX_UPGRADE_RESULT]
    LX_UPGRADE_MCU_MISMATCH: typing.ClassVar[LX_UPGRADE_RESULT]
    LX_UPGRADE_MCU_READ_FAIL: typing.ClassVar[LX_UPGRADE_RESULT]
    LX_UPGRADE_OTHER_ERROR: typing.ClassVar[LX_UPGRADE_RESULT]
    LX_UPGRADE_PROGRAM_FAIL: typing.ClassVar[LX_UPGRADE_RESULT]
    LX_UPGRADE_RESET_FAIL: typing.ClassVar[LX_UPGRADE_RESULT]
    LX_UPGRADE_START_APP_FAIL: typing.ClassVar[LX_UPGRADE_RESULT]
    LX_UPGRADE_SUCCESS: typing.ClassVar[LX_UPGRADE_RESULT]
    LX_UPGRADE_VERIFY_FAIL: typing.ClassVar[LX_UPGRADE_RESULT]
    __members__: typing.ClassVar[dict[str, LX_UPGRADE_RESULT]]
    def __eq__(self, other: object) -> bool:
        ...
    def __getstate__(self) -> int:
        ...
    def __hash__(self) -> int:
        ...
    def __index__(self) -> int:
        ...
    def __init__(self, value: typing.SupportsInt | typing.SupportsIndex) -> None:
        ...
    def __int__(self) -> int:
        ...
    def __ne__(self, other: object) -> bool:
        ...
    def __repr__(self) -> str:
        ...
    def __setstate__(self, state: typing.SupportsInt | typing.SupportsIndex) -> None:
        ...
    def __str__(self) -> str:
        ...
    @property
    def name(self) -> str:
        ...
    @property
    def value(self) -> int:
        ...
class LX_IMU_MODE(metaclass=_Pybind11Type):
    """
    Members:

      DISABLE

      ISPU

      SELF_TEST
    """
    DISABLE: typing.ClassVar[LX_IMU_MODE]
    ISPU: typing.ClassVar[LX_IMU_MODE]
    SELF_TEST: typing.ClassVar[LX_IMU_MODE]
    __members__: typing.ClassVar[dict[str, LX_IMU_MODE]]
    def __eq__(self, other: object) -> bool:
        ...
    def __getstate__(self) -> int:
        ...
    def __hash__(self) -> int:
        ...
    def __index__(self) -> int:
        ...
    def __init__(self, value: typing.SupportsInt | typing.SupportsIndex) -> None:
        ...
    def __int__(self) -> int:
        ...
    def __ne__(self, other: object) -> bool:
        ...
    def __repr__(self) -> str:
        ...
    def __setstate__(self, state: typing.SupportsInt | typing.SupportsIndex) -> None:
        ...
    def __str__(self) -> str:
        ...
    @property
    def name(self) -> str:
        ...
    @property
    def value(self) -> int:
        ...
class LX_IMU_SELF_TEST_MODE(metaclass=_Pybind11Type):
    """
    Members:

      NORMAL

      POSITIVE

      NEGATIVE

      NOT_ALLOWED
    """
    NEGATIVE: typing.ClassVar[LX_IMU_SELF_TEST_MODE]
    NORMAL: typing.ClassVar[LX_IMU_SELF_TEST_MODE]
    NOT_ALLOWED: typing.ClassVar[LX_IMU_SELF_TEST_MODE]
    POSITIVE: typing.ClassVar[LX_IMU_SELF_TEST_MODE]
    __members__: typing.ClassVar[dict[str, LX_IMU_SELF_TEST_MODE]]
    def __eq__(self, other: object) -> bool:
        ...
    def __getstate__(self) -> int:
        ...
    def __hash__(self) -> int:
        ...
    def __index__(self) -> int:
        ...
    def __init__(self, value: typing.SupportsInt | typing.SupportsIndex) -> None:
        ...
    def __int__(self) -> int:
        ...
    def __ne__(self, other: object) -> bool:
        ...
    def __repr__(self) -> str:
        ...
    def __setstate__(self, state: typing.SupportsInt | typing.SupportsIndex) -> None:
        ...
    def __str__(self) -> str:
        ...
    @property
    def name(self) -> str:
        ...
    @property
    def value(self) -> int:
        ...
class LxImuIspu(metaclass=_Pybind11Type):
    @property
    def pitch(self) -> float:
        ...
    @property
    def roll(self) -> float:
        ...
    @property
    def w(self) -> float:
        ...
    @property
    def x(self) -> float:
        ...
    @property
    def y(self) -> float:
        ...
    @property
    def yaw(self) -> float:
        ...
    @property
    def z(self) -> float:
        ...
class LX_DISTORTION_MODEL(metaclass=_Pybind11Type):
    """
    Members:

      LX_DIST_NONE

      LX_DIST_MODEL_RADTAN
    """
    LX_DIST_MODEL_RADTAN: typing.ClassVar[LX_DISTORTION_MODEL]
    LX_DIST_NONE: typing.ClassVar[LX_DISTORTION_MODEL]
    __members__: typing.ClassVar[dict[str, LX_DISTORTION_MODEL]]
    def __eq__(self, other: object) -> bool:
        ...
    def __getstate__(self) -> int:
        ...
    def __hash__(self) -> int:
        ...
    def __index__(self) -> int:
        ...
    def __init__(self, value: typing.SupportsInt | typing.SupportsIndex) -> None:
        ...
    def __int__(self) -> int:
        ...
    def __ne__(self, other: object) -> bool:
        ...
    def __repr__(self) -> str:
        ...
    def __setstate__(self, state: typing.SupportsInt | typing.SupportsIndex) -> None:
        ...
    def __str__(self) -> str:
        ...
    @property
    def name(self) -> str:
        ...
    @property
    def value(self) -> int:
        ...
class LxIntrinsics(metaclass=_Pybind11Type):
    def __init__(self) -> None:
        ...
    @property
    def coeffs(self) -> numpy.typing.NDArray[numpy.float32]:
        ...
    @coeffs.setter
    def coeffs(self, arg1: numpy.typing.ArrayLike) -> None:
        ...
    @property
    def cx(self) -> float:
        ...
    @cx.setter
    def cx(self, arg0: typing.SupportsFloat | typing.SupportsIndex) -> None:
        ...
    @property
    def cy(self) -> float:
        ...
    @cy.setter
    def cy(self, arg0: typing.SupportsFloat | typing.SupportsIndex) -> None:
        ...
    @property
    def fx(self) -> float:
        ...
    @fx.setter
    def fx(self, arg0: typing.SupportsFloat | typing.SupportsIndex) -> None:
        ...
    @property
    def fy(self) -> float:
        ...
    @fy.setter
    def fy(self, arg0: typing.SupportsFloat | typing.SupportsIndex) -> None:
        ...
    @property
    def h(self) -> int:
        ...
    @h.setter
    def h(self, arg0: typing.SupportsInt | typing.SupportsIndex) -> None:
        ...
    @property
    def model(self) -> LX_DISTORTION_MODEL:
        ...
    @model.setter
    def model(self, arg1: LX_DISTORTION_MODEL) -> None:
        ...
    @property
    def w(self) -> int:
        ...
    @w.setter
    def w(self, arg0: typing.SupportsInt | typing.SupportsIndex) -> None:
        ...
class LxCamera(metaclass=_Pybind11Type):
    pass
class LxRoute(metaclass=_Pybind11Type):
    pass
def HelloLentraSDK() -> None:
    """
    A function that prints Hello LentraSDK and version
    """
def LxAP1302I2CRead(arg0: LxCamera | None, arg1: typing.SupportsInt | typing.SupportsIndex, /) -> tuple[int, int]:
    """
    AP1302 I2C read
    """
def LxAP1302I2CWrite(arg0: LxCamera | None, arg1: typing.SupportsInt | typing.SupportsIndex, arg2: typing.SupportsInt | typing.SupportsIndex, /) -> int:
    """
    AP1302 I2C write
    """
def LxAP1302SensorRegisterRead(arg0: LxCamera | None, arg1: typing.SupportsInt | typing.SupportsIndex, arg2: typing.SupportsInt | typing.SupportsIndex, /) -> tuple[int, int]:
    """
    AP1302 sensor register read
    """
def LxAP1302SensorRegisterWrite(arg0: LxCamera | None, arg1: typing.SupportsInt | typing.SupportsIndex, arg2: typing.SupportsInt | typing.SupportsIndex, arg3: typing.SupportsInt | typing.SupportsIndex, /) -> int:
    """
    AP1302 sensor register write
    """
def LxActivateProfileImageProcessing(arg0: LxCamera | None, /) -> int:
    """
    Activate profile image processing
    """
def LxActivateProfileStreaming(arg0: LxCamera | None, /) -> int:
    """
    Activate profile streaming
    """
def LxActivateYamlRoutes(arg0: LxRoute | None, /) -> int:
    """
    Activate the routes from yaml file
    """
def LxClose(arg0: LxCamera | None, /) -> int:
    """
    Close camera device
    """
def LxDecodeSensorConfig(arg0: str | bytes, arg1: str | bytes, /) -> int:
    """
    Decode sensor binary file to json format
    """
def LxDiscoverCameraDevices() -> tuple[int, LxStringList]:
    """
    Discover available camera devices
    """
def LxEnableIMUMode(arg0: LxCamera | None, arg1: LX_IMU_MODE, /) -> int:
    """
    Enable IMU mode
    """
def LxExportSensorConfig(arg0: LxCamera | None, arg1: str | bytes, /) -> int:
    """
    Save sensor config to binary file
    """
def LxFlashProductInfo(arg0: LxCamera | None, arg1: str | bytes, /) -> int:
    """
    Flash product info from image file
    """
def LxGenericI2CRead(arg0: LxCamera | None, arg1: typing.SupportsInt | typing.SupportsIndex, arg2: typing.SupportsInt | typing.SupportsIndex, arg3: typing.SupportsInt | typing.SupportsIndex, arg4: typing.SupportsInt | typing.SupportsIndex, /) -> tuple[int, int]:
    """
    Generic I2C read
    """
def LxGenericI2CWrite(arg0: LxCamera | None, arg1: typing.SupportsInt | typing.SupportsIndex, arg2: typing.SupportsInt | typing.SupportsIndex, arg3: typing.SupportsInt | typing.SupportsIndex, arg4: typing.SupportsInt | typing.SupportsIndex, arg5: typing.SupportsInt | typing.SupportsIndex, /) -> int:
    """
    Generic I2C write
    """
def LxGetBootdataHeaderV2(arg0: LxCamera | None, /) -> tuple[int, LxHeaderV2 | None]:
    """
    Get bootdata header v2
    """
def LxGetBootdataHeaderV2FromFile(path: str | bytes = '', /) -> tuple[int, str, LxHeaderV2 | None]:
    """
    Get bootdata header v2 from file
    """
def LxGetBootdataHeaderV3(arg0: LxCamera | None, /) -> tuple[int, LxHeaderV3 | None]:
    """
    Get bootdata header v3
    """
def LxGetBootdataHeaderV3FromFile(path: str | bytes = '', /) -> tuple[int, str, LxHeaderV3 | None]:
    """
    Get bootdata header v3 from file
    """
def LxGetCurrentExposure(arg0: LxCamera | None, /) -> tuple[int, int]:
    """
    Get current exposure
    """
def LxGetCurrentGain(arg0: LxCamera | None, /) -> tuple[int, int]:
    """
    Get current gain
    """
def LxGetDeviceInterfaceType(arg0: LxCamera | None, /) -> tuple[int, LX_CAMERA_INTERFACE_TYPE]:
    """
    Get camera device interface type
    """
def LxGetDeviceName(arg0: LxCamera | None, /) -> tuple[int, str]:
    """
    Get camera device name
    """
def LxGetDevicePath(arg0: LxCamera | None, /) -> tuple[int, str]:
    """
    Get camera device path
    """
def LxGetDeviceProductType(arg0: LxCamera | None, /) -> tuple[int, LX_CAMERA_PRODUCT_TYPE]:
    """
    Get camera device product type
    """
def LxGetFormatList(arg0: LxCamera | None, /) -> tuple[int, list[LxFormat]]:
    """
    Get supported format list
    """
def LxGetFrameCount(arg0: LxCamera | None, /) -> tuple[int, int]:
    """
    Get Frame Count
    """
def LxGetHardwareID(arg0: LxCamera | None, /) -> tuple[int, str]:
    """
    Get camera hardware ID
    """
def LxGetHeaderVersion(arg0: LxCamera | None, /) -> int:
    """
    Get header version
    """
def LxGetIMUAccData(arg0: LxCamera | None, arg1: LX_IMU_SELF_TEST_MODE, /) -> tuple[int, numpy.typing.NDArray[numpy.float32]]:
    """
    Get IMU Accelerometer data
    """
def LxGetIMUGyrData(arg0: LxCamera | None, arg1: LX_IMU_SELF_TEST_MODE, /) -> tuple[int, numpy.typing.NDArray[numpy.float32]]:
    """
    Get IMU Gyroscope data
    """
def LxGetIMUSensorTime(arg0: LxCamera | None, /) -> tuple[int, float]:
    """
    Get IMU Sensor timestamp
    """
def LxGetIMUTemperature(arg0: LxCamera | None, /) -> tuple[int, float]:
    """
    Get IMU Temperature data
    """
def LxGetISPImageProcessing(arg0: LxCamera | None, arg1: LX_ISP_IMAGE_PROPERTIES, /) -> tuple[int, int, int]:
    """
    Get ISP image processing
    """
def LxGetISPImageProcessingRange(arg0: LxCamera | None, arg1: LX_ISP_IMAGE_PROPERTIES, /) -> tuple[int, int, int, int, int]:
    """
    Get ISP image processing range
    """
def LxGetISPUData(arg0: LxCamera | None, /) -> tuple[int, LxImuIspu]:
    """
    Get IMU ISPU data
    """
def LxGetImage(arg0: LxCamera | None, arg1: typing.SupportsInt | typing.SupportsIndex, arg2: LxFormat, /) -> tuple[LX_CAPTURE_RESULT, numpy.typing.NDArray[numpy.uint8]]:
    """
    Get camera image
    """
def LxGetIntrinsics(arg0: LxCamera | None, /) -> tuple[int, LxIntrinsics]:
    """
    Get intrinsics calibration data from camera
    """
def LxGetKAVRFirmwareVersion(arg0: LxCamera | None, /) -> tuple[int, str]:
    """
    Get KAVR firmware version
    """
def LxGetMaxFPS(arg0: LxCamera | None, /) -> tuple[int, int]:
    """
    Get maximum FPS
    """
def LxGetOSPProfileConfig(arg0: LxCamera | None, /) -> tuple[int, str]:
    """
    Get OSP profile config
    """
def LxGetOSPProfileFlag(arg0: LxCamera | None, /) -> tuple[int, LX_OSP_PROFILE_FLAG]:
    """
    Get OSP profile flag
    """
def LxGetSensorFirmwareVersion(arg0: LxCamera | None, /) -> tuple[int, str]:
    """
    Get Sensor firmware version
    """
def LxGetSensorUniqueID(arg0: LxCamera | None, /) -> tuple[int, str]:
    """
    Get sensor unique ID
    """
def LxGetSensorWorkMode(arg0: LxCamera | None, /) -> tuple[int, LX_SENSOR_MODE]:
    """
    Get sensor work mode
    """
def LxGetThroughPut(arg0: LxCamera | None, /) -> tuple[int, int]:
    """
    Get throughput
    """
def LxGetTimestamp(arg0: LxCamera | None, /) -> tuple[int, float]:
    """
    Get Timestamp
    """
def LxGetUSBDeviceSpeed(arg0: LxCamera | None, /) -> tuple[int, LX_USB_DEVICE_SPEED]:
    """
    Get USB device speed
    """
def LxGetUSBFirmwareVersion(arg0: LxCamera | None, /) -> tuple[int, str]:
    """
    Get USB firmware version
    """
def LxGetUVCImageProcessing(arg0: LxCamera | None, arg1: LX_UVC_IMAGE_PROPERTIES, /) -> tuple[int, int, int]:
    """
    Get UVC image processing
    """
def LxGetUVCImageProcessingRange(arg0: LxCamera | None, arg1: LX_UVC_IMAGE_PROPERTIES, /) -> tuple[int, int, int, int, int]:
    """
    Get UVC image processing range
    """
def LxGotoUSBProgramMode(arg0: LxCamera | None, /) -> int:
    """
    Go to USB program mode
    """
def LxInitialCameraDevice(arg0: typing.SupportsInt | typing.SupportsIndex, /) -> LxCamera | None:
    """
    Initialize camera device by index
    """
def LxIsLentraCamera(arg0: LxCamera | None, /) -> int:
    """
    Check if camera is Lentra camera
    """
def LxLoadProfileConfig(arg0: LxCamera | None, arg1: str | bytes, /) -> int:
    """
    Load profile config
    """
def LxLoadRouteYaml(arg0: str | bytes, /) -> LxRoute | None:
    """
    Load the routes from yaml file
    """
def LxOpen(arg0: LxCamera | None, /) -> int:
    """
    Open camera device
    """
def LxRebootIMUMode(arg0: LxCamera | None, arg1: LX_IMU_MODE, /) -> int:
    """
    Reboot IMU mode
    """
def LxResetActiveRoutes() -> int:
    """
    Reset active routes from media entities
    """
def LxResetFrameCount(arg0: LxCamera | None, /) -> int:
    """
    Reset Frame Count
    """
def LxResetTimestamp(arg0: LxCamera | None, /) -> int:
    """
    Reset Timestamp
    """
def LxResetUVC(arg0: LxCamera | None, /) -> int:
    """
    UVC reset
    """
def LxSetFormat(arg0: LxCamera | None, arg1: LxFormat, /) -> int:
    """
    Set camera format
    """
def LxSetISPImageProcessing(arg0: LxCamera | None, arg1: LX_ISP_IMAGE_PROPERTIES, arg2: typing.SupportsInt | typing.SupportsIndex, /) -> int:
    """
    Set ISP image processing
    """
def LxSetISPImageProcessingDefault(arg0: LxCamera | None, /) -> int:
    """
    Set ISP image processing to default
    """
def LxSetLogFile(arg0: str | bytes, /) -> int:
    """
    Set log file path
    """
def LxSetLogLevel(arg0: LX_LOG_LEVEL, /) -> None:
    """
    Set log level
    """
def LxSetMaxFPS(arg0: LxCamera | None, arg1: typing.SupportsInt | typing.SupportsIndex, /) -> int:
    """
    Set maximum FPS
    """
def LxSetOSPProfileFlag(arg0: LxCamera | None, arg1: LX_OSP_PROFILE_FLAG, /) -> int:
    """
    Set OSP profile flag
    """
def LxSetThroughPut(arg0: LxCamera | None, arg1: typing.SupportsInt | typing.SupportsIndex, /) -> int:
    """
    Set throughput
    """
def LxSetUVCImageProcessing(arg0: LxCamera | None, arg1: LX_UVC_IMAGE_PROPERTIES, arg2: typing.SupportsInt | typing.SupportsIndex, arg3: typing.SupportsInt | typing.SupportsIndex, /) -> int:
    """
    Set UVC image processing
    """
def LxStartStreaming(arg0: LxCamera | None, /) -> int:
    """
    Start camera streaming
    """
def LxStopStreaming(arg0: LxCamera | None, /) -> int:
    """
    Stop camera streaming
    """
def LxUpgradeFX3FW(arg0: LX_FX3_FW_TARGET, arg1: str | bytes, arg2: collections.abc.Callable[[int], None] | None, /) -> int:
    """
    Upgrade FX3 firmware
    """
def LxUpgradeSensorFW(arg0: LxCamera | None, arg1: str | bytes, arg2: collections.abc.Callable[[int], None] | None, /) -> LX_UPGRADE_RESULT:
    """
    Upgrade sensor firmware
    """
def LxWriteIntrinsics(arg0: LxCamera | None, arg1: LxIntrinsics, /) -> int:
    """
    Write intrinsics calibration data to camera
    """
DISABLE: LX_IMU_MODE
DISABLED: LX_OSP_PROFILE_FLAG
ENABLE: LX_FLASH_MODE
ENABLED: LX_OSP_PROFILE_FLAG
ENABLED_AND_SAVE: LX_OSP_PROFILE_FLAG
FW_TARGET_I2C: LX_FX3_FW_TARGET
FW_TARGET_NONE: LX_FX3_FW_TARGET
FW_TARGET_RAM: LX_FX3_FW_TARGET
FW_TARGET_SPI: LX_FX3_FW_TARGET
INTERFACE_ETHERNET: LX_CAMERA_INTERFACE_TYPE
INTERFACE_MIPI_CSI2: LX_CAMERA_INTERFACE_TYPE
INTERFACE_USB: LX_CAMERA_INTERFACE_TYPE
ISPU: LX_IMU_MODE
ISP_EHDR_ATM_MAX: LX_ISP_IMAGE_PROPERTIES
ISP_EHDR_ATM_WEIGHT: LX_ISP_IMAGE_PROPERTIES
ISP_EHDR_EXPOSURE_MAX_NUMBER: LX_ISP_IMAGE_PROPERTIES
ISP_EHDR_EXPOSURE_MIN_NUMBER: LX_ISP_IMAGE_PROPERTIES
ISP_EHDR_RATIO_MAX: LX_ISP_IMAGE_PROPERTIES
ISP_EHDR_RATIO_MIN: LX_ISP_IMAGE_PROPERTIES
ISP_IMAGE_BACKLIGHT_COMPENSATION: LX_ISP_IMAGE_PROPERTIES
ISP_IMAGE_BRIGHTNESS: LX_ISP_IMAGE_PROPERTIES
ISP_IMAGE_CONTRAST: LX_ISP_IMAGE_PROPERTIES
ISP_IMAGE_DENOISE: LX_ISP_IMAGE_PROPERTIES
ISP_IMAGE_EHDR_MODE: LX_ISP_IMAGE_PROPERTIES
ISP_IMAGE_EXPOSURE_GAIN: LX_ISP_IMAGE_PROPERTIES
ISP_IMAGE_EXPOSURE_MAX_TIME: LX_ISP_IMAGE_PROPERTIES
ISP_IMAGE_EXPOSURE_MIN_TIME: LX_ISP_IMAGE_PROPERTIES
ISP_IMAGE_EXPOSURE_MODE: LX_ISP_IMAGE_PROPERTIES
ISP_IMAGE_EXPOSURE_TIME: LX_ISP_IMAGE_PROPERTIES
ISP_IMAGE_FLASH_MODE: LX_ISP_IMAGE_PROPERTIES
ISP_IMAGE_FLICK_MODE: LX_ISP_IMAGE_PROPERTIES
ISP_IMAGE_FLIP_MODE: LX_ISP_IMAGE_PROPERTIES
ISP_IMAGE_GAMMA: LX_ISP_IMAGE_PROPERTIES
ISP_IMAGE_IMU_MODE: LX_ISP_IMAGE_PROPERTIES
ISP_IMAGE_JPEG_QUALITY: LX_ISP_IMAGE_PROPERTIES
ISP_IMAGE_PAN: LX_ISP_IMAGE_PROPERTIES
ISP_IMAGE_PROP_MAX: LX_ISP_IMAGE_PROPERTIES
ISP_IMAGE_SATURATION: LX_ISP_IMAGE_PROPERTIES
ISP_IMAGE_SHARPNESS: LX_ISP_IMAGE_PROPERTIES
ISP_IMAGE_SPECIAL_EFFECT_MODE: LX_ISP_IMAGE_PROPERTIES
ISP_IMAGE_TILT: LX_ISP_IMAGE_PROPERTIES
ISP_IMAGE_TRIGGER_MODE: LX_ISP_IMAGE_PROPERTIES
ISP_IMAGE_WHITEBALANCE_MODE: LX_ISP_IMAGE_PROPERTIES
ISP_IMAGE_WHITEBALANCE_TEMPERATURE: LX_ISP_IMAGE_PROPERTIES
ISP_IMAGE_ZOOM: LX_ISP_IMAGE_PROPERTIES
LXCAM_PRODUCT_TYPE_GENERIC_CAMERA: LX_CAMERA_PRODUCT_TYPE
LXCAM_PRODUCT_TYPE_KAVL: LX_CAMERA_PRODUCT_TYPE
LXCAM_PRODUCT_TYPE_KAVN: LX_CAMERA_PRODUCT_TYPE
LXCAM_PRODUCT_TYPE_KAVR: LX_CAMERA_PRODUCT_TYPE
LXCAM_PRODUCT_TYPE_NONE_CAMERA: LX_CAMERA_PRODUCT_TYPE
LXCAM_PRODUCT_TYPE_OV5640: LX_CAMERA_PRODUCT_TYPE
LXCAM_PRODUCT_TYPE_RECOVERY: LX_CAMERA_PRODUCT_TYPE
LX_BUFFER_CORRUPTED: LX_CAPTURE_RESULT
LX_CAM_OCCUPIED: LX_CAPTURE_RESULT
LX_DIST_MODEL_RADTAN: LX_DISTORTION_MODEL
LX_DIST_NONE: LX_DISTORTION_MODEL
LX_IMAGE_FORMAT_BGR: LX_IMAGE_FORMAT
LX_IMAGE_FORMAT_BGRA: LX_IMAGE_FORMAT
LX_IMAGE_FORMAT_BGRX: LX_IMAGE_FORMAT
LX_IMAGE_FORMAT_MJPG: LX_IMAGE_FORMAT
LX_IMAGE_FORMAT_NONE: LX_IMAGE_FORMAT
LX_IMAGE_FORMAT_NV12: LX_IMAGE_FORMAT
LX_IMAGE_FORMAT_RGB: LX_IMAGE_FORMAT
LX_IMAGE_FORMAT_RGB16: LX_IMAGE_FORMAT
LX_IMAGE_FORMAT_UYVY: LX_IMAGE_FORMAT
LX_IMAGE_FORMAT_YUY2: LX_IMAGE_FORMAT
LX_LOG_LEVEL_CRITICAL: LX_LOG_LEVEL
LX_LOG_LEVEL_DEBUG: LX_LOG_LEVEL
LX_LOG_LEVEL_ERROR: LX_LOG_LEVEL
LX_LOG_LEVEL_INFO: LX_LOG_LEVEL
LX_LOG_LEVEL_OFF: LX_LOG_LEVEL
LX_LOG_LEVEL_TRACE: LX_LOG_LEVEL
LX_LOG_LEVEL_WARN: LX_LOG_LEVEL
LX_OTHER_ERROR: LX_CAPTURE_RESULT
LX_SUCCESS: LX_CAPTURE_RESULT
LX_TIMEOUT: LX_CAPTURE_RESULT
LX_UPGRADE_BSL_SWITCH_FAIL: LX_UPGRADE_RESULT
LX_UPGRADE_ERASE_FAIL: LX_UPGRADE_RESULT
LX_UPGRADE_INIT_FAIL: LX_UPGRADE_RESULT
LX_UPGRADE_INVALID_FIRMWARE: LX_UPGRADE_RESULT
LX_UPGRADE_MCU_MISMATCH: LX_UPGRADE_RESULT
LX_UPGRADE_MCU_READ_FAIL: LX_UPGRADE_RESULT
LX_UPGRADE_OTHER_ERROR: LX_UPGRADE_RESULT
LX_UPGRADE_PROGRAM_FAIL: LX_UPGRADE_RESULT
LX_UPGRADE_RESET_FAIL: LX_UPGRADE_RESULT
LX_UPGRADE_START_APP_FAIL: LX_UPGRADE_RESULT
LX_UPGRADE_SUCCESS: LX_UPGRADE_RESULT
LX_UPGRADE_VERIFY_FAIL: LX_UPGRADE_RESULT
NEGATIVE: LX_IMU_SELF_TEST_MODE
NORMAL: LX_IMU_SELF_TEST_MODE
NOT_ALLOWED: LX_IMU_SELF_TEST_MODE
POSITIVE: LX_IMU_SELF_TEST_MODE
SELF_TEST: LX_IMU_MODE
STANDBY: LX_SENSOR_MODE
USB_DEVICE_SPEED_FULL: LX_USB_DEVICE_SPEED
USB_DEVICE_SPEED_HIGH: LX_USB_DEVICE_SPEED
USB_DEVICE_SPEED_LOW: LX_USB_DEVICE_SPEED
USB_DEVICE_SPEED_SUPER: LX_USB_DEVICE_SPEED
USB_DEVICE_SPEED_SUPER_PLUS: LX_USB_DEVICE_SPEED
USB_DEVICE_SPEED_UNKNOWN: LX_USB_DEVICE_SPEED
UVC_IMAGE_BACKLIGHT_COMPENSATION: LX_UVC_IMAGE_PROPERTIES
UVC_IMAGE_BRIGHTNESS: LX_UVC_IMAGE_PROPERTIES
UVC_IMAGE_COLORENABLE: LX_UVC_IMAGE_PROPERTIES
UVC_IMAGE_CONTRAST: LX_UVC_IMAGE_PROPERTIES
UVC_IMAGE_EXPOSURE: LX_UVC_IMAGE_PROPERTIES
UVC_IMAGE_FOCUS: LX_UVC_IMAGE_PROPERTIES
UVC_IMAGE_GAIN: LX_UVC_IMAGE_PROPERTIES
UVC_IMAGE_GAMMA: LX_UVC_IMAGE_PROPERTIES
UVC_IMAGE_HUE: LX_UVC_IMAGE_PROPERTIES
UVC_IMAGE_IRIS: LX_UVC_IMAGE_PROPERTIES
UVC_IMAGE_PAN: LX_UVC_IMAGE_PROPERTIES
UVC_IMAGE_PROP_MAX: LX_UVC_IMAGE_PROPERTIES
UVC_IMAGE_ROLL: LX_UVC_IMAGE_PROPERTIES
UVC_IMAGE_SATURATION: LX_UVC_IMAGE_PROPERTIES
UVC_IMAGE_SHARPNESS: LX_UVC_IMAGE_PROPERTIES
UVC_IMAGE_TILT: LX_UVC_IMAGE_PROPERTIES
UVC_IMAGE_WHITEBALANCE: LX_UVC_IMAGE_PROPERTIES
UVC_IMAGE_ZOOM: LX_UVC_IMAGE_PROPERTIES
WORK: LX_SENSOR_MODE
