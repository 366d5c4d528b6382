"""A camera's intrinsic calibration in OpenCV's form: ``Camera.intrinsics``.

    K, D = cam.intrinsics.camera_matrix, cam.intrinsics.dist_coeffs
    straight = cv2.undistort(frame.to_rgb(), K, D)

The SDK keeps one ``LxIntrinsics`` record per camera: the image size it was calibrated at, focal
lengths and principal point in that image's pixels, a distortion model and five coefficients.
The coefficients are stored in OpenCV's order, k1, k2, p1, p2, k3 (radial k1, k2, tangential p1,
p2, radial k3), so ``dist_coeffs`` is the record's five as they are (all zero under the model
NONE, which distorts nothing).

Every format of a simulated camera shows the same view, drawn to fill the frame, so a calibration
made at one size holds at another once each axis is scaled by the ratio of the sizes (a format of
another aspect ratio is stretched, not cropped): ``scaled_to``. Scaling is about pixel centres,
OpenCV's convention: ``f' = f * s`` and ``c' = (c + 0.5) * s - 0.5``.
"""

from __future__ import annotations

import math
from typing import Any, Iterable, Tuple, Union

import numpy
import numpy.typing

from .. import pyLentraSDK as _binding
from ..errors import LentraError
from ..formats import Format
from ..status import status_value
from .link import Link

__all__ = ["Intrinsics", "read_intrinsics", "write_intrinsics"]

_MODELS = {
    "NONE": _binding.LX_DISTORTION_MODEL.LX_DIST_NONE,
    "RADTAN": _binding.LX_DISTORTION_MODEL.LX_DIST_MODEL_RADTAN,
}
_FLOAT32_MAX = float(numpy.finfo(numpy.float32).max)
_INT32_MAX = 2 ** 31 - 1
# A camera that answers these to LxGetIntrinsics holds no calibration: it cannot hold one (not
# supported), or none has been written (failed).
_NO_CALIBRATION = (status_value("LX_STATUS_NOT_SUPPORTED"), status_value("LX_STATUS_FAILED"))

#: What a calibration can be scaled to: a Format, an LxFormat record, a format text, or a size.
SizeLike = Union[Format, _binding.LxFormat, str, Tuple[int, int]]


def _size(value: object, what: str) -> tuple[int, int]:
    if isinstance(value, str):
        value = Format.parse(value)
    if isinstance(value, (Format, _binding.LxFormat)):
        return value.width, value.height
    if isinstance(value, tuple) and len(value) == 2:
        width, height = value
        for side in (width, height):
            if isinstance(side, bool) or not isinstance(side, int):
                raise TypeError("{}: sides are ints, not {}".format(what, type(side).__name__))
            if not 1 <= side <= _INT32_MAX:
                raise ValueError("{}: sides are 1 to {}, not {}".format(what, _INT32_MAX, side))
        return width, height
    raise TypeError("{} is a Format, an LxFormat, a format text or (width, height), not {}".format(
        what, type(value).__name__))


def _number(value: object, what: str) -> float:
    if isinstance(value, bool) or not isinstance(value, (int, float, numpy.integer,
                                                          numpy.floating)):
        raise TypeError("{} must be a number, not {}".format(what, type(value).__name__))
    number = float(value)
    # The camera keeps 32-bit floats: a number beyond them would be stored as infinity.
    if not (math.isfinite(number) and abs(number) <= _FLOAT32_MAX):
        raise ValueError("{} must be a finite 32-bit float, not {}".format(what, number))
    return number


def _shown(value: float) -> str:
    return "{:.7g}".format(value)


