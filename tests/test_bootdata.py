"""Boot data against the simulated rig: V2 and V3 headers from the cameras, from image files
(valid and broken) and after flashing product information."""
import pytest

import pylentrasdk as lx
from pylentrasdk import sim

IO_ERROR, INVALID_HANDLE, NOT_SUPPORTED, BAD_FILE, STREAMING = -8, -2, -6, -9, -11
BROKEN_IMAGES = ["version", "offset", "truncated", "trailing", "header", "content", "empty"]

# LxFlashProductInfo is bound with the intrinsics functions; until that binding is in the build,
# its SDK behaviour cannot be reached from Python.
needs_flash = pytest.mark.skipif(not hasattr(lx, "LxFlashProductInfo"),
                                 reason="LxFlashProductInfo is not bound in this build")


class TestHeadersFromTheCamera:
    def test_v3_header_of_the_usb_camera(self, kavl_camera):
        status, header = lx.LxGetBootdataHeaderV3(kavl_camera)
        assert status == 0 and header.headerVersion == 3
        assert header.productName == "KAVL AR0822"
        assert header.sensorFuseId == bytes.fromhex("0822a1b2c3d4e5f60718293a4b5c6d7e")
        assert len(header.lensId) == 16
        assert header.qrFwVersion.isdigit() and 4 <= len(header.qrFwVersion) <= 6
        assert (header.recordYear, header.recordMonth, header.recordDay) == (24, 3, 15)
        assert lx.LxGetBootdataHeaderV2(kavl_camera) == (NOT_SUPPORTED, None)

    def test_v2_header_of_the_mipi_camera(self, kavn_camera):
        status, header = lx.LxGetBootdataHeaderV2(kavn_camera)
        assert status == 0
        assert (header.headerVersion, header.productName, header.productVersion) == (2, "KAVN AR0234", 2)
        assert lx.LxGetBootdataHeaderV3(kavn_camera) == (NOT_SUPPORTED, None)

    def test_no_header_without_an_open_camera_of_the_maker(self, webcam):
        assert lx.LxGetBootdataHeaderV3(webcam) == (NOT_SUPPORTED, None)
        assert lx.LxGetBootdataHeaderV2(None) == (INVALID_HANDLE, None)

    def test_owner_left_untouched_or_emptied_by_the_sdk(self, kavl_camera):
        sim.inject("LxGetBootdataHeaderV2", status=-1)
        status, header = lx.LxGetBootdataHeaderV2(kavl_camera)
        assert status == -1 and header.headerVersion == 0 and header.productName == ""
        sim.inject("LxGetBootdataHeaderV3", status=-1, empty=True)
        assert lx.LxGetBootdataHeaderV3(kavl_camera) == (-1, None)


