"""``pylentrasdk.Camera``: one camera as a Python object, the one core that lxctl, the viewer and
the pytest plugin use.

    with lx.Camera(0) as cam:                 # or lx.Camera("KAVN"): a unique part of a name
        cam.format = "1280x720:YUY2@30"
        cam.controls["brightness"] = 200
        frame = cam.read(timeout=3.0)          # the next frame of the camera's running stream

See docs/camera.md. Failures raise the exceptions of pylentrasdk.errors; the binding's C-style
functions stay as they are for those who want the SDK's own API.

Threads: a Camera's own calls are serialised by its lock, which is held for one SDK call (or a
few short ones), never while a frame is awaited: a read in one thread waits with the lock free,
so a control set in another thread goes through meanwhile.
"""

from __future__ import annotations

import contextlib
import html
import os
import threading
import warnings
from typing import Callable, Mapping

from .. import pyLentraSDK as _binding
from .._files import PathLike, sdk_path
from ..errors import (CameraClosedError, CameraNotFoundError, ControlValueError, LentraError,
                      NotSupportedError, failure_message, raise_for_status)
from ..formats import Format, FormatLike
from ..status import status_value
from ..stream import Frame
from .controls import Controls
from .discovery import resolve, short_name
from .imu import Imu
from .intrinsics import Intrinsics, read_intrinsics, write_intrinsics
from .link import Link
from .recording import Recording
from .settings import Settings
from .sinks import FrameSink
from .streaming import CameraStream, RunningStream, StreamOptions, timeout_ms

__all__ = ["Camera", "FormatLike"]

_NOT_SUPPORTED = status_value("LX_STATUS_NOT_SUPPORTED")

_USB_STORES = {
    "spi": _binding.LX_FX3_FW_TARGET.FW_TARGET_SPI,
    "i2c": _binding.LX_FX3_FW_TARGET.FW_TARGET_I2C,
    "ram": _binding.LX_FX3_FW_TARGET.FW_TARGET_RAM,
}



class _Opening:
    """What a Camera holds while it is open: the link and the parts made over it."""

    def __init__(self, link: Link) -> None:
        self.link = link
        self.controls = Controls(link)
        self.stream = RunningStream(link)  # and the format set through the Camera
        self.imu: Imu | None = None


