"""A video file being written: its container, its one video stream and that stream's encoder, over
PyAV (FFmpeg's libraries), which is imported only when a recording starts.

- The container comes from the file's extension: .mkv (Matroska), .mp4 (fragmented MP4) or .avi.
- MJPG frames are written as they are, one packet a frame: no decode, no encode.
- Frames of the raw formats are encoded (H.264 by default, libx264) from the camera's own planes:
  YUY2, UYVY and NV12 go in as FFmpeg's yuyv422, uyvy422 and nv12, the RGB family as FFmpeg's RGB
  formats, and FFmpeg's own scaler makes the planes the encoder takes (4:2:0; NV12 goes to libx264
  as it is). The camera's YUV is BT.601 of limited range, and the file says so.
- The file is made by this module, and only as a new file (never over one that is there), then
  written through the descriptor it was made with. Every packet is handed to the system as it is
  muxed, and Matroska clusters and MP4 fragments are kept short, so a killed recording leaves a
  file that plays up to its last few frames; `sync()` puts what was written on the disk.
"""

from __future__ import annotations

import fractions
import os
from types import ModuleType
from typing import Any, BinaryIO, Dict, List, Mapping, Optional

import numpy

from ..formats import Format
from ..stream import Frame

# PyAV's objects are typed loosely here: the package takes several versions of PyAV, whose type
# stubs differ.
Packet = Any  # av.Packet
_Container = Any  # av.container.OutputContainer
_Stream = Any  # av.video.stream.VideoStream

__all__ = ["VideoFile", "Packet", "CONTAINERS", "INSTALL_HINT", "load_av"]

INSTALL_HINT = "pip install pylentrasdk[video]"

#: The file name's extension -> FFmpeg's container.
CONTAINERS = {".mkv": "matroska", ".mp4": "mp4", ".avi": "avi"}

# What keeps a killed recording playable: every packet reaches the system when it is muxed;
# Matroska closes a cluster every 100 ms (it holds a cluster in memory until it is complete); MP4
# is fragmented, a fragment a frame, behind an empty header (a plain MP4 is unplayable until its
# index is written at the end). An AVI file's index is written at its end: a killed .avi may
# not play.
_CONTAINER_OPTIONS = {
    "matroska": {"flush_packets": "1", "cluster_time_limit": "100"},
    "mp4": {"flush_packets": "1", "movflags": "empty_moov+default_base_moof+frag_every_frame"},
    "avi": {"flush_packets": "1"},
}

# The camera's pixel formats as FFmpeg names them, and the bytes of a pixel in a row of the
# first plane.
_FFMPEG_FORMATS = {"YUY2": ("yuyv422", 2), "UYVY": ("uyvy422", 2), "NV12": ("nv12", 1),
                   "BGRA": ("bgra", 4), "BGRX": ("bgr0", 4), "BGR": ("bgr24", 3),
                   "RGB": ("rgb24", 3), "RGB16": ("rgb565le", 2)}

DEFAULT_CODEC = "libx264"
DEFAULT_CRF = 23
# libx264's speed: "ultrafast" keeps 1080p at 30 frames a second on one core even for a noisy
# picture (the slower presets make smaller files but fall behind on noise: bench/record.py);
# "zerolatency" hands each frame's packet out at once (no frames held for look-ahead or
# B-frames), so a killed recording loses the fewest frames.
_X264_OPTIONS = {"preset": "ultrafast", "tune": "zerolatency"}

_LIMITED_RANGE = 1  # AVCOL_RANGE_MPEG
_BT601 = 6  # AVCOL_SPC_SMPTE170M


def load_av() -> ModuleType:
    """PyAV, or ImportError saying how to install it."""
    try:
        import av
    except ImportError as error:
        raise ImportError("recording video needs PyAV (FFmpeg's libraries), an optional part "
                          "of pylentrasdk: {} ({})".format(INSTALL_HINT, error)) from error
    return av


def container_of(path: str) -> str:
    """FFmpeg's container for the file name `path`, or ValueError naming those there are."""
    extension = os.path.splitext(path)[1].lower()
    container = CONTAINERS.get(extension)
    if container is None:
        raise ValueError("{}: a recording is written to a {} file, not {}".format(
            path, ", ".join(CONTAINERS), repr(extension) if extension else "a name without "
            "an extension"))
    return container


