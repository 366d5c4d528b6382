"""The cameras' image and stream controls, through the binding against the simulated rig."""
import os
import subprocess
import sys
import time

import numpy as np
import pytest

import pylentrasdk as lx
from pylentrasdk import sim

from conftest import formats_of
from sanitizer import measures_memory

ISP = lx.LX_ISP_IMAGE_PROPERTIES
UVC = lx.LX_UVC_IMAGE_PROPERTIES
FLAG = lx.LX_OSP_PROFILE_FLAG
YUY2 = lx.LX_IMAGE_FORMAT.LX_IMAGE_FORMAT_YUY2
MJPG = lx.LX_IMAGE_FORMAT.LX_IMAGE_FORMAT_MJPG
SUCCESS = lx.LX_CAPTURE_RESULT.LX_SUCCESS
INVALID_ARGUMENT, NOT_SUPPORTED, NOT_STREAMING = -5, -6, -7
IO_ERROR, BAD_FILE, READ_ONLY, STREAMING, NOTHING_LOADED = -8, -9, -10, -11, -12
EXAMPLE_PROFILE = os.path.join(os.path.dirname(__file__), "..", "sdk", "profiles",
                               "kavl_yuy2_1080p.yaml")


def isp_members():
    return [m for name, m in ISP.__members__.items() if name != "ISP_IMAGE_PROP_MAX"]


def capture(cam, fmt, count=1):
    assert lx.LxSetFormat(cam, fmt) == 0
    assert lx.LxStartStreaming(cam) == 0
    try:
        frames = []
        for _ in range(count):
            result, frame = lx.LxGetImage(cam, 3000, fmt)
            assert result == SUCCESS
            frames.append(frame)
        return frames
    finally:
        lx.LxStopStreaming(cam)


def smallest(cam, pixel_format):
    return min(formats_of(cam, pixel_format), key=lambda f: f.width * f.height)


def mean_luma_yuy2(frame):
    return float(frame[0::2].mean())


