"""The simulated rig of one test and the faults it injects, kept apart from pytest: the plugin
(plugin.py) only decides when each step runs."""

from __future__ import annotations

import difflib
import enum
import os
import threading
import time
from typing import (TYPE_CHECKING, AbstractSet, Any, Dict, Iterable, Mapping, SupportsInt, Type,
                    TypedDict, Union)

from .. import pyLentraSDK as _binding
from .. import sim
from ..camera import Camera
from ..errors import LentraError
from ..pyLentraSDK import LX_CAPTURE_RESULT, LX_UPGRADE_RESULT, LxCamera
from ..status import LxStatus, status_name

if TYPE_CHECKING:
    from typing_extensions import Unpack


class RigLoadError(Exception):
    """The rig a test asked for could not be set up; the message is the one-line reason."""


class LentraThreadWarning(UserWarning):
    """A test left a thread running that it started on its rig."""


def _functions() -> list[str]:
    """The SDK's function names: the binding has one function of each name."""
    return sorted(name for name in dir(_binding)
                  if type(getattr(_binding, name)).__name__ == "builtin_function_or_method")


_FUNCTIONS = frozenset(_functions())

# The functions whose answer `result` gives, and the enumeration it is a member of.
_RESULTS: dict[str, type[LX_CAPTURE_RESULT] | type[LX_UPGRADE_RESULT]] = {
    "LxGetImage": _binding.LX_CAPTURE_RESULT,
    "LxUpgradeSensorFW": _binding.LX_UPGRADE_RESULT,
}


# What a test's rig is made from: a dict, JSON text, or the path of a JSON file (relative to
# the test file's folder); None for the built-in default rig.
RigDescription = Union[Dict[str, Any], str, "os.PathLike[str]"]


class FaultArguments(TypedDict, total=False):
    """What lentra_inject takes besides the function: sim.inject's arguments, with `status` and
    `result` also by name."""

    status: SupportsInt | str
    result: SupportsInt | str
    value: object
    text: str | bytes | bytearray
    empty: bool
    size: SupportsInt
    progress: Iterable[SupportsInt]
    throw: str
    fail_at: str
    count: int


