"""The simulated cameras' test pattern, drawn in NumPy as sdk/docs/test-pattern.md describes it.

It follows the page, not the library's code, so that a frame that matches it checks the library
and the page at once (our own tests do that). ``expected_frame`` in ``pylentrasdk.testing`` is
built on it. Raw formats are named as in the page ("YUY2", "RGB16", ...); adjustments are the
values the page's "Adjustments" and "Zoom" sections take, with the keys of NEUTRAL.
"""

from __future__ import annotations

import math
from typing import Mapping, TypeVar

import numpy as np
import numpy.typing as npt

# Whole-number pixel values as the pattern computes them (before they become bytes).
Ints = npt.NDArray[np.int64]
Ints32 = npt.NDArray[np.int32]
# A position along an axis, or an array of them.
_Position = TypeVar("_Position", int, Ints)
# The adjustments a frame is drawn with: the keys of NEUTRAL (the flips are bools).
Adjustments = Mapping[str, int]

BARS = np.array(
    [
        (191, 191, 191),
        (191, 191, 0),
        (0, 191, 191),
        (0, 191, 0),
        (191, 0, 191),
        (191, 0, 0),
        (0, 0, 191),
        (0, 0, 0),
    ],
    dtype=np.int64,
)
ELEMENT = (255, 128, 0)

NEUTRAL: dict[str, int] = {
    "level": 100,
    "warmth": 0,
    "zoom": 100,
    "pan": 0,
    "tilt": 0,
    "brightness": 0,
    "contrast": 100,
    "saturation": 100,
    "gamma": 100,
    "flip_horizontal": False,
    "flip_vertical": False,
    "special_effect": 0,
}

RAW_FORMATS = ("YUY2", "UYVY", "NV12", "BGRA", "BGRX", "BGR", "RGB", "RGB16")


