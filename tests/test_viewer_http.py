"""lxctl view from outside: its one line, its exit, and its HTTP interface with a plain client:
the checks that keep other sites and people out, bad requests that must never reach a camera,
recordings (each file decoded with PyAV) and the skew of cameras in Sync."""
import argparse
import asyncio
import concurrent.futures
import io
import json
import re
import os
import signal
import socket
import subprocess
import sys
import threading
import time
from urllib.parse import quote

import numpy
import pytest

pytest.importorskip("aiohttp")
from PIL import Image  # noqa: E402

import pylentrasdk as lx  # noqa: E402
from pylentrasdk import frames, sim  # noqa: E402
from pylentrasdk.cli.view import listening_address  # noqa: E402
from pylentrasdk.viewer import is_loopback  # noqa: E402
from pylentrasdk.viewer.hub import CameraError, Device, Hub, recording_name  # noqa: E402
from viewer_process import HOST, ViewerProcess  # noqa: E402

KAVL, KAVN, WEBCAM = 0, 1, 2


@pytest.fixture(scope="module")
def recordings(tmp_path_factory):
    return tmp_path_factory.mktemp("recordings")


@pytest.fixture(scope="module")
def viewer(recordings):
    process = ViewerProcess("--record-dir", str(recordings))
    yield process
    process.stop()


def _stopped_cleanly(process, number):
    status, last = process.stop(number)
    assert status == 0
    assert all(not s["open"] and s["mode"] != "WORK" for s in last["after"]), last


@pytest.mark.parametrize("number", [signal.SIGINT, signal.SIGTERM])
def test_a_signal_stops_every_stream_closes_the_cameras_and_exits_0(number, tmp_path):
    process = ViewerProcess("--record-dir", str(tmp_path))
    assert process.first_line.startswith("Viewer at http://127.0.0.1:")
    assert len(process.token) >= 22  # at least 128 bits, URL-safe
    # A camera streams for a viewer that is still reading when the signal comes.
    status, headers, _ = process.request("GET", "/api/cameras/1/status")
    connection = socket.create_connection(("127.0.0.1", process.port))
    connection.sendall("GET /api/cameras/1/stream.mjpg?token={} HTTP/1.1\r\nHost: 127.0.0.1:{}"
                       "\r\n\r\n".format(process.token, process.port).encode())
    assert b"image/jpeg" in connection.recv(65536) + connection.recv(65536)
    assert process.sim("state", KAVN) == {"open": True, "mode": "WORK"}
    # Another records: its file is finished, and plays.
    status, started = _record(process, WEBCAM, "start")
    _recorded(process, WEBCAM, 3)
    _stopped_cleanly(process, number)
    connection.close()
    assert _decoded(started["path"])[0] >= 3


def test_on_the_ipv6_loopback_the_address_is_bracketed_and_no_warning_is_given():
    process = ViewerProcess("--host", "::1")
    try:
        assert process.url.startswith("http://[::1]:")
        assert process.request("GET", "/api/cameras")[0] == 200
        for host, answer in (("localhost", 200), ("127.0.0.1", 403), ("::1", 403)):
            headers = {"Host": "{}:{}".format(host, process.port)}
            assert process.request("GET", "/api/cameras", headers=headers)[0] == answer, host
    finally:
        assert process.stop()[0] == 0, process.stderr
    assert "warning" not in process.stderr
    # Any other address warns (tested without listening on one: the tests use loopback only).
    assert [is_loopback(h) for h in ("127.0.0.2", "::1", "localhost", "192.0.2.1",
                                             "0.0.0.0", "::")] == [True] * 3 + [False] * 3


def _lxctl(folder, *arguments, env=None):
    # From an empty folder of the test's own: -m puts the working folder first on the path, so
    # from the repository's it would find the source package, and from a shared one (the
    # system's temporary folder) whatever modules others leave there.
    ran = subprocess.run([sys.executable, "-m", "pylentrasdk.cli", "view", "--no-browser"]
                         + list(arguments), stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                         universal_newlines=True, timeout=60, env=env, cwd=str(folder))
    return ran.returncode, ran.stdout, ran.stderr


def test_a_port_in_use_a_bad_address_or_no_web_library_is_one_line_and_status_2(tmp_path):
    folder = tmp_path / "empty"
    folder.mkdir()
    with socket.socket() as taken:
        taken.bind(("127.0.0.1", 0))
        taken.listen(1)
        code, out, err = _lxctl(folder, "--port", str(taken.getsockname()[1]))
    assert (code, out) == (2, "") and err.count("\n") == 1 and "cannot listen" in err
    # An address of no interface here: nothing is sent anywhere, the bind fails.
    code, out, err = _lxctl(folder, "--host", "192.0.2.1", "--port", "0")
    assert (code, out) == (2, "") and err.count("\n") == 1 and "192.0.2.1" in err
    code, _, err = _lxctl(folder, "--port", "70000")
    assert code == 2 and "port" in err
    # Without the web library (an import of it fails), the line says how to install it.
    (tmp_path / "aiohttp.py").write_text("raise ImportError('not installed')\n")
    env = dict(os.environ, PYTHONPATH=str(tmp_path))
    code, out, err = _lxctl(folder, env=env)
    assert (code, out) == (2, "") and "pip install pylentrasdk[viewer]" in err
    assert err.count("\n") == 1


def test_cameras_that_cannot_be_listed_end_the_command_with_status_1():
    env = dict(os.environ, VIEWER_HOST_FAULTS=json.dumps(
        [{"function": "LxDiscoverCameraDevices", "status": -8}]))
    ran = subprocess.run([sys.executable, HOST, "view", "--port", "0", "--no-browser"],
                         stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                         universal_newlines=True, timeout=60, env=env)
    assert ran.returncode == 1 and not ran.stdout.startswith("Viewer")
    assert ran.stderr.count("\n") == 1 and ran.stderr.startswith("lxctl: LxDiscoverCameraDevices")
    assert "LX_STATUS_IO_ERROR" in ran.stderr


