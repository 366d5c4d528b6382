"""lxctl view from outside: its one line, its exit, and its HTTP interface with a plain client:
the checks that keep other sites and people out, and bad requests that must never reach a
camera."""
import io
import json
import os
import signal
import socket
import subprocess
import sys
import time

import numpy
import pytest

pytest.importorskip("aiohttp")
from PIL import Image  # noqa: E402

import pylentrasdk as lx  # noqa: E402
from pylentrasdk import frames  # noqa: E402
from pylentrasdk.viewer import is_loopback  # noqa: E402
from viewer_process import HOST, ViewerProcess  # noqa: E402

KAVL, KAVN, WEBCAM = 0, 1, 2


@pytest.fixture(scope="module")
def viewer():
    process = ViewerProcess()
    yield process
    process.stop()


def _stopped_cleanly(process, number):
    status, last = process.stop(number)
    assert status == 0
    assert all(not s["open"] and s["mode"] != "WORK" for s in last["after"]), last


@pytest.mark.parametrize("number", [signal.SIGINT, signal.SIGTERM])
def test_a_signal_stops_every_stream_closes_the_cameras_and_exits_0(number):
    process = ViewerProcess()
    assert process.first_line.startswith("Viewer at http://127.0.0.1:")
    assert len(process.token) >= 22  # at least 128 bits, URL-safe
    # A camera streams for a viewer that is still reading when the signal comes.
    status, headers, _ = process.request("GET", "/api/cameras/1/status")
    connection = socket.create_connection(("127.0.0.1", process.port))
    connection.sendall("GET /api/cameras/1/stream.mjpg?token={} HTTP/1.1\r\nHost: 127.0.0.1:{}"
                       "\r\n\r\n".format(process.token, process.port).encode())
    assert b"image/jpeg" in connection.recv(65536) + connection.recv(65536)
    assert process.sim("state", KAVN) == {"open": True, "mode": "WORK"}
    _stopped_cleanly(process, number)
    connection.close()


def test_on_the_ipv6_loopback_the_address_is_bracketed_and_no_warning_is_given():
    process = ViewerProcess("--host", "::1")
    try:
        assert process.url.startswith("http://[::1]:")
        assert process.request("GET", "/api/cameras")[0] == 200
        for host, answer in (("localhost", 200), ("127.0.0.1", 403), ("::1", 403)):
            headers = {"Host": "{}:{}".format(host, process.port)}
            assert process.request("GET", "/api/cameras", headers=headers)[0] == answer, host
    finally:
        assert process.stop()[0] == 0
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


def test_requests_without_the_token_from_another_host_or_origin_are_refused(viewer):
    path = "/api/cameras"
    assert viewer.request("GET", path, token=False)[0] == 403
    assert viewer.request("GET", path + "?token=" + viewer.token[:-1] + "x", token=False)[0] == 403
    assert viewer.request("GET", path, headers={"Authorization": "Bearer wrong"})[0] == 403
    assert viewer.request("GET", path + "?token=" + viewer.token, token=False)[0] == 200
    # DNS rebinding: a page of another site whose name now points here.
    for host in ("evil.example:{}".format(viewer.port), "127.0.0.1:1", "127.0.0.1"):
        assert viewer.request("GET", path, headers={"Host": host})[0] == 403
    assert viewer.request("GET", path, headers={"Host": None})[0] in (400, 403)  # none at all
    assert viewer.request("GET", path, headers={"Host": "localhost:%d" % viewer.port})[0] == 200
    # The page sets the token's cookie, which then stands for the token.
    status, headers, _ = viewer.request("GET", "/?token=" + viewer.token, token=False)
    assert status == 200 and "HttpOnly" in headers["Set-Cookie"]
    cookie = headers["Set-Cookie"].split(";")[0]
    assert viewer.request("GET", path, token=False, headers={"Cookie": cookie})[0] == 200
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
