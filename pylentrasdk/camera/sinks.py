"""Every frame of a camera's running stream, for each consumer that needs them all (a recording,
a viewer, a group of cameras), whether or not other code reads from the camera too.

A `FrameSink` is one consumer's share: a bounded queue that receives every frame the stream
delivers while the sink is attached. While any sink is attached, one `FramePump` thread reads the
stream and hands each frame to every sink and to a ``read()`` waiting for one; with no sink the
stream is read by its readers directly, as if this module did not exist.

- A sink whose queue is full drops the frame for itself alone and counts it (`dropped`): a slow
  consumer never holds up the stream, the other sinks or the readers.
- The frames are shared by every consumer, so their arrays are made read-only: a consumer that
  drew on a frame would change what the others get (a recording, say). Copy a frame to change it.
- A format change goes on under the sinks: frames come in the new format (look at
  ``frame.format``). Stopping the stream or closing the camera ends every sink: its queued frames
  are still handed out, then ``get`` raises StreamClosedError or CameraClosedError.
- Frames held in queues hold buffers of the stream's pool, which grows to hold them (a fixed pool
  does not: the pump, and a read, then wait for a buffer to be freed, and the camera's frames
  meanwhile are counted as dropped by the stream).
- A failed read is handed to the read waiting for a frame, if any, and the pump reads on; a
  stream whose reads have all failed for two seconds (the camera gone, a stream that refuses its
  frames) ends the sinks with that failure.
"""

from __future__ import annotations

import atexit
import collections
import threading
import time
import weakref
from typing import TYPE_CHECKING, Deque, Iterator, List, Optional, Union

from ..errors import CameraClosedError, CaptureTimeoutError, PoolExhaustedError, \
    StreamClosedError, StreamError
from ..stream import Frame
from .link import Link

if TYPE_CHECKING:
    from .streaming import RunningStream

__all__ = ["FrameSink", "FramePump", "Handed", "RETIRED", "STOPPED", "named"]


def named(error: StreamError, name: str) -> StreamError:
    """The stream's exception again, its message naming the camera."""
    renamed = type(error)("{}: {}".format(name, error))
    renamed.function, renamed.status, renamed.status_name = error.function, error.status, \
        error.status_name
    return renamed

_STEP_MS = 200  # the pump's longest wait for a frame before it looks whether it is still wanted
_PAUSE = 0.005  # after a failed read, before the next: a failing camera is not asked in a loop
_GIVE_UP = 2.0  # seconds of nothing but failed reads after which the sinks end with the failure
_MOST_CAPACITY = 1024


