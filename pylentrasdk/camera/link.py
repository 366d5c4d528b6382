"""The open camera that a Camera's parts (controls, IMU, settings, its stream) are written against.

A `Link` is one opening of one camera: the handle, the lock that serialises calls on it, and the
camera's name for messages. The parts call the SDK only through it, so none of them needs the
Camera object's own state, and a closed camera is refused in one place.
"""

from __future__ import annotations

import threading
from typing import Any, ContextManager

from .. import pyLentraSDK as _binding
from ..errors import CameraClosedError, raise_for_status

__all__ = ["Link"]

_NONE_FORMAT = _binding.LX_IMAGE_FORMAT.LX_IMAGE_FORMAT_NONE


class Link:
    """An opened camera: `call` runs a binding function on it under its lock, `check` raises
    the exception for a failed status naming the camera. Once `close` has run, every call
    raises CameraClosedError."""

    def __init__(self, handle: _binding.LxCamera, name: str, lock: threading.RLock) -> None:
        self._handle: _binding.LxCamera | None = handle
        self._lock = lock
        self.name = name

    def __repr__(self) -> str:
        return "<Link to {!r} {}>".format(self.name, "closed" if self.closed else "open")

    @property
    def closed(self) -> bool:
        return self._handle is None

    @property
    def handle(self) -> _binding.LxCamera:
        """The opened LxCamera; CameraClosedError once closed."""
        handle = self._handle
        if handle is None:
            raise CameraClosedError("{}: the camera is closed".format(self.name))
        return handle

    def locked(self) -> ContextManager[Any]:
        """The camera's lock, held across several calls that must not be interleaved with
        another thread's (it is re-entrant: calls made while holding it take it again)."""
        return self._lock

    def call(self, function: str, *args: Any) -> Any:
        """The binding function `function` called on the camera, under its lock."""
        with self._lock:
            return getattr(_binding, function)(self.handle, *args)

    def check(self, status: int, function: str, detail: str | None = None) -> None:
        """Raises the exception for a failed `status` of `function`, naming this camera."""
        raise_for_status(status, function, self.name, detail)

    def result(self, function: str, *args: Any) -> Any:
        """The value of a function that answers (status, value), after checking the status."""
        status, value = self.call(function, *args)
        self.check(status, function)
        return value

    def records(self) -> list[_binding.LxFormat]:
        """The camera's LxFormat records that carry frames, in its order."""
        return [r for r in self.result("LxGetFormatList") if r.format != _NONE_FORMAT]

    def close(self) -> None:
        """Marks the link closed (the Camera closes the handle itself)."""
        with self._lock:
            self._handle = None
