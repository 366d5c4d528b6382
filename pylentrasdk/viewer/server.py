"""The viewer's web application (aiohttp): the page files, the HTTP interface of docs/viewer.md,
and the checks every request passes first.

Every request must come with the token (query `token`, `Authorization: Bearer`, or the cookie
set with the page), name this server in its Host header (a page of another site that renames
itself to our address, DNS rebinding, is turned away) and, for a change, come from this
server's own origin. Page files are served from a table read at start-up, never by a path
taken from the request, so nothing outside the page folder can be reached.
"""

from __future__ import annotations

import asyncio
import hmac
import ipaddress
import json
import os
from typing import NoReturn

from aiohttp import web
from aiohttp.typedefs import Handler

from .hub import CameraError, ControlError, Hub, discover, valid_value

PAGE_FOLDER = os.path.join(os.path.dirname(os.path.abspath(__file__)), "page")
_TYPES = {".html": "text/html", ".css": "text/css", ".js": "text/javascript",
          ".svg": "image/svg+xml", ".png": "image/png"}
BOUNDARY = "lxviewerframe"
# How often a viewer's stream checks that its client is still there when no frame comes.
_IDLE_CHECK_S = 0.5
_MAX_BODY = 64 * 1024

_SECURITY_HEADERS = {
    "Content-Security-Policy": "default-src 'self'; img-src 'self' blob: data:; "
                               "frame-ancestors 'none'; base-uri 'none'; form-action 'none'",
    "X-Content-Type-Options": "nosniff",
    "Referrer-Policy": "no-referrer",
    "Cache-Control": "no-store",
}


def _error(status: int, message: str) -> web.Response:
    return web.json_response({"error": message}, status=status, headers=_SECURITY_HEADERS)


def _page_files() -> dict[str, tuple[bytes, str]]:
    """name -> (bytes, content type) of every file in the page folder."""
    files: dict[str, tuple[bytes, str]] = {}
    for name in sorted(os.listdir(PAGE_FOLDER)):
        path = os.path.join(PAGE_FOLDER, name)
        kind = _TYPES.get(os.path.splitext(name)[1])
        if kind and os.path.isfile(path):
            with open(path, "rb") as f:
                files[name] = (f.read(), kind)
    return files


def allowed_hosts(host: str, port: int) -> set[str] | None:
    """The Host header values this server answers to: its own address with its port, and, on a
    loopback or wildcard address, `localhost` too. None when any IP literal with our port goes
    (listening on every address, where the machine's own addresses are not known)."""
    try:
        address = ipaddress.ip_address(host)
    except ValueError:
        return {"{}:{}".format(host.lower(), port)}
    if address.is_unspecified:
        return None
    shown = "[{}]".format(address) if address.version == 6 else str(address)
    names = {"{}:{}".format(shown, port)}
    if address.is_loopback:
        names.add("localhost:{}".format(port))
    return names


def _host_allowed(header: str, hosts: set[str] | None, port: int) -> bool:
    if hosts is not None:
        return header.lower() in hosts
    name, _, given = header.rpartition(":")
    if given != str(port):
        return False
    if name.lower() == "localhost":
        return True
    try:
        ipaddress.ip_address(name[1:-1] if name.startswith("[") and name.endswith("]") else name)
    except ValueError:
        return False
    return True


