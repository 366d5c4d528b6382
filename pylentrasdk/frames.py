"""Captured frames as pictures.

``LxGetImage`` hands back a frame as a flat array of the bytes the camera sent, in its pixel
format; a ``FrameStream`` frame holds the same bytes in an array shaped for the format. This module
turns such a frame into an H x W x 3 array of 8-bit RGB or BGR, an H x W array of luma, a PNG
file or the bytes of a JPEG file, and ``save`` writes it to the kind of file its name says (PNG,
JPEG, NumPy's .npy or raw bytes); a stream Frame's ``save`` and notebook picture come here too. The conversions run in C++ (the compiled module
``pylentrasdk._convert``) with the interpreter lock released, and write into the caller's array
when given ``out=``.

The conversions are the inverses of the encodings in sdk/docs/test-pattern.md:

- BGRA, BGRX, BGR, RGB: the channels reordered (alpha and padding dropped), bytes unchanged;
- RGB16 (RGB565, little-endian): each channel shifted up, ``R = R5 << 3``, ``G = G6 << 2``,
  ``B = B5 << 3``;
- YUY2, UYVY, NV12 (BT.601 limited range): with ``C = Y - 16``, ``D = U - 128``, ``E = V - 128``,
  ``R = clip((298 C + 409 E + 128) >> 8)``, ``G = clip((298 C - 100 D - 208 E + 128) >> 8)``,
  ``B = clip((298 C + 516 D + 128) >> 8)``, each pixel taking the chroma of its pair (4:2:2) or
  of its 2 x 2 block (NV12);
- MJPG: the JPEG decoded to RGB (libjpeg-turbo).

Gray is the luma plane of the YUV formats, and ``((66 R + 129 G + 25 B + 128) >> 8) + 16`` (the
same BT.601 limited-range luma) of the others, so a scene has the same gray in every format.

A frame is given with its format: the ``LxFormat`` it was captured with, or an
``LX_IMAGE_FORMAT`` member together with ``width`` and ``height``; a ``FrameStream`` frame
(``pylentrasdk.stream.Frame``) brings its own.
"""

from __future__ import annotations

import collections
import fractions
import io
import operator
import os
from typing import TYPE_CHECKING, Any, BinaryIO, Callable, Optional, SupportsIndex, Tuple, Union

import numpy
import numpy.typing

from . import _convert, _tables
from . import pyLentraSDK as _binding
from ._files import PathLike, write_atomically

if TYPE_CHECKING:
    from .stream import Frame

#: A frame: LxGetImage's flat array, a stream frame's array (uint16 for RGB16), its bytes, or the
#: stream Frame itself, which brings its format.
FrameLike = Union["numpy.typing.NDArray[Any]", bytes, bytearray, memoryview, "Frame"]
#: A frame's format: its LxFormat record, or an LX_IMAGE_FORMAT member given with a size.
FormatOf = Union[_binding.LxFormat, _binding.LX_IMAGE_FORMAT]
Picture = numpy.typing.NDArray[numpy.uint8]
_Size = Optional[SupportsIndex]
_Converter = Callable[[Any, int, int, int, Optional[Picture], Optional[int]], Picture]

__all__ = ["PixelFormat", "PIXEL_FORMATS", "format_name", "frame_size", "to_rgb", "to_bgr",
           "to_gray", "to_jpeg", "to_png", "save"]

_F = _binding.LX_IMAGE_FORMAT

PixelFormat = collections.namedtuple(
    "PixelFormat", "name bytes_per_pixel width_multiple height_multiple")
PixelFormat.__doc__ = """The facts of one pixel format.

name: "YUY2", the member's name without the enumeration's prefix; bytes_per_pixel: a Fraction
(3/2 for NV12), None for MJPG, whose frames vary; width_multiple, height_multiple: a frame's width
and height are multiples of these (chroma is shared by pixel pairs, or NV12's 2 x 2 blocks)."""

# The pixel formats that carry pictures, from the one C++ table of them (LX_IMAGE_FORMAT_NONE
# is not one of them).
PIXEL_FORMATS = {
    _F(facts.format): PixelFormat(
        facts.name,
        None if facts.bytes_per_pixel is None else fractions.Fraction(*facts.bytes_per_pixel),
        facts.width_multiple, facts.height_multiple)
    for facts in _tables.pixel_formats
}


def format_name(member: _binding.LX_IMAGE_FORMAT) -> str | None:
    """"YUY2" for LX_IMAGE_FORMAT_YUY2; None for a value that carries no picture."""
    facts = PIXEL_FORMATS.get(member)
    return str(facts.name) if facts else None


# The largest width or height of a frame (LxFormat holds them in 16 bits).
_MAX_SIDE = 65535


def _integer(value: object, name: str) -> int:
    """`value` as an int: a Python or NumPy integer; TypeError for a bool, float, str or other."""
    if isinstance(value, (bool, numpy.bool_)) or not hasattr(type(value), "__index__"):
        raise TypeError("{} must be an int, not {}".format(name, type(value).__name__))
    return operator.index(value)  # type: ignore[arg-type]


