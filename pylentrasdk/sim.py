"""Control of the simulated camera rig behind pylentrasdk.

The LentraSDK library shipped with this package simulates a rig of cameras. This module drives
that simulation from Python: describe the rig, inject faults into SDK functions, choose how fast
frames come, count calls, read back the frame number stamped into a captured frame, and write
firmware and boot-data image files (valid or deliberately broken).
See docs/simulation.md for examples.

It talks to the very library instance that the binding uses (the library file beside the
binding module), so a fault injected here is what the next ``pylentrasdk`` call meets.
"""

from __future__ import annotations

import contextlib
import ctypes
import glob
import json
import os
from typing import Any, Iterable, Iterator, Mapping, SupportsInt, Tuple, Union

import numpy
import numpy.typing

from . import pyLentraSDK as _binding
from ._files import PathLike
from .errors import SimError
from .sim_images import boot_data_image, firmware_image, write_boot_data_image, write_firmware_image

__all__ = [
    "SimError",
    "load",
    "load_file",
    "reset",
    "default_description",
    "load_error",
    "inject",
    "withdraw",
    "clear_faults",
    "fail_file_writes",
    "set_pacing",
    "get_pacing",
    "free_run",
    "trigger",
    "call_count",
    "reset_call_counts",
    "read_frame_number",
    "active_routes",
    "sample_path",
    "firmware_image",
    "write_firmware_image",
    "boot_data_image",
    "write_boot_data_image",
]


_PACING_MODES = {"realtime": 0, "free-run": 1}
# The sample route, profile and rig files, installed with the package.
_SAMPLES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "samples")
_INT_MAX = 2**31 - 1  # the library's counts are C ints

# How the current rig was made, so that pylentrasdk.testing can make it again after a test that
# loaded its own: None for the start-up rig, ("text", description) or ("file", path). A load that
# failed counts too: making it again leaves no cameras and the same reason, as it did.
_made_by: tuple[str, bytes] | None = None

# File names the SDK library can have beside the binding module, per platform.
_LIBRARY_PATTERNS = ("libLentraSDK.so*", "libLentraSDK*.dylib", "LentraSDK*.dll")

# A rig description: a dict (JSON's structure), or JSON text.
Description = Union[Mapping[str, Any], str, bytes]
# What frame data read_frame_number reads: LxGetImage's array, any array of its bytes, or bytes.
FrameData = Union["numpy.typing.NDArray[Any]", bytes, bytearray, memoryview]
# One active link of the media graph: (source entity, source pad, sink entity, sink pad).
Route = Tuple[str, int, str, int]


def _find_library() -> str:
    folder = os.path.dirname(os.path.abspath(_binding.__file__))
    for pattern in _LIBRARY_PATTERNS:
        found = sorted(glob.glob(os.path.join(folder, pattern)))
        if found:
            return found[0]
    raise ImportError(
        "pylentrasdk.sim: no LentraSDK library beside the binding module in {}".format(folder)
    )


def _load_library() -> ctypes.CDLL:
    path = _find_library()
    # Loading by path yields the instance the binding already has in memory (the binding module
    # finds its library in its own folder), so both share one simulated rig.
    library = ctypes.CDLL(path)
    if not hasattr(library, "lxsim_reset"):
        raise ImportError(
            "pylentrasdk.sim needs the simulated LentraSDK library, but this package is built "
            "against another LentraSDK library ({}) that has no simulation control".format(path)
        )
    return library


