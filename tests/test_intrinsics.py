"""Writing and reading a camera's intrinsic calibration: the binding's records, and the camera
layer's Intrinsics."""
import math

import numpy as np
import pytest

import pylentrasdk as lx
from pylentrasdk import sim

RADTAN = lx.LX_DISTORTION_MODEL.LX_DIST_MODEL_RADTAN
FIELDS = ("w", "h", "fx", "fy", "cx", "cy", "model")


def record(**changes):
    k = lx.LxIntrinsics()
    k.w, k.h, k.fx, k.cx, k.model = 1920, 1080, 1000.5, 960.0, RADTAN
    k.coeffs = [-0.1, 0.02, 0.001, -0.002, 0.0]
    for name, value in changes.items():
        setattr(k, name, value)
    return k


def fields(k):
    return tuple(getattr(k, f) for f in FIELDS) + (k.coeffs.tolist(),)


class TestRoundTrip:
    def test_reads_back_what_was_written_and_never_shares_it(self, kavn_camera):
        written = record()
        assert lx.LxWriteIntrinsics(kavn_camera, written) == 0
        written.fx = 1.0
        written.coeffs = [9.0] * 5
        status, read = lx.LxGetIntrinsics(kavn_camera)
        assert status == 0 and fields(read) == fields(record())
        read.w = 7
        assert lx.LxGetIntrinsics(kavn_camera)[1].w == 1920

class TestRefusals:
    @pytest.mark.parametrize("bad", [
        {"w": 0}, {"h": 0}, {"w": -1920}, {"fx": math.nan}, {"cy": math.inf},
        {"coeffs": [0.0, math.nan, 0.0, 0.0, 0.0]}, {"coeffs": [0.0, 0.0, 0.0, 0.0, -math.inf]},
    ])
    def test_impossible_records_store_nothing(self, kavn_camera, bad):
        before = fields(lx.LxGetIntrinsics(kavn_camera)[1])
        assert lx.LxWriteIntrinsics(kavn_camera, record(**bad)) == -5
        assert fields(lx.LxGetIntrinsics(kavn_camera)[1]) == before

    def test_an_all_zero_record_is_refused(self, kavn_camera):
        assert lx.LxWriteIntrinsics(kavn_camera, lx.LxIntrinsics()) == -5

    def test_cameras_that_cannot(self, webcam):
        assert lx.LxWriteIntrinsics(webcam, record()) == -6
        assert lx.LxGetIntrinsics(webcam)[0] == -6
        assert lx.LxWriteIntrinsics(None, record()) == -2
        assert lx.LxGetIntrinsics(lx.LxInitialCameraDevice(1))[0] == -3


class TestCameraIntrinsics:
    """cam.intrinsics: the record in OpenCV's form, scaled to the current format."""

    def test_at_the_calibrated_size_it_is_the_record(self):
        with lx.Camera("KAVL") as cam:  # calibrated at 1920 x 1080
            cam.format = "1920x1080:YUY2"
            k = cam.intrinsics
        assert k.size == k.calibrated_size == (1920, 1080) and k.model == "RADTAN"
        assert k.camera_matrix.dtype == np.float64
        np.testing.assert_array_equal(k.camera_matrix,
                                      [[1400.5, 0, 960], [0, 1401.25, 540], [0, 0, 1]])
        # OpenCV's k1, k2, p1, p2, k3 is the record's order.
        np.testing.assert_array_equal(k.dist_coeffs, np.float32([-0.12, 0.05, 0.001, -0.0005, 0]))

    @pytest.mark.parametrize("camera, text, calibrated", [
        ("KAVL", "640x480:YUY2", (1920, 1080)),   # another aspect ratio: stretched
        ("KAVN", "1920x1080:BGR", (1920, 1200)),  # a calibrated size no format has
        ("KAVN", "640x480:BGR", (1920, 1200)),
    ])
    def test_other_formats_scale_each_axis_about_pixel_centres(self, camera, text, calibrated):
        with lx.Camera(camera) as cam:
            record = lx.LxGetIntrinsics(cam.handle)[1]
            cam.format = text
            k = cam.intrinsics
        fmt = lx.Format.parse(text)
        sx, sy = fmt.width / calibrated[0], fmt.height / calibrated[1]
        assert (k.size, k.calibrated_size) == ((fmt.width, fmt.height), calibrated)
        np.testing.assert_allclose(k.camera_matrix, [
            [record.fx * sx, 0, (record.cx + 0.5) * sx - 0.5],
            [0, record.fy * sy, (record.cy + 0.5) * sy - 0.5], [0, 0, 1]], rtol=1e-12)

    def test_none_when_the_camera_holds_no_calibration(self):
        with lx.Camera("Webcam") as cam:  # cannot hold one
            assert cam.intrinsics is None
        sim.load({"devices": [{"name": "new", "product_type": "KAVN",
                               "formats": [{"format": "RGB", "width": 64, "height": 48}]}]})
        with lx.Camera(0) as cam:  # none written yet
            assert cam.intrinsics is None

    def test_a_record_that_is_no_calibration_is_refused(self):
        with lx.Camera("KAVL") as cam:
            sim.inject("LxGetIntrinsics", status=0, value={"w": 0, "h": 0})
            with pytest.raises(lx.LentraError, match="calibration is not usable: size"):
                _ = cam.intrinsics

    def test_writing_stores_it_at_its_calibrated_size(self):
        with lx.Camera("KAVL") as cam:
            cam.format = "640x480:YUY2"
            before = fields(lx.LxGetIntrinsics(cam.handle)[1])
            cam.intrinsics = cam.intrinsics  # read at 640 x 480, written back at 1920 x 1080
            assert fields(lx.LxGetIntrinsics(cam.handle)[1]) == before
            K = [[900.0, 0, 640.0], [0, 905.0, 360.0], [0, 0, 1]]
            cam.intrinsics = lx.Intrinsics.from_opencv(K, [0.1, -0.2, 0.0, 0.001], (1280, 720))
            written = lx.LxGetIntrinsics(cam.handle)[1]
            assert (written.w, written.h, written.fx, written.cy) == (1280, 720, 900.0, 360.0)
            np.testing.assert_array_equal(written.coeffs, np.float32([0.1, -0.2, 0, 0.001, 0]))
            assert cam.intrinsics.size == (640, 480)

    def test_refusals_keep_what_the_camera_holds(self):
        with lx.Camera("KAVL") as cam:
            before = fields(lx.LxGetIntrinsics(cam.handle)[1])
            with pytest.raises(TypeError, match="Intrinsics"):
                cam.intrinsics = lx.LxGetIntrinsics(cam.handle)[1]
            sim.inject("LxWriteIntrinsics", status=-5)
            with pytest.raises(lx.ControlValueError, match="LxWriteIntrinsics"):
                cam.intrinsics = lx.Intrinsics((64, 48), 50.0, 50.0, 32.0, 24.0)
            assert fields(lx.LxGetIntrinsics(cam.handle)[1]) == before
        with lx.Camera("Webcam") as cam, pytest.raises(lx.NotSupportedError):
            cam.intrinsics = lx.Intrinsics((64, 48), 50.0, 50.0, 32.0, 24.0)


