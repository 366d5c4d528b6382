"""Recording a camera's running stream into a video file: ``Camera.record`` (docs/recording.md).

    with cam.record("run.mkv") as rec:       # every frame of the stream, until the block ends
        time.sleep(10)
    print(rec.frames, rec.dropped)

A recording takes the stream's frames through a sink of its own (sinks.py), so it gets every
frame whoever else reads from the camera. Its encoder runs in a thread of its own beside capture:
the sink's bounded queue is all that lies between them, so when the encoder falls behind, frames
are dropped (and counted in `dropped`) rather than held in growing memory. Timestamps in the file
are the camera's (each frame's `sensor_timestamp`, or its arrival time where the camera has no
clock): a dropped frame is a gap in time, not a shifted picture.

With `pre_seconds` the encoded packets are kept in memory, from a key frame on, for at least that
long, and nothing is written until ``trigger()``: the file then starts with those seconds.
"""

from __future__ import annotations

import atexit
import collections
import math
import os
import threading
import time
import weakref
from typing import Deque, List, Mapping, Optional, Protocol, Tuple

from .._files import PathLike
from ..errors import CameraClosedError, CaptureTimeoutError, RecordingError, \
    StreamClosedError, StreamError
from ..formats import Format
from ..frames import frame_size
from .sinks import FrameSink
from .video_file import Packet, VideoFile

__all__ = ["Recording", "RecordingSource"]

_MOST_PRE_SECONDS = 600.0
_QUEUE_BYTES = 64 << 20  # the frames waiting for the encoder take at most about this much
_MOST_QUEUED = 30
_MJPG_QUEUED = 30  # JPEGs are small
_SYNC_EVERY = 1.0  # seconds between putting the file on the disk
_POLL = 0.1  # the encoder's longest wait for a frame before it looks at triggers and syncs


class RecordingSource(Protocol):
    """What a recording needs of a camera: its name, its format and a sink of its frames."""

    @property
    def name(self) -> str | None: ...

    @property
    def format(self) -> Format: ...

    def sink(self, capacity: int = ...) -> FrameSink: ...


