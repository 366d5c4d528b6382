"""A camera's stream, kept running between reads: what ``Camera.read``, ``Camera.capture`` and
``Camera.stream`` give frames from.

The stream starts with the first read (or ``Camera.start``) and runs until ``Camera.stop``, the
close of a stream view, or the camera's close; a format change restarts it in the new format.
Readers take turns (one read at a time, the others wait their turn within their time-out); the
wait for a frame holds no lock of the camera, so controls are set meanwhile from other threads.
While sinks are attached (sinks.py) a pump thread reads the stream, and a read takes the next
frame the pump hands out.
"""

from __future__ import annotations

import threading
import time
from typing import Iterator, NamedTuple, Optional

from .. import pyLentraSDK as _binding
from ..errors import CameraClosedError, CaptureTimeoutError, NotSupportedError, \
    StreamClosedError, StreamError
from ..formats import Format
from ..status import status_value
from ..stream import Frame, FrameStream
from .link import Link
from .sinks import RETIRED, FramePump, FrameSink, Handed, named as _named

__all__ = ["CameraStream", "StreamOptions", "RunningStream", "timeout_ms"]

_MOST_SECONDS = 2147483.0  # the stream's time-outs are milliseconds in a C int


def timeout_ms(timeout: float | None) -> int | None:
    """A time-out in seconds (None: no limit) as whole milliseconds, checked."""
    if timeout is None:
        return None
    if isinstance(timeout, bool) or not isinstance(timeout, (int, float)):
        raise TypeError("timeout is in seconds (a number or None), not {}".format(
            type(timeout).__name__))
    if not 0 <= timeout <= _MOST_SECONDS:
        raise ValueError("timeout must be from 0 to {:.0f} seconds, or None, not {}".format(
            _MOST_SECONDS, timeout))
    return int(round(timeout * 1000))


class StreamOptions(NamedTuple):
    """How the camera's stream runs (see docs/streaming.md): `buffers` reused buffers (a
    `fixed` pool never grows), `latest`-frame mode, and the read time-out in milliseconds."""

    buffers: int = 4
    fixed: bool = False
    latest: bool = False
    timeout_ms: Optional[int] = 3000


