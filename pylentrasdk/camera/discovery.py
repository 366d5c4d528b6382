"""Finding cameras: ``cameras()`` lists them, ``resolve`` picks one by index or name."""

from __future__ import annotations

import dataclasses
from enum import Enum
from typing import Any

from .. import pyLentraSDK as _binding
from ..errors import CameraNotFoundError, raise_for_status

__all__ = ["CameraInfo", "cameras", "resolve", "short_name"]

_SHORT_PREFIXES = ("LXCAM_PRODUCT_TYPE_", "INTERFACE_", "USB_DEVICE_SPEED_")


def short_name(member: Any) -> str:
    """A member's name without its enumeration's prefix: "USB", "MIPI_CSI2", "KAVL", "SUPER"."""
    name: str = member.name
    for prefix in _SHORT_PREFIXES:
        if name.startswith(prefix):
            return name[len(prefix):]
    return name


@dataclasses.dataclass(frozen=True)
class CameraInfo:
    """A discovered camera: its `index`, `name`, `interface` ("USB", "MIPI_CSI2") and
    `product` type ("KAVL", "GENERIC_CAMERA"), as the SDK reports them without opening it."""

    index: int
    name: str
    interface: str
    product: str


def names() -> list[str]:
    """The names of the attached cameras, in discovery's order."""
    status, found = _binding.LxDiscoverCameraDevices()
    raise_for_status(status, "LxDiscoverCameraDevices")
    return list(found)


def _member(handle: _binding.LxCamera, function: str, name: str) -> Enum:
    status, member = getattr(_binding, function)(handle)
    raise_for_status(status, function, name)
    return member  # type: ignore[no-any-return]


def cameras() -> list[CameraInfo]:
    """The cameras attached now, as CameraInfo; none is opened."""
    found = []
    for index, name in enumerate(names()):
        handle = _binding.LxInitialCameraDevice(index)
        if handle is None:  # gone since discovery
            continue
        interface = _member(handle, "LxGetDeviceInterfaceType", name)
        product = _member(handle, "LxGetDeviceProductType", name)
        found.append(CameraInfo(index, name, short_name(interface), short_name(product)))
    return found


def _listing(found: list[str]) -> str:
    if not found:
        return "; no camera is attached"
    return "; the cameras are: {}".format(", ".join(
        "{} {!r}".format(i, n) for i, n in enumerate(found)))


def resolve(index_or_name: int | str) -> tuple[int, str]:
    """(index, name) of the camera an index, a name or a unique part of a name (in any case)
    picks; CameraNotFoundError listing the cameras when none or several answer."""
    if isinstance(index_or_name, bool) or not isinstance(index_or_name, (int, str)):
        raise TypeError("a camera is picked by its index (int) or name (str), not {}".format(
            type(index_or_name).__name__))
    found = names()
    if isinstance(index_or_name, int):
        if not 0 <= index_or_name < len(found):
            raise CameraNotFoundError("no camera {}{}".format(index_or_name, _listing(found)))
        return index_or_name, found[index_or_name]
    wanted = index_or_name.strip()
    exact = [i for i, name in enumerate(found) if name == wanted]
    if len(exact) == 1:
        return exact[0], found[exact[0]]
    if not wanted:
        raise CameraNotFoundError("an empty name picks no camera" + _listing(found))
    matching = exact or [i for i, name in enumerate(found) if wanted.lower() in name.lower()]
    if not matching:
        raise CameraNotFoundError("no camera's name holds {!r}{}".format(wanted, _listing(found)))
    if len(matching) > 1:
        raise CameraNotFoundError("{!r} is in the names of {} cameras: {}; give more of the "
                                  "name, or the index".format(
                                      wanted, len(matching),
                                      ", ".join("{} {!r}".format(i, found[i]) for i in matching)))
    return matching[0], found[matching[0]]
