"""The camera controls by the names the console tool shows them, in its order.

The console tool (pylentractl) and the command line (lxctl) offer the same controls under the
same names: the ISP image properties, then the two stream settings, then the entries only some
cameras have (a trigger mode on MIPI cameras, seven eHDR controls on the AR0821/AR0822 cameras of
three product families).
"""

import pylentrasdk

# Display name -> member name of LX_ISP_IMAGE_PROPERTIES, in listing order.
ISP_CONTROLS = (
    ("Brightness", "ISP_IMAGE_BRIGHTNESS"),
    ("Contrast", "ISP_IMAGE_CONTRAST"),
    ("Saturation", "ISP_IMAGE_SATURATION"),
    ("Gamma", "ISP_IMAGE_GAMMA"),
    ("Sharpness", "ISP_IMAGE_SHARPNESS"),
    ("Backlight", "ISP_IMAGE_BACKLIGHT_COMPENSATION"),
    ("Noise", "ISP_IMAGE_DENOISE"),
    ("White_Balance_Mode", "ISP_IMAGE_WHITEBALANCE_MODE"),
    ("White_Balance_Temperature", "ISP_IMAGE_WHITEBALANCE_TEMPERATURE"),
    ("JPEG_Quality", "ISP_IMAGE_JPEG_QUALITY"),
    ("Exposure_Mode", "ISP_IMAGE_EXPOSURE_MODE"),
    ("Exposure_Time", "ISP_IMAGE_EXPOSURE_TIME"),
    ("Exposure_Min_Time", "ISP_IMAGE_EXPOSURE_MIN_TIME"),
    ("Exposure_Max_Time", "ISP_IMAGE_EXPOSURE_MAX_TIME"),
    ("Exposure_Gain", "ISP_IMAGE_EXPOSURE_GAIN"),
    ("Flick_Mode", "ISP_IMAGE_FLICK_MODE"),
    ("Special_Effect", "ISP_IMAGE_SPECIAL_EFFECT_MODE"),
    ("Flip_Mode", "ISP_IMAGE_FLIP_MODE"),
    ("Pan_Target", "ISP_IMAGE_PAN"),
    ("Tilt_Target", "ISP_IMAGE_TILT"),
    ("Zoom_Target", "ISP_IMAGE_ZOOM"),
)

# The stream settings that follow the ISP controls, with the bounds the tool accepts for them
# (the SDK has no range getter for these two).
STREAM_SETTINGS = (
    ("Throughput", 10.0, 1000.0),
    ("Max_FPS", 1, 120),
)

_TRIGGER_CONTROL = ("Trigger_mode", "ISP_IMAGE_TRIGGER_MODE")
_EHDR_CONTROLS = (
    ("eHDR_Mode", "ISP_IMAGE_EHDR_MODE"),
    ("eHDR_Exposure_Min_Number", "ISP_EHDR_EXPOSURE_MIN_NUMBER"),
    ("eHDR_Exposure_Max_Number", "ISP_EHDR_EXPOSURE_MAX_NUMBER"),
    ("eHDR_Ratio_Min", "ISP_EHDR_RATIO_MIN"),
    ("eHDR_Ratio_Max", "ISP_EHDR_RATIO_MAX"),
    ("eHDR_Atm_Weight", "ISP_EHDR_ATM_WEIGHT"),
    ("eHDR_Atm_Max", "ISP_EHDR_ATM_MAX"),
)
_EHDR_FAMILIES = ("LXCAM_PRODUCT_TYPE_KAVL", "LXCAM_PRODUCT_TYPE_KAVR", "LXCAM_PRODUCT_TYPE_KAVN")
_EHDR_SENSORS = ("AR0821", "AR0822")


def optional_controls(cam):
    """The (display name, ISP member name) entries this camera adds after the stream settings.

    An identity query that fails leaves out the entries that depend on it. The binding's
    functions are looked up on the package at each call, as the tool does."""
    optional = []
    status, interface = pylentrasdk.LxGetDeviceInterfaceType(cam)
    if status == 0 and interface == pylentrasdk.LX_CAMERA_INTERFACE_TYPE.INTERFACE_MIPI_CSI2:
        optional.append(_TRIGGER_CONTROL)
    typeStatus, camtype = pylentrasdk.LxGetDeviceProductType(cam)
    nameStatus, name = pylentrasdk.LxGetDeviceName(cam)
    families = [getattr(pylentrasdk.LX_CAMERA_PRODUCT_TYPE, family) for family in _EHDR_FAMILIES]
    if typeStatus == 0 and nameStatus == 0 and camtype in families \
            and any(sensor in name for sensor in _EHDR_SENSORS):
        optional.extend(_EHDR_CONTROLS)
    return optional
