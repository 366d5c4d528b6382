# The command `lxctl view`; its web application is in pylentrasdk.viewer.server.
import argparse
import asyncio
from typing import Any, Callable

DEFAULT_HOST: str
DEFAULT_PORT: int
INSTALL_HINT: str
__all__ = ["DEFAULT_HOST", "DEFAULT_PORT", "INSTALL_HINT", "add_arguments", "run", "is_loopback",
           "serve"]

def add_arguments(parser: argparse.ArgumentParser) -> None: ...
def is_loopback(host: str) -> bool: ...
async def serve(host: str, port: int, token: str, ready: Callable[[str], object],
                stop: asyncio.Event) -> None: ...
def run(args: argparse.Namespace) -> Any: ...
