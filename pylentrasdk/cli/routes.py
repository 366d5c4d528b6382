"""lxctl routes: the platform's media routes, activated from a YAML file or reset."""

from __future__ import annotations

import argparse

from ..camera import platform
from .common import Shown, UsageError, camera_errors, input_file


def add_routes_arguments(parser: argparse.ArgumentParser) -> None:
    parser.add_argument("action", choices=("activate", "reset"),
                        help="activate: load a YAML route file and activate its routes; "
                             "reset: leave no route active")
    parser.add_argument("file", nargs="?", metavar="ROUTES.yaml",
                        help="the route file to activate")


def run_routes(args: argparse.Namespace) -> Shown:
    if args.action == "reset":
        if args.file is not None:
            raise UsageError("routes reset takes no file")
        with camera_errors():
            platform.reset_routes()
        return Shown({"reset": True}, ["no media route is active"])
    if args.file is None:
        raise UsageError("routes activate: name the route file (ROUTES.yaml)")
    path = input_file(args.file)
    with camera_errors():
        platform.activate_routes(path)
    return Shown({"activated": path}, ["activated the routes of {}".format(path)])
