"""The viewer page in a real browser: Debian's chromium, headless, driven by Selenium through
/usr/bin/chromedriver, against `lxctl view` on the simulated rig."""
import http.server
import io
import json
import os
import re
import threading
import time

import numpy
import pytest

pytest.importorskip("aiohttp")
webdriver = pytest.importorskip("selenium.webdriver")
from PIL import Image  # noqa: E402
from selenium.webdriver.common.by import By  # noqa: E402
from selenium.webdriver.common.keys import Keys  # noqa: E402

import pylentrasdk as lx  # noqa: E402
from pylentrasdk import sim  # noqa: E402
from sanitizer import unsanitized_environment  # noqa: E402
from viewer_process import ViewerProcess  # noqa: E402

CHROMIUM, CHROMEDRIVER = "/usr/bin/chromium", "/usr/bin/chromedriver"
KAVL, KAVN, WEBCAM = 0, 1, 2
CAMERAS = (KAVL, KAVN, WEBCAM)
DOCS = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "docs")
# The longest any wait goes on: a guard against a hang, not a measure (a loaded machine may
# take seconds for what usually takes a tenth).
PATIENCE_S = 60.0

if not (os.path.exists(CHROMIUM) and os.path.exists(CHROMEDRIVER)):
    # CI installs them with the project's setup: there a missing browser is a failure.
    message = "needs Debian's chromium and chromium-driver (tools/setup.sh installs them)"
    if os.environ.get("CI"):
        raise AssertionError(message)
    pytest.skip(message, allow_module_level=True)


@pytest.fixture(scope="module")
def downloads(tmp_path_factory):
    return tmp_path_factory.mktemp("downloads")


@pytest.fixture(scope="module")
def browser(downloads):
    options = webdriver.ChromeOptions()
    options.binary_location = CHROMIUM
    for argument in ("--headless=new", "--no-sandbox", "--disable-dev-shm-usage",
                     "--window-size=1280,1000", "--force-device-scale-factor=1"):
        options.add_argument(argument)
    options.add_experimental_option("prefs", {"download.default_directory": str(downloads),
                                              "download.prompt_for_download": False})
    # The browser is not ours to check: under the sanitizer run it goes without the sanitizer
    # runtime that the test process preloads.
    env = unsanitized_environment()
    service = webdriver.ChromeService(executable_path=CHROMEDRIVER, env=env)
    driver = webdriver.Chrome(service=service, options=options)
    yield driver
    driver.quit()


@pytest.fixture(scope="module")
def recordings(tmp_path_factory):
    return tmp_path_factory.mktemp("recordings")


@pytest.fixture(scope="module")
def viewer(recordings):
    process = ViewerProcess("--record-dir", str(recordings))
    yield process
    process.stop()


def wait_for(condition, what="the condition"):
    """The condition's first true value, looked at until it comes (PATIENCE_S at most)."""
    deadline = time.monotonic() + PATIENCE_S
    while True:
        value = condition()
        if value:
            return value
        assert time.monotonic() < deadline, "{}: not within {} s".format(what, PATIENCE_S)
        time.sleep(0.1)


def closed(viewer, index):
    return not viewer.sim("state", index)["open"]


def every_camera_closes(viewer):
    wait_for(lambda: not any(viewer.sim("state", i)["open"] for i in CAMERAS),
             "every camera closed")


@pytest.fixture
def page(browser, viewer):
    """The viewer's page, freshly loaded, with its tiles; when the test is done the page is
    left and every camera has closed."""
    browser.get(viewer.url)
    wait_for(lambda: len(browser.find_elements(By.CSS_SELECTOR, "section.tile")) == 3, "tiles")
    yield browser
    for handle in browser.window_handles[1:]:
        browser.switch_to.window(handle)
        browser.close()
    browser.switch_to.window(browser.window_handles[0])
    browser.get("about:blank")  # leaves the page: its streams end
    viewer.sim("clear_faults")
    every_camera_closes(viewer)


def tile(driver, index):
    return driver.find_element(By.ID, "camera-{}".format(index))


def status(viewer, index):
    return viewer.json("/api/cameras/%d/status" % index)


def playing(viewer, index):
    """Waits until the camera's stream delivers frames (the server counts them)."""
    frames = wait_for(lambda: status(viewer, index)["streaming"] and
                      [status(viewer, index)["frames"]], "camera {} streaming".format(index))[0]
    wait_for(lambda: status(viewer, index)["frames"] > frames + 3,
             "frames of camera {}".format(index))


