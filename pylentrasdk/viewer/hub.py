"""The cameras as the viewer sees them: one `Hub` per camera, over `pylentrasdk.Camera`.

A Hub shares one capture of a camera among every browser tab that watches it: the camera's
running stream in latest-frame mode, read by one thread, each frame encoded to JPEG once, and the
same encoded bytes handed to every viewer. The camera is opened for the first viewer, and its
stream stopped and the camera closed when the last one leaves. A viewer choosing another format
changes the camera's format: its stream goes on in the new one, for every viewer. Calls of one
camera run one at a time on that camera's own worker thread, so a slow call of one camera never
holds up the event loop or another camera. The web handlers never call the camera layer
themselves.

A hub also records its camera into a video file (``Camera.record``) on request. A recording holds
the camera's stream as a viewer does: viewers may come and go meanwhile, and the stream stops
when the last of them and the recording are gone. While it records, the camera's format stays as
it is (a file holds one picture size): a viewer's choice of another format is refused.
"""

from __future__ import annotations

import asyncio
import collections
import contextlib
import concurrent.futures
import io
import math
import os
import re
import threading
import time
from typing import Any, Awaitable, Callable, Iterator, TypeVar

from .. import control_names, frames
from ..camera import Camera, CameraStream, Recording, cameras
from ..errors import ControlValueError, LentraError, NotSupportedError, RecordingError, \
    StreamClosedError, UnknownControlError
from ..formats import Format
from ..stream import Frame

JPEG_QUALITY = 80
READ_TIMEOUT_S = 3.0
# A camera opened for requests alone (controls, IMU readings, a snapshot) stays open this long
# after the last one, so that a page polling its IMU does not reopen it ten times a second.
IDLE_CLOSE_S = 2.0
# Recordings are Matroska files: a file cut short (a crash, a power cut) still plays.
RECORDING_EXTENSION = ".mkv"
# How many names a recording tries ("-2", "-3", ...) before it gives up on a folder.
_MOST_NAMES = 1000
# How often a recording is looked at to see whether it ended by itself.
_RECORDING_CHECK_S = 0.25

_T = TypeVar("_T")


class CameraError(Exception):
    """The camera refused: `status_name` names its status ("LX_STATUS_BUSY", "LX_TIMEOUT")."""

    def __init__(self, message: str, status_name: str | None = None) -> None:
        super().__init__(message)
        self.status_name = status_name


class Conflict(Exception):
    """A request that the camera's present state rules out (HTTP 409): recording twice, stopping
    a recording that does not run, another format while the camera records."""


class ControlError(Exception):
    """A control change that is refused before the SDK is asked (`http` says how: 400, 404,
    409), or that the SDK refused (400)."""

    def __init__(self, message: str, http: int) -> None:
        super().__init__(message)
        self.http = http


def _camera_error(error: LentraError) -> CameraError:
    return CameraError(str(error), error.status_name or type(error).__name__)


@contextlib.contextmanager
def _refused() -> Iterator[None]:
    """The camera layer's refusal inside the block, as the CameraError the handlers answer."""
    try:
        yield
    except LentraError as error:
        raise _camera_error(error) from None


def encode_jpeg(frame: Frame, quality: int = JPEG_QUALITY) -> bytes:
    """The frame as JPEG bytes, encoded in C++ with the interpreter lock released (from the
    YUV planes directly for YUY2, UYVY and NV12); an MJPG frame is a JPEG already and goes out
    as it came, once its header has been checked."""
    return frames.to_jpeg(frame, quality=quality)


def encode_png(frame: Frame) -> bytes:
    """The frame as PNG bytes at full resolution."""
    from PIL import Image

    out = io.BytesIO()
    Image.fromarray(frames.to_rgb(frame)).save(out, "PNG", compress_level=1)
    return out.getvalue()


