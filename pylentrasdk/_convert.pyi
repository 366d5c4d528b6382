"""
Frames as pictures and JPEG files, converted in C++ without the interpreter lock
"""
# The compiled core of pylentrasdk.frames; the format is the LX_IMAGE_FORMAT value.
from __future__ import annotations
import typing

import numpy
import numpy.typing

_Buffer = typing.Union[numpy.typing.NDArray[typing.Any], bytes, bytearray, memoryview]
_Out = typing.Optional[numpy.typing.NDArray[numpy.uint8]]
_Int = typing.SupportsIndex

def frame_bytes(format: _Int, width: _Int, height: _Int) -> int | None:
    """
    The bytes of one raw frame of this format and size; None for MJPG
    """
def to_bgr(frame: _Buffer, format: _Int, width: _Int, height: _Int, out: _Out = None, threads: _Int | None = None) -> numpy.typing.NDArray[numpy.uint8]:
    """
    The frame as a (height, width, 3) uint8 array of B, G, R, written into `out` when given
    """
def to_gray(frame: _Buffer, format: _Int, width: _Int, height: _Int, out: _Out = None, threads: _Int | None = None) -> numpy.typing.NDArray[numpy.uint8]:
    """
    The frame's BT.601 luma as a (height, width) uint8 array, written into `out` when given
    """
def to_jpeg(frame: _Buffer, format: _Int, width: _Int, height: _Int, quality: _Int = 80) -> bytes:
    """
    The frame as the bytes of a JPEG file of this quality (1 to 100)
    """
def to_rgb(frame: _Buffer, format: _Int, width: _Int, height: _Int, out: _Out = None, threads: _Int | None = None) -> numpy.typing.NDArray[numpy.uint8]:
    """
    The frame as a (height, width, 3) uint8 array of R, G, B, written into `out` when given
    """
def _simd_target() -> str:
    """
    The instruction set the pixel kernels run with now
    """
def _simd_targets() -> list[str]:
    """
    The instruction sets the pixel kernels were compiled for that this processor runs, best first
    """
def _use_simd_target(name: str) -> None:
    """
    Runs the pixel kernels with this instruction set only; "" for the best again
    """