class TestHeadersFromFiles:
    def test_valid_images_of_each_version(self, tmp_path):
        v3 = sim.write_boot_data_image(
            str(tmp_path / "v3.bin"), 3, product_name="Bench", sensor_type=0x0822,
            sensor_fuse_id=b"\x01" * 16, qr_fw_version=(1, 5), content=b"abc" * 100,
            content_offset=200)
        status, path, header = lx.LxGetBootdataHeaderV3FromFile(v3)
        assert (status, path) == (0, v3)
        assert (header.productName, header.sensorType, header.qrFwVersion) == ("Bench", 0x0822, "0105")
        assert (header.contentOffset, header.contentLen) == (200, 300)
        assert header.sensorFuseId == b"\x01" * 16
        v2 = sim.write_boot_data_image(str(tmp_path / "v2.bin"), 2, product_name="Old", product_version=4)
        status, path, header = lx.LxGetBootdataHeaderV2FromFile(v2)
        assert (status, header.productName, header.productVersion, header.contentOffset) == (0, "Old", 4, 144)

    def test_an_image_of_the_other_version_is_refused(self, tmp_path):
        v2 = sim.write_boot_data_image(str(tmp_path / "v2.bin"), 2)
        assert lx.LxGetBootdataHeaderV3FromFile(v2) == (BAD_FILE, v2, None)

    @pytest.mark.parametrize("version", [2, 3])
    @pytest.mark.parametrize("broken", BROKEN_IMAGES)
    def test_broken_images_give_a_status_and_no_header(self, tmp_path, version, broken):
        path = sim.write_boot_data_image(str(tmp_path / "bad.bin"), version, broken=broken)
        read = lx.LxGetBootdataHeaderV2FromFile if version == 2 else lx.LxGetBootdataHeaderV3FromFile
        assert read(path) == (BAD_FILE, path, None)

    def test_missing_and_tiny_files(self, tmp_path):
        zeros = tmp_path / "zeros"
        zeros.write_bytes(bytes(7))
        missing = str(tmp_path / "missing")
        for read in (lx.LxGetBootdataHeaderV2FromFile, lx.LxGetBootdataHeaderV3FromFile):
            assert read(str(zeros)) == (BAD_FILE, str(zeros), None)
            assert read(missing) == (IO_ERROR, missing, None)
            assert read(str(tmp_path)) == (IO_ERROR, str(tmp_path), None)
            status, text, header = read()
            assert status != 0 and text == "" and header is None

    def test_the_path_reaches_the_sdk(self, tmp_path):
        sim.inject("LxGetBootdataHeaderV3FromFile", value={"productName": "From a fault"})
        status, path, header = lx.LxGetBootdataHeaderV3FromFile("/any/where")
        assert (status, path, header.productName) == (0, "/any/where", "From a fault")
        with pytest.raises(TypeError):
            lx.LxGetBootdataHeaderV2FromFile(7)


@needs_flash
class TestFlashingProductInfo:
    def test_flashed_header_is_read_back(self, kavl_camera, tmp_path):
        path = sim.write_boot_data_image(str(tmp_path / "info.bin"), 3, product_name="Renamed",
                                         custom_number=42)
        assert lx.LxFlashProductInfo(kavl_camera, path) == 0
        status, header = lx.LxGetBootdataHeaderV3(kavl_camera)
        assert (status, header.productName, header.customNumber) == (0, "Renamed", 42)

    def test_an_image_of_the_other_version_replaces_the_header(self, kavl_camera, tmp_path):
        path = sim.write_boot_data_image(str(tmp_path / "v2.bin"), 2, product_name="Now V2")
        assert lx.LxFlashProductInfo(kavl_camera, path) == 0
        assert lx.LxGetHeaderVersion(kavl_camera) == 2
        assert lx.LxGetBootdataHeaderV2(kavl_camera)[1].productName == "Now V2"
        assert lx.LxGetBootdataHeaderV3(kavl_camera) == (NOT_SUPPORTED, None)

    @pytest.mark.parametrize("broken", BROKEN_IMAGES)
    def test_a_bad_image_changes_nothing(self, kavl_camera, tmp_path, broken):
        path = sim.write_boot_data_image(str(tmp_path / "bad.bin"), 3, product_name="Bad", broken=broken)
        assert lx.LxFlashProductInfo(kavl_camera, path) == BAD_FILE
        assert lx.LxGetBootdataHeaderV3(kavl_camera)[1].productName == "KAVL AR0822"

    def test_cameras_that_cannot_take_it(self, kavl_camera, webcam, tmp_path):
        path = sim.write_boot_data_image(str(tmp_path / "info.bin"), 3, product_name="Nope")
        assert lx.LxFlashProductInfo(webcam, path) == NOT_SUPPORTED
        assert lx.LxFlashProductInfo(None, path) == INVALID_HANDLE
        assert lx.LxStartStreaming(kavl_camera) == 0
        assert lx.LxFlashProductInfo(kavl_camera, path) == STREAMING
        lx.LxStopStreaming(kavl_camera)
        assert lx.LxFlashProductInfo(kavl_camera, str(tmp_path / "missing")) == IO_ERROR
        assert lx.LxGetBootdataHeaderV3(kavl_camera)[1].productName == "KAVL AR0822"