class Device:
    """One camera of the rig by its discovery index: its identity and formats (read once), and
    the calls the viewer makes on it, through a Camera. Not thread-safe: its Hub calls it from
    one thread. The camera is open only while `camera` is not None."""

    def __init__(self, index: int, name: str) -> None:
        self.index = index
        self.name = name
        self.camera: Camera | None = None
        self.formats: list[Format] = []  # numbered as `lxctl formats` numbers them
        self.imu = False
        self.error: str | None = None  # the status name that kept it from being read, if any

    def describe(self) -> None:
        """Reads the formats and whether there is an IMU (opening the camera for it)."""
        try:
            camera = self.open()
            self.formats = camera.formats
            try:
                self.imu = camera.imu is not None  # NotSupportedError without one
            except NotSupportedError:
                self.imu = False
        except CameraError as error:
            self.error = error.status_name
        except LentraError as error:
            self.error = _camera_error(error).status_name
        finally:
            self.close()

    def info(self) -> dict[str, Any]:
        return {"index": self.index, "name": self.name, "imu": self.imu, "error": self.error,
                "formats": [dict(index=i, **f.as_dict()) for i, f in enumerate(self.formats)]}

    def open(self) -> Camera:
        if self.camera is None:
            with _refused():
                self.camera = Camera(self.index)
        return self.camera

    def close(self) -> None:
        camera, self.camera = self.camera, None
        if camera is not None:
            camera.close()  # stops its stream first

    def stream(self, format_index: int) -> CameraStream:
        """The camera's stream in latest-frame mode, in the format (a running stream goes on
        in it)."""
        camera = self.open()
        with _refused():
            camera.format = self.formats[format_index]
            return camera.stream(buffers=4, latest=True, timeout=READ_TIMEOUT_S)

    def switch(self, format_index: int) -> None:
        """The running stream goes on in another format."""
        with _refused():
            self.open().format = self.formats[format_index]

    def snapshot(self, format_index: int) -> Frame:
        """One frame of the format, captured for it (the camera streams nothing); the stream
        stops after it."""
        camera = self.open()
        with _refused():
            camera.format = self.formats[format_index]
            try:
                return camera.read(READ_TIMEOUT_S)
            finally:
                camera.stop()

    # -- controls ------------------------------------------------------------------------------
    def controls(self) -> list[dict[str, Any]]:
        """The controls as Controls.listing gives them, each with its `label` in words."""
        with _refused():
            listed = self.open().controls.listing()
        for entry in listed:
            entry["label"] = control_names.words_of(entry["name"])
        return listed

    def set_control(self, name: str, value: int) -> int:
        """Checks `value` against the control's range and sets it; the value read back (the
        camera may round it to its step)."""
        controls = self.open().controls
        try:
            controls[name] = value
            return controls[name]
        except UnknownControlError as error:
            raise ControlError(str(error), 404) from None
        except ControlValueError as error:  # checked before the SDK is asked, or refused
            read_only = error.function is None and controls.info(name).read_only
            raise ControlError(str(error), 409 if read_only else 400) from None
        except LentraError as error:  # the SDK refused
            raise ControlError(str(error), 400) from None

    def trigger_mode(self) -> int | None:
        """The camera's trigger mode (1: Sync), or None when it has none or is not open."""
        camera = self.camera
        if camera is None:
            return None
        try:
            controls = camera.controls
            return controls["trigger_mode"] if "trigger_mode" in controls else None
        except LentraError:
            return None

    def record(self, folder: str) -> Recording:
        """Records the running stream into a new file in `folder`, named after the camera and
        the time; a name that is taken is never replaced: the next one is tried ("-2", "-3",
        ...). ImportError without PyAV."""
        camera = self.open()
        stem = os.path.join(folder, recording_name(self.index, self.name, time.localtime()))
        for number in range(1, _MOST_NAMES + 1):
            path = stem + ("" if number == 1 else "-{}".format(number)) + RECORDING_EXTENSION
            try:
                with _refused():
                    return camera.record(path)
            except FileExistsError:
                continue
        raise FileExistsError("{}: {} names are taken already".format(stem, _MOST_NAMES))

    def imu_reading(self) -> dict[str, Any]:
        with _refused():
            reading = self.open().imu.read()
        return {"acc": list(reading.acceleration), "gyro": list(reading.angular_rate),
                "temperature": reading.temperature}


