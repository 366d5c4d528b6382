"""The simulated lens: frames drawn through a camera's calibration, and undistorted with it.

A frame of a camera described with "lens_distortion" is undistorted with OpenCV and the camera's
own intrinsics (cam.intrinsics, scaled to the format) and compared with the straight pattern:

- where: away from the frame's edges (a sixteenth of the width) and the stamp (drawn undistorted,
  so undistorting moves it), and only where the undistorted pixel is taken from inside the frame
  (a pincushion lens spreads the picture past the frame's edges);
- colours: on the pixels whose 5 x 5 neighbourhood in the pattern is smooth (no bar edge, square
  edge or stamp cell within two pixels; a ramp changes by at most a few levels), the undistorted
  frame is within 3 levels of the pattern (two bilinear resamplings and the formats' chroma round
  by one or two);
- geometry: on the rows of the colour bars, each bar edge found in the undistorted frame (to a
  fraction of a pixel, from the share of each colour in a window across it) is within 0.25 pixel
  of the pattern's (0.1 is what the two resamplings leave; a wrong coefficient order or a
  calibration scaled the wrong way puts edges a pixel or more off).
"""
import cv2
import numpy as np
import pytest

import pylentrasdk as lx
from pylentrasdk import sim

import pattern_reference as ref

CALIBRATION = {"width": 1920, "height": 1080, "fx": 1400.5, "fy": 1401.25, "cx": 960.0,
               "cy": 540.0, "model": "RADTAN", "coeffs": [-0.12, 0.05, 0.001, -0.0005, 0.0]}
FORMATS = ("640x480:BGR", "640x480:NV12", "1280x720:YUY2", "320x240:MJPG")
COLOUR_TOLERANCE = 3
EDGE_TOLERANCE = 0.25


def load_rig(formats=FORMATS, **device):
    entries = []
    for text in formats:
        fmt = lx.Format.parse(text)
        entries.append({"format": fmt.fourcc, "width": fmt.width, "height": fmt.height})
    camera = {"name": "Lens camera", "product_type": "KAVN", "interface": "MIPI_CSI2",
              "formats": entries, "lens_distortion": True, "intrinsics": CALIBRATION}
    camera.update(device)
    sim.load({"devices": [{key: value for key, value in camera.items() if value is not None}]})


@pytest.fixture
def lens_camera():
    load_rig()
    with sim.free_run(), lx.Camera(0) as cam:
        yield cam


