# Types of pylentrasdk.controls (plain Python; see the module).
from __future__ import annotations

from collections.abc import Callable, Iterable, Iterator, Mapping
from typing import Any, NamedTuple

from .camera import Camera

__all__ = ["Controls", "ControlInfo"]

class ControlInfo(NamedTuple):
    name: str
    min: int
    max: int
    step: int
    default: int | None
    read_only: bool
    labels: dict[int, str]

class _Control:
    name: str
    display: str
    kind: str
    prop: Any
    bounds: tuple[int, int] | None
    def __init__(self, display: str, kind: str, prop: Any = None,
                 bounds: tuple[int, int] | None = None) -> None: ...

def discover(call: Callable[..., Any], subject: str | None = None) -> list[_Control]: ...

class Controls(Mapping[str, int]):
    def __init__(self, camera: Camera) -> None: ...
    def __getitem__(self, name: str) -> int: ...
    def __setitem__(self, name: str, value: int | str) -> None: ...
    def __iter__(self) -> Iterator[str]: ...
    def __len__(self) -> int: ...
    def __contains__(self, name: object) -> bool: ...
    def info(self, name: str) -> ControlInfo: ...
    def update(self, values: Mapping[str, int | str] | Iterable[tuple[str, int | str]] = (),
               **more: int | str) -> None: ...
    def checked(self, name: str, value: object, where: str | None = None) -> int: ...