class TestIntrinsicsValues:
    @pytest.mark.parametrize("arguments, error, message", [
        (((64, 48), 0.0, 50.0, 32, 24), ValueError, "focal lengths must be above 0"),
        (((64, 48), 50.0, -1.0, 32, 24), ValueError, "focal lengths must be above 0"),
        (((64, 48), 50.0, 50.0, math.nan, 24), ValueError, "cx must be a finite 32-bit float"),
        (((64, 48), 50.0, 50.0, 32, 1e39), ValueError, "cy must be a finite 32-bit float"),
        (((64, 48), 50.0, 50.0, 32, 24, [0.1] * 4), ValueError, "five numbers"),
        (((64, 48), 50.0, 50.0, 32, 24, [0.1] * 5, "FISHEYE"), ValueError, "model is one of"),
        (((0, 48), 50.0, 50.0, 32, 24), ValueError, "sides are 1 to"),
        (((True, 48), 50.0, 50.0, 32, 24), TypeError, "sides are ints"),
        (((64, 48), "50", 50.0, 32, 24), TypeError, "fx must be a number"),
    ])
    def test_what_no_camera_could_hold_is_refused(self, arguments, error, message):
        with pytest.raises(error, match=message):
            lx.Intrinsics(*arguments)

    def test_from_opencv(self):
        K = np.array([[500.0, 0, 320], [0, 510, 240], [0, 0, 1]])
        k = lx.Intrinsics.from_opencv(K, np.zeros((1, 8)), "640x480:YUY2")
        assert (k.size, k.model, k.coeffs) == ((640, 480), "NONE", (0.0,) * 5)
        np.testing.assert_array_equal(k.camera_matrix, K)
        k = lx.Intrinsics.from_opencv(K, [[-0.2, 0.1, 0.001, 0.002]], (640, 480))
        assert k.model == "RADTAN" and k.coeffs == (-0.2, 0.1, 0.001, 0.002, 0.0)
        skewed = K.copy()
        skewed[0, 1] = 0.5
        with pytest.raises(ValueError, match="no skew"):
            lx.Intrinsics.from_opencv(skewed, [0.0] * 5, (640, 480))
        with pytest.raises(ValueError, match="past k3 must be 0"):
            lx.Intrinsics.from_opencv(K, [0.0] * 5 + [0.3, 0.0, 0.0], (640, 480))

    def test_model_none_distorts_nothing_whatever_its_coefficients(self):
        k = lx.Intrinsics((64, 48), 50.0, 50.0, 32.0, 24.0, [0.1, 0, 0, 0, 0], "NONE")
        assert k.coeffs[0] == 0.1 and not k.dist_coeffs.any()

    def test_repr_shows_what_it_holds(self):
        k = lx.Intrinsics((1920, 1080), 1400.5, 1401.25, 960, 540, [-0.12, 0.05, 0.001, 0, 0])
        assert repr(k.scaled_to((640, 360))) == (
            "<Intrinsics 640x360 calibrated at 1920x1080 fx=466.8333 fy=467.0833 cx=319.6667 "
            "cy=179.6667 RADTAN k1=-0.12 k2=0.05 p1=0.001 p2=0 k3=0>")