def picture(driver, viewer, index):
    """The tile's picture once it shows a frame."""
    playing(viewer, index)
    return wait_for(lambda: [e for e in tile(driver, index).find_elements(
        By.CSS_SELECTOR, "img.picture") if e.get_property("naturalWidth") > 0],
        "picture of camera {}".format(index))[0]


def shot(element):
    return numpy.asarray(Image.open(io.BytesIO(element.screenshot_as_png)).convert("RGB"))


def test_every_camera_plays_when_the_page_opens_and_stop_and_start_stay(page, viewer):
    names = [e.text for e in page.find_elements(By.CSS_SELECTOR, "section.tile h2")]
    assert names == [c["name"] for c in viewer.json("/api/cameras")]
    assert "token" not in page.current_url  # the address bar keeps no token
    assert page.get_cookies() == []  # no cookie holds it either
    for index in CAMERAS:  # nothing pressed
        picture(page, viewer, index)
        assert status(viewer, index)["viewers"] == 1
    shown = picture(page, viewer, WEBCAM)
    first = shot(shown)
    # The frame stamp and the moving square change from frame to frame.
    wait_for(lambda: not numpy.array_equal(shot(picture(page, viewer, WEBCAM)), first), "motion")
    fps = tile(page, WEBCAM).find_element(By.CLASS_NAME, "fps")
    wait_for(lambda: fps.text.endswith("fps") and not fps.text.startswith("-"), "fps shown")
    section = tile(page, WEBCAM)
    section.find_element(By.CSS_SELECTOR, "button.stop").click()
    wait_for(lambda: closed(viewer, WEBCAM), "the stopped camera closed")
    assert status(viewer, KAVN)["streaming"]  # the others play on
    section.find_element(By.CSS_SELECTOR, "button.start").click()
    picture(page, viewer, WEBCAM)


def test_a_camera_that_cannot_stream_says_why_and_starts_when_it_can(browser, viewer):
    viewer.sim("hold", WEBCAM)  # open elsewhere: the viewer finds it busy
    try:
        browser.get(viewer.url)
        error = wait_for(lambda: tile(browser, WEBCAM).find_element(By.CLASS_NAME, "error"))
        wait_for(lambda: error.is_displayed(), "the busy camera's error shown")
        assert error.text == "LX_STATUS_BUSY"
        picture(browser, viewer, KAVN)
        start = tile(browser, WEBCAM).find_element(By.CSS_SELECTOR, "button.start")
        assert start.is_enabled()
    finally:
        viewer.sim("release", WEBCAM)
    start.click()
    picture(browser, viewer, WEBCAM)
    assert not error.is_displayed()
    browser.get("about:blank")
    every_camera_closes(viewer)


def test_control_labels_are_words_that_never_break_inside_a_word(page):
    section = tile(page, KAVL)
    section.find_element(By.CSS_SELECTOR, "details.controls summary").click()
    rows = wait_for(lambda: section.find_elements(By.CSS_SELECTOR, "tr[data-control]"), "rows")
    labels = {row.get_attribute("data-control"): row.find_element(By.CLASS_NAME, "label").text
              for row in rows}
    assert labels["white_balance_temperature"] == "White balance temperature"
    assert labels["exposure_min_time"] == "Exposure min time (read-only)"
    assert labels["jpeg_quality"] == "JPEG quality" and labels["max_fps"] == "Max FPS"
    # Each word of every label lies on one line: its letters' boxes form a single rectangle.
    broken = page.execute_script("""
        const broken = [];
        for (const cell of arguments[0].querySelectorAll("td.label")) {
          const walker = document.createTreeWalker(cell, NodeFilter.SHOW_TEXT);
          for (let node = walker.nextNode(); node; node = walker.nextNode()) {
            for (const match of node.data.matchAll(/\\S+/g)) {
              const range = document.createRange();
              range.setStart(node, match.index);
              range.setEnd(node, match.index + match[0].length);
              if (range.getClientRects().length !== 1) broken.push(match[0]);
            }
          }
        }
        return broken;""", section)
    assert broken == []
    wrapped = [label for label in labels.values() if " " in label]
    assert wrapped  # the test means something: some labels have several words


