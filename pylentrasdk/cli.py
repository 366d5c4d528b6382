"""lxctl: the cameras from the command line, for scripts.

    lxctl list                       the cameras: index, name, interface, product
    lxctl info [-d N]                one camera's identity and firmware versions
    lxctl formats [-d N]             its formats, numbered as `capture` takes them
    lxctl capture -f FORMAT -o OUT   frames to files: PNG, raw bytes, or the JPEG itself
                  [--set NAME=VALUE...]  after setting controls
    lxctl controls [-d N]            the image controls (ISP, or UVC where a camera has no ISP
                                     control of the kind): value, range, step, default,
                                     read-only, labels of choices
    lxctl get NAME...                controls' values, by the names `controls` shows
    lxctl set NAME=VALUE...          sets controls, all checked before any is written
    lxctl imu [--orientation]        one IMU reading (the cameras that have an IMU)
    lxctl routes activate FILE       loads a YAML route file and activates its routes
    lxctl routes reset               leaves no media route active
    lxctl sensor-config export BIN   saves the sensor configuration to a binary file
    lxctl sensor-config decode BIN [JSON]   that file as JSON
    lxctl firmware sensor|usb IMAGE  upgrades the sensor's or the USB controller's firmware
    lxctl view [--port PORT]         every camera live in the browser (pylentrasdk.viewer)

Every command takes --json for machine-readable output. Exit status: 0 success, 1 when the
camera or the SDK refuses (the message names the status), 2 for a usage error. Errors are one
line on standard error.

Commands are entries of the table COMMANDS: a new command is one more entry (its name, its help
line, a function that adds its arguments and the function that runs it). Cameras are opened, and
formats and controls looked up, read and written, through the camera layer (pylentrasdk.Camera),
so lxctl and the layer never disagree about a name, a format text or a range.
"""

import argparse
import collections
import contextlib
import json
import os
import re
import stat
import sys
import tempfile

import numpy

import pylentrasdk as lx
from pylentrasdk import control_names, frames, viewer
from pylentrasdk._files import check_destination, write_atomically
from pylentrasdk.formats import FormatTextError
from pylentrasdk.status import status_name

PROG = "lxctl"

EXIT_OK, EXIT_REFUSED, EXIT_USAGE = 0, 1, 2
EXIT_BROKEN_PIPE = 128 + 13  # as the shell reports a writer that SIGPIPE ended


class UsageError(Exception):
    """The command line asks for something malformed (exit status 2)."""


class Refused(Exception):
    """The camera or the SDK said no, or a file could not be written (exit status 1)."""


def _refusal(status, function, subject=None):
    """"LxOpen: LX_STATUS_BUSY (-4)", after "subject: " when there is one (a file's name)."""
    text = "{}: {} ({})".format(function, status_name(status), int(status))
    return text if subject is None else "{}: {}".format(subject, text)


def _check(status, function, subject=None):
    """Raises Refused naming the function and the status unless `status` is success."""
    if status != 0:
        raise Refused(_refusal(status, function, subject))


def _input_file(path):
    """`path` when it names a regular file that can be read; else Refused naming the problem.
    Checked before the SDK is called, whose answer for a missing file is a bare status, and
    without opening the file: opening a FIFO for reading waits for a writer, for ever."""
    try:
        info = os.stat(path)
    except OSError as error:
        raise Refused("cannot read {}: {}".format(path, error.strerror or error)) from None
    except ValueError:  # a NUL character, which no file name holds
        raise Refused("cannot read {!r}: a file name holds no NUL character".format(path)) \
            from None
    problem = ("Is a directory" if stat.S_ISDIR(info.st_mode)
               else "not a regular file" if not stat.S_ISREG(info.st_mode)
               else "Permission denied" if not os.access(path, os.R_OK)
               else None)
    if problem:
        raise Refused("cannot read {}: {}".format(path, problem))
    return path


def _sdk_path(path):
    """`path` as the SDK takes it: the text itself, or its bytes when the name is not UTF-8
    (a name read from the command line keeps such bytes as surrogates, which do not encode)."""
    try:
        path.encode("utf-8")
    except UnicodeEncodeError:
        return os.fsencode(path)
    return path


def _output_file(path):
    """`path` when a file can be made there; else Refused (UsageError for an empty name)."""
    if not path:
        raise UsageError("the output file name is empty")
    folder = os.path.dirname(os.path.abspath(path))
    problem = ("No such file or directory" if not os.path.isdir(folder)
               else "Is a directory" if os.path.isdir(path)
               else "Permission denied" if not os.access(folder, os.W_OK | os.X_OK)
               else None)
    if problem:
        raise Refused("cannot write {}: {}".format(path, problem))
    try:
        check_destination(path)  # the SDK refuses a link, FIFO or device too, with a bare status
    except OSError as error:
        raise Refused("cannot write {}: {}".format(path, error.strerror)) from None
    return path


