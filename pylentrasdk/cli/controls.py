"""lxctl controls, get and set: the camera's controls, by the names Camera.controls gives them
(lower case; any case is taken on input), read and written through the camera layer."""

from __future__ import annotations

import argparse
from typing import Any

from .. import camera as _camera
from .. import control_names
from ..camera.controls import ControlChange
from .common import Refused, Shown, UsageError, abridged, camera_errors, is_whole, number, \
    opened, shown_values

_CONTROL_ROW = "{:<25} {:>8} {:>8} {:>8} {:>6} {:>8}  {}"


def _control_text(entry: dict[str, Any]) -> list[str]:
    """A control's row; a choice control's labels on a line under it."""
    shown = ["-" if entry[key] is None else entry[key]
             for key in ("value", "min", "max", "step", "default")]
    row = _CONTROL_ROW.format(entry["name"], *shown,
                              "read-only" if entry["read_only"] else "").rstrip()
    if entry["labels"] is None:
        return [row]
    return [row, " " * 26 + control_names.labels_text_of(entry["labels"])]


def run_controls(args: argparse.Namespace) -> Shown:
    with opened(args.device) as camera:
        with camera_errors():
            listed = camera.controls.listing()
    header = _CONTROL_ROW.format("Name", "Value", "Min", "Max", "Step", "Default", "").rstrip()
    return Shown(listed, [header] + [line for entry in listed for line in _control_text(entry)])


def add_get_arguments(parser: argparse.ArgumentParser) -> None:
    parser.add_argument("names", nargs="+", metavar="NAME",
                        help="a control's name as `lxctl controls` shows it, in any case")


def run_get(args: argparse.Namespace) -> Shown:
    values: dict[str, int] = {}
    with opened(args.device) as camera:
        controls = camera.controls
        for name in args.names:
            info = controls.info(name)
            values[info.name] = controls[name]
    return shown_values(values)


def assignment(text: str) -> tuple[str, str]:
    """NAME=VALUE -> (NAME, VALUE), for argparse; VALUE is the text of a whole number, made a
    number once its control's range is known (so that even a number of thousands of digits is
    answered with that range)."""
    name, equals, value = text.partition("=")
    if not equals or not name.strip():
        raise argparse.ArgumentTypeError(
            "{!r} is not NAME=VALUE (such as brightness=200)".format(text))
    if not is_whole(value):
        raise argparse.ArgumentTypeError(
            "{!r}: the value {!r} is not a whole number".format(text, value))
    return name.strip(), value.strip()


def add_set_arguments(parser: argparse.ArgumentParser) -> None:
    parser.add_argument("assignments", nargs="+", metavar="NAME=VALUE", type=assignment,
                        help="a control's name as `lxctl controls` shows it (in any case) and "
                             "a whole number within its range")


def checked_change(camera: _camera.Camera, assignments: list[tuple[str, str]]) -> ControlChange:
    """The (name, value text) pairs as one checked change of the camera's controls: every name
    and value is checked before anything is written."""
    controls = camera.controls
    names = [controls.info(name).name for name, _ in assignments]
    for position, name in enumerate(names):
        if name in names[:position]:
            raise UsageError("{} is given twice".format(name))
    pairs = []
    for name, text in assignments:
        value = number(text)
        if value is None:  # of thousands of digits: beyond any range, said with the range
            info = controls.info(name)
            raise Refused("{}: {}: {} is out of range: {} to {}".format(
                camera.name, info.name, abridged(text), info.min, info.max))
        pairs.append((name, value))
    return controls.check(pairs)


def set_controls(camera: _camera.Camera, assignments: list[tuple[str, str]]) -> dict[str, int]:
    """Sets the (name, value text) pairs on the open camera as one change (put back whole when
    the camera refuses a write); the values it holds afterwards, by control name."""
    with camera_errors():
        change = checked_change(camera, assignments)
        change.apply()
        # Read back: the camera may round a value to its step.
        return {name: camera.controls[name] for name in change.values}


def run_set(args: argparse.Namespace) -> Shown:
    with opened(args.device) as camera:
        return shown_values(set_controls(camera, args.assignments))
