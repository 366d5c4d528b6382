"""A live viewer of the cameras in the browser: the web server behind `lxctl view`.

`run(host, port)` serves every camera's picture, its controls and its IMU (aiohttp, the optional
extra `pip install pylentrasdk[viewer]`) on a local address until Ctrl-C or SIGTERM, then stops
every stream and closes the cameras. It prints one line, `Viewer at http://HOST:PORT/?token=TOKEN`.
The page and the HTTP interface are described in docs/viewer.md; the command line is lxctl's
(pylentrasdk.cli.view).

    hub.py      one Hub per camera: its shared capture, over pylentrasdk.Camera
    server.py   the web application: page files, the HTTP interface, the checks of every request
"""

from __future__ import annotations

import asyncio
import ipaddress
import os
import secrets
import signal
import socket
import sys
import threading
import webbrowser
from typing import Callable

__all__ = ["ViewerError", "is_loopback", "run", "serve"]


class ViewerError(Exception):
    """The viewer cannot listen where it was asked to."""


def is_loopback(host: str) -> bool:
    """Whether `host` (an address or a name) reaches this machine only."""
    try:
        return ipaddress.ip_address(host).is_loopback
    except ValueError:
        pass
    try:
        found = socket.getaddrinfo(host, None)
    except (OSError, UnicodeError):
        return False
    return bool(found) and all(
        ipaddress.ip_address(str(entry[4][0]).split("%")[0]).is_loopback for entry in found)


def _url_host(host: str) -> str:
    return "[{}]".format(host) if ":" in host else host


def _open_browser(url: str) -> None:
    # A console browser would take over the terminal the viewer's line is on: on a machine
    # without a graphical display there is no browser to open.
    if sys.platform.startswith("linux") and not (os.environ.get("DISPLAY")
                                                 or os.environ.get("WAYLAND_DISPLAY")):
        return
    try:
        webbrowser.open(url)
    except webbrowser.Error:
        pass


async def serve(host: str, port: int, token: str, ready: Callable[[str], None],
                stop: asyncio.Event) -> None:
    """Serves the viewer on `host`:`port` until the event `stop` is set, then stops every
    stream and closes the cameras. `ready(url)` is called once it listens. Raises OSError
    when it cannot listen there."""
    from aiohttp import web

    from .server import Viewer

    viewer = Viewer(token, host, port)
    runner = web.AppRunner(viewer.app, access_log=None, handle_signals=False,
                           shutdown_timeout=2.0)
    await runner.setup()
    try:
        site = web.TCPSite(runner, host, port, reuse_address=True)
        await site.start()
        bound = runner.addresses[0][1] if port == 0 else port
        viewer.bind_port(bound)
        ready("http://{}:{}/?token={}".format(_url_host(host), bound, token))
        await stop.wait()
    finally:
        await runner.cleanup()


def run(host: str, port: int, open_browser: bool = True) -> None:
    """Serves the viewer until Ctrl-C or SIGTERM. Raises ViewerError when it cannot listen on
    `host`:`port`, and the camera layer's LentraError when the cameras cannot be listed."""
    token = secrets.token_urlsafe(32)

    async def main() -> None:
        stop = asyncio.Event()
        loop = asyncio.get_running_loop()
        for number in (signal.SIGINT, signal.SIGTERM):
            loop.add_signal_handler(number, stop.set)

        def ready(url: str) -> None:
            sys.stdout.write("Viewer at {}\n".format(url))
            sys.stdout.flush()
            if not is_loopback(host):
                sys.stderr.write(
                    "lxctl: warning: listening on {}: anyone who can reach this address and "
                    "has the token can watch and change the cameras\n".format(host))
            if open_browser:
                threading.Thread(target=_open_browser, args=(url,), daemon=True).start()

        await serve(host, port, token, ready, stop)

    try:
        asyncio.run(main())
    except OSError as error:
        # aiohttp's text is "error while attempting to bind on address (...): <the reason>".
        raise ViewerError("cannot listen on {}:{}: {}".format(
            host, port, str(error.strerror or error).rsplit(": ", 1)[-1])) from None