def test_the_brightness_slider_brightens_the_picture_and_the_camera_keeps_it(page, viewer):
    shown = picture(page, viewer, KAVN)
    before = shot(shown).mean()
    section = tile(page, KAVN)
    section.find_element(By.CSS_SELECTOR, "details.controls summary").click()
    slider = wait_for(lambda: section.find_elements(
        By.CSS_SELECTOR, "tr[data-control='brightness'] input"), "the slider")[0]
    try:
        slider.send_keys(Keys.END)  # the range's maximum, as a user drags it to the end
        top = int(slider.get_attribute("max"))
        wait_for(lambda: next(c for c in viewer.json("/api/cameras/1/controls")
                              if c["name"] == "brightness")["value"] == top, "the new value")
        wait_for(lambda: shot(picture(page, viewer, KAVN)).mean() > before + 20, "brighter")
    finally:
        viewer.request("PUT", "/api/cameras/1/controls/brightness", {"value": 128})


def test_the_snapshot_button_downloads_the_full_frame_as_png(page, viewer, downloads):
    section = tile(page, WEBCAM)
    section.find_element(By.XPATH, ".//option[contains(., '1280 x 720 YUY2')]").click()
    section.find_element(By.CSS_SELECTOR, "a.snapshot").click()
    path = downloads / "camera2-format1.png"
    wait_for(lambda: path.exists() and path.stat().st_size > 0, "the download")
    with Image.open(str(path)) as png:
        assert (png.format, png.size) == ("PNG", (1280, 720))


def test_the_imu_plots_have_a_legend_units_and_a_scale_over_the_readings(page, viewer):
    shown = [tile(page, i).find_element(By.CSS_SELECTOR, "details.imu").is_displayed()
             for i in CAMERAS]
    assert shown == [False, True, False]
    imu = tile(page, KAVN)
    for kind, unit in (("acc", "m/s²"), ("gyro", "°/s")):
        plot = imu.find_element(By.CSS_SELECTOR, "figure.plot." + kind)
        assert unit in plot.find_element(By.TAG_NAME, "figcaption").text
        legend = plot.find_elements(By.CSS_SELECTOR, ".legend span")
        assert [e.text for e in legend] == ["x", "y", "z"]
        assert len({e.value_of_css_property("color") for e in legend}) == 3
        # Three coloured traces get drawn over the dark background.
        canvas = plot.find_element(By.TAG_NAME, "canvas")
        wait_for(lambda canvas=canvas: (shot(canvas).max(axis=2) > 150).sum() > 100, "traces")
        # The scale: round values, evenly apart, that take in what the camera reads.
        ticks = [float(text) for text in wait_for(lambda plot=plot: page.execute_script(
            "return [...arguments[0].querySelectorAll('.scale span')].map(e => e.textContent)",
            plot), "the scale")]
        steps = numpy.diff(ticks)
        assert len(ticks) >= 2 and numpy.allclose(steps, steps[0]) and steps[0] > 0
        reading = viewer.json("/api/cameras/1/imu")[kind]
        assert ticks[0] - steps[0] < min(reading) and max(reading) < ticks[-1] + steps[0]
    temperature = imu.find_element(By.CLASS_NAME, "temperature")
    wait_for(lambda: temperature.text not in ("", "-"), "the temperature")


def test_a_capture_fault_shows_on_its_tile_while_the_others_play(page, viewer):
    for index in CAMERAS:
        picture(page, viewer, index)
    viewer.sim("inject", "LxGetImage", result=int(lx.LX_CAPTURE_RESULT.LX_BUFFER_CORRUPTED))
    failed = wait_for(lambda: [i for i in CAMERAS if tile(page, i).find_element(
        By.CLASS_NAME, "error").is_displayed()], "an error shown")
    assert len(failed) == 1
    assert tile(page, failed[0]).find_element(By.CLASS_NAME, "error").text == \
        "LX_BUFFER_CORRUPTED"
    for other in set(CAMERAS) - set(failed):
        playing(viewer, other)
    assert status(viewer, failed[0])["streaming"] is False