def _short(member):
    """A member's name without its enumeration's prefix: KAVL, USB, SUPER (pixel formats are
    named by frames.format_name)."""
    for prefix in ("LXCAM_PRODUCT_TYPE_", "INTERFACE_", "USB_DEVICE_SPEED_"):
        if member.name.startswith(prefix):
            return member.name[len(prefix):]
    return member.name


# ---------------------------------------------------------------------------------------------
# Cameras
# ---------------------------------------------------------------------------------------------
def _camera_names():
    status, names = lx.LxDiscoverCameraDevices()
    _check(status, "LxDiscoverCameraDevices")
    return list(names)


def _camera_refusal(error):
    """Refused for a LentraError of the camera layer: "LxOpen: LX_STATUS_BUSY (-4)" when it
    names an SDK call and its status, its own message otherwise."""
    if error.function is not None and error.status is not None:
        return Refused(_refusal(error.status, error.function))
    return Refused(str(error))


@contextlib.contextmanager
def _opened(index):
    """The camera at `index` (a pylentrasdk.Camera), opened for the block and closed after it."""
    count = len(_camera_names())
    if not 0 <= index < count:
        raise Refused("no camera {}: {}".format(
            index, "there are none" if count == 0 else "the cameras are 0 to {}".format(count - 1)))
    try:
        camera = lx.Camera(index)
    except lx.LentraError as error:
        raise _camera_refusal(error) from None
    with camera:
        yield camera


def _formats(camera):
    """The camera's formats that carry frames (Format), in the order (and so the numbers) it
    lists them."""
    return camera.formats


def _format_dict(index, fmt):
    return {"index": index, "width": fmt.width, "height": fmt.height, "fourcc": fmt.fourcc,
            "fps": fmt.fps}


def _format_text(f):
    return "{index:3d}: {width:5d} x {height:<5d} {fourcc:<5} {fps:4d} fps".format(**f)


def _choose_format(formats, text):
    """(index, Format) named by an index ("3") or by WIDTHxHEIGHT:FOURCC[@FPS]
    ("1920x1080:YUY2"), the first such format when several match."""
    if text.isdigit():
        index = int(text)
        if not formats:
            raise Refused("no format {}: the camera offers none".format(index))
        if index >= len(formats):
            raise Refused("no format {}: the camera's formats are 0 to {} (see `lxctl formats`)"
                          .format(index, len(formats) - 1))
        return index, formats[index]
    missing = Refused("the camera has no {} format (see `lxctl formats`)".format(text))
    try:
        wanted = lx.Format.parse(text)
    except FormatTextError:
        raise UsageError("format {!r}: give an index or WIDTHxHEIGHT:FOURCC, such as "
                         "1920x1080:YUY2".format(text)) from None
    except ValueError:  # well formed, but no format has such a pixel format or size
        raise missing from None
    for index, fmt in enumerate(formats):
        if wanted.matches(fmt):
            return index, fmt
    raise missing


# ---------------------------------------------------------------------------------------------
# Commands. Each runs with the parsed arguments and returns what it shows: a value for --json and
# the lines of its text form.
# ---------------------------------------------------------------------------------------------
# `write`, when a command gives it, writes the output itself to a binary stream, in place of
# `value` and `lines` (for an output too large to hold: a decoded sensor configuration).
Shown = collections.namedtuple("Shown", "value lines write", defaults=(None,))


def _run_list(args):
    try:
        cameras = [{"index": c.index, "name": c.name, "interface": c.interface,
                    "product": c.product} for c in lx.cameras()]
    except lx.LentraError as error:
        raise _camera_refusal(error) from None
    lines = ["{index}: {name}  ({interface}, {product})".format(**c) for c in cameras]
    return Shown(cameras, lines or ["no cameras"])


# (key, label, function): what `info` shows, in order. A function the camera does not support
# (LX_STATUS_NOT_SUPPORTED) gives null in JSON and no line in the text.
_INFO = (
    ("name", "Name", lx.LxGetDeviceName),
    ("path", "Path", lx.LxGetDevicePath),
    ("hardware_id", "Hardware ID", lx.LxGetHardwareID),
    ("interface", "Interface", lx.LxGetDeviceInterfaceType),
    ("product", "Product", lx.LxGetDeviceProductType),
    ("usb_speed", "USB speed", lx.LxGetUSBDeviceSpeed),
    ("usb_firmware", "USB firmware", lx.LxGetUSBFirmwareVersion),
    ("sensor_firmware", "Sensor firmware", lx.LxGetSensorFirmwareVersion),
    ("kavr_firmware", "KAVR firmware", lx.LxGetKAVRFirmwareVersion),
)


