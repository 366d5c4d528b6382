"""The viewer page in a real browser: Debian's chromium, headless, driven by Selenium through
/usr/bin/chromedriver, against `lxctl view` on the simulated rig."""
import io
import os
import time

import numpy
import pytest

pytest.importorskip("aiohttp")
webdriver = pytest.importorskip("selenium.webdriver")
from PIL import Image  # noqa: E402
from selenium.webdriver.common.by import By  # noqa: E402
from selenium.webdriver.common.keys import Keys  # noqa: E402

import pylentrasdk as lx  # noqa: E402
from sanitizer import unsanitized_environment  # noqa: E402
from viewer_process import ViewerProcess  # noqa: E402

CHROMIUM, CHROMEDRIVER = "/usr/bin/chromium", "/usr/bin/chromedriver"
KAVL, KAVN, WEBCAM = 0, 1, 2
DOCS = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "docs")

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
def viewer():
    process = ViewerProcess()
    yield process
    process.stop()


@pytest.fixture
def page(browser, viewer):
    """The viewer's page, freshly loaded, with its tiles; streams it started stop after."""
    browser.get(viewer.url)
    wait_for(lambda: len(browser.find_elements(By.CSS_SELECTOR, "section.tile")) == 3)
    yield browser
    browser.get("about:blank")  # leaves the page: its streams end
    viewer.sim("clear_faults")


def wait_for(condition, timeout=10.0):
    deadline = time.monotonic() + timeout
    while True:
        value = condition()
        if value:
            return value
        assert time.monotonic() < deadline, "not within {} s".format(timeout)
        time.sleep(0.1)


def tile(driver, index):
    return driver.find_element(By.ID, "camera-{}".format(index))


def start(driver, index, format_text=None):
    section = tile(driver, index)
    if format_text:
        select = section.find_element(By.CSS_SELECTOR, "select.format")
        select.find_element(By.XPATH, "option[contains(., '{}')]".format(format_text)).click()
    section.find_element(By.CSS_SELECTOR, "button.start").click()
    picture = section.find_element(By.CSS_SELECTOR, "img.picture")
    wait_for(lambda: picture.get_property("naturalWidth") > 0)
    return picture


def shot(element):
    return numpy.asarray(Image.open(io.BytesIO(element.screenshot_as_png)).convert("RGB"))


def playing(viewer, index):
    frames = viewer.json("/api/cameras/%d/status" % index)["frames"]
    return wait_for(lambda: viewer.json("/api/cameras/%d/status" % index)["frames"] > frames + 3)


def test_the_page_lists_the_cameras_and_a_started_picture_moves(page, viewer):
    names = [e.text for e in page.find_elements(By.CSS_SELECTOR, "section.tile h2")]
    assert names == [c["name"] for c in viewer.json("/api/cameras")]
    assert "token" not in page.current_url  # the address bar keeps no token
    picture = start(page, WEBCAM)
    first = shot(picture)
    # The frame stamp and the moving square change from frame to frame.
    wait_for(lambda: not numpy.array_equal(shot(picture), first))
    status = viewer.json("/api/cameras/2/status")
    assert status["streaming"] and status["viewers"] == 1 and status["error"] is None
    wait_for(lambda: "fps" in tile(page, WEBCAM).find_element(By.CLASS_NAME, "fps").text
             and not tile(page, WEBCAM).find_element(By.CLASS_NAME, "fps").text.startswith("-"))


def test_the_brightness_slider_brightens_the_picture_and_the_camera_keeps_it(page, viewer):
    picture = start(page, KAVN)
    before = shot(picture).mean()
    section = tile(page, KAVN)
    section.find_element(By.CSS_SELECTOR, "details.controls summary").click()
    slider = wait_for(lambda: section.find_elements(
        By.CSS_SELECTOR, "tr[data-control='brightness'] input"))[0]
    try:
        slider.send_keys(Keys.END)  # the range's maximum, as a user drags it to the end
        top = int(slider.get_attribute("max"))
        wait_for(lambda: next(c for c in viewer.json("/api/cameras/1/controls")
                              if c["name"] == "brightness")["value"] == top)
        wait_for(lambda: shot(picture).mean() > before + 20)
    finally:
        viewer.request("PUT", "/api/cameras/1/controls/brightness", {"value": 128})


