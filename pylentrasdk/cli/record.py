"""lxctl record: the camera's stream into a video file (Camera.record).

`lxctl record -f FORMAT -o FILE [--seconds S] [--pre S]` records until Ctrl-C (or SIGTERM), or
for S seconds; a progress line (time, frames, dropped) is shown on a terminal. With --pre the last
S seconds are kept in memory and the file is written from a trigger on: Enter on the terminal, or
SIGUSR1 (`kill -USR1 PID`); --seconds then counts from the trigger. PyAV (the optional extra
`pip install pylentrasdk[video]`) is imported only when the command runs.
"""

from __future__ import annotations

import argparse
import contextlib
import math
import os
import select
import signal
import sys
import time
from typing import Any, Iterator

from ..camera.recording import Recording
from ..camera.video_file import INSTALL_HINT, container_of
from ..errors import RecordingError
from .cameras import choose_format
from .common import Progress, Refused, Shown, UsageError, camera_errors, opened

_TICK = 0.2  # seconds between looks at the clock, the trigger and the progress line


def _seconds(text: str) -> float:
    try:
        value = float(text)
    except ValueError:
        raise argparse.ArgumentTypeError("{!r} is not a number of seconds".format(text)) from None
    if not math.isfinite(value) or value < 0:
        raise argparse.ArgumentTypeError("{} is not a number of seconds from 0 on".format(text))
    return value


def add_record_arguments(parser: argparse.ArgumentParser) -> None:
    parser.add_argument("-f", "--format", required=True,
                        help="a format index from `lxctl formats`, or WIDTHxHEIGHT:FOURCC[@FPS]")
    parser.add_argument("-o", "--output", required=True, metavar="FILE",
                        help="the video file to make: .mkv (safest if the recording is cut "
                             "short), .mp4 or .avi; a file that is there is never replaced")
    parser.add_argument("--seconds", type=_seconds, metavar="S",
                        help="stop after S seconds of writing (default: at Ctrl-C)")
    parser.add_argument("--pre", type=_seconds, default=0.0, metavar="S",
                        help="keep the last S seconds in memory and write from a trigger on: "
                             "Enter on the terminal, or SIGUSR1")


class _Trigger:
    """Whether the user asked for the trigger: a line on a terminal's standard input, or
    SIGUSR1 (handled while the block runs)."""

    def __init__(self) -> None:
        self.asked = False
        self.terminal = sys.stdin is not None and sys.stdin.isatty()

    @contextlib.contextmanager
    def listening(self) -> Iterator[None]:
        usr1 = getattr(signal, "SIGUSR1", None)
        previous = signal.signal(usr1, self._ask) if usr1 is not None else None
        try:
            yield
        finally:
            if usr1 is not None:
                signal.signal(usr1, previous)

    def _ask(self, signum: int, frame: Any) -> None:
        self.asked = True

    def poll(self) -> bool:
        if not self.asked and self.terminal:
            readable, _, _ = select.select([sys.stdin], [], [], 0)
            if readable:
                sys.stdin.readline()
                self.asked = True
        return self.asked


@contextlib.contextmanager
def _terminated_as_interrupted() -> Iterator[None]:
    """SIGTERM ends the recording as Ctrl-C does: the file is finished."""
    def interrupt(signum: int, frame: Any) -> None:
        raise KeyboardInterrupt

    previous = signal.signal(signal.SIGTERM, interrupt)
    try:
        yield
    finally:
        signal.signal(signal.SIGTERM, previous)


def _record_until_done(rec: Recording, args: argparse.Namespace) -> None:
    """Waits for the end (--seconds after writing began, Ctrl-C, the stream's end or a
    failure), showing progress and watching for the trigger."""
    progress = Progress()
    trigger = _Trigger()
    began = time.monotonic()
    writing_since = began if rec.triggered else None
    name = os.path.basename(rec.path)
    try:
        with trigger.listening(), _terminated_as_interrupted():
            while rec.recording:
                now = time.monotonic()
                if writing_since is None:
                    if trigger.poll():
                        rec.trigger()
                        writing_since = now
                    else:
                        progress.show("{}: keeping the last {:g} s ({:.0f} s so far); Enter or "
                                      "kill -USR1 {} starts writing".format(
                                          name, args.pre, now - began, os.getpid()))
                if writing_since is not None:
                    if args.seconds is not None and now - writing_since >= args.seconds:
                        return
                    progress.show("{}: {:.1f} s, {} frames, {} dropped".format(
                        name, now - writing_since, rec.frames, rec.dropped))
                time.sleep(_TICK)
    except KeyboardInterrupt:
        return  # Ctrl-C is how a recording is stopped
    finally:
        progress.done()


def run_record(args: argparse.Namespace) -> Shown:
    try:
        container_of(args.output)
    except ValueError as error:
        raise UsageError(str(error)) from None
    with opened(args.device) as camera:
        _, fmt = choose_format(camera.formats, args.format)
        with camera_errors():
            camera.format = fmt
            try:
                rec = camera.record(args.output, pre_seconds=args.pre)
            except ImportError:
                raise UsageError("recording needs PyAV; install it with: {}".format(
                    INSTALL_HINT)) from None
            except ValueError as error:
                raise UsageError(str(error)) from None
            except FileExistsError as error:
                raise Refused(str(error)) from None
            except OSError as error:
                raise Refused("cannot write {}: {}".format(args.output,
                                                           error.strerror or error)) from None
            try:
                _record_until_done(rec, args)
            finally:
                try:
                    rec.stop()
                except RecordingError as error:
                    raise Refused(str(error)) from None
    shown: dict[str, Any] = {"path": rec.path, "frames": rec.frames, "dropped": rec.dropped,
                             "seconds": round(rec.seconds, 3)}
    if not rec.triggered:
        line = "{}: nothing written (never triggered)".format(rec.path)
    else:
        line = "{}: {} frames, {} dropped, {:.1f} s".format(rec.path, rec.frames, rec.dropped,
                                                            rec.seconds)
    return Shown(shown, [line])
