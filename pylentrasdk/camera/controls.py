"""A camera's controls by name: ``Camera.controls``.

Every control the camera has is one entry, named in lower case from the one control table
(pylentrasdk.control_names): the ISP image properties, the two stream settings (``throughput``,
``max_fps``), the entries only some cameras have, and the UVC controls of a camera that answers
through UVC alone. Reading an entry asks the camera; setting one checks the value (a whole number
within the control's range, or a choice control's label) before the camera is asked. lxctl, the
viewer and settings files all read and write controls here.
"""

from __future__ import annotations

import collections.abc
import operator
from typing import (Any, Callable, Dict, Iterable, Iterator, Mapping, NamedTuple, Optional,
                    SupportsIndex, Union)

from .. import control_names
from .. import pyLentraSDK as _binding
from ..errors import ControlTypeError, ControlValueError, UnknownControlError
from ..status import status_value
from .link import Link

__all__ = ["Controls", "ControlInfo", "ControlChange", "ControlValue"]

_ISP = _binding.LX_ISP_IMAGE_PROPERTIES
_UVC = _binding.LX_UVC_IMAGE_PROPERTIES
_NOT_SUPPORTED = status_value("LX_STATUS_NOT_SUPPORTED")
_STREAM_FUNCTIONS = {
    "Throughput": ("LxGetThroughPut", "LxSetThroughPut"),
    "Max_FPS": ("LxGetMaxFPS", "LxSetMaxFPS"),
}

#: What a control is set to: a whole number, or one of a choice control's labels.
ControlValue = Union[int, str]


class ControlInfo(NamedTuple):
    """What a control takes: its range (`min` to `max` in steps of `step` from `min`), its
    `default` (None where the camera does not say), whether it is `read_only`, and the
    `labels` of a choice control's values ({0: "Normal", 1: "H-Mirror", ...}; empty for others).
    """

    name: str
    min: int
    max: int
    step: int
    default: Optional[int]
    read_only: bool
    labels: Dict[int, str]


class _Control:
    """One control of one camera: how to read, range and write it."""

    __slots__ = ("name", "display", "kind", "prop", "bounds")

    def __init__(self, display: str, kind: str, prop: Any = None,
                 bounds: tuple[int, int] | None = None) -> None:
        self.name = control_names.snake_name(display)
        self.display = display
        self.kind = kind  # "isp", "uvc" or "stream"
        self.prop = prop  # the property member, or the stream setting's display name
        self.bounds = bounds  # a stream setting's (min, max)


def _discover(link: Link) -> list[_Control]:
    """The controls a camera has, in the console tool's order then the further ones.

    A camera lacks a control its getter answers LX_STATUS_NOT_SUPPORTED for; any other failure
    is raised, not taken for a missing control. The ISP range getter answers -1 on every
    failure, so there -1 is taken for a missing control."""
    def isp_has(member: str) -> bool:
        return bool(link.call("LxGetISPImageProcessingRange", getattr(_ISP, member))[0] == 0)

    def has(function: str, *args: Any) -> bool:
        status = link.call(function, *args)[0]
        if status == _NOT_SUPPORTED:
            return False
        link.check(status, function)
        return True

    found = [_Control(name, "isp", getattr(_ISP, member))
             for name, member in control_names.ISP_CONTROLS if isp_has(member)]
    for name, minimum, maximum in control_names.STREAM_SETTINGS:
        if has(_STREAM_FUNCTIONS[name][0]):
            found.append(_Control(name, "stream", name, (int(minimum), int(maximum))))
    found += [_Control(name, "isp", getattr(_ISP, member))
              for name, member in control_names.OPTIONAL_CONTROLS + control_names.FURTHER_ISP_CONTROLS
              if isp_has(member)]
    isp_members = dict(control_names.ISP_CONTROLS)
    for name, member in control_names.UVC_CONTROLS:
        # A UVC control named as an ISP control is that control seen through UVC: a camera that
        # has the ISP control offers it once, as the ISP control.
        if name in isp_members and isp_has(isp_members[name]):
            continue
        if has("LxGetUVCImageProcessingRange", getattr(_UVC, member)):
            found.append(_Control(name, "uvc", getattr(_UVC, member)))
    return found


