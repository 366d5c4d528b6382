"""Captured frames are the documented test pattern, byte for byte, in every pixel format; their
frame numbers read back; the image controls change them as documented."""
import io

import numpy as np
import pytest
from PIL import Image

import pylentrasdk as lx
from pylentrasdk import sim

import pattern_reference as ref
from conftest import formats_of

MJPG = lx.LX_IMAGE_FORMAT.LX_IMAGE_FORMAT_MJPG


def name_of(fmt):
    return fmt.format.name.replace("LX_IMAGE_FORMAT_", "")


def capture(cam, fmt, count=1):
    """`count` frames of format `fmt`, captured as fast as the simulation makes them."""
    assert lx.LxSetFormat(cam, fmt) == 0
    assert lx.LxStartStreaming(cam) == 0
    frames = []
    try:
        with sim.free_run():
            for _ in range(count):
                result, frame = lx.LxGetImage(cam, 3000, fmt)
                assert result == lx.LX_CAPTURE_RESULT.LX_SUCCESS
                frames.append(frame)
    finally:
        lx.LxStopStreaming(cam)
    return frames


def frame_number(frame, fmt):
    number = sim.read_frame_number(frame, fmt)
    assert number is not None, "no readable stamp in a {} {}x{} frame".format(
        name_of(fmt), fmt.width, fmt.height
    )
    return number


def assert_is_pattern(frame, fmt, adjustments=None):
    number = frame_number(frame, fmt)
    expected = ref.expected_frame(name_of(fmt), fmt.width, fmt.height, number, adjustments)
    assert frame.shape == expected.shape
    wrong = np.flatnonzero(frame != expected)
    assert wrong.size == 0, "{} {}x{}: {} bytes differ, first at {}".format(
        name_of(fmt), fmt.width, fmt.height, wrong.size, wrong[:1]
    )


def smallest_and_largest(formats, limit=1920 * 1080):
    """Per pixel format, its smallest size and its largest up to `limit` pixels."""
    chosen = {}
    for fmt in sorted(formats, key=lambda f: f.width * f.height):
        if fmt.width * fmt.height > limit:
            continue
        sizes = chosen.setdefault(name_of(fmt), [])
        if len(sizes) < 2:
            sizes.append(fmt)
        else:
            sizes[1] = fmt
    return [fmt for sizes in chosen.values() for fmt in sizes]


def open_camera(index):
    cam = lx.LxInitialCameraDevice(index)
    assert cam is not None and lx.LxOpen(cam) == 0
    return cam


def load_rig(formats, *control_sets):
    """A rig of one camera per control set, each offering `formats` ((name, width, height))."""
    sim.load(
        {
            "devices": [
                {
                    "name": "pattern camera {}".format(i),
                    "formats": [
                        {"format": f, "width": w, "height": h, "framerate": 30}
                        for f, w, h in formats
                    ],
                    "isp_controls": controls,
                }
                for i, controls in enumerate(control_sets)
            ]
        }
    )
    return [open_camera(i) for i in range(len(control_sets))]


# --- the default rig ------------------------------------------------------------------------


def test_raw_frames_are_the_documented_pattern(any_camera):
    raw = [f for f in formats_of(any_camera) if f.format != MJPG]
    assert raw
    for fmt in smallest_and_largest(raw):
        for frame in capture(any_camera, fmt, count=2):
            assert_is_pattern(frame, fmt)


def test_frame_numbers_advance_in_every_format(any_camera):
    for fmt in formats_of(any_camera):
        numbers = [frame_number(f, fmt) for f in capture(any_camera, fmt, count=3)]
        assert numbers[0] < numbers[1] < numbers[2], (name_of(fmt), numbers)


def test_mjpg_frames_are_jpegs_resembling_the_pattern(kavl_camera):
    for fmt in smallest_and_largest(formats_of(kavl_camera, MJPG), limit=3840 * 2160):
        (frame,) = capture(kavl_camera, fmt)
        image = Image.open(io.BytesIO(frame.tobytes()))
        assert image.format == "JPEG" and image.size == (fmt.width, fmt.height)
        decoded = np.asarray(image.convert("RGB"), dtype=np.int64)
        expected = ref.picture(fmt.width, fmt.height, frame_number(frame, fmt))
        assert np.abs(decoded - expected).mean() < 4


# --- sizes ----------------------------------------------------------------------------------

SMALLEST_STAMPED = [(name, 64, 48) for name in ref.RAW_FORMATS + ("MJPG",)]