def stamp_side(width, height):
    return 11 * max(4, 2 * (min(width, height) // 128))


def compared(width, height, calibration=None):
    """The pixels compared: away from the frame's edges and the stamp, and (given the
    calibration the frame is undistorted with) taken from inside the frame."""
    margin = width // 16
    keep = np.zeros((height, width), bool)
    keep[margin:-margin, margin:-margin] = True
    stamp = stamp_side(width, height) + margin
    keep[:stamp, :stamp] = False
    if calibration is not None:
        K = calibration.camera_matrix
        x, y = cv2.initUndistortRectifyMap(K, calibration.dist_coeffs, None, K, (width, height),
                                           cv2.CV_32FC1)
        keep &= (x >= 1) & (x <= width - 2) & (y >= 1) & (y <= height - 2)
    return keep


def smooth_pixels(picture):
    """Pixels whose 5 x 5 neighbourhood varies by at most 4 levels."""
    height, width = picture.shape[:2]
    padded = np.pad(picture.astype(np.int16), ((2, 2), (2, 2), (0, 0)), mode="edge")
    windows = [padded[dy:dy + height, dx:dx + width] for dy in range(5) for dx in range(5)]
    return (np.max(windows, axis=0) - np.min(windows, axis=0)).max(axis=2) <= 4


def bar_edge_errors(picture, keep):
    """For each row of the bar band below the stamp and each of the seven bar edges whose window
    across it is all kept, where the edge lies in `picture` less where the pattern has it, in
    pixels."""
    height, width = picture.shape[:2]
    first, end = stamp_side(width, height) + width // 16, 2 * (height // 3) - 2
    errors = []
    for k in range(1, 8):
        edge = -(-k * width // 8)  # the first column of bar k
        rows = first + np.flatnonzero(keep[first:end, edge - 6:edge + 6].all(axis=1))
        left, right = ref.BARS[k - 1], ref.BARS[k]
        channel = int(np.argmax(np.abs(left - right)))
        window = picture[rows, edge - 6:edge + 6, channel].astype(float)
        share = np.clip((window - right[channel]) / (left[channel] - right[channel]), 0, 1)
        errors.append(share.sum(axis=1) - 6)
    return np.concatenate(errors)


def undistorted(frame, calibration):
    return cv2.undistort(frame.to_rgb(), calibration.camera_matrix, calibration.dist_coeffs)


def assert_straight(picture, number, calibration):
    height, width = picture.shape[:2]
    pattern = ref.picture(width, height, number)
    keep = compared(width, height, calibration)
    worst = np.abs(picture.astype(int) - pattern)[keep & smooth_pixels(pattern)].max()
    assert worst <= COLOUR_TOLERANCE, "a smooth pixel is {} levels off".format(worst)
    edges = bar_edge_errors(picture, keep)
    assert edges.size > height  # most rows of the bars were measured
    worst = np.abs(edges).max()
    assert worst <= EDGE_TOLERANCE, "a bar edge is {:.2f} pixels off".format(worst)


def stamped(frame):
    """The number stamped into the frame. (frame.number is told from the camera's 8-bit counter
    and the time between frames, which free-run pacing makes no measure of: a read delayed on a
    busy machine can count 256 frames too many there.)"""
    number = sim.read_frame_number(frame.array, frame.format)
    assert number is not None, "the stamp is unreadable"
    return number


def frame_past(cam, number):
    """The first frame numbered `number` or more: the square is then away from the left edge."""
    while True:
        frame = cam.read()
        if stamped(frame) >= number:
            return frame


class TestUndistortedFramesAreTheStraightPattern:
    @pytest.mark.parametrize("text", FORMATS)
    def test_every_format(self, lens_camera, text):
        cam = lens_camera
        cam.format = text
        calibration = cam.intrinsics
        fmt = cam.format
        assert calibration.size == (fmt.width, fmt.height)
        for frame in (frame_past(cam, 40), cam.read()):  # the square moves between them
            # The lens is there: the bars of the frame as delivered are bent by pixels.
            bent = bar_edge_errors(frame.to_rgb(), compared(fmt.width, fmt.height))
            assert np.abs(bent).max() > 2
            # The stamp is drawn after the lens, so the frame number reads back as ever.
            number = stamped(frame)
            picture = undistorted(frame, calibration)
            if fmt.fourcc == "MJPG":  # JPEG's loss: compare through the colours only
                pattern = ref.picture(fmt.width, fmt.height, number)
                keep = compared(fmt.width, fmt.height, calibration) & smooth_pixels(pattern)
                assert np.median(np.abs(picture.astype(int) - pattern)[keep]) <= COLOUR_TOLERANCE
            else:
                assert_straight(picture, number, calibration)

    def test_a_written_calibration_is_the_lens_of_the_next_frames(self, lens_camera):
        cam = lens_camera
        cam.format = "640x480:BGR"
        before = cam.intrinsics
        pincushion = lx.Intrinsics((800, 600), 700.0, 690.0, 405.0, 296.0,
                                   [0.15, 0.02, -0.002, 0.001, 0.0])
        cam.intrinsics = pincushion
        after = cam.intrinsics
        expected = pincushion.scaled_to((640, 480))  # the camera keeps 32-bit floats
        np.testing.assert_allclose(after.camera_matrix, expected.camera_matrix, rtol=1e-6)
        np.testing.assert_allclose(after.dist_coeffs, expected.dist_coeffs, rtol=1e-6)
        frame = frame_past(cam, 40)
        assert_straight(undistorted(frame, after), stamped(frame), after)
        with pytest.raises(AssertionError):
            assert_straight(undistorted(frame, before), stamped(frame), before)


@pytest.mark.parametrize("text", ["64x48:RGB", "64x48:NV12"])
def test_frames_with_the_square_in_one_place_are_the_same(text):
    # Each frame redraws only what the square touches, over a background prepared once: the
    # square's place repeats every 25 frames at 64 x 48, and the picture must repeat with it.
    load_rig([text], intrinsics=dict(CALIBRATION, coeffs=[-0.4, 0.1, 0.01, -0.01, 0.0]))
    with sim.free_run(), lx.Camera(0) as cam:
        first = cam.read()  # the first frame after preparing the format
        later = first
        while stamped(later) < stamped(first) + 50 or (stamped(later) - stamped(first)) % 25:
            later = cam.read()
    outside_stamp = np.ones((48, 64), bool)
    outside_stamp[:stamp_side(64, 48), :stamp_side(64, 48)] = False
    np.testing.assert_array_equal(later.to_rgb()[outside_stamp], first.to_rgb()[outside_stamp])


class TestWhenThereIsNoLens:
    @pytest.mark.parametrize("device", [
        {"lens_distortion": None},
        {"lens_distortion": False},
        {"intrinsics": None},
        {"intrinsics": dict(CALIBRATION, model="NONE")},
        {"intrinsics": dict(CALIBRATION, coeffs=[0.0] * 5)},
        {"intrinsics": dict(CALIBRATION, fx=0.0)},
    ], ids=["no key", "off", "no calibration", "model NONE", "no coefficients", "no focal length"])
    def test_frames_are_the_pattern_as_it_is(self, device):
        load_rig(["320x240:RGB"], **device)
        with sim.free_run(), lx.Camera(0) as cam:
            frame = cam.read()
        np.testing.assert_array_equal(frame.to_rgb(), ref.picture(320, 240, stamped(frame)))

    @pytest.mark.parametrize("coeffs, fx", [
        ([-3.0, 5.0, 0.5, -0.5, -8.0], 300.0),          # folds back within the frame
        ([3e38, -3e38, 3e38, -3e38, 3e38], 300.0),      # overflows any arithmetic
        ([0.1, 0.0, 0.0, 0.0, 0.0], 1e-30),             # every point far outside
    ])
    def test_any_written_calibration_gives_whole_frames(self, coeffs, fx):
        load_rig(["64x48:NV12", "64x48:RGB16"])
        with sim.free_run(), lx.Camera(0) as cam:
            cam.intrinsics = lx.Intrinsics((64, 48), fx, fx, 31.5, 23.5, coeffs)
            for text in ("64x48:NV12", "64x48:RGB16"):
                cam.format = text
                assert stamped(cam.read()) >= 0

    def test_only_the_makers_cameras_draw_through_a_lens(self):
        with pytest.raises(lx.sim.SimError, match="lens_distortion: only the maker's cameras"):
            load_rig(product_type="GENERIC")
        with pytest.raises(lx.sim.SimError, match="lens_distortion: must be true or false"):
            load_rig(lens_distortion="yes")
