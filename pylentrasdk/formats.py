"""Stream formats by name: ``Format`` reads and writes ``WIDTHxHEIGHT:FOURCC[@FPS]``.

    >>> Format.parse("1280x720:yuy2@30")
    Format(1280x720 YUY2 @30)

The FOURCC is the pixel format's name in ``LX_IMAGE_FORMAT`` without its prefix (MJPG, YUY2,
UYVY, NV12, BGRA, BGRX, BGR, RGB16, RGB), in any case. A Format equals the ``LxFormat`` record
of the same size, pixel format and frame rate; one without a frame rate stands for any rate
(``matches``).
"""

import re

from . import _tables
from . import pyLentraSDK as _binding

__all__ = ["Format", "FormatTextError"]

# FOURCC -> LX_IMAGE_FORMAT member and back, from the one table of pixel formats.
_PIXEL_FORMATS = {facts.name: _binding.LX_IMAGE_FORMAT(facts.format)
                  for facts in _tables.pixel_formats}
_FOURCCS = {member: name for name, member in _PIXEL_FORMATS.items()}
_PATTERN = re.compile(r"^\s*(\d+)\s*x\s*(\d+)\s*:\s*([A-Za-z0-9]+)\s*(?:@\s*(\d+)\s*)?$")
_MOST = 65535  # widths, heights and rates are 16-bit in the SDK's record


class FormatTextError(ValueError):
    """A text that is not of the form WIDTHxHEIGHT:FOURCC[@FPS] at all (a well-formed text that
    names no pixel format, or a size out of bounds, is a plain ValueError)."""


def _bounded(value, what, least):
    if isinstance(value, bool) or not isinstance(value, int):
        raise TypeError("{} must be an int, not {}".format(what, type(value).__name__))
    if not least <= value <= _MOST:
        raise ValueError("{} must be from {} to {}, not {}".format(what, least, _MOST, value))
    return value


class Format:
    """A stream format: `width` x `height` pixels of the pixel format `fourcc` ("YUY2") at
    `fps` frames a second (None: any rate). Immutable and hashable."""

    __slots__ = ("_width", "_height", "_fourcc", "_fps")

    def __init__(self, width, height, fourcc, fps=None):
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
    def parse(cls, text):
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
    def from_record(cls, record):
        """The Format of an ``LxFormat`` record (one that carries frames)."""
        if not isinstance(record, _binding.LxFormat):
            raise TypeError("expected an LxFormat, not {}".format(type(record).__name__))
        fourcc = _FOURCCS.get(record.format)
        if fourcc is None:
            raise ValueError("an {} entry is no format".format(record.format.name))
        fps = record.framerate or None
        return cls(record.width, record.height, fourcc, fps)

    width = property(lambda self: self._width, doc="Width in pixels")
    height = property(lambda self: self._height, doc="Height in pixels")
    fourcc = property(lambda self: self._fourcc, doc='The pixel format\'s name: "YUY2"')
    fps = property(lambda self: self._fps, doc="Frames per second (None: any rate)")

    @property
    def pixel_format(self):
        """The pixel format as an ``LX_IMAGE_FORMAT`` member."""
        return _PIXEL_FORMATS[self._fourcc]

    def _key(self):
        return (self._width, self._height, self._fourcc, self._fps)

    @staticmethod
    def _coerce(other):
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

    def matches(self, other):
        """Whether `other` (a Format, an LxFormat or a format text) has this size and pixel
        format, and this frame rate unless this one has none."""
        other = self._coerce(other)
        if other is None:
            return False
        return self._key()[:3] == other._key()[:3] and self._fps in (None, other._fps)

    def __eq__(self, other):
        coerced = self._coerce(other)
        if coerced is None:
            return NotImplemented if not isinstance(other, (str, _binding.LxFormat)) else False
        return self._key() == coerced._key()

    def __ne__(self, other):
        equal = self.__eq__(other)
        return equal if equal is NotImplemented else not equal

    def __hash__(self):
        return hash(self._key())

    def __str__(self):
        text = "{}x{}:{}".format(self._width, self._height, self._fourcc)
        return text if self._fps is None else "{}@{}".format(text, self._fps)

    def __repr__(self):
        text = "Format({}x{} {}".format(self._width, self._height, self._fourcc)
        return text + (")" if self._fps is None else " @{})".format(self._fps))

    def __setattr__(self, name, value):
        if name in Format.__slots__ and not hasattr(self, name):
            object.__setattr__(self, name, value)
            return
        raise AttributeError("a Format cannot be changed; make a new one")
