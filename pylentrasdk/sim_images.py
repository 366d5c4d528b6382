"""Firmware and boot-data image files for the simulated cameras, valid or deliberately broken.

The layouts are the SDK's own, documented in sdk/docs/firmware-image.md and
sdk/docs/boot-data-image.md. ``pylentrasdk.sim`` exports these functions; see
docs/registers-and-firmware.md for examples.
"""

from __future__ import annotations

import struct
import zlib
from typing import Any, Iterable, Sequence, TypeVar, Union

from ._files import PathLike, write_atomically

__all__ = [
    "firmware_image",
    "write_firmware_image",
    "boot_data_image",
    "write_boot_data_image",
]

_FIRMWARE_TARGETS = {"usb": 1, "sensor": 2}
_FIRMWARE_HEADER = struct.Struct("<4sBBH16sI")  # bytes 0..27; the CRC-32 follows
_FIRMWARE_BREAKS = (
    "magic", "layout", "target", "version", "length", "crc", "truncated", "trailing", "empty"
)

_V2_HEADER = struct.Struct("<BH64sB")  # bytes 0..67; the SDK's part of the record follows
_V2_SIZE = 144
_V3_HEADER = struct.Struct("<BHH16s64s16sH2sHH6BHIHH")
_V3_SIZE = 125
_BOOT_BREAKS = ("version", "offset", "truncated", "trailing", "header", "content", "empty")

# The bytes of a payload or content: bytes, or anything bytes() makes them of.
Data = Union[bytes, bytearray, memoryview, Iterable[int]]
# The writers give back the path they were given, as it was given.
_Path = TypeVar("_Path", bound=PathLike)


def _crc(data: bytes) -> int:
    return zlib.crc32(data) & 0xFFFFFFFF


def _check_broken(broken: str | None, allowed: Sequence[str]) -> None:
    if broken is not None and broken not in allowed:
        raise ValueError("broken must be None or one of {}, not {!r}".format(", ".join(allowed), broken))


def firmware_image(target: str = "sensor", version: str = "1.5.0", payload: Data | None = None,
                   device: int = 0, broken: str | None = None) -> bytes:
    """The bytes of a firmware image.

    target   "usb" (the USB controller, for LxUpgradeFX3FW) or "sensor" (LxUpgradeSensorFW)
    version  the version text the camera reports after the upgrade (printable ASCII, 1..15 bytes)
    payload  the firmware bytes (default: 4 KiB of a fixed pattern)
    device   the sensor model the image is made for (0: any sensor)
    broken   None for a valid image, or how to break it: "magic", "layout", "target",
             "version" (empty version text), "length" (a payload length that disagrees with the
             file), "crc", "truncated" (last byte missing), "trailing" (one byte too many),
             "empty" (no bytes at all)
    """
    _check_broken(broken, _FIRMWARE_BREAKS)
    if target not in _FIRMWARE_TARGETS:
        raise ValueError("target must be 'usb' or 'sensor', not {!r}".format(target))
    text = version.encode("ascii")
    if not 1 <= len(text) <= 15:
        raise ValueError("version must be 1 to 15 ASCII characters")
    if payload is None:
        payload = bytes(i * 7 % 251 for i in range(4096))
    payload = bytes(payload)
    if broken == "empty":
        return b""
    if broken == "version":
        text = b""
    length = len(payload) + (1 if broken == "length" else 0)
    header = _FIRMWARE_HEADER.pack(
        b"XXXX" if broken == "magic" else b"LXFW",
        9 if broken == "layout" else 1,
        7 if broken == "target" else _FIRMWARE_TARGETS[target],
        device,
        text,
        length,
    )
    crc = _crc(header + payload) ^ (1 if broken == "crc" else 0)
    image = header + struct.pack("<I", crc) + payload
    if broken == "truncated":
        image = image[:-1]
    elif broken == "trailing":
        image += b"\0"
    return image