def recording_name(index: int, name: str, when: time.struct_time) -> str:
    """A recording's file name without its extension: the camera's index, its name in letters
    and digits alone (a name from the SDK is no path: "../x" is "x") and the local time, such
    as "camera1-KAVN-AR0234-MIPI-Camera-20240501-153012"."""
    words = re.sub(r"[^A-Za-z0-9]+", "-", name).strip("-")[:48].strip("-") or "camera"
    return "camera{}-{}-{}".format(index, words, time.strftime("%Y%m%d-%H%M%S", when))


def discover() -> list[Device]:
    """Every camera of the rig, each described (formats, IMU)."""
    devices = [Device(info.index, info.name) for info in cameras()]
    for device in devices:
        device.describe()
    return devices


class Encoded:
    """One frame, encoded once for every viewer: `jpeg` bytes, the frame's `number`, its capture
    `timestamp` (monotonic seconds) and `seq`, the hub's own count over all its streams."""

    __slots__ = ("seq", "jpeg", "number", "timestamp")

    def __init__(self, seq: int, jpeg: bytes, number: int, timestamp: float) -> None:
        self.seq, self.jpeg, self.number, self.timestamp = seq, jpeg, number, timestamp


class Hub:
    """The shared capture of one camera, driven from the event loop."""

    def __init__(self, device: Device, loop: asyncio.AbstractEventLoop) -> None:
        self.device = device
        self.loop = loop
        self.sdk = concurrent.futures.ThreadPoolExecutor(
            max_workers=1, thread_name_prefix="viewer-camera-{}".format(device.index))
        self.viewers = 0
        self.format_index: int | None = None
        self.error = device.error
        self.latest: Encoded | None = None  # the newest Encoded
        self._raw: Frame | None = None  # the newest captured Frame, for snapshots
        self._stream: CameraStream | None = None
        self._reader: threading.Thread | None = None
        # Done when a frame comes or the capture stops; then replaced by a new one.
        self._changed: asyncio.Future[None] = loop.create_future()
        self._lock = asyncio.Lock()
        self._idle: asyncio.TimerHandle | None = None  # closes a camera no one watches
        self._published: collections.deque[float] = collections.deque(maxlen=64)
        self.dropped = 0
        self._seq = 0  # frames published, over every stream this hub ran
        self.closed = False
        # Told before the stream stops, and after it starts, switches or stops: the viewer
        # takes a camera out of its group of cameras in Sync before its stream goes.
        self.before_stop: Callable[[Hub], Awaitable[None]] | None = None
        self.on_change: Callable[[], None] | None = None
        self._recording: Recording | None = None  # the newest recording, running or ended
        self._recording_holds = False  # it holds the stream, until the hub has stopped it
        self._recording_error: str | None = None  # why it ended early, if it did
        self._recording_watch: asyncio.Task[None] | None = None

    async def call(self, function: Callable[..., _T], *args: Any) -> _T:
        """Runs a Device method on this camera's SDK thread."""
        return await self.loop.run_in_executor(self.sdk, function, *args)

    # -- what the page polls ---------------------------------------------------------------------
    def status(self) -> dict[str, Any]:
        now = time.monotonic()
        recent = [t for t in self._published if now - t <= 1.0]
        fps = 0.0
        if len(recent) >= 2 and self._stream is not None:
            fps = (len(recent) - 1) / max(recent[-1] - recent[0], 1e-6)
        return {"streaming": self._stream is not None, "viewers": self.viewers,
                "format": self.format_index, "fps": round(fps, 1), "dropped": self.dropped,
                "frames": self._seq, "error": self.error, "record": self.recording_status()}

    def recording_status(self) -> dict[str, Any] | None:
        """The newest recording: whether it runs, its frames, those dropped, its seconds, its
        file and why it ended early (None: it did not); None before the first."""
        recording = self._recording
        if recording is None:
            return None
        error = self._recording_error
        if error is None and recording.error is not None:
            error = str(recording.error)
        return {"recording": self._recording_holds and recording.recording,
                "frames": recording.frames, "dropped": recording.dropped,
                "seconds": round(recording.seconds, 3), "path": recording.path, "error": error}

    @property
    def streaming(self) -> bool:
        return self._stream is not None

    # -- viewers ---------------------------------------------------------------------------------
    async def join(self, format_index: int) -> None:
        """A viewer arrives: the camera streams `format_index` (switching to it when it
        streamed another, so every viewer sees the newest choice). Once the hub has shut down
        nothing starts any more: CameraError."""
        self.viewers += 1
        self._cancel_idle()
        try:
            async with self._lock:  # one start, switch or stop at a time
                if self.closed:
                    # A request on a connection kept open while the server stops: a camera
                    # started now would stay open, its capture thread running, after the end.
                    raise CameraError("the viewer is stopping", "stopping")
                if self._stream is None:
                    await self._start(format_index)
                elif self.format_index != format_index:
                    if self._recording_holds:
                        raise Conflict("camera {} is recording in format {}: its format cannot "
                                       "change until the recording stops".format(
                                           self.device.index, self.format_index))
                    await self._switch(format_index)
        except BaseException:
            await self.leave()
            raise

    async def leave(self) -> None:
        self.viewers = max(0, self.viewers - 1)
        async with self._lock:
            # Nobody joined again meanwhile, and no recording holds the stream.
            if self.viewers == 0 and not self._recording_holds and not self.closed:
                await self._stop()

    async def next_frame(self, after_seq: int, timeout: float) -> Encoded | None:
        """The newest frame after `after_seq`, or None when none came within `timeout` or the
        capture ended."""
        deadline = self.loop.time() + timeout
        while True:
            if self.latest is not None and self.latest.seq > after_seq:
                return self.latest
            if self._stream is None or self.closed:
                return None
            remaining = deadline - self.loop.time()
            if remaining <= 0:
                return None
            # Not asyncio.wait_for: when the wait ends as the waiting task is cancelled, it
            # may return and drop the cancellation, and a viewer that left would go on.
            # asyncio.wait leaves the shared future alone and lets a cancellation through.
            await asyncio.wait({self._changed}, timeout=remaining)

    def _notify(self) -> None:
        changed, self._changed = self._changed, self.loop.create_future()
        changed.set_result(None)

    # -- capture ---------------------------------------------------------------------------------
    async def _start(self, format_index: int) -> None:
        self.error = None
        self.format_index = format_index
        self.latest = None
        try:
            stream = await self.call(self.device.stream, format_index)
        except CameraError as error:
            self.error = error.status_name
            await self.call(self.device.close)
            raise
        self._stream = stream
        self._published.clear()
        # Not a daemon: a daemon thread still inside the stream's C++ code when the interpreter
        # finalises is ended under that code, and the process aborts. This one is joined when
        # its stream stops, and the interpreter waits for it at exit should that not happen.
        self._reader = threading.Thread(target=self._read, args=(stream,),
                                        name="viewer-capture-{}".format(self.device.index))
        self._reader.start()
        self._notify()
        self._announce()

    async def _switch(self, format_index: int) -> None:
        earlier = self.format_index
        # From here on a frame of the earlier format is no longer handed to viewers: one who
        # chose the new format gets it from its first frame on.
        self.format_index = format_index
        self.latest = None
        try:
            await self.call(self.device.switch, format_index)
        except CameraError as error:
            self.format_index = earlier
            self.error = error.status_name
            raise
        self._announce()

    def _announce(self) -> None:
        if self.on_change is not None:
            self.on_change()

    def _read(self, stream: CameraStream) -> None:
        """The capture thread: the newest frame, encoded once, handed to the loop."""
        while True:
            try:
                frame = stream.read()
            except (StreamClosedError, LentraError) as error:
                if not isinstance(error, StreamClosedError) and not stream.closed:
                    self._call_soon(self._failed, stream, error.status_name or str(error))
                return
            try:
                # A stream held by a recording alone has nobody to show its frames to.
                jpeg = encode_jpeg(frame) if self.viewers else None
            except ValueError as error:  # a frame that does not decode (a broken JPEG)
                self._call_soon(self._failed, stream, "bad frame: {}".format(error))
                return
            self._call_soon(self._publish, stream, frame, jpeg, stream.dropped)
            del frame

    def _call_soon(self, function: Callable[..., Any], *args: Any) -> None:
        try:
            self.loop.call_soon_threadsafe(function, *args)
        except RuntimeError:  # the loop has ended (the server stopped under the thread)
            pass

    def _publish(self, stream: CameraStream, frame: Frame, jpeg: bytes | None,
                 dropped: int) -> None:
        if stream is not self._stream:
            return  # a frame of a stream stopped since
        if self.format_index is None or \
                Format.from_record(frame.format) != self.device.formats[self.format_index]:
            return  # a frame captured before the format changed
        self._raw = frame
        self._seq += 1
        self.latest = None if jpeg is None else Encoded(self._seq, jpeg, frame.number,
                                                       frame.timestamp)
        self.dropped = dropped
        self._published.append(time.monotonic())
        self._notify()

    def _failed(self, stream: CameraStream, name: str) -> None:
        if stream is not self._stream:
            return
        self.error = name
        self.loop.create_task(self.stop("the camera failed ({}): the recording was stopped; "
                                        "the file holds the frames before".format(name)))

    async def stop(self, failure: str | None = None) -> None:
        """Stops the stream (a recording first, ended for `failure` when one is given) and
        closes the camera; viewers' waits end."""
        async with self._lock:
            await self._stop(failure=failure)

    async def _stop(self, close: bool = True, failure: str | None = None) -> None:
        if self._recording_holds:
            await self._end_recording(failure)
        if self._stream is not None and self.before_stop is not None:
            await self.before_stop(self)
        stream, reader = self._stream, self._reader
        self._stream = self._reader = None
        self._raw = None
        if stream is not None:
            await self.call(stream.close)
            if reader is not None:
                await self.loop.run_in_executor(None, reader.join, 5.0)
        if close:
            await self.call(self.device.close)
        self._notify()
        if stream is not None:
            self._announce()

    # -- recording -------------------------------------------------------------------------------
    async def start_recording(self, format_index: int, folder: str) -> dict[str, Any]:
        """Records the camera into a new file in `folder`; its status. The camera streams
        `format_index` for it when it did not stream (Conflict when it streams another, or
        records already). CameraError when the camera refuses, ImportError without PyAV,
        OSError when no file can be made in the folder."""
        async with self._lock:
            if self.closed:
                raise CameraError("the viewer is stopping", "stopping")
            if self._recording_holds:
                raise Conflict("camera {} is recording already".format(self.device.index))
            if self._stream is not None and self.format_index != format_index:
                raise Conflict("camera {} streams format {}; a recording is of that format".format(
                    self.device.index, self.format_index))
            started = self._stream is None
            if started:
                self._cancel_idle()
                await self._start(format_index)
            try:
                recording = await self.call(self.device.record, folder)
            except BaseException:
                if started and self.viewers == 0:
                    await self._stop()
                raise
            self._recording, self._recording_holds = recording, True
            self._recording_error = None
            self._recording_watch = self.loop.create_task(self._watch_recording(recording))
            return self.recording_status() or {}

    async def stop_recording(self) -> dict[str, Any]:
        """Stops the recording (its file finished) and lets go of the stream; its status.
        Conflict when none runs."""
        async with self._lock:
            if not self._recording_holds:
                raise Conflict("camera {} is not recording".format(self.device.index))
            await self._end_recording(None)
            if self.viewers == 0 and not self.closed:
                await self._stop()
            return self.recording_status() or {}

    async def _end_recording(self, failure: str | None) -> None:
        """Stops the recording, off the event loop (the frames still queued are written first,
        which may take a second), and lets go of the stream. Under the lock."""
        recording = self._recording
        if recording is not None:
            try:
                await self.loop.run_in_executor(None, recording.stop)
            except RecordingError as error:
                self._recording_error = str(error)
            if failure is not None and self._recording_error is None:
                self._recording_error = failure
        self._recording_holds = False

    async def _watch_recording(self, recording: Recording) -> None:
        """Waits for a recording to end by itself (its file could not be written, say), then
        lets go of the stream it held."""
        while recording.recording:
            await asyncio.sleep(_RECORDING_CHECK_S)
        async with self._lock:
            if self._recording is not recording or not self._recording_holds:
                return  # stopped by the hub
            await self._end_recording(None)
            if self.viewers == 0 and not self.closed:
                await self._stop()

    async def snapshot(self, format_index: int) -> bytes | None:
        """PNG bytes of a frame of `format_index`: the newest of the running stream when it is in
        that format, else one captured for it (None when the camera streams another format)."""
        if self._stream is not None:
            if self.format_index != format_index:
                return None
            frame = await self._newest_raw(READ_TIMEOUT_S)
            if frame is None:
                raise CameraError("no frame came", self.error or "LX_TIMEOUT")
        else:
            frame = await self.query(self.device.snapshot, format_index)
        try:
            return await self.loop.run_in_executor(None, encode_png, frame)
        except ValueError as error:  # a frame that does not decode (a broken JPEG)
            raise CameraError("bad frame: {}".format(error), "bad frame") from None

    async def _newest_raw(self, timeout: float) -> Frame | None:
        """The running stream's newest frame, waiting up to `timeout` for the first one."""
        deadline = self.loop.time() + timeout
        while self._raw is None and self._stream is not None and not self.closed:
            remaining = deadline - self.loop.time()
            if remaining <= 0:
                break
            await asyncio.wait({self._changed}, timeout=remaining)
        return self._raw

    async def query(self, function: Callable[..., _T], *args: Any) -> _T:
        """Calls a Device method that needs the camera open; when nobody watches the camera it
        is closed again IDLE_CLOSE_S after the last such call. Once the hub has shut down it
        opens nothing: CameraError."""
        if self.closed:
            raise CameraError("the viewer is stopping", "stopping")
        self._cancel_idle()
        try:
            return await self.call(function, *args)
        finally:
            if not self.closed and self._stream is None and self.viewers == 0:
                self._idle = self.loop.call_later(IDLE_CLOSE_S, self._close_idle)

    def _cancel_idle(self) -> None:
        if self._idle is not None:
            self._idle.cancel()
            self._idle = None

    def _close_idle(self) -> None:
        self._idle = None
        self.loop.create_task(self._close_if_unwatched())

    async def _close_if_unwatched(self) -> None:
        async with self._lock:
            if self._stream is None and self.viewers == 0 and not self.closed:
                await self.call(self.device.close)

    async def shutdown(self) -> None:
        """Stops for good: the stream stops and the camera is closed. Viewers that leave after
        find nothing to do."""
        self.closed = True
        self._cancel_idle()
        await self.stop()

    async def release(self) -> None:
        """Ends the camera's SDK thread once no handler can call it any more, the camera
        closed and its capture thread ended first."""
        self.closed = True
        await self.stop()
        if self._recording_watch is not None:
            self._recording_watch.cancel()
        self.sdk.shutdown(wait=True)


def valid_value(value: object) -> int | None:
    """The whole number a JSON control value stands for, or None for anything else (text, a
    truth value, a fraction, NaN, a number beyond 32 bits)."""
    if isinstance(value, bool):
        return None
    if isinstance(value, float):
        if not math.isfinite(value) or not value.is_integer():
            return None
        value = int(value)
    if not isinstance(value, int) or not -2**31 <= value < 2**31:
        return None
    return value