def _declare(library: ctypes.CDLL) -> ctypes.CDLL:
    c_char_p, c_int, c_long = ctypes.c_char_p, ctypes.c_int, ctypes.c_long
    signatures = {
        "lxsim_load_description": (c_int, [c_char_p]),
        "lxsim_load_description_file": (c_int, [c_char_p]),
        "lxsim_reset": (c_int, []),
        "lxsim_default_description": (c_char_p, []),
        "lxsim_last_error": (c_char_p, []),
        "lxsim_load_error": (c_char_p, []),
        "lxsim_inject_fault": (c_long, [c_char_p, c_int, c_char_p]),
        "lxsim_withdraw_fault": (None, [c_long]),
        "lxsim_clear_faults": (None, []),
        "lxsim_camera_names": (c_char_p, []),
        "lxsim_fail_file_writes": (c_int, [c_int]),
        "lxsim_set_pacing": (c_int, [c_int]),
        "lxsim_get_pacing": (c_int, []),
        "lxsim_trigger": (c_int, []),
        "lxsim_call_count": (c_long, [c_char_p]),
        "lxsim_reset_call_counts": (None, []),
        "lxsim_active_routes": (c_char_p, []),
        "lxsim_status_name": (c_char_p, [c_int]),
        "lxsim_read_frame_number": (
            c_long,
            [ctypes.c_void_p, ctypes.c_size_t, c_int, c_int, c_int],
        ),
    }
    for name, (restype, argtypes) in signatures.items():
        function = getattr(library, name)
        function.restype = restype
        function.argtypes = argtypes
    return library


_lib = _declare(_load_library())


def _check(status: int, what: str) -> int:
    if status < 0:
        message: str = (_lib.lxsim_last_error() or b"").decode("utf-8", "replace")
        raise SimError(message or "{} failed with status {}".format(what, status))
    return status


def _text(value: str | bytes, what: str) -> bytes:
    """`value` as the bytes of a C string. A NUL byte would end the text early (the library
    would see another name, path or description than the one given), so it is refused."""
    if isinstance(value, str):
        value = value.encode("utf-8", "surrogateescape")
    elif not isinstance(value, bytes):
        raise TypeError("{} must be str, not {}".format(what, type(value).__name__))
    if b"\0" in value:
        raise ValueError("{} must not hold a NUL character".format(what))
    return value


def _plain(value: object) -> object:
    """The JSON form of a fault value: enumeration members become their int, arrays lists."""
    if isinstance(value, dict):
        return {str(k): _plain(v) for k, v in value.items()}
    if isinstance(value, (list, tuple)):
        return [_plain(v) for v in value]
    if hasattr(type(value), "__members__") and isinstance(value, SupportsInt):
        return int(value)  # a binding enumeration member
    if hasattr(value, "tolist"):
        return _plain(value.tolist())  # NumPy arrays and scalars
    return value


def load(description: Description) -> None:
    """Replace the rig with a description (a dict, or JSON text). Cameras of the old rig are
    closed and their handles answer with an invalid-handle status. On failure SimError says what
    is wrong with the description, and the rig has no cameras (see load_error)."""
    global _made_by
    if not isinstance(description, (str, bytes)):
        description = json.dumps(_plain(description))
    text = _text(description, "description")
    _made_by = ("text", text)
    _check(_lib.lxsim_load_description(text), "load")


def load_file(path: PathLike) -> None:
    """Replace the rig with the description in a JSON file (see load)."""
    global _made_by
    path = _text(os.fsencode(path), "path")
    _made_by = ("file", os.path.abspath(path))  # the same file after a change of folder
    _check(_lib.lxsim_load_description_file(path), "load_file")


def load_error() -> str | None:
    """Why the current rig's description failed to load (given to load or load_file, or named
    in LENTRASDK_SIM), or None when it loaded."""
    return _lib.lxsim_load_error().decode("utf-8", "replace") or None


def reset() -> None:
    """Back to the start-up rig (LENTRASDK_SIM's file, or the built-in default) with no faults,
    call counts at zero and real-time pacing."""
    global _made_by
    _made_by = None
    _check(_lib.lxsim_reset(), "reset")


def default_description() -> dict[str, Any]:
    """The built-in default rig's description, as a dict (a fresh copy each call)."""
    description: dict[str, Any] = json.loads(_lib.lxsim_default_description().decode("utf-8"))
    return description


