"""A camera's inertial measurement unit: ``Camera.imu``."""

from typing import NamedTuple

from . import pyLentraSDK as _binding
from .errors import LentraError, raise_for_status

__all__ = ["Imu", "ImuVector", "ImuReading"]


class ImuVector(NamedTuple):
    """One IMU vector: acceleration in m/s^2 or angular rate in degrees a second."""

    x: float
    y: float
    z: float


class ImuReading(NamedTuple):
    """The IMU's readings taken together."""

    acceleration: ImuVector
    angular_rate: ImuVector
    temperature: float


def _float32(value):
    # The shortest decimal that gives the float32 reading back (9.646823, not 9.646822929...).
    import numpy

    return float(str(numpy.float32(value)))


class Imu:
    """The inertial measurement unit of a camera that has one. Each attribute is a fresh
    reading, taken in the sensor's normal mode (no self-test offset)."""

    def __init__(self, camera):
        self._camera = camera

    def _vector(self, function):
        status, values = self._camera._call(function, _binding.LX_IMU_SELF_TEST_MODE.NORMAL)
        raise_for_status(status, function, self._camera.name)
        if len(values) < 3:
            raise LentraError("{}: {} gave {} values, not 3".format(
                self._camera.name, function, len(values)), function=function)
        return ImuVector(*(_float32(v) for v in values[:3]))

    @property
    def acceleration(self):
        """ImuVector in m/s^2."""
        return self._vector("LxGetIMUAccData")

    @property
    def angular_rate(self):
        """ImuVector in degrees a second."""
        return self._vector("LxGetIMUGyrData")

    def _number(self, function):
        status, value = self._camera._call(function)
        raise_for_status(status, function, self._camera.name)
        return _float32(value)

    @property
    def temperature(self):
        """The IMU's temperature in degrees Celsius."""
        return self._number("LxGetIMUTemperature")

    @property
    def sensor_time(self):
        """The IMU's clock, in seconds."""
        return self._number("LxGetIMUSensorTime")

    def read(self):
        """Acceleration, angular rate and temperature together, as an ImuReading."""
        with self._camera._locked():
            return ImuReading(self.acceleration, self.angular_rate, self.temperature)

    def __repr__(self):
        return "<Imu of {!r}>".format(self._camera.name)
