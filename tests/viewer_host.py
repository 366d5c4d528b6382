"""Runs `lxctl view` (pylentrasdk.cli.main) with the given arguments, and lets the test that
started it reach the simulated rig of this process: each line on standard input is a JSON
request, answered with one JSON line on standard output after the viewer's own line.

    {"do": "inject", "args": ["LxGetImage"], "kwargs": {"result": -3}}
    {"do": "state", "args": [1]}     -> {"open": bool, "mode": "WORK" | "STANDBY" | null}
    {"do": "call_count", "args": ["LxStartStreaming"]}
    {"do": "hold", "args": [2]}      keeps the camera open here, so the viewer finds it busy
    {"do": "release", "args": [2]}

The environment variable VIEWER_HOST_FAULTS may hold a JSON list of sim.inject keyword
arguments (with "function"), injected before the viewer starts. When the viewer has ended, one last line tells the state of every camera, and the process ends
with lxctl's exit status."""
import json
import os
import sys
import threading

import pylentrasdk as lx
from pylentrasdk import cli, sim


def state(index):
    """Whether the camera is open (another handle's LxOpen is refused as busy) and its sensor's
    work mode (WORK while it streams; None when it cannot be read)."""
    cam = lx.LxInitialCameraDevice(index)
    status, mode = lx.LxGetSensorWorkMode(cam)
    opened = lx.LxOpen(cam) == lx.LxStatus.LX_STATUS_BUSY
    if not opened:
        lx.LxClose(cam)
    return {"open": opened, "mode": mode.name if status == 0 else None}


def cameras():
    return len(lx.LxDiscoverCameraDevices()[1])


held = {}


def hold(index):
    cam = lx.LxInitialCameraDevice(index)
    status = lx.LxOpen(cam)
    if status == 0:
        held[index] = cam
    return status


def release(index):
    return lx.LxClose(held.pop(index))


REQUESTS = {"inject": sim.inject, "clear_faults": sim.clear_faults, "state": state,
            "call_count": sim.call_count, "set_pacing": sim.set_pacing, "hold": hold,
            "release": release}
lock = threading.Lock()


def answer(value):
    with lock:
        sys.stdout.write(json.dumps(value) + "\n")
        sys.stdout.flush()


def serve_requests():
    for line in sys.stdin:
        request = json.loads(line)
        try:
            result = REQUESTS[request["do"]](*request.get("args", ()),
                                             **request.get("kwargs", {}))
            answer({"result": result})
        except Exception as error:  # the test sees what went wrong
            answer({"error": repr(error)})


if __name__ == "__main__":
    for fault in json.loads(os.environ.get("VIEWER_HOST_FAULTS", "[]")):
        sim.inject(fault.pop("function"), **fault)
    threading.Thread(target=serve_requests, daemon=True).start()
    status = cli.main(sys.argv[1:])
    answer({"after": [state(i) for i in range(cameras())]})
    sys.exit(status)
