# Types of pylentrasdk.frames (plain Python; see the module and docs/frames.md).
from __future__ import annotations

import os
import typing

import numpy
import numpy.typing

from .pyLentraSDK import LX_IMAGE_FORMAT, LxFormat

__all__ = ["frame_size", "to_rgb", "to_bgr", "to_png"]

# A frame as LxGetImage hands it back (a flat uint8 array), or its bytes.
_Frame = typing.Union[numpy.typing.NDArray[numpy.uint8], bytes, bytearray, memoryview]
_Format = typing.Union[LxFormat, LX_IMAGE_FORMAT]
_Path = typing.Union[str, bytes, "os.PathLike[str]", "os.PathLike[bytes]"]

def frame_size(
    fmt: _Format, width: typing.SupportsInt | None = None, height: typing.SupportsInt | None = None
) -> int | None: ...
def to_rgb(
    frame: _Frame,
    fmt: _Format,
    width: typing.SupportsInt | None = None,
    height: typing.SupportsInt | None = None,
) -> numpy.typing.NDArray[numpy.uint8]: ...
def to_bgr(
    frame: _Frame,
    fmt: _Format,
    width: typing.SupportsInt | None = None,
    height: typing.SupportsInt | None = None,
) -> numpy.typing.NDArray[numpy.uint8]: ...
def to_png(
    frame: _Frame,
    fmt: _Format,
    path: _Path,
    width: typing.SupportsInt | None = None,
    height: typing.SupportsInt | None = None,
) -> None: ...