class LentraRig:
    """A simulated rig made for one test: the value of the ``lentra_rig`` fixture.

    ``cameras`` holds the names of its cameras, as discovery gives them; ``open(index_or_name)``
    opens one of them. Every camera opened here is closed after the test."""

    def __init__(self, description: RigDescription | None = None, pacing: str = "free-run",
                 folder: str | None = None) -> None:
        self._description = description
        self._pacing = pacing
        self._folder = folder  # where a relative path of a description file starts
        # How the rig before the test was made, and its pacing (set by _load).
        self._before: tuple[tuple[str, bytes] | None, str] | None = None
        self._opened: list[LxCamera] = []
        self._objects: list[Camera] = []  # opened as pylentrasdk.Camera (the lentra_cam fixture)
        self.cameras: list[str] = []

    def __repr__(self) -> str:
        return "<LentraRig cameras={!r}>".format(self.cameras)

    # -- set-up and tear-down (called by the plugin) --------------------------------------------

    def _load(self, keep_faults: bool = False) -> None:
        """Loads the rig with call counts at zero and the pacing asked for. Faults and failing
        file writes pending now are dropped, or with `keep_faults` kept for the test (the
        plugin drops what the session left before the test's fixtures run). The load makes no
        SDK call, so a kept fault is not used up by it. On failure the rig that was there
        before is put back and RigLoadError says why."""
        self._before = (sim._made_by, sim.get_pacing())
        try:
            self._load_description()
            if not keep_faults:
                sim.clear_faults()
                sim.fail_file_writes(0)
            self.cameras = sim._camera_names()
        except BaseException:
            self._restore()
            raise
        sim.reset_call_counts()

    def _load_description(self) -> None:
        description = self._description
        try:
            if description is None:
                sim.load(sim.default_description())
            elif isinstance(description, dict):
                sim.load(description)
            elif isinstance(description, str) and description.lstrip().startswith("{"):
                sim.load(description)  # JSON text
            elif isinstance(description, (str, os.PathLike)):
                path = os.fspath(description)
                if self._folder is not None:
                    path = os.path.join(self._folder, path)
                sim.load_file(path)
            else:
                raise RigLoadError(
                    "a rig description is a dict, JSON text or the path of a JSON file, not "
                    "{}".format(type(description).__name__))
        except (sim.SimError, TypeError, ValueError) as error:
            raise RigLoadError("the rig description did not load: {}".format(error)) from None
        try:
            sim.set_pacing(self._pacing)
        except ValueError as error:
            raise RigLoadError(str(error)) from None

    def _close_cameras(self) -> None:
        """Stops and closes every camera opened through open() and _camera(); statuses do not
        matter here (the test may have closed a camera itself, or replaced the rig)."""
        sim.clear_faults()  # a fault left on LxClose must not keep a camera open
        while self._objects:
            try:
                self._objects.pop().close()
            except LentraError:
                pass  # its handle is closed all the same
        while self._opened:
            cam = self._opened.pop()
            _binding.LxStopStreaming(cam)
            _binding.LxClose(cam)

    def _restore(self) -> None:
        """Makes the rig that was there before the test again, with no faults, call counts at
        zero and the pacing it had. Its cameras start anew: handles to them taken before the
        test answer as invalid, as after any replacement of the rig."""
        if self._before is None:
            return  # never loaded: the rig was not touched
        made_by, pacing = self._before
        try:
            if made_by is None:
                sim.reset()
            elif made_by[0] == "text":
                sim.load(made_by[1])
            else:
                sim.load_file(made_by[1])
        except sim.SimError:
            pass  # it did not load before either (or its file is gone): no cameras, as then
        sim.clear_faults()
        sim.fail_file_writes(0)
        sim.reset_call_counts()
        sim.set_pacing(pacing)

    # -- for the test ---------------------------------------------------------------------------

    def _listing(self) -> str:
        return ", ".join("{} {!r}".format(i, name) for i, name in enumerate(self.cameras)) or "none"

    def _index_of(self, index_or_name: int | str) -> int:
        if isinstance(index_or_name, bool):
            raise TypeError("a camera is chosen by index (int) or name (str), not bool")
        if isinstance(index_or_name, int):
            if not 0 <= index_or_name < len(self.cameras):
                raise IndexError("the rig has no camera {}; its cameras: {}".format(
                    index_or_name, self._listing()))
            return index_or_name
        if not isinstance(index_or_name, str):
            raise TypeError("a camera is chosen by index (int) or name (str), not {}".format(
                type(index_or_name).__name__))
        found = [i for i, name in enumerate(self.cameras) if name == index_or_name]
        if not found:
            found = [i for i, name in enumerate(self.cameras) if index_or_name in name]
        if len(found) == 1:
            return found[0]
        if not found:
            raise LookupError("no camera of the rig is named or contains {!r}; its cameras: "
                              "{}".format(index_or_name, self._listing()))
        raise LookupError("{!r} names several cameras ({}); give more of the name or an "
                          "index".format(index_or_name, ", ".join(str(i) for i in found)))

    def open(self, index_or_name: int | str) -> LxCamera:
        """Opens the camera at this index, or the one whose name is this or contains it (only
        one may), and returns its LxCamera handle. It is closed after the test (streaming
        stopped first). Opening is exclusive, as on a device: a camera already open raises."""
        index = self._index_of(index_or_name)
        cam = _binding.LxInitialCameraDevice(index)
        if cam is None:
            raise RuntimeError("LxInitialCameraDevice({}) gave no camera".format(index))
        status = _binding.LxOpen(cam)
        if status != 0:
            raise RuntimeError("camera {} {!r} did not open: LxOpen answered {} ({})".format(
                index, self.cameras[index], status_name(status), status))
        self._opened.append(cam)
        return cam

    def _camera(self, index: int) -> Camera:
        """The camera at this index as an open pylentrasdk.Camera; closed after the test. Its
        discovery and opening count and meet injected faults, as open()'s calls do."""
        cam = Camera(index)
        self._objects.append(cam)
        return cam


