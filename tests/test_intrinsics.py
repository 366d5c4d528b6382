"""Writing and reading a camera's intrinsic calibration."""
import math

import pytest

import pylentrasdk as lx

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
