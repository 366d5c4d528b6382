"""lxctl firmware: the sensor's or the USB controller's firmware upgraded from an image."""

from __future__ import annotations

import argparse

from .common import Progress, Shown, UsageError, camera_errors, input_file, opened

_STORES = ("i2c", "ram", "spi")


def add_firmware_arguments(parser: argparse.ArgumentParser) -> None:
    parser.add_argument("target", choices=("sensor", "usb"),
                        help="the sensor's firmware, or the USB controller's (FX3)")
    parser.add_argument("image", metavar="IMAGE", help="the firmware image file")
    parser.add_argument("--store", choices=_STORES,
                        help="usb only: spi (the default) or i2c keep the new firmware; ram runs "
                             "it until the camera is closed, which is when the command ends")


def run_firmware(args: argparse.Namespace) -> Shown:
    if args.store is not None and args.target != "usb":
        raise UsageError("--store is for the USB controller's firmware (firmware usb)")
    image = input_file(args.image)
    progress = Progress()
    with opened(args.device) as camera, camera_errors():
        try:
            version = camera.upgrade_firmware(args.target, image, progress.bar,
                                              args.store or "spi")
        finally:
            progress.done()
    return Shown({"target": args.target, "image": image, "version": version},
                 ["{} firmware is now {} (from {})".format(args.target, version, image)])
