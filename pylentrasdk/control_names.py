"""The camera controls by the names the console tool shows them, in its order.

The console tool (pylentractl), the command line (lxctl) and the camera layer
(pylentrasdk.Camera) offer the same controls under the same names: the ISP image properties, then
the two stream settings, then the entries only some cameras have (a trigger mode on MIPI cameras,
seven eHDR controls on the AR0821/AR0822 cameras of three product families). The camera layer
names each control in lower case (`snake_name`: "White_Balance_Mode" is "white_balance_mode").
lxctl and the camera layer also reach the UVC image properties (UVC_CONTROLS), and show the labels
of the choice controls' values (CHOICE_LABELS) as the tool does; the camera layer adds the ISP
controls the console tool does not show (FURTHER_ISP_CONTROLS).
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
# The entries some cameras add after the stream settings, in their order.
OPTIONAL_CONTROLS = (_TRIGGER_CONTROL,) + _EHDR_CONTROLS

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


# ISP controls the console tool does not show, which some cameras have.
FURTHER_ISP_CONTROLS = (
    ("Flash_Mode", "ISP_IMAGE_FLASH_MODE"),
    ("IMU_Mode", "ISP_IMAGE_IMU_MODE"),
)

# Display name -> member name of LX_UVC_IMAGE_PROPERTIES. A UVC property that measures what one
# of the ISP controls above measures carries that control's name: one control, which a camera
# answers through ISP where it has the ISP control and through UVC otherwise (a plain webcam).
# The others follow the ISP controls' style. The console tool shows no UVC property.
UVC_CONTROLS = (
    ("Brightness", "UVC_IMAGE_BRIGHTNESS"),
    ("Contrast", "UVC_IMAGE_CONTRAST"),
    ("Hue", "UVC_IMAGE_HUE"),
    ("Saturation", "UVC_IMAGE_SATURATION"),
    ("Sharpness", "UVC_IMAGE_SHARPNESS"),
    ("Gamma", "UVC_IMAGE_GAMMA"),
    ("Color_Enable", "UVC_IMAGE_COLORENABLE"),
    ("White_Balance_Temperature", "UVC_IMAGE_WHITEBALANCE"),
    ("Backlight", "UVC_IMAGE_BACKLIGHT_COMPENSATION"),
    ("Exposure_Gain", "UVC_IMAGE_GAIN"),
    ("Pan_Target", "UVC_IMAGE_PAN"),
    ("Tilt_Target", "UVC_IMAGE_TILT"),
    ("Roll", "UVC_IMAGE_ROLL"),
    ("Zoom_Target", "UVC_IMAGE_ZOOM"),
    ("Exposure_Time", "UVC_IMAGE_EXPOSURE"),
    ("Iris", "UVC_IMAGE_IRIS"),
    ("Focus", "UVC_IMAGE_FOCUS"),
)

# The labels of choice controls, value by value, as the console tool shows them under a
# control's row (" Normal(0), H-Mirror(1), ...").
CHOICE_LABELS = {
    "White_Balance_Mode": ((0, "Manual Temperature"), (1, "Auto")),
    "Exposure_Mode": ((0, "Manual Mode"), (1, "Auto Mode"), (2, "Auto gain")),
    "Flick_Mode": ((0, "Disable"), (1, "50Hz"), (2, "60Hz"), (3, "Auto")),
    "Special_Effect": ((0, "Normal Mode"), (1, "Black White Mode"), (2, "Grayscale Mode"),
                       (3, "Negative Mode"), (4, "Sketch Mode")),
    "Flip_Mode": ((0, "Normal"), (1, "H-Mirror"), (2, "V-Mirror"), (3, "Rotate-180")),
    "Trigger_mode": ((0, "Disable"), (1, "Sync"), (2, "Periodic"), (3, "Non Periodic")),
    "eHDR_Mode": ((0, "Enable"), (1, "Disable")),
    "Flash_Mode": ((0, "Enable"), (1, "Disable")),
    "IMU_Mode": ((0, "Disable"), (1, "ISPU"), (2, "Self-Test")),
}


def labels_text(name):
    """The labels of a choice control as one text, "Normal(0), H-Mirror(1), ..." ("" for a
    control without labels)."""
    return ", ".join("{}({})".format(label, value) for value, label in CHOICE_LABELS.get(name, ()))


def snake_name(name):
    """The camera layer's name of a control: its display name in lower case."""
    return name.lower()