def _run_info(args):
    info = {"index": args.device}
    lines = []
    with _opened(args.device) as camera:
        cam = camera.handle
        info["lentra_camera"] = lx.LxIsLentraCamera(cam) == 0
        for key, label, function in _INFO:
            status, value = function(cam)
            if status == lx.LxStatus.LX_STATUS_NOT_SUPPORTED:
                info[key] = None
                continue
            _check(status, function.__name__)
            info[key] = value if isinstance(value, str) else _short(value)
            lines.append("{:<16} {}".format(label + ":", info[key]))
    lines.append("{:<16} {}".format("Lentra camera:", "yes" if info["lentra_camera"] else "no"))
    return Shown(info, lines)


def _run_formats(args):
    with _opened(args.device) as camera:
        listed = [_format_dict(i, f) for i, f in enumerate(_formats(camera))]
    return Shown(listed, [_format_text(f) for f in listed] or ["no formats"])


def _add_capture_arguments(parser):
    parser.add_argument("-f", "--format", required=True,
                        help="a format index from `lxctl formats`, or WIDTHxHEIGHT:FOURCC[@FPS]")
    parser.add_argument("-o", "--output", required=True, metavar="PATTERN",
                        help="file name; {n} becomes the saved frame's place in the run "
                             "(1, 2, ...), needed with --count above 1. .png writes a picture, "
                             ".jpg/.jpeg the JPEG of an MJPG frame, any other name the frame's "
                             "bytes as captured")
    parser.add_argument("-n", "--count", type=_whole(1), default=1, help="frames to save (1)")
    parser.add_argument("--skip", type=_whole(0), default=0,
                        help="frames to capture and drop first (0)")
    parser.add_argument("--timeout", type=_whole(1, 65535), default=3000, metavar="MS",
                        help="longest wait for one frame, in milliseconds (3000)")
    parser.add_argument("--set", nargs="+", action="extend", type=_assignment, default=[],
                        metavar="NAME=VALUE",
                        help="controls to set first, as `lxctl set` takes them (a camera of "
                             "the simulated rig keeps them for this run only)")


def _whole(minimum, maximum=None):
    def parse(text):
        if not re.match(r"^[+-]?[0-9]+$", text.strip()):
            raise argparse.ArgumentTypeError("{!r} is not a whole number".format(text))
        value = _number(text.strip())
        if value is None:
            raise argparse.ArgumentTypeError("{} has too many digits".format(
                _abridged(text.strip())))
        if value < minimum or (maximum is not None and value > maximum):
            bounds = ">= {}".format(minimum) if maximum is None else "{} to {}".format(
                minimum, maximum)
            raise argparse.ArgumentTypeError("{} is out of range ({})".format(
                _abridged(text.strip()), bounds))
        return value

    return parse


def _file_namer(pattern, count):
    """A function from a saved frame's place in the run (from 1) to its file's name, after checking the
    pattern once. Names are made as frames are saved: --count may be any size."""
    if count > 1 and "{n}" not in pattern:
        raise UsageError("--output {!r}: with --count above 1 the name needs {{n}}, which "
                         "becomes the saved frame's place in the run".format(pattern))
    try:
        first = pattern.format(n=1)
    except (KeyError, IndexError, ValueError) as error:
        raise UsageError("--output {!r}: only {{n}} may stand in braces ({})".format(
            pattern, error)) from None
    if not first:
        raise UsageError("--output: the file name is empty")
    return lambda n: pattern.format(n=n)


def _kind_of(path, fmt):
    """How a frame is saved at `path`: "png", "jpeg" (the JPEG itself) or "raw"."""
    extension = os.path.splitext(path)[1].lower()
    if extension == ".png":
        return "png"
    if extension in (".jpg", ".jpeg"):
        if fmt.fourcc != "MJPG":
            raise UsageError("{}: only MJPG frames are JPEG files; name a .png file for a "
                             "picture of a {} frame".format(path, fmt.fourcc))
        return "jpeg"
    return "raw"


def _save(frame, fmt, path, kind):
    try:
        if kind == "png":
            frames.to_png(frame, fmt, path)
        else:
            write_atomically(path, lambda out: out.write(frame.tobytes()))
    except OSError as error:
        raise Refused("cannot write {}: {}".format(path, error.strerror or error)) from None
    except ValueError as error:
        raise Refused("{}: {}".format(path, error)) from None


