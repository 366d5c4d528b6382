"""An object-style camera over the binding and the stream module: ``pylentrasdk.Camera``.

    with lx.Camera(0) as cam:                 # or lx.Camera("KAVN"): a unique part of a name
        cam.format = "1280x720:YUY2@30"
        cam.controls["brightness"] = 200
        frame = cam.capture(timeout=3.0)

See docs/camera.md. Failures raise the exceptions of pylentrasdk.errors; the binding's C-style
functions stay as they are for those who want the SDK's own API.

Threads: a Camera's own calls are serialised by its lock, which is held for one SDK call (or a
few short ones), never while a frame is awaited: a stream read or a capture in one thread waits
with the lock free, so a control set in another thread goes through meanwhile.
"""

import contextlib
import dataclasses
import threading
import warnings
import weakref

from . import controls as _controls
from . import pyLentraSDK as _binding
from .errors import (CameraBusyError, CameraClosedError, CameraNotFoundError, ControlValueError,
                     NotSupportedError, raise_for_status)
from .formats import Format
from .imu import Imu, ImuReading, ImuVector
from .settings import Settings
from .status import LxStatus
from .stream import FrameStream, StreamError

__all__ = ["Camera", "CameraInfo", "cameras", "Imu", "ImuVector", "ImuReading", "Settings"]

_NONE_FORMAT = _binding.LX_IMAGE_FORMAT.LX_IMAGE_FORMAT_NONE
_NOT_SUPPORTED = LxStatus.LX_STATUS_NOT_SUPPORTED
_SHORT_PREFIXES = ("LXCAM_PRODUCT_TYPE_", "INTERFACE_")


def _short(member):
    """A member's name without its enumeration's prefix: "USB", "MIPI_CSI2", "KAVL"."""
    for prefix in _SHORT_PREFIXES:
        if member.name.startswith(prefix):
            return member.name[len(prefix):]
    return member.name


@dataclasses.dataclass(frozen=True)
class CameraInfo:
    """A discovered camera: its `index`, `name`, `interface` ("USB", "MIPI_CSI2") and
    `product` type ("KAVL", "GENERIC_CAMERA"), as the SDK reports them without opening it."""

    index: int
    name: str
    interface: str
    product: str


def _names():
    status, names = _binding.LxDiscoverCameraDevices()
    raise_for_status(status, "LxDiscoverCameraDevices")
    return list(names)


def cameras():
    """The cameras attached now, as CameraInfo; none is opened."""
    found = []
    for index, name in enumerate(_names()):
        handle = _binding.LxInitialCameraDevice(index)
        if handle is None:  # gone since discovery
            continue
        status, interface = _binding.LxGetDeviceInterfaceType(handle)
        raise_for_status(status, "LxGetDeviceInterfaceType", name)
        status, product = _binding.LxGetDeviceProductType(handle)
        raise_for_status(status, "LxGetDeviceProductType", name)
        found.append(CameraInfo(index, name, _short(interface), _short(product)))
    return found


def _resolve(index_or_name):
    """(index, name) of the camera an index or a name (or a unique part of one) picks."""
    names = _names()
    if isinstance(index_or_name, bool) or not isinstance(index_or_name, (int, str)):
        raise TypeError("a camera is picked by its index (int) or name (str), not {}".format(
            type(index_or_name).__name__))
    listing = "; the cameras are: {}".format(
        ", ".join("{} {!r}".format(i, n) for i, n in enumerate(names))) if names else \
        "; no camera is attached"
    if isinstance(index_or_name, int):
        if not 0 <= index_or_name < len(names):
            raise CameraNotFoundError("no camera {}{}".format(index_or_name, listing))
        return index_or_name, names[index_or_name]
    wanted = index_or_name.strip()
    exact = [i for i, name in enumerate(names) if name == wanted]
    if len(exact) == 1:
        return exact[0], names[exact[0]]
    if not wanted:
        raise CameraNotFoundError("an empty name picks no camera" + listing)
    found = exact or [i for i, name in enumerate(names) if wanted.lower() in name.lower()]
    if not found:
        raise CameraNotFoundError("no camera's name holds {!r}{}".format(wanted, listing))
    if len(found) > 1:
        raise CameraNotFoundError("{!r} is in the names of {} cameras: {}; give more of the "
                                  "name, or the index".format(
                                      wanted, len(found),
                                      ", ".join("{} {!r}".format(i, names[i]) for i in found)))
    return found[0], names[found[0]]


