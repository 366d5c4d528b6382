"""lxctl view: every camera live in the browser (pylentrasdk.viewer).

`lxctl view [--host ADDRESS] [--port PORT] [--no-browser] [--record-dir DIR]` starts the viewer's
local web server and prints one line, `Viewer at http://HOST:PORT/?token=TOKEN`; Ctrl-C or SIGTERM
stops every recording and stream, closes the cameras and ends with status 0. The page's Record
buttons write into DIR: a folder given that cannot be written to is refused (status 2); when
DIR is left out, the current folder, or, when that cannot be written to, no folder: the viewer
runs without recording, and says so. The web library (aiohttp, the optional extra
`pip install pylentrasdk[viewer]`) is imported only when the command runs, so lxctl works without
the extra.
"""

from __future__ import annotations

import argparse
import ipaddress
import os
import socket
import sys
import tempfile

from .common import Refused, Shown, UsageError

DEFAULT_HOST = "127.0.0.1"
DEFAULT_PORT = 8765
INSTALL_HINT = "pip install pylentrasdk[viewer]"


def _port(text: str) -> int:
    if not text.isdigit() or int(text) > 65535:
        raise argparse.ArgumentTypeError("{!r} is not a port number (0 to 65535)".format(text))
    return int(text)


def listening_address(text: str) -> str:
    """The address the viewer listens on, as the URL and the Host check write it: an IP
    address in its usual form ("127.0.0.01" is 127.0.0.1, "::1" stays), or a host name. An
    empty text, which would listen on every address, is refused: that is 0.0.0.0, said so."""
    host = text.strip()
    if not host:
        raise argparse.ArgumentTypeError(
            "an empty address would listen on every address; give 127.0.0.1 (this machine "
            "only) or, to be reached from others, 0.0.0.0")
    unbracketed = host[1:-1] if host.startswith("[") and host.endswith("]") else host
    try:
        return str(ipaddress.ip_address(unbracketed))
    except ValueError:
        pass
    try:
        # The short forms of IPv4 that the system takes (127.1, 127.0.0.01) as one address.
        return socket.inet_ntoa(socket.inet_aton(host))
    except OSError:
        return host.lower()


def record_folder(text: str) -> str:
    """The folder recordings go to, as an absolute path, once a file could be made in it."""
    folder = os.path.abspath(text)
    if not os.path.isdir(folder):
        raise argparse.ArgumentTypeError("{!r} is not a folder".format(text))
    try:
        # Made and removed at once: the real test of being allowed to write there.
        with tempfile.TemporaryFile(dir=folder):
            pass
    except OSError as error:
        raise argparse.ArgumentTypeError("no file can be made in {!r}: {}".format(
            text, error.strerror or error)) from None
    return folder


def add_view_arguments(parser: argparse.ArgumentParser) -> None:
    parser.add_argument("--host", type=listening_address, default=DEFAULT_HOST,
                        metavar="ADDRESS",
                        help="the address to listen on ({}: this machine only)".format(
                            DEFAULT_HOST))
    parser.add_argument("--port", type=_port, default=DEFAULT_PORT,
                        help="the port to listen on ({}; 0 picks a free one)".format(
                            DEFAULT_PORT))
    parser.add_argument("--no-browser", action="store_true",
                        help="do not open the viewer in a browser")
    parser.add_argument("--record-dir", type=record_folder, default=None, metavar="DIR",
                        help="the folder the Record buttons write to (the current folder)")


def run_view(args: argparse.Namespace) -> Shown:
    """Runs the viewer until Ctrl-C or SIGTERM."""
    try:
        import aiohttp  # noqa: F401
    except ImportError:
        raise UsageError("the viewer needs its web library; install it with: {}".format(
            INSTALL_HINT)) from None
    from ..errors import LentraError
    from ..viewer import ViewerError, run

    folder = args.record_dir
    if folder is None:
        try:
            folder = record_folder(os.curdir)
        except argparse.ArgumentTypeError as error:
            # The viewer is for watching first: it runs, its Record buttons say why not.
            sys.stderr.write("lxctl: warning: the viewer does not record: {} (give "
                             "--record-dir DIR)\n".format(error))
    try:
        run(args.host, args.port, open_browser=not args.no_browser, record_folder=folder)
    except LentraError as error:  # the cameras could not even be listed
        raise Refused(str(error)) from None
    except ViewerError as error:
        raise UsageError(str(error)) from None
    return Shown({"stopped": True}, [])