def inject(
    function: str,
    *,
    status: SupportsInt | None = None,
    result: SupportsInt | None = None,
    value: object = None,
    text: str | bytes | bytearray | None = None,
    empty: bool | None = None,
    size: SupportsInt | None = None,
    progress: Iterable[SupportsInt] | None = None,
    throw: str | None = None,
    fail_at: str | None = None,
    count: int = 1
) -> int:
    """Make the next `count` calls of the SDK function `function` skip their work and answer as
    given; returns the fault's id, for withdraw():

    status    the int the function returns
    result    the LX_CAPTURE_RESULT of LxGetImage or the LX_UPGRADE_RESULT of LxUpgradeSensorFW
              (a member or its int)
    value     what the function stores in its output: a number or member, a str, a list of
              str (device names), a list of numbers, a list of format dicts, a dict of record
              fields, or [value, aux] for the image-processing getters
    text      the output text: str, or bytes for text that need not be valid UTF-8
    empty     True: hand back an empty handle, or empty the header record owner
    size      LxGetImage: the received size to report (nothing is written into the frame)
    progress  the progress values a firmware upgrade reports
    throw     a message for a route function (LxResetActiveRoutes, LxLoadRouteYaml,
              LxActivateYamlRoutes) to throw as an exception
    fail_at   firmware upgrades: instead of skipping the upgrade, run it and fail at this stage
              ("read", "compare", "switch", "init", "erase", "program", "verify", "reset",
              "start"), as a device would
    """
    fault: dict[str, object] = {}
    for key, given in (("status", status), ("result", result), ("size", size)):
        if given is not None:
            if isinstance(given, float):
                raise TypeError("{} must be an int or a member, not a float".format(key))
            fault[key] = int(given)
    if value is not None:
        fault["value"] = _plain(value)
    if text is not None:
        if isinstance(text, str):
            text = text.encode("utf-8")
        if not isinstance(text, (bytes, bytearray)):
            raise TypeError("text must be str or bytes, not {}".format(type(text).__name__))
        fault["text_hex"] = bytes(text).hex()
    if empty is not None:
        fault["empty"] = bool(empty)
    if progress is not None:
        fault["progress"] = [int(p) for p in progress]
    if throw is not None:
        fault["throw"] = str(throw)
    if isinstance(count, bool) or not isinstance(count, int):
        raise TypeError("count must be an int, not {}".format(type(count).__name__))
    if not 1 <= count <= _INT_MAX:
        raise ValueError("count must be from 1 to {}, not {}".format(_INT_MAX, count))
    if fail_at is not None:
        fault["fail_at"] = str(fail_at)
    fault_id: int = _lib.lxsim_inject_fault(_text(function, "function"), count,
                                            json.dumps(fault).encode())
    return _check(fault_id, "inject")


def withdraw(fault_id: int) -> None:
    """Drop what is left of the fault that inject() returned this id for; other faults stay
    pending, in their order. A fault used up or cleared already leaves nothing to drop."""
    if isinstance(fault_id, bool) or not isinstance(fault_id, int):
        raise TypeError("a fault id is the int inject() returned, not {}".format(
            type(fault_id).__name__))
    _lib.lxsim_withdraw_fault(fault_id)


def clear_faults() -> None:
    """Drop every injected fault that has not been used up."""
    _lib.lxsim_clear_faults()


def _camera_names() -> list[str]:
    """The current rig's camera names, as discovery gives them, without an SDK call (nothing
    counted, no fault taken): what pylentrasdk.testing lists when it loads a rig."""
    names: list[str] = json.loads(_lib.lxsim_camera_names().decode("utf-8"))
    return names


def fail_file_writes(count: int = 1) -> None:
    """Make the next `count` files the library writes fail just before they are put in place
    (as on a full disk): the file that was there stays as it was and no temporary file is left.
    0 cancels; reset() cancels too."""
    if isinstance(count, bool) or not isinstance(count, int):
        raise TypeError("count must be an int, not {}".format(type(count).__name__))
    if not 0 <= count <= _INT_MAX:
        raise ValueError("count must be from 0 to {}, not {}".format(_INT_MAX, count))
    _check(_lib.lxsim_fail_file_writes(count), "fail_file_writes")


