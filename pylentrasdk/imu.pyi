# Types of pylentrasdk.imu (plain Python; see the module).
from __future__ import annotations

from typing import NamedTuple

from .camera import Camera

__all__ = ["Imu", "ImuVector", "ImuReading"]

class ImuVector(NamedTuple):
    x: float
    y: float
    z: float

class ImuReading(NamedTuple):
    acceleration: ImuVector
    angular_rate: ImuVector
    temperature: float

class Imu:
    def __init__(self, camera: Camera) -> None: ...
    @property
    def acceleration(self) -> ImuVector: ...
    @property
    def angular_rate(self) -> ImuVector: ...
    @property
    def temperature(self) -> float: ...
    @property
    def sensor_time(self) -> float: ...
    def read(self) -> ImuReading: ...
