# Types of pylentrasdk.testing.plugin: the hooks pytest calls. Its fixtures (lentra_rig,
# lentra_camera, lentra_inject) are reached by name through pytest, not imported; their values
# are typed in pylentrasdk.testing (LentraRig, an LxCamera, FaultInjector).
from __future__ import annotations

import typing

import pytest

from ..pyLentraSDK import LxCamera
from . import FaultInjector, LentraRig

def pytest_configure(config: pytest.Config) -> None: ...
def pytest_collection_modifyitems(items: list[pytest.Item]) -> None: ...
def lentra_rig(request: pytest.FixtureRequest) -> typing.Iterator[LentraRig]: ...
def lentra_camera(lentra_rig: LentraRig) -> LxCamera: ...
def lentra_inject() -> typing.Iterator[FaultInjector]: ...