class TestIspProperties:
    def test_every_property_answers_a_reading_or_minus_one_and_zeros(self, any_camera):
        for prop in isp_members():
            status, value, aux = lx.LxGetISPImageProcessing(any_camera, prop)
            limits = lx.LxGetISPImageProcessingRange(any_camera, prop)
            if status == 0:
                assert aux in (0, 1)
                assert limits[0] == 0 and limits[1] <= value <= limits[2]
            else:
                assert (status, value, aux) == (-1, 0, 0)
                assert limits == (-1, 0, 0, 0, 0)

    def test_out_of_range_is_refused_and_changes_nothing(self, kavl_camera):
        status, lo, hi, step, default = lx.LxGetISPImageProcessingRange(
            kavl_camera, ISP.ISP_IMAGE_BRIGHTNESS)
        assert lx.LxSetISPImageProcessing(kavl_camera, ISP.ISP_IMAGE_BRIGHTNESS, hi) == 0
        for wrong in (hi + 1, lo - 1, 2 ** 31 - 1):
            assert lx.LxSetISPImageProcessing(kavl_camera, ISP.ISP_IMAGE_BRIGHTNESS, wrong) \
                == INVALID_ARGUMENT
        assert lx.LxGetISPImageProcessing(kavl_camera, ISP.ISP_IMAGE_BRIGHTNESS) == (0, hi, 0)

    def test_values_between_steps_go_to_the_nearest_step(self, kavl_camera):
        prop = ISP.ISP_IMAGE_WHITEBALANCE_TEMPERATURE  # 2800..6500 in steps of 100
        assert lx.LxGetISPImageProcessingRange(kavl_camera, prop)[1:4] == (2800, 6500, 100)
        for asked, kept in ((4049, 4000), (4050, 4100), (6499, 6500), (2801, 2800)):
            assert lx.LxSetISPImageProcessing(kavl_camera, prop, asked) == 0
            assert lx.LxGetISPImageProcessing(kavl_camera, prop)[1] == kept

    def test_the_nearest_step_is_never_above_the_maximum(self):
        sim.load({"devices": [{"isp_controls": {
            "ISP_IMAGE_SHARPNESS": {"min": 0, "max": 250, "step": 100, "default": 0}}}]})
        cam = lx.LxInitialCameraDevice(0)
        assert lx.LxOpen(cam) == 0
        for asked, kept in ((249, 200), (250, 200), (149, 100), (150, 200)):
            assert lx.LxSetISPImageProcessing(cam, ISP.ISP_IMAGE_SHARPNESS, asked) == 0
            assert lx.LxGetISPImageProcessing(cam, ISP.ISP_IMAGE_SHARPNESS)[1] == kept

    def test_read_only_and_missing_controls_have_their_own_status(self, kavl_camera):
        prop = ISP.ISP_IMAGE_EXPOSURE_MAX_TIME
        before = lx.LxGetISPImageProcessing(kavl_camera, prop)
        assert before[2] == 1
        assert lx.LxSetISPImageProcessing(kavl_camera, prop, 1000) == READ_ONLY
        assert lx.LxGetISPImageProcessing(kavl_camera, prop) == before
        # The KAVL camera has no trigger mode: a MIPI camera's control.
        assert lx.LxSetISPImageProcessing(kavl_camera, ISP.ISP_IMAGE_TRIGGER_MODE, 1) \
            == NOT_SUPPORTED

    def test_defaults_are_restored(self, kavl_camera):
        changed = {}
        for prop in (ISP.ISP_IMAGE_BRIGHTNESS, ISP.ISP_IMAGE_ZOOM, ISP.ISP_EHDR_ATM_MAX):
            status, lo, hi, step, default = lx.LxGetISPImageProcessingRange(kavl_camera, prop)
            assert lx.LxSetISPImageProcessing(kavl_camera, prop, hi) == 0 and hi != default
            changed[prop] = default
        assert lx.LxSetISPImageProcessingDefault(kavl_camera) == 0
        for prop, default in changed.items():
            assert lx.LxGetISPImageProcessing(kavl_camera, prop)[1] == default

    def test_closed_or_empty_camera_is_refused(self, kavl_camera):
        assert lx.LxClose(kavl_camera) == 0
        assert lx.LxSetISPImageProcessing(kavl_camera, ISP.ISP_IMAGE_BRIGHTNESS, 1) == -3
        assert lx.LxGetUVCImageProcessing(None, UVC.UVC_IMAGE_BRIGHTNESS)[0] == -2
        assert lx.LxOpen(kavl_camera) == 0


class TestUvcProperties:
    def test_uvc_and_isp_are_one_value(self, kavl_camera):
        assert lx.LxSetUVCImageProcessing(kavl_camera, UVC.UVC_IMAGE_BRIGHTNESS, 200, 0) == 0
        assert lx.LxGetISPImageProcessing(kavl_camera, ISP.ISP_IMAGE_BRIGHTNESS)[1] == 200
        assert lx.LxSetISPImageProcessing(kavl_camera, ISP.ISP_IMAGE_EXPOSURE_GAIN, 7) == 0
        assert lx.LxGetUVCImageProcessing(kavl_camera, UVC.UVC_IMAGE_GAIN) == (0, 7, 0)
        assert lx.LxGetUVCImageProcessingRange(kavl_camera, UVC.UVC_IMAGE_BRIGHTNESS) == \
            lx.LxGetISPImageProcessingRange(kavl_camera, ISP.ISP_IMAGE_BRIGHTNESS)

    def test_uvc_failures_keep_their_status(self, kavl_camera, webcam):
        assert lx.LxGetUVCImageProcessing(kavl_camera, UVC.UVC_IMAGE_FOCUS)[0] == NOT_SUPPORTED
        assert lx.LxSetUVCImageProcessing(webcam, UVC.UVC_IMAGE_BRIGHTNESS, 65, 0) \
            == INVALID_ARGUMENT
        assert lx.LxSetUVCImageProcessing(webcam, UVC.UVC_IMAGE_BRIGHTNESS, -10, 3) == 0
        assert lx.LxGetUVCImageProcessing(webcam, UVC.UVC_IMAGE_BRIGHTNESS) == (0, -10, 3)
        assert lx.LxGetISPImageProcessing(webcam, ISP.ISP_IMAGE_BRIGHTNESS) == (-1, 0, 0)