def test_requests_without_the_whole_token_from_another_host_or_origin_are_refused(viewer):
    path = "/api/cameras"
    token = viewer.token
    for given in ("", token[:3], token[:-1], token[:-1] + "x", token + "x", "wrong",
                  token.swapcase()):
        assert viewer.request("GET", path + "?token=" + quote(given), token=False)[0] == 403, \
            given
        assert viewer.request("GET", path, headers={"Authorization": "Bearer " + given})[0] \
            == 403, given
    assert viewer.request("GET", path, token=False)[0] == 403
    assert viewer.request("GET", path + "?token=" + token, token=False)[0] == 200
    # DNS rebinding: a page of another site whose name now points here.
    for host in ("evil.example:{}".format(viewer.port), "127.0.0.1:1", "127.0.0.1"):
        assert viewer.request("GET", path, headers={"Host": host})[0] == 403
    assert viewer.request("GET", path, headers={"Host": None})[0] in (400, 403)  # none at all
    assert viewer.request("GET", path, headers={"Host": "localhost:%d" % viewer.port})[0] == 200
    # A change from another site's page is refused and changes nothing.
    before = _control(viewer, KAVL, "brightness")["value"]
    change = "/api/cameras/0/controls/Brightness"  # names go in any case
    refused = viewer.request("PUT", change, {"value": before + 1},
                             headers={"Origin": "http://evil.example"})
    assert refused[0] == 403 and _control(viewer, KAVL, "brightness")["value"] == before
    status, _, body = viewer.request("PUT", change, {"value": before + 1},
                                     headers={"Origin": viewer.origin})
    assert (status, json.loads(body)) == (200, {"value": before + 1})
    viewer.request("PUT", change, {"value": before})


def test_no_cookie_carries_the_token_and_other_origins_pages_get_nothing(viewer):
    # The page is served without the token (it takes it from its address) and sets no cookie;
    # a cookie, which a browser sends to every port of the address, is no credential.
    status, headers, body = viewer.request("GET", "/?token=" + viewer.token, token=False)
    assert status == 200 and b"viewer.js" in body and "Set-Cookie" not in headers
    for name in ("lxviewer_{}".format(viewer.port), "token"):
        cookie = {"Cookie": "{}={}".format(name, viewer.token)}
        assert viewer.request("GET", "/api/cameras", token=False, headers=cookie)[0] == 403
    # What a browser says of a request a page of another origin made (another local port is
    # "same-site") is refused, the token notwithstanding; the viewer's own page and an address
    # typed in go. A link from elsewhere may open the page itself, in a tab of its own.
    stream = "/api/cameras/0/stream.mjpg?format=3"
    started = viewer.sim("call_count", "LxStartStreaming")
    for site, mode in (("same-site", "no-cors"), ("cross-site", "no-cors"),
                       ("same-site", "navigate"), ("cross-site", "cors")):
        headers = {"Sec-Fetch-Site": site, "Sec-Fetch-Mode": mode}
        assert _status_of(viewer, stream, headers) == 403, headers
        assert _status_of(viewer, "/api/cameras", headers) == 403, headers
    assert viewer.sim("call_count", "LxStartStreaming") == started
    for site in ("same-origin", "none"):
        status, headers, _ = viewer.request("GET", "/api/cameras", headers={
            "Sec-Fetch-Site": site, "Sec-Fetch-Mode": "cors"})
        assert status == 200 and headers["Cross-Origin-Resource-Policy"] == "same-origin"
    linked = {"Sec-Fetch-Site": "cross-site", "Sec-Fetch-Mode": "navigate"}
    assert viewer.request("GET", "/", token=False, headers=linked)[0] == 200
    assert viewer.request("GET", "/viewer.js", token=False,
                          headers={"Sec-Fetch-Site": "same-site", "Sec-Fetch-Mode": "no-cors"}
                          )[0] == 403


@pytest.mark.parametrize("path", [
    "/../pylentrasdk/viewer/server.py", "/%2e%2e/server.py", "/..%2fserver.py",
    "/%2E%2E%2F%2E%2E%2Fetc%2Fpasswd", "/page/../server.py", "/server.py", "/__init__.py",
    "/page", "/.%2e/.%2e/cameras.py", "/viewer.js/..%2f..%2fserver.py",
])
def test_only_the_page_files_are_served(viewer, path):
    assert viewer.request("GET", path)[0] == 404
    status, headers, body = viewer.request("GET", "/viewer.js")
    assert status == 200 and b"class Tile" in body


def _control(viewer, camera, name):
    return next(c for c in viewer.json("/api/cameras/%d/controls" % camera) if c["name"] == name)


def test_unknown_cameras_formats_controls_and_imus_are_404_with_an_error(viewer):
    for path in ("/api/cameras/3/controls", "/api/cameras/-1/controls", "/api/cameras/x/imu",
                 "/api/cameras/0/stream.mjpg?format=16",  # the KAVL has 16
                 "/api/cameras/0/snapshot.png?format=99", "/api/cameras/0/stream.mjpg?format=a",
                 "/api/cameras/0/imu", "/api/cameras/2/imu", "/api/nothing"):
        status, headers, body = viewer.request("GET", path)
        assert status == 404 and json.loads(body)["error"], path
    status, _, body = viewer.request("PUT", "/api/cameras/0/controls/Nothing", {"value": 1})
    assert status == 404 and json.loads(body)["error"]


