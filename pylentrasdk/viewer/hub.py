"""The cameras as the viewer sees them: one `Hub` per camera, over `pylentrasdk.Camera`.

A Hub shares one capture of a camera among every browser tab that watches it: the camera's
running stream in latest-frame mode, read by one thread, each frame encoded to JPEG once, and the
same encoded bytes handed to every viewer. The camera is opened for the first viewer, and its
stream stopped and the camera closed when the last one leaves. A viewer choosing another format
changes the camera's format: its stream goes on in the new one, for every viewer. Calls of one
camera run one at a time on that camera's own worker thread, so a slow call of one camera never
holds up the event loop or another camera. The web handlers never call the camera layer
themselves.
"""

from __future__ import annotations

import asyncio
import collections
import concurrent.futures
import io
import math
import threading
import time
from typing import Any, Callable, TypeVar

from .. import frames
from ..camera import Camera, CameraStream, cameras
from ..errors import ControlValueError, LentraError, NotSupportedError, StreamClosedError, \
    UnknownControlError
from ..formats import Format
from ..stream import Frame

JPEG_QUALITY = 80
READ_TIMEOUT_S = 3.0
# A camera opened for requests alone (controls, IMU readings, a snapshot) stays open this long
# after the last one, so that a page polling its IMU does not reopen it ten times a second.
IDLE_CLOSE_S = 2.0

_T = TypeVar("_T")


class CameraError(Exception):
    """The camera refused: `status_name` names its status ("LX_STATUS_BUSY", "LX_TIMEOUT")."""

    def __init__(self, message: str, status_name: str | None = None) -> None:
        super().__init__(message)
        self.status_name = status_name


class ControlError(Exception):
    """A control change that is refused before the SDK is asked (`http` says how: 400, 404,
    409), or that the SDK refused (400)."""

    def __init__(self, message: str, http: int) -> None:
        super().__init__(message)
        self.http = http