class TestFramesFollowControls:
    def test_brightness_moves_the_mean_luma(self, kavl_camera):
        fmt = smallest(kavl_camera, YUY2)
        status, lo, hi, step, default = lx.LxGetISPImageProcessingRange(
            kavl_camera, ISP.ISP_IMAGE_BRIGHTNESS)
        means = []
        for value in (lo, hi):
            assert lx.LxSetISPImageProcessing(kavl_camera, ISP.ISP_IMAGE_BRIGHTNESS, value) == 0
            means.append(mean_luma_yuy2(capture(kavl_camera, fmt)[0]))
        assert means[1] > means[0] + 10

    def test_mjpg_frames_follow_brightness_and_jpeg_quality(self, kavl_camera):
        Image = pytest.importorskip("PIL.Image")
        import io
        fmt = smallest(kavl_camera, MJPG)
        sizes, means = [], []
        for brightness, quality in ((0, 20), (255, 95)):
            lx.LxSetISPImageProcessing(kavl_camera, ISP.ISP_IMAGE_BRIGHTNESS, brightness)
            lx.LxSetISPImageProcessing(kavl_camera, ISP.ISP_IMAGE_JPEG_QUALITY, quality)
            (jpeg,) = capture(kavl_camera, fmt)
            sizes.append(jpeg.size)
            means.append(np.asarray(Image.open(io.BytesIO(jpeg.tobytes())).convert("L")).mean())
            assert sim.read_frame_number(jpeg, fmt) is not None
        assert means[1] > means[0] + 10 and sizes[1] > sizes[0]


class TestExposure:
    def test_manual_mode_reports_the_set_values(self, kavl_camera):
        assert lx.LxSetISPImageProcessing(kavl_camera, ISP.ISP_IMAGE_EXPOSURE_MODE, 0) == 0
        assert lx.LxSetISPImageProcessing(kavl_camera, ISP.ISP_IMAGE_EXPOSURE_TIME, 20000) == 0
        assert lx.LxSetISPImageProcessing(kavl_camera, ISP.ISP_IMAGE_EXPOSURE_GAIN, 3) == 0
        assert lx.LxGetCurrentExposure(kavl_camera) == (0, 20000)
        assert lx.LxGetCurrentGain(kavl_camera) == (0, 3)

    def test_auto_exposure_converges_and_evens_out_the_picture(self, kavl_camera):
        sim.set_pacing("free-run")
        fmt = smallest(kavl_camera, YUY2)
        reference = mean_luma_yuy2(capture(kavl_camera, fmt)[0])
        lx.LxSetISPImageProcessing(kavl_camera, ISP.ISP_IMAGE_EXPOSURE_MODE, 0)
        lx.LxSetISPImageProcessing(kavl_camera, ISP.ISP_IMAGE_EXPOSURE_TIME, 30000)
        bright = mean_luma_yuy2(capture(kavl_camera, fmt)[0])
        assert bright > reference + 30
        lx.LxSetISPImageProcessing(kavl_camera, ISP.ISP_IMAGE_EXPOSURE_GAIN, 2)
        lx.LxSetISPImageProcessing(kavl_camera, ISP.ISP_IMAGE_EXPOSURE_MODE, 1)
        exposures = []
        assert lx.LxStartStreaming(kavl_camera) == 0
        for _ in range(12):
            assert lx.LxGetImage(kavl_camera, 3000, fmt)[0] == SUCCESS
            exposures.append(lx.LxGetCurrentExposure(kavl_camera)[1])
        result, frame = lx.LxGetImage(kavl_camera, 3000, fmt)
        lx.LxStopStreaming(kavl_camera)
        # Twice the gain: half the reference exposure keeps the level, reached in a few frames.
        assert exposures[0] < 30000 and exposures[-1] == 5000
        assert exposures == sorted(exposures, reverse=True)
        assert lx.LxGetCurrentGain(kavl_camera) == (0, 2)
        assert abs(mean_luma_yuy2(frame) - reference) < 2

    def test_the_set_minimum_and_maximum_bound_auto_exposure(self):
        sim.load({"devices": [{
            "formats": [{"format": "YUY2", "width": 64, "height": 48}],
            "isp_controls": {
                "ISP_IMAGE_EXPOSURE_MODE": {"min": 0, "max": 2, "default": 1},
                "ISP_IMAGE_EXPOSURE_TIME": {"min": 1, "max": 33000, "default": 10000},
                "ISP_IMAGE_EXPOSURE_MIN_TIME": {"min": 1, "max": 33000, "default": 1},
                "ISP_IMAGE_EXPOSURE_MAX_TIME": {"min": 1, "max": 33000, "default": 33000},
                "ISP_IMAGE_EXPOSURE_GAIN": {"min": 1, "max": 64, "default": 1},
            }}]})
        sim.set_pacing("free-run")
        cam = lx.LxInitialCameraDevice(0)
        assert lx.LxOpen(cam) == 0
        fmt = formats_of(cam)[0]
        for gain, low, high, settled in ((4, 8000, 33000, 8000), (1, 1, 6000, 6000)):
            lx.LxSetISPImageProcessing(cam, ISP.ISP_IMAGE_EXPOSURE_GAIN, gain)
            lx.LxSetISPImageProcessing(cam, ISP.ISP_IMAGE_EXPOSURE_MIN_TIME, low)
            lx.LxSetISPImageProcessing(cam, ISP.ISP_IMAGE_EXPOSURE_MAX_TIME, high)
            capture(cam, fmt, count=20)
            assert lx.LxGetCurrentExposure(cam) == (0, settled)

    def test_auto_gain_adapts_the_gain(self, kavl_camera):
        sim.set_pacing("free-run")
        lx.LxSetISPImageProcessing(kavl_camera, ISP.ISP_IMAGE_EXPOSURE_TIME, 2500)
        lx.LxSetISPImageProcessing(kavl_camera, ISP.ISP_IMAGE_EXPOSURE_MODE, 2)
        capture(kavl_camera, smallest(kavl_camera, YUY2), count=20)
        assert lx.LxGetCurrentGain(kavl_camera) == (0, 4)
        assert lx.LxGetCurrentExposure(kavl_camera) == (0, 2500)


