"""lxctl: the cameras from the command line, for scripts.

    lxctl list                       the cameras: index, name, interface, product
    lxctl info [-d N]                one camera's identity and firmware versions
    lxctl formats [-d N]             its formats, numbered as `capture` takes them
    lxctl capture -f FORMAT -o OUT   frames to files: PNG, raw bytes, or the JPEG itself

Every command takes --json for machine-readable output. Exit status: 0 success, 1 when the
camera or the SDK refuses (the message names the status), 2 for a usage error. Errors are one
line on standard error.

Commands are entries of the table COMMANDS: a new command is one more entry (its name, its help
line, a function that adds its arguments and the function that runs it).
"""

import argparse
import collections
import contextlib
import json
import os
import re
import sys

import pylentrasdk as lx
from pylentrasdk import frames
from pylentrasdk._files import write_atomically
from pylentrasdk.status import status_name

PROG = "lxctl"

EXIT_OK, EXIT_REFUSED, EXIT_USAGE = 0, 1, 2


class UsageError(Exception):
    """The command line asks for something malformed (exit status 2)."""


class Refused(Exception):
    """The camera or the SDK said no, or a file could not be written (exit status 1)."""


def _check(status, function):
    """Raises Refused naming the function and the status unless `status` is success."""
    if status != 0:
        raise Refused("{}: {} ({})".format(function, status_name(status), int(status)))


def _short(member):
    """A member's name without its enumeration's prefix: KAVL, USB, YUY2, SUPER."""
    for prefix in ("LXCAM_PRODUCT_TYPE_", "LX_IMAGE_FORMAT_", "INTERFACE_", "USB_DEVICE_SPEED_"):
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


def _handle(index, count):
    if not 0 <= index < count:
        raise Refused("no camera {}: {}".format(
            index, "there are none" if count == 0 else "the cameras are 0 to {}".format(count - 1)))
    cam = lx.LxInitialCameraDevice(index)
    if cam is None:
        raise Refused("LxInitialCameraDevice: no camera {}".format(index))
    return cam


@contextlib.contextmanager
def _opened(index):
    """The camera at `index`, opened for the block and closed after it."""
    cam = _handle(index, len(_camera_names()))
    _check(lx.LxOpen(cam), "LxOpen")
    try:
        yield cam
    finally:
        lx.LxClose(cam)


def _formats(cam):
    """The camera's formats that carry frames, in the order (and so the numbers) it lists them."""
    status, records = lx.LxGetFormatList(cam)
    _check(status, "LxGetFormatList")
    return [f for f in records if f.format != lx.LX_IMAGE_FORMAT.LX_IMAGE_FORMAT_NONE]


def _format_dict(index, fmt):
    return {"index": index, "width": fmt.width, "height": fmt.height,
            "fourcc": _short(fmt.format), "fps": fmt.framerate}


def _format_text(f):
    return "{index:3d}: {width:5d} x {height:<5d} {fourcc:<5} {fps:4d} fps".format(**f)


_FORMAT_PATTERN = re.compile(r"^(\d+)x(\d+):([A-Za-z0-9]+)(?:@(\d+))?$")


def _choose_format(formats, text):
    """(index, format) named by an index ("3") or by WIDTHxHEIGHT:FOURCC[@FPS]
    ("1920x1080:YUY2"), the first such format when several match."""
    if text.isdigit():
        index = int(text)
        if not formats:
            raise Refused("no format {}: the camera offers none".format(index))
        if index >= len(formats):
            raise Refused("no format {}: the camera's formats are 0 to {} (see `lxctl formats`)"
                          .format(index, len(formats) - 1))
        return index, formats[index]
    match = _FORMAT_PATTERN.match(text)
    if not match:
        raise UsageError("format {!r}: give an index or WIDTHxHEIGHT:FOURCC, such as "
                         "1920x1080:YUY2".format(text))
    width, height, fourcc, fps = match.groups()
    for index, fmt in enumerate(formats):
        if ((fmt.width, fmt.height) == (int(width), int(height))
                and _short(fmt.format) == fourcc.upper()
                and (fps is None or fmt.framerate == int(fps))):
            return index, fmt
    raise Refused("the camera has no {} format (see `lxctl formats`)".format(text))


# ---------------------------------------------------------------------------------------------
# Commands. Each runs with the parsed arguments and returns what it shows: a value for --json and
# the lines of its text form.
# ---------------------------------------------------------------------------------------------
Shown = collections.namedtuple("Shown", "value lines")


def _run_list(args):
    cameras = []
    names = _camera_names()
    for index, name in enumerate(names):
        cam = _handle(index, len(names))
        status, interface = lx.LxGetDeviceInterfaceType(cam)
        _check(status, "LxGetDeviceInterfaceType")
        status, product = lx.LxGetDeviceProductType(cam)
        _check(status, "LxGetDeviceProductType")
        cameras.append({"index": index, "name": name, "interface": _short(interface),
                        "product": _short(product)})
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
    with _opened(args.device) as cam:
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
    with _opened(args.device) as cam:
        listed = [_format_dict(i, f) for i, f in enumerate(_formats(cam))]
    return Shown(listed, [_format_text(f) for f in listed] or ["no formats"])


