"""What a simulated camera sends: the frame number stamped in a frame, and the exact bytes of a
frame, with the adjustments the camera's current controls make (sdk/docs/test-pattern.md and
sdk/docs/rig-description.md say how controls become adjustments)."""

from __future__ import annotations

import operator
from typing import Any, SupportsIndex, Tuple, Union, overload

import numpy
import numpy.typing

from .. import frames as _frames
from .. import pyLentraSDK as _binding
from .. import sim
from ..camera import Camera
from ..formats import Format
from ..frames import FrameLike
from ..pyLentraSDK import (LX_IMAGE_FORMAT, LX_ISP_IMAGE_PROPERTIES, LX_UVC_IMAGE_PROPERTIES,
                           LxCamera, LxFormat)
from ..status import status_name, status_value
from ..stream import Frame
from . import _pattern

_F = _binding.LX_IMAGE_FORMAT
_ISP = _binding.LX_ISP_IMAGE_PROPERTIES
_UVC = _binding.LX_UVC_IMAGE_PROPERTIES
_NOT_SUPPORTED = status_value("LX_STATUS_NOT_SUPPORTED")


# The format a frame was captured in: the SDK's LxFormat record, or a Format.
FrameFormat = Union[LxFormat, Format]
# A camera whose controls adjust the expected frame: an opened LxCamera, or a Camera.
CameraLike = Union[LxCamera, Camera]
# A frame of the stream as its array holds it: uint8, or uint16 for RGB16.
FrameArray = numpy.typing.NDArray[Union[numpy.uint8, numpy.uint16]]


def _format_of(fmt: FrameFormat) -> Tuple[LX_IMAGE_FORMAT, int, int]:
    """(pixel format, width, height) of an LxFormat or a Format."""
    if isinstance(fmt, _binding.LxFormat):
        return fmt.format, fmt.width, fmt.height
    if isinstance(fmt, Format):
        return fmt.pixel_format, fmt.width, fmt.height
    raise TypeError("fmt must be the LxFormat or Format the frame was captured in, not "
                    "{}".format(type(fmt).__name__))


def frame_number(frame: FrameLike, fmt: FrameFormat | None = None) -> int:
    """The frame number stamped into a frame that a simulated camera sent.

    `frame` is a Frame of a stream (``cam.read()``, a FrameStream's), which knows its format,
    or what LxGetImage returned (a uint8 array), an array of a frame, or bytes, captured in
    `fmt` (an LxFormat or a Format). Raises ValueError when no number can be read: the bytes
    are not a frame of that format and size, or the frame is too small to carry a stamp (under
    40 x 40 pixels)."""
    if fmt is None:
        if not isinstance(frame, Frame):
            raise TypeError("fmt, the LxFormat or Format the frame was captured in, is needed "
                            "for a frame given as {}".format(type(frame).__name__))
        fmt = frame.format
    member, width, height = _format_of(fmt)
    data: Any = getattr(frame, "array", frame)
    number = sim.read_frame_number(data, member, width, height)
    if number is None:
        raise ValueError("no frame number can be read from this frame as {}x{} {}".format(
            width, height, member.name))
    return number


def _trunc_div(a: int, b: int) -> int:
    """a / b rounded toward zero, as the library's integer division does."""
    quotient = abs(a) // abs(b)
    return quotient if (a >= 0) == (b > 0) else -quotient


def _clamp(value: int, low: int, high: int) -> int:
    return min(max(value, low), high)


def _percent_of_default(value: int, default: int) -> int:
    percent = _trunc_div(100 * value, default) if default > 0 else 100 + value - default
    return _clamp(percent, -100000, 100000)


