"""Module functions for logging, discovery, identity, formats and streaming: their Python shape,
argument conversion, and every adapter's success and failure results."""
import pytest

import pylentrasdk as lx
from pylentrasdk import pyLentraSDK, sim

DOCSTRINGS = {
    "HelloLentraSDK": "A function that prints Hello LentraSDK and version",
    "LxSetLogFile": "Set log file path",
    "LxSetLogLevel": "Set log level",
    "LxDiscoverCameraDevices": "Discover available camera devices",
    "LxInitialCameraDevice": "Initialize camera device by index",
    "LxOpen": "Open camera device",
    "LxClose": "Close camera device",
    "LxIsLentraCamera": "Check if camera is Lentra camera",
    "LxGetDeviceName": "Get camera device name",
    "LxGetDevicePath": "Get camera device path",
    "LxGetDeviceInterfaceType": "Get camera device interface type",
    "LxGetDeviceProductType": "Get camera device product type",
    "LxGetHardwareID": "Get camera hardware ID",
    "LxGetUSBDeviceSpeed": "Get USB device speed",
    "LxGetFormatList": "Get supported format list",
    "LxSetFormat": "Set camera format",
    "LxStartStreaming": "Start camera streaming",
    "LxStopStreaming": "Stop camera streaming",
    "LxGetImage": "Get camera image",
    "LxResetUVC": "UVC reset",
    "LxGetUSBFirmwareVersion": "Get USB firmware version",
    "LxGetKAVRFirmwareVersion": "Get KAVR firmware version",
    "LxGetSensorFirmwareVersion": "Get Sensor firmware version",
}
TEXT_GETTERS = [
    "LxGetDeviceName",
    "LxGetDevicePath",
    "LxGetHardwareID",
    "LxGetUSBFirmwareVersion",
    "LxGetKAVRFirmwareVersion",
    "LxGetSensorFirmwareVersion",
]
ENUM_GETTERS = {
    "LxGetDeviceInterfaceType": lx.LX_CAMERA_INTERFACE_TYPE.INTERFACE_ETHERNET,
    "LxGetDeviceProductType": lx.LX_CAMERA_PRODUCT_TYPE.LXCAM_PRODUCT_TYPE_RECOVERY,
    "LxGetUSBDeviceSpeed": lx.LX_USB_DEVICE_SPEED.USB_DEVICE_SPEED_HIGH,
}


def test_module_identity():
    assert pyLentraSDK.__doc__ == "Python bindings for LentraSDK"
    assert pyLentraSDK.__name__ == "pylentrasdk.pyLentraSDK"
    for name in dir(pyLentraSDK):
        if not name.startswith("_"):
            assert getattr(lx, name) is getattr(pyLentraSDK, name)
    assert isinstance(lx.__version__, str) and lx.__version__


class TestSignatures:
    @pytest.mark.parametrize("name", DOCSTRINGS)
    def test_docstring_after_generated_signature(self, name):
        lines = getattr(lx, name).__doc__.strip().splitlines()
        assert lines[0].startswith(name + "(")
        assert lines[-1] == DOCSTRINGS[name]

    @pytest.mark.parametrize(
        "name, parameters, returns",
        [
            ("LxOpen", ["arg0: pylentrasdk.pyLentraSDK.LxCamera"], "int"),
            ("LxSetLogLevel", ["arg0: pylentrasdk.pyLentraSDK.LX_LOG_LEVEL"], "None"),
            ("LxDiscoverCameraDevices", [], "tuple[int, pylentrasdk.pyLentraSDK.LxStringList]"),
            ("LxInitialCameraDevice", ["arg0: typing.SupportsInt"], "LxCamera"),
            ("LxGetDeviceName", ["arg0: pylentrasdk.pyLentraSDK.LxCamera"], "tuple[int, str]"),
            ("LxGetFormatList", ["arg0: pylentrasdk.pyLentraSDK.LxCamera"], "LxFormat]]"),
            ("LxGetImage", ["arg0: pylentrasdk.pyLentraSDK.LxCamera", "arg1: typing.SupportsInt",
                            "arg2: pylentrasdk.pyLentraSDK.LxFormat"], "uint8"),
        ],
    )
    def test_positional_parameters_with_python_type_names(self, name, parameters, returns):
        signature = getattr(lx, name).__doc__.strip().splitlines()[0]
        args, result = signature[len(name) + 1:].split(") -> ")
        args = [a for a in args.split(", ") if a]
        assert len(args) == len(parameters)
        assert all(a.startswith(p) for a, p in zip(args, parameters))
        assert returns in result
        assert "LX_CAPTURE_RESULT" in lx.LxGetImage.__doc__.splitlines()[0]


