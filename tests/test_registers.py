"""Register access against the simulated rig: the ISP's register file and the sensor registers
behind it, registers that mirror image controls, the I2C bus and its data-area limits, the unique
ID and the header version."""
import numpy
import pytest

import pylentrasdk as lx
from pylentrasdk import sim

from conftest import formats_of

NOT_OPEN, INVALID_ARGUMENT, NOT_SUPPORTED, READ_ONLY, NO_DEVICE = -3, -5, -6, -10, -13
CHIP_ID = 0x0000
BRIGHTNESS, CONTRAST, EXPOSURE_MAX, PAN = 0x5000, 0x5002, 0x5008, 0x500A
TEMPERATURE, EEPROM = 0x48, 0x50


class TestIspRegisters:
    def test_free_registers_keep_what_is_written_at_the_limits(self, kavl_camera):
        for address, value in ((0x1000, 0xBEEF), (0xFFFF, 0xFFFF), (0x1234, 0)):
            assert lx.LxAP1302I2CWrite(kavl_camera, address, value) == 0
            assert lx.LxAP1302I2CRead(kavl_camera, address) == (0, value)
        assert lx.LxAP1302I2CRead(kavl_camera, 0x7777) == (0, 0)  # never written

    def test_read_only_chip_id_refuses_writes_and_keeps_its_value(self, kavl_camera):
        assert lx.LxAP1302I2CRead(kavl_camera, CHIP_ID) == (0, 613)
        assert lx.LxAP1302I2CWrite(kavl_camera, CHIP_ID, 1) == READ_ONLY
        assert lx.LxAP1302I2CRead(kavl_camera, CHIP_ID) == (0, 613)

    def test_sensor_registers_by_sensor_and_address(self, kavl_camera):
        assert lx.LxAP1302SensorRegisterRead(kavl_camera, 0, 0x3000) == (0, 2082)
        assert lx.LxAP1302SensorRegisterWrite(kavl_camera, 0, 0x3000, 5) == READ_ONLY
        assert lx.LxAP1302SensorRegisterWrite(kavl_camera, 0, 0x3012, 0xFFFF) == 0
        assert lx.LxAP1302SensorRegisterRead(kavl_camera, 0, 0x3012) == (0, 0xFFFF)
        # The ISP's own register at the same address is another register.
        assert lx.LxAP1302I2CRead(kavl_camera, 0x3012) == (0, 0)
        assert lx.LxAP1302SensorRegisterRead(kavl_camera, 1, 0x3000) == (NO_DEVICE, 0)
        assert lx.LxAP1302SensorRegisterWrite(kavl_camera, 65535, 0, 1) == NO_DEVICE

    def test_registers_belong_to_the_camera_and_persist_while_it_lives(self, kavl_camera, kavn_camera):
        assert lx.LxAP1302I2CWrite(kavl_camera, 0x2000, 7) == 0
        assert lx.LxAP1302I2CRead(kavn_camera, 0x2000) == (0, 0)
        lx.LxClose(kavl_camera)
        assert lx.LxAP1302I2CRead(kavl_camera, 0x2000) == (NOT_OPEN, 0)
        lx.LxOpen(kavl_camera)
        assert lx.LxAP1302I2CRead(kavl_camera, 0x2000) == (0, 7)

    def test_a_webcam_has_no_registers(self, webcam):
        assert lx.LxAP1302I2CRead(webcam, 0) == (NOT_SUPPORTED, 0)
        assert lx.LxAP1302I2CWrite(webcam, 0, 1) == NOT_SUPPORTED
        assert lx.LxAP1302SensorRegisterRead(webcam, 0, 0) == (NOT_SUPPORTED, 0)
        assert lx.LxGenericI2CRead(webcam, TEMPERATURE, 1, 0x10, 2) == (NOT_SUPPORTED, 0)

    def test_argument_conversion(self, kavl_camera):
        for call in (
            lambda: lx.LxAP1302I2CRead(kavl_camera, -1),
            lambda: lx.LxAP1302I2CRead(kavl_camera, 65536),
            lambda: lx.LxAP1302I2CWrite(kavl_camera, 0, 65536),
            lambda: lx.LxAP1302SensorRegisterWrite(kavl_camera, 0, 0, 65536),
            lambda: lx.LxAP1302SensorRegisterRead(kavl_camera, 65536, 0),
            lambda: lx.LxAP1302I2CRead(kavl_camera, 1.0),
            lambda: lx.LxAP1302I2CRead("camera", 0),
        ):
            with pytest.raises(TypeError):
                call()
        assert lx.LxAP1302I2CRead(None, 0) == (-2, 0)


