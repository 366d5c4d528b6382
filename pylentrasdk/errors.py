"""The exceptions of pylentrasdk: every failure that reaches a caller is one of these classes (or
a built-in exception such as TypeError).

    LentraError                     any failure; `function`, `status`, `status_name`
      CameraNotFoundError (LookupError)   no camera, or several, answer to an index or a name
      CameraBusyError               the camera is open elsewhere, or busy
      CameraClosedError             a closed Camera was used
      NotSupportedError             the camera lacks the feature (LX_STATUS_NOT_SUPPORTED)
      ControlValueError (ValueError)   an unknown control, a value out of range or read-only,
                                    a format the camera lacks, a bad settings file
        UnknownControlError (KeyError)   a control name the camera does not have
        ControlTypeError (TypeError)     a control value of the wrong type
      StreamError (RuntimeError)    a streaming call failed (raised by pylentrasdk.stream too)
        CaptureTimeoutError (TimeoutError)   no frame within the time-out
        StreamClosedError           the stream is closed, or was closed during the wait
        PoolExhaustedError          every buffer of a fixed pool is held by kept frames
      RecordingError                a recording could not go on (its file could not be written,
                                    the camera's format changed under it)
    FormatTextError (ValueError)    a text that is no WIDTHxHEIGHT:FOURCC[@FPS] at all
    SimError (RuntimeError)         the simulated rig refused a control call (pylentrasdk.sim)
    FileWriteError (OSError)        a file write refused or failed without an error number
      NotAFileError                 the path names a link, FIFO, socket, folder or device

`function` names the SDK function that failed and `status` is its status (or capture result) as
an int, `status_name` the header's name of it; all three are None when the failure was found
before any SDK call (an unknown control name, a value out of range).
"""

from __future__ import annotations

from typing import SupportsInt

from .status import status_name, status_value

__all__ = ["LentraError", "CameraNotFoundError", "CameraBusyError", "CameraClosedError",
           "NotSupportedError", "ControlValueError", "UnknownControlError", "ControlTypeError",
           "StreamError", "CaptureTimeoutError", "StreamClosedError", "PoolExhaustedError",
           "RecordingError", "FormatTextError", "SimError", "FileWriteError", "NotAFileError",
           "error_class",
           "failure_message",
           "raise_for_status"]


class LentraError(Exception):
    """A camera or SDK call failed. `function`, `status` and `status_name` say which call and
    what it answered (None when the failure was found before any call)."""

    # Class defaults, so that an instance made with only a message has every attribute.
    function: str | None = None
    status: int | None = None
    status_name: str | None = None

    def __init__(self, message: str, function: str | None = None,
                 status: SupportsInt | None = None) -> None:
        super().__init__(message)
        if function is not None:
            self.function = function
        if status is not None:
            self.status = int(status)
            self.status_name = status_name(status)


class CameraNotFoundError(LentraError, LookupError):
    """No camera answers to the index or name given, or a name matches several cameras."""


class CameraBusyError(LentraError):
    """The camera is open elsewhere (in this process or another), or busy with what the call
    needs it not to be doing."""


class CameraClosedError(LentraError):
    """The Camera was closed; open() opens it again."""


class NotSupportedError(LentraError):
    """The camera (or platform) lacks the feature the call needs."""


class ControlValueError(LentraError, ValueError):
    """An unknown control, a value of the wrong type, out of range or for a read-only control,
    a format the camera lacks, or a settings file that cannot be applied whole."""


class UnknownControlError(ControlValueError, KeyError):
    """A control name the camera does not have: a ControlValueError, and a KeyError as a
    mapping raises (so ``controls.get("focus")`` gives None)."""

    def __str__(self) -> str:
        # KeyError would show the message quoted.
        return str(self.args[0]) if self.args else ""


class ControlTypeError(ControlValueError, TypeError):
    """A control value of the wrong type (neither a whole number nor one of its labels)."""


class StreamError(LentraError, RuntimeError):
    """A streaming call failed. `function` names the SDK function that failed and
    `status_name` / `status` give its status or capture result (all None when the failure was
    found by the stream itself)."""


class CaptureTimeoutError(StreamError, TimeoutError):
    """No frame came within the time-out."""


class StreamClosedError(StreamError):
    """The stream is closed, or was closed while the call waited."""


class PoolExhaustedError(StreamError):
    """Every buffer of a fixed pool is held by frames the caller keeps."""


class RecordingError(LentraError):
    """A recording ended before it was stopped, for a reason other than the stream's end: its
    file could not be written (a full disk), the camera's format changed, the encoder failed.
    `path` is the file; what was written before stays playable."""

    def __init__(self, message: str, path: str) -> None:
        super().__init__(message)
        self.path = path


class FormatTextError(ValueError):
    """A text that is not of the form WIDTHxHEIGHT:FOURCC[@FPS] at all (a well-formed text that
    names no pixel format, or a size out of bounds, is a plain ValueError)."""


class SimError(RuntimeError):
    """The simulated rig refused a control call (pylentrasdk.sim): the message says why."""


class FileWriteError(OSError):
    """A write that was refused, or that failed with no operating-system error number.
    `strerror` says why; str() is "<path>: <why>"."""

    def __str__(self) -> str:
        return "{}: {}".format(self.filename, self.strerror)


class NotAFileError(FileWriteError):
    """The path names a symbolic link, a FIFO, a socket, a folder or a device: nothing was
    written and it is left as it was."""


# The statuses that have an exception of their own; every other failure is a LentraError. Taken
# by name, so that a build against an SDK header that lists no codes (LxStatus empty) still loads.
_CLASSES: dict[int, type[LentraError]] = {
    value: cls
    for name, cls in (
        ("LX_STATUS_BUSY", CameraBusyError),
        ("LX_STATUS_STREAMING", CameraBusyError),
        ("LX_STATUS_NOT_OPEN", CameraClosedError),
        ("LX_STATUS_NOT_SUPPORTED", NotSupportedError),
        ("LX_STATUS_INVALID_ARGUMENT", ControlValueError),
        ("LX_STATUS_READ_ONLY", ControlValueError),
    )
    for value in (status_value(name),)
    if value is not None
}


def error_class(status: SupportsInt) -> type[LentraError]:
    """The exception class for an SDK status that is not success."""
    return _CLASSES.get(int(status), LentraError)


def failure_message(function: str, status: SupportsInt, subject: str | None = None,
                    detail: str | None = None) -> str:
    """The one text of a failed call: "KAVL AR0822 USB Camera: LxSetFormat failed:
    LX_STATUS_STREAMING (-11): close the camera's stream first". `status` is an int status or a
    member of a binding enumeration (a capture result), named by its own name."""
    message = "{} failed: {} ({})".format(function, status_name(status), int(status))
    if subject:
        message = "{}: {}".format(subject, message)
    if detail:
        message += ": " + detail
    return message


def raise_for_status(status: SupportsInt, function: str, subject: str | None = None,
                     detail: str | None = None) -> None:
    """Raises the exception for `status` unless it is 0; the message is failure_message's."""
    if int(status) == 0:
        return
    raise error_class(status)(failure_message(function, status, subject, detail),
                              function=function, status=status)
