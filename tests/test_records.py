"""Records and handles: construction, read-only fields, LxIntrinsics assignment and coeffs."""
import numpy as np
import pytest

import pylentrasdk as lx
from conftest import formats_of
from pylentrasdk import sim
from pylentrasdk.stream import FrameStream

RADTAN = lx.LX_DISTORTION_MODEL.LX_DIST_MODEL_RADTAN


def public_attributes(cls):
    return [name for name in vars(cls) if not name.startswith("_")]


class TestConstruction:
    @pytest.mark.parametrize(
        "cls", ["LxFormat", "LxHeaderV2", "LxHeaderV3", "LxImuIspu", "LxCamera", "LxRoute"]
    )
    def test_only_the_sdk_makes_them(self, cls):
        with pytest.raises(TypeError, match="No constructor defined"):
            getattr(lx, cls)()

    def test_new_intrinsics_are_all_zero(self):
        k = lx.LxIntrinsics()
        assert (k.w, k.h, k.fx, k.fy, k.cx, k.cy) == (0, 0, 0.0, 0.0, 0.0, 0.0)
        assert k.model == lx.LX_DISTORTION_MODEL.LX_DIST_NONE
        assert k.coeffs.tolist() == [0.0] * 5
        with pytest.raises(TypeError):
            lx.LxIntrinsics(1)

    def test_handles_expose_nothing(self):
        assert public_attributes(lx.LxCamera) == []
        assert public_attributes(lx.LxRoute) == []


def test_attribute_names_in_record_order():
    assert public_attributes(lx.LxFormat) == ["width", "height", "framerate", "format"]
    assert public_attributes(lx.LxHeaderV2) == [
        "headerVersion", "contentOffset", "productName", "productVersion"]
    assert public_attributes(lx.LxHeaderV3) == [
        "headerVersion", "contentOffset", "sensorType", "sensorFuseId", "productName", "lensId",
        "fixChecksum", "qrFwVersion", "vendorFwVersion", "customNumber", "recordYear",
        "recordMonth", "recordDay", "recordHour", "recordMinute", "recordSecond", "mipiDatarate",
        "contentLen", "contentChecksum", "totalChecksum"]
    assert public_attributes(lx.LxImuIspu) == ["x", "y", "z", "w", "yaw", "pitch", "roll"]


class TestFormat:
    def test_fields_are_read_only_copies_of_the_sdk_record(self, kavl_camera):
        fmt = formats_of(kavl_camera)[0]
        assert fmt.width > 0 and fmt.height > 0 and fmt.framerate > 0
        assert type(fmt.format) is lx.LX_IMAGE_FORMAT
        for name in ("width", "height", "framerate", "format"):
            with pytest.raises(AttributeError):
                setattr(fmt, name, getattr(fmt, name))
        assert not hasattr(fmt, "index")

    def test_hidden_index_travels_with_the_record(self, kavl_camera):
        # LxSetFormat accepts only the SDK's own records, recognised by their hidden index.
        for fmt in formats_of(kavl_camera)[:3]:
            assert lx.LxSetFormat(kavl_camera, fmt) == 0


class TestIntrinsicsAssignment:
    @pytest.mark.parametrize(
        "name, value, stored",
        [
            ("w", 1920, 1920),
            ("h", -2**31, -2**31),
            ("fx", 1, 1.0),
            ("cy", np.float64(0.1), float(np.float32(0.1))),
            ("model", RADTAN, RADTAN),
        ],
    )
    def test_accepted(self, name, value, stored):
        k = lx.LxIntrinsics()
        setattr(k, name, value)
        assert getattr(k, name) == stored

    @pytest.mark.parametrize(
        "name, value",
        [("w", 1.5), ("w", 2**31), ("h", "3"), ("fx", "1.0"), ("cx", None), ("model", 1)],
    )
    def test_wrong_kinds_raise_and_leave_the_field(self, name, value):
        k = lx.LxIntrinsics()
        before = getattr(k, name)
        with pytest.raises(TypeError):
            setattr(k, name, value)
        assert getattr(k, name) == before

    def test_model_refers_into_the_record(self):
        k = lx.LxIntrinsics()
        model = k.model
        k.model = RADTAN
        assert model == RADTAN
        del k  # the member keeps its record alive
        assert model.value == 1