def _time_base(container: str, fps: int) -> fractions.Fraction:
    """The unit of the file's timestamps: Matroska's own millisecond, 1/90000 s in MP4, and a
    frame interval in AVI, whose packets are frame slots (a dropped frame is an empty slot)."""
    if container == "matroska":
        return fractions.Fraction(1, 1000)
    if container == "avi":
        return fractions.Fraction(1, fps)
    return fractions.Fraction(1, 90000)


def _checked_options(options: Mapping[str, str] | None) -> Dict[str, str]:
    if options is None:
        return {}
    if not isinstance(options, Mapping):
        raise TypeError("options is a mapping of FFmpeg's option names to texts, not {}".format(
            type(options).__name__))
    checked = {}
    for name, value in options.items():
        if not isinstance(name, str) or not isinstance(value, (str, int, float)) or \
                isinstance(value, bool):
            raise TypeError("options maps names to texts or numbers, not {!r}: {!r}".format(
                name, value))
        checked[name] = str(value)
    return checked


def _create(path: str) -> BinaryIO:
    """The new file `path`, opened for writing; FileExistsError when anything is there."""
    flags = os.O_WRONLY | os.O_CREAT | os.O_EXCL | getattr(os, "O_CLOEXEC", 0) | \
        getattr(os, "O_BINARY", 0)
    try:
        descriptor = os.open(path, flags, 0o666)
    except FileExistsError:
        raise FileExistsError(
            "{}: a file is there already; a recording never replaces a file: name another, or "
            "remove that one first".format(path)) from None
    return os.fdopen(descriptor, "wb", buffering=0)


