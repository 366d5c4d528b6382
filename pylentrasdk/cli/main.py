"""lxctl's command line: the table of commands, the parser, and running one command.

Commands are entries of the table COMMANDS: a new command is one more entry (its name, its help
line, a function that adds its arguments and the function that runs it), in the module of its
group. Cameras, formats and controls are reached through the camera layer (pylentrasdk.camera),
so lxctl and the layer never disagree about a name, a format text or a range.
"""

from __future__ import annotations

import argparse
import contextlib
import json
import os
import sys
from typing import Any, Callable, NamedTuple, Optional, Sequence

from .cameras import run_formats, run_info, run_list
from .capture import add_capture_arguments, run_capture
from .common import EXIT_BROKEN_PIPE, EXIT_INTERRUPTED, EXIT_OK, EXIT_REFUSED, EXIT_USAGE, PROG, \
    Refused, Shown, UsageError, devices, error, printable
from .controls import add_get_arguments, add_set_arguments, run_controls, run_get, run_set
from .firmware import add_firmware_arguments, run_firmware
from .imu import add_imu_arguments, run_imu
from .record import add_record_arguments, run_record
from .routes import add_routes_arguments, run_routes
from .sensor_config import add_sensor_config_arguments, run_sensor_config
from .view import add_view_arguments, run_view


class Command(NamedTuple):
    """One command: its name, its help line, the function that adds its own arguments (None
    for none) and the function that runs it."""

    name: str
    help: str
    add_arguments: Optional[Callable[[argparse.ArgumentParser], None]]
    run: Callable[[argparse.Namespace], Shown]


COMMANDS = (
    Command("list", "list the cameras", None, run_list),
    Command("info", "show a camera's identity and firmware versions", None, run_info),
    Command("formats", "list a camera's formats", None, run_formats),
    Command("capture", "save frames to files", add_capture_arguments, run_capture),
    Command("record", "record the camera's stream into a video file (.mkv, .mp4, .avi)",
            add_record_arguments, run_record),
    Command("controls", "list a camera's controls with their ranges", None, run_controls),
    Command("get", "show controls' values", add_get_arguments, run_get),
    Command("set", "set controls (all are checked before any is written)", add_set_arguments,
            run_set),
    Command("imu", "show one reading of a camera's IMU", add_imu_arguments, run_imu),
    Command("routes", "activate the media routes of a YAML file, or reset them",
            add_routes_arguments, run_routes),
    Command("sensor-config", "export a camera's sensor configuration, or decode it to JSON",
            add_sensor_config_arguments, run_sensor_config),
    Command("firmware", "upgrade the sensor's or the USB controller's firmware from an image",
            add_firmware_arguments, run_firmware),
    Command("view", "watch the cameras live in the browser", add_view_arguments, run_view),
)


class _Parser(argparse.ArgumentParser):
    def __init__(self, *args: Any, **kwargs: Any) -> None:
        # No abbreviated options: a script's "--dev" must not change meaning when an option
        # of a new command starts the same way.
        kwargs.setdefault("allow_abbrev", False)
        super().__init__(*args, **kwargs)

    def error(self, message: str) -> Any:  # argparse's is NoReturn
        # One line, not argparse's usage block: scripts log it, people read it.
        self.exit(EXIT_USAGE, printable("{}: {} (see {} --help)".format(
            self.prog, message, PROG), sys.stderr) + "\n")


def _common_options(parser: argparse.ArgumentParser, defaults: bool) -> None:
    # The same options on the main parser and on every command, so that they may stand before
    # or after the command's name; a command's copy keeps the main one's value unless given.
    value = argparse.SUPPRESS if not defaults else None
    parser.add_argument("-d", "--device", type=devices, metavar="N",
                        default=0 if defaults else value,
                        help="the camera's index in `lxctl list` (0); capture takes a list, "
                             "0,1")
    parser.add_argument("--json", action="store_true",
                        default=False if defaults else value,
                        help="print JSON instead of text")


def _version() -> str:
    from importlib.metadata import PackageNotFoundError, version

    try:
        return version("pylentrasdk")
    except PackageNotFoundError:  # pragma: no cover - not installed as a distribution
        return "0+unknown"


def build_parser() -> argparse.ArgumentParser:
    parser = _Parser(prog=PROG, description="Control the cameras reached through pylentrasdk.")
    parser.add_argument("--version", action="version",
                        version="{} (pylentrasdk {})".format(PROG, _version()))
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


def main(argv: Sequence[str] | None = None) -> int:
    """Runs one command; returns the exit status."""
    args = build_parser().parse_args(argv)
    # What a command keeps until its output is written (a temporary folder) is closed on the
    # way out, whatever happens.
    with contextlib.ExitStack() as resources:
        args.resources = resources
        return _run(args)


def _write_output(shown: Shown, json_output: bool) -> None:
    if shown.write is not None:
        sys.stdout.flush()
        shown.write(sys.stdout.buffer)
        sys.stdout.buffer.flush()
    elif json_output:
        print(json.dumps(shown.value, indent=2))
    else:
        for line in shown.lines or []:
            print(printable(line, sys.stdout))
    sys.stdout.flush()


def _run(args: argparse.Namespace) -> int:
    try:
        shown = args.run(args)
    except UsageError as problem:
        error(problem)
        return EXIT_USAGE
    except Refused as problem:
        error(problem)
        return EXIT_REFUSED
    except UnicodeDecodeError as problem:
        # The binding refuses a name or version from the camera that is not UTF-8.
        error("the camera sent text that is not UTF-8 ({})".format(problem))
        return EXIT_REFUSED
    except KeyboardInterrupt:
        sys.stderr.write("\n")
        return EXIT_INTERRUPTED
    try:
        _write_output(shown, args.json)
    except KeyboardInterrupt:  # while a long output is written
        sys.stderr.write("\n")
        return EXIT_INTERRUPTED
    except BrokenPipeError:
        # The reader stopped reading (`lxctl controls | head -3`): end as a writer killed by
        # SIGPIPE would, with no traceback, and point standard output at nothing so that
        # Python's flush at exit does not complain either.
        with contextlib.suppress(OSError, ValueError):
            os.dup2(os.open(os.devnull, os.O_WRONLY), sys.stdout.fileno())
        return EXIT_BROKEN_PIPE
    return EXIT_OK
