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
        args = [build(recipe) for recipe in request["args"]]
        try:
            getattr(MODULE, request["function"])(*args)
            answer = {"raised": None}
        except Exception as error:  # every exception is reported; the test judges its type
            answer = {"raised": type(error).__name__, "message": str(error)[:300]}
        out.write(json.dumps(answer) + "\n")


if __name__ == "__main__":
    main()
