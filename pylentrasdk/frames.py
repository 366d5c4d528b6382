"""Captured frames as pictures.

``LxGetImage`` hands back a frame as a flat array of the bytes the camera sent, in its pixel
format. This module turns such a frame into an H x W x 3 array of 8-bit RGB (or BGR) and writes
it as a PNG file. Every conversion is vectorised with NumPy; MJPG frames are decoded with Pillow.

The conversions are the inverses of the encodings in sdk/docs/test-pattern.md:

- BGRA, BGRX, BGR, RGB: the channels reordered (alpha and padding dropped), bytes unchanged;
- RGB16 (RGB565, little-endian): each channel shifted up, ``R = R5 << 3``, ``G = G6 << 2``,
  ``B = B5 << 3``;
- YUY2, UYVY, NV12 (BT.601 limited range): with ``C = Y - 16``, ``D = U - 128``, ``E = V - 128``,
  ``R = clip((298 C + 409 E + 128) >> 8)``, ``G = clip((298 C - 100 D - 208 E + 128) >> 8)``,
  ``B = clip((298 C + 516 D + 128) >> 8)``, each pixel taking the chroma of its pair (4:2:2) or
  of its 2 x 2 block (NV12);
- MJPG: the JPEG decoded to RGB.

A frame is given with its format: the ``LxFormat`` it was captured with, or an
``LX_IMAGE_FORMAT`` member together with ``width`` and ``height``.
"""

import io

import numpy

from . import pyLentraSDK as _binding
from ._files import write_atomically

__all__ = ["frame_size", "to_rgb", "to_bgr", "to_png"]

_F = _binding.LX_IMAGE_FORMAT

# Bytes per frame, as (numerator, denominator) of bytes per pixel; MJPG frames vary.
_BYTES_PER_PIXEL = {
    _F.LX_IMAGE_FORMAT_YUY2: (2, 1),
    _F.LX_IMAGE_FORMAT_UYVY: (2, 1),
    _F.LX_IMAGE_FORMAT_NV12: (3, 2),
    _F.LX_IMAGE_FORMAT_BGRA: (4, 1),
    _F.LX_IMAGE_FORMAT_BGRX: (4, 1),
    _F.LX_IMAGE_FORMAT_BGR: (3, 1),
    _F.LX_IMAGE_FORMAT_RGB: (3, 1),
    _F.LX_IMAGE_FORMAT_RGB16: (2, 1),
}

_EVEN_WIDTH = (_F.LX_IMAGE_FORMAT_YUY2, _F.LX_IMAGE_FORMAT_UYVY, _F.LX_IMAGE_FORMAT_NV12)


def _format_of(fmt, width, height):
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
    width, height = int(width), int(height)
    if width <= 0 or height <= 0:
        raise ValueError("a frame of {} x {} pixels holds no picture".format(width, height))
    if fmt != _F.LX_IMAGE_FORMAT_MJPG and fmt not in _BYTES_PER_PIXEL:
        raise ValueError("{} frames carry no picture".format(fmt.name))
    # Chroma is shared by pixel pairs (4:2:2) or 2 x 2 blocks (NV12).
    if fmt in _EVEN_WIDTH and width % 2:
        raise ValueError("{} frames have an even width, not {}".format(_short(fmt), width))
    if fmt == _F.LX_IMAGE_FORMAT_NV12 and height % 2:
        raise ValueError("NV12 frames have an even height, not {}".format(height))
    return fmt, width, height


def _short(fmt):
    return fmt.name.replace("LX_IMAGE_FORMAT_", "")


def frame_size(fmt, width=None, height=None):
    """The bytes of one frame of this format and size; None for MJPG, whose frames vary."""
    fmt, width, height = _format_of(fmt, width, height)
    if fmt == _F.LX_IMAGE_FORMAT_MJPG:
        return None
    numerator, denominator = _BYTES_PER_PIXEL[fmt]
    return width * height * numerator // denominator


def _bytes_of(frame):
    if isinstance(frame, (bytes, bytearray, memoryview)):
        return numpy.frombuffer(frame, dtype=numpy.uint8)
    data = numpy.asarray(frame)
    if data.dtype != numpy.uint8:
        raise TypeError("a frame is an array of uint8 bytes, not of {}".format(data.dtype))
    return numpy.ascontiguousarray(data).reshape(-1)


