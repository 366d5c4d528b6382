"""lxctl capture: frames of the camera's running stream saved to files; with several cameras
(--device 0,1), matched sets of their frames (a CameraGroup), one file per camera and set."""

from __future__ import annotations

import argparse
import os
from typing import Any, Callable, TypeVar

from .. import frames
from ..camera import CameraGroup, FrameSet
from ..camera.controls import ControlChange
from ..formats import Format
from ..stream import Frame
from .cameras import choose_format, format_entry
from .common import Progress, Refused, Shown, UsageError, camera_errors, opened, shown_values, \
    whole
from .controls import assignment, checked_change

_T = TypeVar("_T")


def add_capture_arguments(parser: argparse.ArgumentParser) -> None:
    parser.add_argument("-f", "--format", required=True,
                        help="a format index from `lxctl formats`, or WIDTHxHEIGHT:FOURCC[@FPS]")
    parser.add_argument("-o", "--output", required=True, metavar="PATTERN",
                        help="file name; {n} becomes the saved frame's place in the run "
                             "(1, 2, ...), needed with --count above 1. .png writes a picture, "
                             ".jpg/.jpeg the JPEG of an MJPG frame, .npy a NumPy file of the "
                             "frame's array (numpy.load reads it), any other name the frame's "
                             "bytes as captured")
    parser.add_argument("-n", "--count", type=whole(1), default=1, help="frames to save (1)")
    parser.add_argument("--skip", type=whole(0), default=0,
                        help="frames to capture and drop first (0)")
    parser.add_argument("--timeout", type=whole(1, 65535), default=3000, metavar="MS",
                        help="longest wait for one frame, in milliseconds (3000)")
    parser.add_argument("--set", nargs="+", action="extend", type=assignment, default=[],
                        metavar="NAME=VALUE",
                        help="controls to set first, as `lxctl set` takes them (a camera of "
                             "the simulated rig keeps them for this run only)")
    # Several cameras (--device 0,1): matched sets, saved by run_group_capture.
    parser.add_argument("--sync", action="store_true",
                        help="with --device 0,1,...: put the cameras that have a trigger mode "
                             "in Sync, so they expose on the same ticks; {camera} in --output "
                             "becomes each camera's index")


def file_namer(pattern: str, count: int) -> Callable[[int], str]:
    """A function from a saved frame's place in the run (from 1) to its file's name, after
    checking the pattern once. Names are made as frames are saved: --count may be any size."""
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


def refuse_jpeg_name(path: str, fmt: Format) -> None:
    """Refuses a .jpg/.jpeg name for frames that are no JPEG, before anything is captured
    (frames.save decides the file's kind by its extension)."""
    if os.path.splitext(path)[1].lower() in (".jpg", ".jpeg") and fmt.fourcc != "MJPG":
        raise UsageError("{}: only MJPG frames are JPEG files; name a .png file for a "
                         "picture of a {} frame".format(path, fmt.fourcc))


def save_frame(frame: Frame, path: str) -> None:
    try:
        frames.save(frame, path)
    except OSError as error:
        raise Refused("cannot write {}: {}".format(path, error.strerror or error)) from None
    except ValueError as error:
        raise Refused("{}: {}".format(path, error)) from None


def read_counted(read: Callable[[], _T], skip: int, count: int, what: str,
                 keep: Callable[[int, _T], None]) -> None:
    """Reads `skip` times and lets the reads go, then `count` times, each read handed to
    `keep` with its place from 1 (and let go after it); "frame 3/10" on a terminal meanwhile."""
    progress = Progress()
    try:
        for n in range(skip):
            progress.show("skipping {} {}/{}".format(what, n + 1, skip))
            read()
        for n in range(1, count + 1):
            progress.show("{} {}/{}".format(what, n, count))
            keep(n, read())
    finally:
        progress.done()