def _threads(threads: SupportsIndex | None) -> int | None:
    """None (one thread per core, for frames large enough) or a count of at least 1."""
    if threads is None:
        return None
    count = _integer(threads, "threads")
    if count < 1:
        raise ValueError("threads must be at least 1, not {}".format(count))
    return count


def _format_of(fmt: object, width: _Size,
               height: _Size) -> Tuple[_binding.LX_IMAGE_FORMAT, int, int]:
    """(LX_IMAGE_FORMAT member, width, height) from an LxFormat or a member and a size."""
    if isinstance(fmt, _binding.LxFormat):
        width = fmt.width if width is None else width
        height = fmt.height if height is None else height
        fmt = fmt.format
    if not isinstance(fmt, _F):
        raise TypeError("fmt must be an LxFormat or an LX_IMAGE_FORMAT member, not {}".format(
            type(fmt).__name__))
    if width is None or height is None:
        raise TypeError("width and height are needed with an LX_IMAGE_FORMAT member")
    columns, rows = _integer(width, "width"), _integer(height, "height")
    if columns <= 0 or rows <= 0:
        raise ValueError("a frame of {} x {} pixels holds no picture".format(columns, rows))
    if columns > _MAX_SIDE or rows > _MAX_SIDE:
        raise ValueError("a frame of {} x {} pixels is larger than {} on a side".format(
            columns, rows, _MAX_SIDE))
    facts = PIXEL_FORMATS.get(fmt)
    if facts is None:
        raise ValueError("{} frames carry no picture".format(fmt.name))
    if columns % facts.width_multiple:
        raise ValueError("{} frames have an even width, not {}".format(facts.name, columns))
    if rows % facts.height_multiple:
        raise ValueError("{} frames have an even height, not {}".format(facts.name, rows))
    return fmt, columns, rows


def frame_size(fmt: FormatOf, width: _Size = None, height: _Size = None) -> int | None:
    """The bytes of one frame of this format and size; None for MJPG, whose frames vary."""
    member, columns, rows = _format_of(fmt, width, height)
    per_pixel = PIXEL_FORMATS[member].bytes_per_pixel
    return None if per_pixel is None else int(columns * rows * per_pixel)


_FRAME_TYPE: list[type] = []


def _stream_frame_type() -> type:
    # The stream module is loaded on first use (most programs never need it), then kept.
    if not _FRAME_TYPE:
        from . import stream

        _FRAME_TYPE.append(stream.Frame)
    return _FRAME_TYPE[0]


def _frame_and_format(frame: FrameLike, fmt: FormatOf | None, width: _Size,
                      height: _Size) -> Tuple[Any, _binding.LX_IMAGE_FORMAT, int, int]:
    """The frame's bytes (an array or bytes-like object) and (member, width, height)."""
    data: Any = frame
    if isinstance(frame, _stream_frame_type()):
        if fmt is None:
            fmt = data.format
        data = data.array
    elif fmt is None:
        raise TypeError("fmt is needed: only a FrameStream frame knows its own format")
    if not isinstance(data, (numpy.ndarray, bytes, bytearray, memoryview)):
        raise TypeError("a frame is a NumPy array of uint8 or bytes, not {}".format(
            type(data).__name__))
    member, columns, rows = _format_of(fmt, width, height)
    return data, member, columns, rows


def _convert_with(function: _Converter, frame: FrameLike, fmt: FormatOf | None, width: _Size,
                  height: _Size, out: Picture | None, threads: SupportsIndex | None) -> Picture:
    count = _threads(threads)
    data, member, columns, rows = _frame_and_format(frame, fmt, width, height)
    return function(data, int(member), columns, rows, out, count)


def to_rgb(frame: FrameLike, fmt: FormatOf | None = None, width: _Size = None,
           height: _Size = None, *, out: Picture | None = None,
           threads: SupportsIndex | None = None) -> Picture:
    """The frame as an (height, width, 3) uint8 array of R, G, B; `out` when given.

    `frame`: LxGetImage's flat array, a FrameStream frame's array (RGB16's uint16 too), bytes,
    or the stream Frame itself (which brings its format). `out`: a C-contiguous, writeable
    uint8 array of shape (height, width, 3), written in place. `threads`: how many threads share
    the rows (1: the calling thread alone); None takes one per core for frames large enough to
    gain from them. The picture is the same whatever the count.
    Raises ValueError naming both sizes when the frame's byte count does not match the format
    (or a JPEG's picture size does not, or it is no whole JPEG), and for an unfit `out` or a
    frame whose bytes are not contiguous; TypeError for a frame or `out` of another dtype, and
    for a width, height or `threads` that is not an int."""
    return _convert_with(_convert.to_rgb, frame, fmt, width, height, out, threads)


