"""What the SDK does without a camera: the platform's media routes, and decoding sensor
configuration files."""

from __future__ import annotations

import os

from .. import pyLentraSDK as _binding
from .._files import PathLike, sdk_path
from ..errors import LentraError, NotSupportedError, raise_for_status

__all__ = ["activate_routes", "reset_routes", "decode_sensor_config"]


def _no_routes(function: str) -> NotSupportedError:
    return NotSupportedError("{}: this platform has no media route management".format(function),
                             function=function)


def reset_routes() -> None:
    """Leaves no media route active (NotSupportedError on a platform without route
    management)."""
    # The SDK throws (RuntimeError here) on a platform without route management.
    try:
        status = _binding.LxResetActiveRoutes()
    except RuntimeError:
        raise _no_routes("LxResetActiveRoutes") from None
    raise_for_status(status, "LxResetActiveRoutes")


def activate_routes(path: PathLike) -> None:
    """Loads the YAML route file `path` and activates its routes."""
    where = os.fsdecode(path)
    try:
        routes = _binding.LxLoadRouteYaml(sdk_path(path))
        if routes is None:
            raise LentraError("{}: LxLoadRouteYaml could not load it (not valid YAML, not a route "
                              "file, or it names entities, pads or links the platform lacks)"
                              .format(where), function="LxLoadRouteYaml")
        status = _binding.LxActivateYamlRoutes(routes)
    except RuntimeError:
        raise _no_routes("LxLoadRouteYaml") from None
    raise_for_status(status, "LxActivateYamlRoutes", where)


def decode_sensor_config(binary: PathLike, json_path: PathLike) -> None:
    """Decodes the sensor configuration file `binary` into the JSON file `json_path`."""
    raise_for_status(_binding.LxDecodeSensorConfig(sdk_path(binary), sdk_path(json_path)),
                     "LxDecodeSensorConfig", os.fsdecode(binary))
