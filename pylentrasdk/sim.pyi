# Types of pylentrasdk.sim (the module is plain Python; its behaviour is documented there and in
# docs/simulation.md). tests/test_stubs.py checks these signatures against the module.
from __future__ import annotations

import contextlib
import os
import typing

import numpy.typing

from .pyLentraSDK import LX_IMAGE_FORMAT, LxFormat
from .sim_images import (
    boot_data_image as boot_data_image,
    firmware_image as firmware_image,
    write_boot_data_image as write_boot_data_image,
    write_firmware_image as write_firmware_image,
)

__all__ = [
    "SimError",
    "load",
    "load_file",
    "reset",
    "default_description",
    "load_error",
    "inject",
    "clear_faults",
    "fail_file_writes",
    "set_pacing",
    "get_pacing",
    "free_run",
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

_Path = typing.Union[str, bytes, "os.PathLike[str]", "os.PathLike[bytes]"]
_Text = typing.Union[str, bytes]
_Bytes = typing.Union[bytes, bytearray, memoryview, numpy.typing.NDArray[typing.Any]]

class SimError(RuntimeError): ...

def load(description: typing.Union[typing.Mapping[str, typing.Any], str, bytes]) -> None: ...
def load_file(path: _Path) -> None: ...
def load_error() -> str | None: ...
def reset() -> None: ...
def default_description() -> dict[str, typing.Any]: ...
def inject(
    function: _Text,
    *,
    status: typing.SupportsInt | None = None,
    result: typing.SupportsInt | None = None,
    value: typing.Any = None,
    text: typing.Union[str, bytes, bytearray, None] = None,
    empty: bool | None = None,
    size: typing.SupportsInt | None = None,
    progress: typing.Iterable[typing.SupportsInt] | None = None,
    throw: object = None,
    fail_at: str | None = None,
    count: int = 1,
) -> None: ...
def clear_faults() -> None: ...
def fail_file_writes(count: int = 1) -> None: ...
def set_pacing(mode: typing.Literal["realtime", "free-run"]) -> None: ...
def get_pacing() -> typing.Literal["realtime", "free-run"]: ...
def free_run() -> contextlib.AbstractContextManager[None]: ...
def call_count(function: _Text) -> int: ...
def reset_call_counts() -> None: ...
def read_frame_number(
    frame: _Bytes,
    fmt: typing.Union[LxFormat, LX_IMAGE_FORMAT],
    width: int | None = None,
    height: int | None = None,
) -> int | None: ...
def active_routes() -> list[tuple[str, int, str, int]]: ...
def sample_path(name: str) -> str: ...
