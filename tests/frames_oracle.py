"""The NumPy conversions pylentrasdk.frames used before it was written in C++: the oracle the
compiled conversions are held to, byte for byte.

Each function takes a frame's bytes (a flat uint8 array of the right size) and its format's short
name and size, and returns the picture as NumPy computes it from the documented formulas.
"""
import io

import numpy
from PIL import Image


def yuv_to_rgb(y, u, v):
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


def _yuv_planes(data, name, width, height):
    if name == "NV12":
        y = data[: width * height].reshape(height, width)
        chroma = data[width * height:].reshape(height // 2, width // 2, 2)
        u = chroma[..., 0].repeat(2, axis=0).repeat(2, axis=1)
        v = chroma[..., 1].repeat(2, axis=0).repeat(2, axis=1)
        return y, u, v
    quads = data.reshape(height, width // 2, 4)
    if name == "YUY2":
        y0, u, y1, v = (quads[..., i] for i in range(4))
    else:
        u, y0, v, y1 = (quads[..., i] for i in range(4))
    y = numpy.stack([y0, y1], axis=-1).reshape(height, width)
    return y, u.repeat(2, axis=1), v.repeat(2, axis=1)


def to_rgb(data, name, width, height):
    if name in ("BGRA", "BGRX"):
        return numpy.ascontiguousarray(data.reshape(height, width, 4)[..., 2::-1])
    if name == "BGR":
        return numpy.ascontiguousarray(data.reshape(height, width, 3)[..., ::-1])
    if name == "RGB":
        return data.reshape(height, width, 3).copy()
    if name == "RGB16":
        word = data.view("<u2").reshape(height, width)
        rgb = numpy.empty((height, width, 3), dtype=numpy.uint8)
        rgb[..., 0] = (word >> 11) << 3
        rgb[..., 1] = ((word >> 5) & 0x3F) << 2
        rgb[..., 2] = (word & 0x1F) << 3
        return rgb
    if name == "MJPG":
        with Image.open(io.BytesIO(data.tobytes())) as image:
            return numpy.asarray(image.convert("RGB"))
    return yuv_to_rgb(*_yuv_planes(data, name, width, height))


def to_gray(data, name, width, height):
    """The luma plane of the YUV formats; BT.601 limited-range luma of the RGB of the others."""
    if name in ("YUY2", "UYVY", "NV12"):
        return _yuv_planes(data, name, width, height)[0].copy()
    rgb = to_rgb(data, name, width, height).astype(numpy.int32)
    luma = (66 * rgb[..., 0] + 129 * rgb[..., 1] + 25 * rgb[..., 2] + 128) >> 8
    return (luma + 16).astype(numpy.uint8)
