# Types of pylentrasdk.sim_images (exported by pylentrasdk.sim).
from __future__ import annotations

import os
import typing

__all__ = ["firmware_image", "write_firmware_image", "boot_data_image", "write_boot_data_image"]

_PathT = typing.TypeVar("_PathT", str, bytes, "os.PathLike[str]", "os.PathLike[bytes]")
_ByteText = typing.Union[str, bytes]

def firmware_image(
    target: typing.Literal["usb", "sensor"] = "sensor",
    version: str = "1.5.0",
    payload: typing.Iterable[int] | bytes | None = None,
    device: int = 0,
    broken: str | None = None,
) -> bytes: ...
def write_firmware_image(
    path: _PathT,
    target: typing.Literal["usb", "sensor"] = "sensor",
    version: str = "1.5.0",
    payload: typing.Iterable[int] | bytes | None = None,
    device: int = 0,
    broken: str | None = None,
) -> _PathT: ...
def boot_data_image(
    header_version: typing.Literal[2, 3] = 3,
    product_name: _ByteText = "Flashed Camera",
    content: typing.Iterable[int] | bytes | None = None,
    product_version: int = 1,
    sensor_type: int = 0,
    sensor_fuse_id: _ByteText = b"",
    lens_id: _ByteText = b"",
    qr_fw_version: typing.Iterable[int] | bytes = (1, 0),
    vendor_fw_version: int = 0,
    custom_number: int = 0,
    record_time: typing.Sequence[int] = (24, 1, 1, 0, 0, 0),
    mipi_datarate: int = 0,
    content_offset: int | None = None,
    broken: str | None = None,
) -> bytes: ...
def write_boot_data_image(
    path: _PathT, header_version: typing.Literal[2, 3] = 3, **fields: typing.Any
) -> _PathT: ...
