"""The pytest plugin of pylentrasdk: fixtures that run camera code on the simulated rig.

Registered through the ``pytest11`` entry point, so pytest loads it wherever pylentrasdk is
installed (disable it with ``-p no:pylentrasdk``). It only offers fixtures and the
``lentra_rig`` marker: a test that uses neither finds the rig as the session left it.

- ``lentra_rig``: a fresh rig for the test (the built-in default rig with free-run pacing, or
  what ``@pytest.mark.lentra_rig(description, pacing=...)`` asks for); afterwards the rig that
  was there before is made again, with no faults and its pacing.
- ``lentra_camera``: the rig's first camera, opened (an ``LxCamera`` handle); closed after the
  test.
- ``lentra_cam``: the same camera as a ``pylentrasdk.Camera``, open; closed after the test.
- ``lentra_inject``: injects faults; each is withdrawn at the end of its ``with`` block, and
  every fault at the end of the test.

Faults injected by fixtures that run before the rig is loaded are kept for the test; what the
session left is dropped before the test's fixtures run. A thread the test started and left
running is named in a LentraThreadWarning.

See docs/testing.md.
"""

from __future__ import annotations

import inspect
import threading
import warnings
from typing import Callable, Iterator, TypeVar

import pytest

from .. import sim
from ..camera import Camera
from ..pyLentraSDK import LxCamera
from ._rig import (FaultInjector, LentraRig, LentraThreadWarning, RigDescription, RigLoadError,
                   _thread_left_message, _threads_left)

_MARKER = "lentra_rig"
# Set on a test whose faults the session left were dropped before its fixtures ran.
_SESSION_FAULTS_DROPPED = pytest.StashKey[bool]()
# How long a thread the test started has, once the test's cameras are closed, to end by itself
# before it is named.
_THREAD_GRACE = 1.0
_C = TypeVar("_C")  # a camera of either kind


def pytest_configure(config: pytest.Config) -> None:
    config.addinivalue_line(
        "markers",
        "lentra_rig(description=None, *, pacing='free-run'): run the test on a fresh simulated "
        "rig made from this description (a dict, JSON text, or the path of a JSON file relative "
        "to the test file's folder; by default the built-in default rig), with 'free-run' or "
        "'realtime' pacing (pylentrasdk.testing)",
    )


def pytest_collection_modifyitems(items: list[pytest.Item]) -> None:
    # A marked test gets its rig even when it names no fixture of ours (it may drive the SDK
    # through its own code alone).
    for item in items:
        names = getattr(item, "fixturenames", None)
        if names is not None and _MARKER not in names and item.get_closest_marker(_MARKER):
            names.append(_MARKER)


@pytest.hookimpl(tryfirst=True)
def pytest_runtest_setup(item: pytest.Item) -> None:
    # Before any fixture of a test that gets a rig: faults and failing file writes that the
    # session left are dropped here, so that the rig's load can keep what the test's own
    # fixtures inject before it (the load would otherwise have to drop both).
    if _MARKER in getattr(item, "fixturenames", ()):
        sim.clear_faults()
        sim.fail_file_writes(0)
        item.stash[_SESSION_FAULTS_DROPPED] = True


def _marker_form(description: RigDescription | None = None, *,
                 pacing: str = "free-run") -> None:
    """What the marker takes."""


_MARKER_SIGNATURE = inspect.signature(_marker_form)
# The marker's form as messages show it: its parameters, without their types.
_MARKER_FORM = str(_MARKER_SIGNATURE.replace(
    parameters=[p.replace(annotation=p.empty) for p in _MARKER_SIGNATURE.parameters.values()],
    return_annotation=_MARKER_SIGNATURE.empty))


def _marker_arguments(marker: pytest.Mark | None) -> tuple[RigDescription | None, str]:
    """(description, pacing) of the test's marker (the defaults without one)."""
    args, kwargs = (marker.args, marker.kwargs) if marker else ((), {})
    try:
        bound = _MARKER_SIGNATURE.bind(*args, **kwargs)
    except TypeError as error:
        reason = "@pytest.mark.{}{}: {}".format(_MARKER, _MARKER_FORM, error)
        raise RigLoadError(reason) from None
    bound.apply_defaults()
    return bound.arguments["description"], bound.arguments["pacing"]


@pytest.fixture
def lentra_rig(request: pytest.FixtureRequest) -> Iterator[LentraRig]:
    """A fresh simulated rig for this test (see pylentrasdk.testing.LentraRig)."""
    refused = None
    try:
        description, pacing = _marker_arguments(request.node.get_closest_marker(_MARKER))
        rig = LentraRig(description, pacing, folder=str(request.node.path.parent))
        # Asked for by name (request.getfixturevalue), the rig comes after the hook above:
        # what is pending then may be the session's, and is dropped.
        rig._load(keep_faults=request.node.stash.get(_SESSION_FAULTS_DROPPED, False))
    except RigLoadError as error:
        refused = str(error)
    if refused is not None:
        # Outside the except block, so that the report is the one line, not a chain.
        pytest.fail("lentra_rig: {}".format(refused), pytrace=False)
    threads = frozenset(threading.enumerate())
    try:
        yield rig
    finally:
        try:
            rig._close_cameras()
        finally:
            rig._restore()
        # The SDK keeps such a thread away from the next rig's faults and call counts (calls
        # on cameras of a replaced rig count nothing); the test that started it is told.
        for thread in _threads_left(threads, _THREAD_GRACE):
            warnings.warn(LentraThreadWarning(_thread_left_message(thread)), stacklevel=1)


def _first_camera(fixture: str, rig: LentraRig, open_first: Callable[[int], _C]) -> _C:
    """The rig's first camera, opened by `open_first`; the test's own calls count from zero
    after it, as with lentra_rig alone."""
    if not rig.cameras:
        pytest.fail("{}: the rig has no cameras".format(fixture), pytrace=False)
    cam = open_first(0)
    sim.reset_call_counts()
    return cam


@pytest.fixture
def lentra_camera(lentra_rig: LentraRig) -> LxCamera:
    """The first camera of lentra_rig, opened (an LxCamera); closed after the test."""
    return _first_camera("lentra_camera", lentra_rig, lentra_rig.open)


@pytest.fixture
def lentra_cam(lentra_rig: LentraRig) -> Camera:
    """The first camera of lentra_rig as an open pylentrasdk.Camera; closed after the test."""
    return _first_camera("lentra_cam", lentra_rig, lentra_rig._camera)


@pytest.fixture
def lentra_inject() -> Iterator[FaultInjector]:
    """Injects a fault into an SDK function (see pylentrasdk.testing.FaultInjector)."""
    injector = FaultInjector()
    try:
        yield injector
    finally:
        injector._clear()