def mean_luma(cam):
    fmt = formats_of(cam, lx.LX_IMAGE_FORMAT.LX_IMAGE_FORMAT_YUY2)[0]
    assert lx.LxSetFormat(cam, fmt) == 0
    assert lx.LxStartStreaming(cam) == 0
    with sim.free_run():
        result, frame = lx.LxGetImage(cam, 3000, fmt)
    lx.LxStopStreaming(cam)
    assert result == lx.LX_CAPTURE_RESULT.LX_SUCCESS
    return float(numpy.mean(frame[0::2]))


class TestMirroredRegisters:
    def test_register_shows_the_controls_value(self):
        rig = sim.default_description()
        rig["devices"][0]["isp_controls"]["ISP_IMAGE_BRIGHTNESS"]["value"] = 200
        rig["devices"][0]["isp_controls"]["ISP_IMAGE_PAN"]["value"] = -5
        sim.load(rig)
        cam = lx.LxInitialCameraDevice(0)
        lx.LxOpen(cam)
        assert lx.LxAP1302I2CRead(cam, BRIGHTNESS) == (0, 200)
        assert lx.LxAP1302I2CRead(cam, PAN) == (0, 0xFFFB)  # two's complement of -5

    def test_writing_the_register_changes_the_control_and_the_frames(self, kavl_camera):
        before = mean_luma(kavl_camera)
        assert lx.LxAP1302I2CWrite(kavl_camera, BRIGHTNESS, 228) == 0
        assert lx.LxAP1302I2CRead(kavl_camera, BRIGHTNESS) == (0, 228)
        assert mean_luma(kavl_camera) > before + 50
        assert lx.LxAP1302I2CWrite(kavl_camera, PAN, 0xFFF6) == 0  # -10 for a signed control
        assert lx.LxAP1302I2CRead(kavl_camera, PAN) == (0, 0xFFF6)

    def test_values_the_control_refuses_change_nothing(self, kavl_camera):
        assert lx.LxAP1302I2CWrite(kavl_camera, BRIGHTNESS, 256) == INVALID_ARGUMENT
        assert lx.LxAP1302I2CWrite(kavl_camera, PAN, 101) == INVALID_ARGUMENT
        assert lx.LxAP1302I2CRead(kavl_camera, BRIGHTNESS) == (0, 128)
        assert lx.LxAP1302I2CRead(kavl_camera, EXPOSURE_MAX) == (0, 33000)
        assert lx.LxAP1302I2CWrite(kavl_camera, EXPOSURE_MAX, 1) == READ_ONLY  # a read-only control
        assert lx.LxAP1302I2CRead(kavl_camera, EXPOSURE_MAX) == (0, 33000)