class ControlChange:
    """Writes to several controls, every one checked already (``Controls.check``): ``apply()``
    writes them in order; should the camera refuse one, the controls written before it get
    their earlier values back and the refusal is raised."""

    def __init__(self, controls: Controls, writes: list[tuple[_Control, int]]) -> None:
        self._controls = controls
        self._writes = writes

    def __repr__(self) -> str:
        return "<ControlChange {}>".format(", ".join(
            "{}={}".format(control.name, value) for control, value in self._writes) or "empty")

    @property
    def values(self) -> dict[str, int]:
        """{name: value} of the writes, in their order."""
        return {control.name: value for control, value in self._writes}

    def apply(self) -> None:
        controls = self._controls
        with controls._link.locked():
            done: list[tuple[_Control, int | None]] = []
            try:
                for position, (control, value) in enumerate(self._writes):
                    # The earlier value is needed only if a later write can fail.
                    last = position == len(self._writes) - 1
                    before = None if last else controls._read(control)
                    controls._write(control, value)
                    done.append((control, before))
            except BaseException:
                for control, earlier in reversed(done):
                    if earlier is None:
                        continue
                    try:
                        controls._write(control, earlier)
                    except Exception:  # noqa: BLE001 - the first failure is the one to report
                        pass
                raise


class Controls(collections.abc.Mapping):  # type: ignore[type-arg]
    """The camera's controls by name: ``cam.controls["brightness"] = 200``.

    Reading an entry asks the camera for the control's value; setting one checks it first:
    an unknown name, a value that is not a whole number (or a choice control's label), out of
    range or for a read-only control raises ControlValueError and leaves the camera as it was.
    ``info(name)`` gives the range; ``update({...})`` sets several, all checked before any is
    written. Iterating gives the names without asking the camera for values. Names are taken in
    any case and with spaces around them."""

    def __init__(self, link: Link) -> None:
        self._link = link
        self._table: list[_Control] | None = None

    def _controls(self) -> list[_Control]:
        # Discovered once per opening of the camera (a Controls belongs to one opening).
        with self._link.locked():
            if self._table is None:
                self._table = _discover(self._link)
            return self._table

    def _find(self, name: object, subject: str | None = None) -> _Control:
        if not isinstance(name, str):
            raise ControlTypeError("{}: a control's name is a str, not {}".format(
                subject or self._link.name, type(name).__name__))
        wanted = name.strip().lower()
        for control in self._controls():
            if control.name == wanted:
                return control
        names = ", ".join(c.name for c in self._controls())
        if subject is not None:
            raise UnknownControlError("{}: the camera has no such control; it has {}".format(
                subject, names))
        raise UnknownControlError("{}: no control {!r}; it has {}".format(
            self._link.name, name, names))

    def __getitem__(self, name: str) -> int:
        return self._read(self._find(name))

    def __setitem__(self, name: str, value: ControlValue) -> None:
        self.update({name: value})

    def __iter__(self) -> Iterator[str]:
        return iter([control.name for control in self._controls()])

    def __len__(self) -> int:
        return len(self._controls())

    def __contains__(self, name: object) -> bool:
        return isinstance(name, str) and any(
            c.name == name.strip().lower() for c in self._controls())

    def __repr__(self) -> str:
        return "<Controls of {}: {}>".format(self._link.name,
                                            ", ".join(c.name for c in self._controls()))

    def info(self, name: str) -> ControlInfo:
        """The ControlInfo of the control called `name`."""
        return self._info(self._find(name))

    def infos(self) -> list[tuple[ControlInfo, int]]:
        """(ControlInfo, value) of every control, in order: what lxctl and the viewer list."""
        with self._link.locked():
            return [(self._info(c), self._read(c)) for c in self._controls()]

    def listing(self) -> list[dict[str, Any]]:
        """Every control as lxctl's JSON and the viewer list it: {"name", "value", "min", "max",
        "step", "default", "read_only", "labels"}, the labels of a choice control by value as
        text (None for other controls)."""
        return [{"name": info.name, "value": value, "min": info.min, "max": info.max,
                 "step": info.step, "default": info.default, "read_only": info.read_only,
                 "labels": {str(v): label for v, label in info.labels.items()} or None}
                for info, value in self.infos()]

    def update(self, values: Mapping[str, ControlValue] | Iterable[tuple[str, ControlValue]] = (),
               **more: ControlValue) -> None:
        """Sets several controls: every name and value is checked before the first write,
        so a mistake anywhere leaves the camera as it was. Should the camera refuse a write,
        the controls written before it are put back and the refusal is raised."""
        with self._link.locked():
            self.check(list(dict(values, **more).items())).apply()

    def check(self, pairs: Iterable[tuple[object, object]],
              where: Callable[[object], str] | None = None) -> ControlChange:
        """The writes of the (name, value) pairs as one ControlChange, each name and value
        checked as ``update`` checks them; nothing is written. `where(name)` names a pair in
        messages (a settings file's line); by default the camera and the control do."""
        with self._link.locked():
            writes: list[tuple[_Control, int]] = []
            for name, value in pairs:
                subject = where(name) if where is not None else None
                control = self._find(name, subject)
                if any(c is control for c, _ in writes):
                    raise ControlValueError("{}: {} is given twice".format(
                        subject or self._link.name, control.name))
                writes.append((control, self._checked(control, value, subject)))
            return ControlChange(self, writes)

    # -------------------------------------------------------------------------------------
    def _checked(self, control: _Control, value: object, subject: str | None) -> int:
        """`value` as the whole number the control takes; ControlValueError if it cannot."""
        info = self._info(control)
        subject = subject or "{}: {}".format(self._link.name, control.name)
        # A read-only control takes nothing, neither a number nor one of its labels.
        if info.read_only:
            raise ControlValueError("{} is read-only".format(subject))
        if isinstance(value, str):
            wanted = value.strip().lower()
            for number, label in info.labels.items():
                if label.lower() == wanted:
                    return number
            if info.labels:
                raise ControlValueError("{}: {!r} is none of its choices: {}".format(
                    subject, value, control_names.labels_text(control.display)))
        if isinstance(value, bool):
            raise ControlTypeError("{}: takes a whole number, not a bool".format(subject))
        if not isinstance(value, SupportsIndex):
            raise ControlTypeError("{}: takes a whole number{}, not {!r}".format(
                subject, " or a label" if info.labels else "", value))
        number = operator.index(value)
        if not info.min <= number <= info.max:
            raise ControlValueError("{}: {} is out of range: {} to {}".format(
                subject, _abridged(number), info.min, info.max))
        return number

    def _read(self, control: _Control) -> int:
        if control.kind == "stream":
            getter = _STREAM_FUNCTIONS[control.prop][0]
            status, value = self._link.call(getter)
            self._check(status, getter, control)
            return int(value)
        function = "LxGetISPImageProcessing" if control.kind == "isp" else "LxGetUVCImageProcessing"
        status, value, _ = self._link.call(function, control.prop)
        self._check(status, function, control)
        return int(value)

    def _write(self, control: _Control, value: int) -> None:
        if control.kind == "stream":
            setter = _STREAM_FUNCTIONS[control.prop][1]
            self._check(self._link.call(setter, value), setter, control, value)
        elif control.kind == "isp":
            status = self._link.call("LxSetISPImageProcessing", control.prop, value)
            self._check(status, "LxSetISPImageProcessing", control, value)
        else:
            # The auxiliary integer stays what it was.
            with self._link.locked():
                status, _, aux = self._link.call("LxGetUVCImageProcessing", control.prop)
                self._check(status, "LxGetUVCImageProcessing", control)
                status = self._link.call("LxSetUVCImageProcessing", control.prop, value, aux)
            self._check(status, "LxSetUVCImageProcessing", control, value)

    def _info(self, control: _Control) -> ControlInfo:
        labels = dict(control_names.CHOICE_LABELS.get(control.display, ()))
        if control.kind == "stream":
            assert control.bounds is not None
            minimum, maximum = control.bounds
            return ControlInfo(control.name, minimum, maximum, 1, None, False, labels)
        if control.kind == "isp":
            status, _, flag = self._link.call("LxGetISPImageProcessing", control.prop)
            self._check(status, "LxGetISPImageProcessing", control)
            read_only = flag == 1
            function = "LxGetISPImageProcessingRange"
        else:
            read_only = False
            function = "LxGetUVCImageProcessingRange"
        status, minimum, maximum, step, default = self._link.call(function, control.prop)
        self._check(status, function, control)
        return ControlInfo(control.name, minimum, maximum, step, default, read_only, labels)

    def _check(self, status: int, function: str, control: _Control,
               value: int | None = None) -> None:
        what = control.name if value is None else "{}={}".format(control.name, value)
        self._link.check(status, function, what)


def _abridged(number: int) -> str:
    """A number as text; one of thousands of digits by its length only."""
    if number.bit_length() <= 64:
        return str(number)
    return "{}a number of about {} digits".format("-" if number < 0 else "",
                                                  int(number.bit_length() * 0.30103) + 1)
