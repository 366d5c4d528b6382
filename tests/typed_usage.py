"""Code a user writes against the package's types. tests/test_stubs.py type-checks it with mypy
(it is never run): the assignments below only pass if the stubs give every result its real type."""
from typing import List, Optional, Tuple, Union

import numpy
import numpy.typing

import pylentrasdk as lx
from pylentrasdk import frames, sim
from pylentrasdk.stream import FrameStream

cam: Optional[lx.LxCamera] = lx.LxInitialCameraDevice(0)
opened: int = lx.LxOpen(cam)
discovered: Tuple[int, lx.LxStringList] = lx.LxDiscoverCameraDevices()
first_name: str = discovered[1][0]
status, formats = lx.LxGetFormatList(cam)
fmt: lx.LxFormat = formats[0]
pixel_format: lx.LX_IMAGE_FORMAT = fmt.format
width: int = fmt.width
result, frame = lx.LxGetImage(cam, 3000, fmt)
captured: lx.LX_CAPTURE_RESULT = result
pixels: numpy.typing.NDArray[numpy.uint8] = frame
rgb: numpy.typing.NDArray[numpy.uint8] = frames.to_rgb(frame, fmt)
size: Optional[int] = frames.frame_size(fmt)
status, value, read_only = lx.LxGetISPImageProcessing(cam, lx.ISP_IMAGE_BRIGHTNESS)
status, low, high, step, default = lx.LxGetISPImageProcessingRange(cam, lx.ISP_IMAGE_BRIGHTNESS)
status, acc = lx.LxGetIMUAccData(cam, lx.LX_IMU_SELF_TEST_MODE.NORMAL)
acceleration: numpy.typing.NDArray[numpy.float32] = acc
status, path, header = lx.LxGetBootdataHeaderV3FromFile("boot.bin")
if header is not None:
    product: str = header.productName
upgrade: lx.LX_UPGRADE_RESULT = lx.LxUpgradeSensorFW(cam, "fw.bin", lambda percent: None)
route: Optional[lx.LxRoute] = lx.LxLoadRouteYaml("route.yaml")
named: lx.LxStatus = lx.LxStatus(opened)
text: str = lx.status_name(opened)
number: Optional[int] = sim.read_frame_number(frame, fmt)
links: list = sim.active_routes()
assert cam is not None  # a stream needs a camera, not the empty handle
with FrameStream(cam, fmt) as stream:
    for item in stream:
        seconds: float = item.timestamp
        shaped = item.array  # uint8, or uint16 for RGB16: every conversion takes it
        picture: numpy.typing.NDArray[numpy.uint8] = frames.to_rgb(shaped, item.format, out=rgb)
        luma: numpy.typing.NDArray[numpy.uint8] = item.to_gray()
        bgr: numpy.typing.NDArray[numpy.uint8] = frames.to_bgr(item)
        jpeg: bytes = frames.to_jpeg(item, quality=90)
with lx.Camera(0) as camera:
    captured_frame: "lx.stream.Frame" = camera.capture(timeout=3.0)
    shown: Optional[lx.Format] = camera.format
    camera.format = "1280x720:YUY2@30"
    level: int = camera.controls["brightness"]
    camera.controls["flip_mode"] = "H-Mirror"
    largest: int = camera.controls.info("brightness").max
    listed: list = camera.formats
    tilt: float = camera.imu.acceleration.z
    with camera.stream(buffers=4) as frames_of_camera:
        number_of_frame: int = next(frames_of_camera).number
try:
    lx.Camera("no such camera")
except lx.LentraError as error:
    failed_function: Optional[str] = error.function

# The values of the pytest plugin's fixtures and its helpers (pylentrasdk.testing).
from pylentrasdk.testing import FaultInjector, LentraRig, expected_frame, frame_number  # noqa: E402

user_rig = LentraRig()                       # in a test: the lentra_rig fixture
opened_cam: lx.LxCamera = user_rig.open("KAVL")
rig_names: List[str] = user_rig.cameras
with FaultInjector()("LxGetImage", result="LX_BUFFER_CORRUPTED", count=2):
    pass
stamped: int = frame_number(frame, fmt)
expected: numpy.typing.NDArray[numpy.uint8] = expected_frame(fmt, stamped, opened_cam)
lentra_cam = lx.Camera(0)                    # in a test: the lentra_cam fixture
read = lentra_cam.read()
as_read: numpy.typing.NDArray[Union[numpy.uint8, numpy.uint16]] = expected_frame(
    read, camera=lentra_cam)
flat: numpy.typing.NDArray[numpy.uint8] = expected_frame(lentra_cam.format, frame_number(read))