class RunningStream:
    """The FrameStream of one opening of a camera, started and restarted as the camera needs,
    and the format it streams in: `record`, the LxFormat set through the Camera (None until
    one is set: the camera's first format)."""

    def __init__(self, link: Link) -> None:
        self._link = link
        self.record: _binding.LxFormat | None = None
        self._stream: FrameStream | None = None
        self.options = StreamOptions()
        self._generation = 0  # grows with every start and restart
        self._session = 0  # grows with every start from stopped: a view belongs to one session
        self._reading = threading.Lock()  # one reader at a time
        self._frames_before = 0  # frames and drops of the session's earlier streams
        self._dropped_before = 0
        self._pump: FramePump | None = None  # reads the stream while sinks are attached
        self.direct_reading = False  # a reader is in the stream's own read (the pump waits)

    def current_record(self) -> _binding.LxFormat:
        """The LxFormat frames come in: the one set, or the camera's first (where the SDK
        starts)."""
        if self.record is not None:
            return self.record
        records = self._link.records()
        if not records:
            raise NotSupportedError("{}: the camera offers no format that carries frames".format(
                self._link.name), status=status_value("LX_STATUS_NOT_SUPPORTED"))
        return records[0]

    @property
    def running(self) -> bool:
        return self._stream is not None

    @property
    def session(self) -> int:
        return self._session

    @property
    def stream(self) -> FrameStream | None:
        return self._stream

    # -- sinks: every frame, for each consumer that needs them all ------------------------------
    def sink(self, capacity: int) -> FrameSink:
        """A new sink of `capacity` frames, attached (the stream is started if it does not
        run)."""
        with self._link.locked():
            sink = FrameSink(self, self._link, capacity)
            if self._stream is None:
                self.start()
            if self._pump is None:
                self._pump = FramePump(self, self._link)
                self._pump.sinks.append(sink)
                self._pump.start()
            else:
                self._pump.sinks.append(sink)
            return sink

    def detach(self, sink: FrameSink) -> None:
        """Stops feeding `sink`; with none left the pump ends after its current read."""
        with self._link.locked():
            if self._pump is not None and sink in self._pump.sinks:
                self._pump.sinks.remove(sink)

    def pump_retired(self, pump: FramePump) -> None:
        """The pump found no sink left and ends (called under the lock): readers read the
        stream themselves again."""
        if self._pump is pump:
            self._pump = None

    def _end_pump(self, error: StreamError | CameraClosedError) -> None:
        pump, self._pump = self._pump, None
        if pump is not None:
            pump.stop(error)

    @property
    def frames(self) -> int:
        stream = self._stream
        return self._frames_before + (stream.frames if stream is not None else 0)

    @property
    def dropped(self) -> int:
        stream = self._stream
        return self._dropped_before + (stream.dropped if stream is not None else 0)

    def start(self, options: StreamOptions | None = None) -> None:
        """Starts the stream (with `options`, or the ones it ran with last); a running stream
        with other options is restarted with them, one with the same left as it is."""
        with self._link.locked():
            wanted = self.options if options is None else options
            if self._stream is not None:
                if wanted == self.options:
                    return
                self._begin(wanted, self.current_record())
                return
            self._frames_before = self._dropped_before = 0
            self._session += 1
            self._begin(wanted, self.current_record())

    def restart(self, record: _binding.LxFormat) -> None:
        """Runs the stream on in `record`'s format (the camera's format changed)."""
        with self._link.locked():
            self._begin(self.options, record)

    def _begin(self, options: StreamOptions, record: _binding.LxFormat) -> None:
        self._close_current()
        try:
            # The stream keeps no time-out of its own: every read passes the caller's.
            stream = FrameStream(self._link.handle, record, options.buffers, fixed=options.fixed,
                                 latest=options.latest, timeout_ms=None)
        except StreamError as error:
            named = _named(error, self._link.name)
            self._end_pump(StreamClosedError("{}: the stream stopped: it could not be started "
                                             "again ({})".format(self._link.name, error)))
            raise named from None
        self._stream = stream
        self.options = options
        self.record = record
        self._generation += 1

    def _close_current(self) -> None:
        stream, self._stream = self._stream, None
        if stream is not None:
            self._frames_before += stream.frames
            self._dropped_before += stream.dropped
            stream.close()  # ends a read waiting in another thread

    def stop(self, closing: bool = False) -> None:
        """Stops streaming; a read waiting in another thread ends with StreamClosedError, and
        every sink ends (with CameraClosedError when the camera is `closing`)."""
        with self._link.locked():
            self._close_current()
            if closing:
                self._end_pump(CameraClosedError("{}: the camera was closed".format(
                    self._link.name)))
            else:
                self._end_pump(StreamClosedError("{}: the stream was stopped".format(
                    self._link.name)))

    def read(self, timeout: float | None, session: int | None = None) -> Frame:
        """The next frame, waiting at most `timeout` seconds (None: no limit) in all, the wait
        for other readers included. Starts the stream when it is not running, unless `session`
        is given (a view's reads: the view's session must still be running)."""
        wait_ms = timeout_ms(timeout)
        wait = -1.0 if wait_ms is None else wait_ms / 1000.0  # -1: no limit, as Lock takes it
        deadline = None if wait_ms is None else time.monotonic() + wait
        if not self._reading.acquire(timeout=wait):
            raise CaptureTimeoutError("{}: no frame within the time-out: other threads were "
                                      "reading from the camera".format(self._link.name))
        try:
            while True:
                with self._link.locked():
                    if session is not None and (session != self._session or self._stream is None):
                        raise StreamClosedError("{}: the stream is closed".format(self._link.name))
                    pump = self._pump
                    if pump is None:
                        if self._stream is None:
                            self.start()
                        stream, generation = self._stream, self._generation
                        self.direct_reading = True
                if pump is not None:
                    handed = self._from_pump(pump, deadline)
                    if handed is None:
                        continue  # the last sink left: read the stream directly
                    return handed
                assert stream is not None
                left = None if deadline is None else max(0, int((deadline - time.monotonic()) * 1000))
                try:
                    # The wait releases the interpreter lock and holds no lock of the camera.
                    return stream.read(left)
                except StreamClosedError:
                    with self._link.locked():
                        restarted = self._generation != generation and self._stream is not None
                    if restarted and (session is None or session == self._session):
                        continue  # the format changed meanwhile: read on in the new one
                    if self._link.closed:
                        raise CameraClosedError("{}: the camera was closed while waiting for a "
                                                "frame".format(self._link.name)) from None
                    raise StreamClosedError("{}: the stream was stopped while waiting for a "
                                            "frame".format(self._link.name)) from None
                except StreamError as error:
                    raise _named(error, self._link.name) from None
                finally:
                    self.direct_reading = False
        finally:
            self._reading.release()

    def _from_pump(self, pump: FramePump, deadline: float | None) -> Frame | None:
        """The next frame the pump hands out (None: the pump ended for want of sinks), or the
        exception a read of the stream would have raised."""
        handed: Handed = pump.next_for_reader(deadline)
        if isinstance(handed, Frame):
            return handed
        if isinstance(handed, StreamError):
            raise _named(handed, self._link.name) from None
        if isinstance(handed, BaseException):
            raise handed
        if handed == RETIRED:
            return None
        with self._link.locked():  # a closing camera marks its link closed under this lock
            closed = self._link.closed
        if closed:
            raise CameraClosedError("{}: the camera was closed while waiting for a "
                                    "frame".format(self._link.name))
        raise StreamClosedError("{}: the stream was stopped while waiting for a "
                                "frame".format(self._link.name))