class Viewer:
    """The application and its cameras. `host` and `port` are where it listens (the port once
    bound; `bind_port` may be called later when it was 0)."""

    def __init__(self, token: str, host: str, port: int) -> None:
        self.token = token.encode("ascii")
        self.host = host
        self.port = port
        self.hosts = allowed_hosts(host, port)
        self.cookie = "lxviewer_{}".format(port)
        self.files = _page_files()
        self.hubs: list[Hub] = []
        self.app = web.Application(middlewares=[self._guard], client_max_size=_MAX_BODY)
        self.app.on_startup.append(self._start)
        self.app.on_shutdown.append(self._shutdown)
        self.app.on_cleanup.append(self._cleanup)
        self.app.add_routes([
            web.get("/", self._index),
            web.get("/api/cameras", self._cameras),
            web.get("/api/cameras/{i}/status", self._status),
            web.get("/api/cameras/{i}/stream.mjpg", self._stream),
            web.get("/api/cameras/{i}/snapshot.png", self._snapshot),
            web.get("/api/cameras/{i}/controls", self._controls),
            web.put("/api/cameras/{i}/controls/{name}", self._set_control),
            web.get("/api/cameras/{i}/imu", self._imu),
            web.get("/{file}", self._file),
        ])

    def bind_port(self, port: int) -> None:
        self.port = port
        self.hosts = allowed_hosts(self.host, port)
        self.cookie = "lxviewer_{}".format(port)

    # -- life --------------------------------------------------------------------------------
    async def _start(self, app: web.Application) -> None:
        loop = asyncio.get_running_loop()
        devices = await loop.run_in_executor(None, discover)
        self.hubs = [Hub(device, loop) for device in devices]

    async def _shutdown(self, app: web.Application) -> None:
        # Every stream stops and every camera is closed; viewers' responses end with them.
        await asyncio.gather(*(hub.shutdown() for hub in self.hubs))

    async def _cleanup(self, app: web.Application) -> None:
        # After every connection has closed, so no handler calls a camera any more.
        for hub in self.hubs:
            hub.release()

    # -- the checks --------------------------------------------------------------------------
    def _token_of(self, request: web.Request) -> str | None:
        given = request.query.get("token")
        if given is None:
            scheme, _, value = request.headers.get("Authorization", "").partition(" ")
            if scheme.lower() == "bearer":
                given = value.strip()
        if given is None:
            given = request.cookies.get(self.cookie)
        return given

    @web.middleware
    async def _guard(self, request: web.Request, handler: Handler) -> web.StreamResponse:
        if not _host_allowed(request.headers.get("Host", ""), self.hosts, self.port):
            return _error(403, "this viewer does not answer to that Host")
        given = self._token_of(request)
        if given is None or not hmac.compare_digest(given.encode("utf-8", "replace"),
                                                    self.token):
            return _error(403, "a valid token is needed")
        origin = request.headers.get("Origin")
        if request.method not in ("GET", "HEAD") and origin is not None:
            if origin.lower() != "http://" + request.headers["Host"].lower():
                return _error(403, "changes are accepted only from the viewer's own page")
        try:
            response = await handler(request)
        except web.HTTPException as error:
            if error.status >= 400:  # aiohttp's own answers (no route, wrong method) as JSON
                return _error(error.status, error.reason)
            raise
        return response

    # -- page files ----------------------------------------------------------------------------
    async def _index(self, request: web.Request) -> web.Response:
        body, kind = self.files["index.html"]
        response = web.Response(body=body, content_type=kind, headers=_SECURITY_HEADERS)
        # The page's own requests (its pictures and fetches) carry the token in this cookie.
        response.set_cookie(self.cookie, self.token.decode("ascii"), httponly=True,
                            samesite="Strict", path="/")
        return response

    async def _file(self, request: web.Request) -> web.Response:
        found = self.files.get(request.match_info["file"])
        if found is None:
            return _error(404, "no such page file")
        return web.Response(body=found[0], content_type=found[1], headers=_SECURITY_HEADERS)

    # -- the interface -------------------------------------------------------------------------
    def _hub(self, request: web.Request) -> Hub:
        text = request.match_info["i"]
        if not text.isdigit() or int(text) >= len(self.hubs):
            raise LookupError("no camera {}".format(text))
        return self.hubs[int(text)]

    def _format(self, request: web.Request, hub: Hub) -> int:
        """The format index the query names; the one streaming, or the first, when it names
        none."""
        text = request.query.get("format")
        if text is None:
            if hub.format_index is not None:
                return hub.format_index
            if not hub.device.formats:
                raise LookupError("camera {} offers no format".format(hub.device.index))
            return 0
        if not text.isdigit() or int(text) >= len(hub.device.formats):
            raise LookupError("camera {} has no format {}".format(hub.device.index, text))
        return int(text)

    async def _cameras(self, request: web.Request) -> web.Response:
        return web.json_response([hub.device.info() for hub in self.hubs],
                                 headers=_SECURITY_HEADERS)

    async def _status(self, request: web.Request) -> web.Response:
        try:
            hub = self._hub(request)
        except LookupError as error:
            return _error(404, str(error))
        return web.json_response(hub.status(), headers=_SECURITY_HEADERS)

    async def _stream(self, request: web.Request) -> web.StreamResponse:
        try:
            hub = self._hub(request)
            format_index = self._format(request, hub)
        except LookupError as error:
            return _error(404, str(error))
        try:
            await hub.join(format_index)
        except CameraError as error:
            return _error(503, str(error))
        try:
            response = web.StreamResponse(headers=dict(_SECURITY_HEADERS, **{
                "Content-Type": "multipart/x-mixed-replace; boundary=" + BOUNDARY}))
            await response.prepare(request)
            seq = 0
            while not hub.closed:
                encoded = await hub.next_frame(seq, _IDLE_CHECK_S)
                if encoded is None:
                    if not hub.streaming:
                        break  # the capture failed, or the server stops
                    if request.transport is None or request.transport.is_closing():
                        break  # the viewer went away while no frame came
                    continue
                seq = encoded.seq
                # The part's header, then the one encoded frame that every viewer is sent.
                await response.write((
                    "--{}\r\nContent-Type: image/jpeg\r\nContent-Length: {}\r\n"
                    "X-Frame-Number: {}\r\nX-Timestamp: {:.6f}\r\n\r\n").format(
                        BOUNDARY, len(encoded.jpeg), encoded.number,
                        encoded.timestamp).encode("ascii"))
                await response.write(encoded.jpeg)
                await response.write(b"\r\n")
        except ConnectionError:
            pass  # the viewer went away during a write
        finally:
            await asyncio.shield(hub.leave())
        return response

    async def _snapshot(self, request: web.Request) -> web.Response:
        try:
            hub = self._hub(request)
            format_index = self._format(request, hub)
        except LookupError as error:
            return _error(404, str(error))
        try:
            png = await hub.snapshot(format_index)
        except CameraError as error:
            return _error(503, str(error))
        if png is None:
            return _error(409, "camera {} is streaming format {}; a snapshot is of that "
                               "format".format(hub.device.index, hub.format_index))
        name = "camera{}-format{}.png".format(hub.device.index, format_index)
        return web.Response(body=png, content_type="image/png", headers=dict(
            _SECURITY_HEADERS, **{"Content-Disposition": 'attachment; filename="{}"'.format(
                name)}))

    async def _controls(self, request: web.Request) -> web.Response:
        try:
            hub = self._hub(request)
            return web.json_response(await hub.query(hub.device.controls),
                                     headers=_SECURITY_HEADERS)
        except LookupError as error:
            return _error(404, str(error))
        except CameraError as error:
            return _error(503, str(error))

    async def _set_control(self, request: web.Request) -> web.Response:
        try:
            hub = self._hub(request)
        except LookupError as error:
            return _error(404, str(error))
        # Anything but {"value": a whole number} is refused here: the SDK never sees it.
        try:
            body = json.loads(await request.read(), parse_constant=_no_constant)
        except (ValueError, UnicodeDecodeError):
            return _error(400, 'the body must be JSON: {"value": a whole number}')
        value = valid_value(body.get("value")) if isinstance(body, dict) else None
        if value is None:
            return _error(400, "the value must be a whole number within 32 bits")
        try:
            read_back = await hub.query(hub.device.set_control, request.match_info["name"],
                                        value)
        except ControlError as error:
            return _error(error.http, str(error))
        except CameraError as error:
            return _error(503, str(error))
        return web.json_response({"value": read_back}, headers=_SECURITY_HEADERS)

    async def _imu(self, request: web.Request) -> web.Response:
        try:
            hub = self._hub(request)
        except LookupError as error:
            return _error(404, str(error))
        if not hub.device.imu:
            return _error(404, "camera {} has no IMU".format(hub.device.index))
        try:
            return web.json_response(await hub.query(hub.device.imu_reading),
                                     headers=_SECURITY_HEADERS)
        except CameraError as error:
            return _error(503, str(error))


def _no_constant(name: str) -> NoReturn:
    raise ValueError("{} is not a number here".format(name))
