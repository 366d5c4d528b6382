"""Python bindings for the LentraSDK camera SDK.

Every name of the compiled module ``pyLentraSDK`` (enumerations and their members, records,
handles and functions) is an attribute of this package, so ``pylentrasdk.LxOpen(cam)`` works.
Status codes have names in ``LxStatus`` and ``status_name``. Control of the simulated camera
rig is in ``pylentrasdk.sim``; frames become pictures with ``pylentrasdk.frames`` and come
continuously from ``pylentrasdk.stream``; ``pylentrasdk.testing`` is a pytest plugin. ``Camera``,
``cameras()`` and ``Format`` are the object-style layer over all of it (docs/camera.md);
``CameraGroup`` reads several cameras' frames as matched sets (docs/camera-groups.md).
"""


from __future__ import annotations


def _load_failure(error: ImportError) -> str:
    """Why the compiled module could not be loaded, and what to do about it."""
    import importlib.machinery
    import os
    import re

    folder = os.path.dirname(os.path.abspath(__file__))
    built = [name for name in os.listdir(folder)
             if name.startswith("pyLentraSDK.")
             and name.endswith(tuple(importlib.machinery.EXTENSION_SUFFIXES))]
    if not built:
        return (
            "pylentrasdk: the compiled module pyLentraSDK could not be loaded ({}): {} holds no "
            "built module. Build and install the package (tools/setup.sh, or pip install .) and "
            "import it from the installed location, not from the source folder.".format(error, folder)
        )
    # The module is there but the dynamic loader could not load a library it needs, most often
    # the LentraSDK library of a build against one's own SDK (docs/your-sdk.md).
    missing = re.search(r"([^\s:]+): cannot open shared object file", str(error))
    library = missing.group(1) if missing else "a library it needs"
    return (
        "pylentrasdk: the compiled module pyLentraSDK is installed in {} but {} could not be "
        "loaded ({}). Put {} beside the module in that folder (pip install does so for the "
        "library it was built against) or on the system's library search path."
        .format(folder, library, error, library if missing else "the library")
    )


try:
    from . import pyLentraSDK as _binding
except ImportError as _error:
    raise ImportError(_load_failure(_error)) from _error


from .pyLentraSDK import *  # noqa: E402,F401,F403 (every name of the binding, at the top)

# Taken from the module at import time rather than listed by hand, so every name the binding
# registers is exported.
__all__ = [name for name in dir(_binding) if not name.startswith("_")]

from .status import LxStatus, status_name  # noqa: E402 (after the binding it names statuses of)

# The camera layer beside the binding (docs/camera.md), and the package's exceptions.
from .errors import (  # noqa: E402
    CameraBusyError, CameraClosedError, CameraNotFoundError, CaptureTimeoutError,
    ControlTypeError, ControlValueError, LentraError, NotSupportedError, RecordingError,
    StreamClosedError, StreamError, UnknownControlError)
from .formats import Format  # noqa: E402
from .camera import Camera, CameraGroup, CameraInfo, FrameSet, Intrinsics, cameras  # noqa: E402

__all__ += ["LxStatus", "status_name", "Camera", "CameraGroup", "FrameSet", "CameraInfo",
            "cameras", "Format", "Intrinsics",
            "LentraError", "CameraNotFoundError", "CameraBusyError", "CameraClosedError",
            "NotSupportedError", "ControlValueError", "UnknownControlError", "ControlTypeError",
            "StreamError", "StreamClosedError", "CaptureTimeoutError", "RecordingError"]


def __getattr__(name: str) -> str:
    # The version is looked up on first use: reading distribution metadata is the slowest part
    # of importing the package, and most programs never ask.
    if name == "__version__":
        from importlib.metadata import PackageNotFoundError, version

        try:
            found = version("pylentrasdk")
        except PackageNotFoundError:  # pragma: no cover - not installed as a distribution
            found = "0+unknown"
        globals()["__version__"] = found
        return found
    raise AttributeError("module {!r} has no attribute {!r}".format(__name__, name))
