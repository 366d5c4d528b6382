"""Names for the SDK's status codes.

Every ``int`` result of the SDK is a status: 0 for success, a negative code for a failure. The
binding hands them back as plain ints; ``LxStatus`` gives them the names of the SDK header, and
``status_name`` turns any result into text fit for a message.

The codes come from the header's own list (``pylentrasdk._tables``), so they are written in one
place. Built against an SDK header without that list, ``LxStatus`` has no members and
``status_name`` names every code by its number.
"""

from __future__ import annotations

import enum
from typing import Any, SupportsInt

from . import _tables

__all__ = ["LxStatus", "status_name", "status_value"]

# Made from the header's list at import, so its members are known only then (typed as Any).
LxStatus: Any = enum.IntEnum(  # type: ignore[misc]
    "LxStatus", [(code.name, code.value) for code in _tables.status_codes], module=__name__)
LxStatus.__doc__ = """The status codes of LentraSDK.h. Members compare equal to the plain ints
the binding returns: ``lx.LxOpen(cam) == LxStatus.LX_STATUS_BUSY``."""
# By value, also when LxStatus has no members (which an enumeration cannot be asked about).
_NAMES = {code.value: code.name for code in _tables.status_codes}
_VALUES = {name: value for value, name in _NAMES.items()}


def status_value(name: str) -> int | None:
    """The value of the status code the header names so ("LX_STATUS_NOT_SUPPORTED"), or None
    when the header lists no such code (a build against an SDK header without the list)."""
    return _VALUES.get(name)


def status_name(code: SupportsInt) -> str:
    """The header's name of a status code ("LX_STATUS_NOT_OPEN"); for a number that is no status
    code, "status N". Enumeration members of the binding (a capture result) give their own name."""
    name = getattr(code, "name", None)
    if isinstance(name, str) and hasattr(type(code), "__members__") \
            and not isinstance(code, LxStatus):
        # A binding enumeration member such as LX_CAPTURE_RESULT.LX_TIMEOUT.
        return name
    known = _NAMES.get(int(code))
    return known if known is not None else "status {}".format(int(code))
