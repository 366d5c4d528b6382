# Types of pylentrasdk.testing (plain Python; documented in docs/testing.md). tests/test_stubs.py
# checks them against the module.
from __future__ import annotations

import os
import typing

import numpy
import numpy.typing

from ..pyLentraSDK import LX_CAPTURE_RESULT, LX_UPGRADE_RESULT, LxCamera, LxFormat
from ..stream import Frame

__all__ = ["frame_number", "expected_frame", "LentraRig", "FaultInjector", "Injection"]

def frame_number(
    frame: numpy.typing.NDArray[typing.Any] | bytes | bytearray | memoryview | Frame,
    fmt: LxFormat,
) -> int: ...
def expected_frame(
    fmt: LxFormat, number: typing.SupportsIndex, camera: LxCamera | None = None
) -> numpy.typing.NDArray[numpy.uint8]: ...

class LentraRig:
    cameras: list[str]
    def __init__(
        self,
        description: dict[str, typing.Any] | str | os.PathLike[str] | None = None,
        pacing: str = "free-run",
        folder: str | None = None,
    ) -> None: ...
    def open(self, index_or_name: int | str) -> LxCamera: ...

class Injection:
    function: str
    def __init__(
        self, injector: FaultInjector, function: str, fault: dict[str, typing.Any], count: int
    ) -> None: ...
    def __enter__(self) -> Injection: ...
    def __exit__(self, *exc_info: object) -> None: ...

class FaultInjector:
    def __init__(self) -> None: ...
    def __call__(
        self,
        function: str,
        *,
        status: int | str | None = None,
        result: LX_CAPTURE_RESULT | LX_UPGRADE_RESULT | int | str | None = None,
        value: typing.Any = None,
        text: str | bytes | None = None,
        empty: bool | None = None,
        size: int | None = None,
        progress: typing.Iterable[int] | None = None,
        throw: str | None = None,
        fail_at: str | None = None,
        count: int = 1,
    ) -> Injection: ...