def _answer(function: str, cam: LxCamera, *arguments: object) -> list[int] | None:
    """The values a getter hands back, None when the camera lacks the control; any other
    failure raises, since the frame cannot be known without it. The binding turns every failure
    of the ISP getters into -1, so for them -1 means a lacking control: the UVC getter or the
    exposure asked next on the same camera says whether it is open."""
    values: list[int]
    status, *values = getattr(_binding, function)(cam, *arguments)
    if status == (-1 if "ISP" in function else _NOT_SUPPORTED):
        return None
    if status != 0:
        raise RuntimeError("expected_frame: {} answered {} ({}); the camera must be open".format(
            function, status_name(status), status))
    return values


def _isp(cam: LxCamera, prop: LX_ISP_IMAGE_PROPERTIES) -> int | None:
    answer = _answer("LxGetISPImageProcessing", cam, prop)
    return None if answer is None else answer[0]


def _quantity(cam: LxCamera, isp: LX_ISP_IMAGE_PROPERTIES,
              uvc: LX_UVC_IMAGE_PROPERTIES) -> tuple[int, int] | None:
    """(value, default) of an ISP control, or of the UVC control of that kind on a camera
    without the ISP one (a plain webcam); None when the camera has neither."""
    for getter, prop in (("ISP", isp), ("UVC", uvc)):
        answer = _answer("LxGet{}ImageProcessing".format(getter), cam, prop)
        if answer is not None:
            function = "LxGet{}ImageProcessingRange".format(getter)
            limits = _answer(function, cam, prop)
            if limits is None:
                # The control is there but its range, and so the default the frame is drawn
                # against, cannot be read.
                raise RuntimeError("expected_frame: {} gave no range for {}, which the camera "
                                   "reads".format(function, prop.name))
            return answer[0], limits[3]
    return None


def camera_adjustments(cam: LxCamera) -> dict[str, int]:
    """What the camera's controls, as they are now, do to its frames (the keys of
    _pattern.NEUTRAL). The level follows the sensor's current exposure and gain, which auto
    exposure moves with every frame: it is the level of the frame delivered last."""
    adjustments: dict[str, int] = {}
    level = 100
    exposure = _quantity(cam, _ISP.ISP_IMAGE_EXPOSURE_TIME, _UVC.UVC_IMAGE_EXPOSURE)
    current = _answer("LxGetCurrentExposure", cam)
    if exposure is not None and current is not None:
        # The binding carries the unsigned exposure in a signed int; the library takes it up
        # to 2^31 - 1.
        exposure_now = min(current[0] & 0xFFFFFFFF, 2**31 - 1)
        level = _trunc_div(level * _percent_of_default(exposure_now, exposure[1]), 100)
    gain = _quantity(cam, _ISP.ISP_IMAGE_EXPOSURE_GAIN, _UVC.UVC_IMAGE_GAIN)
    current = _answer("LxGetCurrentGain", cam)
    if gain is not None and current is not None:
        level = _trunc_div(level * _percent_of_default(current[0], gain[1]), 100)
    adjustments["level"] = _clamp(level, 0, 1000)

    # A white-balance cast only in manual white balance (mode 0, or no mode control).
    temperature = _quantity(cam, _ISP.ISP_IMAGE_WHITEBALANCE_TEMPERATURE,
                            _UVC.UVC_IMAGE_WHITEBALANCE)
    if temperature is not None and (_isp(cam, _ISP.ISP_IMAGE_WHITEBALANCE_MODE) or 0) == 0:
        value, default = temperature
        adjustments["warmth"] = _clamp(_trunc_div(value - default, 20), -128, 127)

    for key, isp, uvc, low, high in (
        ("contrast", _ISP.ISP_IMAGE_CONTRAST, _UVC.UVC_IMAGE_CONTRAST, 0, 400),
        ("saturation", _ISP.ISP_IMAGE_SATURATION, _UVC.UVC_IMAGE_SATURATION, 0, 400),
        ("gamma", _ISP.ISP_IMAGE_GAMMA, _UVC.UVC_IMAGE_GAMMA, 10, 1000),
        ("zoom", _ISP.ISP_IMAGE_ZOOM, _UVC.UVC_IMAGE_ZOOM, 100, 800),
    ):
        quantity = _quantity(cam, isp, uvc)
        if quantity is not None:
            adjustments[key] = _clamp(_percent_of_default(*quantity), low, high)
    for key, isp, uvc, limit in (
        ("brightness", _ISP.ISP_IMAGE_BRIGHTNESS, _UVC.UVC_IMAGE_BRIGHTNESS, 255),
        ("pan", _ISP.ISP_IMAGE_PAN, _UVC.UVC_IMAGE_PAN, 100),
        ("tilt", _ISP.ISP_IMAGE_TILT, _UVC.UVC_IMAGE_TILT, 100),
    ):
        quantity = _quantity(cam, isp, uvc)
        if quantity is not None:
            adjustments[key] = _clamp(quantity[0] - quantity[1], -limit, limit)

    flip = _isp(cam, _ISP.ISP_IMAGE_FLIP_MODE)
    if flip is not None:
        adjustments["flip_horizontal"] = bool(flip & 1)
        adjustments["flip_vertical"] = bool(flip & 2)
    effect = _isp(cam, _ISP.ISP_IMAGE_SPECIAL_EFFECT_MODE)
    if effect is not None:
        adjustments["special_effect"] = effect if 0 <= effect <= 4 else 0
    return adjustments