def test_tabs_share_one_capture_and_a_format_chosen_in_one_shows_in_every_tab(page, viewer):
    for index in CAMERAS:
        picture(page, viewer, index)
    started = viewer.sim("call_count", "LxStartStreaming")
    first = page.current_window_handle
    page.switch_to.new_window("tab")
    page.get(viewer.url)
    for index in CAMERAS:
        picture(page, viewer, index)
    wait_for(lambda: all(status(viewer, i)["viewers"] == 2 for i in CAMERAS), "two viewers")
    assert viewer.sim("call_count", "LxStartStreaming") == started  # no camera started again
    # The second tab's controls load and its status shows, both tabs' pictures playing.
    section = tile(page, KAVN)
    section.find_element(By.CSS_SELECTOR, "details.controls summary").click()
    wait_for(lambda: section.find_elements(By.CSS_SELECTOR, "tr[data-control='brightness']"),
             "the second tab's controls")
    fps = section.find_element(By.CLASS_NAME, "fps")
    wait_for(lambda: not fps.text.startswith("-"), "the second tab's status")
    # The second tab chooses another format: the first tab shows it as well.
    tile(page, WEBCAM).find_element(By.XPATH, ".//option[contains(., '1280 x 720 YUY2')]").click()
    page.switch_to.window(first)
    wait_for(lambda: picture(page, viewer, WEBCAM).get_property("naturalWidth") == 1280,
             "the new format in the first tab")
    assert tile(page, WEBCAM).find_element(By.CSS_SELECTOR, "select.format").get_property(
        "value") == "1"
    assert status(viewer, WEBCAM)["viewers"] == 2
    page.switch_to.window(page.window_handles[1])
    page.close()
    page.switch_to.window(first)
    wait_for(lambda: all(status(viewer, i)["viewers"] == 1 for i in CAMERAS), "one viewer left")
    for index in CAMERAS:
        assert status(viewer, index)["streaming"] and not closed(viewer, index)


def test_the_record_button_records_the_camera_into_a_file_that_plays(page, viewer, recordings):
    av = pytest.importorskip("av")
    picture(page, viewer, WEBCAM)
    section = tile(page, WEBCAM)
    button = section.find_element(By.CSS_SELECTOR, "button.record")
    assert button.text == "Record" and button.is_enabled()
    button.click()
    wait_for(lambda: button.text == "Stop recording", "the button's new label")
    line = section.find_element(By.CSS_SELECTOR, ".recording")
    wait_for(lambda: line.text.startswith("\u25cf Recording") and
             status(viewer, WEBCAM)["record"]["frames"] > 10, "frames recorded")
    # The file keeps one picture size: the format cannot be changed meanwhile.
    assert not section.find_element(By.CSS_SELECTOR, "select.format").is_enabled()
    button.click()
    wait_for(lambda: button.text == "Record" and line.text.startswith("Recorded"),
             "the recording's end")
    record = status(viewer, WEBCAM)["record"]
    assert record["recording"] is False and record["error"] is None
    assert os.path.dirname(record["path"]) == str(recordings)
    assert record["path"] in line.text
    with av.open(record["path"]) as container:
        assert sum(1 for _ in container.decode(video=0)) == record["frames"]
    # The tile plays on, its format free again.
    playing(viewer, WEBCAM)
    assert section.find_element(By.CSS_SELECTOR, "select.format").is_enabled()


def test_cameras_in_sync_show_their_skew_to_the_first_on_their_tiles(browser, tmp_path):
    with open(sim.sample_path("stereo.json")) as f:
        rig = json.load(f)
    rig["trigger"]["jitter"] = 0.002  # each camera up to 2 ms after each tick
    (tmp_path / "stereo.json").write_text(json.dumps(rig))
    process = ViewerProcess("--record-dir", str(tmp_path),
                            env=dict(os.environ, LENTRASDK_SIM=str(tmp_path / "stereo.json")))
    try:
        browser.get(process.url)
        wait_for(lambda: len(browser.find_elements(By.CSS_SELECTOR, "section.tile")) == 2,
                 "tiles")
        for index in (0, 1):
            picture(browser, process, index)
        skews = [tile(browser, i).find_element(By.CSS_SELECTOR, ".skew") for i in (0, 1)]
        assert not any(shown.is_displayed() for shown in skews)  # free-running
        for index in (0, 1):
            assert process.request("PUT", "/api/cameras/%d/controls/trigger_mode" % index,
                                   {"value": 1})[0] == 200
        wait_for(lambda: skews[0].text == "in Sync: first of the group", "the first's label")
        text = wait_for(lambda: re.fullmatch(r"skew [+-]\d\.\d{3} ms to camera 0",
                                             skews[1].text), "the second's skew").group(0)
        assert abs(float(text.split()[1])) <= 2.0 + 1e-3
    finally:
        browser.get("about:blank")
        process.stop()