def test_bad_control_values_are_400_and_never_reach_the_camera(viewer):
    change = "/api/cameras/0/controls/Brightness"
    calls = viewer.sim("call_count", "LxSetISPImageProcessing")
    for body in (b'{"value": "200"}', b'{"value": NaN}', b'{"value": Infinity}',
                 b'{"value": 1e309}', b'{"value": 12345678901234567890}', b'{"value": 1.5}',
                 b'{"value": true}', b'{"value": null}', b'{"value": [1]}', b'{}', b'[200]',
                 b'{"value": 2', b"\xff\xfe", b""):
        status, _, answer = viewer.request("PUT", change, body)
        assert status == 400 and json.loads(answer)["error"], body
    control = _control(viewer, KAVL, "brightness")
    status, _, answer = viewer.request("PUT", change, {"value": control["max"] + 1})
    assert status == 400 and "out of range" in json.loads(answer)["error"]
    assert viewer.sim("call_count", "LxSetISPImageProcessing") == calls
    read_only = next(c for c in viewer.json("/api/cameras/0/controls") if c["read_only"])
    status, _, _ = viewer.request("PUT", "/api/cameras/0/controls/" + read_only["name"],
                                  {"value": read_only["value"]})
    assert status == 409 and viewer.sim("call_count", "LxSetISPImageProcessing") == calls
    # The SDK's own refusal comes back as 400 with its status name.
    viewer.sim("inject", "LxSetISPImageProcessing", status=-8)
    status, _, answer = viewer.request("PUT", change, {"value": control["value"]})
    assert status == 400 and "LX_STATUS_IO_ERROR" in json.loads(answer)["error"]