def frames_per_second(cam, fmt, seconds=1.0):
    assert lx.LxSetFormat(cam, fmt) == 0
    assert lx.LxStartStreaming(cam) == 0
    try:
        assert lx.LxGetImage(cam, 3000, fmt)[0] == SUCCESS
        start, count = time.monotonic(), 0
        while time.monotonic() - start < seconds:
            assert lx.LxGetImage(cam, 3000, fmt)[0] == SUCCESS
            count += 1
        return count / (time.monotonic() - start)
    finally:
        lx.LxStopStreaming(cam)


class TestStreamSettings:
    def test_max_fps_and_throughput_read_back_and_refuse_zero(self, kavl_camera, webcam):
        assert lx.LxSetMaxFPS(kavl_camera, 15) == 0
        assert lx.LxGetMaxFPS(kavl_camera) == (0, 15)
        assert lx.LxSetThroughPut(kavl_camera, 500) == 0
        assert lx.LxGetThroughPut(kavl_camera) == (0, 500)
        assert lx.LxSetMaxFPS(kavl_camera, 0) == INVALID_ARGUMENT
        assert lx.LxSetThroughPut(kavl_camera, 0) == INVALID_ARGUMENT
        assert (lx.LxGetMaxFPS(kavl_camera), lx.LxGetThroughPut(kavl_camera)) == ((0, 15), (0, 500))
        assert lx.LxSetMaxFPS(webcam, 10) == NOT_SUPPORTED

    def test_max_fps_paces_frames(self, kavl_camera):
        fmt = smallest(kavl_camera, YUY2)  # 30 fps
        assert lx.LxSetMaxFPS(kavl_camera, 10) == 0
        rate = frames_per_second(kavl_camera, fmt)
        assert 7 <= rate <= 12

    def test_a_low_throughput_slows_pacing(self, kavl_camera):
        fmt = smallest(kavl_camera, YUY2)  # 640 x 480 x 2 bytes at 30 fps: about 18.4 MB/s
        assert lx.LxSetThroughPut(kavl_camera, 6) == 0  # carries 6 MB/s: about 9.8 frames/s
        rate = frames_per_second(kavl_camera, fmt)
        assert 7 <= rate <= 12


