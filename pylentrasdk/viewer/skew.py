"""The skew between cameras in Sync, as the viewer shows it on their tiles.

Whenever two or more of the cameras the viewer streams are in Sync trigger mode (they expose on
the ticks of the rig's trigger line), the viewer reads them as one `CameraGroup` beside its own
reading: the group takes their frames through sinks of the cameras' streams, so the pictures go
on as before. A thread takes every set the group makes and keeps the newest set's skews: each
camera's frame time less the time of the group's first camera (the one of the lowest index).

The group is made again whenever a camera starts, stops or switches its format, or a control
changes (a trigger mode, say), and is closed before one of its cameras' streams stops: a group
reading a stream that stops under it would start it again.
"""

from __future__ import annotations

import asyncio
import threading
from typing import Any, Sequence

from ..camera import CameraGroup
from ..errors import CaptureTimeoutError, LentraError
from .hub import Hub

SYNC = 1  # the trigger mode "Sync"
# Sets waiting in the group: the reader takes each as it comes, so a few are plenty.
_DEPTH = 4
_READ_TIMEOUT_S = 1.0


class _Watch:
    """One group and the newest skews its reader thread saw, in seconds (None before the
    first set)."""

    def __init__(self, group: CameraGroup, members: Sequence[int]) -> None:
        self.group = group
        self.members = tuple(members)  # the cameras' indices, in the group's order
        self.clocks = group.clocks
        self.skews: tuple[float, ...] | None = None
        self.thread = threading.Thread(target=self._read, daemon=True,
                                       name="viewer skew of cameras {}".format(self.members))

    def _read(self) -> None:
        while True:
            try:
                frames = self.group.read(timeout=_READ_TIMEOUT_S)
            except CaptureTimeoutError:
                continue  # no set yet: the skews stay those of the last one
            except LentraError:
                return  # the group was closed, or a camera failed (its hub stops it)
            self.skews = frames.skews
            del frames

    def start(self) -> None:
        """Starts the group's reading (the cameras already stream) and the thread."""
        self.group.start()
        self.thread.start()

    def close(self) -> None:
        self.group.close()  # a read waiting ends
        self.thread.join()


def _group_of(hubs: Sequence[Hub]) -> _Watch | None:
    """A started group of the hubs' open cameras, or None when one of them cannot be read."""
    cameras = [hub.device.camera for hub in hubs]
    if any(camera is None for camera in cameras):
        return None
    try:
        # sync=False: the trigger modes are the user's, and stay as they are.
        group = CameraGroup([camera for camera in cameras if camera is not None], sync=False,
                            depth=_DEPTH, timeout=_READ_TIMEOUT_S)
    except LentraError:
        return None
    watch = _Watch(group, [hub.device.index for hub in hubs])
    try:
        watch.start()
    except LentraError:
        group.close()
        return None
    return watch


class SyncSkew:
    """The group of the viewer's cameras in Sync, kept up to date from the event loop."""

    def __init__(self, hubs: Sequence[Hub], loop: asyncio.AbstractEventLoop) -> None:
        self.hubs = hubs
        self.loop = loop
        self._lock = asyncio.Lock()
        self._watch: _Watch | None = None
        self._key: tuple[tuple[int, int | None], ...] = ()  # the cameras and their formats
        self._refreshing: asyncio.Task[None] | None = None
        self._again = False
        self._closed = False
        for hub in hubs:
            hub.before_stop = self._leaving
            hub.on_change = self.changed

    def of(self, index: int) -> dict[str, Any] | None:
        """Camera `index`'s skew to the group's first camera: `seconds` (None until the first
        set), `to` (the first camera's index) and `clock` ("line": exact); None when the camera
        is in no group."""
        watch = self._watch
        if watch is None or index not in watch.members:
            return None
        position = watch.members.index(index)
        skews = watch.skews
        return {"seconds": None if skews is None else skews[position], "to": watch.members[0],
                "clock": watch.clocks[position]}

    def changed(self) -> None:
        """Something that may change the group happened: it is looked at again soon."""
        if self._closed:
            return
        if self._refreshing is not None and not self._refreshing.done():
            self._again = True
            return
        self._refreshing = self.loop.create_task(self._refresh_until_settled())

    async def _refresh_until_settled(self) -> None:
        self._again = True
        while self._again and not self._closed:
            self._again = False
            await self._refresh()

    async def _refresh(self) -> None:
        async with self._lock:
            if self._closed:
                return
            in_sync = []
            for hub in self.hubs:
                if not hub.streaming or hub.closed:
                    continue
                try:
                    mode = await hub.call(hub.device.trigger_mode)
                except RuntimeError:  # its camera thread has ended: the viewer stops
                    return
                if mode == SYNC:
                    in_sync.append(hub)
            key = tuple((hub.device.index, hub.format_index) for hub in in_sync)
            if len(in_sync) < 2:
                key = ()
            if key == self._key and (self._watch is not None) == bool(key):
                return
            await self._close_watch()
            if key:
                self._watch = await self.loop.run_in_executor(None, _group_of, in_sync)
                self._key = key if self._watch is not None else ()

    async def _close_watch(self) -> None:
        watch, self._watch = self._watch, None
        self._key = ()
        if watch is not None:
            await self.loop.run_in_executor(None, watch.close)

    async def _leaving(self, hub: Hub) -> None:
        """Before `hub`'s stream stops: a group it is in is closed first."""
        async with self._lock:
            watch = self._watch
            if watch is not None and hub.device.index in watch.members:
                await self._close_watch()

    async def close(self) -> None:
        """Closes the group for good (the viewer stops)."""
        self._closed = True
        async with self._lock:
            await self._close_watch()
        if self._refreshing is not None:
            await asyncio.gather(self._refreshing, return_exceptions=True)
