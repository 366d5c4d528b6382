"""Names for the SDK's status codes.

Every ``int`` result of the SDK is a status: 0 for success, a negative code for a failure. The
binding hands them back as plain ints; ``LxStatus`` gives them the names of the SDK header, and
``status_name`` turns any result into text fit for a message.
"""

from __future__ import annotations

import enum
from typing import SupportsInt

__all__ = ["LxStatus", "status_name"]


class LxStatus(enum.IntEnum):
    """The status codes of LentraSDK.h. Members compare equal to the plain ints the binding
    returns: ``lx.LxOpen(cam) == LxStatus.LX_STATUS_BUSY``."""

    LX_STATUS_OK = 0
    LX_STATUS_FAILED = -1  # the operation failed on the device
    LX_STATUS_INVALID_HANDLE = -2  # the camera or route handle is empty
    LX_STATUS_NOT_OPEN = -3  # the camera has not been opened
    LX_STATUS_BUSY = -4  # already open, or in use by another operation
    LX_STATUS_INVALID_ARGUMENT = -5  # an argument is out of range or not offered
    LX_STATUS_NOT_SUPPORTED = -6  # this device or platform lacks the feature
    LX_STATUS_NOT_STREAMING = -7  # the operation needs a streaming camera
    LX_STATUS_IO_ERROR = -8  # a file could not be read or written
    LX_STATUS_BAD_FILE = -9  # a file is malformed (bad magic, size, CRC, ...)
    LX_STATUS_READ_ONLY = -10  # the control cannot be written
    LX_STATUS_STREAMING = -11  # the operation is not allowed while streaming
    LX_STATUS_NOTHING_LOADED = -12  # nothing to activate: no profile has been loaded
    LX_STATUS_NO_DEVICE = -13  # nothing answers: no I2C device, no such sensor, none in program mode
    LX_STATUS_NO_RIG = -14  # the simulated rig's description failed to load


def status_name(code: SupportsInt) -> str:
    """The header's name of a status code ("LX_STATUS_NOT_OPEN"); for a number that is no status
    code, "status N". Enumeration members of the binding (a capture result) give their own name."""
    name = getattr(code, "name", None)
    if isinstance(name, str) and hasattr(type(code), "__members__") \
            and not isinstance(code, LxStatus):
        # A binding enumeration member such as LX_CAPTURE_RESULT.LX_TIMEOUT.
        return name
    try:
        return LxStatus(int(code)).name
    except ValueError:
        return "status {}".format(int(code))
