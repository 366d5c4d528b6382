"""The cameras as the viewer sees them: what each offers, and one shared capture per camera.

`Device` is the viewer's only way to the SDK: names, formats, controls, the IMU, streams. The
web handlers never call the binding themselves, so the layer under the viewer can change here
alone.

`Hub` shares one capture of a camera among every browser tab that watches it: a `FrameStream` in
latest-frame mode read by one thread, each frame encoded to JPEG once, and the same encoded bytes
handed to every viewer. The camera is opened for the first viewer and its stream stopped and the
camera closed when the last one leaves. SDK calls of one camera run one at a time on that
camera's own worker thread, so a slow call of one camera never holds up the event loop or
another camera.
"""

import asyncio
import collections
import concurrent.futures
import io
import math
import threading
import time

import numpy

import pylentrasdk as lx
from pylentrasdk import control_names, frames
from pylentrasdk.status import status_name
from pylentrasdk.stream import FrameStream, StreamClosedError, StreamError

_F = lx.LX_IMAGE_FORMAT
_NORMAL = lx.LX_IMU_SELF_TEST_MODE.NORMAL
_NOT_SUPPORTED = lx.LxStatus.LX_STATUS_NOT_SUPPORTED

JPEG_QUALITY = 80
READ_TIMEOUT_MS = 3000


class CameraError(Exception):
    """The SDK refused: `status_name` names its status ("LX_STATUS_BUSY", "LX_TIMEOUT")."""

    def __init__(self, message, status_name=None):
        super().__init__(message)
        self.status_name = status_name


class ControlError(Exception):
    """A control change that is refused before the SDK is asked (`http` says how: 400, 404,
    409), or that the SDK refused (400)."""

    def __init__(self, message, http):
        super().__init__(message)
        self.http = http


def _refused(function, status):
    name = status_name(status)
    return CameraError("{}: {} ({})".format(function, name, int(status)), name)


def short_format(member):
    """"YUY2" for LX_IMAGE_FORMAT_YUY2, as lxctl writes pixel formats."""
    return member.name[len("LX_IMAGE_FORMAT_"):]


def _float32(value):
    # The shortest decimal that reads back as the same float32 (9.646823, not 9.6468229293...).
    return float(str(numpy.float32(value)))


def encode_jpeg(frame, fmt, quality=JPEG_QUALITY):
    """The frame as JPEG bytes, encoded in C++ with the interpreter lock released (from the
    YUV planes directly for YUY2, UYVY and NV12); an MJPG frame is a JPEG already and goes out
    as it came, once its header has been checked."""
    return frames.to_jpeg(frame, fmt, quality)


def encode_png(frame, fmt):
    """The frame as PNG bytes at full resolution."""
    from PIL import Image

    out = io.BytesIO()
    Image.fromarray(frames.to_rgb(frame, fmt)).save(out, "PNG", compress_level=1)
    return out.getvalue()


# A control: its name (as lxctl shows it) and either its ISP property or, for a stream setting,
# (getter, setter, minimum, maximum).
_Control = collections.namedtuple("_Control", "name prop stream")
_STREAM_FUNCTIONS = {"Throughput": ("LxGetThroughPut", "LxSetThroughPut"),
                     "Max_FPS": ("LxGetMaxFPS", "LxSetMaxFPS")}