class TestLibraryFunctions:
    def test_greeting_and_logging(self, tmp_path, capfd):
        assert lx.HelloLentraSDK() is None
        assert "Hello LentraSDK" in capfd.readouterr().out
        assert lx.LxSetLogFile(str(tmp_path / "sdk.log")) == 0
        assert lx.LxSetLogLevel(lx.LX_LOG_LEVEL.LX_LOG_LEVEL_OFF) is None

    @pytest.mark.parametrize("level", [0, 1.0, "LX_LOG_LEVEL_OFF", lx.LX_FLASH_MODE.ENABLE])
    def test_log_level_only_as_a_member(self, level):
        with pytest.raises(TypeError):
            lx.LxSetLogLevel(level)


class TestDiscovery:
    def test_default_rig(self):
        status, names = lx.LxDiscoverCameraDevices()
        assert status == 0 and type(names) is lx.LxStringList
        assert len(names) >= 3 and all(isinstance(n, str) and n for n in names)
        assert any("AR0822" in n for n in names)

    def test_no_camera(self):
        sim.inject("LxDiscoverCameraDevices", status=0, value=[])
        status, names = lx.LxDiscoverCameraDevices()
        assert (status, type(names), len(names), bool(names)) == (0, lx.LxStringList, 0, False)

    def test_status_and_names_come_back_as_the_sdk_left_them(self):
        sim.inject("LxDiscoverCameraDevices", status=-8, value=["b", "a", "b"])
        status, names = lx.LxDiscoverCameraDevices()
        assert (status, list(names)) == (-8, ["b", "a", "b"])

    def test_index_is_a_32_bit_int(self):
        for index in (0.0, 2**31, -2**31 - 1, "0", None):
            with pytest.raises(TypeError):
                lx.LxInitialCameraDevice(index)

    def test_handles(self):
        status, names = lx.LxDiscoverCameraDevices()
        cam = lx.LxInitialCameraDevice(0)
        assert type(cam) is lx.LxCamera
        assert lx.LxInitialCameraDevice(0) is cam  # the SDK's object, met again
        assert lx.LxInitialCameraDevice(len(names)) is None
        assert lx.LxInitialCameraDevice(-1) is None
        sim.inject("LxInitialCameraDevice", empty=True)
        assert lx.LxInitialCameraDevice(0) is None


class TestCameraArguments:
    def test_none_reaches_the_sdk_as_an_empty_handle(self):
        # A status (or failure result), never a crash.
        assert lx.LxOpen(None) < 0
        assert lx.LxStartStreaming(None) < 0
        status, name = lx.LxGetDeviceName(None)
        assert status < 0 and name == ""
        status, formats = lx.LxGetFormatList(None)
        assert status < 0 and formats == []

    @pytest.mark.parametrize("other", ["cam", 0, lx.LxIntrinsics(), lx.LxStringList()])
    def test_other_objects_are_refused_before_the_sdk(self, other):
        before = sim.call_count("LxOpen")
        with pytest.raises(TypeError):
            lx.LxOpen(other)
        with pytest.raises(TypeError):
            lx.LxGetDeviceName(other)
        assert sim.call_count("LxOpen") == before

    def test_set_format_needs_an_lxformat(self, kavl_camera):
        for other in ("640x480", 0, lx.LxIntrinsics()):
            with pytest.raises(TypeError):
                lx.LxSetFormat(kavl_camera, other)


