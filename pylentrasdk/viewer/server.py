"""The viewer's web application (aiohttp): the page files, the HTTP interface of docs/viewer.md,
and the checks every request passes first.

Every request must name this server in its Host header (a page of another site that renames
itself to our address, DNS rebinding, is turned away), must not be one a browser marks as sent
by a page of another origin (Sec-Fetch-Site), and, for a change, must come from this server's
own origin. Every request of the HTTP interface carries the token, as the query parameter
`token` or as `Authorization: Bearer`: never in a cookie, which a browser would also send to
every other port of the same address and with requests that other local pages make. The page's
own files, the same for everyone and holding no secret, need no token: the page takes the
token from its address. They are served from a table read at start-up, never by a path taken
from the request, so nothing outside the page folder can be reached.
"""

from __future__ import annotations

import asyncio
import hmac
import ipaddress
import json
import logging
import os
import re
from typing import NoReturn

from aiohttp import WSCloseCode, WSMsgType, web
from aiohttp.http_exceptions import HttpProcessingError
from aiohttp.typedefs import Handler

from .hub import CameraError, Conflict, ControlError, Hub, discover, valid_value
from .skew import SyncSkew

PAGE_FOLDER = os.path.join(os.path.dirname(os.path.abspath(__file__)), "page")
_TYPES = {".html": "text/html", ".css": "text/css", ".js": "text/javascript",
          ".svg": "image/svg+xml", ".png": "image/png"}
BOUNDARY = "lxviewerframe"
# How often a viewer's stream checks that its client is still there when no frame comes.
_IDLE_CHECK_S = 0.5
_MAX_BODY = 64 * 1024
# A connection must bring a whole request's headers (and a body its whole body) within this
# long of being made, or of its previous answer's end; else it is closed, so that connections
# that never finish cannot pile up.
REQUEST_TIME_LIMIT_S = 5.0
# A camera's or a format's index: plain digits, few enough to be an index at all ("²" is a
# digit to str.isdigit, and int() refuses it; int() of thousands of digits refuses too).
_INDEX = re.compile(r"[0-9]{1,6}")
# Sec-Fetch-Site values of requests made by pages of another origin.
_FOREIGN = ("cross-site", "same-site")
_PAGE = "page"  # the name of the page files' routes