class Device:
    """One camera of the rig by its discovery index: its identity and formats (read once), and
    the SDK calls the viewer makes on it. Not thread-safe: its Hub calls it from one thread."""

    def __init__(self, index, name):
        self.index = index
        self.name = name
        self.cam = None
        self.opened = False
        self.formats = {}  # LxGetFormatList index -> LxFormat, frame-carrying formats only
        self.imu = False
        self.error = None  # the status name that kept it from being read, if any

    def describe(self):
        """Reads the formats and whether there is an IMU (opening the camera for it)."""
        try:
            self.open()
            status, records = lx.LxGetFormatList(self.cam)
            if status != 0:
                raise _refused("LxGetFormatList", status)
            self.formats = {i: f for i, f in enumerate(records)
                            if f.format != _F.LX_IMAGE_FORMAT_NONE}
            self.imu = lx.LxGetIMUAccData(self.cam, _NORMAL)[0] != _NOT_SUPPORTED
        except CameraError as error:
            self.error = error.status_name
        finally:
            self.close()

    def info(self):
        return {"index": self.index, "name": self.name, "imu": self.imu, "error": self.error,
                "formats": [{"index": i, "format": short_format(f.format), "width": f.width,
                             "height": f.height, "fps": f.framerate}
                            for i, f in sorted(self.formats.items())]}

    def open(self):
        if self.opened:
            return
        if self.cam is None:
            self.cam = lx.LxInitialCameraDevice(self.index)
            if self.cam is None:
                raise CameraError("LxInitialCameraDevice: no camera {}".format(self.index),
                                  "LX_STATUS_INVALID_HANDLE")
        status = lx.LxOpen(self.cam)
        if status != 0:
            raise _refused("LxOpen", status)
        self.opened = True

    def close(self):
        if self.opened:
            self.opened = False
            lx.LxClose(self.cam)

    def stream(self, fmt):
        self.open()
        try:
            return FrameStream(self.cam, fmt, 4, latest=True, timeout_ms=READ_TIMEOUT_MS)
        except StreamError as error:
            raise CameraError(str(error), error.status_name) from None

    def snapshot(self, fmt):
        """One frame of `fmt`, captured on a stream of its own (the camera streams nothing)."""
        self.open()
        try:
            with FrameStream(self.cam, fmt, 1, timeout_ms=READ_TIMEOUT_MS) as stream:
                return stream.read()
        except StreamError as error:
            raise CameraError(str(error), error.status_name) from None

    # -- controls ------------------------------------------------------------------------------
    def _controls(self):
        isp = lx.LX_ISP_IMAGE_PROPERTIES
        listed = [_Control(name, getattr(isp, member), None)
                  for name, member in control_names.ISP_CONTROLS]
        for name, minimum, maximum in control_names.STREAM_SETTINGS:
            getter, setter = (getattr(lx, f) for f in _STREAM_FUNCTIONS[name])
            listed.append(_Control(name, None, (getter, setter, int(minimum), int(maximum))))
        listed += [_Control(name, getattr(isp, member), None)
                   for name, member in control_names.optional_controls(self.cam)]
        return listed

    def _read(self, control):
        """The control's state, or None when the camera does not have it."""
        if control.stream:
            getter, _, minimum, maximum = control.stream
            status, value = getter(self.cam)
            if status == _NOT_SUPPORTED:
                return None
            if status != 0:
                raise _refused(getter.__name__, status)
            return {"name": control.name, "value": int(value), "min": minimum, "max": maximum,
                    "step": 1, "default": None, "read_only": False}
        # The binding reports every failed ISP reading alike: the camera lacks the control.
        status, value, flag = lx.LxGetISPImageProcessing(self.cam, control.prop)
        if status != 0:
            return None
        status, low, high, step, default = lx.LxGetISPImageProcessingRange(self.cam, control.prop)
        if status != 0:
            raise _refused("LxGetISPImageProcessingRange", status)
        return {"name": control.name, "value": value, "min": low, "max": high, "step": step,
                "default": default, "read_only": flag == 1}

    def controls(self):
        self.open()
        return [state for state in map(self._read, self._controls()) if state is not None]

    def set_control(self, name, value):
        """Checks `value` against the control's range and sets it; the value read back."""
        self.open()
        for control in self._controls():
            if control.name.lower() == name.lower():
                break
        else:
            raise ControlError("no control {!r}".format(name), 404)
        state = self._read(control)
        if state is None:
            raise ControlError("the camera has no control {!r}".format(name), 404)
        if state["read_only"]:
            raise ControlError("{} is read-only".format(control.name), 409)
        if not state["min"] <= value <= state["max"]:
            raise ControlError("{} is out of range: {} to {}".format(
                value, state["min"], state["max"]), 400)
        if control.stream:
            setter = control.stream[1]
            status, function = setter(self.cam, value), setter.__name__
        else:
            status = lx.LxSetISPImageProcessing(self.cam, control.prop, value)
            function = "LxSetISPImageProcessing"
        if status != 0:
            raise ControlError("{}: {} ({})".format(function, status_name(status), status), 400)
        # Read back: the camera may round the value to its step.
        return self._read(control)["value"]

    def imu_reading(self):
        self.open()
        reading = {}
        for key, function in (("acc", lx.LxGetIMUAccData), ("gyro", lx.LxGetIMUGyrData)):
            status, vector = function(self.cam, _NORMAL)
            if status != 0:
                raise _refused(function.__name__, status)
            reading[key] = [_float32(v) for v in vector]
        status, temperature = lx.LxGetIMUTemperature(self.cam)
        if status != 0:
            raise _refused("LxGetIMUTemperature", status)
        reading["temperature"] = _float32(temperature)
        return reading


