"""Sensor-configuration files (export, decode) and the sensor's work mode."""
import json
import os
import struct
import zlib

import pytest

import pylentrasdk as lx
from peak_memory import peak_growth
from sanitizer import measures_memory
from pylentrasdk import sim

HEADER = 536  # bytes before the register table (sdk/docs/sensor-config.md)


def described_registers(index):
    """The sensor registers the default rig gives camera `index`, as the JSON renders them."""
    regs = sim.default_description()["devices"][index]["registers"]["sensor"]
    out = []
    for sensor, table in sorted(regs.items(), key=lambda kv: int(kv[0], 0)):
        for address, value in sorted(table.items(), key=lambda kv: int(kv[0], 0)):
            if isinstance(value, dict):  # {"value": v, "read_only": true}
                value = value["value"]
            out.append({"sensor": int(sensor, 0), "address": "0x%04X" % int(address, 0),
                        "value": "0x%04X" % value})
    return out


@pytest.fixture
def exported(kavl_camera, tmp_path):
    path = tmp_path / "sensor.bin"
    assert lx.LxExportSensorConfig(kavl_camera, str(path)) == 0
    return path


def with_crc(body):
    return body + struct.pack("<I", zlib.crc32(body))


class TestRoundTrip:
    def test_decode_of_an_export_holds_the_camera_and_its_registers(self, exported, tmp_path):
        out = tmp_path / "sensor.json"
        assert lx.LxDecodeSensorConfig(str(exported), str(out)) == 0
        doc = json.loads(out.read_text())
        assert doc["device_name"] == "KAVL AR0822 USB Camera"
        assert doc["sensor_unique_id"] == "0822A1B2C3D4E5F6"
        assert doc["product_type"] == "KAVL"
        assert doc["registers"] == described_registers(0)

    def test_layout_is_the_documented_one(self, exported):
        data = exported.read_bytes()
        magic, version, header, count = struct.unpack_from("<8sHHI", data)
        assert (magic, version, header) == (b"LXSENCFG", 1, HEADER)
        assert len(data) == HEADER + 8 * count + 4
        assert struct.unpack_from("<I", data, len(data) - 4)[0] == zlib.crc32(data[:-4])

class TestExportRefusals:
    def test_missing_folder_creates_nothing(self, kavl_camera, tmp_path):
        target = tmp_path / "missing" / "sensor.bin"
        assert lx.LxExportSensorConfig(kavl_camera, str(target)) != 0
        assert os.listdir(str(tmp_path)) == []

    def test_cameras_that_cannot(self, webcam, tmp_path):
        assert lx.LxExportSensorConfig(webcam, str(tmp_path / "a.bin")) == -6
        assert lx.LxExportSensorConfig(None, str(tmp_path / "a.bin")) == -2
        closed = lx.LxInitialCameraDevice(0)
        assert lx.LxExportSensorConfig(closed, str(tmp_path / "a.bin")) == -3
        assert os.listdir(str(tmp_path)) == []


def damaged(data):
    """Each way a file can be wrong, with the status decoding must answer."""
    count = struct.unpack_from("<I", data, 12)[0]
    wrong_version = bytearray(data)
    struct.pack_into("<H", wrong_version, 8, 2)
    huge_count = bytearray(data[:-4])
    struct.pack_into("<I", huge_count, 12, 0xFFFFFFFF)
    bad_text = bytearray(data[:-4])
    bad_text[24:24 + 256] = b"\xff" * 256
    bad_product = bytearray(data[:-4])
    struct.pack_into("<I", bad_product, 16, 99)
    flipped = bytearray(data)
    flipped[HEADER + 4] ^= 1
    return {
        "empty": (b"", -9),
        "garbage": (os.urandom(600), -9),
        "truncated": (data[:-1], -9),
        "cut in the header": (data[:100], -9),
        "wrong crc": (bytes(flipped), -9),
        "wrong version": (bytes(wrong_version), -9),
        "version with its crc": (with_crc(bytes(wrong_version[:-4])), -9),
        "huge count": (with_crc(bytes(huge_count)), -9),
        "text without NUL": (with_crc(bytes(bad_text)), -9),
        "unknown product": (with_crc(bytes(bad_product)), -9),
        "count off by one": (with_crc(data[:12] + struct.pack("<I", count + 1) + data[16:-4]), -9),
    }


