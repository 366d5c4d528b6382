# Types of pylentrasdk.status (plain Python; see the module).
from __future__ import annotations

import enum
import typing

__all__ = ["LxStatus", "status_name"]

class LxStatus(enum.IntEnum):
    LX_STATUS_OK = 0
    LX_STATUS_FAILED = -1
    LX_STATUS_INVALID_HANDLE = -2
    LX_STATUS_NOT_OPEN = -3
    LX_STATUS_BUSY = -4
    LX_STATUS_INVALID_ARGUMENT = -5
    LX_STATUS_NOT_SUPPORTED = -6
    LX_STATUS_NOT_STREAMING = -7
    LX_STATUS_IO_ERROR = -8
    LX_STATUS_BAD_FILE = -9
    LX_STATUS_READ_ONLY = -10
    LX_STATUS_STREAMING = -11
    LX_STATUS_NOTHING_LOADED = -12
    LX_STATUS_NO_DEVICE = -13
    LX_STATUS_NO_RIG = -14

def status_name(code: typing.SupportsInt) -> str: ...
