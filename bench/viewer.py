"""The viewer under load: four simulated cameras at 1280x720 YUY2 30 frames/s, each watched
through its MJPEG stream for 20 s, then all four over one live connection (the WebSocket the
page uses) for 20 s.

`lxctl view` runs in a process of its own on a rig of four such cameras (a rig description
named by LENTRASDK_SIM); this process reads the four streams at once with aiohttp's client and
prints, per camera, the frames received per second against the camera's own rate, the frames the
stream skipped (by the frame numbers in the parts' headers), and the time from each frame's
capture (the part's X-Timestamp, on the monotonic clock both processes share) to its last byte
received, p50 and p99; then the server process's processor use over the same time, in cores.
The same for the live connection, and its figures as ratios to the MJPEG streams' of this run.

Goal: 30 frames/s per camera, p99 under 50 ms, under one core of the machine's two, by either
way.

Run after tools/setup.sh:  .venv/bin/python bench/viewer.py [--seconds S] [--cameras N]
"""
import argparse
import asyncio
import json
import os
import signal
import subprocess
import sys
import tempfile
import time

import aiohttp

WIDTH, HEIGHT, RATE = 1280, 720, 30


def rig(cameras):
    return {"devices": [{"name": "Bench Camera {}".format(i), "product_type": "GENERIC",
                         "formats": [{"format": "YUY2", "width": WIDTH, "height": HEIGHT,
                                      "framerate": RATE}]} for i in range(cameras)]}


def cpu_seconds(pid):
    """User and system processor time of the process so far, in seconds (Linux)."""
    with open("/proc/{}/stat".format(pid)) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


async def watch(session, base, token, camera, seconds, results):
    """Reads one camera's stream for `seconds`: (frame numbers, capture-to-last-byte seconds)."""
    numbers, delays = [], []
    url = "{}/api/cameras/{}/stream.mjpg?format=0".format(base, camera)
    async with session.get(url, headers={"Authorization": "Bearer " + token}) as response:
        assert response.status == 200, response.status
        stream = response.content
        end = time.monotonic() + seconds
        started = None
        while time.monotonic() < end:
            line = await stream.readline()
            if not line.startswith(b"--"):
                continue
            headers = {}
            while True:
                line = (await stream.readline()).strip()
                if not line:
                    break
                name, _, value = line.decode("ascii").partition(":")
                headers[name.strip().lower()] = value.strip()
            await stream.readexactly(int(headers["content-length"]))
            arrived = time.monotonic()
            if started is None:
                started = arrived  # the first frame waits for the camera's start
                continue
            numbers.append(int(headers["x-frame-number"]))
            delays.append(arrived - float(headers["x-timestamp"]))
        results[camera] = (numbers, delays, time.monotonic() - started)


async def watch_live(session, base, token, cameras, seconds, results):
    """Reads every camera's pictures over one live connection for `seconds`, as the page
    does."""
    numbers = {camera: [] for camera in range(cameras)}
    delays = {camera: [] for camera in range(cameras)}
    started = {}
    address = base.replace("http://", "ws://", 1) + "/api/live?token=" + token
    async with session.ws_connect(address) as live:
        for camera in range(cameras):
            await live.send_json({"watch": camera, "format": 0})
        end = time.monotonic() + seconds
        while time.monotonic() < end:
            message = await live.receive()
            if message.type != aiohttp.WSMsgType.BINARY:
                assert message.type == aiohttp.WSMsgType.TEXT, message
                continue
            arrived = time.monotonic()
            head = json.loads(message.data.partition(b"\n")[0])
            camera = head["camera"]
            if camera not in started:
                started[camera] = arrived  # the first frame waits for the camera's start
                continue
            numbers[camera].append(head["number"])
            delays[camera].append(arrived - head["timestamp"])
    for camera in range(cameras):
        results[camera] = (numbers[camera], delays[camera], time.monotonic() - started[camera])


def percentile(values, fraction):
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, int(fraction * len(ordered)))] if ordered else float("nan")


async def measure(base, token, cameras, seconds, pid, live=False):
    results = {}
    async with aiohttp.ClientSession() as session:
        # Every stream is started and its first frame in before the clock runs.
        if live:
            tasks = [asyncio.ensure_future(watch_live(session, base, token, cameras,
                                                      seconds + 1.0, results))]
        else:
            tasks = [asyncio.ensure_future(watch(session, base, token, i, seconds + 1.0,
                                                 results)) for i in range(cameras)]
        await asyncio.sleep(1.0)
        cpu_before, wall_before = cpu_seconds(pid), time.monotonic()
        await asyncio.sleep(seconds)
        cpu = (cpu_seconds(pid) - cpu_before) / (time.monotonic() - wall_before)
        await asyncio.gather(*tasks)
    return results, cpu


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--seconds", type=float, default=20.0)
    parser.add_argument("--cameras", type=int, default=4)
    args = parser.parse_args()
    folder = tempfile.mkdtemp(prefix="bench-viewer-")
    description = os.path.join(folder, "rig.json")
    with open(description, "w") as f:
        json.dump(rig(args.cameras), f)
    server = subprocess.Popen(
        [sys.executable, "-m", "pylentrasdk.cli", "view", "--port", "0", "--no-browser"],
        stdout=subprocess.PIPE, universal_newlines=True, cwd=folder,
        env=dict(os.environ, LENTRASDK_SIM=description))
    try:
        url = server.stdout.readline().split()[-1]
        base, token = url.split("/?token=")
        streams = asyncio.run(measure(base, token, args.cameras, args.seconds, server.pid))
        time.sleep(3.0)  # every camera stopped and closed between the runs
        live = asyncio.run(measure(base, token, args.cameras, args.seconds, server.pid,
                                   live=True))
    finally:
        server.send_signal(signal.SIGINT)
        server.wait(20)
    summaries = [report("each read through its MJPEG stream", args, *streams),
                 report("all over one live connection", args, *live)]
    print("live connection / MJPEG streams: frames/s {:.2f}, p50 {:.2f}, p99 {:.2f}, "
          "processor {:.2f}".format(*(b / a if a else float("nan")
                                      for a, b in zip(*summaries))))


def report(way, args, results, cpu):
    """Prints a run's table; (frames/s, p50, p99, cores) over its cameras."""
    print("{} cameras, {}x{} YUY2 at {} frames/s, {:.0f} s, {}".format(
        args.cameras, WIDTH, HEIGHT, RATE, args.seconds, way))
    print("{:<8} {:>10} {:>9} {:>8} {:>9} {:>9}".format(
        "camera", "frames/s", "of rate", "skipped", "p50 ms", "p99 ms"))
    rates, every_delay = [], []
    for camera in range(args.cameras):
        numbers, delays, span = results[camera]
        skipped = sum(b - a - 1 for a, b in zip(numbers, numbers[1:]) if b > a + 1)
        rate = len(numbers) / span if span > 0 else 0.0
        rates.append(rate)
        every_delay += delays
        print("{:<8} {:>10.1f} {:>8.0f}% {:>8} {:>9.1f} {:>9.1f}".format(
            camera, rate, 100 * rate / RATE, skipped, 1000 * percentile(delays, 0.5),
            1000 * percentile(delays, 0.99)))
    print("server process: {:.2f} cores of processor time (the machine has {})".format(
        cpu, os.cpu_count()))
    return (sum(rates) / len(rates), percentile(every_delay, 0.5),
            percentile(every_delay, 0.99), cpu)


if __name__ == "__main__":
    main()