class TestCoeffs:
    @pytest.mark.parametrize(
        "value",
        [
            [1, 2, 3, 4, 5],
            (1.0, 2.0, 3.0, 4.0, 5.0),
            np.arange(1, 6, dtype=np.int64),
            np.array([[1, 2, 3, 4, 5]], dtype=np.float64),
            np.repeat(np.arange(1, 6), 2)[::2],  # a strided view
        ],
    )
    def test_anything_numpy_converts(self, value):
        k = lx.LxIntrinsics()
        k.coeffs = value
        coeffs = k.coeffs
        assert coeffs.dtype == np.float32 and coeffs.shape == (5,)
        assert coeffs.tolist() == [1.0, 2.0, 3.0, 4.0, 5.0]

    @pytest.mark.parametrize("value", [[1, 2, 3, 4], [1, 2, 3, 4, 5, 6], [], np.zeros((2, 5))])
    def test_wrong_count_raises_and_leaves_the_record(self, value):
        k = lx.LxIntrinsics()
        k.coeffs = [9, 9, 9, 9, 9]
        with pytest.raises(RuntimeError, match="^coeffs must have 5 elements$"):
            k.coeffs = value
        assert k.coeffs.tolist() == [9.0] * 5

    @pytest.mark.parametrize("value", [
        "abc", "1.5", b"12345", ["a", "b", "c", "d", "e"], ["1", "2", "3", "4", "5"],
        [1, 2, "3", 4, 5], object(), [object()] * 5, [1, 2, [3], 4, 5], [1j] * 5, None,
    ])
    def test_values_that_are_not_numbers_raise_type_error_and_leave_the_record(self, value):
        # NumPy reads "1.5" and ["1", ...] as numbers and raises ValueError for other text and
        # ragged lists: all of them are values of the wrong kind.
        k = lx.LxIntrinsics()
        k.coeffs = [9, 9, 9, 9, 9]
        with pytest.raises(TypeError, match="^coeffs must be numbers"):
            k.coeffs = value
        assert k.coeffs.tolist() == [9.0] * 5

    def test_reading_gives_an_independent_copy(self):
        k = lx.LxIntrinsics()
        k.coeffs = [1, 2, 3, 4, 5]
        coeffs = k.coeffs
        coeffs[0] = 100
        assert k.coeffs[0] == 1.0
        assert k.coeffs is not k.coeffs


class TestRepr:
    def test_records_show_their_fields(self, kavl_camera, tmp_path):
        fmt = next(f for f in formats_of(kavl_camera)
                   if f.format == lx.LX_IMAGE_FORMAT.LX_IMAGE_FORMAT_YUY2)
        assert repr(fmt) == "LxFormat(format=LX_IMAGE_FORMAT_YUY2, width={}, height={}, " \
                            "framerate={})".format(fmt.width, fmt.height, fmt.framerate)
        k = lx.LxIntrinsics()
        k.fx, k.cx, k.model, k.coeffs = 1400.5, 0.1, RADTAN, [-0.12, 0, 0, 0, 1e-9]
        assert repr(k) == ("LxIntrinsics(w=0, h=0, fx=1400.5, fy=0.0, cx=0.1, cy=0.0, "
                           "model=LX_DIST_MODEL_RADTAN, coeffs=[-0.12, 0.0, 0.0, 0.0, 1e-09])")
        # Long byte fields abridged; a name that is not UTF-8 still prints.
        path = sim.write_boot_data_image(str(tmp_path / "v3.bin"), 3, product_name=b"\xffCam",
                                         sensor_fuse_id=bytes(range(16)), qr_fw_version=(1, 5))
        _, _, header = lx.LxGetBootdataHeaderV3FromFile(path)
        text = repr(header)
        assert text.startswith("LxHeaderV3(headerVersion=3, contentOffset=")
        assert "sensorFuseId=<16 bytes 0001020304050607...>, productName=<not UTF-8>" in text
        assert "qrFwVersion='0105'" in text and text.endswith(")")

    def test_nothing_prints_as_an_address(self, kavl_camera, kavn_camera):
        fmt = formats_of(kavl_camera, lx.LX_IMAGE_FORMAT.LX_IMAGE_FORMAT_YUY2)[0]
        route = lx.LxLoadRouteYaml(sim.sample_path("second_camera.yaml"))
        objects = [fmt, kavl_camera, route, lx.LxIntrinsics(), lx.LxGetIntrinsics(kavl_camera)[1],
                   lx.LxGetBootdataHeaderV3(kavl_camera)[1], lx.LxGetBootdataHeaderV2(kavn_camera)[1],
                   lx.LxGetISPUData(kavn_camera)[1], lx.LxDiscoverCameraDevices()[1]]
        sim.set_pacing("free-run")
        with FrameStream(kavl_camera, fmt) as stream:
            objects += [stream, stream.read()]
        sim.reset_call_counts()
        texts = [repr(o) for o in objects]
        assert not [t for t in texts if " at 0x" in t], texts
        assert repr(kavl_camera) == "<LxCamera>" and repr(route) == "<LxRoute>"
        # A repr calls no SDK function.
        assert [sim.call_count(f) for f in ("LxGetDeviceName", "LxGetFormatList")] == [0, 0]
