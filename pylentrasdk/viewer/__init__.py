"""A live viewer of the cameras in the browser: the web server behind `lxctl view`.

`run(host, port)` serves every camera's picture, its controls and its IMU (aiohttp, the optional
extra `pip install pylentrasdk[viewer]`) on a local address until Ctrl-C or SIGTERM, then stops
every recording and stream and closes the cameras. It prints one line, `Viewer at http://HOST:PORT/?token=TOKEN`.
The page and the HTTP interface are described in docs/viewer.md; the command line is lxctl's
(pylentrasdk.cli.view).

    hub.py      one Hub per camera: its shared capture and its recording, over pylentrasdk.Camera
    skew.py     the cameras in Sync read as a CameraGroup, for the skew shown on their tiles
    server.py   the web application: page files, the HTTP interface, the checks of every request
"""

from __future__ import annotations

import asyncio
import html
import ipaddress
import os
import pathlib
import secrets
import shutil
import signal
import socket
import sys
import tempfile
import threading
import webbrowser
from typing import Callable

__all__ = ["ViewerError", "is_loopback", "run", "serve"]


# How long the file that opens the page in the browser is kept: long enough for a browser that
# has to start first to read it.
REDIRECT_KEPT_S = 30.0


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


class RedirectFile:
    """A page that sends the browser on to `url`, in a file only this user can read (mode 0600,
    in a new folder of mode 0700). The browser is opened on this file: its command line, which
    every local user can read (ps), then names the file and not the token."""

    def __init__(self, url: str) -> None:
        self.folder = tempfile.mkdtemp(prefix="lxctl-view-")  # made with mode 0700
        path = os.path.join(self.folder, "viewer.html")
        shown = html.escape(url, quote=True)
        descriptor = os.open(path, os.O_WRONLY | os.O_CREAT | os.O_EXCL, 0o600)
        with os.fdopen(descriptor, "w", encoding="utf-8") as page:
            page.write('<!DOCTYPE html>\n<meta charset="utf-8">\n<meta name="referrer" '
                       'content="no-referrer">\n<meta http-equiv="refresh" content="0; url={0}">'
                       '\n<title>Camera viewer</title>\n<a href="{0}">Camera viewer</a>\n'.format(
                           shown))
        self.uri = pathlib.Path(path).as_uri()

    def remove(self) -> None:
        shutil.rmtree(self.folder, ignore_errors=True)


def _has_display() -> bool:
    # A console browser would take over the terminal the viewer's line is on: on a machine
    # without a graphical display there is no browser to open.
    return not sys.platform.startswith("linux") or bool(
        os.environ.get("DISPLAY") or os.environ.get("WAYLAND_DISPLAY"))


def _open_browser(uri: str) -> None:
    try:
        webbrowser.open(uri)
    except webbrowser.Error:
        pass


async def serve(host: str, port: int, token: str, ready: Callable[[str], None],
                stop: asyncio.Event, record_folder: str | None = None) -> None:
    """Serves the viewer on `host`:`port` until the event `stop` is set, then stops every
    recording and stream and closes the cameras. `ready(url)` is called once it listens.
    Recordings go to `record_folder` (None: the viewer does not record). Raises OSError when
    it cannot listen there."""
    from aiohttp import web

    from .server import Viewer, server_log

    viewer = Viewer(token, host, port, record_folder)
    runner = web.AppRunner(viewer.app, access_log=None, handle_signals=False,
                           shutdown_timeout=2.0, logger=server_log())
    await runner.setup()
    assert runner.server is not None
    stalled = asyncio.ensure_future(viewer.close_stalled(runner.server))
    try:
        site = web.TCPSite(runner, host, port, reuse_address=True)
        await site.start()
        bound = runner.addresses[0][1] if port == 0 else port
        viewer.bind_port(bound)
        ready("http://{}:{}/?token={}".format(_url_host(host), bound, token))
        await stop.wait()
    finally:
        stalled.cancel()
        await runner.cleanup()


def run(host: str, port: int, open_browser: bool = True,
        record_folder: str | None = None) -> None:
    """Serves the viewer until Ctrl-C or SIGTERM, recordings going to `record_folder` (None:
    the viewer does not record). Raises ViewerError when it cannot listen on `host`:`port`, and
    the camera layer's LentraError when the cameras cannot be listed."""
    token = secrets.token_urlsafe(32)
    redirects: list[RedirectFile] = []

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
            if open_browser and _has_display():
                redirect = RedirectFile(url)
                redirects.append(redirect)
                loop.call_later(REDIRECT_KEPT_S, redirect.remove)
                threading.Thread(target=_open_browser, args=(redirect.uri,),
                                 daemon=True).start()

        await serve(host, port, token, ready, stop, record_folder)

    try:
        asyncio.run(main())
    except OSError as error:
        # aiohttp's text is "error while attempting to bind on address (...): <the reason>".
        raise ViewerError("cannot listen on {}:{}: {}".format(
            host, port, str(error.strerror or error).rsplit(": ", 1)[-1])) from None
    finally:
        for redirect in redirects:
            redirect.remove()
