"""``pylentrasdk.CameraGroup``: several cameras read as one, their frames matched into sets by the
cameras' clocks.

    with lx.CameraGroup([0, 1], sync=True) as group:   # opens and owns the cameras
        group.format = "1280x720:UYVY@30"
        frames = group.read(timeout=1.0)                # a FrameSet: one Frame per camera
        print(frames.skew)                              # seconds between earliest and latest

How it works (docs/camera-groups.md): each camera's running stream hands every frame to a sink
of the group's (Camera.sink: the stream is read in a thread of its own, whose wait holds neither
the interpreter lock nor the camera's lock, and other code may read, record or show the camera
meanwhile); a thread per camera takes them from the sink and queues them with their time. A set
is made when every camera has a frame within `max_skew` of the others'. Frames that cannot be
matched are dropped and counted; a set is handed out only when it is complete.

Times: cameras on the rig's trigger line (Sync and Non Periodic trigger modes) report their
timestamps on the line's clock, so their frames are compared by camera timestamp as they are.
A camera that times its frames itself has a clock of its own; its times are brought onto the
first camera's clock by the offset between the two clocks, estimated from the frames' arrival
(the least arrival-minus-timestamp of recent frames). Such a camera's skew is therefore
estimated, and shown as it is.

The group is written against the public Camera API only.
"""

from __future__ import annotations

import collections
import threading
import time
from typing import Deque, Iterable, Iterator, List, Optional, Sequence, Tuple, Union, overload

from ..errors import (CameraClosedError, CaptureTimeoutError, ControlValueError, LentraError,
                      StreamClosedError)
from ..formats import Format, FormatLike
from ..stream import Frame
from .camera import Camera
from .sinks import FrameSink

__all__ = ["CameraGroup", "FrameSet"]

#: What picks a camera for a group: its index, (part of) its name, or an open Camera.
CameraLike = Union[int, str, Camera]

# Trigger modes ("trigger_mode") that put a camera on the rig's trigger line.
_SYNC = 1
_LINE_MODES = (1, 3)
_OFFSET_WINDOW = 64  # frames whose arrival estimates a clock's offset
_READ_STEP = 0.5  # seconds a reader thread waits at a time before it looks whether to stop


class FrameSet(Sequence[Frame]):
    """One frame of each camera of a group, of one moment: ``frames[i]`` is camera i's.

    `times` are the frames' times in seconds on the group's clock (the first camera's), `skew`
    the seconds between the earliest and the latest, `skews` each frame's time less the first
    camera's (what a viewer shows per camera), `number` the set's place in the group's run."""

    __slots__ = ("frames", "times", "cameras", "number")

    def __init__(self, frames: Sequence[Frame], times: Sequence[float], cameras: Sequence[str],
                 number: int) -> None:
        self.frames: Tuple[Frame, ...] = tuple(frames)
        self.times: Tuple[float, ...] = tuple(times)
        self.cameras: Tuple[str, ...] = tuple(cameras)
        self.number = number

    @overload
    def __getitem__(self, index: int) -> Frame: ...

    @overload
    def __getitem__(self, index: slice) -> Sequence[Frame]: ...

    def __getitem__(self, index: Union[int, slice]) -> Union[Frame, Sequence[Frame]]:
        return self.frames[index]

    def __len__(self) -> int:
        return len(self.frames)

    @property
    def time(self) -> float:
        """The earliest frame's time, in seconds on the group's clock."""
        return min(self.times)

    @property
    def skew(self) -> float:
        """Seconds between the earliest and the latest frame of the set."""
        return max(self.times) - min(self.times)

    @property
    def skews(self) -> Tuple[float, ...]:
        """Each frame's time less the first camera's, in seconds."""
        return tuple(t - self.times[0] for t in self.times)

    def __repr__(self) -> str:
        return "<FrameSet #{} at {:.6f} s, skew {:.3f} ms: {}>".format(
            self.number, self.time, self.skew * 1000, ", ".join(
                "{!r} #{}".format(name, frame.number)
                for name, frame in zip(self.cameras, self.frames)))


class _Queued:
    """A frame waiting to be matched, with its time on its camera's clock."""

    __slots__ = ("frame", "raw")

    def __init__(self, frame: Frame, raw: float) -> None:
        self.frame = frame
        self.raw = raw