class TestOspProfile:
    def test_flag_saved_survives_close_and_unsaved_does_not(self, kavl_camera):
        assert lx.LxSetOSPProfileFlag(kavl_camera, FLAG.ENABLED_AND_SAVE) == 0
        assert lx.LxGetOSPProfileFlag(kavl_camera) == (0, FLAG.ENABLED_AND_SAVE)
        assert lx.LxClose(kavl_camera) == 0 and lx.LxOpen(kavl_camera) == 0
        assert lx.LxGetOSPProfileFlag(kavl_camera) == (0, FLAG.ENABLED_AND_SAVE)
        assert lx.LxSetOSPProfileFlag(kavl_camera, FLAG.DISABLED) == 0
        assert lx.LxSetOSPProfileFlag(kavl_camera, FLAG.ENABLED) == 0
        assert lx.LxClose(kavl_camera) == 0 and lx.LxOpen(kavl_camera) == 0
        assert lx.LxGetOSPProfileFlag(kavl_camera) == (0, FLAG.DISABLED)

    def test_load_and_activate_the_example_profile(self, kavl_camera):
        assert lx.LxGetOSPProfileConfig(kavl_camera) == (0, "")
        assert lx.LxActivateProfileStreaming(kavl_camera) == NOTHING_LOADED
        assert lx.LxActivateProfileImageProcessing(kavl_camera) == NOTHING_LOADED
        assert lx.LxLoadProfileConfig(kavl_camera, EXAMPLE_PROFILE) == 0
        with open(EXAMPLE_PROFILE, encoding="utf-8") as f:
            assert lx.LxGetOSPProfileConfig(kavl_camera) == (0, f.read())
        assert lx.LxActivateProfileImageProcessing(kavl_camera) == 0
        assert lx.LxGetISPImageProcessing(kavl_camera, ISP.ISP_IMAGE_BRIGHTNESS)[1] == 150
        assert lx.LxActivateProfileStreaming(kavl_camera) == 0
        fmt = [f for f in formats_of(kavl_camera, YUY2) if f.width == 1920][0]
        assert lx.LxStartStreaming(kavl_camera) == 0
        result, frame = lx.LxGetImage(kavl_camera, 3000, fmt)
        lx.LxStopStreaming(kavl_camera)
        assert result == SUCCESS and frame.size == 1920 * 1080 * 2

    GOOD = ("profile: 1\nstreaming: {format: YUY2, width: 640, height: 480, framerate: 30}\n"
            "image_processing:\n  ISP_IMAGE_BRIGHTNESS: 100\n...\n")

    @pytest.mark.parametrize("content, status", [
        (None, IO_ERROR),
        (b"", BAD_FILE),
        (GOOD.encode()[:-5], BAD_FILE),  # cut short: the end marker is missing
        (b"\xff\xfe\x00binary", BAD_FILE),
        # Not UTF-8 either (beyond U+10FFFF, a surrogate, an overlong form): handed back as the
        # profile's text, they would make LxGetOSPProfileConfig raise UnicodeDecodeError.
        (b"# \xf7\x8c\x8b\x8d\n" + GOOD.encode(), BAD_FILE),
        (b"# \xed\xa0\x80\n" + GOOD.encode(), BAD_FILE),
        (b"# \xe0\x80\xaf\n" + GOOD.encode(), BAD_FILE),
        (b"- a\n- list\n...\n", BAD_FILE),
        (GOOD.replace("profile: 1", "profile: 2").encode(), BAD_FILE),
        (GOOD.replace("width: 640", "width: wide").encode(), BAD_FILE),
        (GOOD.replace("BRIGHTNESS", "BRIGHTNES").encode(), BAD_FILE),
        (GOOD.replace("framerate: 30", "framerate: 30, extra: 1").encode(), BAD_FILE),
        (GOOD.replace("width: 640", "width: 800").encode(), INVALID_ARGUMENT),
        (GOOD.replace("BRIGHTNESS: 100", "BRIGHTNESS: 256").encode(), INVALID_ARGUMENT),
        (GOOD.replace("BRIGHTNESS", "EXPOSURE_MAX_TIME").encode(), INVALID_ARGUMENT),
        (GOOD.replace("BRIGHTNESS", "TRIGGER_MODE").encode(), INVALID_ARGUMENT),
        (("profile: 1\n" + GOOD).encode(), BAD_FILE),  # yaml-cpp alone would keep both keys
        (GOOD.replace("image_processing", "streaming: {}\nimage_processing").encode(), BAD_FILE),
        (b"# " + b"x" * (64 * 1024) + b"\n" + GOOD.encode(), IO_ERROR),  # beyond the size cap
    ])
    def test_a_bad_file_keeps_the_previous_profile(self, kavl_camera, tmp_path, content, status):
        good = tmp_path / "good.yaml"
        good.write_text(self.GOOD)
        assert lx.LxLoadProfileConfig(kavl_camera, str(good)) == 0
        bad = tmp_path / "bad.yaml"
        if content is not None:
            bad.write_bytes(content)
        assert lx.LxLoadProfileConfig(kavl_camera, str(bad)) == status
        assert lx.LxGetOSPProfileConfig(kavl_camera) == (0, self.GOOD)

    def test_activation_answers_what_the_camera_refuses(self, kavl_camera, tmp_path):
        good = tmp_path / "good.yaml"
        good.write_text(self.GOOD)  # 640 x 480 YUY2, brightness 100
        assert lx.LxLoadProfileConfig(kavl_camera, str(good)) == 0
        mjpg = smallest(kavl_camera, MJPG)
        assert lx.LxSetFormat(kavl_camera, mjpg) == 0 and lx.LxStartStreaming(kavl_camera) == 0
        try:
            # The format cannot change while the camera streams: refused, and the stream goes on
            # in its own format.
            assert lx.LxActivateProfileStreaming(kavl_camera) == STREAMING
            result, frame = lx.LxGetImage(kavl_camera, 3000, mjpg)
            assert result == SUCCESS and frame[:2].tolist() == [0xFF, 0xD8]
            # Image controls may change while it streams.
            assert lx.LxActivateProfileImageProcessing(kavl_camera) == 0
            assert lx.LxGetISPImageProcessing(kavl_camera, ISP.ISP_IMAGE_BRIGHTNESS) == (0, 100, 0)
        finally:
            lx.LxStopStreaming(kavl_camera)
        assert lx.LxActivateProfileStreaming(kavl_camera) == 0
        lx.LxClose(kavl_camera)
        assert lx.LxActivateProfileStreaming(kavl_camera) == -3  # not open
        assert lx.LxActivateProfileImageProcessing(kavl_camera) == -3

    def test_an_embedded_profile_is_kept_and_activated_like_a_loaded_one(self):
        description = sim.default_description()
        description["devices"][0]["osp_profile"] = {"config": self.GOOD.replace("100", "200")}
        sim.load(description)
        cam = lx.LxInitialCameraDevice(0)
        assert lx.LxOpen(cam) == 0
        assert lx.LxGetOSPProfileConfig(cam) == (0, self.GOOD.replace("100", "200"))
        assert lx.LxActivateProfileImageProcessing(cam) == 0
        assert lx.LxGetISPImageProcessing(cam, ISP.ISP_IMAGE_BRIGHTNESS) == (0, 200, 0)
        assert lx.LxActivateProfileStreaming(cam) == 0
        fmt = smallest(cam, YUY2)
        assert lx.LxStartStreaming(cam) == 0
        result, frame = lx.LxGetImage(cam, 3000, fmt)
        lx.LxStopStreaming(cam)
        assert result == SUCCESS and frame.size == 640 * 480 * 2

    @measures_memory
    @pytest.mark.parametrize("size, status", [(64 * 1024, BAD_FILE), (1024 * 1024, IO_ERROR)])
    def test_memory_stays_near_the_size_of_the_file(self, tmp_path, size, status):
        # A profile of one list of tiny scalars as large as the size cap allows (and the 1 MiB
        # that once took 255 MB): the peak resident size while it is read stays within 8 times
        # the cap plus a fixed 1 MiB. Measured in a fresh process, from the peak reset just
        # before the load (Linux: /proc/self/clear_refs).
        head = "profile: 1\nstreaming: {format: YUY2, width: 640, height: 480, framerate: 30}\n"
        text = head + "image_processing: [" + "0," * ((size - len(head) - 30) // 2) + "0]\n...\n"
        path = tmp_path / "large.yaml"
        path.write_text(text)
        script = (
            "import pylentrasdk as lx\n"
            "def kib(key):\n"
            "    with open('/proc/self/status') as f:\n"
            "        return next(int(l.split()[1]) for l in f if l.startswith(key + ':'))\n"
            "cam = lx.LxInitialCameraDevice(0)\n"
            "assert lx.LxOpen(cam) == 0\n"
            "with open('/proc/self/clear_refs', 'w') as f:\n"
            "    f.write('5')\n"
            "before = kib('VmRSS')\n"
            f"status = lx.LxLoadProfileConfig(cam, {str(path)!r})\n"
            "print(status, kib('VmHWM') - before)\n"
        )
        out = subprocess.run([sys.executable, "-c", script], capture_output=True, text=True,
                             cwd=str(tmp_path), timeout=120, check=True).stdout.split()
        assert int(out[0]) == status
        assert int(out[1]) <= 8 * 64 + 1024, f"peak {out[1]} KiB above the resident size"

    def test_a_folder_is_not_a_profile(self, kavl_camera, tmp_path):
        assert lx.LxLoadProfileConfig(kavl_camera, str(tmp_path)) == IO_ERROR
        assert lx.LxGetOSPProfileConfig(kavl_camera) == (0, "")

    def test_cameras_without_profiles_say_so(self, webcam, tmp_path):
        assert lx.LxGetOSPProfileFlag(webcam)[0] == NOT_SUPPORTED
        assert lx.LxLoadProfileConfig(webcam, EXAMPLE_PROFILE) == NOT_SUPPORTED


class TestTimestampAndCounter:
    def test_counter_wraps_and_resets_while_streaming(self):
        description = sim.default_description()
        description["devices"][0]["frame_count_start"] = 253
        sim.load(description)
        sim.set_pacing("free-run")
        cam = lx.LxInitialCameraDevice(0)
        assert lx.LxOpen(cam) == 0
        fmt = smallest(cam, YUY2)
        assert lx.LxResetFrameCount(cam) == NOT_STREAMING
        assert lx.LxResetTimestamp(cam) == NOT_STREAMING
        assert lx.LxSetFormat(cam, fmt) == 0 and lx.LxStartStreaming(cam) == 0
        counts = []
        for _ in range(4):
            assert lx.LxGetImage(cam, 3000, fmt)[0] == SUCCESS
            counts.append(lx.LxGetFrameCount(cam)[1])
        assert counts == [254, 255, 0, 1]
        assert lx.LxResetFrameCount(cam) == 0
        assert lx.LxGetFrameCount(cam) == (0, 0)
        lx.LxStopStreaming(cam)

    def test_timestamp_is_the_latest_frame_since_start_or_reset(self, kavl_camera):
        fmt = smallest(kavl_camera, YUY2)  # 30 fps, paced in real time
        assert lx.LxSetFormat(kavl_camera, fmt) == 0 and lx.LxStartStreaming(kavl_camera) == 0
        try:
            for _ in range(4):
                assert lx.LxGetImage(kavl_camera, 3000, fmt)[0] == SUCCESS
            status, stamp = lx.LxGetTimestamp(kavl_camera)
            assert status == 0 and stamp >= 0.09
            assert np.float32(stamp) == stamp
            assert lx.LxResetTimestamp(kavl_camera) == 0
            assert lx.LxGetTimestamp(kavl_camera) == (0, 0.0)
            assert lx.LxGetImage(kavl_camera, 3000, fmt)[0] == SUCCESS
            assert 0 < lx.LxGetTimestamp(kavl_camera)[1] < stamp
        finally:
            lx.LxStopStreaming(kavl_camera)