class _Progress:
    """"frame 3/10" or a bar rewritten in place on standard error, when it is a terminal."""

    def __init__(self):
        self.terminal = sys.stderr.isatty()
        self.shown = False

    def show(self, text):
        if self.terminal:
            sys.stderr.write("\r{}\x1b[K".format(text))
            sys.stderr.flush()
            self.shown = True

    def bar(self, percent, label="upgrading", width=30):
        """A progress callable for the SDK's upgrades: `percent` from 0 to 100."""
        filled = max(0, min(width, width * int(percent) // 100))
        self.show("{} [{}{}] {:3d}%".format(label, "#" * filled, "." * (width - filled),
                                            int(percent)))

    def done(self):
        """Clears the line, if anything was shown, for what follows on standard error."""
        if self.shown:
            sys.stderr.write("\r\x1b[K")
            sys.stderr.flush()
            self.shown = False


def _grab(cam, fmt, timeout):
    result, frame = lx.LxGetImage(cam, timeout, fmt)
    if result != lx.LX_CAPTURE_RESULT.LX_SUCCESS:
        raise Refused(_refusal(result, "LxGetImage"))
    return frame


def _run_capture(args):
    name_of = _file_namer(args.output, args.count)
    saved = []
    with _opened(args.device) as camera:
        index, fmt = _choose_format(_formats(camera), args.format)
        kind = _kind_of(args.output, fmt)
        try:
            camera.format = fmt
        except lx.LentraError as error:
            raise _camera_refusal(error) from None
        cam, record = camera.handle, camera.format_record
        controls = _set_controls(camera, args.set, args.device) if args.set else None
        _check(lx.LxStartStreaming(cam), "LxStartStreaming")
        progress = _Progress()
        try:
            for n in range(args.skip):
                progress.show("skipping frame {}/{}".format(n + 1, args.skip))
                _grab(cam, record, args.timeout)
            for n in range(1, args.count + 1):
                path = name_of(n)
                progress.show("frame {}/{}".format(n, args.count))
                frame = _grab(cam, record, args.timeout)
                _save(frame, record, path, kind)
                # What the camera gave, and what the file holds: the same for a raw file, a
                # picture's size for a PNG.
                saved.append({"path": path, "captured_bytes": int(frame.size),
                              "file_bytes": os.path.getsize(path)})
        finally:
            progress.done()
            lx.LxStopStreaming(cam)
    shown = {"format": _format_dict(index, fmt), "files": saved}
    lines = ["{path} ({captured_bytes} bytes captured, {file_bytes} bytes written)".format(**s)
             for s in saved]
    if controls is not None:
        shown["controls"] = controls
        lines = _shown_values(controls).lines + lines
    return Shown(shown, lines)


# ---------------------------------------------------------------------------------------------
# Controls, by the names the console tool shows them (pylentrasdk.control_names), read and
# written through the camera layer (Camera.controls), which names them in lower case
# ---------------------------------------------------------------------------------------------
def _control_names(camera):
    """lxctl's controls of this camera by their display names: the console tool's, in its
    order, then the UVC properties that have no ISP control of their own name."""
    names = [name for name, _ in control_names.ISP_CONTROLS]
    names += [name for name, _, _ in control_names.STREAM_SETTINGS]
    names += [name for name, _ in control_names.optional_controls(camera.handle)]
    return names + [name for name, _ in control_names.UVC_CONTROLS if name not in names]


def _layer_call(function, *args):
    """function(*args), a LentraError of the camera layer becoming lxctl's Refused."""
    try:
        return function(*args)
    except lx.LentraError as error:
        raise _camera_refusal(error) from None


def _read_control(camera, name):
    """{name, supported, value, min, max, step, default, read_only, labels}: all but the name,
    `supported` and `labels` None for a control the camera does not support; `labels` maps the
    values of a choice control (as text) to their labels."""
    state = dict.fromkeys(("value", "min", "max", "step", "default", "read_only"))
    labels = control_names.CHOICE_LABELS.get(name)
    state.update(name=name, supported=False,
                 labels=None if labels is None else {str(v): label for v, label in labels})
    controls = _layer_call(lambda: camera.controls)
    if control_names.snake_name(name) not in controls:
        return state
    info = _layer_call(controls.info, name)
    state.update(supported=True, value=_layer_call(controls.__getitem__, name), min=info.min,
                 max=info.max, step=info.step, default=info.default, read_only=info.read_only)
    return state


def _supported_state(camera, name, device):
    state = _read_control(camera, name)
    if not state["supported"]:
        raise Refused("camera {} does not support {}".format(device, name))
    return state


def _find_control(names, name, device):
    """The display name of the control called `name`, in any case."""
    for display in names:
        if display.lower() == name.lower():
            return display
    raise Refused("camera {} has no control {!r} (see `lxctl controls`)".format(device, name))


_CONTROL_ROW = "{:<25} {:>8} {:>8} {:>8} {:>6} {:>8}  {}"


def _control_text(state):
    """A control's row; a supported choice control's labels on a line under it."""
    if not state["supported"]:
        return ["{:<25} not supported".format(state["name"])]
    shown = ["-" if state[key] is None else state[key]
             for key in ("value", "min", "max", "step", "default")]
    row = _CONTROL_ROW.format(state["name"], *shown,
                              "read-only" if state["read_only"] else "").rstrip()
    if state["labels"] is None:
        return [row]
    return [row, " " * 26 + control_names.labels_text(state["name"])]


def _run_controls(args):
    uvc_only = {name for name, _ in control_names.UVC_CONTROLS}.difference(
        name for name, _ in control_names.ISP_CONTROLS)
    with _opened(args.device) as camera:
        states = []
        for name in _control_names(camera):
            state = _read_control(camera, name)
            # The UVC properties without an ISP control are listed where the camera has them.
            if state["supported"] or name not in uvc_only:
                states.append(state)
    header = _CONTROL_ROW.format("Name", "Value", "Min", "Max", "Step", "Default", "").rstrip()
    return Shown(states, [header] + [line for s in states for line in _control_text(s)])


def _add_get_arguments(parser):
    parser.add_argument("names", nargs="+", metavar="NAME",
                        help="a control's name as `lxctl controls` shows it, in any case")


def _shown_values(values):
    return Shown(values, ["{}: {}".format(name, value) for name, value in values.items()])


def _run_get(args):
    values = collections.OrderedDict()
    with _opened(args.device) as camera:
        names = _control_names(camera)
        for name in args.names:
            display = _find_control(names, name, args.device)
            values[display] = _supported_state(camera, display, args.device)["value"]
    return _shown_values(values)


def _assignment(text):
    """NAME=VALUE -> (NAME, VALUE), for argparse; VALUE is the text of a whole number, made a
    number once its control's range is known (so that even a number of thousands of digits is
    answered with that range)."""
    name, equals, value = text.partition("=")
    if not equals or not name.strip():
        raise argparse.ArgumentTypeError(
            "{!r} is not NAME=VALUE (such as brightness=200)".format(text))
    if not re.match(r"^[+-]?[0-9]+$", value.strip()):
        raise argparse.ArgumentTypeError(
            "{!r}: the value {!r} is not a whole number".format(text, value))
    return name.strip(), value.strip()


def _number(text):
    """The whole number `text` holds; None for one of more than 18 digits, beyond any
    control's range (and beyond what int() takes for very long texts)."""
    digits = text.lstrip("+-").lstrip("0") or "0"
    return int(text[0] + digits if text[0] in "+-" else digits) if len(digits) <= 18 else None


def _abridged(text):
    """A number's text, cut to its first digits when it is long."""
    digits = text.lstrip("+-")
    return text if len(digits) <= 20 else "{}...({} digits)".format(text[:12], len(digits))


def _add_set_arguments(parser):
    parser.add_argument("assignments", nargs="+", metavar="NAME=VALUE", type=_assignment,
                        help="a control's name as `lxctl controls` shows it (in any case) and "
                             "a whole number within its range")


def _set_controls(camera, assignments, device):
    """Sets the (name, value text) pairs on the open camera; the values it holds afterwards,
    by control name. Every name and value is checked before the first write, so that a
    mistake anywhere on the line leaves the camera as it was."""
    names = _control_names(camera)
    writes = collections.OrderedDict()
    for name, text in assignments:
        display = _find_control(names, name, device)
        if display in writes:
            raise UsageError("{} is given twice".format(display))
        state = _supported_state(camera, display, device)
        if state["read_only"]:
            raise Refused("{} is read-only".format(display))
        value = _number(text)
        if value is None or not state["min"] <= value <= state["max"]:
            raise Refused("{}={} is out of range: {} to {}".format(
                display, _abridged(text) if value is None else value, state["min"],
                state["max"]))
        writes[display] = value
    controls = camera.controls
    written = []
    for name, value in writes.items():
        try:
            controls[name] = value
        except lx.LentraError as error:
            message = "{}={}: {}".format(name, value, _camera_refusal(error))
            if written:
                message += " (set before it: {})".format(", ".join(written))
            raise Refused(message) from None
        written.append(name)
    # Read back: the camera may round a value to its step.
    return collections.OrderedDict((name, _layer_call(controls.__getitem__, name))
                                   for name in writes)


def _run_set(args):
    with _opened(args.device) as camera:
        return _shown_values(_set_controls(camera, args.assignments, args.device))


# ---------------------------------------------------------------------------------------------
# IMU
# ---------------------------------------------------------------------------------------------
def _float32(value):
    """A float32 reading as the shortest decimal that gives it back (9.646823, not
    9.646822929382324)."""
    return float(str(numpy.float32(value)))


def _imu_reading(cam, function, *mode):
    status, value = function(cam, *mode)
    _check(status, function.__name__)
    return [_float32(v) for v in value] if mode else _float32(value)


def _add_imu_arguments(parser):
    parser.add_argument("--orientation", action="store_true",
                        help="also switch the IMU to its ISPU mode (until the camera is closed, "
                             "at the end of the command) and read the orientation it computes")


def _run_imu(args):
    normal = lx.LX_IMU_SELF_TEST_MODE.NORMAL
    with _opened(args.device) as camera:
        cam = camera.handle
        status, _ = lx.LxGetIMUAccData(cam, normal)
        if status == lx.LxStatus.LX_STATUS_NOT_SUPPORTED:
            raise Refused("camera {} has no IMU".format(args.device))
        reading = collections.OrderedDict((
            ("accelerometer", _imu_reading(cam, lx.LxGetIMUAccData, normal)),
            ("gyroscope", _imu_reading(cam, lx.LxGetIMUGyrData, normal)),
            ("temperature", _imu_reading(cam, lx.LxGetIMUTemperature)),
            # Read before a mode is enabled, which restarts the IMU's clock.
            ("sensor_time", _imu_reading(cam, lx.LxGetIMUSensorTime)),
        ))
        if args.orientation:
            _check(lx.LxEnableIMUMode(cam, lx.LX_IMU_MODE.ISPU), "LxEnableIMUMode")
            status, ispu = lx.LxGetISPUData(cam)
            _check(status, "LxGetISPUData")
            reading["orientation"] = collections.OrderedDict(
                (key, _float32(getattr(ispu, key)))
                for key in ("yaw", "pitch", "roll", "x", "y", "z", "w"))
    lines = ["{:<22} {:>10.4f} {:>10.4f} {:>10.4f}".format(label, *reading[key])
             for key, label in (("accelerometer", "Accelerometer (m/s^2):"),
                                ("gyroscope", "Gyroscope (deg/s):"))]
    lines.append("{:<22} {:>10.2f}".format("Temperature (degC):", reading["temperature"]))
    lines.append("{:<22} {:>10.6f}".format("Sensor time (s):", reading["sensor_time"]))
    if args.orientation:
        angles = reading["orientation"]
        lines.append("{:<22} {:>10.2f} {:>10.2f} {:>10.2f}  (yaw, pitch, roll)".format(
            "Orientation (deg):", angles["yaw"], angles["pitch"], angles["roll"]))
        lines.append("{:<22} {:>10.4f} {:>10.4f} {:>10.4f} {:>10.4f}  (x, y, z, w)".format(
            "Quaternion:", angles["x"], angles["y"], angles["z"], angles["w"]))
    return Shown(reading, lines)


# ---------------------------------------------------------------------------------------------
# Media routes and sensor configuration: files the SDK reads and writes
# ---------------------------------------------------------------------------------------------
def _add_routes_arguments(parser):
    parser.add_argument("action", choices=("activate", "reset"),
                        help="activate: load a YAML route file and activate its routes; "
                             "reset: leave no route active")
    parser.add_argument("file", nargs="?", metavar="ROUTES.yaml",
                        help="the route file to activate")


def _route_call(function, *args):
    # The SDK throws (RuntimeError here) on a platform without route management.
    try:
        return function(*args)
    except RuntimeError:
        raise Refused("{}: this platform has no media route management".format(
            function.__name__)) from None


def _run_routes(args):
    if args.action == "reset":
        if args.file is not None:
            raise UsageError("routes reset takes no file")
        _check(_route_call(lx.LxResetActiveRoutes), "LxResetActiveRoutes")
        return Shown({"reset": True}, ["no media route is active"])
    if args.file is None:
        raise UsageError("routes activate: name the route file (ROUTES.yaml)")
    path = _input_file(args.file)
    routes = _route_call(lx.LxLoadRouteYaml, _sdk_path(path))
    if routes is None:
        raise Refused("{}: LxLoadRouteYaml could not load it (not valid YAML, not a route file, "
                      "or it names entities, pads or links the platform lacks)".format(path))
    _check(_route_call(lx.LxActivateYamlRoutes, routes), "LxActivateYamlRoutes", path)
    return Shown({"activated": path}, ["activated the routes of {}".format(path)])


def _add_sensor_config_arguments(parser):
    parser.add_argument("action", choices=("export", "decode"),
                        help="export: save the camera's sensor configuration to a binary file; "
                             "decode: turn such a file into JSON")
    parser.add_argument("files", nargs="+", metavar="FILE",
                        help="export: the binary file to write; decode: the binary file and "
                             "the JSON file to write (standard output when left out)")


def _run_sensor_config(args):
    most = 1 if args.action == "export" else 2
    if len(args.files) > most:
        raise UsageError("sensor-config {} takes {} file name{}".format(
            args.action, "one" if most == 1 else "one or two", "" if most == 1 else "s"))
    if args.action == "export":
        path = _output_file(args.files[0])
        with _opened(args.device) as camera:
            _check(lx.LxExportSensorConfig(camera.handle, _sdk_path(path)), "LxExportSensorConfig",
                   path)
        size = os.path.getsize(path)
        return Shown({"path": path, "bytes": size},
                     ["saved the sensor configuration to {} ({} bytes)".format(path, size)])
    binary = _input_file(args.files[0])
    if len(args.files) == 2:
        target = _output_file(args.files[1])
        _check(lx.LxDecodeSensorConfig(_sdk_path(binary), _sdk_path(target)),
               "LxDecodeSensorConfig", binary)
        return Shown({"binary": binary, "json": target},
                     ["decoded {} to {}".format(binary, target)])
    # To standard output: the SDK writes files only, so it decodes into a private folder, kept
    # until the output is written. The JSON is copied as the SDK wrote it (with --json too: it
    # is the decoded document), never held whole: the largest holds a million registers.
    folder = args.resources.enter_context(tempfile.TemporaryDirectory(prefix="lxctl-"))
    target = os.path.join(folder, "decoded.json")
    _check(lx.LxDecodeSensorConfig(_sdk_path(binary), target), "LxDecodeSensorConfig", binary)
    return Shown(None, None, lambda out: _copy_lines(target, out))


def _copy_lines(path, out):
    """Copies the text file at `path` to the binary stream `out` as lines: however many line
    ends the file ends with, the output ends with one (none for an empty file)."""
    held = 0  # line ends at the end of what was read, written only if more text follows
    with open(path, "rb") as source:
        for chunk in iter(lambda: source.read(1 << 20), b""):
            text = chunk.rstrip(b"\n")
            if text:
                out.write(b"\n" * held)
                out.write(text)
                held = 0
            held += len(chunk) - len(text)
        if source.tell() > held:
            out.write(b"\n")


# ---------------------------------------------------------------------------------------------
# Firmware
# ---------------------------------------------------------------------------------------------
_USB_STORES = {"spi": "FW_TARGET_SPI", "i2c": "FW_TARGET_I2C", "ram": "FW_TARGET_RAM"}


def _add_firmware_arguments(parser):
    parser.add_argument("target", choices=("sensor", "usb"),
                        help="the sensor's firmware, or the USB controller's (FX3)")
    parser.add_argument("image", metavar="IMAGE", help="the firmware image file")
    parser.add_argument("--store", choices=sorted(_USB_STORES),
                        help="usb only: spi (the default) or i2c keep the new firmware; ram runs "
                             "it until the camera is closed, which is when the command ends")


def _run_firmware(args):
    if args.store is not None and args.target != "usb":
        raise UsageError("--store is for the USB controller's firmware (firmware usb)")
    image = _input_file(args.image)
    progress = _Progress()
    with _opened(args.device) as camera:
        cam = camera.handle
        try:
            if args.target == "sensor":
                result = lx.LxUpgradeSensorFW(cam, _sdk_path(image), progress.bar)
                # A failure's result names the stage that failed (LX_UPGRADE_VERIFY_FAIL).
                if result != lx.LX_UPGRADE_RESULT.LX_UPGRADE_SUCCESS:
                    raise Refused(_refusal(result, "LxUpgradeSensorFW", image))
                version_of = lx.LxGetSensorFirmwareVersion
            else:
                # The controller takes its firmware in USB program mode, which the upgrade
                # (or closing the camera) ends.
                _check(lx.LxGotoUSBProgramMode(cam), "LxGotoUSBProgramMode")
                store = getattr(lx.LX_FX3_FW_TARGET, _USB_STORES[args.store or "spi"])
                _check(lx.LxUpgradeFX3FW(store, _sdk_path(image), progress.bar), "LxUpgradeFX3FW",
                       image)
                version_of = lx.LxGetUSBFirmwareVersion
        finally:
            progress.done()
        status, version = version_of(cam)
        _check(status, version_of.__name__)
    return Shown({"target": args.target, "image": image, "version": version},
                 ["{} firmware is now {} (from {})".format(args.target, version, image)])


# One entry per command: its name, its help line, the function that adds its own arguments (None
# for none) and the function that runs it.
Command = collections.namedtuple("Command", "name help add_arguments run")

COMMANDS = (
    Command("list", "list the cameras", None, _run_list),
    Command("info", "show a camera's identity and firmware versions", None, _run_info),
    Command("formats", "list a camera's formats", None, _run_formats),
    Command("capture", "save frames to files", _add_capture_arguments, _run_capture),
    Command("controls", "list a camera's image controls with their ranges", None, _run_controls),
    Command("get", "show controls' values", _add_get_arguments, _run_get),
    Command("set", "set controls (all are checked before any is written)", _add_set_arguments,
            _run_set),
    Command("imu", "show one reading of a camera's IMU", _add_imu_arguments, _run_imu),
    Command("routes", "activate the media routes of a YAML file, or reset them",
            _add_routes_arguments, _run_routes),
    Command("sensor-config", "export a camera's sensor configuration, or decode it to JSON",
            _add_sensor_config_arguments, _run_sensor_config),
    Command("firmware", "upgrade the sensor's or the USB controller's firmware from an image",
            _add_firmware_arguments, _run_firmware),
    Command("view", "watch the cameras live in the browser", viewer.add_arguments, viewer.run),
)


# ---------------------------------------------------------------------------------------------
# Command line
# ---------------------------------------------------------------------------------------------
class _Parser(argparse.ArgumentParser):
    def __init__(self, *args, **kwargs):
        # No abbreviated options: a script's "--dev" must not change meaning when an option
        # of a new command starts the same way.
        kwargs.setdefault("allow_abbrev", False)
        super().__init__(*args, **kwargs)

    def error(self, message):
        # One line, not argparse's usage block: scripts log it, people read it.
        self.exit(EXIT_USAGE, _printable("{}: {} (see {} --help)\n".format(
            self.prog, message, PROG), sys.stderr))


def _common_options(parser, defaults):
    # The same options on the main parser and on every command, so that they may stand before
    # or after the command's name; a command's copy keeps the main one's value unless given.
    value = argparse.SUPPRESS if not defaults else None
    parser.add_argument("-d", "--device", type=_whole(0), metavar="N",
                        default=0 if defaults else value,
                        help="the camera's index in `lxctl list` (0)")
    parser.add_argument("--json", action="store_true",
                        default=False if defaults else value,
                        help="print JSON instead of text")


def build_parser():
    parser = _Parser(prog=PROG, description="Control the cameras reached through pylentrasdk.")
    parser.add_argument("--version", action="version",
                        version="{} (pylentrasdk {})".format(PROG, lx.__version__))
    _common_options(parser, defaults=True)
    commands = parser.add_subparsers(dest="command", metavar="COMMAND", parser_class=_Parser)
    commands.required = True
    for command in COMMANDS:
        sub = commands.add_parser(command.name, help=command.help, description=command.help)
        _common_options(sub, defaults=False)
        if command.add_arguments:
            command.add_arguments(sub)
        sub.set_defaults(run=command.run)
    return parser


def _printable(line, stream):
    """`line` as `stream` can take it. A file name that is not UTF-8 keeps its odd bytes as
    surrogates: a stream that cannot write them back as bytes shows them as escapes (\\udcff)
    rather than end in a traceback."""
    encoding = getattr(stream, "encoding", None) or "utf-8"
    try:
        line.encode(encoding, getattr(stream, "errors", None) or "strict")
    except UnicodeEncodeError:
        return line.encode(encoding, "backslashreplace").decode(encoding)
    return line


def _error(error):
    sys.stderr.write(_printable("{}: {}\n".format(PROG, error), sys.stderr))


def main(argv=None):
    """Runs one command; returns the exit status."""
    args = build_parser().parse_args(argv)
    # What a command keeps until its output is written (a temporary folder) is closed on the
    # way out, whatever happens.
    with contextlib.ExitStack() as resources:
        args.resources = resources
        return _run(args)


def _write_output(shown, json_output):
    if shown.write is not None:
        sys.stdout.flush()
        shown.write(sys.stdout.buffer)
        sys.stdout.buffer.flush()
    elif json_output:
        print(json.dumps(shown.value, indent=2))
    else:
        for line in shown.lines:
            print(_printable(line, sys.stdout))
    sys.stdout.flush()


def _run(args):
    try:
        shown = args.run(args)
    except UsageError as error:
        _error(error)
        return EXIT_USAGE
    except Refused as error:
        _error(error)
        return EXIT_REFUSED
    except UnicodeDecodeError as error:
        # The binding refuses a name or version from the camera that is not UTF-8.
        sys.stderr.write("{}: the camera sent text that is not UTF-8 ({})\n".format(PROG, error))
        return EXIT_REFUSED
    except KeyboardInterrupt:
        sys.stderr.write("\n")
        return 130
    try:
        _write_output(shown, args.json)
    except KeyboardInterrupt:  # while a long output is written
        sys.stderr.write("\n")
        return 130
    except BrokenPipeError:
        # The reader stopped reading (`lxctl controls | head -3`): end as a writer killed by
        # SIGPIPE would, with no traceback, and point standard output at nothing so that
        # Python's flush at exit does not complain either.
        with contextlib.suppress(OSError, ValueError):
            os.dup2(os.open(os.devnull, os.O_WRONLY), sys.stdout.fileno())
        return EXIT_BROKEN_PIPE
    return EXIT_OK


if __name__ == "__main__":
    sys.exit(main())