def discover():
    """Every camera of the rig, each described (formats, IMU)."""
    status, names = lx.LxDiscoverCameraDevices()
    if status != 0:
        raise _refused("LxDiscoverCameraDevices", status)
    devices = [Device(index, name) for index, name in enumerate(names)]
    for device in devices:
        device.describe()
    return devices


class Encoded:
    """One frame, encoded once for every viewer: `jpeg` bytes, the frame's `number`, its capture
    `timestamp` (monotonic seconds) and `seq`, the hub's own count over all its streams."""

    __slots__ = ("seq", "jpeg", "number", "timestamp")

    def __init__(self, seq, jpeg, number, timestamp):
        self.seq, self.jpeg, self.number, self.timestamp = seq, jpeg, number, timestamp


class Hub:
    """The shared capture of one camera, driven from the event loop."""

    def __init__(self, device, loop):
        self.device = device
        self.loop = loop
        self.sdk = concurrent.futures.ThreadPoolExecutor(
            max_workers=1, thread_name_prefix="viewer-camera-{}".format(device.index))
        self.viewers = 0
        self.format_index = None
        self.error = device.error
        self.latest = None  # the newest Encoded
        self._raw = None  # the newest captured Frame, for snapshots
        self._stream = None
        self._reader = None
        self._changed = asyncio.Event()
        self._lock = asyncio.Lock()
        self._published = collections.deque(maxlen=64)  # publish times, for frames per second
        self.dropped = 0
        self._seq = 0  # frames published, over every stream this hub ran
        self.closed = False

    async def call(self, function, *args):
        """Runs a Device method on this camera's SDK thread."""
        return await self.loop.run_in_executor(self.sdk, function, *args)

    # -- what the page polls ---------------------------------------------------------------------
    def status(self):
        now = time.monotonic()
        recent = [t for t in self._published if now - t <= 1.0]
        fps = 0.0
        if len(recent) >= 2 and self._stream is not None:
            fps = (len(recent) - 1) / max(recent[-1] - recent[0], 1e-6)
        return {"streaming": self._stream is not None, "viewers": self.viewers,
                "format": self.format_index, "fps": round(fps, 1), "dropped": self.dropped,
                "frames": self._seq, "error": self.error}

    @property
    def streaming(self):
        return self._stream is not None

    # -- viewers ---------------------------------------------------------------------------------
    async def join(self, format_index):
        """A viewer arrives: the camera streams `format_index` (restarting in it when it
        streamed another, so every viewer sees the newest choice)."""
        self.viewers += 1
        try:
            async with self._lock:  # one start or stop at a time
                if self._stream is None or self.format_index != format_index:
                    await self._restart(format_index)
        except BaseException:
            await self.leave()
            raise

    async def leave(self):
        self.viewers = max(0, self.viewers - 1)
        async with self._lock:
            if self.viewers == 0 and not self.closed:  # nobody joined again meanwhile
                await self._stop()

    async def next_frame(self, after_seq, timeout):
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

    def _notify(self):
        changed, self._changed = self._changed, asyncio.Event()
        changed.set()

    # -- capture ---------------------------------------------------------------------------------
    async def _restart(self, format_index):
        await self._stop(close=False)
        fmt = self.device.formats[format_index]
        self.error = None
        self.format_index = format_index
        self.latest = None
        try:
            stream = await self.call(self.device.stream, fmt)
        except CameraError as error:
            self.error = error.status_name
            await self.call(self.device.close)
            raise
        self._stream = stream
        self._published.clear()
        self._reader = threading.Thread(target=self._read, args=(stream, fmt),
                                        name="viewer-capture-{}".format(self.device.index),
                                        daemon=True)
        self._reader.start()
        self._notify()

    def _read(self, stream, fmt):
        """The capture thread: the newest frame, encoded once, handed to the loop."""
        while True:
            try:
                frame = stream.read()
            except StreamClosedError:
                return
            except StreamError as error:
                self._call_soon(self._failed, stream, error.status_name or str(error))
                return
            try:
                jpeg = encode_jpeg(frame, fmt)
            except ValueError as error:  # a frame that does not decode (a broken JPEG)
                self._call_soon(self._failed, stream, "bad frame: {}".format(error))
                return
            self._raw = (frame, fmt)
            self._call_soon(self._publish, stream, jpeg, frame.number, frame.timestamp,
                            stream.dropped)
            del frame

    def _call_soon(self, function, *args):
        try:
            self.loop.call_soon_threadsafe(function, *args)
        except RuntimeError:  # the loop has ended (the server stopped under the thread)
            pass

    def _publish(self, stream, jpeg, number, timestamp, dropped):
        if stream is not self._stream:
            return  # a frame of a stream stopped since
        self._seq += 1
        self.latest = Encoded(self._seq, jpeg, number, timestamp)
        self.dropped = dropped
        self._published.append(time.monotonic())
        self._notify()

    def _failed(self, stream, name):
        if stream is not self._stream:
            return
        self.error = name
        self.loop.create_task(self.stop())

    async def stop(self):
        """Stops the stream and closes the camera; viewers' waits end."""
        async with self._lock:
            await self._stop()

    async def _stop(self, close=True):
        stream, reader = self._stream, self._reader
        self._stream = self._reader = None
        self._raw = None
        if stream is not None:
            await self.call(stream.close)
            await self.loop.run_in_executor(None, reader.join, 5.0)
        if close:
            await self.call(self.device.close)
        self._notify()

    async def snapshot(self, format_index):
        """PNG bytes of a frame of `format_index`: the newest of the running stream when it is in
        that format, else one captured for it (None when the camera streams another format)."""
        fmt = self.device.formats[format_index]
        if self._stream is not None:
            if self.format_index != format_index:
                return None
            frame = await self.next_frame(0, READ_TIMEOUT_MS / 1000) and self._raw
            if frame is None:
                raise CameraError("no frame came", self.error or "LX_TIMEOUT")
            return await self.loop.run_in_executor(None, encode_png, *frame)

        def capture():
            try:
                return self.device.snapshot(fmt)
            finally:
                if self._stream is None:
                    self.device.close()

        frame = await self.call(capture)
        return await self.loop.run_in_executor(None, encode_png, frame, fmt)

    async def query(self, function, *args):
        """Calls a Device method that needs the camera open, closing it again after when nobody
        watches it."""

        def run():
            try:
                return function(*args)
            finally:
                if self._stream is None and self.viewers == 0:
                    self.device.close()

        return await self.call(run)

    async def shutdown(self):
        """Stops for good: the stream stops and the camera is closed. Viewers that leave after
        find nothing to do."""
        self.closed = True
        await self.stop()

    def release(self):
        """Ends the camera's SDK thread, once no handler can call it any more."""
        self.sdk.shutdown(wait=True)


def valid_value(value):
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
