"""lxctl list, info and formats: the cameras, one camera's identity, its formats."""

from __future__ import annotations

import argparse
from typing import Any

from .. import camera as _camera
from ..formats import Format, FormatTextError
from .common import Refused, Shown, UsageError, camera_errors, opened


def run_list(args: argparse.Namespace) -> Shown:
    with camera_errors():
        found = [{"index": c.index, "name": c.name, "interface": c.interface,
                  "product": c.product} for c in _camera.cameras()]
    lines = ["{index}: {name}  ({interface}, {product})".format(**c) for c in found]
    return Shown(found, lines or ["no cameras"])


def run_info(args: argparse.Namespace) -> Shown:
    """What the camera reports of itself; what it does not have is null in JSON and left out
    of the text."""
    with opened(args.device) as camera:
        versions = camera.firmware_versions
        info: dict[str, Any] = {
            "index": args.device,
            "lentra_camera": camera.is_lentra_camera,
            "name": camera.name,
            "path": camera.path,
            "hardware_id": camera.serial_number,
            "interface": camera.interface,
            "product": camera.product,
            "usb_speed": camera.usb_speed,
            "usb_firmware": versions.get("usb"),
            "sensor_firmware": versions.get("sensor"),
            "kavr_firmware": versions.get("kavr"),
        }
    labels = (("name", "Name"), ("path", "Path"), ("hardware_id", "Hardware ID"),
              ("interface", "Interface"), ("product", "Product"), ("usb_speed", "USB speed"),
              ("usb_firmware", "USB firmware"), ("sensor_firmware", "Sensor firmware"),
              ("kavr_firmware", "KAVR firmware"))
    lines = ["{:<16} {}".format(label + ":", info[key]) for key, label in labels
             if info[key] is not None]
    lines.append("{:<16} {}".format("Lentra camera:", "yes" if info["lentra_camera"] else "no"))
    return Shown(info, lines)


def format_entry(index: int, fmt: Format) -> dict[str, Any]:
    """A format as lxctl lists it: its number for `capture --format` and its fields."""
    return dict(index=index, **fmt.as_dict())


def _format_text(f: dict[str, Any]) -> str:
    return "{index:3d}: {width:5d} x {height:<5d} {fourcc:<5} {fps:4d} fps".format(**f)


def run_formats(args: argparse.Namespace) -> Shown:
    with opened(args.device) as camera:
        listed = [format_entry(i, f) for i, f in enumerate(camera.formats)]
    return Shown(listed, [_format_text(f) for f in listed] or ["no formats"])


def choose_format(formats: list[Format], text: str) -> tuple[int, Format]:
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
        wanted = Format.parse(text)
    except FormatTextError:
        raise UsageError("format {!r}: give an index or WIDTHxHEIGHT:FOURCC, such as "
                         "1920x1080:YUY2".format(text)) from None
    except ValueError:  # well formed, but no format has such a pixel format or size
        raise missing from None
    for index, fmt in enumerate(formats):
        if wanted.matches(fmt):
            return index, fmt
    raise missing