class TestGenericI2C:
    def test_device_registers_round_trip(self, kavl_camera):
        assert lx.LxGenericI2CRead(kavl_camera, TEMPERATURE, 1, 0x10, 2) == (0, 0x1234)
        assert lx.LxGenericI2CWrite(kavl_camera, TEMPERATURE, 1, 0x10, 1, 0xAB) == 0
        assert lx.LxGenericI2CRead(kavl_camera, TEMPERATURE, 1, 0x10, 2) == (0, 0xAB34)
        # One byte read: it is the high byte; the other stays 0.
        assert lx.LxGenericI2CRead(kavl_camera, TEMPERATURE, 1, 0x11, 1) == (0, 0x3400)
        assert lx.LxGenericI2CWrite(kavl_camera, EEPROM, 2, 0x0FFF, 1, 255) == 0
        assert lx.LxGenericI2CRead(kavl_camera, EEPROM, 2, 0x0FFE, 2) == (0, 0x00FF)

    def test_refusals_change_nothing(self, kavl_camera):
        assert lx.LxGenericI2CWrite(kavl_camera, TEMPERATURE, 1, 0x00, 1, 7) == READ_ONLY
        assert lx.LxGenericI2CRead(kavl_camera, TEMPERATURE, 1, 0x00, 1) == (0, 25 << 8)
        assert lx.LxGenericI2CRead(kavl_camera, 0x49, 1, 0, 1) == (NO_DEVICE, 0)  # NACK
        assert lx.LxGenericI2CWrite(kavl_camera, 0x49, 1, 0, 1, 0) == NO_DEVICE
        assert lx.LxGenericI2CRead(kavl_camera, 0x80, 1, 0, 1) == (INVALID_ARGUMENT, 0)
        assert lx.LxGenericI2CRead(kavl_camera, TEMPERATURE, 2, 0x10, 2) == (INVALID_ARGUMENT, 0)
        assert lx.LxGenericI2CRead(kavl_camera, TEMPERATURE, 1, 0xFF, 2) == (INVALID_ARGUMENT, 0)
        assert lx.LxGenericI2CRead(kavl_camera, TEMPERATURE, 1, 0x10, 0) == (INVALID_ARGUMENT, 0)
        assert lx.LxGenericI2CWrite(kavl_camera, TEMPERATURE, 1, 0x10, 0, 1) == INVALID_ARGUMENT
        assert lx.LxGenericI2CWrite(kavl_camera, TEMPERATURE, 1, 65536, 1, 0) == INVALID_ARGUMENT
        assert lx.LxGenericI2CRead(kavl_camera, TEMPERATURE, 1, 0x10, 2) == (0, 0x1234)

    def test_counts_beyond_the_data_area_never_reach_the_sdk(self, kavl_camera):
        sim.reset_call_counts()
        assert lx.LxGenericI2CRead(kavl_camera, TEMPERATURE, 1, 0x10, 3) == (INVALID_ARGUMENT, 0)
        assert lx.LxGenericI2CRead(kavl_camera, TEMPERATURE, 1, 0x10, 65535) == (INVALID_ARGUMENT, 0)
        assert lx.LxGenericI2CWrite(kavl_camera, TEMPERATURE, 1, 0x10, 2, 7) == INVALID_ARGUMENT
        assert sim.call_count("LxGenericI2CRead") == 0
        assert sim.call_count("LxGenericI2CWrite") == 0
        assert lx.LxGenericI2CRead(kavl_camera, TEMPERATURE, 1, 0x10, 2) == (0, 0x1234)

    def test_two_bytes_make_the_value_high_byte_first(self, kavl_camera):
        sim.inject("LxGenericI2CRead", value=[0x12, 0x34])
        assert lx.LxGenericI2CRead(kavl_camera, 1, 2, 3, 2) == (0, 4660)

    def test_argument_conversion(self, kavl_camera):
        with pytest.raises(TypeError):
            lx.LxGenericI2CRead(kavl_camera, 0x48, 1, 65536, 2)  # 16-bit register on reads
        with pytest.raises(TypeError):
            lx.LxGenericI2CWrite(kavl_camera, 0x48, 1, 0x10, 1, 256)
        with pytest.raises(TypeError):
            lx.LxGenericI2CRead(kavl_camera, 256, 1, 0, 1)
        with pytest.raises(TypeError):
            lx.LxGenericI2CWrite(kavl_camera, 0x48, 1, 2 ** 32, 1, 0)
        assert isinstance(lx.LxGenericI2CWrite(kavl_camera, 0x48, 1, 65536, 1, 0), int)


class TestIdentityFromTheRig:
    def test_unique_id_and_header_version(self, kavl_camera, kavn_camera, webcam):
        assert lx.LxGetSensorUniqueID(kavl_camera) == (0, "0822A1B2C3D4E5F6")
        assert lx.LxGetHeaderVersion(kavl_camera) == 3
        assert lx.LxGetHeaderVersion(kavn_camera) == 2
        assert lx.LxGetSensorUniqueID(webcam) == (NOT_SUPPORTED, "")
        assert lx.LxGetHeaderVersion(webcam) == NOT_SUPPORTED

    def test_unique_id_that_is_not_utf8_raises_after_the_call(self, kavl_camera):
        sim.reset_call_counts()
        sim.inject("LxGetSensorUniqueID", text=b"\xff")
        with pytest.raises(UnicodeDecodeError):
            lx.LxGetSensorUniqueID(kavl_camera)
        assert sim.call_count("LxGetSensorUniqueID") == 1