class Camera:
    """One camera, opened when made: ``Camera(0)``, ``Camera("KAVN")``.

    Use it in a ``with`` block, or call ``close()``; a camera dropped while open is closed when
    collected, with a ResourceWarning. Closing stops its stream first; closing twice does
    nothing; any other use of a closed camera raises CameraClosedError until ``open()``."""

    def __init__(self, index_or_name: int | str) -> None:
        self._lock = threading.RLock()
        self._picked = index_or_name
        self._open: _Opening | None = None
        self._index: int | None = None
        self._name: str | None = None
        self.open()

    # -------------------------------------------------------------------------------------
    # Lifetime
    # -------------------------------------------------------------------------------------
    def open(self) -> None:
        """Opens the camera again after close(); nothing when it is open."""
        with self._lock:
            if self._open is not None:
                return
            self._index, self._name = resolve(self._picked)
            handle = _binding.LxInitialCameraDevice(self._index)
            if handle is None:
                raise CameraNotFoundError("no camera {} ({!r}): it went away".format(
                    self._index, self._name))
            status = _binding.LxOpen(handle)
            detail = "it is open elsewhere, in this process or another" \
                if status == status_value("LX_STATUS_BUSY") else None
            raise_for_status(status, "LxOpen", self._name, detail)
            self._open = _Opening(Link(handle, self._name, self._lock))

    def close(self) -> None:
        """Stops the camera's stream, if it runs, then closes the camera. Closing a closed
        camera does nothing."""
        with self._lock:
            opening, self._open = self._open, None
            if opening is None:
                return
            try:
                opening.stream.stop(closing=True)
            finally:
                handle = opening.link.handle
                opening.link.close()
                _binding.LxClose(handle)

    @property
    def closed(self) -> bool:
        """Whether the camera is closed."""
        return self._open is None

    def __enter__(self) -> Camera:
        self._opening()
        return self

    def __exit__(self, *exc_info: object) -> None:
        self.close()

    def __del__(self) -> None:
        # As Python's files do: a camera left open is closed here, and the program is told.
        if getattr(self, "_open", None) is None:
            return
        try:
            warnings.warn("unclosed camera {!r}".format(self), ResourceWarning, stacklevel=1,
                          source=self)
        finally:
            with contextlib.suppress(Exception):
                self.close()

    def __repr__(self) -> str:
        opening = self._open
        if opening is None:
            return "<Camera {} {!r} closed>".format(self._index, self._name)
        record = opening.stream.record
        shown = "" if record is None else " " + str(Format.from_record(record))
        return "<Camera {} {!r} open{}{}>".format(
            self._index, self._name, shown, " streaming" if opening.stream.running else "")

    def _opening(self) -> _Opening:
        opening = self._open
        if opening is None:
            raise CameraClosedError("{}: the camera is closed".format(self._name))
        return opening

    # -------------------------------------------------------------------------------------
    # Identity
    # -------------------------------------------------------------------------------------
    @property
    def handle(self) -> _binding.LxCamera:
        """The opened LxCamera, for the binding's C-style functions (``lx.LxGetTimestamp(
        cam.handle)``); CameraClosedError once the camera is closed. Closing the camera, or
        changing its format, is for the Camera object to do, so that it knows."""
        return self._opening().link.handle

    @property
    def index(self) -> int | None:
        """The camera's position in discovery (`lxctl list`, ``cameras()``)."""
        return self._index

    @property
    def name(self) -> str | None:
        """The camera's name, as discovery lists it."""
        return self._name

    def _text(self, function: str) -> str | None:
        """A text the camera reports, or None where it has none (not supported, or empty)."""
        link = self._opening().link
        status, text = link.call(function)
        if status == _NOT_SUPPORTED:
            return None
        link.check(status, function)
        return str(text) or None

    @property
    def serial_number(self) -> str | None:
        """The camera's hardware ID (None if it has none)."""
        return self._text("LxGetHardwareID")

    @property
    def path(self) -> str | None:
        """The camera's device path."""
        return self._text("LxGetDevicePath")

    @property
    def firmware_versions(self) -> dict[str, str]:
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
    def firmware_version(self) -> str | None:
        """The camera's main firmware version: its USB controller's, else its KAVR
        processor's, else its sensor's (None if it reports none)."""
        return next(iter(self.firmware_versions.values()), None)

    @property
    def interface(self) -> str:
        """"USB", "MIPI_CSI2" or "ETHERNET"."""
        return short_name(self._opening().link.result("LxGetDeviceInterfaceType"))

    @property
    def product(self) -> str:
        """The product type: "KAVL", "KAVN", "GENERIC_CAMERA", ..."""
        return short_name(self._opening().link.result("LxGetDeviceProductType"))

    @property
    def usb_speed(self) -> str | None:
        """The USB connection's speed ("SUPER", "HIGH", ...); None for a camera not on USB."""
        link = self._opening().link
        status, speed = link.call("LxGetUSBDeviceSpeed")
        if status == _NOT_SUPPORTED:
            return None
        link.check(status, "LxGetUSBDeviceSpeed")
        return short_name(speed)

    @property
    def is_lentra_camera(self) -> bool:
        """Whether the camera is one of the maker's (a plain webcam is not)."""
        return bool(self._opening().link.call("LxIsLentraCamera") == 0)

    # -------------------------------------------------------------------------------------
    # Files the camera reads and writes
    # -------------------------------------------------------------------------------------
    def export_sensor_config(self, path: PathLike) -> None:
        """Saves the sensor's configuration to the binary file `path` (written by the SDK,
        atomically)."""
        link = self._opening().link
        link.check(link.call("LxExportSensorConfig", sdk_path(path)), "LxExportSensorConfig",
                   os.fsdecode(path))

    def upgrade_firmware(self, target: str, image: PathLike,
                         progress: Callable[[int], None] | None = None,
                         store: str = "spi") -> str:
        """Upgrades the "sensor" firmware or the "usb" controller's from the image file, calling
        `progress(percent)` as it goes; the version the camera reports afterwards. The USB
        controller's firmware is kept in `store`: "spi" or "i2c" keep it, "ram" runs it until
        the camera is closed."""
        link = self._opening().link
        report = progress if progress is not None else (lambda percent: None)
        where = os.fsdecode(image)
        if target == "sensor":
            result = link.call("LxUpgradeSensorFW", sdk_path(image), report)
            # A failure's result names the stage that failed (LX_UPGRADE_VERIFY_FAIL).
            if result != _binding.LX_UPGRADE_RESULT.LX_UPGRADE_SUCCESS:
                raise LentraError(failure_message("LxUpgradeSensorFW", result, where),
                                  function="LxUpgradeSensorFW", status=result)
            version = self._text("LxGetSensorFirmwareVersion")
        elif target == "usb":
            member = _USB_STORES.get(store)
            if member is None:
                raise ValueError("store is one of {}, not {!r}".format(", ".join(_USB_STORES),
                                                                          store))
            # The controller takes its firmware in USB program mode, which the upgrade (or
            # closing the camera) ends.
            link.check(link.call("LxGotoUSBProgramMode"), "LxGotoUSBProgramMode")
            status = _binding.LxUpgradeFX3FW(member, sdk_path(image), report)
            raise_for_status(status, "LxUpgradeFX3FW", where)
            version = self._text("LxGetUSBFirmwareVersion")
        else:
            raise ValueError("target is 'sensor' or 'usb', not {!r}".format(target))
        return version or ""

    # -------------------------------------------------------------------------------------
    # Formats
    # -------------------------------------------------------------------------------------
    @property
    def formats(self) -> list[Format]:
        """The formats the camera offers, in its order, as Format."""
        return [Format.from_record(record) for record in self._opening().link.records()]

    def _find_record(self, wanted: FormatLike) -> _binding.LxFormat:
        """The camera's own LxFormat record for a Format, an LxFormat or a format text."""
        link = self._opening().link
        if isinstance(wanted, str):
            try:
                wanted = Format.parse(wanted)
            except ValueError as error:
                raise ControlValueError("{}: {}".format(link.name, error)) from None
        elif isinstance(wanted, _binding.LxFormat):
            record = wanted
            try:
                wanted = Format.from_record(record)
            except ValueError:
                raise ControlValueError("{}: an {} entry carries no frames".format(
                    link.name, record.format.name)) from None
        elif not isinstance(wanted, Format):
            raise TypeError("a format is a Format, an LxFormat or a text such as "
                            "'1280x720:YUY2@30', not {}".format(type(wanted).__name__))
        records = link.records()
        for record in records:
            if wanted.matches(record):
                return record
        raise ControlValueError("{}: the camera has no format {}; it has {}".format(
            link.name, wanted, ", ".join(str(Format.from_record(r)) for r in records)))

    @property
    def format(self) -> Format:
        """The format frames come in: the one last set through this object, or on a camera
        just opened the first format it lists (which the SDK starts with). Set it to a Format,
        an LxFormat record or a text "1280x720:YUY2@30" (without @FPS: the first rate listed);
        a format the camera lacks raises ControlValueError. A running stream goes on in the
        new format."""
        with self._lock:
            return Format.from_record(self._opening().stream.current_record())

    @format.setter
    def format(self, wanted: FormatLike) -> None:
        with self._lock:
            opening = self._opening()
            record = self._find_record(wanted)
            running = opening.stream
            if running.running:
                if running.record is not None and \
                        Format.from_record(record) == Format.from_record(running.record):
                    return  # the format it streams in already
                running.restart(record)
            else:
                opening.link.check(opening.link.call("LxSetFormat", record), "LxSetFormat",
                                   str(Format.from_record(record)))
                running.record = record

    @property
    def format_record(self) -> _binding.LxFormat:
        """The camera's LxFormat record of ``format``, for the C-style functions and
        pylentrasdk.frames (``frames.to_png(frame.array, cam.format_record, "f.png")``)."""
        with self._lock:
            return self._opening().stream.current_record()

    # -------------------------------------------------------------------------------------
    # Frames: one stream, kept running between reads
    # -------------------------------------------------------------------------------------
    def start(self, buffers: int = 4, *, fixed: bool = False, latest: bool = False,
              timeout: float | None = 3.0) -> None:
        """Starts the camera's stream in its format (see docs/streaming.md for the options): it
        runs until ``stop()``, a stream view's close or the camera's close. Starting a running
        stream with other options restarts it with them."""
        options = StreamOptions(buffers, fixed, latest, timeout_ms(timeout))
        with self._lock:
            self._opening().stream.start(options)

    def stop(self) -> None:
        """Stops the camera's stream (nothing when it does not run). A read waiting in another
        thread ends with StreamClosedError."""
        with self._lock:
            self._opening().stream.stop()

    @property
    def running(self) -> bool:
        """Whether the camera's stream runs."""
        opening = self._open
        return opening is not None and opening.stream.running

    def read(self, timeout: float | None = 3.0) -> Frame:
        """The next frame of the camera's stream (started with the default options when it
        does not run), waiting at most `timeout` seconds (None: no limit). No frame in time
        raises CaptureTimeoutError (a TimeoutError); a failed capture StreamError. Threads
        reading at once take turns."""
        return self._opening().stream.read(timeout)

    def capture(self, timeout: float | None = 3.0) -> Frame:
        """The next frame, as ``read``: the stream is left running for the next capture."""
        return self.read(timeout)

    def stream(self, buffers: int = 4, *, fixed: bool = False, latest: bool = False,
               timeout: float | None = 3.0) -> CameraStream:
        """The camera's stream as an iterator of frames (starting it, or restarting it with
        these options): ``with cam.stream() as frames: for frame in frames: ...``. Closing it
        stops the stream; each read waits at most `timeout` seconds (None: no limit)."""
        self.start(buffers, fixed=fixed, latest=latest, timeout=timeout)
        opening = self._opening()
        return CameraStream(self, opening.stream, str(self._name))

    def sink(self, capacity: int = 8) -> FrameSink:
        """Every frame of the camera's stream (started if it does not run) from now on, into a
        queue of `capacity` frames that a slow consumer overflows alone (see FrameSink):
        ``with cam.sink() as frames: for frame in frames: ...``. Reads go on beside it, as do
        other sinks; the frames are shared, so their arrays are read-only."""
        with self._lock:
            return self._opening().stream.sink(capacity)

    def record(self, path: PathLike, *, pre_seconds: float = 0.0, codec: str | None = None,
               crf: int | None = None, options: Mapping[str, str] | None = None) -> Recording:
        """Records the camera's stream (started if it does not run) into the new video file
        `path` (.mp4, .mkv or .avi) until ``stop()`` or the end of a ``with`` block; with
        `pre_seconds` it keeps that many seconds in memory and writes from ``trigger()`` on.
        See docs/recording.md; needs PyAV (``pip install pylentrasdk[video]``)."""
        return Recording(self, path, pre_seconds=pre_seconds, codec=codec, crf=crf,
                         options=options)

    # -------------------------------------------------------------------------------------
    # Controls, IMU, settings
    # -------------------------------------------------------------------------------------
    @property
    def controls(self) -> Controls:
        """Every control the camera has, by name (see Controls)."""
        return self._opening().controls

    @property
    def imu(self) -> Imu:
        """The camera's IMU (NotSupportedError on a camera without one)."""
        with self._lock:
            opening = self._opening()
            if opening.imu is None:
                status, _ = opening.link.call("LxGetIMUTemperature")
                if status == _NOT_SUPPORTED:
                    raise NotSupportedError("{}: the camera has no IMU".format(self._name),
                                            function="LxGetIMUTemperature", status=status)
                opening.imu = Imu(opening.link)
            return opening.imu

    @property
    def settings(self) -> Settings:
        """Saving the camera's format and controls to a YAML file, and loading them back."""
        return Settings(self, self._opening().link)

    # -------------------------------------------------------------------------------------
    # Calibration, and the camera as a notebook shows it
    # -------------------------------------------------------------------------------------
    @property
    def intrinsics(self) -> Intrinsics | None:
        """The camera's calibration scaled to its current format (camera_matrix, dist_coeffs:
        see Intrinsics), or None when the camera holds none. Set it to an Intrinsics to write
        one (LxWriteIntrinsics), at the object's calibrated_size."""
        with self._lock:
            opening = self._opening()
            current = Format.from_record(opening.stream.current_record())
            return read_intrinsics(opening.link, current)

    @intrinsics.setter
    def intrinsics(self, calibration: Intrinsics) -> None:
        write_intrinsics(self._opening().link, calibration)

    def _repr_html_(self) -> str:
        """Its name, format and a table of its controls, every text escaped."""
        escape = html.escape
        title = "<b>{}</b> (camera {})".format(escape(str(self._name)), self._index)
        if self._open is None:
            return "<p>{}: closed</p>".format(title)
        try:
            state = "{}{}".format(self.format, ", streaming" if self.running else "")
            controls = self.controls.infos()
        except LentraError as error:
            return "<p>{}: {}</p>".format(title, escape(str(error)))
        lines = ["<p>{}: {}</p>".format(title, escape(state)), "<table>",
                 "<tr><th>control</th><th>value</th><th>range</th><th>default</th></tr>"]
        for info, value in controls:
            label = info.labels.get(value)
            cells = (info.name + (" (read-only)" if info.read_only else ""),
                     "{} ({})".format(value, label) if label else str(value),
                     "{} to {}".format(info.min, info.max)
                     + ("" if info.step == 1 else " by {}".format(info.step)),
                     "" if info.default is None else str(info.default))
            lines.append("<tr>{}</tr>".format("".join(
                "<td>{}</td>".format(escape(cell)) for cell in cells)))
        lines.append("</table>")
        return "\n".join(lines)

