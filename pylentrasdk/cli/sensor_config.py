"""lxctl sensor-config: a camera's sensor configuration exported to a binary file, and such a
file decoded to JSON."""

from __future__ import annotations

import argparse
import os
import tempfile
from typing import BinaryIO

from ..camera import platform
from .common import Shown, UsageError, camera_errors, input_file, opened, output_file


def add_sensor_config_arguments(parser: argparse.ArgumentParser) -> None:
    parser.add_argument("action", choices=("export", "decode"),
                        help="export: save the camera's sensor configuration to a binary file; "
                             "decode: turn such a file into JSON")
    parser.add_argument("files", nargs="+", metavar="FILE",
                        help="export: the binary file to write; decode: the binary file and "
                             "the JSON file to write (standard output when left out)")


def run_sensor_config(args: argparse.Namespace) -> Shown:
    most = 1 if args.action == "export" else 2
    if len(args.files) > most:
        raise UsageError("sensor-config {} takes {} file name{}".format(
            args.action, "one" if most == 1 else "one or two", "" if most == 1 else "s"))
    if args.action == "export":
        path = output_file(args.files[0])
        with opened(args.device) as camera:
            camera.export_sensor_config(path)
        size = os.path.getsize(path)
        return Shown({"path": path, "bytes": size},
                     ["saved the sensor configuration to {} ({} bytes)".format(path, size)])
    binary = input_file(args.files[0])
    if len(args.files) == 2:
        target = output_file(args.files[1])
        with camera_errors():
            platform.decode_sensor_config(binary, target)
        return Shown({"binary": binary, "json": target},
                     ["decoded {} to {}".format(binary, target)])
    # To standard output: the SDK writes files only, so it decodes into a private folder, kept
    # until the output is written. The JSON is copied as the SDK wrote it (with --json too: it
    # is the decoded document), never held whole: the largest holds a million registers.
    folder = args.resources.enter_context(tempfile.TemporaryDirectory(prefix="lxctl-"))
    decoded = os.path.join(folder, "decoded.json")
    with camera_errors():
        platform.decode_sensor_config(binary, decoded)
    return Shown(None, None, lambda out: _copy_lines(decoded, out))


def _copy_lines(path: str, out: BinaryIO) -> None:
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