class Layout:
    def __init__(self, width: int, height: int) -> None:
        self.width, self.height = width, height
        self.cell = max(4, 2 * (min(width, height) // 128))
        self.bar_rows = 2 * (height // 3)
        self.side = 4 * self.cell
        self.has_stamp = 10 * self.cell <= width and 10 * self.cell <= height
        self.step = max(1, width // 256)
        self.positions = (width - self.side) // 2 + 1
        self.y0 = 2 * (min(
            self.bar_rows + 2 * (max(0, height - self.bar_rows - self.side) // 4),
            height - self.side,
        ) // 2)

    def element_origin(self, number: int, flip_horizontal: bool = False,
                       flip_vertical: bool = False) -> tuple[int, int]:
        x = 2 * ((number * self.step) % self.positions)
        y = self.y0
        if flip_horizontal:
            x = self.width - x - self.side
        if flip_vertical:
            y = self.height - y - self.side
        return x, y


def _clip(a: Ints) -> Ints:
    return np.clip(a, 0, 255)


def _div100(a: Ints) -> Ints:
    return (a + 50) // 100


def _luma(rgb: Ints) -> Ints:
    luma: Ints = (77 * rgb[..., 0] + 150 * rgb[..., 1] + 29 * rgb[..., 2] + 128) // 256
    return luma


def adjust(rgb: npt.ArrayLike, adjustments: Adjustments | None) -> Ints:
    """Applies the documented colour adjustments to an int array of shape (..., 3)."""
    a = dict(NEUTRAL, **(adjustments or {}))
    contrast = min(max(a["contrast"], 0), 400)
    brightness = min(max(a["brightness"], -255), 255)
    saturation = min(max(a["saturation"], 0), 400)
    gamma = min(max(a["gamma"], 10), 1000)
    effect = a["special_effect"]  # the value of ISP_IMAGE_SPECIAL_EFFECT_MODE, 0 to 4
    effect = effect if 0 <= effect <= 4 else 0
    level = min(max(a["level"], 0), 1000)
    warmth = min(max(a["warmth"], -128), 127)

    v = np.asarray(rgb, dtype=np.int64)
    v = _clip(_div100(v * level))
    v = v + np.array([warmth, 0, -warmth])
    v = _clip(v)
    v = _clip(128 + _div100((v - 128) * contrast))
    v = _clip(v + brightness)
    grey = _luma(v)[..., None]
    v = _clip(grey + _div100((v - grey) * saturation))
    exponent = 100 / gamma
    levels = [math.floor(255 * math.pow(i / 255, exponent) + 0.5) for i in range(256)]
    table = _clip(np.array(levels, dtype=np.int64))
    v = table[v]
    y = _luma(v)
    if effect == 1:
        bw = np.where(y >= 128, 255, 0)
        v = np.stack([bw, bw, bw], axis=-1)
    elif effect == 2:
        v = np.stack([y, y, y], axis=-1)
    elif effect == 3:
        v = 255 - v
    elif effect == 4:
        s = 255 - (255 - y) // 3
        v = np.stack([s, s, s], axis=-1)
    return v


def _toward_zero(a: int, b: int) -> int:
    return abs(a) // b * (1 if a >= 0 else -1)


class CropAxis:
    """Which picture pixels zoom, pan or tilt show along one axis."""

    def __init__(self, side: int, zoom: int, shift: int) -> None:
        self.side = side
        self.length = max(1, side * 100 // zoom)
        room = (side - self.length) // 2
        self.start = room + _toward_zero(shift * room, 100)

    def picture_at(self, v: _Position) -> _Position:
        return self.start + v * self.length // self.side

    def frame_span(self, first: int, count: int) -> tuple[int, int]:
        def through(v: int) -> int:
            out = (v - self.start) * self.side // self.length
            return 2 * (min(max(out, 0), self.side) // 2)
        return through(first), through(first + count)


def stamp_cells(number: int) -> npt.NDArray[np.bool_]:
    """8 x 8 booleans (row, column): True where the stamp cell is white."""
    cells = np.zeros((8, 8), dtype=bool)
    for k in range(32):
        bit = (number >> (31 - k)) & 1
        row, column = k // 4, 2 * (k % 4)
        cells[row, column] = bool(bit)
        cells[row, column + 1] = not bit
    return cells


def picture(width: int, height: int, number: int,
            adjustments: Adjustments | None = None) -> npt.NDArray[np.uint8]:
    """The RGB picture of frame `number`, shape (height, width, 3), dtype uint8."""
    a = dict(NEUTRAL, **(adjustments or {}))
    layout = Layout(width, height)
    zoom = min(max(a["zoom"], 100), 800)
    cx = CropAxis(width, zoom, min(max(a["pan"], -100), 100))
    cy = CropAxis(height, zoom, -min(max(a["tilt"], -100), 100))
    x = cx.picture_at(np.arange(width))
    bars = BARS[8 * x // width]
    g = 255 * x // (width - 1)
    ramp = np.stack([g, g, g], axis=-1)
    # Adjustments act on each colour alone, so adjusting one row of each band is enough.
    bars, ramp = adjust(bars, a), adjust(ramp, a)
    if a["flip_horizontal"]:
        bars, ramp = bars[::-1], ramp[::-1]
    # uint8 holds every colour (adjust clips to 0..255) at an eighth of int64's memory, which
    # counts for the largest frames.
    image = np.empty((height, width, 3), dtype=np.uint8)
    split = next((y for y in range(height) if cy.picture_at(y) >= layout.bar_rows), height)
    split = min(height, split + split % 2)
    if a["flip_vertical"]:
        image[: height - split] = ramp
        image[height - split :] = bars
    else:
        image[:split] = bars
        image[split:] = ramp

    ex, ey = layout.element_origin(number)
    x0, x1 = cx.frame_span(ex, layout.side)
    y0, y1 = cy.frame_span(ey, layout.side)
    if a["flip_horizontal"]:
        x0, x1 = width - x1, width - x0
    if a["flip_vertical"]:
        y0, y1 = height - y1, height - y0
    image[y0:y1, x0:x1] = adjust(np.array(ELEMENT), a)

    if layout.has_stamp:
        c = layout.cell
        for (row, column), white in np.ndenumerate(stamp_cells(number)):
            top, left = c * (1 + row), c * (1 + column)
            image[top : top + c, left : left + c] = 255 if white else 0
    return image


def to_yuv(image: npt.NDArray[np.uint8]) -> tuple[Ints32, Ints32, Ints32]:
    """BT.601 limited-range Y, U, V planes (int32) of an RGB picture."""
    r, g, b = (image[..., i].astype(np.int32) for i in range(3))
    y = ((66 * r + 129 * g + 25 * b + 128) >> 8) + 16
    u = ((-38 * r - 74 * g + 112 * b + 128) >> 8) + 128
    v = ((112 * r - 94 * g - 18 * b + 128) >> 8) + 128
    return y, u, v


def encode(image: npt.NDArray[np.uint8], fmt: str) -> npt.NDArray[np.uint8]:
    """The bytes of an RGB picture in the raw pixel format named `fmt` (e.g. "YUY2")."""
    height, width = image.shape[:2]
    r, g, b = (image[..., i].astype(np.int32) for i in range(3))
    if fmt in ("YUY2", "UYVY", "NV12"):
        y, u, v = to_yuv(image)
        if fmt == "NV12":
            def block(p: Ints32) -> Ints32:
                mean: Ints32 = (p[0::2, 0::2] + p[0::2, 1::2] + p[1::2, 0::2] + p[1::2, 1::2]
                                + 2) // 4
                return mean

            chroma = np.stack([block(u), block(v)], axis=-1).reshape(height // 2, width)
            out = np.concatenate([y.reshape(-1), chroma.reshape(-1)])
        else:
            pu = (u[:, 0::2] + u[:, 1::2] + 1) // 2
            pv = (v[:, 0::2] + v[:, 1::2] + 1) // 2
            y0, y1 = y[:, 0::2], y[:, 1::2]
            order = (y0, pu, y1, pv) if fmt == "YUY2" else (pu, y0, pv, y1)
            out = np.stack(order, axis=-1)
    elif fmt in ("BGRA", "BGRX"):
        out = np.stack([b, g, r, np.full_like(r, 255)], axis=-1)
    elif fmt == "BGR":
        out = np.stack([b, g, r], axis=-1)
    elif fmt == "RGB":
        out = np.stack([r, g, b], axis=-1)
    elif fmt == "RGB16":
        word = ((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3)
        out = np.stack([word & 0xFF, word >> 8], axis=-1)
    else:
        raise ValueError("no raw layout for {}".format(fmt))
    return np.asarray(out, dtype=np.uint8).reshape(-1)


def expected_frame(fmt: str, width: int, height: int, number: int,
                   adjustments: Adjustments | None = None) -> npt.NDArray[np.uint8]:
    """The exact bytes of raw frame `number`, as a flat uint8 array."""
    return encode(picture(width, height, number, adjustments), fmt)