def test_cameras_imu_and_snapshot_answer_what_the_cameras_have(viewer):
    cameras = viewer.json("/api/cameras")
    assert [c["imu"] for c in cameras] == [False, True, False]
    webcam = cameras[WEBCAM]
    assert webcam["formats"][0] == {"index": 0, "fourcc": "YUY2", "width": 640, "height": 480,
                                    "fps": 30}
    reading = viewer.json("/api/cameras/1/imu")
    assert len(reading["acc"]) == len(reading["gyro"]) == 3 and reading["temperature"] > 0
    # A snapshot is the format's full frame as PNG, as frames.to_rgb shows such a frame; the
    # colour bars below the frame stamp are compared (the stamp and the square move).
    status, headers, body = viewer.request("GET", "/api/cameras/2/snapshot.png?format=1")
    assert status == 200 and headers["Content-Type"] == "image/png"
    picture = numpy.asarray(Image.open(io.BytesIO(body)).convert("RGB"))
    cam = lx.LxInitialCameraDevice(WEBCAM)
    assert lx.LxOpen(cam) == 0
    fmt = lx.LxGetFormatList(cam)[1][1]
    lx.LxSetFormat(cam, fmt)
    lx.LxStartStreaming(cam)
    result, frame = lx.LxGetImage(cam, 3000, fmt)
    lx.LxStopStreaming(cam)
    lx.LxClose(cam)
    expected = frames.to_rgb(frame, fmt)
    assert picture.shape == expected.shape == (fmt.height, fmt.width, 3)
    cell = max(4, 2 * (min(fmt.width, fmt.height) // 128))
    bars = slice(10 * cell, 2 * (fmt.height // 3))
    assert numpy.array_equal(picture[bars], expected[bars])
    # The camera was opened for the snapshot only, and is closed again soon after.
    deadline = time.monotonic() + 10
    while viewer.sim("state", WEBCAM)["open"]:
        assert time.monotonic() < deadline
        time.sleep(0.2)


def test_odd_paths_and_bodies_are_4xx_as_json_and_nothing_goes_to_stderr(viewer):
    before = len(viewer.errors)
    many_digits = "9" * 5000
    for path in ("/api/cameras/%C2%B2/status",  # "²" is a digit to str.isdigit
                 "/api/cameras/{}/status".format(many_digits),
                 "/api/cameras/0/snapshot.png?format=%C2%B2",
                 "/api/cameras/0/stream.mjpg?format=" + many_digits,
                 "/api/cameras/%D9%A3/controls",  # an Arabic-Indic three
                 "/api/cameras/0%00/imu"):
        status, _, body = viewer.request("GET", path)
        assert status == 404 and json.loads(body)["error"], path
    change = "/api/cameras/0/controls/brightness"
    for body in (b"[" * 32000 + b"]" * 32000, b'{"value": ' + b"[" * 32000 + b"]" * 32000 + b"}",
                 b'{"value": ' + many_digits.encode() + b"}"):
        status, _, answer = viewer.request("PUT", change, body)
        assert status == 400 and json.loads(answer)["error"]
    status, _, answer = viewer.request("PUT", change, b"x" * 70000)  # over the body's limit
    assert status == 413 and json.loads(answer)["error"]
    # Malformed requests: no Host, a line that is not HTTP, a header line over the limit.
    for request in ("GET /api/cameras HTTP/1.1\r\n\r\n", "HELLO\r\n\r\n",
                    "GET / HTTP/1.1\r\nHost: 127.0.0.1:{}\r\nX: {}\r\n\r\n".format(
                        viewer.port, "x" * 100000)):
        with _raw(viewer.port, request) as connection:
            assert re.match(rb"HTTP/1\.[01] 4", _all_of(connection))
    assert viewer.errors[before:] == []


def _raw(port, text):
    """A request sent on a socket of its own; the socket."""
    connection = socket.create_connection(("127.0.0.1", port), timeout=30)
    try:
        connection.sendall(text.encode())
    except OSError:  # the server closed it at once (it is stopping): no socket left open
        connection.close()
        raise
    return connection


def _all_of(connection, most=1 << 20):
    """What comes until the server closes the connection (at most about `most` bytes)."""
    received = b""
    while len(received) < most:
        data = connection.recv(65536)
        if not data:
            break
        received += data
    return received


def _status_of(viewer, path, headers):
    """The status of a GET sent on a socket of its own, read from the answer's first line
    (a stream's answer never ends)."""
    lines = ["GET {} HTTP/1.1".format(path), "Host: 127.0.0.1:{}".format(viewer.port),
             "Authorization: Bearer " + viewer.token, "Connection: close"]
    lines += ["{}: {}".format(name, value) for name, value in headers.items()]
    with _raw(viewer.port, "\r\n".join(lines) + "\r\n\r\n") as connection:
        first = connection.makefile("rb").readline()
    return int(first.split()[1])


def test_head_answers_headers_only_and_starts_nothing(viewer):
    calls = ("LxOpen", "LxStartStreaming", "LxGetImage")
    before = [viewer.sim("call_count", name) for name in calls]
    for path, kind in (("/api/cameras/0/stream.mjpg?format=1", "multipart/x-mixed-replace"),
                       ("/api/cameras/2/snapshot.png?format=0", "image/png"),
                       ("/api/cameras/1/imu", "application/json"),
                       ("/api/cameras/2/controls", "application/json")):
        with _raw(viewer.port, "HEAD {}&token={} HTTP/1.1\r\nHost: 127.0.0.1:{}\r\nConnection: "
                  "close\r\n\r\n".format(path if "?" in path else path + "?", viewer.token,
                                         viewer.port)) as connection:
            answer = _all_of(connection)
        head, _, body = answer.partition(b"\r\n\r\n")
        assert head.startswith(b"HTTP/1.1 200") and kind.encode() in head and body == b"", path
    assert viewer.request("HEAD", "/api/cameras/0/stream.mjpg?format=99")[0] == 404
    assert [viewer.sim("call_count", name) for name in calls] == before  # nothing opened


def test_connections_that_never_finish_a_request_are_closed(viewer):
    before = len(viewer.errors)
    stalled = [_raw(viewer.port, "GET /api/cameras HTTP/1.1\r\nHost: 127.0.0.1:{}\r\n".format(
        viewer.port)) for _ in range(20)]
    stalled.append(_raw(viewer.port, ""))  # not a byte sent
    # A body that never ends: its headers promise more than comes.
    stalled.append(_raw(viewer.port, "PUT /api/cameras/0/controls/brightness HTTP/1.1\r\nHost: "
                        "127.0.0.1:{}\r\nAuthorization: Bearer {}\r\nContent-Length: 20\r\n\r\n"
                        '{{"value"'.format(viewer.port, viewer.token)))
    # Meanwhile the viewer answers others.
    assert viewer.request("GET", "/api/cameras")[0] == 200
    for connection in stalled:
        with connection:
            answer = _all_of(connection)  # the server closes it (the socket's time-out is 30 s)
        assert answer == b"" or answer.startswith(b"HTTP/1.1 408"), answer[:100]
    assert viewer.errors[before:] == []


def test_the_address_is_refused_when_empty_and_written_in_its_usual_form(tmp_path):
    assert [listening_address(text) for text in ("127.0.0.01", "127.1", " 127.0.0.1 ", "[::1]",
                                                 "::0:1", "LocalHost", "0.0.0.0")] == [
        "127.0.0.1", "127.0.0.1", "127.0.0.1", "::1", "::1", "localhost", "0.0.0.0"]
    for text in ("", "  "):
        with pytest.raises(argparse.ArgumentTypeError, match="every address"):
            listening_address(text)
    code, out, err = _lxctl(tmp_path, "--host", "", "--port", "0")
    assert (code, out) == (2, "") and "every address" in err
    # The URL printed is one whose Host the viewer answers to.
    process = ViewerProcess("--host", "127.0.0.01")
    try:
        assert process.url.startswith("http://127.0.0.1:")
        assert process.request("GET", "/api/cameras")[0] == 200
    finally:
        assert process.stop()[0] == 0, process.stderr


def test_a_snapshot_of_a_frame_that_does_not_decode_is_503(viewer):
    mjpg = next(f["index"] for f in viewer.json("/api/cameras")[KAVL]["formats"]
                if f["fourcc"] == "MJPG")
    # The camera reports a frame of 1000 bytes and writes none: zeros, no JPEG.
    viewer.sim("inject", "LxGetImage", size=1000)
    status, headers, body = viewer.request("GET", "/api/cameras/0/snapshot.png?format=%d" % mjpg)
    assert status == 503 and "bad frame" in json.loads(body)["error"]
    assert headers["Content-Type"].startswith("application/json")


def test_a_stream_that_cannot_start_leaves_no_viewer_counted(viewer):
    viewer.sim("inject", "LxStartStreaming", status=-8)
    status, _, body = viewer.request("GET", "/api/cameras/2/stream.mjpg?format=0")
    assert status == 503 and "LX_STATUS_IO_ERROR" in json.loads(body)["error"]
    assert viewer.json("/api/cameras/2/status") == {
        "streaming": False, "viewers": 0, "format": 0, "fps": 0.0, "dropped": 0,
        "frames": viewer.json("/api/cameras/2/status")["frames"], "error": "LX_STATUS_IO_ERROR",
        "record": None, "skew": None}
    assert viewer.sim("state", WEBCAM) == {"open": False, "mode": None}


class _Parts:
    """A stream request's multipart answer read from a raw socket, part by part."""

    def __init__(self, viewer, camera, format_index):
        self.socket = _raw(viewer.port, "GET /api/cameras/{}/stream.mjpg?format={}&token={} "
                           "HTTP/1.1\r\nHost: 127.0.0.1:{}\r\n\r\n".format(
                               camera, format_index, viewer.token, viewer.port))
        self.file = self.socket.makefile("rb")
        head = b""
        while not head.endswith(b"\r\n\r\n"):
            line = self.file.readline()
            assert line, "the answer ended in its headers"
            head += line
        assert head.startswith(b"HTTP/1.1 200") and b"chunked" in head.lower(), head
        self.data = b""

    def _chunk(self):
        size = int(self.file.readline().strip(), 16)
        assert size, "the stream's answer ended"
        chunk = self.file.read(size)
        self.file.read(2)
        return chunk

    def picture_size(self):
        """(width, height) of the next part's JPEG."""
        while True:
            end = self.data.find(b"\r\n\r\n")
            if end >= 0:
                length = int(re.search(rb"Content-Length: (\d+)", self.data[:end]).group(1))
                while len(self.data) < end + 4 + length:
                    self.data += self._chunk()
                jpeg, self.data = self.data[end + 4:end + 4 + length], self.data[end + 4 + length:]
                return Image.open(io.BytesIO(jpeg)).size
            self.data += self._chunk()

    def close(self):
        self.file.close()
        self.socket.close()


def test_a_format_chosen_by_another_viewer_reaches_every_viewer_and_no_stream_ends(viewer):
    sizes = {0: (640, 480), 1: (1280, 720)}  # the KAVL's first two formats, MJPG
    first = _Parts(viewer, KAVL, 0)
    try:
        assert first.picture_size() == sizes[0]
        # Others come and choose a format, one after another: the first viewer's answer goes on
        # in each format chosen (whether a switch ends a stream depends on timing: several).
        for turn in range(8):
            chosen = 1 - turn % 2
            other = _Parts(viewer, KAVL, chosen)
            try:
                assert other.picture_size() == sizes[chosen]
                status = viewer.json("/api/cameras/0/status")
                assert (status["viewers"], status["format"], status["streaming"]) == \
                    (2, chosen, True)
                seen = [first.picture_size() for _ in range(4)]
                assert seen[-1] == sizes[chosen] and set(seen) <= set(sizes.values())
            finally:
                other.close()
            wait = time.monotonic() + 10
            while viewer.json("/api/cameras/0/status")["viewers"] != 1:
                assert time.monotonic() < wait, "the other viewer's leaving was not seen"
                time.sleep(0.05)
        assert first.picture_size() == sizes[chosen]  # and goes on after the last one left
    finally:
        first.close()


def test_a_hub_that_has_shut_down_starts_and_opens_nothing():
    # A request that comes on a connection kept open while the server stops must not start a
    # camera after every camera was stopped: it would be left streaming after the end.
    device = Device(WEBCAM, "webcam")
    device.describe()
    counts = [sim.call_count(name) for name in ("LxOpen", "LxStartStreaming")]

    async def stopped_hub():
        hub = Hub(device, asyncio.get_running_loop())
        await hub.shutdown()
        with pytest.raises(CameraError, match="stopping"):
            await hub.join(0)
        with pytest.raises(CameraError, match="stopping"):
            await hub.query(device.controls)
        assert hub.status()["viewers"] == 0
        await hub.release()

    asyncio.run(stopped_hub())
    assert [sim.call_count(name) for name in ("LxOpen", "LxStartStreaming")] == counts


def _keep_connecting(viewer, stop):
    """Stream requests, one connection after another, each left after its first bytes."""
    request = "GET /api/cameras/{{}}/stream.mjpg?token={} HTTP/1.1\r\nHost: 127.0.0.1:{}\r\n\r\n"
    request = request.format(viewer.token, viewer.port)
    turn = 0
    while not stop.is_set():
        turn += 1
        try:
            with _raw(viewer.port, request.format(turn % 3)) as connection:
                connection.settimeout(2)
                connection.recv(4096)
        except OSError:
            time.sleep(0.01)


def _stopped_under_connecting_clients(delay):
    process = ViewerProcess()
    stop = threading.Event()
    clients = [threading.Thread(target=_keep_connecting, args=(process, stop)) for _ in range(6)]
    for client in clients:
        client.start()
    try:
        time.sleep(delay)
        status, last = process.stop(signal.SIGTERM)
    finally:
        stop.set()
        for client in clients:
            client.join()
    return status, last and last["after"], process.stderr


def test_sigterm_while_clients_keep_connecting_exits_0_with_every_camera_closed():
    # A camera left streaming, or a thread inside the camera's code when the interpreter ends,
    # showed in about one run in ten (an abort, status -6): thirty runs, three at a time.
    delays = [0.2 + 0.6 * (turn % 10) / 10 for turn in range(30)]
    with concurrent.futures.ThreadPoolExecutor(3) as pool:
        runs = list(pool.map(_stopped_under_connecting_clients, delays))
    failed = [(status, after, stderr[-600:]) for status, after, stderr in runs
              if status != 0 or not after
              or any(s["open"] or s["mode"] == "WORK" for s in after)]
    assert failed == [], failed


_FAKE_BROWSER = '''#!{python}
# Records its command line, and what the file it is given holds, as a browser would see it.
import json, os, sys, urllib.parse, urllib.request
seen = {{"argv": sys.argv}}
for argument in sys.argv[1:]:
    if argument.startswith("file://"):
        path = urllib.request.url2pathname(urllib.parse.urlparse(argument).path)
        seen.update(path=path, mode=os.stat(path).st_mode & 0o777,
                    folder_mode=os.stat(os.path.dirname(path)).st_mode & 0o777)
        with open(path, encoding="utf-8") as page:
            seen["page"] = page.read()
with open({record!r} + ".part", "w") as out:
    json.dump(seen, out)
os.rename({record!r} + ".part", {record!r})
'''


def test_the_browser_is_opened_on_a_private_file_not_on_the_token(tmp_path):
    # Any local user reads a browser's command line (ps): it must not hold the token.
    record = tmp_path / "opened.json"
    browser = tmp_path / "browser"
    browser.write_text(_FAKE_BROWSER.format(python=sys.executable, record=str(record)))
    browser.chmod(0o755)
    env = dict(os.environ, BROWSER=str(browser), DISPLAY=":0")
    env.pop("WAYLAND_DISPLAY", None)
    process = ViewerProcess(env=env, browser=True)
    try:
        deadline = time.monotonic() + 30
        while not record.exists():
            assert time.monotonic() < deadline, "the browser was not started"
            time.sleep(0.1)
        seen = json.loads(record.read_text())
        assert process.token not in " ".join(seen["argv"])
        assert (seen["mode"], seen["folder_mode"]) == (0o600, 0o700)
        # The file sends the browser on to the viewer's address, token and all.
        assert 'url={}"'.format(process.url) in seen["page"]
    finally:
        assert process.stop()[0] == 0, process.stderr
    assert not os.path.exists(seen["path"]) and not os.path.exists(os.path.dirname(seen["path"]))


async def _live(viewer, work, **headers):
    import aiohttp
    async with aiohttp.ClientSession() as session:
        async with session.ws_connect("http://127.0.0.1:{}/api/live?token={}".format(
                viewer.port, headers.pop("token", viewer.token)), headers=dict(
                    {"Host": "127.0.0.1:{}".format(viewer.port)}, **headers)) as live:
            return await work(live)


async def _picture(live, camera):
    """The next picture of the camera on the live connection: (its head, its size)."""
    while True:
        message = await asyncio.wait_for(live.receive(), 10)
        assert message.type.name == "BINARY", message
        head, _, jpeg = message.data.partition(b"\n")
        head = json.loads(head)
        if head["camera"] == camera:
            return head, Image.open(io.BytesIO(jpeg)).size


def test_the_live_connection_watches_switches_and_stops_cameras(viewer):
    async def work(live):
        # Watching, switching and stopping, again and again: each stop ends the watch at
        # once (one lost as a picture comes would leave the camera streaming: many turns, and
        # pictures as fast as they can be made).
        viewer.sim("set_pacing", "free-run")
        for turn in range(30):
            await live.send_json({"watch": WEBCAM, "format": turn % 2})
            head, size = await _picture(live, WEBCAM)
            while head["format"] != turn % 2:  # one taken before the switch
                head, size = await _picture(live, WEBCAM)
            assert size == [(640, 480), (1280, 720)][turn % 2]
            assert viewer.json("/api/cameras/2/status")["viewers"] == 1
            if turn % 3:
                await live.send_json({"stop": WEBCAM})
                deadline = time.monotonic() + 10
                while viewer.json("/api/cameras/2/status")["viewers"]:
                    assert time.monotonic() < deadline, "the stop did not end the watch"
                    await asyncio.sleep(0.05)
        viewer.sim("set_pacing", "realtime")
        await live.send_json({"watch": KAVN, "format": 0})
        assert (await _picture(live, KAVN))[0]["camera"] == KAVN
        # Orders that are not, and a camera that cannot start: said, the connection goes on.
        for order in ('{"watch": 9, "format": 0}', '{"watch": 2, "format": 99}', "[[[[",
                      '{"watch": true, "format": 0}', "[" * 2000 + "]" * 2000):
            await live.send_str(order)
            answer = await asyncio.wait_for(live.receive_json(), 10)
            while "error" not in answer:
                answer = await asyncio.wait_for(live.receive_json(), 10)
        viewer.sim("inject", "LxStartStreaming", status=-8)
        await live.send_json({"watch": WEBCAM, "format": 0})
        while True:
            message = await asyncio.wait_for(live.receive(), 10)
            if message.type.name == "TEXT":
                break
        assert json.loads(message.data) == {"camera": WEBCAM, "ended": True,
                                            "error": "LX_STATUS_IO_ERROR"}
        assert viewer.json("/api/cameras/1/status")["viewers"] == 1

    try:
        asyncio.run(_live(viewer, work))
    finally:
        viewer.sim("set_pacing", "realtime")
    # The connection's end leaves every camera it watched.
    deadline = time.monotonic() + 10
    while any(viewer.json("/api/cameras/%d/status" % i)["viewers"] for i in (KAVN, WEBCAM)):
        assert time.monotonic() < deadline
        time.sleep(0.05)


def test_a_live_connection_without_the_token_or_from_another_origin_is_refused(viewer):
    import aiohttp

    started = viewer.sim("call_count", "LxStartStreaming")
    for headers in ({"token": ""}, {"token": viewer.token[:3]},
                    {"Origin": "http://127.0.0.1:1"},
                    {"Sec-Fetch-Site": "same-site", "Origin": viewer.origin}):
        async def work(live):
            await live.send_json({"watch": WEBCAM, "format": 0})
        with pytest.raises(aiohttp.WSServerHandshakeError) as refused:
            asyncio.run(_live(viewer, work, **headers))
        assert refused.value.status == 403, headers
    assert viewer.sim("call_count", "LxStartStreaming") == started


# -- recording -----------------------------------------------------------------------------------
def _record(viewer, camera, action, query="", **keywords):
    """(status, JSON answer) of starting or stopping a camera's recording."""
    status, _, body = viewer.request("POST", "/api/cameras/{}/record/{}{}".format(
        camera, action, query), **keywords)
    return status, json.loads(body) if body else None


def _recorded(viewer, camera, more_than):
    """The recording's status once it has written more than `more_than` frames."""
    def status():
        return viewer.json("/api/cameras/%d/status" % camera)["record"]
    deadline = time.monotonic() + 30
    while status()["frames"] <= more_than:
        assert status()["recording"], status()
        assert time.monotonic() < deadline, "the recording wrote no frames"
        time.sleep(0.05)
    return status()


def _wait(condition, what):
    deadline = time.monotonic() + 30
    while not condition():
        assert time.monotonic() < deadline, what
        time.sleep(0.05)


def _decoded(path):
    """(pictures, (width, height), their times) of a recording's file, decoded with PyAV."""
    av = pytest.importorskip("av")
    with av.open(path) as container:
        pictures = [(f.width, f.height, float(f.time)) for f in container.decode(video=0)]
    sizes = {(width, height) for width, height, _ in pictures}
    assert len(sizes) <= 1, sizes
    return len(pictures), sizes.pop() if sizes else None, [t for _, _, t in pictures]


def test_a_recording_holds_its_camera_and_its_file_holds_every_frame_it_counted(
        viewer, recordings):
    # H.264 from the webcam's YUY2, the KAVL's MJPG frames as they came; neither streams yet.
    for camera, fmt, other, size in ((WEBCAM, 1, 0, (1280, 720)), (KAVL, 0, 1, (640, 480))):
        status, started = _record(viewer, camera, "start", "?format=%d" % fmt)
        assert status == 200 and started["recording"] and started["error"] is None
        assert os.path.dirname(started["path"]) == str(recordings)
        assert started["path"].endswith(".mkv")
        assert _record(viewer, camera, "start")[0] == 409  # once at a time
        frames = _recorded(viewer, camera, 3)["frames"]
        # A viewer comes and goes: the recording goes on, and the camera with it.
        parts = _Parts(viewer, camera, fmt)
        assert parts.picture_size() == size  # the frames are shared (read-only) and shown
        parts.close()
        _wait(lambda camera=camera: viewer.json("/api/cameras/%d/status" % camera)["viewers"] == 0,
              "the viewer's leaving")
        frames = _recorded(viewer, camera, frames + 3)["frames"]
        # A file holds one picture size: no other format while the camera records, by
        # stream or by the page's live connection; a snapshot of its format is taken.
        assert _status_of(viewer, "/api/cameras/%d/stream.mjpg?format=%d" % (camera, other),
                          {}) == 409

        async def switch(live, camera=camera, other=other):
            await live.send_json({"watch": camera, "format": other})
            return await asyncio.wait_for(live.receive_json(), 10)
        refused = asyncio.run(_live(viewer, switch))
        assert (refused["refused"], refused["format"]) == (True, fmt)
        status, _, png = viewer.request("GET", "/api/cameras/%d/snapshot.png?format=%d" % (
            camera, fmt))
        assert status == 200 and Image.open(io.BytesIO(png)).size == size
        frames = _recorded(viewer, camera, frames)["frames"]  # it goes on
        status, stopped = _record(viewer, camera, "stop")
        assert status == 200 and not stopped["recording"] and stopped["error"] is None
        assert stopped["path"] == started["path"] and stopped["frames"] >= frames
        count, shape, times = _decoded(stopped["path"])
        assert (count, shape) == (stopped["frames"], size)
        assert all(b > a for a, b in zip(times, times[1:]))
        assert stopped["seconds"] > times[-1] > 0
        # Nobody watches it any more: the camera is closed.
        _wait(lambda camera=camera: not viewer.sim("state", camera)["open"], "the camera closed")
        assert _record(viewer, camera, "stop")[0] == 409


def test_a_recording_that_ends_with_its_camera_failing_says_why_and_its_file_plays(viewer):
    status, started = _record(viewer, WEBCAM, "start", "?format=0")
    assert status == 200
    _recorded(viewer, WEBCAM, 3)
    try:
        viewer.sim("inject", "LxGetImage", result=int(lx.LX_CAPTURE_RESULT.LX_BUFFER_CORRUPTED),
                   count=1000)
        _wait(lambda: not viewer.json("/api/cameras/2/status")["record"]["recording"],
              "the recording's end")
    finally:
        viewer.sim("clear_faults")
    ended = viewer.json("/api/cameras/2/status")
    assert ended["error"] == "LX_BUFFER_CORRUPTED"
    assert "LX_BUFFER_CORRUPTED" in ended["record"]["error"]
    assert _decoded(started["path"])[0] == ended["record"]["frames"] > 3
    _wait(lambda: not viewer.sim("state", WEBCAM)["open"], "the camera closed")


def test_a_recording_never_replaces_a_file(viewer, recordings):
    # The names the next seconds would have are taken, and their "-2"s: the file is "-3".
    name = viewer.json("/api/cameras")[WEBCAM]["name"]
    now = time.time()
    taken = []
    for second in range(-1, 15):
        stem = recording_name(WEBCAM, name, time.localtime(now + second))
        for path in (recordings / (stem + ".mkv"), recordings / (stem + "-2.mkv")):
            path.write_bytes(b"not a recording")
            taken.append(path)
    status, started = _record(viewer, WEBCAM, "start")
    assert status == 200 and started["path"].endswith("-3.mkv"), started
    _recorded(viewer, WEBCAM, 3)
    status, stopped = _record(viewer, WEBCAM, "stop")
    assert status == 200 and _decoded(stopped["path"])[0] == stopped["frames"]
    assert all(path.read_bytes() == b"not a recording" for path in taken)
    # A camera's name is no path: its letters and digits alone name the file.
    when = time.localtime(0)
    assert recording_name(7, "../../etc/passwd\x00 x", when) == \
        "camera7-etc-passwd-x-" + time.strftime("%Y%m%d-%H%M%S", when)
    assert recording_name(1, "///", when).startswith("camera1-camera-")


def test_recording_takes_the_token_and_the_viewers_own_origin_and_head_or_get_start_nothing(
        viewer, recordings):
    files = sorted(os.listdir(str(recordings)))
    calls = ("LxOpen", "LxStartStreaming")
    before = [viewer.sim("call_count", name) for name in calls]
    start = "/api/cameras/2/record/start"
    for path, headers in ((start, {"Authorization": None}),
                          (start + "?token=" + viewer.token[:-1], {"Authorization": None}),
                          (start, {"Authorization": "Bearer " + viewer.token + "x"}),
                          (start, {"Origin": "http://127.0.0.1:1"}),
                          (start, {"Sec-Fetch-Site": "same-site", "Sec-Fetch-Mode": "cors",
                                   "Origin": viewer.origin})):
        assert viewer.request("POST", path, headers=headers)[0] == 403, (path, headers)
    for method in ("HEAD", "GET"):
        status, _, body = viewer.request(method, start)
        assert status == 405 and (method == "HEAD" or json.loads(body)["error"])
    assert _record(viewer, 9, "start")[0] == 404
    assert viewer.request("POST", start + "?format=99")[0] == 404
    assert [viewer.sim("call_count", name) for name in calls] == before
    assert sorted(os.listdir(str(recordings))) == files
    # The viewer's own page may.
    status, _ = _record(viewer, WEBCAM, "start", headers={"Origin": viewer.origin})
    assert status == 200
    assert _record(viewer, WEBCAM, "stop", headers={"Origin": viewer.origin})[0] == 200


def test_without_pyav_or_a_folder_to_write_in_the_viewer_runs_and_says_why_it_cannot_record(
        tmp_path):
    (tmp_path / "av.py").write_text("raise ImportError('not installed')\n")
    process = ViewerProcess("--record-dir", str(tmp_path),
                            env=dict(os.environ, PYTHONPATH=str(tmp_path)))
    try:
        hints = {camera["record_hint"] for camera in process.json("/api/cameras")}
        assert len(hints) == 1 and "pip install pylentrasdk[video]" in hints.pop()
        status, answer = _record(process, WEBCAM, "start")
        assert status == 501 and "pip install pylentrasdk[video]" in answer["error"]
        assert process.sim("state", WEBCAM)["open"] is False
    finally:
        assert process.stop()[0] == 0, process.stderr
    assert sorted(os.listdir(str(tmp_path))) == ["av.py"]  # nothing written
    # A folder given must be one to write in; the current folder, when none is given, need not:
    # the viewer then runs without recording, and says so.
    (tmp_path / "run").mkdir()
    for given in (tmp_path / "nothing", tmp_path / "av.py"):
        code, out, err = _lxctl(tmp_path / "run", "--port", "0", "--record-dir", str(given))
        assert (code, out) == (2, "") and "--record-dir" in err and str(given) in err
    process = ViewerProcess(cwd="/proc")
    try:
        hints = {camera["record_hint"] for camera in process.json("/api/cameras")}
        assert len(hints) == 1 and "--record-dir" in hints.pop()
        assert _record(process, WEBCAM, "start")[0] == 501
    finally:
        assert process.stop()[0] == 0, process.stderr
    assert "does not record" in process.stderr and process.stderr.count("\n") == 1


# -- skew of cameras in Sync ---------------------------------------------------------------------
def test_the_status_carries_the_skew_of_cameras_in_sync_and_none_otherwise(tmp_path):
    with open(sim.sample_path("stereo.json")) as f:
        rig = json.load(f)
    rig["trigger"]["jitter"] = 0.002  # each camera up to 2 ms after each tick
    (tmp_path / "stereo.json").write_text(json.dumps(rig))
    process = ViewerProcess(env=dict(os.environ, LENTRASDK_SIM=str(tmp_path / "stereo.json")))

    def skews():
        return [process.json("/api/cameras/%d/status" % i)["skew"] for i in (0, 1)]

    def trigger_mode(camera, mode):
        status, _, _ = process.request("PUT", "/api/cameras/%d/controls/trigger_mode" % camera,
                                       {"value": mode})
        assert status == 200

    left, right = _Parts(process, 0, 0), _Parts(process, 1, 0)
    try:
        for parts in (left, right):
            parts.picture_size()
        assert skews() == [None, None]  # free-running cameras (Disable)
        trigger_mode(0, 1)
        trigger_mode(1, 1)
        _wait(lambda: all(s and s["seconds"] is not None for s in skews()), "the skews")
        seen = []
        for _ in range(20):
            first, second = skews()
            assert first == {"seconds": 0.0, "to": 0, "clock": "line"}
            assert (second["to"], second["clock"]) == (0, "line")
            seen.append(second["seconds"])
            left.picture_size(), right.picture_size()  # a few frames later
        assert all(abs(s) <= 0.002 + 1e-6 for s in seen) and any(s != 0 for s in seen), seen
        trigger_mode(0, 2)  # Periodic: one camera in Sync is no group
        _wait(lambda: skews() == [None, None], "the group's end")
        trigger_mode(0, 1)
        _wait(lambda: all(skews()), "the group again")
        right.close()  # its stream stops, and the group ends before it
        _wait(lambda: skews() == [None, None] and not process.sim("state", 1)["open"],
              "the second camera's end")
        left.picture_size()  # the first one plays on
    finally:
        left.close()
        right.close()
        status, last = process.stop()
    assert status == 0 and process.stderr == ""
    assert all(not s["open"] for s in last["after"])