class CameraStream:
    """The camera's running stream as an iterator and a context manager: ``with
    cam.stream() as frames: for frame in frames: ...``. Iteration ends when the stream is
    stopped (``close()``, ``cam.stop()``) or the camera closed; a format change meanwhile
    does not end it, the frames go on in the new format. It keeps its camera alive while in
    use (`camera`)."""

    def __init__(self, camera: object, running: RunningStream, name: str) -> None:
        self.camera = camera
        self._running = running
        self._session = running.session
        self._name = name

    # -- reading ---------------------------------------------------------------------------------
    def read(self, timeout: float | None = None) -> Frame:
        """The next frame, waiting at most `timeout` seconds (None: the stream's time-out)."""
        if timeout is None:
            limit = self._running.options.timeout_ms
            timeout = None if limit is None else limit / 1000.0
        return self._running.read(timeout, self._session)

    def __iter__(self) -> Iterator[Frame]:
        return self

    def __next__(self) -> Frame:
        try:
            return self.read()
        except (StreamClosedError, CameraClosedError):
            raise StopIteration from None

    def close(self) -> None:
        """Stops the camera's stream (nothing when it was stopped already)."""
        if not self.closed:
            self._running.stop()

    def __enter__(self) -> CameraStream:
        if self.closed:
            raise StreamClosedError("{}: the stream is closed".format(self._name))
        return self

    def __exit__(self, *exc_info: object) -> None:
        self.close()

    # -- what it holds ---------------------------------------------------------------------------
    @property
    def closed(self) -> bool:
        running = self._running
        return running.session != self._session or not running.running

    def _current(self) -> FrameStream:
        stream = self._running.stream
        if stream is None or self.closed:
            raise StreamClosedError("{}: the stream is closed".format(self._name))
        return stream

    @property
    def format(self) -> _binding.LxFormat:
        """The LxFormat being captured."""
        return self._current().format

    @property
    def buffers(self) -> int:
        return self._running.options.buffers

    @property
    def fixed(self) -> bool:
        return self._running.options.fixed

    @property
    def latest(self) -> bool:
        return self._running.options.latest

    @property
    def timeout_ms(self) -> int | None:
        return self._running.options.timeout_ms

    @property
    def frames(self) -> int:
        """Frames delivered so far, over format changes."""
        return self._running.frames

    @property
    def dropped(self) -> int:
        """Frames the camera made that the stream did not deliver, so far."""
        return self._running.dropped

    @property
    def pool_size(self) -> int:
        return self._current().pool_size

    @property
    def pool_free(self) -> int:
        return self._current().pool_free

    def __repr__(self) -> str:
        if self.closed:
            return "<CameraStream of {!r} closed>".format(self._name)
        options = self._running.options
        try:
            shown = str(Format.from_record(self._current().format))
        except (StreamClosedError, ValueError):
            shown = "?"
        return "<CameraStream of {!r} {}{}{} buffers={} frames={} dropped={}>".format(
            self._name, shown, " latest" if options.latest else "",
            " fixed" if options.fixed else "", options.buffers, self.frames, self.dropped)
