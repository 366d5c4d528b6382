"""The one table of camera controls: their display names, in the console tool's order, and the
labels of choice controls.

The console tool (pylentractl) shows the controls by these display names: the ISP image
properties, then the two stream settings, then the entries only some cameras have (a trigger mode
on MIPI cameras, seven eHDR controls on the AR0821/AR0822 cameras of three product families). The
camera layer (pylentrasdk.Camera), and through it lxctl, the viewer and settings files, names each
in lower case (`snake_name`: "White_Balance_Mode" is "white_balance_mode"), reaches the UVC image
properties too (UVC_CONTROLS) and the ISP controls the console tool does not show
(FURTHER_ISP_CONTROLS). Both show the labels of the choice controls' values (CHOICE_LABELS).
"""

from __future__ import annotations

from typing import Any, Mapping

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

TRIGGER_CONTROL = ("Trigger_mode", "ISP_IMAGE_TRIGGER_MODE")
EHDR_CONTROLS = (
    ("eHDR_Mode", "ISP_IMAGE_EHDR_MODE"),
    ("eHDR_Exposure_Min_Number", "ISP_EHDR_EXPOSURE_MIN_NUMBER"),
    ("eHDR_Exposure_Max_Number", "ISP_EHDR_EXPOSURE_MAX_NUMBER"),
    ("eHDR_Ratio_Min", "ISP_EHDR_RATIO_MIN"),
    ("eHDR_Ratio_Max", "ISP_EHDR_RATIO_MAX"),
    ("eHDR_Atm_Weight", "ISP_EHDR_ATM_WEIGHT"),
    ("eHDR_Atm_Max", "ISP_EHDR_ATM_MAX"),
)
# The entries some cameras add after the stream settings, in their order.
OPTIONAL_CONTROLS = (TRIGGER_CONTROL,) + EHDR_CONTROLS

# The cameras that have the eHDR controls: of these product families, with one of these sensors
# in their names; the trigger mode is on MIPI cameras (the console tool decides with these).
EHDR_FAMILIES = ("LXCAM_PRODUCT_TYPE_KAVL", "LXCAM_PRODUCT_TYPE_KAVR", "LXCAM_PRODUCT_TYPE_KAVN")
EHDR_SENSORS = ("AR0821", "AR0822")


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


def labels_text(name: str) -> str:
    """The labels of a choice control, by its display name, as one text: "Normal(0),
    H-Mirror(1), ..." ("" for a control without labels)."""
    return labels_text_of(dict(CHOICE_LABELS.get(name, ())))


def labels_text_of(labels: Mapping[Any, str]) -> str:
    """Labels by value ({0: "Normal", ...}, the values as numbers or text) as one text:
    "Normal(0), H-Mirror(1), ..."."""
    return ", ".join("{}({})".format(label, value) for value, label in labels.items())


def snake_name(name: str) -> str:
    """The camera layer's name of a control: its display name in lower case."""
    return name.lower()