class VideoFile:
    """One new video file with one video stream in `fmt`, ready for the camera's frames: `encode`
    turns a frame into packets, `write` puts packets in the file (its header goes first, with the
    first packet), `close` ends it. `codec`, `crf` and `options` as Camera.record takes them."""

    def __init__(self, path: str, fmt: Format, *, codec: str | None = None,
                 crf: int | None = None, options: Mapping[str, str] | None = None) -> None:
        av = self._av = load_av()
        container = container_of(path)
        extra = _checked_options(options)
        if crf is not None and (isinstance(crf, bool) or not isinstance(crf, int)):
            raise TypeError("crf is a whole number, not {}".format(type(crf).__name__))
        self.path = path
        self.format = fmt
        self.passthrough = fmt.fourcc == "MJPG"
        if self.passthrough and (codec not in (None, "mjpeg") or crf is not None or extra):
            raise ValueError("{}: MJPG frames are written as they are (no encoder, so no codec, "
                             "crf or options)".format(path))
        self.fps = fmt.fps or 30
        self.time_base = _time_base(container, self.fps)
        self._file: Optional[BinaryIO] = _create(path)
        self._container: Optional[_Container] = None
        self.started = False  # the header is written
        try:
            self._container = av.open(self._file, "w", format=container,
                                      container_options=_CONTAINER_OPTIONS[container])
            self.codec = "mjpeg" if self.passthrough else (codec or DEFAULT_CODEC)
            try:
                av.Codec(self.codec, "w")
            except Exception:  # noqa: BLE001 - PyAV's own kind of "unknown codec"
                raise ValueError("{}: FFmpeg has no encoder {!r}".format(
                    path, self.codec)) from None
            if self.codec not in self._container.supported_codecs:
                raise ValueError("{}: a {} file cannot hold {} video".format(
                    path, container, self.codec))
            self._stream = self._add_stream(av, crf, extra)
        except BaseException:
            self.discard()
            raise
        self._source = None if self.passthrough else _FFMPEG_FORMATS[fmt.fourcc]

    def _add_stream(self, av: Any, crf: int | None,
                    extra: Dict[str, str]) -> _Stream:
        assert self._container is not None
        fmt = self.format
        stream = self._container.add_stream(self.codec, rate=self.fps)
        context = stream.codec_context
        stream.width, stream.height = fmt.width, fmt.height
        stream.time_base = self.time_base
        context.time_base = self.time_base
        if self.passthrough:
            stream.pix_fmt = "yuvj420p"  # what the header says; the JPEGs say what they are
            return stream
        stream.pix_fmt = self._encoder_format(context.codec)
        context.color_range = _LIMITED_RANGE
        context.colorspace = _BT601
        context.gop_size = self.fps  # a key frame a second: where playing can start
        wanted: Dict[str, str] = dict(_X264_OPTIONS) if self.codec == "libx264" else {}
        if crf is not None or self.codec == "libx264":
            wanted["crf"] = str(DEFAULT_CRF if crf is None else crf)
        wanted.update(extra)
        self._check_names(context, wanted, crf)
        context.options = wanted
        try:
            context.open()
        except av.FFmpegError as error:
            raise ValueError("{}: the encoder {} does not take {} with options {} ({})".format(
                self.path, self.codec, fmt, wanted, error)) from None
        return stream

    def _encoder_format(self, codec: Any) -> str:
        """The planes the encoder is fed: the camera's own when it takes them, else 4:2:0."""
        taken = [f.name for f in codec.video_formats or []]
        own = _FFMPEG_FORMATS[self.format.fourcc][0]
        for name in (own, "yuv420p"):
            if name in taken:
                return name
        if not taken:
            return "yuv420p"
        return str(taken[0])

    def _check_names(self, context: Any, wanted: Dict[str, str], crf: int | None) -> None:
        """A misspelt option would be passed over by FFmpeg without a word: refused here."""
        known = getattr(context, "supported_options", None)  # PyAV 16 on
        if known is None:
            return
        names = {o.name for o in known.generic} | {o.name for o in known.private}
        unknown = sorted(name for name in wanted if name not in names)
        if crf is not None and "crf" in unknown:
            raise ValueError("{}: the encoder {} takes no crf; give its own quality options in "
                             "options=".format(self.path, self.codec))
        if unknown:
            raise ValueError("{}: the encoder {} has no option {}".format(
                self.path, self.codec, ", ".join(unknown)))

    # -- frames in, packets out ------------------------------------------------------------------
    def encode(self, frame: Frame, pts: int) -> List[Packet]:
        """The packets of `frame`, stamped `pts` (in `time_base`); an encoder may hand out none
        yet, or those of earlier frames."""
        if self._source is None:
            packet = self._av.Packet(frame.array.tobytes())
            packet.pts = packet.dts = pts
            packet.time_base = self.time_base
            packet.is_keyframe = True
            packet.stream = self._stream
            return [packet]
        picture = self._picture(frame.array)
        picture.pts = pts
        picture.time_base = self.time_base
        return list(self._stream.encode(picture))

    def _picture(self, array: numpy.typing.NDArray[Any]) -> Any:
        """An FFmpeg frame holding the camera frame's bytes, in the planes the encoder takes."""
        assert self._source is not None
        name, pixel_bytes = self._source
        width, height = self.format.width, self.format.height
        picture = self._av.VideoFrame(width, height, name)
        data = array.view(numpy.uint8).reshape(-1)
        rows = [(height, width * pixel_bytes)]
        if name == "nv12":
            rows.append((height // 2, width))
        at = 0
        for plane, (count, row_bytes) in zip(picture.planes, rows):
            target = numpy.frombuffer(plane, numpy.uint8).reshape(-1, plane.line_size)
            size = count * row_bytes
            target[:count, :row_bytes] = data[at:at + size].reshape(count, row_bytes)
            at += size
        picture.color_range = _LIMITED_RANGE
        wanted = self._stream.pix_fmt
        if wanted != name:
            # swscale, with the interpreter lock released; RGB becomes BT.601 limited range.
            picture = picture.reformat(format=wanted, dst_colorspace=_BT601,
                                       dst_color_range=_LIMITED_RANGE)
        return picture

    def flush(self) -> List[Packet]:
        """The packets the encoder still holds, at the end."""
        if self._source is None:
            return []
        return list(self._stream.encode(None))

    def write(self, packet: Packet) -> None:
        """Puts `packet` in the file (after the header, the first time)."""
        assert self._container is not None
        packet.stream = self._stream
        self._container.mux(packet)
        self.started = True

    def sync(self) -> None:
        """What was written, on the disk."""
        if self._file is not None:
            os.fsync(self._file.fileno())

    def close(self) -> None:
        """Ends the file (its index, where the container has one) and closes it. The file is
        closed even when the end cannot be written (a full disk), and the error raised."""
        container, self._container = self._container, None
        try:
            if container is not None:
                container.close()
            self.sync()
        finally:
            file, self._file = self._file, None
            if file is not None:
                file.close()

    def discard(self) -> None:
        """Closes the file and removes it: for a file that holds nothing (a recording that
        was never triggered, or could not start)."""
        container, self._container = self._container, None
        file, self._file = self._file, None
        try:
            if container is not None:
                container.close()
        except Exception:  # noqa: BLE001 - nothing of it is kept
            pass
        finally:
            if file is not None:
                file.close()
                os.unlink(self.path)
