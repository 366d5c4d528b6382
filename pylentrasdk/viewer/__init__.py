"""A live viewer of the cameras in the browser: `lxctl view`.

`lxctl view [--host ADDRESS] [--port PORT] [--no-browser]` starts a local web server (aiohttp,
the optional extra `pip install pylentrasdk[viewer]`) that shows every camera's picture, its
controls and its IMU, and prints one line, `Viewer at http://HOST:PORT/?token=TOKEN`. Ctrl-C or
SIGTERM stops every stream, closes the cameras and ends with status 0. The page and the HTTP
interface are described in docs/viewer.md.

This module only adds the command to lxctl: it imports nothing of the web library until the
command runs, so lxctl works without the extra.
"""

import asyncio
import ipaddress
import os
import secrets
import signal
import socket
import sys
import threading
import webbrowser

DEFAULT_HOST = "127.0.0.1"
DEFAULT_PORT = 8765
INSTALL_HINT = "pip install pylentrasdk[viewer]"

__all__ = ["DEFAULT_HOST", "DEFAULT_PORT", "INSTALL_HINT", "add_arguments", "run", "is_loopback",
           "serve"]


def _port(text):
    import argparse

    if not text.isdigit() or int(text) > 65535:
        raise argparse.ArgumentTypeError("{!r} is not a port number (0 to 65535)".format(text))
    return int(text)


def add_arguments(parser):
    """The options of `lxctl view`."""
    parser.add_argument("--host", default=DEFAULT_HOST, metavar="ADDRESS",
                        help="the address to listen on ({}: this machine only)".format(
                            DEFAULT_HOST))
    parser.add_argument("--port", type=_port, default=DEFAULT_PORT,
                        help="the port to listen on ({}; 0 picks a free one)".format(
                            DEFAULT_PORT))
    parser.add_argument("--no-browser", action="store_true",
                        help="do not open the viewer in a browser")


def is_loopback(host):
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
        ipaddress.ip_address(entry[4][0].split("%")[0]).is_loopback for entry in found)


def _url_host(host):
    return "[{}]".format(host) if ":" in host else host


def _open_browser(url):
    # A console browser would take over the terminal the viewer's line is on: on a machine
    # without a graphical display there is no browser to open.
    if sys.platform.startswith("linux") and not (os.environ.get("DISPLAY")
                                                 or os.environ.get("WAYLAND_DISPLAY")):
        return
    try:
        webbrowser.open(url)
    except webbrowser.Error:
        pass


async def serve(host, port, token, ready, stop):
    """Serves the viewer on `host`:`port` until the event `stop` is set, then stops every
    stream and closes the cameras. `ready(url)` is called once it listens. Raises OSError
    when it cannot listen there."""
    from aiohttp import web

    from pylentrasdk.viewer.server import Viewer

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


def _usage_error(message):
    # One line and exit status 2, as lxctl's usage errors (and argparse's) end. Raised as
    # SystemExit rather than lxctl's own exception class, which is another class when lxctl
    # runs as `python -m pylentrasdk.cli`.
    sys.stderr.write("lxctl: {}\n".format(message))
    raise SystemExit(2)


def _refused(message):
    # One line and exit status 1, as lxctl ends when the cameras or the SDK refuse.
    sys.stderr.write("lxctl: {}\n".format(message))
    raise SystemExit(1)


def run(args):
    """Runs `lxctl view` until Ctrl-C or SIGTERM; what lxctl shows at the end."""
    try:
        import aiohttp  # noqa: F401
    except ImportError:
        _usage_error("the viewer needs its web library; install it with: {}".format(
            INSTALL_HINT))
    from pylentrasdk.cli import Shown

    host = args.host
    token = secrets.token_urlsafe(32)

    async def main():
        stop = asyncio.Event()
        loop = asyncio.get_running_loop()
        for number in (signal.SIGINT, signal.SIGTERM):
            loop.add_signal_handler(number, stop.set)

        def ready(url):
            sys.stdout.write("Viewer at {}\n".format(url))
            sys.stdout.flush()
            if not is_loopback(host):
                sys.stderr.write(
                    "lxctl: warning: listening on {}: anyone who can reach this address and "
                    "has the token can watch and change the cameras\n".format(host))
            if not args.no_browser:
                threading.Thread(target=_open_browser, args=(url,), daemon=True).start()

        await serve(host, args.port, token, ready, stop)

    from pylentrasdk.viewer.cameras import CameraError

    try:
        asyncio.run(main())
    except CameraError as error:  # the cameras could not even be listed
        _refused(error)
    except OSError as error:
        # aiohttp's text is "error while attempting to bind on address (...): <the reason>".
        _usage_error("cannot listen on {}:{}: {}".format(
            host, args.port, str(error.strerror or error).rsplit(": ", 1)[-1]))
    return Shown({"stopped": True}, [])
