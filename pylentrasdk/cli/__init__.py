"""lxctl: the cameras from the command line, for scripts.

    lxctl list                       the cameras: index, name, interface, product
    lxctl info [-d N]                one camera's identity and firmware versions
    lxctl formats [-d N]             its formats, numbered as `capture` takes them
    lxctl capture -f FORMAT -o OUT   frames to files: PNG, raw bytes, or the JPEG itself
                  [--set NAME=VALUE...]  after setting controls
    lxctl controls [-d N]            the camera's controls: value, range, step, default,
                                     read-only, labels of choices
    lxctl get NAME...                controls' values, by the names `controls` shows
    lxctl set NAME=VALUE...          sets controls, all checked before any is written
    lxctl imu [--orientation]        one IMU reading (the cameras that have an IMU)
    lxctl routes activate FILE       loads a YAML route file and activates its routes
    lxctl routes reset               leaves no media route active
    lxctl sensor-config export BIN   saves the sensor configuration to a binary file
    lxctl sensor-config decode BIN [JSON]   that file as JSON
    lxctl firmware sensor|usb IMAGE  upgrades the sensor's or the USB controller's firmware
    lxctl view [--port PORT]         every camera live in the browser (pylentrasdk.viewer)

Every command takes --json for machine-readable output. Exit status: 0 success, 1 when the
camera or the SDK refuses (the message names the camera, the call and the status), 2 for a usage
error. Errors are one line on standard error.

One module per group of commands (cameras, capture, controls, imu, routes, sensor_config,
firmware, view), what they share in common, and the command table and parser in main.
"""

from __future__ import annotations

from .main import COMMANDS, Command, build_parser, main

__all__ = ["main", "build_parser", "COMMANDS", "Command"]