class TestDecodeRefusals:
    def test_bad_files_leave_no_json(self, exported, tmp_path):
        for case, (content, status) in damaged(exported.read_bytes()).items():
            source = tmp_path / "in.bin"
            source.write_bytes(content)
            out = tmp_path / "out.json"
            assert lx.LxDecodeSensorConfig(str(source), str(out)) == status, case
            assert not out.exists(), case

    def test_bad_files_leave_an_existing_json_as_it_was(self, exported, tmp_path):
        out = tmp_path / "out.json"
        out.write_text('{"kept": true}')
        for case, (content, status) in damaged(exported.read_bytes()).items():
            source = tmp_path / "in.bin"
            source.write_bytes(content)
            assert lx.LxDecodeSensorConfig(str(source), str(out)) == status, case
            assert out.read_text() == '{"kept": true}', case
        assert sorted(os.listdir(str(tmp_path))) == ["in.bin", "out.json", "sensor.bin"]

    def test_unreadable_inputs_and_outputs(self, exported, tmp_path):
        out = str(tmp_path / "out.json")
        assert lx.LxDecodeSensorConfig(str(tmp_path / "missing.bin"), out) == -8
        assert lx.LxDecodeSensorConfig(str(tmp_path), out) == -8  # a folder
        assert lx.LxDecodeSensorConfig("", out) == -8
        assert lx.LxDecodeSensorConfig(str(exported), str(tmp_path / "no" / "out.json")) == -8
        assert lx.LxDecodeSensorConfig(str(exported), str(tmp_path)) == -8
        assert sorted(os.listdir(str(tmp_path))) == ["sensor.bin"]


class TestWorkMode:
    def test_standby_until_streaming(self, kavl_camera):
        assert lx.LxGetSensorWorkMode(kavl_camera) == (0, lx.LX_SENSOR_MODE.STANDBY)
        assert lx.LxStartStreaming(kavl_camera) == 0
        assert lx.LxGetSensorWorkMode(kavl_camera) == (0, lx.LX_SENSOR_MODE.WORK)
        assert lx.LxStopStreaming(kavl_camera) == 0
        assert lx.LxGetSensorWorkMode(kavl_camera) == (0, lx.LX_SENSOR_MODE.STANDBY)

    def test_cameras_that_do_not_report_it(self, webcam):
        assert lx.LxGetSensorWorkMode(webcam)[0] == -6
        assert lx.LxGetSensorWorkMode(None)[0] == -2

    def test_injected_mode_crosses_as_a_member(self):
        sim.inject("LxGetSensorWorkMode", value=1)
        assert lx.LxGetSensorWorkMode(None) == (0, lx.LX_SENSOR_MODE.WORK)


class TestOnlyRegularFilesAreReplaced:
    """Writing goes through a temporary file renamed into place: renaming over anything but a
    regular file would put a plain file in its place (run as root, /dev/null itself)."""

    def test_fifo_and_link_are_refused_and_left_as_they_are(self, kavl_camera, exported, tmp_path):
        fifo = tmp_path / "fifo"
        os.mkfifo(str(fifo))
        kept = tmp_path / "kept.json"
        kept.write_text("{}")
        link = tmp_path / "link.json"
        link.symlink_to(kept)
        for target in (fifo, link):
            assert lx.LxExportSensorConfig(kavl_camera, str(target)) != 0
            assert lx.LxDecodeSensorConfig(str(exported), str(target)) != 0
        assert fifo.is_fifo()
        assert link.is_symlink() and kept.read_text() == "{}"
        assert sorted(p.name for p in tmp_path.iterdir()) == ["fifo", "kept.json", "link.json",
                                                              "sensor.bin"]


class TestLargestFile:
    @measures_memory
    def test_decoding_the_largest_file_takes_memory_bounded_by_it(self, tmp_path):
        # 1,048,576 registers (the most a file may hold): 8 MiB in, about 58 MiB of JSON out.
        count = 1 << 20
        header = (b"LXSENCFG" + struct.pack("<HHII", 1, 536, count, int(lx.LX_CAMERA_PRODUCT_TYPE.LXCAM_PRODUCT_TYPE_KAVL))
                  + b"\0" * 4 + b"Big\0".ljust(256, b"\0") + b"\0" * 256)
        table = b"".join(struct.pack("<HHHH", i >> 16, i & 0xFFFF, i & 0xFFFF, 0) for i in range(count))
        binary = tmp_path / "big.bin"
        binary.write_bytes(with_crc(header + table))
        out = tmp_path / "big.json"
        growth = peak_growth("import pylentrasdk as lx",
                             "assert lx.LxDecodeSensorConfig(%r, %r) == 0" % (str(binary), str(out)))
        assert growth <= 8 * binary.stat().st_size + (8 << 20), growth
        doc = json.loads(out.read_text())
        assert len(doc["registers"]) == count and doc["device_name"] == "Big"
        assert doc["registers"][-1] == {"sensor": 15, "address": "0xFFFF", "value": "0xFFFF"}