def run_capture(args: argparse.Namespace) -> Shown:
    if isinstance(args.device, list):
        return run_group_capture(args)
    if args.sync:
        raise UsageError("--sync is for several cameras: give them as --device 0,1")
    name_of = file_namer(args.output, args.count)
    saved: list[dict[str, Any]] = []
    controls = None
    timeout = args.timeout / 1000.0
    with opened(args.device) as camera:
        index, fmt = choose_format(camera.formats, args.format)
        refuse_jpeg_name(args.output, fmt)
        with camera_errors():
            # Every control is checked before the format is set or anything is written.
            change = checked_change(camera, args.set) if args.set else None
            camera.format = fmt
            if change is not None:
                change.apply()
                controls = {name: camera.controls[name] for name in change.values}

            def keep(n: int, frame: Frame) -> None:
                path = name_of(n)
                save_frame(frame, path)
                # What the camera gave, and what the file holds: the same for a raw file, a
                # picture's size for a PNG.
                saved.append({"path": path, "captured_bytes": int(frame.array.nbytes),
                              "file_bytes": os.path.getsize(path)})

            try:
                read_counted(lambda: camera.read(timeout), args.skip, args.count, "frame", keep)
            finally:
                camera.stop()
    shown: dict[str, Any] = {"format": format_entry(index, fmt), "files": saved}
    lines = ["{path} ({captured_bytes} bytes captured, {file_bytes} bytes written)".format(**s)
             for s in saved]
    if controls is not None:
        shown["controls"] = controls
        lines = (shown_values(controls).lines or []) + lines
    return Shown(shown, lines)


# ---------------------------------------------------------------------------------------------
# Several cameras
# ---------------------------------------------------------------------------------------------
def group_file_namer(pattern: str, count: int) -> Callable[[int, int], str]:
    """A function from (camera index, set's place in the run from 1) to a file name, after
    checking the pattern: it needs {camera}, so that the cameras' files differ, and {n} with
    --count above 1."""
    if "{camera}" not in pattern:
        raise UsageError("--output {!r}: with several cameras the name needs {{camera}}, which "
                         "becomes the camera's index".format(pattern))
    if count > 1 and "{n}" not in pattern:
        raise UsageError("--output {!r}: with --count above 1 the name needs {{n}}, which "
                         "becomes the set's place in the run".format(pattern))
    try:
        first = pattern.format(camera=0, n=1)
    except (KeyError, IndexError, ValueError) as error:
        raise UsageError("--output {!r}: only {{camera}} and {{n}} may stand in braces ({})"
                         .format(pattern, error)) from None
    if not first:
        raise UsageError("--output: the file name is empty")
    return lambda camera, n: pattern.format(camera=camera, n=n)


def run_group_capture(args: argparse.Namespace) -> Shown:
    devices: list[int] = list(args.device)
    name_of = group_file_namer(args.output, args.count)
    timeout = args.timeout / 1000.0
    sets: list[dict[str, Any]] = []
    shown_cameras: list[dict[str, Any]] = []
    with camera_errors():
        group = CameraGroup(devices, sync=args.sync)
    with camera_errors(), group:
        chosen = []
        for device, camera in zip(devices, group.cameras):
            index, fmt = choose_format(camera.formats, args.format)
            refuse_jpeg_name(args.output, fmt)
            chosen.append((device, camera, fmt))
            shown_cameras.append({"index": device, "name": camera.name,
                                  "format": format_entry(index, fmt)})
        # Every control of every camera is checked before a format is set or anything written.
        changes: list[ControlChange] = [checked_change(camera, args.set)
                                        for camera in group.cameras] if args.set else []
        for _, camera, fmt in chosen:
            camera.format = fmt
        for change in changes:
            change.apply()

        def keep(n: int, matched: FrameSet) -> None:
            files = []
            for (device, _, _), frame in zip(chosen, matched):
                path = name_of(device, n)
                save_frame(frame, path)
                files.append({"camera": device, "path": path, "number": frame.number,
                              "sensor_timestamp": frame.sensor_timestamp,
                              "captured_bytes": int(frame.array.nbytes),
                              "file_bytes": os.path.getsize(path)})
            sets.append({"n": n, "skew_ms": round(matched.skew * 1000, 6), "files": files})

        read_counted(lambda: group.read(timeout), args.skip, args.count, "set", keep)
        counts = {"incomplete": group.incomplete, "dropped": group.dropped}
    shown: dict[str, Any] = {"sync": args.sync, "cameras": shown_cameras, "sets": sets}
    shown.update(counts)
    lines = []
    for entry in sets:
        lines.append("set {n}: skew {skew_ms:.3f} ms".format(**entry))
        lines += ["  {path} ({captured_bytes} bytes captured, {file_bytes} bytes written)"
                  .format(**f) for f in entry["files"]]
    lines.append("{} sets saved; {incomplete} incomplete, {dropped} frames dropped unmatched"
                 .format(len(sets), **counts))
    return Shown(shown, lines)