class FrameSink:
    """A bounded queue of the frames of a camera's stream (``Camera.sink()``): ``get`` gives
    them in the order the stream delivered them. `received` counts the frames put in the queue,
    `dropped` those the sink missed because its queue was full. Closing it (or leaving its
    ``with`` block) detaches it; the frames still queued can be taken after that."""

    def __init__(self, running: RunningStream, link: Link, capacity: int) -> None:
        if isinstance(capacity, bool) or not isinstance(capacity, int):
            raise TypeError("capacity is a whole number of frames, not {}".format(
                type(capacity).__name__))
        if not 1 <= capacity <= _MOST_CAPACITY:
            raise ValueError("capacity must be from 1 to {} frames, not {}".format(
                _MOST_CAPACITY, capacity))
        self._link = link
        self.capacity = capacity
        self._queue: Deque[Frame] = collections.deque()
        self._ready = threading.Condition(threading.Lock())
        self._end: Optional[StreamError | CameraClosedError] = None
        self._running: Optional[RunningStream] = running  # None once detached
        self.received = 0
        self.dropped = 0

    # -- fed by the pump -------------------------------------------------------------------------
    def offer(self, frame: Frame) -> None:
        """Queues `frame`, or counts it as dropped when the queue is full. Never waits."""
        with self._ready:
            if self._end is not None:
                return
            if len(self._queue) >= self.capacity:
                self.dropped += 1
                return
            self._queue.append(frame)
            self.received += 1
            self._ready.notify()

    def end(self, error: StreamError | CameraClosedError) -> None:
        """No frame comes after the queued ones: once they are taken, ``get`` raises `error`."""
        with self._ready:
            if self._end is None:
                self._end = error
            self._ready.notify_all()

    # -- the consumer's side ---------------------------------------------------------------------
    def get(self, timeout: float | None = None) -> Frame:
        """The next frame, waiting at most `timeout` seconds (None: no limit); CaptureTimeoutError
        when none came, and once the sink has ended and its queue is empty the exception that
        ended it (StreamClosedError: the stream was stopped or the sink closed;
        CameraClosedError: the camera was closed; another StreamError: the stream's reads kept
        failing)."""
        deadline = None if timeout is None else time.monotonic() + timeout
        with self._ready:
            while not self._queue:
                if self._end is not None:
                    raise self._end
                left = None if deadline is None else deadline - time.monotonic()
                if left is not None and left <= 0:
                    raise CaptureTimeoutError("{}: no frame within the time-out".format(
                        self._link.name))
                self._ready.wait(left)
            return self._queue.popleft()

    def __iter__(self) -> Iterator[Frame]:
        return self

    def __next__(self) -> Frame:
        """The next frame, however long it takes; the iteration ends with the sink."""
        try:
            return self.get(None)
        except (StreamClosedError, CameraClosedError):
            raise StopIteration from None

    @property
    def pending(self) -> int:
        """Frames in the queue now."""
        with self._ready:
            return len(self._queue)

    @property
    def ended(self) -> bool:
        """Whether no more frames will come (they may still be queued)."""
        with self._ready:
            return self._end is not None

    def close(self) -> None:
        """Detaches the sink from the stream; nothing when it has ended already."""
        running, self._running = self._running, None
        if running is not None:
            running.detach(self)
        self.end(StreamClosedError("{}: the sink was closed".format(self._link.name)))

    def __enter__(self) -> FrameSink:
        return self

    def __exit__(self, *exc_info: object) -> None:
        self.close()

    def __repr__(self) -> str:
        return "<FrameSink of {!r} {} pending={} received={} dropped={}>".format(
            self._link.name, "ended" if self.ended else "attached", self.pending,
            self.received, self.dropped)


# What a reader waiting on the pump is handed: a frame, the exception of a failed read, or one
# of the two endings below.
RETIRED = "retired"  # the last sink left: read the stream directly again
STOPPED = "stopped"  # the stream was stopped (or the camera closed)
Handed = Union[Frame, BaseException, str]