@overload
def expected_frame(fmt: Frame, number: None = None,
                   camera: CameraLike | None = None) -> FrameArray: ...
@overload
def expected_frame(fmt: FrameFormat, number: SupportsIndex,
                   camera: CameraLike | None = None) -> numpy.typing.NDArray[numpy.uint8]: ...
def expected_frame(fmt: FrameFormat | Frame, number: SupportsIndex | None = None,
                   camera: CameraLike | None = None) -> FrameArray:
    """The exact bytes a simulated camera sends as frame `number` in the format `fmt` (an
    LxFormat or a Format), as a flat uint8 array like LxGetImage's; or, given a Frame of a
    stream instead, the frame that one should be (its format and number), shaped and typed as
    its array.

    With `camera` (an opened LxCamera, or a Camera) the frame is adjusted as that camera's
    controls are set now (brightness, contrast, flips, zoom, ...); without, it is the frame of
    a camera at its defaults. Reading the controls calls the SDK's getters, which count as
    calls (sim.call_count) and meet faults injected into them. MJPG frames are not byte-exact
    (they depend on the JPEG encoder): for them, and for a format that carries no frames,
    ValueError."""
    frame: Frame | None = None
    if isinstance(fmt, Frame):
        if number is not None:
            raise TypeError("a Frame brings its own number: give number only with a format")
        frame, fmt = fmt, fmt.format
        number = frame.number & 0xFFFFFFFF  # the stamp keeps the number's low 32 bits
    elif number is None:
        raise TypeError("expected_frame needs the frame's number with a format")
    member, width, height = _format_of(fmt)
    if member == _F.LX_IMAGE_FORMAT_MJPG:
        raise ValueError("MJPG frames are not byte-exact; compare frames.to_rgb(frame, fmt) "
                         "with a tolerance instead")
    _frames.frame_size(member, width, height)  # refuses formats without frames, and bad sizes
    if isinstance(number, bool):
        raise TypeError("number must be an int, not bool")
    number = operator.index(number)  # an int or a NumPy integer
    if not 0 <= number < 2**32:
        raise ValueError("frame numbers are 32-bit: 0 to {}, not {}".format(2**32 - 1, number))
    handle = camera.handle if isinstance(camera, Camera) else camera
    adjustments = camera_adjustments(handle) if handle is not None else None
    name = member.name[len("LX_IMAGE_FORMAT_"):]
    expected = _pattern.expected_frame(name, width, height, number, adjustments)
    if frame is None:
        return expected
    array = frame.array
    shaped: FrameArray = expected.view(array.dtype).reshape(array.shape)
    return shaped