class _ForeignPage(http.server.BaseHTTPRequestHandler):
    """Another local program's web server: it serves `page` and notes every request's
    headers."""

    page = b""
    seen = []

    def do_GET(self):  # noqa: N802 - the name http.server calls
        self.seen.append(dict(self.headers))
        body = self.page if self.path == "/" else b""
        self.send_response(200 if body else 204)
        self.send_header("Content-Type", "text/html")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def log_message(self, *args):
        pass


def test_a_page_of_another_local_port_can_neither_show_nor_switch_a_camera(page, viewer):
    # The viewer's page shows the KAVL in its first format; the webcam it has stopped.
    for index in CAMERAS:
        picture(page, viewer, index)
    tile(page, WEBCAM).find_element(By.CSS_SELECTOR, "button.stop").click()
    wait_for(lambda: closed(viewer, WEBCAM), "the webcam closed")
    viewer_tab = page.current_window_handle
    # Another local program's page tries to switch the one and start the other, without the
    # token and even with it (a page that learnt it), by picture, fetch and live connection.
    api = "http://127.0.0.1:{}/api".format(viewer.port)
    _ForeignPage.page = """<!DOCTYPE html>
        <img id="switch" src="{0}/cameras/0/stream.mjpg?format=3">
        <img id="switch-token" src="{0}/cameras/0/stream.mjpg?format=3&token={1}">
        <img id="start" src="{0}/cameras/2/stream.mjpg?format=1">
        <script>
        fetch("{0}/cameras/0/status", {{credentials: "include"}}).then(
          (r) => {{ document.title += " read " + r.status; }},
          () => {{ document.title += " fetch refused"; }});
        const live = new WebSocket("{2}/live?token={1}");
        live.onopen = () => {{ live.send('{{"watch": 0, "format": 3}}'); document.title += " open"; }};
        live.onclose = () => {{ document.title += " live refused"; }};
        new Image().src = "/beacon?cookie=" + encodeURIComponent(document.cookie);
        </script>""".format(api, viewer.token, api.replace("http:", "ws:")).encode()
    _ForeignPage.seen = []
    started = viewer.sim("call_count", "LxStartStreaming")
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), _ForeignPage)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    try:
        page.switch_to.new_window("tab")
        page.get("http://127.0.0.1:{}/".format(server.server_address[1]))
        wait_for(lambda: "fetch refused" in page.title and "live refused" in page.title,
                 "the page's fetch and live connection refused")
        assert "open" not in page.title.split()
        wait_for(lambda: len(_ForeignPage.seen) >= 2, "the page's own requests")
        for name in ("switch", "switch-token", "start"):
            image = page.find_element(By.ID, name)
            wait_for(lambda image=image: page.execute_script("return arguments[0].complete",
                                                             image), "the image's load")
            assert image.get_property("naturalWidth") == 0, name
    finally:
        server.shutdown()
        server.server_close()
    assert viewer.sim("call_count", "LxStartStreaming") == started
    assert (status(viewer, KAVL)["format"], status(viewer, KAVL)["viewers"]) == (0, 1)
    assert closed(viewer, WEBCAM)
    page.switch_to.window(viewer_tab)
    assert picture(page, viewer, KAVL).get_property("naturalWidth") == 640
    # That server got nothing the viewer takes for a credential: no cookie, no token.
    for headers in _ForeignPage.seen:
        assert "Cookie" not in headers and viewer.token not in str(headers), headers
        forwarded = {k: v for k, v in headers.items() if k in ("Cookie", "Authorization")}
        assert viewer.request("GET", "/api/cameras/0/status", token=False,
                              headers=forwarded)[0] == 403


def test_every_camera_plays_side_by_side(page, viewer):
    """Also makes docs/viewer.png when UPDATE_SCREENSHOT=1 is set."""
    for index in CAMERAS:
        picture(page, viewer, index)
    tops = {tile(page, i).rect["y"] for i in CAMERAS}
    assert len(tops) == 1  # one row
    if os.environ.get("UPDATE_SCREENSHOT") == "1":
        tile(page, KAVN).find_element(By.CSS_SELECTOR, "details.controls summary").click()
        traces = tile(page, KAVN).find_element(By.CSS_SELECTOR, "figure.plot.acc canvas")
        # The IMU plots fill their five seconds (fifty readings).
        started = time.monotonic()
        wait_for(lambda: time.monotonic() - started > 5.5 and
                 (shot(traces).max(axis=2) > 150).sum() > 100, "the plots filled")
        page.save_screenshot(os.path.join(DOCS, "viewer.png"))