def to_bgr(frame: FrameLike, fmt: FormatOf | None = None, width: _Size = None,
           height: _Size = None, *, out: Picture | None = None,
           threads: SupportsIndex | None = None) -> Picture:
    """The frame as an (height, width, 3) uint8 array of B, G, R (the order OpenCV uses)."""
    return _convert_with(_convert.to_bgr, frame, fmt, width, height, out, threads)


def to_gray(frame: FrameLike, fmt: FormatOf | None = None, width: _Size = None,
            height: _Size = None, *, out: Picture | None = None,
            threads: SupportsIndex | None = None) -> Picture:
    """The frame's luma as an (height, width) uint8 array: the Y plane of YUY2, UYVY and NV12,
    the BT.601 luma ((66 R + 129 G + 25 B + 128) >> 8) + 16 of the other formats."""
    return _convert_with(_convert.to_gray, frame, fmt, width, height, out, threads)


def to_jpeg(frame: FrameLike, fmt: FormatOf | None = None, quality: SupportsIndex = 80,
            width: _Size = None, height: _Size = None) -> bytes:
    """The frame as the bytes of a JPEG file of this quality (1 to 100).

    YUV frames are compressed from their own planes (4:2:2 for YUY2 and UYVY, 4:2:0 for NV12),
    the RGB formats from their pixels (4:2:0); an MJPG frame is returned as it is, once its
    header is read and its size checked. Raises as to_rgb does."""
    data, member, columns, rows = _frame_and_format(frame, fmt, width, height)
    return _convert.to_jpeg(data, int(member), columns, rows, _integer(quality, "quality"))


def to_png(frame: FrameLike, fmt: FormatOf | None, path: PathLike, width: _Size = None,
           height: _Size = None) -> None:
    """Writes the frame as an RGB PNG file at `path` (`fmt` may be None for a stream Frame).

    The picture goes to a temporary file beside `path` that is renamed into place, so a failed
    conversion or write leaves no partial file and keeps the file that was there. Raises
    ValueError or TypeError as to_rgb does, OSError when the file cannot be written."""
    rgb = to_rgb(frame, fmt, width, height)
    write_atomically(path, lambda out: _write_png(rgb, out))


def _write_png(rgb: Picture, out: BinaryIO) -> None:
    from PIL import Image

    Image.fromarray(rgb).save(out, format="PNG")


def _repr_png(frame: Frame) -> bytes | None:
    """A stream Frame as a PNG file's bytes, for notebooks (Frame._repr_png_); None when the
    frame holds no picture to convert, so that the notebook shows its text instead."""
    try:
        rgb = to_rgb(frame)
    except (TypeError, ValueError):
        return None
    out = io.BytesIO()
    _write_png(rgb, out)
    return out.getvalue()


def _array_of(frame: FrameLike) -> numpy.typing.NDArray[Any]:
    """The frame's array: a stream Frame's own, an array as it is, bytes as uint8."""
    if isinstance(frame, numpy.ndarray):
        return frame
    if isinstance(frame, (bytes, bytearray, memoryview)):
        return numpy.frombuffer(frame, dtype=numpy.uint8)
    if isinstance(frame, _stream_frame_type()):
        stream_frame: Any = frame  # the compiled Frame, which the check above cannot name
        return numpy.asarray(stream_frame.array)
    raise TypeError("a frame is a NumPy array of uint8 or bytes, not {}".format(
        type(frame).__name__))


def save(frame: FrameLike, path: PathLike, fmt: FormatOf | None = None, width: _Size = None,
         height: _Size = None, *, quality: SupportsIndex = 90) -> None:
    """Writes the frame to `path`, as the file's extension (in any case) says:

    - ``.png``: an RGB PNG picture (as to_png);
    - ``.jpg``, ``.jpeg``: a JPEG file, an MJPG frame's own bytes or the frame compressed at
      `quality` (as to_jpeg);
    - ``.npy``: a NumPy file of the frame's array (a stream Frame's shaped array, an array as it
      is, bytes as uint8), which ``numpy.load`` gives back with its shape and dtype;
    - any other: the frame's bytes as captured.

    `fmt` (and `width`, `height`) as to_rgb takes them; a stream Frame brings its own, and the
    last two kinds need none. The file is written atomically, as to_png writes: a failure leaves
    no partial file and keeps the file that was there. Raises as to_rgb does, OSError when the
    file cannot be written."""
    extension = os.path.splitext(os.fsdecode(path))[1].lower()
    if extension == ".png":
        to_png(frame, fmt, path, width, height)
        return
    if extension in (".jpg", ".jpeg"):
        jpeg = to_jpeg(frame, fmt, quality, width, height)
        write_atomically(path, lambda out: out.write(jpeg))
        return
    array = _array_of(frame)
    if extension == ".npy":
        write_atomically(path, lambda out: numpy.save(out, array, allow_pickle=False))
    else:
        data = numpy.ascontiguousarray(array)
        write_atomically(path, lambda out: out.write(data.data))