def _queue_length(fmt: Format) -> int:
    """How many frames wait for the encoder at most: about a second's, within _QUEUE_BYTES."""
    frame_bytes = frame_size(fmt.pixel_format, fmt.width, fmt.height)
    if frame_bytes is None:
        return _MJPG_QUEUED
    return max(2, min(_MOST_QUEUED, _QUEUE_BYTES // max(1, frame_bytes)))


def _checked_pre_seconds(pre_seconds: object) -> float:
    if isinstance(pre_seconds, bool) or not isinstance(pre_seconds, (int, float)):
        raise TypeError("pre_seconds is a number of seconds, not {}".format(
            type(pre_seconds).__name__))
    if not (math.isfinite(pre_seconds) and 0 <= pre_seconds <= _MOST_PRE_SECONDS):
        raise ValueError("pre_seconds must be from 0 to {:.0f}, not {}".format(
            _MOST_PRE_SECONDS, pre_seconds))
    return float(pre_seconds)


class Recording:
    """A recording of one camera's stream into a new video file (``Camera.record``).

    It starts when made and runs until ``stop()`` (or the end of its ``with`` block), the
    stream's stop or the camera's close; a failure (a full disk, the camera's format changed)
    ends it early and is raised by ``stop()``. `frames` counts the frames written to the file,
    `dropped` the frames the camera made meanwhile that the file lacks, `seconds` the time the
    file spans. A path where anything is already is refused (FileExistsError): a recording never
    replaces a file."""

    def __init__(self, source: RecordingSource, path: PathLike, *, pre_seconds: float = 0.0,
                 codec: str | None = None, crf: int | None = None,
                 options: Mapping[str, str] | None = None) -> None:
        self.path = os.fsdecode(os.fspath(path))
        self.pre_seconds = _checked_pre_seconds(pre_seconds)
        self.format = source.format
        self._video = VideoFile(self.path, self.format, codec=codec, crf=crf, options=options)
        self.codec = self._video.codec
        self.frames = 0
        self.dropped = 0
        self.error: Optional[RecordingError] = None  # why it ended early, if it did
        self._unraised: Optional[RecordingError] = None
        self._triggered = threading.Event()
        if self.pre_seconds == 0:
            self._triggered.set()
        # Before the trigger: the packets kept, a list per key frame and what follows it, each
        # packet with the frames dropped just before it. None once written.
        self._kept: Optional[Deque[List[Tuple[Packet, int]]]] = \
            collections.deque() if self.pre_seconds else None
        self._first_pts: Optional[int] = None  # of the file's first packet, made its zero
        self._last_pts = 0
        try:
            self._sink = source.sink(_queue_length(self.format))
        except BaseException:
            self._video.discard()
            raise
        self._thread = threading.Thread(target=self._run, daemon=True,
                                        name="recording {}".format(self.path))
        _live.add(self)
        self._thread.start()

    # -- control ---------------------------------------------------------------------------------
    def trigger(self) -> None:
        """Writes the seconds kept in memory, then goes on writing every frame until the
        recording stops. A recording without `pre_seconds` writes from the start; a second
        trigger does nothing."""
        self._triggered.set()

    @property
    def triggered(self) -> bool:
        """Whether the file is being written (always, without `pre_seconds`)."""
        return self._triggered.is_set()

    def stop(self) -> None:
        """Ends the recording: the frames already taken from the camera are encoded and
        written, the file is closed. Raises the RecordingError that ended the recording early,
        if one did (once). Stopping again does nothing. A recording with `pre_seconds` that was
        never triggered leaves no file, nor does one that got no frame."""
        self._sink.close()
        self._thread.join()
        error, self._unraised = self._unraised, None
        if error is not None:
            raise error

    @property
    def recording(self) -> bool:
        """Whether frames are still being taken."""
        return self._thread.is_alive()

    @property
    def seconds(self) -> float:
        """The time the file spans, in seconds: from its first frame to the end of its last."""
        if self._first_pts is None:
            return 0.0
        return float((self._last_pts - self._first_pts) * self._video.time_base) + \
            1.0 / self._video.fps

    def __enter__(self) -> Recording:
        return self

    def __exit__(self, exc_type: object, *exc_info: object) -> None:
        if exc_type is None:
            self.stop()
            return
        # An exception (Ctrl-C) is on its way out of the block: the file is finished all the
        # same, and a recording failure stays in `error` rather than hide that exception.
        try:
            self.stop()
        except RecordingError:
            pass

    def __repr__(self) -> str:
        state = "recording" if self.recording else "stopped"
        if self.recording and not self.triggered:
            state = "keeping {:g} s".format(self.pre_seconds)
        return "<Recording {!r} {} {} {} frames={} dropped={}>".format(
            self.path, self.format, self.codec, state, self.frames, self.dropped)

    # -- the encoder's thread --------------------------------------------------------------------
    def _run(self) -> None:
        try:
            try:
                self._record()
                self._finish()
            except RecordingError as error:
                self.error = self._unraised = error
                self._abandon()
            except Exception as error:  # noqa: BLE001 - raised by stop(), in the caller's thread
                self.error = self._unraised = RecordingError(
                    "{}: the recording failed: {}".format(self.path, error), self.path)
                self._abandon()
        finally:
            self._sink.close()
            _live.discard(self)

    def _record(self) -> None:
        video, sink = self._video, self._sink
        origin: Optional[float] = None  # the camera's time at pts 0
        last_pts = -1
        last_number: Optional[int] = None
        synced = time.monotonic()
        while True:
            if self._kept is not None and self._triggered.is_set():
                self._write_kept()
            if self.frames and time.monotonic() - synced >= _SYNC_EVERY:
                video.sync()
                synced = time.monotonic()
            try:
                frame = sink.get(_POLL)
            except CaptureTimeoutError:
                continue
            except (StreamClosedError, CameraClosedError):
                return  # stopped, or the stream stopped, or the camera closed
            except StreamError as error:  # its reads kept failing
                raise RecordingError("{}: the camera's stream failed: {}; the file holds the "
                                     "frames before".format(self.path, error), self.path) from None
            if self.format != frame.format:
                raise RecordingError(
                    "{}: the camera's format changed to {} during the recording; the file holds "
                    "the frames in {} before it".format(
                        self.path, Format.from_record(frame.format), self.format), self.path)
            # The frames the camera made since the previous one, which this recording lacks:
            # the stream's drops, and those of this recording's own queue.
            gap = 0 if last_number is None else max(0, frame.number - last_number - 1)
            last_number = frame.number
            stamp = frame.sensor_timestamp
            if stamp is None:
                stamp = frame.timestamp
            if origin is None:
                origin = stamp
            # Strictly growing, whatever the clock does (two frames in one AVI slot).
            pts = max(int(round((stamp - origin) / video.time_base)), last_pts + 1)
            last_pts = pts
            try:
                packets = video.encode(frame, pts)
            except Exception as error:  # noqa: BLE001 - FFmpeg's errors, told as the recording's
                raise RecordingError("{}: the encoder {} failed: {}".format(
                    self.path, video.codec, error), self.path) from error
            del frame
            for packet in packets:
                self._take(packet, gap)
                gap = 0

    def _take(self, packet: Packet, gap: int) -> None:
        """Writes `packet`, or keeps it until the trigger."""
        kept = self._kept
        if kept is None:
            self._write(packet, gap)
            return
        if packet.is_keyframe:
            kept.append([(packet, gap)])
        elif kept:
            kept[-1].append((packet, gap))
        newest = packet.pts or 0
        # The oldest key frame's run goes once the next one alone covers pre_seconds.
        while len(kept) >= 2 and \
                (newest - (kept[1][0][0].pts or 0)) * self._video.time_base >= self.pre_seconds:
            kept.popleft()

    def _write_kept(self) -> None:
        kept, self._kept = self._kept, None
        for run in kept or ():
            for packet, gap in run:
                self._write(packet, gap)

    def _write(self, packet: Packet, gap: int) -> None:
        base = self._first_pts
        if base is None:
            # The file starts at time 0 with its first packet; drops before it are no gap in it.
            base = self._first_pts = packet.dts if packet.dts is not None else (packet.pts or 0)
            gap = 0
        if packet.pts is not None:
            packet.pts -= base
        if packet.dts is not None:
            packet.dts -= base
        try:
            self._video.write(packet)
        except Exception as error:  # noqa: BLE001 - a full disk, a failing device
            reason = getattr(error, "strerror", None) or str(error)
            raise RecordingError(
                "{}: writing the file failed: {}; the recording stopped after {} frames, and what "
                "was written plays".format(self.path, reason, self.frames), self.path) from error
        self.frames += 1
        self.dropped += gap
        self._last_pts = max(self._last_pts, (packet.pts or 0) + base)

    def _finish(self) -> None:
        """After the last frame: the encoder's remaining packets, and the file closed (or
        removed, if it holds nothing)."""
        for packet in self._video.flush():
            self._take(packet, 0)
        if self._kept is not None and self._triggered.is_set():
            self._write_kept()
        if not self._video.started:
            self._video.discard()
            return
        try:
            self._video.close()
        except Exception as error:  # noqa: BLE001 - its end could not be written
            reason = getattr(error, "strerror", None) or str(error)
            raise RecordingError("{}: ending the file failed: {}; its {} frames play".format(
                self.path, reason, self.frames), self.path) from error

    def _abandon(self) -> None:
        """After a failure: the file is closed as it is (a file that holds nothing removed)."""
        try:
            if self._video.started:
                self._video.close()
            else:
                self._video.discard()
        except Exception:  # noqa: BLE001 - the failure that brought us here is the one told
            pass


# Recordings still running when the interpreter exits are finished, so that their files end well.
_live: "weakref.WeakSet[Recording]" = weakref.WeakSet()


def _stop_all() -> None:
    for recording in list(_live):
        try:
            recording.stop()
        except Exception:  # noqa: BLE001 - nobody is left to tell
            pass


atexit.register(_stop_all)
