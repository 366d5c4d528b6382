"""A camera's inertial measurement unit: ``Camera.imu``."""

from __future__ import annotations

import time
from typing import NamedTuple

import numpy

from .. import pyLentraSDK as _binding
from ..errors import LentraError
from .link import Link

__all__ = ["Imu", "ImuVector", "ImuReading", "Orientation", "float32_value"]


class ImuVector(NamedTuple):
    """One IMU vector: acceleration in m/s^2 or angular rate in degrees a second."""

    x: float
    y: float
    z: float


class ImuReading(NamedTuple):
    """The IMU's readings taken together, and when: `sensor_time` on the IMU's clock
    (LxGetIMUSensorTime, seconds) and `host_time` on the host's (time.monotonic(), seconds), both
    read together right after the three readings. The times come last, so the first three fields
    keep their places (by name or index; unpacking takes all five)."""

    acceleration: ImuVector
    angular_rate: ImuVector
    temperature: float
    sensor_time: float
    host_time: float


def float32_value(value: float) -> float:
    """A float32 reading as the shortest decimal that gives it back (9.646823, not
    9.646822929382324)."""
    return float(str(numpy.float32(value)))


class Orientation(NamedTuple):
    """The orientation the IMU's processing unit computes: angles in degrees and the same as a
    unit quaternion."""

    yaw: float
    pitch: float
    roll: float
    x: float
    y: float
    z: float
    w: float


class Imu:
    """The inertial measurement unit of a camera that has one. Each attribute is a fresh
    reading, taken in the sensor's normal mode (no self-test offset)."""

    def __init__(self, link: Link) -> None:
        self._link = link

    def _vector(self, function: str) -> ImuVector:
        values = self._link.result(function, _binding.LX_IMU_SELF_TEST_MODE.NORMAL)
        if len(values) < 3:
            raise LentraError("{}: {} gave {} values, not 3".format(
                self._link.name, function, len(values)), function=function)
        return ImuVector(*(float32_value(v) for v in values[:3]))

    @property
    def acceleration(self) -> ImuVector:
        """ImuVector in m/s^2."""
        return self._vector("LxGetIMUAccData")

    @property
    def angular_rate(self) -> ImuVector:
        """ImuVector in degrees a second."""
        return self._vector("LxGetIMUGyrData")

    @property
    def temperature(self) -> float:
        """The IMU's temperature in degrees Celsius."""
        return float32_value(self._link.result("LxGetIMUTemperature"))

    @property
    def sensor_time(self) -> float:
        """The IMU's clock, in seconds."""
        return float32_value(self._link.result("LxGetIMUSensorTime"))

    def orientation(self) -> Orientation:
        """Switches the IMU to its processing-unit mode (ISPU, until the camera is closed) and
        reads the orientation it computes."""
        with self._link.locked():
            self._link.check(self._link.call("LxEnableIMUMode", _binding.LX_IMU_MODE.ISPU),
                             "LxEnableIMUMode")
            ispu = self._link.result("LxGetISPUData")
        return Orientation(*(float32_value(getattr(ispu, key)) for key in Orientation._fields))

    def read(self) -> ImuReading:
        """Acceleration, angular rate and temperature together, with the IMU's and the host's
        time of the reading, as an ImuReading."""
        with self._link.locked():
            acceleration, rate, temperature = \
                self.acceleration, self.angular_rate, self.temperature
            # The host's time is the middle of the clock read, so the two times match closely.
            before = time.monotonic()
            sensor_time = self.sensor_time
            host_time = (before + time.monotonic()) / 2
            return ImuReading(acceleration, rate, temperature, sensor_time, host_time)

    def __repr__(self) -> str:
        return "<Imu of {!r}>".format(self._link.name)