def _camera_error(error: LentraError) -> CameraError:
    return CameraError(str(error), error.status_name or type(error).__name__)


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
            try:
                self.camera = Camera(self.index)
            except LentraError as error:
                raise _camera_error(error) from None
        return self.camera

    def close(self) -> None:
        camera, self.camera = self.camera, None
        if camera is not None:
            camera.close()  # stops its stream first

    def stream(self, format_index: int) -> CameraStream:
        """The camera's stream in latest-frame mode, in the format (a running stream goes on
        in it)."""
        camera = self.open()
        try:
            camera.format = self.formats[format_index]
            return camera.stream(buffers=4, latest=True, timeout=READ_TIMEOUT_S)
        except LentraError as error:
            raise _camera_error(error) from None

    def switch(self, format_index: int) -> None:
        """The running stream goes on in another format."""
        try:
            self.open().format = self.formats[format_index]
        except LentraError as error:
            raise _camera_error(error) from None

    def snapshot(self, format_index: int) -> Frame:
        """One frame of the format, captured for it (the camera streams nothing); the stream
        stops after it."""
        camera = self.open()
        try:
            camera.format = self.formats[format_index]
            try:
                return camera.read(READ_TIMEOUT_S)
            finally:
                camera.stop()
        except LentraError as error:
            raise _camera_error(error) from None

    # -- controls ------------------------------------------------------------------------------
    def controls(self) -> list[dict[str, Any]]:
        try:
            return self.open().controls.listing()
        except LentraError as error:
            raise _camera_error(error) from None

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

    def imu_reading(self) -> dict[str, Any]:
        try:
            reading = self.open().imu.read()
        except LentraError as error:
            raise _camera_error(error) from None
        return {"acc": list(reading.acceleration), "gyro": list(reading.angular_rate),
                "temperature": reading.temperature}


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
        self._changed = asyncio.Event()
        self._lock = asyncio.Lock()
        self._idle: asyncio.TimerHandle | None = None  # closes a camera no one watches
        self._published: collections.deque[float] = collections.deque(maxlen=64)
        self.dropped = 0
        self._seq = 0  # frames published, over every stream this hub ran
        self.closed = False

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
                "frames": self._seq, "error": self.error}

    @property
    def streaming(self) -> bool:
        return self._stream is not None

    # -- viewers ---------------------------------------------------------------------------------
    async def join(self, format_index: int) -> None:
        """A viewer arrives: the camera streams `format_index` (switching to it when it
        streamed another, so every viewer sees the newest choice)."""
        self.viewers += 1
        self._cancel_idle()
        try:
            async with self._lock:  # one start, switch or stop at a time
                if self._stream is None:
                    await self._start(format_index)
                elif self.format_index != format_index:
                    await self._switch(format_index)
        except BaseException:
            await self.leave()
            raise

    async def leave(self) -> None:
        self.viewers = max(0, self.viewers - 1)
        async with self._lock:
            if self.viewers == 0 and not self.closed:  # nobody joined again meanwhile
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
            changed = self._changed
            remaining = deadline - self.loop.time()
            if remaining <= 0:
                return None
            try:
                await asyncio.wait_for(changed.wait(), remaining)
            except asyncio.TimeoutError:
                return None

    def _notify(self) -> None:
        changed, self._changed = self._changed, asyncio.Event()
        changed.set()

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
        self._reader = threading.Thread(target=self._read, args=(stream,),
                                        name="viewer-capture-{}".format(self.device.index),
                                        daemon=True)
        self._reader.start()
        self._notify()

    async def _switch(self, format_index: int) -> None:
        try:
            await self.call(self.device.switch, format_index)
        except CameraError as error:
            self.error = error.status_name
            raise
        self.format_index = format_index

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
                jpeg = encode_jpeg(frame)
            except ValueError as error:  # a frame that does not decode (a broken JPEG)
                self._call_soon(self._failed, stream, "bad frame: {}".format(error))
                return
            self._raw = frame
            self._call_soon(self._publish, stream, jpeg, frame.number, frame.timestamp,
                            stream.dropped)
            del frame

    def _call_soon(self, function: Callable[..., Any], *args: Any) -> None:
        try:
            self.loop.call_soon_threadsafe(function, *args)
        except RuntimeError:  # the loop has ended (the server stopped under the thread)
            pass

    def _publish(self, stream: CameraStream, jpeg: bytes, number: int, timestamp: float,
                 dropped: int) -> None:
        if stream is not self._stream:
            return  # a frame of a stream stopped since
        self._seq += 1
        self.latest = Encoded(self._seq, jpeg, number, timestamp)
        self.dropped = dropped
        self._published.append(time.monotonic())
        self._notify()

    def _failed(self, stream: CameraStream, name: str) -> None:
        if stream is not self._stream:
            return
        self.error = name
        self.loop.create_task(self.stop())

    async def stop(self) -> None:
        """Stops the stream and closes the camera; viewers' waits end."""
        async with self._lock:
            await self._stop()

    async def _stop(self, close: bool = True) -> None:
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

    async def snapshot(self, format_index: int) -> bytes | None:
        """PNG bytes of a frame of `format_index`: the newest of the running stream when it is in
        that format, else one captured for it (None when the camera streams another format)."""
        if self._stream is not None:
            if self.format_index != format_index:
                return None
            frame = self._raw if await self.next_frame(0, READ_TIMEOUT_S) else None
            if frame is None:
                raise CameraError("no frame came", self.error or "LX_TIMEOUT")
        else:
            frame = await self.query(self.device.snapshot, format_index)
        return await self.loop.run_in_executor(None, encode_png, frame)

    async def query(self, function: Callable[..., _T], *args: Any) -> _T:
        """Calls a Device method that needs the camera open; when nobody watches the camera it
        is closed again IDLE_CLOSE_S after the last such call."""
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

    def release(self) -> None:
        """Ends the camera's SDK thread, once no handler can call it any more."""
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
