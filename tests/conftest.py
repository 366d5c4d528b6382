"""Shared fixtures: every test starts on the default simulated rig, and opened cameras of each
kind the default rig offers."""
import pytest

import pylentrasdk as lx
from pylentrasdk import sim


@pytest.fixture(autouse=True)
def fresh_rig():
    """Faults, loaded rigs, pacing and call counts never leak from one test into the next."""
    yield
    sim.reset()


def _open_first(wanted):
    status, names = lx.LxDiscoverCameraDevices()
    assert status == 0
    for index in range(len(names)):
        cam = lx.LxInitialCameraDevice(index)
        assert cam is not None
        if lx.LxOpen(cam) != 0:
            continue  # already opened by another fixture of the same test
        if wanted(cam):
            return cam
        lx.LxClose(cam)
    raise AssertionError("the default rig lacks a camera this test needs")


def _product(kind):
    return lambda cam: lx.LxGetDeviceProductType(cam) == (0, kind)


@pytest.fixture
def kavl_camera():
    """The USB 3 camera of the KAVL family, opened."""
    cam = _open_first(_product(lx.LX_CAMERA_PRODUCT_TYPE.LXCAM_PRODUCT_TYPE_KAVL))
    yield cam
    lx.LxClose(cam)


@pytest.fixture
def kavn_camera():
    """The MIPI CSI-2 camera of the KAVN family, opened."""
    cam = _open_first(_product(lx.LX_CAMERA_PRODUCT_TYPE.LXCAM_PRODUCT_TYPE_KAVN))
    yield cam
    lx.LxClose(cam)


@pytest.fixture
def webcam():
    """The plain UVC webcam that is not one of the maker's cameras, opened."""
    cam = _open_first(lambda cam: lx.LxIsLentraCamera(cam) != 0)
    yield cam
    lx.LxClose(cam)


@pytest.fixture(params=["kavl_camera", "kavn_camera", "webcam"])
def any_camera(request):
    """Each camera of the default rig in turn."""
    return request.getfixturevalue(request.param)


def formats_of(cam, *pixel_formats):
    """The camera's formats that carry frames (optionally only the given pixel formats)."""
    status, formats = lx.LxGetFormatList(cam)
    assert status == 0
    none = lx.LX_IMAGE_FORMAT.LX_IMAGE_FORMAT_NONE
    return [
        f
        for f in formats
        if f.format != none and (not pixel_formats or f.format in pixel_formats)
    ]


def made_formats(*specs):
    """LxFormat records of any size, which Python cannot construct: the SDK hands them back
    from an injected format list. Each spec is (width, height, LX_IMAGE_FORMAT member)."""
    sim.inject(
        "LxGetFormatList",
        value=[
            {"width": w, "height": h, "framerate": 30, "format": int(f), "index": i}
            for i, (w, h, f) in enumerate(specs)
        ],
    )
    status, formats = lx.LxGetFormatList(None)
    assert status == 0 and len(formats) == len(specs)
    return formats
