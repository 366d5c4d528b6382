"""LxGetImage: buffer sizing, the frame array, and every failure shape."""
import os
import subprocess
import sys

import numpy as np
import pytest

import pylentrasdk as lx
from conftest import formats_of, made_formats
from sanitizer import measures_memory
from pylentrasdk import sim

F = lx.LX_IMAGE_FORMAT
BYTES_PER_PIXEL = {
    F.LX_IMAGE_FORMAT_YUY2: 2, F.LX_IMAGE_FORMAT_UYVY: 2, F.LX_IMAGE_FORMAT_RGB16: 2,
    F.LX_IMAGE_FORMAT_NV12: 1.5, F.LX_IMAGE_FORMAT_BGR: 3, F.LX_IMAGE_FORMAT_RGB: 3,
    F.LX_IMAGE_FORMAT_BGRA: 4, F.LX_IMAGE_FORMAT_BGRX: 4,
}


def start(cam, fmt):
    assert lx.LxSetFormat(cam, fmt) == 0
    assert lx.LxStartStreaming(cam) == 0
    sim.set_pacing("free-run")


def assert_owned_flat_bytes(frame, n):
    assert frame.dtype == np.uint8 and frame.shape == (n,)
    assert frame.flags.c_contiguous and frame.flags.writeable
    # The frame's memory is its own: no other array (nor the SDK) shares it.
    assert frame.base is None or frame.base.base is None


class TestFrames:
    def test_byte_count_per_format_and_size(self, any_camera):
        # The smallest and largest size of every pixel format the camera offers.
        by_format = {}
        for f in formats_of(any_camera):
            by_format.setdefault(f.format, []).append(f)
        for fmts in by_format.values():
            for fmt in {min(fmts, key=lambda f: f.width), max(fmts, key=lambda f: f.width)}:
                start(any_camera, fmt)
                result, frame = lx.LxGetImage(any_camera, 3000, fmt)
                assert result == lx.LX_SUCCESS, fmt.format
                if fmt.format == F.LX_IMAGE_FORMAT_MJPG:
                    assert frame.size > 0 and frame[:2].tolist() == [0xFF, 0xD8]
                    assert frame.size <= fmt.width * fmt.height * 3
                    # A kept JPEG holds only its own bytes, not the raw-sized capture buffer.
                    assert frame.flags.owndata and frame.nbytes == frame.size
                else:
                    n = int(fmt.width * fmt.height * BYTES_PER_PIXEL[fmt.format])
                    assert_owned_flat_bytes(frame, n)
                assert lx.LxStopStreaming(any_camera) == 0

    def test_consecutive_frames_are_distinct_arrays_with_increasing_numbers(self, kavl_camera):
        fmt = formats_of(kavl_camera, F.LX_IMAGE_FORMAT_YUY2)[0]
        start(kavl_camera, fmt)
        (r1, first), (r2, second) = (lx.LxGetImage(kavl_camera, 3000, fmt) for _ in range(2))
        assert r1 == r2 == lx.LX_SUCCESS
        assert not np.shares_memory(first, second)
        n = sim.read_frame_number(first, fmt)
        assert n is not None and sim.read_frame_number(second, fmt) == n + 1

    def test_result_is_never_the_int_zero(self, kavl_camera):
        fmt = formats_of(kavl_camera)[0]
        start(kavl_camera, fmt)
        result, _ = lx.LxGetImage(kavl_camera, 3000, fmt)
        assert result == lx.LX_SUCCESS and result != 0 and result.value == 0


class TestFailures:
    @pytest.mark.parametrize(
        "result", [lx.LX_TIMEOUT, lx.LX_CAM_OCCUPIED, lx.LX_BUFFER_CORRUPTED, lx.LX_OTHER_ERROR])
    def test_failed_capture_gives_an_empty_array(self, result, kavl_camera):
        fmt = formats_of(kavl_camera)[0]
        sim.inject("LxGetImage", result=result, size=1000)
        got, frame = lx.LxGetImage(kavl_camera, 3000, fmt)
        assert got == result and type(got) is lx.LX_CAPTURE_RESULT
        assert_owned_flat_bytes(frame, 0)

    def test_not_streaming_is_a_result_not_an_exception(self, kavl_camera):
        result, frame = lx.LxGetImage(kavl_camera, 10, formats_of(kavl_camera)[0])
        assert result != lx.LX_SUCCESS and frame.shape == (0,)

    def test_none_camera(self, kavl_camera):
        result, frame = lx.LxGetImage(None, 10, formats_of(kavl_camera)[0])
        assert result != lx.LX_SUCCESS and frame.shape == (0,)

    def test_format_smaller_than_the_stream(self, kavl_camera):
        yuy2 = sorted(formats_of(kavl_camera, F.LX_IMAGE_FORMAT_YUY2), key=lambda f: f.width)
        small, large = yuy2[0], yuy2[-1]
        assert small.width * small.height < large.width * large.height
        start(kavl_camera, large)
        result, frame = lx.LxGetImage(kavl_camera, 3000, small)
        assert result == lx.LX_BUFFER_CORRUPTED and frame.shape == (0,)

    @pytest.mark.parametrize("timeout", [65536, -1, 1.5, "3000", None])
    def test_timeout_is_16_bit_unsigned(self, timeout, kavl_camera):
        before = sim.call_count("LxGetImage")
        with pytest.raises(TypeError):
            lx.LxGetImage(kavl_camera, timeout, formats_of(kavl_camera)[0])
        assert sim.call_count("LxGetImage") == before

    def test_format_must_be_an_lxformat(self, kavl_camera):
        with pytest.raises(TypeError):
            lx.LxGetImage(kavl_camera, 100, lx.LX_IMAGE_FORMAT_YUY2)


