"""Stream formats by name: ``Format`` reads and writes ``WIDTHxHEIGHT:FOURCC[@FPS]``.

    >>> Format.parse("1280x720:yuy2@30")
    Format(1280x720 YUY2 @30)

The FOURCC is the pixel format's name in ``LX_IMAGE_FORMAT`` without its prefix (MJPG, YUY2,
UYVY, NV12, BGRA, BGRX, BGR, RGB16, RGB), in any case. A Format equals the ``LxFormat`` record
of the same size, pixel format and frame rate; one without a frame rate stands for any rate
(``matches``).
"""

from __future__ import annotations

import re
from typing import Any, Union

from . import _tables
from . import pyLentraSDK as _binding
from .errors import FormatTextError

__all__ = ["Format", "FormatLike", "FormatTextError"]

# FOURCC -> LX_IMAGE_FORMAT member and back, from the one table of pixel formats.
_PIXEL_FORMATS = {facts.name: _binding.LX_IMAGE_FORMAT(facts.format)
                  for facts in _tables.pixel_formats}
_FOURCCS = {member: name for name, member in _PIXEL_FORMATS.items()}
_PATTERN = re.compile(r"^\s*(\d+)\s*x\s*(\d+)\s*:\s*([A-Za-z0-9]+)\s*(?:@\s*(\d+)\s*)?$")
_MOST = 65535  # widths, heights and rates are 16-bit in the SDK's record

#: What names a format: a Format, the SDK's LxFormat record, or a text "1280x720:YUY2@30".
FormatLike = Union["Format", _binding.LxFormat, str]


def _bounded(value: object, what: str, least: int) -> int:
    if isinstance(value, bool) or not isinstance(value, int):
        raise TypeError("{} must be an int, not {}".format(what, type(value).__name__))
    if not least <= value <= _MOST:
        raise ValueError("{} must be from {} to {}, not {}".format(what, least, _MOST, value))
    return value


class Format:
    """A stream format: `width` x `height` pixels of the pixel format `fourcc` ("YUY2") at
    `fps` frames a second (None: any rate). Immutable and hashable."""

    __slots__ = ("_width", "_height", "_fourcc", "_fps")

    def __init__(self, width: int, height: int, fourcc: str, fps: int | None = None) -> None:
        self._width = _bounded(width, "width", 1)
        self._height = _bounded(height, "height", 1)
        if not isinstance(fourcc, str):
            raise TypeError("fourcc must be a str, not {}".format(type(fourcc).__name__))
        if fourcc.upper() not in _PIXEL_FORMATS:
            raise ValueError("unknown pixel format {!r}: one of {}".format(
                fourcc, ", ".join(_PIXEL_FORMATS)))
        self._fourcc = fourcc.upper()
        self._fps = None if fps is None else _bounded(fps, "fps", 1)

    @classmethod
    def parse(cls, text: str) -> Format:
        """The Format that `text` names: "1920x1080:YUY2" or "1920x1080:YUY2@30"."""
        if not isinstance(text, str):
            raise TypeError("a format is a str such as '1920x1080:YUY2@30', not {}".format(
                type(text).__name__))
        match = _PATTERN.match(text)
        if not match:
            raise FormatTextError("format {!r} is not WIDTHxHEIGHT:FOURCC[@FPS], such as "
                             "1920x1080:YUY2@30".format(text))
        width, height, fourcc, fps = match.groups()
        try:
            return cls(int(width), int(height), fourcc, None if fps is None else int(fps))
        except ValueError as error:
            raise ValueError("format {!r}: {}".format(text, error)) from None

    @classmethod
    def from_record(cls, record: _binding.LxFormat) -> Format:
        """The Format of an ``LxFormat`` record (one that carries frames)."""
        if not isinstance(record, _binding.LxFormat):
            raise TypeError("expected an LxFormat, not {}".format(type(record).__name__))
        fourcc = _FOURCCS.get(record.format)
        if fourcc is None:
            raise ValueError("an {} entry is no format".format(record.format.name))
        fps = record.framerate or None
        return cls(record.width, record.height, fourcc, fps)

    @property
    def width(self) -> int:
        """Width in pixels"""
        return self._width

    @property
    def height(self) -> int:
        """Height in pixels"""
        return self._height

    @property
    def fourcc(self) -> str:
        """The pixel format's name, such as "YUY2"."""
        return self._fourcc

    @property
    def fps(self) -> int | None:
        """Frames per second (None: any rate)"""
        return self._fps

    @property
    def pixel_format(self) -> _binding.LX_IMAGE_FORMAT:
        """The pixel format as an ``LX_IMAGE_FORMAT`` member."""
        return _PIXEL_FORMATS[self._fourcc]

    def as_dict(self) -> dict[str, Any]:
        """{"width", "height", "fourcc", "fps"}: the format as lxctl's and the viewer's JSON
        give it."""
        return {"width": self._width, "height": self._height, "fourcc": self._fourcc,
                "fps": self._fps}

    def _key(self) -> tuple[int, int, str, int | None]:
        return (self._width, self._height, self._fourcc, self._fps)

    @staticmethod
    def _coerce(other: object) -> Format | None:
        """`other` as a Format, or None when it is no format (a text that does not parse)."""
        if isinstance(other, Format):
            return other
        try:
            if isinstance(other, _binding.LxFormat):
                return Format.from_record(other)
            if isinstance(other, str):
                return Format.parse(other)
        except ValueError:
            return None
        return None

    def matches(self, other: FormatLike) -> bool:
        """Whether `other` (a Format, an LxFormat or a format text) has this size and pixel
        format, and this frame rate unless this one has none."""
        coerced = self._coerce(other)
        if coerced is None:
            return False
        return self._key()[:3] == coerced._key()[:3] and self._fps in (None, coerced._fps)

    def __eq__(self, other: object) -> bool:
        coerced = self._coerce(other)
        if coerced is None:
            if isinstance(other, (str, _binding.LxFormat)):
                return False
            return NotImplemented
        return self._key() == coerced._key()

    def __ne__(self, other: object) -> bool:
        equal = self.__eq__(other)
        return equal if equal is NotImplemented else not equal

    def __hash__(self) -> int:
        return hash(self._key())

    def __str__(self) -> str:
        text = "{}x{}:{}".format(self._width, self._height, self._fourcc)
        return text if self._fps is None else "{}@{}".format(text, self._fps)

    def __repr__(self) -> str:
        text = "Format({}x{} {}".format(self._width, self._height, self._fourcc)
        return text + (")" if self._fps is None else " @{})".format(self._fps))

    def __setattr__(self, name: str, value: object) -> None:
        if name in Format.__slots__ and not hasattr(self, name):
            object.__setattr__(self, name, value)
            return
        raise AttributeError("a Format cannot be changed; make a new one")
