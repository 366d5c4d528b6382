"""What every lxctl command shares: its exit statuses and refusals, the shape of what it shows,
checks of file names, whole numbers from the command line, the camera a command works on and a
progress line."""

from __future__ import annotations

import argparse
import contextlib
import os
import re
import stat
import sys
from typing import Any, Callable, Iterator, NamedTuple, Optional, BinaryIO

from .. import camera as _camera
from .._files import check_destination
from ..errors import LentraError

PROG = "lxctl"

EXIT_OK, EXIT_REFUSED, EXIT_USAGE = 0, 1, 2
EXIT_BROKEN_PIPE = 128 + 13  # as the shell reports a writer that SIGPIPE ended
EXIT_INTERRUPTED = 130  # as the shell reports a program that SIGINT ended


class UsageError(Exception):
    """The command line asks for something malformed (exit status 2)."""


class Refused(Exception):
    """The camera or the SDK said no, or a file could not be written (exit status 1)."""


class Shown(NamedTuple):
    """What a command shows: `value` for --json and the `lines` of its text form; or `write`,
    which writes the output itself to a binary stream (an output too large to hold)."""

    value: Any
    lines: Optional[list[str]]
    write: Optional[Callable[[BinaryIO], None]] = None


def shown_values(values: dict[str, Any]) -> Shown:
    """{name: value} shown as "name: value" lines."""
    return Shown(values, ["{}: {}".format(name, value) for name, value in values.items()])


@contextlib.contextmanager
def camera_errors() -> Iterator[None]:
    """A LentraError of the camera layer inside the block becomes Refused, with its message."""
    try:
        yield
    except LentraError as error:
        raise Refused(str(error)) from None


@contextlib.contextmanager
def opened(index: int | list[int]) -> Iterator[_camera.Camera]:
    """The camera at `index`, opened for the block and closed after it; a LentraError inside
    the block becomes Refused. A list of cameras (--device 0,1) is refused: it is for capture
    only."""
    if isinstance(index, list):
        raise UsageError("--device {}: this command works on one camera; a list of cameras is "
                         "for `{} capture`".format(",".join(map(str, index)), PROG))
    with camera_errors(), _camera.Camera(index) as camera:
        yield camera


# ---------------------------------------------------------------------------------------------
# Files named on the command line
# ---------------------------------------------------------------------------------------------
def input_file(path: str) -> str:
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


def output_file(path: str) -> str:
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


# ---------------------------------------------------------------------------------------------
# Whole numbers
# ---------------------------------------------------------------------------------------------
_WHOLE = re.compile(r"^[+-]?[0-9]+$")


def is_whole(text: str) -> bool:
    return bool(_WHOLE.match(text.strip()))


def number(text: str) -> int | None:
    """The whole number `text` holds; None for one of more than 18 digits, beyond any
    control's range (and beyond what int() takes for very long texts)."""
    digits = text.lstrip("+-").lstrip("0") or "0"
    return int(text[0] + digits if text[0] in "+-" else digits) if len(digits) <= 18 else None


def abridged(text: str) -> str:
    """A number's text, cut to its first digits when it is long."""
    digits = text.lstrip("+-")
    return text if len(digits) <= 20 else "{}...({} digits)".format(text[:12], len(digits))


def whole(minimum: int, maximum: int | None = None) -> Callable[[str], int]:
    """An argparse type: a whole number from `minimum` (to `maximum`)."""
    def parse(text: str) -> int:
        if not is_whole(text):
            raise argparse.ArgumentTypeError("{!r} is not a whole number".format(text))
        value = number(text.strip())
        if value is None:
            raise argparse.ArgumentTypeError("{} has too many digits".format(
                abridged(text.strip())))
        if value < minimum or (maximum is not None and value > maximum):
            bounds = ">= {}".format(minimum) if maximum is None else "{} to {}".format(
                minimum, maximum)
            raise argparse.ArgumentTypeError("{} is out of range ({})".format(
                abridged(text.strip()), bounds))
        return value

    return parse


def devices(text: str) -> int | list[int]:
    """An argparse type for --device: one camera's index ("1"), or a list of two or more
    different ones ("0,1"), which only capture takes."""
    if "," not in text:
        return whole(0)(text)
    listed = [whole(0)(part) for part in text.split(",")]
    for position, index in enumerate(listed):
        if index in listed[:position]:
            raise argparse.ArgumentTypeError("camera {} is given twice in {!r}".format(
                index, text))
    return listed


# ---------------------------------------------------------------------------------------------
# Output
# ---------------------------------------------------------------------------------------------
_CONTROL = re.compile("[\x00-\x1f\x7f]")


def printable(line: str, stream: Any) -> str:
    """`line` as `stream` can take it. A file name that is not UTF-8 keeps its odd bytes as
    surrogates, and may hold control characters (a line break): a stream that cannot write
    them back as bytes shows them as escapes (\\udcff), and control characters are always
    escaped (\\n), so that one refusal or one file stays one line."""
    line = _CONTROL.sub(lambda found: found.group().encode("unicode_escape").decode("ascii"),
                        line)
    encoding = getattr(stream, "encoding", None) or "utf-8"
    try:
        line.encode(encoding, getattr(stream, "errors", None) or "strict")
    except UnicodeEncodeError:
        return line.encode(encoding, "backslashreplace").decode(encoding)
    return line


def error(message: object) -> None:
    """One line on standard error, after the program's name."""
    sys.stderr.write(printable("{}: {}".format(PROG, message), sys.stderr) + "\n")


class Progress:
    """"frame 3/10" or a bar rewritten in place on standard error, when it is a terminal."""

    def __init__(self) -> None:
        self.terminal = sys.stderr.isatty()
        self.shown = False

    def show(self, text: str) -> None:
        if self.terminal:
            sys.stderr.write("\r{}\x1b[K".format(text))
            sys.stderr.flush()
            self.shown = True

    def bar(self, percent: int, label: str = "upgrading", width: int = 30) -> None:
        """A progress callable for the SDK's upgrades: `percent` from 0 to 100."""
        filled = max(0, min(width, width * int(percent) // 100))
        self.show("{} [{}{}] {:3d}%".format(label, "#" * filled, "." * (width - filled),
                                            int(percent)))

    def done(self) -> None:
        """Clears the line, if anything was shown, for what follows on standard error."""
        if self.shown:
            sys.stderr.write("\r\x1b[K")
            sys.stderr.flush()
            self.shown = False