def test_stamp_reads_back_from_the_smallest_to_the_largest_frames():
    sizes = SMALLEST_STAMPED + [("YUY2", 66, 50), ("RGB", 40, 40), ("NV12", 7680, 4320)]
    (cam,) = load_rig(sizes, {})
    status, formats = lx.LxGetFormatList(cam)
    assert status == 0 and len(formats) == len(sizes)
    for fmt in formats:
        frames = capture(cam, fmt, count=2)
        numbers = [frame_number(f, fmt) for f in frames]
        assert numbers[0] < numbers[1]
        if fmt.format != MJPG and fmt.width * fmt.height < 10**6:
            assert_is_pattern(frames[0], fmt)


def test_the_square_sits_where_documented_at_odd_heights():
    # Measured from real frames: the square's rows start at the documented even y0 (at 48 x 41
    # row 24, where H - side is 25), and a vertical flip moves them to H - y0 - side.
    sizes = [("RGB", 48, h) for h in range(17, 47, 2)]
    cams = load_rig(sizes, {}, {"ISP_IMAGE_FLIP_MODE": {"min": 0, "max": 3, "default": 2}})
    for cam, flipped in zip(cams, (False, True)):
        for fmt in formats_of(cam):
            (frame,) = capture(cam, fmt)
            picture = frame.reshape(fmt.height, fmt.width, 3)
            rows = np.flatnonzero((picture == ref.ELEMENT).all(axis=2).any(axis=1))
            layout = ref.Layout(fmt.width, fmt.height)
            top = fmt.height - layout.y0 - layout.side if flipped else layout.y0
            assert (rows[0], rows.size) == (top, layout.side), (fmt.height, flipped)


def test_frames_too_small_for_a_stamp_are_still_the_pattern():
    (cam,) = load_rig([("YUY2", 16, 16), ("BGR", 38, 38)], {})
    for fmt in formats_of(cam):
        (frame,) = capture(cam, fmt)
        assert sim.read_frame_number(frame, fmt) is None
        # With no number to read, try every place the moving square can be.
        positions = ref.Layout(fmt.width, fmt.height).positions
        assert any(
            np.array_equal(frame, ref.expected_frame(name_of(fmt), fmt.width, fmt.height, n))
            for n in range(positions)
        )


def test_unreadable_data_has_no_frame_number(kavl_camera):
    fmt = formats_of(kavl_camera, MJPG)[0]
    (jpeg,) = capture(kavl_camera, fmt)
    assert sim.read_frame_number(jpeg, fmt) is not None
    broken = jpeg.copy()
    broken[600::97] ^= 0x5A
    for data in (broken, jpeg[:10], np.zeros(fmt.width * fmt.height * 3, np.uint8)):
        assert sim.read_frame_number(data, fmt) is None
    yuy2 = lx.LX_IMAGE_FORMAT.LX_IMAGE_FORMAT_YUY2
    assert sim.read_frame_number(np.full(640 * 480 * 2, 128, np.uint8), yuy2, 640, 480) is None
    assert sim.read_frame_number(np.zeros(100, np.uint8), yuy2, 640, 480) is None


# --- image controls -------------------------------------------------------------------------


def control(default, value, low=0, high=1000):
    return {"min": low, "max": high, "default": default, "value": value}


def mean(frame):
    return float(np.asarray(frame, dtype=np.int64).mean())


def spread(image):
    """Mean distance from mid-grey."""
    return float(np.abs(image - 128).mean())


def as_rgb(frame, fmt):
    return ref.decode_rgb(frame, "RGB", fmt.width, fmt.height)


