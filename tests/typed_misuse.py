"""Mistakes the stubs let mypy catch. tests/test_stubs.py expects one error on every line that
ends in "# error" and none elsewhere (it is never run)."""
import pylentrasdk as lx
from pylentrasdk import frames, sim

cam = lx.LxInitialCameraDevice(0)
name: int = lx.LxGetDeviceName(cam)[1]  # error
result, frame = lx.LxGetImage(cam, 3000)  # error
status, formats = lx.LxGetFormatList(cam)
rate: str = formats[0].framerate  # error
frames.to_png(frame, formats[0])  # error
status, value = lx.LxGetISPImageProcessing(cam, lx.ISP_IMAGE_BRIGHTNESS)  # error
lx.LxSetISPImageProcessing(cam, lx.UVC_IMAGE_BRIGHTNESS, 10)  # error
print(lx.LxOpen(cam).name)  # error
jpeg: str = frames.to_jpeg(frame, formats[0])  # error
frames.to_rgb(frame, formats[0], out=[1, 2, 3])  # error
camera = lx.Camera(0)
camera.capture().number.upper()  # error
level: str = camera.controls["brightness"]  # error
camera.format = 3  # error
stamp: int = sim.read_frame_number(frame, formats[0])  # error

from pylentrasdk.testing import FaultInjector, LentraRig, expected_frame  # noqa: E402


def test_capture(lentra_rig: LentraRig, lentra_inject: FaultInjector) -> None:
    lentra_rig.open(0.5)  # error
    lentra_inject("LxGetImage", reslt="LX_TIMEOUT")  # error
    expected_frame(formats[0].format, 0)  # error
    expected_frame(camera.capture(), 0)  # error
