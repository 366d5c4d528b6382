"""The exceptions of pylentrasdk's camera layer, and of its stream module.

    LentraError                     any failure; `function`, `status`, `status_name`
      CameraNotFoundError           no camera, or several, answer to an index or a name
      CameraBusyError               the camera is open elsewhere, or streaming
      CameraClosedError             a closed Camera was used
      NotSupportedError             the camera lacks the feature (LX_STATUS_NOT_SUPPORTED)
      ControlValueError (ValueError)   an unknown control, a value out of range or read-only,
                                    a format the camera lacks, a bad settings file
      pylentrasdk.stream.StreamError (RuntimeError)   a streaming call failed
        CaptureTimeoutError (TimeoutError)   no frame within the time-out

`function` names the SDK function that failed and `status` is its status (or capture result) as
an int, `status_name` the header's name of it; all three are None when the failure was found
before any SDK call (an unknown control name, a value out of range).
"""

from __future__ import annotations

from typing import SupportsInt

from .status import LxStatus, status_name

__all__ = ["LentraError", "CameraNotFoundError", "CameraBusyError", "CameraClosedError",
           "NotSupportedError", "ControlValueError", "error_class", "failure_message",
           "raise_for_status"]


class LentraError(Exception):
    """A camera or SDK call failed. `function`, `status` and `status_name` say which call and
    what it answered (None when the failure was found before any call)."""

    # Class defaults, so that an instance made with only a message (as the stream module makes
    # them) has every attribute.
    function = None
    status = None
    status_name = None

    def __init__(self, message, function=None, status=None):
        super().__init__(message)
        if function is not None:
            self.function = function
        if status is not None:
            self.status = int(status)
            self.status_name = status_name(status)


class CameraNotFoundError(LentraError, LookupError):
    """No camera answers to the index or name given, or a name matches several cameras."""


class CameraBusyError(LentraError):
    """The camera is open elsewhere (in this process or another), or streams when the call
    needs it not to."""


class CameraClosedError(LentraError):
    """The Camera was closed; open() opens it again."""


class NotSupportedError(LentraError):
    """The camera (or platform) lacks the feature the call needs."""


class ControlValueError(LentraError, ValueError):
    """An unknown control, a value of the wrong type, out of range or for a read-only control,
    a format the camera lacks, or a settings file that cannot be applied whole."""


# The statuses that have an exception of their own; every other failure is a LentraError. Taken
# by name, so that a build against an SDK header that lists no codes (LxStatus empty) still loads.
_CLASSES = {
    int(LxStatus[name]): cls
    for name, cls in (
        ("LX_STATUS_BUSY", CameraBusyError),
        ("LX_STATUS_STREAMING", CameraBusyError),
        ("LX_STATUS_NOT_OPEN", CameraClosedError),
        ("LX_STATUS_NOT_SUPPORTED", NotSupportedError),
        ("LX_STATUS_INVALID_ARGUMENT", ControlValueError),
        ("LX_STATUS_READ_ONLY", ControlValueError),
    )
    if name in LxStatus.__members__
}


def error_class(status):
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


def raise_for_status(status, function, subject=None, detail=None):
    """Raises the exception for `status` unless it is 0, with failure_message's text."""
    if int(status) == 0:
        return
    message = failure_message(function, status, subject, detail)
    raise error_class(status)(message, function=function, status=status)