class FramePump:
    """The thread that reads a camera's stream while sinks are attached (see the module's
    text). Made and ended by the RunningStream under the camera's lock."""

    def __init__(self, running: RunningStream, link: Link) -> None:
        self._running = running
        self._link = link
        self.sinks: List[FrameSink] = []
        self.ended = False  # the stream was stopped: this pump reads no more
        self._handed = threading.Condition(threading.Lock())
        self._serial = 0  # grows with everything handed to readers
        self._last: Handed = RETIRED
        self._final: Optional[str] = None  # RETIRED or STOPPED once the pump reads no more
        self._waiting = 0  # readers waiting for the next frame
        self._thread = threading.Thread(target=self._run, name="frame pump of {}".format(
            link.name), daemon=True)

    def start(self) -> None:
        _pumps.add(self)
        self._thread.start()

    def join(self, timeout: float | None = None) -> None:
        """Waits for the thread to end (after stop(), or once no sink is left)."""
        self._thread.join(timeout)

    def stop(self, error: StreamError | CameraClosedError) -> None:
        """The stream was stopped (under the camera's lock): every sink ends with `error` and a
        waiting reader is told; the thread ends after the read it is in."""
        self.ended = True
        sinks, self.sinks = self.sinks, []
        for sink in sinks:
            sink.end(error)
        self._hand(STOPPED)

    # -- readers ---------------------------------------------------------------------------------
    def next_for_reader(self, deadline: float | None) -> Handed:
        """What the pump hands out next: a frame, the exception of a failed read, RETIRED or
        STOPPED; CaptureTimeoutError when nothing came before `deadline` (time.monotonic())."""
        with self._handed:
            if self._final is not None:
                return self._final
            seen = self._serial
            self._waiting += 1
            try:
                while self._serial == seen:
                    left = None if deadline is None else deadline - time.monotonic()
                    if left is not None and left <= 0:
                        raise CaptureTimeoutError("{}: no frame within the time-out".format(
                            self._link.name))
                    self._handed.wait(left)
                return self._last
            finally:
                self._waiting -= 1
                if not self._waiting:
                    self._last = RETIRED  # a frame nobody waits for is not kept

    def _hand(self, handed: Handed) -> None:
        with self._handed:
            if isinstance(handed, str):
                self._final = handed
            elif not self._waiting or self._final is not None:
                return
            self._serial += 1
            self._last = handed
            self._handed.notify_all()

    # -- the thread ------------------------------------------------------------------------------
    def _run(self) -> None:
        try:
            self._pump()
        finally:
            _pumps.discard(self)

    def _pump(self) -> None:
        running = self._running
        # A read that began before the pump was made finishes first: a stream has one reader.
        while running.direct_reading and not self.ended:
            time.sleep(0.001)
        failing: Optional[float] = None  # since when every read failed
        while True:
            with self._link.locked():
                if self.ended:
                    return
                if not self.sinks:
                    running.pump_retired(self)
                    self._hand(RETIRED)
                    return
                stream = running.stream
            if stream is None:  # stopped: stop() has run or is about to, under the lock
                time.sleep(_PAUSE)
                continue
            began = time.monotonic()
            try:
                frame = stream.read(_STEP_MS)
            except StreamClosedError:
                continue  # restarted in another format, or stopped: the lock says which
            except CaptureTimeoutError as error:
                if time.monotonic() - began >= _STEP_MS / 2000.0:
                    continue  # no frame in this step: the readers keep their own time-outs
                # The camera answered "no frame" at once: a reader would have been told.
                self._hand(error)
                time.sleep(_PAUSE)
                continue
            except PoolExhaustedError:
                # A fixed pool whose buffers are all held by queued frames: they are freed as
                # the sinks are read, so a waiting reader waits on (within its time-out).
                time.sleep(_PAUSE)
                continue
            except Exception as error:  # noqa: BLE001 - handed to the reader that would see it
                self._hand(error)
                failing = time.monotonic() if failing is None else failing
                if isinstance(error, StreamError) and time.monotonic() - failing >= _GIVE_UP:
                    self._give_up(error)
                    return
                time.sleep(_PAUSE)
                continue
            failing = None
            frame.array.flags.writeable = False  # shared by every consumer
            # Under the lock, so that a stop comes before or after the frame for every sink.
            with self._link.locked():
                for sink in self.sinks:
                    sink.offer(frame)
            self._hand(frame)
            del frame

    def _give_up(self, error: StreamError) -> None:
        """Every read has failed for a while: the sinks end with the failure, readers read the
        stream directly (and are told of its failures themselves)."""
        with self._link.locked():
            if self.ended:
                return
            sinks, self.sinks = self.sinks, []
            for sink in sinks:
                sink.end(named(error, self._link.name))
            self._running.pump_retired(self)
            self._hand(RETIRED)



# A pump still running when the interpreter exits (its camera left open) is ended and waited for
# first: a thread still inside a read of the stream when the interpreter is torn down cannot take
# the interpreter back, and the process would abort.
_pumps: "weakref.WeakSet[FramePump]" = weakref.WeakSet()


def _end_pumps() -> None:
    pumps = list(_pumps)
    for pump in pumps:
        pump.ended = True
    for pump in pumps:
        pump.join(timeout=2.0)


atexit.register(_end_pumps)
