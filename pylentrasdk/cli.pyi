# Types of lxctl's public surface (pylentrasdk.cli, plain Python; see docs/lxctl.md).
from __future__ import annotations

import argparse
import typing

PROG: str
EXIT_OK: int
EXIT_REFUSED: int
EXIT_USAGE: int
EXIT_BROKEN_PIPE: int

class UsageError(Exception): ...
class Refused(Exception): ...

class Shown(typing.NamedTuple):
    value: typing.Any
    lines: list[str] | None
    write: typing.Callable[[typing.BinaryIO], None] | None = None

class Command(typing.NamedTuple):
    name: str
    help: str
    add_arguments: typing.Callable[[argparse.ArgumentParser], None] | None
    run: typing.Callable[[argparse.Namespace], Shown]

COMMANDS: tuple[Command, ...]

def build_parser() -> argparse.ArgumentParser: ...
def main(argv: typing.Sequence[str] | None = None) -> int: ...