def _yuv_to_rgb(y, u, v):
    """RGB of BT.601 limited-range planes of equal shape (the inverse of the pattern's matrix)."""
    c = y.astype(numpy.int32) - 16
    d = u.astype(numpy.int32) - 128
    e = v.astype(numpy.int32) - 128
    c *= 298
    c += 128
    rgb = numpy.empty(y.shape + (3,), dtype=numpy.uint8)
    rgb[..., 0] = numpy.clip((c + 409 * e) >> 8, 0, 255)
    rgb[..., 1] = numpy.clip((c - 100 * d - 208 * e) >> 8, 0, 255)
    rgb[..., 2] = numpy.clip((c + 516 * d) >> 8, 0, 255)
    return rgb


def _decode_jpeg(data, width, height):
    from PIL import Image  # only MJPG frames need it; the import costs time

    try:
        with Image.open(io.BytesIO(data.tobytes())) as image:
            image.load()
            size = image.size
            rgb = numpy.asarray(image.convert("RGB"))
    except (OSError, ValueError, SyntaxError) as error:
        raise ValueError("the MJPG frame is no readable JPEG ({})".format(error)) from None
    if size != (width, height):
        raise ValueError("the MJPG frame holds a {} x {} picture, the format is {} x {}".format(
            size[0], size[1], width, height))
    return rgb


def to_rgb(frame, fmt, width=None, height=None):
    """The frame as an (height, width, 3) uint8 array of R, G, B.

    Raises ValueError naming both sizes when the frame's byte count does not match the format
    (or a JPEG's picture size does not), TypeError for a frame that is not bytes."""
    fmt, width, height = _format_of(fmt, width, height)
    data = _bytes_of(frame)
    if fmt == _F.LX_IMAGE_FORMAT_MJPG:
        return _decode_jpeg(data, width, height)
    expected = frame_size(fmt, width, height)
    if data.size != expected:
        raise ValueError("a {} frame of {} x {} pixels is {} bytes, this one is {}".format(
            _short(fmt), width, height, expected, data.size))

    if fmt in (_F.LX_IMAGE_FORMAT_BGRA, _F.LX_IMAGE_FORMAT_BGRX):
        return numpy.ascontiguousarray(data.reshape(height, width, 4)[..., 2::-1])
    if fmt == _F.LX_IMAGE_FORMAT_BGR:
        return numpy.ascontiguousarray(data.reshape(height, width, 3)[..., ::-1])
    if fmt == _F.LX_IMAGE_FORMAT_RGB:
        return data.reshape(height, width, 3).copy()
    if fmt == _F.LX_IMAGE_FORMAT_RGB16:
        word = data.view("<u2").reshape(height, width)
        rgb = numpy.empty((height, width, 3), dtype=numpy.uint8)
        rgb[..., 0] = (word >> 11) << 3
        rgb[..., 1] = ((word >> 5) & 0x3F) << 2
        rgb[..., 2] = (word & 0x1F) << 3
        return rgb
    if fmt == _F.LX_IMAGE_FORMAT_NV12:
        y = data[: width * height].reshape(height, width)
        chroma = data[width * height:].reshape(height // 2, width // 2, 2)
        u = chroma[..., 0].repeat(2, axis=0).repeat(2, axis=1)
        v = chroma[..., 1].repeat(2, axis=0).repeat(2, axis=1)
        return _yuv_to_rgb(y, u, v)
    # YUY2 (Y0 U Y1 V) and UYVY (U Y0 V Y1): four bytes per pixel pair.
    quads = data.reshape(height, width // 2, 4)
    if fmt == _F.LX_IMAGE_FORMAT_YUY2:
        y0, u, y1, v = (quads[..., i] for i in range(4))
    else:
        u, y0, v, y1 = (quads[..., i] for i in range(4))
    y = numpy.stack([y0, y1], axis=-1).reshape(height, width)
    return _yuv_to_rgb(y, u.repeat(2, axis=1), v.repeat(2, axis=1))


def to_bgr(frame, fmt, width=None, height=None):
    """The frame as an (height, width, 3) uint8 array of B, G, R (the order OpenCV uses)."""
    return numpy.ascontiguousarray(to_rgb(frame, fmt, width, height)[..., ::-1])


def to_png(frame, fmt, path, width=None, height=None):
    """Writes the frame as an RGB PNG file at `path`.

    The picture goes to a temporary file beside `path` that is renamed into place, so a failed
    conversion or write leaves no partial file and keeps the file that was there. Raises
    ValueError or TypeError as to_rgb does, OSError when the file cannot be written."""
    from PIL import Image

    rgb = to_rgb(frame, fmt, width, height)
    write_atomically(path, lambda out: Image.fromarray(rgb).save(out, format="PNG"))