def set_pacing(mode: str) -> None:
    """"realtime": frames come at the format's rate (capped by the maximum-FPS setting);
    "free-run": each frame as fast as it can be made (benchmarks, fast tests)."""
    try:
        code = _PACING_MODES[mode]
    except (KeyError, TypeError):
        raise ValueError(
            "pacing must be one of {}, not {!r}".format(", ".join(_PACING_MODES), mode)
        ) from None
    _check(_lib.lxsim_set_pacing(code), "set_pacing")


def get_pacing() -> str:
    """The current pacing mode, "realtime" or "free-run"."""
    code = _lib.lxsim_get_pacing()
    for name, known in _PACING_MODES.items():
        if known == code:
            return name
    raise SimError("unknown pacing mode {}".format(code))


@contextlib.contextmanager
def free_run() -> Iterator[None]:
    """Free-run pacing inside a with block; the previous pacing comes back afterwards."""
    previous = get_pacing()
    set_pacing("free-run")
    try:
        yield
    finally:
        set_pacing(previous)


def trigger() -> None:
    """Fire one pulse on the rig's trigger line, as a hardware trigger would: every streaming
    camera in Non Periodic trigger mode ("trigger_mode" 3) makes one frame. Pulses fired
    before a camera streams in that mode make no frame for it."""
    _check(_lib.lxsim_trigger(), "trigger")


def call_count(function: str) -> int:
    """How many times the SDK function `function` has been called since the last reset."""
    count: int = _lib.lxsim_call_count(_text(function, "function"))
    if count < 0:
        raise SimError("no SDK function is named {!r}".format(function))
    return count


def reset_call_counts() -> None:
    """Set every function's call count back to zero."""
    _lib.lxsim_reset_call_counts()


def read_frame_number(frame: FrameData, fmt: _binding.LxFormat | _binding.LX_IMAGE_FORMAT,
                      width: SupportsInt | None = None,
                      height: SupportsInt | None = None) -> int | None:
    """The frame number stamped into a captured frame, or None when none can be read.

    `frame` is the array (or bytes) from LxGetImage; `fmt` is the LxFormat it was captured
    with, or an LX_IMAGE_FORMAT member together with `width` and `height`.
    """
    if isinstance(fmt, _binding.LxFormat):
        width = fmt.width if width is None else width
        height = fmt.height if height is None else height
        fmt = fmt.format
    if not isinstance(fmt, _binding.LX_IMAGE_FORMAT):
        raise TypeError("fmt must be an LxFormat or an LX_IMAGE_FORMAT member")
    if width is None or height is None:
        raise TypeError("width and height are needed with an LX_IMAGE_FORMAT member")
    if isinstance(frame, (bytes, bytearray, memoryview)):
        data = numpy.frombuffer(frame, dtype=numpy.uint8)
    else:
        data = numpy.ascontiguousarray(frame).reshape(-1).view(numpy.uint8)
    pointer = data.ctypes.data if data.size else None
    number: int = _lib.lxsim_read_frame_number(pointer, data.size, int(fmt), int(width),
                                               int(height))
    return None if number < 0 else number


def active_routes() -> list[Route]:
    """The active links of the platform's media graph, in the graph's order, each a tuple
    (source entity, source pad, sink entity, sink pad)."""
    links: list[dict[str, Any]] = json.loads(_lib.lxsim_active_routes().decode("utf-8"))
    return [(link["source"], link["source_pad"], link["sink"], link["sink_pad"]) for link in links]


def sample_path(name: str) -> str:
    """The installed path of a sample file for the simulated rig, by its file name:
    "second_camera.yaml" (a media route file), "kavl_yuy2_1080p.yaml" (an OSP profile for the
    default rig's KAVL camera), "default_rig.json" (the default rig's description) or
    "stereo.json" (a rig of two MIPI cameras of one model, for camera groups). An unknown name
    raises ValueError listing the samples there are."""
    names = sorted(os.listdir(_SAMPLES)) if os.path.isdir(_SAMPLES) else []
    if name not in names:
        raise ValueError("no sample file {!r}; the samples are: {}".format(
            name, ", ".join(names) or "none (the package was installed without them)"))
    return os.path.join(_SAMPLES, name)
