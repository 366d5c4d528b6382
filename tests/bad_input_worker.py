"""Runs binding calls for test_bad_input.py, one per request, in a process of its own.

Requests come on standard input, one JSON line each: {"function": name, "args": [recipe, ...]}.
Each recipe names an argument to build here (handles and records exist only in this process);
see `build`. The answer to each request is one JSON line on the file descriptor given as the
first command-line argument: {"raised": null} or {"raised": "TypeError", "message": "..."}.
A crash leaves the request unanswered, which the test reads as the crash it is.
"""
import json
import os
import sys

import pylentrasdk as lx
from pylentrasdk import sim

MODULE = lx.pyLentraSDK
SCRATCH = sys.argv[2]
EXAMPLE_ROUTE = os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir, "sdk",
                             "routes", "second_camera.yaml")
OMITTED = object()  # a parameter with a default, left out of the call


def camera(state):
    if state == "none":
        return None
    cam = lx.LxInitialCameraDevice(0)
    if state == "detached":
        sim.load(sim.default_description())  # the handle's rig is gone
        return cam
    if state == "closed":
        return cam
    lx.LxOpen(cam)
    if state == "streaming":
        lx.LxStartStreaming(cam)
    return cam


def listed_format(kind):
    """A format record: one the camera lists, or one of any size (from an injected list)."""
    if kind == "listed":  # the first format of the default rig's first camera
        listed = sim.default_description()["devices"][0]["formats"][0]
        sim.inject("LxGetFormatList", value=[dict(listed, index=0)])
        return lx.LxGetFormatList(None)[1][0]
    width, height, pixel = {
        "largest": (65535, 65535, "LX_IMAGE_FORMAT_BGRA"),
        "empty": (0, 0, "LX_IMAGE_FORMAT_YUY2"),
        "none": (0, 0, "LX_IMAGE_FORMAT_NONE"),
        "unknown": (64, 48, None),
    }[kind]
    code = 999 if pixel is None else int(getattr(lx.LX_IMAGE_FORMAT, pixel))
    sim.inject("LxGetFormatList", value=[{"width": width, "height": height, "framerate": 30,
                                           "format": code, "index": 7}])
    return lx.LxGetFormatList(None)[1][0]


ROUTE_FILES = {
    "empty": b"",
    "garbage": bytes(range(256)) * 64,
    "wrong-shape": b"routes: {source: 7}\n",
    "unknown-entity": b"routes:\n  - {source: nowhere, source_pad: 0, sink: video-capture-0, "
                      b"sink_pad: 0}\n",
    "huge-pad": b"routes:\n  - {source: csi2-receiver-1, source_pad: 99999999999999999999, "
                b"sink: video-capture-1, sink_pad: -1}\n",
    "deep": b"routes: " + b"[" * 100000,
    "not-utf8": b"routes:\n  - {source: \xff\xfe, source_pad: 0, sink: x, sink_pad: 0}\n",
}


def route(kind):
    """A route handle: loaded from the example file (and then left in various states), from
    a bad file, or from a bad path (the last two give the empty handle)."""
    if kind.startswith("file-"):
        path = os.path.join(SCRATCH, "route.yaml")
        with open(path, "wb") as f:
            f.write(ROUTE_FILES[kind[len("file-"):]])
        return lx.LxLoadRouteYaml(path)
    if kind.startswith("path-"):
        return lx.LxLoadRouteYaml(text(kind[len("path-"):]))
    loaded = lx.LxLoadRouteYaml(EXAMPLE_ROUTE)
    if kind == "active":
        lx.LxActivateYamlRoutes(loaded)
    elif kind == "after-routes-reset":
        lx.LxActivateYamlRoutes(loaded)
        lx.LxResetActiveRoutes()
    elif kind == "after-rig-reset":
        sim.load(sim.default_description())  # the graph the route was checked against is gone
    elif kind in ("rig-without-links", "rig-without-routes"):
        rig = sim.default_description()
        if kind == "rig-without-links":
            graph = rig["platform"]["media_graph"]
            graph["links"] = [link for link in graph["links"]
                              if link["sink"] != "video-capture-1"]
        else:
            rig["platform"]["route_management"] = False
        sim.load(rig)
    elif kind != "example":
        raise ValueError("no such route: {!r}".format(kind))
    return loaded


def text(kind):
    return {
        "empty": "",
        "plain": os.path.join(SCRATCH, "file.txt"),
        "long": "x" * (1 << 20),
        "nul": os.path.join(SCRATCH, "file.txt\0.evil"),
        "surrogate": "\udcff",
        "not-utf8-bytes": os.fsencode(SCRATCH) + b"/\xff\xfe",
        "folder": SCRATCH,
        "missing-folder": os.path.join(SCRATCH, "no", "such", "file.txt"),
        "dev-zero": "/dev/zero",
        "dev-null": "/dev/null",
        "fifo": os.path.join(SCRATCH, "fifo"),
    }[kind]


def build(recipe):
    kind = recipe[0]
    if kind == "none":
        return None
    if kind == "camera":
        return camera(recipe[1])
    if kind == "int":
        return recipe[1]
    if kind == "bool":
        return bool(recipe[1])
    if kind == "float":
        return float(recipe[1])
    if kind == "text":
        return text(recipe[1])
    if kind == "route":
        return route(recipe[1])
    if kind == "omitted":
        return OMITTED
    if kind == "format":
        return listed_format(recipe[1])
    if kind == "enum":
        enum = getattr(MODULE, recipe[1])
        members = list(enum.__members__.values())
        return members[recipe[2]] if isinstance(recipe[2], int) else enum.__members__[recipe[2]]
    if kind == "record":
        return getattr(MODULE, recipe[1])()
    if kind == "callable":
        return {"raises": _raises, "quiet": lambda *a: None}[recipe[1]]
    raise ValueError("no such argument recipe: {!r}".format(recipe))


def _raises(*args):
    raise KeyError("raised by a callback")


def main():
    out = os.fdopen(int(sys.argv[1]), "w", buffering=1)
    for line in sys.stdin:
        request = json.loads(line)
        sim.reset()
        sim.set_pacing("free-run")  # a capture never waits for a frame slot
        # A detached camera replaces the rig; the camera comes first in every signature, so
        # later arguments are built on the rig it left.
        args = [a for a in (build(recipe) for recipe in request["args"]) if a is not OMITTED]
        try:
            getattr(MODULE, request["function"])(*args)
            answer = {"raised": None}
        except Exception as error:  # every exception is reported; the test judges its type
            answer = {"raised": type(error).__name__, "message": str(error)[:300]}
        out.write(json.dumps(answer) + "\n")


if __name__ == "__main__":
    main()
