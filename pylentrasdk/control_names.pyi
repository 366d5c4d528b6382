# Types of pylentrasdk.control_names (plain Python; see the module).
from __future__ import annotations

from pylentrasdk.pyLentraSDK import LxCamera

ISP_CONTROLS: tuple[tuple[str, str], ...]
STREAM_SETTINGS: tuple[tuple[str, float, float] | tuple[str, int, int], ...]
OPTIONAL_CONTROLS: tuple[tuple[str, str], ...]
FURTHER_ISP_CONTROLS: tuple[tuple[str, str], ...]
UVC_CONTROLS: tuple[tuple[str, str], ...]
CHOICE_LABELS: dict[str, tuple[tuple[int, str], ...]]

def optional_controls(cam: LxCamera | None) -> list[tuple[str, str]]: ...
def labels_text(name: str) -> str: ...
def snake_name(name: str) -> str: ...
