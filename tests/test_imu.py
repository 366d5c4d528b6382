"""The IMU through the binding: readings that behave like an IMU at rest, modes, failures."""
import math
import time

import numpy as np
import pytest

import pylentrasdk as lx
from pylentrasdk import sim

NORMAL = lx.LX_IMU_SELF_TEST_MODE.NORMAL
POSITIVE = lx.LX_IMU_SELF_TEST_MODE.POSITIVE
NEGATIVE = lx.LX_IMU_SELF_TEST_MODE.NEGATIVE


def described_imu():
    return next(d["imu"] for d in sim.default_description()["devices"] if "imu" in d)


def samples(read, cam, mode, count=200):
    rows = []
    for _ in range(count):
        status, values = read(cam, mode)
        assert status == 0 and values.dtype == np.float32 and values.shape == (3,)
        rows.append(values)
    return np.array(rows, dtype=np.float64)


def quaternion_angles(q):
    """Z-Y-X yaw, pitch, roll in degrees of a quaternion (x, y, z, w)."""
    x, y, z, w = q
    roll = math.atan2(2 * (w * x + y * z), 1 - 2 * (x * x + y * y))
    pitch = math.asin(max(-1.0, min(1.0, 2 * (w * y - z * x))))
    yaw = math.atan2(2 * (w * z + x * y), 1 - 2 * (y * y + z * z))
    return [math.degrees(a) for a in (yaw, pitch, roll)]


class TestAtRest:
    def test_accelerometer_reads_gravity_in_the_camera_orientation(self, kavn_camera):
        imu = described_imu()
        mean = samples(lx.LxGetIMUAccData, kavn_camera, NORMAL).mean(axis=0)
        assert np.linalg.norm(mean) == pytest.approx(9.81, abs=0.1)
        pitch, roll = (math.radians(imu["orientation"][k]) for k in ("pitch", "roll"))
        up = 9.80665 * np.array([-math.sin(pitch), math.cos(pitch) * math.sin(roll),
                                 math.cos(pitch) * math.cos(roll)])
        assert mean == pytest.approx(up + np.array(imu["accelerometer"]["bias"]), abs=0.02)

    def test_gyroscope_reads_its_bias(self, kavn_camera):
        rate = samples(lx.LxGetIMUGyrData, kavn_camera, NORMAL)
        assert rate.mean(axis=0) == pytest.approx(described_imu()["gyroscope"]["bias"], abs=0.02)
        assert rate.std(axis=0) == pytest.approx([0.05] * 3, rel=0.3)

    @pytest.mark.parametrize("read, sensor", [(lx.LxGetIMUAccData, "accelerometer"),
                                              (lx.LxGetIMUGyrData, "gyroscope")])
    def test_self_test_adds_and_subtracts_its_offsets(self, kavn_camera, read, sensor):
        offset = np.array(described_imu()[sensor]["self_test"])
        assert lx.LxEnableIMUMode(kavn_camera, lx.LX_IMU_MODE.SELF_TEST) == 0
        normal = samples(read, kavn_camera, NORMAL).mean(axis=0)
        assert samples(read, kavn_camera, POSITIVE).mean(axis=0) - normal == pytest.approx(offset, abs=0.03)
        assert normal - samples(read, kavn_camera, NEGATIVE).mean(axis=0) == pytest.approx(offset, abs=0.03)


class TestIspu:
    def test_orientation_is_a_unit_quaternion_agreeing_with_its_angles(self, kavn_camera):
        assert lx.LxEnableIMUMode(kavn_camera, lx.LX_IMU_MODE.ISPU) == 0
        orientation = described_imu()["orientation"]
        for _ in range(20):
            status, r = lx.LxGetISPUData(kavn_camera)
            assert status == 0
            q = (r.x, r.y, r.z, r.w)
            assert math.sqrt(sum(v * v for v in q)) == pytest.approx(1, abs=1e-3)
            assert quaternion_angles(q) == pytest.approx([r.yaw, r.pitch, r.roll], abs=0.01)
            assert [r.yaw, r.pitch, r.roll] == pytest.approx(
                [orientation["yaw"], orientation["pitch"], orientation["roll"]], abs=0.3)

    def test_needs_the_ispu_mode(self, kavn_camera):
        assert lx.LxGetISPUData(kavn_camera)[0] == -1
        assert lx.LxRebootIMUMode(kavn_camera, lx.LX_IMU_MODE.ISPU) == 0
        assert lx.LxGetISPUData(kavn_camera)[0] == 0
        assert lx.LxEnableIMUMode(kavn_camera, lx.LX_IMU_MODE.DISABLE) == 0
        assert lx.LxGetISPUData(kavn_camera)[0] == -1