class TestCapacity:
    """The buffer is sized from the format; a received size is never trusted past it."""

    @pytest.mark.parametrize(
        "width, height, pixel_format, capacity",
        [
            (1920, 1080, F.LX_IMAGE_FORMAT_YUY2, 6220800),
            (1920, 1080, F.LX_IMAGE_FORMAT_BGRA, 8294400),
            (1920, 1080, F.LX_IMAGE_FORMAT_BGRX, 8294400),
            (640, 480, F.LX_IMAGE_FORMAT_MJPG, 921600),
            (640, 480, F.LX_IMAGE_FORMAT_NONE, 921600),
            (1, 1, F.LX_IMAGE_FORMAT_NV12, 3),
        ],
    )
    def test_reported_size_is_clamped_to_the_capacity(self, width, height, pixel_format, capacity):
        (fmt,) = made_formats((width, height, pixel_format))
        sim.inject("LxGetImage", result=lx.LX_SUCCESS, size=capacity + 1)
        result, frame = lx.LxGetImage(None, 100, fmt)
        assert result == lx.LX_SUCCESS
        assert_owned_flat_bytes(frame, capacity)
        assert not frame.any()  # zero-filled, and the SDK wrote nothing

    @pytest.mark.parametrize("size, kept", [(-1, 0), (-2**31, 0), (0, 0), (100, 100)])
    def test_reported_size_within_or_below(self, size, kept):
        (fmt,) = made_formats((640, 480, F.LX_IMAGE_FORMAT_YUY2))
        sim.inject("LxGetImage", result=lx.LX_SUCCESS, size=size)
        result, frame = lx.LxGetImage(None, 100, fmt)
        assert result == lx.LX_SUCCESS
        assert_owned_flat_bytes(frame, kept)
        assert not frame.any()

    @pytest.mark.parametrize(
        "width, height, pixel_format",
        [
            (65535, 65535, F.LX_IMAGE_FORMAT_BGRA),  # about 1.7e10 bytes: more than an int holds
            (32768, 32768, F.LX_IMAGE_FORMAT_YUY2),
            (0, 480, F.LX_IMAGE_FORMAT_YUY2),  # no buffer at all
        ],
    )
    def test_unusable_capacity_is_refused_without_calling_the_sdk(self, width, height, pixel_format):
        (fmt,) = made_formats((width, height, pixel_format))
        before = sim.call_count("LxGetImage")
        result, frame = lx.LxGetImage(None, 100, fmt)
        assert result == lx.LX_OTHER_ERROR
        assert_owned_flat_bytes(frame, 0)
        assert sim.call_count("LxGetImage") == before

    def test_largest_capacity_that_fits_an_int(self):
        # 46340 x 46340 BGRA does not fit; 23170 x 23170 x 4 = 2147395600 does. Ask for a
        # tiny received size so the test does not need the memory.
        (fmt,) = made_formats((23170, 23170, F.LX_IMAGE_FORMAT_BGRA))
        sim.inject("LxGetImage", result=lx.LX_SUCCESS, size=7)
        result, frame = lx.LxGetImage(None, 100, fmt)
        assert result == lx.LX_SUCCESS and frame.shape == (7,)


KEEP_EIGHT_FRAMES = """
import os
import pylentrasdk as lx
from pylentrasdk import sim

def resident():
    with open("/proc/self/statm") as f:
        return int(f.read().split()[1]) * os.sysconf("SC_PAGE_SIZE")

cam = lx.LxInitialCameraDevice(0)
lx.LxOpen(cam)
_, formats = lx.LxGetFormatList(cam)
fmt = next(f for f in formats
           if f.format == lx.LX_IMAGE_FORMAT.LX_IMAGE_FORMAT_NV12 and f.width == 3840)
lx.LxSetFormat(cam, fmt)
lx.LxStartStreaming(cam)
sim.set_pacing("free-run")
lx.LxGetImage(cam, 3000, fmt)
before = resident()
kept = [lx.LxGetImage(cam, 3000, fmt)[1] for _ in range(8)]
print(resident() - before, kept[0].nbytes, fmt.width * fmt.height * 3)
"""


@pytest.mark.skipif(not os.path.exists("/proc/self/statm"), reason="reads Linux's /proc")
@measures_memory
def test_kept_frames_hold_their_own_bytes_not_the_capacity():
    # In a process of its own, so that memory other tests freed cannot hide the growth: eight
    # kept 3840x2160 NV12 frames (12.4 MB each) in buffers of 24.9 MB capacity.
    # Run from the tests folder: the source folder's package is not the installed one.
    out = subprocess.run([sys.executable, "-c", KEEP_EIGHT_FRAMES], check=True,
                         capture_output=True, text=True,
                         cwd=os.path.dirname(os.path.abspath(__file__))).stdout.split()
    grown, frame, capacity = (int(v) for v in out)
    assert frame == 3840 * 2160 * 3 // 2
    assert grown < 8 * frame + 2 * capacity  # holding the capacity would be 8 * capacity