class _Member:
    """One camera of a group and its reader's state. Guarded by the group's condition."""

    def __init__(self, position: int, camera: Camera, owned: bool) -> None:
        self.position = position
        self.camera = camera
        self.owned = owned
        self.name = str(camera.name)
        self.mode_before: Optional[int] = None  # the trigger mode the group changed, to restore
        self.clock: object = position  # "line" for cameras on the trigger line
        self.queue: Deque[_Queued] = collections.deque()
        self.thread: Optional[threading.Thread] = None
        self.sink: Optional[FrameSink] = None  # every frame of the camera's stream
        self.failure: Optional[BaseException] = None
        self.was_running = False
        self.frames = 0  # frames read from the camera
        self.last_raw: float | None = None  # the latest frame's time on its camera's clock

    def label(self) -> str:
        return "camera {} ({!r})".format(self.position, self.name)

    def named(self, message: str) -> str:
        """`message` naming this camera by its place in the group (and by its name, unless
        the message starts with it already)."""
        if message.startswith(self.name + ":"):
            return "camera {} of the group, {}".format(self.position, message)
        return "camera {} of the group ({!r}): {}".format(self.position, self.name, message)


class CameraGroup:
    """Several cameras read as one: ``read()`` gives a FrameSet of one frame per camera, of
    one moment. Made from indices, names (or unique parts of them), which the group opens and
    closes, or open Camera objects, which it leaves open.

    `sync`: True puts every camera that has a trigger mode in Sync ("trigger_mode" 1), so they
    expose on the ticks of the rig's trigger line (the modes found are put back at close);
    cameras without one are matched by their timestamps only. False leaves the trigger modes as
    they are and matches the frames by their times.
    `max_skew`: the most seconds between the frames of one set (None: half the shortest frame
    period of the cameras' formats). `depth`: the most frames waiting per camera, and the most
    complete sets waiting to be read; beyond it the oldest are dropped and counted.
    `timeout`: how long iteration waits for a set (None: no limit).

    Counters: `sets` complete sets made; `incomplete` moments for which a camera had no frame
    (no set is handed out for them); `dropped` frames dropped unmatched; `skipped` complete
    sets dropped because nobody read them while `depth` newer ones waited.

    The frames are shared with the cameras' other consumers, so their arrays are read-only."""

    def __init__(self, cameras: Iterable[CameraLike], *, sync: bool = True,
                 max_skew: float | None = None, depth: int = 8,
                 timeout: float | None = 3.0) -> None:
        picked = list(cameras)
        if not picked:
            raise ValueError("a camera group needs at least one camera")
        if isinstance(depth, bool) or not isinstance(depth, int) or not 1 <= depth <= 60:
            raise ValueError("depth must be a whole number from 1 to 60, not {!r}".format(depth))
        self._user_max_skew = None if max_skew is None else _seconds(max_skew, "max_skew")
        self._timeout = None if timeout is None else _seconds(timeout, "timeout")
        self._depth = depth
        self._sync = bool(sync)
        self._cond = threading.Condition()
        self._stopping = threading.Event()
        self._ready: Deque[FrameSet] = collections.deque()
        self._offsets: dict[object, Deque[float]] = {}
        self._closed = False
        self._running = False
        # When every camera had given a frame: the latest of their first frames' times.
        self._started_at: float | None = None
        self.sets = 0
        self.incomplete = 0
        self.dropped = 0
        self.skipped = 0
        self._members: List[_Member] = []
        try:
            for position, which in enumerate(picked):
                self._members.append(self._member(position, which))
            if self._sync:
                for member in self._members:
                    self._put_in_sync(member)
            self._max_skew = self._user_max_skew if self._user_max_skew is not None \
                else self._default_max_skew()
        except BaseException:
            self._release()
            raise

    def _member(self, position: int, which: CameraLike) -> _Member:
        if isinstance(which, Camera):
            if which.closed:
                raise CameraClosedError("camera {} ({!r}) of the group is closed".format(
                    position, which.name))
            if any(m.camera is which for m in self._members):
                raise ValueError("camera {!r} is given twice".format(which.name))
            return _Member(position, which, owned=False)
        return _Member(position, Camera(which), owned=True)

    # -------------------------------------------------------------------------------------
    # Trigger modes and times
    # -------------------------------------------------------------------------------------
    @staticmethod
    def _trigger_mode(member: _Member) -> int | None:
        controls = member.camera.controls
        return controls["trigger_mode"] if "trigger_mode" in controls else None

    def _put_in_sync(self, member: _Member) -> None:
        mode = self._trigger_mode(member)
        if mode is not None and mode != _SYNC:
            member.camera.controls["trigger_mode"] = _SYNC
            member.mode_before = mode

    def _default_max_skew(self) -> float:
        rates = [fmt.fps for fmt in (m.camera.format for m in self._members) if fmt.fps]
        return 0.5 / max(rates) if rates else 0.5 / 30

    def _time(self, member: _Member, queued: _Queued) -> float:
        """A queued frame's time on the group's clock (the first camera's)."""
        reference = self._members[0].clock
        if member.clock == reference:
            return queued.raw
        return queued.raw + min(self._offsets[member.clock]) - min(self._offsets[reference])

    # -------------------------------------------------------------------------------------
    # Reading
    # -------------------------------------------------------------------------------------
    def start(self) -> None:
        """Starts every camera's stream and its reader (the first read does it too)."""
        with self._cond:
            self._check_open()
            if self._running:
                return
            self._running = True
        try:
            for member in self._members:
                # The clocks the cameras report on, by the trigger modes they start with.
                member.clock = "line" if self._trigger_mode(member) in _LINE_MODES \
                    else member.position
                member.was_running = member.camera.running
                if not member.was_running:
                    member.camera.start(buffers=min(64, self._depth + 2))
                member.sink = member.camera.sink(self._depth)
        except BaseException:
            # No reader runs yet: the streams started are stopped, and the next read tries
            # again.
            self._stop_readers()
            self._stopping.clear()
            with self._cond:
                self._running = False
            raise
        for member in self._members:
            member.thread = threading.Thread(target=self._read_camera, args=(member,),
                                             name="CameraGroup reader of {}".format(member.name),
                                             daemon=True)
            member.thread.start()

    def _read_camera(self, member: _Member) -> None:
        sink = member.sink
        while sink is not None and not self._stopping.is_set():
            try:
                frame = sink.get(_READ_STEP)
            except CaptureTimeoutError:
                continue  # no frame yet (a camera waiting for a pulse): the group's read decides
            except StreamClosedError:
                if self._stopping.is_set():
                    return
                # The stream was stopped from outside: a new sink starts it again.
                try:
                    sink = member.sink = member.camera.sink(self._depth)
                except BaseException as error:  # noqa: BLE001 - the group's next read raises it
                    self._fail(member, error)
                    return
                continue
            except BaseException as error:  # noqa: BLE001 - the group's next read raises it
                self._fail(member, error)
                return
            stamp = frame.sensor_timestamp
            raw = frame.timestamp if stamp is None else stamp
            with self._cond:
                member.frames += 1
                offsets = self._offsets.get(member.clock)
                if offsets is None:  # the clock's first frame
                    offsets = self._offsets[member.clock] = collections.deque(
                        maxlen=_OFFSET_WINDOW)
                if member.clock != "line" and member.last_raw is not None \
                        and raw < member.last_raw:
                    # The camera's own clock went back: its stream was restarted (a new format,
                    # a stop), and counts from its new start. What was learnt of the old clock,
                    # and the frames timed by it, are of no use any more. (The line's clock
                    # never starts again.)
                    offsets.clear()
                    self.dropped += len(member.queue)
                    member.queue.clear()
                member.last_raw = raw
                offsets.append(frame.timestamp - raw)
                member.queue.append(_Queued(frame, raw))
                if self._match_locked():
                    self._cond.notify_all()
            del frame

    def _fail(self, member: _Member, error: BaseException) -> None:
        """The camera failed (closed, or its stream's reads kept failing): the group's next
        read says so."""
        with self._cond:
            member.failure = error
            self._cond.notify_all()

    def _match_locked(self) -> bool:
        """Makes the sets the queued frames allow; whether it made one."""
        made = False
        members = self._members
        while True:
            for member in members:
                # Bounded: a camera that gets ahead of a silent one loses its oldest frames.
                while len(member.queue) > self._depth:
                    self._drop_locked([(member, member.queue[0])])
            if any(not m.queue for m in members):
                return made
            times = [self._time(m, m.queue[0]) for m in members]
            latest = max(times)
            if self._started_at is None:
                self._started_at = latest  # the last camera to start: its first frame
            # A frame earlier than the latest head by more than max_skew has no partner in that
            # camera: its later frames are later still.
            unmatched = [(m, m.queue[0]) for m, t in zip(members, times)
                         if t < latest - self._max_skew]
            if unmatched:
                self._drop_locked(unmatched)
                continue
            # A camera with a later frame still no later than the latest head has a nearer one.
            superseded = [m for m in members
                          if len(m.queue) > 1 and self._time(m, m.queue[1]) <= latest]
            if superseded:
                for member in superseded:
                    member.queue.popleft()
                    self.dropped += 1
                continue
            frames = [m.queue.popleft().frame for m in members]
            self.sets += 1
            self._ready.append(FrameSet(frames, times, [m.name for m in members], self.sets))
            while len(self._ready) > self._depth:
                self._ready.popleft()
                self.skipped += 1
                self.dropped += len(members)
            made = True

    def _drop_locked(self, heads: list[tuple[_Member, _Queued]]) -> None:
        """Drops the cameras' head frames `heads`, which have no partner: a moment with no
        set, unless it came before every camera had started (then a camera's stream had not
        started yet, and no set was missed)."""
        started = self._started_at is not None and any(
            self._time(member, queued) >= self._started_at - self._max_skew
            for member, queued in heads)
        for member, _ in heads:
            member.queue.popleft()
        self.dropped += len(heads)
        if started:
            self.incomplete += 1

    def read(self, timeout: float | None = 3.0) -> FrameSet:
        """The next complete set, waiting at most `timeout` seconds (None: no limit). Starts
        the cameras when they do not run. A camera that failed (closed, or unplugged or faulted:
        its stream's reads failing for two seconds) raises its error here, naming it; no set in
        time raises CaptureTimeoutError naming the cameras that gave no frame."""
        limit = None if timeout is None else _seconds(timeout, "timeout")
        deadline = None if limit is None else time.monotonic() + limit
        self.start()
        with self._cond:
            counts = [m.frames for m in self._members]
            while True:
                self._check_open()
                self._raise_failure_locked()
                if self._ready:
                    return self._ready.popleft()
                left = None if deadline is None else deadline - time.monotonic()
                if left is not None and left <= 0:
                    raise CaptureTimeoutError(self._no_set_message(limit, counts))
                self._cond.wait(left)

    def _raise_failure_locked(self) -> None:
        for member in self._members:
            error = member.failure
            if error is None:
                continue
            if isinstance(error, LentraError):
                raise type(error)(member.named(str(error)), error.function,
                                  error.status) from error
            raise error

    def _no_set_message(self, limit: float | None, counts: list[int]) -> str:
        """Why no set came: the cameras that gave no frame while the read waited, or else
        frames too far apart."""
        silent = [m.label() for m, count in zip(self._members, counts)
                  if m.frames == count and not m.queue]
        why = "no frame from {}".format(", ".join(silent)) if silent else \
            "the cameras' frames were not within {:.3f} ms of each other".format(
                self._max_skew * 1000)
        return "no complete set of frames within {} s: {}".format(limit, why)

    def __iter__(self) -> Iterator[FrameSet]:
        return self

    def __next__(self) -> FrameSet:
        try:
            return self.read(self._timeout)
        except StreamClosedError:
            raise StopIteration from None

    # -------------------------------------------------------------------------------------
    # The cameras
    # -------------------------------------------------------------------------------------
    @property
    def cameras(self) -> Tuple[Camera, ...]:
        """The group's cameras, in its order."""
        return tuple(m.camera for m in self._members)

    def __getitem__(self, index: int) -> Camera:
        return self._members[index].camera

    def __len__(self) -> int:
        return len(self._members)

    @property
    def sync(self) -> bool:
        return self._sync

    @property
    def clocks(self) -> Tuple[str, ...]:
        """Which clock each camera's times are on: "line" for the trigger line's (Sync, Non
        Periodic: their skews are exact) or "own" for a camera's own clock (its skew to the
        others is estimated). Decided by the trigger modes when the group starts; before, by
        the modes now."""
        if not self._running:
            return tuple("line" if self._trigger_mode(m) in _LINE_MODES else "own"
                         for m in self._members)
        return tuple("line" if m.clock == "line" else "own" for m in self._members)

    @property
    def max_skew(self) -> float:
        """The most seconds between the frames of one set."""
        return self._max_skew

    @property
    def running(self) -> bool:
        return self._running and not self._closed

    @property
    def format(self) -> Format | None:
        """The cameras' format when they all have one (None when they differ). Setting it
        sets every camera's; a format one camera lacks raises ControlValueError naming it, and
        no camera is changed."""
        formats = {m.camera.format for m in self._members}
        return formats.pop() if len(formats) == 1 else None

    @format.setter
    def format(self, wanted: FormatLike) -> None:
        self._check_open()
        for member in self._members:
            offered = member.camera.formats
            if isinstance(wanted, str):
                try:
                    wanted = Format.parse(wanted)
                except ValueError as error:
                    raise ControlValueError("{}: {}".format(member.label(), error)) from None
            if isinstance(wanted, Format) and not any(wanted.matches(f) for f in offered):
                raise ControlValueError("{} has no format {}".format(member.label(), wanted))
        for member in self._members:
            member.camera.format = wanted
        with self._cond:
            # Frames of the old format do not make sets with frames of the new one.
            for member in self._members:
                member.queue.clear()
            self._ready.clear()
            if self._user_max_skew is None:
                self._max_skew = self._default_max_skew()

    # -------------------------------------------------------------------------------------
    # Lifetime
    # -------------------------------------------------------------------------------------
    def _check_open(self) -> None:
        if self._closed:
            raise StreamClosedError("the camera group is closed")

    def _stop_readers(self) -> None:
        self._stopping.set()
        for member in self._members:
            if member.sink is not None:
                member.sink.close()  # a reader waiting for a frame stops waiting
        for member in self._members:
            if member.thread is not None:
                member.thread.join()
                member.thread = None
        for member in self._members:
            # A reader may have attached a new sink just before it saw the stop.
            if member.sink is not None:
                member.sink.close()
                member.sink = None
            if not member.was_running and not member.camera.closed:
                try:
                    member.camera.stop()
                except LentraError:
                    pass

    def _release(self) -> None:
        """Stops the readers, puts the trigger modes back and closes the cameras opened here.
        As Camera.close does, it goes on past a camera that cannot be reached any more (one
        unplugged or closed behind the group's back has nothing left to put back)."""
        self._stop_readers()
        for member in self._members:
            if member.mode_before is not None and not member.camera.closed:
                try:
                    member.camera.controls["trigger_mode"] = member.mode_before
                except LentraError:
                    pass
                member.mode_before = None
            if member.owned:
                member.camera.close()

    def close(self) -> None:
        """Stops reading, puts back the trigger modes the group changed and closes the cameras
        it opened (cameras given open stay open). A read waiting in another thread ends with
        StreamClosedError; closing twice does nothing."""
        with self._cond:
            if self._closed:
                return
            self._closed = True
            self._cond.notify_all()
        self._release()

    @property
    def closed(self) -> bool:
        return self._closed

    def __enter__(self) -> CameraGroup:
        self._check_open()
        return self

    def __exit__(self, *exc_info: object) -> None:
        self.close()

    def __repr__(self) -> str:
        state = "closed" if self._closed else "running" if self._running else "stopped"
        # Which clock a camera reports on is known once the group runs.
        cameras = ", ".join("{} {!r}{}".format(
            m.position, m.name, "" if not self._running else
            " (line)" if m.clock == "line" else " (own clock)") for m in self._members)
        return "<CameraGroup {}{}: {}; {} sets, {} incomplete, {} dropped, {} skipped; " \
            "max skew {:.3f} ms>".format(state, ", sync" if self._sync else "", cameras,
                                         self.sets, self.incomplete, self.dropped, self.skipped,
                                         self._max_skew * 1000)


def _seconds(value: object, what: str) -> float:
    if isinstance(value, bool) or not isinstance(value, (int, float)):
        raise TypeError("{} is in seconds (a number), not {}".format(what, type(value).__name__))
    if not 0 <= value <= 2147483.0:
        raise ValueError("{} must be from 0 to 2147483 seconds, not {}".format(what, value))
    return float(value)
