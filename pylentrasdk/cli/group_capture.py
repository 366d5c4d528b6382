"""lxctl capture --device 0,1: matched sets of frames of several cameras (a CameraGroup) saved to
files, one file per camera and set."""

from __future__ import annotations

import argparse
import os
from typing import Any, Callable

from ..camera import CameraGroup
from ..camera.controls import ControlChange
from .cameras import choose_format, format_entry
from .capture import kind_of, save_frame
from .common import Progress, Shown, UsageError, camera_errors
from .controls import checked_change


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
            chosen.append((device, camera, fmt, kind_of(args.output, fmt)))
            shown_cameras.append({"index": device, "name": camera.name,
                                  "format": format_entry(index, fmt)})
        # Every control of every camera is checked before a format is set or anything written.
        changes: list[ControlChange] = [checked_change(camera, args.set)
                                        for camera in group.cameras] if args.set else []
        for _, camera, fmt, _ in chosen:
            camera.format = fmt
        for change in changes:
            change.apply()
        progress = Progress()
        try:
            for n in range(args.skip):
                progress.show("skipping set {}/{}".format(n + 1, args.skip))
                group.read(timeout)
            for n in range(1, args.count + 1):
                progress.show("set {}/{}".format(n, args.count))
                frames = group.read(timeout)
                files = []
                for (device, _, _, kind), frame in zip(chosen, frames):
                    path = name_of(device, n)
                    save_frame(frame, path, kind)
                    files.append({"camera": device, "path": path,
                                  "number": frame.number,
                                  "sensor_timestamp": frame.sensor_timestamp,
                                  "captured_bytes": int(frame.array.nbytes),
                                  "file_bytes": os.path.getsize(path)})
                sets.append({"n": n, "skew_ms": round(frames.skew * 1000, 6), "files": files})
                del frames
        finally:
            progress.done()
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