def _known_function(function: str) -> str:
    if function in _FUNCTIONS:
        return function
    close = difflib.get_close_matches(str(function), _FUNCTIONS, n=3)
    hint = " (did you mean {}?)".format(" or ".join(close)) if close else ""
    raise ValueError("no SDK function is named {!r}{}; the known names: {}".format(
        function, hint, ", ".join(sorted(_FUNCTIONS))))


# The enumerations a fault's `status` and `result` name members of.
_Enumeration = Union[Type[enum.IntEnum], Type[LX_CAPTURE_RESULT], Type[LX_UPGRADE_RESULT]]


def _member(value: object, enumeration: _Enumeration, what: str) -> object:
    """A member of `enumeration` named by `value`; other values are passed on unchanged."""
    if not isinstance(value, str):
        return value
    member = enumeration.__members__.get(value)
    if member is None:
        raise ValueError("{} {!r} is not one of {}".format(
            what, value, ", ".join(enumeration.__members__)))
    return member


def _fault_values(function: str, fault: Mapping[str, Any]) -> dict[str, Any]:
    """The fault's `result` and `status` with names turned into values, checked against the
    function they are for."""
    fault = dict(fault)
    if "status" in fault:
        fault["status"] = _member(fault["status"], LxStatus, "status")
    if fault.get("result") is not None:
        enumeration = _RESULTS.get(function)
        if enumeration is None:
            raise ValueError("result is what {} answer; {} answers a status (status=...)".format(
                " and ".join(_RESULTS), function))
        result = _member(fault["result"], enumeration, "result of {}".format(function))
        members = getattr(type(result), "__members__", None)
        if members is not None and not isinstance(result, enumeration):
            raise ValueError("result of {} is an {} member, not {}".format(
                function, enumeration.__name__, type(result).__name__))
        fault["result"] = result
    return fault


class Injection:
    """One call of ``lentra_inject``: its fault is pending until used up, withdrawn at the end
    of its ``with`` block or of the test."""

    def __init__(self, function: str, fault: dict[str, Any], fault_id: int) -> None:
        self.function = function
        self._fault = fault
        self._id = fault_id  # sim's id of the fault, which withdraws exactly this one

    def __repr__(self) -> str:
        return "<Injection {} {!r}>".format(self.function, self._fault)

    def __enter__(self) -> Injection:
        return self

    def __exit__(self, *exc_info: object) -> None:
        sim.withdraw(self._id)


class FaultInjector:
    """The value of the ``lentra_inject`` fixture: ``lentra_inject(function, **fault)`` injects
    a fault with ``sim.inject``'s arguments at once, and returns an Injection that, used as a
    context manager, withdraws the fault at the end of the block.

    ``result`` and ``status`` may be given by name ("LX_BUFFER_CORRUPTED", "LX_STATUS_BUSY").
    An unknown function, result or status name raises ValueError with the known names."""

    def __call__(self, function: str, **fault: Unpack[FaultArguments]) -> Injection:
        function = _known_function(function)
        values = _fault_values(function, fault)
        count = values.pop("count", 1)
        return Injection(function, values, sim.inject(function, count=count, **values))

    def _clear(self) -> None:
        """Drops every pending fault (the end of the test)."""
        sim.clear_faults()


def _threads_left(before: AbstractSet[threading.Thread], grace: float) -> list[threading.Thread]:
    """The threads running now that were not in `before`, once each has had its share of
    `grace` seconds to end (a thread whose camera was closed under it may be on its way out).
    Threads not started by Python (which Python lists once they call into it, and never drops)
    are not ours to name."""
    deadline = time.monotonic() + grace
    left = []
    for thread in threading.enumerate():
        if thread in before or thread is threading.current_thread() or \
                isinstance(thread, threading._DummyThread):
            continue
        thread.join(max(0.0, deadline - time.monotonic()))
        if thread.is_alive():
            left.append(thread)
    return left


def _thread_left_message(thread: threading.Thread) -> str:
    target = getattr(getattr(thread, "_target", None), "__qualname__", None)
    shown = "{!r} ({})".format(thread.name, target) if target else repr(thread.name)
    return ("the test left thread {} running: its calls on the test's cameras now answer as "
            "on invalid handles, and its other SDK calls reach the next test's rig; stop and "
            "join it before the test ends".format(shown))