def test_the_snapshot_button_downloads_the_full_frame_as_png(page, viewer, downloads):
    section = tile(page, WEBCAM)
    section.find_element(By.XPATH, ".//option[contains(., '1280 x 720 YUY2')]").click()
    section.find_element(By.CSS_SELECTOR, "a.snapshot").click()
    path = downloads / "camera2-format1.png"
    wait_for(lambda: path.exists() and path.stat().st_size > 0)
    with Image.open(str(path)) as png:
        assert (png.format, png.size) == ("PNG", (1280, 720))


def test_the_imu_plots_appear_for_the_imu_camera_only(page):
    shown = [tile(page, i).find_element(By.CSS_SELECTOR, "details.imu").is_displayed()
             for i in (KAVL, KAVN, WEBCAM)]
    assert shown == [False, True, False]
    canvas = tile(page, KAVN).find_element(By.CSS_SELECTOR, "canvas.acc")
    # Three coloured traces get drawn over the dark background.
    wait_for(lambda: (shot(canvas).max(axis=2) > 150).sum() > 100)
    temperature = tile(page, KAVN).find_element(By.CLASS_NAME, "temperature")
    wait_for(lambda: temperature.text not in ("", "-"))


def test_a_capture_fault_shows_on_its_tile_while_the_other_camera_plays(page, viewer):
    start(page, KAVN)
    start(page, WEBCAM)
    viewer.sim("inject", "LxGetImage", result=int(lx.LX_CAPTURE_RESULT.LX_BUFFER_CORRUPTED))
    failed = wait_for(lambda: [i for i in (KAVN, WEBCAM) if tile(page, i).find_element(
        By.CLASS_NAME, "error").is_displayed()])
    assert len(failed) == 1
    assert tile(page, failed[0]).find_element(By.CLASS_NAME, "error").text == \
        "LX_BUFFER_CORRUPTED"
    other = WEBCAM if failed == [KAVN] else KAVN
    playing(viewer, other)
    assert viewer.json("/api/cameras/%d/status" % failed[0])["streaming"] is False


def test_tabs_share_one_capture_and_the_last_one_leaving_closes_the_camera(page, viewer):
    started = viewer.sim("call_count", "LxStartStreaming")
    start(page, KAVN)
    first = page.current_window_handle
    page.switch_to.new_window("tab")
    page.get(viewer.url)
    wait_for(lambda: page.find_elements(By.ID, "camera-1"))
    start(page, KAVN)
    assert viewer.json("/api/cameras/1/status")["viewers"] == 2
    assert viewer.sim("call_count", "LxStartStreaming") == started + 1
    assert viewer.sim("state", KAVN) == {"open": True, "mode": "WORK"}
    page.close()
    page.switch_to.window(first)
    wait_for(lambda: viewer.json("/api/cameras/1/status")["viewers"] == 1)
    assert viewer.sim("state", KAVN) == {"open": True, "mode": "WORK"}
    page.get("about:blank")  # the last viewer leaves
    wait_for(lambda: not viewer.sim("state", KAVN)["open"])
    assert viewer.json("/api/cameras/1/status")["streaming"] is False


def test_every_camera_plays_side_by_side(page, viewer, tmp_path):
    """Also makes docs/viewer.png when UPDATE_SCREENSHOT=1 is set."""
    for index in (KAVL, KAVN, WEBCAM):
        start(page, index)
    tops = {tile(page, i).rect["y"] for i in (KAVL, KAVN, WEBCAM)}
    assert len(tops) == 1  # one row
    if os.environ.get("UPDATE_SCREENSHOT") == "1":
        tile(page, KAVN).find_element(By.CSS_SELECTOR, "details.controls summary").click()
        time.sleep(5.5)  # the IMU plots fill their five seconds
        page.save_screenshot(os.path.join(DOCS, "viewer.png"))