class TestIdentity:
    def test_default_rig_cameras(self, kavl_camera, kavn_camera, webcam):
        USB, MIPI = lx.INTERFACE_USB, lx.INTERFACE_MIPI_CSI2
        assert lx.LxGetDeviceInterfaceType(kavl_camera) == (0, USB)
        assert lx.LxGetDeviceInterfaceType(kavn_camera) == (0, MIPI)
        assert lx.LxGetUSBDeviceSpeed(kavl_camera) == (0, lx.USB_DEVICE_SPEED_SUPER)
        assert lx.LxIsLentraCamera(kavl_camera) == 0
        assert lx.LxGetDeviceProductType(webcam) == (0, lx.LXCAM_PRODUCT_TYPE_GENERIC_CAMERA)
        status, name = lx.LxGetDeviceName(kavl_camera)
        assert status == 0 and "AR0822" in name

    @pytest.mark.parametrize("name", TEXT_GETTERS)
    def test_text_results(self, name, kavl_camera):
        function = getattr(lx, name)
        status, text = function(kavl_camera)
        assert isinstance(status, int) and isinstance(text, str)
        sim.inject(name, status=-7, text="Grüße from the SDK")
        assert function(kavl_camera) == (-7, "Grüße from the SDK")

    @pytest.mark.parametrize("name", TEXT_GETTERS)
    def test_invalid_utf8_raises_after_the_sdk_call(self, name, kavl_camera):
        before = sim.call_count(name)
        sim.inject(name, text=b"ok \xff\xfe")
        with pytest.raises(UnicodeDecodeError):
            getattr(lx, name)(kavl_camera)
        assert sim.call_count(name) == before + 1

    def test_invalid_utf8_device_name_raises_after_discovery(self):
        before = sim.call_count("LxDiscoverCameraDevices")
        sim.inject("LxDiscoverCameraDevices", value=["Good camera"], text=b"bad \xff")
        with pytest.raises(UnicodeDecodeError):
            lx.LxDiscoverCameraDevices()
        assert sim.call_count("LxDiscoverCameraDevices") == before + 1

    @pytest.mark.parametrize("name", ENUM_GETTERS)
    def test_enumeration_results(self, name, kavl_camera):
        member = ENUM_GETTERS[name]
        sim.inject(name, status=0, value=member)
        status, value = getattr(lx, name)(kavl_camera)
        assert status == 0 and value == member and type(value) is type(member)
        sim.inject(name, status=-6, value=member)
        assert getattr(lx, name)(kavl_camera)[0] == -6

    def test_unknown_enumeration_value_still_has_its_type(self, kavl_camera):
        sim.inject("LxGetDeviceProductType", value=42)
        status, kind = lx.LxGetDeviceProductType(kavl_camera)
        assert type(kind) is lx.LX_CAMERA_PRODUCT_TYPE and kind.value == 42


class TestFormatList:
    def test_fresh_copies_in_sdk_order(self, kavl_camera):
        status, first = lx.LxGetFormatList(kavl_camera)
        status2, second = lx.LxGetFormatList(kavl_camera)
        assert status == status2 == 0 and type(first) is list and len(first) == len(second)
        assert all(type(f) is lx.LxFormat for f in first)
        assert all(a is not b for a, b in zip(first, second))
        key = [(f.width, f.height, f.framerate, f.format) for f in first]
        assert key == [(f.width, f.height, f.framerate, f.format) for f in second]
        assert lx.LX_IMAGE_FORMAT_NONE in [f.format for f in first]

    def test_injected_list_and_failure(self, kavl_camera):
        sim.inject("LxGetFormatList", status=-9, value=[
            {"width": 320, "height": 240, "framerate": 15, "format": int(lx.LX_IMAGE_FORMAT_NV12)}])
        status, formats = lx.LxGetFormatList(kavl_camera)
        assert status == -9
        assert [(f.width, f.height, f.framerate, f.format) for f in formats] == [
            (320, 240, 15, lx.LX_IMAGE_FORMAT_NV12)]


class TestStreaming:
    def test_order_of_use(self, kavl_camera):
        fmt = [f for f in lx.LxGetFormatList(kavl_camera)[1] if f.format != lx.LX_IMAGE_FORMAT_NONE][0]
        assert lx.LxSetFormat(kavl_camera, fmt) == 0
        assert lx.LxStartStreaming(kavl_camera) == 0
        assert lx.LxStopStreaming(kavl_camera) == 0
        assert lx.LxResetUVC(kavl_camera) == 0
        assert lx.LxClose(kavl_camera) == 0
        assert lx.LxStartStreaming(kavl_camera) < 0  # closed: a status, no exception