# (ISP controls, the adjustments they stand for, a visible effect on an RGB frame against the
# neutral frame). Controls act relative to their defaults (sdk/docs/rig-description.md).
CONTROL_CASES = {
    "brightness": (
        {"ISP_IMAGE_BRIGHTNESS": control(0, 60, -255, 255)},
        {"brightness": 60},
        lambda adjusted, neutral: mean(adjusted) > mean(neutral) + 30,
    ),
    "contrast": (
        {"ISP_IMAGE_CONTRAST": control(100, 180)},
        {"contrast": 180},
        lambda adjusted, neutral: spread(adjusted) > spread(neutral) + 10,
    ),
    "saturation": (
        {"ISP_IMAGE_SATURATION": control(100, 0)},
        {"saturation": 0},
        lambda adjusted, neutral: (adjusted == adjusted[..., :1]).all(),
    ),
    "gamma": (
        {"ISP_IMAGE_GAMMA": control(100, 220)},
        {"gamma": 220},
        lambda adjusted, neutral: mean(adjusted) > mean(neutral) + 10,
    ),
    "flip": (
        {"ISP_IMAGE_FLIP_MODE": control(0, 3, 0, 3)},
        {"flip_horizontal": True, "flip_vertical": True},
        lambda adjusted, neutral: np.array_equal(adjusted[-1], neutral[0][::-1]),
    ),
    "black and white": (
        {"ISP_IMAGE_SPECIAL_EFFECT_MODE": control(0, 1, 0, 4)},
        {"special_effect": 1},
        lambda adjusted, neutral: set(np.unique(adjusted[0])) <= {0, 255},
    ),
    "greyscale": (
        {"ISP_IMAGE_SPECIAL_EFFECT_MODE": control(0, 2, 0, 4)},
        {"special_effect": 2},
        lambda adjusted, neutral: (adjusted == adjusted[..., :1]).all()
        and len(np.unique(adjusted[0])) > 2,
    ),
    "negative": (
        {"ISP_IMAGE_SPECIAL_EFFECT_MODE": control(0, 3, 0, 4)},
        {"special_effect": 3},
        lambda adjusted, neutral: np.array_equal(adjusted[0], 255 - neutral[0]),
    ),
    "sketch": (
        {"ISP_IMAGE_SPECIAL_EFFECT_MODE": control(0, 4, 0, 4)},
        {"special_effect": 4},
        lambda adjusted, neutral: (adjusted[0] >= 170).all() and mean(adjusted) > mean(neutral),
    ),
    "exposure time": (
        {"ISP_IMAGE_EXPOSURE_MODE": control(0, 0, 0, 2),
         "ISP_IMAGE_EXPOSURE_TIME": control(10000, 20000, 1, 33000)},
        {"level": 200},
        lambda adjusted, neutral: mean(adjusted) > mean(neutral) + 30,
    ),
    "gain": (
        {"ISP_IMAGE_EXPOSURE_GAIN": control(4, 2, 1, 64)},
        {"level": 50},
        lambda adjusted, neutral: mean(adjusted) < mean(neutral) - 30,
    ),
    "white balance": (
        {"ISP_IMAGE_WHITEBALANCE_MODE": control(0, 0, 0, 1),
         "ISP_IMAGE_WHITEBALANCE_TEMPERATURE": control(5000, 6500, 2800, 6500)},
        {"warmth": 75},
        lambda adjusted, neutral: mean(adjusted[..., 0]) - mean(adjusted[..., 2])
        > mean(neutral[..., 0]) - mean(neutral[..., 2]) + 40,
    ),
    "zoom": (
        {"ISP_IMAGE_ZOOM": control(100, 200, 100, 800)},
        {"zoom": 200},
        # Twice as large: the middle half of the picture, so the two outer bars on each side
        # are gone and each bar is twice as wide.
        lambda adjusted, neutral: np.array_equal(adjusted[0, 0], neutral[0, 80])
        and np.array_equal(adjusted[0, -1], neutral[0, 239]),
    ),
    "pan and tilt": (
        {"ISP_IMAGE_ZOOM": control(100, 200, 100, 800),
         "ISP_IMAGE_PAN": control(0, 100, -100, 100),
         "ISP_IMAGE_TILT": control(0, -100, -100, 100)},
        {"zoom": 200, "pan": 100, "tilt": -100},
        # The bottom right quarter: the ramp's light end fills the last row.
        lambda adjusted, neutral: np.array_equal(adjusted[-1, -1], neutral[-1, -1])
        and (adjusted[-1, :, 0] >= 127).all(),
    ),
}


@pytest.mark.parametrize("case", sorted(CONTROL_CASES))
def test_image_controls_change_frames_as_documented(case):
    controls, adjustments, visible = CONTROL_CASES[case]
    formats = [(name, 320, 240) for name in ("RGB", "YUY2", "NV12")]
    neutral_cam, cam = load_rig(formats, {}, controls)
    for fmt in formats_of(cam):
        (frame,) = capture(cam, fmt)
        assert_is_pattern(frame, fmt, adjustments)
    rgb = formats_of(cam, lx.LX_IMAGE_FORMAT.LX_IMAGE_FORMAT_RGB)[0]
    (adjusted,) = capture(cam, rgb)
    (neutral,) = capture(neutral_cam, rgb)
    assert visible(as_rgb(adjusted, rgb), as_rgb(neutral, rgb))


def test_saturation_zero_leaves_no_chroma_in_yuv():
    (cam,) = load_rig([("YUY2", 320, 240), ("NV12", 320, 240)], CONTROL_CASES["saturation"][0])
    yuy2, nv12 = formats_of(cam)
    (frame,) = capture(cam, yuy2)
    assert (frame[1::2] == 128).all()
    (frame,) = capture(cam, nv12)
    assert (frame[320 * 240 :] == 128).all()


def test_jpeg_quality_sets_the_mjpg_compression():
    low, high = (
        {"ISP_IMAGE_JPEG_QUALITY": control(85, quality, 1, 100)} for quality in (10, 95)
    )
    low_cam, high_cam = load_rig([("MJPG", 640, 480)], low, high)
    (small,) = capture(low_cam, formats_of(low_cam)[0])
    (large,) = capture(high_cam, formats_of(high_cam)[0])
    assert small.size < 0.75 * large.size
    assert frame_number(small, formats_of(low_cam)[0]) is not None