class _CameraStream(FrameStream):
    """The FrameStream a Camera hands out: it keeps its camera alive while it is in use, so
    that ``lx.Camera(0).stream()`` does not lose its camera (and its frames) at once."""

    def __init__(self, camera, *args, **kwargs):
        super().__init__(*args, **kwargs)
        self.camera = camera


class Camera:
    """One camera, opened when made: ``Camera(0)``, ``Camera("KAVN")``.

    Use it in a ``with`` block, or call ``close()``; a camera dropped while open is closed when
    collected, with a ResourceWarning. Closing stops its stream first; closing twice does
    nothing; any other use of a closed camera raises CameraClosedError until ``open()``."""

    def __init__(self, index_or_name):
        self._lock = threading.RLock()
        self._capturing = threading.Lock()  # one capture at a time; never held with _lock waited on
        self._picked = index_or_name
        self._handle = None
        self._stream = None  # weak reference to the open stream (the camera's own capture's too)
        self._record = None  # the LxFormat set through this object
        self._table = None
        self._imu = None
        self._index = self._name = None
        self.open()

    # -------------------------------------------------------------------------------------
    # Lifetime
    # -------------------------------------------------------------------------------------
    def open(self):
        """Opens the camera again after close(); nothing when it is open."""
        with self._lock:
            if self._handle is not None:
                return
            self._index, self._name = _resolve(self._picked)
            handle = _binding.LxInitialCameraDevice(self._index)
            if handle is None:
                raise CameraNotFoundError("no camera {} ({!r}): it went away".format(
                    self._index, self._name))
            status = _binding.LxOpen(handle)
            detail = "it is open elsewhere, in this process or another" \
                if status == LxStatus.LX_STATUS_BUSY else None
            raise_for_status(status, "LxOpen", self._name, detail)
            self._handle = handle
            self._record = None
            self._table = None
            self._imu = None

    def close(self):
        """Stops the camera's stream, if one is open, then closes the camera. Closing a closed
        camera does nothing."""
        with self._lock:
            if self._handle is None:
                return
            stream = self._stream() if self._stream is not None else None
            if stream is not None:
                stream.close()
            self._stream = None
            handle, self._handle = self._handle, None
            _binding.LxClose(handle)

    @property
    def closed(self):
        """Whether the camera is closed."""
        return self._handle is None

    def __enter__(self):
        with self._lock:
            self._open_handle()
        return self

    def __exit__(self, *exc_info):
        self.close()

    def __del__(self):
        # As Python's files do: a camera left open is closed here, and the program is told.
        if getattr(self, "_handle", None) is None:
            return
        try:
            warnings.warn("unclosed camera {!r}".format(self), ResourceWarning, stacklevel=1,
                          source=self)
        finally:
            with contextlib.suppress(Exception):
                self.close()

    def __repr__(self):
        return "<Camera {} {!r} {}>".format(self._index, self._name,
                                            "closed" if self._handle is None else "open")

    # -------------------------------------------------------------------------------------
    # The one way to the SDK: under the lock, on an open camera.
    # -------------------------------------------------------------------------------------
    def _open_handle(self):
        if self._handle is None:
            raise CameraClosedError("{}: the camera is closed".format(self._subject()))
        return self._handle

    def _call(self, function, *args):
        with self._lock:
            return getattr(_binding, function)(self._open_handle(), *args)

    def _locked(self):
        return self._lock

    def _subject(self):
        return self._name

    def _control_table(self):
        with self._lock:
            self._open_handle()
            if self._table is None:
                self._table = _controls.discover(self._call, self._name)
            return self._table

    def _streaming(self):
        stream = self._stream() if self._stream is not None else None
        return stream is not None and not stream.closed

    # -------------------------------------------------------------------------------------
    # Identity
    # -------------------------------------------------------------------------------------
    @property
    def handle(self):
        """The opened LxCamera, for the binding's C-style functions (``lx.LxGetTimestamp(
        cam.handle)``); CameraClosedError once the camera is closed. Closing the camera, or
        changing its format, is for the Camera object to do, so that it knows."""
        with self._lock:
            return self._open_handle()

    @property
    def index(self):
        """The camera's position in discovery (`lxctl list`, ``cameras()``)."""
        return self._index

    @property
    def name(self):
        """The camera's name, as discovery lists it."""
        return self._name

    def _text(self, function):
        """A text the camera reports, or None where it has none (not supported, or empty)."""
        status, text = self._call(function)
        if status == _NOT_SUPPORTED:
            return None
        raise_for_status(status, function, self._name)
        return text or None

    @property
    def serial_number(self):
        """The camera's hardware ID (None if it has none)."""
        return self._text("LxGetHardwareID")

    @property
    def path(self):
        """The camera's device path."""
        return self._text("LxGetDevicePath")

    @property
    def firmware_versions(self):
        """The camera's firmware versions by part: {"usb": "3.2.1", "sensor": "1.4.0"}; a part
        the camera does not have is left out."""
        versions = {}
        for part, function in (("usb", "LxGetUSBFirmwareVersion"),
                               ("kavr", "LxGetKAVRFirmwareVersion"),
                               ("sensor", "LxGetSensorFirmwareVersion")):
            version = self._text(function)
            if version is not None:
                versions[part] = version
        return versions

    @property
    def firmware_version(self):
        """The camera's main firmware version: its USB controller's, else its KAVR
        processor's, else its sensor's (None if it reports none)."""
        versions = self.firmware_versions
        return next(iter(versions.values()), None)

    def _member(self, function):
        status, member = self._call(function)
        raise_for_status(status, function, self._name)
        return _short(member)

    @property
    def interface(self):
        """"USB", "MIPI_CSI2" or "ETHERNET"."""
        return self._member("LxGetDeviceInterfaceType")

    @property
    def product(self):
        """The product type: "KAVL", "KAVN", "GENERIC", ..."""
        return self._member("LxGetDeviceProductType")

    # -------------------------------------------------------------------------------------
    # Formats
    # -------------------------------------------------------------------------------------
    def _records(self):
        status, records = self._call("LxGetFormatList")
        raise_for_status(status, "LxGetFormatList", self._name)
        return [record for record in records if record.format != _NONE_FORMAT]

    @property
    def formats(self):
        """The formats the camera offers, in its order, as Format."""
        return [Format.from_record(record) for record in self._records()]

    def _find_record(self, wanted, where=None):
        """The camera's own LxFormat record for a Format, an LxFormat or a format text."""
        if isinstance(wanted, str):
            try:
                wanted = Format.parse(wanted)
            except ValueError as error:
                raise ControlValueError("{}: {}".format(where or self._name, error)) from None
        elif isinstance(wanted, _binding.LxFormat):
            if wanted.format == _NONE_FORMAT:
                raise ControlValueError("{}: an LX_IMAGE_FORMAT_NONE entry carries no frames"
                                        .format(where or self._name))
            wanted = Format.from_record(wanted)
        elif not isinstance(wanted, Format):
            raise TypeError("a format is a Format, an LxFormat or a text such as "
                            "'1280x720:YUY2@30', not {}".format(type(wanted).__name__))
        records = self._records()
        for record in records:
            if wanted.matches(record):
                return record
        raise ControlValueError("{}: the camera has no format {}; it has {}".format(
            where or self._name, wanted, ", ".join(str(Format.from_record(r)) for r in records)))

    @property
    def format(self):
        """The format frames come in: the one last set through this object, or on a camera
        just opened the first format it lists (which the SDK starts with). Set it to a Format,
        an LxFormat record or a text "1280x720:YUY2@30" (without @FPS: the first rate listed);
        a format the camera lacks raises ControlValueError, a camera that streams
        CameraBusyError."""
        with self._lock:
            record = self._record
            if record is None:
                records = self._records()
                if not records:
                    return None
                record = records[0]
            return Format.from_record(record)

    @format.setter
    def format(self, wanted):
        with self._lock:
            record = self._find_record(wanted)
            self._set_record(record)

    @property
    def format_record(self):
        """The camera's LxFormat record of ``format``, for the C-style functions and
        pylentrasdk.frames (``frames.to_png(frame.array, cam.format_record, "f.png")``)."""
        with self._lock:
            return self._current_record()

    def _set_record(self, record):
        if self._streaming() and self._record is not None and \
                Format.from_record(record) == Format.from_record(self._record):
            return  # the format it streams in already
        if self._streaming():
            raise CameraBusyError("{}: the camera is streaming; close its stream before changing "
                                  "the format".format(self._name))
        raise_for_status(self._call("LxSetFormat", record), "LxSetFormat", self._name,
                         str(Format.from_record(record)))
        self._record = record

    def _current_record(self):
        if self._record is not None:
            return self._record
        records = self._records()
        if not records:
            raise NotSupportedError("{}: the camera offers no format that carries frames".format(
                self._name), status=_NOT_SUPPORTED)
        return records[0]

    # -------------------------------------------------------------------------------------
    # Frames
    # -------------------------------------------------------------------------------------
    @staticmethod
    def _timeout_ms(timeout):
        if timeout is None:
            return None
        if isinstance(timeout, bool) or not isinstance(timeout, (int, float)):
            raise TypeError("timeout is in seconds (a number or None), not {}".format(
                type(timeout).__name__))
        if not 0 <= timeout <= 2147483.0:
            raise ValueError("timeout must be from 0 to 2147483 seconds, or None, not {}".format(
                timeout))
        return int(round(timeout * 1000))

    def _start(self, buffers, fixed, latest, timeout):
        timeout_ms = self._timeout_ms(timeout)
        with self._lock:
            self._open_handle()
            if self._streaming():
                raise CameraBusyError("{}: the camera is streaming already; read from its stream, "
                                      "or close it first".format(self._name))
            record = self._current_record()
            try:
                stream = _CameraStream(self, self._handle, record, buffers, fixed=fixed,
                                       latest=latest, timeout_ms=timeout_ms)
            except StreamError as error:
                raise self._named(error) from None
            self._stream = weakref.ref(stream)
            self._record = record
            return stream

    def _named(self, error):
        """The stream's exception again, its message naming this camera."""
        named = type(error)("{}: {}".format(self._name, error))
        for attribute in ("function", "status", "status_name"):
            setattr(named, attribute, getattr(error, attribute))
        return named

    def stream(self, buffers=4, *, fixed=False, latest=False, timeout=3.0):
        """A FrameStream of this camera in its current format (see docs/streaming.md): frames
        into `buffers` reused buffers, each read waiting at most `timeout` seconds (None: no
        limit). Close it (or leave its ``with`` block) to stop streaming; closing the camera
        closes it too. A camera has one stream at a time."""
        return self._start(buffers, fixed, latest, timeout)

    def capture(self, timeout=3.0):
        """One frame (a Frame, as a FrameStream gives it), waiting at most `timeout` seconds:
        streaming starts for it and stops after it. A time-out raises CaptureTimeoutError (a
        TimeoutError); a camera that streams already raises CameraBusyError."""
        with self._capturing:
            stream = self._start(1, False, False, timeout)
            try:
                # The wait holds no lock of this object: other threads use the camera meanwhile.
                return stream.read()
            except StreamError as error:
                raise self._named(error) from None
            finally:
                stream.close()

    # -------------------------------------------------------------------------------------
    # Controls, IMU, settings
    # -------------------------------------------------------------------------------------
    @property
    def controls(self):
        """Every control the camera has, by name (see Controls)."""
        self._control_table()
        return _controls.Controls(self)

    @property
    def imu(self):
        """The camera's IMU (NotSupportedError on a camera without one)."""
        with self._lock:
            if self._imu is None:
                status, _ = self._call("LxGetIMUTemperature")
                if status == _NOT_SUPPORTED:
                    raise NotSupportedError("{}: the camera has no IMU".format(self._name),
                                            function="LxGetIMUTemperature", status=status)
                self._imu = Imu(self)
            return self._imu

    @property
    def settings(self):
        """Saving the camera's format and controls to a YAML file, and loading them back."""
        return Settings(self)
