"""The pytest plugin of pylentrasdk: fixtures that run camera code on the simulated rig.

Registered through the ``pytest11`` entry point, so pytest loads it wherever pylentrasdk is
installed (disable it with ``-p no:pylentrasdk``). It only offers fixtures and the
``lentra_rig`` marker: a test that uses neither finds the rig as the session left it.

- ``lentra_rig``: a fresh rig for the test (the built-in default rig with free-run pacing, or
  what ``@pytest.mark.lentra_rig(description, pacing=...)`` asks for); afterwards the rig that
  was there before is made again, with no faults and its pacing.
- ``lentra_camera``: the rig's first camera, opened; closed after the test.
- ``lentra_inject``: injects faults; each is withdrawn at the end of its ``with`` block, and
  every fault at the end of the test.

See docs/testing.md.
"""

from __future__ import annotations

import inspect
from typing import Iterator

import pytest

from .. import sim
from ..pyLentraSDK import LxCamera
from ._rig import FaultInjector, LentraRig, RigDescription, RigLoadError

_MARKER = "lentra_rig"


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
        rig._load()
    except RigLoadError as error:
        refused = str(error)
    if refused is not None:
        # Outside the except block, so that the report is the one line, not a chain.
        pytest.fail("lentra_rig: {}".format(refused), pytrace=False)
    try:
        yield rig
    finally:
        try:
            rig._close_cameras()
        finally:
            rig._restore()


@pytest.fixture
def lentra_camera(lentra_rig: LentraRig) -> LxCamera:
    """The first camera of lentra_rig, opened (an LxCamera); closed after the test."""
    if not lentra_rig.cameras:
        pytest.fail("lentra_camera: the rig has no cameras", pytrace=False)
    cam = lentra_rig.open(0)
    sim.reset_call_counts()  # the test's own calls count from zero, as with lentra_rig alone
    return cam


@pytest.fixture
def lentra_inject() -> Iterator[FaultInjector]:
    """Injects a fault into an SDK function (see pylentrasdk.testing.FaultInjector)."""
    injector = FaultInjector()
    try:
        yield injector
    finally:
        injector._clear()
