"""The simulated cameras' test pattern (sdk/docs/test-pattern.md), for checking frames.

The pattern itself is drawn by pylentrasdk.testing._pattern, which is written from the
documentation, not from the library, so that comparing a captured frame with `expected_frame`
checks both the frames and the page that describes them. This module adds what only our tests
need: pictures as int64 (for differences that go below zero) and raw frames read back as RGB.
"""

import numpy as np
from pylentrasdk.testing._pattern import (  # noqa: F401 (names the tests take from here)
    BARS,
    ELEMENT,
    NEUTRAL,
    RAW_FORMATS,
    CropAxis,
    Layout,
    adjust,
    encode,
    expected_frame,
    stamp_cells,
    to_yuv,
)
from pylentrasdk.testing._pattern import picture as _picture


def picture(width, height, number, adjustments=None):
    """The RGB picture of frame `number`, shape (height, width, 3), dtype int64."""
    return _picture(width, height, number, adjustments).astype(np.int64)


def mean_luma(frame, fmt, width, height):
    """Mean brightness of a raw frame: Y for the YUV formats, the mean of R, G, B otherwise."""
    data = np.asarray(frame, dtype=np.uint8).reshape(-1)
    if fmt in ("YUY2", "UYVY"):
        return float(data[0 if fmt == "YUY2" else 1 :: 2].mean())
    if fmt == "NV12":
        return float(data[: width * height].mean())
    return float(decode_rgb(data, fmt, width, height).mean())


def decode_rgb(frame, fmt, width, height):
    """An RGB-family raw frame as an int array of shape (height, width, 3)."""
    data = np.asarray(frame, dtype=np.uint8).reshape(-1).astype(np.int64)
    if fmt in ("BGRA", "BGRX"):
        return data.reshape(height, width, 4)[..., 2::-1]
    if fmt == "BGR":
        return data.reshape(height, width, 3)[..., ::-1]
    if fmt == "RGB":
        return data.reshape(height, width, 3)
    if fmt == "RGB16":
        word = data.reshape(height, width, 2)
        word = word[..., 0] | (word[..., 1] << 8)
        return np.stack([(word >> 11) << 3, ((word >> 5) & 0x3F) << 2, (word & 0x1F) << 3], axis=-1)
    raise ValueError("{} is not an RGB-family format".format(fmt))
