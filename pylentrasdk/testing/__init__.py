"""Testing camera code without a camera, on the simulated rig.

- pytest fixtures ``lentra_rig``, ``lentra_camera``, ``lentra_cam`` and ``lentra_inject`` and
  the marker ``@pytest.mark.lentra_rig(description, pacing=...)``: the plugin
  ``pylentrasdk.testing.plugin``, which pytest loads by itself wherever pylentrasdk is installed;
- ``frame_number(frame, fmt=None)``: the number stamped into a simulated frame;
- ``expected_frame(fmt, number, camera=None)`` or ``expected_frame(frame, camera=None)``: the
  exact bytes of a raw simulated frame.

Importing this module does not import pytest: the helpers serve any test framework. See
docs/testing.md.
"""

from ._frames import expected_frame, frame_number
from ._rig import FaultInjector, Injection, LentraRig, LentraThreadWarning

__all__ = ["frame_number", "expected_frame", "LentraRig", "FaultInjector", "Injection",
           "LentraThreadWarning"]