def _add_capture_arguments(parser):
    parser.add_argument("-f", "--format", required=True,
                        help="a format index from `lxctl formats`, or WIDTHxHEIGHT:FOURCC[@FPS]")
    parser.add_argument("-o", "--output", required=True, metavar="PATTERN",
                        help="file name; {n} becomes the frame's number (from 1), needed with "
                             "--count above 1. .png writes a picture, .jpg/.jpeg the JPEG of an "
                             "MJPG frame, any other name the frame's bytes as captured")
    parser.add_argument("-n", "--count", type=_whole(1), default=1, help="frames to save (1)")
    parser.add_argument("--skip", type=_whole(0), default=0,
                        help="frames to capture and drop first (0)")
    parser.add_argument("--timeout", type=_whole(1, 65535), default=3000, metavar="MS",
                        help="longest wait for one frame, in milliseconds (3000)")


def _whole(minimum, maximum=None):
    def parse(text):
        try:
            value = int(text)
        except ValueError:
            raise argparse.ArgumentTypeError("{!r} is not a whole number".format(text)) from None
        if value < minimum or (maximum is not None and value > maximum):
            bounds = ">= {}".format(minimum) if maximum is None else "{} to {}".format(
                minimum, maximum)
            raise argparse.ArgumentTypeError("{} is out of range ({})".format(value, bounds))
        return value

    return parse


def _file_names(pattern, count):
    if count > 1 and "{n}" not in pattern:
        raise UsageError("--output {!r}: with --count above 1 the name needs {{n}}, which "
                         "becomes the frame's number".format(pattern))
    try:
        names = [pattern.format(n=n) for n in range(1, count + 1)]
    except (KeyError, IndexError, ValueError) as error:
        raise UsageError("--output {!r}: only {{n}} may stand in braces ({})".format(
            pattern, error)) from None
    if not names[0]:
        raise UsageError("--output: the file name is empty")
    return names


def _kind_of(path, fmt):
    """How a frame is saved at `path`: "png", "jpeg" (the JPEG itself) or "raw"."""
    extension = os.path.splitext(path)[1].lower()
    if extension == ".png":
        return "png"
    if extension in (".jpg", ".jpeg"):
        if fmt.format != lx.LX_IMAGE_FORMAT.LX_IMAGE_FORMAT_MJPG:
            raise UsageError("{}: only MJPG frames are JPEG files; name a .png file for a "
                             "picture of a {} frame".format(path, _short(fmt.format)))
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
    """"frame 3/10" rewritten in place on standard error, when it is a terminal."""

    def __init__(self):
        self.shown = sys.stderr.isatty()

    def show(self, text):
        if self.shown:
            sys.stderr.write("\r{}\x1b[K".format(text))
            sys.stderr.flush()

    def done(self):
        if self.shown:
            sys.stderr.write("\r\x1b[K")
            sys.stderr.flush()


def _grab(cam, fmt, timeout):
    result, frame = lx.LxGetImage(cam, timeout, fmt)
    if result != lx.LX_CAPTURE_RESULT.LX_SUCCESS:
        raise Refused("LxGetImage: {} ({})".format(status_name(result), int(result)))
    return frame


def _run_capture(args):
    names = _file_names(args.output, args.count)
    saved = []
    with _opened(args.device) as cam:
        index, fmt = _choose_format(_formats(cam), args.format)
        kind = _kind_of(args.output, fmt)
        _check(lx.LxSetFormat(cam, fmt), "LxSetFormat")
        _check(lx.LxStartStreaming(cam), "LxStartStreaming")
        progress = _Progress()
        try:
            for n in range(args.skip):
                progress.show("skipping frame {}/{}".format(n + 1, args.skip))
                _grab(cam, fmt, args.timeout)
            for n, path in enumerate(names, 1):
                progress.show("frame {}/{}".format(n, args.count))
                frame = _grab(cam, fmt, args.timeout)
                _save(frame, fmt, path, kind)
                saved.append({"path": path, "bytes": int(frame.size)})
        finally:
            progress.done()
            lx.LxStopStreaming(cam)
    shown = {"format": _format_dict(index, fmt), "files": saved}
    return Shown(shown, ["{path} ({bytes} bytes captured)".format(**s) for s in saved])


# One entry per command: its name, its help line, the function that adds its own arguments (None
# for none) and the function that runs it.
Command = collections.namedtuple("Command", "name help add_arguments run")

COMMANDS = (
    Command("list", "list the cameras", None, _run_list),
    Command("info", "show a camera's identity and firmware versions", None, _run_info),
    Command("formats", "list a camera's formats", None, _run_formats),
    Command("capture", "save frames to files", _add_capture_arguments, _run_capture),
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
        self.exit(EXIT_USAGE, "{}: {} (see {} --help)\n".format(self.prog, message, PROG))


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


def main(argv=None):
    """Runs one command; returns the exit status."""
    args = build_parser().parse_args(argv)
    try:
        shown = args.run(args)
    except UsageError as error:
        sys.stderr.write("{}: {}\n".format(PROG, error))
        return EXIT_USAGE
    except Refused as error:
        sys.stderr.write("{}: {}\n".format(PROG, error))
        return EXIT_REFUSED
    except UnicodeDecodeError as error:
        # The binding refuses a name or version from the camera that is not UTF-8.
        sys.stderr.write("{}: the camera sent text that is not UTF-8 ({})\n".format(PROG, error))
        return EXIT_REFUSED
    except KeyboardInterrupt:
        sys.stderr.write("\n")
        return 130
    if args.json:
        print(json.dumps(shown.value, indent=2))
    else:
        for line in shown.lines:
            print(line)
    return EXIT_OK


if __name__ == "__main__":
    sys.exit(main())