def write_firmware_image(path: _Path, target: str = "sensor", version: str = "1.5.0",
                         payload: Data | None = None, device: int = 0,
                         broken: str | None = None) -> _Path:
    """Write firmware_image(...) to the file at `path` (as every writer of the package does:
    atomically, refusing a link, FIFO, folder or device there); returns the path."""
    image = firmware_image(target, version, payload, device, broken)
    write_atomically(path, lambda out: out.write(image))
    return path


def _text(value: str | Data, size: int) -> bytes:
    data = value.encode("utf-8") if isinstance(value, str) else bytes(value)
    if len(data) > size:
        raise ValueError("{!r} is longer than {} bytes".format(value, size))
    return data


def boot_data_image(header_version: int = 3, product_name: str | bytes = "Flashed Camera",
                    content: Data | None = None, product_version: int = 1, sensor_type: int = 0,
                    sensor_fuse_id: Data = b"", lens_id: Data = b"",
                    qr_fw_version: Data = (1, 0), vendor_fw_version: int = 0,
                    custom_number: int = 0, record_time: Iterable[int] = (24, 1, 1, 0, 0, 0),
                    mipi_datarate: int = 0, content_offset: int | None = None,
                    broken: str | None = None) -> bytes:
    """The bytes of a boot-data image: a version 2 or 3 header followed by its content, with the
    checksums the header carries (LxFlashProductInfo, LxGetBootdataHeaderV2FromFile,
    LxGetBootdataHeaderV3FromFile).

    content         the content bytes (default: 256 bytes of a fixed pattern)
    content_offset  where the content starts (default: right after the header)
    broken          None for a valid image, or how to break it: "version" (header version 7),
                    "offset" (content offset inside the header), "truncated", "trailing",
                    "header" (a header byte changed after the checksums were made), "content"
                    (a content byte changed likewise), "empty"
    The other arguments are header fields (version 2: product_name, product_version; version 3:
    all but product_version); byte fields are bytes of at most 16, record_time is six numbers.
    """
    _check_broken(broken, _BOOT_BREAKS)
    if header_version not in (2, 3):
        raise ValueError("header_version must be 2 or 3")
    if broken == "empty":
        return b""
    if content is None:
        content = bytes(i * 13 % 256 for i in range(256))
    content = bytes(content)
    size = _V2_SIZE if header_version == 2 else _V3_SIZE
    offset = size if content_offset is None else content_offset
    if broken == "offset":
        offset = 10
    padding = b"\0" * max(0, offset - size)
    name = _text(product_name, 63)

    if header_version == 2:
        fixed = _V2_HEADER.pack(2, offset, name, product_version)
        fixed += struct.pack("<II", len(content), _crc(content))
        header = fixed + struct.pack("<I", _crc(fixed))
        header += b"\0" * (_V2_SIZE - len(header))
    else:
        fields = [
            3, offset, sensor_type, _text(sensor_fuse_id, 16), name, _text(lens_id, 16), 0,
            bytes(qr_fw_version), vendor_fw_version, custom_number,
        ] + list(record_time) + [mipi_datarate, len(content), 0, 0]
        record = bytearray(_V3_HEADER.pack(*fields))
        struct.pack_into("<H", record, 101, _crc(bytes(record[:101])) & 0xFFFF)
        struct.pack_into("<H", record, 121, _crc(content) & 0xFFFF)
        struct.pack_into("<H", record, 123, _crc(bytes(record[:123]) + content) & 0xFFFF)
        header = bytes(record)

    if broken == "version":
        header = b"\x07" + header[1:]
    image = bytearray(header + padding) + content
    if broken == "header":
        image[5] ^= 0xFF
    elif broken == "content":
        image[-1] ^= 0xFF
    elif broken == "truncated":
        del image[-1]
    elif broken == "trailing":
        image += b"\0"
    return bytes(image)


def write_boot_data_image(path: _Path, header_version: int = 3, **fields: Any) -> _Path:
    """Write boot_data_image(header_version, **fields) to the file at `path` (atomically, as
    write_firmware_image); returns the path."""
    image = boot_data_image(header_version, **fields)
    write_atomically(path, lambda out: out.write(image))
    return path
