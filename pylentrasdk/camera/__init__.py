"""The camera layer: ``Camera``, the one core that lxctl, the viewer and the pytest plugin use.

    camera.py       Camera: lifetime, identity, formats, frames (one stream kept running)
    discovery.py    CameraInfo and cameras(): what is attached, without opening anything
    link.py         Link: the open camera that the parts below are written against
    streaming.py    the camera's running stream, and CameraStream, its iterator
    controls.py     Controls: every control by name, checked before the camera is asked
    imu.py          Imu: the inertial measurement unit
    settings.py     Settings: the format and controls as a YAML file

``Format`` (pylentrasdk.formats) is the value type of a stream format, shared with the stream
module, whose frames carry one in their metadata. See docs/camera.md.
"""

from __future__ import annotations

from ..formats import Format, FormatLike
from .camera import Camera
from .controls import ControlChange, ControlInfo, Controls, ControlValue
from .discovery import CameraInfo, cameras
from .imu import Imu, ImuReading, ImuVector
from .settings import Settings
from .streaming import CameraStream

__all__ = ["Camera", "CameraInfo", "cameras", "Format", "FormatLike", "Controls", "ControlInfo",
           "ControlChange", "ControlValue", "CameraStream", "Imu", "ImuVector", "ImuReading",
           "Settings"]