class Intrinsics:
    """A camera's calibration at one image size: ``size`` (width, height) in pixels, focal
    lengths ``fx``, ``fy`` and principal point ``cx``, ``cy`` in that image's pixels,
    ``model`` ("RADTAN" or "NONE") and ``coeffs``, the five coefficients k1, k2, p1, p2, k3.
    ``calibrated_size`` is the size the camera's record refers to (``size`` itself unless the
    object was scaled). Immutable; two objects are equal when all of it is.

    The constructor checks what ``LxWriteIntrinsics`` checks and a little more: sides of 1 or
    more, numbers that are finite as the camera's 32-bit floats, focal lengths above 0 (a camera
    matrix with a zero focal length has no inverse), five coefficients. The model, when not
    given, is RADTAN if a coefficient is not 0, else NONE."""

    __slots__ = ("_size", "_fx", "_fy", "_cx", "_cy", "_model", "_coeffs", "_calibrated_size")

    def __init__(self, size: tuple[int, int], fx: float, fy: float, cx: float, cy: float,
                 coeffs: Iterable[float] = (0.0, 0.0, 0.0, 0.0, 0.0), model: str | None = None,
                 *, calibrated_size: tuple[int, int] | None = None) -> None:
        self._size = _size(size, "size")
        self._calibrated_size = self._size if calibrated_size is None \
            else _size(calibrated_size, "calibrated_size")
        self._fx, self._fy = _number(fx, "fx"), _number(fy, "fy")
        self._cx, self._cy = _number(cx, "cx"), _number(cy, "cy")
        if not (self._fx > 0 and self._fy > 0):
            raise ValueError("focal lengths must be above 0, not fx={} fy={}".format(
                _shown(self._fx), _shown(self._fy)))
        values = list(coeffs)
        if len(values) != 5:
            raise ValueError("coeffs are five numbers (k1, k2, p1, p2, k3), not {}".format(
                len(values)))
        self._coeffs = tuple(_number(c, "coeffs[{}]".format(i)) for i, c in enumerate(values))
        if model is None:
            model = "RADTAN" if any(self._coeffs) else "NONE"
        if model not in _MODELS:
            raise ValueError("model is one of {}, not {!r}".format(", ".join(_MODELS), model))
        self._model = model

    # -------------------------------------------------------------------------------------
    # From and to other forms
    # -------------------------------------------------------------------------------------
    @classmethod
    def from_opencv(cls, camera_matrix: numpy.typing.ArrayLike,
                    dist_coeffs: numpy.typing.ArrayLike, size: SizeLike) -> Intrinsics:
        """What ``cv2.calibrateCamera`` gives for images of `size`: a 3 x 3 camera matrix
        without skew, and 4 or 5 coefficients (k1, k2, p1, p2[, k3]); OpenCV's longer vectors
        only when their terms past k3 are 0, since the camera keeps five."""
        matrix = numpy.asarray(camera_matrix, dtype=numpy.float64)
        if matrix.shape != (3, 3):
            raise ValueError("camera_matrix is 3 x 3, not {}".format(matrix.shape))
        if matrix[0, 1] != 0 or matrix[1, 0] != 0 or list(matrix[2]) != [0.0, 0.0, 1.0]:
            raise ValueError("camera_matrix must be [[fx, 0, cx], [0, fy, cy], [0, 0, 1]]: the "
                             "camera keeps no skew")
        coeffs = numpy.asarray(dist_coeffs, dtype=numpy.float64).reshape(-1)
        if coeffs.size < 4:
            raise ValueError("dist_coeffs has at least k1, k2, p1, p2, not {} numbers".format(
                coeffs.size))
        if numpy.any(coeffs[5:]):
            raise ValueError("the camera keeps k1, k2, p1, p2, k3: the terms past k3 must be 0")
        five = list(coeffs[:5]) + [0.0] * (5 - min(coeffs.size, 5))
        return cls(_size(size, "size"), float(matrix[0, 0]), float(matrix[1, 1]),
                   float(matrix[0, 2]), float(matrix[1, 2]), five)

    @classmethod
    def from_record(cls, record: _binding.LxIntrinsics) -> Intrinsics:
        """The calibration an ``LxIntrinsics`` record holds (ValueError if it cannot be one)."""
        if not isinstance(record, _binding.LxIntrinsics):
            raise TypeError("expected an LxIntrinsics, not {}".format(type(record).__name__))
        model = {member: name for name, member in _MODELS.items()}.get(record.model)
        if model is None:
            raise ValueError("distortion model {} is not one the camera knows".format(
                int(record.model)))
        return cls((record.w, record.h), record.fx, record.fy, record.cx, record.cy,
                   [float(c) for c in record.coeffs], model)

    def to_record(self) -> _binding.LxIntrinsics:
        """A new ``LxIntrinsics`` record of this calibration at its ``size``."""
        record = _binding.LxIntrinsics()
        record.w, record.h = self._size
        record.fx, record.fy, record.cx, record.cy = self._fx, self._fy, self._cx, self._cy
        record.model = _MODELS[self._model]
        record.coeffs = list(self._coeffs)
        return record

    def scaled_to(self, size: SizeLike) -> Intrinsics:
        """The same calibration for frames of another size (a Format, an LxFormat, a format text
        or (width, height)): each axis scaled by new size / ``size``, about pixel centres."""
        width, height = _size(size, "size")
        sx, sy = width / self._size[0], height / self._size[1]
        return Intrinsics((width, height), self._fx * sx, self._fy * sy,
                          (self._cx + 0.5) * sx - 0.5, (self._cy + 0.5) * sy - 0.5,
                          self._coeffs, self._model, calibrated_size=self._calibrated_size)

    # -------------------------------------------------------------------------------------
    # What it holds
    # -------------------------------------------------------------------------------------
    @property
    def size(self) -> tuple[int, int]:
        """(width, height): the image size these numbers are for."""
        return self._size

    @property
    def width(self) -> int:
        return self._size[0]

    @property
    def height(self) -> int:
        return self._size[1]

    @property
    def calibrated_size(self) -> tuple[int, int]:
        """(width, height) of the camera's own record: what it was calibrated at."""
        return self._calibrated_size

    @property
    def fx(self) -> float:
        return self._fx

    @property
    def fy(self) -> float:
        return self._fy

    @property
    def cx(self) -> float:
        return self._cx

    @property
    def cy(self) -> float:
        return self._cy

    @property
    def model(self) -> str:
        """"RADTAN" (radial-tangential, Brown-Conrady) or "NONE" (no distortion)."""
        return self._model

    @property
    def coeffs(self) -> tuple[float, float, float, float, float]:
        """The record's five coefficients, k1, k2, p1, p2, k3, whatever the model."""
        k1, k2, p1, p2, k3 = self._coeffs
        return k1, k2, p1, p2, k3

    @property
    def camera_matrix(self) -> numpy.typing.NDArray[numpy.float64]:
        """A new 3 x 3 float64 array [[fx, 0, cx], [0, fy, cy], [0, 0, 1]] (OpenCV's K)."""
        return numpy.array([[self._fx, 0.0, self._cx], [0.0, self._fy, self._cy],
                            [0.0, 0.0, 1.0]], dtype=numpy.float64)

    @property
    def dist_coeffs(self) -> numpy.typing.NDArray[numpy.float64]:
        """A new float64 array (k1, k2, p1, p2, k3) (OpenCV's D): ``coeffs`` under RADTAN,
        zeros under NONE."""
        values = self._coeffs if self._model == "RADTAN" else (0.0,) * 5
        return numpy.array(values, dtype=numpy.float64)

    def _key(self) -> tuple[Any, ...]:
        return (self._size, self._fx, self._fy, self._cx, self._cy, self._model, self._coeffs,
                self._calibrated_size)

    def __eq__(self, other: object) -> bool:
        if not isinstance(other, Intrinsics):
            return NotImplemented
        return self._key() == other._key()

    def __hash__(self) -> int:
        return hash(self._key())

    def __repr__(self) -> str:
        calibrated = "" if self._calibrated_size == self._size else \
            " calibrated at {}x{}".format(*self._calibrated_size)
        return "<Intrinsics {}x{}{} fx={} fy={} cx={} cy={} {} k1={} k2={} p1={} p2={} k3={}>" \
            .format(self._size[0], self._size[1], calibrated, _shown(self._fx), _shown(self._fy),
                    _shown(self._cx), _shown(self._cy), self._model,
                    *(_shown(c) for c in self._coeffs))


def read_intrinsics(link: Link, fmt: Format) -> Intrinsics | None:
    """The camera's calibration scaled to frames of `fmt`; None when it holds none."""
    status, record = link.call("LxGetIntrinsics")
    if status in _NO_CALIBRATION:
        return None
    link.check(status, "LxGetIntrinsics")
    try:
        calibration = Intrinsics.from_record(record)
    except ValueError as error:
        raise LentraError("{}: the camera's calibration is not usable: {}".format(
            link.name, error), function="LxGetIntrinsics") from None
    return calibration.scaled_to(fmt)


def write_intrinsics(link: Link, calibration: Intrinsics) -> None:
    """Writes `calibration` to the camera at its ``calibrated_size`` (a calibration read and
    scaled goes back at the size the camera had it)."""
    if not isinstance(calibration, Intrinsics):
        raise TypeError("the calibration is an Intrinsics (Intrinsics.from_opencv or "
                        "Intrinsics.from_record make one), not {}".format(
                            type(calibration).__name__))
    record = calibration.scaled_to(calibration.calibrated_size).to_record()
    link.check(link.call("LxWriteIntrinsics", record), "LxWriteIntrinsics")
