"""
The status codes of LentraSDK.h and the facts of each pixel format
"""
# Written from the built module; tests/test_stubs.py checks it against the module.
from __future__ import annotations

from .pyLentraSDK import _Pybind11Type

class StatusCode(metaclass=_Pybind11Type):
    """
    One status code of LentraSDK.h
    """
    def __repr__(self) -> str: ...
    @property
    def meaning(self) -> str:
        """
        What the code says, in one line
        """
    @property
    def name(self) -> str:
        """
        The constant's name: "LX_STATUS_NOT_OPEN"
        """
    @property
    def value(self) -> int:
        """
        The code, 0 for success and negative for a failure
        """

class Plane(metaclass=_Pybind11Type):
    """
    One plane of a raw pixel format: rows of groups of pixels
    """
    def __repr__(self) -> str: ...
    @property
    def bytes_per_group(self) -> int:
        """
        Bytes of one group
        """
    @property
    def pixels_per_group(self) -> int:
        """
        Pixels that share one group of bytes (2 for a 4:2:2 pair)
        """
    @property
    def row_divisor(self) -> int:
        """
        Frame rows per plane row: 1, or 2 for a chroma plane of every second row
        """

class PixelFormatFacts(metaclass=_Pybind11Type):
    """
    The facts of one pixel format
    """
    def __repr__(self) -> str: ...
    @property
    def bytes_per_channel(self) -> int:
        """
        Bytes of one array element: 1, or 2 for RGB16's 16-bit words
        """
    @property
    def bytes_per_pixel(self) -> tuple[int, int] | None:
        """
        (numerator, denominator): the bytes a pixel takes over all planes; None for a compressed format
        """
    @property
    def channels(self) -> int:
        """
        Channels of a stream frame's array (1: height x width)
        """
    @property
    def compressed(self) -> bool:
        """
        Whether frames are compressed files of varying size (MJPG)
        """
    @property
    def format(self) -> int:
        """
        The LX_IMAGE_FORMAT value
        """
    @property
    def height_multiple(self) -> int:
        """
        A frame's height is a multiple of this
        """
    @property
    def name(self) -> str:
        """
        "YUY2": the member's name without the enumeration's prefix
        """
    @property
    def planes(self) -> list[Plane]:
        """
        The planes, one after the other (none for a compressed format)
        """
    @property
    def width_multiple(self) -> int:
        """
        A frame's width is a multiple of this
        """

status_codes: tuple[StatusCode, ...]
pixel_formats: tuple[PixelFormatFacts, ...]
