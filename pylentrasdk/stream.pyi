"""
Streaming capture: frames into reused buffers, waits without the interpreter lock
"""
# Made with pybind11-stubgen from the built module, then given the frame array's element types,
# the attributes of StreamError and the path types of Frame.save. tests/test_stubs.py checks it against the module.
from __future__ import annotations
import numpy
import numpy.typing
import os
import typing

from .errors import LentraError
from .pyLentraSDK import LxCamera, LxFormat, _Pybind11Type
class StreamError(LentraError, RuntimeError):
    """
    A streaming call failed. `function` names the SDK function that failed and `status_name` / `status` give its status or capture result (all None when the failure was found by the stream itself).
    """
    function: str | None
    status: int | None
    status_name: str | None
class CaptureTimeoutError(StreamError, TimeoutError):
    """
    No frame came within the time-out.
    """
class StreamClosedError(StreamError):
    """
    The stream is closed, or was closed while the call waited.
    """
class PoolExhaustedError(StreamError):
    """
    Every buffer of a fixed pool is held by frames the caller keeps.
    """
class Frame(metaclass=_Pybind11Type):
    """
    A frame from a FrameStream.
    """
    def __repr__(self) -> str:
        ...
    def _repr_png_(self) -> bytes | None:
        """
        The frame as PNG bytes, for notebooks (None when it holds no picture)
        """
    @property
    def array(self) -> numpy.typing.NDArray[typing.Union[numpy.uint8, numpy.uint16]]:
        """
        The frame as a NumPy array shaped for its format; it lives in a buffer of the stream's pool, which no later frame reuses while the array exists
        """
    def save(self, path: str | bytes | os.PathLike[str] | os.PathLike[bytes], *, quality: typing.SupportsInt | typing.SupportsIndex = 90) -> None:
        """
        Writes the frame to `path` as its extension says: .png a picture, .jpg/.jpeg a JPEG (an MJPG frame's own), .npy a NumPy file of its array, any other its bytes (frames.save); atomically
        """
    def to_bgr(self, out: numpy.typing.NDArray[numpy.uint8] | None = None, threads: typing.SupportsIndex | None = None) -> numpy.typing.NDArray[numpy.uint8]:
        """
        The frame as an (height, width, 3) uint8 array of B, G, R (frames.to_bgr)
        """
    def to_gray(self, out: numpy.typing.NDArray[numpy.uint8] | None = None, threads: typing.SupportsIndex | None = None) -> numpy.typing.NDArray[numpy.uint8]:
        """
        The frame's luma as an (height, width) uint8 array (frames.to_gray)
        """
    def to_rgb(self, out: numpy.typing.NDArray[numpy.uint8] | None = None, threads: typing.SupportsIndex | None = None) -> numpy.typing.NDArray[numpy.uint8]:
        """
        The frame as an (height, width, 3) uint8 array of R, G, B (frames.to_rgb)
        """
    @property
    def dropped(self) -> int:
        """
        Frames the camera made between the previous frame delivered and this one
        """
    @property
    def exposure(self) -> int | None:
        """
        The exposure the frame was made with (LxGetCurrentExposure); None where the camera reports none
        """
    @property
    def format(self) -> LxFormat:
        """
        The LxFormat the frame was captured in
        """
    @property
    def gain(self) -> int | None:
        """
        The gain the frame was made with (LxGetCurrentGain); None where the camera reports none
        """
    @property
    def metadata(self) -> dict[str, typing.Any]:
        """
        A new dict of what is known about the frame: number, timestamp, sensor_timestamp, exposure, gain, format (a pylentrasdk.formats.Format) and dropped
        """
    @property
    def number(self) -> int:
        """
        The camera's number for the frame (its frame counter's steps since the stream started)
        """
    @property
    def sensor_timestamp(self) -> float | None:
        """
        The camera's clock in seconds right after the frame (LxGetTimestamp); None where the camera reports none
        """
    @property
    def timestamp(self) -> float:
        """
        Arrival time in seconds on the monotonic clock (as time.monotonic())
        """
class FrameStream(metaclass=_Pybind11Type):
    """
    Frames from a camera into a pool of reused buffers; the wait for a frame releases the interpreter lock. See docs/streaming.md.
    """
    def __enter__(self) -> FrameStream:
        ...
    def __exit__(self, *args: object) -> None:
        ...
    def __init__(self, cam: LxCamera, fmt: LxFormat, buffers: typing.SupportsInt | typing.SupportsIndex = 4, *, fixed: bool = False, latest: bool = False, timeout_ms: typing.SupportsInt | typing.SupportsIndex | None = 3000) -> None:
        """
        Sets `fmt` on the opened camera `cam` and starts streaming. `buffers`: the buffers the pool keeps (1 to 64); with fixed=True it never holds more, and a read that finds them all held by the caller raises PoolExhaustedError. latest=True: a background thread captures all the time and a read returns the newest frame. `timeout_ms`: how long a read waits at most (None: no limit)
        """
    def __iter__(self) -> FrameStream:
        ...
    def __next__(self) -> Frame:
        ...
    def __repr__(self) -> str:
        ...
    def close(self) -> None:
        """
        Stops streaming; a read waiting in another thread ends. Safe to call again
        """
    def read(self, timeout_ms: typing.SupportsInt | typing.SupportsIndex | None = None) -> Frame:
        """
        The next frame (the newest in latest-frame mode) as a Frame, waiting at most timeout_ms milliseconds (None: the stream's time-out)
        """
    @property
    def buffers(self) -> int:
        """
        The buffers the pool keeps for reuse
        """
    @property
    def closed(self) -> bool:
        """
        Whether the stream is closed
        """
    @property
    def dropped(self) -> int:
        """
        Frames the camera made that the stream did not deliver, so far
        """
    @property
    def fixed(self) -> bool:
        """
        Whether the pool never grows past `buffers`
        """
    @property
    def format(self) -> LxFormat:
        """
        The LxFormat being captured
        """
    @property
    def frames(self) -> int:
        """
        Frames delivered so far
        """
    @property
    def latest(self) -> bool:
        """
        Whether this is a latest-frame stream
        """
    @property
    def pool_free(self) -> int:
        """
        Buffers free for the next frame
        """
    @property
    def pool_size(self) -> int:
        """
        Buffers that exist now, free or holding frames
        """
    @property
    def timeout_ms(self) -> int | None:
        """
        The stream's read time-out
        """
