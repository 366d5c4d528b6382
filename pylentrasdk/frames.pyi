# Types of pylentrasdk.frames (see the module and docs/frames.md).
from __future__ import annotations

import fractions
import os
import typing

import numpy
import numpy.typing

from .pyLentraSDK import LX_IMAGE_FORMAT, LxFormat
from .stream import Frame

__all__ = ["PixelFormat", "PIXEL_FORMATS", "format_name", "frame_size", "to_rgb", "to_bgr",
           "to_gray", "to_jpeg", "to_png"]

# A frame as LxGetImage hands it back (a flat uint8 array), as a FrameStream frame's array holds
# it (uint16 for RGB16), its bytes, or the stream Frame itself.
_Frame = typing.Union[
    numpy.typing.NDArray[numpy.uint8],
    numpy.typing.NDArray[numpy.uint16],
    numpy.typing.NDArray[typing.Union[numpy.uint8, numpy.uint16]],
    bytes,
    bytearray,
    memoryview,
    Frame,
]
_Format = typing.Union[LxFormat, LX_IMAGE_FORMAT]
_Path = typing.Union[str, bytes, "os.PathLike[str]", "os.PathLike[bytes]"]
_Size = typing.Optional[typing.SupportsIndex]
_Threads = typing.Optional[typing.SupportsIndex]

class PixelFormat(typing.NamedTuple):
    name: str
    bytes_per_pixel: fractions.Fraction | None
    width_multiple: int
    height_multiple: int

PIXEL_FORMATS: dict[LX_IMAGE_FORMAT, PixelFormat]

def format_name(member: LX_IMAGE_FORMAT) -> str | None: ...
def frame_size(fmt: _Format, width: _Size = None, height: _Size = None) -> int | None: ...
def to_rgb(
    frame: _Frame,
    fmt: _Format | None = None,
    width: _Size = None,
    height: _Size = None,
    *,
    out: numpy.typing.NDArray[numpy.uint8] | None = None,
    threads: _Threads = None,
) -> numpy.typing.NDArray[numpy.uint8]: ...
def to_bgr(
    frame: _Frame,
    fmt: _Format | None = None,
    width: _Size = None,
    height: _Size = None,
    *,
    out: numpy.typing.NDArray[numpy.uint8] | None = None,
    threads: _Threads = None,
) -> numpy.typing.NDArray[numpy.uint8]: ...
def to_gray(
    frame: _Frame,
    fmt: _Format | None = None,
    width: _Size = None,
    height: _Size = None,
    *,
    out: numpy.typing.NDArray[numpy.uint8] | None = None,
    threads: _Threads = None,
) -> numpy.typing.NDArray[numpy.uint8]: ...
def to_jpeg(
    frame: _Frame,
    fmt: _Format | None = None,
    quality: typing.SupportsIndex = 80,
    width: _Size = None,
    height: _Size = None,
) -> bytes: ...
def to_png(
    frame: _Frame,
    fmt: _Format | None,
    path: _Path,
    width: _Size = None,
    height: _Size = None,
) -> None: ...
