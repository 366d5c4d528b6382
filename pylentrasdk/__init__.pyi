# Types of the package: every name of the compiled module pyLentraSDK (re-exported at import
# time by __init__.py) and the named statuses.
from __future__ import annotations

from .pyLentraSDK import *
from .status import LxStatus as LxStatus, status_name as status_name
from .errors import (
    CameraBusyError as CameraBusyError, CameraClosedError as CameraClosedError,
    CameraNotFoundError as CameraNotFoundError, ControlValueError as ControlValueError,
    LentraError as LentraError, NotSupportedError as NotSupportedError)
from .stream import CaptureTimeoutError as CaptureTimeoutError, StreamError as StreamError
from .formats import Format as Format
from .camera import Camera as Camera, CameraInfo as CameraInfo, cameras as cameras

__version__: str

# The binding's names, the named statuses, then the camera layer.
__all__ = [
    "DISABLE", "DISABLED", "ENABLE", "ENABLED", "ENABLED_AND_SAVE", "FW_TARGET_I2C",
    "FW_TARGET_NONE", "FW_TARGET_RAM", "FW_TARGET_SPI", "HelloLentraSDK", "INTERFACE_ETHERNET",
    "INTERFACE_MIPI_CSI2", "INTERFACE_USB", "ISPU", "ISP_EHDR_ATM_MAX", "ISP_EHDR_ATM_WEIGHT",
    "ISP_EHDR_EXPOSURE_MAX_NUMBER", "ISP_EHDR_EXPOSURE_MIN_NUMBER", "ISP_EHDR_RATIO_MAX",
    "ISP_EHDR_RATIO_MIN", "ISP_IMAGE_BACKLIGHT_COMPENSATION", "ISP_IMAGE_BRIGHTNESS",
    "ISP_IMAGE_CONTRAST", "ISP_IMAGE_DENOISE", "ISP_IMAGE_EHDR_MODE", "ISP_IMAGE_EXPOSURE_GAIN",
    "ISP_IMAGE_EXPOSURE_MAX_TIME", "ISP_IMAGE_EXPOSURE_MIN_TIME", "ISP_IMAGE_EXPOSURE_MODE",
    "ISP_IMAGE_EXPOSURE_TIME", "ISP_IMAGE_FLASH_MODE", "ISP_IMAGE_FLICK_MODE",
    "ISP_IMAGE_FLIP_MODE", "ISP_IMAGE_GAMMA", "ISP_IMAGE_IMU_MODE", "ISP_IMAGE_JPEG_QUALITY",
    "ISP_IMAGE_PAN", "ISP_IMAGE_PROP_MAX", "ISP_IMAGE_SATURATION", "ISP_IMAGE_SHARPNESS",
    "ISP_IMAGE_SPECIAL_EFFECT_MODE", "ISP_IMAGE_TILT", "ISP_IMAGE_TRIGGER_MODE",
    "ISP_IMAGE_WHITEBALANCE_MODE", "ISP_IMAGE_WHITEBALANCE_TEMPERATURE", "ISP_IMAGE_ZOOM",
    "LXCAM_PRODUCT_TYPE_GENERIC_CAMERA", "LXCAM_PRODUCT_TYPE_KAVL", "LXCAM_PRODUCT_TYPE_KAVN",
    "LXCAM_PRODUCT_TYPE_KAVR", "LXCAM_PRODUCT_TYPE_NONE_CAMERA", "LXCAM_PRODUCT_TYPE_OV5640",
    "LXCAM_PRODUCT_TYPE_RECOVERY", "LX_BUFFER_CORRUPTED", "LX_CAMERA_INTERFACE_TYPE",
    "LX_CAMERA_PRODUCT_TYPE", "LX_CAM_OCCUPIED", "LX_CAPTURE_RESULT", "LX_DISTORTION_MODEL",
    "LX_DIST_MODEL_RADTAN", "LX_DIST_NONE", "LX_FLASH_MODE", "LX_FX3_FW_TARGET", "LX_IMAGE_FORMAT",
    "LX_IMAGE_FORMAT_BGR", "LX_IMAGE_FORMAT_BGRA", "LX_IMAGE_FORMAT_BGRX", "LX_IMAGE_FORMAT_MJPG",
    "LX_IMAGE_FORMAT_NONE", "LX_IMAGE_FORMAT_NV12", "LX_IMAGE_FORMAT_RGB", "LX_IMAGE_FORMAT_RGB16",
    "LX_IMAGE_FORMAT_UYVY", "LX_IMAGE_FORMAT_YUY2", "LX_IMU_MODE", "LX_IMU_SELF_TEST_MODE",
    "LX_ISP_IMAGE_PROPERTIES", "LX_LOG_LEVEL", "LX_LOG_LEVEL_CRITICAL", "LX_LOG_LEVEL_DEBUG",
    "LX_LOG_LEVEL_ERROR", "LX_LOG_LEVEL_INFO", "LX_LOG_LEVEL_OFF", "LX_LOG_LEVEL_TRACE",
    "LX_LOG_LEVEL_WARN", "LX_OSP_PROFILE_FLAG", "LX_OTHER_ERROR", "LX_SENSOR_MODE", "LX_SUCCESS",
    "LX_TIMEOUT", "LX_UPGRADE_BSL_SWITCH_FAIL", "LX_UPGRADE_ERASE_FAIL", "LX_UPGRADE_INIT_FAIL",
    "LX_UPGRADE_INVALID_FIRMWARE", "LX_UPGRADE_MCU_MISMATCH", "LX_UPGRADE_MCU_READ_FAIL",
    "LX_UPGRADE_OTHER_ERROR", "LX_UPGRADE_PROGRAM_FAIL", "LX_UPGRADE_RESET_FAIL",
    "LX_UPGRADE_RESULT", "LX_UPGRADE_START_APP_FAIL", "LX_UPGRADE_SUCCESS",
    "LX_UPGRADE_VERIFY_FAIL", "LX_USB_DEVICE_SPEED", "LX_UVC_IMAGE_PROPERTIES", "LxAP1302I2CRead",
    "LxAP1302I2CWrite", "LxAP1302SensorRegisterRead", "LxAP1302SensorRegisterWrite",
    "LxActivateProfileImageProcessing", "LxActivateProfileStreaming", "LxActivateYamlRoutes",
    "LxCamera", "LxClose", "LxDecodeSensorConfig", "LxDiscoverCameraDevices", "LxEnableIMUMode",
    "LxExportSensorConfig", "LxFlashProductInfo", "LxFormat", "LxGenericI2CRead",
    "LxGenericI2CWrite", "LxGetBootdataHeaderV2", "LxGetBootdataHeaderV2FromFile",
    "LxGetBootdataHeaderV3", "LxGetBootdataHeaderV3FromFile", "LxGetCurrentExposure",
    "LxGetCurrentGain", "LxGetDeviceInterfaceType", "LxGetDeviceName", "LxGetDevicePath",
    "LxGetDeviceProductType", "LxGetFormatList", "LxGetFrameCount", "LxGetHardwareID",
    "LxGetHeaderVersion", "LxGetIMUAccData", "LxGetIMUGyrData", "LxGetIMUSensorTime",
    "LxGetIMUTemperature", "LxGetISPImageProcessing", "LxGetISPImageProcessingRange",
    "LxGetISPUData", "LxGetImage", "LxGetIntrinsics", "LxGetKAVRFirmwareVersion", "LxGetMaxFPS",
    "LxGetOSPProfileConfig", "LxGetOSPProfileFlag", "LxGetSensorFirmwareVersion",
    "LxGetSensorUniqueID", "LxGetSensorWorkMode", "LxGetThroughPut", "LxGetTimestamp",
    "LxGetUSBDeviceSpeed", "LxGetUSBFirmwareVersion", "LxGetUVCImageProcessing",
    "LxGetUVCImageProcessingRange", "LxGotoUSBProgramMode", "LxHeaderV2", "LxHeaderV3",
    "LxImuIspu", "LxInitialCameraDevice", "LxIntrinsics", "LxIsLentraCamera",
    "LxLoadProfileConfig", "LxLoadRouteYaml", "LxOpen", "LxRebootIMUMode", "LxResetActiveRoutes",
    "LxResetFrameCount", "LxResetTimestamp", "LxResetUVC", "LxRoute", "LxSetFormat",
    "LxSetISPImageProcessing", "LxSetISPImageProcessingDefault", "LxSetLogFile", "LxSetLogLevel",
    "LxSetMaxFPS", "LxSetOSPProfileFlag", "LxSetThroughPut", "LxSetUVCImageProcessing",
    "LxStartStreaming", "LxStopStreaming", "LxStringList", "LxUpgradeFX3FW", "LxUpgradeSensorFW",
    "LxWriteIntrinsics", "NEGATIVE", "NORMAL", "NOT_ALLOWED", "POSITIVE", "SELF_TEST", "STANDBY",
    "USB_DEVICE_SPEED_FULL", "USB_DEVICE_SPEED_HIGH", "USB_DEVICE_SPEED_LOW",
    "USB_DEVICE_SPEED_SUPER", "USB_DEVICE_SPEED_SUPER_PLUS", "USB_DEVICE_SPEED_UNKNOWN",
    "UVC_IMAGE_BACKLIGHT_COMPENSATION", "UVC_IMAGE_BRIGHTNESS", "UVC_IMAGE_COLORENABLE",
    "UVC_IMAGE_CONTRAST", "UVC_IMAGE_EXPOSURE", "UVC_IMAGE_FOCUS", "UVC_IMAGE_GAIN",
    "UVC_IMAGE_GAMMA", "UVC_IMAGE_HUE", "UVC_IMAGE_IRIS", "UVC_IMAGE_PAN", "UVC_IMAGE_PROP_MAX",
    "UVC_IMAGE_ROLL", "UVC_IMAGE_SATURATION", "UVC_IMAGE_SHARPNESS", "UVC_IMAGE_TILT",
    "UVC_IMAGE_WHITEBALANCE", "UVC_IMAGE_ZOOM", "WORK", "LxStatus", "status_name",
    "Camera", "CameraInfo", "cameras", "Format", "LentraError", "CameraNotFoundError",
    "CameraBusyError", "CameraClosedError", "NotSupportedError", "ControlValueError",
    "StreamError", "CaptureTimeoutError"
]