def fast_warming_rig():
    rig = sim.default_description()
    imu = next(d for d in rig["devices"] if "imu" in d)["imu"]
    imu["temperature"] = {"ambient": 20.0, "streaming_rise": 10.0, "time_constant": 1e-6}
    imu["tick"] = 0.001
    sim.load(rig)
    cam = lx.LxInitialCameraDevice(1)
    assert lx.LxOpen(cam) == 0
    return cam


class TestTemperatureAndTime:
    def test_temperature_starts_at_ambient_and_warms_while_streaming(self, kavn_camera):
        status, temperature = lx.LxGetIMUTemperature(kavn_camera)
        assert status == 0 and temperature == pytest.approx(described_imu()["temperature"]["ambient"], abs=0.1)
        cam = fast_warming_rig()
        assert lx.LxGetIMUTemperature(cam) == (0, pytest.approx(20.0, abs=0.01))
        assert lx.LxStartStreaming(cam) == 0
        time.sleep(0.01)  # ten thousand time constants
        assert lx.LxGetIMUTemperature(cam) == (0, pytest.approx(30.0, abs=0.01))
        assert lx.LxStopStreaming(cam) == 0
        time.sleep(0.01)
        assert lx.LxGetIMUTemperature(cam) == (0, pytest.approx(20.0, abs=0.01))

    def test_sensor_time_counts_ticks_from_the_enable(self):
        cam = fast_warming_rig()
        time.sleep(0.2)
        status, before = lx.LxGetIMUSensorTime(cam)
        assert status == 0 and before >= 0.2
        assert before * 1000 == pytest.approx(round(before * 1000), abs=1e-3)  # whole ticks
        assert lx.LxEnableIMUMode(cam, lx.LX_IMU_MODE.SELF_TEST) == 0
        assert 0 <= lx.LxGetIMUSensorTime(cam)[1] < before
        # Enabling the mode already on leaves the clock running; a reboot restarts it.
        time.sleep(0.2)
        assert lx.LxEnableIMUMode(cam, lx.LX_IMU_MODE.SELF_TEST) == 0
        running = lx.LxGetIMUSensorTime(cam)[1]
        assert running >= 0.2
        assert lx.LxRebootIMUMode(cam, lx.LX_IMU_MODE.SELF_TEST) == 0
        assert lx.LxGetIMUSensorTime(cam)[1] < running


class TestFailures:
    def test_a_camera_without_imu_answers_every_call_with_a_status(self, kavl_camera):
        for read in (lx.LxGetIMUAccData, lx.LxGetIMUGyrData):
            status, values = read(kavl_camera, NORMAL)
            assert status == -6 and values.dtype == np.float32 and values.shape == (0,)
        assert lx.LxEnableIMUMode(kavl_camera, lx.LX_IMU_MODE.ISPU) == -6
        assert lx.LxRebootIMUMode(kavl_camera, lx.LX_IMU_MODE.ISPU) == -6
        assert lx.LxGetISPUData(kavl_camera)[0] == -6
        assert lx.LxGetIMUTemperature(kavl_camera)[0] == -6
        assert lx.LxGetIMUSensorTime(kavl_camera)[0] == -6

    def test_modes_the_reading_cannot_take(self, kavn_camera):
        assert lx.LxGetIMUAccData(kavn_camera, lx.LX_IMU_SELF_TEST_MODE.NOT_ALLOWED)[0] == -5
        assert lx.LxGetIMUGyrData(kavn_camera, POSITIVE)[0] == -1  # not in SELF_TEST mode
        assert lx.LxGetIMUAccData(kavn_camera, NEGATIVE)[1].shape == (0,)
        with pytest.raises(TypeError):
            lx.LxGetIMUAccData(kavn_camera, 0)
        with pytest.raises(TypeError):
            lx.LxEnableIMUMode(kavn_camera, 1)

class TestVectorAdapter:
    def test_a_failing_status_gives_an_empty_array_whatever_the_vector_holds(self):
        sim.inject("LxGetIMUAccData", status=-1, value=[1.0, 2.0, 3.0])
        status, values = lx.LxGetIMUAccData(None, NORMAL)
        assert status == -1 and values.shape == (0,) and values.dtype == np.float32

    def test_success_gives_whatever_length_the_sdk_chose(self):
        sim.inject("LxGetIMUGyrData", value=[1.5, -2.25, 3.0, 4.0])
        status, values = lx.LxGetIMUGyrData(None, NORMAL)
        assert status == 0 and values.tolist() == [1.5, -2.25, 3.0, 4.0] and values.dtype == np.float32
        sim.inject("LxGetIMUGyrData", value=[])
        assert lx.LxGetIMUGyrData(None, NORMAL)[1].shape == (0,)
