"""The camera layer: ``Camera``, the one core that lxctl, the viewer and the pytest plugin use.

    camera.py       Camera: lifetime, identity, formats, frames (one stream kept running)
    discovery.py    CameraInfo and cameras(): what is attached, without opening anything
    link.py         Link: the open camera that the parts below are written against
    streaming.py    the camera's running stream, and CameraStream, its iterator
    sinks.py        FrameSink: every frame of the stream, for each consumer that needs them all
    recording.py    Recording: the stream into a video file (video_file.py: the file, over PyAV)
    controls.py     Controls: every control by name, checked before the camera is asked
    imu.py          Imu: the inertial measurement unit
    intrinsics.py   Intrinsics: the calibration, in OpenCV's form
    settings.py     Settings: the format and controls as a YAML file
    group.py        CameraGroup: several cameras' frames matched into sets (FrameSet)

``Format`` (pylentrasdk.formats) is the value type of a stream format, shared with the stream
module, whose frames carry one in their metadata. See docs/camera.md.
"""

from __future__ import annotations

from ..formats import Format, FormatLike
from .camera import Camera
from .controls import ControlChange, ControlInfo, Controls, ControlValue
from .discovery import CameraInfo, cameras
from .group import CameraGroup, FrameSet
from .imu import Imu, ImuReading, ImuVector
from .intrinsics import Intrinsics
from .recording import Recording
from .settings import Settings
from .sinks import FrameSink
from .streaming import CameraStream

__all__ = ["Camera", "CameraInfo", "cameras", "Format", "FormatLike", "Controls", "ControlInfo",
           "ControlChange", "ControlValue", "CameraStream", "Imu", "ImuVector", "ImuReading",
           "Intrinsics", "Settings", "FrameSink", "Recording", "CameraGroup", "FrameSet"]
