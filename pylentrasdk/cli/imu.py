"""lxctl imu: one reading of the camera's IMU."""

from __future__ import annotations

import argparse
from typing import Any

from ..errors import NotSupportedError
from .common import Refused, Shown, camera_errors, opened


def add_imu_arguments(parser: argparse.ArgumentParser) -> None:
    parser.add_argument("--orientation", action="store_true",
                        help="also switch the IMU to its ISPU mode (until the camera is closed, "
                             "at the end of the command) and read the orientation it computes")


def run_imu(args: argparse.Namespace) -> Shown:
    with opened(args.device) as camera:
        try:
            imu = camera.imu
        except NotSupportedError:
            raise Refused("camera {} has no IMU".format(args.device)) from None
        with camera_errors():
            reading: dict[str, Any] = {
                "accelerometer": list(imu.acceleration),
                "gyroscope": list(imu.angular_rate),
                "temperature": imu.temperature,
                # Read before a mode is enabled, which restarts the IMU's clock.
                "sensor_time": imu.sensor_time,
            }
            if args.orientation:
                reading["orientation"] = imu.orientation()._asdict()
    lines = ["{:<22} {:>10.4f} {:>10.4f} {:>10.4f}".format(label, *reading[key])
             for key, label in (("accelerometer", "Accelerometer (m/s^2):"),
                                ("gyroscope", "Gyroscope (deg/s):"))]
    lines.append("{:<22} {:>10.2f}".format("Temperature (degC):", reading["temperature"]))
    lines.append("{:<22} {:>10.6f}".format("Sensor time (s):", reading["sensor_time"]))
    if args.orientation:
        angles = reading["orientation"]
        lines.append("{:<22} {:>10.2f} {:>10.2f} {:>10.2f}  (yaw, pitch, roll)".format(
            "Orientation (deg):", angles["yaw"], angles["pitch"], angles["roll"]))
        lines.append("{:<22} {:>10.4f} {:>10.4f} {:>10.4f} {:>10.4f}  (x, y, z, w)".format(
            "Quaternion:", angles["x"], angles["y"], angles["z"], angles["w"]))
    return Shown(reading, lines)