_SECURITY_HEADERS = {
    "Content-Security-Policy": "default-src 'self'; img-src 'self' blob: data:; "
                               "frame-ancestors 'none'; base-uri 'none'; form-action 'none'",
    "X-Content-Type-Options": "nosniff",
    "Referrer-Policy": "no-referrer",
    "Cache-Control": "no-store",
    # A page of another origin gets nothing of ours, not even a picture in an <img>.
    "Cross-Origin-Resource-Policy": "same-origin",
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


class _ClientFaults(logging.Filter):
    """Leaves out the reports of malformed requests (no Host header, a line that is not HTTP),
    which are answered 400: any local program could fill the viewer's terminal with their
    tracebacks. The viewer's own failures are still reported."""

    def filter(self, record: logging.LogRecord) -> bool:
        error = record.exc_info[1] if record.exc_info else None
        return not isinstance(error, HttpProcessingError)


def server_log() -> logging.Logger:
    """The logger of the viewer's HTTP server."""
    log = logging.getLogger("pylentrasdk.viewer")
    if not any(isinstance(f, _ClientFaults) for f in log.filters):
        log.addFilter(_ClientFaults())
    return log


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


def recording_hint() -> str | None:
    """Why the viewer cannot record (PyAV is missing: how to install it), or None."""
    from ..camera.video_file import load_av

    try:
        load_av()
    except ImportError as error:
        return str(error)
    return None


class Viewer:
    """The application and its cameras. `host` and `port` are where it listens (the port once
    bound; `bind_port` may be called later when it was 0); recordings go to `record_folder`
    (None: it does not record)."""

    def __init__(self, token: str, host: str, port: int,
                 record_folder: str | None = None) -> None:
        self.token = token.encode("ascii")
        self.host = host
        self.port = port
        self.hosts = allowed_hosts(host, port)
        self.files = _page_files()
        self.record_folder = record_folder
        # Why recording is not possible, if it is not (shown by the page's Record buttons).
        self.record_hint: str | None = None if record_folder is not None else \
            "the viewer has no folder to record into: start it with --record-dir DIR"
        self.hubs: list[Hub] = []
        self.sync: SyncSkew | None = None  # the cameras in Sync, once the hubs are made
        self._sockets: set[web.WebSocketResponse] = set()  # the pages' live connections
        # Connections with no request under way: since when (loop time).
        self._idle_since: dict[object, float] = {}
        self._busy: dict[object, int] = {}
        self.app = web.Application(middlewares=[self._guard], client_max_size=_MAX_BODY)
        self.app.on_startup.append(self._start)
        self.app.on_shutdown.append(self._shutdown)
        self.app.on_cleanup.append(self._cleanup)
        self.app.add_routes([
            web.get("/", self._index, name=_PAGE),
            web.get("/api/cameras", self._cameras),
            web.get("/api/cameras/{i}/status", self._status),
            web.get("/api/cameras/{i}/stream.mjpg", self._stream),
            web.get("/api/live", self._live, name="live"),
            web.get("/api/cameras/{i}/snapshot.png", self._snapshot),
            web.get("/api/cameras/{i}/controls", self._controls),
            web.put("/api/cameras/{i}/controls/{name}", self._set_control),
            web.get("/api/cameras/{i}/imu", self._imu),
            web.post("/api/cameras/{i}/record/start", self._record_start),
            web.post("/api/cameras/{i}/record/stop", self._record_stop),
            web.get("/{file}", self._file, name=_PAGE + "-file"),
        ])

    def bind_port(self, port: int) -> None:
        self.port = port
        self.hosts = allowed_hosts(self.host, port)

    async def close_stalled(self, server: web.Server) -> None:
        """Runs until cancelled: closes every connection of `server` on which no request is
        under way and none has begun within REQUEST_TIME_LIMIT_S of its making or of its last
        answer (a request's headers that never end, or a connection left idle)."""
        loop = asyncio.get_running_loop()
        while True:
            await asyncio.sleep(REQUEST_TIME_LIMIT_S / 5)
            now = loop.time()
            open_now = set(server.connections)
            for gone in [c for c in self._idle_since if c not in open_now]:
                del self._idle_since[gone]
            for connection in open_now:
                since = self._idle_since.setdefault(connection, now)
                if not self._busy.get(connection) and now - since >= REQUEST_TIME_LIMIT_S:
                    connection.force_close()

    # -- life --------------------------------------------------------------------------------
    async def _start(self, app: web.Application) -> None:
        loop = asyncio.get_running_loop()
        # Whether PyAV loads is found out beside the cameras' discovery.
        hint = None if self.record_hint else loop.run_in_executor(None, recording_hint)
        devices = await loop.run_in_executor(None, discover)
        if hint is not None:
            self.record_hint = await hint
        self.hubs = [Hub(device, loop) for device in devices]
        self.sync = SyncSkew(self.hubs, loop)

    async def _shutdown(self, app: web.Application) -> None:
        # Every recording and stream stops and every camera is closed; viewers' responses end
        # with them, and the pages' live connections are closed.
        if self.sync is not None:
            await self.sync.close()
        await asyncio.gather(*(hub.shutdown() for hub in self.hubs))
        await asyncio.gather(*(socket.close(code=WSCloseCode.GOING_AWAY, message=b"stopping")
                               for socket in list(self._sockets)))

    async def _cleanup(self, app: web.Application) -> None:
        # After every connection has closed, so no handler calls a camera any more.
        await asyncio.gather(*(hub.release() for hub in self.hubs))

    # -- the checks --------------------------------------------------------------------------
    @staticmethod
    def _token_of(request: web.Request) -> str | None:
        given = request.query.get("token")
        if given is None:
            scheme, _, value = request.headers.get("Authorization", "").partition(" ")
            if scheme.lower() == "bearer":
                given = value.strip()
        return given

    def _token_valid(self, given: str | None) -> bool:
        # The whole token, compared in constant time: an empty or a partial one is no token.
        return given is not None and hmac.compare_digest(given.encode("utf-8", "replace"),
                                                         self.token)

    @web.middleware
    async def _guard(self, request: web.Request, handler: Handler) -> web.StreamResponse:
        connection = request.protocol
        self._busy[connection] = self._busy.get(connection, 0) + 1
        try:
            return await self._checked(request, handler)
        finally:
            self._busy[connection] -= 1
            if not self._busy[connection]:
                del self._busy[connection]
                self._idle_since[connection] = asyncio.get_running_loop().time()

    async def _checked(self, request: web.Request, handler: Handler) -> web.StreamResponse:
        if not _host_allowed(request.headers.get("Host", ""), self.hosts, self.port):
            return _error(403, "this viewer does not answer to that Host")
        route = request.match_info.route.name or ""
        page = route.startswith(_PAGE)
        # A browser names the site of the page that made a request. Another origin's page gets
        # nothing, not even with the token; only following a link to the page itself is let in
        # (from a file, or another site), as the page then shows in a tab of its own.
        if request.headers.get("Sec-Fetch-Site") in _FOREIGN and not (
                page and request.headers.get("Sec-Fetch-Mode") == "navigate"):
            return _error(403, "requests made by pages of another origin are refused")
        if not page and not self._token_valid(self._token_of(request)):
            return _error(403, "a valid token is needed")
        origin = request.headers.get("Origin")
        # A change, or a live connection (whose orders start and switch cameras), from another
        # origin's page is refused; a script sends no Origin.
        changes = request.method not in ("GET", "HEAD") or route == "live"
        if changes and origin is not None:
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
        # The page takes the token from its address (?token=) and sends it with each request.
        body, kind = self.files["index.html"]
        return web.Response(body=body, content_type=kind, headers=_SECURITY_HEADERS)

    async def _file(self, request: web.Request) -> web.Response:
        found = self.files.get(request.match_info["file"])
        if found is None:
            return _error(404, "no such page file")
        return web.Response(body=found[0], content_type=found[1], headers=_SECURITY_HEADERS)

    # -- the interface -------------------------------------------------------------------------
    def _hub(self, request: web.Request) -> Hub:
        text = request.match_info["i"]
        if not _INDEX.fullmatch(text) or int(text) >= len(self.hubs):
            raise LookupError("no camera {}".format(_shown(text)))
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
        if not _INDEX.fullmatch(text) or int(text) >= len(hub.device.formats):
            raise LookupError("camera {} has no format {}".format(hub.device.index,
                                                                  _shown(text)))
        return int(text)

    async def _cameras(self, request: web.Request) -> web.Response:
        return web.json_response([dict(hub.device.info(), record_hint=self.record_hint)
                                  for hub in self.hubs], headers=_SECURITY_HEADERS)

    async def _status(self, request: web.Request) -> web.Response:
        try:
            hub = self._hub(request)
        except LookupError as error:
            return _error(404, str(error))
        skew = self.sync.of(hub.device.index) if self.sync is not None else None
        return web.json_response(dict(hub.status(), skew=skew), headers=_SECURITY_HEADERS)

    async def _stream(self, request: web.Request) -> web.StreamResponse:
        try:
            hub = self._hub(request)
            format_index = self._format(request, hub)
        except LookupError as error:
            return _error(404, str(error))
        if request.method == "HEAD":  # what a GET would answer with, and nothing started
            return web.Response(headers=dict(_SECURITY_HEADERS, **{
                "Content-Type": "multipart/x-mixed-replace; boundary=" + BOUNDARY}))
        try:
            await hub.join(format_index)
        except Conflict as error:
            return _error(409, str(error))
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

    # -- the page's live connection ------------------------------------------------------------
    async def _live(self, request: web.Request) -> web.StreamResponse:
        """A WebSocket over which the page has the pictures of every camera it shows: one
        connection, however many cameras (a browser opens at most six connections to one
        address; a stream each would leave none for a second tab or a seventh camera).

        The page sends orders as JSON text: {"watch": camera, "format": index} starts the
        camera's pictures or, while they come, switches the camera to another format;
        {"stop": camera} ends them. Each picture comes as one binary message: a line of JSON
        ({"camera", "format", "number", "timestamp"}) and the JPEG after it. A camera that cannot
        start, or stops, is said in a text message: {"camera", "error", "ended"}."""
        socket = web.WebSocketResponse(timeout=2.0, compress=False, max_msg_size=4096,
                                       heartbeat=30.0)
        if not socket.can_prepare(request).ok:
            return _error(400, "this address takes a WebSocket connection")
        await socket.prepare(request)
        self._sockets.add(socket)
        watches: dict[int, asyncio.Task[None]] = {}
        try:
            async for message in socket:
                if message.type != WSMsgType.TEXT:
                    continue
                await self._order(socket, watches, message.data)
        finally:
            for task in watches.values():
                task.cancel()
            await asyncio.gather(*watches.values(), return_exceptions=True)
            self._sockets.discard(socket)
        return socket

    async def _order(self, socket: web.WebSocketResponse, watches: dict[int, asyncio.Task[None]],
                     text: str) -> None:
        try:
            order = json.loads(text, parse_constant=_no_constant)
        except (ValueError, RecursionError):
            order = None
        camera = _index_below(order.get("watch", order.get("stop")) if isinstance(order, dict)
                              else None, len(self.hubs))
        if camera is None:
            await socket.send_json({"error": "an order is {\"watch\": camera, \"format\": "
                                             "index} or {\"stop\": camera}"})
            return
        hub = self.hubs[camera]
        if "stop" in order:
            await _ended(watches.pop(camera, None))
            return
        format_index = _index_below(order.get("format"), len(hub.device.formats))
        if format_index is None:
            await socket.send_json({"camera": camera, "ended": True,
                                    "error": "no format {}".format(order.get("format"))})
            return
        try:
            # Joined again in the new format before the earlier watch leaves: the camera
            # switches rather than stopping in between.
            await hub.join(format_index)
        except Conflict as error:
            # The camera records: its pictures, if watched, go on in the format they came in.
            await socket.send_json({"camera": camera, "refused": True, "error": str(error),
                                    "format": hub.format_index})
            return
        except CameraError as error:
            await _ended(watches.pop(camera, None))
            await socket.send_json({"camera": camera, "ended": True,
                                    "error": error.status_name or str(error)})
            return
        await _ended(watches.pop(camera, None))
        watches[camera] = asyncio.ensure_future(self._pictures(socket, camera, hub))

    @staticmethod
    async def _pictures(socket: web.WebSocketResponse, camera: int, hub: Hub) -> None:
        """Sends the camera's newest picture whenever there is one the page has not had (one
        that is slow to take them skips to the newest); the hub is joined already, and left
        at the end."""
        try:
            seq = 0
            while not hub.closed:
                encoded = await hub.next_frame(seq, _IDLE_CHECK_S)
                if encoded is None:
                    if not hub.streaming:  # the capture failed, or the server stops
                        await socket.send_json({"camera": camera, "ended": True,
                                                "error": hub.error})
                        break
                    continue
                seq = encoded.seq
                head = json.dumps({"camera": camera, "format": hub.format_index,
                                   "number": encoded.number, "timestamp": encoded.timestamp})
                await socket.send_bytes(head.encode("ascii") + b"\n" + encoded.jpeg)
        except ConnectionError:
            pass  # the page went away during a send
        finally:
            await asyncio.shield(hub.leave())

    async def _snapshot(self, request: web.Request) -> web.Response:
        try:
            hub = self._hub(request)
            format_index = self._format(request, hub)
        except LookupError as error:
            return _error(404, str(error))
        name = "camera{}-format{}.png".format(hub.device.index, format_index)
        headers = dict(_SECURITY_HEADERS, **{
            "Content-Disposition": 'attachment; filename="{}"'.format(name)})
        if request.method == "HEAD":  # nothing captured for it
            return web.Response(content_type="image/png", headers=headers)
        try:
            png = await hub.snapshot(format_index)
        except CameraError as error:
            return _error(503, str(error))
        if png is None:
            return _error(409, "camera {} is streaming format {}; a snapshot is of that "
                               "format".format(hub.device.index, hub.format_index))
        return web.Response(body=png, content_type="image/png", headers=headers)

    async def _controls(self, request: web.Request) -> web.Response:
        try:
            hub = self._hub(request)
            if request.method == "HEAD":  # the camera is not opened for it
                return web.json_response(None, headers=_SECURITY_HEADERS)
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
        try:
            raw = await asyncio.wait_for(request.read(), REQUEST_TIME_LIMIT_S)
        except asyncio.TimeoutError:
            return _error(408, "the body did not come in time")
        # Anything but {"value": a whole number} is refused here: the SDK never sees it.
        try:
            body = json.loads(raw, parse_constant=_no_constant)
        except (ValueError, UnicodeDecodeError, RecursionError):  # deep nesting: RecursionError
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
        if self.sync is not None:
            self.sync.changed()  # a trigger mode may have changed
        return web.json_response({"value": read_back}, headers=_SECURITY_HEADERS)

    async def _imu(self, request: web.Request) -> web.Response:
        try:
            hub = self._hub(request)
        except LookupError as error:
            return _error(404, str(error))
        if not hub.device.imu:
            return _error(404, "camera {} has no IMU".format(hub.device.index))
        if request.method == "HEAD":  # the camera is not opened for it
            return web.json_response(None, headers=_SECURITY_HEADERS)
        try:
            return web.json_response(await hub.query(hub.device.imu_reading),
                                     headers=_SECURITY_HEADERS)
        except CameraError as error:
            return _error(503, str(error))


    # -- recording -----------------------------------------------------------------------------
    async def _record_start(self, request: web.Request) -> web.Response:
        """Starts recording the camera (in `format`, when it does not stream) into a new file
        in the record folder; the recording's status."""
        try:
            hub = self._hub(request)
            format_index = self._format(request, hub)
        except LookupError as error:
            return _error(404, str(error))
        if self.record_hint is not None or self.record_folder is None:
            return _error(501, self.record_hint or "the viewer does not record")
        try:
            answer = await hub.start_recording(format_index, self.record_folder)
        except Conflict as error:
            return _error(409, str(error))
        except CameraError as error:
            return _error(503, str(error))
        except ImportError as error:
            return _error(501, str(error))
        except OSError as error:  # the folder went, or became read-only, since start-up
            return _error(503, "no file can be made in {}: {}".format(
                self.record_folder, error.strerror or error))
        return web.json_response(answer, headers=_SECURITY_HEADERS)

    async def _record_stop(self, request: web.Request) -> web.Response:
        """Stops the camera's recording once its file is finished; the recording's status
        (`error` says why it ended early, if it did)."""
        try:
            hub = self._hub(request)
        except LookupError as error:
            return _error(404, str(error))
        try:
            answer = await hub.stop_recording()
        except Conflict as error:
            return _error(409, str(error))
        return web.json_response(answer, headers=_SECURITY_HEADERS)


def _index_below(value: object, limit: int) -> int | None:
    """`value` when it is a whole number from 0 to `limit` - 1 (JSON's true is none)."""
    if isinstance(value, int) and not isinstance(value, bool) and 0 <= value < limit:
        return value
    return None


async def _ended(task: asyncio.Task[None] | None) -> None:
    """Cancels a camera's watch and waits until it has left its hub."""
    if task is not None:
        task.cancel()
        await asyncio.gather(task, return_exceptions=True)


def _shown(text: str) -> str:
    """A part of the request as an error message shows it: abridged when long."""
    return text if len(text) <= 20 else text[:20] + "..."


def _no_constant(name: str) -> NoReturn:
    raise ValueError("{} is not a number here".format(name))
